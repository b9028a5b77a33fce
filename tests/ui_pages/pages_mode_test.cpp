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
  pages->RygTimEd->setText("9");
  pages->RygTimEd->setModified(true);
  pages->OpenTimEd->setText("1");
  pages->OpenTimEd->setModified(true);
  SetMode(0x82);
  pages->FillVisiblePage();
  emit pages->RygTimEd->editingFinished();  // the focus leaves the now disabled edit
  EXPECT_FALSE(pages->RygTimEd->isEnabled());
  EXPECT_EQ(pages->RygTimEd->text(), "5");
  EXPECT_EQ(pages->OpenTimEd->text(), "10");
  pages->DoorTc->setCurrentIndex(1);
  pages->DoorTc->setCurrentIndex(0);
  EXPECT_EQ(doors.passages[0].params.boltTime, 10);
  EXPECT_EQ(doors.passages[0].params.openTime, 20);
  EXPECT_EQ(pages->RygTimEd->text(), "5");

  // Back in "Instalacja" a time typed and left is stored as before.
  SetMode(0x83);
  pages->FillVisiblePage();
  Leave(pages->RygTimEd, "4");
  EXPECT_EQ(doors.passages[0].params.boltTime, 8);
}

TEST_F(PagesTest, LiftTimeBeingTypedIsDroppedWhenTheModeLeavesInstalacja) {
  LoadLift();
  pages->LiftTimEd->setText("20");
  pages->LiftTimEd->setModified(true);
  SetMode(0x82);
  pages->FillVisiblePage();
  emit pages->LiftTimEd->editingFinished();
  EXPECT_FALSE(pages->LTstGrpBox->isEnabled());
  EXPECT_EQ(pages->LiftTimEd->text(), "3");
  EXPECT_EQ(lift.params.unlockTime, 6);
  SetMode(0x83);
  pages->FillVisiblePage();
  EXPECT_EQ(pages->LiftTimEd->text(), "3");
}
