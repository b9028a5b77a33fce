#include "tests/ui_pages/fake_door.h"

#include "link/cmac.h"

namespace zav::testing {

FakeDoor::FakeDoor(ScriptedEndpoint& ep, DeviceId devId, std::string address)
    : id(devId), addr(std::move(address)), ep_(ep) {
  ep_.onSend = [this](const Datagram& d) { OnDatagram(d); };
}

void FakeDoor::ReplySigned(char letter, std::uint16_t seq,
                           const std::vector<std::uint8_t>& payload) {
  std::vector<std::uint8_t> out(payload.size() + kSignedOverhead);
  const std::size_t n = BuildSignedFrameBody(id, seq, static_cast<char>(letter | 0x80),
                                             payload.data(), payload.size(), out.data());
  SigningContext ctx;
  ctx.aes.SetKey(key);
  FrameSignature(ctx, out.data(), n - 8, out.data() + n - 8);
  out.resize(n);
  ep_.Queue(std::move(out), addr, 1);
}

void FakeDoor::OnDatagram(const Datagram& d) {
  const auto& b = d.bytes;
  if (d.addr != addr || b.size() < 12 || b[0] != 'M' || b[1] != 'M' || b[2] != 'D') return;
  if (GetU32(&b[4]) != id) return;
  if (b[3] == 'O') {
    std::uint8_t block[16] = {};
    block[2] = mode;
    block[3] = '1';
    std::vector<std::uint8_t> out(16 + kPlainOverhead);
    out.resize(BuildPlainFrame('O', id, block, sizeof block, out.data()));
    ep_.Queue(std::move(out), addr, 1);
    return;
  }
  if (b[3] != 'C' || b.size() < kSignedOverhead) return;
  const std::uint16_t seq = GetU16(&b[8]);
  const char letter = static_cast<char>(b[10]);
  const std::vector<std::uint8_t> payload(b.begin() + 11, b.end() - 8);
  if (letter == 'C' && payload.size() >= 2) {
    auto it = blocks.find({payload[0], payload[1]});
    ReplySigned(letter, seq, it == blocks.end() ? std::vector<std::uint8_t>{} : it->second);
  } else if (letter == 'c' && payload.size() >= 2) {
    const bool refuse = nakFromWrite >= 0 && static_cast<int>(writes.size()) >= nakFromWrite;
    if (!refuse) writes.push_back({payload[0], payload[1], {payload.begin() + 2, payload.end()}});
    ReplySigned(letter, seq, {static_cast<std::uint8_t>(refuse ? 0x15 : 6)});
  } else {
    ReplySigned(letter, seq, {6});
  }
}

}  // namespace zav::testing
