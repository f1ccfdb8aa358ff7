// The general allocator. Every buffer that crosses a module boundary (decoded
// texts, conversion buffers, registry data) comes from here so that tests can
// make an allocation fail at a chosen point.
#pragma once

#include <cstddef>

namespace plat {

// Returns a block of `bytes` bytes (uninitialised), or nullptr when memory
// runs out or an injected failure is due. A request of 0 bytes gets a valid
// one-byte block so that callers never confuse "empty" with "failed".
void* MemAlloc(std::size_t bytes);

// Releases a block from MemAlloc; nullptr is ignored.
void MemFree(void* block);

// Test hook: let the next `n` allocations succeed and fail every one after
// them; a negative n turns failure injection off again.
void MemFailAfter(long n);

// Number of blocks handed out and not yet released, for leak checks in tests.
long MemLiveBlocks();

}  // namespace plat
