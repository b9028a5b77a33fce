// The once-a-second poll: late discovery replies, the selected controller's state and bus
// device table, and the keep-alives of every session the tool holds.
#include <exception>

#include "link/uerr.h"
#include "link/wire.h"
#include "ui/config_pages.h"
#include "ui/wmain.h"

namespace {
constexpr int kKeepAliveTicks = 15;

// Clears a flag when the scope ends, also when an error leaves it.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};
}  // namespace

void TMainWin::UDPTimerTimer() {
  // Ticks keep firing inside the nested loop of an error box. A tick that is still waiting in
  // such a box lets no other tick start, so a fault that repeats every second opens one box at
  // a time instead of a pile of nested ones.
  if (tickRunning) return;
  const FlagScope running(tickRunning);
  try {
    TickSteps();
  } catch (const zav::UErr& e) {
    ShowError(QString::fromStdString(zav::UErrText(e)));
  } catch (const std::exception& e) {
    // A socket that keeps failing gives one box until a tick gets through again.
    if (ShowTimerErrors) {
      ShowTimerErrors = false;
      ShowError(QString::fromLocal8Bit(e.what()));
    }
  } catch (...) {
    if (ShowTimerErrors) {
      ShowTimerErrors = false;
      ShowError(QStringLiteral("Nieznany błąd programu."));
    }
  }
}

void TMainWin::TickSteps() {
  if (devSet.Collect(0)) FillEthList();
  if (devSet.count <= 0) return;

  const int sel = devSet.selected;
  if (sel >= 0 && sel < devSet.count) {
    zav::UdpDev& dev = devSet.devs[sel];
    const bool answered = dev.PollStatus();
    if (dev.changed) FillEthList();
    if (answered && zav::IsController(dev.id) && table.Refresh(dev)) {
      if (table.passageCount == 0) {
        // The controller sent a table the model rejects: read everything again.
        LoadConfig(dev);
        ShowPagesAndDevices();
      } else {
        // Same configuration in memory, edits included, marked against the new table.
        if (table.controllerKind == 1) doors.MarkTaken();
        if (table.controllerKind == 2) lift.MarkTaken();
        FillDevList();
      }
    }
  }

  const int phase = PollPhase;
  PollPhase = (phase + 1) % kKeepAliveTicks;
  for (int i = phase; i < devSet.count; i += kKeepAliveTicks) devSet.devs[i].KeepAlive();

  ShowTimerErrors = true;
}
