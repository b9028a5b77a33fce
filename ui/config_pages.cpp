#include "ui/config_pages.h"

#include <QTabBar>
#include <QToolButton>

#include "config/bus_device_table.h"
#include "ui/controller_page.h"
#include "ui/lift_page.h"
#include "ui/passage_page.h"

TConfigPages::TConfigPages(zav::BusDeviceTable& table, zav::PassageConfig& doors,
                           zav::LiftConfig& lift, QWidget* parent)
    : QTabWidget(parent),
      table_(table),
      freePoints_(table),
      controller_(new TControllerPage(table, doors, freePoints_, this)),
      passage_(new TPassagePage(table, doors, freePoints_, this)),
      lift_(new TLiftPage(table, lift, freePoints_, this)) {
  setObjectName("CtrlTypeSet");
  addTab(controller_, QStringLiteral("Kontroler"));
  addTab(passage_, QStringLiteral("Przejścia"));
  addTab(lift_, QStringLiteral("Winda"));
  for (TConfigPage* page :
       {static_cast<TConfigPage*>(controller_), static_cast<TConfigPage*>(passage_),
        static_cast<TConfigPage*>(lift_)}) {
    connect(page, &TConfigPage::writeRequested, this, &TConfigPages::writeRequested);
    connect(page, &TConfigPage::errorRaised, this, &TConfigPages::errorRaised);
    connect(page, &TConfigPage::helpRequested, this, &TConfigPages::helpRequested);
    connect(page, &TConfigPage::reportRequested, this, &TConfigPages::reportRequested);
    connect(page, &TConfigPage::backupRequested, this, &TConfigPages::backupRequested);
    connect(page, &TConfigPage::restoreRequested, this, &TConfigPages::restoreRequested);
  }
  setCurrentWidget(passage_);
  tabBar()->setAccessibleName(QStringLiteral("Konfiguracja"));
  // The tab strips' scroll arrows would otherwise be announced in English.
  for (QToolButton* arrow : findChildren<QToolButton*>()) {
    if (arrow->objectName() == QLatin1String("ScrollLeftButton"))
      arrow->setAccessibleName(QStringLiteral("Przewiń w lewo"));
    else if (arrow->objectName() == QLatin1String("ScrollRightButton"))
      arrow->setAccessibleName(QStringLiteral("Przewiń w prawo"));
  }
  connect(this, &QTabWidget::currentChanged, this, [this](int) { CtrlTypeSetChange(); });
}

// A page turned to is filled then, not while the pages are being shown.
void TConfigPages::CtrlTypeSetChange() {
  if (!filling_) FillVisiblePage();
}

TConfigPages::~TConfigPages() = default;

void TConfigPages::SetSelectedMode(int mode) {
  controller_->SetSelectedMode(mode);
  passage_->SetSelectedMode(mode);
  lift_->SetSelectedMode(mode);
}

void TConfigPages::ShowPages(bool fill) {
  if (table_.passageCount == 0) {
    hide();
    return;
  }
  show();
  const bool wasFilling = filling_;
  filling_ = true;
  passage_->NewLoad();
  lift_->NewLoad();
  if (table_.controllerKind == 1) {
    ShowTab(controller_, true);
    ShowTab(passage_, true);
    ShowTab(lift_, false);
    controller_->SetWritable(true);
    const int airlocks = table_.passageCount == 2 ? 2 : table_.passageCount / 2;
    passage_->ShowPassages(table_.passageCount, airlocks);
    controller_->ShowAirlocks(airlocks);
    if (currentWidget() == lift_) setCurrentWidget(passage_);
  } else {
    // A lift controller has no controller block: its "Zapisz" would overwrite the lift record
    // with a passage record, so the page goes away altogether.
    ShowTab(lift_, true);
    ShowTab(passage_, false);
    ShowTab(controller_, false);
    controller_->SetWritable(false);
    setCurrentWidget(lift_);
  }
  filling_ = wasFilling;
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

void TConfigPages::FillVisiblePage() {
  if (table_.passageCount == 0) return;
  if (table_.controllerKind != 1)
    lift_->Fill();
  else if (currentWidget() == passage_)
    passage_->Fill();
  else if (currentWidget() == controller_)
    controller_->Fill();
}
