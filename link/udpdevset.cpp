// Discovery and the sorted set of controllers found.
#include "link/udpdevset.h"

#include "link/link.h"

namespace zav {

UdpDevSet::~UdpDevSet() {
  CloseAll();
}

bool UdpDevSet::Add(DeviceId id, std::uint32_t ip, std::uint16_t mode) {
  bool result = false;
  for (int i = 0; i < count; ++i) {
    UdpDev& d = devs[i];
    if (d.id == id) {
      if (d.mode != mode) {
        d.mode = mode;
        result = true;
      }
      if (d.ip != ip) {
        d.ip = ip;
        result = true;
      }
      return result;
    }
    if (OrderKey(d.id) > OrderKey(id) && count < kCapacity) {
      for (int j = count; j > i; --j) devs[j] = devs[j - 1];
      devs[i] = UdpDev(id, ip, mode);
      if (i <= selected) ++selected;
      ++count;
      return true;
    }
  }
  if (count >= kCapacity) return false;
  devs[count++] = UdpDev(id, ip, mode);
  return true;
}

bool UdpDevSet::Collect(int waitMs) {
  UdpEndpoint& udp = Link::Udp();
  bool result = false;
  std::uint8_t buf[kRecvBuffer];
  std::string fromAddr;
  std::uint16_t fromPort = 0;
  for (;;) {
    const int n = udp.Receive(buf, sizeof buf, waitMs, fromAddr, fromPort);
    if (n < 0) return result;
    if (!IsDiscoveryStatus(buf, static_cast<std::size_t>(n))) continue;
    const DeviceId id = GetU32(buf + 4);
    if (!Add(id, ParseIp(fromAddr), buf[10])) continue;
    result = true;
    // Answered on the tool's own port whatever port the reply came from.
    const auto stamp = TimeStampFrame(id, Link::Time().UtcSeconds());
    udp.Send(fromAddr, kPort, stamp.data(), stamp.size());
  }
}

void UdpDevSet::Search() {
  const auto request = DiscoveryRequest();
  for (int i = 0; i < 3; ++i) {
    Link::Udp().Broadcast(kPort, request.data(), request.size());
    if (Collect(kRecvWindowMs)) return;
  }
}

void UdpDevSet::CloseAll() noexcept {
  for (int i = 0; i < count; ++i) {
    UdpDev& d = devs[i];
    if (!d.session) continue;
    // At shutdown there is nobody to show an error to, and one silent controller must not
    // keep the others' sessions open.
    try {
      d.CloseSession();
    } catch (...) {
    }
    d.session = false;
  }
}

}  // namespace zav
