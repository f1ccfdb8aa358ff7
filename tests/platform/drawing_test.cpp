#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/graphics.h"
#include "tests/platform/graphics_test_util.h"

namespace {

using gfxtest::BitmapPtr;
using gfxtest::DcPtr;
using gfxtest::Picture;
using gfxtest::SurfacePtr;

constexpr plat::Colour kWhite = plat::MakeColour(255, 255, 255);
constexpr plat::Colour kBlack = plat::MakeColour(0, 0, 0);
constexpr plat::Colour kRed = plat::MakeColour(255, 0, 0);
constexpr plat::Colour kBlue = plat::MakeColour(0, 0, 255);
constexpr plat::Colour kLightGray = plat::MakeColour(0xC0, 0xC0, 0xC0);

const std::map<plat::Colour, char> kLegend = {
    {kWhite, '.'}, {kBlack, '#'}, {kRed, 'r'}, {kBlue, 'b'}, {kLightGray, 'g'}};

TEST(DeviceContext, NewContextHoldsTheDocumentedDefaults) {
  SurfacePtr s(plat::CreateSurface(4, 4));
  DcPtr dc(plat::CreateSurfaceDC(s.get()));
  ASSERT_TRUE(dc);
  EXPECT_EQ(plat::GetTextColour(dc.get()), kBlack);
  EXPECT_EQ(plat::GetBackColour(dc.get()), kWhite);
  EXPECT_EQ(plat::GetBackMode(dc.get()), plat::BackOpaque);
  // Selecting something else hands back what a new context holds.
  plat::Font* font = gfxtest::MakeFont(u"DejaVu Sans", 12).release();
  EXPECT_EQ(plat::SelectFont(dc.get(), font), plat::GetStockFont(plat::StockSystemFont));
  EXPECT_EQ(plat::SelectBrush(dc.get(), plat::GetStockBrush(plat::StockNullBrush)),
            plat::GetStockBrush(plat::StockWhiteBrush));
  EXPECT_EQ(plat::SelectPen(dc.get(), plat::GetStockPen(plat::StockNullPen)),
            plat::GetStockPen(plat::StockBlackPen));
  plat::SelectFont(dc.get(), plat::GetStockFont(plat::StockSystemFont));
  plat::DeleteFont(font);

  // The system font is a real face at the default height.
  plat::TextMetrics m{};
  ASSERT_TRUE(plat::GetTextMetrics(dc.get(), &m));
  EXPECT_EQ(m.height, 16);
  plat::Size size{};
  ASSERT_TRUE(plat::GetTextExtent(dc.get(), u"Ab", 2, &size));
  EXPECT_GT(size.cx, 0);
}

TEST(DeviceContext, SelectingReturnsTheReplacedObject) {
  SurfacePtr s(plat::CreateSurface(4, 4));
  DcPtr dc(plat::CreateSurfaceDC(s.get()));
  DcPtr mem(plat::CreateMemoryDC(dc.get()));
  ASSERT_TRUE(dc && mem);
  plat::Brush* b1 = plat::CreateSolidBrush(kRed);
  plat::Brush* b2 = plat::CreateSolidBrush(kBlue);
  plat::Pen* p1 = plat::CreateSolidPen(1, kRed);
  plat::Font* f1 = gfxtest::MakeFont(u"DejaVu Sans", 14).release();
  plat::Font* f2 = gfxtest::MakeFont(u"Frank Ruehl CLM", 14).release();
  ASSERT_TRUE(b1 && b2 && p1 && f1 && f2);

  plat::Brush* whiteBrush = plat::SelectBrush(dc.get(), b1);
  EXPECT_EQ(plat::SelectBrush(dc.get(), b2), b1);
  EXPECT_EQ(plat::SelectBrush(dc.get(), nullptr), nullptr);  // null changes nothing
  EXPECT_EQ(plat::SelectBrush(dc.get(), whiteBrush), b2);

  plat::Pen* blackPen = plat::SelectPen(dc.get(), p1);
  EXPECT_EQ(plat::SelectPen(dc.get(), nullptr), nullptr);
  EXPECT_EQ(plat::SelectPen(dc.get(), blackPen), p1);

  plat::Font* systemFont = plat::SelectFont(dc.get(), f1);
  EXPECT_EQ(plat::SelectFont(dc.get(), f2), f1);
  EXPECT_EQ(plat::SelectFont(dc.get(), nullptr), nullptr);
  EXPECT_EQ(plat::SelectFont(dc.get(), systemFont), f2);

  EXPECT_EQ(plat::SetTextColour(dc.get(), kRed), kBlack);
  EXPECT_EQ(plat::SetTextColour(dc.get(), kBlue), kRed);
  EXPECT_EQ(plat::SetBackColour(dc.get(), kRed), kWhite);
  EXPECT_EQ(plat::GetBackColour(dc.get()), kRed);
  EXPECT_EQ(plat::SetBackMode(dc.get(), plat::BackTransparent), plat::BackOpaque);
  EXPECT_EQ(plat::SetBackMode(dc.get(), plat::BackOpaque), plat::BackTransparent);

  // Bitmaps go into memory contexts only; what a new one holds can be
  // selected back.
  BitmapPtr bm1(plat::CreateCompatibleBitmap(dc.get(), 2, 2));
  BitmapPtr bm2(plat::CreateCompatibleBitmap(dc.get(), 3, 3));
  ASSERT_TRUE(bm1 && bm2);
  EXPECT_EQ(plat::SelectBitmap(dc.get(), bm1.get()), nullptr);
  plat::Bitmap* initial = plat::SelectBitmap(mem.get(), bm1.get());
  ASSERT_NE(initial, nullptr);
  EXPECT_EQ(plat::SelectBitmap(mem.get(), bm2.get()), bm1.get());
  EXPECT_EQ(plat::SelectBitmap(mem.get(), initial), bm2.get());
  plat::DeleteBitmap(initial);  // stock: stays usable
  EXPECT_EQ(plat::SelectBitmap(mem.get(), bm1.get()), initial);
  EXPECT_EQ(plat::SelectBitmap(mem.get(), initial), bm1.get());

  plat::DeleteBrush(b1);
  plat::DeleteBrush(b2);
  plat::DeletePen(p1);
  plat::DeleteFont(f1);
  plat::DeleteFont(f2);
}

TEST(DeviceContext, StockObjectsByIndex) {
  const struct {
    int index;
    plat::Colour colour;
  } brushes[] = {{plat::StockWhiteBrush, kWhite},
                 {plat::StockLightGrayBrush, kLightGray},
                 {plat::StockGrayBrush, plat::MakeColour(0x80, 0x80, 0x80)},
                 {plat::StockDarkGrayBrush, plat::MakeColour(0x40, 0x40, 0x40)},
                 {plat::StockBlackBrush, kBlack}};
  SurfacePtr s(plat::CreateSurface(1, 1));
  DcPtr dc(plat::CreateSurfaceDC(s.get()));
  plat::Rect all{0, 0, 1, 1};
  for (const auto& b : brushes) {
    plat::Brush* brush = plat::GetStockBrush(b.index);
    ASSERT_NE(brush, nullptr);
    plat::DeleteBrush(brush);  // does nothing to a stock object
    plat::FillRect(dc.get(), &all, brush);
    EXPECT_EQ(plat::SurfacePixel(s.get(), 0, 0), b.colour) << b.index;
  }
  plat::FillRect(dc.get(), &all, plat::GetStockBrush(plat::StockNullBrush));
  EXPECT_EQ(plat::SurfacePixel(s.get(), 0, 0), kBlack);  // the null brush paints nothing

  EXPECT_NE(plat::GetStockPen(plat::StockWhitePen), nullptr);
  EXPECT_NE(plat::GetStockPen(plat::StockNullPen), nullptr);
  EXPECT_NE(plat::GetStockFont(plat::StockSystemFont), nullptr);
  EXPECT_EQ(plat::GetStockBrush(plat::StockWhitePen), nullptr);
  EXPECT_EQ(plat::GetStockBrush(-1), nullptr);
  EXPECT_EQ(plat::GetStockPen(plat::StockBlackBrush), nullptr);
  EXPECT_EQ(plat::GetStockPen(plat::StockSystemFont), nullptr);
  EXPECT_EQ(plat::GetStockFont(plat::StockBlackPen), nullptr);
}

// Each case draws on an 8x6 white surface and is compared pixel for pixel.
struct ShapeCase {
  const char* name;
  std::function<void(plat::DeviceContext*)> draw;
  const char* picture;
};

class Shapes : public testing::TestWithParam<ShapeCase> {};

TEST_P(Shapes, DrawExactPixels) {
  SurfacePtr s(plat::CreateSurface(8, 6));
  DcPtr dc(plat::CreateSurfaceDC(s.get()));
  ASSERT_TRUE(dc);
  plat::Brush* brush = plat::CreateSolidBrush(kRed);
  plat::Pen* pen = plat::CreateSolidPen(1, kBlue);
  plat::SelectBrush(dc.get(), brush);
  plat::SelectPen(dc.get(), pen);
  GetParam().draw(dc.get());
  EXPECT_EQ(Picture(s.get(), kLegend), GetParam().picture);
  plat::SelectBrush(dc.get(), plat::GetStockBrush(plat::StockWhiteBrush));
  plat::SelectPen(dc.get(), plat::GetStockPen(plat::StockBlackPen));
  plat::DeleteBrush(brush);
  plat::DeletePen(pen);
}

void Fill(plat::DeviceContext* dc, plat::Rect r, int stock) {
  plat::FillRect(dc, &r, plat::GetStockBrush(stock));
}

void Line(plat::DeviceContext* dc, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  plat::MoveTo(dc, x0, y0);
  plat::LineTo(dc, x1, y1);
}

void WithPen(plat::DeviceContext* dc, int32_t width, const std::function<void()>& draw) {
  plat::Pen* pen = plat::CreateSolidPen(width, kBlack);
  plat::Pen* old = plat::SelectPen(dc, pen);
  draw();
  plat::SelectPen(dc, old);
  plat::DeletePen(pen);
}

const ShapeCase kShapeCases[] = {
    {"FillRectRightBottomExcluded",
     [](auto dc) {
       Fill(dc, {1, 1, 4, 3}, plat::StockBlackBrush);
     },
     "........\n"
     ".###....\n"
     ".###....\n"
     "........\n"
     "........\n"
     "........\n"},
    {"FillRectClippedToSurface",
     [](auto dc) {
       Fill(dc, {-5, 4, 3, 100}, plat::StockBlackBrush);
     },
     "........\n"
     "........\n"
     "........\n"
     "........\n"
     "###.....\n"
     "###.....\n"},
    {"FillRectEmptyOrInverted",
     [](auto dc) {
       Fill(dc, {3, 3, 3, 5}, plat::StockBlackBrush);
       Fill(dc, {5, 4, 2, 1}, plat::StockBlackBrush);
     },
     "........\n"
     "........\n"
     "........\n"
     "........\n"
     "........\n"
     "........\n"},
    {"RectangleOutlineInsideInteriorBrush", [](auto dc) { plat::DrawRectangle(dc, 1, 1, 6, 5); },
     "........\n"
     ".bbbbb..\n"
     ".brrrb..\n"
     ".brrrb..\n"
     ".bbbbb..\n"
     "........\n"},
    {"RectangleWidePen",
     [](auto dc) { WithPen(dc, 2, [&] { plat::DrawRectangle(dc, 0, 0, 7, 6); }); },
     "#######.\n"
     "#######.\n"
     "##rrr##.\n"
     "##rrr##.\n"
     "#######.\n"
     "#######.\n"},
    {"RectangleNullBrushLeavesInside",
     [](auto dc) {
       Fill(dc, {0, 0, 8, 6}, plat::StockLightGrayBrush);
       plat::SelectBrush(dc, plat::GetStockBrush(plat::StockNullBrush));
       plat::DrawRectangle(dc, 1, 1, 5, 5);
     },
     "gggggggg\n"
     "gbbbbggg\n"
     "gbggbggg\n"
     "gbggbggg\n"
     "gbbbbggg\n"
     "gggggggg\n"},
    {"RectangleNullPenAllBrush",
     [](auto dc) {
       plat::SelectPen(dc, plat::GetStockPen(plat::StockNullPen));
       plat::DrawRectangle(dc, 2, 1, 5, 3);
     },
     "........\n"
     "..rrr...\n"
     "..rrr...\n"
     "........\n"
     "........\n"
     "........\n"},
    {"RectangleClipped", [](auto dc) { plat::DrawRectangle(dc, -2, 3, 3, 9); },
     "........\n"
     "........\n"
     "........\n"
     "bbb.....\n"
     "rrb.....\n"
     "rrb.....\n"},
    {"LineHorizontalEndExcluded", [](auto dc) { Line(dc, 1, 1, 5, 1); },
     "........\n"
     ".bbbb...\n"
     "........\n"
     "........\n"
     "........\n"
     "........\n"},
    {"LineLeftwardsEndExcluded", [](auto dc) { Line(dc, 6, 2, 2, 2); },
     "........\n"
     "........\n"
     "...bbbb.\n"
     "........\n"
     "........\n"
     "........\n"},
    {"LineVerticalBothWays",
     [](auto dc) {
       Line(dc, 1, 0, 1, 4);
       Line(dc, 3, 5, 3, 1);
     },
     ".b......\n"
     ".b......\n"
     ".b.b....\n"
     ".b.b....\n"
     "...b....\n"
     "...b....\n"},
    {"LineContinuesFromTheEnd",
     [](auto dc) {
       plat::MoveTo(dc, 0, 0);
       plat::LineTo(dc, 4, 0);
       plat::LineTo(dc, 4, 3);
       plat::LineTo(dc, 0, 3);
     },
     "bbbbb...\n"
     "....b...\n"
     "....b...\n"
     ".bbbb...\n"
     "........\n"
     "........\n"},
    {"LineDiagonal", [](auto dc) { Line(dc, 0, 0, 4, 4); },
     "b.......\n"
     ".b......\n"
     "..b.....\n"
     "...b....\n"
     "........\n"
     "........\n"},
    {"LineWidePenCentred", [](auto dc) { WithPen(dc, 3, [&] { Line(dc, 1, 2, 5, 2); }); },
     "........\n"
     "######..\n"
     "######..\n"
     "######..\n"
     "........\n"
     "........\n"},
    {"LineNullPenOnlyMoves",
     [](auto dc) {
       plat::Pen* old = plat::SelectPen(dc, plat::GetStockPen(plat::StockNullPen));
       Line(dc, 0, 1, 7, 1);
       plat::SelectPen(dc, old);
       plat::LineTo(dc, 7, 4);
     },
     "........\n"
     ".......b\n"
     ".......b\n"
     ".......b\n"
     "........\n"
     "........\n"},
    {"LineFarOutsideClipped", [](auto dc) { Line(dc, -2000000000, 4, 2000000000, 4); },
     "........\n"
     "........\n"
     "........\n"
     "........\n"
     "bbbbbbbb\n"
     "........\n"},
};

INSTANTIATE_TEST_SUITE_P(Drawing, Shapes, testing::ValuesIn(kShapeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A source whose every pixel is distinct, copied at offsets that cross the
// edges of both surfaces: each destination pixel is either its source pixel
// or untouched.
TEST(CopyBits, CopiesTheOverlapOfBothSurfacesOnly) {
  struct Case {
    int32_t x, y, w, h, sx, sy;
  };
  const Case cases[] = {
      {0, 0, 5, 4, 0, 0},   {2, 1, 10, 10, 0, 0}, {-2, -1, 4, 4, 0, 0}, {0, 0, 6, 5, 3, 2},
      {1, 1, 3, 3, -2, -2}, {4, 3, 3, 3, 4, 2},   {0, 0, 0, 5, 0, 0},   {9, 9, 2, 2, 0, 0},
  };
  SurfacePtr src(plat::CreateSurface(5, 4));
  DcPtr srcDc(plat::CreateSurfaceDC(src.get()));
  for (int32_t i = 0; i < 20; ++i) src->pixels[i] = 0x010000u * (i + 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " " << c.w << "x" << c.h << " from "
                                    << c.sx << "," << c.sy);
    SurfacePtr dst(plat::CreateSurface(6, 5));
    DcPtr dstDc(plat::CreateSurfaceDC(dst.get()));
    ASSERT_TRUE(plat::CopyBits(dstDc.get(), c.x, c.y, c.w, c.h, srcDc.get(), c.sx, c.sy,
                               plat::RopSourceCopy));
    for (int32_t y = 0; y < 5; ++y) {
      for (int32_t x = 0; x < 6; ++x) {
        const int32_t fx = x - c.x + c.sx, fy = y - c.y + c.sy;
        const bool inside = x >= c.x && x < c.x + c.w && y >= c.y && y < c.y + c.h && fx >= 0 &&
                            fx < 5 && fy >= 0 && fy < 4;
        const uint32_t want = inside ? src->pixels[fy * 5 + fx] : 0xFFFFFFu;
        EXPECT_EQ(dst->pixels[y * 6 + x], want) << "at " << x << "," << y;
      }
    }
  }
}

TEST(CopyBits, ScrollsWithinOneSurfaceBothWays) {
  for (int32_t dy : {-1, 1}) {
    SurfacePtr s(plat::CreateSurface(3, 5));
    DcPtr dc(plat::CreateSurfaceDC(s.get()));
    for (int32_t i = 0; i < 15; ++i) s->pixels[i] = 0x100u * (i + 1);
    std::vector<uint32_t> before(s->pixels, s->pixels + 15);
    // Move rows 1..3 by dy.
    ASSERT_TRUE(plat::CopyBits(dc.get(), 0, 1 + dy, 3, 3, dc.get(), 0, 1, plat::RopSourceCopy));
    for (int32_t row = 1; row <= 3; ++row) {
      for (int32_t x = 0; x < 3; ++x)
        EXPECT_EQ(s->pixels[(row + dy) * 3 + x], before[row * 3 + x]) << dy << " row " << row;
    }
  }
}

TEST(CopyBits, MemoryContextsDrawIntoTheirBitmap) {
  SurfacePtr screen(plat::CreateSurface(6, 4));
  DcPtr dc(plat::CreateSurfaceDC(screen.get()));
  DcPtr mem(plat::CreateMemoryDC(dc.get()));
  plat::Rect all{0, 0, 6, 4};

  // Without a bitmap nothing is drawn and nothing can be copied.
  plat::FillRect(mem.get(), &all, plat::GetStockBrush(plat::StockBlackBrush));
  plat::DrawRectangle(mem.get(), 0, 0, 6, 4);
  plat::MoveTo(mem.get(), 0, 0);
  plat::LineTo(mem.get(), 5, 0);
  EXPECT_EQ(plat::DrawTextInRect(mem.get(), u"x", 1, &all, plat::DtSingleLine), 16);
  EXPECT_FALSE(plat::CopyBits(dc.get(), 0, 0, 6, 4, mem.get(), 0, 0, plat::RopSourceCopy));

  BitmapPtr bm(plat::CreateCompatibleBitmap(dc.get(), 3, 2));
  ASSERT_TRUE(bm);
  EXPECT_EQ(plat::BitmapSize(bm.get()).cx, 3);
  EXPECT_EQ(plat::BitmapSize(bm.get()).cy, 2);
  plat::Bitmap* old = plat::SelectBitmap(mem.get(), bm.get());
  plat::Rect one{1, 0, 2, 2};
  plat::FillRect(mem.get(), &one, plat::GetStockBrush(plat::StockBlackBrush));
  EXPECT_FALSE(plat::CopyBits(dc.get(), 0, 0, 3, 2, mem.get(), 0, 0, 0x00EE0086));  // no other rop
  ASSERT_TRUE(plat::CopyBits(dc.get(), 2, 1, 6, 6, mem.get(), 0, 0, plat::RopSourceCopy));
  EXPECT_EQ(Picture(screen.get(), kLegend),
            "......\n"
            "...#..\n"
            "...#..\n"
            "......\n");
  plat::SelectBitmap(mem.get(), old);
}

}  // namespace
