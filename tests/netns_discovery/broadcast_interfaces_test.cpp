// Which cards a search goes out of, and how the failure of one card is handled. These run
// anywhere: they build interface lists in memory and never put a datagram on a network.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <deque>
#include <system_error>

#include "link/posix_udp.h"

namespace zav {
namespace {

// A getifaddrs-shaped list built from plain entries; the storage stays put while it is used.
class IfList {
 public:
  IfList& Add(const char* name, unsigned flags, const char* ipv4) {
    auto& e = entries_.emplace_back();
    e.name = name;
    e.node.ifa_name = e.name.data();
    e.node.ifa_flags = flags;
    if (ipv4 != nullptr) {
      e.addr.sin_family = AF_INET;
      inet_pton(AF_INET, ipv4, &e.addr.sin_addr);
      e.node.ifa_addr = reinterpret_cast<sockaddr*>(&e.addr);
    }
    return *this;
  }
  IfList& AddIpv6(const char* name, unsigned flags) {
    auto& e = entries_.emplace_back();
    e.name = name;
    e.node.ifa_name = e.name.data();
    e.node.ifa_flags = flags;
    e.addr6.sin6_family = AF_INET6;
    e.node.ifa_addr = reinterpret_cast<sockaddr*>(&e.addr6);
    return *this;
  }
  const ifaddrs* Head() {
    for (std::size_t i = 0; i < entries_.size(); ++i)
      entries_[i].node.ifa_next = i + 1 < entries_.size() ? &entries_[i + 1].node : nullptr;
    return entries_.empty() ? nullptr : &entries_.front().node;
  }

 private:
  struct Entry {
    std::string name;
    ifaddrs node{};
    sockaddr_in addr{};
    sockaddr_in6 addr6{};
  };
  std::deque<Entry> entries_;
};

constexpr unsigned kUpBcast = IFF_UP | IFF_BROADCAST | IFF_RUNNING | IFF_MULTICAST;

std::vector<std::string> Names(const std::vector<BroadcastInterface>& v) {
  std::vector<std::string> out;
  for (const auto& c : v) out.push_back(c.name);
  return out;
}

TEST(BroadcastInterfaces, LaptopWithWifiAndCableUsesBothCards) {
  IfList l;
  l.Add("lo", IFF_UP | IFF_LOOPBACK | IFF_RUNNING, "127.0.0.1")
      .Add("wlan0", kUpBcast, "192.168.1.23")
      .AddIpv6("wlan0", kUpBcast)
      .Add("enp3s0", kUpBcast, "10.77.0.1");
  const auto cards = BroadcastInterfaces(l.Head());
  ASSERT_EQ(Names(cards), (std::vector<std::string>{"wlan0", "enp3s0"}));
  EXPECT_EQ(cards[0].addr, 0xC0A80117u);  // first octet in the top byte
  EXPECT_EQ(cards[1].addr, 0x0A4D0001u);
}

TEST(BroadcastInterfaces, CardsThatCannotReachASegmentAreLeftOut) {
  IfList l;
  l.Add("lo", IFF_UP | IFF_LOOPBACK | IFF_BROADCAST, "127.0.0.1")       // loopback, even if flagged
      .Add("eth1", IFF_BROADCAST | IFF_MULTICAST, "10.1.0.5")           // administratively down
      .Add("tun0", IFF_UP | IFF_POINTOPOINT | IFF_RUNNING, "10.8.0.2")  // no broadcast
      .AddIpv6("eth2", kUpBcast)                                        // no IPv4 at all
      .Add("eth3", kUpBcast, nullptr);                                  // link without address
  EXPECT_TRUE(BroadcastInterfaces(l.Head()).empty());
  EXPECT_TRUE(BroadcastInterfaces(nullptr).empty());
}

TEST(BroadcastInterfaces, ACardWithSeveralAddressesIsSentOutOfOnce) {
  IfList l;
  l.Add("eth0", kUpBcast, "10.77.0.9")
      .Add("eth0", kUpBcast, "10.77.0.10")
      .Add("eth0:1", kUpBcast, "192.168.5.1")  // a labelled alias of the same card
      .Add("eth1", kUpBcast, "172.16.0.1");
  const auto cards = BroadcastInterfaces(l.Head());
  ASSERT_EQ(Names(cards), (std::vector<std::string>{"eth0", "eth1"}));
  EXPECT_EQ(cards[0].addr, 0x0A4D0009u) << "the card's first address is the source";
}

TEST(SendOnEach, OneFailingCardDoesNotStopTheOthers) {
  const std::vector<BroadcastInterface> cards{{"wlan0", 1}, {"eth0", 2}, {"eth1", 3}};
  std::vector<std::string> sent;
  EXPECT_NO_THROW(SendOnEach(cards, [&](const BroadcastInterface& c) {
    if (c.name == "wlan0") throw std::system_error(ENETDOWN, std::generic_category(), "sendmsg");
    sent.push_back(c.name);
  }));
  EXPECT_EQ(sent, (std::vector<std::string>{"eth0", "eth1"}));
}

TEST(SendOnEach, WhenEveryCardFailsTheFirstSystemErrorIsRaised) {
  const std::vector<BroadcastInterface> cards{{"wlan0", 1}, {"eth0", 2}};
  int calls = 0;
  try {
    SendOnEach(cards, [&](const BroadcastInterface& c) {
      ++calls;
      throw std::system_error(c.name == "wlan0" ? ENETDOWN : ENETUNREACH, std::generic_category(),
                              "sendmsg " + c.name);
    });
    FAIL() << "no error raised";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code().value(), ENETDOWN);
    EXPECT_NE(std::string(e.what()).find("wlan0"), std::string::npos);
  }
  EXPECT_EQ(calls, 2) << "every card is tried before giving up";
}

TEST(SendOnEach, ErrorsOtherThanSystemErrorsAreNotSwallowed) {
  // Only a card's send failure is the card's own problem; anything else is a fault and goes up.
  const std::vector<BroadcastInterface> cards{{"eth0", 1}, {"eth1", 2}};
  EXPECT_THROW(SendOnEach(cards, [](const BroadcastInterface&) { throw std::bad_alloc(); }),
               std::bad_alloc);
}

}  // namespace
}  // namespace zav
