#include "bench/bench_window.h"
#include "core/loaded_config.h"
#include "link/udpdevset.h"
#include "ui/wmain.h"

void CloseAllSessions(TMainWin& win) {
  win.Core().Run([](zav::UdpDevSet& set, zav::core::LoadedConfig&) { set.CloseAll(); });
  win.Settle();
}
