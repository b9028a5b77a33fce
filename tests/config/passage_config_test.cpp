#include "config/passage_config.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "link/uerr.h"
#include "link/wire.h"
#include "tests/config/controller_script.h"

namespace zav {
namespace {

using testing::ControllerScript;
using testing::SignedRequest;
using Bytes = std::vector<std::uint8_t>;

constexpr DeviceId Id(unsigned type, unsigned serial) {
  return (type << 16) | serial;
}

// A door controller table: the controller, an I/O module with NC outputs, a reader.
void LoadDoorTable(BusDeviceTable& t, std::uint8_t header) {
  const Bytes r = testing::DeviceTableReply(
      header,
      {testing::Entry(0x312C0042, 0, 0, 4, 0, 8, 2), testing::Entry(Id(700, 1), 0, 0, 8, 0, 8, 0),
       testing::Entry(Id(701, 2), 0, 0, 0, 8, 8, 0), testing::Entry(Id(5, 3), 0, 0, 0, 0, 2, 2)});
  ASSERT_TRUE(t.Decode(r.data(), static_cast<int>(r.size())));
}

// A reply record with every byte distinct, references chosen by the caller.
Bytes RecordReply(std::uint8_t kind, std::uint8_t n0, std::uint8_t seed) {
  Bytes r = {kind, n0, 8, 4, 0xEE, 0xEE, 0xEE, 0xEE};
  for (int i = 0; i < kRecordLen; ++i) r.push_back(static_cast<std::uint8_t>(seed + i));
  for (int i = 0; i < 20; ++i) PutU16(r.data() + 8 + 2 * i, kNone);
  r[8 + 40 + 4] = 10;  // bolt time
  r[8 + 40 + 5] = 20;
  r[8 + 40 + 6] = 30;  // open time
  r[8 + 40 + 7] = 40;
  return r;
}

Bytes ControllerIoReply() {
  Bytes r = {16, 8, 8, 4, 0, 0, 0, 0};
  for (int i = 0; i < 16; ++i) r.push_back(0xFF), r.push_back(0xFF);
  PutU16(r.data() + 8, 0x0001);   // airlock 1 output on the controller
  PutU16(r.data() + 24, 0x0080);  // airlock 1 input, NC
  r.resize(48, 0x77);             // reader slots the controller may send
  return r;
}

struct DoorFixture : ::testing::Test {
  DoorFixture() {
    ctl.answer = [this](const SignedRequest& r) -> std::optional<Bytes> {
      if (r.letter == 'c') return testing::Ack();
      if (r.letter != 'C' || r.payload.size() != 2) return std::nullopt;
      if (r.payload[0] == 16) return ControllerIoReply();
      auto it = replies.find(r.payload[1]);
      if (it == replies.end()) return std::nullopt;
      return it->second;
    };
    LoadDoorTable(table, 0x22);
    for (std::uint8_t i = 0; i < 16; ++i)
      replies[i] = RecordReply(1, 8, static_cast<std::uint8_t>(i * 16));
  }
  ControllerScript ctl;
  BusDeviceTable table;
  PassageConfig cfg{table};
  std::map<int, Bytes> replies;
};

std::vector<std::pair<char, Bytes>> Requests(const ControllerScript& c, std::size_t from = 0) {
  std::vector<std::pair<char, Bytes>> out;
  for (std::size_t i = from; i < c.signedRequests.size(); ++i)
    out.emplace_back(c.signedRequests[i].letter, c.signedRequests[i].payload);
  return out;
}

TEST_F(DoorFixture, ReadThenWriteTwoPassagesInExactOrder) {
  UdpDev dev = ctl.MakeDev();
  replies[1][8] = 0x05;  // passage 1 bolt: controller output 6... on device 0, point 5
  replies[1][9] = 0x00;
  cfg.Read(dev);
  ASSERT_TRUE(cfg.complete);
  auto req = Requests(ctl);
  ASSERT_EQ(req.size(), 3u);
  EXPECT_EQ(req[0], (std::pair<char, Bytes>{'C', {16, 0}}));
  EXPECT_EQ(req[1], (std::pair<char, Bytes>{'C', {1, 0}}));
  EXPECT_EQ(req[2], (std::pair<char, Bytes>{'C', {1, 1}}));
  EXPECT_EQ(cfg.controllerIo.outputs[0], 0x0001);
  EXPECT_EQ(cfg.passages[1].outputs[0], 0x0005);
  // Taken marks: controller output 1, input 0 (NC), and passage 1's bolt.
  EXPECT_EQ(table.devices[0].outputsTaken, (1u << 1) | (1u << 5));
  EXPECT_EQ(table.devices[0].inputsTaken, 1u);

  ASSERT_TRUE(cfg.Write(dev));
  req = Requests(ctl, 3);
  ASSERT_EQ(req.size(), 3u);
  EXPECT_EQ(req[0].first, 'c');
  ASSERT_EQ(req[0].second.size(), 42u);
  EXPECT_EQ(req[0].second[0], 16);
  EXPECT_EQ(req[0].second[1], 0);
  EXPECT_EQ(GetU16(req[0].second.data() + 2), 0x0001);
  EXPECT_EQ(GetU16(req[0].second.data() + 18), 0x0080);
  EXPECT_EQ(Bytes(req[0].second.end() - 8, req[0].second.end()), Bytes(8, 0xFF));
  for (int i = 0; i < 2; ++i) {
    const Bytes& p = req[1 + i].second;
    EXPECT_EQ(req[1 + i].first, 'c');
    ASSERT_EQ(p.size(), 106u);
    EXPECT_EQ(p[0], 1);
    EXPECT_EQ(p[1], i);
    // Read unchanged, written unchanged: every byte of the record goes back as it came.
    EXPECT_EQ(Bytes(p.begin() + 2, p.end()), Bytes(replies[i].begin() + 8, replies[i].end()));
  }
}

TEST_F(DoorFixture, EditsChangeOnlyTheirBytes) {
  UdpDev dev = ctl.MakeDev();
  cfg.Read(dev);
  cfg.SetOutput(0, 2, 0x0203, true);  // NC-capable device
  cfg.SetType(0, 3);
  cfg.SetName(0, "Wejście łęk");
  cfg.SetBoltTime(0, 200);
  cfg.SetReaderExit(0, 2, true);
  const std::size_t from = ctl.signedRequests.size();
  ASSERT_TRUE(cfg.Write(dev));
  const Bytes& written = ctl.signedRequests[from + 1].payload;
  Bytes expected(replies[0].begin() + 8, replies[0].end());
  PutU16(expected.data() + 4, 0x0283);
  expected[40] = static_cast<std::uint8_t>((expected[40] & 0xF0) | 3);
  expected[44] = 127;
  expected[40 + 32 + 8] |= 1;
  const std::uint8_t name[16] = {'W', 'e', 'j', 0x9C, 'c', 'i', 'e', ' ', 0xB3, 0xEA, 'k'};
  std::memcpy(expected.data() + 88, name, 16);
  EXPECT_EQ(Bytes(written.begin() + 2, written.end()), expected);
}

TEST_F(DoorFixture, ReadLimitsTimesAndSkipsBadRecords) {
  UdpDev dev = ctl.MakeDev();
  replies[0][8 + 44] = 200;
  replies[0][8 + 46] = 128;
  replies[0][8 + 47] = 255;
  replies[0][8 + 48] = 200;  // not a time: kept
  replies[1][1] = 0x88;      // a lift header
  cfg.passages[1].params.kept1 = 0x42;
  cfg.Read(dev);
  EXPECT_EQ(cfg.passages[0].params.boltTime, 127);
  EXPECT_EQ(cfg.passages[0].params.openTime, 127);
  EXPECT_EQ(cfg.passages[0].params.kept7, 127);
  EXPECT_EQ(cfg.passages[0].params.kept8[0], 200);
  EXPECT_EQ(cfg.passages[1].params.kept1, 0x42);  // unchanged
  // A record the controller did not deliver must not be written back over it.
  EXPECT_FALSE(cfg.complete);
  const std::size_t sent = ctl.signedRequests.size();
  EXPECT_FALSE(cfg.Write(dev));
  EXPECT_EQ(ctl.signedRequests.size(), sent);
}

TEST_F(DoorFixture, FailureMidReadKeepsDecodedRecordsAndBlocksWrite) {
  UdpDev dev = ctl.MakeDev();
  cfg.Read(dev);
  ASSERT_TRUE(cfg.complete);
  cfg.passages[1].params.kept1 = 0x99;   // old contents of passage 1
  replies.erase(1);                      // the controller falls silent at passage 1
  replies[0][8 + 41] = 0x55;             // new contents of passage 0
  table.devices[0].outputsTaken = 0xF0;  // marks from before the read
  EXPECT_THROW(cfg.Read(dev), UErr);
  EXPECT_FALSE(cfg.complete);
  EXPECT_EQ(cfg.passages[0].params.kept1, 0x55);
  EXPECT_EQ(cfg.passages[1].params.kept1, 0x99);
  EXPECT_EQ(table.devices[0].outputsTaken, 0xF0u);  // MarkTaken not performed
  const std::size_t sent = ctl.signedRequests.size();
  EXPECT_FALSE(cfg.Write(dev));
  EXPECT_EQ(ctl.signedRequests.size(), sent);

  replies[1] = RecordReply(1, 8, 16);
  cfg.Read(dev);
  EXPECT_TRUE(cfg.complete);
  EXPECT_TRUE(cfg.Write(dev));
}

TEST_F(DoorFixture, WriteRefusesOtherControllerOrChangedTable) {
  UdpDev dev = ctl.MakeDev();
  cfg.Read(dev);
  UdpDev other = dev;
  other.id = 0x312C0043;
  EXPECT_FALSE(cfg.Write(other));
  LoadDoorTable(table, 0x28);  // now reports 8 passages: only 2 were read
  EXPECT_FALSE(cfg.Write(dev));
  LoadDoorTable(table, 0x41);  // a lift controller
  EXPECT_FALSE(cfg.Write(dev));
  const std::size_t sent = ctl.signedRequests.size();
  cfg.Read(dev);  // nothing to read for a lift
  EXPECT_EQ(ctl.signedRequests.size(), sent);
  EXPECT_FALSE(cfg.complete);
}

TEST_F(DoorFixture, ReadSkippedOutsideServiceModes) {
  UdpDev dev = ctl.MakeDev();
  cfg.Read(dev);
  dev.mode = 0x81;  // Blokada
  const std::size_t sent = ctl.signedRequests.size();
  cfg.Read(dev);
  EXPECT_EQ(ctl.signedRequests.size(), sent);
  EXPECT_FALSE(cfg.complete);
}

TEST_F(DoorFixture, DoorSensorFollowsTheBolt) {
  cfg.SetOutput(0, 0, 0x0200, false);
  cfg.SetInput(0, 1, 0x0205, false);
  cfg.SetOutput(0, 0, 0x0203, false);
  EXPECT_EQ(cfg.passages[0].inputs[1], 0x0205);
  cfg.SetOutput(0, 0, 0x0100, false);
  EXPECT_EQ(cfg.passages[0].inputs[1], kNone);
  EXPECT_EQ(table.devices[2].inputsTaken, 0u);
  cfg.SetInput(0, 1, 0x0102, true);
  cfg.SetOutput(0, 0, kNone, false);
  EXPECT_EQ(cfg.passages[0].inputs[1], kNone);
  EXPECT_EQ(table.devices[1].inputsTaken, 0u);
  cfg.SetInput(0, 1, 0x0102, false);
  cfg.SetOutput(0, 1, 0x0300, false);  // other outputs never touch the sensor
  EXPECT_EQ(cfg.passages[0].inputs[1], 0x0102);
  cfg.SetOutput(16, 0, 0x0000, false);  // out of range: nothing
  EXPECT_EQ(table.devices[0].outputsTaken, 0u);
}

TEST(PassageAirlocks, ItemsForTwoEightAndSixteenPassages) {
  BusDeviceTable t;
  PassageConfig cfg(t);
  LoadDoorTable(t, 0x30);  // 16 passages, 8 airlocks
  EXPECT_EQ(cfg.AirlockCount(), 8);
  EXPECT_EQ(cfg.FirstAirlockMax(), 7);
  cfg.passages[0].params.airlockFlags = 0x07;
  EXPECT_EQ(cfg.FirstAirlockItem(0), 0);
  EXPECT_EQ(cfg.SecondAirlockItem(0), 0);
  cfg.passages[0].params.airlockFlags = 0x3E;
  EXPECT_EQ(cfg.FirstAirlockItem(0), 7);
  EXPECT_EQ(cfg.SecondAirlockItem(0), 7);
  cfg.passages[0].params.airlockFlags = 0xC0;
  cfg.SetAirlocks(0, 0, 0);
  EXPECT_EQ(cfg.passages[0].params.airlockFlags, 0xC7);
  cfg.SetAirlocks(0, 3, 7);
  EXPECT_EQ(cfg.passages[0].params.airlockFlags, 0xC0 | (7 << 3) | 2);
  cfg.SetAirlocks(0, -1, 2);  // no item chosen: ignored
  cfg.SetAirlocks(0, 8, 2);
  EXPECT_EQ(cfg.passages[0].params.airlockFlags, 0xC0 | (7 << 3) | 2);

  LoadDoorTable(t, 0x28);  // 8 passages, 4 airlocks
  EXPECT_EQ(cfg.AirlockCount(), 4);
  EXPECT_EQ(cfg.FirstAirlockMax(), 4);
  cfg.passages[0].params.airlockFlags = 5 | (4 << 3);
  EXPECT_EQ(cfg.FirstAirlockItem(0), 0);
  EXPECT_EQ(cfg.SecondAirlockItem(0), 0);
  cfg.passages[0].params.airlockFlags = 3 | (3 << 3);
  EXPECT_EQ(cfg.FirstAirlockItem(0), 4);
  EXPECT_EQ(cfg.SecondAirlockItem(0), 3);

  LoadDoorTable(t, 0x22);  // 2 passages, 2 airlocks
  EXPECT_EQ(cfg.AirlockCount(), 2);
  EXPECT_EQ(cfg.FirstAirlockMax(), 2);
  cfg.SetAirlocks(0, 2, 1);
  EXPECT_EQ(cfg.passages[0].params.airlockFlags & 0x3F, 1 | (1 << 3));
  EXPECT_EQ(cfg.FirstAirlockItem(0), 2);
  EXPECT_EQ(cfg.SecondAirlockItem(0), 1);
}

TEST(PassageFields, TypeFlagsNamesAndTimes) {
  BusDeviceTable t;
  PassageConfig cfg(t);
  cfg.passages[3].params.type = 0x53;
  cfg.SetType(3, 4);
  EXPECT_EQ(cfg.passages[3].params.type, 0x54);
  cfg.passages[3].params.airlockFlags = 0x1B;
  cfg.SetHandleOpening(3, true);
  cfg.SetFullBoltPulse(3, true);
  cfg.SetHandleOpening(3, false);
  EXPECT_EQ(cfg.passages[3].params.airlockFlags, 0x9B);
  cfg.SetOpenTime(3, -4);
  EXPECT_EQ(cfg.passages[3].params.openTime, 0);

  cfg.SetName(3, "Drzwi główne 123");  // 16 characters: one too many
  const std::uint8_t* n = cfg.passages[3].params.name;
  EXPECT_EQ(n[15], 0);
  EXPECT_NE(n[14], 0);
  EXPECT_EQ(cfg.Name(3), "Drzwi główne 12");
  std::memset(cfg.passages[3].params.name, 'x', 16);  // no NUL at all
  EXPECT_EQ(cfg.Name(3), std::string(15, 'x'));
  cfg.passages[3].params.name[16 - 1] = 'x';
  cfg.SetName(3, "ab");
  EXPECT_EQ(Bytes(n, n + 16), (Bytes{'a', 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  cfg.SetName(16, "x");
  EXPECT_EQ(cfg.Name(16), "");
}

}  // namespace
}  // namespace zav
