#include "view/paint.h"

#include "codec/glyph_drawing.h"
#include "content/article_text.h"
#include "platform/graphics.h"
#include "view/font_cache.h"

namespace {

constexpr plat::Colour kBlue = plat::MakeColour(0, 0, 255);
constexpr plat::Colour kYellow = plat::MakeColour(255, 255, 0);
constexpr plat::Colour kRed = plat::MakeColour(255, 0, 0);
constexpr plat::Colour kWhite = plat::MakeColour(255, 255, 255);
constexpr int32_t kNoLimit = 0x7FFF;
constexpr uint32_t kBannerFont = 0x302;  // small font, colour set

struct PageStart {
  const LineRecord* line;  // first line to draw
  int32_t y;
  int32_t remaining;
  uint8_t style;  // current style
};

bool Paintable(const ArticleView* view) { return view && view->text.bytes && view->lines; }

bool BlankAfter(const LineRecord* line) { return (line->style & StyleBlankAfter) != 0; }

PageStart FindPageStart(ArticleView* view) {
  PageStart page{view->lines, view->top, view->height, 1};
  if (view->topLine > view->visualLineCount) view->topLine = view->lastPageStart;
  uint32_t v = 0;
  const LineRecord* previous = nullptr;
  while (page.line->style != 0 && v < view->topLine) {
    v += BlankAfter(page.line) ? 2 : 1;
    previous = page.line;
    ++page.line;
  }
  // The page starts on the empty line after the previous line.
  if (v > view->topLine && previous) {
    page.y += previous->height;
    page.remaining -= previous->height;
  }
  if (page.line->style != 0 && !StyleSeparator(page.line->style)) page.style = page.line->style;
  return page;
}

// A run as drawn: `count` bytes at `text` in a box `width` pixels wide.
struct PlacedRun {
  const uint8_t* text;
  int32_t count;
  int32_t left;
  int32_t width;
};

// The hanging word of a right-to-left line: after the line's stretch, past
// the rest of its word and the spaces, to the end of the paragraph's text.
// As much of it as fits the hang, drawn against the hang's right edge.
PlacedRun HangingWordRtl(const ArticleView* view, const LineRecord* line) {
  const uint8_t* end = view->text.bytes + view->text.length;
  const uint8_t* p = view->text.bytes + line->textOffset + line->length;
  while (p < end && *p != 0 && *p != ' ') ++p;
  while (p < end && *p == ' ') ++p;
  const uint8_t* word = p;
  while (p < end && *p != 0) ++p;
  int32_t w = line->hangWidth, count = static_cast<int32_t>(p - word);
  MeasureWithWidthTable(view->widthTable, word, &w, &count);
  return {word, count, line->x + line->width + line->hangWidth - w, w};
}

// The hanging word of a left-to-right line: from the line's start to the
// first space. *next is where the line's own run starts.
const uint8_t* HangingWordLtr(const ArticleView* view, const LineRecord* line, int32_t* length,
                              const uint8_t** next) {
  const uint8_t* end = view->text.bytes + view->text.length;
  const uint8_t* word = view->text.bytes + line->textOffset;
  const uint8_t* p = word;
  while (p < end && *p != 0 && *p != ' ') ++p;
  *length = static_cast<int32_t>(p - word);
  while (p < end && *p == ' ') ++p;
  *next = p;
  return word;
}

void Advance(PageStart& page, const LineRecord* line) {
  page.y += line->height;
  page.remaining -= line->height;
  if (BlankAfter(line)) {
    page.y += line->height;
    page.remaining -= line->height;
  }
}

void DrawSeparator(ArticleView* view, const LineRecord* line, int32_t y) {
  plat::Brush* old = plat::SelectBrush(view->dc, plat::GetStockBrush(plat::StockBlackBrush));
  int32_t mid = y + line->height / 2;
  plat::DrawRectangle(view->dc, line->x, mid, line->x + line->width, mid + 1);
  plat::SelectBrush(view->dc, old);
}

void DrawTextLine(ArticleView* view, const LineRecord* line, int32_t y) {
  const uint8_t* run = view->text.bytes + line->textOffset;
  if (line->hangWidth == 0) {
    DrawRun(view, run, line->length, line->x, y, line->width, line->height);
  } else if (line->style & StyleRightToLeft) {
    const PlacedRun word = HangingWordRtl(view, line);
    DrawRun(view, word.text, word.count, word.left, y, word.width, line->height);
    DrawRun(view, run, line->length, line->x, y, line->width, line->height);
  } else {
    int32_t length = 0;
    const uint8_t* next = nullptr;
    const uint8_t* word = HangingWordLtr(view, line, &length, &next);
    int32_t w = line->hangWidth, count = length;
    MeasureRun(view->dc, word, &w, &count);
    DrawRunBox(view->dc, word, count, line->x - line->hangWidth, y, w, line->height);
    DrawRun(view, next, line->length, line->x, y, line->width, line->height);
  }
}

}  // namespace

int PaintView(ArticleView* view, bool erase) {
  if (!Paintable(view)) return -1;
  view->linesDrawn = 0;
  PageStart page = FindPageStart(view);
  plat::Colour savedColour = plat::GetTextColour(view->dc);
  plat::Font* kept = SelectStyleFont(view, page.style | RequestSetColour);
  if (erase) FillBox(view->dc, view->left, view->top, view->width, view->height, plat::StockWhiteBrush);

  for (const LineRecord* line = page.line; line->style != 0; ++line) {
    if (page.remaining < line->height) break;
    if (StyleSeparator(line->style)) {
      DrawSeparator(view, line, page.y);
    } else {
      if (((line->style ^ page.style) & StyleFontKeyMask) != 0) {
        SelectStyleFont(view, line->style | RequestSetColour);
        page.style = line->style;
      }
      DrawTextLine(view, line, page.y);
    }
    view->linesDrawn += BlankAfter(line) ? 2 : 1;
    Advance(page, line);
  }
  if (kept) plat::SelectFont(view->dc, kept);
  plat::SetTextColour(view->dc, savedColour);
  if (view->hitStart || view->hitEnd) return PaintHitHighlight(view);
  return 0;
}

int PaintHitHighlight(ArticleView* view) {
  if (!Paintable(view)) return -1;
  PageStart page = FindPageStart(view);
  plat::Font* kept = SelectStyleFont(view, page.style);
  const uint8_t* text = view->text.bytes;
  for (const LineRecord* line = page.line; line->style != 0; ++line) {
    if (page.remaining < line->height) break;
    bool skip = StyleSeparator(line->style) || view->hitEnd < line->textOffset ||
                view->hitStart > line->textOffset + line->length;
    if (!skip) {
      if (((line->style ^ page.style) & StyleFontKeyMask) != 0) {
        SelectStyleFont(view, line->style);
        page.style = line->style;
      }
      const uint8_t* run = text + line->textOffset;
      if (line->hangWidth == 0) {
        HighlightRun(view, text, run, line->length, line->x, page.y, line);
      } else if (line->style & StyleRightToLeft) {
        const PlacedRun word = HangingWordRtl(view, line);
        DrawRunColoured(view->dc, word.text, word.count, word.left, page.y, word.width, line->height,
                        kBlue, kYellow);
        HighlightRun(view, text, run, line->length, line->x, page.y, line);
      } else {
        int32_t length = 0;
        const uint8_t* next = nullptr;
        const uint8_t* word = HangingWordLtr(view, line, &length, &next);
        HighlightRun(view, text, word, length, line->x - line->hangWidth, page.y, line);
        HighlightRun(view, text, next, line->length, line->x, page.y, line);
      }
    }
    Advance(page, line);
  }
  if (kept) plat::SelectFont(view->dc, kept);
  return 0;
}

void HighlightRun(ArticleView* view, const uint8_t* text, const uint8_t* run, int32_t length,
                  int32_t x, int32_t y, const LineRecord* line) {
  if (!view || !text || !run || !line) return;
  const auto k = static_cast<int32_t>((text + view->hitStart) - run);
  if (k >= 0) {
    if (length - k < 0) {
      length = 0;
    } else {
      int32_t w = kNoLimit, count = k;
      MeasureWithWidthTable(view->widthTable, run, &w, &count);
      run += k;
      x += w;
      length -= k;
    }
  }
  const auto toEnd = static_cast<int32_t>((text + view->hitEnd) - run);
  if (length > toEnd) length = toEnd;
  if (length <= 0) return;

  int32_t w = kNoLimit, count = length;
  MeasureWithWidthTable(view->widthTable, run, &w, &count);
  if (plat::Brush* yellow = plat::CreateSolidBrush(kYellow)) {
    plat::Rect band{x, y - 1, x + w, y + line->height + 1};
    plat::FillRect(view->dc, &band, yellow);
    plat::DeleteBrush(yellow);
  }
  plat::Colour oldText = plat::SetTextColour(view->dc, kBlue);
  plat::Colour oldBack = plat::SetBackColour(view->dc, kYellow);
  DrawRun(view, run, length, x, y, w, line->height);
  plat::SetBackColour(view->dc, oldBack);
  plat::SetTextColour(view->dc, oldText);
}

void DrawTitleBanner(ArticleView* view) {
  if (!view || !view->text.bytes) return;
  TextSpan title, subtitle;
  FindArticleTitles(view->text.bytes, view->text.length + 2, &title, &subtitle);
  if (!title.text && !subtitle.text) return;

  plat::Font* kept = SelectStyleFont(view, kBannerFont);
  const int32_t rows = (title.text && subtitle.text) ? 2 : 1;
  plat::TextMetrics tm{};
  plat::GetTextMetrics(view->dc, &tm);
  const int32_t H = tm.height;

  struct Row {
    const uint8_t* text;
    int32_t length;
    int32_t width;
  } lines[2] = {};
  int n = 0;
  for (const TextSpan* span : {&title, &subtitle}) {
    if (!span->text) continue;
    int32_t w = view->width, count = static_cast<int32_t>(span->length);
    MeasureRun(view->dc, span->text, &w, &count);
    lines[n++] = {span->text, count, w};
  }
  int32_t widest = lines[0].width > lines[1].width ? lines[0].width : lines[1].width;
  int32_t B = widest + 2 * (H + 4);
  if (B >= view->width) B = view->width;

  plat::Rect r;
  r.left = view->left + (view->width - B) / 2;
  r.right = r.left + B;
  r.bottom = view->top + view->height - 2;
  r.top = view->top + view->height - rows * H - 12;

  plat::Brush* oldBrush = plat::SelectBrush(view->dc, plat::GetStockBrush(plat::StockNullBrush));
  const plat::Colour frame[] = {kRed, kRed, kWhite, kBlue, kBlue};
  for (plat::Colour colour : frame) {
    if (plat::Pen* pen = plat::CreateSolidPen(1, colour)) {
      plat::Pen* oldPen = plat::SelectPen(view->dc, pen);
      plat::DrawRectangle(view->dc, r.left, r.top, r.right, r.bottom);
      plat::SelectPen(view->dc, oldPen);
      plat::DeletePen(pen);
    }
    ++r.left;
    ++r.top;
    --r.right;
    --r.bottom;
  }
  plat::SelectBrush(view->dc, oldBrush);
  if (plat::Brush* yellow = plat::CreateSolidBrush(kYellow)) {
    plat::FillRect(view->dc, &r, yellow);
    plat::DeleteBrush(yellow);
  }
  const int32_t inner = r.right - r.left;
  int32_t top = r.top;
  for (int i = 0; i < n; ++i) {
    if (lines[i].length == 0) continue;
    DrawRunColoured(view->dc, lines[i].text, lines[i].length, r.left + (inner - lines[i].width) / 2,
                    top, lines[i].width, H, kRed, kYellow);
    top += H;
  }
  if (kept) plat::SelectFont(view->dc, kept);
}
