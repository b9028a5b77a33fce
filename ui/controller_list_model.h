// The rows of the Ethernet panel's controller list: one line per controller of the set the
// core published, in the set's order.
#pragma once

#include "core/core_state.h"
#include "ui/line_list_model.h"

class ControllerListModel : public LineListModel {
  Q_OBJECT
 public:
  using LineListModel::LineListModel;
  // A poll that changed one controller's mode changes that row alone.
  void Show(const zav::core::ControllerList& set);
  // Row row shows what the controller says now (after a selection it answered).
  void ShowRow(const zav::core::ControllerList& set, int row);
};
