#include "sim/control_channel.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zav::sim {

ControlChannel::~ControlChannel() {
  for (auto& c : clients_) ::close(c.fd);
  if (listen_ >= 0) {
    ::close(listen_);
    ::unlink(path_.c_str());
  }
}

bool ControlChannel::Listen(const std::string& path) {
  sockaddr_un a{};
  if (path.size() >= sizeof a.sun_path) {
    errno = ENAMETOOLONG;
    return false;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  a.sun_family = AF_UNIX;
  std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
  // A socket left by an earlier run goes; anything else under that name stays and the bind fails.
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) ::unlink(path.c_str());
  // The socket is born closed to everyone else: no moment where another user could connect.
  const mode_t old = ::umask(0177);
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::umask(old);
  if (!bound || ::chmod(path.c_str(), 0600) != 0 || ::listen(fd, 8) != 0) {
    const int err = errno;
    ::close(fd);
    if (bound) ::unlink(path.c_str());
    errno = err;
    return false;
  }
  listen_ = fd;
  path_ = path;
  return true;
}

void ControlChannel::AddPollFds(std::vector<pollfd>& fds) const {
  if (listen_ >= 0) fds.push_back({listen_, POLLIN, 0});
  for (const auto& c : clients_)
    fds.push_back({c.fd, static_cast<short>(c.out.empty() ? POLLIN : POLLOUT), 0});
}

void ControlChannel::Accept(std::uint64_t nowMs) {
  for (;;) {
    const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    ucred peer{};
    socklen_t len = sizeof peer;
    // The socket's mode already keeps others out; the check holds even if someone loosens it.
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &len) != 0 || peer.uid != ::geteuid()) {
      ::close(fd);
      ++refused_;
      continue;
    }
    if (clients_.size() >= kMaxClients) {
      ::close(fd);
      continue;
    }
    clients_.push_back({fd, {}, {}, nowMs});
  }
}

bool ControlChannel::Flush(Client& c, std::uint64_t nowMs) {
  while (!c.out.empty()) {
    const ssize_t n = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    c.out.erase(0, static_cast<std::size_t>(n));
    c.lastMs = nowMs;
  }
  return true;
}

bool ControlChannel::RunLines(Client& c, std::uint64_t nowMs,
                              const std::function<std::string(const std::string&)>& run) {
  // One line at a time, each after the answer before it went out: a client that sends many
  // lines and reads nothing holds one answer here, not one per line.
  for (std::size_t nl; c.out.empty() && (nl = c.in.find('\n')) != std::string::npos;) {
    const std::string line = c.in.substr(0, nl);
    c.in.erase(0, nl + 1);
    c.out = run(line);
    if (!Flush(c, nowMs)) return false;
  }
  return c.in.size() <= kMaxLine;  // no line is that long: not a control client
}

bool ControlChannel::Read(Client& c, std::uint64_t nowMs,
                          const std::function<std::string(const std::string&)>& run) {
  char buf[4096];
  const ssize_t n = ::recv(c.fd, buf, sizeof buf, MSG_DONTWAIT);
  if (n == 0) return false;
  if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
  c.in.append(buf, static_cast<std::size_t>(n));
  c.lastMs = nowMs;
  return RunLines(c, nowMs, run);
}

void ControlChannel::Expire(std::uint64_t nowMs) {
  std::erase_if(clients_, [&](const Client& c) {
    const std::uint64_t limit = c.out.empty() ? kIdleMs : kStallMs;
    if (nowMs < c.lastMs + limit) return false;
    ::close(c.fd);
    return true;
  });
}

void ControlChannel::Serve(const std::vector<pollfd>& fds, std::uint64_t nowMs,
                           const std::function<std::string(const std::string&)>& run) {
  bool accept = false;
  for (const pollfd& p : fds) {
    if (!p.revents) continue;
    if (p.fd == listen_ && listen_ >= 0) {
      accept = true;
      continue;
    }
    auto it = std::find_if(clients_.begin(), clients_.end(),
                           [&](const Client& c) { return c.fd == p.fd; });
    if (it == clients_.end()) continue;
    bool keep = true;
    if (!it->out.empty()) {
      // Once the answer is out, lines that waited behind it run.
      keep = Flush(*it, nowMs) && RunLines(*it, nowMs, run);
    } else if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
      keep = Read(*it, nowMs, run);
    }
    if (!keep) {
      ::close(it->fd);
      clients_.erase(it);
    }
  }
  // Accepted last: a descriptor closed above cannot come back under a new client this round.
  if (accept) Accept(nowMs);
  Expire(nowMs);
}

}  // namespace zav::sim
