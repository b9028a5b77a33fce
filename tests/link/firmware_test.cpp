// Firmware upload from a file of 528-byte blocks.
#include "link/firmware.h"

#include <unistd.h>

#include <cstring>
#include <stdexcept>

#include "tests/link/link_errors.h"
#include "tests/link/link_fixture.h"

namespace zav::testing {
namespace {

using Response = FakeController::Response;

// A memory file that records whether it was closed, so a test can see the upload close it.
struct TrackedFile {
  std::vector<std::uint8_t> data;
  std::size_t pos = 0;
  bool closed = false;

  std::FILE* Open() {
    cookie_io_functions_t io{};
    io.read = [](void* c, char* buf, std::size_t n) -> ssize_t {
      auto* f = static_cast<TrackedFile*>(c);
      const std::size_t k = std::min(n, f->data.size() - f->pos);
      if (k > 0) std::memcpy(buf, f->data.data() + f->pos, k);
      f->pos += k;
      return static_cast<ssize_t>(k);
    };
    io.close = [](void* c) {
      static_cast<TrackedFile*>(c)->closed = true;
      return 0;
    };
    return fopencookie(this, "r", io);
  }
};

class FirmwareTest : public LinkTest {
 protected:
  void Fill(std::size_t size) {
    file.data.resize(size);
    for (std::size_t i = 0; i < size; ++i) file.data[i] = static_cast<std::uint8_t>(i * 13 + 5);
  }

  UdpDev dev{kCtrlId, kCtrlIp, 2};
  TrackedFile file;
};

TEST_F(FirmwareTest, WholeBlocksAreSentInOrderFromZero) {
  for (std::size_t size : {1056u, 1100u}) {
    FakeController c(ep, kCtrlId, kCtrlAddr);
    Fill(size);
    file.closed = false;
    file.pos = 0;
    EXPECT_EQ(2, UploadFirmware(file.Open(), dev));
    EXPECT_TRUE(file.closed);
    const auto blocks = c.Requests('Y');
    ASSERT_EQ(2u, blocks.size()) << size;
    for (std::uint16_t n = 0; n < 2; ++n) {
      ASSERT_EQ(530u, blocks[n].payload.size());
      EXPECT_EQ(n, GetU16(blocks[n].payload.data()));
      EXPECT_EQ(0, std::memcmp(blocks[n].payload.data() + 2, file.data.data() + 528 * n, 528));
    }
    ep.onSend = nullptr;
  }
}

TEST_F(FirmwareTest, FileWithoutAWholeBlockSendsNothing) {
  for (std::size_t size : {0u, 527u}) {
    Fill(size);
    file.closed = false;
    file.pos = 0;
    EXPECT_EQ(0, UploadFirmware(file.Open(), dev));
    EXPECT_TRUE(file.closed);
  }
  EXPECT_TRUE(ep.sent.empty());
}

TEST_F(FirmwareTest, MissingAcknowledgeStopsTheUploadAndClosesTheFile) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  c.onPlain = [](const SeenRequest& r) {
    return GetU16(r.payload.data()) >= 5 ? Response::None() : Response::Normal();
  };
  Fill(528 * 9);
  char letter = 0;
  EXPECT_EQ(NoAck, ThrownCode([&] { UploadFirmware(file.Open(), dev); }, &letter));
  EXPECT_EQ('Y', letter);
  EXPECT_TRUE(file.closed);
  const auto blocks = c.Requests('Y');
  ASSERT_EQ(8u, blocks.size());  // blocks 0 to 4, then three attempts of block 5
  for (std::size_t i = 5; i < 8; ++i) EXPECT_EQ(5, GetU16(blocks[i].payload.data()));
}

TEST_F(FirmwareTest, FileTooLongForSixteenBitBlockNumbersIsRefusedUpFront) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(nullptr, f);
  ASSERT_EQ(0, ftruncate(fileno(f), 528L * 65536 + 528));
  EXPECT_THROW(UploadFirmware(f, dev), std::length_error);
  EXPECT_TRUE(ep.sent.empty());
}

}  // namespace
}  // namespace zav::testing
