// Construction, start-up, the core's events, the error box and shutdown.
#include "ui/wmain.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QListView>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "core/controller_ops.h"
#include "ui/config_pages.h"
#include "ui/controller_list_model.h"
#include "ui/device_list_model.h"
#include "ui_wmain.h"

namespace {
constexpr int kPollIntervalMs = 1000;
// A selection that ends sooner than this never greys the pages: on a prompt network the
// picture changes once, not twice.
constexpr int kBusyDelayMs = 150;

QMessageBox* NewErrorBox(QWidget* parent) {
  auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Error"), QString(),
                              QMessageBox::Ok, parent);
  box->setObjectName(QStringLiteral("ErrorBox"));
  box->setWindowModality(Qt::WindowModal);
  return box;
}
}  // namespace

TMainWin::TMainWin(zav::UdpEndpoint& udp, zav::Clock& clock, QWidget* parent)
    : QWidget(parent),
      ui(std::make_unique<Ui::TMainWin>()),
      core_(std::make_unique<zav::core::ControllerCore>(udp, clock)) {
  UDPTimer = new QTimer(this);
  UDPTimer->setObjectName("UDPTimer");
  UDPTimer->setInterval(kPollIntervalMs);
  busyDelay_ = new QTimer(this);
  busyDelay_->setSingleShot(true);
  busyDelay_->setInterval(kBusyDelayMs);
  BuildControls();
  openUrl = [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); };
  // The worker only flags that events wait; the window takes them on its own thread.
  core_->SetWake([this] {
    if (eventsPosted_.exchange(true)) return;
    QMetaObject::invokeMethod(
        this, [this] { TakeCoreEvents(); }, Qt::QueuedConnection);
  });
  ConnectHandlers();
  setWindowTitle(QStringLiteral("ZavConfig 1.4.5"));
  CentreOnDesktop();
  UDPTimer->start();
  FormCreate();
}

TMainWin::~TMainWin() {
  UDPTimer->stop();
  CloseSessions();
  // The pages refer to the model members, which go before QWidget deletes its children.
  delete pages;
  pages = nullptr;
}

void TMainWin::BuildControls() {
  ui->setupUi(this);
  setObjectName(QStringLiteral("MainWin"));
  setFixedSize(1039, 662);
  setFont(QFont(QStringLiteral("Arial"), 8));
  ui->UpgrBtn->setVisible(false);
  ui->ProgressBar->setVisible(false);
  ui->DelLostBtn->setEnabled(false);
  for (QWidget* w : {static_cast<QWidget*>(ui->ReplCb), static_cast<QWidget*>(ui->ReplOldLb),
                     static_cast<QWidget*>(ui->ReplNewLb), static_cast<QWidget*>(ui->ReplaceBtn)})
    w->setEnabled(false);
  ui->SelDevBox->setTitle(QString());
  ethRows_ = new ControllerListModel(this);
  devRows_ = new DeviceListModel(this);
  ui->EthLstBox->setModel(ethRows_);
  ui->DevListBox->setModel(devRows_);
  ui->EthLstBox->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ui->DevListBox->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ui->EthLstBox->setSelectionMode(QAbstractItemView::SingleSelection);
  ui->DevListBox->setSelectionMode(QAbstractItemView::NoSelection);
  // Display only, but reachable by Tab so that its lines can be read out and scrolled.
  ui->DevListBox->setFocusPolicy(Qt::TabFocus);

  pages = new TConfigPages(edits_.table, edits_.doors, edits_.lift, ui->PagesPlace);
  pages->setObjectName(QStringLiteral("CtrlTypeSet"));
  pages->setGeometry(0, 0, ui->PagesPlace->width(), ui->PagesPlace->height());
}

void TMainWin::ConnectHandlers() {
  connect(UDPTimer, &QTimer::timeout, this, &TMainWin::UDPTimerTimer);
  connect(busyDelay_, &QTimer::timeout, this, &TMainWin::BusyDelayPassed);
  connect(ui->SearchEthBtn, &QPushButton::clicked, this, &TMainWin::SearchEthBtnClick);
  connect(ui->WwwBtn, &QPushButton::clicked, this, &TMainWin::WwwBtnClick);
  connect(ui->HelpEthBtn, &QPushButton::clicked, this, &TMainWin::HelpEthBtnClick);
  connect(ui->HelpDevBtn, &QPushButton::clicked, this, &TMainWin::HelpDevBtnClick);
  connect(ui->DelLostBtn, &QPushButton::clicked, this, &TMainWin::DelLostBtnClick);
  connect(ui->ReplaceBtn, &QPushButton::clicked, this, &TMainWin::ReplaceBtnClick);
  connect(ui->UpgrBtn, &QPushButton::clicked, this, &TMainWin::UpgrBtnClick);
  connect(pages, &TConfigPages::writeRequested, this, &TMainWin::WriteConfig);
  connect(pages, &TConfigPages::errorRaised, this, &TMainWin::ShowError);
  connect(pages, &TConfigPages::helpRequested, this, &TMainWin::HelpDoorBtnClick);
  connect(pages, &TConfigPages::reportRequested, this, &TMainWin::RapCfgBtnClick);
  connect(pages, &TConfigPages::backupRequested, this, &TMainWin::KopiaBtnClick);
  connect(pages, &TConfigPages::restoreRequested, this, &TMainWin::PrzywrocBtnClick);

  // A click with the primary button selects (also on the row already selected), and so does a
  // change of row by the arrow keys, Home, End, Page Up and Page Down. A mouse press also
  // moves the current row, so row changes during a mouse gesture are left to the click that
  // ends it.
  ui->EthLstBox->viewport()->installEventFilter(this);
  ui->EthLstBox->installEventFilter(this);
  connect(ui->EthLstBox, &QListView::clicked, this, [this] { EthLstBoxClick(); });
  connect(ui->EthLstBox->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (!fillingEth_ && !ethMouseDown && current.isValid()) EthLstBoxClick();
          });
}

bool TMainWin::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui->EthLstBox) {
    if (event->type() == QEvent::KeyPress) {
      // Enter would load the row again and throw away the pages' unsaved edits; the list's
      // type-ahead would take Space to the next row (every row begins with a blank).
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) return true;
      if (!static_cast<QKeyEvent*>(event)->text().trimmed().isEmpty()) return true;
    }
  } else if (watched == ui->EthLstBox->viewport()) {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        // Only the primary button chooses a controller.
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return true;
        ethMouseDown = true;
        break;
      case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return true;
        // After the list has handled the release: a gesture that ended on another row than it
        // started on emits no click, yet the row has changed; select it all the same.
        QTimer::singleShot(0, this, [this] {
          ethMouseDown = false;
          const int row = ui->EthLstBox->currentIndex().row();
          if (row >= 0 && row != askedRow_) EthLstBoxClick();
        });
        break;
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TMainWin::CentreOnDesktop() {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

void TMainWin::FormCreate() {
  // Until the search reports, nothing is loaded: no empty pages.
  pages->setVisible(false);
  core_->Search();
}

void TMainWin::TakeCoreEvents() {
  eventsPosted_.store(false);
  for (const zav::core::CoreEvent& ev : core_->TakeEvents()) Apply(ev);
  UpdateBusy();
}

void TMainWin::Apply(const zav::core::CoreEvent& ev) {
  using zav::core::Op;
  if (ev.kind == zav::core::CoreEvent::Kind::Progress) {
    ShowProgress(ev);
    return;
  }
  if (ev.op == Op::Firmware) ui->ProgressBar->setVisible(false);
  devSet_ = ev.state->set;
  pages->SetSelectedMode(SelectedMode());
  switch (ev.op) {
    case Op::Search:
      FillEthList();
      if (devSet_.count == 0) pages->setVisible(false);
      break;
    case Op::Select:
      ShowSelectedRow(ev.listChanged);
      AdoptConfig(ev.state->config);
      ShowPagesAndDevices();
      break;
    case Op::Tick:
      if (ev.listChanged) FillEthList();
      if (ev.reloaded) {
        AdoptConfig(ev.state->config);
        ShowPagesAndDevices();
      } else if (ev.tableChanged) {
        AdoptTable(ev.state->config.table);
        FillDevList();
      }
      break;
    case Op::WriteDoors:
    case Op::WriteLift:
      if (ev.listChanged) FillEthList();
      break;
    case Op::DeleteInactive:
    case Op::Replace:
      if (ev.listChanged) FillEthList();
      // Whatever the reload reached, the panel shows the table in memory.
      if (ev.reloaded) AdoptConfig(ev.state->config);
      if (ev.reloaded || ev.tableChanged) FillDevList();
      break;
    case Op::Restore:
      if (ev.listChanged) FillEthList();
      if (ev.reloaded) {
        AdoptConfig(ev.state->config);
        ShowPagesAndDevices();
      }
      ShowRestoreResult(ev);
      break;
    case Op::Firmware:
      break;
    case Op::Run:
      FillEthList();
      break;
  }
  if (!ev.error.empty())
    ShowError(ev.localText ? QString::fromLocal8Bit(ev.error.c_str())
                           : QString::fromStdString(ev.error));
  if (ev.refused) ShowError(QString::fromUtf8(kIncompleteText));
}

void TMainWin::ShowProgress(const zav::core::CoreEvent& ev) {
  if (ev.total <= 0) return;
  QProgressBar* bar = ui->ProgressBar;
  bar->setFormat(ev.op == zav::core::Op::Firmware
                     ? QStringLiteral("Wysyłanie oprogramowania: %v z %m bloków")
                     : QStringLiteral("Odczyt konfiguracji: %v z %m bloków"));
  bar->setRange(0, ev.total);
  bar->setValue(ev.done);
  // An upload shows from its first block; a read only once it has taken a while (busy_).
  if (ev.op == zav::core::Op::Firmware) bar->setVisible(ev.done < ev.total);
}

void TMainWin::AdoptConfig(const zav::core::LoadedConfig& config) {
  edits_ = config;
}

void TMainWin::AdoptTable(const zav::BusDeviceTable& newTable) {
  edits_.table = newTable;
  edits_.table.ClearTaken();
  if (edits_.table.controllerKind == 1) edits_.doors.MarkTaken();
  if (edits_.table.controllerKind == 2) edits_.lift.MarkTaken();
}

void TMainWin::UpdateBusy() {
  if (core_->Selecting()) {
    if (!busy_ && !busyDelay_->isActive()) busyDelay_->start();
    return;
  }
  busyDelay_->stop();
  if (!busy_) return;
  busy_ = false;
  ui->ProgressBar->setVisible(false);
  pages->setEnabled(true);
  ui->SelDevBox->setEnabled(true);
}

void TMainWin::BusyDelayPassed() {
  if (!core_->Selecting()) return;
  // The pages and the device panel belong to the controller being replaced: they wait, greyed,
  // while the bar tells how far the read has come.
  busy_ = true;
  pages->setEnabled(false);
  ui->SelDevBox->setEnabled(false);
  QProgressBar* bar = ui->ProgressBar;
  if (bar->maximum() == 0) bar->setFormat(QString());  // a busy bar until the first block
  bar->setVisible(true);
}

bool TMainWin::Settle(int timeoutMs, bool boxesClosed) {
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const bool boxOpen = errorBox_ != nullptr && errorBox_->isVisible();
    const bool boxesDone = !boxesClosed || (!boxOpen && pendingBoxes_.isEmpty());
    if (core_->Idle() && !eventsPosted_.load() && boxesDone) {
      UpdateBusy();
      return true;
    }
    if (clock.elapsed() > timeoutMs) return false;
    QThread::msleep(1);
  }
}

int TMainWin::SelectedMode() const {
  const zav::UdpDev* dev = devSet_.Selected();
  return dev ? dev->mode : -1;
}

void TMainWin::WriteConfig(int kind) {
  if (kind == 1)
    core_->WriteDoors(edits_);
  else
    core_->WriteLift(edits_);
}

void TMainWin::ShowError(const QString& text) {
  ShowBox(text);
}

void TMainWin::ShowBox(const QString& text, const QString& noticeTitle) {
  // One box at a time. A box that comes while one is open waits, and is shown once after the
  // box closes unless it says what the box said; the poll goes on meanwhile. The same box is
  // shown again for each: under X11 each new top-level window keeps memory for good.
  if (errorBox_ != nullptr && errorBox_->isVisible()) {
    const bool queued = std::any_of(pendingBoxes_.begin(), pendingBoxes_.end(),
                                    [&](const PendingBox& b) { return b.text == text; });
    if (text != shownError_ && !queued) pendingBoxes_.push_back({text, noticeTitle});
    return;
  }
  if (errorBox_ == nullptr) {
    errorBox_ = NewErrorBox(this);
    connect(errorBox_, &QMessageBox::finished, this, [this] {
      // After the box is gone, and not inside its own closing.
      QTimer::singleShot(0, this, [this] { ShowNextError(); });
    });
  }
  const bool notice = !noticeTitle.isEmpty();
  errorBox_->setIcon(notice ? QMessageBox::Information : QMessageBox::Critical);
  errorBox_->setWindowTitle(notice ? noticeTitle : QStringLiteral("Error"));
  shownError_ = text;
  errorBox_->setText(text);
  errorBox_->open();
}

void TMainWin::ShowNextError() {
  if (errorBox_ != nullptr && errorBox_->isVisible()) return;
  while (!pendingBoxes_.isEmpty()) {
    const PendingBox next = pendingBoxes_.takeFirst();
    if (next.text == shownError_) continue;
    ShowBox(next.text, next.noticeTitle);
    return;
  }
}

void TMainWin::HelpDoorBtnClick() {
  if (showHelpTopic) showHelpTopic(2);
}

void TMainWin::RapCfgBtnClick() {
  try {
    if (runReport) runReport();
  } catch (const std::exception& e) {
    ShowError(QString::fromLocal8Bit(e.what()));
  }
}

void TMainWin::CloseSessions() noexcept {
  core_->Shutdown();
}

void TMainWin::closeEvent(QCloseEvent* event) {
  // The window goes at once. Once it is off the screen the core ends (its operation in flight
  // finishes or gives up) and every session is closed once; no tick starts in between.
  UDPTimer->stop();
  event->accept();
  QTimer::singleShot(0, this, [this] { CloseSessions(); });
}
