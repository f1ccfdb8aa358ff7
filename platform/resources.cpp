#include "platform/resources.h"

#include <algorithm>
#include <vector>

namespace plat {

namespace {

struct Table {
  const ResourceRecord* records;
  std::size_t count;
};

// Function-local so that generated tables can register from static
// initialisers in any order.
std::vector<Table>& Tables() {
  static std::vector<Table> tables;
  return tables;
}

}  // namespace

void RegisterResourceTable(const ResourceRecord* table, std::size_t count) {
  if (table) Tables().push_back({table, count});
}

void UnregisterResourceTable(const ResourceRecord* table) {
  auto& tables = Tables();
  tables.erase(std::remove_if(tables.begin(), tables.end(),
                              [&](const Table& t) { return t.records == table; }),
               tables.end());
}

ResourceHandle FindProgramResource(uint16_t type, uint16_t id) {
  const auto& tables = Tables();
  for (auto t = tables.rbegin(); t != tables.rend(); ++t) {
    for (std::size_t i = 0; i < t->count; ++i) {
      const ResourceRecord& r = t->records[i];
      if (r.type == type && r.id == id) return {&r};
    }
  }
  return {nullptr};
}

uint32_t ResourceSize(ResourceHandle handle) {
  return handle.record ? handle.record->size : 0;
}

const uint8_t* LoadProgramResource(ResourceHandle handle) {
  if (!handle.record || handle.record->size == 0) return nullptr;
  return handle.record->data;
}

}  // namespace plat
