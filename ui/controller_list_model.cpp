#include "ui/controller_list_model.h"

namespace {
QString LineOf(const zav::core::ControllerList& set, int row) {
  return QString::fromStdString(set.devs[static_cast<std::size_t>(row)].ListLine());
}
}  // namespace

void ControllerListModel::Show(const zav::core::ControllerList& set) {
  const int n = std::clamp(set.count, 0, static_cast<int>(set.devs.size()));
  Update(n, [&](int row, bool) { return std::optional<QString>(LineOf(set, row)); });
}

void ControllerListModel::ShowRow(const zav::core::ControllerList& set, int row) {
  if (row < 0 || row >= rowCount() || row >= set.count) return;
  Update(rowCount(), [&](int r, bool) {
    return r == row ? std::optional<QString>(LineOf(set, r)) : std::nullopt;
  });
}
