// The endpoint the core's worker talks through: the program's own endpoint, and a switch that
// makes every later send fail. At shutdown it ends an operation that only reads after the
// attempt it is waiting on, instead of letting it start new exchanges.
#pragma once

#include <atomic>
#include <stdexcept>

#include "link/endpoint.h"

namespace zav::core {

// Thrown by a send after Cancel(): the operation gave up because the program is closing.
struct Cancelled : std::runtime_error {
  Cancelled() : std::runtime_error("cancelled") {}
};

class CancellableEndpoint : public UdpEndpoint {
 public:
  explicit CancellableEndpoint(UdpEndpoint& inner) : inner_(inner) {}
  void Send(const std::string& addr, std::uint16_t port, const std::uint8_t* data,
            std::size_t len) override;
  int Receive(std::uint8_t* buf, std::size_t cap, int waitMs, std::string& fromAddr,
              std::uint16_t& fromPort) override;
  void Broadcast(std::uint16_t port, const std::uint8_t* data, std::size_t len) override;

  void Cancel(bool on) { cancelled_.store(on); }

 private:
  UdpEndpoint& inner_;
  std::atomic<bool> cancelled_{false};
};

}  // namespace zav::core
