// A scripted controller on the scripted network: it answers plain and signed frames the way a
// real one does, checks the signatures of the requests with the session key it handed out, and
// lets a test replace any answer.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/cmac.h"
#include "link/wire.h"
#include "tests/support/scripted_endpoint.h"

namespace zav::testing {

struct SeenRequest {
  bool isSigned = false;
  char letter = 0;
  std::uint16_t seq = 0;  // signed only
  std::vector<std::uint8_t> payload;
  bool authentic = false;  // checksum (plain) or signature (signed) correct
  std::uint64_t atMs = 0;
};

// Whole datagrams a controller sends, for tests that craft odd answers themselves.
std::vector<std::uint8_t> PlainReply(char letter, DeviceId id,
                                     const std::vector<std::uint8_t>& payload);
std::vector<std::uint8_t> SignedReply(const std::uint8_t* sessionKey, DeviceId id, char letter,
                                      const std::vector<std::uint8_t>& payload);
std::vector<std::uint8_t> StatusReply(DeviceId id, std::uint8_t mode, bool valid = true);

class FakeController {
 public:
  // The controller joins the network: it sees every datagram sent to addr or broadcast. Any
  // handler already installed on the endpoint keeps seeing every datagram too.
  FakeController(ScriptedEndpoint& ep, DeviceId id, std::string addr);

  // What to do with one request; handlers below override the standard behaviour.
  struct Response {
    enum Kind { Standard, Silent, Payload, Raw } kind = Standard;
    std::vector<std::uint8_t> bytes;  // the payload, or the whole datagram for Raw
    static Response Normal() { return {}; }
    static Response None() { return {Silent, {}}; }
    static Response With(std::vector<std::uint8_t> p) { return {Payload, std::move(p)}; }
    static Response Frame(std::vector<std::uint8_t> d) { return {Raw, std::move(d)}; }
  };
  std::function<Response(const SeenRequest&)> onPlain;
  std::function<Response(const SeenRequest&)> onSigned;

  const std::vector<SeenRequest>& Requests() const { return requests_; }
  std::vector<SeenRequest> Requests(char letter) const;
  const std::uint8_t* SessionKey() const { return sessionKey_.data(); }

  DeviceId id;
  std::string addr;
  std::uint8_t mode = 2;  // Serwis, no session
  bool statusValid = true;
  bool silent = false;
  bool answersDiscovery = true;
  std::uint64_t replyDelayMs = 5;
  std::array<std::uint8_t, 16> sessionValue{0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6,
                                            0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};
  std::vector<std::uint8_t> deviceTable = std::vector<std::uint8_t>(40, 0x11);
  std::vector<std::uint8_t> configBlock = std::vector<std::uint8_t>(100, 0x22);

 private:
  void OnDatagram(const Datagram& d);
  std::vector<std::uint8_t> StandardPlain(const SeenRequest& r);
  std::vector<std::uint8_t> StandardSigned(const SeenRequest& r);

  ScriptedEndpoint& ep_;
  SigningContext signing_;
  std::array<std::uint8_t, 16> sessionKey_{};
  std::vector<SeenRequest> requests_;
};

}  // namespace zav::testing
