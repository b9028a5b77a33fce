// Device tables and configuration blocks as controllers deliver them, for the backup tests.
#pragma once

#include <cstdint>
#include <vector>

#include "config/backup_file.h"

namespace zav::testdata {

using Bytes = std::vector<std::uint8_t>;

inline constexpr DeviceId kDoorId = 0x31340042;   // K108_00066
inline constexpr DeviceId kOtherId = 0x31340043;  // K108_00067
inline constexpr DeviceId kLockId = 0x10D20007;   // type 210
inline constexpr DeviceId kReaderId = 0x10050009;  // type 5

struct Entry {
  DeviceId id;
  std::uint8_t a[8];
};

// A "D" payload: header byte, then the entries.
inline Bytes Table(std::uint8_t header, const std::vector<Entry>& entries) {
  Bytes p = {static_cast<std::uint8_t>(entries.size()), 0, header, 0, 0, 0};
  for (const Entry& e : entries) {
    for (int k = 0; k < 4; ++k) p.push_back(static_cast<std::uint8_t>(e.id >> (8 * k)));
    p.insert(p.end(), e.a, e.a + 8);
  }
  return p;
}

// Controller at 0 (4 NC outputs, 8 inputs), a lock at 1, a reader at 2.
inline Bytes DoorTable(DeviceId controller = kDoorId, DeviceId lock = kLockId) {
  return Table(0x22, {{controller, {1, 0, 4, 4, 8, 2, 0, 0}},
                      {lock, {1, 0, 2, 0, 2, 0, 0, 0}},
                      {kReaderId, {1, 0, 0, 0, 1, 1, 0, 0}}});
}

inline void Ref(Bytes& reply, int slot, std::uint16_t ref) {
  reply[8 + 2 * slot] = static_cast<std::uint8_t>(ref);
  reply[8 + 2 * slot + 1] = static_cast<std::uint8_t>(ref >> 8);
}

// A "C" reply for a passage: every reference none, then bolt and door sensor on the lock,
// reader 1 on the reader, a name, times and a few bytes the model does not interpret.
inline Bytes PassageReply(int p) {
  Bytes r(112, 0xFF);
  r[0] = 1;
  r[1] = 8;
  r[2] = 8;
  r[3] = 4;
  r[4] = 0x11;  // header bytes that are not interpreted
  for (int i = 48; i < 112; ++i) r[i] = 0;
  Ref(r, 0, 0x0100);       // bolt: lock output 1
  Ref(r, 8 + 1, 0x0101);   // door sensor: lock input 2
  Ref(r, 16, 0x0200);      // reader 1
  r[48] = 0x31;            // type 1, upper nibble kept
  r[48 + 1] = 0x5A;        // kept
  r[48 + 4] = 10;          // bolt 5 s
  r[48 + 6] = 30;          // open 15 s
  r[48 + 10] = 0xC3;       // kept
  r[48 + 32] = 0x81;       // reader 1 exit, bit 7 kept
  const char name[] = "Wejscie";
  for (int i = 0; name[i]; ++i) r[48 + 48 + i] = static_cast<std::uint8_t>(name[i]);
  r[48 + 48 + 7] = static_cast<std::uint8_t>('0' + p);
  return r;
}

inline Bytes ControllerReply() {
  Bytes r(48, 0xFF);
  r[0] = 16;
  r[1] = 8;
  r[2] = 8;
  r[3] = 4;
  Ref(r, 8 + 2, 0x0083);  // mains lost on the controller's input 4, NC
  return r;
}

inline Backup DoorBackup() {
  Backup b;
  b.toolVersion = "1.4.5";
  b.created = "2026-12-10T05:00:00+0100";
  b.id = kDoorId;
  b.ip = 0x0A4D000A;
  b.mode = 2;
  b.modeName = "Serwis";
  b.controllerKind = 1;
  b.passages = 2;
  b.busTable = DoorTable();
  b.blocks = {{16, 0, ControllerReply()}, {1, 0, PassageReply(0)}, {1, 1, PassageReply(1)}};
  return b;
}

}  // namespace zav::testdata

namespace zav::testdata {

inline constexpr DeviceId kLiftId = 0x31540101;    // type 340
inline constexpr DeviceId kFloorsId = 0x12d001f4;  // type 720, floor outputs in sets

// A lift controller and a floor module with the given number of output sets.
inline Bytes LiftTable(int sets = 2) {
  return Table(0x41, {{kLiftId, {1, 0, 4, 0, 8, 2, 0, 0}},
                      {kFloorsId, {1, 0, static_cast<std::uint8_t>(0x80 | sets), 0, 4, 0, 0, 0}}});
}

inline Bytes LiftReply() {
  Bytes r(112, 0xFF);
  r[0] = 2;
  r[1] = 0x88;
  r[2] = 8;
  r[3] = 4;
  for (int i = 48; i < 112; ++i) r[i] = 0;
  Ref(r, 0, 0x0100);  // floors 1..8: first set of the module
  Ref(r, 1, 0x0101);  // floors 9..16: its second set
  r[48 + 4] = 10;     // unlock 5 s
  r[48 + 20] = 0x77;  // kept
  const char name[] = "Winda A";
  for (int i = 0; name[i]; ++i) r[48 + 48 + i] = static_cast<std::uint8_t>(name[i]);
  return r;
}

inline Backup LiftBackup() {
  Backup b = DoorBackup();
  b.id = kLiftId;
  b.controllerKind = 2;
  b.passages = 1;
  b.busTable = LiftTable();
  b.blocks = {{2, 0, LiftReply()}};
  return b;
}

}  // namespace zav::testdata
