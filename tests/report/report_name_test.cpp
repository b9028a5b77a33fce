// The suggested report file name and the ".txt" the save dialog adds to it.
#include <gtest/gtest.h>

#include <QDate>
#include <QLocale>

#include "ui/report_action.h"

namespace {

constexpr quint32 kController = 0x31310042;  // K105_00066

TEST(ReportFileName, SuggestedNameGetsTheTextExtensionWhateverTheDateSeparator) {
  const QDate day(2021, 5, 7);
  // Dots separate the date where the users of the tool live; the name's last dot then stands
  // inside the date, before the controller's name, and is no extension.
  const QString polish =
      SuggestedReportName(day, QLocale(QLocale::Polish, QLocale::Poland), kController);
  EXPECT_EQ(WithDefaultSuffix("/srv/raporty/" + polish).toStdString(),
            "/srv/raporty/2021.05.07 K105_00066.txt");
  const QString swedish =
      SuggestedReportName(day, QLocale(QLocale::Swedish, QLocale::Sweden), kController);
  EXPECT_EQ(WithDefaultSuffix("/srv/" + swedish).toStdString(), "/srv/2021-05-07 K105_00066.txt");

  // A name the user gave an extension keeps it; a name already ending in .txt gets no second.
  EXPECT_EQ(WithDefaultSuffix("/srv/2021.05.07 K105_00066.txt").toStdString(),
            "/srv/2021.05.07 K105_00066.txt");
  EXPECT_EQ(WithDefaultSuffix("/srv/raport.log").toStdString(), "/srv/raport.log");
  EXPECT_EQ(WithDefaultSuffix("/srv/a.b/raport").toStdString(), "/srv/a.b/raport.txt");
  EXPECT_EQ(WithDefaultSuffix("").toStdString(), "");
}

}  // namespace
