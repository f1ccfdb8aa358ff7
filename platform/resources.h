// The program's own resources, looked up by (type, id). The build turns the
// resource files into a generated table that registers itself at start-up;
// nothing is read from disk at run time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

// Resource types, numbered as the reader's resource ids expect them.
enum ResourceType : uint16_t {
  ResTypeBitmap = 2,
  ResTypeIcon = 3,
  ResTypeMenu = 4,
  ResTypeDialog = 5,
  ResTypeString = 6,
  ResTypeAccelerator = 9,
  ResTypeRawData = 10,
  ResTypeMenuBar = 240,
};

struct ResourceRecord {
  uint16_t type;
  uint16_t id;
  const uint8_t* data;
  uint32_t size;
};

// A found resource; `record` is null when there is none.
struct ResourceHandle {
  const ResourceRecord* record;
};

// Adds a table of resources. Tables registered later are searched first, so a
// test can shadow a shipped resource with a malformed one and remove it again.
void RegisterResourceTable(const ResourceRecord* table, std::size_t count);
void UnregisterResourceTable(const ResourceRecord* table);

ResourceHandle FindProgramResource(uint16_t type, uint16_t id);
uint32_t ResourceSize(ResourceHandle handle);      // 0 when not found
const uint8_t* LoadProgramResource(ResourceHandle handle);  // null when empty

}  // namespace plat
