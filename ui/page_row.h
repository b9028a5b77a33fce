// One row of a configuration page: caption, point selector and (where the row has one) check
// box, as the page's form lays them out, with the selector's item model.
#pragma once

#include <QString>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QLabel;
class QWidget;
class IoSelectorModel;
class FreePointLists;

namespace zav {
class BusDeviceTable;
}

struct PageRow {
  QLabel* lb = nullptr;
  QComboBox* sel = nullptr;
  QCheckBox* cb = nullptr;
  IoSelectorModel* model = nullptr;
};

// The row of page's form whose controls are named name + "Lb", "Sel" and "Cb" (the check box
// may be missing), its selector given a model of kind (a zav::PointKind value) and named.
PageRow MakeRow(QWidget* page, const zav::BusDeviceTable& table, const QString& name, int kind);
// Gives the row's selector and check box the names a screen reader announces, from the
// caption of the group the row sits in and the row's present caption.
void NameRow(PageRow& row);
// Refills the row's selector with the choice list of current and shows item 0; an output or
// input row's check box follows the binding.
void FillRow(PageRow& row, FreePointLists& freePoints, const zav::BusDeviceTable& table,
             std::uint16_t current, int filter, std::uint16_t sameAs = 0xFFFF);
