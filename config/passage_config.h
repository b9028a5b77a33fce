// A door controller's configuration: its own input/output record and up to 16 passage records,
// read and written in one sequence.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "config/bus_device_table.h"
#include "config/controller_io_config.h"
#include "config/io_ref.h"
#include "config/raw_block.h"

namespace zav {

class UdpDev;

inline constexpr int kMaxPassages = 16;
inline constexpr int kRecordLen = 104;       // passage or lift record, memory and wire image
inline constexpr int kRecordReplyMin = 112;  // 8-byte header, then the record

// 64 bytes, byte for byte the wire layout; every byte not named keeps what was read.
struct PassageParams {
  std::uint8_t type = 0;  // bits 3-0 passage type 0..4, bits 7-4 kept
  std::uint8_t kept1 = 0;
  std::uint8_t airlockFlags = 0;  // 2-0 first, 5-3 second airlock, 6 handle, 7 full pulse
  std::uint8_t kept3 = 0;
  std::uint8_t boltTime = 0;  // half-seconds
  std::uint8_t kept5 = 0;
  std::uint8_t openTime = 0;  // half-seconds
  std::uint8_t kept7 = 0;
  std::uint8_t kept8[24] = {};
  std::uint8_t readerOptions[4][4] = {};  // bit 0 of [r][0]: reader r registers exits
  std::uint8_t name[16] = {};             // Windows-1250, NUL-terminated

  int PassageType() const { return type & 0x0F; }
  bool HandleOpening() const { return (airlockFlags & 0x40) != 0; }
  bool FullBoltPulse() const { return (airlockFlags & 0x80) != 0; }
  bool ReaderExit(int r) const { return r >= 0 && r < 4 && (readerOptions[r][0] & 1) != 0; }
};
static_assert(sizeof(PassageParams) == 64);

struct Passage {
  IoRef outputs[8] = {};  // bolt, reminder, alarm, armed, guard, on/off 1..3
  IoRef inputs[8] = {};   // exit button, door sensor, evacuation, arming, bell, tamper 1..3
  IoRef readers[4] = {};
  PassageParams params;

  // The 104-byte image, references little-endian.
  void Encode(std::uint8_t* out104) const;
  void DecodeImage(const std::uint8_t* in104);
};

// Decodes a "C" reply for a 104-byte record: header kind, n0, 8, 4 and at least 112 bytes;
// times (params bytes 4..7) limited to 127. False leaves the record untouched.
bool DecodeRecordReply(const std::uint8_t* payload, int len, std::uint8_t kind, std::uint8_t n0,
                       std::uint8_t* record104);

// Told after each configuration block read: blocks read so far of the blocks this read takes.
using BlockProgress = std::function<void(int done, int total)>;

class PassageConfig {
 public:
  explicit PassageConfig(BusDeviceTable& t) : table(t) {}
  // Copies the configuration, not the binding: the copy stays marked against its own table.
  // A snapshot handed to another thread or a front end is a table and a configuration copied
  // together.
  PassageConfig(const PassageConfig&) = delete;
  PassageConfig& operator=(const PassageConfig& other);

  // Reads the controller's own record and every passage, then marks the points taken. Sends
  // nothing unless available and in Serwis or Instalacja. complete is false from the start
  // and becomes true only when every record was read. UErr passes through.
  void Read(UdpDev& dev, const BlockProgress& progress = {});
  // Writes the controller's own record and every passage. Returns false, sending nothing,
  // when the configuration is not a complete read of this door controller (see Writable).
  // UErr passes through.
  bool Write(UdpDev& dev);
  // A complete read from this controller, which is a door controller with the same passage
  // count as when it was read.
  bool Writable(const UdpDev& dev) const;
  void MarkTaken();
  // Passages to show and write: the table's passage count limited to 16 (0 for a lift).
  int PassageCount() const;

  // Passage operations; p of 16 or more does nothing.
  void SetOutput(int p, int index, IoRef ref, bool nc);  // with the door-sensor rule
  void SetInput(int p, int index, IoRef ref, bool nc);
  void SetReader(int p, int index, IoRef ref);
  void SetOutputNc(int p, int index, bool on);
  void SetInputNc(int p, int index, bool on);
  void SetReaderExit(int p, int reader, bool on);
  void SetType(int p, int value);
  void SetHandleOpening(int p, bool on);
  void SetFullBoltPulse(int p, bool on);
  void SetBoltTime(int p, int halfSeconds);  // clamped 0..127
  void SetOpenTime(int p, int halfSeconds);
  void SetName(int p, std::string_view utf8);
  std::string Name(int p) const;

  // Airlocks: n = 2 for 2 passages, otherwise passageCount / 2.
  int AirlockCount() const;
  // Items of the first selector after "  -----": "Śluza 1".."Śluza m" (m = 7 when n is 8).
  int FirstAirlockMax() const;
  int FirstAirlockItem(int p) const;
  int SecondAirlockItem(int p) const;  // items "  -----", "Śluza 2".."Śluza n"
  void SetAirlocks(int p, int firstItem, int secondItem);

  // Controller record, forwarded with this configuration's table.
  void SetControllerOutput(int index, IoRef ref, bool nc);
  void SetControllerInput(int index, IoRef ref, bool nc);
  void SetControllerOutputNc(int index, bool on);
  void SetControllerInputNc(int index, bool on);

  BusDeviceTable& table;
  ControllerIoConfig controllerIo;
  Passage passages[kMaxPassages];
  // True only after a whole Read succeeded; records decoded before a failure are kept, but an
  // incomplete configuration is never written back.
  bool complete = false;
  DeviceId loadedFrom = 0;  // controller of the last complete read
  int loadedCount = 0;      // its passage count at that read
  // The "C" payloads of the last Read in the order they came, also when a record was refused.
  std::vector<RawBlock> raw;
};

}  // namespace zav
