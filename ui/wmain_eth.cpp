// The Ethernet panel: search, the controller list, selecting and loading a controller, the web
// page and the help buttons.
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <stdexcept>

#include "link/uerr.h"
#include "link/wire.h"
#include "ui/config_pages.h"
#include "ui/wmain.h"
#include "ui_wmain.h"

namespace {
// Modes 2 (Serwis) and 3 (Instalacja) let the tool read and write the bus configuration.
bool ServiceMode(const zav::UdpDev& dev) {
  return (dev.mode & 0x02) != 0;
}

QString Text(const std::string& utf8) {
  return QString::fromStdString(utf8);
}
}  // namespace

void TMainWin::SearchEthBtnClick() {
  Guarded([this] {
    devSet.Search();
    FillEthList();
  });
}

void TMainWin::FillEthList() {
  const int count = devSet.count;
  const int selected = devSet.selected;
  QListWidget* list = ui->EthLstBox;
  {
    // Rebuilding the list is not a user's choice of row.
    const QSignalBlocker block(list);
    list->clear();
  }
  ui->WwwBtn->setEnabled(count > 0);
  if (count <= 0) {
    pages->setVisible(false);
    return;
  }
  {
    const QSignalBlocker block(list);
    for (int i = 0; i < count; ++i) list->addItem(Text(devSet.devs[i].ListLine()));
  }
  if (selected < 0 || selected >= count) {
    {
      const QSignalBlocker block(list);
      list->setCurrentRow(0);
    }
    SelectEthDev();
    return;
  }
  {
    const QSignalBlocker block(list);
    list->setCurrentRow(selected);
  }
  pages->FillVisiblePage();
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
  devSet.selected = row;

  Guarded([this, list, row] {
    zav::UdpDev& dev = devSet.devs[row];
    if (!dev.PollStatus()) {
      table.Clear();
      throw zav::UErr{&dev, zav::NoAnswer, 0};
    }
    if (QListWidgetItem* item = list->item(row)) item->setText(Text(dev.ListLine()));
    table.Clear();
    if (zav::IsController(dev.id)) {
      if (!ServiceMode(dev)) throw zav::UErr{&dev, zav::NotInServiceMode, 0};
      LoadConfig(dev);
    }
  });
  // Whatever the block reached, the pages and the devices panel show what the table now holds.
  ShowPagesAndDevices();
}

void TMainWin::ShowPagesAndDevices() {
  // The device list ends with the refill of the page in front.
  pages->ShowPages(false);
  FillDevList();
}

const char* const TMainWin::kBadBlockText =
    "Kontroler przysłał niepoprawny blok konfiguracji.\n"
    "Odczytana konfiguracja jest niepełna i nie zostanie zapisana.\n"
    "Wybierz kontroler ponownie, aby odczytać ją jeszcze raz.";

void TMainWin::LoadConfig(zav::UdpDev& dev) {
  // Until a whole read succeeds neither configuration may be written back: a read that stops
  // part-way leaves records of two different states.
  doors.complete = false;
  lift.complete = false;
  table.Read(dev);
  if (table.passageCount == 0) return;  // a rejected table: the pages stay hidden
  bool complete = true;
  switch (table.controllerKind) {
    case 1:
      doors.Read(dev);
      complete = doors.complete;
      break;
    case 2:
      lift.Read(dev);
      complete = lift.complete;
      break;
    default:
      break;
  }
  // A block the controller answered but that is not a record of its kind (a stray or
  // duplicated reply, a damaged answer) ends the read without a link error. The records may
  // then belong to other passages, so the user is told rather than shown them as read.
  if (!complete && dev.available && (dev.mode & 2) != 0) throw std::runtime_error(kBadBlockText);
}

void TMainWin::WwwBtnClick() {
  Guarded([this] {
    if (devSet.count <= 0 || devSet.selected < 0 || devSet.selected >= devSet.count) return;
    const QString url = QStringLiteral("http://") + Text(devSet.devs[devSet.selected].IpText());
    // The browser's answer is not checked: a failure shows nothing.
    if (openUrl) openUrl(url);
  });
}

void TMainWin::HelpEthBtnClick() {
  Guarded([this] {
    if (showHelpTopic) showHelpTopic(0);
  });
}

void TMainWin::HelpDevBtnClick() {
  Guarded([this] {
    if (showHelpTopic) showHelpTopic(1);
  });
}
