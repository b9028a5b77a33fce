#include "ui/controller_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

#include "config/io_ref.h"
#include "config/passage_config.h"
#include "ui_controller_page.h"

TControllerPage::TControllerPage(const zav::BusDeviceTable& table, zav::PassageConfig& doors,
                                 FreePointLists& freePoints, QWidget* parent)
    : TConfigPage(table, freePoints, parent), ui(new Ui::TControllerPage), doors_(doors) {
  ui->setupUi(this);
  BindRows(
      outRows_, "COut", zav::PointKind::Output, [this](int i) { COutSelChange(i); },
      [this](int i) { COutCbClick(i); });
  BindRows(
      inRows_, "CIn", zav::PointKind::Input, [this](int i) { CInSelChange(i); },
      [this](int i) { CInCbClick(i); });
  connect(ui->WrCCfgBtn, &QPushButton::clicked, this,
          [this] { WriteSelected(1, kNotDoorText, doors_.complete); });
}

TControllerPage::~TControllerPage() = default;

void TControllerPage::FillControllerPage() {
  if (table_.passageCount == 0) return;
  const bool wasFilling = filling_;
  filling_ = true;
  freePoints_.NewFill();
  const zav::ControllerIoConfig& io = doors_.controllerIo;
  // The first two airlocks are wired to the controller itself.
  for (int i = 0; i < 8; ++i)
    FillRow(outRows_[i], io.outputs[i],
            static_cast<int>(i < 2 ? zav::ChoiceFilter::DeviceZero : zav::ChoiceFilter::None));
  for (int i = 0; i < 8; ++i)
    FillRow(inRows_[i], io.inputs[i],
            static_cast<int>(i < 2 ? zav::ChoiceFilter::DeviceZero : zav::ChoiceFilter::None));
  filling_ = wasFilling;
}

void TControllerPage::ShowAirlocks(int airlocks) {
  for (int i = 0; i < 7; ++i) {
    const bool visible = i < airlocks;
    outRows_[i].lb->setVisible(visible);
    outRows_[i].sel->setVisible(visible);
    outRows_[i].cb->setVisible(visible);
  }
  const QString caption = airlocks == 8 ? QStringLiteral("Śluza 8:") : QStringLiteral("Ewakuacja:");
  // Every load shows the airlocks again; the row is renamed only when its caption changes.
  if (outRows_[7].lb->text() == caption) return;
  outRows_[7].lb->setText(caption);
  NameRow(outRows_[7]);
}

void TControllerPage::SetWritable(bool writable) {
  ui->WrCCfgBtn->setEnabled(writable);
}

// A choice stores the row's binding and refills the page; a click on NC stores only that.
void TControllerPage::COutSelChange(int row) {
  std::uint16_t ref;
  if (!Chosen(outRows_[row], ref)) return;
  doors_.SetControllerOutput(row, ref, outRows_[row].cb->isChecked());
  FillControllerPage();
}

void TControllerPage::COutCbClick(int row) {
  doors_.SetControllerOutputNc(row, outRows_[row].cb->isChecked());
}

void TControllerPage::CInSelChange(int row) {
  std::uint16_t ref;
  if (!Chosen(inRows_[row], ref)) return;
  doors_.SetControllerInput(row, ref, inRows_[row].cb->isChecked());
  FillControllerPage();
}

void TControllerPage::CInCbClick(int row) {
  doors_.SetControllerInputNc(row, inRows_[row].cb->isChecked());
}
