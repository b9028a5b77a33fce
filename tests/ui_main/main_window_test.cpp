// The main window driven through the scripted network: start-up, selection, the poll, the bus
// devices panel and shutdown.
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "core/controller_ops.h"
#include "link/uerr.h"
#include "tests/support/scripted_endpoint.h"
#include "tests/ui_main/sim_net.h"
#include "tests/ui_main/window_rig.h"
#include "ui/config_pages.h"
#include "ui/wmain.h"
#include "ui/wmain_endpoint.h"

using zav::testing::BusEntry;
using zav::testing::Ctl;
using zav::testing::FakeClock;
using zav::testing::ScriptedEndpoint;
using zav::testing::SimCtl;
using zav::testing::SimNet;

namespace {

// A socket that stopped working: every receive and send fails with the system's text.
class BrokenEndpoint : public zav::UdpEndpoint {
 public:
  void Send(const std::string&, std::uint16_t, const std::uint8_t*, std::size_t) override {
    throw std::system_error(ENETDOWN, std::generic_category(), "sendto");
  }
  int Receive(std::uint8_t*, std::size_t, int, std::string&, std::uint16_t&) override {
    ++receives;
    if (broken) throw std::system_error(ENETDOWN, std::generic_category(), "recvfrom");
    return -1;
  }
  bool broken = false;
  int receives = 0;
};

// The scripted network behind a switch that makes the socket fail.
class FlakyEndpoint : public zav::UdpEndpoint {
 public:
  explicit FlakyEndpoint(zav::UdpEndpoint& inner) : inner_(inner) {}
  void Send(const std::string& a, std::uint16_t p, const std::uint8_t* d, std::size_t n) override {
    if (broken) throw std::system_error(ENETDOWN, std::generic_category(), "sendto");
    inner_.Send(a, p, d, n);
  }
  int Receive(std::uint8_t* b, std::size_t c, int w, std::string& a, std::uint16_t& p) override {
    if (broken) throw std::system_error(ENETDOWN, std::generic_category(), "recvfrom");
    return inner_.Receive(b, c, w, a, p);
  }
  bool broken = false;

 private:
  zav::UdpEndpoint& inner_;
};

struct Rig : zav::testing::WindowRig {
  QStringList EthRows() {
    QStringList rows;
    auto* list = W<QListView>("EthLstBox");
    for (int i = 0; i < list->model()->rowCount(); ++i)
      rows << list->model()->index(i, 0).data().toString();
    return rows;
  }
  QStringList DevRows() {
    QStringList rows;
    auto* list = W<QListView>("DevListBox");
    for (int i = 0; i < list->model()->rowCount(); ++i)
      rows << list->model()->index(i, 0).data().toString();
    return rows;
  }
  int Broadcasts() const {
    int n = 0;
    for (const auto& d : ep.sent) n += d.addr == "255.255.255.255";
    return n;
  }
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void startupWithoutControllers();
  void startupSelectsFirstOfSortedSet();
  void selectionByMouseAndKeyboard();
  void blokadaShowsError8();
  void silentControllerShowsError1();
  void otherFamilyLoadsNothing();
  void newLowerControllerAppearsAbove();
  void inactiveDeviceShownWithinOneTick();
  void deleteAndReplaceSendCommandsAndReload();
  void closingSendsCloseToSessionsOnce();
  void repeatedSocketErrorShowsOneBox();
  void ticksDoNotNestInErrorBoxes();
  void errorsShareOneBoxUnlessItIsOpen();
  void keepAliveSpreadOverFifteenTicks();
  void failedPartialReadIsNotWritable();
  void undecodableBlockIsReported();
  void unboundPortShowsOneError();
  void wwwOpensSelectedAddress();
  void helpButtonsShowTheirTopics();
  void passageTabsShowHoweverThePageWasReached();
};

void MainWindowTest::startupWithoutControllers() {
  Rig rig;
  TMainWin& w = rig.Start();
  QCOMPARE(w.windowTitle(), QStringLiteral("ZavConfig 1.4.5"));
  QCOMPARE(w.size(), QSize(1039, 662));
  QCOMPARE(w.minimumSize(), w.maximumSize());
  QCOMPARE(rig.Broadcasts(), 3);
  QCOMPARE(rig.EthRows().size(), 0);
  QVERIFY(!rig.W<QPushButton>("WwwBtn")->isEnabled());
  QVERIFY(rig.Pages().isHidden());
  QCOMPARE(rig.W<QGroupBox>("SelDevBox")->title(), QString());
  QCOMPARE(rig.DevRows().size(), 0);
  QVERIFY(!rig.W<QPushButton>("DelLostBtn")->isEnabled());
  QVERIFY(!rig.W<QPushButton>("ReplaceBtn")->isEnabled());
  QVERIFY(!rig.W<QComboBox>("ReplCb")->isEnabled());
  QVERIFY(rig.W<QPushButton>("UpgrBtn")->isHidden());
  QCOMPARE(rig.boxes.texts.size(), 0);
  // A tick with an empty set only collects.
  const auto sentBefore = rig.ep.sent.size();
  w.UDPTimerTimer();
  rig.Settle();
  QCOMPARE(rig.ep.sent.size(), sentBefore);
}

void MainWindowTest::startupSelectsFirstOfSortedSet() {
  Rig rig;
  SimCtl& b = rig.net.Add(Ctl(305, 90), "10.0.0.2", 2);
  SimCtl& a = rig.net.Add(Ctl(305, 66), "10.0.0.3", 3);
  TMainWin& w = rig.Start();
  QCOMPARE(rig.EthRows(), QStringList({QStringLiteral(" K105_00066,  10.0.0.3,  Instalacja"),
                                       QStringLiteral(" K105_00090,  10.0.0.2,  Serwis")}));
  QCOMPARE(w.Core().State()->set.selected, 0);
  QCOMPARE(rig.W<QListView>("EthLstBox")->currentIndex().row(), 0);
  // The first one is loaded without a click: table, controller block, both passages.
  QCOMPARE(a.Count('D'), 1);
  QCOMPARE(a.Count('C'), 3);
  QCOMPARE(b.Count('D'), 0);
  QVERIFY(w.Edited().doors.complete);
  QVERIFY(!rig.Pages().isHidden());
  QCOMPARE(rig.W<QGroupBox>("SelDevBox")->title(), QStringLiteral(" K105_00066 "));
  QCOMPARE(rig.DevRows(), QStringList({QStringLiteral(" Kontroler: K105_00066/A1"),
                                       QStringLiteral("    Czytnik: R101_00007/A1"),
                                       QStringLiteral("      Moduł: D101_00003/A1")}));
  QVERIFY(!rig.W<QPushButton>("DelLostBtn")->isEnabled());
  QVERIFY(rig.W<QPushButton>("WwwBtn")->isEnabled());
  QCOMPARE(a.timeStamps, 1);
  QCOMPARE(rig.boxes.texts.size(), 0);
}

void MainWindowTest::selectionByMouseAndKeyboard() {
  Rig rig;
  SimCtl& a = rig.net.Add(Ctl(305, 1), "10.0.0.2", 2);
  SimCtl& b = rig.net.Add(Ctl(305, 2), "10.0.0.3", 2);
  TMainWin& w = rig.Start();
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  auto* list = rig.W<QListView>("EthLstBox");

  // One click on another row loads it once.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualRect(list->model()->index(1, 0)).center());
  QTest::qWait(20);
  rig.Settle();
  QCOMPARE(w.Core().State()->set.selected, 1);
  QCOMPARE(b.Count('D'), 1);

  // A click on the row already selected reloads it.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualRect(list->model()->index(1, 0)).center());
  QTest::qWait(20);
  rig.Settle();
  QCOMPARE(b.Count('D'), 2);

  // The keyboard moves the selection and loads the new row.
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Up);
  rig.Settle();
  QTest::qWait(20);
  QCOMPARE(w.Core().State()->set.selected, 0);
  QCOMPARE(a.Count('D'), 2);
  QCOMPARE(rig.boxes.texts.size(), 0);
}

void MainWindowTest::blokadaShowsError8() {
  Rig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 0);
  rig.Start();
  QCOMPARE(rig.boxes.texts,
           QStringList({QStringLiteral("K105_00066, tryb: Blokada.\n\nBłąd nr 8: Kontroler nie "
                                       "pozwala odczytać ustawień przejść.\nUstaw go w tryb "
                                       "'Service'\n")}));
  QCOMPARE(rig.boxes.titles, QStringList({QStringLiteral("Error")}));
  QCOMPARE(c.signedSeen.size(), std::size_t{0});
  QVERIFY(rig.Pages().isHidden());
  QCOMPARE(rig.DevRows().size(), 0);
  QCOMPARE(rig.W<QGroupBox>("SelDevBox")->title(), QString());
}

void MainWindowTest::silentControllerShowsError1() {
  Rig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 2);
  rig.net.Add(Ctl(305, 70), "10.0.0.3", 2);
  TMainWin& w = rig.Start();
  QCOMPARE(rig.DevRows().size(), 3);

  // The loaded controller goes quiet; selecting it again clears everything.
  c.silent = true;
  w.SelectEthDev();
  rig.Settle();
  QCOMPARE(
      rig.boxes.texts,
      QStringList({QStringLiteral("K105_00066, tryb: Niedostępny.\n\nBłąd nr 1: Urządzenie nie "
                                  "odpowiada.\n")}));
  QCOMPARE(w.Edited().table.passageCount, 0);
  QVERIFY(rig.Pages().isHidden());
  QCOMPARE(rig.DevRows().size(), 0);
  QCOMPARE(rig.W<QGroupBox>("SelDevBox")->title(), QString());
}

void MainWindowTest::otherFamilyLoadsNothing() {
  Rig rig;
  // A terminal (family 1) that answers discovery.
  SimCtl& t = rig.net.Add(0x30000000u | (105u << 16) | 9u, "10.0.0.9", 2);
  TMainWin& w = rig.Start();
  QCOMPARE(rig.EthRows().size(), 1);
  QCOMPARE(rig.boxes.texts.size(), 0);
  QCOMPARE(t.signedSeen.size(), std::size_t{0});
  QVERIFY(rig.Pages().isHidden());
  QCOMPARE(rig.DevRows().size(), 0);
  // Nor does the poll read anything from it.
  w.UDPTimerTimer();
  rig.Settle();
  QCOMPARE(t.signedSeen.size(), std::size_t{0});
}

void MainWindowTest::newLowerControllerAppearsAbove() {
  Rig rig;
  SimCtl& b = rig.net.Add(Ctl(305, 50), "10.0.0.2", 2);
  TMainWin& w = rig.Start();
  QCOMPARE(b.Count('D'), 1);

  // Found by a search.
  rig.net.Add(Ctl(305, 10), "10.0.0.3", 2);
  rig.W<QPushButton>("SearchEthBtn")->click();
  rig.Settle();
  QCOMPARE(rig.EthRows().size(), 2);
  QVERIFY(rig.EthRows()[0].startsWith(QStringLiteral(" K105_00010")));
  QCOMPARE(w.Core().State()->set.selected, 1);
  QCOMPARE(rig.W<QListView>("EthLstBox")->currentIndex().row(), 1);
  QCOMPARE(b.Count('D'), 1);  // nothing re-read

  // Answering late, between ticks: the next tick takes it in.
  SimCtl& late = rig.net.Add(Ctl(305, 5), "10.0.0.4", 2);
  late.answersDiscovery = false;
  rig.net.QueueStatus(late);
  w.UDPTimerTimer();
  rig.Settle();
  QCOMPARE(rig.EthRows().size(), 3);
  QVERIFY(rig.EthRows()[0].startsWith(QStringLiteral(" K105_00005")));
  QCOMPARE(late.timeStamps, 1);
  QCOMPARE(w.Core().State()->set.selected, 2);
  QCOMPARE(rig.W<QListView>("EthLstBox")->currentIndex().row(), 2);
  QCOMPARE(w.Core().State()->set.devs[2].id, b.id);
  QCOMPARE(rig.boxes.texts.size(), 0);
}

void MainWindowTest::inactiveDeviceShownWithinOneTick() {
  Rig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 2);
  TMainWin& w = rig.Start();
  QVERIFY(!rig.W<QPushButton>("DelLostBtn")->isEnabled());
  w.UDPTimerTimer();  // nothing changed: the list stays
  rig.Settle();
  QCOMPARE(c.Count('D'), 2);
  QVERIFY(!rig.DevRows()[1].contains(QStringLiteral("nieaktywny")));

  c.bus[1].state = 0x80;
  w.UDPTimerTimer();
  rig.Settle();
  QCOMPARE(rig.DevRows()[1], QStringLiteral("    Czytnik: R101_00007/A1,   (nieaktywny)"));
  QVERIFY(rig.W<QPushButton>("DelLostBtn")->isEnabled());
  QVERIFY(!rig.W<QPushButton>("ReplaceBtn")->isEnabled());
  QVERIFY(w.Edited().doors.complete);  // configuration kept, not re-read
  QCOMPARE(c.Count('C'), 3);

  // A new reader of the same type makes a pair.
  c.bus.push_back({(1u << 16) | 8u, 0x10, 0, 0, 1});
  w.UDPTimerTimer();
  rig.Settle();
  auto* cb = rig.W<QComboBox>("ReplCb");
  QCOMPARE(cb->count(), 1);
  QCOMPARE(cb->currentIndex(), 0);
  QCOMPARE(cb->itemText(0), QStringLiteral("R101_00007 <-- R101_00008"));
  QCOMPARE(cb->itemData(0).toUInt(), 1u + 256u * 3u);
  QVERIFY(cb->isEnabled());
  QVERIFY(rig.W<QPushButton>("ReplaceBtn")->isEnabled());
  QCOMPARE(rig.boxes.texts.size(), 0);
}

void MainWindowTest::deleteAndReplaceSendCommandsAndReload() {
  Rig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 2);
  c.bus[1].state = 0x80;
  c.bus.push_back({(1u << 16) | 8u, 0x10, 0, 0, 1});
  TMainWin& w = rig.Start();
  QVERIFY(rig.W<QPushButton>("ReplaceBtn")->isEnabled());

  rig.W<QPushButton>("ReplaceBtn")->click();
  rig.Settle();
  // "R" carries the pair: old position 1 low, new position 3 high; then a full reload.
  std::size_t r = 0;
  while (r < c.signedSeen.size() && c.signedSeen[r].first != 'R') ++r;
  QVERIFY(r < c.signedSeen.size());
  QCOMPARE(c.signedSeen[r].second, (std::vector<std::uint8_t>{1, 3}));
  QVERIFY(r + 1 < c.signedSeen.size());
  QCOMPARE(c.signedSeen[r + 1].first, 'D');
  QCOMPARE(c.Count('C'), 6);
  QVERIFY(w.Edited().doors.complete);

  // The controller drops the lost device; "Usuń nieaktywne" sends "F" and reloads.
  c.signedSeen.clear();
  rig.W<QPushButton>("DelLostBtn")->setEnabled(true);
  rig.W<QPushButton>("DelLostBtn")->click();
  rig.Settle();
  QCOMPARE(c.Count('F'), 1);
  std::size_t f = 0;
  while (c.signedSeen[f].first != 'F') ++f;
  QVERIFY(f + 1 < c.signedSeen.size());
  QCOMPARE(c.signedSeen[f + 1].first, 'D');
  QCOMPARE(c.Count('C'), 3);

  // An unacknowledged command ends the action before the reload.
  // (The tick that runs first shows its own failure of the table poll.)
  c.signedSeen.clear();
  c.silentSigned = true;
  rig.W<QPushButton>("DelLostBtn")->click();
  rig.Settle();
  QCOMPARE(rig.boxes.texts.size(), 2);
  QVERIFY(rig.boxes.texts[0].contains(QStringLiteral("Błąd nr 6 (r.'D')")));
  QVERIFY(rig.boxes.texts[1].contains(QStringLiteral("Błąd nr 6 (r.'F')")));
  QCOMPARE(c.signedSeen.back().first, 'F');  // no reload after it
  QCOMPARE(rig.DevRows().size(), 4);
}

void MainWindowTest::closingSendsCloseToSessionsOnce() {
  Rig rig;
  SimCtl& a = rig.net.Add(Ctl(305, 1), "10.0.0.2", 2);
  SimCtl& b = rig.net.Add(Ctl(305, 2), "10.0.0.3", 2);
  TMainWin& w = rig.Start();
  QVERIFY(w.Core().State()->set.devs[0].session);
  QVERIFY(!w.Core().State()->set.devs[1].session);
  w.close();
  rig.Settle();
  QCOMPARE(a.Count('s'), 1);
  QCOMPARE(b.signedSeen.size(), std::size_t{0});
  rig.win.reset();
  QCOMPARE(a.Count('s'), 1);

  // A controller that does not answer the close does not stop the others.
  Rig rig2;
  SimCtl& c = rig2.net.Add(Ctl(305, 1), "10.0.0.2", 2);
  SimCtl& d = rig2.net.Add(Ctl(305, 2), "10.0.0.3", 2);
  TMainWin& w2 = rig2.Start();
  rig2.W<QListView>("EthLstBox")
      ->setCurrentIndex(rig2.W<QListView>("EthLstBox")->model()->index(1, 0));
  rig2.Settle();
  w2.SelectEthDev();
  rig2.Settle();
  QVERIFY(w2.Core().State()->set.devs[0].session && w2.Core().State()->set.devs[1].session);
  c.silentSigned = true;
  rig2.win.reset();
  QCOMPARE(c.Count('s'), 3);
  QCOMPARE(d.Count('s'), 1);
}

void MainWindowTest::repeatedSocketErrorShowsOneBox() {
  // Broken from the start, with no controller known.
  {
    FakeClock clock;
    BrokenEndpoint ep;
    zav::testing::BoxCloser boxes;
    TMainWin w(ep, clock);
    w.Timer().stop();
    QVERIFY(w.Settle());
    QCOMPARE(boxes.texts.size(), 1);  // the search could not send
    ep.broken = true;
    for (int i = 0; i < 60; ++i) {
      w.UDPTimerTimer();
      QVERIFY(w.Settle());
    }
    QCOMPARE(boxes.texts.size(), 2);
    QVERIFY(boxes.texts[1].contains(QStringLiteral("recvfrom")));
    // With an empty set no tick completes, so later failures stay silent.
    ep.broken = false;
    w.UDPTimerTimer();
    QVERIFY(w.Settle());
    ep.broken = true;
    w.UDPTimerTimer();
    QVERIFY(w.Settle());
    QCOMPARE(boxes.texts.size(), 2);
  }
  // The adapter goes away while a controller is loaded, and comes back.
  Rig rig;
  FlakyEndpoint flaky(rig.ep);
  rig.net.Add(Ctl(305, 66), "10.0.0.2", 2);
  TMainWin w(flaky, rig.clock);
  w.Timer().stop();
  QVERIFY(w.Settle());
  QCOMPARE(w.Edited().table.activeCount, 3);
  flaky.broken = true;
  for (int i = 0; i < 60; ++i) {
    w.UDPTimerTimer();
    QVERIFY(w.Settle());
  }
  QCOMPARE(rig.boxes.texts.size(), 1);
  QVERIFY(!w.Core().ShowsTickErrors());
  flaky.broken = false;
  w.UDPTimerTimer();
  QVERIFY(w.Settle());
  QVERIFY(w.Core().ShowsTickErrors());
  flaky.broken = true;
  w.UDPTimerTimer();
  QVERIFY(w.Settle());
  QCOMPARE(rig.boxes.texts.size(), 2);
}

void MainWindowTest::ticksDoNotNestInErrorBoxes() {
  Rig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 2);
  TMainWin& w = rig.Start();
  c.silentSigned = true;  // every table poll fails with error 6
  int nestedTicks = 0;
  rig.boxes.onBox = [&] {
    // What the timer does while the box is open: the ticks run and fail behind it.
    if (nestedTicks++ < 5) {
      w.UDPTimerTimer();
      QVERIFY(w.Settle(10000, false));
    }
  };
  w.UDPTimerTimer();
  rig.Settle();
  QCOMPARE(rig.boxes.texts.size(), 1);
  QCOMPARE(rig.boxes.maxDepth, 1);
  QVERIFY(rig.boxes.texts[0].contains(QStringLiteral("Błąd nr 6 (r.'D')")));
  // A UErr is shown on every tick that meets it.
  rig.boxes.onBox = nullptr;
  w.UDPTimerTimer();
  rig.Settle();
  w.UDPTimerTimer();
  rig.Settle();
  QCOMPARE(rig.boxes.texts.size(), 3);
}

void MainWindowTest::errorsShareOneBoxUnlessItIsOpen() {
  Rig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 2);
  TMainWin& w = rig.Start();
  c.silentSigned = true;  // every table read fails with error 6
  auto errorBoxes = [&] { return w.findChildren<QMessageBox*>(QStringLiteral("ErrorBox")).size(); };
  for (int i = 0; i < 3; ++i) {
    w.UDPTimerTimer();
    rig.Settle();
  }
  QCOMPARE(rig.boxes.texts.size(), 3);
  QCOMPARE(errorBoxes(), 1);
  QCOMPARE(rig.boxes.maxDepth, 1);

  // A tick that fails while a selection's box is open waits behind it: one box at a time. Its
  // error says what the box says, so it is not shown again once the box closes.
  rig.boxes.texts.clear();
  bool ticked = false;
  qsizetype boxesWhileOpen = 0;
  QWidget* modalAtStart = nullptr;
  QWidget* modalAfterTick = nullptr;
  rig.boxes.onBox = [&] {
    if (ticked) return;
    ticked = true;
    modalAtStart = QApplication::activeModalWidget();
    w.UDPTimerTimer();
    QVERIFY(w.Settle(10000, false));
    boxesWhileOpen = errorBoxes();
    modalAfterTick = QApplication::activeModalWidget();
  };
  w.SelectEthDev();
  rig.Settle();
  QVERIFY(ticked);
  QCOMPARE(rig.boxes.texts.size(), 1);
  QVERIFY(rig.boxes.texts[0].contains(QStringLiteral("Błąd nr 6 (r.'D')")));
  QCOMPARE(boxesWhileOpen, 1);
  QCOMPARE(modalAfterTick, modalAtStart);
  QCOMPARE(rig.boxes.maxDepth, 1);
  QCOMPARE(errorBoxes(), 1);

  // The shared box shows the text of each error, not the first one's.
  rig.boxes.onBox = nullptr;
  rig.boxes.texts.clear();
  c.silentSigned = false;
  c.silent = true;
  w.SelectEthDev();
  rig.Settle();
  QCOMPARE(rig.boxes.texts.size(), 1);
  QVERIFY(rig.boxes.texts[0].contains(QStringLiteral("Błąd nr 1:")));
  QCOMPARE(errorBoxes(), 1);
}

void MainWindowTest::keepAliveSpreadOverFifteenTicks() {
  Rig rig;
  for (unsigned i = 0; i < 20; ++i)
    rig.net.Add(Ctl(305, 100 + i), "10.0.1." + std::to_string(i + 1), 1);
  TMainWin& w = rig.Start();  // mode Konfiguracja: error 8, nothing loaded
  QCOMPARE(w.Core().State()->set.count, 20);
  rig.boxes.texts.clear();
  for (int i = 0; i < 20; ++i)
    rig.net.GiveSession(*rig.net.ctls[i], static_cast<std::uint8_t>(i + 1));
  w.Core().Run([](zav::UdpDevSet& set, zav::core::LoadedConfig&) {
    for (int i = 0; i < 20; ++i) {
      set.devs[i].session = true;
      std::fill(std::begin(set.devs[i].key), std::end(set.devs[i].key), i + 1);
    }
  });
  rig.Settle();
  QCOMPARE(w.Core().PollPhase(), 0);
  auto keepAlives = [&] {
    std::vector<int> got;
    for (int i = 0; i < 20; ++i)
      if (rig.net.ctls[i]->Count('S') > 0) got.push_back(i);
    for (auto& c : rig.net.ctls) c->signedSeen.clear();
    return got;
  };
  w.UDPTimerTimer();
  rig.Settle();
  QCOMPARE(keepAlives(), (std::vector<int>{0, 15}));
  w.UDPTimerTimer();
  rig.Settle();
  QCOMPARE(keepAlives(), (std::vector<int>{1, 16}));
  for (int i = 2; i < 15; ++i) {
    w.UDPTimerTimer();
    rig.Settle();
  }
  QCOMPARE(keepAlives().size(), std::size_t{16});  // slots 2..14 and 17..19
  QCOMPARE(w.Core().PollPhase(), 0);
  w.UDPTimerTimer();
  rig.Settle();
  QCOMPARE(keepAlives(), (std::vector<int>{0, 15}));
  QCOMPARE(rig.boxes.texts.size(), 0);
}

void MainWindowTest::failedPartialReadIsNotWritable() {
  Rig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 2);
  c.silentConfig[1] = true;  // the second passage never answers
  TMainWin& w = rig.Start();
  QCOMPARE(rig.boxes.texts.size(), 1);
  QVERIFY(rig.boxes.texts[0].contains(QStringLiteral("Błąd nr 6 (r.'C')")));
  QVERIFY(!w.Edited().doors.complete);
  QVERIFY(!w.Edited().doors.Writable(w.Core().State()->set.devs[0]));
  // The table was read, so the panel shows it.
  QCOMPARE(rig.DevRows().size(), 3);

  // A later complete read makes it writable again.
  c.silentConfig[1] = false;
  w.SelectEthDev();
  rig.Settle();
  QVERIFY(w.Edited().doors.complete);
}

void MainWindowTest::undecodableBlockIsReported() {
  Rig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 2);
  c.shortConfig[1] = 40;  // the second passage is answered with a controller-sized block
  TMainWin& w = rig.Start();
  // No link error, yet the read is not complete: the user is told, and it cannot be written.
  QCOMPARE(rig.boxes.texts.size(), 1);
  QCOMPARE(rig.boxes.texts[0], QString::fromUtf8(zav::core::kBadBlockText));
  QCOMPARE(rig.boxes.titles[0], QStringLiteral("Error"));
  QVERIFY(!w.Edited().doors.complete);
  QVERIFY(!w.Edited().doors.Writable(w.Core().State()->set.devs[0]));
  QCOMPARE(rig.DevRows().size(), 3);

  c.shortConfig.clear();
  w.SelectEthDev();
  rig.Settle();
  QCOMPARE(rig.boxes.texts.size(), 1);
  QVERIFY(w.Edited().doors.complete);
}

void MainWindowTest::unboundPortShowsOneError() {
  FakeClock clock;
  UnboundEndpoint ep(45389, std::make_error_code(std::errc::address_in_use));
  zav::testing::BoxCloser boxes;
  TMainWin w(ep, clock);
  w.Timer().stop();
  QVERIFY(w.Settle());
  QCOMPARE(boxes.texts.size(), 1);
  QVERIFY(boxes.texts[0].contains(QStringLiteral("45389")));
  for (int i = 0; i < 5; ++i) {
    w.UDPTimerTimer();
    QVERIFY(w.Settle());
  }
  QCOMPARE(boxes.texts.size(), 1);
  QVERIFY(w.findChild<TConfigPages*>(QStringLiteral("CtrlTypeSet"))->isHidden());
}

void MainWindowTest::wwwOpensSelectedAddress() {
  Rig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "192.168.10.77", 2);
  TMainWin& w = rig.Start();
  QStringList opened;
  w.openUrl = [&](const QString& url) { opened << url; };
  c.silent = true;  // no status poll is made first
  rig.W<QPushButton>("WwwBtn")->click();
  rig.Settle();
  QCOMPARE(opened, QStringList({QStringLiteral("http://192.168.10.77")}));
}

void MainWindowTest::helpButtonsShowTheirTopics() {
  Rig rig;
  TMainWin& w = rig.Start();
  QList<int> topics;
  w.showHelpTopic = [&](int topic) { topics << topic; };
  rig.W<QPushButton>("HelpEthBtn")->click();
  rig.Settle();
  rig.W<QPushButton>("HelpDevBtn")->click();
  rig.Settle();
  rig.W<QPushButton>("HelpDoorBtn")->click();
  QCOMPARE(topics, QList<int>({0, 1, 2}));
}

// The passage tab strip is filled while its page is out of sight both at start (the window is
// not shown yet) and when a controller is chosen with "Kontroler" in front; either way the
// strip must take its height, so that every passage can be reached and no control moves.
void MainWindowTest::passageTabsShowHoweverThePageWasReached() {
  Rig rig;
  rig.net.Add(Ctl(305, 66), "10.0.0.2", 3);
  SimCtl& big = rig.net.Add(Ctl(305, 67), "10.0.0.3", 3);
  big.header = 0x30;  // 16 passages
  TMainWin& w = rig.Start(true);
  auto* pages = rig.W<QTabWidget>("CtrlTypeSet");
  auto* strip = rig.W<QTabBar>("DoorTc");
  auto* name = rig.W<QLineEdit>("DoorNameEd");
  pages->setCurrentWidget(rig.Probe().DoorSheet);
  QApplication::processEvents();
  QCOMPARE(strip->count(), 2);
  QVERIFY(strip->height() > 0);
  QCOMPARE(strip->height(), strip->sizeHint().height());
  const QPoint nameAt = name->mapTo(&w, QPoint(0, 0));

  pages->setCurrentWidget(rig.Probe().TabSheet1);
  auto* list = rig.W<QListView>("EthLstBox");
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualRect(list->model()->index(1, 0)).center());
  rig.Settle();
  QCOMPARE(strip->count(), 16);
  pages->setCurrentWidget(rig.Probe().DoorSheet);
  QApplication::processEvents();
  QCOMPARE(strip->height(), strip->sizeHint().height());
  QCOMPARE(name->mapTo(&w, QPoint(0, 0)), nameAt);
  QCOMPARE(rig.boxes.texts, QStringList());
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
