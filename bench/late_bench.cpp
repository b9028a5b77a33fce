// zav_bench_late CONTROL_SOCKET [DELAY_MS]: the load of the 16-passage controller of the "load"
// scenario (status poll, session, bus table, controller block and every passage, through the
// link and the configuration model, no window) on a prompt network and with every reply
// DELAY_MS (450) late, which zavsim is told over its control socket. Information, not a
// budget: with late replies every command is sent twice and the one after it waits until the
// second answer has come, so a load costs about twice the commands times the delay.
// Runs only inside a scripts/netns namespace: it broadcasts on port 45389.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "config/bus_device_table.h"
#include "config/passage_config.h"
#include "link/link.h"
#include "link/netns_guard.h"
#include "link/posix_udp.h"
#include "link/udpdevset.h"
#include "link/uerr.h"

namespace {

using Steady = std::chrono::steady_clock;

// One control line to zavsim; true when it answered "ok".
bool AskSim(const std::string& path, const std::string& line) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
  std::string out;
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    const std::string l = line + "\n";
    if (write(fd, l.data(), l.size()) == static_cast<ssize_t>(l.size())) {
      char buf[256];
      while (out.find('\n') == std::string::npos) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) break;
        out.append(buf, static_cast<std::size_t>(n));
      }
    }
  }
  close(fd);
  return out.rfind("ok", 0) == 0;
}

// The real socket, counting the requests sent.
class CountingEndpoint : public zav::UdpEndpoint {
 public:
  void Send(const std::string& addr, std::uint16_t port, const std::uint8_t* data,
            std::size_t len) override {
    ++sends;
    inner.Send(addr, port, data, len);
  }
  int Receive(std::uint8_t* buf, std::size_t cap, int waitMs, std::string& fromAddr,
              std::uint16_t& fromPort) override {
    return inner.Receive(buf, cap, waitMs, fromAddr, fromPort);
  }
  void Broadcast(std::uint16_t port, const std::uint8_t* data, std::size_t len) override {
    inner.Broadcast(port, data, len);
  }
  zav::PosixUdpEndpoint inner;
  int sends = 0;
};

// The selection's road without the window: a fresh session, the table, every record. Returns
// the milliseconds it took, or a negative value when the configuration was not read whole.
double Load(zav::UdpDev& dev, zav::BusDeviceTable& table, zav::PassageConfig& doors) {
  const auto t0 = Steady::now();
  try {
    if (!dev.PollStatus()) return -1;
    table.Clear();
    table.Read(dev);
    doors.Read(dev);
  } catch (const zav::UErr& e) {
    std::fprintf(stderr, "late_load: %s", zav::UErrText(e).c_str());
    return -1;
  }
  const double ms = std::chrono::duration<double, std::milli>(Steady::now() - t0).count();
  return doors.complete && table.passageCount == 16 ? ms : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: zav_bench_late CONTROL_SOCKET [DELAY_MS]\n");
    return 2;
  }
  if (!zav::RequirePrivateNetns("zav_bench_late")) return 2;
  const std::string control = argv[1];
  const int delay = argc > 2 ? std::atoi(argv[2]) : 450;
  zav::SystemClock clock;
  CountingEndpoint ep;
  zav::Link::Use(&ep, &clock);
  zav::UdpDevSet set;
  set.Search();
  if (set.count < 1) {
    std::fprintf(stderr, "late_load: no controller found\n");
    return 1;
  }
  zav::UdpDev& dev = set.devs[0];
  zav::BusDeviceTable table;
  zav::PassageConfig doors{table};

  std::vector<double> prompt;
  int commands = 0;
  for (int r = 0; r < 5; ++r) {
    dev.CloseSession();
    ep.sends = 0;
    prompt.push_back(Load(dev, table, doors));
    commands = ep.sends;
    if (prompt.back() < 0) return 1;
  }
  dev.CloseSession();

  if (!AskSim(control, "fault delay " + std::to_string(delay))) {
    std::fprintf(stderr, "late_load: zavsim did not take the delay\n");
    return 1;
  }
  ep.sends = 0;
  const double late = Load(dev, table, doors);
  const int lateSends = ep.sends;
  AskSim(control, "fault delay 0");
  std::this_thread::sleep_for(std::chrono::milliseconds(delay + 200));
  dev.CloseSession();
  if (late < 0) {
    std::fprintf(stderr, "late_load: the load with late replies did not read every record\n");
    return 1;
  }
  const double promptMs = zav::bench::Median(prompt);
  const double floor = static_cast<double>(commands) * delay;
  std::printf("late_load: %d commands; prompt %.1f ms (median of %zu); every reply %d ms late: "
              "%.0f ms, %d requests sent, %.2f x the %.0f ms the late replies alone cost\n",
              commands, promptMs, prompt.size(), delay, late, lateSends, late / floor, floor);
  std::printf("late_load_ms: %.3f ms (information: 16 passages, every reply %d ms late; %.2f x "
              "%d commands x %d ms; prompt %.1f ms)\n",
              late, delay, late / floor, commands, delay, promptMs);
  return 0;
}
