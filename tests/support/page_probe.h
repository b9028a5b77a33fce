// The controls of the configuration pages, found by their object names in the page control
// "CtrlTypeSet", for tests and benchmarks that act on them as a user would.
#pragma once

#include <array>

#include "ui/page_row.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;
class QWidget;

struct PageProbe {
  // pages is the page control; a control that is missing stops the program.
  explicit PageProbe(QWidget& pages);

  QWidget* TabSheet1;
  QWidget* DoorSheet;
  QWidget* LiftSheet;

  // The rows by field index, as the configuration numbers them; each row's model is its
  // selector's.
  std::array<PageRow, 8> cOutRows{};
  std::array<PageRow, 8> cInRows{};
  std::array<PageRow, 8> dOutRows{};
  std::array<PageRow, 8> dInRows{};
  std::array<PageRow, 4> dRdRows{};
  std::array<PageRow, 8> lOutSetRows{};
  std::array<PageRow, 8> lInRows{};  // rows 0 to 2 stay empty
  std::array<PageRow, 4> lRdRows{};

  // "Kontroler".
  QPushButton* WrCCfgBtn;

  // "Przejścia".
  QTabBar* DoorTc;
  QLabel* DoorNameLb;
  QLineEdit* DoorNameEd;
  QLabel* RdOutLb;
  QGroupBox* DTstGrpBox;
  QLabel* TypeLb;
  QComboBox* TypeCb;
  QLabel* RygTimLb;
  QLineEdit* RygTimEd;
  QLabel* RygTimsLb;
  QLabel* OpenTimLb;
  QLineEdit* OpenTimEd;
  QLabel* OpenTimsLb;
  QCheckBox* KlamkaCb;
  QCheckBox* FullTimCb;
  QComboBox* Sluza1Sel;
  QComboBox* Sluza2Sel;
  QPushButton* WrDCfgBtn;
  QPushButton* HelpDoorBtn;
  QPushButton* RapCfgBtn;
  QPushButton* KopiaBtn;
  QPushButton* PrzywrocBtn;

  // "Winda".
  QLabel* LiftNameLb;
  QLineEdit* LiftNameEd;
  QGroupBox* LTstGrpBox;
  QLabel* LiftTimLb;
  QLineEdit* LiftTimEd;
  QLabel* LiftTimsLb;
  QPushButton* WrLCfgBtn;
  QPushButton* KopiaLBtn;
  QPushButton* PrzywrocLBtn;
};
