#include "ui/page_row.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

#include "config/bus_device_table.h"
#include "config/io_ref.h"
#include "ui/free_point_lists.h"
#include "ui/io_selector_model.h"

PageRow MakeRow(QWidget* page, const zav::BusDeviceTable& table, const QString& name, int kind) {
  PageRow row;
  row.lb = page->findChild<QLabel*>(name + "Lb");
  row.sel = page->findChild<QComboBox*>(name + "Sel");
  row.cb = page->findChild<QCheckBox*>(name + "Cb");
  row.model = new IoSelectorModel(table, kind, row.sel);
  row.sel->setModel(row.model);
  NameRow(row);
  return row;
}

// A screen reader announces the group and the row's caption: several groups share captions
// ("Śluza 1:", "Tamper 1:"), and the reader rows are captioned by their number alone. The check
// box beside a selector names its own meaning and then the row.
void NameRow(PageRow& row) {
  QString caption = row.lb->text();
  if (caption.endsWith(':')) caption.chop(1);
  const auto* box = qobject_cast<const QGroupBox*>(row.sel->parentWidget());
  QString access = box ? box->title().trimmed() : QString();
  if (!access.isEmpty()) access += ' ';
  access += caption;
  row.sel->setAccessibleName(access);
  if (row.cb) {
    const QString what = row.cb->text().isEmpty() ? QStringLiteral("Wyjście") : row.cb->text();
    row.cb->setAccessibleName(what + ' ' + access);
  }
}

void FillRow(PageRow& row, FreePointLists& freePoints, const zav::BusDeviceTable& table,
             std::uint16_t current, int filter, std::uint16_t sameAs) {
  freePoints.Fill(*row.model, current, filter, sameAs);
  const auto kind = static_cast<zav::PointKind>(row.model->Kind());
  row.sel->setCurrentIndex(0);
  if (row.cb && (kind == zav::PointKind::Output || kind == zav::PointKind::Input)) {
    row.cb->setEnabled(zav::NcEnabled(table, kind, current));
    row.cb->setChecked(zav::NcChecked(kind, current));
  }
}
