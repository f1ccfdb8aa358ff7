#include "codec/glyph_drawing.h"

#include <cstring>
#include <vector>

#include "codec/article_code.h"
#include "shell/app_globals.h"

namespace {

constexpr char16_t kHolam = 0x05B9;
constexpr uint8_t kHolamCode = 31;

// Units a byte converts to in the current mode.
int UnitsOf(uint8_t c) {
  if (c < kFirstMappedCode || c > kLastMappedCode) return 1;
  if (g_app.fontChoice.asciiBase == kAsciiBaseUnicode)
    return UnicodeMap[c - kFirstMappedCode].second ? 2 : 1;
  return CodePageMap[c - kFirstMappedCode] ? 1 : 0;
}

int32_t BytesBefore(const uint8_t* text, int32_t count) {
  const void* zero = std::memchr(text, 0, static_cast<std::size_t>(count));
  return zero ? static_cast<int32_t>(static_cast<const uint8_t*>(zero) - text) : count;
}

}  // namespace

void MeasureRun(plat::DeviceContext* dc, const uint8_t* text, int32_t* extent, int32_t* count) {
  const int32_t maxExtent = *extent;
  const int32_t bytes = *count > 0 ? BytesBefore(text, *count) : 0;
  *extent = 0;
  *count = 0;
  if (bytes == 0) return;
  int32_t d = 0;
  char16_t* units = ConvertArticleText(text, bytes, &g_conversionBuffer, &d);
  if (!units) return;
  const int32_t total = bytes + d;
  if (total <= 0) {
    *count = bytes;  // nothing visible: every byte fits with no width
    return;
  }
  // Extents after each unit; kept between calls so measuring does not
  // allocate once it has grown to the longest run.
  static std::vector<int32_t> partial;
  if (partial.size() < static_cast<std::size_t>(total)) partial.resize(total);
  int32_t fit = 0;
  plat::Size size{0, 0};
  if (!plat::GetTextExtentFit(dc, units, total, maxExtent, &fit, partial.data(), &size)) return;

  // Width of the first u units in byte order. Advances simply add up, so a
  // reversed string measures its byte-order prefix from its end.
  const bool reversed = ConversionReverses(bytes);
  auto prefixWidth = [&](int32_t u) -> int32_t {
    if (u <= 0) return 0;
    if (!reversed) return partial[u - 1];
    int32_t before = total - u;
    return partial[total - 1] - (before > 0 ? partial[before - 1] : 0);
  };

  int32_t u = 0;
  int32_t taken = 0;
  int32_t width = 0;
  for (; taken < bytes; ++taken) {
    int32_t next = u + UnitsOf(text[taken]);
    int32_t w = prefixWidth(next);
    if (w > maxExtent) break;
    u = next;
    width = w;
  }
  *count = taken;
  *extent = width;
}

void DrawRunBox(plat::DeviceContext* dc, const uint8_t* text, int32_t count, int32_t left,
                int32_t top, int32_t width, int32_t height) {
  if (count <= 0) return;
  int32_t d = 0;
  char16_t* units = ConvertArticleText(text, count, &g_conversionBuffer, &d);
  if (!units) return;
  const int32_t total = BytesBefore(text, count) + d;
  plat::Rect box{left, top, left + width, top + height};
  plat::DrawTextInRect(dc, units, total, &box, kRunDrawFlags);
}

void DrawRun(ArticleView* view, const uint8_t* text, int32_t count, int32_t left, int32_t top,
             int32_t width, int32_t height) {
  if (!view) return;
  if (g_app.fontChoice.asciiBase == kAsciiBaseUnicode) {
    plat::Rect box{left, top, left + width, top + height};
    DrawGlyphs(view, text, count, &box);
  } else {
    DrawRunBox(view->dc, text, count, left, top, width, height);
  }
}

void DrawGlyphs(ArticleView* view, const uint8_t* text, int32_t count, const plat::Rect* box) {
  if (!view || !box) return;
  plat::SetBackMode(view->dc, plat::BackTransparent);
  plat::Rect cell = *box;
  int32_t lastWidth = 0;
  auto drawUnit = [&](char16_t unit) { plat::DrawTextInRect(view->dc, &unit, 1, &cell, kRunDrawFlags); };

  for (int32_t i = count - 1; i >= 0; --i) {
    const uint8_t c = text[i];
    if (c >= kFirstVowelCode && c < kHolamCode) {
      // A vowel point shares the cell of the letter drawn just before it.
      cell.right = cell.left + lastWidth;
    } else if (c == kHolamCode) {
      lastWidth = kHolamCellWidth;
      cell.right = cell.left + kHolamCellWidth;
    } else {
      int32_t w = 0;
      if (c >= kFirstMeasuredCode && c <= kLastMeasuredCode && view->widthTable)
        w = view->widthTable->widths[c - kFirstMeasuredCode];
      lastWidth = w;
      cell.left = cell.right - w;
    }

    char16_t first = c;
    char16_t second = 0;
    if (c >= kFirstMappedCode && c <= kLastMappedCode) {
      first = UnicodeMap[c - kFirstMappedCode].first;
      second = UnicodeMap[c - kFirstMappedCode].second;
      // The letter goes first so that the holam lands on its left edge.
      if (second && first == kHolam) std::swap(first, second);
    }
    drawUnit(first);
    if (second) {
      bool holam = second == kHolam;
      if (holam) {
        cell.right = cell.left + kPairHolamRight;
        cell.left -= kPairHolamLeft;
        lastWidth = kHolamCellWidth;
      }
      drawUnit(second);
      if (holam) cell.left += kPairHolamLeft;
    }
    cell.right = cell.left;
  }
}

void DrawRunColoured(plat::DeviceContext* dc, const uint8_t* text, int32_t count, int32_t left,
                     int32_t top, int32_t width, int32_t height, plat::Colour textColour,
                     plat::Colour backColour) {
  plat::Colour oldText = plat::SetTextColour(dc, textColour);
  plat::Colour oldBack = plat::SetBackColour(dc, backColour);
  // Opaque for the run, so that the background colour shows even after the
  // glyph path has left the context transparent.
  int oldMode = plat::SetBackMode(dc, plat::BackOpaque);
  DrawRunBox(dc, text, count, left, top, width, height);
  plat::SetBackMode(dc, oldMode);
  plat::SetBackColour(dc, oldBack);
  plat::SetTextColour(dc, oldText);
}

void FillBox(plat::DeviceContext* dc, int32_t left, int32_t top, int32_t width, int32_t height,
             int stockBrush) {
  plat::Rect box{left, top, left + width, top + height};
  plat::FillRect(dc, &box, plat::GetStockBrush(stockBrush));
}
