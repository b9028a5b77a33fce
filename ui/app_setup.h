// What the program sets up before its first window: Qt's own texts in Polish, and no settings
// file of Qt's left behind.
#pragma once

class QString;
class QTranslator;

// Loads the Polish texts of Qt's own dialogs and buttons (the save dialog's "Zachowaj jako"),
// whatever the desktop's language, into translator and installs it. False, with the texts left
// in English, when the translation files are missing.
bool InstallPolishQtTexts(QTranslator& translator);

// Points the settings Qt keeps for itself (the file dialogs' folder history in
// QtProject.conf) at dir, a folder that goes with the program: nothing is stored between runs.
void KeepQtSettingsIn(const QString& dir);
