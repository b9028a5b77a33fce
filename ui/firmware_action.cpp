#include "ui/firmware_action.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <cstdio>


namespace {

QString RealOpenDialog(QWidget* parent) {
  QFileDialog dialog(parent);
  dialog.setObjectName("FilOpenDlg");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(
      {QStringLiteral("Upgrade ZAV (*.zfu)"), QStringLiteral("Upgrade PLQ (*.pfu)")});
  dialog.setDefaultSuffix(QStringLiteral("zfu"));
  dialog.setDirectory(QDir::currentPath());
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

void RealInformation(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Information, QString(), text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace

FirmwareUi& FirmwareUiServices() {
  static FirmwareUi services{RealOpenDialog, RealInformation};
  return services;
}

void UpgrBtnClick(QWidget* parent, bool controllerSelected,
                  const std::function<void(std::FILE* file)>& upload) {
  if (!controllerSelected) return;
  FirmwareUi& ui = FirmwareUiServices();
  const QString path = ui.openFileName(parent);
  if (path.isEmpty()) return;
  std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "rb");
  if (!file) {
    ui.information(parent, QStringLiteral("Nie można otworzyć pliku."));
    return;
  }
  upload(file);
}
