#include "core/cancellable_endpoint.h"

namespace zav::core {

void CancellableEndpoint::Send(const std::string& addr, std::uint16_t port,
                               const std::uint8_t* data, std::size_t len) {
  if (cancelled_.load()) throw Cancelled();
  inner_.Send(addr, port, data, len);
}

int CancellableEndpoint::Receive(std::uint8_t* buf, std::size_t cap, int waitMs,
                                 std::string& fromAddr, std::uint16_t& fromPort) {
  return inner_.Receive(buf, cap, waitMs, fromAddr, fromPort);
}

void CancellableEndpoint::Broadcast(std::uint16_t port, const std::uint8_t* data,
                                    std::size_t len) {
  if (cancelled_.load()) throw Cancelled();
  inner_.Broadcast(port, data, len);
}

}  // namespace zav::core
