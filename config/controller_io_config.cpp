#include "config/controller_io_config.h"

#include "link/wire.h"

namespace zav {

bool ControllerIoConfig::Decode(const std::uint8_t* payload, int len) {
  if (payload == nullptr || len < kControllerIoReplyMin) return false;
  if (payload[0] != kControllerIoKind || payload[1] != 8 || payload[2] != 8 || payload[3] != 4) {
    return false;
  }
  for (int i = 0; i < 8; ++i) {
    outputs[i] = GetU16(payload + 8 + 2 * i);
    inputs[i] = GetU16(payload + 24 + 2 * i);
  }
  return true;
}

void ControllerIoConfig::Encode(std::uint8_t* out40) const {
  for (int i = 0; i < 8; ++i) {
    PutU16(out40 + 2 * i, outputs[i]);
    PutU16(out40 + 16 + 2 * i, inputs[i]);
  }
  // The controller record has no readers; its four reader slots always go out as none.
  for (int i = 32; i < kControllerIoDataLen; ++i) out40[i] = 0xFF;
}

void ControllerIoConfig::MarkTaken(BusDeviceTable& table) const {
  for (IoRef r : outputs) TakePoint(table, PointKind::Output, r);
  for (IoRef r : inputs) TakePoint(table, PointKind::Input, r);
}

void ControllerIoConfig::SetControllerOutput(BusDeviceTable& table, int index, IoRef ref, bool nc) {
  if (index < 0 || index >= 8) return;
  Assign(table, outputs[index], PointKind::Output, ref, nc);
}

void ControllerIoConfig::SetControllerInput(BusDeviceTable& table, int index, IoRef ref, bool nc) {
  if (index < 0 || index >= 8) return;
  Assign(table, inputs[index], PointKind::Input, ref, nc);
}

void ControllerIoConfig::SetControllerOutputNc(int index, bool on) {
  if (index < 0 || index >= 8) return;
  SetNc(outputs[index], on);
}

void ControllerIoConfig::SetControllerInputNc(int index, bool on) {
  if (index < 0 || index >= 8) return;
  SetNc(inputs[index], on);
}

}  // namespace zav
