// The platform seam of the link: one UDP endpoint and one clock. The real ones wrap a POSIX
// socket and the system clock; tests script a controller and time behind the same interfaces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zav {

class UdpEndpoint {
 public:
  virtual ~UdpEndpoint() = default;
  // Sends one datagram to a dotted IPv4 address (or 255.255.255.255). Failures throw
  // std::system_error carrying the system's own text.
  virtual void Send(const std::string& addr, std::uint16_t port, const std::uint8_t* data,
                    std::size_t len) = 0;
  // Receives one datagram of up to cap bytes, waiting at most waitMs (0: only what is already
  // there). Returns its length and sets the sender's dotted address and port, or returns -1
  // when nothing came in time.
  virtual int Receive(std::uint8_t* buf, std::size_t cap, int waitMs, std::string& fromAddr,
                      std::uint16_t& fromPort) = 0;
  // Sends the discovery request out of every interface that can reach controllers. The default
  // is the limited broadcast 255.255.255.255.
  virtual void Broadcast(std::uint16_t port, const std::uint8_t* data, std::size_t len) {
    Send("255.255.255.255", port, data, len);
  }
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::uint64_t NowMs() = 0;       // monotonic milliseconds, for attempt limits
  virtual std::uint32_t UtcSeconds() = 0;  // whole seconds since 1970-01-01 UTC, mod 2^32
};

}  // namespace zav
