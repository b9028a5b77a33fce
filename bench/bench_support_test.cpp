// The benchmarks compare against what these pieces build, so a wrong table, scenario or replay
// would make every figure meaningless: they are checked against the simulated controllers.
#include <gtest/gtest.h>

#include <set>

#include "bench/bench_support.h"
#include "config/bus_device_table.h"
#include "config/io_ref.h"
#include "link/link.h"
#include "link/udpdevset.h"
#include "sim/scenario.h"

namespace zav::bench {
namespace {

constexpr std::uint32_t kTool = (10u << 24) | (77u << 16) | 1u;

TEST(BenchTable, FullDoorTableFillsEveryFreeListToItsCap) {
  const auto t = FullDoorTable();
  BusDeviceTable table;
  ASSERT_TRUE(table.Decode(t.data(), static_cast<int>(t.size())));
  EXPECT_EQ(table.count, 116);
  EXPECT_EQ(table.controllerKind, 1);
  EXPECT_EQ(table.passageCount, 16);
  EXPECT_EQ(table.devices[0].id, kFullDoorId);
  for (int i = 0; i < table.count; ++i) {
    EXPECT_EQ(table.devices[i].outputs, 31) << i;
    EXPECT_EQ(table.devices[i].inputs, 31) << i;
    EXPECT_EQ(table.devices[i].readers, 3) << i;
  }
  std::vector<IoRef> free(kMaxFreePoints);
  EXPECT_EQ(FreePoints(table, PointKind::Output, free.data()), kMaxFreePoints);
  EXPECT_EQ(FreePoints(table, PointKind::Input, free.data()), kMaxFreePoints);
  EXPECT_EQ(FreePoints(table, PointKind::Reader, free.data()), 116 * 3);
}

TEST(BenchScenario, LoadScenarioServesTheFullTable) {
  sim::SimNetwork net;
  sim::LoadScenarioText(net, LoadScenarioJson());
  ASSERT_EQ(net.devices.size(), 1u);
  const sim::SimController& c = *net.devices[0];
  EXPECT_EQ(c.id, kFullDoorId);
  EXPECT_EQ(IpText(c.ip), "10.77.0.10");
  EXPECT_EQ(c.mode & 3, 3);
  EXPECT_EQ(c.passageCount, 16);
  EXPECT_EQ(c.DeviceTablePayload(), FullDoorTable());
}

TEST(BenchScenario, DiscoveryScenarioUsesTheNamespaceAddresses) {
  sim::SimNetwork net;
  sim::LoadScenarioText(net, DiscoveryScenarioJson(100));
  ASSERT_EQ(net.devices.size(), 100u);
  std::set<std::uint32_t> ips;
  std::set<DeviceId> ids;
  for (const auto& c : net.devices) {
    ips.insert(c->ip);
    ids.insert(c->id);
    EXPECT_TRUE(IsController(c->id));
  }
  EXPECT_EQ(ips.size(), 100u);
  EXPECT_EQ(ids.size(), 100u);
  // scripts/netns numbers its aliases from 10.77.0.10; the 100th is 10.77.0.109, the 247th
  // would cross into 10.77.1.x.
  EXPECT_EQ(*ips.begin(), ParseIp("10.77.0.10"));
  EXPECT_EQ(*ips.rbegin(), ParseIp("10.77.0.109"));
  sim::SimNetwork wide;
  sim::LoadScenarioText(wide, DiscoveryScenarioJson(240));
  EXPECT_EQ(IpText(wide.devices.back()->ip), "10.77.0.249");
}

class InMemoryNet : public ::testing::Test {
 protected:
  void SetUp() override { Link::Use(&ep, &clock); }
  sim::SimNetwork net;
  ManualClock clock;
  SimEndpoint ep{net, clock, kTool};
};

TEST_F(InMemoryNet, SearchFindsEveryControllerOnce) {
  sim::LoadScenarioText(net, DiscoveryScenarioJson(100));
  UdpDevSet set;
  const std::uint64_t start = clock.nowMs;
  set.Search();
  EXPECT_EQ(set.count, 100);
  // One broadcast and one time stamp each, then a single quiet window.
  EXPECT_EQ(ep.sends, 1 + 100);
  EXPECT_EQ(clock.nowMs - start, 200u);
  for (int i = 1; i < set.count; ++i)
    EXPECT_LT(OrderKey(set.devs[i - 1].id), OrderKey(set.devs[i].id));
}

TEST_F(InMemoryNet, ReceiveWaitsOnlyWhenNothingIsDue) {
  sim::LoadScenarioText(net, DiscoveryScenarioJson(1));
  std::uint8_t buf[kRecvBuffer];
  std::string from;
  std::uint16_t port = 0;
  const std::uint64_t start = clock.nowMs;
  EXPECT_EQ(ep.Receive(buf, sizeof buf, 0, from, port), -1);
  EXPECT_EQ(clock.nowMs, start);
  const auto req = DiscoveryRequest();
  ep.Broadcast(kPort, req.data(), req.size());
  EXPECT_EQ(ep.Receive(buf, sizeof buf, 200, from, port), static_cast<int>(kStatusReplyLen));
  EXPECT_EQ(from, "10.77.0.10");
  EXPECT_EQ(clock.nowMs, start);
  EXPECT_EQ(ep.Receive(buf, sizeof buf, 200, from, port), -1);
  EXPECT_EQ(clock.nowMs, start + 200);
}

TEST_F(InMemoryNet, DelayedAnswersArriveWhenDueAndInOrder) {
  sim::LoadScenarioText(net, DiscoveryScenarioJson(3));
  net.faults.delayMs = 50;
  std::uint8_t buf[kRecvBuffer];
  std::string from;
  std::uint16_t port = 0;
  const std::uint64_t start = clock.nowMs;
  const auto req = DiscoveryRequest();
  ep.Broadcast(kPort, req.data(), req.size());
  // Not within a 20 ms wait; the wait passes on the clock.
  EXPECT_EQ(ep.Receive(buf, sizeof buf, 20, from, port), -1);
  EXPECT_EQ(clock.nowMs, start + 20);
  for (const char* addr : {"10.77.0.10", "10.77.0.11", "10.77.0.12"}) {
    ASSERT_EQ(ep.Receive(buf, sizeof buf, 200, from, port), static_cast<int>(kStatusReplyLen));
    EXPECT_EQ(from, addr);
    EXPECT_EQ(clock.nowMs, start + 50);
  }
}

// A request nobody answers keeps no reply; the next request's reply is not credited to it.
TEST_F(InMemoryNet, RecordingPairsEachReplyWithItsOwnRequest) {
  sim::LoadScenarioText(net, DiscoveryScenarioJson(1));
  RecordingEndpoint rec(ep);
  std::uint8_t buf[kRecvBuffer];
  std::string from;
  std::uint16_t port = 0;
  std::uint8_t frame[kPlainOverhead];
  const DeviceId id = net.devices[0]->id;
  const std::size_t n = BuildPlainFrame('O', id, nullptr, 0, frame);
  rec.Send("10.77.0.99", kPort, frame, n);  // no controller there
  EXPECT_EQ(rec.Receive(buf, sizeof buf, 200, from, port), -1);
  rec.Send("10.77.0.10", kPort, frame, n);
  EXPECT_GT(rec.Receive(buf, sizeof buf, 200, from, port), 0);
  EXPECT_EQ(rec.Receive(buf, sizeof buf, 0, from, port), -1);  // no wait: not a quiet window
  ASSERT_EQ(rec.log.size(), 2u);
  EXPECT_EQ(rec.log[0].replyLen, -1);
  EXPECT_EQ(rec.log[1].replyLen, static_cast<int>(kStatusReplyLen));
  EXPECT_EQ(rec.arrivals.size(), 1u);
  EXPECT_EQ(rec.quietEnds.size(), 1u);
}

// The bare loop of the load figure repeats what the tool did; the controller must take its
// own session and signatures, and answer with the same sizes.
TEST_F(InMemoryNet, ReplayRepeatsASessionWithTheSameReplySizes) {
  sim::LoadScenarioText(net, LoadScenarioJson());
  RecordingEndpoint rec(ep);
  Link::Use(&rec, &clock);
  UdpDevSet set;
  set.Search();
  ASSERT_EQ(set.count, 1);
  UdpDev& dev = set.devs[0];
  rec.log.clear();
  dev.EnsureSession();
  std::uint8_t block[kMaxBlock];
  EXPECT_EQ(dev.ReadDevices(block), 6 + 12 * 116);
  EXPECT_GT(dev.ReadConfig(16, 0, block), 0);
  EXPECT_GT(dev.ReadConfig(1, 15, block), 0);
  dev.CloseSession();
  ASSERT_GE(rec.log.size(), 7u);  // O K O D C C O s
  for (const Exchange& x : rec.log) EXPECT_GT(x.replyLen, 0);

  const int rejectedBefore = net.devices[0]->rejectedSignatures;
  Replayer replayer;
  const auto roundTrip = [&](const std::string& to, const std::vector<std::uint8_t>& req,
                             std::uint8_t* reply) {
    ep.Send(to, kPort, req.data(), req.size());
    std::string from;
    std::uint16_t port = 0;
    return ep.Receive(reply, kRecvBuffer, 300, from, port);
  };
  const std::vector<int> lens = replayer.Replay(rec.log, roundTrip);
  ASSERT_EQ(lens.size(), rec.log.size());
  for (std::size_t i = 0; i < lens.size(); ++i) EXPECT_EQ(lens[i], rec.log[i].replyLen) << i;
  EXPECT_EQ(net.devices[0]->rejectedSignatures, rejectedBefore);
  EXPECT_FALSE(net.devices[0]->session.open);  // the replayed "s" closed the replayer's session
}

TEST(BenchText, SummaryLineAndMedian) {
  EXPECT_EQ(Summary("tick_cpu_ms", 0.51234, "ms", "< 2 ms", true),
            "tick_cpu_ms: 0.512 ms (budget < 2 ms) PASS");
  EXPECT_EQ(Summary("load_ratio", 1.5, "x", "<= 1.2", false),
            "load_ratio: 1.500 x (budget <= 1.2) FAIL");
  EXPECT_DOUBLE_EQ(Median({5, 1, 3}), 3);
  EXPECT_DOUBLE_EQ(Median({4, 1, 3, 2}), 2.5);
  EXPECT_DOUBLE_EQ(Median({}), 0);
}

}  // namespace
}  // namespace zav::bench
