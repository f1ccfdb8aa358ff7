#include "platform/clipboard.h"

#include <SDL.h>

#include <cstring>
#include <map>
#include <string>

#include "platform/memory.h"
#include "platform/text_utf.h"

namespace plat {

struct MemBlock {
  std::size_t size;
  int locks;
  uint8_t* bytes;
};

namespace {

constexpr uint32_t kFirstRegisteredFormat = 0xC000;

struct Clipboard {
  bool open = false;
  std::map<uint32_t, MemBlock*> data;
  // The text the program last gave the desktop, to tell whether the
  // desktop's text came from elsewhere since.
  std::string publishedText;
};

Clipboard& Board() {
  static Clipboard board;
  return board;
}

std::map<std::u16string, uint32_t>& Formats() {
  static std::map<std::u16string, uint32_t> formats;
  return formats;
}

std::u16string Folded(const char16_t* name) {
  std::u16string s(name);
  for (char16_t& c : s) c = FoldAscii(c);
  return s;
}

void Release(uint32_t format) {
  auto it = Board().data.find(format);
  if (it == Board().data.end()) return;
  BlockFree(it->second);
  Board().data.erase(it);
}

void ReleaseAll() {
  for (auto& [format, block] : Board().data) BlockFree(block);
  Board().data.clear();
}

bool DesktopAvailable() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

// The block's text, up to its first zero unit and never past its end.
std::u16string BlockText(const MemBlock* block) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < block->size; i += 2) {
    char16_t u = static_cast<char16_t>(block->bytes[i] | (block->bytes[i + 1] << 8));
    if (!u) break;
    text += u;
  }
  return text;
}

MemBlock* TextBlock(const std::u16string& text) {
  MemBlock* block = BlockAlloc(BlockMovable, (text.size() + 1) * 2);
  if (!block) return nullptr;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    char16_t u = i < text.size() ? text[i] : 0;
    block->bytes[2 * i] = static_cast<uint8_t>(u);
    block->bytes[2 * i + 1] = static_cast<uint8_t>(u >> 8);
  }
  return block;
}

// Text copied on the desktop since the program last published its own
// becomes the clipboard's content.
void TakeDesktopText() {
  if (!DesktopAvailable() || !SDL_HasClipboardText()) return;
  char* raw = SDL_GetClipboardText();
  if (!raw) return;
  std::string text = raw;
  SDL_free(raw);
  if (text.empty() || text == Board().publishedText) return;
  // A copy made elsewhere replaces everything the clipboard held, as it
  // would on a desktop that kept all formats.
  if (MemBlock* block = TextBlock(Utf8ToUtf16(text))) {
    ReleaseAll();
    Board().data[ClipFormatUnicodeText] = block;
    Board().publishedText = text;
  }
}

}  // namespace

MemBlock* BlockAlloc(uint32_t flags, std::size_t bytes) {
  auto* block = static_cast<MemBlock*>(MemAlloc(sizeof(MemBlock)));
  if (!block) return nullptr;
  block->bytes = static_cast<uint8_t*>(MemAlloc(bytes ? bytes : 1));
  if (!block->bytes) {
    MemFree(block);
    return nullptr;
  }
  if (flags & BlockZeroInit) std::memset(block->bytes, 0, bytes ? bytes : 1);
  block->size = bytes;
  block->locks = 0;
  return block;
}

void* BlockLock(MemBlock* block) {
  if (!block) return nullptr;
  ++block->locks;
  return block->bytes;
}

void BlockUnlock(MemBlock* block) {
  if (block && block->locks > 0) --block->locks;
}

std::size_t BlockSize(const MemBlock* block) { return block ? block->size : 0; }

void BlockFree(MemBlock* block) {
  if (!block) return;
  MemFree(block->bytes);
  MemFree(block);
}

uint32_t ClipRegisterFormat(const char16_t* name) {
  if (!name || !name[0]) return 0;
  auto& formats = Formats();
  std::u16string key = Folded(name);
  auto it = formats.find(key);
  if (it != formats.end()) return it->second;
  auto id = static_cast<uint32_t>(kFirstRegisteredFormat + formats.size());
  formats.emplace(key, id);
  return id;
}

bool ClipOpen(PlatWindow*) {
  if (Board().open) return false;
  Board().open = true;
  return true;
}

bool ClipClose() {
  if (!Board().open) return false;
  Board().open = false;
  return true;
}

bool ClipEmpty() {
  if (!Board().open) return false;
  ReleaseAll();
  return true;
}

MemBlock* ClipSet(uint32_t format, MemBlock* block) {
  if (!Board().open || !block || format == 0) return nullptr;
  if (Board().data.count(format) && Board().data[format] == block) return block;
  Release(format);
  Board().data[format] = block;
  if (format == ClipFormatUnicodeText && DesktopAvailable()) {
    std::string text = Utf16ToUtf8(BlockText(block));
    if (SDL_SetClipboardText(text.c_str()) == 0) Board().publishedText = text;
  }
  return block;
}

MemBlock* ClipGet(uint32_t format) {
  if (!Board().open) return nullptr;
  TakeDesktopText();
  auto it = Board().data.find(format);
  return it == Board().data.end() ? nullptr : it->second;
}

}  // namespace plat
