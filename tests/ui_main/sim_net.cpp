#include "tests/ui_main/sim_net.h"

#include <cstring>

#include "link/cmac.h"

namespace zav::testing {

namespace {
constexpr std::uint64_t kDelay = 3;

std::vector<std::uint8_t> Plain(char letter, DeviceId id, const std::vector<std::uint8_t>& p) {
  std::vector<std::uint8_t> out(p.size() + kPlainOverhead);
  BuildPlainFrame(letter, id, p.data(), p.size(), out.data());
  return out;
}

void Sign(const std::array<std::uint8_t, 16>& key, const std::uint8_t* bytes, std::size_t n,
          std::uint8_t* out8) {
  SigningContext ctx;
  ctx.aes.SetKey(key.data(), 16);
  FrameSignature(ctx, bytes, n, out8);
}

// A record of 104 bytes: every reference none, parameters zero.
std::vector<std::uint8_t> Record(std::uint8_t h0, std::uint8_t h1) {
  std::vector<std::uint8_t> p(8 + 104, 0);
  p[0] = h0;
  p[1] = h1;
  p[2] = 8;
  p[3] = 4;
  for (int i = 8; i < 48; ++i) p[i] = 0xFF;
  return p;
}
}  // namespace

std::vector<std::uint8_t> DeviceTablePayload(std::uint8_t header,
                                             const std::vector<BusEntry>& entries) {
  std::vector<std::uint8_t> p(6 + 12 * entries.size(), 0);
  PutU16(p.data(), static_cast<std::uint16_t>(entries.size()));
  p[2] = header;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::uint8_t* e = p.data() + 6 + 12 * i;
    PutU32(e, entries[i].id);
    e[4] = 1;
    e[5] = entries[i].state;
    e[6] = entries[i].a2;
    e[8] = entries[i].a4;
    e[9] = entries[i].a5;
  }
  return p;
}

int SimCtl::Count(char letter) const {
  int n = 0;
  for (const auto& s : signedSeen) n += s.first == letter;
  return n;
}

SimNet::SimNet(ScriptedEndpoint& ep) : ep_(ep) {
  ep_.onSend = [this](const Datagram& d) { OnSend(d); };
}

SimCtl& SimNet::Add(DeviceId id, const std::string& addr, std::uint8_t mode) {
  auto c = std::make_unique<SimCtl>();
  c->id = id;
  c->addr = addr;
  c->mode = mode;
  // The controller itself first, then a reader and an I/O module.
  c->bus = {{id, 0, 2, 4, 0}, {(1u << 16) | 7u, 0, 0, 0, 1}, {(701u << 16) | 3u, 0, 8, 8, 0}};
  ctls.push_back(std::move(c));
  return *ctls.back();
}

void SimNet::GiveSession(SimCtl& ctl, std::uint8_t k) {
  ctl.sessionOpen = true;
  ctl.key.fill(k);
}

std::vector<std::uint8_t> SimNet::Status(const SimCtl& ctl) const {
  std::vector<std::uint8_t> block(16, 0);
  block[2] = static_cast<std::uint8_t>((ctl.mode & 0x7F) | (ctl.sessionOpen ? 0x80 : 0));
  block[3] = '1';
  return Plain('O', ctl.id, block);
}

void SimNet::QueueStatus(const SimCtl& ctl) {
  ep_.Queue(Status(ctl), ctl.addr, 0);
}

void SimNet::OnSend(const Datagram& d) {
  if (d.addr == "255.255.255.255") {
    for (auto& c : ctls)
      if (c->answersDiscovery && !c->silent) ep_.Queue(Status(*c), c->addr, kDelay);
    return;
  }
  for (auto& c : ctls)
    if (c->addr == d.addr && !c->silent) Answer(*c, d.bytes);
}

void SimNet::Answer(SimCtl& ctl, const std::vector<std::uint8_t>& req) {
  if (req.size() < 12 || std::memcmp(req.data(), "MMD", 3) != 0) return;
  if (GetU32(req.data() + 4) != ctl.id) return;
  if (req[3] != 'C') {
    if (FrameCrc(req.data(), req.size() - 4) != GetU32(req.data() + req.size() - 4)) return;
    switch (req[3]) {
      case 'O':
        ++ctl.statusPolls;
        ep_.Queue(Status(ctl), ctl.addr, kDelay);
        break;
      case 'K': {
        std::array<std::uint8_t, 16> r{};
        for (int i = 0; i < 16; ++i) r[i] = static_cast<std::uint8_t>(0x40 + i);
        ep_.Queue(Plain('K', ctl.id, std::vector<std::uint8_t>(r.begin(), r.end())), ctl.addr,
                  kDelay);
        SigningContext ctx;
        ctl.key = r;
        DeriveSessionKey(ctx, ctl.key.data());
        ctl.sessionOpen = true;
        break;
      }
      case 'T':
        ++ctl.timeStamps;
        break;
      default:
        break;
    }
    return;
  }
  // Signed: checked with the session key, a wrong signature gets no answer.
  if (req.size() < kSignedOverhead || !ctl.sessionOpen) return;
  std::uint8_t sig[8];
  Sign(ctl.key, req.data(), req.size() - 8, sig);
  if (std::memcmp(sig, req.data() + req.size() - 8, 8) != 0) return;
  const char letter = static_cast<char>(req[10]);
  const std::vector<std::uint8_t> payload(req.begin() + 11, req.end() - 8);
  const std::uint16_t seq = GetU16(req.data() + 8);
  ctl.signedSeen.emplace_back(letter, payload);
  if (ctl.silentSigned) return;
  const std::vector<std::uint8_t> ack{6};
  switch (letter) {
    case 'D':
      ReplySigned(ctl, seq, letter, DeviceTablePayload(ctl.header, ctl.bus));
      break;
    case 'C': {
      const int kind = payload.size() > 0 ? payload[0] : -1;
      const int index = payload.size() > 1 ? payload[1] : -1;
      if (kind == 16) {
        std::vector<std::uint8_t> p(40, 0xFF);
        p[0] = 16;
        p[1] = 8;
        p[2] = 8;
        p[3] = 4;
        for (int i = 4; i < 8; ++i) p[i] = 0;
        ReplySigned(ctl, seq, letter, p);
      } else if (kind == 2) {
        ReplySigned(ctl, seq, letter, Record(2, 136));
      } else if (ctl.shortConfig.count(index)) {
        std::vector<std::uint8_t> p = Record(1, 8);
        p.resize(static_cast<std::size_t>(ctl.shortConfig[index]));
        ReplySigned(ctl, seq, letter, p);
      } else if (!ctl.silentConfig[index]) {
        ReplySigned(ctl, seq, letter, Record(1, 8));
      }
      break;
    }
    case 's':
      ReplySigned(ctl, seq, letter, ack);
      ctl.sessionOpen = false;
      break;
    default:  // S, c, F, R
      ReplySigned(ctl, seq, letter, ack);
      break;
  }
}

void SimNet::ReplySigned(SimCtl& ctl, std::uint16_t seq, char letter,
                         const std::vector<std::uint8_t>& payload) {
  std::vector<std::uint8_t> out(payload.size() + kSignedOverhead);
  BuildSignedFrameBody(ctl.id, seq, static_cast<char>(letter | 0x80), payload.data(),
                       payload.size(), out.data());
  Sign(ctl.key, out.data(), out.size() - 8, out.data() + out.size() - 8);
  ep_.Queue(std::move(out), ctl.addr, kDelay);
}

}  // namespace zav::testing
