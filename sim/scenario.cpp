#include "sim/scenario.h"

#include <arpa/inet.h>

#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

namespace zav::sim {

namespace {

using nlohmann::json;
using Attr = std::array<std::uint8_t, 8>;

constexpr DeviceId Ctl(unsigned type, unsigned serial, unsigned cls = 3) {
  return (cls << 28) | (type << 16) | serial;
}
// Bus devices carry class nibble 1; bits 26-27 give the letter of the long name.
constexpr DeviceId Bus(unsigned type, unsigned serial, unsigned letter = 0) {
  return (1u << 28) | (letter << 26) | (type << 16) | serial;
}

// a0 suffix, a1 flags, a2 outputs (bit 7: output sets), a3 NC-capable outputs, a4 inputs,
// a5 reader ports.
constexpr Attr kSelf{1, 0, 4, 0, 8, 2, 0, 0};
constexpr Attr kReader{1, 0, 0, 0, 1, 1, 0, 0};
constexpr Attr kLock{1, 0, 1, 0, 2, 0, 0, 0};
constexpr Attr kIoModule{1, 0, 0, 8, 8, 0, 0, 0};
constexpr Attr kRelayModule{2, 0, 8, 0, 4, 0, 0, 0};
constexpr Attr kKeypad{1, 0, 0, 0, 1, 1, 0, 0};
constexpr Attr kFloorModule{1, 0, 0x82, 0, 4, 0, 0, 0};

constexpr std::uint16_t Ref(unsigned device, unsigned point, bool nc = false) {
  return static_cast<std::uint16_t>((device << 8) | (nc ? 0x80 : 0) | (point & 0x1F));
}

void SetRef(SimController& c, std::uint8_t kind, std::uint8_t index, std::size_t slot,
            std::uint16_t ref) {
  if (Block* b = c.FindBlock(kind, index); b && 2 * slot + 1 < b->record.size())
    PutU16(&b->record[2 * slot], ref);
}

Attr With(Attr a, std::uint8_t flags, std::uint8_t suffix = 0) {
  a[1] |= flags;
  if (suffix) a[0] = suffix;
  return a;
}

// A door controller with a plausible bus: per passage a lock (bolt and door sensor on it), an
// entry and an exit reader; an I/O module for exit buttons, alarms and supply signals.
SimController& Door(SimNetwork& net, DeviceId id, std::uint32_t ip, std::uint8_t mode,
                    std::uint8_t passages, unsigned serialBase) {
  auto& c = net.AddController(std::make_unique<SimController>(id, ip, mode));
  c.SetController(kDoorKind, passages);
  c.bus.push_back({id, kSelf, 0});
  const unsigned bound = std::min<unsigned>(passages, 4);  // the rest left for the installer
  const int io = c.AddBusDevice(Bus(708, serialBase), kIoModule);
  SetRef(c, kControllerBlock, 0, 7, Ref(io, 7));            // evacuation output
  SetRef(c, kControllerBlock, 0, 8 + 2, Ref(io, 6));        // mains lost
  SetRef(c, kControllerBlock, 0, 8 + 3, Ref(io, 7, true));  // battery low, NC
  SetRef(c, kControllerBlock, 0, 8 + 6, Ref(0, 7));         // tamper on the controller
  for (unsigned p = 0; p < bound; ++p) {
    const int lock = c.AddBusDevice(Bus(210, serialBase + 10 + p), With(kLock, 0, p + 1));
    const int in = c.AddBusDevice(Bus(5, serialBase + 20 + 2 * p), With(kReader, 0, 2 * p + 1));
    const int out = c.AddBusDevice(Bus(5, serialBase + 21 + 2 * p, 1), With(kReader, 0, 2 * p + 2));
    auto i = static_cast<std::uint8_t>(p);
    SetRef(c, kDoorKind, i, 0, Ref(lock, 0));      // bolt
    SetRef(c, kDoorKind, i, 2, Ref(io, p));        // alarm
    SetRef(c, kDoorKind, i, 8 + 0, Ref(io, p));    // exit button
    SetRef(c, kDoorKind, i, 8 + 1, Ref(lock, 0));  // door sensor, same device as the bolt
    SetRef(c, kDoorKind, i, 8 + 5, Ref(lock, 1, true));
    SetRef(c, kDoorKind, i, 16 + 0, Ref(in, 0));
    SetRef(c, kDoorKind, i, 16 + 1, Ref(out, 0));
    if (Block* b = c.FindBlock(kDoorKind, i)) b->record[40 + 32 + 4] |= 1;  // reader 2: exits
  }
  if (passages >= 2) {
    // The first two passages form airlock 1.
    for (std::uint8_t i = 0; i < 2; ++i)
      if (Block* b = c.FindBlock(kDoorKind, i)) b->record[40 + 2] = 0x00;
  }
  c.AddBusDevice(Bus(501, serialBase + 40), kKeypad);
  return c;
}

SimController& Lift(SimNetwork& net, DeviceId id, std::uint32_t ip, std::uint8_t mode) {
  auto& c = net.AddController(std::make_unique<SimController>(id, ip, mode));
  c.SetController(kLiftKind, 1);
  c.bus.push_back({id, kSelf, 0});
  for (unsigned m = 0; m < 4; ++m) {
    const int pos = c.AddBusDevice(Bus(720, 500 + m), With(kFloorModule, 0, m + 1));
    SetRef(c, kLiftKind, 0, 2 * m, Ref(pos, 0));
    SetRef(c, kLiftKind, 0, 2 * m + 1, Ref(pos, 1));
  }
  const int reader = c.AddBusDevice(Bus(5, 520), kReader);
  const int io = c.AddBusDevice(Bus(708, 521), kIoModule);
  SetRef(c, kLiftKind, 0, 16, Ref(reader, 0));
  SetRef(c, kLiftKind, 0, 8 + 0, Ref(io, 0));  // inputs 0-2 have no selector, kept as read
  SetRef(c, kLiftKind, 0, 8 + 3, Ref(io, 3));
  SetRef(c, kLiftKind, 0, 8 + 6, Ref(io, 6, true));
  if (Block* b = c.FindBlock(kLiftKind, 0)) {
    std::memset(&b->record[40 + 48], 0, 16);
    std::string name = ToCp1250("Winda główna");
    std::memcpy(&b->record[40 + 48], name.data(), name.size());
  }
  return c;
}

std::uint32_t NextAddress(const SimNetwork& net, std::uint32_t first) {
  std::uint32_t next = first;
  for (const auto& c : net.devices) next = std::max(next, c->ip + 1);
  return next;
}

// ---- JSON -------------------------------------------------------------------------------

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw std::runtime_error("scenario: " + where + ": " + what);
}

std::uint32_t Number(const json& j, const std::string& where, std::uint64_t max) {
  std::uint64_t v = 0;
  if (j.is_number_integer()) {
    if (j.get<std::int64_t>() < 0) Fail(where, "negative value");
    v = j.get<std::uint64_t>();
  } else if (j.is_string()) {
    const auto s = j.get<std::string>();
    try {
      std::size_t used = 0;
      v = std::stoull(s, &used, 0);
      if (used != s.size()) Fail(where, "not a number: " + s);
    } catch (const std::logic_error&) {
      Fail(where, "not a number: " + s);
    }
  } else {
    Fail(where, "expected a number or a numeric text");
  }
  if (v > max) Fail(where, "value out of range");
  return static_cast<std::uint32_t>(v);
}

Bytes HexBytes(const json& j, const std::string& where) {
  if (!j.is_string()) Fail(where, "expected a hex text");
  Bytes out;
  std::string digits;
  for (char ch : j.get<std::string>())
    if (!std::isspace(static_cast<unsigned char>(ch))) digits += ch;
  if (digits.size() % 2) Fail(where, "odd number of hex digits");
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    auto nib = [&](char ch) -> int {
      if (ch >= '0' && ch <= '9') return ch - '0';
      if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
      if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
      Fail(where, std::string("not a hex digit: ") + ch);
    };
    out.push_back(static_cast<std::uint8_t>(nib(digits[i]) * 16 + nib(digits[i + 1])));
  }
  return out;
}

void Refs(const json& f, const char* key, Bytes& rec, std::size_t first, std::size_t count,
          const std::string& where) {
  if (!f.contains(key)) return;
  const json& a = f.at(key);
  if (!a.is_array() || a.size() > count)
    Fail(where + "." + key, "expected up to " + std::to_string(count) + " references");
  for (std::size_t i = 0; i < a.size(); ++i)
    PutU16(&rec[2 * (first + i)],
           static_cast<std::uint16_t>(Number(a[i], where + "." + key, 0xFFFF)));
}

void ApplyFields(const json& f, std::uint8_t kind, Bytes& rec, const std::string& where) {
  if (!f.is_object()) Fail(where, "fields must be an object");
  Refs(f, kind == kLiftKind ? "floorSets" : "outputs", rec, 0, 8, where);
  Refs(f, "inputs", rec, 8, 8, where);
  if (kind == kControllerBlock) return;
  Refs(f, "readers", rec, 16, 4, where);
  std::uint8_t* params = &rec[40];
  auto byte = [&](const char* key, std::size_t off, std::uint32_t max) {
    if (f.contains(key))
      params[off] = static_cast<std::uint8_t>(Number(f.at(key), where + "." + key, max));
  };
  if (kind == kLiftKind) {
    byte("unlockTime", 4, 255);
  } else {
    byte("type", 0, 255);
    byte("airlockFlags", 2, 255);
    byte("boltTime", 4, 255);
    byte("openTime", 6, 255);
  }
  if (f.contains("name")) {
    if (!f.at("name").is_string()) Fail(where + ".name", "expected a text");
    std::string name = ToCp1250(f.at("name").get<std::string>());
    std::memset(params + 48, 0, 16);
    std::memcpy(params + 48, name.data(), std::min<std::size_t>(name.size(), 15));
  }
}

void LoadDevice(SimNetwork& net, const json& d, std::size_t n) {
  const std::string where = "devices[" + std::to_string(n) + "]";
  if (!d.is_object()) Fail(where, "expected an object");
  if (!d.contains("id")) Fail(where, "missing id");
  const DeviceId id = Number(d.at("id"), where + ".id", 0xFFFFFFFF);
  if (id == kBroadcastId) Fail(where + ".id", "0xFFFFFFFF addresses every controller");
  std::uint32_t ip = NextAddress(net, kFirstAddress);
  if (d.contains("ip")) {
    in_addr a{};
    if (!d.at("ip").is_string() ||
        inet_pton(AF_INET, d.at("ip").get<std::string>().c_str(), &a) != 1)
      Fail(where + ".ip", "expected a dotted IPv4 address");
    ip = ntohl(a.s_addr);
  }
  for (const auto& other : net.devices) {
    if (other->id == id) Fail(where + ".id", "used twice");
    if (other->ip == ip) Fail(where + ".ip", "used twice");
  }
  const auto mode = static_cast<std::uint8_t>(
      d.contains("mode") ? Number(d.at("mode"), where + ".mode", 0x7F) : 2);
  auto& c = net.AddController(std::make_unique<SimController>(id, ip, mode));
  const std::string kind = d.value("kind", IsController(id) ? "door" : "other");
  if (kind == "door") {
    const auto p = static_cast<std::uint8_t>(
        d.contains("passages") ? Number(d.at("passages"), where + ".passages", 16) : 2);
    if (p != 2 && p != 8 && p != 16) Fail(where + ".passages", "a door controller has 2, 8 or 16");
    if (!IsController(id)) Fail(where, "a door controller needs a type number 300..399");
    c.SetController(kDoorKind, p);
  } else if (kind == "lift") {
    if (!IsController(id)) Fail(where, "a lift controller needs a type number 300..399");
    c.SetController(kLiftKind, 1);
  } else if (kind != "other") {
    Fail(where + ".kind", "door, lift or other");
  }
  c.silent = d.value("silent", false);
  if (d.contains("bus")) {
    const json& bus = d.at("bus");
    if (!bus.is_array() || bus.size() > kMaxBusEntries) Fail(where + ".bus", "up to 116 entries");
    for (std::size_t i = 0; i < bus.size(); ++i) {
      const std::string w = where + ".bus[" + std::to_string(i) + "]";
      BusEntry e;
      e.id = Number(bus[i].at("id"), w + ".id", 0xFFFFFFFF);
      if (bus[i].contains("attr")) {
        Bytes a = HexBytes(bus[i].at("attr"), w + ".attr");
        if (a.size() != 8) Fail(w + ".attr", "needs 8 bytes");
        std::copy(a.begin(), a.end(), e.attr.begin());
      }
      c.bus.push_back(e);
    }
  } else if (c.IsConfigurable()) {
    c.bus.push_back({id, kSelf, 0});
  }
  if (d.contains("blocks")) {
    if (!d.at("blocks").is_array()) Fail(where + ".blocks", "expected an array");
    std::size_t k = 0;
    for (const json& b : d.at("blocks")) {
      const std::string w = where + ".blocks[" + std::to_string(k++) + "]";
      const auto bk = static_cast<std::uint8_t>(Number(b.at("kind"), w + ".kind", 255));
      const auto bi =
          static_cast<std::uint8_t>(Number(b.value("index", json(0)), w + ".index", 255));
      Block* blk = c.ValidBlock(bk, bi) ? c.FindBlock(bk, bi) : nullptr;
      if (!blk) Fail(w, "this controller has no such block");
      if (b.contains("hex")) {
        Bytes rec = HexBytes(b.at("hex"), w + ".hex");
        if (rec.size() != c.RecordLen(bk))
          Fail(w + ".hex", "needs " + std::to_string(c.RecordLen(bk)) + " bytes");
        blk->record = rec;
      }
      if (b.contains("fields")) ApplyFields(b.at("fields"), bk, blk->record, w + ".fields");
    }
  }
}

}  // namespace

void LoadDefaultScenario(SimNetwork& net, std::uint32_t a) {
  Door(net, Ctl(302, 101), a + 0, 3, 2, 1000);   // Instalacja
  Door(net, Ctl(308, 202), a + 1, 2, 8, 2000);   // Serwis
  Door(net, Ctl(316, 303), a + 2, 2, 16, 3000);  // Serwis
  // Serwis, after a failure: a reader lost, a new reader of the same type ready to replace it,
  // a relay module with a supply fault and a lock whose housing is open.
  auto& d = Door(net, Ctl(308, 404), a + 3, 3, 8, 4000);
  d.bus[3].attr[1] |= kInactive;
  d.AddBusDevice(Bus(5, 4090), With(kReader, kNew, 9));
  d.AddBusDevice(Bus(710, 4091), With(kRelayModule, kPowerFault));
  d.bus[2].attr[1] |= kTamper;
  Lift(net, Ctl(340, 505), a + 4, 2);
  Door(net, Ctl(302, 606), a + 5, 0, 2, 6000);                                  // Blokada
  Door(net, Ctl(308, 707), a + 6, 1, 8, 7000);                                  // Konfiguracja
  net.AddController(std::make_unique<SimController>(Ctl(120, 808), a + 7, 1));  // time recorder
  // Class nibble 2: answers the broadcast, but discovery must not take it in.
  net.AddController(std::make_unique<SimController>(Ctl(305, 909, 2), a + 8, 2));
}

void LoadScenarioText(SimNetwork& net, const std::string& text) {
  json j;
  try {
    j = json::parse(text);
  } catch (const json::parse_error& e) {
    throw std::runtime_error(std::string("scenario: not JSON: ") + e.what());
  }
  try {
    if (!j.is_object() || !j.contains("devices") || !j.at("devices").is_array())
      Fail("top level", "expected an object with a \"devices\" array");
    std::size_t n = 0;
    for (const json& d : j.at("devices")) LoadDevice(net, d, n++);
    if (j.contains("sessionTimeoutMs")) {
      const auto ms = Number(j.at("sessionTimeoutMs"), "sessionTimeoutMs", 3'600'000);
      for (auto& c : net.devices) c->sessionTimeoutMs = ms;
    }
  } catch (const json::exception& e) {
    throw std::runtime_error(std::string("scenario: ") + e.what());
  }
}

void LoadScenarioFile(SimNetwork& net, const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw std::runtime_error("scenario: cannot read " + path);
  std::ostringstream s;
  s << f.rdbuf();
  LoadScenarioText(net, s.str());
}

void AddExtraControllers(SimNetwork& net, int n) {
  static constexpr unsigned kTypes[] = {302, 308, 316};
  std::uint32_t ip = NextAddress(net, kFirstAddress);
  for (int i = 0; i < n; ++i) {
    // Serials run backwards and bits 26-27 vary, so arrival order is not the sorted order.
    const unsigned type = kTypes[i % 3];
    const DeviceId id =
        Ctl(type, 20000 - static_cast<unsigned>(i)) | (static_cast<unsigned>(i % 4) << 26);
    auto& c = net.AddController(std::make_unique<SimController>(id, ip++, 2 + (i % 2)));
    c.SetController(kDoorKind, static_cast<std::uint8_t>(type - 300));
    c.bus.push_back({id, kSelf, 0});
    c.AddBusDevice(Bus(5, 30000 + static_cast<unsigned>(i)), kReader);
  }
}

}  // namespace zav::sim
