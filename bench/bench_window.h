// The runs of zav_bench_window; each prints its figures and the summary lines, and returns the
// process exit code (0 also when a budget is missed: that is a figure, not a failure).
#pragma once

#include <ctime>

int RunRefill(int rounds);
int RunTick(int ticks);
int RunStartupLauncher(int runs, const char* self);
int RunStartupChild(long long t0ns);
int RunLoad(int runs);
int RunLoadMem(int runs);
int RunDiscovery(int expected);
// The window's event-loop latency against one controller (answering, late, silent, lossy);
// simControl is zavsim's control channel, through which the faults are set.
int RunLatency(const char* simControl);

class TMainWin;
// Closes every session the window's core holds, and lets the window take the result: the next
// selection opens its session again, as the first one of a run did.
void CloseAllSessions(TMainWin& win);
// Runs the window's event loop until the core is idle and its last result is painted. Unlike
// TMainWin::Settle it sleeps in the loop, so the wall time ends when the result is shown.
void WaitShown(TMainWin& win);
// The CPU clock of the core's worker thread, readable from any thread.
clockid_t WorkerCpuClock(TMainWin& win);
double CpuSeconds(clockid_t clock);
