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

// String resources live in blocks of 16: string n is entry n % 16 of the
// ResTypeString resource n / 16 + 1. A block is 16 entries, each a 16-bit
// little-endian length and that many UTF-16 units (no terminator); an empty
// string has length 0.
// A block whose lengths run past its end is malformed as a whole; bytes
// after the 16th entry are not read.
// Copies string `id` into `buffer` with a terminating zero (at most
// `capacity` - 1 units); returns the units copied, 0 when the string is
// missing, empty or its block is malformed. Nothing is written when
// `capacity` is below 1.
int32_t LoadStringResource(uint16_t id, char16_t* buffer, int32_t capacity);

}  // namespace plat
