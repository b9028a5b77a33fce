#include "core/controller_ops.h"

#include <array>
#include <cstring>
#include <stdexcept>

#include "link/uerr.h"
#include "link/wire.h"

namespace zav::core {

const char* const kBadBlockText =
    "Kontroler przysłał niepoprawny blok konfiguracji.\n"
    "Odczytana konfiguracja jest niepełna i nie zostanie zapisana.\n"
    "Wybierz kontroler ponownie, aby odczytać ją jeszcze raz.";

namespace {
// Modes 2 (Serwis) and 3 (Instalacja) let the tool read and write the bus configuration.
bool ServiceMode(const UdpDev& dev) {
  return (dev.mode & 0x02) != 0;
}
}  // namespace

void SelectController(UdpDev& dev, LoadedConfig& cfg, const LoadProgress& progress) {
  if (!dev.PollStatus()) {
    cfg.table.Clear();
    throw UErr{&dev, NoAnswer, 0};
  }
  cfg.table.Clear();
  if (!IsController(dev.id)) return;
  if (!ServiceMode(dev)) throw UErr{&dev, NotInServiceMode, 0};
  LoadConfig(dev, cfg, progress);
}

void LoadConfig(UdpDev& dev, LoadedConfig& cfg, const LoadProgress& progress) {
  cfg.doors.complete = false;
  cfg.lift.complete = false;
  cfg.table.Read(dev);
  if (cfg.table.passageCount == 0) return;  // a rejected table: the pages stay hidden
  bool complete = true;
  // The device table is the first block of the load.
  const auto blocks = [&progress](int done, int total) {
    if (progress) progress(done + 1, total + 1);
  };
  switch (cfg.table.controllerKind) {
    case 1:
      blocks(0, cfg.doors.PassageCount() + 1);
      cfg.doors.Read(dev, blocks);
      complete = cfg.doors.complete;
      break;
    case 2:
      blocks(0, 1);
      cfg.lift.Read(dev);
      blocks(1, 1);
      complete = cfg.lift.complete;
      break;
    default:
      break;
  }
  // A block the controller answered but that is not a record of its kind (a stray or
  // duplicated reply, a damaged answer) ends the read without a link error. The records may
  // then belong to other passages, so the user is told rather than shown them as read.
  if (!complete && dev.available && (dev.mode & 2) != 0) throw std::runtime_error(kBadBlockText);
}

bool OffersPair(const BusDeviceTable& table, ReplacementPair pair) {
  static thread_local std::array<ReplacementPair, kMaxReplacementPairs> pairs;
  const int n = table.activeCount > 0 ? table.ReplacementPairs(pairs.data()) : 0;
  for (int i = 0; i < n; ++i)
    if (pairs[static_cast<std::size_t>(i)] == pair) return true;
  return false;
}

WriteOutcome WriteSelected(UdpDevSet& set, LoadedConfig& written, bool doors) {
  WriteOutcome out;
  out.listChanged = set.Collect(0);
  if (set.selected < 0 || set.selected >= set.count) {
    out.refused = true;
    return out;
  }
  UdpDev& dev = set.devs[static_cast<std::size_t>(set.selected)];
  out.refused = doors ? !written.doors.Write(dev) : !written.lift.Write(dev);
  return out;
}

bool SameRecords(const LoadedConfig& a, const LoadedConfig& b) {
  if (a.table.controllerKind != b.table.controllerKind ||
      a.table.passageCount != b.table.passageCount)
    return false;
  std::uint8_t x[kRecordLen];
  std::uint8_t y[kRecordLen];
  if (a.table.controllerKind == kLiftKind) {
    a.lift.Encode(x);
    b.lift.Encode(y);
    return std::memcmp(x, y, kRecordLen) == 0;
  }
  a.doors.controllerIo.Encode(x);
  b.doors.controllerIo.Encode(y);
  if (std::memcmp(x, y, kControllerIoDataLen) != 0) return false;
  for (int p = 0; p < a.doors.PassageCount(); ++p) {
    a.doors.passages[p].Encode(x);
    b.doors.passages[p].Encode(y);
    if (std::memcmp(x, y, kRecordLen) != 0) return false;
  }
  return true;
}

}  // namespace zav::core
