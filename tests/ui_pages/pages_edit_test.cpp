// What the user's actions on the pages do to the configuration in memory.
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTabBar>
#include <cstring>

#include "tests/ui_pages/pages_fixture.h"

using namespace pagetest;

TEST_F(PagesTest, ChosenOutputLeavesTheOtherSelectorsAndNoneReturnsIt) {
  LoadDoors(2);
  const zav::IoRef point = 0x0103;
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(Offers(probe.dOutRows[i].sel, point)) << i;
  ASSERT_TRUE(Choose(probe.dOutRows[2].sel, point));
  EXPECT_EQ(doors.passages[0].outputs[2], point);
  EXPECT_EQ(Refs(probe.dOutRows[2].sel).front(), point);
  EXPECT_EQ(probe.dOutRows[2].sel->currentIndex(), 0);
  for (int i = 0; i < 8; ++i) {
    if (i == 2) continue;
    EXPECT_FALSE(Offers(probe.dOutRows[i].sel, point)) << i;
  }
  // The alarm's former point is free again.
  EXPECT_TRUE(Offers(probe.dOutRows[5].sel, 0x0101));

  ASSERT_TRUE(Choose(probe.dOutRows[2].sel, N));
  EXPECT_EQ(doors.passages[0].outputs[2], N);
  EXPECT_EQ(probe.dOutRows[2].sel->currentText(), "  -----");
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(Offers(probe.dOutRows[i].sel, point)) << i;
}

TEST_F(PagesTest, DoorSensorFollowsTheBoltsDevice) {
  LoadDoors(2);
  // Only the module's free inputs are offered beside the present sensor.
  const auto sensorRefs = Refs(probe.dInRows[1].sel);
  ASSERT_GE(sensorRefs.size(), 3u);
  EXPECT_EQ(sensorRefs[0], 0x0105);
  EXPECT_EQ(sensorRefs[1], N);
  for (std::size_t i = 2; i < sensorRefs.size(); ++i) EXPECT_EQ(sensorRefs[i] >> 8, 1);

  ASSERT_TRUE(Choose(probe.dOutRows[0].sel, 0x0102));  // same device: sensor stays
  EXPECT_EQ(doors.passages[0].inputs[1], 0x0105);

  ASSERT_TRUE(Choose(probe.dOutRows[0].sel, 0x0200));  // the reader's relay
  EXPECT_EQ(doors.passages[0].inputs[1], N);
  EXPECT_TRUE(probe.dInRows[1].sel->isEnabled());
  EXPECT_EQ(Refs(probe.dInRows[1].sel), std::vector<zav::IoRef>({N, 0x0200, 0x0201}));
  // The sensor's old point went back to the other input selectors.
  EXPECT_TRUE(Offers(probe.dInRows[0].sel, 0x0105));

  ASSERT_TRUE(Choose(probe.dInRows[1].sel, 0x0201));
  EXPECT_EQ(doors.passages[0].inputs[1], 0x0201);
  ASSERT_TRUE(Choose(probe.dOutRows[0].sel, N));
  EXPECT_EQ(doors.passages[0].inputs[1], N);
  EXPECT_FALSE(probe.dInRows[1].sel->isEnabled());
  EXPECT_EQ(Items(probe.dInRows[1].sel), QStringList({"  -----"}));
}

TEST_F(PagesTest, NcBoxesFollowTheRowsPoint) {
  LoadDoors(2);
  PageRow& bolt = probe.dOutRows[0];  // a module output, which takes NC
  EXPECT_TRUE(bolt.cb->isEnabled());
  EXPECT_FALSE(bolt.cb->isChecked());
  bolt.cb->click();
  EXPECT_EQ(doors.passages[0].outputs[0], 0x0180);
  // A new choice inherits the box as it stands.
  ASSERT_TRUE(Choose(bolt.sel, 0x0104));
  EXPECT_EQ(doors.passages[0].outputs[0], 0x0184);
  EXPECT_TRUE(bolt.cb->isChecked());

  PageRow& reminder = probe.dOutRows[1];
  EXPECT_FALSE(reminder.cb->isEnabled());     // "  -----"
  ASSERT_TRUE(Choose(reminder.sel, 0x0002));  // a relay of the controller
  EXPECT_FALSE(reminder.cb->isEnabled());
  EXPECT_EQ(doors.passages[0].outputs[1], 0x0002);

  PageRow& exitButton = probe.dInRows[0];
  EXPECT_FALSE(exitButton.cb->isEnabled());
  ASSERT_TRUE(Choose(exitButton.sel, 0x0003));
  EXPECT_TRUE(exitButton.cb->isEnabled());  // every input takes NC
  exitButton.cb->click();
  EXPECT_EQ(doors.passages[0].inputs[0], 0x0083);
  exitButton.cb->click();
  EXPECT_EQ(doors.passages[0].inputs[0], 0x0003);
}

TEST_F(PagesTest, BoxesAndTypeApplyAtOnce) {
  LoadDoors(2);
  probe.KlamkaCb->click();
  probe.FullTimCb->click();
  EXPECT_EQ(doors.passages[0].params.airlockFlags, 0x87);
  probe.TypeCb->setCurrentIndex(4);
  EXPECT_EQ(doors.passages[0].params.type, 0x04);
  probe.dRdRows[0].cb->click();
  EXPECT_TRUE(doors.passages[0].params.ReaderExit(0));
  ASSERT_TRUE(Choose(probe.dRdRows[0].sel, N));
  EXPECT_FALSE(probe.dRdRows[0].cb->isEnabled());
  EXPECT_FALSE(probe.dRdRows[0].cb->isChecked());
  // Passage 2 is untouched by all of it.
  EXPECT_EQ(doors.passages[1].params.airlockFlags, 0);
  EXPECT_EQ(doors.passages[1].params.type, 2);
}

TEST_F(PagesTest, AirlockChoicesAreStored) {
  LoadDoors(16);
  probe.DoorTc->setCurrentIndex(3);
  probe.Sluza1Sel->setCurrentIndex(7);  // "Śluza 7"
  EXPECT_EQ(doors.passages[3].params.airlockFlags & 0x07, 6);
  probe.Sluza2Sel->setCurrentIndex(7);  // "Śluza 8"
  EXPECT_EQ(doors.passages[3].params.airlockFlags & 0x38, 7 << 3);
  EXPECT_EQ(probe.Sluza1Sel->currentIndex(), 7);
  probe.Sluza1Sel->setCurrentIndex(0);
  EXPECT_EQ(doors.passages[3].params.airlockFlags & 0x07, 7);
  EXPECT_EQ(doors.passages[0].params.airlockFlags, 0x47);
}

TEST_F(PagesTest, TimeTextsAreNormalisedWhenLeft) {
  LoadDoors(2);
  struct Case {
    const char* text;
    int stored;
    const char* shown;
  };
  const Case cases[] = {{"2,5", 5, "2,5"},    {"2,7", 5, "2,5"}, {"2,45", 4, "2"}, {"2.5", 4, "2"},
                        {"100", 127, "63,5"}, {"-3", 0, "0"},    {"abc", 0, "0"},  {" 7", 14, "7"}};
  for (const Case& c : cases) {
    Leave(probe.RygTimEd, QString::fromUtf8(c.text));
    EXPECT_EQ(doors.passages[0].params.boltTime, c.stored) << c.text;
    EXPECT_EQ(probe.RygTimEd->text(), QString::fromUtf8(c.shown)) << c.text;
  }
  Leave(probe.OpenTimEd, "1,5");
  EXPECT_EQ(doors.passages[0].params.openTime, 3);
  EXPECT_EQ(doors.passages[0].params.boltTime, 14);
}

TEST_F(PagesTest, TimeTypedBeforeATabClickStaysWithItsPassage) {
  LoadDoors(2);
  probe.RygTimEd->setText("4");
  probe.RygTimEd->setModified(true);
  probe.DoorTc->setCurrentIndex(1);  // the strip takes no focus, so the edit is never left
  EXPECT_EQ(doors.passages[0].params.boltTime, 8);
  EXPECT_EQ(doors.passages[1].params.boltTime, 7);
  EXPECT_EQ(probe.RygTimEd->text(), "3,5");
  // Leaving the edit of passage 2 later stores into passage 2 only.
  Leave(probe.RygTimEd, "1");
  EXPECT_EQ(doors.passages[1].params.boltTime, 2);
  EXPECT_EQ(doors.passages[0].params.boltTime, 8);
}

TEST_F(PagesTest, ShowingValuesNeverChangesTheRecords) {
  // A name with bytes after its NUL and a type byte above 4: showing them must store nothing.
  params0[0] = 0x57;
  params0[48 + 7] = 0;
  params0[48 + 9] = 0x81;
  LoadDoors(2);
  EXPECT_EQ(probe.TypeCb->currentIndex(), -1);
  std::uint8_t before[2][zav::kRecordLen];
  for (int p = 0; p < 2; ++p) doors.passages[p].Encode(before[p]);
  std::uint8_t ctlBefore[zav::kControllerIoDataLen];
  doors.controllerIo.Encode(ctlBefore);

  probe.DoorTc->setCurrentIndex(1);
  probe.DoorTc->setCurrentIndex(0);
  pages->setCurrentWidget(probe.TabSheet1);
  pages->setCurrentWidget(probe.DoorSheet);
  pages->ShowPages();
  SetMode(0x82);
  pages->FillVisiblePage();

  for (int p = 0; p < 2; ++p) {
    std::uint8_t after[zav::kRecordLen];
    doors.passages[p].Encode(after);
    EXPECT_EQ(std::memcmp(before[p], after, sizeof after), 0) << p;
  }
  std::uint8_t ctlAfter[zav::kControllerIoDataLen];
  doors.controllerIo.Encode(ctlAfter);
  EXPECT_EQ(std::memcmp(ctlBefore, ctlAfter, sizeof ctlAfter), 0);
}

TEST_F(PagesTest, ControllerPageEditsTheControllerRecord) {
  LoadDoors(8);
  pages->setCurrentWidget(probe.TabSheet1);
  ASSERT_TRUE(Choose(probe.cOutRows[3].sel, 0x0105));  // an NC-capable module output
  EXPECT_EQ(doors.controllerIo.outputs[3], 0x0105);
  EXPECT_TRUE(probe.cOutRows[3].cb->isEnabled());
  probe.cOutRows[3].cb->click();
  EXPECT_EQ(doors.controllerIo.outputs[3], 0x0185);
  EXPECT_FALSE(probe.cOutRows[0].cb->isEnabled());  // the controller's relay
  ASSERT_TRUE(Choose(probe.cInRows[5].sel, 0x0106));
  probe.cInRows[5].cb->click();
  EXPECT_EQ(doors.controllerIo.inputs[5], 0x0186);
  EXPECT_FALSE(Offers(probe.cInRows[6].sel, 0x0106));
}

TEST_F(PagesTest, LiftPageEditsTheLiftRecord) {
  LoadLift();
  ASSERT_TRUE(Choose(probe.lOutSetRows[2].sel, 0x0301));
  EXPECT_EQ(lift.floorSets[2], 0x0301);
  EXPECT_FALSE(Offers(probe.lOutSetRows[3].sel, 0x0301));
  ASSERT_TRUE(Choose(probe.lInRows[4].sel, 0x0302));
  probe.lInRows[4].cb->click();
  EXPECT_EQ(lift.inputs[4], 0x0382);
  ASSERT_TRUE(Choose(probe.lRdRows[1].sel, 0x0300));
  EXPECT_EQ(lift.readers[1], 0x0300);
  EXPECT_FALSE(Offers(probe.lRdRows[2].sel, 0x0300));
  Leave(probe.LiftTimEd, "70");
  EXPECT_EQ(lift.params.unlockTime, 127);
  EXPECT_EQ(probe.LiftTimEd->text(), "63,5");
  // Inputs 0 to 2 have no selector and keep their points.
  EXPECT_EQ(lift.inputs[0], 0x0004);
  EXPECT_FALSE(Offers(probe.lInRows[3].sel, 0x0004));
}

TEST_F(PagesTest, RefillByThePollKeepsATimeBeingTyped) {
  LoadDoors(2);
  probe.RygTimEd->setText("9");
  probe.RygTimEd->setModified(true);
  pages->FillVisiblePage();  // the poll found a changed bus
  EXPECT_EQ(probe.RygTimEd->text(), "9");
  EXPECT_EQ(doors.passages[0].params.boltTime, 10);
  emit probe.RygTimEd->editingFinished();
  EXPECT_EQ(doors.passages[0].params.boltTime, 18);
  // Once taken in, later refills show the model again.
  doors.SetBoltTime(0, 3);
  pages->FillVisiblePage();
  EXPECT_EQ(probe.RygTimEd->text(), "1,5");
  // Loading the controller again drops what was typed and not left.
  probe.RygTimEd->setText("20");
  probe.RygTimEd->setModified(true);
  pages->ShowPages();
  EXPECT_EQ(probe.RygTimEd->text(), "1,5");
}
