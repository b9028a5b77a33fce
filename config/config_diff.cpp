#include "config/config_diff.h"

#include <map>
#include <utility>

namespace zav {

std::vector<FieldChange> DiffFields(const std::vector<FieldText>& before,
                                    const std::vector<FieldText>& after) {
  using Key = std::pair<std::string, std::string>;
  std::map<Key, const FieldText*> later;
  for (const FieldText& f : after) later.emplace(Key{f.block, f.field}, &f);
  std::map<Key, bool> seen;
  std::vector<FieldChange> out;
  for (const FieldText& f : before) {
    const Key key{f.block, f.field};
    seen[key] = true;
    auto it = later.find(key);
    const std::string now = it != later.end() ? it->second->value : f.absent;
    if (now != f.value) out.push_back({f.block, f.field, f.value, now});
  }
  for (const FieldText& f : after) {
    if (seen.count(Key{f.block, f.field}) != 0) continue;
    if (f.value != f.absent) out.push_back({f.block, f.field, f.absent, f.value});
  }
  return out;
}

std::string ChangeLine(const FieldChange& c) {
  return c.block + ", " + c.field + ": " + c.before + " → " + c.after;
}

}  // namespace zav
