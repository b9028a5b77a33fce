#include "ui/backup_action.h"

#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include "config/backup_file.h"
#include "config/config_diff.h"
#include "config/config_fields.h"
#include "config/restore_check.h"
#include "ui/config_pages.h"

namespace {

const QString kFilter = QStringLiteral("Kopia konfiguracji (*.zavcfg)");

QString Text(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

QString RealSaveDialog(QWidget* parent, const QString& suggested) {
  QFileDialog dialog(parent, QStringLiteral("Zapisz kopię konfiguracji"), suggested, kFilter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("zavcfg"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

QString RealOpenDialog(QWidget* parent) {
  QFileDialog dialog(parent, QStringLiteral("Przywróć konfigurację z kopii"), QString(), kFilter);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

bool RealConfirm(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Przywróć"), text,
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

// A complete read of the selected controller, or the reason there is none.
const zav::UdpDev* Loaded(const zav::core::CoreState& state, QString& error) {
  const zav::UdpDev* dev = state.set.Selected();
  const zav::core::LoadedConfig& c = state.config;
  const bool complete = c.table.controllerKind == zav::kLiftKind
                            ? c.lift.complete && c.lift.loadedFrom == (dev ? dev->id : 0)
                            : c.doors.complete && c.doors.loadedFrom == (dev ? dev->id : 0);
  if (dev == nullptr || c.table.passageCount == 0 || !complete) {
    error = QString::fromUtf8(kIncompleteText);
    return nullptr;
  }
  return dev;
}

}  // namespace

BackupUi& BackupUiServices() {
  static BackupUi services{RealSaveDialog, RealOpenDialog, RealConfirm, [] {
                             return QDateTime::currentDateTime().toString(Qt::ISODate);
                           }};
  return services;
}

QString SaveBackup(QWidget* parent, const zav::core::CoreState& state) {
  QString error;
  const zav::UdpDev* dev = Loaded(state, error);
  if (dev == nullptr) return error;
  BackupUi& ui = BackupUiServices();
  const QString suggested = Text(zav::DevName(dev->id)) + QStringLiteral(".zavcfg");
  const QString path = ui.saveFileName(parent, suggested);
  if (path.isEmpty()) return {};
  try {
    const zav::core::LoadedConfig& c = state.config;
    const zav::Backup b = zav::BackupFromModel(c.table, c.doors, c.lift, dev->id, dev->ip,
                                               dev->mode & 0x03, dev->ModeName(), "1.4.5",
                                               ui.now().toStdString());
    zav::WriteBackupFile(QFile::encodeName(path).toStdString(), b);
  } catch (const std::exception& e) {
    return QStringLiteral("Kopia konfiguracji nie została zapisana:\n") +
           QString::fromLocal8Bit(e.what());
  }
  return {};
}

std::optional<zav::core::LoadedConfig> ChooseRestore(QWidget* parent,
                                                    const zav::core::CoreState& state,
                                                    QString& error) {
  error.clear();
  const zav::UdpDev* dev = Loaded(state, error);
  if (dev == nullptr) return std::nullopt;
  BackupUi& ui = BackupUiServices();
  const QString path = ui.openFileName(parent);
  if (path.isEmpty()) return std::nullopt;

  zav::Backup backup;
  zav::core::LoadedConfig saved;
  try {
    backup = zav::ReadBackupFile(QFile::encodeName(path).toStdString());
    zav::DecodeBackup(backup, saved.table, saved.doors, saved.lift);
  } catch (const std::exception& e) {
    error = QStringLiteral("Nie można odczytać kopii konfiguracji:\n") +
            QString::fromLocal8Bit(e.what());
    return std::nullopt;
  }
  const zav::core::LoadedConfig& target = state.config;
  const std::vector<std::string> mismatches = zav::RestoreMismatches(
      saved.table, saved.doors, saved.lift, backup.id, target.table, dev->id);
  if (!mismatches.empty()) {
    error = QStringLiteral("Kopii %1 nie można zapisać do kontrolera %2; nic nie zostało "
                           "zapisane:")
                .arg(Text(zav::DevName(backup.id)), Text(zav::DevName(dev->id)));
    for (const std::string& m : mismatches) error += QStringLiteral("\n") + Text(m);
    return std::nullopt;
  }
  // The backup's records over the controller's own table: the same points, named as this
  // controller names them, written as a configuration read from it.
  zav::Backup onTarget = backup;
  onTarget.id = dev->id;
  onTarget.busTable = target.table.raw;
  zav::core::LoadedConfig restore;
  try {
    zav::DecodeBackup(onTarget, restore.table, restore.doors, restore.lift);
  } catch (const std::exception& e) {
    error = QStringLiteral("Nie można odczytać kopii konfiguracji:\n") +
            QString::fromLocal8Bit(e.what());
    return std::nullopt;
  }
  QString question = QStringLiteral("Zapisać do kontrolera %1 konfigurację z kopii %2?\n\n")
                         .arg(Text(zav::DevName(dev->id)), path);
  const auto changes =
      zav::DiffFields(zav::DescribeConfig(target.table, target.doors, target.lift),
                      zav::DescribeConfig(restore.table, restore.doors, restore.lift));
  if (changes.empty()) question += QStringLiteral("Kopia nie różni się od konfiguracji kontrolera.");
  else question += QStringLiteral("Zmiany:");
  for (const zav::FieldChange& ch : changes) question += QStringLiteral("\n") + Text(zav::ChangeLine(ch));
  if (!ui.confirm(parent, question)) return std::nullopt;
  return restore;
}

QString RestoreResultText(const zav::core::CoreEvent& ev) {
  if (!ev.verified) return {};
  if (ev.differences.empty())
    return QStringLiteral(
        "Konfiguracja z kopii została zapisana i odczytana ponownie: jest zgodna z kopią.");
  QString text =
      QStringLiteral("Konfiguracja odczytana po zapisie różni się od kopii:");
  for (const std::string& line : ev.differences) text += QStringLiteral("\n") + Text(line);
  return text;
}
