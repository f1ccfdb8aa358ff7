// tovanel-bench, the view's part: painting a page of pointed text with the
// glyph cache cold and warm, and breaking the longest article into lines,
// with Pango breaking the very same paragraphs (reading-order UTF-8, same
// face, same cell height, same width, right to left) in the same run.
//
// Every figure is taken on the face "Frank Ruehl CLM" at a cell height of
// kCellHeight pixels. The summary printed when the program ends gives the
// line counts and line heights of both sides, so that a ratio is only
// trusted when both did comparable work.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "content/article_text.h"
#include "content/text_resource.h"
#include "platform/graphics.h"
#include "shell/app_globals.h"
#include "tools/pack/book_source.h"
#include "tools/pack/hebrew_encoder.h"
#include "view/article_view.h"
#include "view/font_cache.h"
#include "view/layout.h"
#include "view/paint.h"

#if TOVANEL_HAVE_PANGO
#include <pango/pangoft2.h>
#endif

namespace {

constexpr char16_t kFace[] = u"Frank Ruehl CLM";
constexpr char kFaceUtf8[] = "Frank Ruehl CLM";
// The platform's default cell height: what a reader sees before choosing a size.
constexpr int32_t kCellHeight = 16;
constexpr int32_t kPageArticle = 1;
constexpr char16_t kAlphabet[] = u"\u05D0\u05D1\u05D2\u05D3\u05D4\u05D5\u05D6\u05D7\u05D8\u05D9"
                                 u"\u05DB\u05DC\u05DE\u05E0\u05E1\u05E2\u05E4\u05E6\u05E7\u05E8"
                                 u"\u05E9\u05EA";
constexpr char kAlphabetUtf8[] =
    "\u05D0\u05D1\u05D2\u05D3\u05D4\u05D5\u05D6\u05D7\u05D8\u05D9\u05DB\u05DC\u05DE\u05E0\u05E1"
    "\u05E2\u05E4\u05E6\u05E7\u05E8\u05E9\u05EA";

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "tovanel-bench: %s\n", message.c_str());
  std::exit(EXIT_FAILURE);
}

// The process's CPU time, the clock the benchmark table's CPU column reads.
double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

FontChoice BenchFontChoice() {
  FontChoice choice{};
  std::char_traits<char16_t>::copy(choice.faceName, kFace, std::size(kFace) - 1);
  choice.size = kCellHeight;
  choice.asciiBase = kAsciiBaseUnicode;
  return choice;
}

// What the reader sets before it draws: Unicode faces, runs not reversed.
void UseReaderSettings() {
  g_app.fontChoice = BenchFontChoice();
  g_app.displayFlags = 0;
}

// A view of `width` x `height` pixels on a surface of its own, holding an
// article laid out. Made once and kept until the process ends.
struct ViewFixture {
  plat::Surface* surface = nullptr;
  plat::DeviceContext* dc = nullptr;
  ArticleView* view = nullptr;
  int32_t article = 0;
};

ViewFixture MakeView(int32_t article, int32_t width, int32_t height) {
  UseReaderSettings();
  ViewFixture f;
  f.article = article;
  f.surface = plat::CreateSurface(width, height);
  f.dc = plat::CreateSurfaceDC(f.surface);
  const plat::Rect rect{0, 0, width, height};
  const FontChoice choice = BenchFontChoice();
  f.view = CreateView(f.dc, &rect, &choice, 100);
  if (!f.view) Fail("no view");
  TextBuffer text = LoadTextResource(article, nullptr);
  if (!text.bytes) Fail("article " + std::to_string(article) + " is missing");
  if (LayoutArticle(f.view, text, true) != LayoutDone)
    Fail("article " + std::to_string(article) + " cannot be laid out");
  return f;
}

// ---- Pages ------------------------------------------------------------------

struct PageFigures {
  int32_t linesDrawn = 0;
  int32_t glyphDraws = 0;  // platform text calls for one page
  int64_t inkPixels = 0;
  double warmCpuNs = 0;    // per page, the last run of the warm benchmark
};

std::map<std::pair<int32_t, int32_t>, ViewFixture> g_pages;
std::map<std::pair<int32_t, int32_t>, PageFigures> g_pageFigures;

int64_t InkPixels(const plat::Surface* s) {
  int64_t n = 0;
  const int64_t count = int64_t{s->width} * s->height;
  for (int64_t i = 0; i < count; ++i) n += s->pixels[i] != 0xFFFFFFu;
  return n;
}

// Article 1 from its top, painted once so that the page is known to be
// full of ink before anything is timed.
ArticleView* PageView(int32_t width, int32_t height) {
  const auto key = std::make_pair(width, height);
  auto it = g_pages.find(key);
  if (it != g_pages.end()) return it->second.view;
  ViewFixture f = MakeView(kPageArticle, width, height);
  std::vector<plat::DrawTextCall> calls;
  plat::SetDrawTextRecorder(&calls);
  if (PaintView(f.view, true) != 0) Fail("the page cannot be painted");
  plat::SetDrawTextRecorder(nullptr);
  PageFigures& figures = g_pageFigures[key];
  figures.linesDrawn = f.view->linesDrawn;
  figures.glyphDraws = static_cast<int32_t>(calls.size());
  figures.inkPixels = InkPixels(f.surface);
  if (figures.linesDrawn == 0 || figures.inkPixels == 0) Fail("the page was painted empty");
  return g_pages.emplace(key, f).first->second.view;
}

// Replaces every font of the view by a freshly created one with an empty
// glyph cache. keepWidths: the width tables stay (same face and size, so
// they still hold); otherwise they are measured again on first use, as
// after a change of font.
void RenewFonts(ArticleView* view, bool keepWidths) {
  for (FontCacheEntry* e = view->fontCache; e; e = e->next) {
    if (!e->font) continue;
    const WidthTable widths = e->widths;
    plat::DeleteFont(e->font);
    CreateStyleFont(view, e, e->key);
    if (!e->font) Fail("a font cannot be created");
    if (keepWidths) e->widths = widths;
  }
}

void BM_PaintPageWarm(benchmark::State& state) {
  const auto width = static_cast<int32_t>(state.range(0));
  const auto height = static_cast<int32_t>(state.range(1));
  ArticleView* view = PageView(width, height);
  UseReaderSettings();
  const double start = CpuSeconds();
  for (auto _ : state) {
    benchmark::DoNotOptimize(PaintView(view, true));
    benchmark::ClobberMemory();
  }
  PageFigures& figures = g_pageFigures[{width, height}];
  figures.warmCpuNs = (CpuSeconds() - start) * 1e9 / static_cast<double>(state.iterations());
  state.counters["lines"] = figures.linesDrawn;
  state.counters["glyph_draws"] = figures.glyphDraws;
}
BENCHMARK(BM_PaintPageWarm)
    ->ArgNames({"w", "h"})
    ->Args({240, 320})
    ->Args({480, 800})
    ->Unit(benchmark::kMicrosecond);

// Every glyph rendered again: fresh fonts before each paint, made outside
// the timed part.
void BM_PaintPageCold(benchmark::State& state) {
  const auto width = static_cast<int32_t>(state.range(0));
  const auto height = static_cast<int32_t>(state.range(1));
  ArticleView* view = PageView(width, height);
  UseReaderSettings();
  for (auto _ : state) {
    state.PauseTiming();
    RenewFonts(view, true);
    state.ResumeTiming();
    benchmark::DoNotOptimize(PaintView(view, true));
    benchmark::ClobberMemory();
  }
  state.counters["glyph_draws"] = g_pageFigures[{width, height}].glyphDraws;
}
BENCHMARK(BM_PaintPageCold)->ArgNames({"w", "h"})->Args({240, 320})->Unit(benchmark::kMicrosecond);

// The same with the fonts' creation and measuring timed too: the paint
// after a change of font, without the layout.
void BM_PaintPageColdWithFonts(benchmark::State& state) {
  const auto width = static_cast<int32_t>(state.range(0));
  const auto height = static_cast<int32_t>(state.range(1));
  ArticleView* view = PageView(width, height);
  UseReaderSettings();
  for (auto _ : state) {
    RenewFonts(view, false);
    benchmark::DoNotOptimize(PaintView(view, true));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PaintPageColdWithFonts)
    ->ArgNames({"w", "h"})
    ->Args({240, 320})
    ->Unit(benchmark::kMicrosecond);

// ---- Layout -----------------------------------------------------------------

// The article with the most decoded bytes.
struct LongestArticle {
  int32_t number = 0;
  uint32_t bytes = 0;
};

LongestArticle FindLongestArticle() {
  static const LongestArticle longest = [] {
    LongestArticle best;
    for (int32_t n = 1; n <= kArticleCount; ++n) {
      TextBuffer text = LoadTextResource(n, nullptr);
      if (!text.bytes) Fail("article " + std::to_string(n) + " is missing");
      if (text.length > best.bytes) best = {n, text.length};
      ReleaseText(&text);
    }
    return best;
  }();
  return longest;
}

constexpr int32_t PageHeightFor(int32_t width) { return width <= 240 ? 320 : 800; }

struct LayoutFigures {
  double oursCpuNs = 0;
  double pangoCpuNs = 0;
  int32_t oursLines = 0;
  int32_t pangoLines = 0;
  // Paragraphs that ours breaks into more, fewer, as many lines as Pango.
  int32_t oursMore = 0, oursFewer = 0, same = 0;
};
std::map<int32_t, LayoutFigures> g_layoutFigures;

std::map<int32_t, ViewFixture> g_layoutViews;

ArticleView* LayoutView(int32_t width) {
  auto it = g_layoutViews.find(width);
  if (it != g_layoutViews.end()) return it->second.view;
  ViewFixture f = MakeView(FindLongestArticle().number, width, PageHeightFor(width));
  g_layoutFigures[width].oursLines = f.view->lineCount;
  return g_layoutViews.emplace(width, f).first->second.view;
}

// Line heights and the width of the 22 letters in our fonts, for the summary.
struct OurMetrics {
  int32_t titleHeight = 0, headingHeight = 0, verseHeight = 0;
  int32_t alphabetWidth = 0;
  int32_t maxCharWidth = 0;  // of the verses' font: sets their number column
  int32_t article = 0;
  uint32_t articleBytes = 0;
};
OurMetrics g_ourMetrics;

// A hanging paragraph's number column, as the layout sizes it.
int32_t HangWidth(int hanging, int32_t maxCharWidth) { return (hanging + 1) * maxCharWidth / 2; }

int32_t HeightOfStyle(const ArticleView* view, uint8_t key) {
  for (uint16_t i = 0; i < view->lineCount; ++i) {
    if ((view->lines[i].style & StyleFontKeyMask) == key) return view->lines[i].height;
  }
  return 0;
}

const OurMetrics& MeasureOurs(ArticleView* view) {
  OurMetrics& m = g_ourMetrics;
  if (m.article != 0) return m;
  m.article = FindLongestArticle().number;
  m.articleBytes = FindLongestArticle().bytes;
  m.titleHeight = HeightOfStyle(view, TitleStyle & StyleFontKeyMask);
  m.verseHeight = HeightOfStyle(view, kVerseStyle & StyleFontKeyMask);
  m.headingHeight = HeightOfStyle(view, kHeadingStyle & StyleFontKeyMask);
  plat::Font* kept = SelectStyleFont(view, kVerseStyle);
  plat::Size size{};
  plat::GetTextExtent(view->dc, kAlphabet, static_cast<int32_t>(std::size(kAlphabet) - 1), &size);
  m.alphabetWidth = size.cx;
  plat::TextMetrics tm{};
  plat::GetTextMetrics(view->dc, &tm);
  m.maxCharWidth = tm.maxCharWidth;
  if (kept) plat::SelectFont(view->dc, kept);
  return m;
}

void BM_LayoutOurs(benchmark::State& state) {
  const auto width = static_cast<int32_t>(state.range(0));
  ArticleView* view = LayoutView(width);
  UseReaderSettings();
  const double start = CpuSeconds();
  for (auto _ : state) {
    if (LayoutArticle(view, view->text, false) != LayoutDone) Fail("relayout failed");
    benchmark::DoNotOptimize(view->lines);
    benchmark::ClobberMemory();
  }
  LayoutFigures& figures = g_layoutFigures[width];
  figures.oursCpuNs = (CpuSeconds() - start) * 1e9 / static_cast<double>(state.iterations());
  if (figures.oursLines != view->lineCount) Fail("a relayout gave another number of lines");
  state.counters["lines"] = view->lineCount;
  MeasureOurs(view);
}
BENCHMARK(BM_LayoutOurs)->ArgName("w")->Arg(240)->Arg(480)->Unit(benchmark::kMicrosecond);

#if TOVANEL_HAVE_PANGO

// Lines of our layout per record, in the records' order.
std::vector<int32_t> OurLinesPerRecord(const ArticleView* view) {
  std::vector<int32_t> out;
  const uint32_t size = view->text.length + 2;
  uint16_t line = 0;
  ParagraphRecord r;
  for (uint32_t at = 0; ReadRecord(view->text.bytes, size, at, &r); at = r.next) {
    int32_t n = 0;
    while (line < view->lineCount && view->lines[line].textOffset < r.next) {
      ++line;
      ++n;
    }
    out.push_back(n);
  }
  return out;
}

struct PangoParagraph {
  std::string text;  // reading order
  uint8_t key;       // our font key, which picks the font description
  PangoAlignment alignment;
  int32_t indent;    // pixels off the width on every line
  int32_t hang;      // pixels off the width on every line but the first
};

struct PangoSide {
  PangoFontMap* map = nullptr;
  PangoContext* context = nullptr;
  PangoLayout* layout = nullptr;
  std::map<uint8_t, PangoFontDescription*> fonts;  // by our font key
  std::vector<PangoParagraph> paragraphs;
  double emPixels[2] = {};      // Pango's size for regular and bold at kCellHeight
  int32_t titleHeight = 0, headingHeight = 0, verseHeight = 0;
  int32_t alphabetWidth = 0;
  std::string family;           // of the face Pango loaded
};

PangoSide* g_pango = nullptr;

// Pango's size (pixels per em) that gives a cell of `cell` pixels, from the
// face's ascent + descent at a large size so that rounding does not skew it.
double PangoSizeForCell(PangoContext* context, bool bold, int32_t cell) {
  constexpr int kProbe = 1024;
  PangoFontDescription* desc = pango_font_description_from_string(kFaceUtf8);
  pango_font_description_set_weight(desc, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_absolute_size(desc, kProbe * PANGO_SCALE);
  PangoFontMetrics* metrics = pango_context_get_metrics(context, desc, nullptr);
  const double cellPerEm =
      static_cast<double>(pango_font_metrics_get_ascent(metrics) +
                          pango_font_metrics_get_descent(metrics)) /
      (kProbe * PANGO_SCALE);
  pango_font_metrics_unref(metrics);
  pango_font_description_free(desc);
  return cell / cellPerEm;
}

int32_t PangoLineHeight(PangoSide* p, uint8_t key) {
  pango_layout_set_font_description(p->layout, p->fonts.at(key));
  pango_layout_set_width(p->layout, -1);
  pango_layout_set_indent(p->layout, 0);
  pango_layout_set_text(p->layout, kAlphabetUtf8, -1);
  PangoRectangle logical{};
  pango_layout_get_pixel_extents(p->layout, nullptr, &logical);
  return logical.height;
}

PangoSide* SetUpPango(const ArticleView* view, const OurMetrics& ours) {
  if (g_pango) return g_pango;
  auto* p = new PangoSide;
  p->map = pango_ft2_font_map_new();
  p->context = pango_font_map_create_context(p->map);
  pango_context_set_language(p->context, pango_language_from_string("he"));
  pango_context_set_base_dir(p->context, PANGO_DIRECTION_RTL);
  p->layout = pango_layout_new(p->context);
  pango_layout_set_wrap(p->layout, PANGO_WRAP_WORD);
  pango_layout_set_auto_dir(p->layout, TRUE);
  p->emPixels[0] = PangoSizeForCell(p->context, false, kCellHeight);
  p->emPixels[1] = PangoSizeForCell(p->context, true, kCellHeight);

  // The paragraphs, each with the font our key asks for.
  const uint32_t size = view->text.length + 2;
  ParagraphRecord r;
  for (uint32_t at = 0; ReadRecord(view->text.bytes, size, at, &r); at = r.next) {
    if (StyleSeparator(r.style)) Fail("the longest article has a separator: not compared");
    const uint8_t key = r.style & StyleFontKeyMask;
    if (!p->fonts.count(key)) {
      const bool bold = (key & StyleBold) != 0;
      const double scale = p->emPixels[bold ? 1 : 0] / kCellHeight;
      PangoFontDescription* desc = pango_font_description_from_string(kFaceUtf8);
      pango_font_description_set_weight(desc, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
      pango_font_description_set_absolute_size(
          desc, StyleFontHeight(kCellHeight, key) * scale * PANGO_SCALE);
      p->fonts[key] = desc;
    }
    PangoAlignment alignment = PANGO_ALIGN_LEFT;
    switch (StyleAlignment(r.style)) {
      case Alignment::Right: alignment = PANGO_ALIGN_RIGHT; break;
      case Alignment::Centre: alignment = PANGO_ALIGN_CENTER; break;
      default: break;
    }
    const int hanging = MetricsHangingFactor(r.metrics);
    p->paragraphs.push_back({DecodeParagraph(view->text.bytes + r.textOffset, r.textLength), key,
                             alignment, MetricsIndent(r.metrics),
                             hanging ? HangWidth(hanging, ours.maxCharWidth) : 0});
  }

  PangoFont* loaded =
      pango_context_load_font(p->context, p->fonts.at(kVerseStyle & StyleFontKeyMask));
  if (loaded) {
    PangoFontDescription* d = pango_font_describe(loaded);
    p->family = pango_font_description_get_family(d) ? pango_font_description_get_family(d) : "";
    pango_font_description_free(d);
    g_object_unref(loaded);
  }
  if (p->family != kFaceUtf8)
    Fail("Pango loaded " + p->family + " instead of " + std::string(kFaceUtf8));

  p->titleHeight = PangoLineHeight(p, TitleStyle & StyleFontKeyMask);
  p->verseHeight = PangoLineHeight(p, kVerseStyle & StyleFontKeyMask);
  p->headingHeight = PangoLineHeight(p, kHeadingStyle & StyleFontKeyMask);
  pango_layout_set_font_description(p->layout, p->fonts.at(kVerseStyle & StyleFontKeyMask));
  pango_layout_set_text(p->layout, kAlphabetUtf8, -1);
  PangoRectangle logical{};
  pango_layout_get_pixel_extents(p->layout, nullptr, &logical);
  p->alphabetWidth = logical.width;
  g_pango = p;
  return p;
}

// Breaks every paragraph at `width`; out: the lines of each when given.
int32_t PangoLayoutArticle(PangoSide* p, int32_t width, std::vector<int32_t>* perParagraph) {
  PangoLayout* layout = p->layout;
  int32_t lines = 0;
  for (const PangoParagraph& para : p->paragraphs) {
    pango_layout_set_font_description(layout, p->fonts[para.key]);
    pango_layout_set_alignment(layout, para.alignment);
    pango_layout_set_width(layout, (width - para.indent) * PANGO_SCALE);
    // Negative: a hanging indent, the first line full width.
    pango_layout_set_indent(layout, -para.hang * PANGO_SCALE);
    pango_layout_set_text(layout, para.text.data(), static_cast<int>(para.text.size()));
    const int n = pango_layout_get_line_count(layout);
    if (perParagraph) perParagraph->push_back(n);
    lines += n;
  }
  return lines;
}

void BM_LayoutPango(benchmark::State& state) {
  const auto width = static_cast<int32_t>(state.range(0));
  ArticleView* view = LayoutView(width);
  UseReaderSettings();
  PangoSide* p = SetUpPango(view, MeasureOurs(view));
  LayoutFigures& figures = g_layoutFigures[width];
  if (figures.pangoLines == 0) {
    std::vector<int32_t> theirs;
    figures.pangoLines = PangoLayoutArticle(p, width, &theirs);
    const std::vector<int32_t> ours = OurLinesPerRecord(view);
    if (ours.size() != theirs.size()) Fail("the two sides see different paragraphs");
    for (std::size_t i = 0; i < ours.size(); ++i) {
      if (ours[i] > theirs[i]) ++figures.oursMore;
      else if (ours[i] < theirs[i]) ++figures.oursFewer;
      else ++figures.same;
    }
  }
  int32_t lines = 0;
  const double start = CpuSeconds();
  for (auto _ : state) {
    lines = PangoLayoutArticle(p, width, nullptr);
    benchmark::DoNotOptimize(lines);
  }
  figures.pangoCpuNs = (CpuSeconds() - start) * 1e9 / static_cast<double>(state.iterations());
  state.counters["lines"] = lines;
}
BENCHMARK(BM_LayoutPango)->ArgName("w")->Arg(240)->Arg(480)->Unit(benchmark::kMicrosecond);

#endif  // TOVANEL_HAVE_PANGO

// Printed when the program ends, after the table and the decoder's summary:
// what was compared and how the two sides' times relate. It only reads what
// the benchmarks stored (the platform's own statics may be gone by then);
// the views are left to the process's exit.
struct Summary {
  ~Summary() {
    if (!g_pageFigures.empty()) {
      std::printf("\nPages of article %d, %s at a cell height of %d px\n", kPageArticle,
                  kFaceUtf8, kCellHeight);
      for (const auto& [key, f] : g_pageFigures) {
        std::printf("  %dx%d: %d lines, %d glyph draws, %lld ink pixels", key.first, key.second,
                    f.linesDrawn, f.glyphDraws, static_cast<long long>(f.inkPixels));
        if (f.warmCpuNs > 0) std::printf("; warm %.1f us CPU", f.warmCpuNs / 1e3);
        std::printf("\n");
      }
    }
    if (g_layoutFigures.empty()) return;
    const OurMetrics& ours = g_ourMetrics;
    std::printf("\nLayout of article %d (the longest: %u bytes decoded), %s at a cell height of "
                "%d px\n",
                ours.article, ours.articleBytes, kFaceUtf8, kCellHeight);
    std::printf("  ours:  line heights title/heading/verse %d/%d/%d px, 22 letters %d px wide, "
                "verse number column %d px\n",
                ours.titleHeight, ours.headingHeight, ours.verseHeight, ours.alphabetWidth,
                HangWidth(MetricsHangingFactor(kVerseMetrics), ours.maxCharWidth));
#if TOVANEL_HAVE_PANGO
    if (g_pango) {
      std::printf("  Pango: line heights title/heading/verse %d/%d/%d px, 22 letters %d px wide "
                  "(%.3f px/em regular, %.3f bold for a %d px cell)\n",
                  g_pango->titleHeight, g_pango->headingHeight, g_pango->verseHeight,
                  g_pango->alphabetWidth, g_pango->emPixels[0], g_pango->emPixels[1], kCellHeight);
    }
#endif
    for (const auto& [width, f] : g_layoutFigures) {
      std::printf("  width %d: ours %d lines", width, f.oursLines);
      if (f.oursCpuNs > 0) std::printf(" in %.1f us", f.oursCpuNs / 1e3);
      if (f.pangoLines > 0) {
        std::printf(", Pango %d lines", f.pangoLines);
        if (f.pangoCpuNs > 0) std::printf(" in %.1f us", f.pangoCpuNs / 1e3);
        std::printf(" (paragraphs with more lines in ours %d, fewer %d, as many %d)", f.oursMore,
                    f.oursFewer, f.same);
      }
      if (f.oursCpuNs > 0 && f.pangoCpuNs > 0)
        std::printf("; Pango/ours %.1fx", f.pangoCpuNs / f.oursCpuNs);
      std::printf("\n");
    }
  }
};
Summary g_summary;

}  // namespace
