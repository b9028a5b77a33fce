// The page control "CtrlTypeSet" with the pages "Kontroler", "Przejścia" and "Winda". The pages
// edit the configuration they are given and report what the user asks of the window (write,
// help, report, an error to show) as signals; they call nothing of the window's.
#pragma once

#include <QString>
#include <QTabWidget>
#include <array>
#include <cstdint>

#include "ui/config_page.h"
#include "ui/free_point_lists.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;
class IoSelectorModel;

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
  void SetSelectedMode(int mode) { selectedMode_ = mode; }

  // Which pages are visible, then fills the one in front; a caller that fills it next itself
  // (the main window's device list does) passes fill = false.
  void ShowPages(bool fill = true);
  void FillVisiblePage();  // fills the page in front from the model
  void FillControllerPage();
  void FillPassagePage();
  void FillLiftPage();
  void WrDCfgBtnClick();
  void WrLCfgBtnClick();

  bool filling = false;  // true while a page is being filled from the model

  // User actions; the row argument is the field index of the control's row.
  void COutSelChange(int row);
  void COutCbClick(int row);
  void CInSelChange(int row);
  void CInCbClick(int row);
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
  void CtrlTypeSetChange();
  void LOutSetSelChange(int row);
  void LInSelChange(int row);
  void LInCbClick(int row);
  void LRdSelChange(int row);
  void LiftTimEdExit();
  void LiftNameEdChange();

  // The passage the tab strip edits, or -1 when the strip has no tab.
  int SelectedPassage() const;

  // Pages.
  QWidget* TabSheet1 = nullptr;
  QWidget* DoorSheet = nullptr;
  QWidget* LiftSheet = nullptr;

  // Row tables.
  std::array<PageRow, 8> cOutRows{};
  std::array<PageRow, 8> cInRows{};
  std::array<PageRow, 8> dOutRows{};
  std::array<PageRow, 8> dInRows{};
  std::array<PageRow, 4> dRdRows{};
  std::array<PageRow, 8> lOutSetRows{};
  std::array<PageRow, 8> lInRows{};  // rows 0 to 2 stay empty
  std::array<PageRow, 4> lRdRows{};

  // "Kontroler".
  QPushButton* WrCCfgBtn = nullptr;

  // "Przejścia".
  QTabBar* DoorTc = nullptr;
  QLabel* DoorNameLb = nullptr;
  QLineEdit* DoorNameEd = nullptr;
  QLabel* RdOutLb = nullptr;
  QGroupBox* DTstGrpBox = nullptr;
  QLabel* TypeLb = nullptr;
  QComboBox* TypeCb = nullptr;
  QLabel* RygTimLb = nullptr;
  QLineEdit* RygTimEd = nullptr;
  QLabel* RygTimsLb = nullptr;
  QLabel* OpenTimLb = nullptr;
  QLineEdit* OpenTimEd = nullptr;
  QLabel* OpenTimsLb = nullptr;
  QCheckBox* KlamkaCb = nullptr;
  QCheckBox* FullTimCb = nullptr;
  QComboBox* Sluza1Sel = nullptr;
  QComboBox* Sluza2Sel = nullptr;
  QPushButton* WrDCfgBtn = nullptr;
  QPushButton* HelpDoorBtn = nullptr;
  QPushButton* RapCfgBtn = nullptr;
  QPushButton* KopiaBtn = nullptr;
  QPushButton* PrzywrocBtn = nullptr;

  // "Winda".
  QLabel* LiftNameLb = nullptr;
  QLineEdit* LiftNameEd = nullptr;
  QGroupBox* LTstGrpBox = nullptr;
  QLabel* LiftTimLb = nullptr;
  QLineEdit* LiftTimEd = nullptr;
  QLabel* LiftTimsLb = nullptr;
  QPushButton* WrLCfgBtn = nullptr;
  QPushButton* KopiaLBtn = nullptr;
  QPushButton* PrzywrocLBtn = nullptr;

 signals:
  // "Zapisz" with a configuration of the right kind, read whole: the window writes the
  // configuration as it stands now, edits included (kind 1 door controller, 2 lift).
  void writeRequested(int kind);
  // A text for the window's error box.
  void errorRaised(const QString& text);
  // "Pomoc" on the passage page and "Raport".
  void helpRequested();
  void reportRequested();
  // "Kopia…" and "Przywróć…" (passage and lift pages).
  void backupRequested();
  void restoreRequested();

 private:
  // "Kopia…" and "Przywróć…": a button of the page's button column.
  static QPushButton* NewBackupButton(const char* name, const char* caption, QWidget* page);
  // The write both "Zapisz" buttons share: refuses a configuration of another kind or one that
  // was not read whole, then asks the window for the write.
  void WriteSelected(int kind, const char* wrongKindText, bool complete);
  void BuildControllerPage();
  void BuildPassagePage();
  void BuildLiftPage();
  void SetAirlockItems(int airlocks);
  void ShowTab(QWidget* page, bool shown);
  // A row in a grid: caption at column col, selector at col + 1, check box at col + 2 when
  // cbText is not null. kind is a zav::PointKind value.
  PageRow MakeRow(QWidget* parent, class QGridLayout* grid, int gridRow, int col,
                  const QString& name, const QString& caption, int kind, const char* cbText,
                  const QString& group);
  // Gives the row's selector and check box the names a screen reader announces, from the
  // group's caption and the row's present caption.
  static void NameRow(PageRow& row, const QString& group);
  // Refills a row's selector with the choice list of current and shows item 0.
  void FillRow(PageRow& row, std::uint16_t current, int filter, std::uint16_t sameAs = 0xFFFF);
  // Shows a time as read from the controller, as not typed by the user.
  static void ShowTime(QLineEdit* edit, int halfSeconds);
  bool InstallationMode() const;
  // The selected passage when it is one of the configuration's, else -1.
  int EditedPassage() const;

  int selectedMode_ = -1;
  zav::BusDeviceTable& table_;
  zav::PassageConfig& doors_;
  zav::LiftConfig& lift_;
  int shownPassage_ = -1;  // the passage whose values the strip shows
  FreePointLists freePoints_;
};
