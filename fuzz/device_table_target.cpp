// The device table: Decode of any "D" payload, then display order, labels, free points, choice
// lists, point assignment and replacement pairs.
//
// Input: a 16-bit payload length, the payload, then operations on the decoded table.
#include <vector>

#include "config/io_ref.h"
#include "fuzz/fuzz_support.h"

namespace zav::fuzz {

namespace {

constexpr int kMaxOps = 64;

bool Accepted(const std::vector<std::uint8_t>& p) {
  if (p.size() < 6) return false;
  const std::size_t n = GetU16(p.data());
  if (n > 128 || 6 + 12 * n > p.size()) return false;
  const int kind = p[2] >> 5;
  const int passages = p[2] & 0x1F;
  return (kind == 1 && (passages == 2 || passages == 8 || passages == 16)) ||
         (kind == 2 && passages == 1);
}

PointKind KindOf(std::uint8_t b) {
  return static_cast<PointKind>(b & 3);
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

bool IsTaken(const BusDeviceTable& t, PointKind kind, IoRef ref) {
  const BusDevice& d = t.devices[RefDevice(ref)];
  switch (kind) {
    case PointKind::Output:
      return (d.outputsTaken >> (ref & 0x1F)) & 1;
    case PointKind::Input:
      return (d.inputsTaken >> (ref & 0x1F)) & 1;
    case PointKind::Reader:
      return (d.readersTaken >> (ref & 0x03)) & 1;
    case PointKind::OutputSet:
      return (d.outputSetsTaken >> (ref & 0x03)) & 1;
  }
  return false;
}

// Display index of every table position, -1 for positions not listed.
struct DisplayIndexes {
  explicit DisplayIndexes(const BusDeviceTable& t) {
    for (int& i : of) i = -1;
    for (int j = 0; j < t.activeCount; ++j) of[t.order[j]] = j;
  }
  int of[256];
};

// Free points: only untaken points of active devices, in display order, complete up to the cap.
void CheckFreePoints(const BusDeviceTable& t) {
  static IoRef out[kMaxFreePoints];
  const DisplayIndexes index(t);
  for (int k = 0; k < 4; ++k) {
    const PointKind kind = static_cast<PointKind>(k);
    const int n = FreePoints(t, kind, out);
    ZAV_FUZZ_CHECK(n >= 0 && n <= kMaxFreePoints);
    int prevIndex = -1;
    int prevPoint = -1;
    for (int i = 0; i < n; ++i) {
      const IoRef r = out[i];
      ZAV_FUZZ_CHECK(IsDeviceRef(r) && (r & 0x60) == 0 && (r & kNcBit) == 0);
      const int idx = index.of[RefDevice(r)];
      ZAV_FUZZ_CHECK(idx >= 0);
      ZAV_FUZZ_CHECK(RefPoint(r) < PointCount(t.devices[RefDevice(r)], kind));
      ZAV_FUZZ_CHECK(!IsTaken(t, kind, r));
      ZAV_FUZZ_CHECK(idx > prevIndex || (idx == prevIndex && RefPoint(r) > prevPoint));
      prevIndex = idx;
      prevPoint = RefPoint(r);
    }
    int all = 0;
    for (int j = 0; j < t.activeCount; ++j) {
      const BusDevice& d = t.devices[t.order[j]];
      for (int p = 0; p < PointCount(d, kind); ++p) {
        all += IsTaken(t, kind, static_cast<IoRef>((t.order[j] << 8) | p)) ? 0 : 1;
      }
    }
    ZAV_FUZZ_CHECK(n == (all < kMaxFreePoints ? all : kMaxFreePoints));
    Reached().freePoints += n;
  }
}

void CheckPairs(const BusDeviceTable& t) {
  static ReplacementPair pairs[kMaxReplacementPairs];
  const int n = t.ReplacementPairs(pairs);
  const DisplayIndexes index(t);
  ZAV_FUZZ_CHECK(n >= 0 && n <= kMaxReplacementPairs);
  for (int i = 0; i < n; ++i) {
    const int a = pairs[i] & 0xFF;
    const int b = pairs[i] >> 8;
    ZAV_FUZZ_CHECK(a != b && index.of[a] >= 0 && index.of[b] >= 0);
    ZAV_FUZZ_CHECK((t.devices[a].state & 0x80) && (t.devices[b].state & 0x10));
    ZAV_FUZZ_CHECK(TypeNumber(t.devices[a].id) == TypeNumber(t.devices[b].id));
    ZAV_FUZZ_CHECK(IsUtf8(t.PairLabel(pairs[i])));
  }
  int all = 0;
  for (int i = 0; i < t.activeCount; ++i) {
    const BusDevice& a = t.devices[t.order[i]];
    for (int j = 0; j < t.activeCount; ++j) {
      const BusDevice& b = t.devices[t.order[j]];
      all += i != j && (a.state & 0x80) && (b.state & 0x10) && TypeNumber(a.id) == TypeNumber(b.id);
    }
  }
  ZAV_FUZZ_CHECK(n == (all < kMaxReplacementPairs ? all : kMaxReplacementPairs));
  Reached().replacementPairs += n;
}

void CheckTexts(const BusDeviceTable& t) {
  bool inactive = false;
  for (int j = 0; j < t.activeCount; ++j) {
    const int pos = t.order[j];
    const std::string line = t.DeviceLine(pos);
    ZAV_FUZZ_CHECK(IsUtf8(line) && line.find(t.LongName(pos)) != std::string::npos);
    inactive |= (t.devices[pos].state & 0x80) != 0;
  }
  ZAV_FUZZ_CHECK(t.HasInactive() == inactive);
  ZAV_FUZZ_CHECK(t.DeviceLine(-1).empty() && t.LongName(kMaxBusDevices).empty());
}

void RunOp(BusDeviceTable& t, IoRef (&fields)[4][8], Reader& ops) {
  const std::uint8_t op = ops.U8();
  const PointKind kind = KindOf(op >> 4);
  const IoRef ref = ops.U16();
  switch (op % 7) {
    case 0:
      TakePoint(t, kind, ref);
      if (IsDeviceRef(ref)) ZAV_FUZZ_CHECK(IsTaken(t, kind, ref));
      break;
    case 1:
      ReleasePoint(t, kind, ref);
      if (IsDeviceRef(ref)) ZAV_FUZZ_CHECK(!IsTaken(t, kind, ref));
      break;
    case 2: {
      IoRef& field = fields[static_cast<int>(kind)][ops.U8() & 7];
      const bool nc = ops.Bit();
      Assign(t, field, kind, ref, nc);
      if (ref == kNone) {
        ZAV_FUZZ_CHECK(field == kNone);
        break;
      }
      ZAV_FUZZ_CHECK((field & ~kNcBit) == (ref & ~kNcBit));
      if (kind == PointKind::Input) ZAV_FUZZ_CHECK(((field & kNcBit) != 0) == nc);
      if (kind == PointKind::Reader || kind == PointKind::OutputSet) ZAV_FUZZ_CHECK(field == ref);
      if (IsDeviceRef(field)) ZAV_FUZZ_CHECK(IsTaken(t, kind, field));
      break;
    }
    case 3: {
      IoRef& field = fields[static_cast<int>(kind)][ops.U8() & 7];
      const IoRef before = field;
      const bool on = ops.Bit();
      SetNc(field, on);
      if (before == kNone) {
        ZAV_FUZZ_CHECK(field == kNone);
      } else {
        ZAV_FUZZ_CHECK((field & ~kNcBit) == (before & ~kNcBit) && ((field & kNcBit) != 0) == on);
      }
      break;
    }
    case 4: {
      static IoRef out[kMaxChoices];
      const auto filter = static_cast<ChoiceFilter>(ops.U8() % 3);
      const IoRef sameAs = ops.U16();
      const int n = ChoiceList(t, ref, kind, filter, sameAs, out);
      ZAV_FUZZ_CHECK(n >= 1 && n <= kMaxChoices);
      int i = 0;
      if (ref != kNone) ZAV_FUZZ_CHECK(out[i++] == ref);
      ZAV_FUZZ_CHECK(out[i++] == kNone);
      for (; i < n; ++i) {
        ZAV_FUZZ_CHECK(IsDeviceRef(out[i]) && !IsTaken(t, kind, out[i]));
        if (filter == ChoiceFilter::DeviceZero) ZAV_FUZZ_CHECK(RefDevice(out[i]) == 0);
        if (filter == ChoiceFilter::SameDevice) {
          ZAV_FUZZ_CHECK(RefDevice(out[i]) == RefDevice(sameAs));
        }
      }
      for (int k = 0; k < n && k < 16; ++k) ZAV_FUZZ_CHECK(IsUtf8(ChoiceLabel(t, kind, out[k])));
      break;
    }
    case 5: {
      const std::string label = IoLabel(t, ref, KindPrefix(kind));
      ZAV_FUZZ_CHECK(IsUtf8(label) && IsUtf8(SetLabel(t, ref)));
      if (ref == kNone) ZAV_FUZZ_CHECK(label.size() == (kind == PointKind::Output ? 14u : 13u));
      break;
    }
    case 6:
      ZAV_FUZZ_CHECK(NcChecked(kind, ref) ==
                     ((kind == PointKind::Output || kind == PointKind::Input) && ref != kNone &&
                      (ref & kNcBit)));
      // An input takes the flag on any binding; an output only on a device with NC outputs.
      if (NcEnabled(t, kind, ref)) {
        ZAV_FUZZ_CHECK(ref != kNone && kind != PointKind::Reader && kind != PointKind::OutputSet);
        if (kind == PointKind::Output) ZAV_FUZZ_CHECK(t.devices[RefDevice(ref) & 0x7F].ncOutputs);
      }
      break;
  }
}

}  // namespace

int FuzzDeviceTable(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  const auto payload = in.Bytes(in.U16() % 2048);
  BusDeviceTable t;
  const bool ok = t.Decode(payload.data(), static_cast<int>(payload.size()));
  ZAV_FUZZ_CHECK(ok == Accepted(payload));
  CheckTable(t);
  if (!ok) {
    ZAV_FUZZ_CHECK(t.count == 0 && t.passageCount == 0);
    return 0;
  }
  ++Reached().tablesAccepted;
  ZAV_FUZZ_CHECK(t.count == GetU16(payload.data()));
  ZAV_FUZZ_CHECK(!t.Differs(payload.data(), static_cast<int>(payload.size())));
  for (int i = 0; i < t.count; ++i) {
    const BusDevice& d = t.devices[i];
    ZAV_FUZZ_CHECK(d.id == GetU32(payload.data() + 6 + 12 * i));
    ZAV_FUZZ_CHECK(!d.outputsTaken && !d.inputsTaken && !d.readersTaken && !d.outputSetsTaken);
  }
  CheckTexts(t);
  CheckPairs(t);
  CheckFreePoints(t);

  IoRef fields[4][8];
  for (auto& row : fields) {
    for (IoRef& f : row) f = kNone;
  }
  for (int i = 0; i < kMaxOps && !in.Empty(); ++i) RunOp(t, fields, in);
  CheckFreePoints(t);
  CheckTable(t);
  return 0;
}

}  // namespace zav::fuzz
