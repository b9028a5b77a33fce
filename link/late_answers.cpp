#include "link/late_answers.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "link/link.h"

namespace zav {

namespace {

struct ControllerTiming {
  std::uint64_t quietAtMs = 0;  // no answer is owed to an earlier command from then on
  std::uint64_t roundTripMs = 0;  // of the last answer taken, at its longest
};

std::unordered_map<DeviceId, ControllerTiming>& Timings() {
  static std::unordered_map<DeviceId, ControllerTiming> timings;
  return timings;
}

// Receives until the clock reaches untilMs, handing each datagram's length to look (the
// datagram is in buf); whatever look does not keep is dropped.
template <class Look>
void ReceiveUntil(std::uint64_t untilMs, std::uint8_t* buf, Look look) {
  UdpEndpoint& udp = Link::Udp();
  Clock& clock = Link::Time();
  std::string fromAddr;
  std::uint16_t fromPort = 0;
  for (std::uint64_t now = clock.NowMs(); now < untilMs; now = clock.NowMs()) {
    const auto wait = static_cast<int>(std::min<std::uint64_t>(untilMs - now, kRecvWindowMs));
    const int n = udp.Receive(buf, kRecvBuffer, wait, fromAddr, fromPort);
    if (n >= 0) look(static_cast<std::size_t>(n));
  }
  // What came in time but was not read yet, because this process did not run, still counts.
  for (int n; (n = udp.Receive(buf, kRecvBuffer, 0, fromAddr, fromPort)) >= 0;)
    look(static_cast<std::size_t>(n));
}

}  // namespace

AttemptLog::AttemptLog(DeviceId id) : id_(id) {
  auto it = Timings().find(id);
  if (it == Timings().end() || it->second.quietAtMs == 0) return;
  // Also when that time has passed: the owed answer may wait unread in the socket.
  const std::uint64_t until = it->second.quietAtMs;
  it->second.quietAtMs = 0;
  std::uint8_t buf[kRecvBuffer];
  ReceiveUntil(until, buf, [](std::size_t) {});
}

void AttemptLog::Sending() {
  if (count_ >= kAttempts) return;
  attempts_[static_cast<std::size_t>(count_++)] = Attempt{Link::Time().NowMs(), false, 0};
}

void AttemptLog::Ended(bool answered) {
  if (count_ == 0 || !answered) return;
  Attempt& a = attempts_[static_cast<std::size_t>(count_ - 1)];
  a.answered = true;
  a.answeredMs = Link::Time().NowMs();
}

bool AttemptLog::LaterAnswerOwed() const {
  if (waited_ || count_ < 2 || !attempts_[static_cast<std::size_t>(count_ - 1)].answered)
    return false;
  for (int i = 0; i + 1 < count_; ++i)
    if (!attempts_[static_cast<std::size_t>(i)].answered) return true;
  return false;
}

std::uint64_t AttemptLog::OwedUntil() const {
  if (!LaterAnswerOwed()) return 0;
  // The datagram taken is held to be at most one attempt old: the answer to the attempt before
  // the last. The last attempt's own answer then takes as long after its sending. Answers older
  // than that are not waited for: an answer two attempts late would cost every retried command
  // on a lossy network two attempts of waiting.
  const Attempt& last = attempts_[static_cast<std::size_t>(count_ - 1)];
  const Attempt& before = attempts_[static_cast<std::size_t>(count_ - 2)];
  return last.sentMs + (last.answeredMs - before.sentMs) + kLateAnswerMarginMs;
}

int AttemptLog::AwaitLatestPlain(const std::uint8_t* match4, std::uint8_t* reply, int len) {
  const std::uint64_t until = OwedUntil();
  waited_ = true;
  if (until == 0) return len;
  std::uint8_t buf[kRecvBuffer];
  ReceiveUntil(until, buf, [&](std::size_t n) {
    if (!IsPlainReply(match4, id_, buf, n)) return;
    if (FrameCrc(buf, n - 4) != GetU32(buf + n - 4)) return;
    std::copy(buf, buf + n, reply);
    len = static_cast<int>(n);
  });
  return len;
}

AttemptLog::~AttemptLog() {
  if (count_ == 0) return;
  try {
    ControllerTiming& t = Timings()[id_];
    const Attempt& last = attempts_[static_cast<std::size_t>(count_ - 1)];
    std::uint64_t quiet = 0;
    if (last.answered) {
      if (LaterAnswerOwed()) {
        quiet = OwedUntil();
        t.roundTripMs = last.answeredMs - attempts_[static_cast<std::size_t>(count_ - 2)].sentMs;
      } else {
        t.roundTripMs = last.answeredMs - last.sentMs;
      }
    } else {
      // Given up: the last attempt's answer may still come, as late as the controller's last
      // answer came. On a prompt network that moment has passed long before.
      quiet = last.sentMs + t.roundTripMs + kLateAnswerMarginMs;
    }
    t.quietAtMs = std::max(t.quietAtMs, quiet);
  } catch (...) {
    // Out of memory for one record: the next command simply does not wait.
  }
}

void ForgetLateAnswers() {
  Timings().clear();
}

}  // namespace zav
