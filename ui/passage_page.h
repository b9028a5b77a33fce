// Page "Przejścia" (DoorSheet): one passage at a time, chosen on the tab strip DoorTc.
#pragma once

#include <array>
#include <memory>

#include "ui/config_page.h"

namespace Ui {
class TPassagePage;
}
namespace zav {
class PassageConfig;
}

class TPassagePage : public TConfigPage {
  Q_OBJECT
 public:
  TPassagePage(const zav::BusDeviceTable& table, zav::PassageConfig& doors,
               FreePointLists& freePoints, QWidget* parent);
  ~TPassagePage() override;

  void NewLoad() override;
  void Fill() override { FillPassagePage(); }
  void FillPassagePage();
  // A tab for each passage, the first one chosen, and the airlocks the selectors offer.
  void ShowPassages(int passages, int airlocks);

 private:
  // The passage on the tab strip when it is one of the configuration's, else -1.
  int EditedPassage() const;
  // A row's choice or check box click for the edited passage; the page is filled again after
  // a choice.
  void EditRow(PageRow& row, const std::function<void(int, std::uint16_t, bool)>& set);
  void EditCheck(const std::function<void(int)>& set);
  // Takes in the time typed in edit for the passage on show.
  void TakeTime(QLineEdit* edit, void (zav::PassageConfig::*set)(int, int));
  // What the user does on the page; row is the field index of the control's row.
  void DOutSelChange(int row);
  void DOutCbClick(int row);
  void DInSelChange(int row);
  void DInCbClick(int row);
  void DRdSelChange(int row);
  void DRdCbClick(int row);
  void Sluza1SelChange();
  void KlamkaCbClick();
  void FullTimCbClick();
  void TypeCbChange();
  void RygTimEdExit();
  void OpenTimEdExit();
  void DoorNameEdChange();
  void DoorTcChange();
  void WrDCfgBtnClick();
  void SetAirlockItems(int airlocks);

  std::unique_ptr<Ui::TPassagePage> ui;
  zav::PassageConfig& doors_;
  std::array<PageRow, 8> outRows_{};
  std::array<PageRow, 8> inRows_{};
  std::array<PageRow, 4> rdRows_{};
  int shownPassage_ = -1;  // the passage whose values the page shows
};
