// The configuration report: a fixed-width Windows-1250 text file that archives how the
// passages of a door controller are wired.
#pragma once

#include <string>
#include <string_view>

#include "config/bus_device_table.h"
#include "config/passage_config.h"
#include "link/wire.h"

namespace zav {

struct ReportDate {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
};

// The report's bytes (Windows-1250, CR LF line ends) for the passages of config as held in
// memory, unsaved edits included. The listed devices and the passage count come from table;
// location is already Windows-1250. A table that does not describe a door controller yields
// the header alone.
std::string WriteCfgReport(const BusDeviceTable& table, const PassageConfig& config,
                           DeviceId controller, std::string_view location, const ReportDate& date);

// The report's row words (UTF-8) for output and input slots 0..7 of a passage, so other views
// of a configuration name the functions as the report does. nullptr beyond slot 7.
const char* ReportOutputWord(int slot);
const char* ReportInputWord(int slot);

// Replaces the file at path with bytes. The bytes go to a new file beside it first, which then
// takes the name, so a failure never leaves a half-written report nor destroys an earlier one.
// Where no new file can be made in that folder nothing is written: the file is never rewritten
// in place. An existing report is replaced where the name leads (through a link), keeps its
// permission bits, and is not replaced when it is write-protected.
// Throws std::runtime_error naming the file and the system's reason when anything fails.
void SaveReportFile(const std::string& path, std::string_view bytes);

}  // namespace zav
