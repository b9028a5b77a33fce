// The "Zapisz" buttons: what reaches the controller, in which order, and what is refused.
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <cstring>

#include "tests/ui_pages/pages_fixture.h"

using namespace pagetest;

namespace {
std::vector<std::uint8_t> Image(const zav::Passage& p) {
  std::vector<std::uint8_t> v(zav::kRecordLen);
  p.Encode(v.data());
  return v;
}
// Signed "c" frames sent, whatever their answer was.
int SignedWritesSent(const zav::testing::ScriptedEndpoint& ep) {
  int n = 0;
  for (const auto& d : ep.sent)
    if (d.bytes.size() >= 19 && d.bytes[3] == 'C' && d.bytes[10] == 'c') ++n;
  return n;
}
}  // namespace

TEST_F(PagesTest, DoorWriteSendsTheControllerBlockThenEveryPassageInOrder) {
  LoadDoors(2);
  ASSERT_TRUE(Choose(probe.dOutRows[3].sel, 0x0106));
  probe.DoorTc->setCurrentIndex(1);
  Leave(probe.OpenTimEd, "12,5");
  // Fifteen characters with Polish letters, one byte each in Windows-1250.
  probe.DoorNameEd->setText(QStringLiteral("Zażółć gęślą ja"));
  ASSERT_EQ(probe.DoorNameEd->text().size(), 15);

  probe.WrDCfgBtn->click();
  ASSERT_TRUE(host.errors.isEmpty()) << host.errors.join("\n").toStdString();
  ASSERT_EQ(ctl.writes.size(), 3u);
  EXPECT_EQ(ctl.writes[0].kind, 16);
  EXPECT_EQ(ctl.writes[0].index, 0);
  std::vector<std::uint8_t> ctlBlock(zav::kControllerIoDataLen);
  doors.controllerIo.Encode(ctlBlock.data());
  EXPECT_EQ(ctl.writes[0].data, ctlBlock);
  for (int p = 0; p < 2; ++p) {
    EXPECT_EQ(ctl.writes[1 + p].kind, 1);
    EXPECT_EQ(ctl.writes[1 + p].index, p);
    EXPECT_EQ(ctl.writes[1 + p].data, Image(doors.passages[p])) << p;
  }
  // The edits are in what was sent: passage 1's output 3, passage 2's times and name.
  EXPECT_EQ(zav::GetU16(&ctl.writes[1].data[6]), 0x0106);
  EXPECT_EQ(ctl.writes[1].data[40 + 1], 0x5A);  // a byte the tool does not interpret
  EXPECT_EQ(ctl.writes[2].data[40 + 6], 25);
  const std::uint8_t name[16] = {'Z',  'a',  0xBF, 0xF3, 0xB3, 0xE6, ' ', 'g',
                                 0xEA, 0x9C, 'l',  0xB9, ' ',  'j',  'a', 0};
  EXPECT_EQ(std::memcmp(&ctl.writes[2].data[40 + 48], name, 16), 0);
  // The name comes back as it was typed.
  probe.DoorTc->setCurrentIndex(0);
  probe.DoorTc->setCurrentIndex(1);
  EXPECT_EQ(probe.DoorNameEd->text(), QStringLiteral("Zażółć gęślą ja"));
  EXPECT_EQ(host.ethFills, 0);
}

TEST_F(PagesTest, KontrolerZapiszWritesTheSameSequence) {
  LoadDoors(8);
  pages->setCurrentWidget(probe.TabSheet1);
  probe.WrCCfgBtn->click();
  ASSERT_EQ(ctl.writes.size(), 9u);
  EXPECT_EQ(ctl.writes[0].kind, 16);
  for (int p = 0; p < 8; ++p) EXPECT_EQ(ctl.writes[1 + p].index, p);
}

TEST_F(PagesTest, ServiceModeWritesTheTestingValuesBackUnchanged) {
  LoadDoors(2, 0x82);
  EXPECT_FALSE(probe.DTstGrpBox->isEnabled());
  probe.WrDCfgBtn->click();
  ASSERT_EQ(ctl.writes.size(), 3u);
  const auto& sent = ctl.writes[1].data;
  EXPECT_EQ(std::memcmp(&sent[40], params0.data(), 48), 0);
}

TEST_F(PagesTest, LiftWriteSendsExactlyTheLiftRecord) {
  LoadLift();
  ASSERT_TRUE(Choose(probe.lOutSetRows[1].sel, 0x0301));
  probe.WrLCfgBtn->click();
  ASSERT_TRUE(host.errors.isEmpty()) << host.errors.join("\n").toStdString();
  ASSERT_EQ(ctl.writes.size(), 1u);
  EXPECT_EQ(ctl.writes[0].kind, 2);
  EXPECT_EQ(ctl.writes[0].index, 0);
  std::vector<std::uint8_t> record(zav::kRecordLen);
  lift.Encode(record.data());
  EXPECT_EQ(ctl.writes[0].data, record);
  EXPECT_EQ(zav::GetU16(&record[2]), 0x0301);
  EXPECT_EQ(record[40 + 20], 0x77);
}

TEST_F(PagesTest, DoorWriteIsRefusedForALiftController) {
  LoadLift();
  probe.WrCCfgBtn->click();         // disabled: nothing happens
  emit probe.WrDCfgBtn->clicked();  // its signal all the same: refused with a message
  EXPECT_EQ(SignedWritesSent(ep), 0);
  ASSERT_EQ(host.errors.size(), 1);
  EXPECT_EQ(host.errors[0], QString::fromUtf8(kNotDoorText));
}

TEST_F(PagesTest, FailedWriteKeepsTheEditsForTheNextTry) {
  LoadDoors(2);
  ASSERT_TRUE(Choose(probe.dOutRows[5].sel, 0x0107));
  ctl.nakFromWrite = 1;  // the controller block goes through, passage 1 is refused
  probe.WrDCfgBtn->click();
  ASSERT_EQ(host.errors.size(), 1);
  EXPECT_TRUE(host.errors[0].contains("'c'")) << host.errors[0].toStdString();
  EXPECT_EQ(ctl.writes.size(), 1u);
  EXPECT_EQ(doors.passages[0].outputs[5], 0x0107);
  EXPECT_EQ(Refs(probe.dOutRows[5].sel).front(), 0x0107);

  ctl.nakFromWrite = -1;
  ctl.writes.clear();
  probe.WrDCfgBtn->click();
  EXPECT_EQ(host.errors.size(), 1);
  ASSERT_EQ(ctl.writes.size(), 3u);
  EXPECT_EQ(zav::GetU16(&ctl.writes[1].data[10]), 0x0107);
}

TEST_F(PagesTest, IncompleteConfigurationIsNeverWritten) {
  LoadDoors(2, 0x83, /*skipPassage1=*/true);
  ASSERT_FALSE(doors.complete);
  probe.WrDCfgBtn->click();
  probe.WrCCfgBtn->click();
  EXPECT_EQ(SignedWritesSent(ep), 0);
  ASSERT_EQ(host.errors.size(), 2);
  EXPECT_EQ(host.errors[0], QString::fromUtf8(kIncompleteText));
}

TEST_F(PagesTest, IncompleteLiftIsNeverWritten) {
  LoadLift();
  lift.complete = false;  // as after a read that failed part-way
  probe.WrLCfgBtn->click();
  EXPECT_EQ(SignedWritesSent(ep), 0);
  ASSERT_EQ(host.errors.size(), 1);
  EXPECT_EQ(host.errors[0], QString::fromUtf8(kIncompleteText));
}

TEST_F(PagesTest, LateDiscoveryRepliesAreTakenInBeforeWriting) {
  LoadDoors(2);
  // Another controller's status reply arrived after the search.
  const zav::DeviceId other = 0x30000000u | (308u << 16) | 2u;
  std::uint8_t block[16] = {};
  block[2] = 0x02;
  block[3] = '1';
  std::vector<std::uint8_t> reply(28);
  zav::BuildPlainFrame('O', other, block, 16, reply.data());
  ep.Queue(reply, "10.0.0.9");
  probe.WrDCfgBtn->click();
  EXPECT_EQ(host.ethFills, 1);
  EXPECT_EQ(host.set.count, 2);
  EXPECT_TRUE(host.errors.isEmpty()) << host.errors.join("\n").toStdString();
  EXPECT_EQ(ctl.writes.size(), 3u);
}
