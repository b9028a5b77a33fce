// The main window: owns the controller set, the selected controller's bus device table and
// configuration, the one-second poll, and the three areas of the screen (Ethernet panel, bus
// devices panel, configuration pages).
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "config/bus_device_table.h"
#include "config/lift_config.h"
#include "config/passage_config.h"
#include "link/endpoint.h"
#include "link/udpdevset.h"
#include "ui/pages_host.h"

class QMessageBox;
class QTimer;
class TConfigPages;
namespace Ui {
class TMainWin;
}

class TMainWin : public QWidget, public PagesHost {
  Q_OBJECT
 public:
  // Makes udp and clock the link's endpoint and clock, builds the window and runs FormCreate
  // (the first network search). Both must outlive the window.
  TMainWin(zav::UdpEndpoint& udp, zav::Clock& clock, QWidget* parent = nullptr);
  ~TMainWin() override;
  TMainWin(const TMainWin&) = delete;
  TMainWin& operator=(const TMainWin&) = delete;

  // PagesHost
  zav::UdpDevSet& DevSet() override { return devSet; }
  bool Guarded(const std::function<void()>& steps) override;
  void ShowError(const QString& text) override;
  void FillEthList() override;
  void HelpDoorBtnClick() override;
  void RapCfgBtnClick() override;

  // Start-up and shutdown.
  void FormCreate();
  void CloseSessions() noexcept;

  // Ethernet panel.
  void SearchEthBtnClick();
  void EthLstBoxClick();
  void SelectEthDev();
  void LoadConfig(zav::UdpDev& dev);
  static const char* const kBadBlockText;
  void WwwBtnClick();
  void HelpEthBtnClick();
  void HelpDevBtnClick();

  // Periodic poll.
  void UDPTimerTimer();

  // Bus devices panel.
  void FillDevList();
  void DelLostBtnClick();
  void ReplaceBtnClick();

  // Hooks to the windows that are created after this one (the help window, and the location
  // dialog of the report). Unset hooks make their buttons do nothing.
  std::function<void(int topic)> showHelpTopic;
  std::function<void()> runReport;
  // Opens a URL in the desktop's browser; tests replace it to see what would be opened.
  std::function<void(const QString& url)> openUrl;

  TConfigPages& Pages() { return *pages; }
  QTimer& Timer() { return *UDPTimer; }

  zav::UdpDevSet devSet;
  zav::BusDeviceTable table;
  zav::PassageConfig doors;
  zav::LiftConfig lift;
  bool ShowTimerErrors = true;
  int PollPhase = 0;  // 0..14: which slots get a keep-alive on the next complete tick

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void ConnectHandlers();
  void CentreOnDesktop();
  // The tick's steps without their error handling.
  void TickSteps();
  void ShowPagesAndDevices();

  std::unique_ptr<Ui::TMainWin> ui;
  TConfigPages* pages = nullptr;
  QTimer* UDPTimer = nullptr;
  bool tickRunning = false;          // no tick starts while another is suspended in an error box
  bool ethMouseDown = false;         // a mouse gesture on EthLstBox is in progress
  QMessageBox* errorBox_ = nullptr;  // made at the first error, then shown again for each
  // What the lines of DevListBox were made from (LineKey per row).
  std::array<std::uint64_t, zav::kMaxBusDevices> shownLineKeys_{};
};
