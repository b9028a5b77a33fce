// Late answers: a controller whose replies come after the first attempt has given up, and a
// prompt one that lost a reply. Every answer must reach the command that asked for it, never
// the command after it, and a lost reply must cost only the command it belonged to.
#include <cstring>

#include "link/late_answers.h"
#include "link/uerr.h"
#include "tests/link/link_errors.h"
#include "tests/link/link_fixture.h"

namespace zav::testing {
namespace {

using Response = FakeController::Response;

class LateAnswerTest : public LinkTest {
 protected:
  void OpenSession(FakeController& c) {
    dev.OpenSession();
    ASSERT_TRUE(dev.session);
    ASSERT_EQ(0, std::memcmp(dev.key, c.SessionKey(), 16));
  }
  // Every "C" and "c" is answered with what names its request: the index asked for, or for the
  // write of the index in refused, the refusal 0x15.
  void AnswerByIndex(FakeController& c) {
    c.onSigned = [this](const SeenRequest& r) {
      if (r.payload.size() < 2) return Response::Normal();
      if (r.letter == 'c')
        return Response::With({static_cast<std::uint8_t>(r.payload[1] == refused ? 0x15 : 6)});
      return Response::With({r.payload[0], r.payload[1], 0xAB});
    };
  }
  int ReadIndex(std::uint8_t index) {
    std::uint8_t out[kMaxBlock] = {};
    const int n = dev.ReadConfig(1, index, out);
    return n == 3 && out[0] == 1 && out[2] == 0xAB ? out[1] : -1;
  }

  UdpDev dev{kCtrlId, kCtrlIp, 2};
  int refused = -1;
};

TEST_F(LateAnswerTest, RepliesLaterThanAnAttemptReachTheirOwnRequest) {
  for (std::uint64_t delay : {450u, 650u}) {
    SCOPED_TRACE(delay);
    Link::Use(&ep, &clock);
    FakeController c(ep, kCtrlId, kCtrlAddr);
    OpenSession(c);
    AnswerByIndex(c);
    c.replyDelayMs = delay;
    for (std::uint8_t i = 0; i < 6; ++i) EXPECT_EQ(i, ReadIndex(i)) << "passage " << int(i);

    // Every read went out twice and took its first attempt's answer; the next read went out
    // only after the second attempt's answer had come and been dropped.
    const auto reads = c.Requests('C');
    ASSERT_EQ(12u, reads.size());
    for (std::size_t i = 0; i + 2 < reads.size(); i += 2) {
      EXPECT_EQ(reads[i].payload, reads[i + 1].payload);
      EXPECT_EQ(400u, reads[i + 1].atMs - reads[i].atMs);
      EXPECT_GT(reads[i + 2].atMs, reads[i + 1].atMs + delay) << "read " << i / 2 + 1;
      EXPECT_LE(reads[i + 2].atMs, reads[i + 1].atMs + delay + kLateAnswerMarginMs);
    }
    // The last read's second answer is still on its way; the next delay starts on a quiet
    // network with nothing known about the controller.
    ep.onSend = nullptr;
    std::uint8_t buf[kRecvBuffer];
    std::string from;
    std::uint16_t port = 0;
    while (ep.Receive(buf, sizeof buf, 2000, from, port) >= 0) {
    }
  }
}

// The tool was busy elsewhere (or not scheduled) until long after the owed answer came: it is
// still unread in the socket, and the next command must not take it.
TEST_F(LateAnswerTest, OwedAnswerWaitingUnreadIsDroppedAfterItsTime) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  OpenSession(c);
  AnswerByIndex(c);
  c.replyDelayMs = 450;
  EXPECT_EQ(0, ReadIndex(0));
  clock.Advance(5000);
  EXPECT_EQ(1, ReadIndex(1));
  EXPECT_EQ(2, ReadIndex(2));
}

TEST_F(LateAnswerTest, RefusalOfTheLastBlockIsNotHiddenByTheAcknowledgementBefore) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  OpenSession(c);
  AnswerByIndex(c);
  c.replyDelayMs = 450;
  refused = 3;
  const std::uint8_t record[104] = {};
  for (std::uint8_t i = 0; i < 3; ++i) dev.WriteConfig(1, i, record, sizeof record);
  char letter = 0;
  EXPECT_EQ(NoAck, ThrownCode([&] { dev.WriteConfig(1, 3, record, sizeof record); }, &letter));
  EXPECT_EQ('c', letter);

  // Firmware blocks the same way: the refusal names the refused block, not the one after it.
  std::uint8_t block[528] = {};
  c.onPlain = [](const SeenRequest& r) {
    if (r.letter != 'Y') return Response::Normal();
    return Response::With({static_cast<std::uint8_t>(GetU16(r.payload.data()) == 2 ? 0x15 : 6)});
  };
  dev.SendFirmwareBlock(0, block);
  dev.SendFirmwareBlock(1, block);
  EXPECT_EQ(NoAck, ThrownCode([&] { dev.SendFirmwareBlock(2, block); }));
  EXPECT_EQ(6u, c.Requests('Y').size()) << "each block twice, nothing more";
}

TEST_F(LateAnswerTest, SessionKeyIsTheOneOfTheLastAnswerToARetriedK) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  c.replyDelayMs = 450;
  std::uint8_t value = 0x40;
  c.onPlain = [&](const SeenRequest& r) {
    if (r.letter != 'K') return Response::Normal();
    return Response::With(std::vector<std::uint8_t>(16, value++));
  };
  dev.OpenSession();
  ASSERT_EQ(2u, c.Requests('K').size());
  std::uint8_t expected[16];
  std::memset(expected, 0x41, sizeof expected);
  SigningContext ctx;
  DeriveSessionKey(ctx, expected);
  EXPECT_EQ(0, std::memcmp(dev.key, expected, 16)) << "the key of the first answer was kept";
}

TEST_F(LateAnswerTest, LostReplyCostsOneWaitAndLaterCommandsArePromptAgain) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  OpenSession(c);
  AnswerByIndex(c);
  int reads = 0;
  auto standard = c.onSigned;
  c.onSigned = [&](const SeenRequest& r) {
    if (r.letter == 'C' && ++reads == 1) return Response::None();  // the first reply is lost
    return standard(r);
  };
  EXPECT_EQ(0, ReadIndex(0));
  const std::uint64_t answered = clock.NowMs();
  for (std::uint8_t i = 1; i < 8; ++i) EXPECT_EQ(i, ReadIndex(i));
  const auto sent = c.Requests('C');
  ASSERT_EQ(9u, sent.size()) << "one retry, then one attempt per read";
  // The read after the retried one waited until the retry's own answer could no longer come;
  // the ones after it went out as soon as the answer before them was in.
  EXPECT_EQ(answered + 400 + kLateAnswerMarginMs, sent[2].atMs);
  for (std::size_t i = 3; i < sent.size(); ++i)
    EXPECT_EQ(sent[i - 1].atMs + c.replyDelayMs, sent[i].atMs) << i;
}

TEST_F(LateAnswerTest, PromptNetworkNeverWaits) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  OpenSession(c);
  AnswerByIndex(c);
  const int calls = ep.receiveCalls;
  for (std::uint8_t i = 0; i < 5; ++i) EXPECT_EQ(i, ReadIndex(i));
  EXPECT_EQ(calls + 5, ep.receiveCalls) << "one receive per read";
  const auto sent = c.Requests('C');
  for (std::size_t i = 1; i < sent.size(); ++i)
    EXPECT_EQ(sent[i - 1].atMs + c.replyDelayMs, sent[i].atMs);
}

TEST_F(LateAnswerTest, GivenUpCommandsLateAnswerIsDroppedByTheNext) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  OpenSession(c);
  AnswerByIndex(c);
  c.replyDelayMs = 450;
  EXPECT_EQ(0, ReadIndex(0));  // learns how late this controller answers
  // One attempt only: it gives up before its answer comes.
  dev.available = false;
  EXPECT_EQ(NoReply, ThrownCode([&] { ReadIndex(1); }));
  dev.available = true;
  EXPECT_EQ(2, ReadIndex(2));
  // Another controller's answers are not held up by this one's.
  FakeController other(ep, kCtrlId + 1, "192.168.0.11");
  UdpDev second{kCtrlId + 1, kCtrlIp + 1, 2};
  const std::uint64_t now = clock.NowMs();
  ASSERT_TRUE(second.PollStatus());
  ASSERT_EQ(1u, other.Requests('O').size());
  EXPECT_EQ(now, other.Requests('O')[0].atMs);
}

}  // namespace
}  // namespace zav::testing
