#include "view/layout.h"

#include <cstring>

#include "codec/article_code.h"
#include "codec/glyph_drawing.h"
#include "content/article_text.h"
#include "platform/memory.h"
#include "view/font_cache.h"

namespace {

constexpr uint8_t kSpace = ' ';
constexpr uint8_t kHyphen = '-';

int32_t CharacterHeight(ArticleView* view) {
  plat::TextMetrics tm{};
  return plat::GetTextMetrics(view->dc, &tm) ? tm.height : 0;
}

int32_t WidestCharacter(ArticleView* view) {
  plat::TextMetrics tm{};
  return plat::GetTextMetrics(view->dc, &tm) ? tm.maxCharWidth : 0;
}

// What the walk over the records carries from one record to the next.
struct LayoutState {
  ArticleView* view;
  const uint8_t* text;
  uint16_t line;       // next line index
  uint16_t indent;     // running indent S
  uint8_t style;       // style of the font selected last
  int32_t height;      // its character height H
};

void SetLine(LineRecord* line, uint32_t textOffset, int32_t length, int32_t x, int32_t hangWidth,
             int32_t width, int32_t height, uint8_t style) {
  line->textOffset = static_cast<uint16_t>(textOffset);
  line->length = static_cast<uint16_t>(length);
  line->x = static_cast<uint16_t>(x);
  line->hangWidth = static_cast<uint16_t>(hangWidth);
  line->width = static_cast<uint16_t>(width);
  line->height = static_cast<uint16_t>(height);
  line->style = style;
}

uint16_t LayoutSeparator(LayoutState& s, const ParagraphRecord& r) {
  ArticleView* view = s.view;
  if (r.metrics == 0) return LayoutDone;
  if (s.line >= view->lineCapacity && GrowLineTable(view, s.line) != LayoutDone)
    return LayoutOutOfMemory;
  int32_t length = SeparatorWidth(r.metrics, view->width);
  int32_t x;
  switch (StyleAlignment(r.style)) {
    case Alignment::Right: x = view->left + view->width - length; break;
    case Alignment::Centre: x = view->left + (view->width - length) / 2; break;
    default: x = view->left; break;
  }
  SetLine(&view->lines[s.line], r.textOffset, 0, x, 0, length, s.height, r.style);
  if (r.style & StyleBlankAfter) ++view->visualLineCount;
  ++s.line;
  return LayoutDone;
}

// Measures `count` bytes at `at` within `avail` pixels, in place.
void Measure(ArticleView* view, bool rightToLeft, const uint8_t* at, int32_t* avail,
             int32_t* count) {
  if (rightToLeft) {
    MeasureWithWidthTable(view->widthTable, at, avail, count);
  } else {
    MeasureRun(view->dc, at, avail, count);
  }
}

uint16_t LayoutParagraph(LayoutState& s, const ParagraphRecord& r, int hanging) {
  ArticleView* view = s.view;
  if (((r.style ^ s.style) & StyleFontKeyMask) != 0) {
    SelectStyleFont(view, r.style);
    s.height = CharacterHeight(view);
    s.style = r.style;
  }
  const auto n = static_cast<int32_t>(r.textLength);
  int32_t hang = 0;
  if (hanging) {
    s.indent &= 0xFF3F;
    hang = (hanging + 1) * WidestCharacter(view) / 2;
  }
  const bool rightToLeft = (r.style & StyleRightToLeft) != 0;

  // Right-to-left text is broken in reading order on a reversed copy; each
  // line is still a stretch of the stored bytes.
  const uint8_t* work = s.text + r.textOffset;
  uint8_t* scratch = nullptr;
  if (rightToLeft) {
    scratch = static_cast<uint8_t*>(plat::MemAlloc(static_cast<std::size_t>(n) + 1));
    if (!scratch) return LayoutOutOfMemory;
    for (int32_t k = 0; k < n; ++k) scratch[k] = work[n - 1 - k];
    scratch[n] = 0;
    work = scratch;
  }
  if (s.indent >= view->width) s.indent = 0;

  int32_t p = 0;
  int32_t left = n;
  uint16_t status = LayoutDone;
  for (;;) {
    while (left > 0 && work[p] == kSpace) {
      ++p;
      --left;
    }
    if (left == 0 || work[p] == 0) break;
    if (s.line >= view->lineCapacity && GrowLineTable(view, s.line) != LayoutDone) {
      status = LayoutOutOfMemory;
      break;
    }
    int32_t count = left;
    int32_t avail = view->width - s.indent;
    int32_t hangStart = p;
    int32_t rest = p;
    if (hang) {
      while (rest < n && work[rest] != 0 && work[rest] != kSpace) ++rest;
      while (rest < n && work[rest] == kSpace) ++rest;
      count -= rest - hangStart;
      avail -= hang;
      if (avail < 0) avail = 0;
      p = rest;
    }
    Measure(view, rightToLeft, work + p, &avail, &count);

    // A fit that ends inside a word goes back to the last space or hyphen.
    if (p + count < n && work[p + count] != 0 && work[p + count] != kSpace) {
      for (int32_t k = count - 1; k >= 1; --k) {
        if (work[p + k] == kSpace || work[p + k] == kHyphen) {
          // The shorter run fits within the width the longer one took.
          count = work[p + k] == kHyphen ? k + 1 : k;
          Measure(view, rightToLeft, work + p, &avail, &count);
          break;
        }
      }
    }
    // Not even one character fits: take one anyway (with the points that
    // ride on it) so that every line makes progress.
    if (count == 0 && !hang && left > 0) {
      count = 1;
      while (rightToLeft && count < left && IsVowelCode(work[p + count])) ++count;
      avail = 0x7FFF;
      int32_t taken = count;
      Measure(view, rightToLeft, work + p, &avail, &taken);
    }

    uint32_t offset = rightToLeft ? r.textOffset + n - p - count
                                  : r.textOffset + (hang ? hangStart : p);
    const int32_t a = static_cast<uint16_t>(s.indent + hang);
    int32_t x;
    switch (StyleAlignment(r.style)) {
      case Alignment::Right: x = view->left + view->width - a - avail; break;
      case Alignment::Centre: x = view->left + s.indent + (view->width - a - avail) / 2; break;
      default: x = view->left + a; break;
    }
    LineRecord* line = &view->lines[s.line];
    SetLine(line, offset, count, x, hang, avail, s.height, r.style);
    s.indent = static_cast<uint16_t>(s.indent + hang);
    if (hang) {
      count += rest - hangStart;
      p = hangStart;
      hang = 0;
    }
    // Trailing spaces belong to no line: a line followed only by spaces is
    // the paragraph's last and keeps its blank line.
    int32_t after = p + count;
    while (after < p + left && work[after] == kSpace) ++after;
    if (count >= left || after == p + left) {
      if (r.style & StyleBlankAfter) ++view->visualLineCount;
    } else {
      line->style = r.style & 0x7F;
    }
    p += count;
    left -= count;
    ++s.line;
  }
  plat::MemFree(scratch);
  return status;
}

}  // namespace

ArticleView* CreateView(plat::DeviceContext* dc, const plat::Rect* rect,
                        const FontChoice* fontChoice, int32_t initialCapacity) {
  if (!dc) return nullptr;
  auto* view = static_cast<ArticleView*>(plat::MemAlloc(sizeof(ArticleView)));
  if (!view) return nullptr;
  std::memset(view, 0, sizeof *view);
  view->dc = dc;
  if (fontChoice) view->font = *fontChoice;
  if (rect) {
    view->left = rect->left;
    view->top = rect->top;
    view->width = rect->right - rect->left;
    view->height = rect->bottom - rect->top;
  }
  if (initialCapacity > 0) {
    auto capacity = static_cast<uint16_t>(initialCapacity > 0xFFFE ? 0xFFFE : initialCapacity);
    view->lines = static_cast<LineRecord*>(
        plat::MemAlloc((static_cast<std::size_t>(capacity) + 1) * sizeof(LineRecord)));
    if (view->lines) {
      std::memset(view->lines, 0, sizeof(LineRecord));
      view->lineCapacity = capacity;
    }
  }
  return view;
}

uint16_t GrowLineTable(ArticleView* view, uint16_t index) {
  if (!view) return LayoutNoView;
  std::size_t capacity = static_cast<std::size_t>(view->lineCapacity) + kLineTableStep;
  // Line numbers are 16-bit: a table cannot hold more.
  auto* grown = capacity < 0xFFFF
                    ? static_cast<LineRecord*>(plat::MemAlloc((capacity + 1) * sizeof(LineRecord)))
                    : nullptr;
  if (!grown) {
    if (view->lines) std::memset(&view->lines[index], 0, sizeof(LineRecord));
    return LayoutOutOfMemory;
  }
  if (view->lines) std::memcpy(grown, view->lines, view->lineCapacity * sizeof(LineRecord));
  plat::MemFree(view->lines);
  view->lines = grown;
  view->lineCapacity = static_cast<uint16_t>(capacity);
  return LayoutDone;
}

uint16_t LayoutArticle(ArticleView* view, TextBuffer text, bool takeText) {
  if (!view) return LayoutNoView;
  view->hitStart = view->hitEnd = 0;
  view->visualLineCount = 0;
  view->lastPageStart = 0;
  const bool own = text.bytes && text.bytes == view->text.bytes;
  auto dropNew = [&](uint16_t status) {
    if (!own) ReleaseText(&text);
    return status;
  };
  if (!text.bytes) {
    if (takeText) ReleaseText(&view->text);
    return LayoutNoText;
  }
  const uint32_t size = text.length + 2;  // the decoded bytes and their two zeros
  ParagraphRecord first;
  if (!ReadRecord(text.bytes, size, 0, &first) ||
      (first.textLength == 0 && !StyleSeparator(first.style)))
    return dropNew(LayoutRefused);
  if (takeText && !own) ReleaseText(&view->text);
  if (!view->lines || view->lineCapacity == 0) {
    view->lineCapacity = 0;
    if (GrowLineTable(view, 0) != LayoutDone) return dropNew(LayoutOutOfMemory);
  }

  plat::Font* kept = SelectStyleFont(view, 1);
  LayoutState s{view, text.bytes, 0, 0, 1, CharacterHeight(view)};
  uint8_t previousMetrics = 0;
  uint16_t status = LayoutDone;
  ParagraphRecord r;
  for (uint32_t at = 0; status == LayoutDone && ReadRecord(text.bytes, size, at, &r); at = r.next) {
    int hanging = MetricsHangingFactor(r.metrics);
    if (hanging && r.textLength > 0 && text.bytes[r.textOffset] == ' ' && s.line > 0) {
      int diff = MetricsIndent(r.metrics) - MetricsIndent(previousMetrics);
      s.indent = static_cast<uint16_t>(s.indent + diff);
      hanging = 0;
    } else {
      s.indent = r.metrics;
    }
    previousMetrics = r.metrics;
    status = StyleSeparator(r.style) ? LayoutSeparator(s, r) : LayoutParagraph(s, r, hanging);
  }
  if (status != LayoutDone) {
    if (kept) plat::SelectFont(view->dc, kept);
    view->lines[s.line] = LineRecord{};
    if (!own && takeText) view->text = TextBuffer{nullptr, 0};
    // Lines of a text the view does not keep would point into the wrong
    // buffer: the view keeps its text but shows no lines until a layout
    // succeeds.
    if (!own && view->text.bytes) {
      view->lines[0] = LineRecord{};
      view->lineCount = 0;
    }
    return dropNew(status);
  }

  view->lines[s.line] = LineRecord{};
  view->lineCount = s.line;
  view->visualLineCount = static_cast<uint16_t>(view->visualLineCount + s.line);
  if (s.line > 0 && (view->lines[s.line - 1].style & StyleBlankAfter)) {
    view->lines[s.line - 1].style &= static_cast<uint8_t>(~StyleBlankAfter);
    --view->visualLineCount;
  }
  view->text = text;
  ComputeLastPageStart(view);
  if (kept) plat::SelectFont(view->dc, kept);
  return LayoutDone;
}

int32_t ComputeLastPageStart(ArticleView* view) {
  if (!view || !view->lines || view->visualLineCount == 0 || view->lineCount == 0) return -1;
  auto remaining = static_cast<int16_t>(view->height);
  int32_t k = 0;
  for (int32_t i = view->lineCount - 1; i >= 0; --i) {
    const LineRecord& line = view->lines[i];
    if (remaining < line.height) break;
    remaining = static_cast<int16_t>(remaining - line.height);
    if (line.style & StyleBlankAfter) {
      remaining = static_cast<int16_t>(remaining - line.height);
      ++k;
    }
    ++k;
  }
  if (remaining < 0) --k;
  view->lastPageStart = static_cast<uint16_t>(view->visualLineCount - k);
  return view->lastPageStart;
}

int32_t ScrollToTextOffset(ArticleView* view, uint16_t offset) {
  if (!view || !view->lines) return 0;
  uint32_t v = 0;
  for (const LineRecord* line = view->lines; line->style != 0; ++line) {
    if (line->textOffset <= offset && offset <= line->textOffset + line->length) {
      view->topLine = static_cast<uint16_t>(v <= view->lastPageStart ? v : view->lastPageStart);
      return 1;
    }
    v += (line->style & StyleBlankAfter) ? 2 : 1;
  }
  return 0;
}

int32_t ResizeView(ArticleView* view, int32_t width, int32_t height) {
  if (!view) return -1;
  if (width <= 0 || height <= 0) return -5;
  view->width = width;
  view->height = height;
  return LayoutArticle(view, view->text, false);
}

void DestroyView(ArticleView* view, bool releaseRecord) {
  if (!view) return;
  ReleaseText(&view->text);
  plat::MemFree(view->lines);
  view->lines = nullptr;
  view->lineCount = view->lineCapacity = 0;
  SetViewFont(view, nullptr);
  while (FontCacheEntry* e = view->fontCache) {
    view->fontCache = e->next;
    plat::MemFree(e);
  }
  view->widthTable = nullptr;
  if (releaseRecord) plat::MemFree(view);
}
