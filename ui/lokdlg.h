// The location dialog of the configuration report: asks where the controller is installed.
// Created once at start; the text typed last stays for the next report of the same run.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TLokalizDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kMaxLocation = 80;

  explicit TLokalizDlg(QWidget* parent = nullptr);

  QString LocationText() const;

  QLabel* CtrLocLbl = nullptr;
  QLineEdit* LokEdit = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
};
