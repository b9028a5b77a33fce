// What the window benchmarks do to the window and its core between and around the measured
// spans: close the sessions, wait for a result to be shown, and read the worker's CPU clock.
#include <pthread.h>

#include <QApplication>
#include <QTimer>
#include <ctime>
#include <thread>

#include "bench/bench_window.h"
#include "core/loaded_config.h"
#include "link/udpdevset.h"
#include "ui/wmain.h"

void CloseAllSessions(TMainWin& win) {
  win.Core().Run([](zav::UdpDevSet& set, zav::core::LoadedConfig&) { set.CloseAll(); });
  win.Settle();
}

void WaitShown(TMainWin& win) {
  // The core's wake posts an event, so until the operation publishes its result the loop
  // sleeps; no polling delay is added to the figure. Between the result's event and the
  // worker marking itself idle lie only microseconds, and no further event comes, so that
  // stretch is spun through. The guard timer covers a result published before the call.
  const auto before = win.Core().State();
  QTimer guard;
  guard.setTimerType(Qt::PreciseTimer);
  guard.start(2);
  while (!win.Core().Idle()) {
    if (win.Core().State() == before) {
      QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    } else {
      QApplication::processEvents();
      if (!win.Core().Idle()) std::this_thread::yield();
    }
  }
  guard.stop();
  // The repaint the handling of the result asked for.
  QApplication::sendPostedEvents();
  QApplication::processEvents();
}

clockid_t WorkerCpuClock(TMainWin& win) {
  clockid_t id = CLOCK_THREAD_CPUTIME_ID;
  win.Core().Run([&id](zav::UdpDevSet&, zav::core::LoadedConfig&) {
    if (pthread_getcpuclockid(pthread_self(), &id) != 0) id = CLOCK_THREAD_CPUTIME_ID;
  });
  win.Settle();
  return id;
}

double CpuSeconds(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}
