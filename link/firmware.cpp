#include "link/firmware.h"

#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <system_error>

#include "link/udpdev.h"

namespace zav {

namespace {

// Block numbers are 16 bits on the wire: a longer file would wrap to block 0 and overwrite the
// start of the image on the controller.
constexpr long kMaxBlocks = 65536;

struct FileCloser {
  std::FILE* f;
  ~FileCloser() {
    if (f) std::fclose(f);
  }
};

// The number of whole blocks left in the file, 0 when it cannot be measured.
long RefuseOversized(std::FILE* file) {
  const long here = std::ftell(file);
  if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return 0;  // not seekable: nothing to check
  const long end = std::ftell(file);
  std::fseek(file, here, SEEK_SET);
  if (end < 0) return 0;
  const long blocks = (end - here) / kFirmwareBlock;
  if (blocks > kMaxBlocks) throw std::length_error("Plik aktualizacji ma więcej niż 65536 bloków.");
  return blocks;
}

}  // namespace

int UploadFirmware(std::FILE* file, UdpDev& dev,
                   const std::function<void(int sent, int total)>& progress) {
  if (!file) return 0;
  FileCloser closer{file};
  const auto total = static_cast<int>(RefuseOversized(file));
  std::uint8_t block[kFirmwareBlock];
  int sent = 0;
  for (;;) {
    const std::size_t got = std::fread(block, 1, sizeof block, file);
    if (got < sizeof block) {
      if (std::ferror(file))
        throw std::system_error(errno ? errno : EIO, std::generic_category(),
                                "Odczyt pliku aktualizacji");
      break;
    }
    if (sent >= kMaxBlocks)
      throw std::length_error("Plik aktualizacji ma więcej niż 65536 bloków.");
    dev.SendFirmwareBlock(static_cast<std::uint16_t>(sent), block);
    ++sent;
    if (progress) progress(sent, total);
  }
  return sent;
}

}  // namespace zav
