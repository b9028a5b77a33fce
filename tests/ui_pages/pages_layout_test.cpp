// Which pages, tabs, rows and items the pages show for each kind of controller.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>

#include "tests/ui_pages/pages_fixture.h"

using namespace pagetest;

namespace {
QStringList Tabs(const QTabBar* bar) {
  QStringList out;
  for (int i = 0; i < bar->count(); ++i) out << bar->tabText(i);
  return out;
}
}  // namespace

TEST_F(PagesTest, NothingLoadedHidesThePageControl) {
  pages->ShowPages();
  EXPECT_TRUE(pages->isHidden());
  // Filling with a clear table must touch nothing.
  pages->FillVisiblePage();
  EXPECT_EQ(pages->dOutRows[0].sel->count(), 0);
}

TEST_F(PagesTest, TwoPassagesShowTwoTabsTwoAirlocksAndTheEvacuationOutput) {
  LoadDoors(2);
  EXPECT_FALSE(pages->isHidden());
  EXPECT_EQ(Tabs(pages->DoorTc), QStringList({"1", "2"}));
  EXPECT_EQ(pages->DoorTc->currentIndex(), 0);
  EXPECT_TRUE(pages->isTabVisible(pages->indexOf(pages->TabSheet1)));
  EXPECT_TRUE(pages->isTabVisible(pages->indexOf(pages->DoorSheet)));
  EXPECT_FALSE(pages->isTabVisible(pages->indexOf(pages->LiftSheet)));
  for (int i = 0; i < 8; ++i) {
    const bool shown = i < 2 || i == 7;
    EXPECT_EQ(!pages->cOutRows[i].lb->isHidden(), shown) << i;
    EXPECT_EQ(!pages->cOutRows[i].sel->isHidden(), shown) << i;
    EXPECT_EQ(!pages->cOutRows[i].cb->isHidden(), shown) << i;
  }
  EXPECT_EQ(pages->cOutRows[7].lb->text(), "Ewakuacja:");
  EXPECT_EQ(Items(pages->Sluza1Sel), QStringList({"  -----", "Śluza 1", "Śluza 2"}));
  EXPECT_EQ(Items(pages->Sluza2Sel), QStringList({"  -----", "Śluza 2"}));
  EXPECT_FALSE(pages->Sluza1Sel->isEditable());
  EXPECT_FALSE(pages->Sluza2Sel->isEditable());
}

TEST_F(PagesTest, SixteenPassagesShowEightAirlocks) {
  LoadDoors(16);
  EXPECT_EQ(pages->DoorTc->count(), 16);
  EXPECT_EQ(pages->DoorTc->tabText(15), "16");
  for (int i = 0; i < 8; ++i) EXPECT_FALSE(pages->cOutRows[i].sel->isHidden()) << i;
  EXPECT_EQ(pages->cOutRows[7].lb->text(), "Śluza 8:");
  EXPECT_EQ(pages->Sluza1Sel->count(), 8);
  EXPECT_EQ(pages->Sluza1Sel->itemText(7), "Śluza 7");
  EXPECT_EQ(pages->Sluza2Sel->count(), 8);
  EXPECT_EQ(pages->Sluza2Sel->itemText(7), "Śluza 8");
}

TEST_F(PagesTest, EightPassagesShowFourAirlockOutputs) {
  LoadDoors(8);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(!pages->cOutRows[i].sel->isHidden(), i < 4) << i;
  EXPECT_EQ(pages->cOutRows[7].lb->text(), "Ewakuacja:");
  EXPECT_EQ(Items(pages->Sluza2Sel).last(), "Śluza 4");
}

TEST_F(PagesTest, PassagePageShowsTheSelectedPassage) {
  LoadDoors(2);
  EXPECT_EQ(pages->DoorNameEd->text(), "Wejscie");
  EXPECT_EQ(pages->TypeCb->currentText(), "Normalne");
  EXPECT_EQ(pages->RygTimEd->text(), "5");
  EXPECT_EQ(pages->OpenTimEd->text(), "10");
  EXPECT_TRUE(pages->KlamkaCb->isChecked());
  EXPECT_FALSE(pages->FullTimCb->isChecked());
  EXPECT_EQ(Refs(pages->dOutRows[0].sel).front(), 0x0100);
  EXPECT_EQ(Refs(pages->dInRows[1].sel).front(), 0x0105);
  EXPECT_EQ(pages->dOutRows[3].sel->currentText(), "  -----");
  EXPECT_EQ(pages->Sluza1Sel->currentIndex(), 0);
  EXPECT_TRUE(pages->dRdRows[0].cb->isEnabled());
  EXPECT_FALSE(pages->dRdRows[1].cb->isEnabled());

  pages->DoorTc->setCurrentIndex(1);
  EXPECT_EQ(pages->DoorNameEd->text(), "Drugie");
  EXPECT_EQ(pages->TypeCb->currentText(), "Bistabilne");
  EXPECT_EQ(pages->RygTimEd->text(), "3,5");
  EXPECT_EQ(pages->dOutRows[0].sel->currentText(), "  -----");
  // Passage 1's bolt is taken, so passage 2 is not offered it.
  EXPECT_FALSE(Offers(pages->dOutRows[0].sel, 0x0100));
  EXPECT_TRUE(Offers(pages->dOutRows[0].sel, 0x0102));
}

TEST_F(PagesTest, ControllerRowsZeroAndOneOfferOnlyTheControllersOwnPoints) {
  LoadDoors(8);
  pages->setCurrentWidget(pages->TabSheet1);
  for (int row : {0, 1}) {
    const auto refs = Refs(pages->cInRows[row].sel);
    ASSERT_GE(refs.size(), 3u);
    for (std::size_t i = 2; i < refs.size(); ++i) EXPECT_EQ(refs[i] >> 8, 0) << row;
  }
  EXPECT_TRUE(Offers(pages->cInRows[2].sel, 0x0100));
  EXPECT_TRUE(Offers(pages->cOutRows[2].sel, 0x0100) == false);  // taken by passage 1's bolt
  EXPECT_TRUE(Offers(pages->cOutRows[2].sel, 0x0102));
  EXPECT_FALSE(Offers(pages->cOutRows[0].sel, 0x0102));
}

TEST_F(PagesTest, KontrolerPageIsRefilledWhenShown) {
  LoadDoors(2);
  ASSERT_TRUE(Choose(pages->dOutRows[4].sel, 0x0001));  // the controller's relay 2
  pages->setCurrentWidget(pages->TabSheet1);
  EXPECT_FALSE(Offers(pages->cOutRows[1].sel, 0x0001));
  EXPECT_TRUE(Offers(pages->cOutRows[1].sel, 0x0002));
}

TEST_F(PagesTest, LiftControllerShowsOnlyTheLiftPage) {
  LoadLift();
  EXPECT_FALSE(pages->isTabVisible(pages->indexOf(pages->TabSheet1)));
  EXPECT_FALSE(pages->isTabVisible(pages->indexOf(pages->DoorSheet)));
  EXPECT_TRUE(pages->isTabVisible(pages->indexOf(pages->LiftSheet)));
  EXPECT_EQ(pages->currentWidget(), pages->LiftSheet);
  EXPECT_FALSE(pages->WrCCfgBtn->isEnabled());
  EXPECT_EQ(pages->LiftNameEd->text(), "Winda A");
  EXPECT_EQ(pages->LiftTimEd->text(), "3");
  EXPECT_EQ(Refs(pages->lOutSetRows[0].sel).front(), 0x0300);
  // The second set of the module has the same text as the first, told apart by its value.
  EXPECT_EQ(Refs(pages->lOutSetRows[1].sel), std::vector<zav::IoRef>({N, 0x0301}));
  EXPECT_EQ(pages->lOutSetRows[1].sel->itemText(1), pages->lOutSetRows[0].sel->itemText(0));

  // A door controller selected afterwards brings the door pages back.
  table.Clear();
  LoadDoors(2);
  EXPECT_TRUE(pages->isTabVisible(pages->indexOf(pages->TabSheet1)));
  EXPECT_FALSE(pages->isTabVisible(pages->indexOf(pages->LiftSheet)));
  EXPECT_TRUE(pages->WrCCfgBtn->isEnabled());
  EXPECT_NE(pages->currentWidget(), pages->LiftSheet);
}

TEST_F(PagesTest, TestingGroupsFollowTheMode) {
  LoadDoors(2, 0x82);  // Serwis
  for (QWidget* w : std::initializer_list<QWidget*>{
           pages->DTstGrpBox, pages->TypeCb, pages->RygTimEd, pages->OpenTimEd, pages->KlamkaCb,
           pages->FullTimCb, pages->RygTimsLb, pages->TypeLb})
    EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
  EXPECT_TRUE(pages->DoorNameEd->isEnabled());
  SetMode(0x83);
  pages->FillPassagePage();
  EXPECT_TRUE(pages->DTstGrpBox->isEnabled());
  EXPECT_TRUE(pages->RygTimEd->isEnabled());
}

TEST_F(PagesTest, HelpAndReportButtonsReachTheWindow) {
  LoadDoors(2);
  pages->HelpDoorBtn->click();
  pages->RapCfgBtn->click();
  EXPECT_EQ(host.helpClicks, 1);
  EXPECT_EQ(host.reportClicks, 1);
}
