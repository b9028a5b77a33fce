#include "ui/config_pages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QToolButton>
#include <algorithm>

#include "config/bus_device_table.h"
#include "config/io_ref.h"
#include "config/time_text.h"
#include "ui/io_selector_model.h"

TConfigPages::TConfigPages(zav::BusDeviceTable& table, zav::PassageConfig& doors,
                           zav::LiftConfig& lift, QWidget* parent)
    : QTabWidget(parent), table_(table), doors_(doors), lift_(lift), freePoints_(table) {
  setObjectName("CtrlTypeSet");
  BuildControllerPage();
  BuildPassagePage();
  BuildLiftPage();
  setCurrentWidget(DoorSheet);
  tabBar()->setAccessibleName(QStringLiteral("Konfiguracja"));
  // The tab strips' scroll arrows would otherwise be announced in English.
  for (QTabBar* bar : {tabBar(), DoorTc}) {
    for (QToolButton* arrow : bar->findChildren<QToolButton*>()) {
      if (arrow->objectName() == QLatin1String("ScrollLeftButton"))
        arrow->setAccessibleName(QStringLiteral("Przewiń w lewo"));
      else if (arrow->objectName() == QLatin1String("ScrollRightButton"))
        arrow->setAccessibleName(QStringLiteral("Przewiń w prawo"));
    }
  }
  connect(this, &QTabWidget::currentChanged, this, [this](int) { CtrlTypeSetChange(); });
}

TConfigPages::~TConfigPages() = default;

PageRow TConfigPages::MakeRow(QWidget* parent, QGridLayout* grid, int gridRow, int col,
                              const QString& name, const QString& caption, int kind,
                              const char* cbText, const QString& group) {
  PageRow row;
  row.lb = new QLabel(caption, parent);
  row.lb->setObjectName(name + "Lb");
  row.sel = new QComboBox(parent);
  row.sel->setObjectName(name + "Sel");
  row.sel->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  row.sel->setMinimumContentsLength(12);
  row.model = new IoSelectorModel(table_, kind, row.sel);
  row.sel->setModel(row.model);
  row.lb->setBuddy(row.sel);
  grid->addWidget(row.lb, gridRow, col);
  grid->addWidget(row.sel, gridRow, col + 1);
  if (cbText) {
    row.cb = new QCheckBox(QString::fromUtf8(cbText), parent);
    row.cb->setObjectName(name + "Cb");
    grid->addWidget(row.cb, gridRow, col + 2);
  }
  NameRow(row, group);
  return row;
}

// A screen reader announces the group and the row's caption: several groups share captions
// ("Śluza 1:", "Tamper 1:"), and the reader rows are captioned by their number alone. The check
// box beside a selector names its own meaning and then the row.
void TConfigPages::NameRow(PageRow& row, const QString& group) {
  QString caption = row.lb->text();
  if (caption.endsWith(':')) caption.chop(1);
  QString access = group.trimmed();
  if (!access.isEmpty()) access += ' ';
  access += caption;
  row.sel->setAccessibleName(access);
  if (row.cb) {
    const QString what = row.cb->text().isEmpty() ? QStringLiteral("Wyjście") : row.cb->text();
    row.cb->setAccessibleName(what + ' ' + access);
  }
}

void TConfigPages::FillRow(PageRow& row, std::uint16_t current, int filter, std::uint16_t sameAs) {
  freePoints_.Fill(*row.model, current, filter, sameAs);
  const auto kind = static_cast<zav::PointKind>(row.model->Kind());
  row.sel->setCurrentIndex(0);
  if (row.cb && (kind == zav::PointKind::Output || kind == zav::PointKind::Input)) {
    row.cb->setEnabled(zav::NcEnabled(table_, kind, current));
    row.cb->setChecked(zav::NcChecked(kind, current));
  }
}

void TConfigPages::ShowTime(QLineEdit* edit, int halfSeconds) {
  const QString text = QString::fromStdString(zav::TimeText(halfSeconds));
  // Setting the same text again would still relayout and repaint the edit.
  if (edit->text() != text)
    edit->setText(text);
  else
    edit->setModified(false);
}

bool TConfigPages::InstallationMode() const {
  return selectedMode_ >= 0 && (selectedMode_ & 3) == 3;
}

void TConfigPages::ShowPages(bool fill) {
  if (table_.passageCount == 0) {
    hide();
    return;
  }
  show();
  const bool wasFilling = filling;
  filling = true;
  // A new load: nothing typed for the previous configuration is carried over.
  shownPassage_ = -1;
  RygTimEd->setModified(false);
  OpenTimEd->setModified(false);
  LiftTimEd->setModified(false);
  if (table_.controllerKind == 1) {
    ShowTab(TabSheet1, true);
    ShowTab(DoorSheet, true);
    ShowTab(LiftSheet, false);
    WrCCfgBtn->setEnabled(true);
    // The tabs are always "1" to the passage count: when the count is the same, the strip
    // already has them, and rebuilding it would relayout and repaint the whole page.
    if (DoorTc->count() != table_.passageCount) {
      while (DoorTc->count() > 0) DoorTc->removeTab(DoorTc->count() - 1);
      for (int i = 1; i <= table_.passageCount; ++i) {
        DoorTc->addTab(QString::number(i));
        // The tab shows the bare number; a screen reader says which passage it is.
        DoorTc->setAccessibleTabName(i - 1, QStringLiteral("Przejście %1").arg(i));
      }
      // A strip that is not on screen does not tell its layout that its height changed (it
      // grows from 0 px with its first tab): without this the strip stays 0 px high and the
      // tabs of every passage but the first cannot be reached.
      DoorTc->updateGeometry();
    }
    DoorTc->setCurrentIndex(0);
    const int airlocks = table_.passageCount == 2 ? 2 : table_.passageCount / 2;
    for (int i = 0; i < 7; ++i) {
      const bool visible = i < airlocks;
      cOutRows[i].lb->setVisible(visible);
      cOutRows[i].sel->setVisible(visible);
      cOutRows[i].cb->setVisible(visible);
    }
    cOutRows[7].lb->setText(airlocks == 8 ? QStringLiteral("Śluza 8:")
                                          : QStringLiteral("Ewakuacja:"));
    NameRow(cOutRows[7], QStringLiteral("Wyjścia"));
    SetAirlockItems(airlocks);
    if (currentWidget() == LiftSheet) setCurrentWidget(DoorSheet);
  } else {
    // A lift controller has no controller block: its "Zapisz" would overwrite the lift record
    // with a passage record, so the page goes away altogether.
    ShowTab(LiftSheet, true);
    ShowTab(DoorSheet, false);
    ShowTab(TabSheet1, false);
    WrCCfgBtn->setEnabled(false);
    setCurrentWidget(LiftSheet);
  }
  filling = wasFilling;
  if (fill) FillVisiblePage();
}

// A hidden tab is also disabled: the tab strip's arrow keys and mouse wheel skip disabled tabs
// but not hidden ones, and would bring up the page of the other controller kind.
void TConfigPages::ShowTab(QWidget* page, bool shown) {
  const int index = indexOf(page);
  // Setting a tab's visibility again repaints the whole page control even when nothing changes.
  if (isTabVisible(index) != shown) setTabVisible(index, shown);
  if (isTabEnabled(index) != shown) setTabEnabled(index, shown);
}

void TConfigPages::SetAirlockItems(int airlocks) {
  // The items follow from the airlock count alone; the same count keeps them, so the
  // selectors are not emptied and repainted for nothing.
  const int lastFirst = airlocks == 8 ? 7 : airlocks;
  if (Sluza1Sel->count() == 1 + lastFirst && Sluza2Sel->count() == std::max(airlocks, 1)) return;
  Sluza1Sel->clear();
  Sluza2Sel->clear();
  Sluza1Sel->addItem(QStringLiteral("  -----"));
  Sluza2Sel->addItem(QStringLiteral("  -----"));
  for (int k = 1; k <= lastFirst; ++k) Sluza1Sel->addItem(QStringLiteral("Śluza %1").arg(k));
  for (int k = 2; k <= airlocks; ++k) Sluza2Sel->addItem(QStringLiteral("Śluza %1").arg(k));
}

void TConfigPages::FillVisiblePage() {
  if (table_.passageCount == 0) return;
  if (table_.controllerKind == 1) {
    if (currentWidget() == DoorSheet)
      FillPassagePage();
    else if (currentWidget() == TabSheet1)
      FillControllerPage();
  } else {
    FillLiftPage();
  }
}

void TConfigPages::CtrlTypeSetChange() {
  if (filling) return;
  FillVisiblePage();
}

int TConfigPages::SelectedPassage() const {
  return DoorTc ? DoorTc->currentIndex() : -1;
}

void TConfigPages::WriteSelected(int kind, const char* wrongKindText, bool complete) {
  if (table_.passageCount == 0 || table_.controllerKind != kind) {
    emit errorRaised(QString::fromUtf8(wrongKindText));
    return;
  }
  if (!complete) {
    emit errorRaised(QString::fromUtf8(kIncompleteText));
    return;
  }
  emit writeRequested(kind);
}

QPushButton* TConfigPages::NewBackupButton(const char* name, const char* caption, QWidget* page) {
  auto* button = new QPushButton(QString::fromUtf8(caption), page);
  button->setObjectName(QString::fromLatin1(name));
  QString access = button->text();
  access.remove(QChar(0x2026));  // the screen reader says the name, not the dots
  button->setAccessibleName(access);
  return button;
}
