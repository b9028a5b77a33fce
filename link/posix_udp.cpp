#include "link/posix_udp.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <system_error>

#include "link/wire.h"

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
    // IpText rather than inet_ntop, which formats through sprintf: every reply passes here.
    fromAddr = IpText(ntohl(from.sin_addr.s_addr));
    fromPort = ntohs(from.sin_port);
    return static_cast<int>(n);
  }
}

std::vector<BroadcastInterface> BroadcastInterfaces(const ifaddrs* list) {
  std::vector<BroadcastInterface> out;
  for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
    if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET || a->ifa_name == nullptr)
      continue;
    const unsigned flags = a->ifa_flags;
    if ((flags & IFF_UP) == 0 || (flags & IFF_BROADCAST) == 0 || (flags & IFF_LOOPBACK) != 0)
      continue;
    // An address with a label ("eth0:1") belongs to the card before the colon; the card is
    // sent out of once, whatever number of addresses it has.
    std::string name = a->ifa_name;
    name = name.substr(0, name.find(':'));
    if (name.empty()) continue;
    if (std::any_of(out.begin(), out.end(),
                    [&](const BroadcastInterface& c) { return c.name == name; }))
      continue;
    sockaddr_in in{};
    std::memcpy(&in, a->ifa_addr, sizeof in);
    out.push_back({name, ntohl(in.sin_addr.s_addr)});
  }
  return out;
}

void SendOnEach(const std::vector<BroadcastInterface>& interfaces,
                const std::function<void(const BroadcastInterface&)>& send) {
  std::exception_ptr first;
  bool anySent = false;
  for (const auto& card : interfaces) {
    try {
      send(card);
      anySent = true;
    } catch (const std::system_error&) {
      if (!first) first = std::current_exception();
    }
  }
  if (!anySent && first) std::rethrow_exception(first);
}

long SendWithPktInfo(int fd, std::uint32_t toIp, std::uint16_t toPort, const std::uint8_t* data,
                     std::size_t len, int ifindex, std::uint32_t fromIp) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(toPort);
  to.sin_addr.s_addr = htonl(toIp);
  iovec iov{const_cast<std::uint8_t*>(data), len};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
  msghdr msg{};
  msg.msg_name = &to;
  msg.msg_namelen = sizeof to;
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  msg.msg_control = control;
  msg.msg_controllen = sizeof control;
  cmsghdr* cm = CMSG_FIRSTHDR(&msg);
  cm->cmsg_level = IPPROTO_IP;
  cm->cmsg_type = IP_PKTINFO;
  cm->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
  in_pktinfo info{};
  info.ipi_ifindex = ifindex;
  info.ipi_spec_dst.s_addr = htonl(fromIp);
  std::memcpy(CMSG_DATA(cm), &info, sizeof info);
  return ::sendmsg(fd, &msg, 0);
}

void PosixUdpEndpoint::SendOutOf(const BroadcastInterface& card, std::uint16_t port,
                                 const std::uint8_t* data, std::size_t len) {
  const unsigned index = ::if_nametoindex(card.name.c_str());
  if (index == 0) {
    const int err = errno;
    throw std::system_error(err, std::generic_category(), "if_nametoindex " + card.name);
  }
  // IP_PKTINFO chooses the card and the source address of this one datagram only, without
  // binding the socket to a device (which would need privileges and would stop its replies
  // from the other cards). A limited broadcast also reaches controllers whose own address is
  // outside the card's subnet, which a subnet broadcast would not.
  for (;;) {
    if (SendWithPktInfo(fd_, INADDR_BROADCAST, port, data, len, static_cast<int>(index),
                        card.addr) >= 0)
      return;
    const int err = errno;
    if (err != EINTR) throw std::system_error(err, std::generic_category(), "sendmsg " + card.name);
  }
}

void PosixUdpEndpoint::Broadcast(std::uint16_t port, const std::uint8_t* data, std::size_t len) {
  ifaddrs* list = nullptr;
  std::vector<BroadcastInterface> cards;
  // Without the interface list the tool still searches the way a one-card host does.
  if (::getifaddrs(&list) == 0) {
    try {
      cards = BroadcastInterfaces(list);
    } catch (...) {
      ::freeifaddrs(list);
      throw;
    }
    ::freeifaddrs(list);
  }
  if (cards.empty()) {
    Send("255.255.255.255", port, data, len);
    return;
  }
  SendOnEach(cards, [&](const BroadcastInterface& card) { SendOutOf(card, port, data, len); });
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
