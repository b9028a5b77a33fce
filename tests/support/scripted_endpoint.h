// A scripted network and clock: tests queue the datagrams a controller would answer and time
// passes only when the code under test waits.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "link/endpoint.h"

namespace zav::testing {

class FakeClock : public Clock {
 public:
  std::uint64_t NowMs() override { return nowMs; }
  std::uint32_t UtcSeconds() override { return utcSeconds; }
  void Advance(std::uint64_t ms) { nowMs += ms; }

  std::uint64_t nowMs = 1'000'000;
  std::uint32_t utcSeconds = 1'700'000'000;
};

struct Datagram {
  std::string addr;
  std::uint16_t port = 0;
  std::vector<std::uint8_t> bytes;
  std::uint64_t atMs = 0;  // when it was sent, or when it arrives
};

class ScriptedEndpoint : public UdpEndpoint {
 public:
  explicit ScriptedEndpoint(FakeClock& clock) : clock_(clock) {}

  // Called for every datagram sent; may Queue replies.
  std::function<void(const Datagram&)> onSend;

  void Send(const std::string& addr, std::uint16_t port, const std::uint8_t* data,
            std::size_t len) override;
  int Receive(std::uint8_t* buf, std::size_t cap, int waitMs, std::string& fromAddr,
              std::uint16_t& fromPort) override;

  // A datagram that arrives delayMs after now, from addr:port.
  void Queue(std::vector<std::uint8_t> bytes, const std::string& fromAddr,
             std::uint64_t delayMs = 0, std::uint16_t fromPort = 45389);

  std::vector<Datagram> sent;
  int receiveCalls = 0;

 private:
  FakeClock& clock_;
  std::deque<Datagram> inbox_;  // ordered by arrival
};

}  // namespace zav::testing
