#include "config/config_fields.h"

#include <cstdio>

#include "config/cfg_report.h"
#include "config/cp1250.h"
#include "config/time_text.h"

namespace zav {

namespace {

constexpr const char* kTypeItems[5] = {"Otwarte", "Normalne", "Bistabilne", "Astabilne",
                                       "Zablokowane"};
constexpr const char* kCtlOutputs[8] = {"Śluza 1", "Śluza 2", "Śluza 3", "Śluza 4",
                                        "Śluza 5", "Śluza 6", "Śluza 7", "Ewakuacja"};
constexpr const char* kCtlInputs[8] = {"Śluza 1",           "Śluza 2",          "Brak zasilania AC",
                                       "Słaby akumulator",  "Brak akumulatora", "Ewakuacja",
                                       "Tamper 1",          "Tamper 2"};
constexpr const char* kFloorSets[8] = {"1..8",   "9..16",  "17..24", "25..32",
                                       "33..40", "41..48", "49..56", "57..64"};
constexpr const char* kLiftInputs[8] = {"Wejście 1", "Wejście 2", "Wejście 3",
                                        "Tamper 1",  "Tamper 2",  "Tamper 3",
                                        "Brak zasilania AC", "Akumulator"};

std::string Trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  std::size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

std::string YesNo(bool on) {
  return on ? "tak" : "nie";
}

std::string Seconds(int halfSeconds) {
  return TimeText(halfSeconds) + " s";
}

// Bytes of a 104-byte record image that the model carries without interpreting them, each
// with the bits that are kept; zero where every bit has a meaning.
void KeptMask(bool lift, std::uint8_t* mask104) {
  for (int i = 0; i < kRecordLen; ++i) mask104[i] = i >= 40 ? 0xFF : 0x00;
  std::uint8_t* p = mask104 + 40;
  if (lift) {
    p[4] = 0;  // unlock time
  } else {
    p[0] = 0xF0;  // bits 3-0: passage type
    p[2] = 0;     // airlock flags
    p[4] = p[6] = 0;
    for (int r = 0; r < 4; ++r) p[32 + 4 * r] = 0xFE;  // bit 0: exit reader
  }
}

void AddKeptBytes(std::vector<FieldText>& out, const std::string& block, const std::uint8_t* img,
                  bool lift) {
  std::uint8_t mask[kRecordLen];
  KeptMask(lift, mask);
  // The name counts up to its first NUL (byte 15 always ends it); what follows is kept.
  int nameEnd = 40 + 48;
  while (nameEnd < 40 + 48 + kNameMax && img[nameEnd] != 0) ++nameEnd;
  for (int i = 40 + 48; i < nameEnd; ++i) mask[i] = 0;
  for (int i = 0; i < kRecordLen; ++i) {
    const int kept = img[i] & mask[i];
    if (kept == 0) continue;
    char value[8];
    std::snprintf(value, sizeof value, "0x%02x", kept);
    out.push_back({block, "bajt " + std::to_string(i), value, "0x00"});
  }
}

void AddController(std::vector<FieldText>& out, const BusDeviceTable& table,
                   const ControllerIoConfig& io, int airlocks) {
  const std::string b = "Kontroler";
  for (int i = 0; i < 8; ++i) {
    std::string word = i == 7 && airlocks == 8 ? "Śluza 8" : kCtlOutputs[i];
    out.push_back({b, "Wyjście " + word, PointText(table, io.outputs[i], PointKind::Output)});
  }
  for (int i = 0; i < 8; ++i)
    out.push_back({b, std::string("Wejście ") + kCtlInputs[i],
                   PointText(table, io.inputs[i], PointKind::Input)});
}

std::string AirlockText(int item) {
  return item > 0 ? "Śluza " + std::to_string(item) : "-----";
}

void AddPassage(std::vector<FieldText>& out, const BusDeviceTable& table,
                const PassageConfig& doors, int p) {
  const Passage& ps = doors.passages[p];
  const std::string b = "Przejście " + std::to_string(p + 1);
  out.push_back({b, "Nazwa przejścia", doors.Name(p)});
  for (int i = 0; i < 8; ++i)
    out.push_back({b, ReportOutputWord(i), PointText(table, ps.outputs[i], PointKind::Output)});
  for (int i = 0; i < 8; ++i)
    out.push_back({b, ReportInputWord(i), PointText(table, ps.inputs[i], PointKind::Input)});
  for (int r = 0; r < 4; ++r) {
    std::string v = PointText(table, ps.readers[r], PointKind::Reader);
    if (ps.params.ReaderExit(r)) v += " [Wy]";
    out.push_back({b, "Czytnik " + std::to_string(r + 1), v});
  }
  const int type = ps.params.PassageType();
  out.push_back({b, "Typ przejścia", type < 5 ? kTypeItems[type] : std::to_string(type)});
  out.push_back({b, "Impuls otwarcia rygla", Seconds(ps.params.boltTime)});
  out.push_back({b, "Dozw. czas otwarcia", Seconds(ps.params.openTime)});
  out.push_back({b, "Otwieranie klamką", YesNo(ps.params.HandleOpening())});
  out.push_back({b, "Pełny impuls rygla", YesNo(ps.params.FullBoltPulse())});
  const int second = doors.SecondAirlockItem(p);
  out.push_back({b, "Śluzy",
                 AirlockText(doors.FirstAirlockItem(p)) + ", " +
                     AirlockText(second > 0 ? second + 1 : 0)});
  std::uint8_t img[kRecordLen];
  ps.Encode(img);
  AddKeptBytes(out, b, img, false);
}

void AddLift(std::vector<FieldText>& out, const BusDeviceTable& table, const LiftConfig& lift) {
  const std::string b = "Winda";
  out.push_back({b, "Nazwa windy", lift.Name()});
  for (int i = 0; i < 8; ++i)
    out.push_back({b, kFloorSets[i], PointText(table, lift.floorSets[i], PointKind::OutputSet)});
  for (int i = 0; i < 8; ++i)
    out.push_back({b, kLiftInputs[i], PointText(table, lift.inputs[i], PointKind::Input)});
  for (int r = 0; r < 4; ++r)
    out.push_back({b, "Czytnik " + std::to_string(r + 1),
                   PointText(table, lift.readers[r], PointKind::Reader)});
  out.push_back({b, "Czas odblokowania przycisków", Seconds(lift.params.unlockTime)});
  std::uint8_t img[kRecordLen];
  lift.Encode(img);
  AddKeptBytes(out, b, img, true);
}

}  // namespace

std::string PointText(const BusDeviceTable& table, IoRef ref, PointKind kind) {
  if (ref == kNone) return "-----";
  if (kind == PointKind::OutputSet) return SetLabel(table, ref) + ":" + std::to_string(RefPoint(ref) + 1);
  std::string text = IoLabel(table, ref, KindPrefix(kind));
  if ((ref & kNcBit) != 0 && kind != PointKind::Reader) text += " [NC]";
  return text;
}

std::vector<FieldText> DescribeConfig(const BusDeviceTable& table, const PassageConfig& doors,
                                      const LiftConfig& lift) {
  std::vector<FieldText> out;
  const bool isLift = table.controllerKind == kLiftKind;
  out.push_back({"Kontroler", "Rodzaj",
                 isLift ? std::string("winda")
                        : "przejścia: " + std::to_string(doors.PassageCount())});
  for (int i = 0; i < table.count && i < kMaxBusDevices; ++i) {
    const DeviceId id = table.devices[i].id;
    if (IsEmptySlot(id)) continue;
    out.push_back({"Urządzenia", "pozycja " + std::to_string(i),
                   Trim(BusDeviceTable::TypeName(Family(id))) + " " + table.LongName(i)});
  }
  if (isLift) {
    AddLift(out, table, lift);
    return out;
  }
  const int count = doors.PassageCount();
  if (count == 0) return out;
  AddController(out, table, doors.controllerIo, doors.AirlockCount());
  for (int p = 0; p < count; ++p) AddPassage(out, table, doors, p);
  return out;
}

}  // namespace zav
