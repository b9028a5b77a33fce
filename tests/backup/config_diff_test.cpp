// Comparisons in the report's words, and the check that a backup fits a controller.
#include <gtest/gtest.h>

#include <memory>

#include "config/backup_file.h"
#include "config/config_diff.h"
#include "config/restore_check.h"
#include "tests/backup/backup_samples.h"

namespace zav {
namespace {

using namespace testdata;

struct Model {
  explicit Model(const Backup& b) : doors(*table), lift(*table) {
    DecodeBackup(b, *table, doors, lift);
  }
  std::vector<FieldText> Fields() const { return DescribeConfig(*table, doors, lift); }
  std::unique_ptr<BusDeviceTable> table = std::make_unique<BusDeviceTable>();
  PassageConfig doors;
  LiftConfig lift;
};

std::vector<std::string> Lines(const Backup& a, const Backup& b) {
  std::vector<std::string> out;
  for (const FieldChange& c : DiffFields(Model(a).Fields(), Model(b).Fields()))
    out.push_back(ChangeLine(c));
  return out;
}

TEST(ConfigDiff, EqualConfigurationsHaveNoDifferences) {
  EXPECT_TRUE(Lines(DoorBackup(), DoorBackup()).empty());
}

TEST(ConfigDiff, ChangedPointsNamesAndKeptBytesAreListedOldToNew) {
  Backup after = DoorBackup();
  Ref(after.blocks[1].bytes, 0, 0x0181);        // bolt to lock output 2, NC
  after.blocks[2].bytes[48 + 48] = 'X';         // name of passage 2
  after.blocks[2].bytes[48 + 10] = 0x00;        // a byte nobody interprets
  after.blocks[1].bytes[48 + 32] = 0x80;        // reader 1 no longer registers exits
  const auto lines = Lines(DoorBackup(), after);
  const std::vector<std::string> want = {
      "Przejście 1, Rygiel: Z110_00007:Out1 → Z110_00007:Out2 [NC]",
      "Przejście 1, Czytnik 1: R105_00009:Rd1 [Wy] → R105_00009:Rd1",
      "Przejście 2, Nazwa przejścia: Wejscie1 → Xejscie1",
      "Przejście 2, bajt 50: 0xc3 → 0x00",
  };
  EXPECT_EQ(lines, want);
}

TEST(ConfigDiff, OtherDevicesAndOtherKindsShowInTheDeviceList) {
  Backup other = DoorBackup();
  other.busTable = DoorTable(kDoorId, 0x10D20008);
  const auto lines = Lines(DoorBackup(), other);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "Urządzenia, pozycja 1: Zamek Z110_00007/A1 → Zamek Z110_00008/A1");
  EXPECT_EQ(lines[1], "Przejście 1, Rygiel: Z110_00007:Out1 → Z110_00008:Out1");
}

TEST(RestoreCheck, SameControllerOrSameLayoutFits) {
  Model backup(DoorBackup());
  EXPECT_TRUE(RestoreMismatches(*backup.table, backup.doors, backup.lift, kDoorId, *backup.table,
                                kDoorId)
                  .empty());
  // A replacement: another controller and another lock of the same types at the same places.
  Backup replacement = DoorBackup();
  replacement.id = kOtherId;
  replacement.busTable = DoorTable(kOtherId, 0x10D20999);
  Model target(replacement);
  EXPECT_TRUE(RestoreMismatches(*backup.table, backup.doors, backup.lift, kDoorId, *target.table,
                                kOtherId)
                  .empty());
}

TEST(RestoreCheck, EachPointOnAnotherDeviceTypeIsListed) {
  Model backup(DoorBackup());
  Backup other = DoorBackup();
  other.id = kOtherId;
  // A reader where the lock was: bolt and door sensor of both passages have no device.
  other.busTable = Table(0x22, {{kOtherId, {1, 0, 4, 4, 8, 2, 0, 0}},
                                {0x10050010, {1, 0, 0, 0, 1, 1, 0, 0}},
                                {kReaderId, {1, 0, 0, 0, 1, 1, 0, 0}}});
  auto target = std::make_unique<BusDeviceTable>();
  ASSERT_TRUE(target->Decode(other.busTable.data(), static_cast<int>(other.busTable.size())));
  const auto m =
      RestoreMismatches(*backup.table, backup.doors, backup.lift, kDoorId, *target, kOtherId);
  ASSERT_EQ(m.size(), 4u);
  EXPECT_EQ(m[0],
            "Przejście 1, Rygiel: position 1 holds Z110_00007 (type 210) in the backup, "
            "R105_00016 (type 5) on the controller");
  EXPECT_EQ(m[1].substr(0, 30), "Przejście 1, Czujnik otwarcia");
  EXPECT_EQ(m[3].substr(0, 30), "Przejście 2, Czujnik otwarcia");
}

TEST(RestoreCheck, AnotherKindOrPassageCountIsRefusedAtOnce) {
  Model backup(DoorBackup());
  auto target = std::make_unique<BusDeviceTable>();
  const Bytes eight = Table(0x28, {{kOtherId, {1, 0, 4, 4, 8, 2, 0, 0}}});
  ASSERT_TRUE(target->Decode(eight.data(), static_cast<int>(eight.size())));
  const auto m =
      RestoreMismatches(*backup.table, backup.doors, backup.lift, kDoorId, *target, kOtherId);
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0],
            "the backup is of a door controller with 2 passages, the controller is a door "
            "controller with 8 passages");
  // Even the same controller cannot take it after its passage count changed.
  EXPECT_EQ(
      RestoreMismatches(*backup.table, backup.doors, backup.lift, kDoorId, *target, kDoorId).size(),
      1u);
}

TEST(LiftBackup, ReadsBackAndComparesInThePagesWords) {
  const Backup lift = LiftBackup();
  EXPECT_EQ(ParseBackup(BackupToJson(lift)), lift);
  Backup after = lift;
  after.blocks[0].bytes[48 + 4] = 15;
  Ref(after.blocks[0].bytes, 1, 0xFFFF);
  const std::vector<std::string> want = {
      "Winda, 9..16: D120_00500:2 → -----",
      "Winda, Czas odblokowania przycisków: 5 s → 7,5 s",
  };
  EXPECT_EQ(Lines(lift, after), want);
  // A door backup is refused for a lift at once.
  Model door(DoorBackup());
  Model target(lift);
  EXPECT_EQ(RestoreMismatches(*door.table, door.doors, door.lift, kDoorId, *target.table, kLiftId)
                .size(),
            1u);
}

TEST(LiftBackup, AFloorModuleWithFewerSetsIsAMismatch) {
  Model backup(LiftBackup());
  Backup smaller = LiftBackup();
  smaller.id = 0x31540102;
  smaller.busTable = Table(0x41, {{0x31540102, {1, 0, 4, 0, 8, 2, 0, 0}},
                                  {kFloorsId + 1, {1, 0, 0x81, 0, 4, 0, 0, 0}}});
  Model target(smaller);
  const auto m = RestoreMismatches(*backup.table, backup.doors, backup.lift, kLiftId,
                                   *target.table, 0x31540102);
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0], "Winda, 9..16: D120_00501 at position 1 has no point 2 of that kind");
}

}  // namespace
}  // namespace zav
