#include "bench/paint_tally.h"

#include <QPaintEvent>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/bench_support.h"

std::string PaintTally::Text(int top) const {
  std::vector<std::pair<std::string, Entry>> rows(byClass.begin(), byClass.end());
  std::sort(rows.begin(), rows.end(),
            [](const auto& a, const auto& b) { return a.second.ms > b.second.ms; });
  char buf[160];
  std::snprintf(buf, sizeof buf, "%d paints, %.3f ms, %lld kpx", paints, totalMs, pixels / 1000);
  std::string s = buf;
  for (int i = 0; i < top && i < static_cast<int>(rows.size()); ++i) {
    std::snprintf(buf, sizeof buf, "%s %s %d/%.3f ms", i == 0 ? ":" : ",", rows[i].first.c_str(),
                  rows[i].second.paints, rows[i].second.ms);
    s += buf;
  }
  return s;
}

std::string PaintTally::EventText(int top) const {
  std::vector<std::pair<int, Entry>> rows(byEventType.begin(), byEventType.end());
  std::sort(rows.begin(), rows.end(),
            [](const auto& a, const auto& b) { return a.second.ms > b.second.ms; });
  std::string s;
  char buf[96];
  for (int i = 0; i < top && i < static_cast<int>(rows.size()); ++i) {
    std::snprintf(buf, sizeof buf, "%stype %d %d/%.3f ms", i == 0 ? "" : ", ", rows[i].first,
                  rows[i].second.paints, rows[i].second.ms);
    s += buf;
  }
  return s;
}

namespace {
int depth = 0;
}

bool BenchApplication::notify(QObject* receiver, QEvent* event) {
  if (!tally) return QApplication::notify(receiver, event);
  if (event->type() != QEvent::Paint || !receiver->isWidgetType()) {
    const int type = event->type();
    const auto t0 = zav::bench::MonoNs();
    ++depth;
    const bool done = QApplication::notify(receiver, event);
    --depth;
    if (PaintTally* t = tally; t && depth == 0) {
      PaintTally::Entry& e = t->byEventType[type];
      ++e.paints;
      e.ms += static_cast<double>(zav::bench::MonoNs() - t0) / 1e6;
    }
    return done;
  }
  long long px = 0;
  for (const QRect& r : static_cast<QPaintEvent*>(event)->region())
    px += static_cast<long long>(r.width()) * r.height();
  const std::string cls = receiver->metaObject()->className();
  const auto t0 = zav::bench::MonoNs();
  const bool done = QApplication::notify(receiver, event);
  const double ms = static_cast<double>(zav::bench::MonoNs() - t0) / 1e6;
  // A tally may be unset by a nested loop; the entry goes to the one still set.
  if (PaintTally* t = tally) {
    PaintTally::Entry& e = t->byClass[cls];
    ++e.paints;
    e.ms += ms;
    e.pixels += px;
    ++t->paints;
    if (std::getenv("ZAV_BENCH_PAINT_LOG")) {
      const QRect b = static_cast<QPaintEvent*>(event)->region().boundingRect();
      char line[200];
      std::snprintf(line, sizeof line, "  %s %s %dx%d+%d+%d %.3f ms\n", cls.c_str(),
                    receiver->objectName().toLocal8Bit().constData(), b.width(), b.height(), b.x(),
                    b.y(), ms);
      t->log += line;
    }
    t->totalMs += ms;
    t->pixels += px;
  }
  return done;
}
