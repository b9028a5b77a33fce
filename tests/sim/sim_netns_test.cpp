// The link against zavsim across the namespace network of scripts/netns. This binary runs in
// the first tool namespace (NAME-tool1); each suite starts its own zavsim in NAME-ctl.
// Environment: ZAV_NETNS (network name), ZAVSIM (path of the simulator).
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "link/link.h"
#include "link/netns_guard.h"
#include "link/posix_udp.h"
#include "link/udpdevset.h"
#include "link/uerr.h"
#include "tests/support/sim_process.h"

namespace zav {
namespace {

using namespace std::chrono_literals;

using testnet::Env;
using testnet::SimProcess;

std::string Hex(const std::uint8_t* p, std::size_t n) {
  std::string s;
  char b[3];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, "%02x", p[i]);
    s += b;
  }
  return s;
}

// Runs fn on a thread that has entered another tool namespace, so every socket and interface
// list it touches (the tool's endpoint, its broadcast) belongs to that host.
void RunIn(const std::string& ns, const std::function<void()>& fn) {
  std::thread([&] {
    if (!testnet::EnterNetns(ns)) {
      ADD_FAILURE() << "cannot enter " << ns;
    } else {
      fn();
    }
  }).join();
}

// Makes ep the link's endpoint until the end of the scope.
struct UseEndpoint {
  UseEndpoint(UdpEndpoint* ep, Clock* clock, UdpEndpoint* back) : back_(back), clock_(clock) {
    Link::Use(ep, clock);
  }
  ~UseEndpoint() { Link::Use(back_, clock_); }
  UdpEndpoint* back_;
  Clock* clock_;
};

class SimNet : public ::testing::Test {
 protected:
  static void StartSim(const std::vector<std::string>& args) {
    if (geteuid() != 0 || Env("ZAV_NETNS").empty())
      GTEST_SKIP() << "needs root and the test network";
    // The suites broadcast: started by hand on the machine's own network, they refuse.
    if (!RequirePrivateNetns("zav_sim_netns_tests"))
      GTEST_SKIP() << "refused: not inside a test namespace";
    sim = new SimProcess;
    std::vector<std::string> seeded{"--seed", "7"};
    seeded.insert(seeded.end(), args.begin(), args.end());
    ASSERT_TRUE(sim->Start(Env("ZAV_NETNS"), Env("ZAVSIM"), seeded)) << "zavsim did not come up";
    ep = new PosixUdpEndpoint();
    Link::Use(ep, &clock);
  }
  static void TearDownTestSuite() {
    // A sanitizer report in zavsim shows only as a non-zero exit; its log is kept either way.
    if (sim && !sim->Stop(true)) {
      if (!sim->quitInTime())
        ADD_FAILURE() << "zavsim did not quit";
      else
        ADD_FAILURE() << "zavsim status " << sim->status();
    }
    delete sim;
    sim = nullptr;
    Link::Use(nullptr, nullptr);
    delete ep;
    ep = nullptr;
  }
  void SetUp() override {
    if (!sim) GTEST_SKIP() << "no simulator";
  }
  static UdpDev* Find(UdpDevSet& set, const std::string& name) {
    for (int i = 0; i < set.count; ++i)
      if (DevName(set.devs[i].id) == name) return &set.devs[i];
    return nullptr;
  }

  static inline SimProcess* sim = nullptr;
  static inline PosixUdpEndpoint* ep = nullptr;
  static inline SystemClock clock;
};

// ---- discovery ---------------------------------------------------------------------------

class Discovery : public SimNet {
 protected:
  static void SetUpTestSuite() { StartSim({}); }
};

TEST_F(Discovery, DefaultScenarioIsFoundSortedAndStampedOnce) {
  UdpDevSet set;
  set.Search();
  ASSERT_EQ(set.count, 8) << "nine devices answer; the one of class 2 must be ignored";
  for (int i = 1; i < set.count; ++i)
    EXPECT_LT(OrderKey(set.devs[i - 1].id), OrderKey(set.devs[i].id));
  EXPECT_EQ(Find(set, "K105_00909"), nullptr);
  UdpDev* inst = Find(set, "K102_00101");
  ASSERT_NE(inst, nullptr);
  EXPECT_EQ(inst->ListLine(), " K102_00101,  10.77.0.10,  Instalacja");
  EXPECT_EQ(Find(set, "K102_00606")->ModeName(), "Blokada");
  EXPECT_EQ(Find(set, "K108_00707")->ModeName(), "Konfiguracja");
  EXPECT_EQ(Find(set, "K140_00505")->ModeName(), "Serwis");
  EXPECT_NE(Find(set, "T120_00808"), nullptr);

  // A second search finds nothing new, so nobody is stamped again.
  set.Search();
  std::this_thread::sleep_for(200ms);  // time stamps are not answered; let them land
  auto dump = sim->Dump();
  for (const auto& [name, f] : dump.dev) {
    if (name == "K105_00909") {
      EXPECT_EQ(f.at("timestamps"), "0");
    } else {
      EXPECT_EQ(f.at("timestamps"), "1") << name;
      const long stamped = std::stol(f.at("lasttime"));
      EXPECT_LE(std::labs(stamped - static_cast<long>(clock.UtcSeconds())), 5) << name;
    }
  }
}

TEST_F(Discovery, ModeChangeIsPickedUpAndStampedAgain) {
  UdpDevSet set;
  set.Search();
  ASSERT_EQ(sim->Ask("mode K108_00707 2"), "ok\n");
  ASSERT_EQ(sim->Ask("silent K102_00606 on"), "ok\n");
  set.Search();
  EXPECT_EQ(Find(set, "K108_00707")->ModeName(), "Serwis");
  UdpDev* gone = Find(set, "K102_00606");
  ASSERT_NE(gone, nullptr) << "entries are never removed";
  EXPECT_FALSE(gone->PollStatus());
  EXPECT_EQ(gone->ModeName(), "Niedostępny");
  sim->Ask("silent K102_00606 off");
}

// ---- capacity ----------------------------------------------------------------------------

class Capacity : public SimNet {
 protected:
  static void SetUpTestSuite() { StartSim({"--extra", "120"}); }
};

TEST_F(Capacity, OneHundredTwentyMoreGiveExactlyOneHundredInOrder) {
  UdpDevSet set;
  set.Search();
  ASSERT_EQ(set.count, UdpDevSet::kCapacity);
  for (int i = 1; i < set.count; ++i) {
    EXPECT_LE(OrderKey(set.devs[i - 1].id), OrderKey(set.devs[i].id)) << i;
    EXPECT_NE(set.devs[i - 1].id, set.devs[i].id);
  }
  set.Search();
  EXPECT_EQ(set.count, UdpDevSet::kCapacity);
}

// ---- sessions ----------------------------------------------------------------------------

class Session : public SimNet {
 protected:
  // A short expiry keeps the suite fast; controllers forget after 30 s by default.
  static void SetUpTestSuite() { StartSim({"--session-timeout", "1500"}); }
};

TEST_F(Session, OpenKeepAliveClose) {
  UdpDevSet set;
  set.Search();
  UdpDev* d = Find(set, "K108_00202");
  ASSERT_NE(d, nullptr);
  d->EnsureSession();
  EXPECT_TRUE(d->session);
  EXPECT_EQ(sim->Dump().dev["K108_00202"]["session"], "10.77.0.1");
  ASSERT_TRUE(d->PollStatus());
  EXPECT_EQ(d->mode, 0x82);
  for (int i = 0; i < 3; ++i) {  // keep-alives hold it well past the expiry
    std::this_thread::sleep_for(700ms);
    d->KeepAlive();
  }
  EXPECT_TRUE(d->session);
  std::uint8_t table[kMaxBlock];
  EXPECT_GT(d->ReadDevices(table), 6);
  d->CloseSession();
  EXPECT_FALSE(d->session);
  EXPECT_EQ(sim->Dump().dev["K108_00202"]["session"], "none");
  ASSERT_TRUE(d->PollStatus());
  EXPECT_EQ(d->mode, 0x02);
}

TEST_F(Session, SecondToolHostIsRefusedUntilExpiry) {
  UdpDevSet set;
  set.Search();
  UdpDev* mine = Find(set, "K116_00303");
  ASSERT_NE(mine, nullptr);
  mine->EnsureSession();

  RunIn(Env("ZAV_NETNS") + "-tool2", [&] {
    PosixUdpEndpoint ep2;
    UseEndpoint use(&ep2, &clock, ep);
    UdpDevSet other;
    other.Search();
    UdpDev* theirs = Find(other, "K116_00303");
    ASSERT_NE(theirs, nullptr);
    try {
      theirs->EnsureSession();
      ADD_FAILURE() << "a held session was taken over";
    } catch (const UErr& e) {
      EXPECT_EQ(e.code, ForeignSession);
    }
    std::uint8_t buf[kMaxBlock];
    int len = -1;
    EXPECT_FALSE(theirs->TryReadDevices(buf, len)) << "the poll stays quiet about it";

    std::this_thread::sleep_for(1700ms);  // the first tool's session expires unused
    theirs->EnsureSession();
    EXPECT_TRUE(theirs->session);
    EXPECT_EQ(sim->Dump().dev["K116_00303"]["session"], "10.77.0.2");
    theirs->CloseSession();
  });
  mine->session = false;  // expired on the controller
}

TEST_F(Session, NoSessionInBlokada) {
  UdpDevSet set;
  set.Search();
  UdpDev* d = Find(set, "K102_00606");
  ASSERT_NE(d, nullptr);
  try {
    d->EnsureSession();
    ADD_FAILURE() << "Blokada opened a session";
  } catch (const UErr& e) {
    EXPECT_EQ(e.code, SessionDenied);
  }
}

// ---- blocks ------------------------------------------------------------------------------

class Blocks : public SimNet {
 protected:
  static void SetUpTestSuite() { StartSim({}); }

  // Writes a patterned record, reads it back through the link and from zavsim's dump.
  static void RoundTrip(UdpDev& d, std::uint8_t kind, std::uint8_t index, std::size_t len,
                        std::uint8_t salt) {
    std::vector<std::uint8_t> rec(len);
    for (std::size_t i = 0; i < len; ++i) rec[i] = static_cast<std::uint8_t>(i * 13 + salt);
    d.WriteConfig(kind, index, rec.data(), rec.size());
    std::uint8_t back[kMaxBlock];
    const int n = d.ReadConfig(kind, index, back);
    ASSERT_EQ(n, static_cast<int>(8 + len));
    EXPECT_EQ(back[0], kind);
    EXPECT_EQ(Hex(back + 8, len), Hex(rec.data(), len)) << int(kind) << "/" << int(index);
    EXPECT_EQ(sim->Dump()
                  .blocks[DevName(d.id) + " " + std::to_string(kind) + " " + std::to_string(index)],
              Hex(rec.data(), len));
  }
};

TEST_F(Blocks, EveryKindReadsAndWritesBack) {
  UdpDevSet set;
  set.Search();
  for (const char* name : {"K102_00101", "K108_00202", "K116_00303"}) {
    UdpDev* d = Find(set, name);
    ASSERT_NE(d, nullptr) << name;
    std::uint8_t table[kMaxBlock];
    const int n = d->ReadDevices(table);
    ASSERT_GE(n, 6);
    ASSERT_EQ(table[2] >> 5, 1) << "door controller";
    const int passages = table[2] & 0x1F;
    std::uint8_t block[kMaxBlock];
    ASSERT_EQ(d->ReadConfig(16, 0, block), 48);
    EXPECT_EQ(Hex(block, 4), "10080804");
    for (int i = 0; i < passages; ++i) {
      ASSERT_EQ(d->ReadConfig(1, static_cast<std::uint8_t>(i), block), 112) << name << " " << i;
      EXPECT_EQ(Hex(block, 4), "01080804");
    }
    RoundTrip(*d, 16, 0, 40, 1);
    RoundTrip(*d, 1, static_cast<std::uint8_t>(passages - 1), 104, 2);
    EXPECT_EQ(d->ReadConfig(1, static_cast<std::uint8_t>(passages), block), 0);
  }
  UdpDev* lift = Find(set, "K140_00505");
  ASSERT_NE(lift, nullptr);
  std::uint8_t table[kMaxBlock];
  ASSERT_GE(lift->ReadDevices(table), 6);
  EXPECT_EQ(table[2], 0x41);
  std::uint8_t block[kMaxBlock];
  ASSERT_EQ(lift->ReadConfig(2, 0, block), 112);
  EXPECT_EQ(Hex(block, 4), "02880804");
  RoundTrip(*lift, 2, 0, 104, 3);
}

TEST_F(Blocks, RefusedWriteRaisesNoAckAndStoresNothing) {
  UdpDevSet set;
  set.Search();
  UdpDev* d = Find(set, "K102_00101");
  ASSERT_NE(d, nullptr);
  d->EnsureSession();
  const std::string before = sim->Dump().blocks["K102_00101 1 0"];
  std::uint8_t shortRec[10] = {1, 2, 3};
  try {
    d->WriteConfig(1, 0, shortRec, sizeof shortRec);
    ADD_FAILURE() << "a short block was acknowledged";
  } catch (const UErr& e) {
    EXPECT_EQ(e.code, NoAck);
    EXPECT_EQ(e.cmd, 'c');
  }
  EXPECT_EQ(sim->Dump().blocks["K102_00101 1 0"], before);
}

TEST_F(Blocks, ReplaceThenDeleteInactive) {
  UdpDevSet set;
  set.Search();
  UdpDev* d = Find(set, "K108_00404");
  ASSERT_NE(d, nullptr);
  std::uint8_t t[kMaxBlock];
  ASSERT_GE(d->ReadDevices(t), 6);
  const int count = GetU16(t);
  int oldPos = -1, newPos = -1;
  for (int i = 0; i < count; ++i) {
    const std::uint8_t a1 = t[6 + 12 * i + 5];
    if ((a1 & 0x80) && oldPos < 0) oldPos = i;
    if (a1 & 0x10) newPos = i;
  }
  ASSERT_GE(oldPos, 0);
  ASSERT_GE(newPos, 0);
  d->ReplaceDevice(static_cast<std::uint16_t>(oldPos | (newPos << 8)));
  ASSERT_GE(d->ReadDevices(t), 6);
  EXPECT_EQ(GetU32(t + 6 + 12 * oldPos) >> 16, 0xFFFFu) << "old entry dropped in place";
  EXPECT_EQ(GetU16(t), count) << "positions never renumbered";
  EXPECT_EQ(t[6 + 12 * newPos + 5] & 0x90, 0x80) << "new device inactive for a moment";
  // The reader at the old position served passage 0's entry reader.
  std::uint8_t p0[kMaxBlock];
  ASSERT_EQ(d->ReadConfig(1, 0, p0), 112);
  EXPECT_EQ(GetU16(p0 + 8 + 32), newPos << 8);

  ASSERT_EQ(sim->Ask("inactive K108_00404 " + std::to_string(newPos - 1) + " on"), "ok\n");
  d->DeleteInactive();
  ASSERT_GE(d->ReadDevices(t), 6);
  EXPECT_EQ(GetU32(t + 6 + 12 * (newPos - 1)) >> 16, 0xFFFFu);
  EXPECT_NE(GetU32(t + 6 + 12 * newPos) >> 16, 0xFFFFu) << "re-initialising device kept";

  EXPECT_THROW(d->ReplaceDevice(0x0101), UErr);
}

TEST_F(Blocks, FirmwareBlocksAreAcknowledgedAndCounted) {
  UdpDevSet set;
  set.Search();
  UdpDev* d = Find(set, "K108_00202");
  ASSERT_NE(d, nullptr);
  std::uint8_t fw[528] = {};
  d->SendFirmwareBlock(0, fw);
  d->SendFirmwareBlock(1, fw);
  EXPECT_EQ(sim->Dump().dev["K108_00202"]["firmware-blocks"], "2");
}

}  // namespace
}  // namespace zav
