#include "view/font_cache.h"

#include <cstring>

#include "codec/article_code.h"
#include "content/article_text.h"
#include "platform/graphics.h"
#include "platform/memory.h"

namespace {

constexpr plat::Colour kLargeBoldColour = plat::MakeColour(0, 0, 255);
constexpr plat::Colour kTextColour = plat::MakeColour(0, 0, 0);

FontCacheEntry* FindEntry(ArticleView* view, uint8_t key) {
  for (FontCacheEntry* e = view->fontCache; e; e = e->next) {
    if (e->key == key && e->font) return e;
  }
  return nullptr;
}

bool Unmeasured(const WidthTable& t) {
  return t.widths[0] == kWidthSentinelFirst || t.widths[1] == kWidthSentinelSecond;
}

// The character whose width stands for `code` in the current mode.
char16_t MeasuredUnit(uint8_t code) {
  if (code > kLastMappedCode) return code;
  if (g_app.fontChoice.asciiBase == kAsciiBaseUnicode) {
    const UnicodePair& p = UnicodeMap[code - kFirstMappedCode];
    // A vowel + letter pair is as wide as its letter.
    return p.second ? p.second : p.first;
  }
  return CodePageMap[code - kFirstMappedCode];
}

// Makes the entry's table current, measuring it in the entry's font (which
// the caller has selected) when needed.
void UseWidthTable(ArticleView* view, FontCacheEntry* entry, bool created) {
  view->widthTable = &entry->widths;
  if (!created && !Unmeasured(entry->widths)) return;
  for (int code = kFirstMeasuredCode; code <= kLastMeasuredCode; ++code) {
    char16_t unit = MeasuredUnit(static_cast<uint8_t>(code));
    plat::Size size{0, 0};
    plat::GetTextExtent(view->dc, &unit, 1, &size);
    entry->widths.widths[code - kFirstMeasuredCode] = static_cast<uint16_t>(size.cx);
  }
  for (int code = kFirstVowelCode; code <= kLastVowelCode; ++code)
    entry->widths.widths[code - kFirstMeasuredCode] = 0;
}

}  // namespace

int32_t StyleFontHeight(int32_t size, uint8_t key) {
  if (key & StyleLarge) return size == 0 ? kDefaultLargeHeight : size * 5 / 4;
  if (key & StyleSmall) return size == 0 ? kDefaultSmallHeight : size * 6 / 8;
  return size;
}

void CreateStyleFont(ArticleView* view, FontCacheEntry* entry, uint8_t key) {
  if (!view || !entry) return;
  plat::FontDescription desc{};
  static_assert(sizeof desc.faceName == sizeof view->font.faceName);
  std::memcpy(desc.faceName, view->font.faceName, sizeof desc.faceName);
  desc.faceName[31] = 0;
  desc.height = StyleFontHeight(view->font.size, key);
  desc.weight = (key & StyleBold) ? plat::FontWeightBold : plat::FontWeightNormal;
  entry->font = plat::CreateFontFromDescription(&desc);
  entry->widths.widths[0] = kWidthSentinelFirst;
  entry->widths.widths[1] = kWidthSentinelSecond;
}

plat::Font* SelectStyleFont(ArticleView* view, uint32_t request) {
  if (!view) return nullptr;
  auto key = static_cast<uint8_t>(request & StyleFontKeyMask);
  FontCacheEntry* entry = FindEntry(view, key);
  bool created = false;
  if (!entry) {
    entry = static_cast<FontCacheEntry*>(plat::MemAlloc(sizeof(FontCacheEntry)));
    // Without an entry nothing can be selected; the caller keeps its font.
    if (!entry) return nullptr;
    std::memset(entry, 0, sizeof *entry);
    entry->key = key;
    entry->next = view->fontCache;
    view->fontCache = entry;
    CreateStyleFont(view, entry, key);
    created = true;
  }
  if (request & (RequestSetColour | RequestSetColourAlt)) {
    bool largeBold = (key & (StyleLarge | StyleBold)) == (StyleLarge | StyleBold);
    plat::SetTextColour(view->dc, largeBold ? kLargeBoldColour : kTextColour);
  }
  plat::Font* previous = plat::SelectFont(view->dc, entry->font);
  // Without a font there is nothing to measure: the current table stays.
  if (entry->font) UseWidthTable(view, entry, created);
  return previous;
}

void BuildWidthTable(ArticleView* view, plat::Font* font, bool created) {
  if (!view || !font) return;
  FontCacheEntry* entry = view->fontCache;
  while (entry && entry->font != font) entry = entry->next;
  if (entry) UseWidthTable(view, entry, created);
}

void MeasureWithWidthTable(const WidthTable* table, const uint8_t* text, int32_t* width,
                           int32_t* count) {
  if (!table) {
    *width = 0;
    return;
  }
  const int32_t max = *width;
  const int32_t n = *count;
  int32_t sum = 0;
  int32_t taken = 0;
  for (; taken < n && text[taken] != 0; ++taken) {
    uint8_t b = text[taken];
    if (b >= kFirstMeasuredCode && b <= kLastMeasuredCode && !IsVowelCode(b)) {
      int32_t w = table->widths[b - kFirstMeasuredCode];
      if (sum + w > max) break;
      sum += w;
    }
  }
  *width = sum;
  *count = taken;
}
