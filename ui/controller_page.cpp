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
  // A choice stores the row's binding and refills the page; a click on NC stores only that.
  using Set = void (zav::PassageConfig::*)(int, zav::IoRef, bool);
  using SetNc = void (zav::PassageConfig::*)(int, bool);
  auto bind = [this](std::array<PageRow, 8>& rows, const char* prefix, zav::PointKind kind, Set set,
                     SetNc setNc) {
    BindRows(
        rows, prefix, kind,
        [this, &rows, set](int i) {
          std::uint16_t ref;
          if (!Chosen(rows[i], ref)) return;
          (doors_.*set)(i, ref, rows[i].cb->isChecked());
          Fill();
        },
        [this, &rows, setNc](int i) { (doors_.*setNc)(i, rows[i].cb->isChecked()); });
  };
  bind(outRows_, "COut", zav::PointKind::Output, &zav::PassageConfig::SetControllerOutput,
       &zav::PassageConfig::SetControllerOutputNc);
  bind(inRows_, "CIn", zav::PointKind::Input, &zav::PassageConfig::SetControllerInput,
       &zav::PassageConfig::SetControllerInputNc);
  connect(ui->WrCCfgBtn, &QPushButton::clicked, this,
          [this] { WriteSelected(1, kNotDoorText, doors_.complete); });
}

TControllerPage::~TControllerPage() = default;

void TControllerPage::Fill() {
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
  outRows_[7].lb->setText(airlocks == 8 ? QStringLiteral("Śluza 8:")
                                        : QStringLiteral("Ewakuacja:"));
  NameRow(outRows_[7]);
}

void TControllerPage::SetWritable(bool writable) {
  ui->WrCCfgBtn->setEnabled(writable);
}
