// Page "Przejścia": one passage at a time, chosen on the tab strip DoorTc.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

#include "config/io_ref.h"
#include "config/passage_config.h"
#include "config/time_text.h"
#include "ui/config_pages.h"
#include "ui/io_selector_model.h"

namespace {
const char* const kOutCaptions[8] = {"Rygiel:",   "Przypomnienie:", "Alarm:",    "Uzbrojenie:",
                                     "Strażnik:", "On/Off 1:",      "On/Off 2:", "On/Off 3:"};
const char* const kInCaptions[8] = {
    "Przycisk wyjścia:", "Czujnik otwarcia:", "Ewakuacja:", "Uzbrojenie:",
    "Dzwonek:",          "Tamper 1:",         "Tamper 2:",  "Tamper 3:"};
const char* const kTypeItems[5] = {"Otwarte", "Normalne", "Bistabilne", "Astabilne", "Zablokowane"};

QLabel* NewLabel(const char* name, const char* text, QWidget* parent) {
  auto* lb = new QLabel(QString::fromUtf8(text), parent);
  lb->setObjectName(QString::fromLatin1(name));
  return lb;
}

QLineEdit* NewTimeEdit(const char* name, QLabel* caption, QWidget* parent) {
  auto* ed = new QLineEdit(parent);
  ed->setObjectName(QString::fromLatin1(name));
  ed->setMaxLength(4);
  ed->setMaximumWidth(60);
  QString access = caption->text();
  if (access.endsWith(':')) access.chop(1);
  ed->setAccessibleName(access);
  ed->setAccessibleDescription(QStringLiteral("w sekundach"));
  caption->setBuddy(ed);
  return ed;
}
}  // namespace

void TConfigPages::BuildPassagePage() {
  DoorSheet = new QWidget(this);
  DoorSheet->setObjectName("DoorSheet");
  auto* page = new QHBoxLayout(DoorSheet);

  auto* strip = new QVBoxLayout;
  page->addLayout(strip, 1);
  DoorTc = new QTabBar(DoorSheet);
  DoorTc->setObjectName("DoorTc");
  DoorTc->setExpanding(false);
  DoorTc->setUsesScrollButtons(true);
  DoorTc->setAccessibleName(QStringLiteral("Przejście"));
  connect(DoorTc, &QTabBar::currentChanged, this, [this](int) { DoorTcChange(); });
  strip->addWidget(DoorTc);

  auto* nameRow = new QHBoxLayout;
  DoorNameLb = NewLabel("DoorNameLb", "Nazwa przejścia:", DoorSheet);
  DoorNameEd = new QLineEdit(DoorSheet);
  DoorNameEd->setObjectName("DoorNameEd");
  DoorNameEd->setMaxLength(15);
  DoorNameEd->setAccessibleName(QStringLiteral("Nazwa przejścia"));
  DoorNameLb->setBuddy(DoorNameEd);
  connect(DoorNameEd, &QLineEdit::textChanged, this,
          [this](const QString&) { DoorNameEdChange(); });
  nameRow->addWidget(DoorNameLb);
  nameRow->addWidget(DoorNameEd);
  nameRow->addStretch(1);
  strip->addLayout(nameRow);

  auto* columns = new QHBoxLayout;
  strip->addLayout(columns);
  auto* left = new QVBoxLayout;
  auto* right = new QVBoxLayout;
  columns->addLayout(left);
  columns->addLayout(right);

  const int outKind = static_cast<int>(zav::PointKind::Output);
  const int inKind = static_cast<int>(zav::PointKind::Input);
  const int rdKind = static_cast<int>(zav::PointKind::Reader);

  // " Drzwi ": the bolt and the door sensor, which must sit on the bolt's device.
  auto* doorBox = new QGroupBox(QStringLiteral(" Drzwi "), DoorSheet);
  auto* doorGrid = new QGridLayout(doorBox);
  dOutRows[0] = MakeRow(doorBox, doorGrid, 0, 0, "Out0", QString::fromUtf8(kOutCaptions[0]),
                        outKind, "NC", doorBox->title());
  dInRows[1] = MakeRow(doorBox, doorGrid, 1, 0, "In1", QString::fromUtf8(kInCaptions[1]), inKind,
                       "NC", doorBox->title());
  left->addWidget(doorBox);

  auto* rdBox = new QGroupBox(QStringLiteral(" Czytniki "), DoorSheet);
  auto* rdGrid = new QGridLayout(rdBox);
  RdOutLb = NewLabel("RdOutLb", " Wyjście", rdBox);
  rdGrid->addWidget(RdOutLb, 0, 2);
  for (int r = 0; r < 4; ++r) {
    dRdRows[r] = MakeRow(rdBox, rdGrid, r + 1, 0, QStringLiteral("Rd%1").arg(r),
                         QStringLiteral("%1:").arg(r + 1), rdKind, "", rdBox->title());
    dRdRows[r].lb->setEnabled(false);  // the captions are shown greyed
  }
  left->addWidget(rdBox);

  DTstGrpBox = new QGroupBox(QStringLiteral(" Testowanie "), DoorSheet);
  DTstGrpBox->setObjectName("DTstGrpBox");
  auto* tstGrid = new QGridLayout(DTstGrpBox);
  TypeLb = NewLabel("TypeLb", "Typ przejścia:", DTstGrpBox);
  TypeCb = new QComboBox(DTstGrpBox);
  TypeCb->setObjectName("TypeCb");
  for (const char* item : kTypeItems) TypeCb->addItem(QString::fromUtf8(item));
  TypeCb->setAccessibleName(QStringLiteral("Typ przejścia"));
  TypeLb->setBuddy(TypeCb);
  connect(TypeCb, &QComboBox::currentIndexChanged, this, [this](int) { TypeCbChange(); });
  tstGrid->addWidget(TypeLb, 0, 0);
  tstGrid->addWidget(TypeCb, 0, 1, 1, 2);
  RygTimLb = NewLabel("RygTimLb", "Impuls otwarcia rygla:", DTstGrpBox);
  RygTimEd = NewTimeEdit("RygTimEd", RygTimLb, DTstGrpBox);
  RygTimsLb = NewLabel("RygTimsLb", "s", DTstGrpBox);
  connect(RygTimEd, &QLineEdit::editingFinished, this, [this] { RygTimEdExit(); });
  tstGrid->addWidget(RygTimLb, 1, 0);
  tstGrid->addWidget(RygTimEd, 1, 1);
  tstGrid->addWidget(RygTimsLb, 1, 2);
  OpenTimLb = NewLabel("OpenTimLb", "Dozw. czas otwarcia:", DTstGrpBox);
  OpenTimEd = NewTimeEdit("OpenTimEd", OpenTimLb, DTstGrpBox);
  OpenTimsLb = NewLabel("OpenTimsLb", "s", DTstGrpBox);
  connect(OpenTimEd, &QLineEdit::editingFinished, this, [this] { OpenTimEdExit(); });
  tstGrid->addWidget(OpenTimLb, 2, 0);
  tstGrid->addWidget(OpenTimEd, 2, 1);
  tstGrid->addWidget(OpenTimsLb, 2, 2);
  KlamkaCb = new QCheckBox(QStringLiteral("Otwieranie klamką"), DTstGrpBox);
  KlamkaCb->setObjectName("KlamkaCb");
  connect(KlamkaCb, &QCheckBox::clicked, this, [this](bool) { KlamkaCbClick(); });
  tstGrid->addWidget(KlamkaCb, 3, 0, 1, 3);
  FullTimCb = new QCheckBox(QStringLiteral("Pełny impuls rygla"), DTstGrpBox);
  FullTimCb->setObjectName("FullTimCb");
  connect(FullTimCb, &QCheckBox::clicked, this, [this](bool) { FullTimCbClick(); });
  tstGrid->addWidget(FullTimCb, 4, 0, 1, 3);
  left->addWidget(DTstGrpBox);
  left->addStretch(1);

  auto* outBox = new QGroupBox(QStringLiteral(" Wyjścia "), DoorSheet);
  auto* outGrid = new QGridLayout(outBox);
  for (int i = 1; i < 8; ++i)
    dOutRows[i] = MakeRow(outBox, outGrid, i - 1, 0, QStringLiteral("Out%1").arg(i),
                          QString::fromUtf8(kOutCaptions[i]), outKind, "NC", outBox->title());
  right->addWidget(outBox);

  auto* inBox = new QGroupBox(QStringLiteral(" Wejścia "), DoorSheet);
  auto* inGrid = new QGridLayout(inBox);
  for (int i = 0, gridRow = 0; i < 8; ++i) {
    if (i == 1) continue;  // the door sensor sits with the bolt
    dInRows[i] = MakeRow(inBox, inGrid, gridRow++, 0, QStringLiteral("In%1").arg(i),
                         QString::fromUtf8(kInCaptions[i]), inKind, "NC", inBox->title());
  }
  right->addWidget(inBox);
  // Seven rows in each of the two right-hand groups: with the default row spacing they need
  // 20 px more than the page has below the passage tabs, and the layout would squeeze them.
  for (QGridLayout* grid : {outGrid, inGrid}) grid->setVerticalSpacing(3);

  // The airlock selectors are pure lists: a typed text that names no airlock would leave no
  // item chosen and store a meaningless airlock value.
  // The two selectors share the group's caption and have none of their own; their names say
  // which one a screen reader is on.
  auto* airBox = new QGroupBox(QStringLiteral(" Śluzy "), DoorSheet);
  auto* airRow = new QHBoxLayout(airBox);
  Sluza1Sel = new QComboBox(airBox);
  Sluza1Sel->setObjectName("Sluza1Sel");
  Sluza1Sel->setAccessibleName(QStringLiteral("Śluzy: pierwsza"));
  Sluza2Sel = new QComboBox(airBox);
  Sluza2Sel->setObjectName("Sluza2Sel");
  Sluza2Sel->setAccessibleName(QStringLiteral("Śluzy: druga"));
  for (QComboBox* sel : {Sluza1Sel, Sluza2Sel}) {
    connect(sel, &QComboBox::currentIndexChanged, this, [this](int) {
      if (!filling) Sluza1SelChange();
    });
    airRow->addWidget(sel);
  }
  right->addWidget(airBox);
  right->addStretch(1);

  for (int i = 0; i < 8; ++i) {
    connect(dOutRows[i].sel, &QComboBox::currentIndexChanged, this, [this, i](int) {
      if (!filling) DOutSelChange(i);
    });
    connect(dOutRows[i].cb, &QCheckBox::clicked, this, [this, i](bool) { DOutCbClick(i); });
    connect(dInRows[i].sel, &QComboBox::currentIndexChanged, this, [this, i](int) {
      if (!filling) DInSelChange(i);
    });
    connect(dInRows[i].cb, &QCheckBox::clicked, this, [this, i](bool) { DInCbClick(i); });
  }
  for (int r = 0; r < 4; ++r) {
    connect(dRdRows[r].sel, &QComboBox::currentIndexChanged, this, [this, r](int) {
      if (!filling) DRdSelChange(r);
    });
    connect(dRdRows[r].cb, &QCheckBox::clicked, this, [this, r](bool) { DRdCbClick(r); });
  }

  auto* buttons = new QVBoxLayout;
  page->addLayout(buttons);
  WrDCfgBtn = new QPushButton(QStringLiteral("Zapisz"), DoorSheet);
  WrDCfgBtn->setObjectName("WrDCfgBtn");
  connect(WrDCfgBtn, &QPushButton::clicked, this, [this] { WrDCfgBtnClick(); });
  HelpDoorBtn = new QPushButton(QStringLiteral("Pomoc"), DoorSheet);
  HelpDoorBtn->setObjectName("HelpDoorBtn");
  HelpDoorBtn->setAccessibleDescription(QStringLiteral("Okno Przejścia"));
  connect(HelpDoorBtn, &QPushButton::clicked, this, &TConfigPages::helpRequested);
  RapCfgBtn = new QPushButton(QStringLiteral("Raport"), DoorSheet);
  RapCfgBtn->setObjectName("RapCfgBtn");
  connect(RapCfgBtn, &QPushButton::clicked, this, &TConfigPages::reportRequested);
  KopiaBtn = NewBackupButton("KopiaBtn", "Kopia…", DoorSheet);
  connect(KopiaBtn, &QPushButton::clicked, this, &TConfigPages::backupRequested);
  PrzywrocBtn = NewBackupButton("PrzywrocBtn", "Przywróć…", DoorSheet);
  connect(PrzywrocBtn, &QPushButton::clicked, this, &TConfigPages::restoreRequested);
  buttons->addSpacing(DoorTc->sizeHint().height());
  buttons->addWidget(WrDCfgBtn);
  buttons->addWidget(HelpDoorBtn);
  buttons->addWidget(RapCfgBtn);
  buttons->addWidget(KopiaBtn);
  buttons->addWidget(PrzywrocBtn);
  buttons->addStretch(1);
  addTab(DoorSheet, QStringLiteral("Przejścia"));
}

void TConfigPages::FillPassagePage() {
  if (table_.passageCount == 0) return;
  const int p = SelectedPassage();
  if (p < 0 || p >= doors_.PassageCount()) return;
  const bool wasFilling = filling;
  filling = true;
  freePoints_.NewFill();
  // A time being typed for this passage survives a refill by the poll; it is taken in when
  // the edit is left.
  const bool samePassage = p == shownPassage_;
  shownPassage_ = p;

  // Outside "Instalacja" these parameters belong to the access-control application.
  const bool installation = InstallationMode();
  for (QWidget* w : {static_cast<QWidget*>(DTstGrpBox), static_cast<QWidget*>(TypeLb),
                     static_cast<QWidget*>(TypeCb), static_cast<QWidget*>(RygTimLb),
                     static_cast<QWidget*>(RygTimEd), static_cast<QWidget*>(RygTimsLb),
                     static_cast<QWidget*>(OpenTimLb), static_cast<QWidget*>(OpenTimEd),
                     static_cast<QWidget*>(OpenTimsLb), static_cast<QWidget*>(KlamkaCb),
                     static_cast<QWidget*>(FullTimCb)})
    w->setEnabled(installation);
  // A time typed but not yet left is dropped when its edit is disabled: outside "Instalacja"
  // the times belong to the application and must go back to the controller as they were read.
  if (!installation) {
    RygTimEd->setModified(false);
    OpenTimEd->setModified(false);
  }

  const QString name = QString::fromStdString(doors_.Name(p));
  if (DoorNameEd->text() != name) DoorNameEd->setText(name);

  const zav::Passage& ps = doors_.passages[p];
  const int none = static_cast<int>(zav::ChoiceFilter::None);
  for (int i = 0; i < 8; ++i) FillRow(dOutRows[i], ps.outputs[i], none);
  for (int i = 0; i < 8; ++i) {
    if (i == 1) continue;
    FillRow(dInRows[i], ps.inputs[i], none);
  }
  // The door sensor must sit on the bolt's device; without a bolt there is nothing to offer.
  FillRow(dInRows[1], ps.inputs[1], static_cast<int>(zav::ChoiceFilter::SameDevice), ps.outputs[0]);
  dInRows[1].sel->setEnabled(ps.outputs[0] != zav::kNone);

  for (int r = 0; r < 4; ++r) {
    FillRow(dRdRows[r], ps.readers[r], none);
    const bool bound = ps.readers[r] != zav::kNone;
    dRdRows[r].cb->setEnabled(bound);
    dRdRows[r].cb->setChecked(bound && ps.params.ReaderExit(r));
  }

  Sluza1Sel->setCurrentIndex(doors_.FirstAirlockItem(p));
  Sluza2Sel->setCurrentIndex(doors_.SecondAirlockItem(p));
  KlamkaCb->setChecked(ps.params.HandleOpening());
  FullTimCb->setChecked(ps.params.FullBoltPulse());
  const int type = ps.params.PassageType();
  TypeCb->setCurrentIndex(type <= 4 ? type : -1);
  if (!(samePassage && RygTimEd->isModified())) ShowTime(RygTimEd, ps.params.boltTime);
  if (!(samePassage && OpenTimEd->isModified())) ShowTime(OpenTimEd, ps.params.openTime);
  filling = wasFilling;
}

int TConfigPages::EditedPassage() const {
  const int p = SelectedPassage();
  return p >= 0 && p < doors_.PassageCount() ? p : -1;
}

void TConfigPages::DOutSelChange(int row) {
  const int p = EditedPassage();
  if (p < 0 || row < 0 || row >= 8) return;
  const int item = dOutRows[row].sel->currentIndex();
  if (item < 0) return;
  doors_.SetOutput(p, row, dOutRows[row].model->RefAt(item), dOutRows[row].cb->isChecked());
  FillPassagePage();
}

void TConfigPages::DOutCbClick(int row) {
  const int p = EditedPassage();
  if (filling || p < 0 || row < 0 || row >= 8) return;
  doors_.SetOutputNc(p, row, dOutRows[row].cb->isChecked());
}

void TConfigPages::DInSelChange(int row) {
  const int p = EditedPassage();
  if (p < 0 || row < 0 || row >= 8) return;
  const int item = dInRows[row].sel->currentIndex();
  if (item < 0) return;
  doors_.SetInput(p, row, dInRows[row].model->RefAt(item), dInRows[row].cb->isChecked());
  FillPassagePage();
}

void TConfigPages::DInCbClick(int row) {
  const int p = EditedPassage();
  if (filling || p < 0 || row < 0 || row >= 8) return;
  doors_.SetInputNc(p, row, dInRows[row].cb->isChecked());
}

void TConfigPages::DRdSelChange(int row) {
  const int p = EditedPassage();
  if (p < 0 || row < 0 || row >= 4) return;
  const int item = dRdRows[row].sel->currentIndex();
  if (item < 0) return;
  doors_.SetReader(p, row, dRdRows[row].model->RefAt(item));
  FillPassagePage();
}

void TConfigPages::DRdCbClick(int row) {
  const int p = EditedPassage();
  if (filling || p < 0 || row < 0 || row >= 4) return;
  doors_.SetReaderExit(p, row, dRdRows[row].cb->isChecked());
}

void TConfigPages::Sluza1SelChange() {
  const int p = EditedPassage();
  const int first = Sluza1Sel->currentIndex();
  const int second = Sluza2Sel->currentIndex();
  // No item chosen means no airlock value at all: leave the record as it is.
  if (p < 0 || first < 0 || second < 0) return;
  doors_.SetAirlocks(p, first, second);
  FillPassagePage();
}

void TConfigPages::KlamkaCbClick() {
  const int p = EditedPassage();
  if (filling || p < 0) return;
  doors_.SetHandleOpening(p, KlamkaCb->isChecked());
}

void TConfigPages::FullTimCbClick() {
  const int p = EditedPassage();
  if (filling || p < 0) return;
  doors_.SetFullBoltPulse(p, FullTimCb->isChecked());
}

void TConfigPages::TypeCbChange() {
  const int p = EditedPassage();
  if (filling || p < 0 || TypeCb->currentIndex() < 0) return;
  doors_.SetType(p, TypeCb->currentIndex());
}

// The time edits belong to the passage on show, which differs from the selected tab for the
// moment between a tab click and the refill.
void TConfigPages::RygTimEdExit() {
  if (filling || shownPassage_ < 0 || shownPassage_ >= doors_.PassageCount()) return;
  doors_.SetBoltTime(shownPassage_, zav::TimeFromText(RygTimEd->text().toStdString()));
  RygTimEd->setModified(false);
  FillPassagePage();
}

void TConfigPages::OpenTimEdExit() {
  if (filling || shownPassage_ < 0 || shownPassage_ >= doors_.PassageCount()) return;
  doors_.SetOpenTime(shownPassage_, zav::TimeFromText(OpenTimEd->text().toStdString()));
  OpenTimEd->setModified(false);
  FillPassagePage();
}

// Showing a name must not store it again: a name byte with no Windows-1250 meaning would come
// back as "?" and the unused bytes after the NUL would be cleared.
void TConfigPages::DoorNameEdChange() {
  if (filling || shownPassage_ < 0 || shownPassage_ >= doors_.PassageCount()) return;
  doors_.SetName(shownPassage_, DoorNameEd->text().toStdString());
}

void TConfigPages::DoorTcChange() {
  if (filling) return;
  // The strip does not take the focus, so a time typed for the passage on show and not yet
  // left would be lost; it is taken in for that passage first.
  if (shownPassage_ >= 0 && shownPassage_ < doors_.PassageCount()) {
    if (RygTimEd->isModified())
      doors_.SetBoltTime(shownPassage_, zav::TimeFromText(RygTimEd->text().toStdString()));
    if (OpenTimEd->isModified())
      doors_.SetOpenTime(shownPassage_, zav::TimeFromText(OpenTimEd->text().toStdString()));
  }
  RygTimEd->setModified(false);
  OpenTimEd->setModified(false);
  FillPassagePage();
}

void TConfigPages::WrDCfgBtnClick() {
  WriteSelected(1, kNotDoorText, doors_.complete);
}
