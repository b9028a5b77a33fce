// The window while the controller core's worker is busy: the worker is held inside a receive
// (a controller that has not answered yet) and the test looks at the window meanwhile.
#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "link/udpdevset.h"
#include "tests/support/gate_endpoint.h"
#include "tests/support/scripted_endpoint.h"
#include "tests/ui_main/sim_net.h"
#include "tests/ui_main/window_rig.h"
#include "config/backup_file.h"
#include "ui/backup_action.h"
#include "ui/config_pages.h"
#include "ui/wmain.h"

using zav::testing::BoxCloser;
using zav::testing::Ctl;
using zav::testing::FakeClock;
using zav::testing::GateEndpoint;
using zav::testing::ScriptedEndpoint;
using zav::testing::SignedLetter;
using zav::testing::SimCtl;
using zav::testing::SimNet;

namespace {

struct GatedRig {
  FakeClock clock;
  ScriptedEndpoint ep{clock};
  SimNet net{ep};
  GateEndpoint gate{ep};
  BoxCloser boxes;
  std::unique_ptr<TMainWin> win;

  TMainWin& Start() {
    win = std::make_unique<TMainWin>(gate, clock);
    win->Timer().stop();
    Settle();
    return *win;
  }
  void Settle() {
    if (!win->Settle()) qFatal("the controller core never settled");
  }
  template <class T>
  T* W(const char* name) {
    return win->findChild<T*>(QString::fromLatin1(name));
  }
  // Holds the worker after the next signed request with this letter.
  void HoldAfterSigned(char letter) {
    gate.Arm(
        [letter](const std::uint8_t* d, std::size_t n) { return SignedLetter(d, n) == letter; });
  }
  // Processes the window's events until done() or for at most a few seconds.
  static bool Until(const std::function<bool()>& done) {
    for (int i = 0; i < 2000 && !done(); ++i) {
      QApplication::processEvents(QEventLoop::AllEvents, 5);
      QThread::msleep(1);
    }
    return done();
  }
  int VisibleErrorBoxes() const {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
      n += qobject_cast<QMessageBox*>(w) != nullptr && w->isVisible();
    return n;
  }
  // Index in the sent datagrams of the first one to addr at or after from, -1 when none.
  int FirstTo(const std::string& addr, std::size_t from = 0) const {
    for (std::size_t i = from; i < ep.sent.size(); ++i)
      if (ep.sent[i].addr == addr) return static_cast<int>(i);
    return -1;
  }
};

}  // namespace

class WorkerWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void windowAnswersWhileSelectedControllerIsSilent();
  void clickDuringTickLoadsClickedControllerAfterIt();
  void zapiszDuringTickWritesTheEditedValues();
  void closingDuringLoadGoesAtOnceAndClosesSessionsOnce();
  void oneBoxAtATimeWhileKeepAlivesContinue();
  void enterSpaceAndRightClickLoadNothing();
  void kopiaThenPrzywrocWritesTheBackupAndReadsItBack();
  void restoreNoticeAndAnErrorShowOneAfterTheOther();
};

void WorkerWindowTest::windowAnswersWhileSelectedControllerIsSilent() {
  GatedRig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 2);
  TMainWin& w = rig.Start();
  QList<int> topics;
  w.showHelpTopic = [&](int topic) { topics << topic; };

  c.silentSigned = true;  // the table poll waits for an answer that does not come
  rig.HoldAfterSigned('D');
  w.UDPTimerTimer();
  QVERIFY(rig.gate.WaitHeld());
  // The worker waits on the network; the window still handles posted events and input.
  bool posted = false;
  QTimer::singleShot(0, &w, [&] { posted = true; });
  QVERIFY(GatedRig::Until([&] { return posted; }));
  rig.W<QPushButton>("HelpEthBtn")->click();
  QCOMPARE(topics, QList<int>{0});
  QVERIFY(rig.gate.Held());
  QVERIFY(!w.Core().Idle());

  rig.gate.Release();
  rig.Settle();
  QCOMPARE(rig.boxes.texts.size(), 1);
  QVERIFY(rig.boxes.texts[0].contains(QStringLiteral("Błąd nr 6 (r.'D')")));
}

void WorkerWindowTest::clickDuringTickLoadsClickedControllerAfterIt() {
  GatedRig rig;
  SimCtl& a = rig.net.Add(Ctl(305, 1), "10.0.0.2", 2);
  SimCtl& b = rig.net.Add(Ctl(305, 2), "10.0.0.3", 2);
  TMainWin& w = rig.Start();
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  QCOMPARE(a.Count('D'), 1);

  rig.HoldAfterSigned('D');
  w.UDPTimerTimer();
  QVERIFY(rig.gate.WaitHeld());
  const std::size_t sentBeforeClick = rig.ep.sent.size();
  auto* list = rig.W<QListView>("EthLstBox");
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualRect(list->model()->index(1, 0)).center());
  GatedRig::Until([] { return false; });          // the click's own queued work, for a moment
  QCOMPARE(rig.ep.sent.size(), sentBeforeClick);  // nothing goes out before the tick ends
  rig.gate.Release();
  rig.Settle();

  QCOMPARE(w.Core().State()->set.selected, 1);
  QCOMPARE(a.Count('D'), 2);  // the tick's table poll of the controller then selected
  QCOMPARE(b.Count('D'), 1);
  QCOMPARE(b.Count('C'), 3);
  // Everything of the tick went out before the first datagram of the selection.
  const int firstToB = rig.FirstTo(b.addr, sentBeforeClick);
  QVERIFY(firstToB >= 0);
  QCOMPARE(rig.FirstTo(a.addr, static_cast<std::size_t>(firstToB)), -1);
  QCOMPARE(list->currentIndex().row(), 1);
  QCOMPARE(rig.boxes.texts, QStringList());
}

void WorkerWindowTest::zapiszDuringTickWritesTheEditedValues() {
  GatedRig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 3);
  TMainWin& w = rig.Start();
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  auto* pages = rig.W<TConfigPages>("CtrlTypeSet");
  pages->setCurrentWidget(PageProbe(*pages).DoorSheet);
  QVERIFY(w.Edited().doors.complete);

  rig.HoldAfterSigned('D');
  w.UDPTimerTimer();
  QVERIFY(rig.gate.WaitHeld());
  auto* name = rig.W<QLineEdit>("DoorNameEd");
  name->setFocus();
  name->selectAll();
  QTest::keyClicks(name, QStringLiteral("Brama"));
  rig.W<QPushButton>("WrDCfgBtn")->click();
  // Typed after the press: not part of what was asked to be written.
  QTest::keyClicks(name, QStringLiteral("X"));
  rig.gate.Release();
  rig.Settle();

  QCOMPARE(rig.boxes.texts, QStringList());
  std::vector<std::vector<std::uint8_t>> writes;
  for (const auto& [letter, payload] : c.signedSeen)
    if (letter == 'c') writes.push_back(payload);
  QCOMPARE(writes.size(), std::size_t{3});  // the controller block and both passages
  const std::vector<std::uint8_t>& first = writes[1];
  QCOMPARE(int(first[0]), 1);  // passage record
  QCOMPARE(int(first[1]), 0);  // passage 1
  const std::string stored(reinterpret_cast<const char*>(first.data() + 2 + 88), 6);
  QCOMPARE(stored, std::string("Brama\0", 6));
}

void WorkerWindowTest::closingDuringLoadGoesAtOnceAndClosesSessionsOnce() {
  GatedRig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 2);
  TMainWin& w = rig.Start();
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  QCOMPARE(c.Count('C'), 3);

  rig.HoldAfterSigned('C');
  w.SelectEthDev();
  QVERIFY(rig.gate.WaitHeld());
  w.UDPTimerTimer();  // asked for, never run: nothing new starts once the window closes
  QVERIFY(w.close());
  QVERIFY(!w.isVisible());  // gone while the load still waits on the network
  QVERIFY(rig.gate.Held());

  // The load gives up after the exchange it waits on; the sessions close once after it.
  std::atomic<bool> closing{false};
  std::thread opener([&] {
    while (!closing.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    rig.gate.Release();
  });
  closing = true;
  w.CloseSessions();
  opener.join();
  QCOMPARE(c.Count('s'), 1);
  QVERIFY(c.Count('C') < 6);  // the second load stopped part-way
  QCOMPARE(c.signedSeen.back().first, 's');
  rig.win.reset();
  QCOMPARE(c.Count('s'), 1);
}

void WorkerWindowTest::oneBoxAtATimeWhileKeepAlivesContinue() {
  GatedRig rig;
  SimCtl& a = rig.net.Add(Ctl(305, 1), "10.0.0.2", 3);
  SimCtl& x = rig.net.Add(Ctl(305, 2), "10.0.0.3", 3);
  SimCtl& b = rig.net.Add(Ctl(305, 3), "10.0.0.4", 3);
  TMainWin& w = rig.Start();  // a is loaded and holds a session
  rig.net.GiveSession(x, 9);
  w.Core().Run([](zav::UdpDevSet& set, zav::core::LoadedConfig&) {
    set.devs[1].session = true;
    std::fill(std::begin(set.devs[1].key), std::end(set.devs[1].key), 9);
  });
  rig.Settle();
  x.silentSigned = true;  // its keep-alive fails: another error than the box on screen
  b.silent = true;

  int boxesAtOnce = 0;
  int keepAlivesBehindBox = 0;
  bool ticked = false;
  rig.boxes.onBox = [&] {
    if (ticked) return;
    ticked = true;
    const int before = a.Count('S');
    for (int i = 0; i < 15; ++i) {
      w.UDPTimerTimer();
      QVERIFY(w.Settle(10000, false));
      boxesAtOnce = std::max(boxesAtOnce, rig.VisibleErrorBoxes());
    }
    keepAlivesBehindBox = a.Count('S') - before;
  };
  auto* list = rig.W<QListView>("EthLstBox");
  list->setCurrentIndex(list->model()->index(2, 0));  // b does not answer: error 1
  rig.Settle();
  QVERIFY(ticked);
  QCOMPARE(keepAlivesBehindBox, 1);
  QCOMPARE(boxesAtOnce, 1);
  QCOMPARE(rig.boxes.maxDepth, 1);
  // The keep-alive error of x came while the box was open: shown once, after it.
  QCOMPARE(rig.boxes.texts.size(), 2);
  QVERIFY(rig.boxes.texts[0].contains(QStringLiteral("Błąd nr 1")));
  QVERIFY(rig.boxes.texts[1].contains(QStringLiteral("Błąd nr 6 (r.'S')")));
}

void WorkerWindowTest::enterSpaceAndRightClickLoadNothing() {
  GatedRig rig;
  SimCtl& a = rig.net.Add(Ctl(305, 1), "10.0.0.2", 2);
  SimCtl& b = rig.net.Add(Ctl(305, 2), "10.0.0.3", 2);
  TMainWin& w = rig.Start();
  w.show();
  QApplication::setActiveWindow(&w);
  QVERIFY(QTest::qWaitForWindowActive(&w));
  auto* list = rig.W<QListView>("EthLstBox");
  list->setFocus();
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_K}) {
    QTest::keyClick(list, key);
    rig.Settle();
  }
  QTest::mouseClick(list->viewport(), Qt::RightButton, {},
                    list->visualRect(list->model()->index(1, 0)).center());
  QTest::qWait(20);
  rig.Settle();
  QCOMPARE(a.Count('D'), 1);
  QCOMPARE(b.Count('D'), 0);
  QCOMPARE(w.Core().State()->set.selected, 0);
  QCOMPARE(list->currentIndex().row(), 0);

  // The arrow keys still choose.
  QTest::keyClick(list, Qt::Key_Down);
  rig.Settle();
  QCOMPARE(b.Count('D'), 1);
  QCOMPARE(w.Core().State()->set.selected, 1);
}

// "Kopia…" keeps the configuration as read; "Przywróć…" shows what it would change, writes it
// with the write sequence and reports the read-back.
void WorkerWindowTest::kopiaThenPrzywrocWritesTheBackupAndReadsItBack() {
  GatedRig rig;
  SimCtl& c = rig.net.Add(Ctl(305, 66), "10.0.0.2", 3);
  rig.Start();
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("k.zavcfg"));
  BackupUi& ui = BackupUiServices();
  QString suggested;
  ui.saveFileName = [&](QWidget*, const QString& name) {
    suggested = name;
    return path;
  };
  ui.openFileName = [&](QWidget*) { return path; };
  QStringList questions;
  bool answer = false;
  ui.confirm = [&](QWidget*, const QString& text) {
    questions << text;
    return answer;
  };
  const PageProbe probe(*rig.W<TConfigPages>("CtrlTypeSet"));
  probe.KopiaBtn->click();
  QCOMPARE(suggested, QStringLiteral("K105_00066.zavcfg"));
  const zav::Backup saved = zav::ReadBackupFile(path.toStdString());
  QCOMPARE(saved.id, c.id);
  QCOMPARE(saved.blocks.size(), std::size_t{3});  // the controller block and both passages

  // Answered "Nie": nothing is written.
  probe.PrzywrocBtn->click();
  rig.Settle();
  QCOMPARE(questions.size(), 1);
  QVERIFY(questions[0].contains(QStringLiteral("Kopia nie różni się")));
  QCOMPARE(c.Count('c'), 0);

  answer = true;
  probe.PrzywrocBtn->click();
  rig.Settle();
  QCOMPARE(c.Count('c'), 3);
  QCOMPARE(c.Count('C'), 6);  // read back after the write
  QCOMPARE(rig.boxes.texts.size(), 1);
  QVERIFY(rig.boxes.texts[0].contains(QStringLiteral("jest zgodna z kopią")));

  // A file that is not a backup is named in the error box; nothing is written.
  QFile bad(path);
  QVERIFY(bad.open(QIODevice::WriteOnly | QIODevice::Truncate));
  bad.write("{\"format\": \"zavconfig-backup\", \"version\": 7}");
  bad.close();
  probe.PrzywrocBtn->click();
  rig.Settle();
  QCOMPARE(rig.boxes.texts.size(), 2);
  QVERIFY(rig.boxes.texts[1].startsWith(QStringLiteral("Nie można odczytać kopii konfiguracji")));
  QCOMPARE(c.Count('c'), 3);
  QCOMPARE(questions.size(), 2);
}

// The read-back's notice is a box like the errors: an error that comes while it is open waits
// for it instead of opening over it.
void WorkerWindowTest::restoreNoticeAndAnErrorShowOneAfterTheOther() {
  GatedRig rig;
  rig.net.Add(Ctl(305, 66), "10.0.0.2", 3);
  TMainWin& w = rig.Start();
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("k.zavcfg"));
  BackupUi& ui = BackupUiServices();
  ui.saveFileName = [&](QWidget*, const QString&) { return path; };
  ui.openFileName = [&](QWidget*) { return path; };
  ui.confirm = [](QWidget*, const QString&) { return true; };
  rig.W<QPushButton>("KopiaBtn")->click();
  int boxesAtOnce = 0;
  rig.boxes.onBox = [&] {
    if (rig.boxes.texts.size() != 1) return;
    w.ShowError(QStringLiteral("Błąd w trakcie"));
    QApplication::processEvents();
    boxesAtOnce = rig.VisibleErrorBoxes();
  };
  rig.W<QPushButton>("PrzywrocBtn")->click();
  rig.Settle();
  QCOMPARE(boxesAtOnce, 1);
  QCOMPARE(rig.boxes.texts.size(), 2);
  QVERIFY(rig.boxes.texts[0].contains(QStringLiteral("jest zgodna z kopią")));
  QCOMPARE(rig.boxes.titles[0], QStringLiteral("Przywróć"));
  QCOMPARE(rig.boxes.texts[1], QStringLiteral("Błąd w trakcie"));
  QCOMPARE(rig.boxes.titles[1], QStringLiteral("Error"));
}

QTEST_MAIN(WorkerWindowTest)
#include "worker_window_test.moc"
