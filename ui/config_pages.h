// The page control "CtrlTypeSet" with the pages "Kontroler", "Przejścia" and "Winda".
#pragma once

#include <QTabWidget>

#include "ui/pages_host.h"

namespace zav {
class BusDeviceTable;
class PassageConfig;
class LiftConfig;
}  // namespace zav

class TConfigPages : public QTabWidget {
  Q_OBJECT
 public:
  TConfigPages(PagesHost& host, zav::BusDeviceTable& table, zav::PassageConfig& doors,
               zav::LiftConfig& lift, QWidget* parent = nullptr);
  ~TConfigPages() override;

  void ShowPages();         // which pages are visible, then fills the one in front
  void FillVisiblePage();   // fills the page in front from the model
  void FillControllerPage();
  void FillPassagePage();
  void FillLiftPage();
  void WrDCfgBtnClick();
  void WrLCfgBtnClick();

  bool filling = false;  // true while a page is being filled from the model
};
