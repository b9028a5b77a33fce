#include "ui/whelp.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QSizeGrip>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

// The documents live in a static library: their resource object must be pulled in explicitly,
// from outside any namespace.
static void InitHelpResources() {
  Q_INIT_RESOURCE(help);
}

namespace {

const char* const kDocuments[THelpWin::kTopics] = {":/help/ethernet.html", ":/help/kontroler.html",
                                                   ":/help/przejscia.html"};

// Term lists are paragraphs with a hanging indent: the term, a tab, a hyphen and the
// description. HTML cannot place a tab stop, so the tab is pointed at the paragraph's indent
// here; the description then starts where its wrapped lines continue.
void AlignHangingTabs(QTextDocument* doc) {
  QTextCursor cursor(doc);
  for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
    QTextBlockFormat format = block.blockFormat();
    if (format.textIndent() >= 0 || format.leftMargin() <= 0) continue;
    format.setTabPositions({QTextOption::Tab(format.leftMargin(), QTextOption::LeftTab)});
    cursor.setPosition(block.position());
    cursor.setBlockFormat(format);
  }
}

}  // namespace

THelpWin::THelpWin(QWidget* parent) : QDialog(parent) {
  InitHelpResources();
  setObjectName("HelpWin");
  setModal(true);

  helpEdit = new QTextBrowser(this);
  helpEdit->setObjectName("HelpEdit");
  helpEdit->setReadOnly(true);
  helpEdit->setOpenLinks(false);
  helpEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  helpEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  helpEdit->setLineWrapMode(QTextEdit::WidgetWidth);
  helpEdit->setFont(QFont("Tahoma", 8));

  // The dialog's own grip would sit on top of the view's corner and cover the scroll bar's
  // down arrow; below the scroll bar it takes the room of its own and still resizes the window.
  auto* grip = new QSizeGrip(helpEdit);
  grip->setObjectName("HelpGrip");
  helpEdit->addScrollBarWidget(grip, Qt::AlignBottom);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(3, 3, 3, 3);
  layout->addWidget(helpEdit);

  resize(862, 639);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
}

QString THelpWin::TopicTitle(int topic) {
  switch (topic) {
    case TopicEthernet:
      return QStringLiteral("Okno Ethernet");
    case TopicController:
      return QStringLiteral("Okno kontrolera");
    case TopicPassages:
      return QStringLiteral("Okno Przejścia");
    default:
      return {};
  }
}

QString THelpWin::TopicDocument(int topic) {
  if (topic < 0 || topic >= kTopics) return {};
  InitHelpResources();
  QFile file(kDocuments[topic]);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

void THelpWin::ShowTopic(int topic) {
  if (topic < 0 || topic >= kTopics) return;
  if (topic == loadedTopic) return;
  loadedTopic = topic;
  setWindowTitle(TopicTitle(topic));
  helpEdit->setAccessibleName(TopicTitle(topic));
  helpEdit->clear();
  helpEdit->setHtml(TopicDocument(topic));
  AlignHangingTabs(helpEdit->document());
  helpEdit->moveCursor(QTextCursor::Start);
  helpEdit->verticalScrollBar()->setValue(0);
}
