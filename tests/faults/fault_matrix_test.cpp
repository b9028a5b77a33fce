// The link and the configuration model against zavsim while the network misbehaves. Each test
// is one row of the fault matrix: it loads and writes controllers the way the main window does
// (status poll, session, device table, passage or lift records; the records' Write) while one
// fault is switched on in the simulator, and compares zavsim's stored state before and after
// every step. This binary runs in NAME-tool1 and starts its own zavsim in NAME-ctl.
// Environment: ZAV_NETNS (network name), ZAVSIM (path of the simulator).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
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

namespace zav::faults {
namespace {

using namespace std::chrono_literals;
using testnet::Env;
using testnet::SimDump;
using testnet::SimProcess;
using Steady = std::chrono::steady_clock;

// An attempt waits two receive windows of 200 ms, and a stray datagram that arrives late in
// the second one buys one more window; beyond this something blocks that should not.
constexpr double kAttemptBoundMs = 700;

std::string Hex(const std::uint8_t* p, std::size_t n) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}

double Ms(Steady::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// The real socket, with every send time-stamped so each blocking call can be split into its
// attempts.
class TimedEndpoint : public UdpEndpoint {
 public:
  void Send(const std::string& addr, std::uint16_t port, const std::uint8_t* data,
            std::size_t len) override {
    Mark();
    ++sends;
    inner.Send(addr, port, data, len);
  }
  int Receive(std::uint8_t* buf, std::size_t cap, int waitMs, std::string& fromAddr,
              std::uint16_t& fromPort) override {
    return inner.Receive(buf, cap, waitMs, fromAddr, fromPort);
  }
  void Broadcast(std::uint16_t port, const std::uint8_t* data, std::size_t len) override {
    inner.Broadcast(port, data, len);
  }
  void Begin() {
    sends = 0;
    last = {};
  }
  // Closes the last attempt of a call.
  void End() { Mark(); }

  PosixUdpEndpoint inner;
  int sends = 0;
  double maxAttemptMs = 0;

 private:
  void Mark() {
    const auto now = Steady::now();
    if (last != Steady::time_point{}) maxAttemptMs = std::max(maxAttemptMs, Ms(now - last));
    last = now;
  }
  Steady::time_point last{};
};

// One row of the printed matrix.
struct Row {
  std::string fault;
  int loadsOk = 0, loadsFailed = 0;
  int writesOk = 0, writesRefused = 0, writesFailed = 0;
  double maxCallMs = 0, maxAttemptMs = 0;
  int stuckSessions = 0;
  int silentlyIncomplete = 0;  // loads that raised nothing yet did not read every record  // clean
                               // loads that had to wait for the controller to drop a session
  std::set<int> errorCodes;
};

std::vector<Row>& Matrix() {
  static std::vector<Row> rows;
  return rows;
}

// The main window's live state for one controller at a time, and the checks after each step.
class FaultMatrix : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (geteuid() != 0 || Env("ZAV_NETNS").empty() || Env("ZAVSIM").empty()) return;
    // The suite broadcasts: started by hand on the machine's own network, it refuses.
    if (!RequirePrivateNetns("zav_fault_matrix_tests")) return;
    sim = new SimProcess;
    // Short session expiry: a session the tool lost track of under faults (its "K" answers all
    // dropped) frees itself within the suite instead of after 30 s.
    if (!sim->Start(Env("ZAV_NETNS"), Env("ZAVSIM"),
                    {"--seed", "11", "--session-timeout", "2000"})) {
      delete sim;
      sim = nullptr;
      return;
    }
    ep = new TimedEndpoint;
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
    delete set;  // closes nothing on the wire: sessions expire on the controllers
    set = nullptr;
    Link::Use(nullptr, nullptr);
    delete ep;
    ep = nullptr;
    PrintMatrix();
  }
  void SetUp() override {
    if (!sim) GTEST_SKIP() << "needs root, ZAV_NETNS and ZAVSIM (the namespace network)";
    ASSERT_GE(set->count, 5) << "the built-in scenario was not found";
    row = Row{};
    ep->maxAttemptMs = 0;
  }
  void TearDown() override {
    if (!sim) return;
    // Faults stop: every controller answers again and a fresh load equals what zavsim holds.
    ASSERT_EQ(sim->Ask("fault off"), "ok\n");
    for (const char* n : kTargets) {
      ASSERT_EQ(sim->Ask(std::string("fault ") + n + " global"), "ok\n");
      ASSERT_EQ(sim->Ask(std::string("silent ") + n + " off"), "ok\n");
    }
    // Replies still held back by a delay fault land within lateReplyMs; let them drain so the
    // clean loads below see a quiet network, as an installer's next click would.
    std::this_thread::sleep_for(std::chrono::milliseconds(lateReplyMs + 100));
    DrainSocket();
    for (const char* n : kTargets) {
      UdpDev& d = Dev(n);
      SCOPED_TRACE(std::string("clean load after the faults stopped: ") + n);
      ASSERT_TRUE(CleanLoad(d));
      ExpectLoadedEqualsSim(d, sim->Dump());
    }
    row.maxAttemptMs = ep->maxAttemptMs;
    if (!row.fault.empty()) Matrix().push_back(row);
  }

  static UdpDev& Dev(const std::string& name) {
    for (int i = 0; i < set->count; ++i)
      if (DevName(set->devs[i].id) == name) return set->devs[i];
    throw std::runtime_error("no controller " + name);
  }

  static void DrainSocket() {
    std::uint8_t buf[kRecvBuffer];
    std::string a;
    std::uint16_t p = 0;
    while (ep->inner.Receive(buf, sizeof buf, 0, a, p) >= 0) {
    }
  }

  // Runs one blocking call of the tool, timing it and its attempts.
  template <class F>
  auto Timed(F&& f) {
    ep->Begin();
    const auto t0 = Steady::now();
    struct Ender {
      ~Ender() {
        ep->End();
        const double ms = Ms(Steady::now() - t0);
        r->maxCallMs = std::max(r->maxCallMs, ms);
        // Every attempt is one datagram out; the call may not block for more than its attempts.
        if (ms > ep->sends * kAttemptBoundMs + 200)
          ADD_FAILURE() << "a call blocked " << ms << " ms for " << ep->sends << " attempts";
      }
      Row* r;
      Steady::time_point t0;
    } ender{&row, t0};
    return f();
  }

  // The window's selection of a controller (SelectEthDev with LoadConfig): true when the whole
  // configuration was read. A UErr is counted, or passes through when count is false.
  bool Load(UdpDev& d, bool count = true) {
    try {
      Timed([&] {
        const bool answers = d.PollStatus();
        table.Clear();
        if (!answers) throw UErr{&d, NoAnswer, 0};
        doors.complete = false;
        lift.complete = false;
        table.Read(d);
        if (table.controllerKind == 1) doors.Read(d);
        if (table.controllerKind == 2) lift.Read(d);
        return 0;
      });
    } catch (const UErr& e) {
      if (!count) throw;
      row.errorCodes.insert(e.code);
      ++row.loadsFailed;
      return false;
    }
    const bool ok = table.controllerKind == 1 ? doors.complete : lift.complete;
    if (count) ++(ok ? row.loadsOk : row.loadsFailed);
    if (count && !ok && table.passageCount > 0) ++row.silentlyIncomplete;
    return ok;
  }

  // A load on a quiet network. A session the faults left out of step with the controller (a
  // "K" answer lost, or a late one taken for a retry's answer so that the keys differ) blocks
  // the controller until it forgets that session; zavsim runs with a 2 s expiry here.
  bool CleanLoad(UdpDev& d) {
    for (int tries = 0; tries < 3; ++tries) {
      try {
        return Load(d, false);
      } catch (const UErr& e) {
        EXPECT_TRUE(e.code == ForeignSession || e.code == NoReply || e.code == BadSignature)
            << UErrText(e);
        ++row.stuckSessions;
        std::this_thread::sleep_for(2200ms);
      }
    }
    return false;
  }

  // What the tool holds for controller d, as zavsim stores it.
  std::map<std::string, std::string> Held(const UdpDev& d) {
    std::map<std::string, std::string> m;
    const std::string n = DevName(d.id) + " ";
    std::uint8_t rec[kRecordLen];
    if (table.controllerKind == 1) {
      doors.controllerIo.Encode(rec);
      m[n + "16 0"] = Hex(rec, kControllerIoDataLen);
      for (int i = 0; i < doors.PassageCount(); ++i) {
        doors.passages[i].Encode(rec);
        m[n + "1 " + std::to_string(i)] = Hex(rec, kRecordLen);
      }
    } else {
      lift.Encode(rec);
      m[n + "2 0"] = Hex(rec, kRecordLen);
    }
    return m;
  }

  void ExpectLoadedEqualsSim(const UdpDev& d, const SimDump& dump) {
    const std::string name = DevName(d.id);
    for (const auto& [key, hex] : Held(d)) {
      auto it = dump.blocks.find(key);
      ASSERT_NE(it, dump.blocks.end()) << key;
      EXPECT_EQ(hex, it->second) << "loaded record differs from the controller's: " << key;
    }
    const auto& bus = dump.bus.at(name);
    ASSERT_EQ(table.count, static_cast<int>(bus.size())) << name;
    for (int i = 0; i < table.count; ++i) {
      char prefix[32];
      std::snprintf(prefix, sizeof prefix, "%d 0x%08x ", i, table.devices[i].id);
      EXPECT_EQ(bus[static_cast<std::size_t>(i)].rfind(prefix, 0), 0u) << name << " position " << i;
    }
  }

  // Changes what the tool holds, so that a write is visible in zavsim's store.
  void Edit(int salt) {
    char text[32];  // SetName keeps at most 15 characters
    if (table.controllerKind == 1) {
      for (int p = 0; p < doors.PassageCount(); ++p) {
        std::snprintf(text, sizeof text, "F%d-%d", salt, p);
        doors.SetName(p, text);
        doors.SetBoltTime(p, (salt * 7 + p) % 128);
      }
    } else {
      std::snprintf(text, sizeof text, "Winda %d", salt);
      lift.SetName(text);
      lift.SetUnlockTime(salt % 128);
    }
  }

  // The window's "Zapisz", checked against zavsim's store before and after: nothing but this
  // controller's own blocks may change, and each of those either stays or becomes exactly what
  // the tool held; all of them when the write reported success, none when it was refused.
  void Write(UdpDev& d) {
    const SimDump before = sim->Dump();
    const auto held = Held(d);
    const bool writable = table.controllerKind == 1 ? doors.complete : lift.complete;
    enum { Ok, Refused, Failed } outcome = Failed;
    try {
      const bool sent =
          Timed([&] { return table.controllerKind == 1 ? doors.Write(d) : lift.Write(d); });
      outcome = sent ? Ok : Refused;
    } catch (const UErr& e) {
      row.errorCodes.insert(e.code);
    }
    if (outcome == Refused) {
      EXPECT_EQ(ep->sends, 0) << "a refused write sent something";
    }
    if (!writable) {
      EXPECT_EQ(outcome, Refused) << "a half-read configuration was written";
    }
    ++(outcome == Ok ? row.writesOk : outcome == Refused ? row.writesRefused : row.writesFailed);

    const SimDump after = sim->Dump();
    ASSERT_EQ(before.blocks.size(), after.blocks.size());
    const std::string mine = DevName(d.id) + " ";
    for (const auto& [key, old] : before.blocks) {
      const std::string& now = after.blocks.at(key);
      if (key.rfind(mine, 0) != 0) {
        EXPECT_EQ(now, old) << "a block of another controller changed: " << key;
        continue;
      }
      auto h = held.find(key);
      if (h == held.end()) {
        EXPECT_EQ(now, old) << "a block the tool does not hold changed: " << key;
      } else if (outcome == Ok) {
        EXPECT_EQ(now, h->second) << "acknowledged write not stored as held: " << key;
      } else if (outcome == Refused) {
        EXPECT_EQ(now, old) << "refused write changed " << key;
      } else {
        EXPECT_TRUE(now == old || now == h->second) << "failed write left a foreign image: " << key;
      }
    }
  }

  // One load under the fault, then a write of whatever the tool holds then; then a write under
  // the fault of a configuration loaded while the network was clean.
  void Cycle(const std::string& name, int salt, const std::function<void()>& faultOn,
             const std::function<void()>& faultOff) {
    SCOPED_TRACE(name + " salt " + std::to_string(salt));
    UdpDev& d = Dev(name);
    faultOn();
    const SimDump before = sim->Dump();
    if (Load(d)) ExpectLoadedEqualsSim(d, before);
    EXPECT_EQ(sim->Dump().blocks, before.blocks) << "a load changed a stored block";
    Edit(salt);
    Write(d);
    faultOff();

    std::this_thread::sleep_for(std::chrono::milliseconds(lateReplyMs));
    DrainSocket();
    ASSERT_TRUE(CleanLoad(d)) << "no clean load between the faults";
    Edit(salt + 1);
    faultOn();
    Write(d);
    faultOff();
    std::this_thread::sleep_for(std::chrono::milliseconds(lateReplyMs));
    DrainSocket();
  }

  void Global(const std::string& fault) { ASSERT_EQ(sim->Ask("fault " + fault), "ok\n") << fault; }

  static void PrintMatrix() {
    if (Matrix().empty()) return;
    std::printf("\n%-34s %9s %9s %9s %9s %9s %9s %9s %7s  %-8s %s\n", "fault", "loads ok", "failed",
                "writes ok", "refused", "failed", "max call", "max att.", "stuck", "errors",
                "incomplete without error");
    for (const Row& r : Matrix()) {
      std::string codes;
      for (int c : r.errorCodes) codes += (codes.empty() ? "" : ",") + std::to_string(c);
      std::printf("%-34s %9d %9d %9d %9d %9d %7.0fms %7.0fms %7d  %-8s %d\n", r.fault.c_str(),
                  r.loadsOk, r.loadsFailed, r.writesOk, r.writesRefused, r.writesFailed,
                  r.maxCallMs, r.maxAttemptMs, r.stuckSessions, codes.empty() ? "-" : codes.c_str(),
                  r.silentlyIncomplete);
    }
    std::fflush(stdout);
  }

  void ExpectBounded() {
    EXPECT_LE(ep->maxAttemptMs, kAttemptBoundMs) << "an attempt blocked too long";
  }

  static constexpr const char* kTargets[] = {"K102_00101", "K108_00202", "K116_00303",
                                             "K140_00505"};
  static inline SimProcess* sim = nullptr;
  static inline TimedEndpoint* ep = nullptr;
  static inline SystemClock clock;
  static inline UdpDevSet* set = nullptr;

  BusDeviceTable table;
  PassageConfig doors{table};
  LiftConfig lift{table};
  Row row;
  int lateReplyMs = 0;
};

TEST_F(FaultMatrix, DropThirtyPercent) {
  row.fault = "30 % of replies dropped";
  int salt = 100;
  for (int round = 0; round < 2; ++round)
    for (const char* n : kTargets)
      Cycle(
          n, salt += 2, [&] { Global("drop 0.3"); }, [&] { Global("drop 0"); });
  ExpectBounded();
}

TEST_F(FaultMatrix, DuplicatedReplies) {
  row.fault = "every reply duplicated";
  int salt = 200;
  for (const char* n : kTargets)
    Cycle(
        n, salt += 2, [&] { Global("duplicate on"); }, [&] { Global("duplicate off"); });
  ExpectBounded();
}

TEST_F(FaultMatrix, RepliesDelayedIntoTheNextAttempt) {
  row.fault = "replies delayed 500 ms";
  lateReplyMs = 600;
  int salt = 300;
  for (const char* n : {"K102_00101", "K140_00505", "K108_00202"})
    Cycle(
        n, salt += 2, [&] { Global("delay 500"); }, [&] { Global("delay 0"); });
  ExpectBounded();
}

TEST_F(FaultMatrix, RepliesDelayedPastEveryAttempt) {
  row.fault = "replies delayed 1300 ms";
  lateReplyMs = 1400;
  int salt = 400;
  for (const char* n : {"K102_00101", "K140_00505"})
    Cycle(
        n, salt += 2, [&] { Global("delay 1300"); }, [&] { Global("delay 0"); });
  ExpectBounded();
}

TEST_F(FaultMatrix, CorruptedChecksums) {
  row.fault = "plain replies with a bad checksum";
  int salt = 500;
  for (const char* n : kTargets)
    Cycle(
        n, salt += 2, [&] { Global("crc on"); }, [&] { Global("crc off"); });
  ExpectBounded();
}

TEST_F(FaultMatrix, WrongSignatures) {
  row.fault = "signed replies with a bad signature";
  int salt = 600;
  for (const char* n : kTargets)
    Cycle(
        n, salt += 2, [&] { Global("sig on"); }, [&] { Global("sig off"); });
  ExpectBounded();
}

// The controller restarts at an exact answer of the sequence: its session is gone, so the
// tool's signed commands go unanswered until a new session is opened.
TEST_F(FaultMatrix, ControllerRebootsMidSequence) {
  row.fault = "controller reboots (session lost)";
  int salt = 700;
  for (int after : {1, 3, 5, 8}) {
    const std::string n = after % 2 ? "K108_00202" : "K140_00505";
    Cycle(
        n, salt += 2,
        [&] { ASSERT_EQ(sim->Ask("fault " + n + " reboot " + std::to_string(after)), "ok\n"); },
        [&] { ASSERT_EQ(sim->Ask("fault " + n + " global"), "ok\n"); });
  }
  ExpectBounded();
}

// The controller stops answering at an exact answer of the sequence and stays silent until the
// fault is switched off.
TEST_F(FaultMatrix, ControllerSilentMidLoad) {
  row.fault = "controller goes silent mid-load";
  int salt = 800;
  for (int after : {2, 4, 6}) {
    const std::string n = "K108_00202";
    Cycle(
        n, salt += 2,
        [&] { ASSERT_EQ(sim->Ask("fault " + n + " cutoff " + std::to_string(after)), "ok\n"); },
        [&] {
          ASSERT_EQ(sim->Ask("fault " + n + " global"), "ok\n");
          ASSERT_EQ(sim->Ask("silent " + n + " off"), "ok\n");
        });
  }
  ExpectBounded();
}

}  // namespace
}  // namespace zav::faults
