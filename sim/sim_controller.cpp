#include "sim/sim_controller.h"

#include <algorithm>
#include <cstring>

namespace zav::sim {

namespace {

constexpr std::uint16_t kNoRef = 0xFFFF;

void PutRefs(Bytes& record, std::size_t first, std::size_t count, std::uint16_t v) {
  for (std::size_t i = first; i < first + count && 2 * i + 1 < record.size(); ++i)
    PutU16(&record[2 * i], v);
}

}  // namespace

std::string ToCp1250(const std::string& utf8) {
  static const std::pair<char32_t, unsigned char> kMap[] = {
      {U'ą', 0xB9}, {U'ć', 0xE6}, {U'ę', 0xEA}, {U'ł', 0xB3}, {U'ń', 0xF1}, {U'ó', 0xF3},
      {U'ś', 0x9C}, {U'ź', 0x9F}, {U'ż', 0xBF}, {U'Ą', 0xA5}, {U'Ć', 0xC6}, {U'Ę', 0xCA},
      {U'Ł', 0xA3}, {U'Ń', 0xD1}, {U'Ó', 0xD3}, {U'Ś', 0x8C}, {U'Ź', 0x8F}, {U'Ż', 0xAF}};
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    char32_t cp = 0;
    std::size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    cp = n == 1 ? c : c & (0x7F >> n);
    for (std::size_t k = 1; k < n && i + k < utf8.size(); ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += n;
    char mapped = '?';
    for (const auto& [u, b] : kMap)
      if (u == cp) mapped = static_cast<char>(b);
    out += mapped;
  }
  return out;
}

SimController::SimController(DeviceId id_, std::uint32_t ip_, std::uint8_t mode_)
    : id(id_), ip(ip_), mode(mode_) {
  rng.seed(id_);
}

void SimController::SetController(std::uint8_t kind, std::uint8_t passages) {
  controllerKind = kind;
  passageCount = passages;
  blocks.clear();
  if (kind == kDoorKind) {
    Block own;
    own.record.assign(kControllerRecordLen, 0);
    PutRefs(own.record, 0, kRefCount, kNoRef);
    blocks[{kControllerBlock, 0}] = own;
    for (std::uint8_t i = 0; i < passages; ++i) {
      Block b;
      b.record.assign(kRecordLen, 0);
      PutRefs(b.record, 0, kRefCount, kNoRef);
      std::uint8_t* params = &b.record[40];
      params[0] = 1;     // "Normalne"
      params[2] = 0x07;  // in no airlock
      params[4] = 10;    // bolt pulse 5 s
      params[6] = 30;    // allowed open time 15 s
      std::string name = ToCp1250("Przejście " + std::to_string(i + 1));
      std::memcpy(params + 48, name.data(), std::min<std::size_t>(name.size(), 15));
      blocks[{kDoorKind, i}] = b;
    }
  } else if (kind == kLiftKind) {
    Block b;
    b.record.assign(kRecordLen, 0);
    PutRefs(b.record, 0, kRefCount, kNoRef);
    b.record[40 + 4] = 10;
    std::memcpy(&b.record[40 + 48], "Winda 1", 7);
    blocks[{kLiftKind, 0}] = b;
  }
}

std::uint8_t SimController::StatusMode() const {
  return static_cast<std::uint8_t>((mode & 0x7F) | (session.open ? 0x80 : 0));
}

std::size_t SimController::RecordLen(std::uint8_t kind) const {
  return kind == kControllerBlock ? kControllerRecordLen : kRecordLen;
}

bool SimController::ValidBlock(std::uint8_t kind, std::uint8_t index) const {
  if (!IsConfigurable()) return false;
  if (kind == kControllerBlock) return controllerKind == kDoorKind && index == 0;
  if (kind != controllerKind) return false;
  return kind == kDoorKind ? index < passageCount : index == 0;
}

Block* SimController::FindBlock(std::uint8_t kind, std::uint8_t index) {
  auto it = blocks.find({kind, index});
  return it == blocks.end() ? nullptr : &it->second;
}

int SimController::AddBusDevice(DeviceId devId, const std::array<std::uint8_t, 8>& attr) {
  for (std::size_t i = 1; i < bus.size(); ++i) {
    if (bus[i].Empty()) {
      bus[i] = BusEntry{devId, attr, 0};
      return static_cast<int>(i);
    }
  }
  if (bus.size() >= kMaxBusEntries) return -1;
  bus.push_back(BusEntry{devId, attr, 0});
  return static_cast<int>(bus.size() - 1);
}

Bytes SimController::StatusPayload() const {
  Bytes p(16, 0);
  p[0] = firmware[0];
  p[1] = firmware[1];
  p[2] = StatusMode();
  p[3] = '1';
  PutU32(&p[4], lastTime);
  PutU16(&p[8], static_cast<std::uint16_t>(bus.size()));
  return p;
}

Bytes SimController::DeviceTablePayload() const {
  Bytes p(6 + 12 * bus.size(), 0);
  PutU16(&p[0], static_cast<std::uint16_t>(bus.size()));
  p[2] = static_cast<std::uint8_t>((controllerKind << 5) | (passageCount & 0x1F));
  for (std::size_t i = 0; i < bus.size(); ++i) {
    PutU32(&p[6 + 12 * i], bus[i].id);
    std::memcpy(&p[10 + 12 * i], bus[i].attr.data(), 8);
  }
  return p;
}

void SimController::Advance(std::uint64_t nowMs) {
  if (session.open && nowMs - session.lastMs >= sessionTimeoutMs) session.open = false;
  for (auto& e : bus) {
    if (e.inactiveUntilMs != 0 && nowMs >= e.inactiveUntilMs) {
      e.inactiveUntilMs = 0;
      e.attr[1] &= static_cast<std::uint8_t>(~kInactive);
    }
  }
}

void SimController::RetargetRefs(int from, int to) {
  for (auto& [key, b] : blocks) {
    std::size_t refs = std::min(kRefCount, b.record.size() / 2);
    for (std::size_t i = 0; i < refs; ++i) {
      std::uint16_t r = GetU16(&b.record[2 * i]);
      if (r == kNoRef || (r >> 8) != from) continue;
      r = to < 0 ? kNoRef : static_cast<std::uint16_t>((to << 8) | (r & 0xFF));
      PutU16(&b.record[2 * i], r);
    }
  }
}

void SimController::AcceptDeviceList() {
  for (auto& e : bus) e.attr[1] &= static_cast<std::uint8_t>(~kNew);
}

int SimController::DeleteInactive(std::uint64_t nowMs) {
  Advance(nowMs);
  int removed = 0;
  // Position 0 is the controller itself and never goes. A device that is only re-initialising
  // after a replacement is in contact and keeps its place and its new bindings.
  for (std::size_t i = 1; i < bus.size(); ++i) {
    BusEntry& e = bus[i];
    if (e.Empty() || !(e.attr[1] & kInactive) || e.inactiveUntilMs != 0) continue;
    e = BusEntry{};
    RetargetRefs(static_cast<int>(i), -1);
    ++removed;
  }
  while (bus.size() > 1 && bus.back().Empty()) bus.pop_back();
  return removed;
}

bool SimController::ReplaceDevice(std::uint16_t pairCode, std::uint64_t nowMs) {
  Advance(nowMs);
  std::size_t oldPos = pairCode & 0xFF;
  std::size_t newPos = pairCode >> 8;
  if (oldPos == newPos || oldPos == 0 || newPos == 0) return false;
  if (oldPos >= bus.size() || newPos >= bus.size()) return false;
  BusEntry& oldE = bus[oldPos];
  BusEntry& newE = bus[newPos];
  if (oldE.Empty() || newE.Empty()) return false;
  if (!(oldE.attr[1] & kInactive) || !(newE.attr[1] & kNew)) return false;
  if (TypeNumber(oldE.id) != TypeNumber(newE.id)) return false;
  RetargetRefs(static_cast<int>(oldPos), static_cast<int>(newPos));
  newE.attr[1] = static_cast<std::uint8_t>((newE.attr[1] & ~kNew) | kInactive);
  newE.inactiveUntilMs = nowMs + kReplaceInactiveMs;
  oldE = BusEntry{};
  return true;
}

Bytes SimController::Plain(char letter, const Bytes& payload) const {
  Bytes out(payload.size() + kPlainOverhead);
  BuildPlainFrame(letter, id, payload.data(), payload.size(), out.data());
  return out;
}

Bytes SimController::Signed(std::uint16_t seq, char letter, const Bytes& payload) {
  Bytes out(payload.size() + kSignedOverhead);
  BuildSignedFrameBody(id, seq, letter, payload.data(), payload.size(), out.data());
  out[10] = static_cast<std::uint8_t>(letter);
  signing_.aes.SetKey(session.key, 16);
  FrameSignature(signing_, out.data(), out.size() - 8, &out[out.size() - 8]);
  return out;
}

std::vector<Bytes> SimController::Handle(const std::uint8_t* d, std::size_t len, const Peer& from,
                                         std::uint64_t nowMs) {
  if (silent || len < kPlainOverhead || std::memcmp(d, "MMD", 3) != 0) return {};
  Advance(nowMs);
  if (d[3] == 'C') return HandleSigned(d, len, nowMs);
  return HandlePlain(d, len, from, nowMs);
}

std::vector<Bytes> SimController::HandlePlain(const std::uint8_t* d, std::size_t len,
                                              const Peer& from, std::uint64_t nowMs) {
  if (FrameCrc(d, len - 4) != GetU32(d + len - 4)) return {};
  const DeviceId to = GetU32(d + 4);
  const char letter = static_cast<char>(d[3]);
  const std::uint8_t* payload = d + 8;
  const std::size_t n = len - kPlainOverhead;
  if (letter == 'O' && (to == id || to == kBroadcastId)) return {Plain('O', StatusPayload())};
  if (to != id) return {};
  if (letter == 'T') {
    // Every device found keeps the time it is given, whatever its family.
    if (n == 4) {
      ++timeStamps;
      lastTime = GetU32(payload);
    }
    return {};
  }
  if (!IsConfigurable()) return {};  // other families answer the status only
  switch (letter) {
    case 'K': {
      // One client at a time, and only in the modes that let the configuration be read.
      if (!ReadsAllowed() || (session.open && !(session.client == from))) return {Plain('K', {})};
      Bytes r(16);
      for (auto& b : r) b = static_cast<std::uint8_t>(rng());
      std::memcpy(session.key, r.data(), 16);
      DeriveSessionKey(signing_, session.key);
      session.open = true;
      session.client = from;
      session.lastMs = nowMs;
      return {Plain('K', r)};
    }
    case 'Y':
      if (n != 2 + 528 || refusedFirmware.count(GetU16(payload))) return {Plain('Y', {kNak})};
      if (firmwareNakFrom >= 0 && GetU16(payload) >= firmwareNakFrom) return {Plain('Y', {kNak})};
      ++firmwareBlocks;
      lastFirmwareBlock = GetU16(payload);
      firmwareLog.emplace_back(lastFirmwareBlock, Bytes(payload + 2, payload + n));
      return {Plain('Y', {kAck})};
    default:
      return {};
  }
}

std::vector<Bytes> SimController::HandleSigned(const std::uint8_t* d, std::size_t len,
                                               std::uint64_t nowMs) {
  if (len < kSignedOverhead || GetU32(d + 4) != id || !IsConfigurable() || !session.open) return {};
  std::uint8_t sig[8];
  signing_.aes.SetKey(session.key, 16);
  FrameSignature(signing_, d, len - 8, sig);
  if (!SameBytesConstTime(sig, d + len - 8, 8)) {
    ++rejectedSignatures;
    return {};
  }
  session.lastMs = nowMs;
  session.lastSeq = GetU16(d + 8);
  const char letter = static_cast<char>(d[10]);
  bool answer = true;
  Bytes payload = SignedPayload(letter, d + 11, len - kSignedOverhead, nowMs, answer);
  if (!answer) return {};
  Bytes reply = Signed(session.lastSeq, static_cast<char>(d[10] | 0x80), payload);
  if (letter == 's') session.open = false;
  return {reply};
}

Bytes SimController::SignedPayload(char letter, const std::uint8_t* p, std::size_t n,
                                   std::uint64_t nowMs, bool& answer) {
  switch (letter) {
    case 'S':
    case 's':
      return {kAck};
    case 'D':
      // Outside modes 2 and 3 the table is not given out: an empty answer.
      return ReadsAllowed() ? DeviceTablePayload() : Bytes{};
    case 'C': {
      if (n != 2 || !ReadsAllowed()) return {};
      Block* b = ValidBlock(p[0], p[1]) ? FindBlock(p[0], p[1]) : nullptr;
      if (!b) return {};
      Bytes out{p[0], 8, 8, 4};
      if (p[0] == kLiftKind) out[1] = 0x88;
      out.insert(out.end(), b->extra.begin(), b->extra.end());
      out.insert(out.end(), b->record.begin(), b->record.end());
      return out;
    }
    case 'c': {
      // A write that does not fit the block exactly is refused whole, never stored in part.
      if (n < 2 || !ReadsAllowed() || !ValidBlock(p[0], p[1]) || n - 2 != RecordLen(p[0]) ||
          refusedWrites.count({p[0], p[1]}))
        return {kNak};
      blocks[{p[0], p[1]}].record.assign(p + 2, p + n);
      if (p[0] == controllerKind) AcceptDeviceList();
      return {kAck};
    }
    case 'F':
      if (!ReadsAllowed()) return {kNak};
      DeleteInactive(nowMs);
      return {kAck};
    case 'R':
      if (n != 2 || !ReadsAllowed() || !ReplaceDevice(GetU16(p), nowMs)) return {kNak};
      return {kAck};
    default:
      answer = false;
      return {};
  }
}

}  // namespace zav::sim
