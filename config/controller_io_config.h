// The door controller's own functions: airlock and evacuation outputs, airlock, power-supply,
// evacuation and tamper inputs. Record kind 16 of commands "C" and "c".
#pragma once

#include <cstdint>

#include "config/bus_device_table.h"
#include "config/io_ref.h"

namespace zav {

inline constexpr std::uint8_t kControllerIoKind = 16;
inline constexpr int kControllerIoReplyMin = 40;
inline constexpr int kControllerIoDataLen = 40;  // written after kind and index: 42 in all

struct ControllerIoConfig {
  // When the header is 16, 8, 8, 4 and len is at least 40, takes outputs and inputs; otherwise
  // leaves the record. Returns whether it was taken.
  bool Decode(const std::uint8_t* payload, int len);
  // The 40 data bytes of the "c" payload: outputs, inputs, four reader references 0xFFFF.
  void Encode(std::uint8_t* out40) const;
  void MarkTaken(BusDeviceTable& table) const;  // outputs, then inputs

  // Index 8 or more changes nothing.
  void SetControllerOutput(BusDeviceTable& table, int index, IoRef ref, bool nc);
  void SetControllerInput(BusDeviceTable& table, int index, IoRef ref, bool nc);
  void SetControllerOutputNc(int index, bool on);
  void SetControllerInputNc(int index, bool on);

  IoRef outputs[8] = {};  // airlocks 1..7, then airlock 8 or evacuation
  IoRef inputs[8] = {};
};

}  // namespace zav
