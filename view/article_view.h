// The article view: the state of the main window's text area, its line
// table and its cached fonts.
#pragma once

#include <cstdint>

#include "content/text_resource.h"
#include "shell/app_globals.h"

namespace plat {
struct DeviceContext;
struct Font;
}  // namespace plat

// Pixel widths of the article codes 16..127 in one font.
constexpr int kWidthTableSize = 112;
constexpr uint8_t kFirstMeasuredCode = 16;
constexpr uint8_t kLastMeasuredCode = 127;

// A table just created and not yet measured holds these two values.
constexpr uint16_t kWidthSentinelFirst = 0xFFFF;
constexpr uint16_t kWidthSentinelSecond = 0xBAAD;

struct WidthTable {
  uint16_t widths[kWidthTableSize];
};

struct FontCacheEntry {
  FontCacheEntry* next;  // older entry
  plat::Font* font;      // owned; null once deleted or when creation failed
  uint8_t key;           // style byte & 0x1F
  WidthTable widths;
};

struct LineRecord {
  uint16_t textOffset;
  uint16_t length;
  uint16_t x;
  uint16_t hangWidth;
  uint16_t width;
  uint16_t height;
  uint8_t style;
};

struct ArticleView {
  LineRecord* lines;  // owned: lineCount lines and a zero terminator
  plat::DeviceContext* dc;
  TextBuffer text;    // owned; bytes == nullptr before the first article
  int32_t linesDrawn;
  FontChoice font;
  FontCacheEntry* fontCache;  // newest first
  WidthTable* widthTable;     // of the font selected last
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
  uint16_t topLine;
  uint16_t visualLineCount;
  uint16_t lineCount;
  uint16_t lineCapacity;
  uint16_t lastPageStart;
  uint16_t hitStart;
  uint16_t hitEnd;
};
