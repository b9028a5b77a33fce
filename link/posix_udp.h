// The real endpoint: one UDP socket bound to 0.0.0.0:port with broadcasting enabled.
#pragma once

#include "link/endpoint.h"

namespace zav {

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

  static constexpr std::uint16_t kDefaultPort = 45389;

 private:
  int fd_ = -1;
};

class SystemClock : public Clock {
 public:
  std::uint64_t NowMs() override;
  std::uint32_t UtcSeconds() override;
};

}  // namespace zav
