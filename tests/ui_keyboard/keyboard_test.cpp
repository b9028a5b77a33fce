// The windows driven from the keyboard alone, what a screen reader is told about each control,
// and whether the fixed layout still holds its texts at the scale factor the run was started
// with (ctest runs the layout check at 100 %, 150 % and 200 %).
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QTranslator>
#include <QtTest>
#include <memory>

#include "tests/support/scripted_endpoint.h"
#include "tests/ui_main/sim_net.h"
#include "tests/ui_main/window_rig.h"
#include "ui/app_setup.h"
#include "ui/config_pages.h"
#include "ui/lokdlg.h"
#include "ui/whelp.h"
#include "ui/wmain.h"

using zav::testing::Ctl;
using zav::testing::FakeClock;
using zav::testing::ScriptedEndpoint;
using zav::testing::SimCtl;
using zav::testing::SimNet;

namespace {

// The main window over a scripted network of controllers in mode "Instalacja" (the test
// parameters are enabled then, so every kind of control takes part in the tab chain), shown and
// active so that it has the keyboard.
struct Rig : zav::testing::WindowRig {
  TMainWin& Start(bool show = true) { return WindowRig::Start(show); }
};

QString Name(QWidget* w) {
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
  return iface ? iface->text(QAccessible::Name) : QString();
}

// The captions that label w for a screen reader: its buddy label or its group box. On this
// platform a combo box's own name is its current item; the reader announces these with it.
QStringList LabelledBy(QWidget* w) {
  QStringList out;
  if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w))
    for (const auto& rel : iface->relations(QAccessible::Label))
      out << rel.first->text(QAccessible::Name);
  return out;
}

QString Id(const QWidget* w) {
  if (!w) return QStringLiteral("<none>");
  return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                   : w->objectName();
}

// Presses Tab (or Shift+Tab) from start until the focus comes back to it; the widgets in the
// order they took the focus, start first.
QList<QWidget*> WalkTab(QWidget* start, bool backwards = false) {
  start->setFocus(Qt::TabFocusReason);
  QList<QWidget*> seen;
  QWidget* at = QApplication::focusWidget();
  while (at && seen.size() < 300) {
    seen << at;
    QTest::keyClick(at, Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
    at = QApplication::focusWidget();
    if (at == seen.front()) break;
  }
  return seen;
}

QStringList Ids(const QList<QWidget*>& ws) {
  QStringList out;
  for (const QWidget* w : ws) out << Id(w);
  return out;
}

// Widgets a user can reach from the keyboard right now.
bool Reachable(const QWidget* w) {
  return w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy();
}

QGroupBox* GroupOf(QWidget* w) {
  for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
    if (auto* g = qobject_cast<QGroupBox*>(p)) return g;
  return nullptr;
}

QString Plain(QString caption) {
  caption = caption.trimmed();
  if (caption.endsWith(':')) caption.chop(1);
  return caption;
}

}  // namespace

class KeyboardTest : public QObject {
  Q_OBJECT
 private slots:
  void qtTextsInPolishAndNoSettingsKept();
  void tabReachesEveryControlInReadingOrder();
  void ethernetPanelOrderAndHiddenUpgradeButton();
  void keyboardSwitchesPagesAndPassages();
  void timeTypedAndTabbedAwayIsStored();
  void everyControlHasAnAccessibleName();
  void rowNamesFollowTheirCaptions();
  void locationDialogEnterAndEscape();
  void helpWindowClosesWithEscape();
  void layoutHoldsItsTextsAtThisScale();
};

// Every control that can take the focus is reached exactly once by Tab, Shift+Tab walks the
// same ring backwards, and inside each group box the focus moves in reading order.
void KeyboardTest::tabReachesEveryControlInReadingOrder() {
  Rig rig;
  rig.net.Add(Ctl(305, 66), "10.0.0.3", 3);
  TMainWin& w = rig.Start();
  for (QWidget* page : {rig.Probe().DoorSheet, rig.Probe().TabSheet1}) {
    rig.Pages().setCurrentWidget(page);
    auto* list = rig.W<QListView>("EthLstBox");
    const QList<QWidget*> ring = WalkTab(list);
    QVERIFY2(ring.size() > 15, qPrintable(Ids(ring).join(' ')));
    QCOMPARE(QSet<QWidget*>(ring.begin(), ring.end()).size(), ring.size());

    QList<QWidget*> missing;
    for (QWidget* c : w.findChildren<QWidget*>())
      if (c->window() == &w && Reachable(c) && !ring.contains(c)) missing << c;
    QVERIFY2(missing.isEmpty(), qPrintable(Ids(missing).join(' ')));

    QList<QWidget*> back = WalkTab(list, true);
    std::reverse(back.begin() + 1, back.end());
    QCOMPARE(Ids(back), Ids(ring));

    // Reading order inside a group: never upwards, and left to right within a line.
    QSet<QGroupBox*> left;
    for (int i = 1; i < ring.size(); ++i) {
      QGroupBox* ga = GroupOf(ring[i - 1]);
      QGroupBox* gb = GroupOf(ring[i]);
      if (ga && ga != gb) left.insert(ga);
      QVERIFY2(!gb || gb == ga || !left.contains(gb),
               qPrintable("focus comes back into a group at " + Id(ring[i])));
      if (!gb || ga != gb) continue;
      const QRect a(ring[i - 1]->mapTo(gb, QPoint()), ring[i - 1]->size());
      const QRect b(ring[i]->mapTo(gb, QPoint()), ring[i]->size());
      const bool sameLine = b.top() < a.bottom() && a.top() < b.bottom();
      QVERIFY2(sameLine ? b.left() > a.left() : b.top() >= a.bottom(),
               qPrintable(Id(ring[i - 1]) + " -> " + Id(ring[i])));
    }
  }
  QCOMPARE(rig.boxes.texts, QStringList());
}

void KeyboardTest::ethernetPanelOrderAndHiddenUpgradeButton() {
  Rig rig;
  rig.net.Add(Ctl(305, 66), "10.0.0.3", 3);
  rig.Start();
  auto* list = rig.W<QListView>("EthLstBox");
  const QStringList ring = Ids(WalkTab(list));
  QCOMPARE(ring.mid(0, 6), QStringList({"EthLstBox", "HelpEthBtn", "WwwBtn", "SearchEthBtn",
                                        "DevListBox", "HelpDevBtn"}));
  QVERIFY(!ring.contains("UpgrBtn"));

  // The never-shown "U" keeps its place in the chain of its group: fifth, after the search.
  auto* group = rig.W<QGroupBox>("SelBox");
  QStringList chain;
  QWidget* at = list;
  do {
    if (group->isAncestorOf(at)) chain << Id(at);
    at = at->nextInFocusChain();
  } while (at != list);
  QStringList buttons;
  for (const QString& id : chain)
    if (id == "EthLstBox" || id.endsWith("Btn")) buttons << id;
  QCOMPARE(buttons, QStringList({"EthLstBox", "HelpEthBtn", "WwwBtn", "SearchEthBtn", "UpgrBtn"}));
  QVERIFY(rig.W<QPushButton>("UpgrBtn")->isHidden());
  QVERIFY(rig.Pages().isVisible());
}

// The page tabs and the passage tabs answer the arrow keys, and a page reached that way is
// filled from the model just as a click would fill it.
void KeyboardTest::keyboardSwitchesPagesAndPassages() {
  Rig rig;
  rig.net.Add(Ctl(308, 66), "10.0.0.3", 3).header = 0x28;  // 8 passages
  TMainWin& w = rig.Start();
  TConfigPages& pages = rig.Pages();
  PageProbe& probe = rig.Probe();
  QTabBar* pageTabs = pages.tabBar();
  QCOMPARE(pages.currentWidget(), probe.DoorSheet);
  const QStringList ring = Ids(WalkTab(rig.W<QListView>("EthLstBox")));
  QVERIFY2(ring.contains(pageTabs->objectName()), qPrintable(ring.join(' ')));
  QVERIFY(ring.contains("DoorTc"));

  pageTabs->setFocus(Qt::TabFocusReason);
  QTest::keyClick(pageTabs, Qt::Key_Left);
  QCOMPARE(pages.currentWidget(), probe.TabSheet1);
  // Filled on the switch: row 0 offers the controller's own outputs besides "  -----".
  QVERIFY(probe.cOutRows[0].sel->count() > 1);
  // "Winda" is hidden for a door controller: Right goes back to "Przejścia" and stops there.
  QTest::keyClick(pageTabs, Qt::Key_Right);
  QCOMPARE(pages.currentWidget(), probe.DoorSheet);
  QTest::keyClick(pageTabs, Qt::Key_Right);
  QCOMPARE(pages.currentWidget(), probe.DoorSheet);
  // Ctrl+Tab inside a page also turns the pages.
  probe.DoorNameEd->setFocus(Qt::TabFocusReason);
  QTest::keyClick(probe.DoorNameEd, Qt::Key_Tab, Qt::ControlModifier);
  QCOMPARE(pages.currentWidget(), probe.TabSheet1);
  pages.setCurrentWidget(probe.DoorSheet);

  // Passage tabs: the arrows move the passage the strip edits.
  probe.DoorNameEd->setFocus(Qt::TabFocusReason);
  QTest::keyClicks(probe.DoorNameEd, "Brama A");
  QCOMPARE(QString::fromStdString(w.Edited().doors.Name(0)), QStringLiteral("Brama A"));
  probe.DoorTc->setFocus(Qt::TabFocusReason);
  QTest::keyClick(probe.DoorTc, Qt::Key_Right);
  QCOMPARE(probe.DoorTc->currentIndex(), 1);
  QCOMPARE(probe.DoorNameEd->text(), QString());
  for (int i = 0; i < 8; ++i) QTest::keyClick(probe.DoorTc, Qt::Key_Right);
  QCOMPARE(probe.DoorTc->currentIndex(), 7);
  for (int i = 0; i < 7; ++i) QTest::keyClick(probe.DoorTc, Qt::Key_Left);
  QCOMPARE(probe.DoorNameEd->text(), QStringLiteral("Brama A"));
  QCOMPARE(rig.boxes.texts, QStringList());
}

void KeyboardTest::timeTypedAndTabbedAwayIsStored() {
  Rig rig;
  rig.net.Add(Ctl(305, 66), "10.0.0.3", 3);
  TMainWin& w = rig.Start();
  PageProbe& probe = rig.Probe();
  probe.RygTimEd->setFocus(Qt::TabFocusReason);
  probe.RygTimEd->selectAll();
  QTest::keyClicks(probe.RygTimEd, "2,5");
  QTest::keyClick(probe.RygTimEd, Qt::Key_Tab);
  QVERIFY(QApplication::focusWidget() != probe.RygTimEd);
  QCOMPARE(int{w.Edited().doors.passages[0].params.boltTime}, 5);
  // Shift+Tab back into the edit, a new value, then away to the passage tabs by Shift+Tab.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(probe.RygTimEd));
  probe.RygTimEd->selectAll();
  QTest::keyClicks(probe.RygTimEd, "100");
  probe.DoorTc->setFocus(Qt::TabFocusReason);
  QCOMPARE(int{w.Edited().doors.passages[0].params.boltTime}, 127);
  QCOMPARE(probe.RygTimEd->text(), QStringLiteral("63,5"));
}

// Whatever a screen reader can land on has a name to announce, on every page, shown or not.
void KeyboardTest::everyControlHasAnAccessibleName() {
  for (std::uint8_t header : {std::uint8_t{0x22}, std::uint8_t{0x41}}) {
    Rig rig;
    rig.net.Add(Ctl(305, 66), "10.0.0.3", 3).header = header;
    TMainWin& w = rig.Start(false);
    QStringList nameless;
    for (QWidget* c : w.findChildren<QWidget*>()) {
      if (c->window() != &w) continue;  // drop-down popups
      const bool control = qobject_cast<QAbstractButton*>(c) || qobject_cast<QComboBox*>(c) ||
                           qobject_cast<QLineEdit*>(c) || qobject_cast<QListView*>(c) ||
                           qobject_cast<QTabBar*>(c) || qobject_cast<QLabel*>(c) ||
                           qobject_cast<QGroupBox*>(c);
      // A combo box's own line edit speaks through the combo box.
      const bool caption =
          qobject_cast<QComboBox*>(c) ? !LabelledBy(c).isEmpty() : !Name(c).trimmed().isEmpty();
      // An empty passage strip (lift controller) sits on a hidden page and has nothing to say.
      const auto* bar = qobject_cast<QTabBar*>(c);
      if (bar && bar->count() == 0) continue;
      if (control && !qobject_cast<QComboBox*>(c->parentWidget()) && !caption) nameless << Id(c);
    }
    QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(' ')));
    // Page tabs and passage tabs are announced with their captions.
    QAccessibleInterface* tabs = QAccessible::queryAccessibleInterface(rig.Pages().tabBar());
    QVERIFY(tabs);
    QStringList tabNames;
    for (int i = 0; i < tabs->childCount(); ++i)
      tabNames << tabs->child(i)->text(QAccessible::Name);
    QVERIFY2(tabNames.contains(QStringLiteral("Kontroler")) &&
                 tabNames.contains(QStringLiteral("Przejścia")) &&
                 tabNames.contains(QStringLiteral("Winda")),
             qPrintable(tabNames.join('|')));
    if (header == 0x22) {
      QAccessibleInterface* strip = QAccessible::queryAccessibleInterface(rig.Probe().DoorTc);
      QStringList passages;
      for (int i = 0; i < strip->childCount(); ++i)
        if (strip->child(i)->role() == QAccessible::PageTab)
          passages << strip->child(i)->text(QAccessible::Name);
      QCOMPARE(passages, QStringList({"Przejście 1", "Przejście 2"}));
      QCOMPARE(rig.Probe().DoorTc->tabText(1), QStringLiteral("2"));
    }
    QCOMPARE(rig.boxes.texts, QStringList());
  }
}

// Selectors carry their group and row caption, check boxes "NC" (or the reader's " Wyjście"
// heading) and the same row, buttons and labels their exact Polish captions; the names follow
// a caption that the controller's passage count changes.
void KeyboardTest::rowNamesFollowTheirCaptions() {
  for (std::uint8_t header : {std::uint8_t{0x22}, std::uint8_t{0x30}, std::uint8_t{0x28}}) {
    Rig rig;
    rig.net.Add(Ctl(305, 66), "10.0.0.3", 3).header = header;
    rig.Start(false);
    PageProbe& p = rig.Probe();
    QCOMPARE(p.cOutRows[7].lb->text(),
             header == 0x30 ? QStringLiteral("Śluza 8:") : QStringLiteral("Ewakuacja:"));
    auto check = [&](auto& rows, const char* cbPrefix) {
      for (PageRow& row : rows) {
        if (!row.sel) continue;
        const QString group = Plain(GroupOf(row.sel)->title());
        const QString want = group + ' ' + Plain(row.lb->text());
        QCOMPARE(row.sel->accessibleName(), want);
        QVERIFY2(LabelledBy(row.sel).contains(row.lb->text()), qPrintable(want));
        QCOMPARE(Name(row.lb), row.lb->text());
        if (row.cb) QCOMPARE(Name(row.cb), QString::fromUtf8(cbPrefix) + ' ' + want);
      }
    };
    check(p.cOutRows, "NC");
    check(p.cInRows, "NC");
    check(p.dOutRows, "NC");
    check(p.dInRows, "NC");
    check(p.dRdRows, "Wyjście");
    check(p.lOutSetRows, "");
    check(p.lInRows, "NC");
    check(p.lRdRows, "");
  }

  Rig rig;
  TMainWin& w = rig.Start(false);
  const struct {
    const char* id;
    const char* name;
  } exact[] = {{"SearchEthBtn", "Przeszukaj sieć"},
               {"DelLostBtn", "Usuń nieaktywne"},
               {"ReplaceBtn", "Zastąp"},
               {"EthDevLb", "Urządzenie"},
               {"WwwBtn", "www"},
               {"HelpEthBtn", "Pomoc"},
               {"WrCCfgBtn", "Zapisz"},
               {"RapCfgBtn", "Raport"},
               {"KlamkaCb", "Otwieranie klamką"},
               {"FullTimCb", "Pełny impuls rygla"},
               {"RygTimEd", "Impuls otwarcia rygla"},
               {"LiftTimEd", "Czas odblokowania przycisków"},
               {"DoorNameEd", "Nazwa przejścia"},
               {"TypeCb", "Typ przejścia"},
               {"Sluza1Sel", "Śluzy: pierwsza"},
               {"Sluza2Sel", "Śluzy: druga"}};
  for (const auto& e : exact) {
    auto* c = w.findChild<QWidget*>(QString::fromLatin1(e.id));
    QVERIFY2(c, e.id);
    QCOMPARE(qobject_cast<QComboBox*>(c) ? c->accessibleName() : Name(c),
             QString::fromUtf8(e.name));
  }
  // Selectors without a caption of their own are announced with their group.
  QCOMPARE(LabelledBy(rig.Probe().Sluza1Sel), QStringList{QStringLiteral(" Śluzy ")});
  QCOMPARE(LabelledBy(w.findChild<QComboBox*>("ReplCb")),
           QStringList{QStringLiteral("Zastępowanie")});
  QVERIFY(LabelledBy(rig.Probe().TypeCb).contains(QStringLiteral("Typ przejścia:")));
}

// "Zapisz" answers Enter, "Anuluj" Esc; Enter on a focused "Anuluj" cancels rather than saving.
void KeyboardTest::locationDialogEnterAndEscape() {
  TLokalizDlg dlg;
  const QStringList ring = [&] {
    dlg.open();
    QApplication::setActiveWindow(&dlg);
    if (!QTest::qWaitForWindowActive(&dlg)) qWarning("dialog never became active");
    QStringList ids = Ids(WalkTab(dlg.LokEdit));
    dlg.reject();
    return ids;
  }();
  QCOMPARE(ring, QStringList({"LokEdit", "OKBtn", "CancelBtn"}));
  QCOMPARE(Name(dlg.OKBtn), QStringLiteral("Zapisz"));
  QCOMPARE(Name(dlg.LokEdit), QStringLiteral("Opis lokalizacji kontrolera"));

  struct Case {
    const char* what;
    int focus;  // 0 the edit, 1 "Zapisz", 2 "Anuluj"
    Qt::Key key;
    int result;
  };
  const Case cases[] = {{"Enter in the edit", 0, Qt::Key_Return, QDialog::Accepted},
                        {"keypad Enter in the edit", 0, Qt::Key_Enter, QDialog::Accepted},
                        {"Esc in the edit", 0, Qt::Key_Escape, QDialog::Rejected},
                        {"Enter on Zapisz", 1, Qt::Key_Return, QDialog::Accepted},
                        {"Space on Zapisz", 1, Qt::Key_Space, QDialog::Accepted},
                        {"Enter on Anuluj", 2, Qt::Key_Return, QDialog::Rejected},
                        {"Space on Anuluj", 2, Qt::Key_Space, QDialog::Rejected},
                        {"Esc on Zapisz", 1, Qt::Key_Escape, QDialog::Rejected}};
  for (const Case& c : cases) {
    dlg.open();
    QApplication::setActiveWindow(&dlg);
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dlg.LokEdit));
    QWidget* target = c.focus == 0   ? static_cast<QWidget*>(dlg.LokEdit)
                      : c.focus == 1 ? static_cast<QWidget*>(dlg.OKBtn)
                                     : static_cast<QWidget*>(dlg.CancelBtn);
    target->setFocus(Qt::TabFocusReason);
    QTest::keyClick(target, c.key);
    QTRY_VERIFY2(!dlg.isVisible(), c.what);
    QVERIFY2(dlg.result() == c.result, c.what);
  }
}

void KeyboardTest::helpWindowClosesWithEscape() {
  THelpWin help;
  help.ShowTopic(THelpWin::TopicPassages);
  help.open();
  QApplication::setActiveWindow(&help);
  QVERIFY(QTest::qWaitForWindowActive(&help));
  QVERIFY(!Name(help.HelpEdit()).isEmpty());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  QTRY_VERIFY(!help.isVisible());
}

// Nothing is cut off: every page's layout fits the page control, every caption fits its
// control, and the fixed-place controls stay inside their group boxes.
void KeyboardTest::layoutHoldsItsTextsAtThisScale() {
  for (std::uint8_t header : {std::uint8_t{0x30}, std::uint8_t{0x41}}) {
    Rig rig;
    rig.net.Add(Ctl(305, 66), "10.0.0.3", 3).header = header;
    TMainWin& w = rig.Start();
    TConfigPages& pages = rig.Pages();
    PageProbe& probe = rig.Probe();
    const QSize room = pages.currentWidget()->size();
    for (QWidget* page : {probe.TabSheet1, probe.DoorSheet, probe.LiftSheet}) {
      const QSize need = page->minimumSizeHint();
      QVERIFY2(need.width() <= room.width() && need.height() <= room.height(),
               qPrintable(QStringLiteral("%1 needs %2x%3, has %4x%5")
                              .arg(Id(page))
                              .arg(need.width())
                              .arg(need.height())
                              .arg(room.width())
                              .arg(room.height())));
    }
    QStringList clipped;
    for (int i = 0; i < pages.count(); ++i) {
      if (!pages.isTabVisible(i)) continue;
      pages.setCurrentIndex(i);
      QApplication::processEvents();
      for (QWidget* c : w.findChildren<QWidget*>()) {
        if (c->window() != &w || !c->isVisible()) continue;
        if (!qobject_cast<QLabel*>(c) && !qobject_cast<QAbstractButton*>(c) &&
            !qobject_cast<QComboBox*>(c) && !qobject_cast<QLineEdit*>(c))
          continue;
        // A push button's size hint adds the style's minimum width; its caption is what
        // must fit.
        QSize hint = c->minimumSizeHint();
        if (auto* b = qobject_cast<QPushButton*>(c))
          hint = QSize(b->fontMetrics().horizontalAdvance(b->text()) + 8,
                       b->fontMetrics().height() + 4);
        else if (!qobject_cast<QComboBox*>(c) && !qobject_cast<QLineEdit*>(c))
          hint = hint.expandedTo(c->sizeHint());
        const QRect inParent = c->geometry();
        const QRect parentRect = c->parentWidget()->rect();
        if (hint.width() > c->width() || hint.height() > c->height() ||
            !parentRect.contains(inParent))
          clipped << QStringLiteral("%1 %2x%3 in %4x%5")
                         .arg(Id(c))
                         .arg(c->width())
                         .arg(c->height())
                         .arg(hint.width())
                         .arg(hint.height());
      }
    }
    clipped.removeDuplicates();
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join("; ")));
    QCOMPARE(rig.boxes.texts, QStringList());
  }
}

// The save dialog ("Zachowaj jako") speaks Polish whatever the desktop's language, and its
// folder history goes to a folder of the program's own, not to the user's QtProject.conf.
void KeyboardTest::qtTextsInPolishAndNoSettingsKept() {
  QTranslator texts;
  QVERIFY(InstallPolishQtTexts(texts));
  QCOMPARE(QCoreApplication::translate("QFileDialog", "Save As"), QStringLiteral("Zachowaj jako"));
  QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Anuluj"));
  QCoreApplication::removeTranslator(&texts);

  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  KeepQtSettingsIn(dir.path());
  const QSettings qtOwn(QSettings::UserScope, QStringLiteral("QtProject"));
  QVERIFY2(qtOwn.fileName().startsWith(dir.path()), qPrintable(qtOwn.fileName()));
}

QTEST_MAIN(KeyboardTest)
#include "keyboard_test.moc"
