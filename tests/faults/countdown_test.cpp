// The simulator's countdown switches, driven in memory: they must break a command sequence at
// exactly the answer a test asks for, and only on the controller named.
#include <gtest/gtest.h>

#include "sim/scenario.h"
#include "sim/sim_network.h"

namespace zav::sim {
namespace {

constexpr Peer kTool{0x0A4D0001, 45389};

Bytes Poll(DeviceId id) {
  Bytes f(12);
  BuildPlainFrame('O', id, nullptr, 0, f.data());
  return f;
}

Bytes Open(DeviceId id) {
  Bytes f(12);
  BuildPlainFrame('K', id, nullptr, 0, f.data());
  return f;
}

class Countdown : public ::testing::Test {
 protected:
  void SetUp() override { LoadDefaultScenario(net, 0x0A4D000A); }
  std::size_t Answers(SimController& c, const Bytes& req) {
    return net.Receive(req.data(), req.size(), kTool, c.ip, 0).size();
  }
  SimNetwork net;
};

TEST_F(Countdown, CutoffSilencesAfterExactlyNAnswersOfThatControllerOnly) {
  SimController& a = *net.devices[1];
  SimController& b = *net.devices[2];
  ASSERT_EQ(net.Control("fault " + DevName(a.id) + " cutoff 3", 0), "ok\n");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Answers(a, Poll(a.id)), 1u) << i;
  EXPECT_EQ(Answers(a, Poll(a.id)), 0u);
  EXPECT_EQ(Answers(b, Poll(b.id)), 1u);
  EXPECT_TRUE(a.silent);
  // The switch is spent: bringing the controller back does not start another countdown.
  ASSERT_EQ(net.Control("silent " + DevName(a.id) + " off", 0), "ok\n");
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Answers(a, Poll(a.id)), 1u);
}

TEST_F(Countdown, CutoffCountsAnswersTheNetworkThenLoses) {
  SimController& a = *net.devices[1];
  ASSERT_EQ(net.Control("fault " + DevName(a.id) + " drop 1", 0), "ok\n");
  ASSERT_EQ(net.Control("fault " + DevName(a.id) + " cutoff 2", 0), "ok\n");
  EXPECT_EQ(Answers(a, Poll(a.id)), 0u);
  EXPECT_EQ(Answers(a, Poll(a.id)), 0u);
  EXPECT_TRUE(a.silent);
}

TEST_F(Countdown, RebootDropsTheSessionAndClearsTheStatusBit) {
  SimController& a = *net.devices[1];
  ASSERT_EQ(Answers(a, Open(a.id)), 1u);
  ASSERT_TRUE(a.session.open);
  ASSERT_EQ(net.Control("fault " + DevName(a.id) + " reboot 2", 0), "ok\n");
  auto first = net.Receive(Poll(a.id).data(), 12, kTool, a.ip, 0);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].bytes[10] & 0x80, 0x80) << "first answer still shows the session";
  EXPECT_TRUE(a.session.open);
  ASSERT_EQ(Answers(a, Poll(a.id)), 1u);
  EXPECT_FALSE(a.session.open);
  auto after = net.Receive(Poll(a.id).data(), 12, kTool, a.ip, 0);
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0].bytes[10] & 0x80, 0) << "the controller still answers, without a session";
}

TEST_F(Countdown, ArgumentsAreChecked) {
  for (const char* bad : {"fault cutoff", "fault cutoff 0", "fault cutoff -1", "fault reboot x",
                          "fault reboot 100001"})
    EXPECT_EQ(net.Control(bad, 0).rfind("error:", 0), 0u) << bad;
  EXPECT_EQ(net.Control("fault reboot 5", 0), "ok\n");
  EXPECT_TRUE(net.faults.Any());
  EXPECT_EQ(net.Control("fault off", 0), "ok\n");
  EXPECT_FALSE(net.faults.Any());
}

TEST_F(Countdown, GlobalDropsTheControllersOwnSwitches) {
  SimController& a = *net.devices[1];
  ASSERT_EQ(net.Control("fault " + DevName(a.id) + " off", 0), "ok\n");
  ASSERT_EQ(net.Control("fault drop 1", 0), "ok\n");
  EXPECT_EQ(Answers(a, Poll(a.id)), 1u) << "its own switches hide those for all";
  ASSERT_EQ(net.Control("fault " + DevName(a.id) + " global", 0), "ok\n");
  EXPECT_EQ(Answers(a, Poll(a.id)), 0u);
  EXPECT_EQ(net.Control("fault global", 0).rfind("error:", 0), 0u);
}

}  // namespace
}  // namespace zav::sim
