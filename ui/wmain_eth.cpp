// The Ethernet panel: search, the controller list, selecting a controller, the web page and the
// help buttons.
#include <QItemSelectionModel>
#include <QListView>
#include <QPushButton>

#include "ui/config_pages.h"
#include "ui/controller_list_model.h"
#include "ui/wmain.h"
#include "ui_wmain.h"

namespace {
QString Text(const std::string& utf8) {
  return QString::fromStdString(utf8);
}
}  // namespace

void TMainWin::SearchEthBtnClick() {
  core_->Search();
}

void TMainWin::FillEthList() {
  const int count = devSet_.count;
  ui->WwwBtn->setEnabled(count > 0);
  // Rebuilding the list is not a user's choice of row.
  fillingEth_ = true;
  ethRows_->Show(devSet_);
  fillingEth_ = false;
  if (count <= 0) {
    pages->setVisible(false);
    return;
  }
  // A newer choice of the user's that the core has not reached yet keeps its row.
  if (!core_->Selecting()) SetEthRow(devSet_.HasSelected() ? devSet_.selected : 0);
  if (devSet_.HasSelected()) pages->FillVisiblePage();
}

void TMainWin::SetEthRow(int row) {
  QItemSelectionModel* selection = ui->EthLstBox->selectionModel();
  const QModelIndex index = ethRows_->index(row);
  if (selection->currentIndex() == index && selection->isSelected(index)) return;
  fillingEth_ = true;
  selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  fillingEth_ = false;
}

void TMainWin::ShowSelectedRow(bool answered) {
  if (ethRows_->rowCount() != devSet_.count) {
    FillEthList();
    return;
  }
  if (!devSet_.HasSelected()) return;
  if (answered) ethRows_->ShowRow(devSet_, devSet_.selected);
  if (core_->Selecting()) return;
  askedRow_ = devSet_.selected;
  SetEthRow(devSet_.selected);
}

void TMainWin::EthLstBoxClick() {
  SelectEthDev();
}

void TMainWin::SelectEthDev() {
  const QModelIndexList rows = ui->EthLstBox->selectionModel()->selectedRows();
  if (rows.isEmpty()) return;
  const int row = rows.front().row();
  if (row < 0 || row >= devSet_.count) return;
  askedRow_ = row;
  // The worker starts at once; the window's own steps follow while it waits on the network.
  core_->Select(row);
  if (!busy_) ui->ProgressBar->setRange(0, 0);  // what an earlier read reached is not this one's
  UpdateBusy();
}

void TMainWin::ShowPagesAndDevices() {
  // The device list ends with the refill of the page in front.
  pages->ShowPages(false);
  FillDevList();
}

void TMainWin::WwwBtnClick() {
  const zav::UdpDev* dev = devSet_.Selected();
  if (dev == nullptr) return;
  const QString url = QStringLiteral("http://") + Text(dev->IpText());
  // The browser's answer is not checked: a failure shows nothing.
  if (openUrl) openUrl(url);
}

void TMainWin::HelpEthBtnClick() {
  if (showHelpTopic) showHelpTopic(0);
}

void TMainWin::HelpDevBtnClick() {
  if (showHelpTopic) showHelpTopic(1);
}
