#include "content/article_text.h"

#include <cstring>

int32_t SeparatorWidth(uint8_t L, int32_t textWidth) {
  int32_t width;
  if (L <= 160) {
    width = L;
  } else {
    int32_t percent = ((L + 96) & 0xFF) * 2;
    width = textWidth * percent / 100;
  }
  return width < textWidth ? width : textWidth;
}

bool ReadRecord(const uint8_t* text, uint32_t size, uint32_t offset, ParagraphRecord* record) {
  if (!text || offset >= size || text[offset] == 0) return false;
  ParagraphRecord r{};
  r.offset = offset;
  r.style = text[offset];
  r.metrics = offset + 1 < size ? text[offset + 1] : 0;
  r.textOffset = offset + 2 < size ? offset + 2 : size;
  const void* end = std::memchr(text + r.textOffset, 0, size - r.textOffset);
  if (end) {
    r.textLength = static_cast<uint32_t>(static_cast<const uint8_t*>(end) - text) - r.textOffset;
    r.next = r.textOffset + r.textLength + 1;
  } else {
    r.textLength = size - r.textOffset;
    r.next = size;
  }
  *record = r;
  return true;
}

void FindArticleTitles(const uint8_t* text, uint32_t size, TextSpan* title, TextSpan* subtitle) {
  if (title) *title = {nullptr, 0};
  if (subtitle) *subtitle = {nullptr, 0};
  ParagraphRecord r;
  if (!ReadRecord(text, size, 0, &r)) return;
  if (r.style == TitleStyle) {
    if (title) *title = {text + r.textOffset, r.textLength};
    if (!ReadRecord(text, size, r.next, &r)) return;
  }
  if (r.style == SubtitleStyle && subtitle) *subtitle = {text + r.textOffset, r.textLength};
}

void MeasureArticleText(const uint8_t* text, uint32_t size, int32_t* lineCount,
                        int32_t* sizeEstimate, int32_t* separatorPixels,
                        int32_t* separatorPercent, int32_t* indentTotal) {
  int32_t lines = 0, pixels = 0, percent = 0, indents = 0;
  uint32_t offset = 0;
  ParagraphRecord r;
  while (ReadRecord(text, size, offset, &r)) {
    lines += (r.style & StyleBlankAfter) ? 2 : 1;
    if (StyleSeparator(r.style)) {
      if (r.metrics > 160) {
        percent += (r.metrics - 160) * 2;
      } else {
        pixels += r.metrics;
      }
    } else {
      indents += MetricsIndent(r.metrics);
    }
    offset = r.next;
  }
  // Bytes before the end marker (or the end of the buffer).
  auto bytes = static_cast<int32_t>(offset < size ? offset : size);
  if (lineCount) *lineCount = lines;
  if (sizeEstimate) *sizeEstimate = bytes + bytes / 2;
  if (separatorPixels) *separatorPixels = pixels;
  if (separatorPercent) *separatorPercent = percent;
  if (indentTotal) *indentTotal = indents;
}

ArticleTextStats MeasureArticleText(const uint8_t* text, uint32_t size) {
  ArticleTextStats s{};
  MeasureArticleText(text, size, &s.lineCount, &s.sizeEstimate, &s.separatorPixels,
                     &s.separatorPercent, &s.indentTotal);
  return s;
}
