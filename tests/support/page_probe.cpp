#include "tests/support/page_probe.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>

#include "ui/io_selector_model.h"

namespace {

template <class T>
T* Find(QWidget& pages, const QString& name) {
  T* w = pages.findChild<T*>(name);
  if (!w) qFatal("page control: no %s named %s", T::staticMetaObject.className(), qPrintable(name));
  return w;
}

template <std::size_t N>
void Rows(QWidget& pages, std::array<PageRow, N>& rows, const char* prefix, std::size_t first,
          bool checkBox) {
  for (std::size_t i = first; i < N; ++i) {
    const QString name = QString::fromLatin1(prefix) + QString::number(i);
    PageRow& row = rows[i];
    row.lb = Find<QLabel>(pages, name + "Lb");
    row.sel = Find<QComboBox>(pages, name + "Sel");
    if (checkBox) row.cb = Find<QCheckBox>(pages, name + "Cb");
    row.model = qobject_cast<IoSelectorModel*>(row.sel->model());
    if (!row.model) qFatal("page control: %sSel has no point model", qPrintable(name));
  }
}

}  // namespace

#define ZAV_FIND(type, name) name(Find<type>(pages, QStringLiteral(#name)))

PageProbe::PageProbe(QWidget& pages)
    : ZAV_FIND(QWidget, TabSheet1),
      ZAV_FIND(QWidget, DoorSheet),
      ZAV_FIND(QWidget, LiftSheet),
      ZAV_FIND(QPushButton, WrCCfgBtn),
      ZAV_FIND(QTabBar, DoorTc),
      ZAV_FIND(QLabel, DoorNameLb),
      ZAV_FIND(QLineEdit, DoorNameEd),
      ZAV_FIND(QLabel, RdOutLb),
      ZAV_FIND(QGroupBox, DTstGrpBox),
      ZAV_FIND(QLabel, TypeLb),
      ZAV_FIND(QComboBox, TypeCb),
      ZAV_FIND(QLabel, RygTimLb),
      ZAV_FIND(QLineEdit, RygTimEd),
      ZAV_FIND(QLabel, RygTimsLb),
      ZAV_FIND(QLabel, OpenTimLb),
      ZAV_FIND(QLineEdit, OpenTimEd),
      ZAV_FIND(QLabel, OpenTimsLb),
      ZAV_FIND(QCheckBox, KlamkaCb),
      ZAV_FIND(QCheckBox, FullTimCb),
      ZAV_FIND(QComboBox, Sluza1Sel),
      ZAV_FIND(QComboBox, Sluza2Sel),
      ZAV_FIND(QPushButton, WrDCfgBtn),
      ZAV_FIND(QPushButton, HelpDoorBtn),
      ZAV_FIND(QPushButton, RapCfgBtn),
      ZAV_FIND(QPushButton, KopiaBtn),
      ZAV_FIND(QPushButton, PrzywrocBtn),
      ZAV_FIND(QLabel, LiftNameLb),
      ZAV_FIND(QLineEdit, LiftNameEd),
      ZAV_FIND(QGroupBox, LTstGrpBox),
      ZAV_FIND(QLabel, LiftTimLb),
      ZAV_FIND(QLineEdit, LiftTimEd),
      ZAV_FIND(QLabel, LiftTimsLb),
      ZAV_FIND(QPushButton, WrLCfgBtn),
      ZAV_FIND(QPushButton, KopiaLBtn),
      ZAV_FIND(QPushButton, PrzywrocLBtn) {
  Rows(pages, cOutRows, "COut", 0, true);
  Rows(pages, cInRows, "CIn", 0, true);
  Rows(pages, dOutRows, "Out", 0, true);
  Rows(pages, dInRows, "In", 0, true);
  Rows(pages, dRdRows, "Rd", 0, true);
  Rows(pages, lOutSetRows, "LOutSet", 0, false);
  Rows(pages, lInRows, "LIn", 3, true);
  Rows(pages, lRdRows, "LRd", 0, false);
}
