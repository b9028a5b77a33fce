// Page "Winda": the one lift of a lift controller.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "config/io_ref.h"
#include "config/lift_config.h"
#include "config/time_text.h"
#include "ui/config_pages.h"
#include "ui/io_selector_model.h"

namespace {
const char* const kSetCaptions[8] = {
    "1..8:", "9..16:", "17..24:", "25..32:", "33..40:", "41..48:", "49..56:", "57..64:"};
const char* const kLInCaptions[8] = {
    "", "", "", "Tamper 1:", "Tamper 2:", "Tamper 3:", "Brak zasilania AC:", "Akumulator:"};
}  // namespace

void TConfigPages::BuildLiftPage() {
  LiftSheet = new QWidget(this);
  LiftSheet->setObjectName("LiftSheet");
  auto* page = new QVBoxLayout(LiftSheet);

  auto* nameRow = new QHBoxLayout;
  LiftNameLb = new QLabel(QStringLiteral("Nazwa windy:"), LiftSheet);
  LiftNameLb->setObjectName("LiftNameLb");
  LiftNameEd = new QLineEdit(LiftSheet);
  LiftNameEd->setObjectName("LiftNameEd");
  LiftNameEd->setMaxLength(15);
  LiftNameEd->setAccessibleName(QStringLiteral("Nazwa windy"));
  LiftNameLb->setBuddy(LiftNameEd);
  connect(LiftNameEd, &QLineEdit::textChanged, this,
          [this](const QString&) { LiftNameEdChange(); });
  nameRow->addWidget(LiftNameLb);
  nameRow->addWidget(LiftNameEd);
  nameRow->addStretch(1);
  page->addLayout(nameRow);

  auto* columns = new QHBoxLayout;
  page->addLayout(columns);
  auto* left = new QVBoxLayout;
  auto* right = new QVBoxLayout;
  columns->addLayout(left);
  columns->addLayout(right);

  auto* setBox = new QGroupBox(QStringLiteral(" Poziomy "), LiftSheet);
  auto* setGrid = new QGridLayout(setBox);
  for (int i = 0; i < 8; ++i) {
    lOutSetRows[i] = MakeRow(setBox, setGrid, i, 0, QStringLiteral("LOutSet%1").arg(i),
                             QString::fromUtf8(kSetCaptions[i]),
                             static_cast<int>(zav::PointKind::OutputSet), nullptr, setBox->title());
    connect(lOutSetRows[i].sel, &QComboBox::currentIndexChanged, this, [this, i](int) {
      if (!filling) LOutSetSelChange(i);
    });
  }
  left->addWidget(setBox);
  left->addStretch(1);

  auto* rdBox = new QGroupBox(QStringLiteral(" Czytniki "), LiftSheet);
  auto* rdGrid = new QGridLayout(rdBox);
  for (int r = 0; r < 4; ++r) {
    lRdRows[r] = MakeRow(rdBox, rdGrid, r, 0, QStringLiteral("LRd%1").arg(r),
                         QStringLiteral("%1:").arg(r + 1), static_cast<int>(zav::PointKind::Reader),
                         nullptr, rdBox->title());
    connect(lRdRows[r].sel, &QComboBox::currentIndexChanged, this, [this, r](int) {
      if (!filling) LRdSelChange(r);
    });
  }
  // The rows have no check box column: the room left over goes to an empty column, so the
  // selectors stay beside their captions instead of being pushed to the far edge.
  rdGrid->setColumnStretch(2, 1);
  right->addWidget(rdBox);

  auto* inBox = new QGroupBox(QStringLiteral(" Wejścia "), LiftSheet);
  auto* inGrid = new QGridLayout(inBox);
  for (int i = 3; i < 8; ++i) {
    lInRows[i] = MakeRow(inBox, inGrid, i - 3, 0, QStringLiteral("LIn%1").arg(i),
                         QString::fromUtf8(kLInCaptions[i]),
                         static_cast<int>(zav::PointKind::Input), "NC", inBox->title());
    connect(lInRows[i].sel, &QComboBox::currentIndexChanged, this, [this, i](int) {
      if (!filling) LInSelChange(i);
    });
    connect(lInRows[i].cb, &QCheckBox::clicked, this, [this, i](bool) { LInCbClick(i); });
  }
  right->addWidget(inBox);

  LTstGrpBox = new QGroupBox(QStringLiteral(" Testowanie "), LiftSheet);
  LTstGrpBox->setObjectName("LTstGrpBox");
  auto* tstRow = new QHBoxLayout(LTstGrpBox);
  LiftTimLb = new QLabel(QStringLiteral("Czas odblokowania przycisków:"), LTstGrpBox);
  LiftTimLb->setObjectName("LiftTimLb");
  LiftTimEd = new QLineEdit(LTstGrpBox);
  LiftTimEd->setObjectName("LiftTimEd");
  LiftTimEd->setMaxLength(4);
  LiftTimEd->setMaximumWidth(60);
  LiftTimEd->setAccessibleName(QStringLiteral("Czas odblokowania przycisków"));
  LiftTimEd->setAccessibleDescription(QStringLiteral("w sekundach"));
  LiftTimLb->setBuddy(LiftTimEd);
  LiftTimsLb = new QLabel(QStringLiteral("s"), LTstGrpBox);
  LiftTimsLb->setObjectName("LiftTimsLb");
  connect(LiftTimEd, &QLineEdit::editingFinished, this, [this] { LiftTimEdExit(); });
  tstRow->addWidget(LiftTimLb);
  tstRow->addWidget(LiftTimEd);
  tstRow->addWidget(LiftTimsLb);
  tstRow->addStretch(1);
  right->addWidget(LTstGrpBox);
  right->addStretch(1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  WrLCfgBtn = new QPushButton(QStringLiteral("Zapisz"), LiftSheet);
  WrLCfgBtn->setObjectName("WrLCfgBtn");
  connect(WrLCfgBtn, &QPushButton::clicked, this, [this] { WrLCfgBtnClick(); });
  KopiaLBtn = NewBackupButton("KopiaLBtn", "Kopia…", LiftSheet);
  connect(KopiaLBtn, &QPushButton::clicked, this, &TConfigPages::backupRequested);
  PrzywrocLBtn = NewBackupButton("PrzywrocLBtn", "Przywróć…", LiftSheet);
  connect(PrzywrocLBtn, &QPushButton::clicked, this, &TConfigPages::restoreRequested);
  buttons->addWidget(KopiaLBtn);
  buttons->addWidget(PrzywrocLBtn);
  buttons->addWidget(WrLCfgBtn);
  page->addLayout(buttons);
  page->addStretch(1);
  addTab(LiftSheet, QStringLiteral("Winda"));
}

void TConfigPages::FillLiftPage() {
  if (table_.passageCount == 0 || table_.controllerKind != 2) return;
  const bool wasFilling = filling;
  filling = true;
  freePoints_.NewFill();
  const bool installation = InstallationMode();
  for (QWidget* w : {static_cast<QWidget*>(LTstGrpBox), static_cast<QWidget*>(LiftTimLb),
                     static_cast<QWidget*>(LiftTimEd), static_cast<QWidget*>(LiftTimsLb)})
    w->setEnabled(installation);
  // As on the passage page, a disabled time edit drops what was typed and not left.
  if (!installation) LiftTimEd->setModified(false);

  const QString name = QString::fromStdString(lift_.Name());
  if (LiftNameEd->text() != name) LiftNameEd->setText(name);

  const int none = static_cast<int>(zav::ChoiceFilter::None);
  for (int i = 0; i < 8; ++i) FillRow(lOutSetRows[i], lift_.floorSets[i], none);
  for (int i = 3; i < 8; ++i) FillRow(lInRows[i], lift_.inputs[i], none);
  for (int r = 0; r < 4; ++r) FillRow(lRdRows[r], lift_.readers[r], none);
  // A time being typed survives a refill by the poll; it is taken in when the edit is left.
  if (!LiftTimEd->isModified()) ShowTime(LiftTimEd, lift_.params.unlockTime);
  filling = wasFilling;
}

void TConfigPages::LOutSetSelChange(int row) {
  if (row < 0 || row >= 8 || lOutSetRows[row].sel->currentIndex() < 0) return;
  lift_.SetFloorSet(row, lOutSetRows[row].model->RefAt(lOutSetRows[row].sel->currentIndex()));
  FillLiftPage();
}

void TConfigPages::LInSelChange(int row) {
  if (row < 3 || row >= 8 || lInRows[row].sel->currentIndex() < 0) return;
  lift_.SetLiftInput(row, lInRows[row].model->RefAt(lInRows[row].sel->currentIndex()),
                     lInRows[row].cb->isChecked());
  FillLiftPage();
}

void TConfigPages::LInCbClick(int row) {
  if (filling || row < 3 || row >= 8) return;
  lift_.SetLiftInputNc(row, lInRows[row].cb->isChecked());
}

void TConfigPages::LRdSelChange(int row) {
  if (row < 0 || row >= 4 || lRdRows[row].sel->currentIndex() < 0) return;
  lift_.SetLiftReader(row, lRdRows[row].model->RefAt(lRdRows[row].sel->currentIndex()));
  FillLiftPage();
}

void TConfigPages::LiftTimEdExit() {
  if (filling) return;
  lift_.SetUnlockTime(zav::TimeFromText(LiftTimEd->text().toStdString()));
  LiftTimEd->setModified(false);
  FillLiftPage();
}

// As for passages, showing the name never stores it again.
void TConfigPages::LiftNameEdChange() {
  if (filling) return;
  lift_.SetName(LiftNameEd->text().toStdString());
}

void TConfigPages::WrLCfgBtnClick() {
  WriteSelected(2, kNotLiftText, lift_.complete);
}
