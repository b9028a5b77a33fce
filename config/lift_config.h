// A lift controller's configuration: one lift of up to 64 floors in output sets of eight.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/bus_device_table.h"
#include "config/io_ref.h"
#include "config/raw_block.h"

namespace zav {

class UdpDev;

inline constexpr std::uint8_t kLiftKind = 2;
inline constexpr std::uint8_t kLiftSetsHeader = 0x88;  // eight references naming output sets

// 64 bytes, byte for byte the wire layout.
struct LiftParams {
  std::uint8_t kept0[4] = {};
  std::uint8_t unlockTime = 0;  // half-seconds
  std::uint8_t kept5[3] = {};   // limited to 127 on reading
  std::uint8_t kept8[40] = {};
  std::uint8_t name[16] = {};  // Windows-1250, NUL-terminated
};
static_assert(sizeof(LiftParams) == 64);

class LiftConfig {
 public:
  explicit LiftConfig(BusDeviceTable& t) : table(t) {}
  // Copies the configuration, not the binding (see PassageConfig).
  LiftConfig(const LiftConfig&) = delete;
  LiftConfig& operator=(const LiftConfig& other);

  // One "C" (2, 0), then the taken marks. Sends nothing unless available and in Serwis or
  // Instalacja. complete becomes true only when the record was read. UErr passes through.
  void Read(UdpDev& dev);
  // One "c" (2, 0, record). Returns false, sending nothing, unless Writable.
  bool Write(UdpDev& dev);
  // A complete read from this controller, which is still a lift controller.
  bool Writable(const UdpDev& dev) const;
  void MarkTaken();

  // 104-byte record image and its decoding from a "C" reply (false leaves the record).
  void Encode(std::uint8_t* out104) const;
  bool DecodeReply(const std::uint8_t* payload, int len);

  void SetFloorSet(int index, IoRef ref);
  void SetLiftInput(int index, IoRef ref, bool nc);
  void SetLiftInputNc(int index, bool on);
  void SetLiftReader(int index, IoRef ref);
  void SetUnlockTime(int halfSeconds);  // clamped 0..127
  void SetName(std::string_view utf8);
  std::string Name() const;

  BusDeviceTable& table;
  IoRef floorSets[8] = {};  // set s serves floors 8s+1..8s+8
  IoRef inputs[8] = {};     // 0..2 carried as read, 3..5 tamper, 6 mains, 7 battery
  IoRef readers[4] = {};
  LiftParams params;
  bool complete = false;
  DeviceId loadedFrom = 0;
  std::vector<RawBlock> raw;  // the "C" payload of the last Read
};

}  // namespace zav
