// Prints how long the passage page takes to refill its 20 selectors when every one of them
// offers about 2560 free points (116 bus devices with 22 outputs and 22 inputs each).
#include <QApplication>
#include <QComboBox>
#include <chrono>
#include <cstdio>
#include <vector>

#include "config/bus_device_table.h"
#include "config/lift_config.h"
#include "config/passage_config.h"
#include "tests/support/page_probe.h"
#include "ui/config_pages.h"

int main(int argc, char** argv) {
  // Test discovery runs the binary without the ctest environment, and no display is needed.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int devices = 116;
  std::vector<std::uint8_t> t = {devices, 0, 0x30, 0, 0, 0};
  for (int i = 0; i < devices; ++i) {
    const zav::DeviceId id =
        i == 0 ? 0x30000000u | (308u << 16) : (701u << 16) | static_cast<unsigned>(i);
    for (int b = 0; b < 4; ++b) t.push_back(static_cast<std::uint8_t>(id >> (8 * b)));
    const std::uint8_t attr[8] = {1, 0, 0, 22, 22, 3, 0, 0};
    t.insert(t.end(), attr, attr + 8);
  }
  zav::BusDeviceTable table;
  if (!table.Decode(t.data(), static_cast<int>(t.size()))) return 1;
  zav::PassageConfig doors{table};
  zav::LiftConfig lift{table};
  for (auto& p : doors.passages) {
    for (auto& r : p.outputs) r = zav::kNone;
    for (auto& r : p.inputs) r = zav::kNone;
    for (auto& r : p.readers) r = zav::kNone;
  }
  TConfigPages pages(table, doors, lift);
  pages.resize(716, 641);
  pages.show();
  pages.ShowPages();
  const PageProbe probe(pages);
  std::printf("items in Out0Sel: %d, in Rd0Sel: %d\n", probe.dOutRows[0].sel->count(),
              probe.dRdRows[0].sel->count());

  const int rounds = 200;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) pages.FillVisiblePage();
  const auto end = std::chrono::steady_clock::now();
  const double ms = std::chrono::duration<double, std::milli>(end - start).count() / rounds;
  std::printf("passage page refill (20 selectors): %.3f ms per refill\n", ms);

  pages.setCurrentWidget(probe.TabSheet1);
  const auto start2 = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) pages.FillVisiblePage();
  const auto end2 = std::chrono::steady_clock::now();
  std::printf("controller page refill (16 selectors): %.3f ms per refill\n",
              std::chrono::duration<double, std::milli>(end2 - start2).count() / rounds);
  return 0;
}
