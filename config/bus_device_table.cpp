#include "config/bus_device_table.h"

#include <cstdio>
#include <cstring>

#include "link/udpdev.h"

namespace zav {

namespace {

bool InServiceModes(const UdpDev& dev) {
  return dev.available && (dev.mode & 0x02) != 0;
}

bool ValidPos(int pos) {
  return pos >= 0 && pos < kMaxBusDevices;
}

bool AcceptedHeader(int kind, int passages) {
  if (kind == 1) return passages == 2 || passages == 8 || passages == 16;
  return kind == 2 && passages == 1;
}

}  // namespace

void BusDeviceTable::Clear() {
  count = 0;
  activeCount = 0;
  passageCount = 0;
}

bool BusDeviceTable::Decode(const std::uint8_t* payload, int len) {
  if (payload == nullptr || len < kHeaderLen) {
    Clear();
    return false;
  }
  const int n = GetU16(payload);
  if (n > kMaxBusDevices || kHeaderLen + kEntryLen * n > len) {
    Clear();
    return false;
  }
  controllerKind = payload[2] >> 5;
  passageCount = payload[2] & 0x1F;
  if (!AcceptedHeader(controllerKind, passageCount)) {
    Clear();
    return false;
  }
  count = n;
  activeCount = 0;
  for (int i = 0; i < n; ++i) {
    const std::uint8_t* e = payload + kHeaderLen + kEntryLen * i;
    const std::uint8_t* a = e + 4;
    BusDevice& d = devices[i];
    d.id = GetU32(e);
    if (!IsEmptySlot(d.id)) order[activeCount++] = static_cast<std::uint8_t>(i);
    d.suffixNo = a[0];
    d.state = a[1];
    d.ncOutputs = a[3] != 0;
    if (a[2] & 0x80) {
      d.outputSets = a[2] & 0x03;
      d.outputs = 0;
    } else {
      d.outputs = (a[3] != 0 ? a[3] : a[2]) & 0x1F;
      d.outputSets = 0;
    }
    d.inputs = a[4] & 0x1F;
    d.readers = a[5] & 0x03;
    d.outputsTaken = 0;
    d.inputsTaken = 0;
    d.readersTaken = 0;
    d.outputSetsTaken = 0;
  }
  // The controller reports itself first; a pass never moves a controller towards the end, so
  // it keeps its place and the devices behind it come out in ascending key order.
  bool swapped = true;
  while (swapped) {
    swapped = false;
    for (int j = 0; j + 1 < activeCount; ++j) {
      const DeviceId left = devices[order[j]].id;
      const DeviceId right = devices[order[j + 1]].id;
      if (!IsController(left) && OrderKey(right) < OrderKey(left)) {
        std::swap(order[j], order[j + 1]);
        swapped = true;
      }
    }
  }
  return true;
}

void BusDeviceTable::Read(UdpDev& dev) {
  if (!InServiceModes(dev)) return;
  std::uint8_t reply[kMaxBlock];
  const int len = dev.ReadDevices(reply);
  if (len < 0) return;
  raw.assign(reply, reply + len);
  Decode(reply, len);
}

bool BusDeviceTable::Refresh(UdpDev& dev) {
  std::uint8_t reply[kMaxBlock];
  int len = 0;
  if (!dev.TryReadDevices(reply, len) || len <= 0) return false;
  if (!Differs(reply, len)) return false;
  Decode(reply, len);
  return true;
}

bool BusDeviceTable::Differs(const std::uint8_t* payload, int len) const {
  if (payload == nullptr || len < 2) return true;
  const int n = GetU16(payload);
  if (n != count) return true;
  if (kHeaderLen + kEntryLen * n > len) return true;
  for (int i = 0; i < n; ++i) {
    const std::uint8_t* e = payload + kHeaderLen + kEntryLen * i;
    if (GetU32(e) != devices[i].id) return true;
    if ((e[5] & 0xF0) != (devices[i].state & 0xF0)) return true;
  }
  return false;
}

bool BusDeviceTable::HasInactive() const {
  for (int j = 0; j < activeCount; ++j) {
    if (devices[order[j]].state & 0x80) return true;
  }
  return false;
}

void BusDeviceTable::ClearTaken() {
  for (BusDevice& d : devices) {
    d.outputsTaken = 0;
    d.inputsTaken = 0;
    d.readersTaken = 0;
    d.outputSetsTaken = 0;
  }
}

int BusDeviceTable::ReplacementPairs(ReplacementPair* out) const {
  int n = 0;
  for (int i = 0; i < activeCount; ++i) {
    const int a = order[i];
    if (!(devices[a].state & 0x80)) continue;
    for (int j = 0; j < activeCount; ++j) {
      const int b = order[j];
      if (b == a || !(devices[b].state & 0x10)) continue;
      if (TypeNumber(devices[b].id) != TypeNumber(devices[a].id)) continue;
      if (n >= kMaxReplacementPairs) return n;
      out[n++] = static_cast<ReplacementPair>(a + 256 * b);
    }
  }
  return n;
}

const char* BusDeviceTable::TypeName(unsigned family) {
  static const char* const kNames[] = {"    Czytnik", "  Terminal",  "      Zamek", " Kontroler",
                                       "Ctr",         " Klawiatura", " Interfejs",  "      Moduł"};
  return family < 8 ? kNames[family] : "Nieznany typ";
}

const char* BusDeviceTable::StatusSuffix(std::uint8_t state) {
  if (state & 0x80) return ",   (nieaktywny)";
  if (state & 0x40) return ",   (zasilanie!)";
  if (state & 0x20) return ",   (sabotaż)";
  if (state & 0x10) return ",   (nowy)";
  return "";
}

std::string BusDeviceTable::LongName(int pos) const {
  if (!ValidPos(pos)) return std::string();
  const BusDevice& d = devices[pos];
  // "%s/%c%d" of the name, the letter A..D and the suffix number (0..255), made by hand: the
  // device panel, the report and a backup name every device of the bus.
  std::string name = DevName(d.id);
  char tail[5];
  char* p = tail;
  *p++ = '/';
  *p++ = static_cast<char>('A' + SubField(d.id));
  const unsigned n = d.suffixNo;
  if (n >= 100) *p++ = static_cast<char>('0' + n / 100);
  if (n >= 10) *p++ = static_cast<char>('0' + n / 10 % 10);
  *p++ = static_cast<char>('0' + n % 10);
  name.append(tail, p);
  return name;
}

std::string BusDeviceTable::DeviceLine(int pos) const {
  if (!ValidPos(pos)) return std::string();
  const BusDevice& d = devices[pos];
  const std::string name = LongName(pos);
  const char* type = TypeName(Family(d.id));
  const char* suffix = StatusSuffix(d.state);
  std::string line;
  line.reserve(std::strlen(type) + 2 + name.size() + std::strlen(suffix));
  line.append(type).append(": ").append(name).append(suffix);
  return line;
}

std::string BusDeviceTable::PairLabel(ReplacementPair pair) const {
  // Both bytes may reach 255; only positions inside the table name a device.
  const int oldPos = pair & 0xFF;
  const int newPos = pair >> 8;
  const std::string oldName = ValidPos(oldPos) ? DevName(devices[oldPos].id) : std::string("?");
  const std::string newName = ValidPos(newPos) ? DevName(devices[newPos].id) : std::string("?");
  return oldName + " <-- " + newName;
}

}  // namespace zav
