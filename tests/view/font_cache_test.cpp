#include "view/font_cache.h"

#include <gtest/gtest.h>

#include <cstring>

#include "codec/article_code.h"
#include "platform/graphics.h"
#include "platform/memory.h"

namespace {

constexpr plat::Colour kBlue = plat::MakeColour(0, 0, 255);
constexpr plat::Colour kBlack = plat::MakeColour(0, 0, 0);
constexpr plat::Colour kGreen = plat::MakeColour(0, 200, 0);

class FontCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = g_app;
    g_app.fontChoice.asciiBase = kAsciiBaseUnicode;
    g_app.displayFlags = 0;
    surface_ = plat::CreateSurface(200, 100);
    std::memset(&view_, 0, sizeof view_);
    view_.dc = plat::CreateSurfaceDC(surface_);
    SetFace(u"Frank Ruehl CLM", 24);
  }
  void TearDown() override {
    plat::SelectFont(view_.dc, plat::GetStockFont(plat::StockSystemFont));
    FreeCache();
    plat::DeleteDC(view_.dc);
    plat::DestroySurface(surface_);
    plat::MemFailAfter(-1);
    g_app = saved_;
  }

  void SetFace(const char16_t* face, int32_t size) {
    std::memset(view_.font.faceName, 0, sizeof view_.font.faceName);
    std::char_traits<char16_t>::copy(view_.font.faceName, face, std::char_traits<char16_t>::length(face));
    view_.font.size = size;
    view_.font.asciiBase = kAsciiBaseUnicode;
  }

  void FreeCache() {
    while (FontCacheEntry* e = view_.fontCache) {
      view_.fontCache = e->next;
      plat::DeleteFont(e->font);
      plat::MemFree(e);
    }
    view_.widthTable = nullptr;
  }

  int CacheSize() const {
    int n = 0;
    for (FontCacheEntry* e = view_.fontCache; e; e = e->next) ++n;
    return n;
  }

  int32_t Extent(char16_t unit) {
    plat::Size s{0, 0};
    plat::GetTextExtent(view_.dc, &unit, 1, &s);
    return s.cx;
  }

  uint16_t Width(uint8_t code) const { return view_.widthTable->widths[code - kFirstMeasuredCode]; }

  AppGlobals saved_;
  plat::Surface* surface_ = nullptr;
  ArticleView view_;
};

TEST(StyleFontHeight, FollowsSizeAndKey) {
  struct Case {
    int32_t size;
    uint8_t key;
    int32_t height;
  } cases[] = {
      {0, 0x04, 20}, {0, 0x02, 14}, {0, 0x00, 0},  {0, 0x11, 0},  {10, 0x04, 12}, {10, 0x02, 7},
      {13, 0x04, 16}, {13, 0x02, 9}, {13, 0x06, 16}, {13, 0x1C, 16}, {13, 0x08, 13}, {24, 0x12, 18},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StyleFontHeight(c.size, c.key), c.height) << "size " << c.size << " key " << int(c.key);
  }
}

TEST_F(FontCacheTest, OneEntryPerKeyNewestFirst) {
  SelectStyleFont(&view_, 0x11);
  SelectStyleFont(&view_, 0x01);
  EXPECT_EQ(CacheSize(), 2);
  FontCacheEntry* newest = view_.fontCache;
  EXPECT_EQ(newest->key, 0x01);
  // 0x31 has key 0x11: the older entry is reused and its table made current.
  SelectStyleFont(&view_, 0x31);
  EXPECT_EQ(CacheSize(), 2);
  EXPECT_EQ(view_.widthTable, &newest->next->widths);
  // Keys that differ only in 0x01 get identical fonts and tables.
  EXPECT_EQ(std::memcmp(&newest->widths, &newest->next->widths, sizeof(WidthTable)), 0);
}

TEST_F(FontCacheTest, SelectingReturnsThePreviousFontAndSelectsTheKeysFont) {
  plat::Font* system = plat::GetStockFont(plat::StockSystemFont);
  EXPECT_EQ(SelectStyleFont(&view_, 0x04), system);
  plat::Font* large = view_.fontCache->font;
  plat::TextMetrics tm{};
  ASSERT_TRUE(plat::GetTextMetrics(view_.dc, &tm));
  EXPECT_NEAR(tm.height, 30, 1);  // 24 * 5 / 4
  EXPECT_EQ(SelectStyleFont(&view_, 0x02), large);
  ASSERT_TRUE(plat::GetTextMetrics(view_.dc, &tm));
  EXPECT_NEAR(tm.height, 18, 1);  // 24 * 6 / 8
}

TEST_F(FontCacheTest, ColourFlagsSetBlueOnlyForLargeBold) {
  struct Case {
    uint32_t request;
    plat::Colour expected;
  } cases[] = {
      {0x10C, kBlue}, {0x11C, kBlue}, {0x20C, kBlue},  {0x108, kBlack},
      {0x104, kBlack}, {0x302, kBlack}, {0x00C, kGreen}, {0x01C, kGreen},
  };
  for (const Case& c : cases) {
    plat::SetTextColour(view_.dc, kGreen);
    SelectStyleFont(&view_, c.request);
    EXPECT_EQ(plat::GetTextColour(view_.dc), c.expected) << std::hex << c.request;
  }
}

TEST_F(FontCacheTest, WidthTableMeasuresLettersAndZeroesPoints) {
  SelectStyleFont(&view_, 0x11);
  ASSERT_NE(view_.widthTable, nullptr);
  EXPECT_EQ(Width(98), Extent(u'\u05D1'));    // bet
  EXPECT_EQ(Width(69), Extent(u'\uFB31'));    // bet with dagesh
  EXPECT_EQ(Width(16), Extent(u'\u05DA'));    // qamats + final kaf: the letter's width
  EXPECT_EQ(Width(89), Extent(u'\uFB3C'));    // holam + lamed with dagesh
  EXPECT_EQ(Width(' '), Extent(u' '));
  EXPECT_EQ(Width(125), Extent(u'}'));
  for (uint8_t code = kFirstVowelCode; code <= kLastVowelCode; ++code) EXPECT_EQ(Width(code), 0);
  EXPECT_GT(Width(98), 0);

  // Code-page mode measures the Windows-1255 position of each letter.
  g_app.fontChoice.asciiBase = kAsciiBaseCodePage;
  FreeCache();
  SelectStyleFont(&view_, 0x11);
  EXPECT_EQ(Width(98), Extent(u'\u00E1'));
}

TEST_F(FontCacheTest, RecreatedFontIsMeasuredAgainAtItsNextSelection) {
  SelectStyleFont(&view_, 0x11);
  FontCacheEntry* entry = view_.fontCache;
  const uint16_t before = Width(98);

  SetFace(u"Frank Ruehl CLM", 48);
  plat::SelectFont(view_.dc, plat::GetStockFont(plat::StockSystemFont));
  plat::DeleteFont(entry->font);
  CreateStyleFont(&view_, entry, entry->key);
  EXPECT_EQ(entry->widths.widths[0], kWidthSentinelFirst);
  EXPECT_EQ(entry->widths.widths[1], kWidthSentinelSecond);

  SelectStyleFont(&view_, 0x11);
  EXPECT_EQ(CacheSize(), 1);
  EXPECT_NE(entry->widths.widths[0], kWidthSentinelFirst);
  EXPECT_GT(Width(98), before);

  // Either sentinel alone marks the table unmeasured.
  entry->widths.widths[1] = kWidthSentinelSecond;
  entry->widths.widths[98 - kFirstMeasuredCode] = 0;
  BuildWidthTable(&view_, entry->font, false);
  EXPECT_GT(Width(98), 0);
}

TEST_F(FontCacheTest, NoEntryWhenMemoryRunsOut) {
  plat::Font* current = plat::SelectFont(view_.dc, plat::GetStockFont(plat::StockSystemFont));
  plat::MemFailAfter(0);
  EXPECT_EQ(SelectStyleFont(&view_, 0x11), nullptr);
  plat::MemFailAfter(-1);
  EXPECT_EQ(view_.fontCache, nullptr);
  EXPECT_EQ(view_.widthTable, nullptr);
  EXPECT_EQ(plat::SelectFont(view_.dc, current), plat::GetStockFont(plat::StockSystemFont));
}

TEST(MeasureWithWidthTable, SumsWidthsUpToTheLimit) {
  WidthTable table{};
  table.widths[97 - kFirstMeasuredCode] = 10;  // alef
  table.widths[98 - kFirstMeasuredCode] = 7;   // bet
  table.widths[' ' - kFirstMeasuredCode] = 4;
  table.widths[127 - kFirstMeasuredCode] = 5;
  table.widths[22 - kFirstMeasuredCode] = 9;   // a stale vowel width is never added
  struct Case {
    std::vector<uint8_t> text;
    int32_t maxWidth, maxCount, width, count;
  } cases[] = {
      {{97, 98, 97}, 27, 3, 27, 3},        // exactly the maximum: all taken
      {{97, 98, 97}, 26, 3, 17, 2},        // one pixel less stops before the last
      {{97, 98, 97}, 0x7FFF, 2, 17, 2},    // the count limits
      {{97, 98, 97}, 0x7FFF, 0, 0, 0},     // a count of 0 takes nothing
      {{22, 5, 200, 97}, 10, 4, 10, 4},    // points and codes outside 16..127 add nothing
      {{97, 0, 98}, 0x7FFF, 3, 10, 1},     // stops at a 0 byte
      {{127, 32}, 9, 5, 9, 2},
      {{98}, 6, 1, 0, 0},                  // the first byte does not fit
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> text = c.text;
    text.push_back(0);  // texts end at a 0 byte at the latest
    int32_t width = c.maxWidth, count = c.maxCount;
    MeasureWithWidthTable(&table, text.data(), &width, &count);
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(count, c.count);
  }
  int32_t width = 50, count = 3;
  const uint8_t text[] = {97, 98, 0};
  MeasureWithWidthTable(nullptr, text, &width, &count);
  EXPECT_EQ(width, 0);
  EXPECT_EQ(count, 3);
}

}  // namespace
