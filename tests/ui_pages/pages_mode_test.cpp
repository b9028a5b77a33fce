// The testing parameters follow the controller's mode also while the user is typing a time.
#include <QGroupBox>
#include <QLineEdit>
#include <QTabBar>

#include "tests/ui_pages/pages_fixture.h"

using namespace pagetest;

// The poll rebuilds the list when the controller leaves "Instalacja" while a time is being
// typed; the refill disables the edit, which loses the focus during the refill. What was typed
// must not reach the record later, since outside "Instalacja" these values belong to the
// application and "Zapisz" writes them back as read.
TEST_F(PagesTest, TimeBeingTypedIsDroppedWhenTheModeLeavesInstalacja) {
  LoadDoors(2);
  ASSERT_EQ(doors.passages[0].params.boltTime, 10);
  probe.RygTimEd->setText("9");
  probe.RygTimEd->setModified(true);
  probe.OpenTimEd->setText("1");
  probe.OpenTimEd->setModified(true);
  SetMode(0x82);
  pages->FillVisiblePage();
  emit probe.RygTimEd->editingFinished();  // the focus leaves the now disabled edit
  EXPECT_FALSE(probe.RygTimEd->isEnabled());
  EXPECT_EQ(probe.RygTimEd->text(), "5");
  EXPECT_EQ(probe.OpenTimEd->text(), "10");
  probe.DoorTc->setCurrentIndex(1);
  probe.DoorTc->setCurrentIndex(0);
  EXPECT_EQ(doors.passages[0].params.boltTime, 10);
  EXPECT_EQ(doors.passages[0].params.openTime, 20);
  EXPECT_EQ(probe.RygTimEd->text(), "5");

  // Back in "Instalacja" a time typed and left is stored as before.
  SetMode(0x83);
  pages->FillVisiblePage();
  Leave(probe.RygTimEd, "4");
  EXPECT_EQ(doors.passages[0].params.boltTime, 8);
}

TEST_F(PagesTest, LiftTimeBeingTypedIsDroppedWhenTheModeLeavesInstalacja) {
  LoadLift();
  probe.LiftTimEd->setText("20");
  probe.LiftTimEd->setModified(true);
  SetMode(0x82);
  pages->FillVisiblePage();
  emit probe.LiftTimEd->editingFinished();
  EXPECT_FALSE(probe.LTstGrpBox->isEnabled());
  EXPECT_EQ(probe.LiftTimEd->text(), "3");
  EXPECT_EQ(lift.params.unlockTime, 6);
  SetMode(0x83);
  pages->FillVisiblePage();
  EXPECT_EQ(probe.LiftTimEd->text(), "3");
}
