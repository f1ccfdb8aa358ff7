#include "codec/glyph_drawing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codec/article_code.h"
#include "platform/memory.h"
#include "tools/pack/hebrew_encoder.h"
#include "view/font_cache.h"

namespace {

class GlyphTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = g_app;
    g_app.fontChoice.asciiBase = kAsciiBaseUnicode;
    g_app.displayFlags = 0;
    surface_ = plat::CreateSurface(800, 160);
    std::memset(&view_, 0, sizeof view_);
    view_.dc = plat::CreateSurfaceDC(surface_);
    UseFace(u"Frank Ruehl CLM", 24);
  }
  void TearDown() override {
    plat::SetDrawTextRecorder(nullptr);
    FreeCache();
    plat::DeleteDC(view_.dc);
    plat::DestroySurface(surface_);
    g_app = saved_;
  }

  void UseFace(const char16_t* face, int32_t size) {
    std::memset(view_.font.faceName, 0, sizeof view_.font.faceName);
    std::char_traits<char16_t>::copy(view_.font.faceName, face, std::char_traits<char16_t>::length(face));
    view_.font.size = size;
    view_.font.asciiBase = kAsciiBaseUnicode;
    FreeCache();
    SelectStyleFont(&view_, 0x11);
  }

  // The view's fonts, deselected first.
  void FreeCache() {
    plat::SelectFont(view_.dc, plat::GetStockFont(plat::StockSystemFont));
    while (FontCacheEntry* e = view_.fontCache) {
      view_.fontCache = e->next;
      plat::DeleteFont(e->font);
      plat::MemFree(e);
    }
  }

  int32_t W(uint8_t code) const { return view_.widthTable->widths[code - kFirstMeasuredCode]; }

  std::vector<plat::DrawTextCall> Draw(std::vector<uint8_t> bytes, plat::Rect box) {
    std::vector<plat::DrawTextCall> calls;
    plat::SetDrawTextRecorder(&calls);
    DrawGlyphs(&view_, bytes.data(), static_cast<int32_t>(bytes.size()), &box);
    plat::SetDrawTextRecorder(nullptr);
    return calls;
  }

  AppGlobals saved_;
  plat::Surface* surface_ = nullptr;
  ArticleView view_;
};

struct Cell {
  char16_t unit;
  int32_t left, right;
};

void ExpectCells(const std::vector<plat::DrawTextCall>& calls, const std::vector<Cell>& cells) {
  ASSERT_EQ(calls.size(), cells.size());
  for (std::size_t i = 0; i < cells.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(calls[i].text, std::u16string(1, cells[i].unit));
    EXPECT_EQ(calls[i].rect.left, cells[i].left);
    EXPECT_EQ(calls[i].rect.right, cells[i].right);
    EXPECT_EQ(calls[i].rect.top, 10);
    EXPECT_EQ(calls[i].rect.bottom, 50);
    EXPECT_EQ(calls[i].flags, 0x825u);
  }
}

TEST_F(GlyphTest, CellsFromTheRight) {
  const int32_t R = 300;
  const plat::Rect box{100, 10, R, 50};
  const int32_t lamed = W(109), vav = W(102), bet = W(98), kaf = W(107);
  ASSERT_GT(lamed, 3);

  // Holam, lamed, vav: vav rightmost, lamed left of it, the holam on the
  // 3 pixels at the lamed's left edge, drawn after the lamed.
  ExpectCells(Draw({31, 109, 102}, box),
              {{u'\u05D5', R - vav, R},
               {u'\u05DC', R - vav - lamed, R - vav},
               {u'\u05B9', R - vav - lamed, R - vav - lamed + 3}});

  // Qamats, bet: the point centred in the bet's own cell.
  ExpectCells(Draw({22, 98}, box), {{u'\u05D1', R - bet, R}, {u'\u05B8', R - bet, R}});

  // Holam + lamed in one code: the lamed, then the holam from 2 pixels left
  // to 1 pixel right of the lamed's left edge.
  ExpectCells(Draw({90}, box),
              {{u'\u05DC', R - lamed, R}, {u'\u05B9', R - lamed - 2, R - lamed + 1}});

  // Qamats + final kaf: the vowel, then the letter, in the letter's cell; the
  // next letter starts where it ends.
  ExpectCells(Draw({98, 16}, box),
              {{u'\u05B8', R - kaf, R}, {u'\u05DA', R - kaf, R}, {u'\u05D1', R - kaf - bet, R - kaf}});

  // A holam after a holam + lamed pair keeps the pair's 3-pixel width.
  ExpectCells(Draw({22, 90}, box),
              {{u'\u05DC', R - lamed, R}, {u'\u05B9', R - lamed - 2, R - lamed + 1},
               {u'\u05B8', R - lamed, R - lamed + 3}});
}

TEST_F(GlyphTest, BytesOutsideTheTableTakeNoWidth) {
  const plat::Rect box{0, 10, 200, 50};
  auto calls = Draw({5, 200, 130, 1}, box);
  ASSERT_EQ(calls.size(), 4u);
  for (const auto& c : calls) {
    EXPECT_EQ(c.rect.left, 200);
    EXPECT_EQ(c.rect.right, 200);
  }
  EXPECT_EQ(calls[0].text, u"\x01");
  EXPECT_EQ(calls[1].text, u"\x82");
  EXPECT_EQ(plat::GetBackMode(view_.dc), plat::BackTransparent);
}

TEST_F(GlyphTest, MeasureRunFitsLeadingBytes) {
  const uint8_t text[] = {'1', '2', '3', '4', '5', 0};
  auto extentOf = [&](const char16_t* s, int32_t n) {
    plat::Size size{};
    plat::GetTextExtent(view_.dc, s, n, &size);
    return size.cx;
  };
  const int32_t one = extentOf(u"1", 1), three = extentOf(u"123", 3), all = extentOf(u"12345", 5);
  struct Case {
    int32_t maxExtent, count, fit, width;
  } cases[] = {
      {one - 1, 5, 0, 0},
      {one, 5, 1, one},
      {all, 5, 5, all},
      {all + 100, 5, 5, all},
      {all, 3, 3, three},
      {three, 5, 3, three},
      {all, 0, 0, 0},
  };
  for (const Case& c : cases) {
    int32_t extent = c.maxExtent, count = c.count;
    MeasureRun(view_.dc, text, &extent, &count);
    EXPECT_EQ(count, c.fit) << c.maxExtent;
    EXPECT_EQ(extent, c.width) << c.maxExtent;
  }
  // Reversing the converted run does not change what the leading bytes measure.
  const uint8_t mixed[] = {'1', ' ', '(', 0};
  int32_t e1 = one * 2, c1 = 3;
  MeasureRun(view_.dc, mixed, &e1, &c1);
  g_app.displayFlags |= FlagReverse;
  int32_t e2 = one * 2, c2 = 3;
  MeasureRun(view_.dc, mixed, &e2, &c2);
  EXPECT_EQ(c1, c2);
  EXPECT_EQ(e1, e2);
}

TEST_F(GlyphTest, CodePageModeDrawsTheWholeStringOnce) {
  g_app.fontChoice.asciiBase = kAsciiBaseCodePage;
  const uint8_t text[] = {98, 22, 97, ' ', '1'};
  std::vector<plat::DrawTextCall> calls;
  plat::SetDrawTextRecorder(&calls);
  DrawRun(&view_, text, 5, 10, 20, 100, 30);
  plat::SetDrawTextRecorder(nullptr);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].text, (std::u16string{0xE1, 0xE0, u' ', u'1'}));
  EXPECT_EQ(calls[0].rect.left, 10);
  EXPECT_EQ(calls[0].rect.right, 110);
  EXPECT_EQ(calls[0].rect.bottom, 50);
}

TEST_F(GlyphTest, ColouredRunRestoresTheContext) {
  plat::SetTextColour(view_.dc, plat::MakeColour(1, 2, 3));
  plat::SetBackColour(view_.dc, plat::MakeColour(4, 5, 6));
  const uint8_t text[] = {97, 98};
  std::vector<plat::DrawTextCall> calls;
  plat::SetDrawTextRecorder(&calls);
  DrawRunColoured(view_.dc, text, 2, 0, 0, 50, 30, plat::MakeColour(0, 0, 255),
                  plat::MakeColour(255, 255, 0));
  plat::SetDrawTextRecorder(nullptr);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].textColour, plat::MakeColour(0, 0, 255));
  EXPECT_EQ(plat::GetTextColour(view_.dc), plat::MakeColour(1, 2, 3));
  EXPECT_EQ(plat::GetBackColour(view_.dc), plat::MakeColour(4, 5, 6));
}

TEST_F(GlyphTest, FillBoxUsesTheStockBrush) {
  FillBox(view_.dc, 10, 10, 5, 5, plat::StockBlackBrush);
  EXPECT_EQ(plat::SurfacePixel(surface_, 10, 10), 0u);
  EXPECT_EQ(plat::SurfacePixel(surface_, 14, 14), 0u);
  EXPECT_EQ(plat::SurfacePixel(surface_, 15, 15), 0xFFFFFFu);
  FillBox(view_.dc, 10, 10, 5, 5, plat::StockWhiteBrush);
  EXPECT_EQ(plat::SurfacePixel(surface_, 12, 12), 0xFFFFFFu);
}

// Two pointed verses drawn glyph by glyph in two faces, against a checked-in
// image. TOVANEL_UPDATE_GOLDEN=1 writes a new image instead.
TEST_F(GlyphTest, PointedVersesMatchTheGoldenImage) {
  const char* verses[] = {
      "וּבֵית־אֵל לֹא־תוֹסִיף עוֹד לְהִנָּבֵא כִּי מִקְדַּשׁ־מֶלֶךְ הוּא וּבֵית מַמְלָכָה הוּא׃",
      "מִי יוֹדֵעַ יָשׁוּב וְנִחָם וְהִשְׁאִיר אַחֲרָיו בְּרָכָה מִנְחָה וָנֶסֶךְ לַיהוָה אֱלֹהֵיכֶם׃",
  };
  plat::Surface* page = plat::CreateSurface(760, 4 * 36 + 8);
  plat::DeviceContext* dc = plat::CreateSurfaceDC(page);
  plat::DeviceContext* own = view_.dc;
  view_.dc = dc;
  int32_t y = 4;
  for (const char16_t* face : {u"Frank Ruehl CLM", u"Ezra SIL"}) {
    UseFace(face, 24);
    for (const char* verse : verses) {
      EncodeResult enc = EncodeParagraph(verse);
      ASSERT_EQ(enc.error, "");
      int32_t width = 0x7FFF, count = static_cast<int32_t>(enc.bytes.size());
      enc.bytes.push_back(0);
      MeasureWithWidthTable(view_.widthTable, enc.bytes.data(), &width, &count);
      plat::Rect box{752 - width, y, 752, y + 36};
      DrawGlyphs(&view_, enc.bytes.data(), count, &box);
      y += 36;
    }
  }
  UseFace(u"Frank Ruehl CLM", 24);
  view_.dc = own;

  const std::string golden = TOVANEL_SOURCE_DIR "/tests/codec/golden/pointed_verses.png";
  if (std::getenv("TOVANEL_UPDATE_GOLDEN")) {
    ASSERT_TRUE(plat::WriteSurfacePng(page, golden.c_str()));
  }
  plat::Surface* expected = plat::ReadSurfacePng(golden.c_str());
  EXPECT_NE(expected, nullptr) << golden;
  if (expected && (expected->width != page->width || expected->height != page->height)) {
    ADD_FAILURE() << "the golden image has another size";
    plat::DestroySurface(expected);
    expected = nullptr;
  }
  if (!expected) {
    plat::DeleteDC(dc);
    plat::DestroySurface(page);
    return;
  }
  // Anti-aliasing may differ a little between library versions: allow small
  // per-channel differences on a small share of pixels.
  int differing = 0;
  for (int32_t yy = 0; yy < page->height; ++yy) {
    for (int32_t x = 0; x < page->width; ++x) {
      plat::Colour a = plat::SurfacePixel(page, x, yy), b = plat::SurfacePixel(expected, x, yy);
      int d = std::abs(int(plat::ColourRed(a)) - int(plat::ColourRed(b)));
      if (d > 48) ++differing;
    }
  }
  EXPECT_LE(differing, page->width * page->height / 200) << "pixels differ from " << golden;
  if (differing > page->width * page->height / 200) {
    plat::WriteSurfacePng(page, TOVANEL_BINARY_DIR "/pointed_verses.actual.png");
  }
  plat::DestroySurface(expected);
  plat::DeleteDC(dc);
  plat::DestroySurface(page);
}

}  // namespace
