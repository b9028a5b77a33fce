// Discovery from a tool host on two segments (scripts/netns up2): eth0 on the controllers'
// segment, eth1 on one without controllers that holds the default route. The binary runs in
// NAME-tool1 and starts zavsim in NAME-ctl; the Fallback suite runs in NAME-br, which has no
// IPv4 card at all. Environment: ZAV_NETNS (network name), ZAVSIM (path of the simulator).
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

#include "link/link.h"
#include "link/netns_guard.h"
#include "link/posix_udp.h"
#include "link/udpdevset.h"
#include "link/wire.h"
#include "tests/support/sim_process.h"

namespace zav {
namespace {

using namespace std::chrono_literals;

using testnet::Env;
using testnet::SimProcess;

// The suites broadcast: started by hand on the machine's own network, they refuse.
bool OnTestNetwork() {
  if (geteuid() != 0 || Env("ZAV_NETNS").empty()) return false;
  static const bool isolated = RequirePrivateNetns("zav_two_segments_tests");
  return isolated;
}

std::vector<BroadcastInterface> CardsHere() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return {};
  auto cards = BroadcastInterfaces(list);
  freeifaddrs(list);
  return cards;
}

// Printed name -> dotted address of every controller (class nibble 3) the simulator holds.
std::map<std::string, std::string> Controllers(SimProcess& sim) {
  std::map<std::string, std::string> out;
  std::istringstream in(sim.Ask("dump"));
  for (std::string line; std::getline(in, line);) {
    std::istringstream l(line);
    std::string tag, name, id, ip;
    l >> tag >> name >> id >> ip;
    if (tag != "DEV" || id.rfind("id=0x3", 0) != 0 || ip.rfind("ip=", 0) != 0) continue;
    out[name] = ip.substr(3);
  }
  return out;
}

// An endpoint whose socket lives in another namespace of the test network: a thread enters it
// only to create the socket.
std::unique_ptr<PosixUdpEndpoint> EndpointIn(const std::string& ns) {
  std::unique_ptr<PosixUdpEndpoint> ep;
  std::string error;
  std::thread([&] {
    if (!testnet::EnterNetns(ns)) {
      error = "cannot enter " + ns;
    } else {
      try {
        ep = std::make_unique<PosixUdpEndpoint>();
      } catch (const std::exception& e) {
        error = e.what();
      }
    }
  }).join();
  if (!ep) ADD_FAILURE() << error;
  return ep;
}

void Drain(UdpEndpoint& ep) {
  std::uint8_t buf[8192];
  std::string from;
  std::uint16_t port = 0;
  while (ep.Receive(buf, sizeof buf, 100, from, port) >= 0) {
  }
}

class TwoSegments : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!OnTestNetwork()) return;
    sim = new SimProcess;
    // No datagram log: nothing here reads it.
    if (!sim->Start(Env("ZAV_NETNS"), Env("ZAVSIM"), {"--seed", "7"}, false)) {
      sim->Stop();
      delete sim;
      sim = nullptr;
      return;
    }
    ep = new PosixUdpEndpoint();
    Link::Use(ep, &clock);
  }
  static void TearDownTestSuite() {
    if (sim) sim->Stop();
    delete sim;
    sim = nullptr;
    Link::Use(nullptr, nullptr);
    delete ep;
    ep = nullptr;
  }
  void SetUp() override {
    if (!OnTestNetwork()) GTEST_SKIP() << "needs root and the two-segment test network";
    ASSERT_NE(sim, nullptr) << "zavsim did not come up";
    Drain(*ep);
  }

  static inline SimProcess* sim = nullptr;
  static inline PosixUdpEndpoint* ep = nullptr;
  static inline SystemClock clock;
};

TEST_F(TwoSegments, BothCardsOfTheToolHostAreBroadcastCards) {
  const auto cards = CardsHere();
  ASSERT_EQ(cards.size(), 2u);
  std::set<std::string> seen;
  for (const auto& c : cards) seen.insert(c.name + " " + IpText(c.addr));
  EXPECT_EQ(seen, (std::set<std::string>{"eth0 10.77.0.1", "eth1 10.78.0.1"}));
}

TEST_F(TwoSegments, TheLimitedBroadcastAloneMissesTheControllers) {
  // The plain 255.255.255.255 follows the default route onto the empty segment: this is the
  // failure the per-card broadcast exists for, and it shows the network really is laid so.
  const auto request = DiscoveryRequest();
  UdpDevSet set;
  for (int i = 0; i < 3; ++i) {
    ep->UdpEndpoint::Broadcast(kPort, request.data(), request.size());
    EXPECT_FALSE(set.Collect(kRecvWindowMs));
  }
  EXPECT_EQ(set.count, 0);
}

TEST_F(TwoSegments, SearchFindsEveryControllerBehindTheCableCard) {
  const auto expected = Controllers(*sim);
  ASSERT_GE(expected.size(), 2u);
  UdpDevSet set;
  set.Search();
  std::map<std::string, std::string> found;
  for (int i = 0; i < set.count; ++i) found[DevName(set.devs[i].id)] = IpText(set.devs[i].ip);
  EXPECT_EQ(found, expected);
}

TEST_F(TwoSegments, EveryCardCarriesTheSameBytesFromItsOwnAddress) {
  // tool2 sits on both segments too, so it hears the request once per card of tool1.
  auto listener = EndpointIn(Env("ZAV_NETNS") + "-tool2");
  ASSERT_NE(listener, nullptr);
  const auto request = DiscoveryRequest();
  ep->Broadcast(kPort, request.data(), request.size());
  std::multiset<std::string> senders;
  std::uint8_t buf[8192];
  std::string from;
  std::uint16_t port = 0;
  for (int n; (n = listener->Receive(buf, sizeof buf, 300, from, port)) >= 0;) {
    if (from.rfind("10.77.0.1", 0) != 0 && from.rfind("10.78.0.1", 0) != 0) continue;
    senders.insert(from);
    EXPECT_EQ(port, kPort);
    ASSERT_EQ(n, static_cast<int>(request.size())) << "from " << from;
    EXPECT_EQ(std::memcmp(buf, request.data(), request.size()), 0) << "from " << from;
  }
  EXPECT_EQ(senders, (std::multiset<std::string>{"10.77.0.1", "10.78.0.1"}));
}

TEST(Fallback, WithoutABroadcastCardTheSearchFailsAsThePlainBroadcastDoes) {
  if (!OnTestNetwork()) GTEST_SKIP() << "needs root and the two-segment test network";
  // NAME-br holds only bridge ports without IPv4 addresses: no card qualifies, so the request
  // is the limited broadcast, which has no route here; the error must reach the caller.
  ASSERT_TRUE(CardsHere().empty());
  PosixUdpEndpoint here;
  const auto request = DiscoveryRequest();
  int plain = 0, broadcast = 0;
  try {
    here.Send("255.255.255.255", kPort, request.data(), request.size());
  } catch (const std::system_error& e) {
    plain = e.code().value();
  }
  try {
    here.Broadcast(kPort, request.data(), request.size());
  } catch (const std::system_error& e) {
    broadcast = e.code().value();
  }
  EXPECT_NE(plain, 0);
  EXPECT_EQ(broadcast, plain);
}

}  // namespace
}  // namespace zav
