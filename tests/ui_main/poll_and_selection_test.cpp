// The main window against the rules for the poll and the Ethernet panel that the other window
// tests leave out: a rejected table found by the poll, mode changes of the selected controller,
// edits that survive a changed bus, a silent controller's row, a search that finds nothing new
// and the page set after switching between a lift and a door controller.
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "tests/support/scripted_endpoint.h"
#include "tests/ui_main/sim_net.h"
#include "tests/ui_main/window_rig.h"
#include "ui/config_pages.h"
#include "ui/io_selector_model.h"
#include "ui/wmain.h"

using zav::testing::Ctl;
using zav::testing::FakeClock;
using zav::testing::ScriptedEndpoint;
using zav::testing::SimCtl;
using zav::testing::SimNet;

namespace {

struct Rig : zav::testing::WindowRig {
  bool Offers(const PageRow& row, zav::IoRef ref) {
    for (int i = 0; i < row.model->Count(); ++i)
      if (row.model->RefAt(i) == ref) return true;
    return false;
  }
  bool Choose(PageRow& row, zav::IoRef ref) {
    for (int i = 0; i < row.model->Count(); ++i) {
      if (row.model->RefAt(i) == ref) {
        row.sel->setCurrentIndex(i);
        return true;
      }
    }
    return false;
  }
};

}  // namespace

class PollAndSelectionTest : public QObject {
  Q_OBJECT
 private slots:
  void rejectedRefreshedTableReloadsAndHidesPages();
  void selectedControllerToBlokadaKeepsWhatWasLoaded();
  void controllerSwitchedIntoServiceGetsDevicesNotPages();
  void busChangeKeepsEditsAndTheirMarks();
  void silentSelectionKeepsTheRowText();
  void searchFindingNothingNewKeepsEdits();
  void pagesFollowTheKindOfEachSelection();
  void failedTickLeavesPollPhase();
};

void PollAndSelectionTest::rejectedRefreshedTableReloadsAndHidesPages() {
  Rig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 2);
  TMainWin& w = rig.Start();
  QVERIFY(!rig.Pages().isHidden());
  QCOMPARE(c.Count('D'), 1);

  // The controller now reports a header the model does not accept, and one device more.
  c.header = 0x24;
  c.bus.push_back({(1u << 16) | 8u, 0x10, 0, 0, 1});
  w.UDPTimerTimer();
  rig.Settle();
  QCOMPARE(c.Count('D'), 3);  // the poll's read, then the full read of LoadConfig
  QCOMPARE(w.Edited().table.passageCount, 0);
  QVERIFY(rig.Pages().isHidden());
  QCOMPARE(rig.Rows("DevListBox"), QStringList());
  QCOMPARE(rig.W<QGroupBox>("SelDevBox")->title(), QString());
  QVERIFY(!rig.W<QPushButton>("DelLostBtn")->isEnabled());
  QVERIFY(!w.Edited().doors.complete);
  QCOMPARE(rig.boxes.texts, QStringList());

  // An accepted table again: the panel is filled, the pages wait for a selection.
  c.header = 0x22;
  w.UDPTimerTimer();
  rig.Settle();
  QCOMPARE(rig.Rows("DevListBox").size(), 4);
  QVERIFY(rig.Pages().isHidden());
  QCOMPARE(rig.boxes.texts, QStringList());
}

void PollAndSelectionTest::selectedControllerToBlokadaKeepsWhatWasLoaded() {
  Rig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 3);
  TMainWin& w = rig.Start();
  QVERIFY(rig.Probe().DTstGrpBox->isEnabled());
  const QStringList devices = rig.Rows("DevListBox");

  c.mode = 0;
  c.bus[1].state = 0x80;  // no longer read, so never shown
  w.UDPTimerTimer();
  rig.Settle();
  QCOMPARE(rig.Rows("EthLstBox"),
           QStringList({QStringLiteral(" K105_00066,  10.0.0.2,  Blokada")}));
  w.UDPTimerTimer();
  rig.Settle();
  QCOMPARE(c.Count('D'), 1);
  QCOMPARE(rig.Rows("DevListBox"), devices);
  QVERIFY(!rig.Pages().isHidden());
  // The refill after the rebuild follows the new mode.
  QVERIFY(!rig.Probe().DTstGrpBox->isEnabled());
  QVERIFY(!rig.Probe().RygTimEd->isEnabled());
  QCOMPARE(rig.boxes.texts, QStringList());
}

void PollAndSelectionTest::controllerSwitchedIntoServiceGetsDevicesNotPages() {
  Rig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 1);
  TMainWin& w = rig.Start();
  QCOMPARE(rig.boxes.texts.size(), 1);  // error 8
  QCOMPARE(rig.Rows("DevListBox"), QStringList());

  c.mode = 2;
  w.UDPTimerTimer();
  rig.Settle();
  QCOMPARE(rig.Rows("EthLstBox"), QStringList({QStringLiteral(" K105_00066,  10.0.0.2,  Serwis")}));
  QCOMPARE(rig.Rows("DevListBox").size(), 3);
  QCOMPARE(rig.W<QGroupBox>("SelDevBox")->title(), QStringLiteral(" K105_00066 "));
  QVERIFY(rig.Pages().isHidden());
  QCOMPARE(c.Count('C'), 0);
  QCOMPARE(rig.boxes.texts.size(), 1);
}

void PollAndSelectionTest::busChangeKeepsEditsAndTheirMarks() {
  Rig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 3);
  TMainWin& w = rig.Start();
  PageProbe& probe = rig.Probe();
  // Position 2 is the I/O module.
  QVERIFY(rig.Choose(probe.dOutRows[2], 0x0203));
  probe.DoorTc->setCurrentIndex(1);
  QVERIFY(rig.Choose(probe.dInRows[4], 0x0206));

  c.bus.push_back({(1u << 16) | 8u, 0x10, 0, 0, 1});
  w.UDPTimerTimer();
  rig.Settle();
  QCOMPARE(rig.Rows("DevListBox").size(), 4);
  QCOMPARE(c.Count('C'), 3);  // nothing re-read
  QCOMPARE(w.Edited().doors.passages[0].outputs[2], zav::IoRef{0x0203});
  QCOMPARE(w.Edited().doors.passages[1].inputs[4], zav::IoRef{0x0206});
  // The marks were rebuilt from memory, so the edited points stay out of the other lists.
  QCOMPARE(probe.DoorTc->currentIndex(), 1);
  QCOMPARE(probe.dInRows[4].model->RefAt(0), zav::IoRef{0x0206});
  QVERIFY(!rig.Offers(probe.dInRows[5], 0x0206));
  QVERIFY(!rig.Offers(probe.dOutRows[3], 0x0203));
  QVERIFY(rig.Offers(probe.dOutRows[3], 0x0204));
  // The new reader's port is offered at once.
  QVERIFY(rig.Offers(probe.dRdRows[0], 0x0300));
}

void PollAndSelectionTest::silentSelectionKeepsTheRowText() {
  Rig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 2);
  TMainWin& w = rig.Start();
  const QString serwis = QStringLiteral(" K105_00066,  10.0.0.2,  Serwis");
  c.silent = true;
  w.SelectEthDev();
  rig.Settle();
  QCOMPARE(rig.boxes.texts.size(), 1);
  QCOMPARE(rig.Rows("EthLstBox"), QStringList({serwis}));
  // The selection's poll recorded the change already, so the tick rebuilds nothing.
  w.UDPTimerTimer();
  rig.Settle();
  QCOMPARE(rig.Rows("EthLstBox"), QStringList({serwis}));
  // The next rebuild for another reason shows it.
  rig.net.Add(Ctl(305, 70), "10.0.0.3", 2);
  rig.W<QPushButton>("SearchEthBtn")->click();
  rig.Settle();
  QCOMPARE(rig.Rows("EthLstBox").first(), QStringLiteral(" K105_00066,  10.0.0.2,  Niedostępny"));
  QCOMPARE(w.Core().State()->set.selected, 0);
}

void PollAndSelectionTest::searchFindingNothingNewKeepsEdits() {
  Rig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 2);
  rig.net.Add(Ctl(305, 70), "10.0.0.3", 2);
  TMainWin& w = rig.Start();
  QVERIFY(rig.Choose(rig.Probe().dOutRows[1], 0x0205));
  rig.W<QPushButton>("SearchEthBtn")->click();
  rig.Settle();
  QCOMPARE(rig.W<QListView>("EthLstBox")->currentIndex().row(), 0);
  QCOMPARE(c.Count('D'), 1);
  QCOMPARE(w.Edited().doors.passages[0].outputs[1], zav::IoRef{0x0205});
  QCOMPARE(rig.Probe().dOutRows[1].model->RefAt(0), zav::IoRef{0x0205});
  // Clicking the selected row is a reload: the stored configuration comes back.
  w.EthLstBoxClick();
  rig.Settle();
  QCOMPARE(c.Count('D'), 2);
  QCOMPARE(w.Edited().doors.passages[0].outputs[1], zav::kNone);
}

void PollAndSelectionTest::pagesFollowTheKindOfEachSelection() {
  Rig rig;
  SimCtl& liftCtl = rig.net.Add(Ctl(305, 1), "10.0.0.2", 2);
  liftCtl.header = 0x41;
  rig.net.Add(Ctl(305, 2), "10.0.0.3", 2);
  TMainWin& w = rig.Start();
  TConfigPages& pages = rig.Pages();
  PageProbe& probe = rig.Probe();
  const int kontroler = pages.indexOf(probe.TabSheet1);
  const int door = pages.indexOf(probe.DoorSheet);
  const int liftPage = pages.indexOf(probe.LiftSheet);
  QCOMPARE(liftCtl.Count('C'), 1);
  QVERIFY(pages.isTabVisible(liftPage));
  QVERIFY(!pages.isTabVisible(door));
  QCOMPARE(pages.currentWidget(), probe.LiftSheet);

  rig.W<QListView>("EthLstBox")
      ->setCurrentIndex(rig.W<QListView>("EthLstBox")->model()->index(1, 0));
  rig.Settle();
  QCOMPARE(w.Core().State()->set.selected, 1);
  QVERIFY(pages.isTabVisible(kontroler));
  QVERIFY(pages.isTabVisible(door));
  QVERIFY(!pages.isTabVisible(liftPage));
  QCOMPARE(pages.currentWidget(), probe.DoorSheet);
  QCOMPARE(probe.DoorTc->count(), 2);
  QVERIFY(probe.WrCCfgBtn->isEnabled());
  QCOMPARE(rig.boxes.texts, QStringList());
}

void PollAndSelectionTest::failedTickLeavesPollPhase() {
  Rig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 2);
  TMainWin& w = rig.Start();
  c.silentSigned = true;
  w.UDPTimerTimer();
  rig.Settle();
  w.UDPTimerTimer();
  rig.Settle();
  QCOMPARE(rig.boxes.texts.size(), 2);
  QCOMPARE(w.Core().PollPhase(), 0);
  c.silentSigned = false;
  w.UDPTimerTimer();
  rig.Settle();
  QCOMPARE(w.Core().PollPhase(), 1);
  QCOMPARE(rig.boxes.texts.size(), 2);
}

QTEST_MAIN(PollAndSelectionTest)
#include "poll_and_selection_test.moc"
