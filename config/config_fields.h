// A loaded configuration as a list of named fields in the words of the report and the pages:
// what comparisons and backups show people. Point labels are those of the report.
#pragma once

#include <string>
#include <vector>

#include "config/bus_device_table.h"
#include "config/lift_config.h"
#include "config/passage_config.h"

namespace zav {

struct FieldText {
  std::string block;  // "Urządzenia", "Kontroler", "Przejście 3", "Winda"
  std::string field;  // "Rygiel", "Czujnik otwarcia", "Nazwa przejścia", "bajt 45", ...
  std::string value;  // UTF-8
  // What the field reads as where the other side lacks it: bytes the model does not interpret
  // are listed only when not zero.
  std::string absent = "(brak)";
};

// Every field of the configuration that fits table's controller kind, block by block in the
// order of the write sequence; the bus devices first.
std::vector<FieldText> DescribeConfig(const BusDeviceTable& table, const PassageConfig& doors,
                                      const LiftConfig& lift);

// A point's label as the report prints it, without the padding: "K105_00066:Out3 [NC]",
// "-----" when unused.
std::string PointText(const BusDeviceTable& table, IoRef ref, PointKind kind);

}  // namespace zav
