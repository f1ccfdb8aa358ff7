#include "platform/memory.h"

#include <cstdlib>

namespace plat {

namespace {
long g_failAfter = -1;  // < 0: never fail
long g_live = 0;
}  // namespace

void* MemAlloc(std::size_t bytes) {
  if (g_failAfter == 0) return nullptr;
  if (g_failAfter > 0) --g_failAfter;
  void* block = std::malloc(bytes ? bytes : 1);
  if (block) ++g_live;
  return block;
}

void MemFree(void* block) {
  if (!block) return;
  --g_live;
  std::free(block);
}

void MemFailAfter(long n) { g_failAfter = n < 0 ? -1 : n; }

long MemLiveBlocks() { return g_live; }

}  // namespace plat
