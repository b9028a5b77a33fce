// Answers that come after their command has ended. A command that needed more than one
// attempt may still be owed the answer to its last attempt: the answer it took can be the
// reply to the attempt before, late rather than lost. Replies carry nothing that says which
// attempt they answer (a 'C' reply names no passage, an acknowledgement is one byte), so such
// a late answer would be taken as the next command's own. The next command to that controller
// therefore waits, dropping what arrives, until the owed answer has had as long to come as the
// one taken took; only then does its first request go out, so what it takes answers its own
// request and nothing owed to an earlier one. The wire stays as it was: the same requests,
// attempts and receive windows, only sent later.
// Cost: nothing while the controller answers the first attempt. A lost reply costs the next
// command about one attempt (400 ms) of waiting, once: that command is answered at once again
// and owes nothing. Replies later than an attempt (up to two attempts, 800 ms) cost every
// command its second attempt plus the wait, about twice the delay per command.
#pragma once

#include <array>
#include <cstdint>

#include "link/wire.h"

namespace zav {

// Room given to a late answer beyond the round trip measured, for the network's jitter.
inline constexpr std::uint64_t kLateAnswerMarginMs = 100;

// The attempts of one command to one controller, recorded for the commands after it.
class AttemptLog {
 public:
  // Waits out the answers earlier commands to this controller may still be owed, dropping
  // every datagram that arrives meanwhile, as an exchange drops what is not its reply.
  explicit AttemptLog(DeviceId id);
  // Records until when this command's owed answers may still come.
  ~AttemptLog();
  AttemptLog(const AttemptLog&) = delete;
  AttemptLog& operator=(const AttemptLog&) = delete;

  void Sending();             // just before an attempt's datagram goes out
  void Ended(bool answered);  // after its exchange: whether a datagram was taken as the reply

  // The last attempt took a datagram while an earlier one went unanswered: the datagram may be
  // that earlier attempt's late answer, and the last attempt's own answer may still come.
  bool LaterAnswerOwed() const;
  // Until when that owed answer may come (0 when none is owed).
  std::uint64_t OwedUntil() const;
  // For commands whose controller acts on every attempt anew (a session key is handed out per
  // "K"): waits until OwedUntil for a later plain reply to the same request (bytes 0 to 3 as
  // match4, this controller, checksum right) and keeps the last one in reply. Returns its
  // length, or len when none came. Nothing is owed afterwards.
  int AwaitLatestPlain(const std::uint8_t* match4, std::uint8_t* reply, int len);

 private:
  struct Attempt {
    std::uint64_t sentMs = 0;
    bool answered = false;
    std::uint64_t answeredMs = 0;
  };
  DeviceId id_;
  std::array<Attempt, kAttempts> attempts_{};
  int count_ = 0;
  bool waited_ = false;
};

// Forgets what is known about every controller; the link does this when its endpoint or clock
// changes, since the times recorded belong to the old clock.
void ForgetLateAnswers();

}  // namespace zav
