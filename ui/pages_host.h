// What the configuration pages need from the main window that owns them.
#pragma once

#include <QString>
#include <functional>

namespace zav {
class UdpDevSet;
}

class PagesHost {
 public:
  virtual ~PagesHost() = default;
  // The controller set; the pages write to devs[selected].
  virtual zav::UdpDevSet& DevSet() = 0;
  // Runs steps inside the window's guarded block: a UErr or another error is shown in the
  // error box and the rest of the steps is skipped. Returns false when an error was shown.
  virtual bool Guarded(const std::function<void()>& steps) = 0;
  virtual void ShowError(const QString& text) = 0;
  // The controller list must be redrawn (late discovery replies changed the set).
  virtual void FillEthList() = 0;
  // "Pomoc" on the door page and "Raport".
  virtual void HelpDoorBtnClick() = 0;
  virtual void RapCfgBtnClick() = 0;
};
