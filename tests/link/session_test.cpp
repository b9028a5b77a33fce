// Status poll, session life, error texts and closing sessions when the set goes away.
#include <cstring>

#include "link/udpdevset.h"
#include "link/uerr.h"
#include "tests/link/link_errors.h"
#include "tests/link/link_fixture.h"

namespace zav::testing {
namespace {

using Response = FakeController::Response;

class SessionTest : public LinkTest {
 protected:
  UdpDev dev{kCtrlId, kCtrlIp, 2};
};

TEST_F(SessionTest, StatusPollTracksAvailabilityModeAndChange) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  c.mode = 3;
  EXPECT_TRUE(dev.PollStatus());
  EXPECT_TRUE(dev.changed);  // mode 2 -> 3
  EXPECT_EQ(3, dev.mode);
  EXPECT_TRUE(dev.PollStatus());
  EXPECT_FALSE(dev.changed);

  // No "1" marker: not a valid status, whatever else the block says.
  c.statusValid = false;
  c.mode = 2;
  EXPECT_FALSE(dev.PollStatus());
  EXPECT_FALSE(dev.available);
  EXPECT_TRUE(dev.changed);
  EXPECT_EQ(3, dev.mode);
  EXPECT_EQ("Niedostępny", dev.ModeName());
  EXPECT_FALSE(dev.PollStatus());
  EXPECT_FALSE(dev.changed);

  c.statusValid = true;
  EXPECT_TRUE(dev.PollStatus());
  EXPECT_TRUE(dev.available);
  EXPECT_TRUE(dev.changed);
  EXPECT_EQ(2, dev.mode);
}

TEST_F(SessionTest, StatusOfTheWrongLengthIsNoStatus) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  std::vector<std::uint8_t> block(17, 0);
  block[3] = '1';
  c.onPlain = [&](const SeenRequest&) { return Response::With(block); };
  EXPECT_FALSE(dev.PollStatus());
  block.resize(15);
  dev.available = true;
  EXPECT_FALSE(dev.PollStatus());
}

TEST_F(SessionTest, EnsureSessionOpensOnceAndDerivesTheKey) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  dev.seq = 77;
  dev.EnsureSession();
  EXPECT_TRUE(dev.session);
  EXPECT_EQ(0, dev.seq);
  EXPECT_EQ(0, std::memcmp(dev.key, c.SessionKey(), 16));
  EXPECT_NE(0, std::memcmp(dev.key, c.sessionValue.data(), 16));
  EXPECT_EQ(1u, c.Requests('K').size());

  dev.EnsureSession();  // the controller still shows the session: nothing new
  EXPECT_EQ(1u, c.Requests('K').size());
  EXPECT_EQ(2u, c.Requests('O').size());

  // The controller dropped the session: the poll notices and a new one is opened.
  c.mode = 2;
  dev.EnsureSession();
  EXPECT_EQ(2u, c.Requests('K').size());
  EXPECT_TRUE(dev.session);
}

TEST_F(SessionTest, EnsureSessionFailures) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  c.silent = true;
  EXPECT_EQ(NoAnswer, ThrownCode([&] { dev.EnsureSession(); }));
  EXPECT_FALSE(dev.available);

  c.silent = false;
  c.mode = 0x82;  // someone else's session
  char letter = 'x';
  EXPECT_EQ(ForeignSession, ThrownCode([&] { dev.EnsureSession(); }, &letter));
  EXPECT_EQ(0, letter);
  EXPECT_TRUE(c.Requests('K').empty());
}

TEST_F(SessionTest, SessionAnswerOfSeventeenBytesIsDenied) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  std::vector<std::uint8_t> answer(17);
  for (int i = 0; i < 17; ++i) answer[i] = static_cast<std::uint8_t>(0xA0 + i);
  c.onPlain = [&](const SeenRequest& r) {
    return r.letter == 'K' ? Response::With(answer) : Response::Normal();
  };
  char letter = 'x';
  EXPECT_EQ(SessionDenied, ThrownCode([&] { dev.OpenSession(); }, &letter));
  EXPECT_EQ(0, letter);
  EXPECT_EQ(0, std::memcmp(dev.key, answer.data(), 16));
  EXPECT_FALSE(dev.session);
}

TEST_F(SessionTest, KeepAliveAndCloseOnlyWithALiveSession) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  dev.KeepAlive();
  dev.CloseSession();
  EXPECT_TRUE(ep.sent.empty());

  dev.EnsureSession();
  dev.KeepAlive();
  ASSERT_EQ(1u, c.Requests('S').size());
  EXPECT_TRUE(c.Requests('S')[0].authentic);
  dev.CloseSession();
  EXPECT_EQ(1u, c.Requests('s').size());
  EXPECT_FALSE(dev.session);
  EXPECT_EQ(0, c.mode & 0x80);

  // The controller already forgot the session: the poll ends it without "s".
  dev.EnsureSession();
  c.mode &= 0x7F;
  dev.CloseSession();
  EXPECT_FALSE(dev.session);
  EXPECT_EQ(1u, c.Requests('s').size());
}

TEST_F(SessionTest, ErrorTextsByteForByte) {
  UdpDev d(kCtrlId, kCtrlIp, 2);
  EXPECT_EQ(
      "K105_00066, tryb: Serwis.\n\n"
      "B\xC5\x82\xC4\x85"
      "d nr 6 (r.'D'): Brak odpowiedzi na rozkaz.\n",
      UErrText(UErr{&d, NoReply, 'D'}));
  d.available = false;
  EXPECT_EQ(
      "K105_00066, tryb: Niedost\xC4\x99pny.\n\nB\xC5\x82\xC4\x85"
      "d nr 1: Urz\xC4\x85"
      "dzenie nie odpowiada.\n",
      UErrText(UErr{&d, NoAnswer, 0}));
  d.available = true;
  d.mode = 0x83;
  EXPECT_EQ(
      "K105_00066, tryb: Instalacja.\n\nB\xC5\x82\xC4\x85"
      "d nr 7 (r.'Y'): Brak potwierdzenia wys\xC5\x82"
      "anego rozkazu.\n",
      UErrText(UErr{&d, NoAck, 'Y'}));
  EXPECT_EQ(
      "Kontroler ma obc\xC4\x85 sesj\xC4\x99.\n\nMo\xC5\xBCliwe przyczyny:\n"
      " - kontroler po\xC5\x82\xC4\x85\x63zony z inn\xC4\x85 kopi\xC4\x85 programu,\n"
      " - kontroler pami\xC4\x99ta sesj\xC4\x99 z poprzednim wywo\xC5\x82\x61niem programu.\n"
      "W tym drugim przypadku nale\xC5\xBCy poczeka\xC4\x87 oko\xC5\x82o 30s.",
      std::string(UErrCodeText(ForeignSession)));
  EXPECT_EQ(
      "Kontroler nie pozwala odczyta\xC4\x87 ustawie\xC5\x84 przej\xC5\x9B\xC4\x87.\n"
      "Ustaw go w tryb 'Service'",
      std::string(UErrCodeText(NotInServiceMode)));
  EXPECT_EQ("Brak opisu b\xC5\x82\xC4\x99\x64u.", std::string(UErrCodeText(0)));
  EXPECT_EQ("Brak opisu b\xC5\x82\xC4\x99\x64u.", std::string(UErrCodeText(9)));
}

TEST_F(SessionTest, ModeNamesAndListLine) {
  UdpDev d(kCtrlId, kCtrlIp, 0x80);
  const char* names[] = {"Blokada", "Konfiguracja", "Serwis", "Instalacja"};
  for (std::uint16_t m = 0; m < 4; ++m) {
    d.mode = static_cast<std::uint16_t>(0xFC | m);
    EXPECT_EQ(names[m], d.ModeName());
  }
  d.mode = 2;
  EXPECT_EQ(" K105_00066,  192.168.0.10,  Serwis", d.ListLine());
}

// Records are values: only the set's end closes sessions, once each.
class CloseAtShutdownTest : public LinkTest {};

TEST_F(CloseAtShutdownTest, CopyingOrDestroyingARecordSendsNothing) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  UdpDev dev(kCtrlId, kCtrlIp, 2);
  dev.EnsureSession();
  const auto before = ep.sent.size();
  {
    UdpDev copy = dev;
    UdpDev assigned;
    assigned = copy;
    EXPECT_TRUE(assigned.session);
  }
  EXPECT_EQ(before, ep.sent.size());
  EXPECT_TRUE(dev.session);
}

TEST_F(CloseAtShutdownTest, EverySessionClosedOnceEvenWhenOneCloseFails) {
  FakeController a(ep, kCtrlId, "10.0.0.1");
  FakeController b(ep, kCtrlId + 1, "10.0.0.2");
  FakeController c(ep, kCtrlId + 2, "10.0.0.3");
  FakeController idle(ep, kCtrlId + 3, "10.0.0.4");
  b.onSigned = [](const SeenRequest& r) {
    return r.letter == 's' ? Response::None() : Response::Normal();
  };
  {
    UdpDevSet set;
    ASSERT_TRUE(set.Add(a.id, 0x0A000001, 2));
    ASSERT_TRUE(set.Add(b.id, 0x0A000002, 2));
    ASSERT_TRUE(set.Add(c.id, 0x0A000003, 2));
    ASSERT_TRUE(set.Add(idle.id, 0x0A000004, 2));
    for (int i = 0; i < 3; ++i) set.devs[i].EnsureSession();
    EXPECT_NO_THROW(set.CloseAll());
    for (int i = 0; i < set.count; ++i) EXPECT_FALSE(set.devs[i].session) << i;
  }  // the destructor closes again: nothing is left open, so nothing is sent
  EXPECT_EQ(1u, a.Requests('s').size());
  EXPECT_EQ(3u, b.Requests('s').size());  // one close, three unanswered attempts
  EXPECT_EQ(1u, c.Requests('s').size());
  EXPECT_TRUE(idle.Requests().empty());
}

TEST_F(CloseAtShutdownTest, DestructorNeverThrowsWithoutAnEndpoint) {
  FakeController a(ep, kCtrlId, kCtrlAddr);
  {
    UdpDevSet set;
    set.Add(a.id, kCtrlIp, 2);
    set.devs[0].EnsureSession();
    Link::Use(nullptr, nullptr);
  }
  EXPECT_TRUE(a.Requests('s').empty());
}

}  // namespace
}  // namespace zav::testing
