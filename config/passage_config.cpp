#include "config/passage_config.h"

#include <algorithm>
#include <cstring>

#include "config/cp1250.h"
#include "config/time_text.h"
#include "link/udpdev.h"
#include "link/wire.h"

namespace zav {

namespace {

constexpr std::uint8_t kDoorKind = 1;

bool InServiceModes(const UdpDev& dev) {
  return dev.available && (dev.mode & 0x02) != 0;
}

bool ValidPassage(int p) {
  return p >= 0 && p < kMaxPassages;
}

std::uint8_t ClampTime(int halfSeconds) {
  if (halfSeconds < 0) return 0;
  if (halfSeconds > kMaxHalfSeconds) return kMaxHalfSeconds;
  return static_cast<std::uint8_t>(halfSeconds);
}

}  // namespace

bool DecodeRecordReply(const std::uint8_t* payload, int len, std::uint8_t kind, std::uint8_t n0,
                       std::uint8_t* record104) {
  if (payload == nullptr || len < kRecordReplyMin) return false;
  if (payload[0] != kind || payload[1] != n0 || payload[2] != 8 || payload[3] != 4) return false;
  std::memcpy(record104, payload + 8, kRecordLen);
  // Times beyond 127 half-seconds are not representable in the edits; the controller gets
  // them back limited.
  for (int i = 44; i < 48; ++i) {
    if (record104[i] > kMaxHalfSeconds) record104[i] = kMaxHalfSeconds;
  }
  return true;
}

void Passage::Encode(std::uint8_t* out104) const {
  for (int i = 0; i < 8; ++i) {
    PutU16(out104 + 2 * i, outputs[i]);
    PutU16(out104 + 16 + 2 * i, inputs[i]);
  }
  for (int i = 0; i < 4; ++i) PutU16(out104 + 32 + 2 * i, readers[i]);
  std::memcpy(out104 + 40, &params, sizeof params);
}

void Passage::DecodeImage(const std::uint8_t* in104) {
  for (int i = 0; i < 8; ++i) {
    outputs[i] = GetU16(in104 + 2 * i);
    inputs[i] = GetU16(in104 + 16 + 2 * i);
  }
  for (int i = 0; i < 4; ++i) readers[i] = GetU16(in104 + 32 + 2 * i);
  std::memcpy(&params, in104 + 40, sizeof params);
}

int PassageConfig::PassageCount() const {
  if (table.controllerKind != kDoorKind) return 0;
  return table.passageCount > kMaxPassages ? kMaxPassages : table.passageCount;
}

void PassageConfig::Read(UdpDev& dev, const BlockProgress& progress) {
  complete = false;
  raw.clear();
  const int count = PassageCount();
  // A lift controller or a rejected table has no door records to read.
  if (count == 0 || !InServiceModes(dev)) return;
  dev.EnsureSession();
  std::uint8_t reply[kMaxBlock];
  int len = dev.ReadConfig(kControllerIoKind, 0, reply);
  raw.push_back({kControllerIoKind, 0, {reply, reply + len}});
  bool all = controllerIo.Decode(reply, len);
  if (progress) progress(1, count + 1);
  for (int i = 0; i < count; ++i) {
    len = dev.ReadConfig(static_cast<std::uint8_t>(table.controllerKind),
                         static_cast<std::uint8_t>(i), reply);
    raw.push_back({static_cast<std::uint8_t>(table.controllerKind), static_cast<std::uint8_t>(i),
                   {reply, reply + len}});
    std::uint8_t record[kRecordLen];
    if (DecodeRecordReply(reply, len, kDoorKind, 8, record)) {
      passages[i].DecodeImage(record);
    } else {
      all = false;
    }
    if (progress) progress(i + 2, count + 1);
  }
  // The marks of whatever was held before this read no longer apply.
  table.ClearTaken();
  MarkTaken();
  // A record the controller did not deliver still holds older contents (perhaps another
  // controller's); writing it back would overwrite this controller's passage with it.
  complete = all;
  loadedFrom = dev.id;
  loadedCount = count;
}

PassageConfig& PassageConfig::operator=(const PassageConfig& other) {
  if (this == &other) return *this;
  controllerIo = other.controllerIo;
  std::copy(std::begin(other.passages), std::end(other.passages), std::begin(passages));
  complete = other.complete;
  loadedFrom = other.loadedFrom;
  loadedCount = other.loadedCount;
  raw = other.raw;
  return *this;
}

bool PassageConfig::Writable(const UdpDev& dev) const {
  return complete && dev.id == loadedFrom && PassageCount() == loadedCount && loadedCount > 0;
}

bool PassageConfig::Write(UdpDev& dev) {
  if (!Writable(dev)) return false;
  dev.EnsureSession();
  std::uint8_t block[kRecordLen];
  controllerIo.Encode(block);
  dev.WriteConfig(kControllerIoKind, 0, block, kControllerIoDataLen);
  for (int i = 0; i < loadedCount; ++i) {
    passages[i].Encode(block);
    dev.WriteConfig(kDoorKind, static_cast<std::uint8_t>(i), block, kRecordLen);
  }
  return true;
}

void PassageConfig::MarkTaken() {
  controllerIo.MarkTaken(table);
  const int count = PassageCount();
  for (int p = 0; p < count; ++p) {
    for (IoRef r : passages[p].outputs) TakePoint(table, PointKind::Output, r);
    for (IoRef r : passages[p].inputs) TakePoint(table, PointKind::Input, r);
    for (IoRef r : passages[p].readers) TakePoint(table, PointKind::Reader, r);
  }
}

void PassageConfig::SetOutput(int p, int index, IoRef ref, bool nc) {
  if (!ValidPassage(p) || index < 0 || index >= 8) return;
  Passage& ps = passages[p];
  const IoRef old = ps.outputs[index];
  Assign(table, ps.outputs[index], PointKind::Output, ref, nc);
  // The door sensor must sit on the bolt's device; a bolt that leaves that device drops it.
  if (index == 0) {
    const IoRef now = ps.outputs[0];
    if (now == kNone || RefDevice(now) != RefDevice(old)) {
      Assign(table, ps.inputs[1], PointKind::Input, kNone, false);
    }
  }
}

void PassageConfig::SetInput(int p, int index, IoRef ref, bool nc) {
  if (!ValidPassage(p) || index < 0 || index >= 8) return;
  Assign(table, passages[p].inputs[index], PointKind::Input, ref, nc);
}

void PassageConfig::SetReader(int p, int index, IoRef ref) {
  if (!ValidPassage(p) || index < 0 || index >= 4) return;
  Assign(table, passages[p].readers[index], PointKind::Reader, ref, false);
}

void PassageConfig::SetOutputNc(int p, int index, bool on) {
  if (!ValidPassage(p) || index < 0 || index >= 8) return;
  SetNc(passages[p].outputs[index], on);
}

void PassageConfig::SetInputNc(int p, int index, bool on) {
  if (!ValidPassage(p) || index < 0 || index >= 8) return;
  SetNc(passages[p].inputs[index], on);
}

void PassageConfig::SetReaderExit(int p, int reader, bool on) {
  if (!ValidPassage(p) || reader < 0 || reader >= 4) return;
  std::uint8_t& b = passages[p].params.readerOptions[reader][0];
  b = static_cast<std::uint8_t>(on ? (b | 0x01) : (b & ~0x01));
}

void PassageConfig::SetType(int p, int value) {
  if (!ValidPassage(p)) return;
  std::uint8_t& t = passages[p].params.type;
  t = static_cast<std::uint8_t>((t & 0xF0) | (value & 0x0F));
}

void PassageConfig::SetHandleOpening(int p, bool on) {
  if (!ValidPassage(p)) return;
  std::uint8_t& f = passages[p].params.airlockFlags;
  f = static_cast<std::uint8_t>(on ? (f | 0x40) : (f & ~0x40));
}

void PassageConfig::SetFullBoltPulse(int p, bool on) {
  if (!ValidPassage(p)) return;
  std::uint8_t& f = passages[p].params.airlockFlags;
  f = static_cast<std::uint8_t>(on ? (f | 0x80) : (f & ~0x80));
}

void PassageConfig::SetBoltTime(int p, int halfSeconds) {
  if (!ValidPassage(p)) return;
  passages[p].params.boltTime = ClampTime(halfSeconds);
}

void PassageConfig::SetOpenTime(int p, int halfSeconds) {
  if (!ValidPassage(p)) return;
  passages[p].params.openTime = ClampTime(halfSeconds);
}

void PassageConfig::SetName(int p, std::string_view utf8) {
  if (!ValidPassage(p)) return;
  NameToWire(utf8, passages[p].params.name);
}

std::string PassageConfig::Name(int p) const {
  if (!ValidPassage(p)) return std::string();
  return NameFromWire(passages[p].params.name);
}

int PassageConfig::AirlockCount() const {
  const int count = PassageCount();
  return count == 2 ? 2 : count / 2;
}

int PassageConfig::FirstAirlockMax() const {
  // The first field holds 3 bits with 7 meaning none, so it can name airlocks 1 to 7 only.
  const int n = AirlockCount();
  return n > 7 ? 7 : n;
}

int PassageConfig::FirstAirlockItem(int p) const {
  if (!ValidPassage(p)) return 0;
  const int v = passages[p].params.airlockFlags & 0x07;
  return (v == 7 || v >= AirlockCount()) ? 0 : v + 1;
}

int PassageConfig::SecondAirlockItem(int p) const {
  if (!ValidPassage(p)) return 0;
  const int v = (passages[p].params.airlockFlags >> 3) & 0x07;
  return v >= AirlockCount() ? 0 : v;
}

void PassageConfig::SetAirlocks(int p, int firstItem, int secondItem) {
  if (!ValidPassage(p)) return;
  // An item the selectors do not offer (for example none chosen) would store a meaningless
  // airlock number; the flags are left as they are instead.
  if (firstItem < 0 || firstItem > FirstAirlockMax()) return;
  if (secondItem < 0 || secondItem >= (AirlockCount() > 0 ? AirlockCount() : 1)) return;
  std::uint8_t& f = passages[p].params.airlockFlags;
  f = static_cast<std::uint8_t>((f & 0xC0) | ((secondItem & 7) << 3) | ((firstItem - 1) & 7));
}

void PassageConfig::SetControllerOutput(int index, IoRef ref, bool nc) {
  controllerIo.SetControllerOutput(table, index, ref, nc);
}

void PassageConfig::SetControllerInput(int index, IoRef ref, bool nc) {
  controllerIo.SetControllerInput(table, index, ref, nc);
}

void PassageConfig::SetControllerOutputNc(int index, bool on) {
  controllerIo.SetControllerOutputNc(index, on);
}

void PassageConfig::SetControllerInputNc(int index, bool on) {
  controllerIo.SetControllerInputNc(index, on);
}

}  // namespace zav
