#include "ui/report_action.h"

#include <QFileDialog>
#include <QFileInfo>

#include "config/bus_device_table.h"
#include "config/cfg_report.h"
#include "config/cp1250.h"
#include "config/passage_config.h"
#include "link/udpdev.h"
#include "link/wire.h"
#include "ui/lokdlg.h"

namespace {

QString RealSaveDialog(QWidget* parent, const QString& suggestedName) {
  QFileDialog dialog(parent);
  dialog.setObjectName("SaveRapDlg");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(QStringLiteral("Konfiguracja kontrolera (*.txt)"));
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  // An existing report is replaced without a question, as installers expect.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.setDirectory(QDir::currentPath());
  dialog.selectFile(suggestedName);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

}  // namespace

ReportUi& ReportUiServices() {
  static ReportUi services{RealSaveDialog, [] { return QDate::currentDate(); },
                           [] { return QLocale::system(); }};
  return services;
}

QChar FileDateSeparator(const QLocale& locale) {
  // The short date format spells the separator between its fields, e.g. "dd.MM.yyyy".
  const QString format = locale.dateFormat(QLocale::ShortFormat);
  QChar sep('-');
  bool inQuote = false;
  bool seenField = false;
  for (QChar ch : format) {
    if (ch == '\'') {
      inQuote = !inQuote;
      continue;
    }
    if (inQuote) continue;
    if (ch.isLetter()) {
      seenField = true;
    } else if (seenField && !ch.isSpace()) {
      sep = ch;
      break;
    }
  }
  // The name must stay one file in the chosen folder.
  if (sep == '/' || sep == '\\' || sep == ':' || sep.isNull() || !sep.isPrint()) sep = '-';
  return sep;
}

QString SuggestedReportName(const QDate& date, const QLocale& locale, quint32 controllerId) {
  const QChar sep = FileDateSeparator(locale);
  return QStringLiteral("%1%2%3%2%4 %5")
      .arg(date.year(), 4, 10, QChar('0'))
      .arg(sep)
      .arg(date.month(), 2, 10, QChar('0'))
      .arg(date.day(), 2, 10, QChar('0'))
      .arg(QString::fromStdString(zav::DevName(controllerId)));
}

QString WithDefaultSuffix(const QString& path) {
  if (path.isEmpty()) return path;
  // With a dot as the regional date separator the suggested name's last dot stands inside the
  // date ("2021.05.07 K105_00066"); what follows it holds a blank and is no extension.
  const QString suffix = QFileInfo(path).suffix();
  if (!suffix.isEmpty() && !suffix.contains(QChar(' '))) return path;
  return path + QStringLiteral(".txt");
}

void RapCfgBtnClick(QWidget* parent, TLokalizDlg& lokDlg, const zav::BusDeviceTable& table,
                    const zav::PassageConfig& config, const zav::UdpDev* selected) {
  if (selected == nullptr) return;
  const zav::DeviceId controller = selected->id;
  ReportUi& ui = ReportUiServices();

  const QString suggested = SuggestedReportName(ui.today(), ui.locale(), controller);
  if (lokDlg.exec() != QDialog::Accepted) return;
  const QString path = WithDefaultSuffix(ui.saveFileName(parent, suggested));
  if (path.isEmpty()) return;

  const std::string location = zav::Utf8ToCp1250(lokDlg.LocationText().toStdString());
  const QDate date = ui.today();
  const std::string bytes = zav::WriteCfgReport(table, config, controller, location,
                                                {date.year(), date.month(), date.day()});
  zav::SaveReportFile(QFile::encodeName(path).toStdString(), bytes);
}
