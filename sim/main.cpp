// zavsim: a network of simulated controllers on one UDP socket. Each controller answers from
// its own address alias; a broadcast reaches all of them.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "link/netns_guard.h"
#include "link/posix_udp.h"
#include "sim/control_channel.h"
#include "sim/run_dir.h"
#include "sim/scenario.h"

namespace {

using namespace zav::sim;

volatile std::sig_atomic_t gStop = 0;
void OnSignal(int) {
  gStop = 1;
}

std::uint64_t NowMs() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

constexpr const char* kSocketName = "control.sock";

const char* kUsage =
    "usage: zavsim [options]\n"
    "  --scenario FILE        JSON scenario instead of the built-in one\n"
    "  --extra N              N door controllers more (capacity tests)\n"
    "  --session-timeout MS   forget a session this long after its last command (30000)\n"
    "  --run-dir DIR          the run's private directory (made with mode 0700 when missing):\n"
    "                         control channel DIR/control.sock, --log and dump files\n"
    "  --no-stdin             do not read control lines from standard input\n"
    "  --log NAME             one decoded line per datagram in and out, to DIR/NAME\n"
    "  --seed N               seed of the session values and the drop fault\n"
    "  --port N               UDP port (45389)\n"
    "  --ask DIR LINE...      send one control line to the zavsim of run directory DIR (or\n"
    "                         its socket), print the answer\n"
    "Runs inside the controller namespace of scripts/netns; type 'help' for control commands.\n";

int OpenUdp(std::uint16_t port) {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
  int buf = 1 << 20;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buf, sizeof buf);
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buf, sizeof buf);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Sends from the controller's own address: ipi_spec_dst picks the source of the datagram.
bool SendFrom(int fd, const Outgoing& o) {
  return zav::SendWithPktInfo(fd, o.to.ip, o.to.port, o.bytes.data(), o.bytes.size(), 0, o.from) ==
         static_cast<long>(o.bytes.size());
}

// Client side of the control channel: sends one line, prints the answer. Returns 0 unless the
// answer is an error or the simulator cannot be reached.
int Ask(std::string path, const std::string& line) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) path += "/" + std::string(kSocketName);
  sockaddr_un a{};
  if (path.size() >= sizeof a.sun_path) {
    std::fprintf(stderr, "zavsim: the path %s is too long for a socket\n", path.c_str());
    return 1;
  }
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 1;
  // A simulator that stopped answering must not hold the asking script for ever.
  timeval limit{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  a.sun_family = AF_UNIX;
  std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    std::fprintf(stderr, "zavsim: no simulator at %s: %s\n", path.c_str(), std::strerror(errno));
    close(fd);
    return 1;
  }
  const std::string l = line + "\n";
  std::string out;
  if (write(fd, l.data(), l.size()) == static_cast<ssize_t>(l.size())) {
    char buf[65536];
    // Answers end with "ok", "END" or an error line; "quit" also closes the channel.
    while (!(out == "ok\n" || out.ends_with("END\n") ||
             (out.starts_with("error:") && out.ends_with("\n")) ||
             (out.starts_with("ok position") && out.ends_with("\n")))) {
      ssize_t n = read(fd, buf, sizeof buf);
      if (n <= 0) break;
      out.append(buf, static_cast<std::size_t>(n));
    }
  }
  close(fd);
  std::fputs(out.c_str(), stdout);
  return out.starts_with("error:") || out.empty() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string scenario, runDir, logName;
  int extra = 0;
  long long sessionTimeout = -1;
  bool useStdin = true;
  unsigned long seed = 0;
  bool seeded = false;
  std::uint16_t port = zav::kPort;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "zavsim: %s needs a value\n%s", a.c_str(), kUsage);
        std::exit(2);
      }
      return argv[++i];
    };
    try {
      if (a == "--scenario")
        scenario = next();
      else if (a == "--extra")
        extra = std::stoi(next());
      else if (a == "--session-timeout")
        sessionTimeout = std::stoll(next());
      else if (a == "--run-dir")
        runDir = next();
      else if (a == "--no-stdin")
        useStdin = false;
      else if (a == "--log")
        logName = next();
      else if (a == "--seed")
        seed = std::stoul(next()), seeded = true;
      else if (a == "--port")
        port = static_cast<std::uint16_t>(std::stoul(next()));
      else if (a == "--ask") {
        const std::string path = next();
        std::string line;
        for (++i; i < argc; ++i) {
          if (!line.empty()) line += ' ';
          line += argv[i];
        }
        return Ask(path, line);
      } else if (a == "--help" || a == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
      } else {
        std::fprintf(stderr, "zavsim: unknown option %s\n%s", a.c_str(), kUsage);
        return 2;
      }
    } catch (const std::exception&) {
      std::fprintf(stderr, "zavsim: bad value for %s\n", a.c_str());
      return 2;
    }
  }
  if (extra < 0 || extra > 4000 || sessionTimeout < -1) {
    std::fprintf(stderr, "zavsim: value out of range\n");
    return 2;
  }
  if (!logName.empty() && (runDir.empty() || !PlainFileName(logName))) {
    std::fprintf(stderr, "zavsim: --log takes a plain file name and needs --run-dir\n");
    return 2;
  }
  if (!zav::RequirePrivateNetns("zavsim")) return 3;

  SimNetwork net;
  try {
    if (scenario.empty())
      LoadDefaultScenario(net);
    else
      LoadScenarioFile(net, scenario);
    AddExtraControllers(net, extra);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zavsim: %s\n", e.what());
    return 2;
  }
  for (std::size_t i = 0; i < net.devices.size(); ++i) {
    auto& c = *net.devices[i];
    if (sessionTimeout >= 0) c.sessionTimeoutMs = static_cast<std::uint64_t>(sessionTimeout);
    if (seeded)
      c.rng.seed(static_cast<std::uint32_t>(seed + i));
    else
      c.rng.seed(std::random_device{}());
  }
  if (seeded) net.rng.seed(static_cast<std::uint32_t>(seed));

  int dirFd = -1;
  if (!runDir.empty()) {
    std::string why;
    dirFd = OpenRunDir(runDir, why);
    if (dirFd < 0) {
      std::fprintf(stderr, "zavsim: %s\n", why.c_str());
      return 2;
    }
    net.runDirFd = dirFd;
  }
  int logFd = -1;
  if (!logName.empty()) {
    logFd = OpenInRunDir(dirFd, logName, true);
    if (logFd < 0) {
      std::fprintf(stderr, "zavsim: cannot write %s/%s: %s\n", runDir.c_str(), logName.c_str(),
                   std::strerror(errno));
      return 2;
    }
    const std::uint64_t t0 = NowMs();
    net.log = [logFd, t0](const std::string& line) {
      // One write per line: the log is whole lines also while someone reads it.
      const std::string l = std::to_string(NowMs() - t0) + " " + line + "\n";
      [[maybe_unused]] const ssize_t w = write(logFd, l.data(), l.size());
    };
  }

  const int udp = OpenUdp(port);
  if (udp < 0) {
    std::fprintf(stderr, "zavsim: cannot bind UDP port %u: %s\n", port, std::strerror(errno));
    return 1;
  }
  ControlChannel control;
  const std::string socketPath = runDir + "/" + kSocketName;
  if (!runDir.empty() && !control.Listen(socketPath)) {
    std::fprintf(stderr, "zavsim: cannot listen on %s: %s\n", socketPath.c_str(),
                 std::strerror(errno));
    return 1;
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGPIPE, SIG_IGN);
  std::printf("zavsim: %zu devices on port %u\n", net.devices.size(), port);
  std::fflush(stdout);

  std::vector<Outgoing> pending;
  std::string stdinBuf;
  std::vector<std::uint8_t> buf(65536);

  auto runLines = [&](std::string& acc, int outFd) {
    for (std::size_t nl; (nl = acc.find('\n')) != std::string::npos;) {
      std::string line = acc.substr(0, nl);
      acc.erase(0, nl + 1);
      std::string answer = net.Control(line, NowMs());
      for (std::size_t off = 0; off < answer.size();) {
        ssize_t w = write(outFd, answer.data() + off, answer.size() - off);
        if (w <= 0) break;
        off += static_cast<std::size_t>(w);
      }
    }
  };

  while (!gStop && !net.quitRequested) {
    std::vector<pollfd> fds{{udp, POLLIN, 0}};
    if (useStdin) fds.push_back({0, POLLIN, 0});
    control.AddPollFds(fds);
    int timeout = 1000;
    const std::uint64_t now0 = NowMs();
    for (const auto& o : pending)
      timeout = std::min<int>(timeout, o.dueMs > now0 ? static_cast<int>(o.dueMs - now0) : 0);
    if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) break;

    const std::uint64_t now = NowMs();
    for (std::size_t k = 0; k < fds.size(); ++k) {
      if (!(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const int fd = fds[k].fd;
      if (fd == udp) {
        for (;;) {
          sockaddr_in from{};
          alignas(cmsghdr) char cbuf[256];
          iovec iov{buf.data(), buf.size()};
          msghdr msg{};
          msg.msg_name = &from;
          msg.msg_namelen = sizeof from;
          msg.msg_iov = &iov;
          msg.msg_iovlen = 1;
          msg.msg_control = cbuf;
          msg.msg_controllen = sizeof cbuf;
          ssize_t n = recvmsg(udp, &msg, MSG_DONTWAIT);
          if (n < 0) break;
          std::uint32_t dst = 0xFFFFFFFF;
          for (cmsghdr* cm = CMSG_FIRSTHDR(&msg); cm; cm = CMSG_NXTHDR(&msg, cm)) {
            if (cm->cmsg_level == IPPROTO_IP && cm->cmsg_type == IP_PKTINFO) {
              in_pktinfo pi{};
              std::memcpy(&pi, CMSG_DATA(cm), sizeof pi);
              dst = ntohl(pi.ipi_addr.s_addr);
            }
          }
          Peer peer{ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)};
          auto out = net.Receive(buf.data(), static_cast<std::size_t>(n), peer, dst, now);
          pending.insert(pending.end(), out.begin(), out.end());
        }
      } else if (fd == 0) {
        char tmp[4096];
        ssize_t n = read(0, tmp, sizeof tmp);
        if (n <= 0) {
          useStdin = false;  // stdin closed: keep serving the network
        } else {
          stdinBuf.append(tmp, static_cast<std::size_t>(n));
          runLines(stdinBuf, 1);
        }
      }
    }
    control.Serve(fds, now, [&](const std::string& line) { return net.Control(line, NowMs()); });

    const std::uint64_t sendNow = NowMs();
    for (auto it = pending.begin(); it != pending.end();) {
      if (it->dueMs > sendNow) {
        ++it;
        continue;
      }
      if (!SendFrom(udp, *it) && net.log)
        net.log("SEND-FAILED from " + zav::IpText(it->from) + ": " + std::strerror(errno));
      it = pending.erase(it);
    }
  }
  close(udp);
  if (logFd >= 0) close(logFd);
  if (dirFd >= 0) close(dirFd);
  return 0;
}
