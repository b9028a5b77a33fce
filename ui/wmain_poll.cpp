// The once-a-second poll: the core runs it (late discovery replies, the selected controller's
// state and bus device table, the keep-alives); a tick still waiting or running covers the next.
#include "ui/wmain.h"

void TMainWin::UDPTimerTimer() {
  core_->Tick();
}
