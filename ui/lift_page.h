// Page "Winda" (LiftSheet): the one lift of a lift controller.
#pragma once

#include <array>
#include <memory>

#include "ui/config_page.h"

namespace Ui {
class TLiftPage;
}
namespace zav {
class LiftConfig;
}

class TLiftPage : public TConfigPage {
  Q_OBJECT
 public:
  TLiftPage(const zav::BusDeviceTable& table, zav::LiftConfig& lift, FreePointLists& freePoints,
            QWidget* parent);
  ~TLiftPage() override;

  void NewLoad() override;
  void Fill() override { FillLiftPage(); }
  void FillLiftPage();

 private:
  // What the user does on the page; row is the field index of the control's row.
  void LOutSetSelChange(int row);
  void LInSelChange(int row);
  void LInCbClick(int row);
  void LRdSelChange(int row);
  void LiftTimEdExit();
  void LiftNameEdChange();
  void WrLCfgBtnClick();

  std::unique_ptr<Ui::TLiftPage> ui;
  zav::LiftConfig& lift_;
  std::array<PageRow, 8> setRows_{};
  std::array<PageRow, 8> inRows_{};  // rows 0 to 2 stay empty
  std::array<PageRow, 4> rdRows_{};
};
