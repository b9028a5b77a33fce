// Differences between two configurations, field by field, in the words of the report.
#pragma once

#include <string>
#include <vector>

#include "config/config_fields.h"

namespace zav {

struct FieldChange {
  std::string block;
  std::string field;
  std::string before;
  std::string after;
};

// Fields are matched by block and name; a field on one side only compares against the other
// side's absent text. The order is that of before, then the fields only after has.
std::vector<FieldChange> DiffFields(const std::vector<FieldText>& before,
                                    const std::vector<FieldText>& after);

// "Przejście 1, Rygiel: K105_00066:Out1 → K105_00066:Out2"
std::string ChangeLine(const FieldChange& change);

}  // namespace zav
