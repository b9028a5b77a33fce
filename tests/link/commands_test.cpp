// The command set: preconditions, payload layouts and their limits.
#include <cstring>
#include <stdexcept>

#include "tests/link/link_errors.h"
#include "tests/link/link_fixture.h"

namespace zav::testing {
namespace {

using Response = FakeController::Response;

class CommandsTest : public LinkTest {
 protected:
  UdpDev dev{kCtrlId, kCtrlIp, 2};
  std::uint8_t out[kMaxBlock] = {};
};

TEST_F(CommandsTest, ReadDevicesNeedsAnAvailableControllerInServiceOrInstallation) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  for (std::uint16_t m : {0, 1, 0x81}) {
    dev.mode = m;
    EXPECT_EQ(-1, dev.ReadDevices(out));
  }
  dev.mode = 3;
  dev.available = false;
  EXPECT_EQ(-1, dev.ReadDevices(out));
  int len = 7;
  EXPECT_FALSE(dev.TryReadDevices(out, len));
  EXPECT_EQ(0, len);
  EXPECT_TRUE(ep.sent.empty());

  dev.available = true;
  c.mode = 3;
  EXPECT_EQ(static_cast<int>(c.deviceTable.size()), dev.ReadDevices(out));
  EXPECT_EQ(0, std::memcmp(out, c.deviceTable.data(), c.deviceTable.size()));
}

TEST_F(CommandsTest, ForeignSessionStopsTryReadDevicesQuietlyButReadDevicesLoudly) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  c.mode = 0x82;
  dev.mode = 0x82;
  int len = 0;
  EXPECT_FALSE(dev.TryReadDevices(out, len));
  EXPECT_TRUE(ep.sent.empty());
  EXPECT_EQ(ForeignSession, ThrownCode([&] { dev.ReadDevices(out); }));
  EXPECT_TRUE(c.Requests('D').empty());
}

TEST_F(CommandsTest, TryReadDevicesOpensASessionWithoutAStatusPoll) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  int len = 0;
  EXPECT_TRUE(dev.TryReadDevices(out, len));
  EXPECT_EQ(static_cast<int>(c.deviceTable.size()), len);
  EXPECT_TRUE(c.Requests('O').empty());
  EXPECT_EQ(1u, c.Requests('K').size());
  ASSERT_EQ(1u, c.Requests('D').size());
  EXPECT_EQ(1, c.Requests('D')[0].seq);

  c.deviceTable.clear();  // nothing new on the bus
  EXPECT_FALSE(dev.TryReadDevices(out, len));
  EXPECT_EQ(0, len);
}

TEST_F(CommandsTest, ConfigurationBlocksTravelWithKindAndIndex) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  dev.EnsureSession();
  EXPECT_EQ(static_cast<int>(c.configBlock.size()), dev.ReadConfig(1, 5, out));
  EXPECT_EQ((std::vector<std::uint8_t>{1, 5}), c.Requests('C').back().payload);

  dev.WriteConfig(16, 0, nullptr, 0);
  EXPECT_EQ((std::vector<std::uint8_t>{16, 0}), c.Requests('c').back().payload);

  std::vector<std::uint8_t> block(1398);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i);
  dev.WriteConfig(1, 15, block.data(), block.size());
  const auto sent = c.Requests('c').back();
  ASSERT_EQ(1400u, sent.payload.size());
  EXPECT_EQ(1, sent.payload[0]);
  EXPECT_EQ(15, sent.payload[1]);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), sent.payload.begin() + 2));
  EXPECT_TRUE(sent.authentic);
}

TEST_F(CommandsTest, OversizedConfigurationBlockIsRefusedBeforeSending) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  dev.EnsureSession();
  const auto before = ep.sent.size();
  std::vector<std::uint8_t> block(1399, 0x55);
  EXPECT_THROW(dev.WriteConfig(1, 0, block.data(), block.size()), std::length_error);
  EXPECT_EQ(before, ep.sent.size());
}

TEST_F(CommandsTest, DeleteAndReplaceEnsureTheSessionFirst) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  dev.ReplaceDevice(0x0A03);
  ASSERT_EQ(1u, c.Requests('R').size());
  EXPECT_EQ((std::vector<std::uint8_t>{0x03, 0x0A}), c.Requests('R')[0].payload);
  dev.DeleteInactive();
  EXPECT_EQ(1u, c.Requests('F').size());
  EXPECT_EQ(1u, c.Requests('K').size());
  EXPECT_EQ(2u, c.Requests('O').size());

  c.onSigned = [](const SeenRequest&) { return Response::With({}); };
  char letter = 0;
  EXPECT_EQ(NoAck, ThrownCode([&] { dev.DeleteInactive(); }, &letter));
  EXPECT_EQ('F', letter);
}

TEST_F(CommandsTest, FirmwareBlockCarriesItsNumberAndTheBytes) {
  FakeController c(ep, kCtrlId, kCtrlAddr);
  std::uint8_t block[528];
  for (int i = 0; i < 528; ++i) block[i] = static_cast<std::uint8_t>(i * 3);
  dev.SendFirmwareBlock(0x1234, block);
  ASSERT_EQ(1u, c.Requests('Y').size());
  const auto p = c.Requests('Y')[0].payload;
  ASSERT_EQ(530u, p.size());
  EXPECT_EQ(0x34, p[0]);
  EXPECT_EQ(0x12, p[1]);
  EXPECT_EQ(0, std::memcmp(p.data() + 2, block, 528));
  EXPECT_FALSE(dev.session);
}

}  // namespace
}  // namespace zav::testing
