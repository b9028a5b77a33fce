// The runs of zav_bench_window; each prints its figures and the summary lines, and returns the
// process exit code (0 also when a budget is missed: that is a figure, not a failure).
#pragma once

int RunRefill(int rounds);
int RunTick(int ticks);
int RunStartupLauncher(int runs, const char* self);
int RunStartupChild(long long t0ns);
int RunLoad(int runs);
int RunLoadMem(int runs);
int RunDiscovery(int expected);

class TMainWin;
// Closes every session the window's core holds, and lets the window take the result: the next
// selection opens its session again, as the first one of a run did.
void CloseAllSessions(TMainWin& win);
