// The clipboard: data by format, in movable memory blocks that the
// clipboard takes over. Unicode text is shared with the desktop's clipboard
// when a screen is running; other formats stay inside the program.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

struct PlatWindow;

constexpr uint32_t ClipFormatUnicodeText = 13;

// Movable memory. A block is locked to reach its bytes.
struct MemBlock;
enum BlockFlags : uint32_t { BlockMovable = 0x2, BlockZeroInit = 0x40 };
MemBlock* BlockAlloc(uint32_t flags, std::size_t bytes);  // null when memory runs out
void* BlockLock(MemBlock* block);
void BlockUnlock(MemBlock* block);
std::size_t BlockSize(const MemBlock* block);
void BlockFree(MemBlock* block);  // not for a block the clipboard holds

// A format id (0xC000 and up) for a name; the same name, in any case,
// always gets the same id. 0 for an empty name.
uint32_t ClipRegisterFormat(const char16_t* name);

// Only one opener at a time; every other call needs the clipboard open.
bool ClipOpen(PlatWindow* owner);
bool ClipClose();
bool ClipEmpty();
// The clipboard takes the block over (and releases what it held in that
// format). Returns the block, or null when the clipboard is not open.
MemBlock* ClipSet(uint32_t format, MemBlock* block);
// The clipboard's block for the format (still the clipboard's), or null.
// Text copied in another program since the program last set its own
// replaces the clipboard's content and is offered as a zero-terminated
// Unicode text block.
MemBlock* ClipGet(uint32_t format);

}  // namespace plat
