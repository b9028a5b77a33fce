#include "tests/config/controller_script.h"

#include <cstring>

#include "link/cmac.h"
#include "link/link.h"
#include "link/wire.h"

namespace zav::testing {

namespace {

constexpr std::uint32_t kIp = 0x0A000005;  // 10.0.0.5

void AppendU32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}

}  // namespace

ControllerScript::ControllerScript() {
  for (int i = 0; i < 16; ++i) key[i] = static_cast<std::uint8_t>(0x30 + 7 * i);
  Link::Use(&endpoint, &clock);
  endpoint.onSend = [this](const Datagram& d) { OnSend(d); };
}

ControllerScript::~ControllerScript() {
  Link::Use(nullptr, nullptr);
}

UdpDev ControllerScript::MakeDev() const {
  UdpDev dev(id, kIp, modeByte);
  dev.available = true;
  dev.session = true;
  dev.mode = modeByte;
  std::memcpy(dev.key, key, sizeof key);
  return dev;
}

void ControllerScript::OnSend(const Datagram& d) {
  const auto& b = d.bytes;
  if (b.size() < 12 || b[0] != 'M' || b[1] != 'M' || b[2] != 'D') return;
  if (b[3] == 'O') {
    ++statusPolls;
    std::vector<std::uint8_t> r = {'M', 'M', 'D', 'O'};
    AppendU32(r, id);
    std::uint8_t block[16] = {0, 0, modeByte, '1'};
    r.insert(r.end(), block, block + 16);
    AppendU32(r, FrameCrc(r.data(), r.size()));
    endpoint.Queue(r, d.addr);
    return;
  }
  if (b[3] != 'C' || b.size() < 19) return;
  SignedRequest req;
  req.letter = static_cast<char>(b[10]);
  req.payload.assign(b.begin() + 11, b.end() - 8);
  signedRequests.push_back(req);
  std::optional<std::vector<std::uint8_t>> payload;
  if (answer) payload = answer(req);
  if (!payload) return;
  std::vector<std::uint8_t> r = {'M', 'M', 'D', 'C'};
  AppendU32(r, id);
  r.push_back(b[8]);
  r.push_back(b[9]);
  r.push_back(static_cast<std::uint8_t>(req.letter | 0x80));
  r.insert(r.end(), payload->begin(), payload->end());
  SigningContext ctx;
  ctx.aes.SetKey(key, 16);
  std::uint8_t sig[8];
  FrameSignature(ctx, r.data(), r.size(), sig);
  r.insert(r.end(), sig, sig + 8);
  endpoint.Queue(r, d.addr);
}

std::vector<std::uint8_t> Ack() {
  return {6};
}

std::vector<std::uint8_t> DeviceTableReply(std::uint8_t header,
                                           const std::vector<std::vector<std::uint8_t>>& entries) {
  std::vector<std::uint8_t> r(6, 0);
  PutU16(r.data(), static_cast<std::uint16_t>(entries.size()));
  r[2] = header;
  for (const auto& e : entries) r.insert(r.end(), e.begin(), e.end());
  return r;
}

std::vector<std::uint8_t> Entry(DeviceId id, std::uint8_t a0, std::uint8_t a1, std::uint8_t a2,
                                std::uint8_t a3, std::uint8_t a4, std::uint8_t a5) {
  std::vector<std::uint8_t> e;
  AppendU32(e, id);
  std::uint8_t a[8] = {a0, a1, a2, a3, a4, a5, 0x5A, 0xA5};
  e.insert(e.end(), a, a + 8);
  return e;
}

}  // namespace zav::testing
