#include "ui/config_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "config/bus_device_table.h"
#include "config/time_text.h"
#include "ui/io_selector_model.h"

TConfigPage::TConfigPage(const zav::BusDeviceTable& table, FreePointLists& freePoints,
                         QWidget* parent)
    : QWidget(parent), table_(table), freePoints_(freePoints) {}

PageRow TConfigPage::BindRow(const QString& name, int kind, std::function<void()> chosen,
                             std::function<void()> clicked) {
  PageRow row = MakeRow(this, table_, name, kind);
  connect(row.sel, &QComboBox::currentIndexChanged, this, [this, chosen](int) {
    if (!filling_) chosen();
  });
  if (row.cb) {
    connect(row.cb, &QCheckBox::clicked, this, [this, clicked](bool) {
      if (!filling_) clicked();
    });
  }
  return row;
}

bool TConfigPage::Chosen(const PageRow& row, std::uint16_t& ref) {
  const int item = row.sel->currentIndex();
  if (item < 0) return false;
  ref = row.model->RefAt(item);
  return true;
}

void TConfigPage::ShowTime(QLineEdit* edit, int halfSeconds) {
  const QString text = QString::fromStdString(zav::TimeText(halfSeconds));
  // Setting the same text again would still relayout and repaint the edit.
  if (edit->text() != text)
    edit->setText(text);
  else
    edit->setModified(false);
}

void TConfigPage::WriteSelected(int kind, const char* wrongKindText, bool complete) {
  if (table_.passageCount == 0 || table_.controllerKind != kind) {
    emit errorRaised(QString::fromUtf8(wrongKindText));
    return;
  }
  if (!complete) {
    emit errorRaised(QString::fromUtf8(kIncompleteText));
    return;
  }
  emit writeRequested(kind);
}
