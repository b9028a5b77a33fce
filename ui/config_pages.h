// The page control "CtrlTypeSet" with the pages "Kontroler", "Przejścia" and "Winda" and the
// free-point listings their selectors share. The pages edit the configuration they are given and
// report what the user asks of the window (write, help, report, backup, an error to show) as
// the signals below; they call nothing of the window's.
#pragma once

#include <QString>
#include <QTabWidget>

#include "ui/config_page.h"
#include "ui/free_point_lists.h"

class TControllerPage;
class TPassagePage;
class TLiftPage;

namespace zav {
class BusDeviceTable;
class PassageConfig;
class LiftConfig;
}  // namespace zav

class TConfigPages : public QTabWidget {
  Q_OBJECT
 public:
  TConfigPages(zav::BusDeviceTable& table, zav::PassageConfig& doors, zav::LiftConfig& lift,
               QWidget* parent = nullptr);
  ~TConfigPages() override;

  // The selected controller's mode byte, -1 when none is selected: outside "Instalacja" the
  // test parameters are not editable. Takes effect at the next fill.
  void SetSelectedMode(int mode);
  // Which pages are visible, then fills the one in front; a caller that fills it next itself
  // (the main window's device list does) passes fill = false.
  void ShowPages(bool fill = true);
  void FillVisiblePage();  // fills the page in front from the model

 signals:
  // See TConfigPage.
  void writeRequested(int kind);
  void errorRaised(const QString& text);
  void helpRequested();
  void reportRequested();
  void backupRequested();
  void restoreRequested();

 private:
  void CtrlTypeSetChange();
  void ShowTab(QWidget* page, bool shown);

  const zav::BusDeviceTable& table_;
  FreePointLists freePoints_;
  TControllerPage* controller_;
  TPassagePage* passage_;
  TLiftPage* lift_;
  bool filling_ = false;  // the pages are being shown: a page turned meanwhile is not filled
};
