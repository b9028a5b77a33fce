// "Kopia…" and "Przywróć…": a backup file of the loaded controller's configuration as read,
// and the way back from one (the file chosen, checked against the controller, its differences
// shown and confirmed; the write itself runs in the core).
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "core/core_state.h"

class QWidget;

// The platform services the backup flows use; tests replace them to run without real dialogs.
struct BackupUi {
  // The save dialog: the chosen path, or an empty text when cancelled.
  std::function<QString(QWidget* parent, const QString& suggestedName)> saveFileName;
  // The open dialog: the chosen path, or an empty text when cancelled.
  std::function<QString(QWidget* parent)> openFileName;
  // A question with "Tak" and "Nie"; true for "Tak".
  std::function<bool(QWidget* parent, const QString& text)> confirm;
  // The local date and time written into the backup (ISO 8601).
  std::function<QString()> now;
};

// The services in use; start as the real dialogs and the system clock.
BackupUi& BackupUiServices();

// "Kopia…": saves the configuration state holds for the selected controller (as read, without
// the pages' unsaved edits). Returns the error box text, empty when saved or cancelled.
QString SaveBackup(QWidget* parent, const zav::core::CoreState& state);

// "Przywróć…": the configuration to write, made from the chosen backup over the selected
// controller's table, once the user confirmed its differences; nothing when cancelled or
// refused (error then holds the error box text).
std::optional<zav::core::LoadedConfig> ChooseRestore(QWidget* parent,
                                                    const zav::core::CoreState& state,
                                                    QString& error);

// The text shown when the core reports a restore read back.
QString RestoreResultText(const zav::core::CoreEvent& ev);
