// The selection of the 16-passage controller on the in-memory network: the same handler and
// the same repaint as the load figure, without a namespace network, so the window's own share
// can be followed anywhere. The simulated controller's CPU time (inside the endpoint) is taken
// out; what remains is the tool's own work. The window's thread and the core's worker are
// measured apart. With ZAV_BENCH_PAINT_LOG set, every paint of the last selection is listed.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <vector>

#include "bench/bench_support.h"
#include "bench/bench_window.h"
#include "bench/paint_tally.h"
#include "core/controller_ops.h"
#include "link/udpdevset.h"
#include "sim/scenario.h"
#include "ui/config_pages.h"
#include "ui/wmain.h"

int RunLoadMem(int runs) {
  using namespace zav::bench;
  zav::sim::SimNetwork net;
  zav::sim::LoadScenarioText(net, LoadScenarioJson());
  ManualClock clock;
  SimEndpoint ep(net, clock, (10u << 24) | (77u << 16) | 1u);
  TMainWin win(ep, clock);
  win.Timer().stop();
  win.show();
  win.Settle();  // the search and the first selection run on the core's worker
  // Work Qt defers after a window is first shown is start-up, not a selection.
  for (const auto until = MonoNs() + 500'000'000u; MonoNs() < until;)
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  if (win.Core().State()->set.count < 1 || win.Edited().table.count != 116) {
    std::fprintf(stderr, "loadmem: the controller was not loaded (%d bus devices)\n",
                 win.Edited().table.count);
    return 1;
  }
  const clockid_t worker = WorkerCpuClock(win);
  std::vector<double> handlerMs, settleMs, paintMs, workerMs;
  int sends = 0;  // datagrams of the last selection
  PaintTally last;
  for (int r = 0; r < runs; ++r) {
    CloseAllSessions(win);
    PaintTally tally;
    BenchApplication::tally = &tally;
    // The window's thread (asking the core, then taking its result and repainting) and the
    // worker (the reads, without the simulated controller inside the endpoint), each on its
    // own clock.
    const double inside0 = ep.cpuInside;
    const int sends0 = ep.sends;
    const double w0 = CpuSeconds(worker);
    const double c0 = ThreadCpuSeconds();
    win.SelectEthDev();
    const double c1 = ThreadCpuSeconds();
    WaitShown(win);
    const double c2 = ThreadCpuSeconds();
    const double w1 = CpuSeconds(worker);
    BenchApplication::tally = nullptr;
    handlerMs.push_back((c1 - c0) * 1e3);
    settleMs.push_back((c2 - c1) * 1e3);
    workerMs.push_back((w1 - w0 - (ep.cpuInside - inside0)) * 1e3);
    paintMs.push_back(tally.totalMs);
    sends = ep.sends - sends0;
    if (win.Edited().table.count != 116 || !win.Edited().doors.complete) {
      std::fprintf(stderr, "loadmem: the selection left %d bus devices\n", win.Edited().table.count);
      return 1;
    }
    if (r == runs - 1) last = tally;
  }
  // The link and model alone: the same reads on the core's worker, without the window.
  std::vector<double> linkMs;
  for (int r = 0; r < runs; ++r) {
    CloseAllSessions(win);
    win.Core().Run([&](zav::UdpDevSet& set, zav::core::LoadedConfig& cfg) {
      zav::UdpDev& dev = set.devs[0];
      const double inside0 = ep.cpuInside;
      const double c0 = ThreadCpuSeconds();
      dev.PollStatus();
      cfg.table.Clear();
      zav::core::LoadConfig(dev, cfg);
      linkMs.push_back((ThreadCpuSeconds() - c0 - (ep.cpuInside - inside0)) * 1e3);
    });
    win.Settle();
  }
  std::printf(
      "loadmem: the status poll and LoadConfig alone (link, signatures, decoding): %.3f ms\n",
      Median(linkMs));
  std::printf(
      "loadmem: CPU time of the selection on the window's thread: asking %.3f ms, "
      "events and repaint after it %.3f ms, of which paint events %.3f ms (medians of %d)\n",
      Median(handlerMs), Median(settleMs), Median(paintMs), runs);
  std::printf("loadmem: the repaint of the last selection: %s; events: %s\n", last.Text(12).c_str(),
              last.EventText().c_str());
  if (!last.log.empty()) std::printf("%s", last.log.c_str());
  std::printf(
      "loadmem: CPU time of the selection on the core's worker, without the simulated "
      "controller: %.3f ms (median; %d datagrams sent)\n",
      Median(workerMs), sends);
  std::printf("loadmem_ui_ms: %.3f ms (information: the window thread's CPU time per selection)\n",
              Median(handlerMs) + Median(settleMs));
  std::printf(
      "loadmem_worker_ms: %.3f ms (information: the core worker's CPU time per selection)\n",
      Median(workerMs));
  return 0;
}
