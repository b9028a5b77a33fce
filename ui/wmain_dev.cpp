// The bus devices panel: the device list of the selected controller, deleting the devices it
// lost and handing a lost device's settings to a new one.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <array>

#include "link/wire.h"
#include "ui/config_pages.h"
#include "ui/firmware_action.h"
#include "ui/wmain.h"
#include "ui_wmain.h"

namespace {
QString Text(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

// Everything a device line is made of: the identifier, the state flags and the suffix number.
std::uint64_t LineKey(const zav::BusDeviceTable& table, int pos) {
  if (pos < 0 || pos >= zav::kMaxBusDevices) return ~std::uint64_t{0};
  const zav::BusDevice& d = table.devices[static_cast<std::size_t>(pos)];
  return (std::uint64_t{d.id} << 16) | (std::uint64_t{d.state} << 8) | d.suffixNo;
}
}  // namespace

void TMainWin::FillDevList() {
  const int n = table.activeCount;
  if (n > 0 && devSet.HasSelected())
    ui->SelDevBox->setTitle(QStringLiteral(" ") +
                            Text(zav::DevName(devSet.devs[devSet.selected].id)) +
                            QStringLiteral(" "));
  else
    ui->SelDevBox->setTitle(QString());

  // The lines are rebuilt from the table; only the rows whose text changed are touched, since
  // emptying and refilling the list relayouts and repaints all of it. The list still ends as a
  // fresh one would: no current row, scrolled to its top.
  QListWidget* list = ui->DevListBox;
  const int lines = std::min(n, zav::kMaxBusDevices);
  // Formatting every line again is most of the cost of a reselection or a tick that changed
  // nothing, so the lines are remade only when what they are made of differs.
  std::array<std::uint64_t, zav::kMaxBusDevices> keys{};
  for (int i = 0; i < lines; ++i)
    keys[static_cast<std::size_t>(i)] = LineKey(table, table.order[i]);
  // Only this function fills the list, so its row count is the count of the keys kept.
  const bool sameLines = list->count() == lines &&
                         std::equal(keys.begin(), keys.begin() + lines, shownLineKeys_.begin());
  if (list->count() != lines) {
    list->clear();
    for (int i = 0; i < lines; ++i) list->addItem(Text(table.DeviceLine(table.order[i])));
  } else {
    for (int i = 0; i < lines && !sameLines; ++i) {
      const QString line = Text(table.DeviceLine(table.order[i]));
      QListWidgetItem* item = list->item(i);
      if (item->text() != line) item->setText(line);
    }
    list->setCurrentItem(nullptr);
    list->scrollToTop();
  }
  shownLineKeys_ = keys;

  ui->DelLostBtn->setEnabled(table.HasInactive());

  static std::array<zav::ReplacementPair, zav::kMaxReplacementPairs> pairs;
  const int pairCount = n > 0 ? table.ReplacementPairs(pairs.data()) : 0;
  QComboBox* box = ui->ReplCb;
  bool samePairs = box->count() == pairCount;
  for (int i = 0; samePairs && i < pairCount; ++i)
    samePairs = box->itemData(i).toUInt() == pairs[i] &&
                box->itemText(i) == Text(table.PairLabel(pairs[i]));
  if (!samePairs) {
    box->clear();
    for (int i = 0; i < pairCount; ++i)
      box->addItem(Text(table.PairLabel(pairs[i])), QVariant(static_cast<unsigned>(pairs[i])));
  }
  const bool anyPair = pairCount > 0;
  box->setEnabled(anyPair);
  ui->ReplOldLb->setEnabled(anyPair);
  ui->ReplNewLb->setEnabled(anyPair);
  ui->ReplaceBtn->setEnabled(anyPair);
  box->setCurrentIndex(anyPair ? 0 : -1);

  pages->FillVisiblePage();
}

void TMainWin::DelLostBtnClick() {
  core_->DeleteInactive();
}

void TMainWin::ReplaceBtnClick() {
  const int item = ui->ReplCb->currentIndex();
  if (item < 0 || !devSet.HasSelected()) return;
  core_->Replace(static_cast<zav::ReplacementPair>(ui->ReplCb->itemData(item).toUInt()));
}

void TMainWin::UpgrBtnClick() {
  ::UpgrBtnClick(this, devSet.HasSelected(), [this](std::FILE* file) { core_->UploadFirmware(file); });
}
