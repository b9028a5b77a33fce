// The request/response engine: one exchange, plain commands with their checksum and retries,
// signed commands with the sequence number and the signature.
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "link/late_answers.h"
#include "link/link.h"
#include "link/udpdev.h"
#include "link/uerr.h"

namespace zav {

namespace {

constexpr std::uint8_t kSignedTag[4] = {'M', 'M', 'D', 'C'};
constexpr std::size_t kSignatureLen = 8;

// The largest payload that still fits a datagram the controller could read back in one buffer.
constexpr std::size_t kMaxRequestPayload = kRecvBuffer - kSignedOverhead;

void CheckPayload(const std::uint8_t* payload, std::size_t n) {
  if (n > kMaxRequestPayload || (n > 0 && payload == nullptr))
    throw std::invalid_argument("Niepoprawna długość danych rozkazu.");
}

}  // namespace

int UdpDev::Exchange(const std::uint8_t* request, std::size_t len, const std::uint8_t* match4,
                     char letter, std::uint8_t* reply) {
  UdpEndpoint& udp = Link::Udp();
  Clock& clock = Link::Time();
  udp.Send(zav::IpText(ip), kPort, request, len);
  const std::uint64_t start = clock.NowMs();
  std::string fromAddr;
  std::uint16_t fromPort = 0;
  for (;;) {
    const int n = udp.Receive(reply, kRecvBuffer, kRecvWindowMs, fromAddr, fromPort);
    if (n >= 0) {
      const auto got = static_cast<std::size_t>(n);
      const bool match = letter == 0 ? IsPlainReply(match4, id, reply, got)
                                     : IsSignedReply(id, letter, reply, got);
      if (match) return n;
      // A stray datagram is dropped without looking at the clock: only silence ends an attempt.
      continue;
    }
    if (clock.NowMs() - start >= static_cast<std::uint64_t>(kAttemptLimitMs)) return 0;
  }
}

int UdpDev::Command(char letter, const std::uint8_t* payload, std::size_t n, std::size_t max,
                    std::uint8_t* out) {
  return PlainCommand(letter, payload, n, max, out, false);
}

int UdpDev::PlainCommand(char letter, const std::uint8_t* payload, std::size_t n, std::size_t max,
                         std::uint8_t* out, bool latestAnswer) {
  CheckPayload(payload, n);
  // Both buffers live on the stack: a command runs for every poll and every block read, and
  // neither needs clearing (the frame is written whole, a reply is read only up to its length).
  std::uint8_t frame[kRecvBuffer];
  const std::size_t len = BuildPlainFrame(letter, id, payload, n, frame);
  std::uint8_t reply[kRecvBuffer];
  const int attempts = available ? kAttempts : 1;
  AttemptLog log(id);
  for (int a = 0; a < attempts; ++a) {
    log.Sending();
    int r = Exchange(frame, len, frame, 0, reply);
    log.Ended(r > 0);
    if (r < static_cast<int>(kPlainOverhead)) continue;
    if (latestAnswer && log.LaterAnswerOwed()) r = log.AwaitLatestPlain(frame, reply, r);
    const auto rl = static_cast<std::size_t>(r);
    // A damaged reply is not an answer: the same frame goes out again.
    if (FrameCrc(reply, rl - 4) != GetU32(reply + rl - 4)) continue;
    const std::size_t m = rl - kPlainOverhead;
    if (max > 0 && m > 0) std::memcpy(out, reply + 8, std::min(m, max));
    return static_cast<int>(m);
  }
  return 0;
}

int UdpDev::SignedCommand(char letter, const std::uint8_t* payload, std::size_t n, std::size_t max,
                          std::uint8_t* out) {
  CheckPayload(payload, n);
  SigningContext& sig = Link::Signing();
  const int attempts = available && session ? kAttempts : 1;
  // Keyed once per command: retries reuse the same key.
  sig.aes.SetKey(key, sizeof key);
  std::uint8_t frame[kRecvBuffer];
  const std::size_t len = BuildSignedFrameBody(id, 0, letter, payload, n, frame);
  std::uint8_t reply[kRecvBuffer];
  std::uint8_t check[kSignatureLen];
  AttemptLog log(id);
  for (int a = 0; a < attempts; ++a) {
    ++seq;  // wraps 65535 -> 0 as a 16-bit field
    PutU16(frame + 8, seq);
    FrameSignature(sig, frame, n + 11, frame + n + 11);
    log.Sending();
    const int r = Exchange(frame, len, kSignedTag, letter, reply);
    log.Ended(r > 0);
    if (r < static_cast<int>(kSignedOverhead)) continue;
    const auto rl = static_cast<std::size_t>(r);
    FrameSignature(sig, reply, rl - kSignatureLen, check);
    if (!SameBytesConstTime(check, reply + rl - kSignatureLen, kSignatureLen))
      throw UErr{this, BadSignature, letter};
    const std::size_t m = rl - kSignedOverhead;
    if (max > 0 && m > 0) std::memcpy(out, reply + 11, std::min(m, max));
    if (m > max) throw UErr{this, ReplyTooLong, letter};
    return static_cast<int>(m);
  }
  throw UErr{this, NoReply, letter};
}

void UdpDev::CommandAck(char letter, const std::uint8_t* payload, std::size_t n) {
  std::uint8_t answer = 0;
  if (Command(letter, payload, n, 1, &answer) == 1 && answer == 6) return;
  throw UErr{this, NoAck, letter};
}

void UdpDev::SignedCommandAck(char letter, const std::uint8_t* payload, std::size_t n) {
  std::uint8_t answer = 0;
  if (SignedCommand(letter, payload, n, 1, &answer) == 1 && answer == 6) return;
  throw UErr{this, NoAck, letter};
}

}  // namespace zav
