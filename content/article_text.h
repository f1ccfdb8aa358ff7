// The paragraph format of a decoded article: records of a style byte, a
// metrics byte and zero-terminated ArticleCode text in display order, ended
// by a style byte of 0.
//
// Every reader here takes the buffer's size as well as its start and never
// looks at a byte at or beyond `size`: a record whose text runs off the end
// is cut at the end, and the end of the buffer counts as the end marker. A
// text from LoadTextResource passes length + 2 as its size.
#pragma once

#include <cstdint>

enum StyleBits : uint8_t {
  StyleFontKeyMask = 0x1F,
  StyleSmall = 0x02,
  StyleLarge = 0x04,
  StyleBold = 0x08,
  StyleRightToLeft = 0x10,
  StyleAlignMask = 0x60,
  StyleAlignLeft = 0x00,
  StyleAlignRight = 0x20,
  StyleAlignCentre = 0x40,
  StyleBlankAfter = 0x80,
};

constexpr uint8_t TitleStyle = 0xDC;
constexpr uint8_t SubtitleStyle = 0xD1;
constexpr uint8_t kMetricsIndentMask = 0x3F;
constexpr int kHangingShift = 6;

enum class Alignment { Left, Right, Centre };

struct ParagraphRecord {
  uint32_t offset;      // of the style byte
  uint8_t style;
  uint8_t metrics;
  uint32_t textOffset;  // first text byte
  uint32_t textLength;  // bytes before the terminating 0 (or the buffer's end)
  uint32_t next;        // offset of the following record
};

// A run of text inside an article: empty when `text` is null.
struct TextSpan {
  const uint8_t* text;
  uint32_t length;
};

struct ArticleTextStats {
  int32_t lineCount;
  int32_t sizeEstimate;
  int32_t separatorPixels;
  int32_t separatorPercent;
  int32_t indentTotal;
};

inline bool StyleSeparator(uint8_t style) { return (style & 7) == 7; }
inline Alignment StyleAlignment(uint8_t style) {
  switch (style & StyleAlignMask) {
    case StyleAlignRight: return Alignment::Right;
    case StyleAlignCentre: return Alignment::Centre;
    default: return Alignment::Left;  // 0x00 and 0x60
  }
}
inline int MetricsIndent(uint8_t metrics) { return metrics & kMetricsIndentMask; }
inline int MetricsHangingFactor(uint8_t metrics) { return metrics >> kHangingShift; }

// Width of a separator of length byte `L` in a text `textWidth` pixels wide:
// 1..160 are pixels, 161..255 a percentage ((L + 96) & 0xFF) * 2 of the
// width; always capped at the width.
int32_t SeparatorWidth(uint8_t L, int32_t textWidth);

// Reads the record at `offset`. Returns false at the end marker or the end
// of the buffer (then *record is untouched).
bool ReadRecord(const uint8_t* text, uint32_t size, uint32_t offset, ParagraphRecord* record);

void FindArticleTitles(const uint8_t* text, uint32_t size, TextSpan* title, TextSpan* subtitle);

// Each output is optional (null) and starts from 0.
void MeasureArticleText(const uint8_t* text, uint32_t size, int32_t* lineCount,
                        int32_t* sizeEstimate, int32_t* separatorPixels,
                        int32_t* separatorPercent, int32_t* indentTotal);
ArticleTextStats MeasureArticleText(const uint8_t* text, uint32_t size);
