// The tool's record of one controller and every operation on it: the exchange, plain and signed
// commands, the session and the command set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "link/wire.h"

namespace zav {

class UdpDev {
 public:
  UdpDev() = default;                                         // an empty slot
  UdpDev(DeviceId id, std::uint32_t ip, std::uint16_t mode);  // as added by discovery
  // Records are plain values: copying or destroying one never talks to the controller.
  // Sessions are closed by UdpDevSet::CloseAll (the owner's destruction), once each.

  // One send and the wait for the matching datagram; reply must hold kRecvBuffer bytes.
  // letter 0: plain rule against match[0..3]; otherwise the signed rule for that letter.
  int Exchange(const std::uint8_t* request, std::size_t len, const std::uint8_t* match4,
               char letter, std::uint8_t* reply);
  // Plain command; returns the reply's payload length (may exceed max), 0 when every attempt
  // failed. Never raises UErr.
  int Command(char letter, const std::uint8_t* payload, std::size_t n, std::size_t max,
              std::uint8_t* out);
  // Signed command; raises UErr 4, 5 or 6.
  int SignedCommand(char letter, const std::uint8_t* payload, std::size_t n, std::size_t max,
                    std::uint8_t* out);
  void CommandAck(char letter, const std::uint8_t* payload, std::size_t n);        // UErr 7
  void SignedCommandAck(char letter, const std::uint8_t* payload, std::size_t n);  // 4 5 6 7

  bool PollStatus();
  void OpenSession();    // UErr 3
  void EnsureSession();  // UErr 1, 2, 3
  void KeepAlive();
  void CloseSession();

  // Command set. Each "read" returns the payload length received.
  // ReadDevices: -1 and nothing sent unless available and mode 2 or 3.
  int ReadDevices(std::uint8_t* out1400);
  // TryReadDevices: false without sending when not available, not mode 2/3, or a foreign
  // session is shown; len receives the payload length.
  bool TryReadDevices(std::uint8_t* out1400, int& len);
  int ReadConfig(std::uint8_t kind, std::uint8_t index, std::uint8_t* out1400);
  void WriteConfig(std::uint8_t kind, std::uint8_t index, const std::uint8_t* block, std::size_t k);
  void DeleteInactive();
  void ReplaceDevice(std::uint16_t pairCode);
  void SendFirmwareBlock(std::uint16_t number, const std::uint8_t* block528);

  std::string ModeName() const;  // "Niedostępny", "Blokada", "Konfiguracja", "Serwis", "Instalacja"
  std::string IpText() const;
  std::string ListLine() const;  // " %s,  %s,  %s"

  DeviceId id = 0;
  std::uint32_t ip = 0;
  std::uint16_t seq = 0;
  std::uint16_t mode = 0;
  bool available = false;
  bool changed = false;
  bool session = false;
  std::uint8_t key[16] = {};

 private:
  // Command; with latestAnswer, when the reply taken may be a retried request's earlier answer,
  // the later answer is awaited and used instead (for "K", whose every answer is a new key).
  int PlainCommand(char letter, const std::uint8_t* payload, std::size_t n, std::size_t max,
                   std::uint8_t* out, bool latestAnswer);
};

}  // namespace zav
