// The configuration report file: every width, order, literal and line end of its layout.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/bus_device_table.h"
#include "config/cfg_report.h"
#include "config/cp1250.h"
#include "config/passage_config.h"

namespace zav {
namespace {

constexpr DeviceId kController = 0x30000000u | (305u << 16) | 66u;  // K105_00066

DeviceId Reader(unsigned serial) {
  return (2u << 16) | serial;
}  // R102_xxxxx
DeviceId Module(unsigned serial) {
  return (701u << 16) | serial;
}  // D101_xxxxx

// A door controller whose listed devices are the given ids, in table and display order.
void LoadTable(BusDeviceTable& table, const std::vector<DeviceId>& ids, int passages) {
  table = BusDeviceTable{};
  for (std::size_t i = 0; i < ids.size(); ++i) {
    table.devices[i].id = ids[i];
    table.devices[i].suffixNo = 1;
    table.order[i] = static_cast<std::uint8_t>(i);
  }
  table.count = table.activeCount = static_cast<int>(ids.size());
  table.controllerKind = 1;
  table.passageCount = passages;
}

void Unassign(PassageConfig& config) {
  for (Passage& p : config.passages) {
    for (IoRef& r : p.outputs) r = kNone;
    for (IoRef& r : p.inputs) r = kNone;
    for (IoRef& r : p.readers) r = kNone;
    p.params.airlockFlags = 7;  // in no airlock
  }
}

const ReportDate kDate{2021, 5, 7};

// Splits at CR LF; a lone CR or LF anywhere fails the test.
std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "last line has no CR LF";
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "stray line break: " << line;
    lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

std::string Cp(const char* utf8) {
  return Utf8ToCp1250(utf8);
}

class ReportTest : public ::testing::Test {
 protected:
  BusDeviceTable table;
  PassageConfig config{table};
};

TEST_F(ReportTest, TwoPassagesMatchTheArchivedLayoutByteForByte) {
  LoadTable(table, {kController, Reader(7), Reader(8), Module(12)}, 2);
  Unassign(config);
  Passage& p1 = config.passages[0];
  p1.outputs[0] = 0x0000;  // lock: controller output 1
  p1.inputs[1] = 0x0000;   // door sensor: controller input 1
  p1.inputs[0] = 0x0081;   // exit button: controller input 2, NC
  p1.readers[0] = 0x0100;
  p1.readers[1] = 0x0200;
  p1.params.readerOptions[1][0] = 0x01;  // exit reader
  p1.outputs[2] = 0x0381;                // alarm: module output 2, NC
  p1.params.airlockFlags = 0x00;         // airlock 1
  config.SetName(0, "Wejście główne");
  Passage& p2 = config.passages[1];
  p2.outputs[0] = 0x0300;
  p2.inputs[1] = 0x0380;
  p2.readers[0] = 0x0300;
  config.SetName(1, "Magazyn");

  const std::vector<std::string> expected = {
      "Raport konfiguracji przejść kontrolera",
      "=======================================",
      "",
      "   Kontroler: K105_00066",
      " Lokalizacja: Budynek A, parter",
      "        Data: 2021-05-07",
      "",
      "  Urządzenia: K105_00066/A1, R102_00007/A1, R102_00008/A1, D101_00012/A1.",
      "",
      "",
      "                           Przejście 1           Przejście 2",
      "------------------------------------------------------------------",
      "               Nazwa:   Wejście główne        Magazyn",
      "",
      "              Rygiel:   K105_00066:Out1       D101_00012:Out1    ",
      "    Czujnik otwarcia:   K105_00066:In1        D101_00012:In1 [NC]",
      "",
      "    Przycisk wyjścia:   K105_00066:In2 [NC]         ---          ",
      "               Pożar:         ---                   ---          ",
      "     Uzbrojenie (we):         ---                   ---          ",
      "             Dzwonek:         ---                   ---          ",
      "            Tamper 1:         ---                   ---          ",
      "            Tamper 2:         ---                   ---          ",
      "            Tamper 3:         ---                   ---          ",
      "",
      "           Czytnik 1:   R102_00007:Rd1        D101_00012:Rd1     ",
      "           Czytnik 2:   R102_00008:Rd1 [Wy]         ---          ",
      "           Czytnik 3:         ---                   ---          ",
      "           Czytnik 4:         ---                   ---          ",
      "",
      "       Przypomnienie:         ---                   ---          ",
      "               Alarm:   D101_00012:Out2[NC]         ---          ",
      "     Uzbrojenie (wy):         ---                   ---          ",
      "            Strażnik:         ---                   ---          ",
      "              On/Off:         ---                   ---          ",
      "            On/Off 2:         ---                   ---          ",
      "            On/Off 3:         ---                   ---          ",
      "",
      "               Śluzy:       Śluza 1                 ---      ",
      "------------------------------------------------------------------",
      "",
  };
  std::string want;
  for (const std::string& line : expected) want += Cp(line.c_str()) + "\r\n";

  const std::string got =
      WriteCfgReport(table, config, kController, Cp("Budynek A, parter"), kDate);
  EXPECT_EQ(got, want);
  // The Polish letters are single Windows-1250 bytes: "przejść" ends in 9C E6.
  ASSERT_GE(got.size(), 40u);
  EXPECT_EQ(got.substr(0, 40), "Raport konfiguracji przej\x9c\xe6 kontrolera\r\n");
}

TEST_F(ReportTest, PassagesArePrintedInGroupsOfFourColumns) {
  struct Case {
    int passages;
    std::vector<std::size_t> hyphenWidths;  // two lines per group
    std::vector<std::string> headings;      // first heading of each group
  };
  const Case cases[] = {
      {8, {110, 110, 110, 110}, {"Przejście 1", "Przejście 5"}},
      {16,
       {110, 110, 110, 110, 110, 110, 110, 110},
       {"Przejście 1", "Przejście 5", "Przejście 9", "Przejście 13"}},
      {2, {66, 66}, {"Przejście 1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.passages);
    LoadTable(table, {kController}, c.passages);
    Unassign(config);
    const std::vector<std::string> lines =
        Lines(WriteCfgReport(table, config, kController, "", kDate));

    std::vector<std::size_t> widths;
    std::vector<std::string> firstHeadings;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (!lines[i].empty() && lines[i].find_first_not_of('-') == std::string::npos) {
        widths.push_back(lines[i].size());
      }
      if (lines[i].find(Cp("Przejście")) != std::string::npos) {
        // Two empty lines before each group's headings; the first is right-aligned in 38.
        ASSERT_GE(i, 2u);
        EXPECT_EQ(lines[i - 1], "");
        EXPECT_EQ(lines[i - 2], "");
        std::string first = lines[i].substr(0, 38);
        firstHeadings.push_back(Cp1250ToUtf8(first.substr(first.find_first_not_of(' '))));
        EXPECT_EQ(lines[i].size() % 22, 16u) << "each further heading takes 22";
      }
    }
    EXPECT_EQ(widths, c.hyphenWidths);
    EXPECT_EQ(firstHeadings, c.headings);
    // Closing hyphens, then one empty line, and nothing more.
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.back(), "");
    EXPECT_EQ(lines[lines.size() - 2].size(), c.hyphenWidths.back());
  }
}

TEST_F(ReportTest, WithoutPassagesOnlyTheHeaderIsWritten) {
  // A lift controller (or a table without a loaded configuration) has no passage columns.
  for (int kind : {1, 2}) {
    SCOPED_TRACE(kind);
    LoadTable(table, {kController}, kind == 1 ? 0 : 1);
    table.controllerKind = kind;
    const std::vector<std::string> lines =
        Lines(WriteCfgReport(table, config, kController, "", kDate));
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[4], Cp(" Lokalizacja: ")) << "the label keeps its blank";
    EXPECT_EQ(lines[7], Cp("  Urządzenia: K105_00066/A1."));
    EXPECT_EQ(lines[8], "");
  }
}

TEST_F(ReportTest, DeviceListBreaksAfterEverySixthName) {
  auto deviceLines = [&](int devices) {
    std::vector<DeviceId> ids;
    for (int i = 0; i < devices; ++i) ids.push_back(Reader(static_cast<unsigned>(i + 1)));
    LoadTable(table, ids, 0);
    std::vector<std::string> lines = Lines(WriteCfgReport(table, config, kController, "", kDate));
    return std::vector<std::string>(lines.begin() + 7, lines.end() - 1);
  };
  EXPECT_EQ(deviceLines(0), std::vector<std::string>{Cp("  Urządzenia: .")});

  std::vector<std::string> six = deviceLines(6);
  ASSERT_EQ(six.size(), 1u);
  EXPECT_EQ(six[0], Cp("  Urządzenia: R102_00001/A1, R102_00002/A1, R102_00003/A1, "
                       "R102_00004/A1, R102_00005/A1, R102_00006/A1."));

  std::vector<std::string> seven = deviceLines(7);
  ASSERT_EQ(seven.size(), 2u);
  EXPECT_EQ(seven[0].substr(seven[0].size() - 15), "R102_00006/A1, ");
  EXPECT_EQ(seven[1], "              R102_00007/A1.");

  std::vector<std::string> thirteen = deviceLines(13);
  ASSERT_EQ(thirteen.size(), 3u);
  EXPECT_EQ(thirteen[1].substr(0, 27), "              R102_00007/A1");
  EXPECT_EQ(thirteen[2], "              R102_00013/A1.");
}

// The "Nazwa" line of a one-group report.
std::string NameLine(const BusDeviceTable& table, const PassageConfig& config) {
  std::vector<std::string> lines = Lines(WriteCfgReport(table, config, kController, "", kDate));
  for (const std::string& line : lines) {
    if (line.rfind("               Nazwa: ", 0) == 0) return line;
  }
  ADD_FAILURE() << "no name line";
  return {};
}

TEST_F(ReportTest, NamesAreSpacedByThePreviousNameAndWrittenByteForByte) {
  LoadTable(table, {kController}, 2);
  Unassign(config);
  config.SetName(0, "ABCDEFGHIJKLMNO");  // 15 characters
  config.SetName(1, "X");
  EXPECT_EQ(NameLine(table, config), "               Nazwa:   ABCDEFGHIJKLMNO       X");

  config.SetName(0, "");
  EXPECT_EQ(NameLine(table, config), "               Nazwa:   " + std::string(22, ' ') + "X");

  // Bytes Windows-1250 leaves undefined go out as stored; a name without its zero byte is cut
  // at 15 characters.
  std::uint8_t raw[16] = {0x81, 0xA5, 'q', 0x98};
  std::copy(raw, raw + 16, config.passages[0].params.name);
  std::fill(config.passages[1].params.name, config.passages[1].params.name + 16, 'Z');
  EXPECT_EQ(NameLine(table, config),
            "               Nazwa:   \x81\xA5q\x98" + std::string(18, ' ') + std::string(15, 'Z'));
}

// The cell of passage column col (0 based) in the row whose label ends at column 21.
std::string Cell(const std::string& line, int col) {
  return line.size() < 21u + 22u * static_cast<unsigned>(col) ? std::string("<short>")
                                                              : line.substr(21 + 22 * col, 22);
}

std::string Row(const std::vector<std::string>& lines, const std::string& label) {
  for (const std::string& line : lines) {
    if (line.size() > 21 && line.substr(0, 21).find(label + ":") != std::string::npos) {
      return line;
    }
  }
  ADD_FAILURE() << "no row " << label;
  return {};
}

TEST_F(ReportTest, MarkersFollowTheFlagsOfAssignedPointsOnly) {
  LoadTable(table, {kController, Module(12)}, 2);
  Unassign(config);
  Passage& p = config.passages[0];
  p.outputs[0] = 0x0102;  // relay output without NC
  p.outputs[6] = 0x0183;  // NC
  p.inputs[4] = 0x0084;   // NC
  p.inputs[5] = 0x0105;   // no NC
  p.readers[2] = 0x0101;  // assigned, no exit flag
  p.readers[3] = kNone;   // unassigned with the exit flag set
  p.params.readerOptions[3][0] = 0x01;
  p.params.readerOptions[2][0] = 0xFE;  // other option bits are not the exit flag
  const std::vector<std::string> lines =
      Lines(WriteCfgReport(table, config, kController, "", kDate));

  EXPECT_EQ(Cell(Row(lines, "Rygiel"), 0), "   D101_00012:Out3    ");
  EXPECT_EQ(Cell(Row(lines, "On/Off 2"), 0), "   D101_00012:Out4[NC]");
  EXPECT_EQ(Cell(Row(lines, "On/Off 3"), 0), "         ---          ");
  EXPECT_EQ(Cell(Row(lines, "Dzwonek"), 0), "   K105_00066:In5 [NC]");
  EXPECT_EQ(Cell(Row(lines, "Tamper 1"), 0), "   D101_00012:In6     ");
  EXPECT_EQ(Cell(Row(lines, "Czytnik 3"), 0), "   D101_00012:Rd2     ");
  EXPECT_EQ(Cell(Row(lines, "Czytnik 4"), 0), "         ---          ");
  // Every row is exactly one label and two 22-character cells wide.
  for (const char* label : {"Rygiel", "On/Off", "Dzwonek", "Tamper 1"}) {
    EXPECT_EQ(Row(lines, label).size(), 21u + 44u) << label;
  }
}

TEST_F(ReportTest, AirlockCellsShowTheFirstAirlockOnly) {
  LoadTable(table, {kController}, 8);  // four airlocks
  Unassign(config);
  config.passages[0].params.airlockFlags = 0x01 | (2 << 3);  // airlock 2, second airlock 3
  config.passages[1].params.airlockFlags = 0xC7;             // none, flags set
  config.passages[2].params.airlockFlags = 0x05;             // value beyond four airlocks
  config.passages[3].params.airlockFlags = 0x03;             // airlock 4
  config.passages[4].params.airlockFlags = 0x00;             // airlock 1, second group
  const std::vector<std::string> lines =
      Lines(WriteCfgReport(table, config, kController, "", kDate));
  std::vector<std::string> rows;
  for (const std::string& line : lines) {
    if (line.find(Cp("Śluzy:")) != std::string::npos) rows.push_back(Cp1250ToUtf8(line));
  }
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0],
            "               Śluzy:       Śluza 2                 ---                   ---"
            "                 Śluza 4    ");
  EXPECT_EQ(rows[1],
            "               Śluzy:       Śluza 1                 ---                   ---"
            "                   ---      ");
}

TEST_F(ReportTest, HeaderCarriesControllerLocationAndPaddedDate) {
  LoadTable(table, {kController}, 0);
  const std::vector<std::string> lines =
      Lines(WriteCfgReport(table, config, kController, "Hala\r\nB " + Cp("żółć"), {2024, 1, 9}));
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[1], std::string(39, '='));
  EXPECT_EQ(lines[3], "   Kontroler: K105_00066");
  // A line break typed into the location cannot break the layout.
  EXPECT_EQ(lines[4], " Lokalizacja: Hala  B \xbf\xf3\xb3\xe6");
  EXPECT_EQ(lines[5], "        Data: 2024-01-09");
}

class ReportFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("zav_report_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  static std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::size_t Entries() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir),
                                                  std::filesystem::directory_iterator()));
  }

  std::filesystem::path dir;
};

TEST_F(ReportFileTest, ReplacesAnExistingFileWithExactlyTheBytes) {
  const auto path = dir / "2021-05-07 K105_00066.txt";
  {
    std::ofstream old(path, std::ios::binary);
    old << std::string(5000, 'x');
  }
  const std::string bytes = "a\r\nb\x9c\r\n";
  SaveReportFile(path.string(), bytes);
  EXPECT_EQ(Slurp(path), bytes);
  EXPECT_EQ(Entries(), 1u) << "no temporary file is left behind";
}

TEST_F(ReportFileTest, UnwritablePlaceRaisesTheSystemReasonAndLeavesNothing) {
  const auto path = dir / "missing" / "r.txt";
  try {
    SaveReportFile(path.string(), "x");
    FAIL() << "no error raised";
  } catch (const std::runtime_error& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find(path.string()), std::string::npos) << what;
    EXPECT_NE(what.find(std::strerror(ENOENT)), std::string::npos) << what;
  }
  // A directory in the way of the name: the old entry survives untouched.
  std::filesystem::create_directories(dir / "taken.txt");
  EXPECT_THROW(SaveReportFile((dir / "taken.txt").string(), "x"), std::runtime_error);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.txt"));
  EXPECT_EQ(Entries(), 1u) << "no temporary file is left behind";
}

}  // namespace
}  // namespace zav
