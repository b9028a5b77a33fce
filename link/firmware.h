// Firmware upload: a file of 528-byte blocks sent in order with "Y".
#pragma once

#include <cstdio>
#include <functional>

namespace zav {

class UdpDev;

inline constexpr int kFirmwareBlock = 528;

// Sends every whole 528-byte block of file to dev, numbered from 0. Always closes file, also
// when a block is not acknowledged (UErr 7 with letter 'Y' propagates). Returns the number of
// blocks sent. progress, when given, is told after each acknowledged block: blocks sent of the
// file's whole blocks (0 when the file cannot be measured).
int UploadFirmware(std::FILE* file, UdpDev& dev,
                   const std::function<void(int sent, int total)>& progress = {});

}  // namespace zav
