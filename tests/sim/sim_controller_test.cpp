// The simulated controller driven in memory: what it answers, what it stores, what it refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <regex>
#include <set>

#include "sim/scenario.h"
#include "sim/sim_controller.h"
#include "sim/sim_network.h"

namespace zav::sim {
namespace {

constexpr DeviceId kId = 0x31340010;  // K108_00016
constexpr Peer kTool{0x0A4D0001, 45389};
constexpr Peer kOtherTool{0x0A4D0002, 45389};

Bytes PlainReq(char letter, DeviceId id, Bytes payload = {}) {
  Bytes f(payload.size() + 12);
  BuildPlainFrame(letter, id, payload.data(), payload.size(), f.data());
  return f;
}

// A tool's side of one session, signing with the link's own code.
struct Client {
  Client(SimController& ctl, Peer p) : c(ctl), peer(p) {}
  SimController& c;
  Peer peer;
  std::uint8_t key[16] = {};
  std::uint16_t seq = 0;
  SigningContext sign;

  bool Open(std::uint64_t now) {
    auto r = Send(PlainReq('K', c.id), now);
    if (r.size() != 1 || r[0].size() != 28) return false;
    std::memcpy(key, &r[0][8], 16);
    DeriveSessionKey(sign, key);
    return true;
  }
  std::vector<Bytes> Send(const Bytes& f, std::uint64_t now) {
    return c.Handle(f.data(), f.size(), peer, now);
  }
  Bytes SignedReq(char letter, Bytes payload = {}, bool spoil = false) {
    Bytes f(payload.size() + 19);
    BuildSignedFrameBody(c.id, ++seq, letter, payload.data(), payload.size(), f.data());
    sign.aes.SetKey(key, 16);
    FrameSignature(sign, f.data(), f.size() - 8, &f[f.size() - 8]);
    if (spoil) f.back() ^= 1;
    return f;
  }
  // Sends a signed command; returns the reply payload after checking framing and signature,
  // or nullopt when nothing came.
  std::optional<Bytes> Cmd(char letter, Bytes payload, std::uint64_t now) {
    auto r = Send(SignedReq(letter, std::move(payload)), now);
    if (r.empty()) return std::nullopt;
    EXPECT_EQ(r.size(), 1u);
    const Bytes& d = r[0];
    EXPECT_TRUE(IsSignedReply(c.id, letter, d.data(), d.size()));
    EXPECT_EQ(GetU16(&d[8]), seq);
    std::uint8_t sig[8];
    sign.aes.SetKey(key, 16);
    FrameSignature(sign, d.data(), d.size() - 8, sig);
    EXPECT_EQ(0, std::memcmp(sig, &d[d.size() - 8], 8)) << "reply signature";
    return Bytes(d.begin() + 11, d.end() - 8);
  }
};

SimController MakeDoor(std::uint8_t mode = 2, std::uint8_t passages = 2) {
  SimController c(kId, 0x0A4D000A, mode);
  c.SetController(kDoorKind, passages);
  c.bus.push_back({kId, {1, 0, 4, 0, 8, 2, 0, 0}, 0});
  return c;
}

TEST(SimStatus, ReplyLayoutModeSessionBitAndAddressing) {
  SimController c = MakeDoor(3);
  auto r = c.Handle(DiscoveryRequest().data(), 12, kTool, 0);
  ASSERT_EQ(r.size(), 1u);
  const Bytes& d = r[0];
  ASSERT_EQ(d.size(), 28u);
  EXPECT_TRUE(IsDiscoveryStatus(d.data(), d.size()));
  EXPECT_EQ(GetU32(&d[4]), kId);
  EXPECT_EQ(d[10], 0x03);
  EXPECT_EQ(d[11], '1');

  Client t{c, kTool};
  ASSERT_TRUE(t.Open(0));
  auto polled = c.Handle(PlainReq('O', kId).data(), 12, kOtherTool, 10);
  ASSERT_EQ(polled.size(), 1u);
  EXPECT_EQ(polled[0][10], 0x83) << "a held session shows to every client";

  EXPECT_TRUE(c.Handle(PlainReq('O', kId + 1).data(), 12, kTool, 20).empty());
  Bytes bad = PlainReq('O', kId);
  bad[11] ^= 1;
  EXPECT_TRUE(c.Handle(bad.data(), bad.size(), kTool, 30).empty()) << "wrong checksum";
  c.silent = true;
  EXPECT_TRUE(c.Handle(PlainReq('O', kId).data(), 12, kTool, 40).empty());
}

TEST(SimStatus, OtherFamiliesAnswerStatusOnly) {
  SimController other(0x30780328, 0x0A4D0011, 1);  // T120_00808
  EXPECT_EQ(other.Handle(PlainReq('O', other.id).data(), 12, kTool, 0).size(), 1u);
  EXPECT_TRUE(other.Handle(PlainReq('K', other.id).data(), 12, kTool, 0).empty());
  const auto stamp = TimeStampFrame(other.id, 1'700'000'123);
  EXPECT_TRUE(other.Handle(stamp.data(), stamp.size(), kTool, 0).empty()) << "never answered";
  EXPECT_EQ(other.timeStamps, 1) << "but every device keeps the time it is given";
  EXPECT_EQ(other.lastTime, 1'700'000'123u);
  const auto elsewhere = TimeStampFrame(other.id + 1, 5);
  other.Handle(elsewhere.data(), elsewhere.size(), kTool, 0);
  EXPECT_EQ(other.timeStamps, 1) << "a stamp for another device";
}

TEST(SimSession, SignatureIsCheckedAndRepliesAreSigned) {
  SimController c = MakeDoor();
  Client t{c, kTool};
  ASSERT_TRUE(t.Open(0));
  auto ack = t.Cmd('S', {}, 100);
  ASSERT_TRUE(ack);
  EXPECT_EQ(*ack, Bytes{kAck});

  EXPECT_TRUE(t.Send(t.SignedReq('D', {}, true), 200).empty()) << "wrong signature: silence";
  EXPECT_EQ(c.rejectedSignatures, 1);

  Client stranger{c, kTool};  // right address, but no key
  EXPECT_TRUE(stranger.Send(stranger.SignedReq('S'), 300).empty());
}

TEST(SimSession, ForeignClientIsRefusedUntilTheSessionExpires) {
  SimController c = MakeDoor();
  c.sessionTimeoutMs = 30'000;
  Client first{c, kTool};
  Client second{c, kOtherTool};
  ASSERT_TRUE(first.Open(0));
  auto denied = second.Send(PlainReq('K', kId), 1000);
  ASSERT_EQ(denied.size(), 1u);
  EXPECT_EQ(denied[0].size(), 12u) << "no 16-byte answer while another client holds it";

  ASSERT_TRUE(first.Cmd('S', {}, 25'000));  // keep-alive moves the expiry
  EXPECT_FALSE(second.Open(50'000));
  EXPECT_TRUE(second.Open(55'000));  // 30 s after the last keep-alive
  EXPECT_FALSE(first.Cmd('S', {}, 55'100)) << "the old key no longer signs";

  ASSERT_TRUE(second.Cmd('s', {}, 56'000));
  EXPECT_FALSE(c.session.open);
  EXPECT_EQ(c.StatusMode() & 0x80, 0);
  EXPECT_TRUE(first.Open(56'100));
}

TEST(SimSession, NoSessionOutsideServiceModes) {
  for (std::uint8_t mode : {0, 1}) {
    SimController c = MakeDoor(mode);
    Client t{c, kTool};
    EXPECT_FALSE(t.Open(0)) << "mode " << int(mode);
  }
}

TEST(SimCommands, DeviceTablePayload) {
  SimController c = MakeDoor(2, 8);
  c.AddBusDevice(0x10690001, {3, kNew | kTamper, 0x82, 4, 5, 1, 0, 0});
  Client t{c, kTool};
  ASSERT_TRUE(t.Open(0));
  auto p = t.Cmd('D', {}, 10);
  ASSERT_TRUE(p);
  ASSERT_EQ(p->size(), 6u + 24);
  EXPECT_EQ(GetU16(p->data()), 2);
  EXPECT_EQ((*p)[2], 0x28);  // kind 1, 8 passages
  EXPECT_EQ(GetU32(&(*p)[6]), kId);
  EXPECT_EQ(GetU32(&(*p)[18]), 0x10690001u);
  EXPECT_EQ((*p)[23], kNew | kTamper);
  EXPECT_EQ((*p)[24], 0x82);
}

TEST(SimCommands, BlocksReadWriteAndRefuseBadWrites) {
  SimController c = MakeDoor(2, 2);
  const int pos = c.AddBusDevice(0x10690001, {1, kNew, 0, 0, 1, 1, 0, 0});
  Client t{c, kTool};
  ASSERT_TRUE(t.Open(0));

  auto own = t.Cmd('C', {16, 0}, 10);
  ASSERT_TRUE(own);
  ASSERT_EQ(own->size(), 48u);
  EXPECT_EQ(Bytes(own->begin(), own->begin() + 4), (Bytes{16, 8, 8, 4}));

  Bytes rec(104);
  for (std::size_t i = 0; i < rec.size(); ++i) rec[i] = static_cast<std::uint8_t>(i * 7 + 1);
  Bytes w{1, 1};
  w.insert(w.end(), rec.begin(), rec.end());
  EXPECT_EQ(t.Cmd('c', w, 20), Bytes{kAck});
  auto back = t.Cmd('C', {1, 1}, 30);
  ASSERT_TRUE(back);
  EXPECT_EQ(Bytes(back->begin(), back->begin() + 4), (Bytes{1, 8, 8, 4}));
  EXPECT_EQ(Bytes(back->begin() + 8, back->end()), rec);
  EXPECT_EQ(c.bus[pos].attr[1] & kNew, 0) << "a passage write accepts the device list";

  Bytes shortWrite{1, 0, 1, 2, 3};
  EXPECT_EQ(t.Cmd('c', shortWrite, 40), Bytes{kNak});
  Bytes beyond{1, 2};  // passage 2 of a 2-passage controller
  beyond.insert(beyond.end(), rec.begin(), rec.end());
  EXPECT_EQ(t.Cmd('c', beyond, 50), Bytes{kNak});
  EXPECT_EQ(c.FindBlock(1, 2), nullptr);
  EXPECT_EQ(t.Cmd('C', {2, 0}, 60), Bytes{}) << "a door controller has no lift block";

  c.mode = 1;  // Konfiguracja: nothing read or written
  EXPECT_EQ(t.Cmd('c', w, 70), Bytes{kNak});
  EXPECT_EQ(t.Cmd('D', {}, 80), Bytes{});
}

TEST(SimCommands, ControllerBlockWriteKeepsNewFlags) {
  SimController c = MakeDoor();
  const int pos = c.AddBusDevice(0x10690001, {1, kNew, 0, 0, 1, 1, 0, 0});
  Client t{c, kTool};
  ASSERT_TRUE(t.Open(0));
  Bytes w{16, 0};
  w.resize(42, 0xFF);
  EXPECT_EQ(t.Cmd('c', w, 10), Bytes{kAck});
  EXPECT_NE(c.bus[pos].attr[1] & kNew, 0);
}

// Door controller with: 1 lock (bolt), 2 reader (inactive), 3 reader (new), 4 module (inactive).
struct BusFixture : ::testing::Test {
  SimController c = MakeDoor(3, 2);
  void SetUp() override {
    c.AddBusDevice(0x10D20001, {1, 0, 1, 0, 2, 0, 0, 0});
    c.AddBusDevice(0x10690002, {1, kInactive, 0, 0, 1, 1, 0, 0});
    c.AddBusDevice(0x10690003, {2, kNew, 0, 0, 1, 1, 0, 0});
    c.AddBusDevice(0x12C40004, {1, kInactive, 0, 8, 8, 0, 0, 0});
    Block* p = c.FindBlock(1, 0);
    PutU16(&p->record[0], 0x0100);                   // bolt: lock output 0
    PutU16(&p->record[32], 0x0200);                  // reader 1: old reader
    PutU16(&p->record[18], 0x0483);                  // door sensor (NC) on the module, input 3
    PutU16(&c.FindBlock(16, 0)->record[2], 0x0285);  // a controller output on the old reader
  }
  std::uint16_t Ref(std::uint8_t kind, std::uint8_t index, std::size_t slot) {
    return GetU16(&c.FindBlock(kind, index)->record[2 * slot]);
  }
};

TEST_F(BusFixture, ReplaceMovesBindingsAndKeepsPositions) {
  Client t{c, kTool};
  ASSERT_TRUE(t.Open(0));
  EXPECT_EQ(t.Cmd('R', {2, 3}, 1000), Bytes{kAck});  // old 2, new 3
  EXPECT_EQ(Ref(1, 0, 16), 0x0300);
  EXPECT_EQ(Ref(16, 0, 1), 0x0385) << "NC flag and point kept";
  EXPECT_EQ(Ref(1, 0, 0), 0x0100) << "other bindings untouched";
  ASSERT_EQ(c.bus.size(), 5u);
  EXPECT_TRUE(c.bus[2].Empty());
  EXPECT_EQ(c.bus[3].id, 0x10690003u);
  EXPECT_EQ(c.bus[3].attr[1] & (kInactive | kNew), kInactive);

  c.Advance(1000 + kReplaceInactiveMs - 1);
  EXPECT_NE(c.bus[3].attr[1] & kInactive, 0);
  EXPECT_EQ(t.Cmd('F', {}, 1000 + kReplaceInactiveMs - 1), Bytes{kAck});
  EXPECT_EQ(c.bus[3].id, 0x10690003u) << "a re-initialising replacement is not removed";
  c.Advance(1000 + kReplaceInactiveMs);
  EXPECT_EQ(c.bus[3].attr[1] & kInactive, 0);
}

TEST_F(BusFixture, ReplaceRefusesPairsThatDoNotFit) {
  Client t{c, kTool};
  ASSERT_TRUE(t.Open(0));
  const auto before = c.bus;
  const auto blocks = c.blocks;
  // Old position in the low byte: a module by a reader (other type), the new reader "replaced"
  // by the old one, a device by itself, a position beyond the table, position 0.
  for (std::uint16_t pair : {0x0304, 0x0203, 0x0202, 0x0902, 0x0300}) {
    EXPECT_EQ(
        t.Cmd('R', {static_cast<std::uint8_t>(pair), static_cast<std::uint8_t>(pair >> 8)}, 10),
        Bytes{kNak})
        << std::hex << pair;
  }
  EXPECT_EQ(t.Cmd('R', {2}, 20), Bytes{kNak}) << "pair code needs two bytes";
  for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(c.bus[i].attr, before[i].attr);
  EXPECT_EQ(c.blocks.size(), blocks.size());
  EXPECT_EQ(Ref(1, 0, 16), 0x0200);
}

TEST_F(BusFixture, DeleteInactiveEmptiesSlotsAndTrimsTheTail) {
  Client t{c, kTool};
  ASSERT_TRUE(t.Open(0));
  EXPECT_EQ(t.Cmd('F', {}, 10), Bytes{kAck});
  ASSERT_EQ(c.bus.size(), 4u) << "trailing empty slot dropped, others keep their position";
  EXPECT_TRUE(c.bus[2].Empty());
  EXPECT_EQ(c.bus[3].id, 0x10690003u);
  EXPECT_EQ(Ref(1, 0, 16), 0xFFFF) << "bindings to a removed device are cleared";
  EXPECT_EQ(Ref(1, 0, 9), 0xFFFF);
  EXPECT_EQ(Ref(1, 0, 0), 0x0100);
  EXPECT_EQ(c.AddBusDevice(0x10690009, {}), 2) << "a new device takes the first empty slot";
}

TEST(SimNetworkTest, RoutesByAddressAndAppliesFaults) {
  SimNetwork net;
  LoadDefaultScenario(net, 0x0A4D000A);
  const auto disc = DiscoveryRequest();
  auto all = net.Receive(disc.data(), 12, kTool, 0xFFFFFFFF, 0);
  EXPECT_EQ(all.size(), net.devices.size());
  for (const auto& o : all) EXPECT_EQ(o.to, kTool);

  SimController& second = *net.devices[1];
  Bytes poll = PlainReq('O', second.id);
  auto one = net.Receive(poll.data(), 12, kTool, second.ip, 0);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].from, second.ip);

  EXPECT_EQ(net.Control("fault " + DevName(second.id) + " duplicate on", 0), "ok\n");
  EXPECT_EQ(net.Control("fault " + DevName(second.id) + " delay 250", 0), "ok\n");
  auto dup = net.Receive(poll.data(), 12, kTool, second.ip, 1000);
  ASSERT_EQ(dup.size(), 2u);
  EXPECT_EQ(dup[0].dueMs, 1250u);

  EXPECT_EQ(net.Control("fault " + DevName(second.id) + " crc on", 0), "ok\n");
  auto bad = net.Receive(poll.data(), 12, kTool, second.ip, 0);
  ASSERT_FALSE(bad.empty());
  EXPECT_FALSE(IsDiscoveryStatus(bad[0].bytes.data(), bad[0].bytes.size()));

  EXPECT_EQ(net.Control("fault drop 1", 0), "ok\n");
  EXPECT_EQ(net.Receive(disc.data(), 12, kTool, 0xFFFFFFFF, 0).size(), 2u)
      << "only the controller with its own switches still answers (twice)";
  EXPECT_TRUE(net.Receive(poll.data(), 12, kTool, 0x0A4D00F0, 0).empty()) << "nobody there";
}

TEST(SimNetworkTest, GarbageAndMangledFramesChangeNothing) {
  SimNetwork net;
  LoadDefaultScenario(net, 0x0A4D000A);
  SimController& d = *net.devices[3];
  Client t(d, kTool);
  ASSERT_TRUE(t.Open(0));
  // Everything stored, without the count of rejected signatures.
  auto state = [&net] {
    return std::regex_replace(net.Dump(0), std::regex(" bad-signatures=[0-9]+"), "");
  };
  const std::string before = state();
  std::mt19937 rng(99);
  // Valid requests cut short or with one byte changed, and plain noise, at every length.
  Bytes w{1, 0};
  w.resize(106, 0x11);
  const std::vector<Bytes> valid = {t.SignedReq('c', w), t.SignedReq('F'),
                                    t.SignedReq('R', {3, 15}), PlainReq('K', d.id),
                                    PlainReq('Y', d.id, Bytes(530, 1))};
  for (const Bytes& f : valid) {
    for (std::size_t len = 0; len < f.size(); ++len)
      net.Receive(f.data(), len, kTool, 0xFFFFFFFF, 1);
    for (int k = 0; k < 200; ++k) {
      Bytes m = f;
      m[rng() % m.size()] ^= static_cast<std::uint8_t>(1 + rng() % 255);
      net.Receive(m.data(), m.size(), kOtherTool, d.ip, 1);
    }
  }
  for (std::size_t len = 0; len < 300; ++len) {
    Bytes noise(len);
    for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
    if (len > 3) std::memcpy(noise.data(), "MMDC", 4);
    net.Receive(noise.data(), noise.size(), kTool, 0xFFFFFFFF, 1);
  }
  EXPECT_TRUE(state() == before) << "a mangled frame changed the stored state";
  EXPECT_GT(d.rejectedSignatures, 0);
}

TEST(SimNetworkTest, ControlLinesValidateTheirInput) {
  SimNetwork net;
  LoadDefaultScenario(net, 0x0A4D000A);
  const std::string dev = DevName(net.devices[3]->id);
  EXPECT_EQ(net.Control("mode " + dev + " 1", 0), "ok\n");
  EXPECT_EQ(net.devices[3]->mode & 3, 1);
  EXPECT_EQ(net.Control("mode " + dev + " 4", 0).rfind("error:", 0), 0u);
  EXPECT_EQ(net.Control("mode K999_99999 1", 0).rfind("error:", 0), 0u);
  EXPECT_EQ(net.Control("inactive " + dev + " 200 on", 0).rfind("error:", 0), 0u);
  EXPECT_EQ(net.Control("fault drop 1.5", 0).rfind("error:", 0), 0u);
  EXPECT_EQ(net.Control("add " + dev + " 0xFFFF0001", 0).rfind("error:", 0), 0u);
  EXPECT_EQ(net.Control("add " + dev + " 0x10690077 01 00 00 00 01 01 00 zz", 0).rfind("error:", 0),
            0u);
  const std::string added = net.Control("add 10.77.0.13 0x10690077 05", 0);
  EXPECT_EQ(added.rfind("ok position ", 0), 0u) << added;
  const BusEntry& e = net.devices[3]->bus.back();
  EXPECT_EQ(e.id, 0x10690077u);
  EXPECT_EQ(e.attr[0], 5);
  EXPECT_NE(e.attr[1] & kNew, 0);

  const std::string dump = net.Dump(0);
  EXPECT_NE(dump.find("BUS " + dev + " " + std::to_string(net.devices[3]->bus.size() - 1) +
                      " 0x10690077 05100000"),
            std::string::npos);
  EXPECT_NE(dump.find("BLOCK " + dev + " 16 0 "), std::string::npos);
}

// "refuse" breaks a write or an upload at one exact block, however well formed the request.
TEST(SimNetworkTest, RefusedBlocksAnswerNakAndStoreNothing) {
  SimNetwork net;
  SimController& c = net.AddController(std::make_unique<SimController>(MakeDoor(2, 2)));
  const std::string dev = DevName(c.id);
  Client t{c, kTool};
  ASSERT_TRUE(t.Open(0));
  Bytes w{1, 1};
  w.resize(2 + 104, 0x5C);
  Bytes other = w;
  other[1] = 0;

  EXPECT_EQ(net.Control("refuse " + dev + " block 1 1 on", 0), "ok\n");
  const Bytes before = c.FindBlock(1, 1)->record;
  EXPECT_EQ(t.Cmd('c', w, 10), Bytes{kNak});
  EXPECT_EQ(c.FindBlock(1, 1)->record, before);
  EXPECT_EQ(t.Cmd('c', other, 20), Bytes{kAck}) << "only the named block is refused";
  EXPECT_EQ(net.Control("refuse " + dev + " block 1 1 off", 0), "ok\n");
  EXPECT_EQ(t.Cmd('c', w, 30), Bytes{kAck});

  EXPECT_EQ(net.Control("refuse " + dev + " firmware 3 on", 0), "ok\n");
  for (std::uint16_t n : {2, 3, 4}) {
    Bytes y(2 + 528, 0);
    PutU16(y.data(), n);
    const auto r = t.Send(PlainReq('Y', c.id, y), 40);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0][8], n == 3 ? kNak : kAck) << n;
  }
  EXPECT_EQ(c.firmwareBlocks, 2);
  EXPECT_EQ(c.lastFirmwareBlock, 4);

  for (const char* bad : {" block 1 1", " block 1 300 on", " firmware 70000 on", " both 1 on"})
    EXPECT_EQ(net.Control("refuse " + dev + bad, 0).rfind("error:", 0), 0u) << bad;
}

TEST(SimScenario, JsonFieldsHexAndErrors) {
  SimNetwork net;
  LoadScenarioText(net, R"({"sessionTimeoutMs": 5000, "devices": [
    {"id": "0x313400ca", "ip": "10.77.0.50", "mode": 3, "kind": "door", "passages": 8,
     "bus": [{"id": "0x313400ca", "attr": "0100040008020000"}, {"id": 275054593, "attr": "01 80 00 00 01 01 00 00"}],
     "blocks": [{"kind": 1, "index": 7, "fields": {"outputs": ["0x0100"], "name": "Wejście", "boltTime": 12}}]},
    {"id": "0x315401f9", "kind": "lift", "blocks": [{"kind": 2, "hex": ")" +
                            std::string(208, 'a') + R"("}]}]})");
  ASSERT_EQ(net.devices.size(), 2u);
  SimController& d = *net.devices[0];
  EXPECT_EQ(d.passageCount, 8);
  EXPECT_EQ(d.sessionTimeoutMs, 5000u);
  EXPECT_EQ(d.bus[1].attr[1], 0x80);
  const Bytes& r = d.FindBlock(1, 7)->record;
  EXPECT_EQ(GetU16(&r[0]), 0x0100);
  EXPECT_EQ(GetU16(&r[2]), 0xFFFF);
  EXPECT_EQ(r[44], 12);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[88])),
            "Wej\x9C"
            "cie");
  EXPECT_EQ(net.devices[1]->ip, 0x0A4D0033u) << "next free address";
  EXPECT_EQ(net.devices[1]->FindBlock(2, 0)->record, Bytes(104, 0xAA));

  const char* bad[] = {
      R"({"devices": [{"id": "0x313400ca", "passages": 4}]})",
      R"({"devices": [{"id": "0x313400ca", "blocks": [{"kind": 1, "hex": "00"}]}]})",
      R"({"devices": [{"id": 1}, {"id": 1}]})",
      R"({"devices": [{"id": "0xFFFFFFFF"}]})",
      R"({"devices": [{"id": "0x313400ca", "ip": "10.77.0"}]})",
      R"({"devices": [{"id": "0x313400ca", "bus": [{"id": 1, "attr": "0102"}]}]})",
      R"({"devices": {}})",
      R"(not json)",
  };
  for (const char* text : bad) {
    SimNetwork n2;
    EXPECT_THROW(LoadScenarioText(n2, text), std::runtime_error) << text;
  }
}

TEST(SimScenario, ShippedExampleLoadsAndServes) {
  SimNetwork net;
  LoadScenarioFile(net, ZAV_SIM_SCENARIO_DIR "/example.json");
  ASSERT_EQ(net.devices.size(), 3u);
  SimController& door = *net.devices[0];
  Client t(door, kTool);
  ASSERT_TRUE(t.Open(0));
  auto p0 = t.Cmd('C', {1, 0}, 10);
  ASSERT_TRUE(p0);
  ASSERT_EQ(p0->size(), 112u);
  EXPECT_EQ(GetU16(&(*p0)[8]), 0x0100);
  EXPECT_EQ(GetU16(&(*p0)[8 + 18]), 0x0100) << "door sensor on the bolt's device";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&(*p0)[48 + 48])),
            "Wej\x9C"
            "cie g\xB3\xF3wne");
  EXPECT_EQ(t.Cmd('R', {3, 4}, 20), Bytes{kAck}) << "inactive reader replaced by the new one";
  EXPECT_THROW(LoadScenarioFile(net, ZAV_SIM_SCENARIO_DIR "/missing.json"), std::runtime_error);
}

TEST(SimScenario, ExtraControllersHaveDistinctIdsAndAddresses) {
  SimNetwork net;
  LoadDefaultScenario(net, 0x0A4D000A);
  AddExtraControllers(net, 120);
  ASSERT_EQ(net.devices.size(), 129u);
  std::set<DeviceId> ids;
  std::set<std::uint32_t> ips;
  for (const auto& c : net.devices) {
    ids.insert(c->id);
    ips.insert(c->ip);
  }
  EXPECT_EQ(ids.size(), 129u);
  EXPECT_EQ(ips.size(), 129u);
}

}  // namespace
}  // namespace zav::sim

namespace zav::sim {
namespace {

TEST(SimNetworkTest, PokeChangesAStoredBlockAndFirmwareBlocksAreLoggedOrRefused) {
  SimNetwork net;
  LoadDefaultScenario(net, 0x0A4D000A);
  SimController& d = *net.devices[1];
  const std::string dev = DevName(d.id);
  EXPECT_EQ(net.Control("poke " + dev + " 1 0 40 05a0", 0), "ok\n");
  EXPECT_EQ(d.FindBlock(kDoorKind, 0)->record[40], 0x05);
  EXPECT_EQ(d.FindBlock(kDoorKind, 0)->record[41], 0xA0);
  EXPECT_EQ(net.Control("poke " + dev + " 1 0 103 0102", 0).rfind("error:", 0), 0u);
  EXPECT_EQ(net.Control("poke " + dev + " 1 9 0 01", 0).rfind("error:", 0), 0u);

  EXPECT_EQ(net.Control("firmware-nak " + dev + " 1", 0), "ok\n");
  Bytes block(530, 0x3C);
  block[0] = 0;
  block[1] = 0;
  auto answer = [&](std::uint16_t n) {
    block[0] = static_cast<std::uint8_t>(n);
    auto r = d.Handle(PlainReq('Y', d.id, block).data(), block.size() + 12, Peer{1, 45389}, 0);
    return r.empty() || r[0].size() < 9 ? -1 : int(r[0][8]);
  };
  EXPECT_EQ(answer(0), kAck);
  EXPECT_EQ(answer(1), kNak);
  std::string hex;
  for (int i = 0; i < 528; ++i) hex += "3c";
  EXPECT_EQ(net.Control("firmware " + dev, 0), "Y 0 " + hex + "\nEND\n");
  EXPECT_EQ(net.Control("firmware-nak " + dev + " off", 0), "ok\n");
  EXPECT_EQ(answer(1), kAck);
}

}  // namespace
}  // namespace zav::sim
