// Page "Kontroler" (TabSheet1): the controller's own outputs and inputs.
#pragma once

#include <array>
#include <memory>

#include "ui/config_page.h"

namespace Ui {
class TControllerPage;
}
namespace zav {
class PassageConfig;
}

class TControllerPage : public TConfigPage {
  Q_OBJECT
 public:
  TControllerPage(const zav::BusDeviceTable& table, zav::PassageConfig& doors,
                  FreePointLists& freePoints, QWidget* parent);
  ~TControllerPage() override;

  void Fill() override { FillControllerPage(); }
  void FillControllerPage();
  // Shows the output rows of the controller's airlocks: the last row is the eighth airlock
  // when there are eight, else the evacuation output.
  void ShowAirlocks(int airlocks);
  // A lift controller has no controller block: its "Zapisz" would overwrite the lift record.
  void SetWritable(bool writable);

 private:
  // What the user does on the page; row is the field index of the control's row.
  void COutSelChange(int row);
  void COutCbClick(int row);
  void CInSelChange(int row);
  void CInCbClick(int row);

  std::unique_ptr<Ui::TControllerPage> ui;
  zav::PassageConfig& doors_;
  std::array<PageRow, 8> outRows_{};
  std::array<PageRow, 8> inRows_{};
};
