// One configuration block exactly as a controller delivered it: the payload of a "C" reply.
// Backups keep these bytes, so a restore gives back every byte the model does not interpret.
#pragma once

#include <cstdint>
#include <vector>

namespace zav {

struct RawBlock {
  std::uint8_t kind = 0;
  std::uint8_t index = 0;
  std::vector<std::uint8_t> bytes;

  bool operator==(const RawBlock&) const = default;
};

}  // namespace zav
