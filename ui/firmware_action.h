// The hidden "U" button of the Ethernet panel: uploads a firmware file to the selected
// controller.
#pragma once

#include <QString>
#include <cstdio>
#include <functional>

class QWidget;


// The platform services the upload uses; tests replace them to run without real dialogs.
struct FirmwareUi {
  // The open dialog "FilOpenDlg": returns the chosen path, or an empty text when cancelled.
  std::function<QString(QWidget* parent)> openFileName;
  // A plain information box with one "OK" button.
  std::function<void(QWidget* parent, const QString& text)> information;
};

// The services in use; start as the real open dialog and message box.
FirmwareUi& FirmwareUiServices();

// Handler of "U". Does nothing when no controller is selected; shows "Nie można otworzyć
// pliku." when the chosen file cannot be opened; otherwise hands the open file to upload, which
// sends its whole 528-byte blocks to the selected controller and closes it.
void UpgrBtnClick(QWidget* parent, bool controllerSelected,
                  const std::function<void(std::FILE* file)>& upload);
