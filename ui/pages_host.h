// What the configuration pages need from the main window that owns them.
#pragma once

#include <QString>

class PagesHost {
 public:
  virtual ~PagesHost() = default;
  // The selected controller's mode byte, -1 when no controller is selected.
  virtual int SelectedMode() const = 0;
  // "Zapisz": writes the configuration as it stands now, edits included, to the selected
  // controller (kind 1 door controller, 2 lift). The pages have checked the kind and that the
  // configuration was read whole; the host reports what the write reaches.
  virtual void WriteConfig(int kind) = 0;
  virtual void ShowError(const QString& text) = 0;
  // "Pomoc" on the door page and "Raport".
  virtual void HelpDoorBtnClick() = 0;
  virtual void RapCfgBtnClick() = 0;
};
