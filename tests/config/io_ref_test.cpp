#include "config/io_ref.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace zav {
namespace {

constexpr DeviceId Id(unsigned type, unsigned serial) {
  return (type << 16) | serial;
}

// A table with hand-set entries, as decoding would leave them.
BusDeviceTable MakeTable(std::vector<BusDevice> devs) {
  BusDeviceTable t;
  t.controllerKind = 1;
  t.passageCount = 2;
  t.count = static_cast<int>(devs.size());
  for (std::size_t i = 0; i < devs.size(); ++i) {
    t.devices[i] = devs[i];
    if (!IsEmptySlot(devs[i].id)) t.order[t.activeCount++] = static_cast<std::uint8_t>(i);
  }
  return t;
}

BusDevice Dev(DeviceId id, int outputs, int inputs, int readers, int sets = 0, bool nc = false) {
  BusDevice d;
  d.id = id;
  d.outputs = static_cast<std::uint16_t>(outputs);
  d.inputs = static_cast<std::uint16_t>(inputs);
  d.readers = static_cast<std::uint16_t>(readers);
  d.outputSets = static_cast<std::uint16_t>(sets);
  d.ncOutputs = nc;
  return d;
}

std::vector<IoRef> Free(const BusDeviceTable& t, PointKind k) {
  std::vector<IoRef> out(kMaxFreePoints);
  out.resize(static_cast<std::size_t>(FreePoints(t, k, out.data())));
  return out;
}

std::vector<IoRef> Choices(const BusDeviceTable& t, IoRef cur, PointKind k, ChoiceFilter f,
                           IoRef same = kNone) {
  std::vector<IoRef> out(kMaxChoices);
  out.resize(static_cast<std::size_t>(ChoiceList(t, cur, k, f, same, out.data())));
  return out;
}

TEST(IoRefFreePoints, SkipsTakenPointsAndFollowsDisplayOrder) {
  BusDeviceTable t =
      MakeTable({Dev(0x312C0001, 4, 0, 0), Dev(Id(1, 1), 0, 0, 0), Dev(0xFFFF0000, 3, 3, 3),
                 Dev(Id(1, 2), 0, 0, 0), Dev(Id(1, 3), 0, 0, 0), Dev(Id(1, 4), 0, 0, 2)});
  t.devices[0].outputsTaken = 1u << 2;
  EXPECT_EQ(Free(t, PointKind::Output), (std::vector<IoRef>{0x0000, 0x0001, 0x0003}));
  t.devices[5].readersTaken = 1;
  EXPECT_EQ(Free(t, PointKind::Reader), (std::vector<IoRef>{0x0501}));
  EXPECT_TRUE(Free(t, PointKind::Input).empty());  // the empty slot offers nothing

  t.order[0] = 5;  // display order, not table order
  t.order[4] = 0;
  t.devices[5].readersTaken = 0;
  t.devices[0].readers = 1;
  EXPECT_EQ(Free(t, PointKind::Reader), (std::vector<IoRef>{0x0500, 0x0501, 0x0000}));
}

TEST(IoRefFreePoints, MatchesAPointByPointScanOfRandomTables) {
  // Counts beyond 32 (a damaged table) offer the first 32 points; a set bit is a taken point.
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    std::vector<BusDevice> devs;
    const int count = 1 + static_cast<int>(rng() % 128);
    for (int i = 0; i < count; ++i) {
      BusDevice d = Dev(Id(700, static_cast<unsigned>(i)), static_cast<int>(rng() % 40),
                        static_cast<int>(rng() % 40), static_cast<int>(rng() % 5));
      d.outputsTaken = rng() & rng();
      d.inputsTaken = rng() & rng();
      d.readersTaken = static_cast<std::uint16_t>(rng() & 7);
      devs.push_back(d);
    }
    const BusDeviceTable t = MakeTable(devs);
    for (PointKind kind : {PointKind::Output, PointKind::Input, PointKind::Reader}) {
      std::vector<IoRef> want;
      for (int j = 0; j < t.activeCount; ++j) {
        const BusDevice& d = t.devices[t.order[j]];
        const int points = kind == PointKind::Output  ? d.outputs
                           : kind == PointKind::Input ? d.inputs
                                                      : d.readers;
        const std::uint32_t taken = kind == PointKind::Output  ? d.outputsTaken
                                    : kind == PointKind::Input ? d.inputsTaken
                                                               : d.readersTaken;
        for (int k = 0; k < points && k < 32; ++k)
          if (!(taken & (1u << k)) && want.size() < kMaxFreePoints)
            want.push_back(static_cast<IoRef>((t.order[j] << 8) | k));
      }
      ASSERT_EQ(Free(t, kind), want) << "round " << round;
    }
  }
}

TEST(IoRefFreePoints, StopsAt2560) {
  std::vector<BusDevice> devs;
  for (unsigned i = 0; i < 128; ++i) devs.push_back(Dev(Id(700, i), 31, 31, 3));
  const BusDeviceTable t = MakeTable(devs);
  const auto free = Free(t, PointKind::Input);
  ASSERT_EQ(free.size(), 2560u);
  EXPECT_EQ(free.back(), (82 << 8) | 17);  // 82 * 31 + 18 = 2560
  EXPECT_EQ(Choices(t, 0x0000, PointKind::Input, ChoiceFilter::None).size(), 2562u);
}

TEST(IoRefTaken, TakeReleaseIgnoreNonDeviceRefs) {
  BusDeviceTable t = MakeTable({Dev(0x312C0001, 8, 8, 2, 3)});
  TakePoint(t, PointKind::Output, 0x0085);  // NC flag does not matter
  TakePoint(t, PointKind::Input, 0x001F);
  TakePoint(t, PointKind::Reader, 0x0005);  // reader bit is p & 3
  TakePoint(t, PointKind::OutputSet, 0x0002);
  TakePoint(t, PointKind::Output, kNone);
  TakePoint(t, PointKind::Output, 0x8001);  // names no device
  EXPECT_EQ(t.devices[0].outputsTaken, 1u << 5);
  EXPECT_EQ(t.devices[0].inputsTaken, 1u << 31);
  EXPECT_EQ(t.devices[0].readersTaken, 1 << 1);
  EXPECT_EQ(t.devices[0].outputSetsTaken, 1 << 2);
  ReleasePoint(t, PointKind::Output, 0x0005);
  ReleasePoint(t, PointKind::Input, kNone);
  EXPECT_EQ(t.devices[0].outputsTaken, 0u);
  EXPECT_EQ(t.devices[0].inputsTaken, 1u << 31);
}

TEST(IoRefAssign, NcFollowsKindAndDevice) {
  BusDeviceTable t = MakeTable({Dev(0x312C0001, 4, 4, 1), Dev(Id(700, 1), 4, 0, 0, 0, true)});
  IoRef field = kNone;
  Assign(t, field, PointKind::Output, 0x0002, true);  // relay outputs take no NC flag
  EXPECT_EQ(field, 0x0002);
  Assign(t, field, PointKind::Output, 0x0101, true);
  EXPECT_EQ(field, 0x0181);
  EXPECT_EQ(t.devices[0].outputsTaken, 0u);  // old point released
  EXPECT_EQ(t.devices[1].outputsTaken, 1u << 1);
  Assign(t, field, PointKind::Output, 0x0183, false);
  EXPECT_EQ(field, 0x0103);
  Assign(t, field, PointKind::Output, kNone, true);
  EXPECT_EQ(field, kNone);
  EXPECT_EQ(t.devices[1].outputsTaken, 0u);

  IoRef in = kNone;
  Assign(t, in, PointKind::Input, 0x0003, true);
  EXPECT_EQ(in, 0x0083);
  SetNc(in, false);
  EXPECT_EQ(in, 0x0003);
  EXPECT_EQ(t.devices[0].inputsTaken, 1u << 3);  // SetNc leaves the marks
  IoRef none = kNone;
  SetNc(none, true);
  EXPECT_EQ(none, kNone);

  IoRef rd = kNone;
  Assign(t, rd, PointKind::Reader, 0x0000, true);
  EXPECT_EQ(rd, 0x0000);
}

TEST(IoRefLabels, BlankAndDeviceLabels) {
  const BusDeviceTable t =
      MakeTable({Dev(0x312C0001, 4, 4, 1), Dev(Id(1, 2), 0, 0, 1), Dev(Id(700, 9), 0, 8, 0, 2)});
  EXPECT_EQ(IoLabel(t, kNone, "Out"), "     ---      ");
  EXPECT_EQ(IoLabel(t, kNone, "Out").size(), 14u);
  EXPECT_EQ(IoLabel(t, kNone, "In"), "     ---     ");
  EXPECT_EQ(IoLabel(t, kNone, "Rd").size(), 13u);
  EXPECT_EQ(IoLabel(t, 0x0283, "In"), DevName(Id(700, 9)) + ":In4");
  EXPECT_EQ(IoLabel(t, 0x0203, "In"), IoLabel(t, 0x0283, "In"));
  EXPECT_EQ(SetLabel(t, 0x0201), DevName(Id(700, 9)));
  EXPECT_EQ(ChoiceLabel(t, PointKind::OutputSet, 0x0200),
            ChoiceLabel(t, PointKind::OutputSet, 0x0201));
  EXPECT_EQ(ChoiceLabel(t, PointKind::Reader, 0x0100), DevName(Id(1, 2)) + ":Rd1");
  EXPECT_EQ(ChoiceLabel(t, PointKind::Output, kNone), "  -----");
}

TEST(IoRefChoiceList, CurrentFirstThenNoneThenFilteredFreePoints) {
  BusDeviceTable t =
      MakeTable({Dev(0x312C0001, 0, 2, 0), Dev(Id(700, 1), 0, 4, 0), Dev(Id(700, 2), 0, 1, 0)});
  t.devices[0].inputsTaken = 1;       // 0x0000 taken
  t.devices[1].inputsTaken = 0b1101;  // only 0x0101 free, 0x0103 is the current binding
  EXPECT_EQ(Choices(t, 0x0103, PointKind::Input, ChoiceFilter::None),
            (std::vector<IoRef>{0x0103, kNone, 0x0001, 0x0101, 0x0200}));
  EXPECT_EQ(Choices(t, 0x0103, PointKind::Input, ChoiceFilter::DeviceZero),
            (std::vector<IoRef>{0x0103, kNone, 0x0001}));
  EXPECT_EQ(Choices(t, kNone, PointKind::Input, ChoiceFilter::SameDevice, 0x0185),
            (std::vector<IoRef>{kNone, 0x0101}));
  // With no bolt, the door sensor offers nothing but its present value and none.
  EXPECT_EQ(Choices(t, 0x0183, PointKind::Input, ChoiceFilter::SameDevice, kNone),
            (std::vector<IoRef>{0x0183, kNone}));
}

TEST(IoRefNcBox, EnabledAndChecked) {
  const BusDeviceTable t = MakeTable({Dev(0x312C0001, 4, 4, 1), Dev(Id(700, 1), 4, 0, 0, 0, true)});
  EXPECT_FALSE(NcEnabled(t, PointKind::Output, 0x0001));
  EXPECT_TRUE(NcEnabled(t, PointKind::Output, 0x0101));
  EXPECT_FALSE(NcEnabled(t, PointKind::Output, kNone));
  EXPECT_TRUE(NcEnabled(t, PointKind::Input, 0x0001));
  EXPECT_FALSE(NcEnabled(t, PointKind::Input, kNone));
  EXPECT_FALSE(NcEnabled(t, PointKind::Reader, 0x0000));
  EXPECT_TRUE(NcChecked(PointKind::Output, 0x0081));  // stored as it came, shown checked
  EXPECT_FALSE(NcChecked(PointKind::Input, kNone));
  EXPECT_FALSE(NcChecked(PointKind::Input, 0x0001));
}

}  // namespace
}  // namespace zav
