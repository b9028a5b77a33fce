// Page refill: a door controller with a full bus table, where every free list reaches its
// cap, refilled after a selector change, against a naive refill of plain combo boxes (clear,
// then one addItem per choice) of the same rows in the same run. Both must show the same
// texts and values in the same order.
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/bench_window.h"
#include "bench/paint_tally.h"
#include "config/io_ref.h"
#include "config/lift_config.h"
#include "config/passage_config.h"
#include "tests/support/page_probe.h"
#include "ui/config_pages.h"

namespace {

using zav::ChoiceFilter;
using zav::IoRef;
using zav::PointKind;

// What one row of a page offers: its kind, filter and current binding.
struct RowSpec {
  PointKind kind;
  ChoiceFilter filter;
  IoRef current;
  IoRef sameAs = zav::kNone;
};

std::vector<RowSpec> PassageRows(const zav::Passage& ps) {
  std::vector<RowSpec> rows;
  for (int i = 0; i < 8; ++i)
    rows.push_back({PointKind::Output, ChoiceFilter::None, ps.outputs[i]});
  for (int i = 0; i < 8; ++i)
    rows.push_back(
        i == 1 ? RowSpec{PointKind::Input, ChoiceFilter::SameDevice, ps.inputs[1], ps.outputs[0]}
               : RowSpec{PointKind::Input, ChoiceFilter::None, ps.inputs[i]});
  for (int r = 0; r < 4; ++r)
    rows.push_back({PointKind::Reader, ChoiceFilter::None, ps.readers[r]});
  return rows;
}

std::vector<RowSpec> ControllerRows(const zav::ControllerIoConfig& io) {
  std::vector<RowSpec> rows;
  for (int i = 0; i < 8; ++i)
    rows.push_back(
        {PointKind::Output, i < 2 ? ChoiceFilter::DeviceZero : ChoiceFilter::None, io.outputs[i]});
  for (int i = 0; i < 8; ++i)
    rows.push_back(
        {PointKind::Input, i < 2 ? ChoiceFilter::DeviceZero : ChoiceFilter::None, io.inputs[i]});
  return rows;
}

// The refill as it would be written without a model: every combo box cleared and filled item
// by item.
class NaivePage : public QWidget {
 public:
  explicit NaivePage(int rows) {
    auto* grid = new QGridLayout(this);
    for (int i = 0; i < rows; ++i) {
      auto* sel = new QComboBox(this);
      grid->addWidget(sel, i % 10, i / 10);
      sels.push_back(sel);
    }
  }
  void Fill(const zav::BusDeviceTable& table, const std::vector<RowSpec>& rows) {
    std::vector<IoRef> refs(zav::kMaxChoices);
    for (std::size_t i = 0; i < rows.size() && i < sels.size(); ++i) {
      const RowSpec& r = rows[i];
      const int n = zav::ChoiceList(table, r.current, r.kind, r.filter, r.sameAs, refs.data());
      QComboBox* sel = sels[i];
      sel->clear();
      for (int k = 0; k < n; ++k)
        sel->addItem(QString::fromStdString(zav::ChoiceLabel(table, r.kind, refs[k])), refs[k]);
      sel->setCurrentIndex(0);
    }
  }
  std::vector<QComboBox*> sels;
};

// Runs what the change left queued: the posted events and the repaint of the regions it
// dirtied, as the event loop would right after the handler.
void Settle(QWidget&) {
  QApplication::sendPostedEvents();
  QApplication::processEvents();
}

// Counts the paint events a widget receives, to show the repaint is part of the figure.
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

// First difference between a page's selectors and the naive ones, or empty when equal.
std::string Compare(const std::vector<QComboBox*>& real, const std::vector<QComboBox*>& naive) {
  if (real.size() != naive.size()) return "row counts differ";
  for (std::size_t i = 0; i < real.size(); ++i) {
    if (real[i]->count() != naive[i]->count())
      return "row " + std::to_string(i) + ": " + std::to_string(real[i]->count()) +
             " items, naive " + std::to_string(naive[i]->count());
    for (int k = 0; k < real[i]->count(); ++k) {
      if (real[i]->itemText(k) != naive[i]->itemText(k) ||
          real[i]->itemData(k).toUInt() != naive[i]->itemData(k).toUInt())
        return "row " + std::to_string(i) + " item " + std::to_string(k) + ": \"" +
               real[i]->itemText(k).toStdString() + "\" vs \"" +
               naive[i]->itemText(k).toStdString() + "\"";
    }
  }
  return {};
}

struct Figures {
  std::vector<double> realMs, naiveMs;
  std::vector<double> handlerMs;
  std::vector<double> realCpuMs,
      naiveCpuMs;  // CPU time of this thread for the same span as realMs  // the part of realMs
                   // before the events and the repaint
  std::string mismatch;
  int paints = 0;         // paint events of the changed selector
  std::string paintText;  // all paints of the page's refills, by widget class
};

// One page: rounds of bind (item 2, the first free point) and unbind ("  -----") on the
// selector sel, each timed on the page and repeated on the naive replica.
template <class Rows, class Apply>
Figures Measure(int rounds, TConfigPages& pages, QComboBox* sel,
                const std::vector<QComboBox*>& realSels, NaivePage& naive,
                const zav::BusDeviceTable& table, Rows rowsNow, Apply apply) {
  Figures f;
  PaintTally tally;  // the paints of the page's refills, by widget class
  PaintCounter counter;
  sel->installEventFilter(&counter);
  for (int round = 0; round < rounds; ++round) {
    for (int item : {2, 1}) {
      const IoRef ref = static_cast<IoRef>(sel->itemData(item).toUInt());
      const double c0 = zav::bench::ThreadCpuSeconds();
      auto t0 = zav::bench::MonoNs();
      BenchApplication::tally = &tally;
      sel->setCurrentIndex(item);  // the user's pick: the handler refills the page
      const auto t1 = zav::bench::MonoNs();
      Settle(pages);
      const auto t2 = zav::bench::MonoNs();
      BenchApplication::tally = nullptr;
      f.realMs.push_back(static_cast<double>(t2 - t0) / 1e6);
      f.handlerMs.push_back(static_cast<double>(t1 - t0) / 1e6);
      f.realCpuMs.push_back((zav::bench::ThreadCpuSeconds() - c0) * 1e3);

      const double c1 = zav::bench::ThreadCpuSeconds();
      t0 = zav::bench::MonoNs();
      apply(ref);  // the same edit the handler made (idempotent), then the naive refill
      naive.Fill(table, rowsNow());
      Settle(naive);
      f.naiveMs.push_back(static_cast<double>(zav::bench::MonoNs() - t0) / 1e6);
      f.naiveCpuMs.push_back((zav::bench::ThreadCpuSeconds() - c1) * 1e3);

      if (round < 2 && f.mismatch.empty()) f.mismatch = Compare(realSels, naive.sels);
    }
  }
  sel->removeEventFilter(&counter);
  f.paints = counter.paints;
  f.paintText = tally.Text(6);
  return f;
}

}  // namespace

int RunRefill(int rounds) {
  using zav::bench::Median;
  using zav::bench::Summary;
  const auto payload = zav::bench::FullDoorTable();
  zav::BusDeviceTable table;
  if (!table.Decode(payload.data(), static_cast<int>(payload.size()))) {
    std::fprintf(stderr, "refill: the full table does not decode\n");
    return 1;
  }
  zav::PassageConfig doors{table};
  zav::LiftConfig lift{table};
  for (auto& p : doors.passages) {
    std::fill(std::begin(p.outputs), std::end(p.outputs), zav::kNone);
    std::fill(std::begin(p.inputs), std::end(p.inputs), zav::kNone);
    std::fill(std::begin(p.readers), std::end(p.readers), zav::kNone);
  }
  std::fill(std::begin(doors.controllerIo.outputs), std::end(doors.controllerIo.outputs),
            zav::kNone);
  std::fill(std::begin(doors.controllerIo.inputs), std::end(doors.controllerIo.inputs), zav::kNone);
  doors.MarkTaken();

  // The controller is selected and in Instalacja (mode 3).
  TConfigPages pages(table, doors, lift);
  pages.SetSelectedMode(3);
  pages.resize(716, 641);
  pages.show();
  pages.ShowPages();
  const PageProbe probe(pages);

  // Passage page.
  pages.setCurrentWidget(probe.DoorSheet);
  Settle(pages);
  const int p = probe.DoorTc->currentIndex();
  if (p < 0) {
    std::fprintf(stderr, "refill: the passage page shows no passage\n");
    return 1;
  }
  std::vector<QComboBox*> passageSels;
  for (auto& r : probe.dOutRows) passageSels.push_back(r.sel);
  for (auto& r : probe.dInRows) passageSels.push_back(r.sel);
  for (auto& r : probe.dRdRows) passageSels.push_back(r.sel);
  std::printf("refill: %d bus devices, passage %d; items: Out0Sel %d, In0Sel %d, Rd0Sel %d\n",
              table.count, p + 1, probe.dOutRows[0].sel->count(), probe.dInRows[0].sel->count(),
              probe.dRdRows[0].sel->count());
  NaivePage naiveP(static_cast<int>(passageSels.size()));
  naiveP.resize(716, 641);
  naiveP.show();
  Figures fp = Measure(
      rounds, pages, probe.dOutRows[0].sel, passageSels, naiveP, table,
      [&] { return PassageRows(doors.passages[p]); },
      [&](IoRef ref) { doors.SetOutput(p, 0, ref, false); });

  // Controller page.
  pages.setCurrentWidget(probe.TabSheet1);
  Settle(pages);
  std::vector<QComboBox*> ctlSels;
  for (auto& r : probe.cOutRows) ctlSels.push_back(r.sel);
  for (auto& r : probe.cInRows) ctlSels.push_back(r.sel);
  NaivePage naiveC(static_cast<int>(ctlSels.size()));
  naiveC.resize(716, 641);
  naiveC.show();
  Figures fc = Measure(
      rounds, pages, probe.cOutRows[2].sel, ctlSels, naiveC, table,
      [&] { return ControllerRows(doors.controllerIo); },
      [&](IoRef ref) { doors.SetControllerOutput(2, ref, false); });

  bool same = true;
  for (const auto* f : {&fp, &fc}) {
    if (!f->mismatch.empty()) {
      std::printf("refill: page and naive refill differ: %s\n", f->mismatch.c_str());
      same = false;
    }
  }
  if (same) std::printf("refill: page and naive refill show the same items, values and order\n");

  const double rp = Median(fp.realMs), np = Median(fp.naiveMs);
  const double rc = Median(fc.realMs), nc = Median(fc.naiveMs);
  std::printf(
      "refill: FillPassagePage %.3f ms (max %.3f), naive %.3f ms; "
      "FillControllerPage %.3f ms (max %.3f), naive %.3f ms (medians of %d)\n",
      rp, *std::max_element(fp.realMs.begin(), fp.realMs.end()), np, rc,
      *std::max_element(fc.realMs.begin(), fc.realMs.end()), nc, 2 * rounds);
  std::printf(
      "refill: of which the handler itself: passage %.3f ms, controller %.3f ms; the "
      "events and repaint after it: %.3f ms, %.3f ms; the changed selector was painted "
      "%d and %d times in %d refills each\n",
      Median(fp.handlerMs), Median(fc.handlerMs), rp - Median(fp.handlerMs),
      rc - Median(fc.handlerMs), fp.paints, fc.paints, 2 * rounds);
  std::printf("refill: paints of the %d passage refills: %s\n", 2 * rounds, fp.paintText.c_str());
  std::printf("refill: paints of the %d controller refills: %s\n", 2 * rounds,
              fc.paintText.c_str());
  std::printf(
      "refill: CPU time of the same spans: passage %.3f ms (naive %.3f ms, %.1fx), "
      "controller %.3f ms (naive %.3f ms, %.1fx); wall time above that is other "
      "processes' share of this machine\n",
      Median(fp.realCpuMs), Median(fp.naiveCpuMs), Median(fp.naiveCpuMs) / Median(fp.realCpuMs),
      Median(fc.realCpuMs), Median(fc.naiveCpuMs), Median(fc.naiveCpuMs) / Median(fc.realCpuMs));
  std::puts(Summary("refill_passage_ms", rp, "ms", "<= 3 ms", rp <= 3.0).c_str());
  std::puts(Summary("refill_controller_ms", rc, "ms", "<= 3 ms", rc <= 3.0).c_str());
  std::puts(Summary("refill_passage_speedup", np / rp, "x", ">= 10x naive, same items",
                    np / rp >= 10.0 && same)
                .c_str());
  std::puts(Summary("refill_controller_speedup", nc / rc, "x", ">= 10x naive, same items",
                    nc / rc >= 10.0 && same)
                .c_str());
  return 0;
}
