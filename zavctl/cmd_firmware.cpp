// firmware: the upload the window keeps hidden, refusing files that are not whole blocks.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <ostream>
#include <vector>

#include "link/firmware.h"
#include "link/uerr.h"
#include "zavctl/commands.h"

namespace zav::ctl {

namespace {

constexpr std::size_t kMaxBlocks = 65536;  // block numbers are 16 bits on the wire

std::vector<std::uint8_t> ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path + ": cannot open: " + std::strerror(errno));
  std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error(path + ": cannot read: " + std::strerror(errno));
  return data;
}

}  // namespace

int RunFirmware(Context& c) {
  const std::string& path = c.args.operands[1];
  const std::vector<std::uint8_t> data = ReadWhole(path);
  const std::size_t size = data.size();
  // A short last part would not be sent, and the controller would be told of an upload that
  // did not carry the whole file.
  if (size == 0 || size % kFirmwareBlock != 0 || size / kFirmwareBlock > kMaxBlocks) {
    c.err << "zavctl: " << path << ": " << size << " bytes is not a whole number of "
          << kFirmwareBlock << "-byte blocks"
          << (size / kFirmwareBlock > kMaxBlocks ? " that fits 65536 block numbers" : "")
          << "; nothing was sent\n";
    return 1;
  }
  const std::size_t blocks = size / kFirmwareBlock;
  UdpDev& dev = c.Net().Resolve(c.args.operands[0]);
  c.out << "controller: " << DevName(dev.id) << ", " << dev.IpText() << ", " << dev.ModeName()
        << "\nfile: " << path << ", " << size << " bytes, " << blocks << " blocks of "
        << kFirmwareBlock << " bytes\n";
  if (!c.args.yes) {
    c.out << "Nothing was sent; upload with --yes.\n";
    return 0;
  }
  const bool tty = ::isatty(STDERR_FILENO) != 0;
  // The upload reads the very bytes checked above, not the file again.
  std::FILE* image = ::fmemopen(const_cast<std::uint8_t*>(data.data()), size, "rb");
  if (image == nullptr) throw std::runtime_error(path + ": " + std::strerror(errno));
  std::size_t sent = 0;
  try {
    UploadFirmware(image, dev, [&](int done, int) {
      sent = static_cast<std::size_t>(done);
      if (tty) {
        c.err << "\rblock " << sent << " of " << blocks << std::flush;
      } else if (sent * 10 / blocks != (sent - 1) * 10 / blocks || sent == blocks) {
        c.err << "block " << sent << " of " << blocks << "\n";
      }
    });
  } catch (const UErr& e) {
    if (tty) c.err << "\n";
    c.err << UErrText(e) << "zavctl: block " << sent << " of " << blocks
          << " was not acknowledged; the upload stopped there\n";
    return 1;
  }
  if (tty) c.err << "\n";
  c.out << DevName(dev.id) << ": " << blocks << " blocks sent and acknowledged\n";
  return 0;
}

}  // namespace zav::ctl
