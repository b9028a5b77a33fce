#include "tests/support/scripted_endpoint.h"

#include <algorithm>
#include <cstring>

namespace zav::testing {

void ScriptedEndpoint::Send(const std::string& addr, std::uint16_t port, const std::uint8_t* data,
                            std::size_t len) {
  Datagram d{addr, port, std::vector<std::uint8_t>(data, data + len), clock_.NowMs()};
  sent.push_back(d);
  if (onSend) onSend(sent.back());
}

int ScriptedEndpoint::Receive(std::uint8_t* buf, std::size_t cap, int waitMs, std::string& fromAddr,
                              std::uint16_t& fromPort) {
  ++receiveCalls;
  const std::uint64_t deadline = clock_.NowMs() + static_cast<std::uint64_t>(std::max(waitMs, 0));
  if (inbox_.empty() || inbox_.front().atMs > deadline) {
    clock_.nowMs = deadline;
    return -1;
  }
  Datagram d = std::move(inbox_.front());
  inbox_.pop_front();
  if (d.atMs > clock_.NowMs()) clock_.nowMs = d.atMs;
  const std::size_t n = std::min(cap, d.bytes.size());
  if (n) std::memcpy(buf, d.bytes.data(), n);
  fromAddr = d.addr;
  fromPort = d.port;
  return static_cast<int>(n);
}

void ScriptedEndpoint::Queue(std::vector<std::uint8_t> bytes, const std::string& fromAddr,
                             std::uint64_t delayMs, std::uint16_t fromPort) {
  Datagram d{fromAddr, fromPort, std::move(bytes), clock_.NowMs() + delayMs};
  auto pos = std::upper_bound(inbox_.begin(), inbox_.end(), d.atMs,
                              [](std::uint64_t t, const Datagram& x) { return t < x.atMs; });
  inbox_.insert(pos, std::move(d));
}

}  // namespace zav::testing
