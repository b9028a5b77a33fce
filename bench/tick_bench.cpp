// A tick with 100 controllers holding sessions: the main window driven by its own handler (the
// core's worker runs the poll) on an in-memory network of simulated controllers and a clock
// that moves only when told. The CPU time the simulated controllers and the delivery take
// (inside the endpoint) is taken out: on a real network it is spent elsewhere while the tool
// waits on its socket.
#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/bench_support.h"
#include "bench/bench_window.h"
#include "core/loaded_config.h"
#include "link/udpdevset.h"
#include "link/uerr.h"
#include "sim/scenario.h"
#include "ui/wmain.h"

int RunTick(int ticks) {
  using namespace zav::bench;
  zav::sim::SimNetwork net;
  zav::sim::AddExtraControllers(net, 100);
  ManualClock clock;
  SimEndpoint ep(net, clock, (10u << 24) | (77u << 16) | 1u);

  TMainWin win(ep, clock);
  win.Timer().stop();  // the ticks below are driven by hand, one per simulated second
  win.show();
  win.Settle();  // the search and the first selection run on the core's worker
  if (win.Core().State()->set.count != 100) {
    std::fprintf(stderr, "tick: %d controllers found, expected 100\n",
                 win.Core().State()->set.count);
    return 1;
  }
  int sessions = 0;
  win.Core().Run([&sessions](zav::UdpDevSet& set, zav::core::LoadedConfig&) {
    for (int i = 0; i < set.count; ++i) {
      zav::UdpDev& dev = set.devs[i];
      try {
        dev.EnsureSession();
      } catch (const zav::UErr& e) {
        std::fprintf(stderr, "tick: %s\n", zav::UErrText(e).c_str());
      }
      sessions += dev.session;
    }
  });
  win.Settle();
  if (sessions != 100) {
    std::fprintf(stderr, "tick: %d sessions open, expected 100\n", sessions);
    return 1;
  }

  // Work Qt defers after a window is first shown (it runs on real-time timers, a few hundred
  // milliseconds after the show) is start-up, not a tick: let it pass first.
  for (const auto until = MonoNs() + 500'000'000u; MonoNs() < until;)
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  // The tool's CPU time per tick is the worker's and the window thread's together, without
  // the simulated controllers' (inside the endpoint, on the worker). Each thread is read on its
  // own clock: the process clock would also count the wait loop and any other thread.
  const clockid_t worker = WorkerCpuClock(win);
  std::vector<double> cpuMs;
  std::vector<double> windowMs;  // the window's thread: asking the core, then the result
  const int sendsBefore = ep.sends;
  for (int t = 0; t < ticks; ++t) {
    clock.nowMs += 1000;
    const double inside0 = ep.cpuInside;
    const double w0 = CpuSeconds(worker);
    const double h0 = ThreadCpuSeconds();
    win.UDPTimerTimer();
    WaitShown(win);
    const double h1 = ThreadCpuSeconds();
    const double w1 = CpuSeconds(worker);
    windowMs.push_back((h1 - h0) * 1e3);
    cpuMs.push_back(((w1 - w0) - (ep.cpuInside - inside0)) * 1e3 + windowMs.back());
  }
  int stillOpen = 0;
  const std::shared_ptr<const zav::core::CoreState> state = win.Core().State();
  const zav::core::ControllerList& set = state->set;
  for (int i = 0; i < set.count; ++i) stillOpen += set.devs[i].session;

  std::printf("tick: CPU ms per tick (worker and window / the window's thread alone):");
  for (std::size_t i = 0; i < cpuMs.size(); ++i) std::printf(" %.2f/%.2f", cpuMs[i], windowMs[i]);
  std::printf("\n");
  const double med = Median(cpuMs);
  const double worst = *std::max_element(cpuMs.begin(), cpuMs.end());
  std::printf(
      "tick: %d ticks, %d datagrams sent, %d of 100 sessions still open; CPU per tick "
      "outside the endpoint: median %.3f ms, worst %.3f ms\n",
      ticks, ep.sends - sendsBefore, stillOpen, med, worst);
  std::puts(Summary("tick_cpu_ms", worst, "ms", "< 2 ms, worst of the ticks",
                    worst < 2.0 && stillOpen == 100)
                .c_str());
  const double rss = PeakRssMb();
  std::puts(Summary("tick_peak_rss_mb", rss, "MB", "< 80 MB", rss < 80.0).c_str());
  return 0;
}
