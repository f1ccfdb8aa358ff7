#include "view/layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "codec/article_code.h"
#include "codec/glyph_drawing.h"
#include "content/article_text.h"
#include "content/text_resource.h"
#include "platform/graphics.h"
#include "platform/memory.h"
#include "tools/pack/hebrew_encoder.h"
#include "view/font_cache.h"
#include "view/paint.h"
#include "tests/view/view_fixture.h"

namespace {

using namespace view_test;

class LayoutTest : public ViewFixture {
 protected:
  void SetUp() override {
    StartSurface(600, 400);
    MakeView(100, 200, 100);
  }

  // The hanging column of factor h in the font of `key`.
  int32_t Hang(uint8_t key, int h) { return (h + 1) * Metrics(key).maxCharWidth / 2; }

  uint16_t Layout(const std::vector<Record>& records) {
    return LayoutArticle(view_, MakeText(records), true);
  }

  // Each line's bytes, in reading order.
  std::vector<std::string> LineTexts() const {
    std::vector<std::string> out;
    for (int i = 0; i < view_->lineCount; ++i) {
      const LineRecord& l = view_->lines[i];
      std::string s(reinterpret_cast<const char*>(view_->text.bytes) + l.textOffset, l.length);
      if (l.style & StyleRightToLeft) std::reverse(s.begin(), s.end());
      out.push_back(s);
    }
    return out;
  }
};

TEST_F(LayoutTest, LastPageStartCountsBackFromTheEnd) {
  // Heights 10, 10 with an empty line after, 10: four visual lines.
  view_->lines[0] = {2, 1, 0, 0, 10, 10, 0x31};
  view_->lines[1] = {5, 1, 0, 0, 10, 10, 0xB1};
  view_->lines[2] = {8, 1, 0, 0, 10, 10, 0x31};
  view_->lines[3] = {};
  view_->lineCount = 3;
  view_->visualLineCount = 4;
  struct Case {
    int32_t height, lastPageStart;
  } cases[] = {
      {35, 1},  // the flagged line and its empty line fit, the first line does not
      {25, 2},  // the flagged line fits, its empty line does not
      {10, 3}, {9, 4}, {40, 0}, {100, 0},
  };
  for (const Case& c : cases) {
    view_->height = c.height;
    EXPECT_EQ(ComputeLastPageStart(view_), c.lastPageStart) << c.height;
    EXPECT_EQ(view_->lastPageStart, c.lastPageStart) << c.height;
  }
  view_->lineCount = 0;
  view_->lastPageStart = 7;
  EXPECT_EQ(ComputeLastPageStart(view_), -1);
  EXPECT_EQ(view_->lastPageStart, 7);
}

TEST_F(LayoutTest, VisualLinesCountTheEmptyLineAfterAllButTheLast) {
  UseTestWidths(0x11);
  UseTestWidths(0x1C);
  struct Case {
    const char* name;
    std::vector<Record> records;
    std::vector<uint8_t> styles;
    int visualLines;
  } cases[] = {
      {"title alone", {{0xDC, 0, Rtl("aa")}}, {0x5C}, 1},
      {"title, paragraph", {{0xDC, 0, Rtl("aa")}, {0xB1, 0, Rtl("bb")}}, {0xDC, 0x31}, 3},
      // "aaaa bbbb cccc" takes two lines at 100 pixels: 0x80 stays on the second.
      {"two-line paragraph",
       {{0xB1, 0, Rtl("aaaa bbbb cccc")}, {0x31, 0, Rtl("aa")}},
       {0x31, 0xB1, 0x31},
       4},
      {"separators",
       {{0x31, 0, Rtl("aa")}, {0x87, 50, {}}, {0x31, 0, Rtl("bb")}, {0x87, 50, {}}},
       {0x31, 0x87, 0x31, 0x07},
       5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Layout(c.records), LayoutDone);
    ASSERT_EQ(view_->lineCount, c.styles.size());
    for (std::size_t i = 0; i < c.styles.size(); ++i) EXPECT_EQ(view_->lines[i].style, c.styles[i]) << i;
    EXPECT_EQ(view_->lines[c.styles.size()].style, 0);
    EXPECT_EQ(view_->visualLineCount, c.visualLines);
    EXPECT_EQ(view_->lastPageStart, 0);
  }
}

TEST_F(LayoutTest, HangingColumnHoldsTheFirstWordAndIndentsEveryLine) {
  const int32_t width = 150;
  MakeView(width, 200, 100);
  UseTestWidths(0x11);
  struct Case {
    uint8_t style;
    int h;
  } cases[] = {{0x31, 1}, {0x31, 2}, {0x31, 3}, {0x11, 1}, {0x11, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "style " << std::hex << int(c.style) << " h " << c.h);
    const int32_t L = Hang(0x11, c.h);
    ASSERT_GT(L, 0);
    ASSERT_EQ(Layout({{c.style, static_cast<uint8_t>(c.h << 6), Rtl("12 aaaa bbbb cccc aaaa bbbb")}}),
              LayoutDone);
    ASSERT_GE(view_->lineCount, 2);
    EXPECT_EQ(LineTexts()[0].substr(0, 5), "aaaa ");
    for (int i = 0; i < view_->lineCount; ++i) {
      const LineRecord& l = view_->lines[i];
      EXPECT_EQ(l.hangWidth, i == 0 ? L : 0) << i;
      EXPECT_LE(l.width, width - L) << i;
      if (c.style & StyleAlignRight) {
        EXPECT_EQ(l.x + l.width, kLeft + width - L) << i;
      } else {
        EXPECT_EQ(l.x, kLeft + L) << i;
      }
    }
  }
}

TEST_F(LayoutTest, IndentsAndContinuationRecords) {
  UseTestWidths(0x11);
  const int32_t L = Hang(0x11, 1);
  struct Case {
    const char* name;
    int32_t width;
    std::vector<Record> records;
    int32_t lastX;  // x of the last line, from the view's left
  } cases[] = {
      {"indent", 60, {{0x11, 10, Rtl("aa")}}, 10},
      {"indent not smaller than the width", 60, {{0x11, 63, Rtl("aa")}}, 0},
      {"indent equal to the width", 63, {{0x11, 63, Rtl("aa")}}, 0},
      {"centred indent", 100, {{0x51, 10, Rtl("aa")}}, 10 + (100 - 10 - 20) / 2},
      // A stored first byte of space continues the previous running indent,
      // hanging column included, shifted by the difference of the indents.
      {"continuation, deeper", 150, {{0x11, 0x45, Rtl("1 aa")}, {0x11, 0x48, Rtl("bb ")}}, 8 + L},
      {"continuation, shallower", 150, {{0x11, 0x45, Rtl("1 aa")}, {0x11, 0x42, Rtl("bb ")}}, 2 + L},
      // A separator leaves its length byte as the running indent.
      {"continuation after a separator", 150,
       {{0x11, 0x45, Rtl("1 aa")}, {0x07, 20, {}}, {0x11, 0x45, Rtl("bb ")}}, 5},
      // 40 + L + (63 - 40) is the whole width: the indent counts as 0.
      {"continuation past the width", 63 + L,
       {{0x11, 0x40 | 40, Rtl("1 aa")}, {0x11, 0x40 | 63, Rtl("bb ")}}, 0},
      // The first record of an article starts a hanging column even so.
      {"first record", 150, {{0x11, 0x45, Rtl("bb ")}}, 5 + L},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeView(c.width, 200, 100);
    UseTestWidths(0x11);
    ASSERT_EQ(Layout(c.records), LayoutDone);
    ASSERT_GT(view_->lineCount, 0);
    const LineRecord& last = view_->lines[view_->lineCount - 1];
    EXPECT_EQ(last.x, kLeft + c.lastX);
  }
}

TEST_F(LayoutTest, Separators) {
  const int32_t H = Metrics(1).height;
  struct Case {
    uint8_t style, length;
    int32_t width;
    bool line;
    int32_t x, ruleWidth;  // x from the view's left
  } cases[] = {
      {0x07, 0, 200, false, 0, 0},   {0x07, 185, 200, true, 0, 100},
      {0x47, 120, 200, true, 40, 120}, {0x27, 120, 200, true, 80, 120},
      {0x67, 120, 200, true, 0, 120},  {0x07, 160, 120, true, 0, 120},
      {0x07, 210, 200, true, 0, 200},  {0x47, 255, 200, true, 0, 200},
      {0x1F, 161, 200, true, 0, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "style " << std::hex << int(c.style) << std::dec << " length "
                                    << int(c.length) << " width " << c.width);
    MakeView(c.width, 200, 100);
    ASSERT_EQ(Layout({{c.style, c.length, {}}}), LayoutDone);
    ASSERT_EQ(view_->lineCount, c.line ? 1 : 0);
    if (!c.line) continue;
    const LineRecord& l = view_->lines[0];
    EXPECT_EQ(l.x, kLeft + c.x);
    EXPECT_EQ(l.width, c.ruleWidth);
    EXPECT_EQ(l.length, 0);
    EXPECT_EQ(l.hangWidth, 0);
    EXPECT_EQ(l.textOffset, 2);
    EXPECT_EQ(l.height, H);
    EXPECT_EQ(l.style, c.style);
  }
}

TEST_F(LayoutTest, RightToLeftWordBreaks) {
  struct Case {
    const char* reading;
    std::vector<std::string> lines;
  } cases[] = {
      {"aaaa-cccccc", {"aaaa-", "cccccc"}},        // the hyphen stays on the line
      {"aaaa cccccc", {"aaaa", "cccccc"}},         // the space goes to the next line
      {"aa bb-cc dddddd", {"aa bb-cc", "dddddd"}}, // the last break point inside the fit
      {"aa-bb cccccccc", {"aa-bb", "cccccccc"}},
      {"-aaaaaaaaaaaa", {"-aaaaaaaaa", "aaa"}},    // position 0 is no break point
      {"aaaaaaaaaaaaaaa", {"aaaaaaaaaa", "aaaaa"}}, // longer than the width: cut at the fit
      {"aaaaaaaaaa bb", {"aaaaaaaaaa", "bb"}},     // the fit ends at a space
      {"aaaaaaaaaa\x16\x17" "aa", {"aaaaaaaaaa\x16\x17", "aa"}},  // points ride on their letter
      {"   aa  bb   ", {"aa  bb"}},                // leading spaces belong to no line
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reading);
    MakeView(100, 200, 100);
    UseTestWidths(0x11);
    ASSERT_EQ(Layout({{0x11, 0, Rtl(c.reading)}}), LayoutDone);
    std::vector<std::string> lines = LineTexts();
    // Trailing spaces in reading order stay on the paragraph's last line.
    if (!lines.empty()) lines.back().erase(lines.back().find_last_not_of(' ') + 1);
    EXPECT_EQ(lines, c.lines);
    for (int i = 0; i < view_->lineCount; ++i) {
      const LineRecord& l = view_->lines[i];
      int32_t w = 0;
      for (int k = 0; k < l.length; ++k) w += TestWidth(view_->text.bytes[l.textOffset + k]);
      EXPECT_EQ(l.width, w) << i;
      EXPECT_EQ(l.x, kLeft) << i;
    }
  }
}

TEST_F(LayoutTest, SpacesOnlyParagraphMakesNoLine) {
  UseTestWidths(0x11);
  ASSERT_EQ(Layout({{0x11, 0, Rtl("aa")}, {0x91, 0, Ltr("     ")}, {0x11, 0, Rtl("bb")}}), LayoutDone);
  EXPECT_EQ(LineTexts(), (std::vector<std::string>{"aa", "bb"}));
  EXPECT_EQ(view_->visualLineCount, 2);
}

TEST_F(LayoutTest, LeftToRightBreaksInByteOrderWithThePlatformsWidths) {
  // The view is as wide as "aaaa b": the break goes back to the space.
  plat::Font* old = SelectStyleFont(view_, 1);
  const uint8_t probe[] = {'a', 'a', 'a', 'a', ' ', 'b', 0};
  int32_t extent = 0x7FFF, count = 6;
  MeasureRun(dc_, probe, &extent, &count);
  if (old) plat::SelectFont(dc_, old);
  ASSERT_EQ(count, 6);
  MakeView(extent, 200, 100);
  ASSERT_EQ(Layout({{0x01, 0, Ltr("aaaa bbbb")}}), LayoutDone);
  EXPECT_EQ(LineTexts(), (std::vector<std::string>{"aaaa", "bbbb"}));
  EXPECT_EQ(view_->lines[1].textOffset, 2 + 5);
  // The space between the lines belongs to the line before it.
  view_->topLine = 9;
  EXPECT_EQ(ScrollToTextOffset(view_, 2 + 4), 1);
  EXPECT_EQ(view_->topLine, 0);
}

TEST_F(LayoutTest, TableGrowsBy128Lines) {
  struct Case {
    int32_t initialCapacity;
    int lines;
    uint16_t capacity;
  } cases[] = {{100, 100, 100}, {100, 101, 228}, {128, 128, 128}, {128, 129, 256},
               {0, 1, 128},     {0, 129, 256}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.initialCapacity << " then " << c.lines << " lines");
    MakeView(100, 200, c.initialCapacity);
    std::vector<Record> records(c.lines, Record{0x11, 0, Rtl("a")});
    ASSERT_EQ(Layout(records), LayoutDone);
    EXPECT_EQ(view_->lineCapacity, c.capacity);
    ASSERT_EQ(view_->lineCount, c.lines);
    // Lines made before the growth survive it.
    for (int i = 0; i < c.lines; ++i) ASSERT_EQ(view_->lines[i].textOffset, 2 + 4 * i) << i;
    EXPECT_EQ(view_->lines[c.lines].style, 0);
  }
}

TEST_F(LayoutTest, ScrollToTextOffsetInARightToLeftParagraph) {
  const int32_t L = Hang(0x11, 1);
  const int32_t H = Metrics(0x11).height;
  MakeView(L + 100, H, 100);
  UseTestWidths(0x11);
  // Stored: "cccc bbbb aaaa 21" from offset 2; the lines are "aaaa bbbb"
  // (stored 7..15) and "cccc" (stored 2..5); "12" hangs.
  ASSERT_EQ(Layout({{0x31, 0x40, Rtl("12 aaaa bbbb cccc")}}), LayoutDone);
  ASSERT_EQ(LineTexts(), (std::vector<std::string>{"aaaa bbbb", "cccc"}));
  ASSERT_EQ(view_->lastPageStart, 1);
  struct Case {
    uint16_t offset;
    int32_t found;
    uint16_t topLine;
  } cases[] = {
      {2, 1, 1},   {5, 1, 1},
      {6, 1, 1},   // the space between the lines ends the stored stretch of the second
      {7, 1, 0},   {15, 1, 0},
      {16, 1, 0},  // the space before the hanging word
      {17, 0, 9},  {18, 0, 9},  // inside the hanging word: no line
  };
  for (const Case& c : cases) {
    view_->topLine = 9;
    EXPECT_EQ(ScrollToTextOffset(view_, c.offset), c.found) << c.offset;
    EXPECT_EQ(view_->topLine, c.topLine) << c.offset;
  }
  // Never past the last page.
  view_->lastPageStart = 0;
  EXPECT_EQ(ScrollToTextOffset(view_, 3), 1);
  EXPECT_EQ(view_->topLine, 0);
}

TEST_F(LayoutTest, ResizeLaysOutAgainOrRefusesASizeThatIsNotPositive) {
  UseTestWidths(0x11);
  ASSERT_EQ(Layout({{0x11, 0, Rtl("aaaa bbbb cccc")}}), LayoutDone);
  ASSERT_EQ(view_->lineCount, 2);
  const LineRecord first = view_->lines[0];
  struct Case {
    int32_t width, height;
  } refused[] = {{0, 100}, {100, 0}, {-3, 100}, {100, -1}};
  for (const Case& c : refused) {
    EXPECT_EQ(ResizeView(view_, c.width, c.height), -5) << c.width << " x " << c.height;
    EXPECT_EQ(view_->width, 100);
    EXPECT_EQ(view_->height, 200);
    EXPECT_EQ(view_->lineCount, 2);
    EXPECT_EQ(std::memcmp(&view_->lines[0], &first, sizeof first), 0);
  }
  EXPECT_EQ(ResizeView(nullptr, 100, 100), -1);
  const uint8_t* text = view_->text.bytes;
  EXPECT_EQ(ResizeView(view_, 300, 50), 0);
  EXPECT_EQ(view_->lineCount, 1);
  EXPECT_EQ(view_->text.bytes, text);
  EXPECT_EQ(view_->left, kLeft);
  EXPECT_EQ(view_->top, kTop);
}

TEST_F(LayoutTest, RefusedTextIsReleasedAndTheViewKeepsItsOwn) {
  UseTestWidths(0x11);
  ASSERT_EQ(Layout({{0xB1, 0, Rtl("aaaa bbbb cccc")}, {0x31, 0, Rtl("dd")}}), LayoutDone);
  const uint8_t* own = view_->text.bytes;
  const uint16_t lineCount = view_->lineCount;
  const LineRecord first = view_->lines[0];
  struct Case {
    const char* name;
    std::vector<Record> records;
    uint16_t result;
  } cases[] = {
      {"no record", {}, LayoutRefused},
      {"empty first text", {{0x31, 0x40, {}}, {0x31, 0, Rtl("aa")}}, LayoutRefused},
  };
  for (const Case& c : cases) {
    for (bool takeText : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.name << (takeText ? ", take" : ", keep"));
      view_->hitStart = 3;
      view_->hitEnd = 5;
      const long before = plat::MemLiveBlocks();
      EXPECT_EQ(LayoutArticle(view_, MakeText(c.records), takeText), c.result);
      EXPECT_EQ(plat::MemLiveBlocks(), before);
      EXPECT_EQ(view_->text.bytes, own);
      EXPECT_EQ(view_->lineCount, lineCount);
      EXPECT_EQ(std::memcmp(&view_->lines[0], &first, sizeof first), 0);
      EXPECT_EQ(view_->visualLineCount, 0);
      EXPECT_EQ(view_->lastPageStart, 0);
      EXPECT_EQ(view_->hitStart, 0);
      EXPECT_EQ(view_->hitEnd, 0);
    }
  }
  // A lone separator of length 0 is an article without lines, not a refusal.
  EXPECT_EQ(Layout({{0x07, 0, {}}}), LayoutDone);
  EXPECT_EQ(view_->lineCount, 0);
  EXPECT_EQ(view_->lines[0].style, 0);
  EXPECT_EQ(PaintView(view_, true), 0);
}

TEST_F(LayoutTest, NoTextReleasesTheViewsTextOnlyWhenTakingText) {
  UseTestWidths(0x11);
  ASSERT_EQ(Layout({{0x11, 0, Rtl("aa")}}), LayoutDone);
  const long before = plat::MemLiveBlocks();
  EXPECT_EQ(LayoutArticle(view_, TextBuffer{nullptr, 0}, false), LayoutNoText);
  EXPECT_NE(view_->text.bytes, nullptr);
  EXPECT_EQ(plat::MemLiveBlocks(), before);
  EXPECT_EQ(LayoutArticle(view_, TextBuffer{nullptr, 0}, true), LayoutNoText);
  EXPECT_EQ(view_->text.bytes, nullptr);
  EXPECT_EQ(plat::MemLiveBlocks(), before - 1);
  EXPECT_EQ(PaintView(view_, true), -1);
  EXPECT_EQ(LayoutArticle(nullptr, TextBuffer{nullptr, 0}, true), LayoutNoView);
}

// Every allocation a first layout makes (line table, font entries and fonts,
// one scratch buffer per right-to-left paragraph, the table's growth) is
// made to fail in turn.
TEST_F(LayoutTest, OutOfMemoryAtEachAllocationLeavesNothingBehind) {
  // In a view 20 pixels wide every word takes a line of its own: 130 lines.
  std::string words = "1";
  for (int i = 0; i < 130; ++i) words += " a";
  const std::vector<Record> records{{0xDC, 0, Rtl("title")}, {0x31, 0x40, Rtl(words)}};
  for (bool takeText : {true, false}) {
    SCOPED_TRACE(takeText ? "take" : "keep");
    int failures = 0, linesOutsideText = 0;
    for (long n = 0;; ++n) {
      MakeView(20, 200, 0);
      TextBuffer previous = MakeText({{0x11, 0, Rtl("previous")}});
      view_->text = previous;
      TextBuffer text = MakeText(records);
      plat::MemFailAfter(n);
      const uint16_t result = LayoutArticle(view_, text, takeText);
      plat::MemFailAfter(-1);
      if (result == LayoutDone) {
        EXPECT_EQ(view_->text.bytes, text.bytes);
        EXPECT_GT(view_->lineCount, 130);
        EXPECT_EQ(view_->lineCapacity, 256);
        // Not taking the text leaves the previous one to the caller.
        if (!takeText) ReleaseText(&previous);
        break;
      }
      ++failures;
      ASSERT_EQ(result, LayoutOutOfMemory) << n;
      EXPECT_EQ(view_->text.bytes, takeText ? nullptr : previous.bytes) << n;
      if (view_->lines) {
        // Terminated after the lines made before the failure.
        int end = 0;
        while (end < view_->lineCapacity && view_->lines[end].style != 0) ++end;
        EXPECT_EQ(view_->lines[end].style, 0) << n;
        // A paint walks these lines over the view's text.
        for (int k = 0; k < end; ++k) {
          const LineRecord& l = view_->lines[k];
          if (view_->text.bytes && l.textOffset + l.length > view_->text.length) {
            ++linesOutsideText;
            break;
          }
        }
      }
      if (takeText) {
        EXPECT_EQ(PaintView(view_, true), -1);
      }
      plat::SelectFont(dc_, plat::GetStockFont(plat::StockSystemFont));
      DestroyView(view_, true);
      view_ = nullptr;
      ASSERT_EQ(plat::MemLiveBlocks(), baseline_) << "after failing allocation " << n;
      ASSERT_LT(n, 1000);
    }
    // Table, three font entries (keys 0x01, 0x1C, 0x11) with their fonts,
    // two scratch buffers, growth.
    EXPECT_GE(failures, 1 + 6 + 2 + 1);
    EXPECT_EQ(linesOutsideText, 0) << "failed layouts that left lines outside the view's text";
  }
}

TEST_F(LayoutTest, OutOfMemoryWhileLayingOutItsOwnTextAgainKeepsIt) {
  UseTestWidths(0x11);
  ASSERT_EQ(Layout(std::vector<Record>(20, Record{0x31, 0, Rtl("aa")})), LayoutDone);
  const uint8_t* own = view_->text.bytes;
  plat::MemFailAfter(0);
  EXPECT_EQ(ResizeView(view_, 50, 200), LayoutOutOfMemory);
  plat::MemFailAfter(-1);
  EXPECT_EQ(view_->text.bytes, own);
  EXPECT_EQ(view_->lines[0].style, 0);
  EXPECT_EQ(ResizeView(view_, 50, 200), LayoutDone);
  EXPECT_EQ(view_->text.bytes, own);
  EXPECT_EQ(view_->lineCount, 20);
}

// A view one pixel wide fits no character, yet every line takes at least one
// (with the points on it) and every byte lands on a line or the hanging word.
TEST_F(LayoutTest, OnePixelWideViewStillMakesProgress) {
  MakeView(1, 200, 100);
  EncodeResult verse = EncodeParagraph("א וּבֵית־אֵל לֹא־תוֹסִיף עוֹד לְהִנָּבֵא");
  ASSERT_EQ(verse.error, "");
  EncodeResult title = EncodeParagraph("עֹבַדְיָה");
  std::vector<Record> records{{0xDC, 0, title.bytes}, {0xB1, 0x40, verse.bytes},
                              {0x01, 0, Ltr("ab cd")}, {0x31, 0, verse.bytes}};
  ASSERT_EQ(Layout(records), LayoutDone);
  ASSERT_LT(view_->lineCount, 1000);
  const uint8_t* text = view_->text.bytes;
  std::vector<bool> covered(view_->text.length, false);
  ParagraphRecord r;
  int line = 0;
  for (uint32_t at = 0; ReadRecord(text, view_->text.length, at, &r); at = r.next) {
    const uint32_t end = r.textOffset + r.textLength;
    for (; line < view_->lineCount && view_->lines[line].textOffset < end; ++line) {
      const LineRecord& l = view_->lines[line];
      SCOPED_TRACE(line);
      ASSERT_GE(l.textOffset, r.textOffset);
      ASSERT_LE(l.textOffset + l.length, end);
      if (l.hangWidth) {
        // Right to left: the hanging word is the stored end of the paragraph.
        uint32_t k = end;
        while (k > r.textOffset && text[k - 1] != ' ') covered[--k] = true;
      } else {
        EXPECT_GE(l.length, 1);
      }
      for (int k = 0; k < l.length; ++k) covered[l.textOffset + k] = true;
      // The points stored before the line's first letter belong to it.
      if (l.textOffset > r.textOffset) {
        EXPECT_FALSE(IsVowelCode(text[l.textOffset - 1]));
      }
    }
    for (uint32_t k = r.textOffset; k < end; ++k)
      EXPECT_TRUE(covered[k] || text[k] == ' ') << "byte " << k << " on no line";
  }
  EXPECT_EQ(line, view_->lineCount);
}

// The shipped article at two screen widths: every line lies in its
// paragraph, the lines of a paragraph tile it in order with only spaces
// between them, verse lines end at the hanging column and headings are
// centred.
TEST_F(LayoutTest, ShippedArticleTilesItsParagraphs) {
  struct Case {
    int32_t width, size;
  } cases[] = {{240, 18}, {480, 26}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    MakeView(c.width, 320, 100, c.size);
    int32_t error = 0;
    TextBuffer article = LoadTextResource(1, &error);
    ASSERT_NE(article.bytes, nullptr) << error;
    ASSERT_EQ(LayoutArticle(view_, article, true), LayoutDone);
    ASSERT_GT(view_->lineCount, 100);
    const uint8_t* text = view_->text.bytes;
    const uint32_t size = view_->text.length + 2;
    auto allSpaces = [&](uint32_t from, uint32_t to) {
      for (uint32_t k = from; k < to; ++k)
        if (text[k] != ' ') return false;
      return true;
    };
    int line = 0, paragraphs = 0, blank = 0;
    ParagraphRecord r;
    for (uint32_t at = 0; ReadRecord(text, size, at, &r); at = r.next, ++paragraphs) {
      SCOPED_TRACE(testing::Message() << "record at " << r.offset);
      ASSERT_TRUE(r.style & StyleRightToLeft);
      ASSERT_FALSE(StyleSeparator(r.style));
      const int h = MetricsHangingFactor(r.metrics);
      const int32_t L = h ? Hang(r.style & StyleFontKeyMask, h) : 0;
      // Right to left: the first line is the stretch at the stored end.
      uint32_t cursor = r.textOffset + r.textLength;
      for (int first = line; line < view_->lineCount; ++line) {
        const LineRecord& l = view_->lines[line];
        if (l.textOffset < r.textOffset || l.textOffset >= r.textOffset + r.textLength) break;
        SCOPED_TRACE(line);
        ASSERT_GT(l.length, 0);
        const uint32_t lineEnd = l.textOffset + l.length;
        ASSERT_LE(lineEnd, cursor);
        EXPECT_NE(text[l.textOffset], ' ');
        EXPECT_NE(text[lineEnd - 1], ' ');
        if (line == first && h) {
          // Spaces, then the hanging word without a space in it.
          uint32_t k = lineEnd;
          while (k < cursor && text[k] == ' ') ++k;
          EXPECT_LT(k, cursor);
          EXPECT_FALSE(std::any_of(text + k, text + cursor, [](uint8_t b) { return b == ' '; }));
          EXPECT_EQ(l.hangWidth, L);
        } else {
          EXPECT_TRUE(allSpaces(lineEnd, cursor)) << "gap before " << lineEnd;
          EXPECT_EQ(l.hangWidth, 0);
        }
        cursor = l.textOffset;
        EXPECT_EQ(l.style & 0x7F, r.style & 0x7F);
        if (l.style & StyleBlankAfter) ++blank;
        switch (StyleAlignment(r.style)) {
          case Alignment::Right:
            EXPECT_EQ(l.x + l.width, kLeft + c.width - L);
            break;
          case Alignment::Centre:
            EXPECT_EQ(l.x, kLeft + (c.width - l.width) / 2);
            break;
          default:
            ADD_FAILURE() << "left-aligned paragraph";
        }
        EXPECT_LE(l.width, c.width - L);
      }
      EXPECT_TRUE(allSpaces(r.textOffset, cursor)) << "paragraph start not on a line";
    }
    EXPECT_EQ(line, view_->lineCount);
    EXPECT_GT(paragraphs, 100);
    EXPECT_EQ(view_->visualLineCount, view_->lineCount + blank);
  }
}

}  // namespace
