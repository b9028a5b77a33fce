// Byte layouts of every datagram exchanged with a controller, the frame checksum,
// identifiers and their printed names, and IPv4 address text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zav {

using DeviceId = std::uint32_t;

inline constexpr std::uint16_t kPort = 45389;
inline constexpr int kRecvWindowMs = 200;    // one receive window
inline constexpr int kAttemptLimitMs = 300;  // an attempt gives up after this
inline constexpr int kAttempts = 3;          // attempts when the controller is available
inline constexpr int kMaxBlock = 1400;       // largest payload of "D" and "C"
inline constexpr int kRecvBuffer = 8192;
inline constexpr DeviceId kBroadcastId = 0xFFFFFFFF;
inline constexpr std::size_t kPlainOverhead = 12;   // "MMD" letter id ... crc
inline constexpr std::size_t kSignedOverhead = 19;  // "MMDC" id seq letter ... signature
inline constexpr std::size_t kStatusReplyLen = 28;

// Little-endian access.
inline void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline std::uint16_t GetU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t GetU32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

// DeviceId fields.
inline constexpr unsigned Serial(DeviceId id) {
  return id & 0xFFFF;
}
inline constexpr unsigned TypeNumber(DeviceId id) {
  return (id >> 16) & 0x3FF;
}
inline constexpr unsigned Family(DeviceId id) {
  return TypeNumber(id) / 100;
}
inline constexpr unsigned Model(DeviceId id) {
  return TypeNumber(id) % 100;
}
inline constexpr unsigned SubField(DeviceId id) {
  return (id >> 26) & 0x3;
}  // letter A..D
inline constexpr unsigned ClassNibble(DeviceId id) {
  return id >> 28;
}
inline constexpr std::uint32_t OrderKey(DeviceId id) {
  return id & 0x3FFFFFF;
}
inline constexpr bool IsController(DeviceId id) {
  return Family(id) == 3;
}

// CRC-32/MPEG-2 over n bytes; 0xFFFFFFFF for n == 0.
std::uint32_t FrameCrc(const std::uint8_t* bytes, std::size_t n);

// "%c%02d_%05u": family letter, model + 100, serial.
std::string DevName(DeviceId id);

// "%d.%d.%d.%d" with the first octet in the top byte.
std::string IpText(std::uint32_t addr);

// Four dot-separated decimal numbers combined as a*2^24 + b*2^16 + c*2^8 + d.
// Never reads past the text; a text that is not of that shape yields what it could parse
// (missing parts count as 0).
std::uint32_t ParseIp(std::string_view text);

// Plain frame: "MMD" letter id payload crc. Writes n + 12 bytes to out, returns that length.
std::size_t BuildPlainFrame(char letter, DeviceId id, const std::uint8_t* payload, std::size_t n,
                            std::uint8_t* out);

// Signed frame without its signature: "MMDC" id seq letter payload. Writes n + 11 bytes and
// leaves room for the 8-byte signature at out + n + 11. Returns n + 19.
std::size_t BuildSignedFrameBody(DeviceId id, std::uint16_t seq, char letter,
                                 const std::uint8_t* payload, std::size_t n, std::uint8_t* out);

// The discovery request: "MMDO" to 0xFFFFFFFF, always 4D 4D 44 4F FF FF FF FF F8 F3 14 64.
std::array<std::uint8_t, 12> DiscoveryRequest();

// Time stamp "MMDT" id seconds crc (16 bytes).
std::array<std::uint8_t, 16> TimeStampFrame(DeviceId id, std::uint32_t utcSeconds);

// Reply recognition rules. They look only at framing, never at checksum or signature.
bool IsPlainReply(const std::uint8_t* request, DeviceId id, const std::uint8_t* d, std::size_t len);
bool IsSignedReply(DeviceId id, char letter, const std::uint8_t* d, std::size_t len);
bool IsDiscoveryStatus(const std::uint8_t* d, std::size_t len);

}  // namespace zav
