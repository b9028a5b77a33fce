// The selected controller's list of RS485 bus devices: decoding of the "D" reply, the display
// order, the change test used by the poll, and the texts of the bus devices panel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/wire.h"

namespace zav {

class UdpDev;

inline constexpr int kMaxBusDevices = 128;
inline constexpr int kMaxReplacementPairs = 2560;

// Low byte: table position of an inactive device; high byte: the new device taking its place.
// The 2-byte payload of command "R".
using ReplacementPair = std::uint16_t;

struct BusDevice {
  DeviceId id = 0;
  std::uint8_t state = 0;  // attribute a1: bit 7 inactive, 6 power, 5 tamper, 4 new
  std::uint8_t suffixNo = 0;
  std::uint16_t outputs = 0;     // 0..31
  std::uint16_t inputs = 0;      // 0..31
  std::uint16_t readers = 0;     // 0..3
  std::uint16_t outputSets = 0;  // 0..3
  std::uint32_t outputsTaken = 0;
  std::uint32_t inputsTaken = 0;
  std::uint16_t readersTaken = 0;
  std::uint16_t outputSetsTaken = 0;
  bool ncOutputs = false;  // open-collector outputs that accept the NC flag
};

// An id with 0xFFFF in its upper half marks an empty slot that keeps its position.
inline constexpr bool IsEmptySlot(DeviceId id) {
  return (id >> 16) == 0xFFFF;
}

class BusDeviceTable {
 public:
  static constexpr int kHeaderLen = 6;
  static constexpr int kEntryLen = 12;

  // count, activeCount and passageCount to 0; controllerKind and the entries stay.
  void Clear();
  // Decodes a "D" reply of len payload bytes. False (and the table clear) when rejected.
  bool Decode(const std::uint8_t* payload, int len);
  // Reads and decodes the table when the controller is available and in Serwis or Instalacja;
  // otherwise sends nothing and leaves the table. UErr passes through.
  void Read(UdpDev& dev);
  // The poll: true when a reply came that differs from the table (it is then decoded, even
  // when the decoding rejects it). UErr passes through.
  bool Refresh(UdpDev& dev);
  // True when the reply's count, an id or the upper four status bits of an entry differ. A
  // reply too short to hold the entries it announces counts as different.
  bool Differs(const std::uint8_t* payload, int len) const;
  bool HasInactive() const;
  // Clears every entry's taken bitmaps, before the marks are rebuilt from a configuration.
  void ClearTaken();
  // Fills out (room for kMaxReplacementPairs) and returns the number of pairs.
  int ReplacementPairs(ReplacementPair* out) const;

  // Texts are UTF-8; the report converts them to Windows-1250 when it writes the file.
  std::string DeviceLine(int pos) const;              // "%s: %s%s"
  std::string LongName(int pos) const;                // "%s/%c%d"
  std::string PairLabel(ReplacementPair pair) const;  // "%s <-- %s"
  static const char* TypeName(unsigned family);
  static const char* StatusSuffix(std::uint8_t state);

  BusDevice devices[kMaxBusDevices] = {};
  std::uint8_t order[kMaxBusDevices] = {};  // table positions of active entries, display order
  int count = 0;
  int activeCount = 0;
  int controllerKind = 0;  // 1 door controller, 2 lift controller
  int passageCount = 0;    // 2, 8 or 16 doors, 1 lift; 0 when nothing is loaded
  std::vector<std::uint8_t> raw;  // the "D" payload of the last Read, as received
};

}  // namespace zav
