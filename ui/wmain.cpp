// Construction, start-up, the guarded-block convention, the error box and shutdown.
#include "ui/wmain.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <exception>

#include "link/link.h"
#include "link/uerr.h"
#include "ui/config_pages.h"
#include "ui/firmware_action.h"
#include "ui_wmain.h"

namespace {
constexpr int kPollIntervalMs = 1000;
}

TMainWin::TMainWin(zav::UdpEndpoint& udp, zav::Clock& clock, QWidget* parent)
    : QWidget(parent), doors(table), lift(table), ui(std::make_unique<Ui::TMainWin>()) {
  // The poll runs from the start; its first tick comes from whichever event loop runs first
  // after a second, which may be the loop of an error box that the first search shows.
  UDPTimer = new QTimer(this);
  UDPTimer->setObjectName("UDPTimer");
  UDPTimer->setInterval(kPollIntervalMs);
  BuildControls();
  zav::Link::Use(&udp, &clock);
  openUrl = [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); };
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
  ui->DelLostBtn->setEnabled(false);
  for (QWidget* w : {static_cast<QWidget*>(ui->ReplCb), static_cast<QWidget*>(ui->ReplOldLb),
                     static_cast<QWidget*>(ui->ReplNewLb), static_cast<QWidget*>(ui->ReplaceBtn)})
    w->setEnabled(false);
  ui->SelDevBox->setTitle(QString());
  ui->EthLstBox->setSelectionMode(QAbstractItemView::SingleSelection);
  ui->DevListBox->setSelectionMode(QAbstractItemView::NoSelection);
  // Display only, but reachable by Tab so that its lines can be read out and scrolled.
  ui->DevListBox->setFocusPolicy(Qt::TabFocus);

  pages = new TConfigPages(*this, table, doors, lift, ui->PagesPlace);
  pages->setObjectName(QStringLiteral("CtrlTypeSet"));
  pages->setGeometry(0, 0, ui->PagesPlace->width(), ui->PagesPlace->height());
}

void TMainWin::ConnectHandlers() {
  connect(UDPTimer, &QTimer::timeout, this, &TMainWin::UDPTimerTimer);
  connect(ui->SearchEthBtn, &QPushButton::clicked, this, &TMainWin::SearchEthBtnClick);
  connect(ui->WwwBtn, &QPushButton::clicked, this, &TMainWin::WwwBtnClick);
  connect(ui->HelpEthBtn, &QPushButton::clicked, this, &TMainWin::HelpEthBtnClick);
  connect(ui->HelpDevBtn, &QPushButton::clicked, this, &TMainWin::HelpDevBtnClick);
  connect(ui->DelLostBtn, &QPushButton::clicked, this, &TMainWin::DelLostBtnClick);
  connect(ui->ReplaceBtn, &QPushButton::clicked, this, &TMainWin::ReplaceBtnClick);
  connect(ui->UpgrBtn, &QPushButton::clicked, this,
          [this] { Guarded([this] { UpgrBtnClick(this, devSet); }); });

  // Every click on a row selects (also on the row already selected), and so does every change
  // of the row from the keyboard. A mouse press also moves the current row, so row changes
  // during a mouse gesture are left to the click that ends it.
  ui->EthLstBox->viewport()->installEventFilter(this);
  connect(ui->EthLstBox, &QListWidget::itemClicked, this, [this] { EthLstBoxClick(); });
  connect(ui->EthLstBox, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!ethMouseDown && row >= 0) EthLstBoxClick();
  });
  connect(ui->EthLstBox, &QListWidget::itemActivated, this, [this] {
    if (!ethMouseDown) EthLstBoxClick();
  });
}

bool TMainWin::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui->EthLstBox->viewport()) {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        ethMouseDown = true;
        break;
      case QEvent::MouseButtonRelease:
        // After the list has handled the release: a gesture that ended on another row than it
        // started on emits no click, yet the row has changed; select it all the same.
        QTimer::singleShot(0, this, [this] {
          ethMouseDown = false;
          const int row = ui->EthLstBox->currentRow();
          if (row >= 0 && row != devSet.selected) EthLstBoxClick();
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
  Guarded([this] {
    devSet.Search();
    FillEthList();
  });
  // A search that failed before the list was built found nothing either: no empty pages.
  if (devSet.count == 0) pages->setVisible(false);
}

bool TMainWin::Guarded(const std::function<void()>& steps) {
  try {
    steps();
    return true;
  } catch (const zav::UErr& e) {
    ShowError(QString::fromStdString(zav::UErrText(e)));
  } catch (const std::exception& e) {
    ShowError(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    ShowError(QStringLiteral("Nieznany błąd programu."));
  }
  return false;
}

namespace {
QMessageBox* NewErrorBox(const QString& text, QWidget* parent) {
  auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok,
                              parent);
  box->setObjectName(QStringLiteral("ErrorBox"));
  return box;
}
}  // namespace

void TMainWin::ShowError(const QString& text) {
  // One box shows every error in turn: under X11 each new top-level window keeps memory for
  // good (some 30 kB for this box), and a day on site can bring hundreds of errors. A tick
  // that fails while an action's box is still open gets a box of its own above it.
  if (errorBox_ != nullptr && errorBox_->isVisible()) {
    const std::unique_ptr<QMessageBox> nested(NewErrorBox(text, this));
    nested->exec();
    return;
  }
  if (errorBox_ == nullptr)
    errorBox_ = NewErrorBox(text, this);
  else
    errorBox_->setText(text);
  errorBox_->exec();
}

void TMainWin::HelpDoorBtnClick() {
  Guarded([this] {
    if (showHelpTopic) showHelpTopic(2);
  });
}

void TMainWin::RapCfgBtnClick() {
  Guarded([this] {
    if (runReport) runReport();
  });
}

void TMainWin::CloseSessions() noexcept {
  devSet.CloseAll();
  // A close that got no answer is not tried again when the set goes: the controller forgets
  // the session by itself, and shutdown must not wait for it twice.
  for (zav::UdpDev& dev : devSet.devs) dev.session = false;
}

void TMainWin::closeEvent(QCloseEvent* event) {
  // No tick may open a session again once the sessions are closed.
  UDPTimer->stop();
  CloseSessions();
  event->accept();
}
