#include "core/loaded_config.h"

namespace zav::core {

LoadedConfig::LoadedConfig(const LoadedConfig& other) : table(other.table) {
  doors = other.doors;
  lift = other.lift;
}

LoadedConfig& LoadedConfig::operator=(const LoadedConfig& other) {
  if (this == &other) return *this;
  table = other.table;
  doors = other.doors;
  lift = other.lift;
  return *this;
}

}  // namespace zav::core
