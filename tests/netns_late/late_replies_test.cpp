// The link and the configuration model against zavsim while every reply comes later than an
// attempt waits (ZAV_LATE_MS, 450 or 650 ms): a controller busy writing its flash, a congested
// bridge, a Wi-Fi hop. Every answer must reach the request it answers: loads show the records
// and names the controllers store, writes store exactly what was edited, and a refusal of one
// block is reported as the refusal of that block. This binary runs in NAME-tool1 and starts its
// own zavsim in NAME-ctl. Environment: ZAV_NETNS, ZAVSIM, ZAV_LATE_MS.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "config/bus_device_table.h"
#include "config/lift_config.h"
#include "config/passage_config.h"
#include "link/link.h"
#include "link/netns_guard.h"
#include "link/posix_udp.h"
#include "link/udpdevset.h"
#include "link/uerr.h"
#include "tests/support/sim_process.h"

namespace zav {
namespace {

using testnet::Env;
using testnet::SimDump;
using testnet::SimProcess;

std::string Hex(const std::uint8_t* p, std::size_t n) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}

// The name every passage is given before the replies turn late: no two passages of the
// network share one, so a record delivered for the wrong passage shows.
std::string PassageName(const std::string& controller, int p, int salt) {
  return controller.substr(5) + "-P" + std::to_string(p) + "-" + std::to_string(salt);
}

class LateReplies : public ::testing::Test {
 protected:
  static constexpr const char* kDoor16 = "K116_00303";
  static constexpr const char* kDoor8 = "K108_00202";
  static constexpr const char* kLift = "K140_00505";
  static constexpr const char* kFirmware = "K102_00101";

  static void SetUpTestSuite() {
    if (geteuid() != 0 || Env("ZAV_NETNS").empty() || Env("ZAVSIM").empty()) return;
    lateMs = Env("ZAV_LATE_MS").empty() ? 450 : std::atoi(Env("ZAV_LATE_MS").c_str());
    // The suite broadcasts: started by hand on the machine's own network, it refuses.
    if (!RequirePrivateNetns("zav_late_netns_tests")) return;
    sim = new SimProcess;
    if (!sim->Start(Env("ZAV_NETNS"), Env("ZAVSIM"), {"--seed", "5"})) {
      delete sim;
      sim = nullptr;
      return;
    }
    ep = new PosixUdpEndpoint;
    Link::Use(ep, &clock);
    set = new UdpDevSet;
    set->Search();
  }
  static void TearDownTestSuite() {
    if (sim) {
      const bool failed = ::testing::UnitTest::GetInstance()->failed_test_count() > 0;
      EXPECT_TRUE(sim->Stop(failed)) << "zavsim did not quit cleanly";
    }
    delete sim;
    sim = nullptr;
    delete set;
    set = nullptr;
    Link::Use(nullptr, nullptr);
    delete ep;
    ep = nullptr;
  }
  void SetUp() override {
    if (!sim) GTEST_SKIP() << "needs root, ZAV_NETNS and ZAVSIM (the namespace network)";
    ASSERT_GE(set->count, 5) << "the built-in scenario was not found";
    if (!named) {
      // Distinct names everywhere, written while the network is still prompt.
      for (const char* n : {kDoor16, kDoor8}) {
        ASSERT_TRUE(Load(Dev(n)));
        NameAll(n, 0);
        ASSERT_TRUE(doors.Write(Dev(n)));
      }
      named = true;
    }
    ASSERT_EQ(sim->Ask("fault delay " + std::to_string(lateMs)), "ok\n");
  }
  void TearDown() override {
    if (!sim) return;
    EXPECT_EQ(sim->Ask("fault delay 0"), "ok\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(lateMs + 200));
  }

  static UdpDev& Dev(const std::string& name) {
    for (int i = 0; i < set->count; ++i)
      if (DevName(set->devs[i].id) == name) return set->devs[i];
    throw std::runtime_error("no controller " + name);
  }

  // The main window's selection of a controller: true when the whole configuration was read.
  bool Load(UdpDev& d) {
    const bool answers = d.PollStatus();
    table.Clear();
    if (!answers) return false;
    doors.complete = false;
    lift.complete = false;
    table.Read(d);
    if (table.controllerKind == 1) doors.Read(d);
    if (table.controllerKind == 2) lift.Read(d);
    return table.controllerKind == 1 ? doors.complete : lift.complete;
  }

  void NameAll(const std::string& controller, int salt) {
    for (int p = 0; p < doors.PassageCount(); ++p) {
      doors.SetName(p, PassageName(controller, p, salt));
      doors.SetBoltTime(p, (salt * 5 + p) % 128);
    }
  }

  // What the tool holds, keyed as zavsim's dump keys its blocks.
  std::map<std::string, std::string> Held(const std::string& controller) {
    std::map<std::string, std::string> m;
    std::uint8_t rec[kRecordLen];
    if (table.controllerKind == 1) {
      doors.controllerIo.Encode(rec);
      m[controller + " 16 0"] = Hex(rec, kControllerIoDataLen);
      for (int i = 0; i < doors.PassageCount(); ++i) {
        doors.passages[i].Encode(rec);
        m[controller + " 1 " + std::to_string(i)] = Hex(rec, kRecordLen);
      }
    } else {
      lift.Encode(rec);
      m[controller + " 2 0"] = Hex(rec, kRecordLen);
    }
    return m;
  }

  static inline SimProcess* sim = nullptr;
  static inline PosixUdpEndpoint* ep = nullptr;
  static inline SystemClock clock;
  static inline UdpDevSet* set = nullptr;
  static inline int lateMs = 450;
  static inline bool named = false;

  BusDeviceTable table;
  PassageConfig doors{table};
  LiftConfig lift{table};
};

TEST_F(LateReplies, DoorControllersLoadTheRecordsAndNamesTheyStore) {
  // The 16-passage load takes some 20 s at 450 ms; the longer delay proves the same with 8.
  const std::vector<const char*> doorsToLoad =
      lateMs > 500 ? std::vector<const char*>{kDoor8} : std::vector<const char*>{kDoor16, kDoor8};
  for (const char* n : doorsToLoad) {
    SCOPED_TRACE(n);
    ASSERT_TRUE(Load(Dev(n))) << "a record was not delivered";
    const SimDump dump = sim->Dump();
    ASSERT_EQ(table.count, static_cast<int>(dump.bus.at(n).size()));
    for (const auto& [key, hex] : Held(n)) EXPECT_EQ(hex, dump.blocks.at(key)) << key;
    for (int p = 0; p < doors.PassageCount(); ++p)
      EXPECT_EQ(doors.Name(p), PassageName(n, p, 0)) << "passage " << p;
  }
}

TEST_F(LateReplies, LiftControllerLoadsTheRecordAndNameItStores) {
  ASSERT_TRUE(Load(Dev(kLift)));
  EXPECT_EQ(table.controllerKind, 2);
  EXPECT_EQ(Held(kLift).at(std::string(kLift) + " 2 0"),
            sim->Dump().blocks.at(std::string(kLift) + " 2 0"));
  EXPECT_EQ(lift.Name(), "Winda główna");
}

TEST_F(LateReplies, WriteStoresExactlyTheEditedRecords) {
  UdpDev& d = Dev(kDoor8);
  ASSERT_TRUE(Load(d));
  NameAll(kDoor8, 1);
  const SimDump before = sim->Dump();
  const auto held = Held(kDoor8);
  ASSERT_TRUE(doors.Write(d));
  const SimDump after = sim->Dump();
  ASSERT_EQ(before.blocks.size(), after.blocks.size());
  for (const auto& [key, old] : before.blocks) {
    auto h = held.find(key);
    EXPECT_EQ(after.blocks.at(key), h == held.end() ? old : h->second) << key;
  }
}

TEST_F(LateReplies, RefusalOfTheLastBlockIsErrorSevenNotSuccess) {
  UdpDev& d = Dev(kDoor8);
  ASSERT_TRUE(Load(d));
  NameAll(kDoor8, 2);
  const int last = doors.PassageCount() - 1;
  const std::string lastKey = std::string(kDoor8) + " 1 " + std::to_string(last);
  const SimDump before = sim->Dump();
  const auto held = Held(kDoor8);
  ASSERT_EQ(sim->Ask("refuse " + std::string(kDoor8) + " block 1 " + std::to_string(last) + " on"),
            "ok\n");
  int code = 0;
  char letter = 0;
  try {
    doors.Write(d);
  } catch (const UErr& e) {
    code = e.code;
    letter = e.cmd;
  }
  ASSERT_EQ(sim->Ask("refuse " + std::string(kDoor8) + " block 1 " + std::to_string(last) + " off"),
            "ok\n");
  EXPECT_EQ(code, NoAck) << "the refused block was reported as written";
  EXPECT_EQ(letter, 'c');
  const SimDump after = sim->Dump();
  for (const auto& [key, hex] : held)
    EXPECT_EQ(after.blocks.at(key), key == lastKey ? before.blocks.at(key) : hex) << key;
}

TEST_F(LateReplies, FirmwareBlocksAreAcknowledgedOneForOne) {
  UdpDev& d = Dev(kFirmware);
  ASSERT_EQ(sim->Ask("refuse " + std::string(kFirmware) + " firmware 3 on"), "ok\n");
  std::uint8_t block[528] = {};
  int failedAt = -1;
  for (int n = 0; n < 6 && failedAt < 0; ++n) {
    block[0] = static_cast<std::uint8_t>(n);
    try {
      d.SendFirmwareBlock(static_cast<std::uint16_t>(n), block);
    } catch (const UErr& e) {
      EXPECT_EQ(e.cmd, 'Y');
      EXPECT_EQ(e.code, NoAck);
      failedAt = n;
    }
  }
  ASSERT_EQ(sim->Ask("refuse " + std::string(kFirmware) + " firmware 3 off"), "ok\n");
  EXPECT_EQ(failedAt, 3) << "the refusal was taken for another block's answer";
}

}  // namespace
}  // namespace zav
