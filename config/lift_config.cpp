#include "config/lift_config.h"

#include <algorithm>
#include <cstring>

#include "config/cp1250.h"
#include "config/passage_config.h"
#include "config/time_text.h"
#include "link/udpdev.h"
#include "link/wire.h"

namespace zav {

namespace {

bool InServiceModes(const UdpDev& dev) {
  return dev.available && (dev.mode & 0x02) != 0;
}

}  // namespace

bool LiftConfig::DecodeReply(const std::uint8_t* payload, int len) {
  std::uint8_t record[kRecordLen];
  if (!DecodeRecordReply(payload, len, kLiftKind, kLiftSetsHeader, record)) return false;
  for (int i = 0; i < 8; ++i) {
    floorSets[i] = GetU16(record + 2 * i);
    inputs[i] = GetU16(record + 16 + 2 * i);
  }
  for (int i = 0; i < 4; ++i) readers[i] = GetU16(record + 32 + 2 * i);
  std::memcpy(&params, record + 40, sizeof params);
  return true;
}

void LiftConfig::Encode(std::uint8_t* out104) const {
  for (int i = 0; i < 8; ++i) {
    PutU16(out104 + 2 * i, floorSets[i]);
    PutU16(out104 + 16 + 2 * i, inputs[i]);
  }
  for (int i = 0; i < 4; ++i) PutU16(out104 + 32 + 2 * i, readers[i]);
  std::memcpy(out104 + 40, &params, sizeof params);
}

void LiftConfig::Read(UdpDev& dev) {
  complete = false;
  raw.clear();
  if (table.controllerKind != kLiftKind || table.passageCount == 0 || !InServiceModes(dev)) {
    return;
  }
  dev.EnsureSession();
  std::uint8_t reply[kMaxBlock];
  const int len = dev.ReadConfig(kLiftKind, 0, reply);
  raw.push_back({kLiftKind, 0, {reply, reply + len}});
  const bool taken = DecodeReply(reply, len);
  table.ClearTaken();
  MarkTaken();
  complete = taken;
  loadedFrom = dev.id;
}

LiftConfig& LiftConfig::operator=(const LiftConfig& other) {
  if (this == &other) return *this;
  std::copy(std::begin(other.floorSets), std::end(other.floorSets), std::begin(floorSets));
  std::copy(std::begin(other.inputs), std::end(other.inputs), std::begin(inputs));
  std::copy(std::begin(other.readers), std::end(other.readers), std::begin(readers));
  params = other.params;
  complete = other.complete;
  loadedFrom = other.loadedFrom;
  raw = other.raw;
  return *this;
}

bool LiftConfig::Writable(const UdpDev& dev) const {
  return complete && dev.id == loadedFrom && table.controllerKind == kLiftKind &&
         table.passageCount == 1;
}

bool LiftConfig::Write(UdpDev& dev) {
  if (!Writable(dev)) return false;
  dev.EnsureSession();
  std::uint8_t record[kRecordLen];
  Encode(record);
  dev.WriteConfig(kLiftKind, 0, record, kRecordLen);
  return true;
}

void LiftConfig::MarkTaken() {
  for (IoRef r : floorSets) TakePoint(table, PointKind::OutputSet, r);
  for (IoRef r : inputs) TakePoint(table, PointKind::Input, r);
  for (IoRef r : readers) TakePoint(table, PointKind::Reader, r);
}

void LiftConfig::SetFloorSet(int index, IoRef ref) {
  if (index < 0 || index >= 8) return;
  Assign(table, floorSets[index], PointKind::OutputSet, ref, false);
}

void LiftConfig::SetLiftInput(int index, IoRef ref, bool nc) {
  if (index < 0 || index >= 8) return;
  Assign(table, inputs[index], PointKind::Input, ref, nc);
}

void LiftConfig::SetLiftInputNc(int index, bool on) {
  if (index < 0 || index >= 8) return;
  SetNc(inputs[index], on);
}

void LiftConfig::SetLiftReader(int index, IoRef ref) {
  if (index < 0 || index >= 4) return;
  Assign(table, readers[index], PointKind::Reader, ref, false);
}

void LiftConfig::SetUnlockTime(int halfSeconds) {
  if (halfSeconds < 0) halfSeconds = 0;
  if (halfSeconds > kMaxHalfSeconds) halfSeconds = kMaxHalfSeconds;
  params.unlockTime = static_cast<std::uint8_t>(halfSeconds);
}

void LiftConfig::SetName(std::string_view utf8) {
  NameToWire(utf8, params.name);
}

std::string LiftConfig::Name() const {
  return NameFromWire(params.name);
}

}  // namespace zav
