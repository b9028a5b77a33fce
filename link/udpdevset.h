// The sorted set of controllers found by discovery.
#pragma once

#include <array>
#include <cstdint>

#include "link/udpdev.h"

namespace zav {

class UdpDevSet {
 public:
  static constexpr int kCapacity = 100;

  UdpDevSet() = default;
  UdpDevSet(const UdpDevSet&) = delete;
  UdpDevSet& operator=(const UdpDevSet&) = delete;
  ~UdpDevSet();  // CloseAll()

  bool Add(DeviceId id, std::uint32_t ip, std::uint16_t mode);
  bool Collect(int waitMs);
  void Search();
  // Closes every session the tool holds, once each. A failing close never stops the others
  // and never throws.
  void CloseAll() noexcept;

  std::array<UdpDev, kCapacity> devs{};
  int count = 0;
  int selected = -1;
};

}  // namespace zav
