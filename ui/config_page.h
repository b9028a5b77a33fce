// What the three pages of the page control "CtrlTypeSet" share. A page edits the configuration
// it is given, fills itself from it, and reports what the user asks of the window (write, help,
// report, backup, an error to show) as signals; it calls nothing of the window's.
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

#include "ui/free_point_lists.h"
#include "ui/page_row.h"

namespace zav {
enum class PointKind : int;
}

class QLineEdit;

// Error box texts of the write buttons.
inline constexpr const char* kIncompleteText =
    "Konfiguracja nie została w całości odczytana z wybranego kontrolera, więc nie zostanie "
    "zapisana. Wybierz kontroler ponownie, aby odczytać jego konfigurację.";
inline constexpr const char* kNotDoorText =
    "Wybrany kontroler nie jest kontrolerem przejść: konfiguracja przejść nie zostanie zapisana.";
inline constexpr const char* kNotLiftText =
    "Wybrany kontroler nie jest kontrolerem windy: konfiguracja windy nie zostanie zapisana.";

class TConfigPage : public QWidget {
  Q_OBJECT
 public:
  // The selected controller's mode byte, -1 when none is selected: outside "Instalacja" the
  // test parameters are not editable. Takes effect at the next fill.
  void SetSelectedMode(int mode) { selectedMode_ = mode; }
  // A new configuration is loaded: nothing typed for the previous one is carried over.
  virtual void NewLoad() {}
  // Shows the configuration's values.
  virtual void Fill() = 0;

 signals:
  // "Zapisz" with a configuration of the right kind, read whole: the window writes the
  // configuration as it stands now, edits included (kind 1 door controller, 2 lift).
  void writeRequested(int kind);
  // A text for the window's error box.
  void errorRaised(const QString& text);
  // "Pomoc" and "Raport" of the passage page.
  void helpRequested();
  void reportRequested();
  // "Kopia…" and "Przywróć…" (passage and lift pages).
  void backupRequested();
  void restoreRequested();

 protected:
  TConfigPage(const zav::BusDeviceTable& table, FreePointLists& freePoints, QWidget* parent);

  // Binds rows first to N - 1 of the form, named prefix and the row's index (see MakeRow): a
  // choice of the user calls chosen, a click on the row's check box clicked, with the row's
  // index; neither runs while the page is being filled.
  template <std::size_t N>
  void BindRows(std::array<PageRow, N>& rows, const char* prefix, zav::PointKind kind,
                const std::function<void(int)>& chosen,
                const std::function<void(int)>& clicked = {}, int first = 0) {
    for (int i = first; i < static_cast<int>(N); ++i)
      rows[i] = BindRow(
          QString::fromLatin1(prefix) + QString::number(i), static_cast<int>(kind),
          [chosen, i] { chosen(i); },
          [clicked, i] {
            if (clicked) clicked(i);
          });
  }
  void FillRow(PageRow& row, std::uint16_t current, int filter, std::uint16_t sameAs = 0xFFFF) {
    ::FillRow(row, freePoints_, table_, current, filter, sameAs);
  }
  // The reference of the item chosen in row; false when no item is chosen.
  static bool Chosen(const PageRow& row, std::uint16_t& ref);
  // Shows a time as read from the controller, as not typed by the user.
  static void ShowTime(QLineEdit* edit, int halfSeconds);
  bool InstallationMode() const { return selectedMode_ >= 0 && (selectedMode_ & 3) == 3; }
  // The write every "Zapisz" shares: refuses a configuration of another kind or one that was
  // not read whole, then asks the window for the write.
  void WriteSelected(int kind, const char* wrongKindText, bool complete);

  const zav::BusDeviceTable& table_;
  FreePointLists& freePoints_;
  bool filling_ = false;  // true while the page is being filled from the model

 private:
  PageRow BindRow(const QString& name, int kind, std::function<void()> chosen,
                  std::function<void()> clicked);

  int selectedMode_ = -1;
};
