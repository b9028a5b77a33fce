// The "Raport" button of the passages page: location dialog, save dialog, report file.
#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <functional>

class QWidget;
class TLokalizDlg;

namespace zav {
class BusDeviceTable;
class PassageConfig;
class UdpDev;
}  // namespace zav

// The platform services the report flow uses; tests replace them to run without real dialogs.
struct ReportUi {
  // The save dialog "SaveRapDlg": returns the chosen path, or an empty text when cancelled.
  std::function<QString(QWidget* parent, const QString& suggestedName)> saveFileName;
  // The local date, taken for the file name and again when the file is written.
  std::function<QDate()> today;
  // The user's regional settings, for the date separator of the suggested file name.
  std::function<QLocale()> locale;
};

// The services in use; start as the real save dialog, the system clock and the system locale.
ReportUi& ReportUiServices();

// The regional date separator, made safe for a file name ("/" and other path characters
// become "-").
QChar FileDateSeparator(const QLocale& locale);
// "yyyy<sep>mm<sep>dd " followed by the controller's printed name.
QString SuggestedReportName(const QDate& date, const QLocale& locale, quint32 controllerId);
// The save dialog's rule: ".txt" is appended when the chosen name has no extension. The text
// after the name's last dot counts as one only when it holds no blank.
QString WithDefaultSuffix(const QString& path);

// Handler of "Raport" for the selected controller. Stops silently when there is none, when
// the location dialog is not closed with "Zapisz" or when the save dialog is cancelled. A file
// that cannot be written raises std::runtime_error with the system's reason, for the caller to
// show in the error box; nothing is then left that looks like a saved report.
void RapCfgBtnClick(QWidget* parent, TLokalizDlg& lokDlg, const zav::BusDeviceTable& table,
                    const zav::PassageConfig& config, const zav::UdpDev* selected);
