// The help window: one modal window that shows one of the three built-in help documents.
#pragma once

#include <QDialog>

class QTextBrowser;

class THelpWin : public QDialog {
  Q_OBJECT
 public:
  enum Topic : int { TopicEthernet = 0, TopicController = 1, TopicPassages = 2 };
  static constexpr int kTopics = 3;

  explicit THelpWin(QWidget* parent = nullptr);

  // Loads the topic's document from its start and sets the caption, unless that topic is
  // already loaded: then the view keeps its text and scroll position. Does not show the window.
  // Unknown topic numbers are ignored.
  void ShowTopic(int topic);

  int LoadedTopic() const { return loadedTopic; }
  QTextBrowser* HelpEdit() const { return helpEdit; }

  // The window caption of a topic; empty for unknown numbers.
  static QString TopicTitle(int topic);
  // The whole document of a topic as held in the resources (HTML); empty for unknown numbers.
  static QString TopicDocument(int topic);

 private:
  QTextBrowser* helpEdit = nullptr;
  int loadedTopic = -1;
};
