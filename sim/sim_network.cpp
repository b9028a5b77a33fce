#include "sim/sim_network.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>
#include <sstream>

#include "sim/run_dir.h"

namespace zav::sim {

namespace {

std::string Hex(const std::uint8_t* p, std::size_t n) {
  static const char* kDigits = "0123456789abcdef";
  std::string s;
  s.reserve(2 * n);
  for (std::size_t i = 0; i < n; ++i) {
    s += kDigits[p[i] >> 4];
    s += kDigits[p[i] & 15];
  }
  return s;
}

std::string Format(const char* fmt, auto... args) {
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt, args...);
  return buf;
}

bool ParseAddr(const std::string& text, std::uint32_t& out) {
  in_addr a{};
  if (inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
  out = ntohl(a.s_addr);
  return true;
}

bool ParseUnsigned(const std::string& text, unsigned long long max, unsigned long long& out) {
  if (text.empty()) return false;
  try {
    std::size_t used = 0;
    out = std::stoull(text, &used, 0);
    return used == text.size() && out <= max;
  } catch (...) {
    return false;
  }
}

bool ParseOnOff(const std::string& text, bool& out) {
  if (text == "on" || text == "1") return out = true, true;
  if (text == "off" || text == "0") return out = false, true;
  return false;
}

const char* kHelp =
    "commands (DEV: name like K108_00202, hex id 0x..., or address):\n"
    "  list | dump [FILE] | quit      (FILE: a plain name, written in the run directory)\n"
    "  mode DEV 0..3 | silent DEV on|off | session-timeout DEV|all MS | close-session DEV\n"
    "  inactive|power|tamper|new DEV POS on|off     bus device flags\n"
    "  add DEV ID [A0 A1 A2 A3 A4 A5 A6 A7]          new bus device (hex bytes)\n"
    "  refuse DEV block KIND INDEX on|off | refuse DEV firmware N on|off   answer 0x15\n"
    "  poke DEV KIND INDEX OFFSET HEX               overwrite bytes of a stored block\n"
    "  firmware DEV | firmware-nak DEV N|off        blocks received / refuse from block N\n"
    "  fault [DEV] drop FRACTION | duplicate on|off | delay MS | crc on|off | sig on|off | off\n"
    "  fault [DEV] cutoff N | reboot N     silent / session lost after N more answers\n"
    "  fault DEV global                    DEV follows the switches for all again\n"
    "END\n";

}  // namespace

std::string DescribeDatagram(const std::uint8_t* d, std::size_t len) {
  if (len < 12 || std::memcmp(d, "MMD", 3) != 0) return Format("? len=%zu", len);
  const DeviceId id = GetU32(d + 4);
  std::string who = id == kBroadcastId ? std::string("*") : DevName(id);
  if (d[3] == 'C' && len >= kSignedOverhead) {
    const char letter = static_cast<char>(d[10] & 0x7F);
    return Format("%s %c%s seq=%u payload=%zu", who.c_str(), letter, (d[10] & 0x80) ? "+" : "",
                  GetU16(d + 8), len - kSignedOverhead);
  }
  std::string s = Format("%s %c payload=%zu", who.c_str(), static_cast<char>(d[3]), len - 12);
  if (d[3] == 'O' && len == kStatusReplyLen) s += Format(" mode=0x%02x", d[10]);
  if (d[3] == 'T' && len == 16) s += Format(" time=%u", GetU32(d + 8));
  if (FrameCrc(d, len - 4) != GetU32(d + len - 4)) s += " BAD-CRC";
  return s;
}

SimController& SimNetwork::AddController(std::unique_ptr<SimController> c) {
  devices.push_back(std::move(c));
  return *devices.back();
}

SimController* SimNetwork::Find(const std::string& sel) {
  std::uint32_t addr = 0;
  bool isAddr = ParseAddr(sel, addr);
  unsigned long long idv = 0;
  bool isId = sel.rfind("0x", 0) == 0 && ParseUnsigned(sel, 0xFFFFFFFFull, idv);
  for (auto& c : devices) {
    if ((isAddr && c->ip == addr) || (isId && c->id == idv) || DevName(c->id) == sel)
      return c.get();
  }
  return nullptr;
}

std::vector<Outgoing> SimNetwork::Receive(const std::uint8_t* d, std::size_t len, const Peer& from,
                                          std::uint32_t dst, std::uint64_t nowMs) {
  std::vector<Outgoing> out;
  if (log)
    log(Format("IN  %s:%u -> %s ", IpText(from.ip).c_str(), from.port, IpText(dst).c_str()) +
        DescribeDatagram(d, len));
  bool routed = false;
  for (auto& c : devices) {
    if (c->ip == dst) {
      Route(*c, d, len, from, nowMs, out);
      routed = true;
    }
  }
  if (!routed && (dst == 0xFFFFFFFF || (dst & 0xFF) == 0xFF)) {
    for (auto& c : devices) Route(*c, d, len, from, nowMs, out);
  }
  return out;
}

void SimNetwork::Route(SimController& c, const std::uint8_t* d, std::size_t len, const Peer& from,
                       std::uint64_t nowMs, std::vector<Outgoing>& out) {
  auto replies = c.Handle(d, len, from, nowMs);
  auto it = deviceFaults.find(c.id);
  Faults& f = it != deviceFaults.end() ? it->second : faults;
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (auto& r : replies) {
    // Counted per answer the controller gave, whether or not the network then loses it; the
    // change reaches only the requests that follow.
    if (f.silentAfter > 0 && --f.silentAfter == 0) {
      c.silent = true;
      f.silentAfter = -1;
      if (log) log("CUTOFF " + IpText(c.ip));
    }
    if (f.rebootAfter > 0 && --f.rebootAfter == 0) {
      c.session.open = false;
      f.rebootAfter = -1;
      if (log) log("REBOOT " + IpText(c.ip));
    }
    std::string note;
    if (f.drop > 0 && u(rng) < f.drop) {
      if (log) log("DROP " + IpText(c.ip) + " " + DescribeDatagram(r.data(), r.size()));
      continue;
    }
    const bool isSigned = r.size() >= kSignedOverhead && r[3] == 'C';
    if ((isSigned && f.wrongSignature) || (!isSigned && f.corruptCrc)) {
      r.back() ^= 0x5A;
      note = isSigned ? " (signature spoiled)" : " (checksum spoiled)";
    }
    const int copies = f.duplicate ? 2 : 1;
    for (int k = 0; k < copies; ++k) {
      if (log)
        log(Format("OUT %s -> %s:%u ", IpText(c.ip).c_str(), IpText(from.ip).c_str(), from.port) +
            DescribeDatagram(r.data(), r.size()) + note);
      out.push_back(Outgoing{c.ip, from, r, nowMs + static_cast<std::uint64_t>(f.delayMs)});
    }
  }
}

std::string SimNetwork::Dump(std::uint64_t nowMs) {
  std::ostringstream s;
  for (auto& c : devices) {
    c->Advance(nowMs);
    const std::string name = DevName(c->id);
    s << "DEV " << name << Format(" id=0x%08x", c->id) << " ip=" << IpText(c->ip)
      << Format(" mode=0x%02x", c->StatusMode()) << " kind=" << int(c->controllerKind)
      << " passages=" << int(c->passageCount) << " timestamps=" << c->timeStamps
      << " lasttime=" << c->lastTime << " firmware-blocks=" << c->firmwareBlocks
      << " bad-signatures=" << c->rejectedSignatures
      << " session=" << (c->session.open ? IpText(c->session.client.ip) : std::string("none"))
      << " silent=" << (c->silent ? "on" : "off") << "\n";
    for (std::size_t i = 0; i < c->bus.size(); ++i) {
      const BusEntry& e = c->bus[i];
      s << "BUS " << name << " " << i << Format(" 0x%08x ", e.id) << Hex(e.attr.data(), 8) << "\n";
    }
    for (const auto& [key, b] : c->blocks) {
      s << "BLOCK " << name << " " << int(key.first) << " " << int(key.second) << " "
        << Hex(b.record.data(), b.record.size()) << "\n";
    }
  }
  s << "END\n";
  return s.str();
}

std::string SimNetwork::Control(const std::string& line, std::uint64_t nowMs) {
  std::istringstream in(line);
  std::vector<std::string> w;
  for (std::string t; in >> t;) w.push_back(t);
  if (w.empty() || w[0][0] == '#') return "";
  const std::string& cmd = w[0];
  auto err = [](const std::string& m) { return "error: " + m + "\n"; };
  auto dev = [&](std::size_t i) -> SimController* { return i < w.size() ? Find(w[i]) : nullptr; };
  unsigned long long v = 0;
  bool on = false;

  if (cmd == "help") return kHelp;
  if (cmd == "quit") {
    quitRequested = true;
    return "ok\n";
  }
  if (cmd == "ping") return "ok\n";
  if (cmd == "list") {
    std::string s;
    for (auto& c : devices) {
      c->Advance(nowMs);
      s += Format("%s 0x%08x %s mode=0x%02x kind=%d passages=%d bus=%zu\n", DevName(c->id).c_str(),
                  c->id, IpText(c->ip).c_str(), c->StatusMode(), c->controllerKind, c->passageCount,
                  c->bus.size());
    }
    return s + "END\n";
  }
  if (cmd == "dump") {
    std::string text = Dump(nowMs);
    if (w.size() < 2) return text;
    // Whoever controls the simulator must not choose where root writes: only a plain name
    // inside the run's private directory.
    if (runDirFd < 0) return err("dump FILE needs a run directory (--run-dir)");
    if (!PlainFileName(w[1]))
      return err("dump FILE takes a plain file name, written in the run directory");
    std::string why;
    return WriteInRunDir(runDirFd, w[1], text, why) ? "ok\n" : err(why);
  }
  if (cmd == "fault") {
    std::size_t i = 1;
    Faults* f = &faults;
    if (SimController* c = dev(1)) {
      f = &deviceFaults.try_emplace(c->id, faults).first->second;
      i = 2;
    }
    if (i >= w.size()) return err("fault needs a switch");
    const std::string& sw = w[i];
    const std::string arg = i + 1 < w.size() ? w[i + 1] : "";
    if (sw == "global") {
      // The controller follows the switches for all controllers again.
      if (i != 2) return err("global needs a controller");
      deviceFaults.erase(dev(1)->id);
    } else if (sw == "off") {
      *f = Faults{};
    } else if (sw == "drop") {
      double x = -1;
      try {
        x = std::stod(arg);
      } catch (...) {
      }
      if (!(x >= 0 && x <= 1)) return err("drop takes a fraction 0..1");
      f->drop = x;
    } else if (sw == "delay") {
      if (!ParseUnsigned(arg, 60000, v)) return err("delay takes 0..60000 ms");
      f->delayMs = static_cast<int>(v);
    } else if (sw == "cutoff" || sw == "reboot") {
      if (!ParseUnsigned(arg, 100000, v) || v == 0) return err(sw + " takes 1..100000 answers");
      (sw == "cutoff" ? f->silentAfter : f->rebootAfter) = static_cast<int>(v);
    } else if (sw == "duplicate" || sw == "crc" || sw == "sig") {
      if (!ParseOnOff(arg, on)) return err(sw + " takes on or off");
      (sw == "duplicate" ? f->duplicate : sw == "crc" ? f->corruptCrc : f->wrongSignature) = on;
    } else {
      return err("unknown fault " + sw);
    }
    return "ok\n";
  }

  if (cmd == "session-timeout" && w.size() == 3 && w[1] == "all") {
    if (!ParseUnsigned(w[2], 3'600'000, v)) return err("timeout in ms");
    for (auto& d : devices) d->sessionTimeoutMs = v;
    return "ok\n";
  }
  SimController* c = dev(1);
  if (!c) return err(w.size() < 2 ? cmd + " needs a controller" : "no controller " + w[1]);
  if (cmd == "mode") {
    if (w.size() < 3 || !ParseUnsigned(w[2], 3, v)) return err("mode takes 0..3");
    c->mode = static_cast<std::uint8_t>((c->mode & ~3) | v);
    return "ok\n";
  }
  if (cmd == "silent") {
    if (w.size() < 3 || !ParseOnOff(w[2], on)) return err("silent takes on or off");
    c->silent = on;
    return "ok\n";
  }
  if (cmd == "session-timeout") {
    if (w.size() < 3 || !ParseUnsigned(w[2], 3'600'000, v)) return err("timeout in ms");
    c->sessionTimeoutMs = v;
    return "ok\n";
  }
  if (cmd == "close-session") {
    c->session.open = false;
    return "ok\n";
  }
  if (cmd == "inactive" || cmd == "power" || cmd == "tamper" || cmd == "new") {
    if (w.size() < 4 || !ParseUnsigned(w[2], 255, v) || !ParseOnOff(w[3], on))
      return err(cmd + " takes DEV POS on|off");
    if (v >= c->bus.size() || c->bus[v].Empty()) return err("no bus device at " + w[2]);
    const std::uint8_t bit = cmd == "inactive" ? kInactive
                             : cmd == "power"  ? kPowerFault
                             : cmd == "tamper" ? kTamper
                                               : kNew;
    std::uint8_t& a1 = c->bus[v].attr[1];
    a1 = static_cast<std::uint8_t>(on ? (a1 | bit) : (a1 & ~bit));
    if (bit == kInactive) c->bus[v].inactiveUntilMs = 0;
    return "ok\n";
  }
  if (cmd == "refuse") {
    // Makes the controller refuse one block however well formed: a write sequence can then be
    // broken at an exact block.
    unsigned long long kind = 0;
    const bool block = w.size() == 6 && w[2] == "block" && ParseUnsigned(w[3], 255, kind) &&
                       ParseUnsigned(w[4], 255, v) && ParseOnOff(w[5], on);
    const bool firmware = !block && w.size() == 5 && w[2] == "firmware" &&
                          ParseUnsigned(w[3], 0xFFFF, v) && ParseOnOff(w[4], on);
    if (!block && !firmware)
      return err("refuse takes DEV block KIND INDEX on|off or DEV firmware N on|off");
    if (block) {
      const std::pair<std::uint8_t, std::uint8_t> key{static_cast<std::uint8_t>(kind),
                                                      static_cast<std::uint8_t>(v)};
      on ? (void)c->refusedWrites.insert(key) : (void)c->refusedWrites.erase(key);
    } else {
      const auto n = static_cast<std::uint16_t>(v);
      on ? (void)c->refusedFirmware.insert(n) : (void)c->refusedFirmware.erase(n);
    }
    return "ok\n";
  }
  if (cmd == "poke") {
    unsigned long long kind = 0, index = 0, off = 0;
    if (w.size() < 6 || !ParseUnsigned(w[2], 255, kind) || !ParseUnsigned(w[3], 255, index) ||
        !ParseUnsigned(w[4], 1399, off))
      return err("poke takes DEV KIND INDEX OFFSET HEX");
    Block* b = c->FindBlock(static_cast<std::uint8_t>(kind), static_cast<std::uint8_t>(index));
    if (!b) return err("no such block");
    const std::string& hex = w[5];
    if (hex.size() % 2 != 0 || off + hex.size() / 2 > b->record.size())
      return err("the bytes do not fit the block");
    for (std::size_t k = 0; k < hex.size(); k += 2) {
      unsigned long long byte = 0;
      if (!ParseUnsigned("0x" + hex.substr(k, 2), 255, byte)) return err("bytes are hex");
      b->record[off + k / 2] = static_cast<std::uint8_t>(byte);
    }
    return "ok\n";
  }
  if (cmd == "firmware") {
    std::string s;
    for (const auto& [number, bytes] : c->firmwareLog)
      s += Format("Y %d ", number) + Hex(bytes.data(), bytes.size()) + "\n";
    return s + "END\n";
  }
  if (cmd == "firmware-nak") {
    if (w.size() >= 3 && w[2] == "off") {
      c->firmwareNakFrom = -1;
      return "ok\n";
    }
    if (w.size() < 3 || !ParseUnsigned(w[2], 65535, v)) return err("firmware-nak takes N or off");
    c->firmwareNakFrom = static_cast<int>(v);
    return "ok\n";
  }
  if (cmd == "add") {
    if (w.size() < 3 || !ParseUnsigned(w[2], 0xFFFFFFFFull, v)) return err("add takes DEV ID");
    if ((v >> 16) == 0xFFFF) return err("that id marks an empty slot");
    std::array<std::uint8_t, 8> attr{};
    for (std::size_t k = 0; k < 8 && 3 + k < w.size(); ++k) {
      unsigned long long b = 0;
      if (!ParseUnsigned("0x" + w[3 + k], 255, b)) return err("attribute bytes are hex 00..ff");
      attr[k] = static_cast<std::uint8_t>(b);
    }
    attr[1] |= kNew;
    int pos = c->AddBusDevice(static_cast<DeviceId>(v), attr);
    if (pos < 0) return err("bus table full");
    return Format("ok position %d\n", pos);
  }
  return err("unknown command " + cmd + " (help lists them)");
}

}  // namespace zav::sim
