// What more than one part of the reader must see: the one program-wide
// record, the user's font choice and the display flags word.
#pragma once

#include <cstdint>

namespace plat {
struct PlatWindow;
struct Bitmap;
struct PlatModule;
}  // namespace plat

struct ArticleView;

// Character bases of a font (where it has its Hebrew letters).
constexpr int32_t kAsciiBaseUnicode = 1488;   // 0x5D0: Hebrew at the Unicode positions
constexpr int32_t kAsciiBaseCodePage = 224;   // Windows-1255 layout
constexpr int32_t kAsciiBaseLatin = 97;       // code-page layout, typed with a..{

struct FontChoice {
  char16_t faceName[32];  // zero-terminated; empty when none is chosen
  int32_t size;           // pixel height; 0 = the platform's default
  int32_t asciiBase;      // kAsciiBaseUnicode, kAsciiBaseCodePage or kAsciiBaseLatin
};

// The "Flags" word.
enum DisplayFlagBits : uint32_t {
  FlagScrollBar = 0xC0,         // either bit: the main window has a scroll bar
  FlagReverse = 0x800,          // converted runs are reversed
  KeyPageStepMask = 0x700000,   // page-key step field
  KeyPageStepShift = 20,
  TapPageStepMask = 0x7000000,  // page-tap step field
  TapPageStepShift = 24,
  FlagTapTopBottom = 0x10000000,
  FlagTapPaging = 0x80000000,
};
constexpr uint32_t kDefaultDisplayFlags = 0xD1140040;

constexpr int kSearchStringBytes = 34;  // 33 ArticleCode bytes and a zero
constexpr int kRowBitmapCount = 3;      // contents-row icons 201..203

struct AppGlobals {
  plat::PlatModule* instance;
  FontChoice fontChoice;
  uint16_t savedTopLine;
  uint32_t displayFlags;
  uint16_t currentArticle;  // 1..12, 0 until one is chosen
  uint8_t searchString[kSearchStringBytes];
  ArticleView* view;  // owned
  int32_t menuBarOnBottom;
  int32_t barHeight;
  int32_t surroundingGutter;
  plat::PlatWindow* bar;
  plat::PlatWindow* mainWindow;
  plat::Bitmap* rowBitmaps[kRowBitmapCount];
  uint16_t bookmarkCount;
  uint16_t* bookmarks;  // owned, zero-terminated
  uint16_t bookmarkFlags;
  int32_t todayRequested;
};

// Bits of bookmarkFlags.
enum BookmarkFlagBits : uint16_t { BookmarkNoPrompt = 0x1 };

extern AppGlobals g_app;

// Set by the entry from the maker key; not part of the cleared record.
extern int32_t g_fullScreen;
extern plat::PlatWindow* g_taskBarWindow;
extern int32_t g_ignoreActivate;
extern int32_t g_allowSipInHebrewSearch;

// Clears the record to all zeros, as the entry does before anything else.
void ClearAppGlobals();
