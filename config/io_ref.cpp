#include "config/io_ref.h"

#include <bit>

#include <cstring>

namespace zav {

namespace {

// The taken bit of a point, or nullptr when the reference names no table position.
struct TakenBit {
  std::uint32_t* wide = nullptr;
  std::uint16_t* narrow = nullptr;
  std::uint32_t mask = 0;
};

TakenBit Locate(BusDeviceTable& table, PointKind kind, IoRef ref) {
  TakenBit t;
  if (!IsDeviceRef(ref)) return t;
  BusDevice& d = table.devices[RefDevice(ref)];
  switch (kind) {
    case PointKind::Output:
      t.wide = &d.outputsTaken;
      t.mask = 1u << (ref & 0x1F);
      break;
    case PointKind::Input:
      t.wide = &d.inputsTaken;
      t.mask = 1u << (ref & 0x1F);
      break;
    case PointKind::Reader:
      t.narrow = &d.readersTaken;
      t.mask = 1u << (ref & 0x03);
      break;
    case PointKind::OutputSet:
      t.narrow = &d.outputSetsTaken;
      t.mask = 1u << (ref & 0x03);
      break;
  }
  return t;
}

bool DeviceHasNcOutputs(const BusDeviceTable& table, IoRef ref) {
  return IsDeviceRef(ref) && table.devices[RefDevice(ref)].ncOutputs;
}

}  // namespace

const char* KindPrefix(PointKind kind) {
  switch (kind) {
    case PointKind::Output:
      return "Out";
    case PointKind::Input:
      return "In";
    case PointKind::Reader:
      return "Rd";
    case PointKind::OutputSet:
      break;
  }
  return "";
}

KindPoints PointsOf(const BusDevice& d, PointKind kind) {
  switch (kind) {
    case PointKind::Output:
      return {d.outputs, d.outputsTaken};
    case PointKind::Input:
      return {d.inputs, d.inputsTaken};
    case PointKind::Reader:
      return {d.readers, d.readersTaken};
    case PointKind::OutputSet:
      return {d.outputSets, d.outputSetsTaken};
  }
  return {};
}

int FreePoints(const BusDeviceTable& table, PointKind kind, IoRef* out) {
  int n = 0;
  for (int j = 0; j < table.activeCount; ++j) {
    const int pos = table.order[j];
    const auto [points, taken] = PointsOf(table.devices[pos], kind);
    // The free points of the device in ascending order, one step per free point: a page fill
    // lists every kind for up to 128 devices of 31 points.
    std::uint32_t free = ~taken & (points >= 32 ? ~0u : (1u << points) - 1u);
    for (; free != 0; free &= free - 1) {
      if (n >= kMaxFreePoints) return n;
      out[n++] = static_cast<IoRef>((pos << 8) | std::countr_zero(free));
    }
  }
  return n;
}

void TakePoint(BusDeviceTable& table, PointKind kind, IoRef ref) {
  const TakenBit t = Locate(table, kind, ref);
  if (t.wide) *t.wide |= t.mask;
  if (t.narrow) *t.narrow = static_cast<std::uint16_t>(*t.narrow | t.mask);
}

void ReleasePoint(BusDeviceTable& table, PointKind kind, IoRef ref) {
  const TakenBit t = Locate(table, kind, ref);
  if (t.wide) *t.wide &= ~t.mask;
  if (t.narrow) *t.narrow = static_cast<std::uint16_t>(*t.narrow & ~t.mask);
}

void Assign(BusDeviceTable& table, IoRef& field, PointKind kind, IoRef newRef, bool nc) {
  const IoRef old = field;
  IoRef value = newRef;
  if (newRef == kNone) {
    value = kNone;
  } else if (kind == PointKind::Input ||
             (kind == PointKind::Output && DeviceHasNcOutputs(table, newRef))) {
    value = static_cast<IoRef>((newRef & ~kNcBit) | (nc ? kNcBit : 0));
  }
  field = value;
  ReleasePoint(table, kind, old);
  TakePoint(table, kind, value);
}

void SetNc(IoRef& field, bool on) {
  if (field == kNone) return;
  field = static_cast<IoRef>(on ? (field | kNcBit) : (field & ~kNcBit));
}

std::string IoLabel(const BusDeviceTable& table, IoRef ref, const char* prefix) {
  if (prefix == nullptr) prefix = "";
  if (ref == kNone) {
    std::string blank = "     ---     ";
    if (std::strlen(prefix) == 3) blank += ' ';
    return blank;
  }
  return DevName(table.devices[RefDevice(ref) & 0x7F].id) + ":" + prefix +
         std::to_string((ref & 0x1F) + 1);
}

std::string SetLabel(const BusDeviceTable& table, IoRef ref) {
  return DevName(table.devices[RefDevice(ref) & 0x7F].id);
}

int ChoiceList(const BusDeviceTable& table, IoRef current, PointKind kind, ChoiceFilter filter,
               IoRef sameAs, IoRef* out) {
  int n = 0;
  if (current != kNone) out[n++] = current;
  out[n++] = kNone;
  // The free points are listed straight into the caller's array and filtered in place.
  const int free = FreePoints(table, kind, out + n);
  const int wanted = filter == ChoiceFilter::DeviceZero ? 0 : RefDevice(sameAs);
  int kept = n;
  for (int i = n; i < n + free; ++i) {
    const IoRef r = out[i];
    if (filter != ChoiceFilter::None && RefDevice(r) != wanted) continue;
    out[kept++] = r;
  }
  return kept;
}

std::string ChoiceLabel(const BusDeviceTable& table, PointKind kind, IoRef ref) {
  if (ref == kNone) return "  -----";
  if (kind == PointKind::OutputSet) return SetLabel(table, ref);
  return IoLabel(table, ref, KindPrefix(kind));
}

bool NcEnabled(const BusDeviceTable& table, PointKind kind, IoRef ref) {
  if (ref == kNone) return false;
  if (kind == PointKind::Input) return true;
  return kind == PointKind::Output && DeviceHasNcOutputs(table, ref);
}

bool NcChecked(PointKind kind, IoRef ref) {
  if (kind != PointKind::Output && kind != PointKind::Input) return false;
  return ref != kNone && (ref & kNcBit) != 0;
}

}  // namespace zav
