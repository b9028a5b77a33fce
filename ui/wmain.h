// The main window: the three areas of the screen (Ethernet panel, bus devices panel,
// configuration pages) over the controller-session core. The window asks the core for every
// operation that waits on the network and shows what comes back; it never waits itself. It
// keeps the last controller list the core published and a working copy of the selected
// controller's table and configuration, which the pages edit.
#pragma once

#include <QStringList>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>

#include "core/controller_core.h"
#include "core/core_state.h"
#include "link/endpoint.h"

class QMessageBox;
class QTimer;
class TConfigPages;
class ControllerListModel;
class DeviceListModel;
namespace Ui {
class TMainWin;
}

class TMainWin : public QWidget {
  Q_OBJECT
 public:
  // Starts the core over udp and clock, builds the window and asks for the first network
  // search. Both must outlive the window.
  TMainWin(zav::UdpEndpoint& udp, zav::Clock& clock, QWidget* parent = nullptr);
  ~TMainWin() override;
  TMainWin(const TMainWin&) = delete;
  TMainWin& operator=(const TMainWin&) = delete;

  // What the pages ask for.
  // "Zapisz": writes the configuration as it stands now, edits included, to the selected
  // controller (kind 1 door controller, 2 lift); the window reports what the write reaches.
  void WriteConfig(int kind);
  void ShowError(const QString& text);
  void HelpDoorBtnClick();
  void RapCfgBtnClick();

  // Start-up and shutdown.
  void FormCreate();
  // Ends the core: what is queued is dropped, then every session is closed once.
  void CloseSessions() noexcept;

  // Ethernet panel.
  void SearchEthBtnClick();
  void EthLstBoxClick();
  void SelectEthDev();
  void FillEthList();
  void WwwBtnClick();
  void HelpEthBtnClick();
  void HelpDevBtnClick();

  // Periodic poll: asks the core for a tick.
  void UDPTimerTimer();

  // Bus devices panel.
  void FillDevList();
  void DelLostBtnClick();
  void ReplaceBtnClick();

  // The hidden firmware upload: the file chosen here, the blocks sent by the core.
  void UpgrBtnClick();

  // "Kopia…" and "Przywróć…".
  void KopiaBtnClick();
  void PrzywrocBtnClick();

  // Hooks to the windows that are created after this one (the help window, and the location
  // dialog of the report). Unset hooks make their buttons do nothing.
  std::function<void(int topic)> showHelpTopic;
  std::function<void()> runReport;
  // Opens a URL in the desktop's browser; tests replace it to see what would be opened.
  std::function<void(const QString& url)> openUrl;

  QTimer& Timer() { return *UDPTimer; }
  zav::core::ControllerCore& Core() { return *core_; }
  // Handles the core's events until it has nothing queued, running or to report and (with
  // boxesClosed) no error box is open or waiting, or until timeoutMs passed. False on the
  // time-out. For tests and benchmarks: the window itself never waits.
  bool Settle(int timeoutMs = 10000, bool boxesClosed = true);

  // The selected controller's table and configuration as the pages show them, the user's
  // edits included (what "Zapisz" would write).
  const zav::core::LoadedConfig& Edited() const { return edits_; }
  // The controller set as the Ethernet panel shows it.
  const zav::core::ControllerList& Controllers() const { return devSet_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The selected controller's mode byte, -1 when none is selected.
  int SelectedMode() const;
  void BuildControls();
  void ConnectHandlers();
  void CentreOnDesktop();
  // Takes the core's events on the window's thread.
  void TakeCoreEvents();
  void Apply(const zav::core::CoreEvent& ev);
  void ShowProgress(const zav::core::CoreEvent& ev);
  // The working copy becomes the core's table and configuration.
  void AdoptConfig(const zav::core::LoadedConfig& config);
  // Only the table is new: the edits stay, marked against it.
  void AdoptTable(const zav::BusDeviceTable& newTable);
  void ShowPagesAndDevices();
  // After a selection: the list marks the selected row and, when it answered, shows its line.
  void ShowSelectedRow(bool answered);
  // The pages and the device panel's buttons wait while a selection is under way.
  void UpdateBusy();
  void BusyDelayPassed();
  // Shows a box: an error, or with noticeTitle an information box of that title. One box is
  // on screen at a time; see ShowError.
  void ShowBox(const QString& text, const QString& noticeTitle = QString());
  void ShowNextError();
  void ShowRestoreResult(const zav::core::CoreEvent& ev);

  std::unique_ptr<Ui::TMainWin> ui;
  // The controller set as the core last published it.
  zav::core::ControllerList devSet_;
  // The selected controller's table and configuration, the user's edits included.
  zav::core::LoadedConfig edits_;
  std::unique_ptr<zav::core::ControllerCore> core_;
  TConfigPages* pages = nullptr;
  QTimer* UDPTimer = nullptr;
  QTimer* busyDelay_ = nullptr;             // a selection shows as busy only when it takes a while
  bool busy_ = false;                       // the pages are greyed for a selection under way
  std::atomic<bool> eventsPosted_{false};   // a TakeCoreEvents call is on its way
  bool ethMouseDown = false;                // a mouse gesture on EthLstBox is in progress
  int askedRow_ = -1;                       // the row the user chose last
  QMessageBox* errorBox_ = nullptr;         // made at the first error, then shown again for each
  struct PendingBox {
    QString text;
    QString noticeTitle;  // empty for an error
  };
  QList<PendingBox> pendingBoxes_;          // boxes that came while one was open
  QString shownError_;                      // the text of the box on screen
  ControllerListModel* ethRows_ = nullptr;  // the rows of EthLstBox
  DeviceListModel* devRows_ = nullptr;      // the rows of DevListBox
  bool fillingEth_ = false;  // EthLstBox's current row is being set by the window, not the user
  // The row EthLstBox shows as current and selected, without it counting as the user's choice.
  void SetEthRow(int row);
};
