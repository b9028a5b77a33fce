// The plain and signed command paths, sessions and the configuration reads and writes, driven by
// a scripted controller whose every answer comes from the fuzz input.
//
// Input: a 16-bit length, then that many bytes of operations (mode byte, flags, operations),
// then the answer groups, one taken for every datagram the tool sends.
#include <cstring>
#include <stdexcept>
#include <vector>

#include "config/lift_config.h"
#include "config/passage_config.h"
#include "fuzz/fuzz_support.h"
#include "link/link.h"
#include "link/udpdev.h"
#include "link/uerr.h"

namespace zav::fuzz {

namespace {

constexpr DeviceId kId = 0x31310042;       // K105_00066
constexpr std::uint32_t kIp = 0x0A000002;  // 10.0.0.2, never leaves the scripted network
constexpr int kMaxOps = 48;
constexpr std::size_t kMaxReplyBody = 9000;  // a little beyond the receive buffer

// Bit masks of the error codes each operation may raise.
constexpr unsigned Codes(std::initializer_list<int> codes) {
  unsigned m = 0;
  for (int c : codes) m |= 1u << c;
  return m;
}

struct Session {
  Net net;
  UdpDev dev{kId, kIp, 2};
  BusDeviceTable table;
  PassageConfig passages{table};
  LiftConfig lift{table};
  Reader replies{nullptr, 0};
  int lastSeq = -1;
  // Payloads of the signed requests of one operation, letter by letter.
  std::vector<std::pair<char, std::vector<std::uint8_t>>> signedSent;

  explicit Session(Reader script) : replies(script) {
    net.ep.onSend = [this](const testing::Datagram& d) { OnSend(d); };
  }

  void OnSend(const testing::Datagram& d) {
    const std::vector<std::uint8_t>& b = d.bytes;
    ZAV_FUZZ_CHECK(d.port == kPort);
    ZAV_FUZZ_CHECK(d.addr == IpText(kIp));
    ZAV_FUZZ_CHECK(b.size() >= kPlainOverhead);
    ZAV_FUZZ_CHECK(b[0] == 'M' && b[1] == 'M' && b[2] == 'D');
    ZAV_FUZZ_CHECK(GetU32(b.data() + 4) == dev.id);
    if (b[3] == 'C') {
      // Every signed request is signed with the session key and numbered one above the last.
      ZAV_FUZZ_CHECK(b.size() >= kSignedOverhead);
      const std::uint16_t seq = GetU16(b.data() + 8);
      ZAV_FUZZ_CHECK(seq == dev.seq);
      ZAV_FUZZ_CHECK(seq == 1 || lastSeq < 0 || seq == ((lastSeq + 1) & 0xFFFF));
      lastSeq = seq;
      static SigningContext check;
      check.aes.SetKey(dev.key, sizeof dev.key);
      std::uint8_t sig[8];
      FrameSignature(check, b.data(), b.size() - 8, sig);
      ZAV_FUZZ_CHECK(std::memcmp(sig, b.data() + b.size() - 8, 8) == 0);
      signedSent.emplace_back(static_cast<char>(b[10]),
                              std::vector<std::uint8_t>(b.begin() + 11, b.end() - 8));
    } else {
      ZAV_FUZZ_CHECK(FrameCrc(b.data(), b.size() - 4) == GetU32(b.data() + b.size() - 4));
    }
    const int n = replies.U8() & 3;
    for (int i = 0; i < n && !replies.Empty(); ++i) {
      const std::uint8_t ctrl = replies.U8();
      std::size_t len = replies.U16();
      if (len > kMaxReplyBody) len = kMaxReplyBody;
      const auto body = replies.Bytes(len);
      auto frame = FrameReply(static_cast<Framing>(ctrl & 3), b, dev.key, body);
      net.ep.Queue(std::move(frame), IpText(kIp), kDelays[(ctrl >> 2) & 3]);
    }
  }

  // The 'c' payloads of the last operation, one per block (retries repeat a block).
  std::vector<std::vector<std::uint8_t>> WrittenBlocks() const {
    std::vector<std::vector<std::uint8_t>> out;
    for (const auto& [letter, payload] : signedSent) {
      if (letter != 'c') continue;
      if (!out.empty() && out.back() == payload) continue;
      out.push_back(payload);
    }
    return out;
  }
};

std::vector<std::uint8_t> Block(std::uint8_t kind, std::uint8_t index, const std::uint8_t* data,
                                std::size_t n) {
  std::vector<std::uint8_t> v(n + 2);
  v[0] = kind;
  v[1] = index;
  std::memcpy(v.data() + 2, data, n);
  return v;
}

void CheckPassageWrite(const Session& s) {
  const auto blocks = s.WrittenBlocks();
  const int n = s.passages.loadedCount;
  ZAV_FUZZ_CHECK(static_cast<int>(blocks.size()) == 1 + n);
  std::uint8_t img[kRecordLen];
  s.passages.controllerIo.Encode(img);
  ZAV_FUZZ_CHECK(blocks[0] == Block(kControllerIoKind, 0, img, kControllerIoDataLen));
  for (int i = 0; i < n; ++i) {
    s.passages.passages[i].Encode(img);
    ZAV_FUZZ_CHECK(blocks[1 + i] == Block(1, static_cast<std::uint8_t>(i), img, kRecordLen));
  }
}

void CheckLiftWrite(const Session& s) {
  const auto blocks = s.WrittenBlocks();
  ZAV_FUZZ_CHECK(blocks.size() == 1);
  std::uint8_t img[kRecordLen];
  s.lift.Encode(img);
  ZAV_FUZZ_CHECK(blocks[0] == Block(kLiftKind, 0, img, kRecordLen));
}

void RunOp(Session& s, Reader& ops) {
  UdpDev& dev = s.dev;
  const std::uint8_t op = ops.U8() % 17;
  s.signedSent.clear();
  unsigned allowed = 0;
  try {
    switch (op) {
      case 0: {
        const bool ok = dev.PollStatus();
        ZAV_FUZZ_CHECK(ok == dev.available);
        // A controller that shows no session at all cannot hold ours.
        if (ok && !(dev.mode & 0x80)) ZAV_FUZZ_CHECK(!dev.session);
        break;
      }
      case 1:
        allowed = Codes({3});
        dev.OpenSession();
        ZAV_FUZZ_CHECK(dev.session && dev.seq == 0);
        ++Reached().sessionsOpened;
        break;
      case 2:
        allowed = Codes({1, 2, 3});
        dev.EnsureSession();
        ZAV_FUZZ_CHECK(dev.session && dev.available);
        break;
      case 3: {
        allowed = Codes({1, 2, 3, 4, 5, 6});
        std::uint8_t reply[kMaxBlock];
        const int len = dev.ReadDevices(reply);
        ZAV_FUZZ_CHECK(len >= -1 && len <= kMaxBlock);
        if (len >= 0) {
          const bool ok = s.table.Decode(reply, len);
          CheckTable(s.table);
          if (ok) {
            ++Reached().tablesAccepted;
            ZAV_FUZZ_CHECK(!s.table.Differs(reply, len));
          }
        }
        break;
      }
      case 4:
        allowed = Codes({3, 4, 5, 6});
        s.table.Refresh(dev);
        CheckTable(s.table);
        break;
      case 5:
        allowed = Codes({1, 2, 3, 4, 5, 6});
        s.passages.Read(dev);
        if (s.passages.complete) {
          ZAV_FUZZ_CHECK(s.passages.loadedCount == s.passages.PassageCount());
          ++Reached().passageReadsComplete;
        }
        break;
      case 6:
        allowed = Codes({1, 2, 3, 4, 5, 6, 7});
        if (s.passages.Write(dev)) {
          CheckPassageWrite(s);
          ++Reached().configWrites;
        } else {
          ZAV_FUZZ_CHECK(s.signedSent.empty());
        }
        break;
      case 7:
        allowed = Codes({1, 2, 3, 4, 5, 6});
        s.lift.Read(dev);
        if (s.lift.complete) ++Reached().liftReadsComplete;
        break;
      case 8:
        allowed = Codes({1, 2, 3, 4, 5, 6, 7});
        if (s.lift.Write(dev)) {
          CheckLiftWrite(s);
          ++Reached().configWrites;
        } else {
          ZAV_FUZZ_CHECK(s.signedSent.empty());
        }
        break;
      case 9:
        allowed = Codes({4, 5, 6, 7});
        dev.KeepAlive();
        break;
      case 10:
        allowed = Codes({4, 5, 6, 7});
        dev.CloseSession();
        break;
      case 11:
        allowed = Codes({1, 2, 3, 4, 5, 6, 7});
        dev.DeleteInactive();
        break;
      case 12:
        allowed = Codes({1, 2, 3, 4, 5, 6, 7});
        dev.ReplaceDevice(ops.U16());
        break;
      case 13: {
        allowed = Codes({7});
        std::uint8_t block[528];
        const auto b = ops.Bytes(8);
        std::memset(block, 0x5A, sizeof block);
        if (!b.empty()) std::memcpy(block, b.data(), b.size());
        dev.SendFirmwareBlock(ops.U16(), block);
        break;
      }
      case 14: {
        // Any plain letter but the one that marks signed frames.
        char letter = static_cast<char>(ops.U8());
        if (letter == 'C') letter = 'c';
        const auto payload = ops.Bytes(ops.U8() % 40);
        const std::size_t max = ops.U16() % 1500;
        std::vector<std::uint8_t> out(max);
        const int m = dev.Command(letter, payload.data(), payload.size(), max, out.data());
        ZAV_FUZZ_CHECK(m >= 0 && m <= kRecvBuffer - static_cast<int>(kPlainOverhead));
        break;
      }
      case 15: {
        allowed = Codes({4, 5, 6});
        const char letter = static_cast<char>(ops.U8());
        const auto payload = ops.Bytes(ops.U8() % 40);
        const std::size_t max = ops.U16() % 1500;
        std::vector<std::uint8_t> out(max);
        const int m = dev.SignedCommand(letter, payload.data(), payload.size(), max, out.data());
        ZAV_FUZZ_CHECK(m >= 0 && static_cast<std::size_t>(m) <= max);
        ++Reached().signedReplies;
        break;
      }
      case 16: {
        allowed = Codes({4, 5, 6, 7});
        const std::uint8_t kind = ops.U8();
        const auto block = ops.Bytes(ops.U8());
        std::size_t k = block.size();
        // Now and then a block longer than the request area, which must be refused.
        if (ops.Bit()) k = kMaxBlock - 2 + (ops.U8() & 3);
        std::vector<std::uint8_t> area(k, 0x33);
        if (!block.empty()) std::memcpy(area.data(), block.data(), std::min(k, block.size()));
        try {
          dev.WriteConfig(kind, ops.U8(), area.data(), k);
          ZAV_FUZZ_CHECK(k <= static_cast<std::size_t>(kMaxBlock) - 2);
        } catch (const std::length_error&) {
          ZAV_FUZZ_CHECK(k > static_cast<std::size_t>(kMaxBlock) - 2);
        }
        break;
      }
    }
  } catch (const UErr& e) {
    ZAV_FUZZ_CHECK(e.dev == &dev);
    ZAV_FUZZ_CHECK(e.code >= 1 && e.code <= 7);
    ZAV_FUZZ_CHECK((allowed & (1u << e.code)) != 0);
    ZAV_FUZZ_CHECK(!UErrText(e).empty());
  }
}

}  // namespace

int FuzzLink(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  const std::size_t opsLen = in.U16();
  Reader ops = in.Sub(opsLen);
  Session s(in);
  s.dev.mode = ops.U8();
  const std::uint8_t flags = ops.U8();
  s.dev.available = (flags & 1) != 0;
  if (flags & 2) {
    // A session left open before this run; its key is whatever the input says.
    s.dev.session = true;
    const auto key = ops.Bytes(16);
    if (!key.empty()) std::memcpy(s.dev.key, key.data(), key.size());
    s.dev.seq = ops.U16();
  }
  for (int i = 0; i < kMaxOps && !ops.Empty(); ++i) RunOp(s, ops);
  ZAV_FUZZ_CHECK(!s.dev.ListLine().empty());
  return 0;
}

}  // namespace zav::fuzz
