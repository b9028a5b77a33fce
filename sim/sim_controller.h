// One simulated controller: takes a datagram addressed to it and returns the datagrams it
// answers. No sockets and no clock of its own, so tests drive it in memory.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "link/cmac.h"
#include "link/wire.h"

namespace zav::sim {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kAck = 6;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kControllerBlock = 16;  // the controller's own I/O block
inline constexpr std::uint8_t kDoorKind = 1;
inline constexpr std::uint8_t kLiftKind = 2;
inline constexpr std::size_t kRecordLen = 104;  // passage and lift records
inline constexpr std::size_t kControllerRecordLen = 40;
inline constexpr std::size_t kMaxBusEntries = 116;  // what fits in a 1400-byte "D" reply
inline constexpr std::uint64_t kDefaultSessionTimeoutMs = 30'000;
inline constexpr std::uint64_t kReplaceInactiveMs = 4'000;

// Attribute byte a1 flags of a bus device.
inline constexpr std::uint8_t kInactive = 0x80;
inline constexpr std::uint8_t kPowerFault = 0x40;
inline constexpr std::uint8_t kTamper = 0x20;
inline constexpr std::uint8_t kNew = 0x10;

struct BusEntry {
  DeviceId id = 0xFFFFFFFF;
  std::array<std::uint8_t, 8> attr{};
  std::uint64_t inactiveUntilMs = 0;  // a replacement reports the new device inactive until then

  bool Empty() const { return (id >> 16) == 0xFFFF; }
};

// A stored configuration block: the record as "c" writes it, and the 4 bytes of the "C" reply
// header after kind and counts that the tool does not read.
struct Block {
  Bytes record;
  std::array<std::uint8_t, 4> extra{};
};

// What a datagram's sender is, as the socket saw it.
struct Peer {
  std::uint32_t ip = 0;  // first octet in the top byte
  std::uint16_t port = 0;
  bool operator==(const Peer&) const = default;
};

struct SessionState {
  bool open = false;
  Peer client;
  std::uint8_t key[16] = {};
  std::uint64_t lastMs = 0;
  std::uint16_t lastSeq = 0;
};

class SimController {
 public:
  SimController(DeviceId id, std::uint32_t ip, std::uint8_t mode);

  // Handles one datagram sent to this controller (or to everyone); returns the replies, in
  // order, each to be sent back to the sender. nowMs is a monotonic clock in milliseconds.
  std::vector<Bytes> Handle(const std::uint8_t* d, std::size_t len, const Peer& from,
                            std::uint64_t nowMs);

  // Applies what time alone changes: session expiry, end of a replacement's inactive spell.
  void Advance(std::uint64_t nowMs);

  // A door controller (kind 1) with 2, 8 or 16 passages, or a lift controller (kind 2, 1).
  // Resets the stored blocks to empty bindings.
  void SetController(std::uint8_t kind, std::uint8_t passages);
  bool IsConfigurable() const { return IsController(id) && controllerKind != 0; }
  std::uint8_t StatusMode() const;  // mode byte with bit 7 while a session is open

  // Bus table edits (control channel and scenarios). AddBusDevice fills the first empty slot
  // or appends; returns the position or -1 when the table is full.
  int AddBusDevice(DeviceId devId, const std::array<std::uint8_t, 8>& attr);
  // Blocks kept by (kind, index).
  Block* FindBlock(std::uint8_t kind, std::uint8_t index);
  bool ValidBlock(std::uint8_t kind, std::uint8_t index) const;
  std::size_t RecordLen(std::uint8_t kind) const;

  Bytes DeviceTablePayload() const;
  Bytes StatusPayload() const;

  // Effects of "F" and "R", also used by the control channel. ReplaceDevice returns false and
  // changes nothing when the pair code does not name an inactive device and a new device of
  // the same type.
  int DeleteInactive(std::uint64_t nowMs);
  bool ReplaceDevice(std::uint16_t pairCode, std::uint64_t nowMs);

  // Identity and behaviour.
  DeviceId id;
  std::uint32_t ip;
  std::uint8_t mode;  // working mode 0..3 (bits 0-1); bits 2-6 reported as stored
  std::uint8_t controllerKind = 0;
  std::uint8_t passageCount = 0;
  std::array<std::uint8_t, 2> firmware{0x05, 0x01};
  bool silent = false;
  std::uint64_t sessionTimeoutMs = kDefaultSessionTimeoutMs;

  std::vector<BusEntry> bus;
  std::map<std::pair<std::uint8_t, std::uint8_t>, Block> blocks;
  SessionState session;
  // Writes refused with 0x15 whatever they carry: "c" of these (kind, index) blocks, "Y" of these
  // firmware block numbers (control channel "refuse").
  std::set<std::pair<std::uint8_t, std::uint8_t>> refusedWrites;
  std::set<std::uint16_t> refusedFirmware;

  // What the tool told it.
  int timeStamps = 0;
  std::uint32_t lastTime = 0;
  int firmwareBlocks = 0;
  int lastFirmwareBlock = -1;
  // Every acknowledged firmware block in arrival order: number, then its 528 bytes.
  std::vector<std::pair<int, Bytes>> firmwareLog;
  // Blocks numbered from here on are answered 0x15 instead of 6 (-1: every block taken).
  int firmwareNakFrom = -1;
  int rejectedSignatures = 0;

  std::mt19937 rng{0x5a5a};

 private:
  Bytes Plain(char letter, const Bytes& payload) const;
  Bytes Signed(std::uint16_t seq, char letter, const Bytes& payload);
  std::vector<Bytes> HandlePlain(const std::uint8_t* d, std::size_t len, const Peer& from,
                                 std::uint64_t nowMs);
  std::vector<Bytes> HandleSigned(const std::uint8_t* d, std::size_t len, std::uint64_t nowMs);
  Bytes SignedPayload(char letter, const std::uint8_t* p, std::size_t n, std::uint64_t nowMs,
                      bool& answer);
  bool ReadsAllowed() const { return (mode & 0x02) != 0; }
  void RetargetRefs(int from, int to);
  void AcceptDeviceList();

  SigningContext signing_;
};

// Every stored record starts with 20 IoRefs (8 outputs or output sets, 8 inputs, 4 readers);
// the controller block's 4 reader references are always none.
inline constexpr std::size_t kRefCount = 20;

// cp1250 text from UTF-8 (Polish letters; anything else outside ASCII becomes '?').
std::string ToCp1250(const std::string& utf8);

}  // namespace zav::sim
