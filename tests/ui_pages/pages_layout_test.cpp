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
  EXPECT_EQ(probe.dOutRows[0].sel->count(), 0);
}

TEST_F(PagesTest, TwoPassagesShowTwoTabsTwoAirlocksAndTheEvacuationOutput) {
  LoadDoors(2);
  EXPECT_FALSE(pages->isHidden());
  EXPECT_EQ(Tabs(probe.DoorTc), QStringList({"1", "2"}));
  EXPECT_EQ(probe.DoorTc->currentIndex(), 0);
  EXPECT_TRUE(pages->isTabVisible(pages->indexOf(probe.TabSheet1)));
  EXPECT_TRUE(pages->isTabVisible(pages->indexOf(probe.DoorSheet)));
  EXPECT_FALSE(pages->isTabVisible(pages->indexOf(probe.LiftSheet)));
  for (int i = 0; i < 8; ++i) {
    const bool shown = i < 2 || i == 7;
    EXPECT_EQ(!probe.cOutRows[i].lb->isHidden(), shown) << i;
    EXPECT_EQ(!probe.cOutRows[i].sel->isHidden(), shown) << i;
    EXPECT_EQ(!probe.cOutRows[i].cb->isHidden(), shown) << i;
  }
  EXPECT_EQ(probe.cOutRows[7].lb->text(), "Ewakuacja:");
  EXPECT_EQ(Items(probe.Sluza1Sel), QStringList({"  -----", "Śluza 1", "Śluza 2"}));
  EXPECT_EQ(Items(probe.Sluza2Sel), QStringList({"  -----", "Śluza 2"}));
  EXPECT_FALSE(probe.Sluza1Sel->isEditable());
  EXPECT_FALSE(probe.Sluza2Sel->isEditable());
}

TEST_F(PagesTest, SixteenPassagesShowEightAirlocks) {
  LoadDoors(16);
  EXPECT_EQ(probe.DoorTc->count(), 16);
  EXPECT_EQ(probe.DoorTc->tabText(15), "16");
  for (int i = 0; i < 8; ++i) EXPECT_FALSE(probe.cOutRows[i].sel->isHidden()) << i;
  EXPECT_EQ(probe.cOutRows[7].lb->text(), "Śluza 8:");
  EXPECT_EQ(probe.Sluza1Sel->count(), 8);
  EXPECT_EQ(probe.Sluza1Sel->itemText(7), "Śluza 7");
  EXPECT_EQ(probe.Sluza2Sel->count(), 8);
  EXPECT_EQ(probe.Sluza2Sel->itemText(7), "Śluza 8");
}

TEST_F(PagesTest, EightPassagesShowFourAirlockOutputs) {
  LoadDoors(8);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(!probe.cOutRows[i].sel->isHidden(), i < 4) << i;
  EXPECT_EQ(probe.cOutRows[7].lb->text(), "Ewakuacja:");
  EXPECT_EQ(Items(probe.Sluza2Sel).last(), "Śluza 4");
}

TEST_F(PagesTest, PassagePageShowsTheSelectedPassage) {
  LoadDoors(2);
  EXPECT_EQ(probe.DoorNameEd->text(), "Wejscie");
  EXPECT_EQ(probe.TypeCb->currentText(), "Normalne");
  EXPECT_EQ(probe.RygTimEd->text(), "5");
  EXPECT_EQ(probe.OpenTimEd->text(), "10");
  EXPECT_TRUE(probe.KlamkaCb->isChecked());
  EXPECT_FALSE(probe.FullTimCb->isChecked());
  EXPECT_EQ(Refs(probe.dOutRows[0].sel).front(), 0x0100);
  EXPECT_EQ(Refs(probe.dInRows[1].sel).front(), 0x0105);
  EXPECT_EQ(probe.dOutRows[3].sel->currentText(), "  -----");
  EXPECT_EQ(probe.Sluza1Sel->currentIndex(), 0);
  EXPECT_TRUE(probe.dRdRows[0].cb->isEnabled());
  EXPECT_FALSE(probe.dRdRows[1].cb->isEnabled());

  probe.DoorTc->setCurrentIndex(1);
  EXPECT_EQ(probe.DoorNameEd->text(), "Drugie");
  EXPECT_EQ(probe.TypeCb->currentText(), "Bistabilne");
  EXPECT_EQ(probe.RygTimEd->text(), "3,5");
  EXPECT_EQ(probe.dOutRows[0].sel->currentText(), "  -----");
  // Passage 1's bolt is taken, so passage 2 is not offered it.
  EXPECT_FALSE(Offers(probe.dOutRows[0].sel, 0x0100));
  EXPECT_TRUE(Offers(probe.dOutRows[0].sel, 0x0102));
}

TEST_F(PagesTest, ControllerRowsZeroAndOneOfferOnlyTheControllersOwnPoints) {
  LoadDoors(8);
  pages->setCurrentWidget(probe.TabSheet1);
  for (int row : {0, 1}) {
    const auto refs = Refs(probe.cInRows[row].sel);
    ASSERT_GE(refs.size(), 3u);
    for (std::size_t i = 2; i < refs.size(); ++i) EXPECT_EQ(refs[i] >> 8, 0) << row;
  }
  EXPECT_TRUE(Offers(probe.cInRows[2].sel, 0x0100));
  EXPECT_TRUE(Offers(probe.cOutRows[2].sel, 0x0100) == false);  // taken by passage 1's bolt
  EXPECT_TRUE(Offers(probe.cOutRows[2].sel, 0x0102));
  EXPECT_FALSE(Offers(probe.cOutRows[0].sel, 0x0102));
}

TEST_F(PagesTest, KontrolerPageIsRefilledWhenShown) {
  LoadDoors(2);
  ASSERT_TRUE(Choose(probe.dOutRows[4].sel, 0x0001));  // the controller's relay 2
  pages->setCurrentWidget(probe.TabSheet1);
  EXPECT_FALSE(Offers(probe.cOutRows[1].sel, 0x0001));
  EXPECT_TRUE(Offers(probe.cOutRows[1].sel, 0x0002));
}

TEST_F(PagesTest, LiftControllerShowsOnlyTheLiftPage) {
  LoadLift();
  EXPECT_FALSE(pages->isTabVisible(pages->indexOf(probe.TabSheet1)));
  EXPECT_FALSE(pages->isTabVisible(pages->indexOf(probe.DoorSheet)));
  EXPECT_TRUE(pages->isTabVisible(pages->indexOf(probe.LiftSheet)));
  EXPECT_EQ(pages->currentWidget(), probe.LiftSheet);
  EXPECT_FALSE(probe.WrCCfgBtn->isEnabled());
  EXPECT_EQ(probe.LiftNameEd->text(), "Winda A");
  EXPECT_EQ(probe.LiftTimEd->text(), "3");
  EXPECT_EQ(Refs(probe.lOutSetRows[0].sel).front(), 0x0300);
  // The second set of the module has the same text as the first, told apart by its value.
  EXPECT_EQ(Refs(probe.lOutSetRows[1].sel), std::vector<zav::IoRef>({N, 0x0301}));
  EXPECT_EQ(probe.lOutSetRows[1].sel->itemText(1), probe.lOutSetRows[0].sel->itemText(0));

  // A door controller selected afterwards brings the door pages back.
  table.Clear();
  LoadDoors(2);
  EXPECT_TRUE(pages->isTabVisible(pages->indexOf(probe.TabSheet1)));
  EXPECT_FALSE(pages->isTabVisible(pages->indexOf(probe.LiftSheet)));
  EXPECT_TRUE(probe.WrCCfgBtn->isEnabled());
  EXPECT_NE(pages->currentWidget(), probe.LiftSheet);
}

TEST_F(PagesTest, TestingGroupsFollowTheMode) {
  LoadDoors(2, 0x82);  // Serwis
  for (QWidget* w : std::initializer_list<QWidget*>{probe.DTstGrpBox, probe.TypeCb, probe.RygTimEd,
                                                    probe.OpenTimEd, probe.KlamkaCb,
                                                    probe.FullTimCb, probe.RygTimsLb, probe.TypeLb})
    EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
  EXPECT_TRUE(probe.DoorNameEd->isEnabled());
  SetMode(0x83);
  pages->FillVisiblePage();
  EXPECT_TRUE(probe.DTstGrpBox->isEnabled());
  EXPECT_TRUE(probe.RygTimEd->isEnabled());
}

TEST_F(PagesTest, HelpAndReportButtonsReachTheWindow) {
  LoadDoors(2);
  probe.HelpDoorBtn->click();
  probe.RapCfgBtn->click();
  EXPECT_EQ(host.helpClicks, 1);
  EXPECT_EQ(host.reportClicks, 1);
}
