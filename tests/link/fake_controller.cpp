#include "tests/link/fake_controller.h"

#include <cstring>

namespace zav::testing {

std::vector<std::uint8_t> PlainReply(char letter, DeviceId id,
                                     const std::vector<std::uint8_t>& payload) {
  std::vector<std::uint8_t> d(payload.size() + kPlainOverhead);
  BuildPlainFrame(letter, id, payload.data(), payload.size(), d.data());
  return d;
}

std::vector<std::uint8_t> SignedReply(const std::uint8_t* sessionKey, DeviceId id, char letter,
                                      const std::vector<std::uint8_t>& payload) {
  std::vector<std::uint8_t> d(payload.size() + kSignedOverhead);
  BuildSignedFrameBody(id, 0x5A5A, static_cast<char>(letter | 0x80), payload.data(), payload.size(),
                       d.data());
  SigningContext ctx;
  ctx.aes.SetKey(sessionKey, 16);
  FrameSignature(ctx, d.data(), d.size() - 8, d.data() + d.size() - 8);
  return d;
}

std::vector<std::uint8_t> StatusReply(DeviceId id, std::uint8_t mode, bool valid) {
  std::vector<std::uint8_t> block(16, 0);
  block[2] = mode;
  block[3] = valid ? '1' : '0';
  return PlainReply('O', id, block);
}

FakeController::FakeController(ScriptedEndpoint& ep, DeviceId id_, std::string addr_)
    : id(id_), addr(std::move(addr_)), ep_(ep) {
  auto previous = ep_.onSend;
  ep_.onSend = [this, previous](const Datagram& d) {
    if (previous) previous(d);
    OnDatagram(d);
  };
}

std::vector<SeenRequest> FakeController::Requests(char letter) const {
  std::vector<SeenRequest> out;
  for (const auto& r : requests_)
    if (r.letter == letter) out.push_back(r);
  return out;
}

void FakeController::OnDatagram(const Datagram& d) {
  const bool broadcast = d.addr == "255.255.255.255";
  if (d.addr != addr && !broadcast) return;
  const auto& b = d.bytes;
  if (b.size() < kPlainOverhead || b[0] != 'M' || b[1] != 'M' || b[2] != 'D') return;
  SeenRequest r;
  r.atMs = d.atMs;
  const DeviceId to = GetU32(b.data() + 4);
  if (to != id && !(broadcast && to == kBroadcastId)) return;
  if (b[3] == 'C' && b.size() >= kSignedOverhead) {
    r.isSigned = true;
    r.seq = GetU16(b.data() + 8);
    r.letter = static_cast<char>(b[10]);
    r.payload.assign(b.begin() + 11, b.end() - 8);
    std::uint8_t sig[8];
    signing_.aes.SetKey(sessionKey_.data(), 16);
    FrameSignature(signing_, b.data(), b.size() - 8, sig);
    r.authentic = std::memcmp(sig, b.data() + b.size() - 8, 8) == 0;
  } else {
    r.letter = static_cast<char>(b[3]);
    r.payload.assign(b.begin() + 8, b.end() - 4);
    r.authentic = FrameCrc(b.data(), b.size() - 4) == GetU32(b.data() + b.size() - 4);
  }
  requests_.push_back(r);
  if (silent) return;
  if (to == kBroadcastId) {
    if (answersDiscovery && r.letter == 'O') ep_.Queue(StatusReply(id, mode), addr, replyDelayMs);
    return;
  }
  if (r.letter == 'T' && !r.isSigned) return;  // the time stamp is never answered
  Response a;
  if (r.isSigned && onSigned) a = onSigned(r);
  if (!r.isSigned && onPlain) a = onPlain(r);
  std::vector<std::uint8_t> reply;
  switch (a.kind) {
    case Response::Silent:
      return;
    case Response::Standard:
      reply = r.isSigned ? StandardSigned(r) : StandardPlain(r);
      break;
    case Response::Payload:
      reply = r.isSigned ? SignedReply(sessionKey_.data(), id, r.letter, a.bytes)
                         : PlainReply(r.letter, id, a.bytes);
      break;
    case Response::Raw:
      reply = std::move(a.bytes);
      break;
  }
  if (!reply.empty()) ep_.Queue(std::move(reply), addr, replyDelayMs);
}

std::vector<std::uint8_t> FakeController::StandardPlain(const SeenRequest& r) {
  if (!r.authentic) return {};
  switch (r.letter) {
    case 'O':
      return StatusReply(id, mode, statusValid);
    case 'K': {
      // A new session: the key is AES over the value, keyed with the value itself.
      sessionKey_ = sessionValue;
      DeriveSessionKey(signing_, sessionKey_.data());
      mode |= 0x80;
      return PlainReply('K', id, {sessionValue.begin(), sessionValue.end()});
    }
    case 'Y':
      return PlainReply('Y', id, {6});
    default:
      return {};
  }
}

std::vector<std::uint8_t> FakeController::StandardSigned(const SeenRequest& r) {
  if (!r.authentic || !(mode & 0x80)) return {};
  std::vector<std::uint8_t> payload{6};
  switch (r.letter) {
    case 'D':
      payload = deviceTable;
      break;
    case 'C':
      payload = configBlock;
      break;
    case 's':
      mode &= 0x7F;
      break;
    default:
      break;
  }
  return SignedReply(sessionKey_.data(), id, r.letter, payload);
}

}  // namespace zav::testing
