// The help window, the location dialog and the report and firmware flows behind their buttons.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSizeGrip>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <stdexcept>

#include "config/bus_device_table.h"
#include "config/cfg_report.h"
#include "config/cp1250.h"
#include "config/passage_config.h"
#include "link/firmware.h"
#include "link/link.h"
#include "link/udpdevset.h"
#include "link/uerr.h"
#include "link/wire.h"
#include "tests/support/scripted_endpoint.h"
#include "ui/firmware_action.h"
#include "ui/lokdlg.h"
#include "ui/report_action.h"
#include "ui/whelp.h"

namespace {

// The selected controller of a set, as the window hands it to the report and the upload.
const zav::UdpDev* Selected(const zav::UdpDevSet& set) {
  return set.selected >= 0 && set.selected < set.count ? &set.devs[set.selected] : nullptr;
}

// The upload the window's core runs, here on the test's own thread.
std::function<void(std::FILE*)> Upload(zav::UdpDevSet& set) {
  return [&set](std::FILE* file) { zav::UploadFirmware(file, set.devs[set.selected]); };
}

constexpr zav::DeviceId kController = 0x30000000u | (305u << 16) | 66u;  // K105_00066

// Runs step on the location dialog once it is up inside its own modal loop.
void WhenDialogOpens(std::function<void(TLokalizDlg*)> step) {
  QTimer::singleShot(0, [step] {
    auto* dlg = qobject_cast<TLokalizDlg*>(QApplication::activeModalWidget());
    QVERIFY2(dlg, "the location dialog is not shown");
    step(dlg);
    // A failed check inside step must not leave the flow waiting in the dialog.
    if (dlg->isVisible()) dlg->reject();
  });
}

}  // namespace

class HelpWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void helpTopicsHaveCaptionsHeadingsAndStyles();
  void helpKeepsScrollOfLoadedTopicAndRestartsOthers();
  void helpWindowFrame();
  void helpGripCoversNothing();

  void reportCancelWritesNothing();
  void reportWritesFileAndKeepsLocationForNextTime();
  void reportUnwritablePathRaisesError();
  void reportWithoutControllerDoesNothing();
  void reportFileNameSeparator();

  void firmwareSendsWholeBlocksOnly();
  void firmwareDialogAndFileFailures();
  void firmwareStopsAtUnacknowledgedBlock();

 private:
  void FillDoorController();

  zav::testing::FakeClock clock;
  zav::testing::ScriptedEndpoint* udp = nullptr;
  zav::BusDeviceTable table;
  zav::PassageConfig config{table};
  QStringList saveRequests;  // suggested names the save dialog was opened with
  QString savePath;          // what the save dialog answers
};

void HelpWindowTest::init() {
  udp = new zav::testing::ScriptedEndpoint(clock);
  zav::Link::Use(udp, &clock);
  saveRequests.clear();
  savePath.clear();
  ReportUi& r = ReportUiServices();
  r.saveFileName = [this](QWidget*, const QString& suggested) {
    saveRequests << suggested;
    return savePath;
  };
  r.today = [] { return QDate(2021, 5, 7); };
  r.locale = [] { return QLocale(QLocale::Swedish, QLocale::Sweden); };  // "yyyy-MM-dd"
}

void HelpWindowTest::cleanup() {
  zav::Link::Use(nullptr, nullptr);
  delete udp;
  udp = nullptr;
}

void HelpWindowTest::FillDoorController() {
  table = zav::BusDeviceTable{};
  table.devices[0].id = kController;
  table.devices[0].suffixNo = 1;
  table.count = table.activeCount = 1;
  table.controllerKind = 1;
  table.passageCount = 2;
  for (zav::Passage& p : config.passages) {
    for (zav::IoRef& r : p.outputs) r = zav::kNone;
    for (zav::IoRef& r : p.inputs) r = zav::kNone;
    for (zav::IoRef& r : p.readers) r = zav::kNone;
    p.params.airlockFlags = 7;
  }
  config.passages[0].outputs[0] = 0x0000;
  config.SetName(0, "Wejście");
}

void HelpWindowTest::helpTopicsHaveCaptionsHeadingsAndStyles() {
  const QStringList captions = {"Okno Ethernet", "Okno kontrolera", "Okno Przejścia"};
  const QList<QStringList> headings = {
      {"Tryby serwisowe kontrolera", "Instalacja", "Serwis", "Konfiguracja", "Inne urządzenia"},
      {"Okno wybranego kontrolera", "Lista urządzeń magistrali RS485",
       "Usuwanie urządzeń trwale odłączonych", "Wymiana uszkodzonego urządzenia"},
      {"Koncepcja konfigurowalnych połączeń", "Konfiguracja połączeń", "Nazwa przejścia", "Wyjścia",
       "Wejścia", "Czytniki", "Śluzy", "Zapis konfiguracji", "Raport", "Testowanie instalacji",
       "Flagi", "Rodzaj przejścia", "Czasy"}};
  THelpWin win;
  for (int topic = 0; topic < 3; ++topic) {
    win.ShowTopic(topic);
    QCOMPARE(win.windowTitle(), captions[topic]);
    QTextDocument* doc = win.HelpEdit()->document();

    // The headings in document order, each a bold block of 16 pt (level 1) or 14 pt indented.
    QStringList found;
    int termBlocks = 0;
    bool italics = false;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
      const QTextCharFormat f =
          b.begin().atEnd() ? b.charFormat() : b.begin().fragment().charFormat();
      const double pt = f.fontPointSize();
      if (f.fontWeight() >= QFont::Bold && (pt == 16 || pt == 14) && b.text().size() > 3 &&
          !b.text().contains('\t')) {
        found << b.text();
        if (pt == 14) QVERIFY2(b.blockFormat().leftMargin() > 0, qPrintable(b.text()));
        if (pt == 16) QCOMPARE(b.blockFormat().leftMargin(), 0.0);
      }
      if (b.text().contains("\t- ")) {
        ++termBlocks;
        // Hanging indent, the tab stop where wrapped lines continue, a bold term.
        QVERIFY(b.blockFormat().textIndent() < 0);
        QCOMPARE(b.blockFormat().tabPositions().value(0).position, b.blockFormat().leftMargin());
        QVERIFY(f.fontWeight() >= QFont::Bold);
      }
      for (auto it = b.begin(); !it.atEnd(); ++it)
        italics |= it.fragment().charFormat().fontItalic();
    }
    QCOMPARE(found, headings[topic]);
    QVERIFY2(termBlocks >= (topic == 2 ? 20 : 4), "term lists are missing");
    QVERIFY2(italics, "program terms are not in italics");
    const QString text = doc->toPlainText();
    QVERIFY(text.contains(QChar(0x0105)) && text.contains(QChar(0x0119)));  // "ą", "ę"
    QVERIFY(!text.contains(QChar::ReplacementCharacter));
  }
  // Body text: Times New Roman 12 pt with space after paragraphs; some bullet list exists.
  win.ShowTopic(0);
  QTextDocument* doc = win.HelpEdit()->document();
  bool body = false;
  bool bullets = false;
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    const QTextCharFormat f = b.begin().fragment().charFormat();
    if (b.text().startsWith("Każde urządzenie systemu")) {
      body = f.fontPointSize() == 12 &&
             f.fontFamilies().toStringList().contains("Times New Roman") &&
             b.blockFormat().bottomMargin() > 0;
    }
    bullets |= b.textList() != nullptr;
  }
  QVERIFY(body);
  QVERIFY(bullets);
}

void HelpWindowTest::helpKeepsScrollOfLoadedTopicAndRestartsOthers() {
  THelpWin win;
  QCOMPARE(win.LoadedTopic(), -1);
  win.ShowTopic(7);  // unknown numbers change nothing
  QCOMPARE(win.LoadedTopic(), -1);
  QVERIFY(win.windowTitle().isEmpty());

  win.ShowTopic(2);
  win.show();
  QVERIFY(QTest::qWaitForWindowExposed(&win));
  QScrollBar* bar = win.HelpEdit()->verticalScrollBar();
  QVERIFY2(bar->maximum() > 0, "the passages document should not fit the window");
  bar->setValue(bar->maximum() / 2);
  const int scrolled = bar->value();
  QVERIFY(scrolled > 0);
  win.hide();

  win.ShowTopic(2);
  win.show();
  QCOMPARE(bar->value(), scrolled);
  QCOMPARE(win.windowTitle(), QString("Okno Przejścia"));

  win.ShowTopic(0);
  QCOMPARE(win.windowTitle(), QString("Okno Ethernet"));
  QCOMPARE(bar->value(), 0);
  QVERIFY(win.HelpEdit()->toPlainText().startsWith("Tryby serwisowe kontrolera"));

  win.ShowTopic(2);  // another topic was loaded in between: from its start again
  QCOMPARE(bar->value(), 0);
  QVERIFY(win.HelpEdit()->toPlainText().startsWith("Koncepcja konfigurowalnych połączeń"));
}

void HelpWindowTest::helpWindowFrame() {
  // The view follows the window with its 3-pixel margin, wrapping at its width.
  THelpWin win;
  win.ShowTopic(1);
  win.show();
  QVERIFY(QTest::qWaitForWindowExposed(&win));
  QTextBrowser* view = win.HelpEdit();
  QTRY_COMPARE(view->geometry(), win.rect().adjusted(3, 3, -3, -3));
  win.resize(500, 400);
  QTRY_COMPARE(view->geometry(), win.rect().adjusted(3, 3, -3, -3));
  QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
}

void HelpWindowTest::helpGripCoversNothing() {
  // One resize grip, in the window's bottom-right corner, beside none of the scroll bar.
  THelpWin win;
  win.ShowTopic(1);
  win.show();
  QVERIFY(QTest::qWaitForWindowExposed(&win));
  QScrollBar* bar = win.HelpEdit()->verticalScrollBar();
  for (const QSize size : {QSize(862, 639), QSize(500, 400)}) {
    win.resize(size);
    QTRY_COMPARE(win.HelpEdit()->geometry(), win.rect().adjusted(3, 3, -3, -3));
    QList<QSizeGrip*> grips;
    for (QSizeGrip* g : win.findChildren<QSizeGrip*>())
      if (g->isVisible()) grips << g;
    QCOMPARE(grips.size(), 1);
    QSizeGrip* grip = grips.front();
    QCOMPARE(grip->window(), &win);
    const QRect gripRect(grip->mapTo(&win, QPoint(0, 0)), grip->size());
    const QRect barRect(bar->mapTo(&win, QPoint(0, 0)), bar->size());
    QVERIFY(bar->isVisible());
    QVERIFY2(!gripRect.intersects(barRect), "the grip covers the scroll bar");
    QVERIFY(win.rect().contains(gripRect));
    // In the corner: right of the text and below the scroll bar's down arrow.
    QVERIFY(gripRect.left() >= barRect.left());
    QVERIFY(gripRect.top() >= barRect.bottom());
    QVERIFY(win.rect().bottom() - gripRect.bottom() <= 6);
  }
}

void HelpWindowTest::reportCancelWritesNothing() {
  FillDoorController();
  QTemporaryDir dir;
  savePath = dir.filePath("r.txt");
  zav::UdpDevSet set;
  set.Add(kController, 0x0A000005, 2);
  set.selected = 0;
  TLokalizDlg lok;

  // "Anuluj", Esc and the close box all end the flow before the save dialog.
  const QList<std::function<void(TLokalizDlg*)>> closers = {
      [](TLokalizDlg* d) { QTest::mouseClick(d->CancelBtn, Qt::LeftButton); },
      [](TLokalizDlg* d) { QTest::keyClick(d, Qt::Key_Escape); },
      [](TLokalizDlg* d) { d->close(); },
  };
  for (const auto& close : closers) {
    WhenDialogOpens([&](TLokalizDlg* d) {
      QTest::keyClicks(d->LokEdit, "x");
      close(d);
    });
    RapCfgBtnClick(nullptr, lok, table, config, Selected(set));
  }
  QVERIFY(saveRequests.isEmpty());
  QVERIFY(!QFile::exists(savePath));

  // Cancelling the save dialog writes nothing either.
  savePath.clear();
  WhenDialogOpens([](TLokalizDlg* d) { QTest::mouseClick(d->OKBtn, Qt::LeftButton); });
  RapCfgBtnClick(nullptr, lok, table, config, Selected(set));
  QCOMPARE(saveRequests.size(), 1);
  QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).size(), 0);
}

void HelpWindowTest::reportWritesFileAndKeepsLocationForNextTime() {
  FillDoorController();
  QTemporaryDir dir;
  savePath = dir.filePath("raport");  // no extension: ".txt" is added
  zav::UdpDevSet set;
  set.Add(kController, 0x0A000005, 2);
  set.selected = 0;
  TLokalizDlg lok;

  WhenDialogOpens([](TLokalizDlg* d) {
    QCOMPARE(d->focusWidget(), static_cast<QWidget*>(d->LokEdit));
    QTest::keyClicks(d->LokEdit, "Budynek A, pi");
    d->LokEdit->insert("ętro");                   // typed text beyond ASCII
    QTest::keyClick(d->LokEdit, Qt::Key_Return);  // "Zapisz" is the default button
  });
  RapCfgBtnClick(nullptr, lok, table, config, Selected(set));
  QCOMPARE(saveRequests, QStringList{"2021-05-07 K105_00066"});

  const std::string want = zav::WriteCfgReport(
      table, config, kController, zav::Utf8ToCp1250("Budynek A, piętro"), {2021, 5, 7});
  QFile file(dir.filePath("raport.txt"));
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(file.readAll().toStdString(), want);
  file.close();
  QVERIFY(want.find(" Lokalizacja: Budynek A, pi\xeatro\r\n") != std::string::npos);

  // The second press shows what was typed before, also after "Anuluj".
  QString shown;
  WhenDialogOpens([&](TLokalizDlg* d) {
    shown = d->LokEdit->text();
    d->LokEdit->setText("Inne");
    QTest::mouseClick(d->CancelBtn, Qt::LeftButton);
  });
  RapCfgBtnClick(nullptr, lok, table, config, Selected(set));
  QCOMPARE(shown, QString("Budynek A, piętro"));
  WhenDialogOpens([&](TLokalizDlg* d) {
    shown = d->LokEdit->text();
    QTest::mouseClick(d->CancelBtn, Qt::LeftButton);
  });
  RapCfgBtnClick(nullptr, lok, table, config, Selected(set));
  QCOMPARE(shown, QString("Inne"));
}

void HelpWindowTest::reportUnwritablePathRaisesError() {
  FillDoorController();
  QTemporaryDir dir;
  savePath = dir.filePath("missing/raport.txt");
  zav::UdpDevSet set;
  set.Add(kController, 0x0A000005, 2);
  set.selected = 0;
  TLokalizDlg lok;
  WhenDialogOpens([](TLokalizDlg* d) { QTest::mouseClick(d->OKBtn, Qt::LeftButton); });
  QString message;
  try {
    RapCfgBtnClick(nullptr, lok, table, config, Selected(set));
  } catch (const std::runtime_error& e) {
    message = QString::fromUtf8(e.what());
  }
  QVERIFY2(message.contains(savePath), qPrintable(message));
  QVERIFY2(message.contains(QString::fromLocal8Bit(std::strerror(ENOENT))), qPrintable(message));
  QVERIFY(!QFile::exists(savePath));
}

void HelpWindowTest::reportWithoutControllerDoesNothing() {
  FillDoorController();
  zav::UdpDevSet set;
  TLokalizDlg lok;
  bool opened = false;
  QTimer::singleShot(0, [&] {
    if (QApplication::activeModalWidget()) {
      opened = true;
      QApplication::activeModalWidget()->close();
    }
  });
  RapCfgBtnClick(nullptr, lok, table, config, Selected(set));
  QCoreApplication::processEvents();
  QVERIFY(!opened);
  QVERIFY(saveRequests.isEmpty());
}

void HelpWindowTest::reportFileNameSeparator() {
  const QDate day(2021, 5, 7);
  QCOMPARE(SuggestedReportName(day, QLocale(QLocale::Polish, QLocale::Poland), kController),
           QString("2021.05.07 K105_00066"));
  QCOMPARE(SuggestedReportName(day, QLocale(QLocale::Swedish, QLocale::Sweden), kController),
           QString("2021-05-07 K105_00066"));
  // A slash would make the name a path into folders that do not exist.
  QCOMPARE(FileDateSeparator(QLocale(QLocale::English, QLocale::UnitedStates)), QChar('-'));
  QCOMPARE(WithDefaultSuffix("/tmp/a"), QString("/tmp/a.txt"));
  QCOMPARE(WithDefaultSuffix("/tmp/a.log"), QString("/tmp/a.log"));
  QCOMPARE(WithDefaultSuffix("/tmp/x.d/a"), QString("/tmp/x.d/a.txt"));
}

namespace {

struct Uploads {
  QList<int> blocks;
  QByteArray data;  // the 528 data bytes of every block, in order
};

// A controller at 10.0.0.5 that acknowledges "Y" blocks below failFrom.
void ScriptFirmwareController(zav::testing::ScriptedEndpoint& udp, Uploads& seen,
                              int failFrom = 1 << 30) {
  udp.onSend = [&udp, &seen, failFrom](const zav::testing::Datagram& d) {
    if (d.bytes.size() != 12 + 530 || d.bytes[3] != 'Y') return;
    const int number = zav::GetU16(d.bytes.data() + 8);
    seen.blocks << number;
    seen.data.append(reinterpret_cast<const char*>(d.bytes.data() + 10), 528);
    if (number >= failFrom) return;
    const std::uint8_t ack = 6;
    std::vector<std::uint8_t> reply(13);
    reply.resize(zav::BuildPlainFrame('Y', zav::GetU32(d.bytes.data() + 4), &ack, 1, reply.data()));
    udp.Queue(reply, d.addr, 5);
  };
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, int size) {
  QFile f(dir.filePath(name));
  if (!f.open(QIODevice::WriteOnly)) return {};
  QByteArray bytes(size, 0);
  for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 528);
  f.write(bytes);
  return f.fileName();
}

}  // namespace

void HelpWindowTest::firmwareSendsWholeBlocksOnly() {
  QTemporaryDir dir;
  zav::UdpDevSet set;
  set.Add(kController, 0x0A000005, 3);
  set.selected = 0;
  set.devs[0].available = true;
  Uploads seen;
  ScriptFirmwareController(*udp, seen);
  FirmwareUi& ui = FirmwareUiServices();
  QStringList infos;
  ui.information = [&](QWidget*, const QString& t) { infos << t; };

  const QString path = WriteFile(dir, "a.zfu", 1100);
  ui.openFileName = [&](QWidget*) { return path; };
  UpgrBtnClick(nullptr, Selected(set) != nullptr, Upload(set));
  QCOMPARE(seen.blocks, (QList<int>{0, 1}));
  QFile f(path);
  QVERIFY(f.open(QIODevice::ReadOnly));
  QCOMPARE(seen.data, f.read(1056));
  QVERIFY(infos.isEmpty());

  for (int size : {0, 527}) {
    seen = {};
    const QString small = WriteFile(dir, QString("s%1.pfu").arg(size), size);
    ui.openFileName = [&](QWidget*) { return small; };
    UpgrBtnClick(nullptr, Selected(set) != nullptr, Upload(set));
    QVERIFY(seen.blocks.isEmpty());
    QVERIFY(infos.isEmpty());
  }
}

void HelpWindowTest::firmwareDialogAndFileFailures() {
  zav::UdpDevSet set;
  Uploads seen;
  ScriptFirmwareController(*udp, seen);
  FirmwareUi& ui = FirmwareUiServices();
  int dialogs = 0;
  QStringList infos;
  QString answer;
  ui.openFileName = [&](QWidget*) {
    ++dialogs;
    return answer;
  };
  ui.information = [&](QWidget*, const QString& t) { infos << t; };

  UpgrBtnClick(nullptr, Selected(set) != nullptr,
               Upload(set));  // no controller: not even the dialog
  QCOMPARE(dialogs, 0);

  set.Add(kController, 0x0A000005, 3);
  set.selected = 0;
  UpgrBtnClick(nullptr, Selected(set) != nullptr, Upload(set));  // cancelled
  QCOMPARE(dialogs, 1);
  QVERIFY(infos.isEmpty());

  answer = "/nonexistent/zav/firmware.zfu";
  UpgrBtnClick(nullptr, Selected(set) != nullptr, Upload(set));
  QCOMPARE(infos, QStringList{"Nie można otworzyć pliku."});
  QVERIFY(seen.blocks.isEmpty());
  QVERIFY(udp->sent.empty());
}

void HelpWindowTest::firmwareStopsAtUnacknowledgedBlock() {
  QTemporaryDir dir;
  zav::UdpDevSet set;
  set.Add(kController, 0x0A000005, 3);
  set.selected = 0;
  set.devs[0].available = true;
  Uploads seen;
  ScriptFirmwareController(*udp, seen, 5);
  const QString path = WriteFile(dir, "b.zfu", 528 * 9);
  FirmwareUiServices().openFileName = [&](QWidget*) { return path; };
  FirmwareUiServices().information = [](QWidget*, const QString&) {
    QFAIL("no information box for a controller error");
  };
  bool raised = false;
  try {
    UpgrBtnClick(nullptr, Selected(set) != nullptr, Upload(set));
  } catch (const zav::UErr& e) {
    raised = true;
    QCOMPARE(e.code, 7);
    QCOMPARE(e.cmd, 'Y');
  }
  QVERIFY(raised);
  // Blocks 0 to 4 were acknowledged; block 5 went out three times and then the upload stopped.
  QCOMPARE(seen.blocks, (QList<int>{0, 1, 2, 3, 4, 5, 5, 5}));
}

QTEST_MAIN(HelpWindowTest)
#include "help_window_test.moc"
