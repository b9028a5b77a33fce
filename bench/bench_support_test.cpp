// The benchmarks compare against what these pieces build, so a wrong table, scenario or replay
// would make every figure meaningless: they are checked against the simulated controllers.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <set>
#include <thread>

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

// The simulated controllers' work is counted on the clock of the thread that calls the
// endpoint (the core's worker); another thread busy at the same time must not show up in it.
TEST_F(InMemoryNet, TimeInsideCountsOnlyTheCallingThread) {
  sim::LoadScenarioText(net, DiscoveryScenarioJson(100));
  std::atomic<bool> done{false};
  double callerCpu = 0;
  // The caller does little besides calling the endpoint, so nearly all its time is inside.
  std::thread caller([&] {
    const auto req = DiscoveryRequest();
    std::uint8_t buf[kRecvBuffer];
    std::string from;
    std::uint16_t port = 0;
    const double c0 = ThreadCpuSeconds();
    for (int i = 0; i < 30; ++i) {
      ep.Broadcast(kPort, req.data(), req.size());
      while (ep.Receive(buf, sizeof buf, 0, from, port) >= 0) {
      }
    }
    callerCpu = ThreadCpuSeconds() - c0;
    done = true;
  });
  volatile unsigned spin = 0;
  while (!done.load()) spin = spin + 1;
  caller.join();
  EXPECT_GT(ep.cpuInside, 0.0);
  EXPECT_LE(ep.cpuInside, callerCpu);
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

TEST(BenchText, PercentileTakesTheNearestRank) {
  std::vector<double> v(100);
  std::iota(v.begin(), v.end(), 1.0);
  std::shuffle(v.begin(), v.end(), std::mt19937(7));
  EXPECT_DOUBLE_EQ(Percentile(v, 0.99), 99);
  EXPECT_DOUBLE_EQ(Percentile(v, 1.0), 100);
  EXPECT_DOUBLE_EQ(Percentile(v, 0.5), 50);
  v.push_back(1000);  // one more value: the 99th percentile of 101 is the 100th
  EXPECT_DOUBLE_EQ(Percentile(v, 0.99), 100);
  // Too few values for a 99th percentile of their own: it is the largest.
  EXPECT_DOUBLE_EQ(Percentile({3, 9, 1}, 0.99), 9);
  EXPECT_DOUBLE_EQ(Percentile({4}, 0.01), 4);
  EXPECT_DOUBLE_EQ(Percentile({}, 0.99), 0);
}

// A stand-in for zavsim's control channel: takes one line, answers with the given pieces.
class ControlServer {
 public:
  explicit ControlServer(std::vector<std::string> pieces) {
    char dir[] = "/tmp/zav-ctl-test.XXXXXX";
    if (mkdtemp(dir) != nullptr) dir_ = dir;
    path = dir_ + "/ctl";
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd_, 1) != 0) return;
    thread_ = std::thread([this, pieces = std::move(pieces)] {
      const int c = accept(fd_, nullptr, nullptr);
      if (c < 0) return;
      char ch = 0;
      while (read(c, &ch, 1) == 1 && ch != '\n') got += ch;
      for (const std::string& p : pieces) {
        if (write(c, p.data(), p.size()) != static_cast<ssize_t>(p.size())) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      close(c);
    });
  }
  ~ControlServer() {
    if (thread_.joinable()) thread_.join();
    close(fd_);
    unlink(path.c_str());
    rmdir(dir_.c_str());
  }
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;
  std::string path;
  std::string got;  // the line received, without its newline

 private:
  std::string dir_;
  int fd_ = -1;
  std::thread thread_;
};

TEST(BenchControl, AskWaitsForTheWholeAnswer) {
  {
    ControlServer sim({"K316_04242 10.77.0.10", " mode=0x03\n", "END\n"});
    EXPECT_EQ(AskControl(sim.path, "list"), "K316_04242 10.77.0.10 mode=0x03\nEND\n");
    EXPECT_EQ(sim.got, "list");
  }
  {
    ControlServer sim({"o", "k\n"});
    EXPECT_EQ(AskControl(sim.path, "fault 0x313C1092 delay 450"), "ok\n");
    EXPECT_EQ(sim.got, "fault 0x313C1092 delay 450");
  }
  {
    ControlServer sim({"error: drop", " takes a fraction 0..1\n"});
    EXPECT_EQ(AskControl(sim.path, "fault drop 2"), "error: drop takes a fraction 0..1\n");
  }
  // The answer ends when the simulator closes the channel, whole or not.
  {
    ControlServer sim({"partial"});
    EXPECT_EQ(AskControl(sim.path, "list"), "partial");
  }
  EXPECT_EQ(AskControl("/tmp/zav-no-such-dir/ctl", "list"), "");
}

}  // namespace
}  // namespace zav::bench
