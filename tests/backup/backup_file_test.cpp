// The backup file: what is written reads back byte for byte, and every kind of damage is
// refused with a message naming it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "config/backup_file.h"
#include "core/loaded_config.h"
#include "tests/backup/backup_samples.h"

namespace zav {
namespace {

using nlohmann::ordered_json;
using namespace testdata;

std::string ErrorOf(const std::string& text) {
  try {
    ParseBackup(text);
  } catch (const BackupError& e) {
    return e.what();
  }
  return "";
}

// The JSON of a good backup, changed by edit, as a text.
template <typename Edit>
std::string Edited(Edit edit) {
  ordered_json j = ordered_json::parse(BackupToJson(DoorBackup()));
  edit(j);
  return j.dump();
}

TEST(BackupFile, WrittenBackupReadsBackWithEveryByte) {
  const Backup b = DoorBackup();
  const std::string text = BackupToJson(b);
  EXPECT_EQ(ParseBackup(text), b);
  const ordered_json j = ordered_json::parse(text);
  EXPECT_EQ(j["format"], "zavconfig-backup");
  EXPECT_EQ(j["version"], 1);
  EXPECT_EQ(j["controller"]["id"], "K108_00066");
  EXPECT_EQ(j["controller"]["id_hex"], "0x31340042");
  EXPECT_EQ(j["kind"], "door");
  ASSERT_EQ(j["blocks"].size(), 3u);
  EXPECT_EQ(j["blocks"][1]["kind"], 1);
  EXPECT_EQ(j["blocks"][1]["hex"].get<std::string>().substr(0, 10), "0108080411");
  // Readable devices and names stand beside the raw bytes.
  EXPECT_EQ(j["names"]["Przejście 2"], "Wejscie1");
  ASSERT_EQ(j["bus_devices"].size(), 3u);
  EXPECT_EQ(j["bus_devices"][1]["id_hex"], "0x10d20007");
  EXPECT_EQ(j["bus_devices"][1]["line"], "      Zamek: Z110_00007/A1");
}

TEST(BackupFile, NamesWithQuotesAndControlBytesStayValidJson) {
  Backup b = DoorBackup();
  const std::uint8_t name[] = {'a', '"', '\\', 0x01, 0xB9};  // 0xB9: Windows-1250 "ą"
  std::copy(std::begin(name), std::end(name), b.blocks[1].bytes.begin() + 96);
  const std::string text = BackupToJson(b);
  EXPECT_EQ(ParseBackup(text), b);
  EXPECT_EQ(ordered_json::parse(text)["names"]["Przejście 1"], "a\"\\\x01ąie0");
}

TEST(BackupFile, DecodedBackupWritesBackTheBytesTheModelDoesNotInterpret) {
  const Backup b = DoorBackup();
  auto table = std::make_unique<BusDeviceTable>();
  PassageConfig doors(*table);
  LiftConfig lift(*table);
  DecodeBackup(b, *table, doors, lift);
  std::uint8_t image[kRecordLen];
  doors.passages[1].Encode(image);
  EXPECT_TRUE(std::equal(image, image + kRecordLen, b.blocks[2].bytes.begin() + 8));
  EXPECT_TRUE(doors.complete);
  EXPECT_EQ(doors.loadedFrom, kDoorId);
  // The points it uses are taken, as after a read.
  EXPECT_EQ(table->devices[1].outputsTaken, 1u);
  EXPECT_EQ(table->devices[2].readersTaken, 1u);
}

TEST(BackupFile, DamagedFilesAreRefusedNamingTheProblem) {
  const std::string good = BackupToJson(DoorBackup());
  EXPECT_NE(ErrorOf(good.substr(0, good.size() / 2)).find("not a complete JSON"),
            std::string::npos);
  EXPECT_NE(ErrorOf("[1,2]").find("not a JSON object"), std::string::npos);
  EXPECT_NE(ErrorOf(Edited([](auto& j) { j["format"] = "something-else"; })).find("format"),
            std::string::npos);
  EXPECT_NE(ErrorOf(Edited([](auto& j) { j["version"] = 2; })).find("version 2"),
            std::string::npos);
  EXPECT_NE(ErrorOf(Edited([](auto& j) { j["kind"] = "lift"; })).find("\"passages\" is 2"),
            std::string::npos);
  EXPECT_NE(ErrorOf(Edited([](auto& j) { j["passages"] = 8; })).find("describes a door"),
            std::string::npos);
  EXPECT_NE(ErrorOf(Edited([](auto& j) { j["blocks"].erase(2); })).find("holds 2"),
            std::string::npos);
  EXPECT_NE(ErrorOf(Edited([](auto& j) {
              std::swap(j["blocks"][1], j["blocks"][2]);
            })).find("block 1 is block (kind 1, index 1)"),
            std::string::npos);
  EXPECT_NE(ErrorOf(Edited([](auto& j) {
              auto hex = j["blocks"][1]["hex"].template get<std::string>();
              j["blocks"][1]["hex"] = hex.substr(0, 200);
            })).find("has 100 bytes, it needs at least 112"),
            std::string::npos);
  EXPECT_NE(ErrorOf(Edited([](auto& j) { j["blocks"][0]["hex"] = "10080804zz"; }))
                .find("'z' is not a hex digit"),
            std::string::npos);
  EXPECT_NE(ErrorOf(Edited([](auto& j) { j["blocks"][1]["hex"] = std::string(224, '0'); }))
                .find("header"),
            std::string::npos);
  EXPECT_NE(ErrorOf(Edited([](auto& j) { j["controller"]["id"] = "K108_00099"; }))
                .find("\"id\" does not name"),
            std::string::npos);
  EXPECT_NE(ErrorOf(Edited([](auto& j) { j["bus_table_hex"] = "ff00"; })).find("bus device"),
            std::string::npos);
  EXPECT_NE(ErrorOf(Edited([](auto& j) { j["blocks"][0].erase("index"); }))
                .find("\"index\" is missing"),
            std::string::npos);
  EXPECT_NE(ErrorOf(Edited([](auto& j) { j["passages"] = -3; })).find("\"passages\" is -3"),
            std::string::npos);
}

TEST(BackupFile, ReadableFieldsAreNotTheTruth) {
  // Someone edited the decoded text; the raw bytes still decide what is restored.
  const Backup b = ParseBackup(Edited([](auto& j) {
    j["names"]["Przejście 1"] = "Wyjście";
    j["bus_devices"][1]["line"] = "Zamek: Z110_00008/A1";
  }));
  EXPECT_EQ(b, DoorBackup());
}

TEST(BackupFile, FileRoundTripAndUnreadableFileNamesThePath) {
  char dir[] = "/tmp/zavbackupXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/a.zavcfg";
  WriteBackupFile(path, DoorBackup());
  EXPECT_EQ(ReadBackupFile(path), DoorBackup());
  try {
    ReadBackupFile(std::string(dir) + "/missing.zavcfg");
    ADD_FAILURE() << "a missing file was read";
  } catch (const BackupError& e) {
    EXPECT_NE(std::string(e.what()).find("missing.zavcfg: cannot open"), std::string::npos);
  }
  std::remove(path.c_str());
  rmdir(dir);
}

TEST(BackupFile, ACopiedConfigurationStillMakesTheSameBackup) {
  // The core hands copies of a loaded configuration around; a backup made from a copy must
  // carry the blocks as the controller sent them.
  core::LoadedConfig loaded;
  DecodeBackup(DoorBackup(), loaded.table, loaded.doors, loaded.lift);
  const core::LoadedConfig copy = loaded;
  EXPECT_EQ(BackupFromModel(copy.table, copy.doors, copy.lift, kDoorId, 0x0A4D000A, 2, "Serwis",
                            "1.4.5", "2026-12-10T05:00:00+0100"),
            DoorBackup());
}

TEST(BackupFile, ModelThatWasNotReadWholeMakesNoBackup) {
  auto table = std::make_unique<BusDeviceTable>();
  PassageConfig doors(*table);
  LiftConfig lift(*table);
  DecodeBackup(DoorBackup(), *table, doors, lift);
  const Backup again = BackupFromModel(*table, doors, lift, kDoorId, 0x0A4D000A, 2, "Serwis",
                                       "1.4.5", "2026-12-10T05:00:00+0100");
  EXPECT_EQ(again, DoorBackup());
  doors.complete = false;
  EXPECT_THROW(BackupFromModel(*table, doors, lift, kDoorId, 0, 2, "Serwis", "", ""),
               BackupError);
}

}  // namespace
}  // namespace zav
