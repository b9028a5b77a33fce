#include "ui/app_setup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QString>
#include <QTranslator>

bool InstallPolishQtTexts(QTranslator& translator) {
  if (!translator.load(QLocale(QLocale::Polish, QLocale::Poland), QStringLiteral("qtbase"),
                       QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return false;
  return QCoreApplication::installTranslator(&translator);
}

void KeepQtSettingsIn(const QString& dir) {
  for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
    QSettings::setPath(format, QSettings::UserScope, dir);
}
