// Datagram layouts, checksum, identifier names and address text.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "link/wire.h"

namespace zav {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Of(const char* s) {
  return Bytes(s, s + std::strlen(s));
}

// The checksum as its defining bit-by-bit procedure, to hold the table-driven one against.
std::uint32_t BitwiseCrc(const Bytes& d) {
  std::uint32_t r = 0xFFFFFFFF;
  for (std::uint8_t b : d) {
    r ^= std::uint32_t{b} << 24;
    for (int k = 0; k < 8; ++k) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
  }
  return r;
}

TEST(FrameCrc, CheckValueEmptyAndBitwiseAgreement) {
  const Bytes check = Of("123456789");
  EXPECT_EQ(FrameCrc(check.data(), check.size()), 0x0376E6E7u);
  EXPECT_EQ(FrameCrc(nullptr, 0), 0xFFFFFFFFu);

  std::mt19937 rng(1234);
  for (int len = 1; len < 300; len += 7) {
    Bytes d(len);
    for (auto& b : d) b = static_cast<std::uint8_t>(rng());
    EXPECT_EQ(FrameCrc(d.data(), d.size()), BitwiseCrc(d)) << "length " << len;
  }
}

TEST(Frames, DiscoveryRequestIsFixed) {
  const std::array<std::uint8_t, 12> want = {0x4D, 0x4D, 0x44, 0x4F, 0xFF, 0xFF,
                                             0xFF, 0xFF, 0xF8, 0xF3, 0x14, 0x64};
  EXPECT_EQ(DiscoveryRequest(), want);
}

TEST(Frames, PlainFrameLayoutAndChecksum) {
  std::uint8_t out[64];
  std::memset(out, 0xAA, sizeof out);
  EXPECT_EQ(BuildPlainFrame('K', 0x31310042, nullptr, 0, out), 12u);
  EXPECT_EQ(std::memcmp(out, "MMDK", 4), 0);
  EXPECT_EQ(GetU32(out + 4), 0x31310042u);
  EXPECT_EQ(out[4], 0x42);  // identifier little-endian
  EXPECT_EQ(GetU32(out + 8), FrameCrc(out, 8));
  EXPECT_EQ(out[12], 0xAA);  // nothing written past the frame

  const std::uint8_t payload[5] = {1, 2, 3, 4, 5};
  std::memset(out, 0xAA, sizeof out);
  EXPECT_EQ(BuildPlainFrame('d', 0x30010001, payload, 5, out), 17u);
  EXPECT_EQ(out[3], 'd');
  EXPECT_EQ(std::memcmp(out + 8, payload, 5), 0);
  EXPECT_EQ(GetU32(out + 13), FrameCrc(out, 13));
  EXPECT_EQ(out[17], 0xAA);
}

TEST(Frames, SignedFrameBodyLeavesRoomForSignature) {
  std::uint8_t out[64];
  std::memset(out, 0xAA, sizeof out);
  EXPECT_EQ(BuildSignedFrameBody(0x31310042, 0x1234, 'D', nullptr, 0, out), 19u);
  EXPECT_EQ(std::memcmp(out, "MMDC", 4), 0);
  EXPECT_EQ(GetU32(out + 4), 0x31310042u);
  EXPECT_EQ(out[8], 0x34);  // sequence little-endian
  EXPECT_EQ(out[9], 0x12);
  EXPECT_EQ(out[10], 'D');
  EXPECT_EQ(out[11], 0xAA);  // signature room untouched

  const std::uint8_t payload[3] = {7, 8, 9};
  std::memset(out, 0xAA, sizeof out);
  EXPECT_EQ(BuildSignedFrameBody(1, 0xFFFF, 'c', payload, 3, out), 22u);
  EXPECT_EQ(std::memcmp(out + 11, payload, 3), 0);
  EXPECT_EQ(out[14], 0xAA);
}

TEST(Frames, TimeStamp) {
  const auto f = TimeStampFrame(0x31310042, 0x65A1B2C3);
  EXPECT_EQ(std::memcmp(f.data(), "MMDT", 4), 0);
  EXPECT_EQ(GetU32(f.data() + 4), 0x31310042u);
  EXPECT_EQ(f[8], 0xC3);
  EXPECT_EQ(f[11], 0x65);
  EXPECT_EQ(GetU32(f.data() + 12), FrameCrc(f.data(), 12));
}

TEST(DevName, Formats) {
  EXPECT_EQ(DevName(0x31310042), "K105_00066");
  EXPECT_EQ(DevName(0xFFFFFFFF), "?123_65535");
  EXPECT_EQ(DevName(0), "R100_00000");
  // Family 5 shares the letter of family 3; bits above the type number do not show.
  EXPECT_EQ(DevName((512u << 16) | 7), "K112_00007");
  EXPECT_EQ(DevName(0xC0000000u | (199u << 16) | 12345), "T199_12345");
  const char letters[] = "RTZKCKFD???";
  for (unsigned type = 0; type < 1024; ++type) {
    const std::string name = DevName(type << 16);
    ASSERT_EQ(name.size(), 10u) << type;
    EXPECT_EQ(name[0], letters[type / 100]) << type;
    EXPECT_EQ(name.substr(1, 3), std::to_string(type % 100 + 100)) << type;
  }
  // Every serial: five digits with leading zeros after the underscore.
  for (unsigned serial = 0; serial < 65536; ++serial) {
    char want[8];
    std::snprintf(want, sizeof want, "%05u", serial);
    const std::string name = DevName((305u << 16) | serial);
    ASSERT_EQ(name.substr(0, 5), "K105_") << serial;
    ASSERT_EQ(name.substr(5), want) << serial;
  }
}

TEST(DeviceIdFields, OrderKeyIgnoresTopSixBits) {
  EXPECT_EQ(OrderKey(0x31310042), OrderKey(0xF1310042));
  EXPECT_EQ(OrderKey(0x3D310042), OrderKey(0x31310042));
  EXPECT_NE(OrderKey(0x31310042), OrderKey(0x31310043));
  EXPECT_TRUE(IsController(0x31310042));
  EXPECT_FALSE(IsController(0x31910042));  // type 401
}

TEST(IpText, Octets) {
  EXPECT_EQ(IpText(0xC0A80001), "192.168.0.1");
  EXPECT_EQ(IpText(0), "0.0.0.0");
  EXPECT_EQ(IpText(0xFFFFFFFF), "255.255.255.255");
  EXPECT_EQ(IpText(0x0A00FF09), "10.0.255.9");
  // Every octet value in every place: plain decimal, no leading zeros.
  for (unsigned v = 0; v < 256; ++v)
    for (int place = 0; place < 4; ++place) {
      std::string want;
      for (int k = 0; k < 4; ++k) want += (k ? "." : "") + std::to_string(k == place ? v : 7u);
      std::uint32_t a = 0;
      for (int k = 0; k < 4; ++k) a = (a << 8) | (k == place ? v : 7u);
      EXPECT_EQ(IpText(a), want);
    }
}

TEST(ParseIp, DottedAddressesRoundTrip) {
  EXPECT_EQ(ParseIp("192.168.0.1"), 0xC0A80001u);
  EXPECT_EQ(ParseIp("255.255.255.255"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseIp("0.0.0.0"), 0u);
  std::mt19937 rng(99);
  for (int i = 0; i < 1000; ++i) {
    const std::uint32_t a = rng();
    EXPECT_EQ(ParseIp(IpText(a)), a);
  }
}

TEST(ParseIp, MalformedTextsGiveWhatWasParsed) {
  EXPECT_EQ(ParseIp(""), 0u);
  EXPECT_EQ(ParseIp("42"), 42u << 24);
  EXPECT_EQ(ParseIp("10.1"), 0x0A010000u);
  EXPECT_EQ(ParseIp("abc"), 0u);
  EXPECT_EQ(ParseIp("10.0.0.1:45389"), 0x0A000001u);
  EXPECT_EQ(ParseIp("1.2.3.4.5"), 0x01020304u);  // a fifth part is not read
  EXPECT_EQ(ParseIp("...."), 0u);
  // Parts are not range-checked: they add into the sum, 256 in the last part carries over.
  EXPECT_EQ(ParseIp("1.2.3.256"), 0x01020400u);
  // Huge parts wrap modulo 2^32 without undefined behaviour (the sanitizer build checks).
  EXPECT_EQ(ParseIp("99999999999999999999999.99999999999999999999.9.9"), 0xFEFF0909u);
  EXPECT_EQ(ParseIp("4294967296.0.0.7"), 7u);  // 2^32 wraps to 0
}

TEST(ParseIp, NeverReadsPastItsText) {
  // Each text lives in its own exact-size heap block without a terminator, so any read past
  // the end is caught by the address sanitizer.
  std::mt19937 rng(4242);
  const char alphabet[] = "0123456789....  -+xX:\xff";
  for (int i = 0; i < 1000; ++i) {
    const std::size_t len = rng() % 40;
    auto buf = std::make_unique<char[]>(len == 0 ? 1 : len);
    for (std::size_t k = 0; k < len; ++k) {
      buf[k] = (i % 2) ? static_cast<char>(rng()) : alphabet[rng() % (sizeof alphabet - 1)];
    }
    const std::string_view text(buf.get(), len);
    // A character outside digits and dots ends the parse, so what follows it never counts.
    EXPECT_EQ(ParseIp(text), ParseIp(std::string(text) + ":7.7.7.7")) << std::string(text);
  }
}

// Recognition rules. Built around one real request and a matching reply that each case spoils.
class Recognition : public ::testing::Test {
 protected:
  static constexpr DeviceId kId = 0x31310042;
  std::uint8_t request[32];
  Bytes PlainReply(std::size_t payload) {
    Bytes r(payload + 12);
    BuildPlainFrame('O', kId, Bytes(payload, 0x11).data(), payload, r.data());
    return r;
  }
  Bytes SignedReply(char letter, std::size_t payload) {
    Bytes r(payload + 19, 0);
    BuildSignedFrameBody(kId, 0, static_cast<char>(letter | 0x80), nullptr, 0, r.data());
    return r;
  }
  Bytes Status(DeviceId id) {
    Bytes payload(16, 0);
    payload[2] = 3;
    payload[3] = '1';
    Bytes r(28);
    BuildPlainFrame('O', id, payload.data(), 16, r.data());
    return r;
  }
  void SetUp() override { BuildPlainFrame('O', kId, nullptr, 0, request); }
};

TEST_F(Recognition, PlainReply) {
  EXPECT_TRUE(IsPlainReply(request, kId, PlainReply(0).data(), 12));
  EXPECT_TRUE(IsPlainReply(request, kId, PlainReply(16).data(), 28));
  // The checksum is not part of recognition: a broken one is still taken as the reply.
  Bytes bad = PlainReply(4);
  bad.back() ^= 1;
  EXPECT_TRUE(IsPlainReply(request, kId, bad.data(), bad.size()));

  Bytes r = PlainReply(0);
  EXPECT_FALSE(IsPlainReply(request, kId, r.data(), 11));
  for (std::size_t len = 0; len < 12; ++len) {
    auto exact = std::make_unique<std::uint8_t[]>(len + 1);
    std::memcpy(exact.get(), r.data(), len);
    EXPECT_FALSE(IsPlainReply(request, kId, exact.get(), len)) << len;
  }
  EXPECT_FALSE(IsPlainReply(request, kId, nullptr, 0));

  Bytes high = r;
  high[3] = 'O' | 0x80;  // a plain reply echoes the letter as sent
  EXPECT_FALSE(IsPlainReply(request, kId, high.data(), high.size()));
  Bytes other = r;
  other[4] ^= 1;
  EXPECT_FALSE(IsPlainReply(request, kId, other.data(), other.size()));
  EXPECT_FALSE(IsPlainReply(request, kId + 1, r.data(), r.size()));
  Bytes magic = r;
  magic[0] = 'N';
  EXPECT_FALSE(IsPlainReply(request, kId, magic.data(), magic.size()));
}

TEST_F(Recognition, SignedReply) {
  EXPECT_TRUE(IsSignedReply(kId, 'D', SignedReply('D', 0).data(), 19));
  EXPECT_TRUE(IsSignedReply(kId, 'D', SignedReply('D', 1400).data(), 1419));
  EXPECT_FALSE(IsSignedReply(kId, 'D', SignedReply('D', 0).data(), 18));
  EXPECT_FALSE(IsSignedReply(kId, 'D', nullptr, 0));

  Bytes bare(19, 0);
  BuildSignedFrameBody(kId, 0, 'D', nullptr, 0, bare.data());  // letter without bit 7
  EXPECT_FALSE(IsSignedReply(kId, 'D', bare.data(), bare.size()));
  EXPECT_FALSE(IsSignedReply(kId, 'C', SignedReply('D', 0).data(), 19));
  EXPECT_FALSE(IsSignedReply(kId + 1, 'D', SignedReply('D', 0).data(), 19));
  Bytes notC = SignedReply('D', 0);
  notC[3] = 'D';
  EXPECT_FALSE(IsSignedReply(kId, 'D', notC.data(), notC.size()));
}

TEST_F(Recognition, DiscoveryStatus) {
  EXPECT_TRUE(IsDiscoveryStatus(Status(kId).data(), 28));
  EXPECT_FALSE(IsDiscoveryStatus(Status(0xFFFFFFFF).data(), 28));
  EXPECT_FALSE(IsDiscoveryStatus(Status(0x21310042).data(), 28));  // class nibble 2
  EXPECT_FALSE(IsDiscoveryStatus(Status(0x41310042).data(), 28));  // class nibble 4
  // Family is not part of this rule, only the class nibble.
  EXPECT_TRUE(IsDiscoveryStatus(Status(0x30010001).data(), 28));

  Bytes badCrc = Status(kId);
  badCrc[10] ^= 0x40;
  EXPECT_FALSE(IsDiscoveryStatus(badCrc.data(), 28));
  Bytes notO = Status(kId);
  notO[3] = 'K';
  PutU32(notO.data() + 24, FrameCrc(notO.data(), 24));
  EXPECT_FALSE(IsDiscoveryStatus(notO.data(), 28));

  Bytes longer = Status(kId);
  longer.push_back(0);
  EXPECT_FALSE(IsDiscoveryStatus(longer.data(), 29));
  EXPECT_FALSE(IsDiscoveryStatus(Status(kId).data(), 27));
  const auto echo = DiscoveryRequest();  // our own broadcast coming back
  EXPECT_FALSE(IsDiscoveryStatus(echo.data(), echo.size()));
  EXPECT_FALSE(IsDiscoveryStatus(nullptr, 0));
  // The status marker "1" is not checked during discovery.
  Bytes noMarker(28);
  Bytes payload(16, 0);
  BuildPlainFrame('O', kId, payload.data(), 16, noMarker.data());
  EXPECT_TRUE(IsDiscoveryStatus(noMarker.data(), 28));
}

}  // namespace
}  // namespace zav
