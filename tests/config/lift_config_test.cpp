#include "config/lift_config.h"

#include <gtest/gtest.h>

#include <vector>

#include "config/time_text.h"
#include "link/uerr.h"
#include "link/wire.h"
#include "tests/config/controller_script.h"

namespace zav {
namespace {

using testing::ControllerScript;
using testing::SignedRequest;
using Bytes = std::vector<std::uint8_t>;

struct LiftFixture : ::testing::Test {
  LiftFixture() {
    // Controller, then a floor module with two output sets, inputs and a reader port.
    const Bytes t =
        testing::DeviceTableReply(0x41, {testing::Entry(0x312D0042, 0, 0, 0x82, 0, 8, 1),
                                         testing::Entry((720u << 16) | 5, 0, 0, 0x82, 4, 8, 1)});
    EXPECT_TRUE(table.Decode(t.data(), static_cast<int>(t.size())));
    reply = {2, 0x88, 8, 4, 1, 2, 3, 4};
    for (int i = 0; i < kRecordLenForTest; ++i) reply.push_back(static_cast<std::uint8_t>(i));
    for (int i = 0; i < 20; ++i) PutU16(reply.data() + 8 + 2 * i, kNone);
    PutU16(reply.data() + 8, 0x0101);       // floors 1..8: set 2 of the module
    PutU16(reply.data() + 24 + 2, 0x0103);  // input 1, without selector
    reply[8 + 44] = 255;
    ctl.answer = [this](const SignedRequest& r) -> std::optional<Bytes> {
      if (r.letter == 'c') return testing::Ack();
      if (r.letter == 'C' && r.payload == Bytes{2, 0} && !silent) return reply;
      return std::nullopt;
    };
  }
  static constexpr int kRecordLenForTest = 104;
  ControllerScript ctl;
  BusDeviceTable table;
  LiftConfig lift{table};
  Bytes reply;
  bool silent = false;
};

TEST_F(LiftFixture, ReadAndWriteOneRecordKeepingEveryByte) {
  UdpDev dev = ctl.MakeDev();
  lift.Read(dev);
  ASSERT_TRUE(lift.complete);
  ASSERT_EQ(ctl.signedRequests.size(), 1u);
  EXPECT_EQ(ctl.signedRequests[0].letter, 'C');
  EXPECT_EQ(ctl.signedRequests[0].payload, (Bytes{2, 0}));
  EXPECT_EQ(lift.floorSets[0], 0x0101);
  EXPECT_EQ(lift.params.unlockTime, 127);
  EXPECT_EQ(TimeText(lift.params.unlockTime), "63,5");
  // Input 1 has no selector but its point is taken all the same.
  EXPECT_EQ(table.devices[1].inputsTaken, 1u << 3);
  EXPECT_EQ(table.devices[1].outputSetsTaken, 1 << 1);

  ASSERT_TRUE(lift.Write(dev));
  ASSERT_EQ(ctl.signedRequests.size(), 2u);
  const Bytes& w = ctl.signedRequests[1].payload;
  EXPECT_EQ(ctl.signedRequests[1].letter, 'c');
  ASSERT_EQ(w.size(), 106u);
  EXPECT_EQ(w[0], 2);
  EXPECT_EQ(w[1], 0);
  Bytes expected(reply.begin() + 8, reply.end());
  expected[44] = 127;
  EXPECT_EQ(Bytes(w.begin() + 2, w.end()), expected);
}

TEST_F(LiftFixture, WrongHeaderOrFailureLeavesRecordAndBlocksWrite) {
  UdpDev dev = ctl.MakeDev();
  lift.inputs[4] = 0x0042;
  reply[1] = 8;  // a passage header
  lift.Read(dev);
  EXPECT_EQ(lift.inputs[4], 0x0042);
  EXPECT_FALSE(lift.complete);
  EXPECT_FALSE(lift.Write(dev));

  reply[1] = 0x88;
  reply.resize(8 + 103);  // one byte short
  lift.Read(dev);
  EXPECT_EQ(lift.inputs[4], 0x0042);
  EXPECT_FALSE(lift.complete);

  reply.resize(8 + 104);
  lift.Read(dev);
  ASSERT_TRUE(lift.complete);
  silent = true;
  EXPECT_THROW(lift.Read(dev), UErr);
  EXPECT_FALSE(lift.complete);
  const std::size_t sent = ctl.signedRequests.size();
  EXPECT_FALSE(lift.Write(dev));
  EXPECT_EQ(ctl.signedRequests.size(), sent);
}

TEST_F(LiftFixture, SetsInputsReadersAndName) {
  UdpDev dev = ctl.MakeDev();
  lift.Read(dev);
  // Two sets of one device carry the same label; the second stores (device << 8) | 1.
  IoRef items[kMaxChoices];
  const int n =
      ChoiceList(table, lift.floorSets[1], PointKind::OutputSet, ChoiceFilter::None, kNone, items);
  ASSERT_EQ(n, 4);  // none, controller sets 0 and 1, module set 0
  EXPECT_EQ(ChoiceLabel(table, PointKind::OutputSet, items[1]),
            ChoiceLabel(table, PointKind::OutputSet, items[2]));
  lift.SetFloorSet(1, items[2]);
  EXPECT_EQ(lift.floorSets[1], 0x0001);
  lift.SetLiftInput(6, 0x0002, true);
  EXPECT_EQ(lift.inputs[6], 0x0082);
  lift.SetLiftInputNc(6, false);
  EXPECT_EQ(lift.inputs[6], 0x0002);
  lift.SetLiftReader(0, 0x0100);
  lift.SetLiftReader(4, 0x0000);  // no such reader: nothing changes
  EXPECT_EQ(lift.readers[0], 0x0100);
  EXPECT_EQ(table.devices[0].readersTaken, 0);
  lift.SetName("Winda B – hol");  // the dash exists in Windows-1250
  EXPECT_EQ(lift.Name(), "Winda B – hol");
  EXPECT_EQ(lift.params.name[8], 0x96);
  lift.SetUnlockTime(300);
  EXPECT_EQ(lift.params.unlockTime, 127);
}

}  // namespace
}  // namespace zav
