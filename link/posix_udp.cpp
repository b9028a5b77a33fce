#include "link/posix_udp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <system_error>

namespace zav {

namespace {

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

PosixUdpEndpoint::PosixUdpEndpoint(std::uint16_t port) {
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) ThrowErrno("socket");
  const int on = 1;
  // No SO_REUSEADDR: a second copy of the tool must fail to bind instead of sharing replies.
  if (::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
    const int err = errno;
    ::close(fd_);
    throw std::system_error(err, std::generic_category(), "setsockopt SO_BROADCAST");
  }
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(port);
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    const int err = errno;
    ::close(fd_);
    throw std::system_error(err, std::generic_category(), "bind UDP " + std::to_string(port));
  }
}

PosixUdpEndpoint::~PosixUdpEndpoint() {
  if (fd_ >= 0) ::close(fd_);
}

void PosixUdpEndpoint::Send(const std::string& addr, std::uint16_t port, const std::uint8_t* data,
                            std::size_t len) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  if (::inet_pton(AF_INET, addr.c_str(), &to.sin_addr) != 1)
    throw std::system_error(EINVAL, std::generic_category(), "adres IPv4 '" + addr + "'");
  for (;;) {
    const ssize_t n =
        ::sendto(fd_, data, len, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (n >= 0) return;
    if (errno != EINTR) ThrowErrno("sendto");
  }
}

int PosixUdpEndpoint::Receive(std::uint8_t* buf, std::size_t cap, int waitMs, std::string& fromAddr,
                              std::uint16_t& fromPort) {
  using Steady = std::chrono::steady_clock;
  const auto deadline = Steady::now() + std::chrono::milliseconds(waitMs < 0 ? 0 : waitMs);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now());
    pollfd p{fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
    if (r < 0) {
      if (errno == EINTR) continue;
      ThrowErrno("poll");
    }
    if (r == 0) return -1;
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    // A datagram longer than cap is cut to cap by the kernel; the rest is discarded.
    const ssize_t n =
        ::recvfrom(fd_, buf, cap, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      ThrowErrno("recvfrom");
    }
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    fromAddr = text;
    fromPort = ntohs(from.sin_port);
    return static_cast<int>(n);
  }
}

std::uint64_t SystemClock::NowMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

std::uint32_t SystemClock::UtcSeconds() {
  const auto s = std::chrono::duration_cast<std::chrono::seconds>(
                     std::chrono::system_clock::now().time_since_epoch())
                     .count();
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(s));
}

}  // namespace zav
