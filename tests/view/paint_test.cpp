#include "view/paint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
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
#include "view/layout.h"
#include "tests/view/view_fixture.h"

namespace {

using namespace view_test;

constexpr plat::Colour kWhite = plat::MakeColour(255, 255, 255);
constexpr plat::Colour kRed = plat::MakeColour(255, 0, 0);
constexpr plat::Colour kBlue = plat::MakeColour(0, 0, 255);
constexpr plat::Colour kYellow = plat::MakeColour(255, 255, 0);
constexpr plat::Colour kGrey = plat::MakeColour(128, 128, 128);

class PaintTest : public ViewFixture {
 protected:
  void SetUp() override {
    StartSurface(400, 320);
    MakeView(200, 200);
  }

  void Layout(const std::vector<Record>& records) {
    ASSERT_EQ(LayoutArticle(view_, MakeText(records), true), LayoutDone);
  }

  void FillSurface(plat::Colour colour) {
    plat::Brush* brush = plat::CreateSolidBrush(colour);
    const plat::Rect all{0, 0, surface_->width, surface_->height};
    plat::FillRect(dc_, &all, brush);
    plat::DeleteBrush(brush);
  }

  // Paints with every text call recorded.
  std::vector<plat::DrawTextCall> Paint() {
    std::vector<plat::DrawTextCall> calls;
    plat::SetDrawTextRecorder(&calls);
    result_ = PaintView(view_, true);
    plat::SetDrawTextRecorder(nullptr);
    return calls;
  }

  plat::Colour Pixel(int32_t x, int32_t y) const { return plat::SurfacePixel(surface_, x, y); }

  int result_ = 0;
};

std::u16string Letter(char c) { return std::u16string(1, static_cast<char16_t>(0x5D0 + c - 'a')); }

TEST_F(PaintTest, NothingToPaintWithoutViewTextOrLines) {
  EXPECT_EQ(PaintView(nullptr, true), -1);
  EXPECT_EQ(PaintHitHighlight(nullptr), -1);
  EXPECT_EQ(PaintView(view_, true), -1);
  EXPECT_EQ(PaintHitHighlight(view_), -1);
  DrawTitleBanner(nullptr);
  // Without a title or subtitle the banner draws nothing.
  Layout({{0x31, 0, Rtl("aa")}});
  FillSurface(kGrey);
  DrawTitleBanner(view_);
  EXPECT_EQ(Pixel(kLeft + 100, kTop + 190), kGrey);
}

TEST_F(PaintTest, TopLinePastTheEndStartsTheLastPage) {
  const int32_t H = Metrics(0x11).height;
  MakeView(200, 3 * H);
  std::vector<Record> records;
  for (char c = 'a'; c < 'a' + 10; ++c) records.push_back({0x31, 0, Rtl(std::string(1, c))});
  Layout(records);
  ASSERT_EQ(view_->visualLineCount, 10);
  ASSERT_EQ(view_->lastPageStart, 7);
  struct Case {
    uint16_t topLine, expected;
    int linesDrawn;
  } cases[] = {{11, 7, 3}, {500, 7, 3}, {10, 10, 0}, {3, 3, 3}, {8, 8, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.topLine);
    view_->topLine = c.topLine;
    auto calls = Paint();
    EXPECT_EQ(result_, 0);
    EXPECT_EQ(view_->topLine, c.expected);
    EXPECT_EQ(view_->linesDrawn, c.linesDrawn);
    ASSERT_EQ(calls.size(), static_cast<std::size_t>(c.linesDrawn));
    for (int i = 0; i < c.linesDrawn; ++i) {
      EXPECT_EQ(calls[i].text, Letter(static_cast<char>('a' + c.expected + i)));
      EXPECT_EQ(calls[i].rect.top, kTop + i * H);
    }
  }
}

TEST_F(PaintTest, PageThatStartsOnAnEmptyLine) {
  const int32_t H = Metrics(0x11).height;
  // Visual lines: a, (empty), b, c.
  Layout({{0xB1, 0, Rtl("a")}, {0x31, 0, Rtl("b")}, {0x31, 0, Rtl("c")}});
  struct Case {
    uint16_t topLine;
    char first;
    int32_t y;
    int linesDrawn;
  } cases[] = {{0, 'a', kTop, 4}, {1, 'b', kTop + H, 2}, {2, 'b', kTop, 2}, {3, 'c', kTop, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.topLine);
    view_->topLine = c.topLine;
    auto calls = Paint();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].text, Letter(c.first));
    EXPECT_EQ(calls[0].rect.top, c.y);
    EXPECT_EQ(view_->linesDrawn, c.linesDrawn);
  }
}

TEST_F(PaintTest, OnlyWholeLinesAreDrawnInsideTheTextArea) {
  const int32_t H = Metrics(0x11).height;
  const int32_t height = 2 * H + H / 2;
  MakeView(200, height);
  Layout({{0x31, 0, Rtl("aaa")}, {0x31, 0, Rtl("bbb")}, {0x31, 0, Rtl("ddd")}});
  FillSurface(kGrey);
  auto calls = Paint();
  EXPECT_EQ(view_->linesDrawn, 2);
  for (const auto& call : calls) EXPECT_LT(call.rect.top, kTop + 2 * H) << "a cut line was drawn";
  EXPECT_EQ(calls.size(), 6u);
  // The strip below the last whole line stays white; outside the text area
  // nothing changes.
  for (int32_t y = kTop + 2 * H; y < kTop + height; ++y)
    for (int32_t x = kLeft; x < kLeft + 200; ++x) ASSERT_EQ(Pixel(x, y), kWhite) << x << "," << y;
  EXPECT_EQ(Pixel(kLeft - 1, kTop), kGrey);
  EXPECT_EQ(Pixel(kLeft + 200, kTop), kGrey);
  EXPECT_EQ(Pixel(kLeft, kTop - 1), kGrey);
  EXPECT_EQ(Pixel(kLeft, kTop + height), kGrey);
  // Black ink was drawn for the two lines.
  int ink = 0;
  for (int32_t y = kTop; y < kTop + 2 * H; ++y)
    for (int32_t x = kLeft; x < kLeft + 200; ++x) ink += Pixel(x, y) == plat::MakeColour(0, 0, 0);
  EXPECT_GT(ink, 10);
}

TEST_F(PaintTest, LinesDrawnCountsTheEmptyLines) {
  const int32_t H = Metrics(0x11).height;
  // Four lines with an empty line after each of the first three.
  const std::vector<Record> records(4, Record{0xB1, 0, Rtl("a")});
  struct Case {
    int32_t height;
    int linesDrawn;
  } cases[] = {{5 * H, 6}, {6 * H, 6}, {7 * H - 1, 6}, {7 * H, 7}, {H, 2}, {H - 1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.height);
    MakeView(200, c.height);
    Layout(records);
    view_->topLine = 0;
    Paint();
    EXPECT_EQ(view_->linesDrawn, c.linesDrawn);
  }
}

// The yellow band of a highlight: rows y - 1 .. y + H inclusive.
struct Band {
  int32_t left, right, y;
};

class HighlightTest : public PaintTest {
 protected:
  bool Yellow(int32_t x, int32_t y) const { return Pixel(x, y) == kYellow; }

  // The band's edges on its top and bottom rows, where no ink lies.
  void ExpectBand(const Band& b, int32_t H) {
    for (int32_t row : {b.y - 1, b.y + H}) {
      SCOPED_TRACE(testing::Message() << "row " << row);
      EXPECT_FALSE(Yellow(b.left - 1, row));
      EXPECT_TRUE(Yellow(b.left, row));
      EXPECT_TRUE(Yellow(b.right - 1, row));
      EXPECT_FALSE(Yellow(b.right, row));
    }
    EXPECT_FALSE(Yellow(b.left, b.y - 2));
    EXPECT_FALSE(Yellow(b.left, b.y + H + 1));
  }

  static std::vector<plat::DrawTextCall> Blue(const std::vector<plat::DrawTextCall>& calls) {
    std::vector<plat::DrawTextCall> out;
    for (const auto& c : calls)
      if (c.textColour == kBlue) out.push_back(c);
    return out;
  }
};

TEST_F(HighlightTest, OnlyTheHitIsHighlighted) {
  UseTestWidths(0x11);
  const int32_t H = Metrics(0x11).height;
  // Stored from offset 2: "cccc bbbb aaaa" (c 12, b 8, a 10, space 5).
  Layout({{0x11, 0, Rtl("aaaa bbbb cccc")}});
  ASSERT_EQ(view_->lineCount, 1);
  struct Case {
    uint16_t hitStart, hitEnd;
    int32_t left, width;  // from the line's x
    std::u16string letters;
  } cases[] = {
      {7, 11, 53, 32, u"\u05D1\u05D1\u05D1\u05D1"},             // bbbb
      {2, 6, 0, 48, u"\u05D2\u05D2\u05D2\u05D2"},               // cccc
      {11, 16, 85, 45, u"\u05D0\u05D0\u05D0\u05D0 "},          // " aaaa", drawn right to left
      {0, 4, 0, 24, u"\u05D2\u05D2"},                           // starts before the line
      {13, 14, 100, 10, u"\u05D0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.hitStart << ".." << c.hitEnd);
    view_->hitStart = c.hitStart;
    view_->hitEnd = c.hitEnd;
    FillSurface(kWhite);  // the band reaches above the text area
    auto calls = Paint();
    EXPECT_EQ(result_, 0);
    const int32_t x = view_->lines[0].x;
    ExpectBand({x + c.left, x + c.left + c.width, kTop}, H);
    auto blue = Blue(calls);
    std::u16string drawn;
    for (const auto& call : blue) {
      drawn += call.text;
      EXPECT_GE(call.rect.left, x + c.left);
      EXPECT_LE(call.rect.right, x + c.left + c.width);
    }
    EXPECT_EQ(drawn, c.letters);
  }
}

TEST_F(HighlightTest, HitAcrossTwoLinesIsHighlightedOnBoth) {
  MakeView(100, 200);
  UseTestWidths(0x11);
  const int32_t H = Metrics(0x11).height;
  // Lines "aaaa bbbb" (stored 7..15) and "cccc" (stored 2..5); the hit is
  // "bbbb cccc" in reading order, stored 2..10.
  Layout({{0x11, 0, Rtl("aaaa bbbb cccc")}});
  ASSERT_EQ(view_->lineCount, 2);
  view_->hitStart = 2;
  view_->hitEnd = 11;
  auto calls = Paint();
  // The bands overlap on two rows: the first is seen on its top row, the
  // second on its bottom row.
  for (int32_t x : {kLeft, kLeft + 31}) EXPECT_TRUE(Yellow(x, kTop - 1)) << x;
  for (int32_t x : {kLeft - 1, kLeft + 32}) EXPECT_FALSE(Yellow(x, kTop - 1)) << x;
  for (int32_t x : {kLeft, kLeft + 47}) EXPECT_TRUE(Yellow(x, kTop + 2 * H)) << x;
  for (int32_t x : {kLeft - 1, kLeft + 48}) EXPECT_FALSE(Yellow(x, kTop + 2 * H)) << x;
  std::u16string drawn;
  for (const auto& call : Blue(calls)) drawn += call.text;
  EXPECT_EQ(drawn, u"\u05D1\u05D1\u05D1\u05D1\u05D2\u05D2\u05D2\u05D2");
}

TEST_F(HighlightTest, FirstLineHitTakesTheWholeHangingWord) {
  // Hanging factor 3: a column 2 W wide, room for the 20 pixels of "12".
  const int32_t L = 2 * Metrics(0x11).maxCharWidth;
  ASSERT_GE(L, 20);
  MakeView(L + 100, 200);
  UseTestWidths(0x11);
  // Lines "aaaa bbbb" (stored 7..15) and "cccc" (stored 2..5); "12" hangs
  // (stored "21" at 17..18).
  Layout({{0x31, 0xC0, Rtl("12 aaaa bbbb cccc")}});
  ASSERT_EQ(view_->lineCount, 2);
  ASSERT_EQ(view_->lines[0].hangWidth, L);
  struct Case {
    uint16_t hitStart, hitEnd;
    bool hanging;
  } cases[] = {{7, 11, true}, {12, 13, true}, {2, 6, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.hitStart << ".." << c.hitEnd);
    view_->hitStart = c.hitStart;
    view_->hitEnd = c.hitEnd;
    auto blue = Blue(Paint());
    auto word = std::find_if(blue.begin(), blue.end(),
                             [](const plat::DrawTextCall& call) { return call.text == u"21"; });
    ASSERT_EQ(word != blue.end(), c.hanging);
    if (!c.hanging) continue;
    // Right-aligned in the column right of the line.
    EXPECT_EQ(word->rect.right, kLeft + 100 + L);
    EXPECT_EQ(word->rect.left, kLeft + 100 + L - 20);
    EXPECT_EQ(word->rect.top, kTop);
    int blueInk = 0;
    for (int32_t y = kTop; y < kTop + view_->lines[0].height; ++y)
      for (int32_t x = word->rect.left; x < word->rect.right; ++x) {
        plat::Colour p = Pixel(x, y);
        blueInk += plat::ColourBlue(p) > 200 && plat::ColourRed(p) < 128;
      }
    EXPECT_GT(blueInk, 5) << "the hanging word is not drawn in blue";
  }
}

class BannerTest : public PaintTest {
 protected:
  struct Frame {
    int32_t left, top, right, bottom;  // outer rectangle, right and bottom excluded
  };

  // The outer frame found from the first red pixels on the page.
  Frame FindFrame(int32_t probeX, int32_t probeY) const {
    Frame f{-1, -1, -1, -1};
    for (int32_t x = 0; x < surface_->width; ++x)
      if (Pixel(x, probeY) == kRed) {
        if (f.left < 0) f.left = x;
        f.right = x + 1;
      }
    for (int32_t y = 0; y < surface_->height; ++y)
      if (Pixel(probeX, y) == kRed) {
        if (f.top < 0) f.top = y;
        f.bottom = y + 1;
      }
    return f;
  }

  // From outside in: red, red, white, blue, blue, then yellow.
  void ExpectLayers(int32_t x, int32_t y, int dx, int dy) const {
    const plat::Colour layers[] = {kRed, kRed, kWhite, kBlue, kBlue, kYellow};
    for (int i = 0; i < 6; ++i)
      EXPECT_EQ(Pixel(x + i * dx, y + i * dy), layers[i]) << "layer " << i << " from " << x << "," << y;
  }

  int32_t MeasureSmall(const std::vector<uint8_t>& text) {
    plat::Font* old = SelectStyleFont(view_, 0x02);
    int32_t extent = view_->width, count = static_cast<int32_t>(text.size());
    MeasureRun(dc_, text.data(), &extent, &count);
    if (old) plat::SelectFont(dc_, old);
    return extent;
  }
};

TEST_F(BannerTest, FramedRowsCentredAtTheBottom) {
  const EncodeResult title = EncodeParagraph("יוֹנָה");
  const EncodeResult subtitle = EncodeParagraph("נָבִיא");
  std::string longWords;
  for (int i = 0; i < 8; ++i) longWords += "וּבֵית־אֵל ";
  const EncodeResult longTitle = EncodeParagraph(longWords + "אֵל");
  const int32_t H = Metrics(0x02).height;
  struct Case {
    const char* name;
    std::vector<Record> records;
    int rows;
    bool wide;
  } cases[] = {
      {"title", {{0xDC, 0, title.bytes}, {0x31, 0, Rtl("aa")}}, 1, false},
      {"title and subtitle", {{0xDC, 0, title.bytes}, {0xD1, 0, subtitle.bytes}}, 2, false},
      {"subtitle", {{0xD1, 0, subtitle.bytes}, {0x31, 0, Rtl("aa")}}, 1, false},
      {"too wide", {{0xDC, 0, longTitle.bytes}}, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeView(300, 200);
    Layout(c.records);
    Paint();
    std::vector<plat::DrawTextCall> calls;
    plat::SetDrawTextRecorder(&calls);
    DrawTitleBanner(view_);
    plat::SetDrawTextRecorder(nullptr);

    // Probed on the frame's second row, which no text reaches.
    const int32_t bottom = kTop + 200 - 2;
    const Frame f = FindFrame(kLeft + 150, bottom - (c.rows * H + 10) + 1);
    EXPECT_EQ(f.bottom, bottom);
    EXPECT_EQ(f.bottom - f.top, c.rows * H + 10);
    int32_t widest = 0;
    for (const auto& r : c.records)
      if (r.style == TitleStyle || r.style == SubtitleStyle) widest = std::max(widest, MeasureSmall(r.text));
    const int32_t B = c.wide ? 300 : widest + 2 * (H + 4);
    ASSERT_EQ(widest + 2 * (H + 4) >= 300, c.wide) << "the case's title has the wrong width";
    EXPECT_EQ(f.right - f.left, B);
    EXPECT_EQ(f.left, kLeft + (300 - B) / 2);

    if (!c.wide) {
      ExpectLayers(f.left, f.top + 6, 1, 0);
      ExpectLayers(f.right - 1, f.top + 6, -1, 0);
      ExpectLayers(f.left + 6, f.top, 0, 1);
      ExpectLayers(f.left + 6, f.bottom - 1, 0, -1);
    }
    // Each row in red, centred on the inner area (left of it when wider).
    ASSERT_EQ(calls.size(), static_cast<std::size_t>(c.rows));
    const int32_t inner = B - 10;
    for (int row = 0; row < c.rows; ++row) {
      SCOPED_TRACE(row);
      const plat::DrawTextCall& call = calls[row];
      EXPECT_EQ(call.textColour, kRed);
      EXPECT_EQ(call.rect.top, f.top + 5 + row * H);
      EXPECT_EQ(call.rect.bottom - call.rect.top, H);
      const int32_t w = call.rect.right - call.rect.left;
      EXPECT_EQ(call.rect.left, f.left + 5 + (inner - w) / 2);
    }
    if (c.wide) {
      EXPECT_NE(Pixel(kLeft - 1, f.top), kRed);
      EXPECT_NE(Pixel(kLeft + 300, f.top), kRed);
    }
  }
}

// Golden pictures of whole pages. TOVANEL_UPDATE_GOLDEN=1 writes new ones; on
// a mismatch the picture made is written next to the build.
class GoldenTest : public PaintTest {
 protected:
  void ShowArticle(int32_t width, int32_t height, int32_t size) {
    plat::SelectFont(dc_, plat::GetStockFont(plat::StockSystemFont));
    DestroyView(view_, true);
    view_ = nullptr;
    plat::DeleteDC(dc_);
    plat::DestroySurface(surface_);
    surface_ = plat::CreateSurface(width, height);
    dc_ = plat::CreateSurfaceDC(surface_);
    FontChoice choice{};
    std::char_traits<char16_t>::copy(choice.faceName, kFace, std::char_traits<char16_t>::length(kFace));
    choice.size = size;
    choice.asciiBase = kAsciiBaseUnicode;
    const plat::Rect rect{0, 0, width, height};
    view_ = CreateView(dc_, &rect, &choice, 100);
    ASSERT_NE(view_, nullptr);
    int32_t error = 0;
    TextBuffer article = LoadTextResource(1, &error);
    ASSERT_NE(article.bytes, nullptr) << error;
    ASSERT_EQ(LayoutArticle(view_, article, true), LayoutDone);
  }

  void ExpectGolden(const char* name) {
    const std::string golden = std::string(TOVANEL_SOURCE_DIR "/tests/view/golden/") + name + ".png";
    if (std::getenv("TOVANEL_UPDATE_GOLDEN")) {
      ASSERT_TRUE(plat::WriteSurfacePng(surface_, golden.c_str()));
    }
    plat::Surface* expected = plat::ReadSurfacePng(golden.c_str());
    ASSERT_NE(expected, nullptr) << golden;
    int differing = 0;
    if (expected->width != surface_->width || expected->height != surface_->height) {
      ADD_FAILURE() << golden << " has another size";
      differing = -1;
    } else {
      // Anti-aliasing may differ a little between library versions.
      for (int32_t y = 0; y < surface_->height; ++y)
        for (int32_t x = 0; x < surface_->width; ++x) {
          plat::Colour a = Pixel(x, y), b = plat::SurfacePixel(expected, x, y);
          int d = std::max({std::abs(plat::ColourRed(a) - plat::ColourRed(b)),
                            std::abs(plat::ColourGreen(a) - plat::ColourGreen(b)),
                            std::abs(plat::ColourBlue(a) - plat::ColourBlue(b))});
          differing += d > 48;
        }
      EXPECT_LE(differing, surface_->width * surface_->height / 200) << "pixels differ from " << golden;
    }
    if (differing < 0 || differing > surface_->width * surface_->height / 200) {
      const std::string actual = std::string(TOVANEL_BINARY_DIR "/") + name + ".actual.png";
      plat::WriteSurfacePng(surface_, actual.c_str());
    }
    plat::DestroySurface(expected);
  }
};

TEST_F(GoldenTest, FirstPageOnASmallScreen) {
  ShowArticle(240, 320, 18);
  ASSERT_EQ(PaintView(view_, true), 0);
  ExpectGolden("article1_240x320");
}

TEST_F(GoldenTest, FirstPageOnALargeScreen) {
  ShowArticle(480, 800, 26);
  ASSERT_EQ(PaintView(view_, true), 0);
  ExpectGolden("article1_480x800");
}

TEST_F(GoldenTest, HitAcrossTwoLines) {
  ShowArticle(240, 320, 18);
  // The last word of verse 1's first line and the first word of its second,
  // with the space between (the first verse line is the third line).
  const LineRecord& first = view_->lines[2];
  const LineRecord& second = view_->lines[3];
  ASSERT_NE(first.hangWidth, 0);
  ASSERT_EQ(second.hangWidth, 0);
  const uint8_t* text = view_->text.bytes;
  uint16_t start = second.textOffset + second.length;
  while (text[start - 1] != ' ') --start;
  uint16_t end = first.textOffset;
  while (text[end] != ' ') ++end;
  view_->hitStart = start;
  view_->hitEnd = end;
  ASSERT_EQ(PaintView(view_, true), 0);
  ExpectGolden("article1_hit");
}

TEST_F(GoldenTest, TitleBannerOverAPage) {
  ShowArticle(240, 320, 18);
  ASSERT_EQ(PaintView(view_, true), 0);
  DrawTitleBanner(view_);
  ExpectGolden("article1_banner");
}

}  // namespace
