// A door or lift controller scripted behind the in-memory endpoint: it answers status polls
// and signed commands with correctly signed replies, and records every signed command.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "link/udpdev.h"
#include "tests/support/scripted_endpoint.h"

namespace zav::testing {

struct SignedRequest {
  char letter = 0;
  std::vector<std::uint8_t> payload;
};

class ControllerScript {
 public:
  ControllerScript();
  ~ControllerScript();

  // A controller record with an open session in mode Serwis, as after a selection.
  UdpDev MakeDev() const;

  // Answers a signed command; nullopt keeps the controller silent.
  std::function<std::optional<std::vector<std::uint8_t>>(const SignedRequest&)> answer;

  std::vector<SignedRequest> signedRequests;
  int statusPolls = 0;

  FakeClock clock;
  ScriptedEndpoint endpoint{clock};
  DeviceId id = 0x312C0042;      // class 3, type 300 (a controller), serial 66
  std::uint8_t modeByte = 0x82;  // session held, Serwis
  std::uint8_t key[16] = {};

 private:
  void OnSend(const Datagram& d);
};

// Builders of reply payloads.
std::vector<std::uint8_t> Ack();
std::vector<std::uint8_t> DeviceTableReply(std::uint8_t header,
                                           const std::vector<std::vector<std::uint8_t>>& entries);
// One 12-byte entry: id, then a0..a7.
std::vector<std::uint8_t> Entry(DeviceId id, std::uint8_t a0, std::uint8_t a1, std::uint8_t a2,
                                std::uint8_t a3, std::uint8_t a4, std::uint8_t a5);

}  // namespace zav::testing
