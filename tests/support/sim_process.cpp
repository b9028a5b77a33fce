#include "tests/support/sim_process.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

namespace zav::testnet {

using namespace std::chrono_literals;

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

bool EnterNetns(const std::string& ns) {
  const int fd = open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool entered = setns(fd, CLONE_NEWNET) == 0;
  close(fd);
  return entered;
}

bool SimProcess::Start(const std::string& net, const std::string& bin,
                       const std::vector<std::string>& args, bool withLog) {
  char dir[] = "/tmp/zavsim-test.XXXXXX";  // made with mode 0700
  if (!mkdtemp(dir)) return false;
  dir_ = dir;
  log_ = withLog ? dir_ + "/datagrams.log" : "";
  std::vector<std::string> argv{bin, "--no-stdin", "--run-dir", dir_};
  if (!net.empty()) argv.insert(argv.begin(), {"ip", "netns", "exec", net + "-ctl"});
  if (withLog) argv.insert(argv.end(), {"--log", "datagrams.log"});
  argv.insert(argv.end(), args.begin(), args.end());
  pid_ = fork();
  if (pid_ == 0) {
    if (net.empty() && unshare(CLONE_NEWNET) != 0) _exit(126);
    std::vector<char*> a;
    for (auto& s : argv) a.push_back(s.data());
    a.push_back(nullptr);
    execvp(a[0], a.data());
    _exit(127);
  }
  if (pid_ < 0) return false;
  for (int i = 0; i < 100; ++i) {
    if (Ask("ping") == "ok\n") return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      status_ = status;
      rmdir(dir_.c_str());  // left only when it holds a datagram log
      return false;
    }
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

bool SimProcess::Stop(bool keepLog) {
  if (pid_ <= 0) return true;
  Ask("quit");
  int status = 0;
  bool ended = false;
  for (int i = 0; i < 40 && !ended; ++i) {
    ended = waitpid(pid_, &status, WNOHANG) == pid_;
    if (!ended) std::this_thread::sleep_for(50ms);
  }
  if (!ended) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
  }
  pid_ = -1;
  quitInTime_ = ended;
  status_ = status;
  unlink(socketPath().c_str());
  const bool clean = ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  // The datagram log stays for a failed run, to be looked at; the directory goes with the last
  // file in it.
  if (clean && !keepLog && !log_.empty()) unlink(log_.c_str());
  rmdir(dir_.c_str());
  return clean;
}

SimProcess::~SimProcess() {
  Stop(true);
}

std::string SimProcess::Ask(const std::string& line) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return "";
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::strncpy(a.sun_path, socketPath().c_str(), sizeof a.sun_path - 1);
  // A simulator that stopped answering fails the test instead of holding it.
  timeval limit{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  std::string out;
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    const std::string l = line + "\n";
    if (write(fd, l.data(), l.size()) == static_cast<ssize_t>(l.size())) {
      char buf[65536];
      auto done = [&] {
        if (out.empty() || out.back() != '\n') return false;
        return out == "ok\n" || out.rfind("ok ", 0) == 0 || out.rfind("error:", 0) == 0 ||
               out.ends_with("END\n");
      };
      while (!done()) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) break;
        out.append(buf, static_cast<std::size_t>(n));
      }
    }
  }
  close(fd);
  return out;
}

SimDump SimProcess::Dump() {
  SimDump d;
  std::istringstream in(Ask("dump"));
  for (std::string line; std::getline(in, line);) {
    std::istringstream l(line);
    std::string tag, name;
    l >> tag >> name;
    if (tag == "DEV") {
      for (std::string kv; l >> kv;) {
        const auto eq = kv.find('=');
        if (eq != std::string::npos) d.dev[name][kv.substr(0, eq)] = kv.substr(eq + 1);
      }
    } else if (tag == "BLOCK") {
      std::string kind, index, hex;
      l >> kind >> index >> hex;
      d.blocks[name + " " + kind + " " + index] = hex;
    } else if (tag == "BUS") {
      std::string rest;
      std::getline(l, rest);
      d.bus[name].push_back(rest.empty() ? rest : rest.substr(1));
    }
  }
  return d;
}

}  // namespace zav::testnet
