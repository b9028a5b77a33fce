// Where a repaint goes: the paint events the widgets receive, with the time each one takes, by
// widget class. The application routes every event through Notify, so a tally can time the
// paint events of one span without touching the widgets.
#pragma once

#include <QApplication>
#include <map>
#include <string>

struct PaintTally {
  struct Entry {
    int paints = 0;
    double ms = 0;
    long long pixels = 0;
  };
  std::map<std::string, Entry> byClass;
  std::map<int, Entry> byEventType;  // every event delivered outside another one, by type
  std::string log;  // with ZAV_BENCH_PAINT_LOG set: each paint, its widget and area
  double totalMs = 0;
  int paints = 0;
  long long pixels = 0;
  // "N paints, X ms, P kpx: Class n/ms, ..." with the costliest classes first.
  std::string Text(int top = 8) const;
  // "type n/ms, ..." of the events, costliest first.
  std::string EventText(int top = 8) const;
};

class BenchApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override;
  // While set, paint events are timed into it.
  static inline PaintTally* tally = nullptr;
};
