// "Kopia…" and "Przywróć…" of the pages: the files are chosen and checked here, the restore's
// write and read-back run in the core.
#include "ui/backup_action.h"
#include "ui/wmain.h"

void TMainWin::KopiaBtnClick() {
  const QString error = SaveBackup(this, *core_->State());
  if (!error.isEmpty()) ShowError(error);
}

void TMainWin::PrzywrocBtnClick() {
  QString error;
  const std::optional<zav::core::LoadedConfig> restore =
      ChooseRestore(this, *core_->State(), error);
  if (!error.isEmpty()) ShowError(error);
  if (restore) core_->Restore(*restore);
}

void TMainWin::ShowRestoreResult(const zav::core::CoreEvent& ev) {
  const QString text = RestoreResultText(ev);
  if (text.isEmpty()) return;
  // A read-back that differs is an error; one that matches is told in the same single box, so
  // a poll error meanwhile waits for it instead of opening over it.
  if (!ev.differences.empty())
    ShowError(text);
  else
    ShowBox(text, QStringLiteral("Przywróć"));
}
