// The runs on the namespace network (scripts/netns, zavsim in the controller namespace): the
// start-up on an empty network, the selection of a 16-passage controller against a bare
// socket loop doing the same round trips, and one search answered by many controllers.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QListView>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "bench/bare_loop.h"
#include "bench/bench_support.h"
#include "bench/bench_window.h"
#include "bench/paint_tally.h"
#include "link/cmac.h"
#include "link/posix_udp.h"
#include "ui/config_pages.h"
#include "ui/whelp.h"
#include "ui/wmain.h"

namespace {

using namespace zav::bench;

double Ms(std::uint64_t ns) {
  return static_cast<double>(ns) / 1e6;
}

// An error box would stop the run: it is closed, and its text printed, as soon as it shows.
// Started before the main window, whose creation already searches and may show one.
void CloseErrorBoxes() {
  auto* t = new QTimer(qApp);
  QObject::connect(t, &QTimer::timeout, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      std::fprintf(stderr, "error box: %s\n", box->text().toLocal8Bit().constData());
      box->done(0);
    }
  });
  t->start(50);
}

// Runs what the action left queued: the posted events and the repaint of what it changed, as
// the event loop would right after the handler.
void Settle() {
  QApplication::sendPostedEvents();
  QApplication::processEvents();
}

}  // namespace

// ---- start-up ------------------------------------------------------------------------------

// The window shows at once and the core searches meanwhile; what the user waits for is the
// search's result shown in it, so that is the start-up figure, and the first shown window is
// printed beside it.
int RunStartupChild(long long t0ns) {
  int argc = 1;
  char name[] = "zavconfig";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  zav::SystemClock clock;
  zav::PosixUdpEndpoint udp(zav::kPort);
  RecordingEndpoint rec(udp);
  CloseErrorBoxes();
  // As the program starts: the main window (whose creation asks for the search), then the
  // help window.
  TMainWin mainWin(rec, clock);
  THelpWin helpWin(&mainWin);
  mainWin.show();
  while (!mainWin.windowHandle() || !mainWin.windowHandle()->isExposed())
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  const std::uint64_t shown = MonoNs();
  WaitShown(mainWin);
  const std::uint64_t result = MonoNs();
  const auto start = static_cast<std::uint64_t>(t0ns);
  // The recording endpoint is written by the core's worker; it is idle now.
  const std::uint64_t first = rec.broadcasts.empty() ? result : rec.broadcasts.front();
  const std::uint64_t last = rec.quietEnds.empty() ? first : rec.quietEnds.back();
  timespec cpu{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
  const double cpuMs =
      static_cast<double>(cpu.tv_sec) * 1e3 + static_cast<double>(cpu.tv_nsec) / 1e6;
  // result shown, before the first broadcast, the search, after its last quiet window, rounds,
  // CPU, window shown
  std::printf("%.3f %.3f %.3f %.3f %zu %.3f %.3f\n", Ms(result - start), Ms(first - start),
              Ms(last - first), Ms(result - last), rec.broadcasts.size(), cpuMs,
              Ms(shown - start));
  std::fflush(stdout);
  return 0;
}

int RunStartupLauncher(int runs, const char* self) {
  std::vector<double> total, before, search, after, window;
  std::vector<double> cpuMs;  // the process's CPU time until the result showed
  std::size_t rounds = 0;
  for (int r = 0; r < runs + 1; ++r) {  // the first run only warms the caches
    int fds[2];
    if (pipe(fds) != 0) return 1;
    const std::string t0 = std::to_string(MonoNs());
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(fds[1], STDOUT_FILENO);
      close(fds[0]);
      close(fds[1]);
      execl(self, self, "startup-child", t0.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    char buf[256] = {};
    std::size_t got = 0;
    for (ssize_t n;
         got + 1 < sizeof buf && (n = read(fds[0], buf + got, sizeof buf - 1 - got)) > 0;)
      got += static_cast<std::size_t>(n);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    double ms = 0, pre = 0, s = 0, post = 0, cpu = 0, win = 0;
    if (std::sscanf(buf, "%lf %lf %lf %lf %zu %lf %lf", &ms, &pre, &s, &post, &rounds, &cpu,
                    &win) != 7) {
      std::fprintf(stderr, "startup: run %d printed nothing (status %d)\n", r, status);
      return 1;
    }
    if (r == 0) continue;
    total.push_back(ms);
    before.push_back(pre);
    search.push_back(s);
    after.push_back(post);
    cpuMs.push_back(cpu);
    window.push_back(win);
  }
  const double med = Median(total);
  const double own = med - 3 * 200.0;
  std::printf(
      "startup: process start to the search's result shown %.1f ms (median of %d warm runs, "
      "min %.1f, max %.1f), %zu search rounds; medians: %.1f ms before the first broadcast, "
      "%.1f ms of search, %.1f ms from the last quiet window to the result shown\n",
      med, runs, *std::min_element(total.begin(), total.end()),
      *std::max_element(total.begin(), total.end()), rounds, Median(before), Median(search),
      Median(after));
  std::printf(
      "startup: process start to the first shown window %.1f ms (median; the search goes on "
      "behind it)\n",
      Median(window));
  std::printf(
      "startup: CPU time of the process until the result showed: %.1f ms (median); "
      "wall time above it and the 600 ms of quiet windows is waiting for this machine\n",
      Median(cpuMs));
  std::puts(Summary("startup_ms", med, "ms",
                    "<= 700 ms = 3 x 200 ms + 100 ms, start to the search's result shown",
                    own <= 100.0)
                .c_str());
  std::puts(
      Summary("startup_own_ms", own, "ms", "<= 100 ms beyond the 3 search rounds", own <= 100.0)
          .c_str());
  std::printf(
      "startup_window_ms: %.3f ms (information: process start to the first shown window)\n",
      Median(window));
  return 0;
}

// ---- load ----------------------------------------------------------------------------------

int RunLoad(int runs) {
  zav::SystemClock clock;
  zav::PosixUdpEndpoint udp(zav::kPort);
  RecordingEndpoint rec(udp);
  rec.recording = false;
  CloseErrorBoxes();
  TMainWin win(rec, clock);
  win.Timer().stop();  // no poll between the measured selections
  win.show();
  win.Settle();
  Settle();
  if (win.Core().State()->set.count < 1) {
    std::fprintf(stderr, "load: no controller found\n");
    return 1;
  }
  // A copy: the state it comes from is dropped when the core publishes the next one.
  const zav::UdpDev dev = win.Core().State()->set.devs[0];
  const std::string addr = dev.IpText();

  BareLoop bare;
  if (!bare.ok()) return 1;
  std::vector<double> toolMs, floorMs, socketMs, cpuMs, bareSocketMs;
  // The tool's time outside socket calls: before its first send, between a reply and the next
  // send, after the last reply.
  std::vector<double> beforeMs, betweenMs, afterMs;
  std::vector<double> handlerMs;  // SelectEthDev alone: it only asks the core
  std::vector<Exchange> lastLog;
  std::string differs;
  std::string lastPaints;  // the repaint of the last selection, by widget class
  for (int r = 0; r < runs; ++r) {
    CloseAllSessions(win);
    rec.log.clear();
    rec.recording = true;
    rec.socketNs = 0;
    rec.firstSendNs = rec.lastReturnNs = rec.betweenNs = 0;
    PaintTally tally;
    if (r == runs - 1) BenchApplication::tally = &tally;
    // The core's worker does the round trips, so the CPU time is the process's.
    const double c0 = ProcessCpuSeconds();
    std::uint64_t t0 = MonoNs();
    win.SelectEthDev();
    handlerMs.push_back(Ms(MonoNs() - t0));
    // From the click to the result shown: the loop sleeps until the worker reports.
    WaitShown(win);
    const std::uint64_t t1 = MonoNs();
    toolMs.push_back(Ms(t1 - t0));
    beforeMs.push_back(Ms(rec.firstSendNs - t0));
    betweenMs.push_back(Ms(rec.betweenNs));
    afterMs.push_back(Ms(t1 - rec.lastReturnNs));
    cpuMs.push_back((ProcessCpuSeconds() - c0) * 1e3);
    BenchApplication::tally = nullptr;
    if (r == runs - 1)
      lastPaints = tally.Text(12) + "; events: " + tally.EventText() + "\n" + tally.log;
    socketMs.push_back(Ms(rec.socketNs));
    rec.recording = false;
    if (win.Edited().table.count != 116 || !win.Edited().doors.complete) {
      std::fprintf(stderr, "load: selection left %d bus devices, configuration %s\n",
                   win.Edited().table.count,
                   win.Edited().doors.complete ? "complete" : "incomplete");
      return 1;
    }
    lastLog = rec.log;

    CloseAllSessions(win);
    bare.socketNs = 0;
    t0 = MonoNs();
    const std::vector<int> lens = bare.Replay(rec.log);
    floorMs.push_back(Ms(MonoNs() - t0));
    bareSocketMs.push_back(Ms(bare.socketNs));
    bare.CloseSession(dev.id, addr);
    if (lens.size() != rec.log.size()) {
      std::fprintf(stderr, "load: the bare loop got %zu of %zu replies\n", lens.size(),
                   rec.log.size());
      return 1;
    }
    for (std::size_t i = 0; i < lens.size() && differs.empty(); ++i)
      if (lens[i] != rec.log[i].replyLen)
        differs = "exchange " + std::to_string(i) + ": reply of " + std::to_string(lens[i]) +
                  " bytes, the tool got " + std::to_string(rec.log[i].replyLen);
  }
  // What one repaint costs when a selection changes what every control shows (another
  // controller): the whole window and the pages alone, painted at once.
  std::vector<double> windowPaintMs, pagesPaintMs;
  for (int r = 0; r < runs; ++r) {
    std::uint64_t p0 = MonoNs();
    win.repaint();
    windowPaintMs.push_back(Ms(MonoNs() - p0));
    p0 = MonoNs();
    win.findChild<QWidget*>(QStringLiteral("CtrlTypeSet"))->repaint();
    pagesPaintMs.push_back(Ms(MonoNs() - p0));
  }
  std::string letters;
  std::size_t bytesOut = 0, bytesIn = 0;
  for (const Exchange& x : lastLog) {
    letters +=
        x.request[3] == 'C' ? static_cast<char>(x.request[10]) : static_cast<char>(x.request[3]);
    bytesOut += x.request.size();
    bytesIn += static_cast<std::size_t>(std::max(x.replyLen, 0));
  }
  const double tool = Median(toolMs), floor = Median(floorMs);
  std::printf(
      "load: %zu round trips (%s), %zu bytes out, %zu in; tool %.3f ms, bare loop %.3f ms "
      "(medians of %d)%s%s\n",
      lastLog.size(), letters.c_str(), bytesOut, bytesIn, tool, floor, runs,
      differs.empty() ? "" : "; sizes differ: ", differs.c_str());
  std::printf(
      "load: of the tool's time %.3f ms in socket calls (sends and the waits for "
      "replies), %.3f ms of its own; CPU time of the process (worker and window) %.3f ms; "
      "the click's handler alone (asking the core) %.3f ms (%.2fx the bare loop), from it to "
      "the result shown %.3f ms\n",
      Median(socketMs), tool - Median(socketMs), Median(cpuMs), Median(handlerMs),
      Median(handlerMs) / floor, tool - Median(handlerMs));
  std::printf(
      "load: the tool's own time: %.3f ms before the first send, %.3f ms between the replies "
      "and the next sends, %.3f ms after the last reply; the bare loop's own time %.3f ms\n",
      Median(beforeMs), Median(betweenMs), Median(afterMs), floor - Median(bareSocketMs));
  std::printf("load: the repaint of the last selection: %s\n", lastPaints.c_str());
  std::printf(
      "load: a repaint of everything a selection can change costs %.3f ms for the whole "
      "window, %.3f ms for the pages alone (%.2fx and %.2fx the bare loop); a selection that "
      "changes the picture may take 1.2 x the bare loop + one frame (16.7 ms) = %.3f ms: the "
      "measured selection plus a whole repaint is %.3f ms\n",
      Median(windowPaintMs), Median(pagesPaintMs), Median(windowPaintMs) / floor,
      Median(pagesPaintMs) / floor, 1.2 * floor + 16.7, tool + Median(windowPaintMs));
  std::puts(Summary("load_ms", tool, "ms", "<= 1.2 x bare loop " + std::to_string(floor) + " ms",
                    tool <= 1.2 * floor && differs.empty())
                .c_str());
  std::puts(Summary("load_ratio", tool / floor, "x", "<= 1.2", tool <= 1.2 * floor).c_str());
  const double rss = PeakRssMb();
  std::puts(Summary("load_peak_rss_mb", rss, "MB", "< 80 MB", rss < 80.0).c_str());
  return 0;
}

// ---- discovery -----------------------------------------------------------------------------

int RunDiscovery(int expected) {
  zav::SystemClock clock;
  zav::PosixUdpEndpoint udp(zav::kPort);
  RecordingEndpoint rec(udp);
  CloseErrorBoxes();
  const std::uint64_t t0 = MonoNs();
  TMainWin win(rec, clock);  // its creation asks the core for the search
  const std::uint64_t created = MonoNs();
  win.Timer().stop();
  win.show();
  // Until the list shows the search's result (or the core has nothing more to do).
  const auto* list = win.findChild<QListView*>(QStringLiteral("EthLstBox"));
  {
    QTimer guard;
    guard.start(2);
    while (list && list->model()->rowCount() < expected && !win.Core().Idle())
      QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  const std::uint64_t listedAt = MonoNs();
  win.Settle();
  Settle();
  const int listed = list ? list->model()->rowCount() : -1;
  if (rec.broadcasts.empty() || rec.arrivals.empty()) {
    std::fprintf(stderr, "discovery: nothing answered\n");
    return 1;
  }
  // The search: from the first broadcast to the end of the quiet window after the last one.
  const std::uint64_t first = rec.broadcasts.front();
  const std::uint64_t searchEnd = rec.quietEnds.empty() ? listedAt : rec.quietEnds.front();
  std::uint64_t firstArrival = 0, lastArrival = 0;
  for (std::uint64_t a : rec.arrivals) {
    if (a < first || a > searchEnd) continue;
    if (!firstArrival) firstArrival = a;
    lastArrival = a;
  }
  const double search = Ms(searchEnd - first);
  const double spread = Ms(lastArrival - firstArrival);
  const double budget = 1.1 * (200.0 + spread);
  std::printf(
      "discovery: %d controllers in the set, %d listed, %zu broadcast(s); search %.1f ms, "
      "replies spread over %.1f ms (first after %.1f ms); window created in %.1f ms, the "
      "list filled %.1f ms after the search ended\n",
      win.Core().State()->set.count, listed, rec.broadcasts.size(), search, spread, Ms(firstArrival - first),
      Ms(created - t0), listedAt > searchEnd ? Ms(listedAt - searchEnd) : 0.0);
  std::puts(Summary("discovery_listed", listed, "controllers",
                    "all " + std::to_string(expected) + " after one search", listed == expected)
                .c_str());
  std::puts(Summary("discovery_ms", search, "ms",
                    "<= 1.1 x (200 ms quiet + spread) = " + std::to_string(budget) + " ms",
                    search <= budget && listed == expected)
                .c_str());
  return 0;
}
