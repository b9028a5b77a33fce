#include "ui/lokdlg.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

TLokalizDlg::TLokalizDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("LokalizDlg");
  setWindowTitle(QStringLiteral("Lokalizacja"));
  setModal(true);
  setFixedSize(507, 118);

  CtrLocLbl = new QLabel(QStringLiteral("Opis lokalizacji kontrolera:"), this);
  CtrLocLbl->setObjectName("CtrLocLbl");
  CtrLocLbl->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  CtrLocLbl->setGeometry(8, 24, 164, 21);

  LokEdit = new QLineEdit(this);
  LokEdit->setObjectName("LokEdit");
  LokEdit->setMaxLength(kMaxLocation);
  LokEdit->setGeometry(178, 24, 313, 21);
  CtrLocLbl->setBuddy(LokEdit);
  LokEdit->setAccessibleName(QStringLiteral("Opis lokalizacji kontrolera"));

  CancelBtn = new QPushButton(QStringLiteral("Anuluj"), this);
  CancelBtn->setObjectName("CancelBtn");
  CancelBtn->setGeometry(168, 72, 81, 25);
  // While "Anuluj" has the focus, Enter presses it, as Space does: Enter must never save a
  // report the user just chose to cancel. Elsewhere in the dialog Enter means "Zapisz".
  CancelBtn->setAutoDefault(true);

  OKBtn = new QPushButton(QStringLiteral("Zapisz"), this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setGeometry(259, 72, 81, 25);
  OKBtn->setAutoDefault(true);
  OKBtn->setDefault(true);

  setTabOrder(LokEdit, OKBtn);
  setTabOrder(OKBtn, CancelBtn);

  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

QString TLokalizDlg::LocationText() const {
  return LokEdit->text();
}

void TLokalizDlg::showEvent(QShowEvent* event) {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  QDialog::showEvent(event);
  LokEdit->setFocus(Qt::OtherFocusReason);
}
