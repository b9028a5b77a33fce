// The life of a session with one controller: status poll, open, check, keep alive, close.
#include "link/link.h"
#include "link/udpdev.h"
#include "link/uerr.h"

namespace zav {

namespace {

constexpr std::uint16_t kModeSessionBit = 0x80;

}  // namespace

bool UdpDev::PollStatus() {
  changed = false;
  std::uint8_t block[16] = {};
  const int m = Command('O', nullptr, 0, sizeof block, block);
  if (m != 16 || block[3] != '1') {
    if (available) changed = true;
    available = false;
    return false;
  }
  if (!available) changed = true;
  available = true;
  if (mode != block[2]) {
    changed = true;
    mode = block[2];
  }
  // The controller holds no session at all, so ours is gone too.
  if (!(mode & kModeSessionBit)) session = false;
  return true;
}

void UdpDev::OpenSession() {
  // The controller keeps the key of the last "K" it answered, so a retried request must use the
  // last answer, not a late one to the first attempt.
  const int m = PlainCommand('K', nullptr, 0, sizeof key, key, true);
  if (m != 16) throw UErr{this, SessionDenied, 0};
  DeriveSessionKey(Link::Signing(), key);
  session = true;
  seq = 0;
}

void UdpDev::EnsureSession() {
  if (!PollStatus()) throw UErr{this, NoAnswer, 0};
  if ((mode & kModeSessionBit) && !session) throw UErr{this, ForeignSession, 0};
  if (!session) OpenSession();
}

void UdpDev::KeepAlive() {
  if (!available || !session) return;
  if (PollStatus() && session) SignedCommandAck('S', nullptr, 0);
}

void UdpDev::CloseSession() {
  if (!available || !session) return;
  if (!PollStatus()) return;
  if (session) SignedCommandAck('s', nullptr, 0);
  session = false;
}

}  // namespace zav
