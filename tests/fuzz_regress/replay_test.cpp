// The fuzz harness itself: the seeds replay cleanly and reach the decoders, the scripted answers
// are framed so the link takes them, and the invariant checks do fire on a broken result.
#include <gtest/gtest.h>

#include <cstring>

#include "fuzz/fuzz_support.h"
#include "config/backup_file.h"
#include "fuzz/seed_corpus.h"
#include "link/cmac.h"
#include "link/wire.h"

namespace zav::fuzz {
namespace {

int Replay(const std::string& target) {
  int n = 0;
  for (const Target& t : Targets()) {
    if (target != t.name) continue;
    for (const Input& in : Seeds(t.name)) {
      EXPECT_EQ(t.run(in.data(), in.size()), 0);
      ++n;
    }
  }
  return n;
}

class SeedReplay : public ::testing::TestWithParam<std::string> {};

TEST_P(SeedReplay, EverySeedAndTheEmptyInputPassTheInvariants) {
  Reached() = Reach{};
  EXPECT_GE(Replay(GetParam()), 3);
  for (const Target& t : Targets()) {
    if (GetParam() == t.name) {
      EXPECT_EQ(t.run(nullptr, 0), 0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, SeedReplay,
                         ::testing::Values("link", "collect", "device_table", "records", "parse_ip",
                                           "time_text", "cp1250", "backup"));

// Inputs the fuzzers once failed on, by target.
TEST(FoundInputs, ReplayCleanly) {
  const struct {
    int (*run)(const std::uint8_t*, std::size_t);
    std::vector<std::uint8_t> input;
  } found[] = {
      // A session preset whose key the input ends before.
      {FuzzLink, {0x01, 0x00, 0x06}},
      {FuzzLink, {0x01, 0x01, 0x00, 0x06}},
      // A number beyond the range of a double: the JSON parser's overflow error escaped.
      {FuzzBackup, {'1', '2', 'e', '2', '0', '8', '1', '2'}},
  };
  for (const auto& f : found) EXPECT_EQ(f.run(f.input.data(), f.input.size()), 0);
}

TEST(SeedReach, LinkSeedsReadAndWriteWholeConfigurations) {
  Reached() = Reach{};
  Replay("link");
  const Reach& r = Reached();
  EXPECT_GE(r.tablesAccepted, 2);
  EXPECT_GE(r.passageReadsComplete, 1);
  EXPECT_GE(r.liftReadsComplete, 1);
  EXPECT_GE(r.configWrites, 2);  // one door, one lift
  EXPECT_GE(r.signedReplies, 1);
}

TEST(SeedReach, OtherSeedsReachTheirDecoders) {
  Reached() = Reach{};
  Replay("collect");
  EXPECT_GE(Reached().controllersAdded, 3);

  Reached() = Reach{};
  Replay("device_table");
  EXPECT_EQ(Reached().tablesAccepted, static_cast<int>(Seeds("device_table").size()));
  EXPECT_GT(Reached().replacementPairs, 0);
  EXPECT_GT(Reached().freePoints, 0);

  Reached() = Reach{};
  Replay("records");
  EXPECT_EQ(Reached().recordsDecoded, static_cast<int>(Seeds("records").size()));
}

TEST(WriteSeeds, OneFilePerSeedInAFolderPerTarget) {
  const std::string dir = ::testing::TempDir() + "zav_fuzz_seeds";
  int expected = 0;
  for (const Target& t : Targets()) expected += static_cast<int>(Seeds(t.name).size());
  EXPECT_EQ(WriteSeeds(dir), expected);
  std::FILE* f = std::fopen((dir + "/link/seed-00").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::fseek(f, 0, SEEK_END);
  EXPECT_EQ(std::ftell(f), static_cast<long>(Seeds("link")[0].size()));
  std::fclose(f);
}

const std::vector<std::uint8_t> kPlainRequest = [] {
  std::vector<std::uint8_t> f(12);
  BuildPlainFrame('K', 0x31310042, nullptr, 0, f.data());
  return f;
}();

const std::vector<std::uint8_t> kSignedRequest = [] {
  const std::uint8_t payload[2] = {1, 3};
  std::vector<std::uint8_t> f(21);
  BuildSignedFrameBody(0x31310042, 7, 'C', payload, 2, f.data());
  return f;
}();

TEST(FrameReply, PlainAnswersAreTakenAndCarryTheirChecksum) {
  const std::vector<std::uint8_t> body = {1, 2, 3};
  const auto d = FrameReply(Framing::Plain, kPlainRequest, nullptr, body);
  ASSERT_EQ(d.size(), 15u);
  EXPECT_TRUE(IsPlainReply(kPlainRequest.data(), 0x31310042, d.data(), d.size()));
  EXPECT_EQ(FrameCrc(d.data(), 11), GetU32(d.data() + 11));
  EXPECT_EQ(0, std::memcmp(d.data() + 8, body.data(), 3));
  EXPECT_EQ(FrameReply(Framing::Raw, kPlainRequest, nullptr, body), body);
}

TEST(FrameReply, SignedAnswersVerifyOnlyWithTheSessionKey) {
  std::uint8_t key[16];
  for (int i = 0; i < 16; ++i) key[i] = static_cast<std::uint8_t>(0xA0 + i);
  const std::vector<std::uint8_t> body = {6};
  const auto good = FrameReply(Framing::Signed, kSignedRequest, key, body);
  const auto bad = FrameReply(Framing::BadSigned, kSignedRequest, key, body);
  ASSERT_EQ(good.size(), 20u);
  EXPECT_TRUE(IsSignedReply(0x31310042, 'C', good.data(), good.size()));
  EXPECT_TRUE(IsSignedReply(0x31310042, 'C', bad.data(), bad.size()));
  EXPECT_EQ(good[11], 6);

  SigningContext ctx;
  ctx.aes.SetKey(key, 16);
  std::uint8_t sig[8];
  FrameSignature(ctx, good.data(), good.size() - 8, sig);
  EXPECT_EQ(0, std::memcmp(sig, good.data() + good.size() - 8, 8));
  FrameSignature(ctx, bad.data(), bad.size() - 8, sig);
  EXPECT_NE(0, std::memcmp(sig, bad.data() + bad.size() - 8, 8));
}

TEST(Reader, SplitsFieldsAndYieldsZerosPastTheEnd) {
  const std::uint8_t data[] = {0x34, 0x12, 9, 8, 7, 6, 5};
  Reader r(data, sizeof data);
  EXPECT_EQ(r.U16(), 0x1234);
  Reader sub = r.Sub(2);
  EXPECT_EQ(sub.U8(), 9);
  EXPECT_EQ(sub.U16(), 8);  // one byte left in the part: the high byte reads as zero
  EXPECT_TRUE(sub.Empty());
  EXPECT_EQ(r.Bytes(10), (std::vector<std::uint8_t>{7, 6, 5}));
  EXPECT_EQ(r.U32(), 0u);
}

TEST(AppendReplyGroup, LaysOutCountControlLengthAndBody) {
  std::vector<std::uint8_t> out;
  AppendReplyGroup(out, {{Framing::Signed, 3, {1, 2}}, {Framing::Raw, 1, {}}});
  EXPECT_EQ(out, (std::vector<std::uint8_t>{2, 0x0E, 2, 0, 1, 2, 0x04, 0, 0}));
}

TEST(FrameReply, ARequestShorterThanAHeaderStillGivesAWholeFrame) {
  const std::vector<std::uint8_t> shortRequest = {'M', 'M'};
  const std::uint8_t key[16] = {};
  EXPECT_EQ(FrameReply(Framing::Plain, shortRequest, key, {}).size(), 12u);
  EXPECT_EQ(FrameReply(Framing::Signed, shortRequest, key, {1}).size(), 20u);
}

TEST(IsUtf8, AcceptsWellFormedTextOnly) {
  EXPECT_TRUE(IsUtf8(""));
  EXPECT_TRUE(IsUtf8("Śluza 1: zażółć"));
  EXPECT_TRUE(IsUtf8("\xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsUtf8("\xC5"));          // cut short
  EXPECT_FALSE(IsUtf8("\xC0\xAF"));      // overlong lead byte
  EXPECT_FALSE(IsUtf8("a\x9C"));         // Windows-1250 byte left unconverted
  EXPECT_FALSE(IsUtf8("\xE2\x82\x41"));  // continuation byte missing
}

using FailDeathTest = ::testing::Test;

TEST(FailDeathTest, NamesTheBrokenConditionAndItsPlace) {
  EXPECT_DEATH(ZAV_FUZZ_CHECK(1 + 1 == 3), "invariant broken: 1 \\+ 1 == 3 \\(.*replay_test.cpp");
}

using CheckTableDeathTest = ::testing::Test;

TEST(CheckTableDeathTest, FiresOnABrokenDisplayOrderAndOnAStaleCount) {
  // Controller, then readers of serials 2 and 16.
  std::vector<std::uint8_t> p = {3, 0, 0x22, 0, 0, 0};
  for (DeviceId id : {0x31310042u, 0x00010010u, 0x00010002u}) {
    p.resize(p.size() + 4);
    PutU32(p.data() + p.size() - 4, id);
    p.insert(p.end(), 8, 0);
  }
  BusDeviceTable t;
  ASSERT_TRUE(t.Decode(p.data(), static_cast<int>(p.size())));
  CheckTable(t);
  BusDeviceTable swapped = t;
  std::swap(swapped.order[1], swapped.order[2]);
  EXPECT_DEATH(CheckTable(swapped), "invariant broken");
  BusDeviceTable stale = t;
  stale.activeCount = 2;
  EXPECT_DEATH(CheckTable(stale), "invariant broken");
}

TEST(SeedReach, BackupSeedsHoldAcceptedAndRefusedFiles) {
  // The door and lift backups are accepted, the cut one and the one of version 2 refused.
  const auto seeds = Seeds("backup");
  ASSERT_EQ(seeds.size(), 4u);
  auto text = [&](int i) { return std::string(seeds[i].begin(), seeds[i].end()); };
  EXPECT_EQ(ParseBackup(text(0)).controllerKind, 1);
  EXPECT_EQ(ParseBackup(text(1)).controllerKind, 2);
  EXPECT_THROW(ParseBackup(text(2)), BackupError);
  EXPECT_THROW(ParseBackup(text(3)), BackupError);
}

}  // namespace
}  // namespace zav::fuzz
