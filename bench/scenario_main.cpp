// Writes a zavsim scenario for the network benchmarks: "load" or "discovery N".
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_support.h"

int main(int argc, char** argv) {
  const std::string what = argc > 1 ? argv[1] : "";
  std::string text;
  if (what == "load") {
    text = zav::bench::LoadScenarioJson();
  } else if (what == "discovery" && argc > 2) {
    const int n = std::atoi(argv[2]);
    if (n < 1 || n > 240) {
      std::fprintf(stderr, "zav_bench_scenario: 1 to 240 controllers\n");
      return 2;
    }
    text = zav::bench::DiscoveryScenarioJson(n);
  } else {
    std::fprintf(stderr, "usage: zav_bench_scenario load | discovery N\n");
    return 2;
  }
  std::fputs(text.c_str(), stdout);
  return 0;
}
