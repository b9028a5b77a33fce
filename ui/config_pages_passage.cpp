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

  // The airlock selectors are pure lists: a typed text that names no airlock would leave no
  // item chosen and store a meaningless airlock value.
  auto* airBox = new QGroupBox(QStringLiteral(" Śluzy "), DoorSheet);
  auto* airRow = new QHBoxLayout(airBox);
  Sluza1Sel = new QComboBox(airBox);
  Sluza1Sel->setObjectName("Sluza1Sel");
  Sluza1Sel->setAccessibleName(QStringLiteral("Śluzy 1"));
  Sluza2Sel = new QComboBox(airBox);
  Sluza2Sel->setObjectName("Sluza2Sel");
  Sluza2Sel->setAccessibleName(QStringLiteral("Śluzy 2"));
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
  connect(HelpDoorBtn, &QPushButton::clicked, this, [this] { host_.HelpDoorBtnClick(); });
  RapCfgBtn = new QPushButton(QStringLiteral("Raport"), DoorSheet);
  RapCfgBtn->setObjectName("RapCfgBtn");
  connect(RapCfgBtn, &QPushButton::clicked, this, [this] { host_.RapCfgBtnClick(); });
  buttons->addSpacing(DoorTc->sizeHint().height());
  buttons->addWidget(WrDCfgBtn);
  buttons->addWidget(HelpDoorBtn);
  buttons->addWidget(RapCfgBtn);
  buttons->addStretch(1);
  addTab(DoorSheet, QStringLiteral("Przejścia"));
}

void TConfigPages::FillPassagePage() {}
void TConfigPages::DOutSelChange(int) {}
void TConfigPages::DOutCbClick(int) {}
void TConfigPages::DInSelChange(int) {}
void TConfigPages::DInCbClick(int) {}
void TConfigPages::DRdSelChange(int) {}
void TConfigPages::DRdCbClick(int) {}
void TConfigPages::Sluza1SelChange() {}
void TConfigPages::KlamkaCbClick() {}
void TConfigPages::FullTimCbClick() {}
void TConfigPages::TypeCbChange() {}
void TConfigPages::RygTimEdExit() {}
void TConfigPages::OpenTimEdExit() {}
void TConfigPages::DoorNameEdChange() {}
void TConfigPages::DoorTcChange() {}
void TConfigPages::WrDCfgBtnClick() {}
