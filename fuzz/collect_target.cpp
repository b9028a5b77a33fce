// Discovery: any datagrams from any sender text reach Collect (or a whole Search), over a set
// that may already hold up to 100 controllers.
//
// Input: preset count, selected slot, flags, then datagrams: control byte, sender text, and
// either a status reply made from an identifier and a block, or raw bytes.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "link/link.h"
#include "link/udpdevset.h"

namespace zav::fuzz {

namespace {

constexpr int kMaxDatagrams = 300;
constexpr std::uint64_t kCollectDelays[4] = {0, 0, 150, 250};

struct Received {
  std::vector<std::uint8_t> bytes;
  std::string from;
};

// Keeps what the code under test took from the network, in the order it took it.
class RecordingEndpoint : public testing::ScriptedEndpoint {
 public:
  using ScriptedEndpoint::ScriptedEndpoint;
  int Receive(std::uint8_t* buf, std::size_t cap, int waitMs, std::string& fromAddr,
              std::uint16_t& fromPort) override {
    const int n = ScriptedEndpoint::Receive(buf, cap, waitMs, fromAddr, fromPort);
    if (n >= 0) received.push_back({std::vector<std::uint8_t>(buf, buf + n), fromAddr});
    return n;
  }
  std::vector<Received> received;
};

// The discovery rule, written out from the frame layout.
bool ValidStatus(const std::vector<std::uint8_t>& d) {
  if (d.size() != kStatusReplyLen) return false;
  if (d[0] != 'M' || d[1] != 'M' || d[2] != 'D' || d[3] != 'O') return false;
  if (FrameCrc(d.data(), 24) != GetU32(d.data() + 24)) return false;
  const DeviceId id = GetU32(d.data() + 4);
  return id != kBroadcastId && (id >> 28) == 3;
}

DeviceId PresetId(int i) {
  // Distinct identifiers of class 3 whose order keys interleave with fuzzed ones.
  return 0x30000000u | (static_cast<std::uint32_t>(300 + i % 24) << 16) |
         static_cast<std::uint32_t>(i * 613 % 65536);
}

}  // namespace

int FuzzCollect(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  testing::FakeClock clock;
  RecordingEndpoint ep(clock);
  Link::Use(&ep, &clock);
  struct Unhook {
    ~Unhook() { Link::Use(nullptr, nullptr); }
  } unhook;

  UdpDevSet set;
  const int preset = in.U8() % (UdpDevSet::kCapacity + 1);
  for (int i = 0; i < preset; ++i) {
    set.Add(PresetId(i), 0x0A000000u + static_cast<std::uint32_t>(i), 2);
  }
  const std::uint8_t sel = in.U8();
  set.selected = set.count == 0 ? -1 : static_cast<int>(sel % (set.count + 1)) - 1;
  const DeviceId selectedId = set.selected >= 0 ? set.devs[set.selected].id : 0;
  const std::uint8_t flags = in.U8();

  for (int i = 0; i < kMaxDatagrams && !in.Empty(); ++i) {
    const std::uint8_t ctrl = in.U8();
    const std::string from = in.Text(in.U8() % 24);
    std::vector<std::uint8_t> d;
    if (ctrl & 1) {
      DeviceId id = in.U32();
      if (ctrl & 2) id = (id & 0x0FFFFFFF) | 0x30000000;
      d = {'M', 'M', 'D', 'O', 0, 0, 0, 0};
      PutU32(d.data() + 4, id);
      const auto block = in.Bytes(16);
      Append(d, block);
      d.resize(24);
      d.resize(28);
      PutU32(d.data() + 24, FrameCrc(d.data(), 24));
    } else {
      d = in.Bytes(in.U16() % 9000);
    }
    ep.Queue(std::move(d), from, kCollectDelays[(ctrl >> 2) & 3], static_cast<std::uint16_t>(ctrl));
  }

  bool result = false;
  if (flags & 2) {
    set.Search();
  } else {
    result = set.Collect((flags & 1) ? 200 : 0);
  }

  // The set: capacity, order, distinct identifiers of class 3, nothing lost, selection kept.
  ZAV_FUZZ_CHECK(set.count >= preset && set.count <= UdpDevSet::kCapacity);
  for (int i = 0; i < set.count; ++i) {
    const DeviceId id = set.devs[i].id;
    ZAV_FUZZ_CHECK(id != kBroadcastId && (id >> 28) == 3);
    if (i + 1 < set.count) ZAV_FUZZ_CHECK(OrderKey(id) <= OrderKey(set.devs[i + 1].id));
    for (int j = i + 1; j < set.count; ++j) ZAV_FUZZ_CHECK(set.devs[j].id != id);
    ZAV_FUZZ_CHECK(!set.devs[i].ListLine().empty());
  }
  const auto slotOf = [&](DeviceId id) {
    for (int i = 0; i < set.count; ++i) {
      if (set.devs[i].id == id) return i;
    }
    return -1;
  };
  for (int i = 0; i < preset; ++i) ZAV_FUZZ_CHECK(slotOf(PresetId(i)) >= 0);
  if (selectedId != 0) ZAV_FUZZ_CHECK(set.devs[set.selected].id == selectedId);
  for (int i = set.count; i < UdpDevSet::kCapacity; ++i) ZAV_FUZZ_CHECK(set.devs[i].id == 0);

  // Every accepted status reply leaves its controller in the set with the address and mode of
  // its last reply, unless the set was full.
  std::map<DeviceId, const Received*> last;
  for (const Received& r : ep.received) {
    if (ValidStatus(r.bytes)) last[GetU32(r.bytes.data() + 4)] = &r;
  }
  for (const auto& [id, r] : last) {
    const int slot = slotOf(id);
    if (slot < 0) {
      ZAV_FUZZ_CHECK(set.count == UdpDevSet::kCapacity);
      continue;
    }
    ZAV_FUZZ_CHECK(set.devs[slot].mode == r->bytes[10]);
    ZAV_FUZZ_CHECK(set.devs[slot].ip == ParseIp(r->from));
  }

  // Time stamps go only to controllers that answered validly, from the address they used.
  int stamps = 0;
  int broadcasts = 0;
  std::map<DeviceId, int> stamped;
  for (const testing::Datagram& s : ep.sent) {
    if (s.bytes.size() == 12) {
      ZAV_FUZZ_CHECK(s.addr == "255.255.255.255");
      const auto req = DiscoveryRequest();
      ZAV_FUZZ_CHECK(std::equal(s.bytes.begin(), s.bytes.end(), req.begin(), req.end()));
      ++broadcasts;
      continue;
    }
    ++stamps;
    ZAV_FUZZ_CHECK(s.port == kPort && s.bytes.size() == 16);
    const DeviceId id = GetU32(s.bytes.data() + 4);
    const auto stamp = TimeStampFrame(id, clock.utcSeconds);
    ZAV_FUZZ_CHECK(std::equal(s.bytes.begin(), s.bytes.end(), stamp.begin(), stamp.end()));
    ZAV_FUZZ_CHECK(last.count(id) == 1 && slotOf(id) >= 0);
    bool fromThere = false;
    for (const Received& r : ep.received) {
      fromThere |= ValidStatus(r.bytes) && GetU32(r.bytes.data() + 4) == id && r.from == s.addr;
    }
    ZAV_FUZZ_CHECK(fromThere);
    ++stamped[id];
  }
  ZAV_FUZZ_CHECK(broadcasts <= 3);
  if (!(flags & 2)) ZAV_FUZZ_CHECK(result == (stamps > 0));
  // A controller the set did not hold before is always answered.
  for (int i = 0; i < set.count; ++i) {
    const DeviceId id = set.devs[i].id;
    bool wasPreset = false;
    for (int k = 0; k < preset; ++k) wasPreset |= PresetId(k) == id;
    if (!wasPreset) ZAV_FUZZ_CHECK(stamped[id] >= 1);
  }
  Reached().controllersAdded += stamps;
  return 0;
}

}  // namespace zav::fuzz
