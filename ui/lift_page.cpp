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
  // A choice is stored and the page filled again.
  auto chosen = [this](auto& rows, auto set) {
    return [this, &rows, set](int i) {
      std::uint16_t ref;
      if (!Chosen(rows[i], ref)) return;
      set(i, ref);
      Fill();
    };
  };
  BindRows(setRows_, "LOutSet", zav::PointKind::OutputSet,
           chosen(setRows_, [this](int i, std::uint16_t ref) { lift_.SetFloorSet(i, ref); }));
  BindRows(rdRows_, "LRd", zav::PointKind::Reader,
           chosen(rdRows_, [this](int r, std::uint16_t ref) { lift_.SetLiftReader(r, ref); }));
  BindRows(
      inRows_, "LIn", zav::PointKind::Input,
      chosen(inRows_,
             [this](int i, std::uint16_t ref) {
               lift_.SetLiftInput(i, ref, inRows_[i].cb->isChecked());
             }),
      [this](int i) { lift_.SetLiftInputNc(i, inRows_[i].cb->isChecked()); }, 3);
  connect(ui->LiftTimEd, &QLineEdit::editingFinished, this, [this] {
    if (filling_) return;
    lift_.SetUnlockTime(zav::TimeFromText(ui->LiftTimEd->text().toStdString()));
    ui->LiftTimEd->setModified(false);
    Fill();
  });
  // As for passages, showing the name never stores it again.
  connect(ui->LiftNameEd, &QLineEdit::textChanged, this, [this](const QString& name) {
    if (!filling_) lift_.SetName(name.toStdString());
  });
  connect(ui->WrLCfgBtn, &QPushButton::clicked, this,
          [this] { WriteSelected(2, kNotLiftText, lift_.complete); });
  connect(ui->KopiaLBtn, &QPushButton::clicked, this, &TConfigPage::backupRequested);
  connect(ui->PrzywrocLBtn, &QPushButton::clicked, this, &TConfigPage::restoreRequested);
}

TLiftPage::~TLiftPage() = default;

void TLiftPage::NewLoad() {
  ui->LiftTimEd->setModified(false);
}

void TLiftPage::Fill() {
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
