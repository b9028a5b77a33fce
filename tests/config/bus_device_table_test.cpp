#include "config/bus_device_table.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/config/controller_script.h"

namespace zav {
namespace {

using testing::DeviceTableReply;
using testing::Entry;

constexpr DeviceId Id(unsigned type, unsigned serial, unsigned sub = 0) {
  return (sub << 26) | (type << 16) | serial;
}
constexpr DeviceId kCtl = 0x30000000 | Id(300, 66);

bool DecodeBytes(BusDeviceTable& t, const std::vector<std::uint8_t>& r) {
  return t.Decode(r.data(), static_cast<int>(r.size()));
}

std::vector<int> Order(const BusDeviceTable& t) {
  return std::vector<int>(t.order, t.order + t.activeCount);
}

TEST(BusDeviceTableDecode, RejectsBadCountsAndHeadersAndLeavesTableClear) {
  BusDeviceTable t;
  ASSERT_TRUE(DecodeBytes(t, DeviceTableReply(0x28, {Entry(kCtl, 1, 0, 4, 0, 4, 2)})));
  ASSERT_EQ(t.count, 1);

  auto tooMany = DeviceTableReply(0x28, {});
  tooMany[0] = 129;
  tooMany.resize(6 + 12 * 129);
  EXPECT_FALSE(DecodeBytes(t, tooMany));
  EXPECT_EQ(t.count, 0);
  EXPECT_EQ(t.passageCount, 0);

  ASSERT_TRUE(DecodeBytes(t, DeviceTableReply(0x28, {Entry(kCtl, 1, 0, 4, 0, 4, 2)})));
  auto shortReply = DeviceTableReply(0x28, {Entry(kCtl, 1, 0, 4, 0, 4, 2)});
  shortReply[0] = 2;  // announces an entry it does not carry
  EXPECT_FALSE(DecodeBytes(t, shortReply));
  EXPECT_EQ(t.passageCount, 0);
  EXPECT_EQ(t.activeCount, 0);

  for (std::uint8_t h : {0x22, 0x28, 0x30, 0x41}) {
    EXPECT_TRUE(DecodeBytes(t, DeviceTableReply(h, {}))) << int(h);
  }
  for (std::uint8_t h : {0x24, 0x42, 0x21, 0x00, 0x61}) {
    EXPECT_FALSE(DecodeBytes(t, DeviceTableReply(h, {}))) << int(h);
    EXPECT_EQ(t.passageCount, 0);
  }
  std::uint8_t tiny[3] = {0, 0, 0x28};
  EXPECT_FALSE(t.Decode(tiny, 3));
  EXPECT_FALSE(t.Decode(tiny, -1));
}

TEST(BusDeviceTableDecode, EmptyTableAndEmptySlots) {
  BusDeviceTable t;
  ASSERT_TRUE(DecodeBytes(t, DeviceTableReply(0x28, {})));
  EXPECT_EQ(t.passageCount, 8);
  EXPECT_EQ(t.controllerKind, 1);
  EXPECT_EQ(t.activeCount, 0);

  ASSERT_TRUE(DecodeBytes(
      t, DeviceTableReply(0x41, {Entry(kCtl, 0, 0, 0, 0, 0, 0), Entry(0xFFFF0001, 0, 0, 8, 0, 8, 1),
                                 Entry(Id(1, 7), 0, 0, 0, 0, 0, 1)})));
  EXPECT_EQ(t.controllerKind, 2);
  EXPECT_EQ(t.passageCount, 1);
  EXPECT_EQ(t.count, 3);
  EXPECT_EQ(Order(t), (std::vector<int>{0, 2}));
  EXPECT_EQ(t.devices[1].id, 0xFFFF0001u);  // the slot keeps its place
  EXPECT_EQ(t.devices[2].id, Id(1, 7));
}

TEST(BusDeviceTableDecode, AttributeBytes) {
  BusDeviceTable t;
  ASSERT_TRUE(DecodeBytes(t, DeviceTableReply(0x22, {Entry(kCtl, 3, 0x9F, 0x82, 4, 0xE5, 0xFE),
                                                     Entry(Id(700, 1), 0, 0, 8, 0, 2, 0),
                                                     Entry(Id(700, 2), 0, 0, 8, 6, 0, 0)})));
  const BusDevice& a = t.devices[0];
  EXPECT_EQ(a.suffixNo, 3);
  EXPECT_EQ(a.state, 0x9F);
  EXPECT_EQ(a.outputSets, 2);
  EXPECT_EQ(a.outputs, 0);
  EXPECT_TRUE(a.ncOutputs);
  EXPECT_EQ(a.inputs, 5);
  EXPECT_EQ(a.readers, 2);
  EXPECT_EQ(t.devices[1].outputs, 8);
  EXPECT_FALSE(t.devices[1].ncOutputs);
  EXPECT_EQ(t.devices[2].outputs, 6);
  EXPECT_TRUE(t.devices[2].ncOutputs);
}

TEST(BusDeviceTableDecode, DecodingClearsTakenBitmaps) {
  BusDeviceTable t;
  t.devices[0].outputsTaken = 0xFF;
  t.devices[0].readersTaken = 3;
  ASSERT_TRUE(DecodeBytes(t, DeviceTableReply(0x22, {Entry(kCtl, 0, 0, 4, 0, 4, 2)})));
  EXPECT_EQ(t.devices[0].outputsTaken, 0u);
  EXPECT_EQ(t.devices[0].readersTaken, 0);
}

TEST(BusDeviceTableOrder, ControllerNeverMovesBack) {
  BusDeviceTable t;
  ASSERT_TRUE(DecodeBytes(
      t, DeviceTableReply(0x22, {Entry(kCtl, 0, 0, 0, 0, 0, 0), Entry(Id(1, 16), 0, 0, 0, 0, 0, 0),
                                 Entry(Id(1, 2), 0, 0, 0, 0, 0, 0)})));
  EXPECT_EQ(Order(t), (std::vector<int>{0, 2, 1}));

  ASSERT_TRUE(DecodeBytes(
      t, DeviceTableReply(0x22, {Entry(Id(1, 5), 0, 0, 0, 0, 0, 0), Entry(kCtl, 0, 0, 0, 0, 0, 0),
                                 Entry(Id(1, 1), 0, 0, 0, 0, 0, 0)})));
  EXPECT_EQ(Order(t), (std::vector<int>{0, 1, 2}));

  ASSERT_TRUE(DecodeBytes(t, DeviceTableReply(0x22, {Entry(Id(500, 1), 0, 0, 0, 0, 0, 0),
                                                     Entry(kCtl, 0, 0, 0, 0, 0, 0)})));
  EXPECT_EQ(Order(t), (std::vector<int>{1, 0}));

  // The key is the low 26 bits: type number first, the 2-bit field is ignored.
  ASSERT_TRUE(DecodeBytes(
      t, DeviceTableReply(
             0x22, {Entry(kCtl, 0, 0, 0, 0, 0, 0), Entry(Id(700, 1, 3), 0, 0, 0, 0, 0, 0),
                    Entry(Id(100, 9), 0, 0, 0, 0, 0, 0), Entry(Id(100, 3), 0, 0, 0, 0, 0, 0)})));
  EXPECT_EQ(Order(t), (std::vector<int>{0, 3, 2, 1}));
}

TEST(BusDeviceTableDiffers, LooksOnlyAtCountIdsAndUpperStatusBits) {
  BusDeviceTable t;
  const auto base = DeviceTableReply(
      0x28, {Entry(kCtl, 0, 0x10, 4, 0, 4, 2), Entry(Id(1, 3), 1, 0x00, 0, 0, 1, 1)});
  ASSERT_TRUE(DecodeBytes(t, base));
  auto same = [&](std::vector<std::uint8_t> r) {
    return !t.Differs(r.data(), static_cast<int>(r.size()));
  };
  auto r = base;
  r[2] = 0x22;       // header
  r[6 + 4] = 9;      // a0
  r[6 + 8] = 7;      // a4: input count
  r[6 + 5] |= 0x0F;  // low status bits
  EXPECT_TRUE(same(r));
  r = base;
  r[6 + 5] = 0x00;  // new flag cleared
  EXPECT_FALSE(same(r));
  r = base;
  r[18 + 1] = 4;  // id of entry 1
  EXPECT_FALSE(same(r));
  r = base;
  r.resize(base.size() - 1);  // truncated
  EXPECT_FALSE(same(r));
  EXPECT_FALSE(same(DeviceTableReply(0x28, {Entry(kCtl, 0, 0x10, 4, 0, 4, 2)})));
}

TEST(BusDeviceTableReplacement, PairsAndInactive) {
  BusDeviceTable t;
  ASSERT_TRUE(DecodeBytes(
      t, DeviceTableReply(
             0x22, {Entry(kCtl, 0, 0, 0, 0, 0, 0), Entry(Id(1, 5), 0, 0x80, 0, 0, 0, 1),
                    Entry(Id(1, 9), 0, 0x10, 0, 0, 0, 1), Entry(Id(2, 4), 0, 0x10, 0, 0, 0, 1)})));
  EXPECT_TRUE(t.HasInactive());
  ReplacementPair pairs[kMaxReplacementPairs];
  ASSERT_EQ(t.ReplacementPairs(pairs), 1);
  EXPECT_EQ(pairs[0], 1 + 256 * 2);

  ASSERT_TRUE(DecodeBytes(
      t, DeviceTableReply(
             0x22, {Entry(kCtl, 0, 0, 0, 0, 0, 0), Entry(Id(1, 5), 0, 0x80, 0, 0, 0, 1),
                    Entry(Id(1, 6), 0, 0x90, 0, 0, 0, 1), Entry(Id(1, 7), 0, 0x10, 0, 0, 0, 1),
                    Entry(Id(1, 8), 0, 0x10, 0, 0, 0, 1)})));
  ASSERT_EQ(t.ReplacementPairs(pairs), 5);
  // Position 2 is both inactive and new: it may take position 1's place but never its own.
  EXPECT_EQ(std::vector<int>(pairs, pairs + 5),
            (std::vector<int>{1 + 256 * 2, 1 + 256 * 3, 1 + 256 * 4, 2 + 256 * 3, 2 + 256 * 4}));

  ASSERT_TRUE(DecodeBytes(t, DeviceTableReply(0x22, {Entry(kCtl, 0, 0x0F, 0, 0, 0, 0),
                                                     Entry(0xFFFF0000, 0, 0x80, 0, 0, 0, 0)})));
  EXPECT_FALSE(t.HasInactive());  // empty slots are not active
}

TEST(BusDeviceTableText, LinesSuffixesAndLabels) {
  BusDeviceTable t;
  ASSERT_TRUE(DecodeBytes(t, DeviceTableReply(0x22, {Entry(kCtl, 2, 0xB0, 0, 0, 0, 0),
                                                     Entry(Id(5, 12, 2), 17, 0x30, 0, 0, 0, 1),
                                                     Entry(Id(950, 3), 0, 0x0F, 0, 0, 0, 0),
                                                     Entry(Id(705, 1), 0, 0x40, 0, 0, 0, 0)})));
  EXPECT_EQ(t.LongName(1), DevName(Id(5, 12, 2)) + "/C17");
  EXPECT_EQ(t.DeviceLine(0), " Kontroler: " + DevName(kCtl) + "/A2,   (nieaktywny)");
  EXPECT_EQ(t.DeviceLine(1), "    Czytnik: " + DevName(Id(5, 12, 2)) + "/C17,   (sabotaż)");
  EXPECT_EQ(t.DeviceLine(2), "Nieznany typ: " + DevName(Id(950, 3)) + "/A0");
  EXPECT_EQ(t.DeviceLine(3), "      Moduł: " + DevName(Id(705, 1)) + "/A0,   (zasilanie!)");
  EXPECT_STREQ(BusDeviceTable::StatusSuffix(0x10), ",   (nowy)");
  EXPECT_EQ(t.PairLabel(1 + 256 * 2), DevName(Id(5, 12, 2)) + " <-- " + DevName(Id(950, 3)));
  EXPECT_EQ(t.DeviceLine(200), "");
  // Every suffix number and letter: plain decimal, no leading zeros.
  for (unsigned n = 0; n < 256; ++n) {
    const unsigned sub = n % 4;
    ASSERT_TRUE(DecodeBytes(t, DeviceTableReply(0x22, {Entry(kCtl, 2, 0, 0, 0, 0, 0),
                                                       Entry(Id(5, 12, sub), static_cast<std::uint8_t>(n),
                                                             0, 0, 0, 0, 1)})));
    EXPECT_EQ(t.LongName(1), DevName(Id(5, 12, sub)) + "/" + static_cast<char>('A' + sub) +
                                 std::to_string(n));
  }
}

TEST(BusDeviceTableLink, ReadAndRefreshAgainstScriptedController) {
  testing::ControllerScript ctl;
  std::vector<std::uint8_t> reply = DeviceTableReply(
      0x28, {Entry(ctl.id, 0, 0, 4, 0, 4, 2), Entry(Id(1, 3), 0, 0x10, 0, 0, 0, 1)});
  ctl.answer = [&](const testing::SignedRequest& r) -> std::optional<std::vector<std::uint8_t>> {
    if (r.letter == 'D' && r.payload.empty()) return reply;
    return std::nullopt;
  };
  UdpDev dev = ctl.MakeDev();
  BusDeviceTable t;
  t.Read(dev);
  ASSERT_EQ(t.count, 2);
  EXPECT_EQ(t.passageCount, 8);

  EXPECT_FALSE(t.Refresh(dev));  // same reply
  t.devices[0].outputsTaken = 1;
  reply[6 + 12 + 5] = 0;  // the reader is no longer new
  EXPECT_TRUE(t.Refresh(dev));
  EXPECT_EQ(t.devices[0].outputsTaken, 0u);
  EXPECT_EQ(t.devices[1].state, 0);

  reply[2] = 0x24;  // a rejected header still counts as a change, and clears the table
  reply[6 + 12 + 5] = 0x10;
  EXPECT_TRUE(t.Refresh(dev));
  EXPECT_EQ(t.passageCount, 0);

  const std::size_t sent = ctl.signedRequests.size();
  dev.mode = 0x01;  // Blokada: nothing is sent
  t.Read(dev);
  EXPECT_FALSE(t.Refresh(dev));
  EXPECT_EQ(ctl.signedRequests.size(), sent);
}

}  // namespace
}  // namespace zav
