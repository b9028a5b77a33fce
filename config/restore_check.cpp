#include "config/restore_check.h"

#include "config/cfg_report.h"

namespace zav {

namespace {

std::string KindText(const BusDeviceTable& t) {
  if (t.passageCount == 0) return "no readable configuration";
  if (t.controllerKind == kLiftKind) return "a lift controller";
  return "a door controller with " + std::to_string(t.passageCount) + " passages";
}

std::string DeviceText(const BusDeviceTable& t, int pos) {
  if (pos >= t.count || IsEmptySlot(t.devices[pos].id)) return "no device";
  const DeviceId id = t.devices[pos].id;
  return DevName(id) + " (type " + std::to_string(TypeNumber(id)) + ")";
}

int PointCount(const BusDevice& d, PointKind kind) {
  switch (kind) {
    case PointKind::Output:
      return d.outputs;
    case PointKind::Input:
      return d.inputs;
    case PointKind::Reader:
      return d.readers;
    case PointKind::OutputSet:
      return d.outputSets;
  }
  return 0;
}

class Checker {
 public:
  Checker(const BusDeviceTable& from, const BusDeviceTable& to) : from_(from), to_(to) {}

  void Check(const std::string& where, IoRef ref, PointKind kind) {
    if (!IsDeviceRef(ref)) return;
    const int pos = RefDevice(ref);
    const bool typeFits = pos < to_.count && !IsEmptySlot(to_.devices[pos].id) &&
                          pos < from_.count &&
                          TypeNumber(to_.devices[pos].id) == TypeNumber(from_.devices[pos].id);
    if (!typeFits) {
      out.push_back(where + ": position " + std::to_string(pos) + " holds " +
                    DeviceText(from_, pos) + " in the backup, " + DeviceText(to_, pos) +
                    " on the controller");
      return;
    }
    if (RefPoint(ref) >= PointCount(to_.devices[pos], kind)) {
      out.push_back(where + ": " + DevName(to_.devices[pos].id) + " at position " +
                    std::to_string(pos) + " has no point " + std::to_string(RefPoint(ref) + 1) +
                    " of that kind");
    }
  }

  std::vector<std::string> out;

 private:
  const BusDeviceTable& from_;
  const BusDeviceTable& to_;
};

}  // namespace

std::vector<std::string> RestoreMismatches(const BusDeviceTable& backupTable,
                                           const PassageConfig& doors, const LiftConfig& lift,
                                           DeviceId backupId, const BusDeviceTable& target,
                                           DeviceId targetId) {
  if (target.passageCount == 0 || target.controllerKind != backupTable.controllerKind ||
      target.passageCount != backupTable.passageCount) {
    return {"the backup is of " + KindText(backupTable) + ", the controller is " +
            KindText(target)};
  }
  // The same controller takes its own configuration back whatever its bus holds now: the
  // references stay as they were when the backup was made.
  if (backupId == targetId) return {};
  Checker c(backupTable, target);
  if (backupTable.controllerKind == kLiftKind) {
    static const char* kSets[8] = {"1..8",   "9..16",  "17..24", "25..32",
                                   "33..40", "41..48", "49..56", "57..64"};
    for (int i = 0; i < 8; ++i) c.Check(std::string("Winda, ") + kSets[i], lift.floorSets[i],
                                        PointKind::OutputSet);
    for (int i = 0; i < 8; ++i)
      c.Check("Winda, wejście " + std::to_string(i + 1), lift.inputs[i], PointKind::Input);
    for (int r = 0; r < 4; ++r)
      c.Check("Winda, Czytnik " + std::to_string(r + 1), lift.readers[r], PointKind::Reader);
    return c.out;
  }
  for (int i = 0; i < 8; ++i)
    c.Check("Kontroler, wyjście " + std::to_string(i + 1), doors.controllerIo.outputs[i],
            PointKind::Output);
  for (int i = 0; i < 8; ++i)
    c.Check("Kontroler, wejście " + std::to_string(i + 1), doors.controllerIo.inputs[i],
            PointKind::Input);
  for (int p = 0; p < doors.PassageCount(); ++p) {
    const Passage& ps = doors.passages[p];
    const std::string b = "Przejście " + std::to_string(p + 1) + ", ";
    for (int i = 0; i < 8; ++i) c.Check(b + ReportOutputWord(i), ps.outputs[i], PointKind::Output);
    for (int i = 0; i < 8; ++i) c.Check(b + ReportInputWord(i), ps.inputs[i], PointKind::Input);
    for (int r = 0; r < 4; ++r)
      c.Check(b + "Czytnik " + std::to_string(r + 1), ps.readers[r], PointKind::Reader);
  }
  return c.out;
}

}  // namespace zav
