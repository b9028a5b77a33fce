// Page "Kontroler": the controller's own outputs and inputs.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "config/io_ref.h"
#include "config/passage_config.h"
#include "ui/config_pages.h"
#include "ui/io_selector_model.h"

namespace {
const char* const kCInCaptions[8] = {
    "Śluza 1:",          "Śluza 2:",   "Brak zasilania AC:", "Słaby akumulator:",
    "Brak akumulatora:", "Ewakuacja:", "Tamper 1:",          "Tamper 2:"};
}

void TConfigPages::BuildControllerPage() {
  TabSheet1 = new QWidget(this);
  TabSheet1->setObjectName("TabSheet1");
  auto* page = new QVBoxLayout(TabSheet1);
  auto* groups = new QHBoxLayout;
  page->addLayout(groups);

  auto* outBox = new QGroupBox(QStringLiteral(" Wyjścia "), TabSheet1);
  auto* outGrid = new QGridLayout(outBox);
  for (int i = 0; i < 8; ++i) {
    cOutRows[i] = MakeRow(outBox, outGrid, i, 0, QStringLiteral("COut%1").arg(i),
                          QStringLiteral("Śluza %1:").arg(i + 1),
                          static_cast<int>(zav::PointKind::Output), "NC", outBox->title());
    connect(cOutRows[i].sel, &QComboBox::currentIndexChanged, this, [this, i](int) {
      if (!filling) COutSelChange(i);
    });
    connect(cOutRows[i].cb, &QCheckBox::clicked, this, [this, i](bool) { COutCbClick(i); });
  }
  outGrid->setRowStretch(8, 1);
  groups->addWidget(outBox);

  auto* inBox = new QGroupBox(QStringLiteral(" Wejścia "), TabSheet1);
  auto* inGrid = new QGridLayout(inBox);
  for (int i = 0; i < 8; ++i) {
    cInRows[i] = MakeRow(inBox, inGrid, i, 0, QStringLiteral("CIn%1").arg(i),
                         QString::fromUtf8(kCInCaptions[i]),
                         static_cast<int>(zav::PointKind::Input), "NC", inBox->title());
    connect(cInRows[i].sel, &QComboBox::currentIndexChanged, this, [this, i](int) {
      if (!filling) CInSelChange(i);
    });
    connect(cInRows[i].cb, &QCheckBox::clicked, this, [this, i](bool) { CInCbClick(i); });
  }
  inGrid->setRowStretch(8, 1);
  groups->addWidget(inBox);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  WrCCfgBtn = new QPushButton(QStringLiteral("Zapisz"), TabSheet1);
  WrCCfgBtn->setObjectName("WrCCfgBtn");
  connect(WrCCfgBtn, &QPushButton::clicked, this, [this] { WrDCfgBtnClick(); });
  buttons->addWidget(WrCCfgBtn);
  page->addLayout(buttons);
  page->addStretch(1);
  addTab(TabSheet1, QStringLiteral("Kontroler"));
}

void TConfigPages::FillControllerPage() {
  if (table_.passageCount == 0) return;
  const bool wasFilling = filling;
  filling = true;
  freePoints_.NewFill();
  const zav::ControllerIoConfig& io = doors_.controllerIo;
  // The first two airlocks are wired to the controller itself.
  for (int i = 0; i < 8; ++i)
    FillRow(cOutRows[i], io.outputs[i],
            static_cast<int>(i < 2 ? zav::ChoiceFilter::DeviceZero : zav::ChoiceFilter::None));
  for (int i = 0; i < 8; ++i)
    FillRow(cInRows[i], io.inputs[i],
            static_cast<int>(i < 2 ? zav::ChoiceFilter::DeviceZero : zav::ChoiceFilter::None));
  filling = wasFilling;
}

void TConfigPages::COutSelChange(int row) {
  if (row < 0 || row >= 8 || cOutRows[row].sel->currentIndex() < 0) return;
  doors_.SetControllerOutput(row, cOutRows[row].model->RefAt(cOutRows[row].sel->currentIndex()),
                             cOutRows[row].cb->isChecked());
  FillControllerPage();
}

void TConfigPages::COutCbClick(int row) {
  if (filling || row < 0 || row >= 8) return;
  doors_.SetControllerOutputNc(row, cOutRows[row].cb->isChecked());
}

void TConfigPages::CInSelChange(int row) {
  if (row < 0 || row >= 8 || cInRows[row].sel->currentIndex() < 0) return;
  doors_.SetControllerInput(row, cInRows[row].model->RefAt(cInRows[row].sel->currentIndex()),
                            cInRows[row].cb->isChecked());
  FillControllerPage();
}

void TConfigPages::CInCbClick(int row) {
  if (filling || row < 0 || row >= 8) return;
  doors_.SetControllerInputNc(row, cInRows[row].cb->isChecked());
}
