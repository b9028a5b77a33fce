// Discovery and the controller set: order, capacity, selection, time stamps, filtering.
#include "link/udpdevset.h"
#include "tests/link/link_fixture.h"

namespace zav::testing {
namespace {

constexpr const char* kBroadcast = "255.255.255.255";

class DiscoveryTest : public LinkTest {
 protected:
  std::vector<Datagram> SentTo(const std::string& addr) const {
    std::vector<Datagram> out;
    for (const auto& d : ep.sent)
      if (d.addr == addr) out.push_back(d);
    return out;
  }
  std::vector<DeviceId> Ids() const {
    std::vector<DeviceId> ids;
    for (int i = 0; i < set.count; ++i) ids.push_back(set.devs[i].id);
    return ids;
  }

  UdpDevSet set;
};

TEST_F(DiscoveryTest, EmptyNetworkIsAskedThreeTimesWithAQuietWaitAfterEach) {
  const auto t0 = clock.NowMs();
  set.Search();
  const auto out = SentTo(kBroadcast);
  ASSERT_EQ(3u, out.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    EXPECT_EQ(t0 + 200 * i, out[i].atMs);
    EXPECT_EQ(kPort, out[i].port);
    const auto req = DiscoveryRequest();
    EXPECT_EQ(std::vector<std::uint8_t>(req.begin(), req.end()), out[i].bytes);
  }
  EXPECT_EQ(t0 + 600, clock.NowMs());
  EXPECT_EQ(0, set.count);
}

TEST_F(DiscoveryTest, SearchStopsOnceControllersAnswerAndStampsEachOnce) {
  FakeController a(ep, 0x31310042, "10.1.1.7");
  FakeController b(ep, 0x31310010, "10.1.1.9");
  clock.utcSeconds = 0x6543210F;
  set.Search();
  EXPECT_EQ(1u, SentTo(kBroadcast).size());
  EXPECT_EQ((std::vector<DeviceId>{0x31310010, 0x31310042}), Ids());
  EXPECT_EQ(0x0A010109u, set.devs[0].ip);
  EXPECT_TRUE(set.devs[0].available);
  EXPECT_EQ(2, set.devs[0].mode);
  for (auto* c : {&a, &b}) {
    const auto stamps = c->Requests('T');
    ASSERT_EQ(1u, stamps.size());
    EXPECT_EQ((std::vector<std::uint8_t>{0x0F, 0x21, 0x43, 0x65}), stamps[0].payload);
    EXPECT_TRUE(stamps[0].authentic);
  }
  EXPECT_EQ(kPort, SentTo("10.1.1.7").back().port);

  // Asked again, nothing is new: three broadcasts and no stamps.
  ep.sent.clear();
  set.Search();
  EXPECT_EQ(3u, SentTo(kBroadcast).size());
  EXPECT_EQ(1u, a.Requests('T').size());
}

TEST_F(DiscoveryTest, OrderKeyIgnoresTheTopBitsAndEqualKeysKeepArrivalOrder) {
  EXPECT_TRUE(set.Add(0x31310042, 1, 2));
  EXPECT_TRUE(set.Add(0x35310041, 2, 2));
  EXPECT_TRUE(set.Add(0x35310042, 3, 2));  // same key as the first, added later
  EXPECT_TRUE(set.Add(0x3131FFFF, 4, 2));
  EXPECT_TRUE(set.Add(0x30000001, 5, 2));
  EXPECT_EQ((std::vector<DeviceId>{0x30000001, 0x35310041, 0x31310042, 0x35310042, 0x3131FFFF}),
            Ids());
  EXPECT_FALSE(set.Add(0x35310042, 3, 2));
  EXPECT_EQ(5, set.count);
}

TEST_F(DiscoveryTest, InsertionInFrontOfTheSelectedControllerFollowsIt) {
  struct Case {
    DeviceId inserted;
    int selectedAfter;
  };
  // Slots hold serials 10, 20, 30, 40; slot 2 (serial 30) is selected.
  const Case cases[] = {
      {0x31310005, 3}, {0x31310019, 3}, {0x3131001D, 3}, {0x31310023, 2}, {0x31310063, 2}};
  for (const auto& k : cases) {
    UdpDevSet s;
    for (DeviceId serial : {10u, 20u, 30u, 40u}) s.Add(0x31310000 + serial, serial, 2);
    s.selected = 2;
    ASSERT_TRUE(s.Add(k.inserted, 1, 2));
    EXPECT_EQ(k.selectedAfter, s.selected) << std::hex << k.inserted;
    EXPECT_EQ(0x3131001Eu, s.devs[s.selected].id);
  }
  UdpDevSet none;
  none.Add(0x31310010, 1, 2);
  none.Add(0x31310001, 1, 2);
  EXPECT_EQ(-1, none.selected);
}

TEST_F(DiscoveryTest, FullSetRefusesTheHundredAndFirstButUpdatesKnownOnes) {
  for (DeviceId i = 0; i < 100; ++i) ASSERT_TRUE(set.Add(0x31310100 + i, i, 2));
  ep.Queue(StatusReply(0x31310001, 2), "10.9.9.9");  // would sort first
  ep.Queue(StatusReply(0x31310200, 2), "10.9.9.8");  // would go last
  EXPECT_FALSE(set.Collect(0));
  EXPECT_EQ(100, set.count);
  EXPECT_EQ(0x31310100u, set.devs[0].id);
  EXPECT_EQ(0x31310163u, set.devs[99].id);
  EXPECT_TRUE(ep.sent.empty());

  ep.Queue(StatusReply(0x31310105, 3), "0.0.0.5");
  EXPECT_TRUE(set.Collect(0));
  EXPECT_EQ(3, set.devs[5].mode);
  EXPECT_EQ(1u, ep.sent.size());
}

TEST_F(DiscoveryTest, KnownControllerMovingToANewAddressIsUpdatedInPlace) {
  set.Add(0x31310010, 0x0A000001, 0x82);
  set.Add(0x31310042, 0x0A000002, 0x82);
  UdpDev& d = set.devs[1];
  d.session = true;
  d.seq = 9;
  d.key[0] = 0x77;
  d.available = false;

  ep.Queue(StatusReply(0x31310042, 0x82), "10.0.0.2", 0, 5000);
  EXPECT_FALSE(set.Collect(0));
  EXPECT_TRUE(ep.sent.empty());

  clock.utcSeconds = 1234567;
  ep.Queue(StatusReply(0x31310042, 0x82), "10.0.0.99", 0, 5000);
  EXPECT_TRUE(set.Collect(0));
  EXPECT_EQ(0x31310042u, d.id);
  EXPECT_EQ(0x0A000063u, d.ip);
  EXPECT_TRUE(d.session);
  EXPECT_FALSE(d.available);
  EXPECT_EQ(9, d.seq);
  EXPECT_EQ(0x77, d.key[0]);
  ASSERT_EQ(1u, ep.sent.size());
  EXPECT_EQ("10.0.0.99", ep.sent[0].addr);
  EXPECT_EQ(kPort, ep.sent[0].port);  // not the port the reply came from
  const auto stamp = TimeStampFrame(0x31310042, 1234567);
  EXPECT_EQ(std::vector<std::uint8_t>(stamp.begin(), stamp.end()), ep.sent[0].bytes);
}

TEST_F(DiscoveryTest, CollectDropsEverythingButAValidControllerStatus) {
  auto good = StatusReply(0x31310042, 2);
  std::vector<std::vector<std::uint8_t>> bad;
  bad.push_back(std::vector<std::uint8_t>(good.begin(), good.end() - 1));
  auto longer = PlainReply('O', 0x31310042, std::vector<std::uint8_t>(17, '1'));
  bad.push_back(longer);
  bad.push_back(StatusReply(0x21310042, 2));
  bad.push_back(StatusReply(0x41310042, 2));
  bad.push_back(StatusReply(0xFFFFFFFF, 2));
  auto crc = good;
  crc[25] ^= 0x10;
  bad.push_back(crc);
  bad.push_back(PlainReply('K', 0x31310042, std::vector<std::uint8_t>(16, 0)));
  const auto req = DiscoveryRequest();
  bad.push_back(std::vector<std::uint8_t>(req.begin(), req.end()));
  bad.push_back({});
  for (auto& b : bad) ep.Queue(b, "10.0.0.2");
  EXPECT_FALSE(set.Collect(0));
  EXPECT_EQ(0, set.count);
  EXPECT_TRUE(ep.sent.empty());

  // The status marker is not looked at during discovery.
  ep.Queue(StatusReply(0x31310042, 2, false), "10.0.0.2", 150);
  EXPECT_TRUE(set.Collect(200));
  EXPECT_EQ(1, set.count);
}

}  // namespace
}  // namespace zav::testing
