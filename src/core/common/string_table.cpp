#include "core/common/string_table.h"

#include <unordered_map>

#include "core/common/charset.h"

namespace tervane {
namespace {

struct Entry {
  int id;
  const char* utf8;
};

constexpr Entry kEntries[] = {
#include "core/common/string_table_entries.inc"
};

const std::unordered_map<int, std::string>& Table() {
  static const std::unordered_map<int, std::string> table = [] {
    std::unordered_map<int, std::string> t;
    for (const auto& e : kEntries) t.emplace(e.id, Utf8ToCp1252Lossy(e.utf8));
    return t;
  }();
  return table;
}

}  // namespace

const std::string& LoadString(int id) {
  static const std::string empty;
  const auto& t = Table();
  const auto it = t.find(id);
  return it == t.end() ? empty : it->second;
}

}  // namespace tervane
