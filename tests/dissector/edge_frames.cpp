// Writes a capture (classic pcap, Ethernet) of hand-made datagrams for the dissector's edge cases,
// framed, checksummed and signed by the link's own code:
//   - tool A opens a session, then tool B opens one with the same controller, whose replies to
//     A are then signed with B's key (the signature must fail);
//   - a refused session, a refused block write (NAK), a request sent again, a device table
//     shorter than its count, a time stamp, short datagrams and one that is not the protocol.
//   zav_dissector_edge_frames OUT.pcap
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "link/cmac.h"
#include "link/wire.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kToolA = 0x0A4D0001;  // 10.77.0.1
constexpr std::uint32_t kToolB = 0x0A4D0002;  // 10.77.0.2
constexpr std::uint32_t kCtl = 0x0A4D000B;    // 10.77.0.11
constexpr zav::DeviceId kId = 0x313400CA;     // K108_00202

struct Key {
  std::uint8_t bytes[16];
};

class PcapWriter {
 public:
  explicit PcapWriter(const char* path) : f_(std::fopen(path, "wb")) {
    if (!f_) return;
    std::uint8_t h[24] = {};
    zav::PutU32(h, 0xA1B2C3D4);
    zav::PutU16(h + 4, 2);
    zav::PutU16(h + 6, 4);
    zav::PutU32(h + 16, 65535);
    zav::PutU32(h + 20, 1);  // Ethernet
    std::fwrite(h, 1, sizeof h, f_);
  }
  ~PcapWriter() {
    if (f_) std::fclose(f_);
  }
  bool ok() const { return f_ != nullptr; }

  // One UDP datagram 45389 -> 45389, 10 ms after the previous one.
  void Add(std::uint32_t from, std::uint32_t to, const Bytes& payload) {
    Bytes frame(14, 0);
    frame[12] = 0x08;  // IPv4
    std::uint8_t ip[20] = {0x45, 0, 0, 0, 0, 0, 0x40, 0, 64, 17};
    PutBe16(ip + 2, static_cast<std::uint16_t>(20 + 8 + payload.size()));
    PutBe32(ip + 12, from);
    PutBe32(ip + 16, to);
    std::uint32_t sum = 0;
    for (int i = 0; i < 20; i += 2) sum += static_cast<std::uint32_t>(ip[i] << 8 | ip[i + 1]);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    PutBe16(ip + 10, static_cast<std::uint16_t>(~sum));
    frame.insert(frame.end(), ip, ip + 20);
    std::uint8_t udp[8] = {};
    PutBe16(udp, zav::kPort);
    PutBe16(udp + 2, zav::kPort);
    PutBe16(udp + 4, static_cast<std::uint16_t>(8 + payload.size()));  // checksum 0: none
    frame.insert(frame.end(), udp, udp + 8);
    frame.insert(frame.end(), payload.begin(), payload.end());

    usec_ += 10000;
    std::uint8_t rec[16];
    zav::PutU32(rec, 1700000000 + usec_ / 1000000);
    zav::PutU32(rec + 4, usec_ % 1000000);
    zav::PutU32(rec + 8, static_cast<std::uint32_t>(frame.size()));
    zav::PutU32(rec + 12, static_cast<std::uint32_t>(frame.size()));
    std::fwrite(rec, 1, sizeof rec, f_);
    std::fwrite(frame.data(), 1, frame.size(), f_);
  }

 private:
  static void PutBe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
  }
  static void PutBe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
  }
  std::FILE* f_;
  std::uint32_t usec_ = 0;
};

Bytes Plain(char letter, const Bytes& payload = {}) {
  Bytes out(payload.size() + zav::kPlainOverhead);
  zav::BuildPlainFrame(letter, kId, payload.data(), payload.size(), out.data());
  return out;
}

// A signed frame; reply frames carry the letter with bit 7 set.
Bytes Signed(const Key& key, std::uint16_t seq, std::uint8_t letter, const Bytes& payload = {}) {
  Bytes out(payload.size() + zav::kSignedOverhead);
  zav::BuildSignedFrameBody(kId, seq, static_cast<char>(letter), payload.data(), payload.size(),
                            out.data());
  zav::SigningContext ctx;
  ctx.aes.SetKey(key.bytes);
  zav::FrameSignature(ctx, out.data(), payload.size() + 11, out.data() + payload.size() + 11);
  return out;
}

Key SessionKey(const Bytes& r) {
  Key k;
  std::memcpy(k.bytes, r.data(), 16);
  zav::SigningContext ctx;
  zav::DeriveSessionKey(ctx, k.bytes);
  return k;
}

Bytes DeviceTable(std::uint16_t count, std::initializer_list<std::pair<std::uint32_t, std::uint8_t>>
                                           entries) {
  Bytes t(6, 0);
  zav::PutU16(t.data(), count);
  t[2] = 0x28;  // door controller, 8 passages
  for (const auto& [id, state] : entries) {
    std::uint8_t e[12] = {};
    zav::PutU32(e, id);
    e[4] = 1;      // suffix number
    e[5] = state;  // a1
    t.insert(t.end(), e, e + 12);
  }
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zav_dissector_edge_frames OUT.pcap\n");
    return 2;
  }
  PcapWriter pcap(argv[1]);
  if (!pcap.ok()) {
    std::perror(argv[1]);
    return 1;
  }
  const Bytes rA = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const Bytes rB = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7,
                    0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF};
  const Key keyA = SessionKey(rA);
  const Key keyB = SessionKey(rB);
  constexpr std::uint8_t kReply = 0x80;

  // 1-4: tool A opens a session and reads the device table: the controller, an empty slot and
  // an inactive reader.
  pcap.Add(kToolA, kCtl, Plain('K'));
  pcap.Add(kCtl, kToolA, Plain('K', rA));
  pcap.Add(kToolA, kCtl, Signed(keyA, 1, 'D'));
  pcap.Add(kCtl, kToolA,
           Signed(keyA, 1, 'D' | kReply,
                  DeviceTable(3, {{kId, 0x00}, {0xFFFF0000, 0x00}, {0x00050007, 0x80}})));
  // 5-6: tool B opens its own session with the same controller.
  pcap.Add(kToolB, kCtl, Plain('K'));
  pcap.Add(kCtl, kToolB, Plain('K', rB));
  // 7-8: A's keep-alive is signed with A's key; the controller answers with B's.
  pcap.Add(kToolA, kCtl, Signed(keyA, 2, 'S'));
  pcap.Add(kCtl, kToolA, Signed(keyB, 2, 'S' | kReply, {6}));
  // 9-10: A asks for a new session and is refused (empty answer).
  pcap.Add(kToolA, kCtl, Plain('K'));
  pcap.Add(kCtl, kToolA, Plain('K'));
  // 11-12: a block write under A's key, refused by the controller.
  Bytes write = {1, 3};
  Bytes record(104, 0);
  std::memcpy(record.data() + 88, "Brama", 5);
  write.insert(write.end(), record.begin(), record.end());
  pcap.Add(kToolA, kCtl, Signed(keyA, 3, 'c', write));
  pcap.Add(kCtl, kToolA, Signed(keyA, 3, 'c' | kReply, {0x15}));
  // 13-15: a status poll sent twice, answered once: mode 2 with a session held.
  pcap.Add(kToolA, kCtl, Plain('O'));
  pcap.Add(kToolA, kCtl, Plain('O'));
  pcap.Add(kCtl, kToolA, Plain('O', {0, 0, 0x82, '1', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  // 16-17: a device table that announces 10 entries and carries 1.
  pcap.Add(kToolA, kCtl, Signed(keyA, 4, 'D'));
  pcap.Add(kCtl, kToolA, Signed(keyA, 4, 'D' | kReply, DeviceTable(10, {{kId, 0x00}})));
  // 18: a time stamp of 2023-11-14 22:13:20 UTC.
  pcap.Add(kToolA, kCtl, Plain('T', {0x00, 0xF1, 0x53, 0x65}));
  // 19-21: not the protocol, a plain frame of 6 bytes, a signed frame of 15 bytes.
  pcap.Add(kToolA, kCtl, {'H', 'E', 'L', 'L', 'O', '!', 0, 0, 0, 0, 0, 0});
  pcap.Add(kToolA, kCtl, {'M', 'M', 'D', 'O', 0xCA, 0x00});
  pcap.Add(kToolA, kCtl, Bytes{'M', 'M', 'D', 'C', 0xCA, 0x00, 0x34, 0x31, 5, 0, 'S', 0, 0, 0, 0});
  return 0;
}
