// The Ethernet panel: search, the controller list, selecting a controller, the web page and the
// help buttons.
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

#include "ui/config_pages.h"
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
  const int count = devSet.count;
  QListWidget* list = ui->EthLstBox;
  ui->WwwBtn->setEnabled(count > 0);
  if (count <= 0) {
    const QSignalBlocker block(list);
    list->clear();
    pages->setVisible(false);
    return;
  }
  {
    // Rebuilding the list is not a user's choice of row. Rows whose text stays are kept, so
    // a poll that changed one controller's mode repaints that row alone.
    const QSignalBlocker block(list);
    while (list->count() > count) delete list->takeItem(list->count() - 1);
    for (int i = 0; i < count; ++i) {
      const QString line = Text(devSet.devs[static_cast<std::size_t>(i)].ListLine());
      if (i < list->count()) {
        if (list->item(i)->text() != line) list->item(i)->setText(line);
      } else {
        list->addItem(line);
      }
    }
    // A newer choice of the user's that the core has not reached yet keeps its row.
    if (!core_->Selecting()) list->setCurrentRow(devSet.HasSelected() ? devSet.selected : 0);
  }
  if (devSet.HasSelected()) pages->FillVisiblePage();
}

void TMainWin::ShowSelectedRow(bool answered) {
  QListWidget* list = ui->EthLstBox;
  if (list->count() != devSet.count) {
    FillEthList();
    return;
  }
  const zav::UdpDev* dev = devSet.Selected();
  if (dev == nullptr) return;
  if (answered) {
    const QString line = Text(dev->ListLine());
    QListWidgetItem* item = list->item(devSet.selected);
    if (item->text() != line) item->setText(line);
  }
  if (core_->Selecting()) return;
  askedRow_ = devSet.selected;
  const QSignalBlocker block(list);
  if (list->currentRow() != devSet.selected) list->setCurrentRow(devSet.selected);
}

void TMainWin::EthLstBoxClick() {
  SelectEthDev();
}

void TMainWin::SelectEthDev() {
  QListWidget* list = ui->EthLstBox;
  const QList<QListWidgetItem*> rows = list->selectedItems();
  if (rows.isEmpty()) return;
  const int row = list->row(rows.front());
  if (row < 0 || row >= devSet.count) return;
  askedRow_ = row;
  if (!busy_) ui->ProgressBar->setRange(0, 0);  // what an earlier read reached is not this one's
  core_->Select(row);
  UpdateBusy();
}

void TMainWin::ShowPagesAndDevices() {
  // The device list ends with the refill of the page in front.
  pages->ShowPages(false);
  FillDevList();
}

void TMainWin::WwwBtnClick() {
  const zav::UdpDev* dev = devSet.Selected();
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
