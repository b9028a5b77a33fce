// The configuration records: a "C" reply decoded into a passage, the lift or the controller's
// own block, edits through the model's operations, then the write encoding. Every bit that no
// edit may touch must go back exactly as it was read.
//
// Input: record choice (bits 1-0) and table header choice (bits 3-2), a 16-bit reply length and the
// reply, then edits.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "config/cp1250.h"
#include "config/lift_config.h"
#include "config/passage_config.h"
#include "fuzz/fuzz_support.h"

namespace zav::fuzz {

namespace {

using Image = std::array<std::uint8_t, kRecordLen>;
constexpr int kMaxOps = 48;
constexpr std::uint8_t kHeaders[4] = {0x22, 0x28, 0x30, 0x41};

// A table with devices of every kind, so that edits take and release real points.
void LoadTable(BusDeviceTable& t, std::uint8_t header) {
  struct Entry {
    DeviceId id;
    std::uint8_t a[8];
  };
  const Entry entries[] = {
      {0x31310042, {1, 0, 4, 4, 8, 2, 0, 0}},        // controller: 4 NC outputs, 8 inputs
      {0x00010007, {2, 0x10, 0, 0, 0, 1, 0, 0}},     // reader
      {0x02BC0009, {3, 0, 8, 0, 8, 0, 0, 0}},        // I/O module, relay outputs
      {0xFFFF0000, {0, 0, 0, 0, 0, 0, 0, 0}},        // empty slot
      {0x02BC000A, {4, 0x80, 0x83, 0, 4, 0, 0, 0}},  // module with output sets
  };
  std::vector<std::uint8_t> p = {std::size(entries), 0, header, 0, 0, 0};
  for (const Entry& e : entries) {
    p.resize(p.size() + 4);
    PutU32(p.data() + p.size() - 4, e.id);
    Append(p, e.a, 8);
  }
  ZAV_FUZZ_CHECK(t.Decode(p.data(), static_cast<int>(p.size())));
}

// A record image that differs in every byte, standing for what an earlier read left.
Image Pattern(std::uint8_t seed) {
  Image img;
  for (int i = 0; i < kRecordLen; ++i) img[i] = static_cast<std::uint8_t>(seed + 37 * i);
  return img;
}

// The reply bytes as the record must keep them: times limited to 127 half-seconds.
Image Expected(const std::vector<std::uint8_t>& reply) {
  Image img;
  std::memcpy(img.data(), reply.data() + 8, kRecordLen);
  for (int i = 44; i < 48; ++i) img[i] = std::min<std::uint8_t>(img[i], 127);
  return img;
}

bool HeaderIs(const std::vector<std::uint8_t>& r, std::uint8_t a, std::uint8_t b) {
  return r.size() >= 4 && r[0] == a && r[1] == b && r[2] == 8 && r[3] == 4;
}

void Allow(Image& mask, int byte, std::uint8_t bits = 0xFF) {
  mask[byte] |= bits;
}

// Both bytes of a reference at offset byte.
void AllowRef(Image& mask, int byte) {
  Allow(mask, byte);
  Allow(mask, byte + 1);
}

void CheckOnlyMasked(const Image& before, const Image& after, const Image& mask) {
  for (int i = 0; i < kRecordLen; ++i) ZAV_FUZZ_CHECK(((before[i] ^ after[i]) & ~mask[i]) == 0);
}

Image EncodePassage(const Passage& p) {
  Image img;
  p.Encode(img.data());
  return img;
}

// Passage indexes the edits aim at: two real ones and two that must change nothing.
int PickPassage(std::uint8_t b) {
  static constexpr int kPick[4] = {0, 1, kMaxPassages, -1};
  return kPick[b & 3];
}

void PassageEdits(PassageConfig& cfg, Reader& ops, Image (&mask)[2]) {
  for (int i = 0; i < kMaxOps && !ops.Empty(); ++i) {
    const std::uint8_t op = ops.U8();
    const int p = PickPassage(op >> 4);
    const bool real = p == 0 || p == 1;
    Image dummy{};
    Image& m = real ? mask[p] : dummy;
    const int index = static_cast<int>(ops.U8() % 10) - 1;  // -1..8, two of them invalid
    const bool inRange8 = index >= 0 && index < 8;
    const bool inRange4 = index >= 0 && index < 4;
    switch (op % 12) {
      case 0: {
        const IoRef ref = ops.U16();
        const IoRef old = inRange8 && real ? cfg.passages[p].outputs[index] : kNone;
        cfg.SetOutput(p, index, ref, ops.Bit());
        if (!inRange8) break;
        AllowRef(m, 2 * index);
        if (index == 0 && real) {
          AllowRef(m, 18);
          const IoRef now = cfg.passages[p].outputs[0];
          if (now == kNone || RefDevice(now) != RefDevice(old)) {
            ZAV_FUZZ_CHECK(cfg.passages[p].inputs[1] == kNone);
          }
        }
        break;
      }
      case 1:
        cfg.SetInput(p, index, ops.U16(), ops.Bit());
        if (inRange8) AllowRef(m, 16 + 2 * index);
        break;
      case 2:
        cfg.SetReader(p, index, ops.U16());
        if (inRange4) AllowRef(m, 32 + 2 * index);
        break;
      case 3:
        cfg.SetOutputNc(p, index, ops.Bit());
        if (inRange8) Allow(m, 2 * index, kNcBit);
        break;
      case 4:
        cfg.SetInputNc(p, index, ops.Bit());
        if (inRange8) Allow(m, 16 + 2 * index, kNcBit);
        break;
      case 5:
        cfg.SetReaderExit(p, index, ops.Bit());
        if (inRange4) Allow(m, 72 + 4 * index, 0x01);
        break;
      case 6: {
        const int v = ops.U8();
        cfg.SetType(p, v);
        Allow(m, 40, 0x0F);
        if (real) ZAV_FUZZ_CHECK(cfg.passages[p].params.PassageType() == (v & 0x0F));
        break;
      }
      case 7:
        cfg.SetHandleOpening(p, ops.Bit());
        Allow(m, 42, 0x40);
        break;
      case 8:
        cfg.SetFullBoltPulse(p, ops.Bit());
        Allow(m, 42, 0x80);
        break;
      case 9: {
        const int v = static_cast<std::int16_t>(ops.U16());
        const bool bolt = ops.Bit();
        if (bolt) {
          cfg.SetBoltTime(p, v);
        } else {
          cfg.SetOpenTime(p, v);
        }
        Allow(m, bolt ? 44 : 46);
        if (real) {
          const int stored =
              bolt ? cfg.passages[p].params.boltTime : cfg.passages[p].params.openTime;
          ZAV_FUZZ_CHECK(stored == std::clamp(v, 0, 127));
        }
        break;
      }
      case 10: {
        cfg.SetName(p, ops.Text(ops.U8() % 40));
        for (int b = 88; b < 104; ++b) Allow(m, b);
        if (real) {
          ZAV_FUZZ_CHECK(cfg.passages[p].params.name[15] == 0);
          ZAV_FUZZ_CHECK(IsUtf8(cfg.Name(p)));
        }
        break;
      }
      case 11: {
        const int first = static_cast<int>(ops.U8() % 10) - 1;
        const int second = static_cast<int>(ops.U8() % 10) - 1;
        cfg.SetAirlocks(p, first, second);
        Allow(m, 42, 0x3F);
        if (!real) break;
        const int n = cfg.AirlockCount();
        ZAV_FUZZ_CHECK(cfg.FirstAirlockItem(p) >= 0 &&
                       cfg.FirstAirlockItem(p) <= cfg.FirstAirlockMax());
        ZAV_FUZZ_CHECK(cfg.SecondAirlockItem(p) >= 0 && cfg.SecondAirlockItem(p) < std::max(n, 1));
        // An item the selectors offer reads back as the same item.
        if (n >= 2 && first >= 0 && first <= cfg.FirstAirlockMax() && second >= 0 && second < n) {
          ZAV_FUZZ_CHECK(cfg.FirstAirlockItem(p) == first);
          ZAV_FUZZ_CHECK(cfg.SecondAirlockItem(p) == second);
        }
        break;
      }
    }
  }
}

void FuzzPassage(BusDeviceTable& table, const std::vector<std::uint8_t>& reply, Reader& ops) {
  PassageConfig cfg(table);
  const Image earlier[2] = {Pattern(3), Pattern(101)};
  cfg.passages[0].DecodeImage(earlier[0].data());
  cfg.passages[1].DecodeImage(earlier[1].data());
  ZAV_FUZZ_CHECK(EncodePassage(cfg.passages[0]) == earlier[0]);

  Image rec = earlier[0];
  const bool ok = DecodeRecordReply(reply.data(), static_cast<int>(reply.size()), 1, 8, rec.data());
  ZAV_FUZZ_CHECK(ok == (reply.size() >= kRecordReplyMin && HeaderIs(reply, 1, 8)));
  ZAV_FUZZ_CHECK(rec == (ok ? Expected(reply) : earlier[0]));
  if (ok) {
    ++Reached().recordsDecoded;
    cfg.passages[0].DecodeImage(rec.data());
  }
  std::uint8_t ioBefore[kControllerIoDataLen];
  cfg.controllerIo.Encode(ioBefore);

  const Image base[2] = {EncodePassage(cfg.passages[0]), EncodePassage(cfg.passages[1])};
  ZAV_FUZZ_CHECK(base[0] == rec);
  Image mask[2] = {};
  PassageEdits(cfg, ops, mask);
  for (int p = 0; p < 2; ++p) CheckOnlyMasked(base[p], EncodePassage(cfg.passages[p]), mask[p]);
  std::uint8_t ioAfter[kControllerIoDataLen];
  cfg.controllerIo.Encode(ioAfter);
  ZAV_FUZZ_CHECK(std::memcmp(ioBefore, ioAfter, sizeof ioBefore) == 0);
}

void FuzzLift(BusDeviceTable& table, const std::vector<std::uint8_t>& reply, Reader& ops) {
  LiftConfig lift(table);
  std::vector<std::uint8_t> first = {2, 0x88, 8, 4, 0, 0, 0, 0};
  const Image earlier = Pattern(55);
  Append(first, earlier);
  ZAV_FUZZ_CHECK(lift.DecodeReply(first.data(), static_cast<int>(first.size())));
  Image before;
  lift.Encode(before.data());
  ZAV_FUZZ_CHECK(before == Expected(first));

  const bool ok = lift.DecodeReply(reply.data(), static_cast<int>(reply.size()));
  ZAV_FUZZ_CHECK(ok == (reply.size() >= kRecordReplyMin && HeaderIs(reply, 2, 0x88)));
  Image base;
  lift.Encode(base.data());
  ZAV_FUZZ_CHECK(base == (ok ? Expected(reply) : before));
  if (ok) ++Reached().recordsDecoded;

  Image mask{};
  for (int i = 0; i < kMaxOps && !ops.Empty(); ++i) {
    const std::uint8_t op = ops.U8();
    const int index = static_cast<int>(ops.U8() % 10) - 1;
    const bool in8 = index >= 0 && index < 8;
    switch (op % 6) {
      case 0:
        lift.SetFloorSet(index, ops.U16());
        if (in8) AllowRef(mask, 2 * index);
        break;
      case 1:
        lift.SetLiftInput(index, ops.U16(), ops.Bit());
        if (in8) AllowRef(mask, 16 + 2 * index);
        break;
      case 2:
        lift.SetLiftInputNc(index, ops.Bit());
        if (in8) Allow(mask, 16 + 2 * index, kNcBit);
        break;
      case 3:
        lift.SetLiftReader(index, ops.U16());
        if (index >= 0 && index < 4) AllowRef(mask, 32 + 2 * index);
        break;
      case 4: {
        const int v = static_cast<std::int16_t>(ops.U16());
        lift.SetUnlockTime(v);
        Allow(mask, 44);
        ZAV_FUZZ_CHECK(lift.params.unlockTime == std::clamp(v, 0, 127));
        break;
      }
      case 5:
        lift.SetName(ops.Text(ops.U8() % 40));
        for (int b = 88; b < 104; ++b) Allow(mask, b);
        ZAV_FUZZ_CHECK(lift.params.name[15] == 0 && IsUtf8(lift.Name()));
        break;
    }
  }
  Image after;
  lift.Encode(after.data());
  CheckOnlyMasked(base, after, mask);
}

void FuzzControllerBlock(BusDeviceTable& table, const std::vector<std::uint8_t>& reply,
                         Reader& ops) {
  PassageConfig cfg(table);
  std::vector<std::uint8_t> first = {16, 8, 8, 4, 0, 0, 0, 0};
  const Image earlier = Pattern(9);
  Append(first, earlier.data(), 32);
  ZAV_FUZZ_CHECK(cfg.controllerIo.Decode(first.data(), static_cast<int>(first.size())));

  const bool ok = cfg.controllerIo.Decode(reply.data(), static_cast<int>(reply.size()));
  ZAV_FUZZ_CHECK(ok == (reply.size() >= kControllerIoReplyMin && HeaderIs(reply, 16, 8)));
  std::uint8_t base[kControllerIoDataLen];
  cfg.controllerIo.Encode(base);
  const std::uint8_t* source = ok ? reply.data() + 8 : earlier.data();
  ZAV_FUZZ_CHECK(std::memcmp(base, source, 32) == 0);
  if (ok) ++Reached().recordsDecoded;

  std::uint8_t mask[kControllerIoDataLen] = {};
  for (int i = 0; i < kMaxOps && !ops.Empty(); ++i) {
    const std::uint8_t op = ops.U8();
    const int index = static_cast<int>(ops.U8() % 10) - 1;
    const bool in8 = index >= 0 && index < 8;
    const int at = (op & 1) ? 16 + 2 * index : 2 * index;  // inputs after outputs
    switch (op % 4) {
      case 0:
        cfg.SetControllerOutput(index, ops.U16(), ops.Bit());
        break;
      case 1:
        cfg.SetControllerInput(index, ops.U16(), ops.Bit());
        break;
      case 2:
        cfg.SetControllerOutputNc(index, ops.Bit());
        break;
      case 3:
        cfg.SetControllerInputNc(index, ops.Bit());
        break;
    }
    if (in8) {
      mask[at] |= (op % 4) >= 2 ? kNcBit : 0xFF;
      mask[at + 1] |= (op % 4) >= 2 ? 0 : 0xFF;
    }
  }
  std::uint8_t after[kControllerIoDataLen];
  cfg.controllerIo.Encode(after);
  for (int i = 0; i < 32; ++i) ZAV_FUZZ_CHECK(((base[i] ^ after[i]) & ~mask[i]) == 0);
  // The controller record has no readers: its reader slots always go out as none.
  for (int i = 32; i < kControllerIoDataLen; ++i) ZAV_FUZZ_CHECK(after[i] == 0xFF);
}

}  // namespace

int FuzzRecords(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  const std::uint8_t choice = in.U8();
  BusDeviceTable table;
  LoadTable(table, kHeaders[(choice >> 2) & 3]);
  const auto reply = in.Bytes(in.U16() % (kMaxBlock + 1));
  switch (choice & 3) {
    case 0:
      FuzzPassage(table, reply, in);
      break;
    case 1:
      FuzzLift(table, reply, in);
      break;
    default:
      FuzzControllerBlock(table, reply, in);
      break;
  }
  CheckTable(table);
  return 0;
}

}  // namespace zav::fuzz
