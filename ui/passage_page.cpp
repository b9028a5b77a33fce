#include "ui/passage_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <algorithm>
#include <utility>

#include "config/io_ref.h"
#include "config/passage_config.h"
#include "config/time_text.h"
#include "ui_passage_page.h"

namespace {
int TimeOf(const QLineEdit* edit) {
  return zav::TimeFromText(edit->text().toStdString());
}
}  // namespace

TPassagePage::TPassagePage(const zav::BusDeviceTable& table, zav::PassageConfig& doors,
                           FreePointLists& freePoints, QWidget* parent)
    : TConfigPage(table, freePoints, parent), ui(new Ui::TPassagePage), doors_(doors) {
  ui->setupUi(this);
  // The buttons start level with the passage page below the tab strip.
  ui->TabSpace->changeSize(0, ui->DoorTc->sizeHint().height(), QSizePolicy::Minimum,
                           QSizePolicy::Fixed);
  ui->buttons->invalidate();

  BindRows(
      outRows_, "Out", zav::PointKind::Output, [this](int i) { DOutSelChange(i); },
      [this](int i) { DOutCbClick(i); });
  BindRows(
      inRows_, "In", zav::PointKind::Input, [this](int i) { DInSelChange(i); },
      [this](int i) { DInCbClick(i); });
  BindRows(
      rdRows_, "Rd", zav::PointKind::Reader, [this](int r) { DRdSelChange(r); },
      [this](int r) { DRdCbClick(r); });
  connect(ui->DoorTc, &QTabBar::currentChanged, this, [this](int) { DoorTcChange(); });
  connect(ui->DoorNameEd, &QLineEdit::textChanged, this, [this] { DoorNameEdChange(); });
  connect(ui->TypeCb, &QComboBox::currentIndexChanged, this, [this] { TypeCbChange(); });
  connect(ui->RygTimEd, &QLineEdit::editingFinished, this, [this] { RygTimEdExit(); });
  connect(ui->OpenTimEd, &QLineEdit::editingFinished, this, [this] { OpenTimEdExit(); });
  connect(ui->KlamkaCb, &QCheckBox::clicked, this, [this] { KlamkaCbClick(); });
  connect(ui->FullTimCb, &QCheckBox::clicked, this, [this] { FullTimCbClick(); });
  for (QComboBox* sel : {ui->Sluza1Sel, ui->Sluza2Sel})
    connect(sel, &QComboBox::currentIndexChanged, this, [this] { Sluza1SelChange(); });
  connect(ui->WrDCfgBtn, &QPushButton::clicked, this, [this] { WrDCfgBtnClick(); });
  connect(ui->HelpDoorBtn, &QPushButton::clicked, this, &TConfigPage::helpRequested);
  connect(ui->RapCfgBtn, &QPushButton::clicked, this, &TConfigPage::reportRequested);
  connect(ui->KopiaBtn, &QPushButton::clicked, this, &TConfigPage::backupRequested);
  connect(ui->PrzywrocBtn, &QPushButton::clicked, this, &TConfigPage::restoreRequested);
}

TPassagePage::~TPassagePage() = default;

void TPassagePage::NewLoad() {
  shownPassage_ = -1;
  ui->RygTimEd->setModified(false);
  ui->OpenTimEd->setModified(false);
}

void TPassagePage::ShowPassages(int passages, int airlocks) {
  const bool wasFilling = filling_;
  filling_ = true;
  QTabBar* strip = ui->DoorTc;
  // The tabs are always "1" to the passage count: when the count is the same, the strip
  // already has them, and rebuilding it would relayout and repaint the whole page.
  if (strip->count() != passages) {
    while (strip->count() > 0) strip->removeTab(strip->count() - 1);
    for (int i = 1; i <= passages; ++i) {
      strip->addTab(QString::number(i));
      // The tab shows the bare number; a screen reader says which passage it is.
      strip->setAccessibleTabName(i - 1, QStringLiteral("Przejście %1").arg(i));
    }
    // A strip that is not on screen does not tell its layout that its height changed (it
    // grows from 0 px with its first tab): without this the strip stays 0 px high and the
    // tabs of every passage but the first cannot be reached.
    strip->updateGeometry();
  }
  strip->setCurrentIndex(0);
  SetAirlockItems(airlocks);
  filling_ = wasFilling;
}

void TPassagePage::SetAirlockItems(int airlocks) {
  QComboBox* first = ui->Sluza1Sel;
  QComboBox* second = ui->Sluza2Sel;
  // The items follow from the airlock count alone; the same count keeps them, so the
  // selectors are not emptied and repainted for nothing.
  const int lastFirst = airlocks == 8 ? 7 : airlocks;
  if (first->count() == 1 + lastFirst && second->count() == std::max(airlocks, 1)) return;
  first->clear();
  second->clear();
  first->addItem(QStringLiteral("  -----"));
  second->addItem(QStringLiteral("  -----"));
  for (int k = 1; k <= lastFirst; ++k) first->addItem(QStringLiteral("Śluza %1").arg(k));
  for (int k = 2; k <= airlocks; ++k) second->addItem(QStringLiteral("Śluza %1").arg(k));
}

void TPassagePage::FillPassagePage() {
  if (table_.passageCount == 0) return;
  const int p = ui->DoorTc->currentIndex();
  if (p < 0 || p >= doors_.PassageCount()) return;
  const bool wasFilling = filling_;
  filling_ = true;
  freePoints_.NewFill();
  // A time being typed for this passage survives a refill by the poll; it is taken in when
  // the edit is left.
  const bool samePassage = p == shownPassage_;
  shownPassage_ = p;

  // Outside "Instalacja" these parameters belong to the access-control application.
  const bool installation = InstallationMode();
  for (QWidget* w : {static_cast<QWidget*>(ui->DTstGrpBox), static_cast<QWidget*>(ui->TypeLb),
                     static_cast<QWidget*>(ui->TypeCb), static_cast<QWidget*>(ui->RygTimLb),
                     static_cast<QWidget*>(ui->RygTimEd), static_cast<QWidget*>(ui->RygTimsLb),
                     static_cast<QWidget*>(ui->OpenTimLb), static_cast<QWidget*>(ui->OpenTimEd),
                     static_cast<QWidget*>(ui->OpenTimsLb), static_cast<QWidget*>(ui->KlamkaCb),
                     static_cast<QWidget*>(ui->FullTimCb)})
    w->setEnabled(installation);
  // A time typed but not yet left is dropped when its edit is disabled: outside "Instalacja"
  // the times belong to the application and must go back to the controller as they were read.
  if (!installation) {
    ui->RygTimEd->setModified(false);
    ui->OpenTimEd->setModified(false);
  }

  const QString name = QString::fromStdString(doors_.Name(p));
  if (ui->DoorNameEd->text() != name) ui->DoorNameEd->setText(name);

  const zav::Passage& ps = doors_.passages[p];
  const int none = static_cast<int>(zav::ChoiceFilter::None);
  for (int i = 0; i < 8; ++i) FillRow(outRows_[i], ps.outputs[i], none);
  for (int i = 0; i < 8; ++i) {
    if (i == 1) continue;
    FillRow(inRows_[i], ps.inputs[i], none);
  }
  // The door sensor must sit on the bolt's device; without a bolt there is nothing to offer.
  FillRow(inRows_[1], ps.inputs[1], static_cast<int>(zav::ChoiceFilter::SameDevice), ps.outputs[0]);
  inRows_[1].sel->setEnabled(ps.outputs[0] != zav::kNone);

  for (int r = 0; r < 4; ++r) {
    FillRow(rdRows_[r], ps.readers[r], none);
    const bool bound = ps.readers[r] != zav::kNone;
    rdRows_[r].cb->setEnabled(bound);
    rdRows_[r].cb->setChecked(bound && ps.params.ReaderExit(r));
  }

  ui->Sluza1Sel->setCurrentIndex(doors_.FirstAirlockItem(p));
  ui->Sluza2Sel->setCurrentIndex(doors_.SecondAirlockItem(p));
  ui->KlamkaCb->setChecked(ps.params.HandleOpening());
  ui->FullTimCb->setChecked(ps.params.FullBoltPulse());
  const int type = ps.params.PassageType();
  ui->TypeCb->setCurrentIndex(type <= 4 ? type : -1);
  if (!(samePassage && ui->RygTimEd->isModified())) ShowTime(ui->RygTimEd, ps.params.boltTime);
  if (!(samePassage && ui->OpenTimEd->isModified())) ShowTime(ui->OpenTimEd, ps.params.openTime);
  filling_ = wasFilling;
}

int TPassagePage::EditedPassage() const {
  const int p = ui->DoorTc->currentIndex();
  return p >= 0 && p < doors_.PassageCount() ? p : -1;
}

// A choice stores the row's binding for the passage on the strip and refills the page; a
// click on a check box stores only that.
void TPassagePage::EditRow(PageRow& row, const std::function<void(int, std::uint16_t, bool)>& set) {
  const int p = EditedPassage();
  std::uint16_t ref;
  if (p < 0 || !Chosen(row, ref)) return;
  set(p, ref, row.cb->isChecked());
  FillPassagePage();
}

void TPassagePage::EditCheck(const std::function<void(int)>& set) {
  const int p = EditedPassage();
  if (!filling_ && p >= 0) set(p);
}

void TPassagePage::DOutSelChange(int row) {
  EditRow(outRows_[row],
          [&](int p, std::uint16_t ref, bool nc) { doors_.SetOutput(p, row, ref, nc); });
}

void TPassagePage::DOutCbClick(int row) {
  EditCheck([&](int p) { doors_.SetOutputNc(p, row, outRows_[row].cb->isChecked()); });
}

void TPassagePage::DInSelChange(int row) {
  EditRow(inRows_[row],
          [&](int p, std::uint16_t ref, bool nc) { doors_.SetInput(p, row, ref, nc); });
}

void TPassagePage::DInCbClick(int row) {
  EditCheck([&](int p) { doors_.SetInputNc(p, row, inRows_[row].cb->isChecked()); });
}

void TPassagePage::DRdSelChange(int row) {
  EditRow(rdRows_[row], [&](int p, std::uint16_t ref, bool) { doors_.SetReader(p, row, ref); });
}

void TPassagePage::DRdCbClick(int row) {
  EditCheck([&](int p) { doors_.SetReaderExit(p, row, rdRows_[row].cb->isChecked()); });
}

// The airlock selectors are pure lists: a typed text that names no airlock would leave no item
// chosen and store a meaningless airlock value.
void TPassagePage::Sluza1SelChange() {
  const int p = EditedPassage();
  const int first = ui->Sluza1Sel->currentIndex();
  const int second = ui->Sluza2Sel->currentIndex();
  // No item chosen means no airlock value at all: leave the record as it is.
  if (filling_ || p < 0 || first < 0 || second < 0) return;
  doors_.SetAirlocks(p, first, second);
  FillPassagePage();
}

void TPassagePage::KlamkaCbClick() {
  EditCheck([&](int p) { doors_.SetHandleOpening(p, ui->KlamkaCb->isChecked()); });
}

void TPassagePage::FullTimCbClick() {
  EditCheck([&](int p) { doors_.SetFullBoltPulse(p, ui->FullTimCb->isChecked()); });
}

void TPassagePage::TypeCbChange() {
  const int type = ui->TypeCb->currentIndex();
  if (type >= 0) EditCheck([&](int p) { doors_.SetType(p, type); });
}

// The time edits belong to the passage on show, which differs from the selected tab for the
// moment between a tab click and the refill.
void TPassagePage::TakeTime(QLineEdit* edit, void (zav::PassageConfig::*set)(int, int)) {
  if (filling_ || shownPassage_ < 0 || shownPassage_ >= doors_.PassageCount()) return;
  (doors_.*set)(shownPassage_, TimeOf(edit));
  edit->setModified(false);
  FillPassagePage();
}

void TPassagePage::RygTimEdExit() {
  TakeTime(ui->RygTimEd, &zav::PassageConfig::SetBoltTime);
}

void TPassagePage::OpenTimEdExit() {
  TakeTime(ui->OpenTimEd, &zav::PassageConfig::SetOpenTime);
}

// Showing a name must not store it again: a name byte with no Windows-1250 meaning would come
// back as "?" and the unused bytes after the NUL would be cleared.
void TPassagePage::DoorNameEdChange() {
  if (filling_ || shownPassage_ < 0 || shownPassage_ >= doors_.PassageCount()) return;
  doors_.SetName(shownPassage_, ui->DoorNameEd->text().toStdString());
}

void TPassagePage::DoorTcChange() {
  if (filling_) return;
  // The strip does not take the focus, so a time typed for the passage on show and not yet
  // left would be lost; it is taken in for that passage first.
  const bool shown = shownPassage_ >= 0 && shownPassage_ < doors_.PassageCount();
  for (auto [edit, set] : {std::pair(ui->RygTimEd, &zav::PassageConfig::SetBoltTime),
                           std::pair(ui->OpenTimEd, &zav::PassageConfig::SetOpenTime)}) {
    if (shown && edit->isModified()) (doors_.*set)(shownPassage_, TimeOf(edit));
    edit->setModified(false);
  }
  FillPassagePage();
}

void TPassagePage::WrDCfgBtnClick() {
  WriteSelected(1, kNotDoorText, doors_.complete);
}
