#include "ui/lift_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "config/io_ref.h"
#include "config/lift_config.h"
#include "config/time_text.h"
#include "ui_lift_page.h"

TLiftPage::TLiftPage(const zav::BusDeviceTable& table, zav::LiftConfig& lift,
                     FreePointLists& freePoints, QWidget* parent)
    : TConfigPage(table, freePoints, parent), ui(new Ui::TLiftPage), lift_(lift) {
  ui->setupUi(this);
  BindRows(setRows_, "LOutSet", zav::PointKind::OutputSet, [this](int i) { LOutSetSelChange(i); });
  BindRows(rdRows_, "LRd", zav::PointKind::Reader, [this](int r) { LRdSelChange(r); });
  BindRows(
      inRows_, "LIn", zav::PointKind::Input, [this](int i) { LInSelChange(i); },
      [this](int i) { LInCbClick(i); }, 3);
  connect(ui->LiftTimEd, &QLineEdit::editingFinished, this, [this] { LiftTimEdExit(); });
  connect(ui->LiftNameEd, &QLineEdit::textChanged, this, [this] { LiftNameEdChange(); });
  connect(ui->WrLCfgBtn, &QPushButton::clicked, this, [this] { WrLCfgBtnClick(); });
  connect(ui->KopiaLBtn, &QPushButton::clicked, this, &TConfigPage::backupRequested);
  connect(ui->PrzywrocLBtn, &QPushButton::clicked, this, &TConfigPage::restoreRequested);
}

TLiftPage::~TLiftPage() = default;

void TLiftPage::NewLoad() {
  ui->LiftTimEd->setModified(false);
}

void TLiftPage::FillLiftPage() {
  if (table_.passageCount == 0 || table_.controllerKind != 2) return;
  const bool wasFilling = filling_;
  filling_ = true;
  freePoints_.NewFill();
  const bool installation = InstallationMode();
  for (QWidget* w : {static_cast<QWidget*>(ui->LTstGrpBox), static_cast<QWidget*>(ui->LiftTimLb),
                     static_cast<QWidget*>(ui->LiftTimEd), static_cast<QWidget*>(ui->LiftTimsLb)})
    w->setEnabled(installation);
  // As on the passage page, a disabled time edit drops what was typed and not left.
  if (!installation) ui->LiftTimEd->setModified(false);

  const QString name = QString::fromStdString(lift_.Name());
  if (ui->LiftNameEd->text() != name) ui->LiftNameEd->setText(name);

  const int none = static_cast<int>(zav::ChoiceFilter::None);
  for (int i = 0; i < 8; ++i) FillRow(setRows_[i], lift_.floorSets[i], none);
  for (int i = 3; i < 8; ++i) FillRow(inRows_[i], lift_.inputs[i], none);
  for (int r = 0; r < 4; ++r) FillRow(rdRows_[r], lift_.readers[r], none);
  // A time being typed survives a refill by the poll; it is taken in when the edit is left.
  if (!ui->LiftTimEd->isModified()) ShowTime(ui->LiftTimEd, lift_.params.unlockTime);
  filling_ = wasFilling;
}

// A choice is stored and the page filled again.
void TLiftPage::LOutSetSelChange(int row) {
  std::uint16_t ref;
  if (!Chosen(setRows_[row], ref)) return;
  lift_.SetFloorSet(row, ref);
  FillLiftPage();
}

void TLiftPage::LInSelChange(int row) {
  std::uint16_t ref;
  if (!Chosen(inRows_[row], ref)) return;
  lift_.SetLiftInput(row, ref, inRows_[row].cb->isChecked());
  FillLiftPage();
}

void TLiftPage::LInCbClick(int row) {
  lift_.SetLiftInputNc(row, inRows_[row].cb->isChecked());
}

void TLiftPage::LRdSelChange(int row) {
  std::uint16_t ref;
  if (!Chosen(rdRows_[row], ref)) return;
  lift_.SetLiftReader(row, ref);
  FillLiftPage();
}

void TLiftPage::LiftTimEdExit() {
  if (filling_) return;
  lift_.SetUnlockTime(zav::TimeFromText(ui->LiftTimEd->text().toStdString()));
  ui->LiftTimEd->setModified(false);
  FillLiftPage();
}

// As for passages, showing the name never stores it again.
void TLiftPage::LiftNameEdChange() {
  if (!filling_) lift_.SetName(ui->LiftNameEd->text().toStdString());
}

void TLiftPage::WrLCfgBtnClick() {
  WriteSelected(2, kNotLiftText, lift_.complete);
}
