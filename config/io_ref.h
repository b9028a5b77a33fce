// References from a configuration function to one point of a bus device, the rule that a point
// serves at most one function, the free-point lists behind the selectors and their labels.
#pragma once

#include <cstdint>
#include <string>

#include "config/bus_device_table.h"

namespace zav {

// Bits 15-8 table position, bit 7 NC, bits 4-0 point number; kNone: function not used.
using IoRef = std::uint16_t;
inline constexpr IoRef kNone = 0xFFFF;
inline constexpr IoRef kNcBit = 0x0080;

enum class PointKind : int { Output = 0, Input = 1, Reader = 2, OutputSet = 3 };

inline constexpr int kMaxFreePoints = 2560;
// A choice list: the current binding, "  -----", then up to kMaxFreePoints free points.
inline constexpr int kMaxChoices = kMaxFreePoints + 2;

inline constexpr int RefDevice(IoRef r) {
  return (r >> 8) & 0xFF;
}
inline constexpr int RefPoint(IoRef r) {
  return r & 0x1F;
}
// A reference that names a table position (not none, bit 15 clear).
inline constexpr bool IsDeviceRef(IoRef r) {
  return r != kNone && (r & 0x8000) == 0;
}

enum class ChoiceFilter {
  None,        // every free point
  DeviceZero,  // the controller's own points only
  SameDevice,  // points of the device named by the filter reference (the passage's bolt)
};

// "Out", "In", "Rd", or "" for output sets.
const char* KindPrefix(PointKind kind);

// A device's point count of a kind and the bits of the points already taken.
struct KindPoints {
  int points = 0;
  std::uint32_t taken = 0;
};
KindPoints PointsOf(const BusDevice& d, PointKind kind);

// Free points of a kind in display order, without NC flag; out holds kMaxFreePoints.
int FreePoints(const BusDeviceTable& table, PointKind kind, IoRef* out);
void TakePoint(BusDeviceTable& table, PointKind kind, IoRef ref);
void ReleasePoint(BusDeviceTable& table, PointKind kind, IoRef ref);
// Binds field to newRef (NC from the field's check box where the kind takes it), releases the
// old point and takes the new one.
void Assign(BusDeviceTable& table, IoRef& field, PointKind kind, IoRef newRef, bool nc);
void SetNc(IoRef& field, bool on);

// "%s:%s%d"; kNone gives the blank label of 13 characters, 14 for a three-letter prefix.
std::string IoLabel(const BusDeviceTable& table, IoRef ref, const char* prefix);
std::string SetLabel(const BusDeviceTable& table, IoRef ref);  // device name only

// Fills out (room for kMaxChoices) with the values of a selector's items and returns their
// number: current (when not none), kNone, then the free points passing the filter. sameAs is
// only used by ChoiceFilter::SameDevice. The text of each item comes from ChoiceLabel.
int ChoiceList(const BusDeviceTable& table, IoRef current, PointKind kind, ChoiceFilter filter,
               IoRef sameAs, IoRef* out);
// "  -----" for kNone, otherwise IoLabel with the kind's prefix or SetLabel for output sets.
std::string ChoiceLabel(const BusDeviceTable& table, PointKind kind, IoRef ref);

// The NC check box beside an output or input selector.
bool NcEnabled(const BusDeviceTable& table, PointKind kind, IoRef ref);
bool NcChecked(PointKind kind, IoRef ref);

}  // namespace zav
