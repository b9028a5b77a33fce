// The command set and the printed forms of a controller record.
#include <cstring>
#include <stdexcept>

#include "link/udpdev.h"

namespace zav {

UdpDev::UdpDev(DeviceId id_, std::uint32_t ip_, std::uint16_t mode_)
    : id(id_), ip(ip_), mode(mode_), available(true) {}

int UdpDev::ReadDevices(std::uint8_t* out1400) {
  if (!available || !(mode & 0x02)) return -1;
  EnsureSession();
  return SignedCommand('D', nullptr, 0, kMaxBlock, out1400);
}

bool UdpDev::TryReadDevices(std::uint8_t* out1400, int& len) {
  len = 0;
  if (!available || !(mode & 0x02)) return false;
  // A foreign session is left for the user's own actions to report.
  if ((mode & 0x80) && !session) return false;
  if (!session) OpenSession();
  len = SignedCommand('D', nullptr, 0, kMaxBlock, out1400);
  return len > 0;
}

int UdpDev::ReadConfig(std::uint8_t kind, std::uint8_t index, std::uint8_t* out1400) {
  const std::uint8_t request[2] = {kind, index};
  return SignedCommand('C', request, sizeof request, kMaxBlock, out1400);
}

void UdpDev::WriteConfig(std::uint8_t kind, std::uint8_t index, const std::uint8_t* block,
                         std::size_t k) {
  // The request area is one block of 1400 bytes; a longer block would not fit it.
  if (k > static_cast<std::size_t>(kMaxBlock) - 2)
    throw std::length_error("Blok konfiguracji dłuższy niż 1398 bajtów.");
  std::uint8_t area[kMaxBlock] = {};
  area[0] = kind;
  area[1] = index;
  if (k > 0) std::memcpy(area + 2, block, k);
  SignedCommandAck('c', area, k + 2);
}

void UdpDev::DeleteInactive() {
  EnsureSession();
  SignedCommandAck('F', nullptr, 0);
}

void UdpDev::ReplaceDevice(std::uint16_t pairCode) {
  EnsureSession();
  std::uint8_t request[2];
  PutU16(request, pairCode);
  SignedCommandAck('R', request, sizeof request);
}

void UdpDev::SendFirmwareBlock(std::uint16_t number, const std::uint8_t* block528) {
  std::uint8_t request[2 + 528];
  PutU16(request, number);
  std::memcpy(request + 2, block528, 528);
  CommandAck('Y', request, sizeof request);
}

std::string UdpDev::ModeName() const {
  if (!available) return "Niedostępny";
  switch (mode & 0x03) {
    case 0:
      return "Blokada";
    case 1:
      return "Konfiguracja";
    case 2:
      return "Serwis";
    default:
      return "Instalacja";
  }
}

std::string UdpDev::IpText() const {
  return zav::IpText(ip);
}

std::string UdpDev::ListLine() const {
  return " " + DevName(id) + ",  " + IpText() + ",  " + ModeName();
}

}  // namespace zav
