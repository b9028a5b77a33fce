// Firmware upload: a file of 528-byte blocks sent in order with "Y".
#pragma once

#include <cstdio>

namespace zav {

class UdpDev;

inline constexpr int kFirmwareBlock = 528;

// Sends every whole 528-byte block of file to dev, numbered from 0. Always closes file, also
// when a block is not acknowledged (UErr 7 with letter 'Y' propagates). Returns the number of
// blocks sent.
int UploadFirmware(std::FILE* file, UdpDev& dev);

}  // namespace zav
