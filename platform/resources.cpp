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

int32_t LoadStringResource(uint16_t id, char16_t* buffer, int32_t capacity) {
  if (!buffer || capacity <= 0) return 0;
  buffer[0] = 0;
  const ResourceHandle h = FindProgramResource(ResTypeString, static_cast<uint16_t>(id / 16 + 1));
  const uint8_t* data = LoadProgramResource(h);
  const uint32_t size = ResourceSize(h);
  if (!data) return 0;
  // The whole block is walked first: one length running past its end makes
  // every string of it suspect.
  uint32_t at = 0, wantedAt = 0, wantedLength = 0;
  for (uint32_t entry = 0; entry < 16; ++entry) {
    if (size - at < 2) return 0;
    const uint32_t length = data[at] | (uint32_t{data[at + 1]} << 8);
    at += 2;
    if ((size - at) / 2 < length) return 0;
    if (entry == id % 16u) {
      wantedAt = at;
      wantedLength = length;
    }
    at += 2 * length;
  }
  const auto n = static_cast<int32_t>(std::min<uint32_t>(wantedLength, static_cast<uint32_t>(capacity - 1)));
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t p = wantedAt + 2 * static_cast<uint32_t>(i);
    buffer[i] = static_cast<char16_t>(data[p] | (data[p + 1] << 8));
  }
  buffer[n] = 0;
  return n;
}

}  // namespace plat
