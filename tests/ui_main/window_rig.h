// The main window over a scripted network, for the window tests: a fake clock, the scripted
// endpoint with its controllers, and a watcher that closes every message box as it shows.
#pragma once

#include <QApplication>
#include <QListView>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "tests/support/page_probe.h"
#include "tests/support/scripted_endpoint.h"
#include "tests/ui_main/sim_net.h"
#include "ui/config_pages.h"
#include "ui/wmain.h"

namespace zav::testing {

constexpr DeviceId Ctl(unsigned typeNumber, unsigned serial) {
  return 0x30000000u | (typeNumber << 16) | serial;
}

// Closes every modal box as soon as it shows, remembering its text and title. onBox runs while
// the box is still open, inside its nested event loop; depth shows whether boxes nested.
class BoxCloser : public QObject {
 public:
  BoxCloser() {
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_.start();
  }
  QStringList texts;
  QStringList titles;
  int depth = 0;
  int maxDepth = 0;
  std::function<void()> onBox;

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || box->property("seen").toBool()) return;
    box->setProperty("seen", true);
    texts << box->text();
    titles << box->windowTitle();
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    if (onBox) onBox();
    --depth;
    box->done(QMessageBox::Ok);
    // The window shows its errors in one box again and again: the next showing is a new box.
    box->setProperty("seen", false);
  }
  QTimer timer_;
};

struct WindowRig {
  FakeClock clock;
  ScriptedEndpoint ep{clock};
  SimNet net{ep};
  BoxCloser boxes;
  std::unique_ptr<TMainWin> win;

  // The window with its timer stopped: the tests tick by hand. show makes it the active window,
  // for tests that need keyboard focus.
  TMainWin& Start(bool show = false) {
    probe_.reset();
    win = std::make_unique<TMainWin>(ep, clock);
    win->Timer().stop();
    if (!win->Settle()) qWarning("the start-up search never settled");
    if (show) {
      win->show();
      QApplication::setActiveWindow(win.get());
      if (!QTest::qWaitForWindowActive(win.get())) qWarning("main window never became active");
    }
    return *win;
  }
  // Lets the window take every answer of the core to what was asked so far.
  void Settle() {
    if (!win->Settle()) qFatal("the controller core never settled");
  }
  template <class T>
  T* W(const char* name) {
    return win->findChild<T*>(QString::fromLatin1(name));
  }
  // The page control, as the window names it.
  TConfigPages& Pages() { return *W<TConfigPages>("CtrlTypeSet"); }
  // The pages' controls.
  PageProbe& Probe() {
    if (!probe_) probe_ = std::make_unique<PageProbe>(Pages());
    return *probe_;
  }
  QStringList Rows(const char* list) {
    QStringList rows;
    auto* l = W<QListView>(list);
    for (int i = 0; i < l->model()->rowCount(); ++i)
      rows << l->model()->index(i, 0).data().toString();
    return rows;
  }

 private:
  std::unique_ptr<PageProbe> probe_;
};

}  // namespace zav::testing
