// The device panel and the pages when their contents are rebuilt over earlier ones: a poll that
// changes one line, a selection of another controller with as many devices, and the same
// controller again. Whatever the window keeps from before, it must show what a fresh build
// shows.
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QScrollBar>
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
  // The device lines the table holds, in display order: what a rebuilt list shows.
  QStringList TableLines() {
    QStringList lines;
    for (int i = 0; i < win->Edited().table.activeCount; ++i)
      lines << QString::fromStdString(win->Edited().table.DeviceLine(win->Edited().table.order[i]));
    return lines;
  }
  QStringList Items(const char* combo) {
    QStringList items;
    auto* c = W<QComboBox>(combo);
    for (int i = 0; i < c->count(); ++i) items << c->itemText(i);
    return items;
  }
};

}  // namespace

class ReloadPanelsTest : public QObject {
  Q_OBJECT
 private slots:
  void pollChangingOneLineShowsTheNewLine();
  void anotherControllerWithAsManyDevicesShowsItsOwn();
  void sameControllerAgainStartsTheListAfresh();
  void sameControllerAgainDropsWhatWasTypedOrEdited();
};

void ReloadPanelsTest::pollChangingOneLineShowsTheNewLine() {
  Rig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 3);
  c.bus.push_back({(1u << 16) | 9u, 0, 0, 0, 1});  // a second reader
  TMainWin& w = rig.Start();
  const QStringList before = rig.Rows("DevListBox");
  QCOMPARE(before.size(), 4);
  QCOMPARE(rig.Items("ReplCb"), QStringList());

  // The first reader is lost and the second is new: one line each changes, none is added.
  c.bus[1].state = 0x80;
  c.bus[3].state = 0x10;
  w.UDPTimerTimer();
  rig.Settle();
  const QStringList after = rig.Rows("DevListBox");
  QCOMPARE(after, rig.TableLines());
  QCOMPARE(after.size(), 4);
  QVERIFY(after != before);
  QVERIFY(after.join('|').contains(QStringLiteral("(nieaktywny)")));
  QVERIFY(after.join('|').contains(QStringLiteral("(nowy)")));
  QCOMPARE(rig.Items("ReplCb").size(), 1);
  QCOMPARE(rig.W<QComboBox>("ReplCb")->currentIndex(), 0);
  QVERIFY(rig.W<QComboBox>("ReplCb")->isEnabled());

  // Back as it was: the lines and the empty pair list return.
  c.bus[1].state = 0;
  c.bus[3].state = 0;
  w.UDPTimerTimer();
  rig.Settle();
  QCOMPARE(rig.Rows("DevListBox"), before);
  QCOMPARE(rig.Items("ReplCb"), QStringList());
  QVERIFY(!rig.W<QComboBox>("ReplCb")->isEnabled());
  QCOMPARE(rig.boxes.texts, QStringList());
}

void ReloadPanelsTest::anotherControllerWithAsManyDevicesShowsItsOwn() {
  Rig rig;
  rig.net.Add(Ctl(305, 66), "10.0.0.2", 3);
  SimCtl& b = rig.net.Add(Ctl(305, 77), "10.0.0.3", 3);
  b.bus[1].id = (1u << 16) | 55u;  // another reader at the same position
  TMainWin& w = rig.Start();
  PageProbe& probe = rig.Probe();
  const QStringList first = rig.Rows("DevListBox");
  auto items = [](const QComboBox* sel) {
    QStringList out;
    for (int i = 0; i < sel->count(); ++i) out << sel->itemText(i);
    return out.join('|');
  };
  QVERIFY(items(probe.dRdRows[0].sel).contains(QStringLiteral("00007")));

  rig.W<QListView>("EthLstBox")
      ->setCurrentIndex(rig.W<QListView>("EthLstBox")->model()->index(1, 0));
  rig.Settle();
  QCOMPARE(w.Core().State()->set.selected, 1);
  QCOMPARE(rig.Rows("DevListBox"), rig.TableLines());
  QCOMPARE(rig.Rows("DevListBox").size(), first.size());
  QVERIFY(rig.Rows("DevListBox") != first);
  QCOMPARE(rig.W<QGroupBox>("SelDevBox")->title(), QStringLiteral(" K105_00077 "));
  // The reader port is offered under the new reader's name.
  QVERIFY(items(probe.dRdRows[0].sel).contains(QStringLiteral("00055")));
  QVERIFY(!items(probe.dRdRows[0].sel).contains(QStringLiteral("00007")));
  QCOMPARE(rig.boxes.texts, QStringList());
}

void ReloadPanelsTest::sameControllerAgainStartsTheListAfresh() {
  Rig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 3);
  for (unsigned i = 0; i < 40; ++i) c.bus.push_back({(1u << 16) | (100u + i), 0, 0, 0, 1});
  TMainWin& w = rig.Start();
  auto* list = rig.W<QListView>("DevListBox");
  const QStringList rows = rig.Rows("DevListBox");
  list->setCurrentIndex(list->model()->index(30, 0));
  list->scrollToBottom();
  QVERIFY(list->verticalScrollBar()->value() > 0);
  rig.Probe().DoorTc->setCurrentIndex(1);

  w.EthLstBoxClick();  // the row already selected: everything is read again
  rig.Settle();
  QCOMPARE(c.Count('D'), 2);
  QCOMPARE(rig.Rows("DevListBox"), rows);
  QCOMPARE(list->currentIndex().row(), -1);
  QCOMPARE(list->verticalScrollBar()->value(), 0);
  QCOMPARE(rig.Probe().DoorTc->currentIndex(), 0);
  QCOMPARE(rig.boxes.texts, QStringList());
}

// Reading the same controller again throws away what the pages hold beyond what it read: a time
// typed and not yet taken in, an edited name, and the editing rights of a mode it left.
void ReloadPanelsTest::sameControllerAgainDropsWhatWasTypedOrEdited() {
  Rig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 3);
  TMainWin& w = rig.Start();
  PageProbe& p = rig.Probe();
  const QString time = p.RygTimEd->text();
  const QString name = p.DoorNameEd->text();
  QVERIFY(p.RygTimEd->isEnabled());

  p.RygTimEd->setText(QStringLiteral("9"));
  p.RygTimEd->setModified(true);
  w.EthLstBoxClick();
  rig.Settle();
  QCOMPARE(p.RygTimEd->text(), time);
  QVERIFY(!p.RygTimEd->isModified());

  p.DoorNameEd->setText(QStringLiteral("Inna nazwa"));
  QCOMPARE(QString::fromStdString(w.Edited().doors.Name(0)), QStringLiteral("Inna nazwa"));
  w.EthLstBoxClick();
  rig.Settle();
  QCOMPARE(p.DoorNameEd->text(), name);

  c.mode = 2;  // Serwis: the test parameters are no longer the installer's
  w.EthLstBoxClick();
  rig.Settle();
  QVERIFY(!p.RygTimEd->isEnabled());

  // Nothing changed at all: the pages show what was read.
  w.EthLstBoxClick();
  rig.Settle();
  QCOMPARE(p.RygTimEd->text(), time);
  QCOMPARE(p.DoorNameEd->text(), name);
  QVERIFY(!p.RygTimEd->isEnabled());
  QCOMPARE(c.Count('D'), 5);
  QCOMPARE(rig.boxes.texts, QStringList());
}

QTEST_MAIN(ReloadPanelsTest)
#include "reload_panels_test.moc"
