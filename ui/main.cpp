// Program start: the endpoint and clock, the main window, then the help window and the location
// dialog, then the event loop until the main window closes.
#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTranslator>
#include <exception>
#include <memory>
#include <system_error>

#include "link/posix_udp.h"
#include "link/uerr.h"
#include "ui/app_setup.h"
#include "ui/lokdlg.h"
#include "ui/report_action.h"
#include "ui/whelp.h"
#include "ui/wmain.h"
#include "ui/wmain_endpoint.h"

namespace {

void ShowLoopError(const QString& text) {
  QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Error"), text);
}

// An error that escapes a handler outside its guarded block is shown here, and the event loop
// goes on.
class ZavApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const zav::UErr& e) {
      ShowLoopError(QString::fromStdString(zav::UErrText(e)));
    } catch (const std::exception& e) {
      ShowLoopError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
      ShowLoopError(QString());
    }
    return false;
  }
};

std::unique_ptr<zav::UdpEndpoint> OpenEndpoint() {
  try {
    return std::make_unique<zav::PosixUdpEndpoint>(zav::kPort);
  } catch (const std::system_error& e) {
    // The window still opens; the first search shows why nothing can be found.
    return std::make_unique<UnboundEndpoint>(zav::kPort, e.code());
  }
}

}  // namespace

int main(int argc, char** argv) {
  ZavApplication app(argc, argv);
  // The toolkit's own texts (file dialogs, edit menus, what a screen reader hears for the tab
  // strips' arrows) in Polish like the rest of the program, whatever the desktop's language.
  QTranslator qtTexts;
  InstallPolishQtTexts(qtTexts);
  // The save dialog would keep its folder history in the user's QtProject.conf; the tool keeps
  // nothing between runs.
  QTemporaryDir qtSettings;
  if (qtSettings.isValid()) KeepQtSettingsIn(qtSettings.path());
  try {
    zav::SystemClock clock;
    std::unique_ptr<zav::UdpEndpoint> udp = OpenEndpoint();
    TMainWin mainWin(*udp, clock);
    THelpWin helpWin(&mainWin);
    TLokalizDlg lokalizDlg(&mainWin);
    mainWin.showHelpTopic = [&helpWin](int topic) {
      helpWin.ShowTopic(topic);
      helpWin.exec();
    };
    mainWin.runReport = [&mainWin, &lokalizDlg] {
      const zav::core::LoadedConfig& edited = mainWin.Edited();
      RapCfgBtnClick(&mainWin, lokalizDlg, edited.table, edited.doors,
                     mainWin.Controllers().Selected());
    };
    mainWin.show();
    app.exec();
  } catch (const std::exception& e) {
    ShowLoopError(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    ShowLoopError(QString());
  }
  return 0;
}
