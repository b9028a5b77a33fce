// A door or lift controller loaded into the configuration pages the way the main window does
// it: a hand-made device table decoded, the records read from a scripted controller.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QStringList>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "config/bus_device_table.h"
#include "config/lift_config.h"
#include "config/passage_config.h"
#include "link/udpdevset.h"
#include "tests/support/page_probe.h"
#include "tests/support/scripted_endpoint.h"
#include "tests/ui_pages/fake_door.h"
#include "ui/config_pages.h"

// What the window does with the pages' signals, without a window: the write runs here and
// now, through the same write the controller core runs.
class TestHost {
 public:
  // Connects the pages' signals to the members below.
  void Attach(TConfigPages& pages);
  int SelectedMode() const;
  void WriteConfig(int kind);
  bool Guarded(const std::function<void()>& steps);

  zav::UdpDevSet set;
  // The configuration the pages edit.
  zav::BusDeviceTable* table = nullptr;
  zav::PassageConfig* doors = nullptr;
  zav::LiftConfig* lift = nullptr;
  QStringList errors;
  int ethFills = 0;  // writes that took in late discovery replies
  int helpClicks = 0;
  int reportClicks = 0;
};

namespace pagetest {

using Refs8 = std::array<zav::IoRef, 8>;
using Refs4 = std::array<zav::IoRef, 4>;
inline constexpr zav::IoRef N = zav::kNone;

// Bus: 0 the controller (4 relay outputs, 8 inputs), 1 an I/O module (8 NC outputs, 8 inputs),
// 2 a reader (1 relay output, 2 inputs, 1 port), 3 a lift module (2 output sets, 4 inputs,
// 2 ports).
inline constexpr zav::DeviceId kCtlId = 0x30000000u | (308u << 16) | 1u;
inline constexpr zav::DeviceId kModuleId = (701u << 16) | 22u;
inline constexpr zav::DeviceId kReaderId = (1u << 16) | 33u;
inline constexpr zav::DeviceId kLiftModId = (702u << 16) | 44u;

std::vector<std::uint8_t> DeviceTable(std::uint8_t header);
// The "C" reply of a passage or lift record (104 bytes after the 8-byte header).
std::vector<std::uint8_t> RecordReply(std::uint8_t kind, std::uint8_t n0, const Refs8& outs,
                                      const Refs8& ins, const Refs4& rds,
                                      const std::array<std::uint8_t, 64>& params);
std::vector<std::uint8_t> ControllerReply(const Refs8& outs, const Refs8& ins);

}  // namespace pagetest

class PagesTest : public ::testing::Test {
 protected:
  PagesTest();
  ~PagesTest() override;

  // Mode byte 0x83 is Instalacja with this tool's session, 0x82 Serwis.
  void LoadDoors(int passages, std::uint8_t mode = 0x83, bool skipPassage1 = false);
  void LoadLift(std::uint8_t mode = 0x83);

  zav::UdpDev& Dev() { return host.set.devs[0]; }
  // The selected controller's mode changes, and the pages are told as the window tells them.
  void SetMode(std::uint8_t mode);
  static QStringList Items(const QComboBox* sel);
  static std::vector<zav::IoRef> Refs(const QComboBox* sel);
  // Picks the item carrying ref as the user would; false when it is not offered.
  static bool Choose(QComboBox* sel, zav::IoRef ref);
  static bool Offers(const QComboBox* sel, zav::IoRef ref);
  static void Leave(class QLineEdit* ed, const QString& text);  // types text, then leaves

  zav::testing::FakeClock clock;
  zav::testing::ScriptedEndpoint ep{clock};
  zav::testing::FakeDoor ctl{ep, pagetest::kCtlId, "10.0.0.5"};
  zav::BusDeviceTable table;
  zav::PassageConfig doors{table};
  zav::LiftConfig lift{table};
  TestHost host;
  std::unique_ptr<TConfigPages> pages = std::make_unique<TConfigPages>(table, doors, lift);
  PageProbe probe{*pages};                 // the pages' controls
  std::array<std::uint8_t, 64> params0{};  // passage 1 as the controller holds it
};
