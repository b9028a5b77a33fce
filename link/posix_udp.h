// The real endpoint: one UDP socket bound to 0.0.0.0:port with broadcasting enabled.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link/endpoint.h"

struct ifaddrs;

namespace zav {

// One network card the discovery request goes out of: its name and its IPv4 address (first
// octet in the top byte), which becomes the source the controllers answer to.
struct BroadcastInterface {
  std::string name;
  std::uint32_t addr = 0;
};

// The IPv4 interfaces that are up, broadcast-capable and not loopback, once each (the first
// address of a card with several), in the order of the list.
std::vector<BroadcastInterface> BroadcastInterfaces(const ifaddrs* list);

// Calls send for every interface. A failing card does not stop the others; only when every
// one failed is the first failure rethrown. An empty list sends nothing.
void SendOnEach(const std::vector<BroadcastInterface>& interfaces,
                const std::function<void(const BroadcastInterface&)>& send);

class PosixUdpEndpoint : public UdpEndpoint {
 public:
  explicit PosixUdpEndpoint(std::uint16_t port = kDefaultPort);  // throws std::system_error
  ~PosixUdpEndpoint() override;
  PosixUdpEndpoint(const PosixUdpEndpoint&) = delete;
  PosixUdpEndpoint& operator=(const PosixUdpEndpoint&) = delete;

  void Send(const std::string& addr, std::uint16_t port, const std::uint8_t* data,
            std::size_t len) override;
  int Receive(std::uint8_t* buf, std::size_t cap, int waitMs, std::string& fromAddr,
              std::uint16_t& fromPort) override;
  // The limited broadcast leaves a host through the default route's card only, so a laptop
  // with Wi-Fi and a cable to the installation switch would search the wrong segment. The
  // request goes to 255.255.255.255 out of every broadcast-capable card instead; with no such
  // card it is the plain limited broadcast, as on a host with one network.
  void Broadcast(std::uint16_t port, const std::uint8_t* data, std::size_t len) override;

  static constexpr std::uint16_t kDefaultPort = 45389;

 private:
  void SendOutOf(const BroadcastInterface& card, std::uint16_t port, const std::uint8_t* data,
                 std::size_t len);

  int fd_ = -1;
};

class SystemClock : public Clock {
 public:
  std::uint64_t NowMs() override;
  std::uint32_t UtcSeconds() override;
};

// Sends one datagram from fd with IP_PKTINFO choosing, for this datagram only, the outgoing
// card (ifindex; 0 lets routing choose) and the source address (host order). Addresses are in
// host order. Returns what sendmsg returns, with errno as it leaves it.
long SendWithPktInfo(int fd, std::uint32_t toIp, std::uint16_t toPort, const std::uint8_t* data,
                     std::size_t len, int ifindex, std::uint32_t fromIp);

}  // namespace zav
