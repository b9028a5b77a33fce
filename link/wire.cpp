#include "link/wire.h"

#include <cstdio>
#include <cstring>

namespace zav {

namespace {

constexpr std::uint32_t kCrcPoly = 0x04C11DB7;

// One entry per value of the register's top byte: the eight shift-and-XOR steps done at once.
constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t r = i << 24;
    for (int k = 0; k < 8; ++k) r = (r & 0x80000000u) ? (r << 1) ^ kCrcPoly : (r << 1);
    t[i] = r;
  }
  return t;
}

constexpr auto kCrcTable = MakeCrcTable();

constexpr std::uint8_t kMagic[3] = {'M', 'M', 'D'};

bool StartsWith(const std::uint8_t* d, const char (&tag)[5]) {
  return d[0] == static_cast<std::uint8_t>(tag[0]) && d[1] == static_cast<std::uint8_t>(tag[1]) &&
         d[2] == static_cast<std::uint8_t>(tag[2]) && d[3] == static_cast<std::uint8_t>(tag[3]);
}

}  // namespace

std::uint32_t FrameCrc(const std::uint8_t* bytes, std::size_t n) {
  std::uint32_t r = 0xFFFFFFFF;
  for (std::size_t i = 0; i < n; ++i) r = (r << 8) ^ kCrcTable[((r >> 24) ^ bytes[i]) & 0xFF];
  return r;
}

std::string DevName(DeviceId id) {
  // Made by hand rather than with snprintf: lists, reports and backups name every device.
  // The model is below 100 and the serial below 65536, so the name is always ten characters:
  // "%c%02d_%05u" of the family letter, model + 100 and the serial.
  static constexpr char kLetters[] = "RTZKCKFD???";
  // Family is at most 1023 / 100 = 10, inside the table.
  char buf[10];
  buf[0] = kLetters[Family(id)];
  unsigned model = Model(id) + 100;
  for (int i = 3; i >= 1; --i, model /= 10) buf[i] = static_cast<char>('0' + model % 10);
  buf[4] = '_';
  unsigned serial = Serial(id);
  for (int i = 9; i >= 5; --i, serial /= 10) buf[i] = static_cast<char>('0' + serial % 10);
  return std::string(buf, sizeof buf);
}

std::string IpText(std::uint32_t addr) {
  // Made by hand rather than with snprintf: every command's send starts here.
  char buf[16];
  char* p = buf;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const unsigned octet = (addr >> shift) & 0xFF;
    if (octet >= 100) *p++ = static_cast<char>('0' + octet / 100);
    if (octet >= 10) *p++ = static_cast<char>('0' + octet / 10 % 10);
    *p++ = static_cast<char>('0' + octet % 10);
    if (shift > 0) *p++ = '.';
  }
  return std::string(buf, p);
}

std::uint32_t ParseIp(std::string_view text) {
  // Parts wrap modulo 2^32 like the sum they go into; a stray character ends the parse, so a
  // trailing ":port" or garbage leaves the parts read so far.
  std::uint32_t part[4] = {0, 0, 0, 0};
  int idx = 0;
  for (char ch : text) {
    if (ch >= '0' && ch <= '9') {
      part[idx] = part[idx] * 10u + static_cast<std::uint32_t>(ch - '0');
    } else if (ch == '.' && idx < 3) {
      ++idx;
    } else {
      break;
    }
  }
  return (part[0] << 24) + (part[1] << 16) + (part[2] << 8) + part[3];
}

std::size_t BuildPlainFrame(char letter, DeviceId id, const std::uint8_t* payload, std::size_t n,
                            std::uint8_t* out) {
  std::memcpy(out, kMagic, 3);
  out[3] = static_cast<std::uint8_t>(letter);
  PutU32(out + 4, id);
  if (n != 0) std::memcpy(out + 8, payload, n);
  PutU32(out + 8 + n, FrameCrc(out, 8 + n));
  return n + kPlainOverhead;
}

std::size_t BuildSignedFrameBody(DeviceId id, std::uint16_t seq, char letter,
                                 const std::uint8_t* payload, std::size_t n, std::uint8_t* out) {
  std::memcpy(out, kMagic, 3);
  out[3] = 'C';
  PutU32(out + 4, id);
  PutU16(out + 8, seq);
  out[10] = static_cast<std::uint8_t>(letter);
  if (n != 0) std::memcpy(out + 11, payload, n);
  return n + kSignedOverhead;
}

std::array<std::uint8_t, 12> DiscoveryRequest() {
  std::array<std::uint8_t, 12> f{};
  BuildPlainFrame('O', kBroadcastId, nullptr, 0, f.data());
  return f;
}

std::array<std::uint8_t, 16> TimeStampFrame(DeviceId id, std::uint32_t utcSeconds) {
  std::array<std::uint8_t, 4> secs{};
  PutU32(secs.data(), utcSeconds);
  std::array<std::uint8_t, 16> f{};
  BuildPlainFrame('T', id, secs.data(), secs.size(), f.data());
  return f;
}

bool IsPlainReply(const std::uint8_t* request, DeviceId id, const std::uint8_t* d,
                  std::size_t len) {
  if (len < kPlainOverhead) return false;
  return std::memcmp(d, request, 4) == 0 && GetU32(d + 4) == id;
}

bool IsSignedReply(DeviceId id, char letter, const std::uint8_t* d, std::size_t len) {
  if (len < kSignedOverhead) return false;
  return StartsWith(d, "MMDC") && GetU32(d + 4) == id &&
         d[10] == (static_cast<std::uint8_t>(letter) | 0x80);
}

bool IsDiscoveryStatus(const std::uint8_t* d, std::size_t len) {
  if (len != kStatusReplyLen) return false;
  if (!StartsWith(d, "MMDO")) return false;
  if (FrameCrc(d, 24) != GetU32(d + 24)) return false;
  const DeviceId id = GetU32(d + 4);
  return id != kBroadcastId && ClassNibble(id) == 3;
}

}  // namespace zav
