#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "link/link.h"
#include "link/wire.h"

namespace zav::fuzz {

const std::vector<Target>& Targets() {
  static const std::vector<Target> kTargets = {
      {"link", FuzzLink},       {"collect", FuzzCollect},  {"device_table", FuzzDeviceTable},
      {"records", FuzzRecords}, {"parse_ip", FuzzParseIp}, {"time_text", FuzzTimeText},
      {"cp1250", FuzzCp1250},   {"backup", FuzzBackup},
  };
  return kTargets;
}

void Append(std::vector<std::uint8_t>& v, const std::uint8_t* p, std::size_t n) {
  const std::size_t at = v.size();
  v.resize(at + n);
  if (n != 0) std::memcpy(v.data() + at, p, n);
}

void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", what, file, line);
  std::fflush(stderr);
  std::abort();
}

std::uint8_t Reader::U8() {
  if (left_ == 0) return 0;
  --left_;
  return *p_++;
}

std::uint16_t Reader::U16() {
  const std::uint8_t lo = U8();
  return static_cast<std::uint16_t>(lo | (U8() << 8));
}

std::uint32_t Reader::U32() {
  const std::uint32_t lo = U16();
  return lo | (std::uint32_t{U16()} << 16);
}

std::vector<std::uint8_t> Reader::Bytes(std::size_t n) {
  if (n > left_) n = left_;
  std::vector<std::uint8_t> out(p_, p_ + n);
  p_ += n;
  left_ -= n;
  return out;
}

std::string Reader::Text(std::size_t n) {
  const auto b = Bytes(n);
  return std::string(b.begin(), b.end());
}

Reader Reader::Sub(std::size_t n) {
  if (n > left_) n = left_;
  Reader r(p_, n);
  p_ += n;
  left_ -= n;
  return r;
}

Reach& Reached() {
  static Reach r;
  return r;
}

std::vector<std::uint8_t> FrameReply(Framing framing, const std::vector<std::uint8_t>& request,
                                     const std::uint8_t* sessionKey,
                                     const std::vector<std::uint8_t>& body) {
  if (framing == Framing::Raw) return body;
  std::uint8_t head[11] = {'M', 'M', 'D', 0, 0, 0, 0, 0, 0, 0, 0};
  for (std::size_t i = 0; i < 11 && i < request.size(); ++i) head[i] = request[i];
  std::vector<std::uint8_t> d;
  if (framing == Framing::Plain) {
    d.assign(head, head + 8);
    Append(d, body);
    const std::uint32_t crc = FrameCrc(d.data(), d.size());
    d.resize(d.size() + 4);
    PutU32(d.data() + d.size() - 4, crc);
    return d;
  }
  // A signed answer echoes the request's letter with bit 7 set; a plain request carries its
  // letter at offset 3 instead.
  const bool signedRequest = request.size() >= 11 && head[3] == 'C';
  const std::uint8_t letter = signedRequest ? head[10] : head[3];
  d.assign({'M', 'M', 'D', 'C', head[4], head[5], head[6], head[7], head[8], head[9],
            static_cast<std::uint8_t>(letter | 0x80)});
  Append(d, body);
  static SigningContext ctx;  // the controller's own, apart from the tool's
  std::uint8_t key[16] = {};
  if (framing == Framing::Signed && sessionKey) std::memcpy(key, sessionKey, sizeof key);
  if (framing == Framing::BadSigned) key[0] = static_cast<std::uint8_t>(sessionKey[0] ^ 0x5A);
  ctx.aes.SetKey(key, sizeof key);
  std::uint8_t sig[8];
  FrameSignature(ctx, d.data(), d.size(), sig);
  Append(d, sig, 8);
  return d;
}

Net::Net() {
  Link::Use(&ep, &clock);
}

Net::~Net() {
  Link::Use(nullptr, nullptr);
}

bool IsUtf8(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t len = 0;
    if (c < 0x80) {
      len = 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
    } else {
      return false;
    }
    if (i + len > s.size()) return false;
    for (std::size_t k = 1; k < len; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += len;
  }
  return true;
}

void CheckTable(const BusDeviceTable& t) {
  ZAV_FUZZ_CHECK(t.count >= 0 && t.count <= kMaxBusDevices);
  ZAV_FUZZ_CHECK(t.activeCount >= 0 && t.activeCount <= t.count);
  if (t.passageCount == 0) {
    ZAV_FUZZ_CHECK(t.count == 0 && t.activeCount == 0);
    return;
  }
  ZAV_FUZZ_CHECK((t.controllerKind == 1 &&
                  (t.passageCount == 2 || t.passageCount == 8 || t.passageCount == 16)) ||
                 (t.controllerKind == 2 && t.passageCount == 1));
  // The order holds every active position once, in display order.
  bool seen[kMaxBusDevices] = {};
  int active = 0;
  for (int i = 0; i < t.count; ++i) active += IsEmptySlot(t.devices[i].id) ? 0 : 1;
  ZAV_FUZZ_CHECK(active == t.activeCount);
  for (int j = 0; j < t.activeCount; ++j) {
    const int pos = t.order[j];
    ZAV_FUZZ_CHECK(pos < t.count);
    ZAV_FUZZ_CHECK(!IsEmptySlot(t.devices[pos].id));
    ZAV_FUZZ_CHECK(!seen[pos]);
    seen[pos] = true;
    if (j + 1 < t.activeCount) {
      const DeviceId left = t.devices[pos].id;
      const DeviceId right = t.devices[t.order[j + 1]].id;
      // Only a controller on the left may stand before a smaller key.
      ZAV_FUZZ_CHECK(IsController(left) || OrderKey(left) <= OrderKey(right));
    }
  }
  for (int i = 0; i < t.count; ++i) {
    const BusDevice& d = t.devices[i];
    ZAV_FUZZ_CHECK(d.outputs <= 31 && d.inputs <= 31 && d.readers <= 3 && d.outputSets <= 3);
    ZAV_FUZZ_CHECK(d.outputs == 0 || d.outputSets == 0);
  }
}

void AppendReplyGroup(std::vector<std::uint8_t>& out, const std::vector<ScriptedReply>& group) {
  out.push_back(static_cast<std::uint8_t>(group.size()));
  for (const ScriptedReply& r : group) {
    out.push_back(
        static_cast<std::uint8_t>(static_cast<unsigned>(r.framing) | ((r.delayIndex & 3u) << 2)));
    out.push_back(static_cast<std::uint8_t>(r.body.size()));
    out.push_back(static_cast<std::uint8_t>(r.body.size() >> 8));
    Append(out, r.body);
  }
}

}  // namespace zav::fuzz
