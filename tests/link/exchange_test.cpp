// The exchange, plain and signed commands: attempts, timing on the clock, recognition of the
// reply, checksum and signature, sequence numbers and payload limits.
#include <cstring>

#include "link/uerr.h"
#include "tests/link/link_errors.h"
#include "tests/link/link_fixture.h"

namespace zav::testing {
namespace {

using Response = FakeController::Response;

class ExchangeTest : public LinkTest {
 protected:
  // A controller with a session already open, as after OpenSession.
  void OpenSessionWith(FakeController& c) {
    dev.OpenSession();
    ASSERT_TRUE(dev.session);
    ASSERT_EQ(0, std::memcmp(dev.key, c.SessionKey(), 16));
    ep.sent.clear();
  }

  UdpDev dev{kCtrlId, kCtrlIp, 2};
};

TEST_F(ExchangeTest, SilentControllerCostsThreeAttemptsOfTwoWindowsWhenAvailable) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  c.silent = true;
  const std::uint64_t t0 = clock.NowMs();
  std::uint8_t out[16];
  EXPECT_EQ(0, dev.Command('O', nullptr, 0, sizeof out, out));
  const auto t = SendTimes(kCtrlAddr);
  ASSERT_EQ(3u, t.size());
  EXPECT_EQ(t0, t[0]);
  EXPECT_EQ(400u, t[1] - t[0]);
  EXPECT_EQ(400u, t[2] - t[1]);
  EXPECT_EQ(1200u, clock.NowMs() - t0);
  EXPECT_EQ(6, ep.receiveCalls);

  ep.sent.clear();
  dev.available = false;
  EXPECT_EQ(0, dev.Command('O', nullptr, 0, sizeof out, out));
  EXPECT_EQ(1u, ep.sent.size());
}

TEST_F(ExchangeTest, UnmatchedDatagramsKeepTheAttemptWaiting) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  c.onPlain = [&](const SeenRequest&) {
    // Strays that match nothing keep coming past the attempt limit; the reply comes last.
    ep.Queue(PlainReply('O', kCtrlId + 1, std::vector<std::uint8_t>(16, 0)), kCtrlAddr, 150);
    ep.Queue(PlainReply('K', kCtrlId, {}), kCtrlAddr, 290);
    ep.Queue({'M', 'M', 'D', 'O', 0x42}, kCtrlAddr, 420);
    ep.Queue(PlainReply(static_cast<char>('O' | 0x80), kCtrlId, {}), kCtrlAddr, 600);
    ep.Queue(StatusReply(kCtrlId, 3), kCtrlAddr, 780);
    return Response::None();
  };
  EXPECT_TRUE(dev.PollStatus());
  EXPECT_EQ(3, dev.mode);
  EXPECT_EQ(1u, ep.sent.size());
}

TEST_F(ExchangeTest, WrongChecksumSendsTheFrameAgain) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  int calls = 0;
  int badUntil = 1;
  c.onPlain = [&](const SeenRequest&) {
    auto d = PlainReply('O', kCtrlId, {1, 2, 3, 4});
    if (++calls <= badUntil) d.back() ^= 0x01;
    return Response::Frame(d);
  };
  std::uint8_t out[4] = {};
  EXPECT_EQ(4, dev.Command('O', nullptr, 0, sizeof out, out));
  EXPECT_EQ(2, calls);
  EXPECT_EQ(0, std::memcmp(out, "\x01\x02\x03\x04", 4));
  ASSERT_EQ(2u, ep.sent.size());
  EXPECT_EQ(ep.sent[0].bytes, ep.sent[1].bytes);

  calls = 0;
  badUntil = 3;
  EXPECT_EQ(0, dev.Command('O', nullptr, 0, sizeof out, out));
  EXPECT_EQ(3, calls);
}

TEST_F(ExchangeTest, PlainResultMayExceedMaxButCopiesOnlyMax) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  c.onPlain = [](const SeenRequest&) { return Response::With({9, 8, 7, 6, 5}); };
  std::uint8_t out[4] = {0, 0, 0xEE, 0xEE};
  EXPECT_EQ(5, dev.Command('X', nullptr, 0, 2, out));
  EXPECT_EQ(9, out[0]);
  EXPECT_EQ(8, out[1]);
  EXPECT_EQ(0xEE, out[2]);
}

TEST_F(ExchangeTest, SignedFramesCarryFreshSequenceNumbersAndValidSignatures) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  OpenSessionWith(c);
  c.onSigned = [](const SeenRequest&) { return Response::None(); };
  char letter = 0;
  EXPECT_EQ(NoReply, ThrownCode([&] { dev.SignedCommand('D', nullptr, 0, 0, nullptr); }, &letter));
  EXPECT_EQ('D', letter);
  const auto seen = c.Requests('D');
  ASSERT_EQ(3u, seen.size());
  for (std::size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(i + 1, seen[i].seq);
    EXPECT_TRUE(seen[i].authentic) << "attempt " << i;
  }
  EXPECT_EQ(3, dev.seq);

  // Without both available and session the command is tried once.
  dev.available = false;
  EXPECT_EQ(NoReply, ThrownCode([&] { dev.SignedCommand('D', nullptr, 0, 0, nullptr); }));
  EXPECT_EQ(4u, c.Requests('D').size());
}

TEST_F(ExchangeTest, SequenceNumberWrapsFrom65535ToZero) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  OpenSessionWith(c);
  dev.seq = 65534;
  c.onSigned = [](const SeenRequest&) { return Response::None(); };
  EXPECT_EQ(NoReply, ThrownCode([&] { dev.SignedCommand('S', nullptr, 0, 1, nullptr); }));
  const auto seen = c.Requests('S');
  ASSERT_EQ(3u, seen.size());
  EXPECT_EQ(65535, seen[0].seq);
  EXPECT_EQ(0, seen[1].seq);
  EXPECT_EQ(1, seen[2].seq);
  EXPECT_TRUE(seen[1].authentic);
}

TEST_F(ExchangeTest, SignedReplyIsCheckedAndCopied) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  OpenSessionWith(c);
  c.configBlock = {1, 2, 3, 4, 5, 6, 7};
  std::uint8_t out[kMaxBlock] = {};
  const std::uint8_t req[2] = {16, 0};
  EXPECT_EQ(7, dev.SignedCommand('C', req, 2, kMaxBlock, out));
  EXPECT_EQ(0, std::memcmp(out, c.configBlock.data(), 7));
  const auto seen = c.Requests('C');
  ASSERT_EQ(1u, seen.size());
  EXPECT_EQ((std::vector<std::uint8_t>{16, 0}), seen[0].payload);
  EXPECT_TRUE(seen[0].authentic);
}

TEST_F(ExchangeTest, BadSignatureRaisesAtOnceWithAttemptsLeft) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  OpenSessionWith(c);
  c.onSigned = [&](const SeenRequest& r) {
    auto d = SignedReply(c.SessionKey(), kCtrlId, r.letter, {6});
    d[d.size() - 3] ^= 0x40;
    return Response::Frame(d);
  };
  char letter = 0;
  EXPECT_EQ(BadSignature, ThrownCode([&] { dev.SignedCommandAck('S', nullptr, 0); }, &letter));
  EXPECT_EQ('S', letter);
  EXPECT_EQ(1u, c.Requests('S').size());
  EXPECT_TRUE(dev.session);
}

TEST_F(ExchangeTest, SignedReplyWithTheBareLetterIsNotTheReply) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  OpenSessionWith(c);
  c.onSigned = [&](const SeenRequest& r) {
    auto d = SignedReply(c.SessionKey(), kCtrlId, r.letter, {6});
    d[10] = static_cast<std::uint8_t>(r.letter);  // no reply bit
    return Response::Frame(d);
  };
  EXPECT_EQ(NoReply, ThrownCode([&] { dev.SignedCommandAck('S', nullptr, 0); }));
  EXPECT_EQ(3u, c.Requests('S').size());
}

TEST_F(ExchangeTest, OverlongSignedReplyCopiesTheAllowedPartThenRaises) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  OpenSessionWith(c);
  c.deviceTable.assign(kMaxBlock + 1, 0);
  for (std::size_t i = 0; i < c.deviceTable.size(); ++i)
    c.deviceTable[i] = static_cast<std::uint8_t>(i * 7 + 1);
  std::vector<std::uint8_t> out(kMaxBlock + 8, 0xCC);
  EXPECT_EQ(ReplyTooLong,
            ThrownCode([&] { dev.SignedCommand('D', nullptr, 0, kMaxBlock, out.data()); }));
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + kMaxBlock, c.deviceTable.begin()));
  EXPECT_EQ(0xCC, out[kMaxBlock]);
  EXPECT_EQ(1u, c.Requests('D').size());
}

TEST_F(ExchangeTest, AcknowledgeMustBeTheSingleByteSix) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  OpenSessionWith(c);
  std::vector<std::uint8_t> answer;
  c.onSigned = [&](const SeenRequest&) { return Response::With(answer); };
  c.onPlain = [&](const SeenRequest& r) {
    return r.letter == 'Y' ? Response::With(answer) : Response::Normal();
  };
  const std::uint8_t block[528] = {};
  struct Case {
    std::vector<std::uint8_t> answer;
    int signedCode;
    int plainCode;
  };
  // Plain commands never raise 5: an overlong answer is only a missing acknowledge.
  const Case cases[] = {
      {{6}, 0, 0}, {{}, NoAck, NoAck}, {{5}, NoAck, NoAck}, {{6, 6}, ReplyTooLong, NoAck}};
  for (const auto& k : cases) {
    answer = k.answer;
    char letter = 0;
    EXPECT_EQ(k.signedCode, ThrownCode([&] { dev.SignedCommandAck('S', nullptr, 0); }, &letter))
        << answer.size();
    if (k.signedCode) {
      EXPECT_EQ('S', letter);
    }
    EXPECT_EQ(k.plainCode, ThrownCode([&] { dev.SendFirmwareBlock(3, block); }, &letter))
        << answer.size();
    if (k.plainCode) {
      EXPECT_EQ('Y', letter);
    }
  }
}

}  // namespace
}  // namespace zav::testing
