// zav_bench_window: the figures that need the windows.
//   refill [ROUNDS]        page refill against a naive refill (offscreen platform)
//   tick [TICKS]           CPU time of a tick with 100 sessions, in memory
//   startup [RUNS]         process start to the search's result shown (and to the first
//                          shown window), empty network                              (netns)
//   load [RUNS]            selecting the 16-passage controller against a bare loop   (netns)
//   loadmem [RUNS]         the same selection on the in-memory network: the window's share
//   discovery N            one search finding N controllers                          (netns)
//   latency CONTROL        event-loop latency against the 16-passage controller, answering,
//                          late, silent and lossy; CONTROL is zavsim's control socket (netns)
// The network runs send broadcasts on port 45389, so they refuse to run on the machine's own
// network (link/netns_guard.h): scripts/bench starts them inside scripts/netns namespaces.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_window.h"
#include "bench/paint_tally.h"
#include "link/netns_guard.h"

namespace {

int Arg(int argc, char** argv, int i, int fallback) {
  return argc > i ? std::atoi(argv[i]) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const bool network =
      mode == "startup" || mode == "startup-child" || mode == "load" || mode == "discovery" ||
      mode == "latency";
  // These runs broadcast on port 45389.
  if (network && !zav::RequirePrivateNetns("zav_bench_window")) return 2;
  if (mode == "startup") return RunStartupLauncher(Arg(argc, argv, 2, 6), argv[0]);
  if (mode == "startup-child" && argc > 2) return RunStartupChild(std::atoll(argv[2]));

  BenchApplication app(argc, argv);
  if (mode == "refill") return RunRefill(Arg(argc, argv, 2, 50));
  if (mode == "tick") return RunTick(Arg(argc, argv, 2, 45));
  if (mode == "load") return RunLoad(Arg(argc, argv, 2, 15));
  if (mode == "loadmem") return RunLoadMem(Arg(argc, argv, 2, 50));
  if (mode == "discovery") return RunDiscovery(Arg(argc, argv, 2, 100));
  if (mode == "latency" && argc > 2) return RunLatency(argv[2]);
  std::fprintf(stderr,
               "usage: zav_bench_window refill [ROUNDS] | tick [TICKS] | startup [RUNS] | "
               "load [RUNS] | loadmem [RUNS] | discovery N | latency CONTROL\n");
  return 2;
}
