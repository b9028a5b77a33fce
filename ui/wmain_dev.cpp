// The bus devices panel: the device list of the selected controller, deleting the devices it
// lost and handing a lost device's settings to a new one.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <vector>

#include "link/wire.h"
#include "ui/config_pages.h"
#include "ui/device_list_model.h"
#include "ui/firmware_action.h"
#include "ui/wmain.h"
#include "ui_wmain.h"

namespace {
QString Text(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

}  // namespace

void TMainWin::FillDevList() {
  const int n = edits_.table.activeCount;
  if (n > 0 && devSet_.HasSelected())
    ui->SelDevBox->setTitle(QStringLiteral(" ") +
                            Text(zav::DevName(devSet_.devs[devSet_.selected].id)) +
                            QStringLiteral(" "));
  else
    ui->SelDevBox->setTitle(QString());

  // Only the rows whose line changed are touched, since refilling the whole list relayouts and
  // repaints all of it. The list still ends as a fresh one would: no current row, scrolled to
  // its top.
  QListView* list = ui->DevListBox;
  devRows_->Show(edits_.table);
  list->setCurrentIndex(QModelIndex());
  list->scrollToTop();

  ui->DelLostBtn->setEnabled(edits_.table.HasInactive());

  std::vector<zav::ReplacementPair> pairs(n > 0 ? zav::kMaxReplacementPairs : 0);
  const int pairCount = n > 0 ? edits_.table.ReplacementPairs(pairs.data()) : 0;
  QComboBox* box = ui->ReplCb;
  bool samePairs = box->count() == pairCount;
  for (int i = 0; samePairs && i < pairCount; ++i)
    samePairs = box->itemData(i).toUInt() == pairs[i] &&
                box->itemText(i) == Text(edits_.table.PairLabel(pairs[i]));
  if (!samePairs) {
    box->clear();
    for (int i = 0; i < pairCount; ++i)
      box->addItem(Text(edits_.table.PairLabel(pairs[i])),
                   QVariant(static_cast<unsigned>(pairs[i])));
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
  if (item < 0 || !devSet_.HasSelected()) return;
  core_->Replace(static_cast<zav::ReplacementPair>(ui->ReplCb->itemData(item).toUInt()));
}

void TMainWin::UpgrBtnClick() {
  ::UpgrBtnClick(this, devSet_.HasSelected(),
                 [this](std::FILE* file) { core_->UploadFirmware(file); });
}
