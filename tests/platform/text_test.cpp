#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "platform/graphics.h"
#include "tests/platform/graphics_test_util.h"

namespace {

using gfxtest::DcPtr;
using gfxtest::FontPtr;
using gfxtest::InkBox;
using gfxtest::MakeFont;
using gfxtest::SurfacePtr;

// Named faces, all installed with the project's dependencies.
constexpr const char16_t* kHebrewFaces[] = {u"Frank Ruehl CLM", u"Ezra SIL", u"DejaVu Sans"};
constexpr const char16_t* kLatinOnlyFace = u"DejaVu Sans Mono";
// Has the Hebrew letters but not the precomposed forms such as U+FB31.
constexpr const char16_t* kNoPresentationForms = u"Ellinia CLM";
// One face, one style: bold and italic can only be synthesised.
constexpr const char16_t* kSingleStyleFace = u"Ezra SIL";

constexpr plat::Colour kWhite = plat::MakeColour(255, 255, 255);
constexpr plat::Colour kBlack = plat::MakeColour(0, 0, 0);
constexpr plat::Colour kRed = plat::MakeColour(255, 0, 0);
constexpr plat::Colour kGreen = plat::MakeColour(0, 255, 0);
constexpr plat::Colour kBlue = plat::MakeColour(0, 0, 255);

constexpr char16_t kQamats = 0x05B8;
constexpr char16_t kHiriq = 0x05B4;
constexpr char16_t kHolam = 0x05B9;
constexpr char16_t kDagesh = 0x05BC;

std::string Narrow(const char16_t* s) {
  return std::string(s, s + std::char_traits<char16_t>::length(s));
}

class Text : public testing::Test {
 protected:
  static constexpr int32_t kWidth = 240;
  static constexpr int32_t kHeight = 80;

  void SetUp() override {
    surface_.reset(plat::CreateSurface(kWidth, kHeight));
    dc_.reset(plat::CreateSurfaceDC(surface_.get()));
    ASSERT_TRUE(surface_ && dc_);
  }
  void TearDown() override {
    plat::SelectFont(dc_.get(), plat::GetStockFont(plat::StockSystemFont));
  }

  void Use(const FontPtr& font) {
    ASSERT_TRUE(font);
    plat::SelectFont(dc_.get(), font.get());
  }
  void Clear(plat::Colour colour = kWhite) {
    plat::Brush* brush = plat::CreateSolidBrush(colour);
    plat::Rect all{0, 0, kWidth, kHeight};
    plat::FillRect(dc_.get(), &all, brush);
    plat::DeleteBrush(brush);
  }
  // Black text on a cleared white surface, transparent unless told.
  int32_t Draw(const std::u16string& text, plat::Rect r, uint32_t flags,
               int mode = plat::BackTransparent) {
    Clear();
    plat::SetTextColour(dc_.get(), kBlack);
    plat::SetBackMode(dc_.get(), mode);
    return plat::DrawTextInRect(dc_.get(), text.c_str(), static_cast<int32_t>(text.size()), &r,
                                flags);
  }
  plat::Size Extent(const std::u16string& text) {
    plat::Size size{-1, -1};
    EXPECT_TRUE(
        plat::GetTextExtent(dc_.get(), text.data(), static_cast<int32_t>(text.size()), &size));
    return size;
  }
  plat::TextMetrics Metrics() {
    plat::TextMetrics m{};
    EXPECT_TRUE(plat::GetTextMetrics(dc_.get(), &m));
    return m;
  }
  // Per pixel, how dark it is (0 white .. 255 black).
  std::vector<int> Darkness() {
    std::vector<int> d(static_cast<std::size_t>(kWidth) * kHeight);
    for (int32_t i = 0; i < kWidth * kHeight; ++i) d[i] = 255 - (surface_->pixels[i] & 0xFF);
    return d;
  }

  SurfacePtr surface_;
  DcPtr dc_;
};

TEST_F(Text, CellHeightIsTheRequestedHeight) {
  for (const char16_t* face : kHebrewFaces) {
    for (int32_t height : {14, 20, 24}) {
      SCOPED_TRACE(Narrow(face) + " " + std::to_string(height));
      FontPtr font = MakeFont(face, height);
      Use(font);
      const plat::TextMetrics m = Metrics();
      EXPECT_LE(std::abs(m.height - height), 1);
      EXPECT_EQ(m.ascent + m.descent, m.height);
      EXPECT_GT(m.descent, 0);
      EXPECT_EQ(Extent(u"x").cy, m.height);
    }
    // 0 is the default height; a negative height is the em, which is
    // smaller than the cell in these faces.
    FontPtr byDefault = MakeFont(face, 0);
    Use(byDefault);
    EXPECT_EQ(Metrics().height, 16) << Narrow(face);
    FontPtr byEm = MakeFont(face, -20);
    Use(byEm);
    EXPECT_GT(Metrics().height, 20) << Narrow(face);
  }
}

TEST_F(Text, NamedFacesAreTheFacesUsed) {
  // The same letters at the same height measure differently in each face;
  // had the names been ignored they would all be the default face.
  std::set<int32_t> widths;
  for (const char16_t* face : kHebrewFaces) {
    FontPtr font = MakeFont(face, 24);
    Use(font);
    widths.insert(Extent(u"\u05D0\u05D1\u05D2\u05E9\u05DC\u05D5\u05DD").cx);
  }
  EXPECT_EQ(widths.size(), std::size(kHebrewFaces));
  EXPECT_EQ(plat::CreateFontFromDescription(nullptr), nullptr);
}

TEST_F(Text, MetricsDescribeTheFace) {
  for (const char16_t* face : kHebrewFaces) {
    FontPtr font = MakeFont(face, 20);
    Use(font);
    EXPECT_EQ(Metrics().charSet, plat::CharSetHebrew) << Narrow(face);
  }
  FontPtr latin = MakeFont(kLatinOnlyFace, 20);
  Use(latin);
  EXPECT_EQ(Metrics().charSet, plat::CharSetAnsi);
  // Monospaced: every character it has is as wide as the widest.
  EXPECT_EQ(Metrics().maxCharWidth, Extent(u"M").cx);
  EXPECT_EQ(Metrics().maxCharWidth, Extent(u"i").cx);

  // DejaVu Sans has all the characters measured; the widest of them is the
  // maximum, whatever wider glyphs the face has elsewhere.
  FontPtr sans = MakeFont(u"DejaVu Sans", 20);
  Use(sans);
  int32_t widest = 0;
  for (auto [first, last] : {std::pair{0x20, 0x7E}, {0xA0, 0xFF}, {0x5D0, 0x5EA}}) {
    for (int c = first; c <= last; ++c) widest = std::max(widest, Extent(std::u16string(1, c)).cx);
  }
  const plat::TextMetrics m = Metrics();
  EXPECT_EQ(m.maxCharWidth, widest);
  EXPECT_GT(m.aveCharWidth, 0);
  EXPECT_LT(m.aveCharWidth, m.maxCharWidth);
}

TEST_F(Text, ExtentIsTheSumOfTheCharacters) {
  const std::u16string texts[] = {
      u"Hello, world",
      u"\u05E9\u05C1\u05B8\u05DC\u05D5\u05B9\u05DD",  // pointed, points between letters
      u"\u05D1\u05BC\u05B0\u05E8\u05B5\u05D0\u05E9\u05C1\u05B4\u05D9\u05EA abc 123",
      u"\uFB31\uFB2C\u05D0",  // presentation forms
  };
  for (const char16_t* face : kHebrewFaces) {
    FontPtr font = MakeFont(face, 20);
    Use(font);
    for (const std::u16string& text : texts) {
      int32_t sum = 0;
      for (char16_t unit : text) sum += Extent(std::u16string(1, unit)).cx;
      EXPECT_EQ(Extent(text).cx, sum) << Narrow(face);
      EXPECT_GT(sum, 0);
    }
    // Points have no advance of their own.
    for (char16_t point : {kQamats, kHiriq, kHolam, kDagesh})
      EXPECT_EQ(Extent(std::u16string(1, point)).cx, 0);
  }
}

TEST_F(Text, FitCountsUnitsUpToTheBoundary) {
  FontPtr font = MakeFont(u"DejaVu Sans", 20);
  Use(font);
  const std::u16string text = u"Hello";
  int32_t partial[5] = {};
  int32_t fit = -1;
  plat::Size size{};
  ASSERT_TRUE(plat::GetTextExtentFit(dc_.get(), text.data(), 5, 1000, &fit, partial, &size));
  EXPECT_EQ(fit, 5);
  EXPECT_EQ(size.cx, partial[4]);
  EXPECT_EQ(size.cx, Extent(text).cx);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(partial[i], Extent(text.substr(0, i + 1)).cx);

  const struct {
    int32_t maxExtent;
    int32_t fit;
  } cases[] = {{partial[2], 3}, {partial[2] - 1, 2}, {partial[0], 1}, {partial[0] - 1, 0}, {0, 0},
               {-5, 0},         {partial[4], 5}};
  for (const auto& c : cases) {
    ASSERT_TRUE(
        plat::GetTextExtentFit(dc_.get(), text.data(), 5, c.maxExtent, &fit, nullptr, nullptr));
    EXPECT_EQ(fit, c.fit) << "max " << c.maxExtent;
  }

  // Points ride with the letter before them; a surrogate pair is one
  // character whose extent both units carry, so it is never split.
  const std::u16string pointed = u"\u05D1\u05B8\u05BC\u05D2";
  ASSERT_TRUE(plat::GetTextExtentFit(dc_.get(), pointed.data(), 4, Extent(u"\u05D1").cx, &fit,
                                     nullptr, nullptr));
  EXPECT_EQ(fit, 3);
  const std::u16string pair = u"a\U0001D400b";
  int32_t pairPartial[4] = {};
  ASSERT_TRUE(plat::GetTextExtentFit(dc_.get(), pair.data(), 4, 1000, &fit, pairPartial, &size));
  EXPECT_EQ(pairPartial[1], pairPartial[2]);
  EXPECT_GT(pairPartial[2], pairPartial[0]);  // the fallback face draws it
  EXPECT_EQ(size.cx, pairPartial[3]);
  ASSERT_TRUE(plat::GetTextExtentFit(dc_.get(), pair.data(), 4, pairPartial[2] - 1, &fit, nullptr,
                                     nullptr));
  EXPECT_EQ(fit, 1);
  ASSERT_TRUE(
      plat::GetTextExtentFit(dc_.get(), pair.data(), 4, pairPartial[2], &fit, nullptr, nullptr));
  EXPECT_EQ(fit, 3);
}

// Opaque text with the background in the text's colour paints exactly its
// extent box, which shows where the line was placed.
TEST_F(Text, SingleLineIsPlacedByTheFlags) {
  FontPtr font = MakeFont(u"DejaVu Sans", 20);
  Use(font);
  const std::u16string text = u"HHH";
  const plat::Size size = Extent(text);
  const plat::Rect r{20, 5, 181, 76};
  const int32_t w = size.cx, h = size.cy;
  const struct {
    uint32_t flags;
    int32_t x, y;
  } cases[] = {
      {plat::DtSingleLine, 20, 5},
      {plat::DtSingleLine | plat::DtCenter, 20 + (161 - w) / 2, 5},
      {plat::DtSingleLine | plat::DtRight, 181 - w, 5},
      {plat::DtSingleLine | plat::DtVCenter, 20, 5 + (71 - h) / 2},
      {plat::DtSingleLine | plat::DtBottom | plat::DtCenter, 20 + (161 - w) / 2, 76 - h},
      {plat::DtSingleLine | plat::DtBottom | plat::DtRight, 181 - w, 76 - h},
  };
  for (const auto& c : cases) {
    Clear();
    plat::SetTextColour(dc_.get(), kBlue);
    plat::SetBackColour(dc_.get(), kBlue);
    plat::SetBackMode(dc_.get(), plat::BackOpaque);
    EXPECT_EQ(plat::DrawTextInRect(dc_.get(), text.c_str(), -1, &r, c.flags), h);
    const plat::Rect box = InkBox(surface_.get(), kWhite);
    EXPECT_EQ(box.left, c.x) << c.flags;
    EXPECT_EQ(box.top, c.y) << c.flags;
    EXPECT_EQ(box.right, c.x + w) << c.flags;
    EXPECT_EQ(box.bottom, c.y + h) << c.flags;
    // The letters stand on the baseline, ascent below the line's top.
    Draw(text, r, c.flags);
    EXPECT_EQ(InkBox(surface_.get(), kWhite).bottom, c.y + Metrics().ascent) << c.flags;
  }

  // Ink is not cut at the rectangle: a string wider than it overhangs both
  // sides when centred, as a glyph overhangs its cell.
  const plat::Rect small{30, 10, 40, 18};
  Draw(text, small, plat::DtSingleLine | plat::DtCenter, plat::BackOpaque);
  const plat::Rect box = InkBox(surface_.get(), kWhite);
  EXPECT_LT(box.left, small.left);
  EXPECT_GT(box.right, small.right);
}

TEST_F(Text, CentredLetterHasItsInkInTheMiddle) {
  FontPtr font = MakeFont(u"DejaVu Sans", 40);
  Use(font);
  for (const char16_t* letter : {u"H", u"O", u"\u05E1"}) {
    const plat::Rect r{60, 0, 121, 80};
    Draw(letter, r, plat::DtSingleLine | plat::DtCenter | plat::DtVCenter);
    const plat::Rect ink = InkBox(surface_.get(), kWhite);
    ASSERT_LT(ink.left, ink.right);
    EXPECT_LE(std::abs((ink.left + ink.right) - (r.left + r.right)), 2) << Narrow(letter);
  }
}

// A point drawn alone has no advance: it is centred by its ink and keeps the
// baseline it would have after a letter.
TEST_F(Text, PointAloneIsCentredByItsInk) {
  for (const char16_t* face : kHebrewFaces) {
    FontPtr font = MakeFont(face, 40);
    Use(font);
    for (char16_t point : {kQamats, kHiriq, kHolam, kDagesh}) {
      SCOPED_TRACE(Narrow(face) + " U+" + std::to_string(point));
      const plat::Rect cell{100, 10, 124, 70};
      Draw(std::u16string(1, point), cell, plat::DtSingleLine);
      const plat::Rect alone = InkBox(surface_.get(), kWhite);
      ASSERT_LT(alone.left, alone.right);
      EXPECT_LE(std::abs((alone.left + alone.right) - (cell.left + cell.right)), 1);

      // Same picture whatever the horizontal flags, and opaque mode fills
      // nothing: there is no extent to fill.
      const std::vector<int> plain = Darkness();
      plat::SetBackColour(dc_.get(), kRed);
      Draw(std::u16string(1, point), cell, plat::DtSingleLine | plat::DtRight, plat::BackOpaque);
      EXPECT_EQ(Darkness(), plain);
      EXPECT_EQ(InkBox(surface_.get(), kWhite).left, alone.left);
      for (int32_t i = 0; i < kWidth * kHeight; ++i) {
        const uint32_t p = surface_->pixels[i];
        ASSERT_EQ(p >> 16 & 0xFF, p & 0xFF) << "not grey at " << i;
      }

      // After a space the point is drawn the ordinary way, at the pen: its
      // rows are the same.
      Draw(std::u16string(u" ") + point, cell, plat::DtSingleLine);
      const plat::Rect afterSpace = InkBox(surface_.get(), kWhite);
      EXPECT_EQ(afterSpace.top, alone.top);
      EXPECT_EQ(afterSpace.bottom, alone.bottom);
    }
  }
}

TEST_F(Text, OpaqueFillsTheTextBoxAndTransparentDoesNot) {
  FontPtr font = MakeFont(u"DejaVu Sans", 20);
  Use(font);
  const std::u16string text = u"Hi \u05D0";
  const plat::Size size = Extent(text);
  const plat::Rect r{10, 10, 200, 60};
  for (int mode : {plat::BackOpaque, plat::BackTransparent}) {
    Clear(kGreen);
    plat::SetTextColour(dc_.get(), kBlack);
    plat::SetBackColour(dc_.get(), kRed);
    plat::SetBackMode(dc_.get(), mode);
    plat::DrawTextInRect(dc_.get(), text.c_str(), -1, &r, plat::DtSingleLine);
    int inkPixels = 0;
    for (int32_t y = 0; y < kHeight; ++y) {
      for (int32_t x = 0; x < kWidth; ++x) {
        const plat::Colour c = plat::SurfacePixel(surface_.get(), x, y);
        const bool inBox = x >= 10 && x < 10 + size.cx && y >= 10 && y < 10 + size.cy;
        if (!inBox) {
          ASSERT_EQ(c, kGreen) << x << "," << y;
          continue;
        }
        // Text blends into what is behind it: red when opaque, else green.
        if (mode == plat::BackOpaque) {
          ASSERT_EQ(plat::ColourGreen(c), 0) << x << "," << y;
        } else {
          ASSERT_EQ(plat::ColourRed(c), 0) << x << "," << y;
        }
        if (c == kBlack) ++inkPixels;
      }
    }
    EXPECT_GT(inkPixels, 10) << mode;
  }
}

TEST_F(Text, PrefixAmpersandUnderlinesTheNextCharacter) {
  FontPtr font = MakeFont(u"DejaVu Sans", 24);
  Use(font);
  const plat::Rect r{10, 10, 230, 70};
  const uint32_t line = plat::DtSingleLine;
  const uint32_t raw = plat::DtSingleLine | plat::DtNoPrefix;

  // "&&" is one '&'; a final '&' stays; without prefixes '&' is just drawn.
  const struct {
    std::u16string prefixed, plain;
  } same[] = {{u"a&&b", u"a&b"}, {u"ab&", u"ab&"}, {u"&&", u"&"}};
  for (const auto& c : same) {
    Draw(c.prefixed, r, line);
    const std::vector<int> prefixed = Darkness();
    Draw(c.plain, r, raw);
    EXPECT_EQ(Darkness(), prefixed) << Narrow(c.prefixed.c_str());
  }
  Draw(u"a&b", r, raw);
  const int32_t withAmpersand = InkBox(surface_.get(), kWhite).right;
  Draw(u"ab", r, raw);
  EXPECT_GT(withAmpersand, InkBox(surface_.get(), kWhite).right);

  // "a&bc" is "abc" plus a stroke under b, below the baseline.
  Draw(u"a&bc", r, line);
  const std::vector<int> marked = Darkness();
  Draw(u"abc", r, raw);
  const std::vector<int> plain = Darkness();
  const int32_t bFrom = r.left + Extent(u"a").cx, bTo = r.left + Extent(u"ab").cx;
  const int32_t baseline = r.top + Metrics().ascent;
  int changed = 0;
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * kWidth + x;
      if (marked[i] == plain[i]) continue;
      ++changed;
      EXPECT_TRUE(x >= bFrom && x < bTo && y >= baseline) << x << "," << y;
      EXPECT_EQ(marked[i], 255);
    }
  }
  EXPECT_GE(changed, bTo - bFrom);
}

TEST_F(Text, UnderlinedFontStrokesTheWholeLine) {
  plat::FontDescription desc = gfxtest::Description(u"DejaVu Sans", 24);
  desc.underline = 1;
  FontPtr underlined(plat::CreateFontFromDescription(&desc));
  FontPtr plainFont = MakeFont(u"DejaVu Sans", 24);
  const plat::Rect r{10, 10, 230, 70};
  Use(plainFont);
  Draw(u"ab cd", r, plat::DtSingleLine);
  const std::vector<int> plain = Darkness();
  const int32_t width = Extent(u"ab cd").cx;
  const int32_t baseline = r.top + Metrics().ascent, bottom = r.top + Metrics().height;
  Use(underlined);
  Draw(u"ab cd", r, plat::DtSingleLine);
  const std::vector<int> lined = Darkness();
  std::set<int32_t> rows;
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * kWidth + x;
      if (lined[i] == plain[i]) continue;
      EXPECT_TRUE(x >= r.left && x < r.left + width && y > baseline && y < bottom) << x << "," << y;
      rows.insert(y);
    }
  }
  ASSERT_FALSE(rows.empty());
  for (int32_t y : rows) {
    for (int32_t x = r.left; x < r.left + width; ++x)
      EXPECT_EQ(lined[static_cast<std::size_t>(y) * kWidth + x], 255) << x << "," << y;
  }
}

TEST_F(Text, MultiLineBreaksAtNewlinesAndWrapsAtSpaces) {
  FontPtr font = MakeFont(u"DejaVu Sans", 16);
  Use(font);
  const int32_t h = Metrics().height;
  const int32_t wide = Extent(u"aaa bbb").cx;
  struct Case {
    std::u16string text;
    int32_t width;
    uint32_t flags;
    std::vector<std::u16string> lines;
  };
  const Case cases[] = {
      {u"aaa bbb ccc", wide + 2, 0, {u"aaa bbb", u"ccc"}},
      {u"aaa bbb ccc", wide - 1, 0, {u"aaa", u"bbb", u"ccc"}},
      {u"aaa   bbb", Extent(u"aaa").cx + 3, 0, {u"aaa", u"bbb"}},
      {u"aaa\nbbb ccc", 200, 0, {u"aaa", u"bbb ccc"}},
      {u"aaa\r\n\nbbb", 200, 0, {u"aaa", u"", u"bbb"}},
      {u"aaaaaaaaaaaa b", Extent(u"aaa").cx, 0, {u"aaaaaaaaaaaa", u"b"}},
      {u"aaa bbb ccc", wide + 2, plat::DtCenter, {u"aaa bbb", u"ccc"}},
      {u"aaa   bbb", Extent(u"aaa").cx + 3, plat::DtRight, {u"aaa", u"bbb"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text.c_str()));
    const plat::Rect r{4, 2, 4 + c.width, 78};
    EXPECT_EQ(Draw(c.text, r, c.flags), h * static_cast<int32_t>(c.lines.size()));
    const std::vector<int> wrapped = Darkness();
    Clear();
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
      plat::Rect lr{r.left, r.top + h * static_cast<int32_t>(i), r.right,
                    r.top + h * static_cast<int32_t>(i + 1)};
      plat::DrawTextInRect(dc_.get(), c.lines[i].c_str(), -1, &lr, c.flags | plat::DtSingleLine);
    }
    EXPECT_EQ(Darkness(), wrapped);
  }
}

TEST_F(Text, MissingCharactersComeFromOtherFacesOrNowhere) {
  // Ellinia has no precomposed bet with dagesh; a Latin-only face no
  // Hebrew; another installed face draws them.
  const struct {
    const char16_t* face;
    std::u16string text;
  } cases[] = {
      {kNoPresentationForms, u"\uFB31"}, {kLatinOnlyFace, u"\u05D0"}, {kLatinOnlyFace, u"\uFB31"}};
  for (const auto& c : cases) {
    FontPtr font = MakeFont(c.face, 30);
    Use(font);
    EXPECT_GT(Extent(c.text).cx, 0) << Narrow(c.face);
    Draw(c.text, {10, 10, 100, 70}, plat::DtSingleLine);
    EXPECT_LT(InkBox(surface_.get(), kWhite).left, InkBox(surface_.get(), kWhite).right);
  }

  // A character no installed face has is drawn as nothing, not as a box.
  FontPtr font = MakeFont(u"DejaVu Sans", 30);
  Use(font);
  const std::u16string nowhere = u"\U0010FFFD";
  EXPECT_EQ(Extent(nowhere).cx, 0);
  Draw(nowhere, {10, 10, 100, 70}, plat::DtSingleLine);
  EXPECT_EQ(InkBox(surface_.get(), kWhite).right, 0);
  Draw(u"x" + nowhere + u"x", {10, 10, 100, 70}, plat::DtSingleLine);
  const std::vector<int> around = Darkness();
  Draw(u"xx", {10, 10, 100, 70}, plat::DtSingleLine);
  EXPECT_EQ(Darkness(), around);
}

// Makes fontconfig see only the given font files while it lives, with the
// configuration text `rules` applied as they are scanned.
class OnlyFontFiles {
 public:
  OnlyFontFiles(const std::vector<std::string>& files, const char* rules) {
    previous_ = FcConfigReference(nullptr);
    FcConfig* config = FcConfigCreate();
    ok_ = FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(rules), FcTrue);
    for (const std::string& f : files)
      ok_ = FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(f.c_str())) && ok_;
    ok_ = FcConfigSetCurrent(config) && ok_;
    FcConfigDestroy(config);  // the current configuration holds it now
  }
  ~OnlyFontFiles() {
    FcConfigSetCurrent(previous_);
    FcConfigDestroy(previous_);
  }
  OnlyFontFiles(const OnlyFontFiles&) = delete;
  OnlyFontFiles& operator=(const OnlyFontFiles&) = delete;
  bool ok() const { return ok_; }

 private:
  FcConfig* previous_ = nullptr;
  bool ok_ = false;
};

std::string FontFile(const char* family) {
  FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(family));
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pat, &result);
  std::string file;
  FcChar8* value = nullptr;
  FcChar8* matched = nullptr;
  if (match && FcPatternGetString(match, FC_FILE, 0, &value) == FcResultMatch &&
      FcPatternGetString(match, FC_FAMILY, 0, &matched) == FcResultMatch &&
      std::string(reinterpret_cast<const char*>(matched)) == family)
    file = reinterpret_cast<const char*>(value);
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pat);
  return file;
}

// Every installed face with Hebrew points also has the presentation forms,
// so fontconfig is shown two faces: Ellinia (letters only, no forms, no
// points) and DejaVu Sans with the forms taken out of its character set.
// Nothing then supplies U+FB31 and the like, and they must be composed from
// Ellinia's letter and DejaVu's points.
constexpr char kHidePresentationForms[] = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <match target="scan">
    <test name="family"><string>DejaVu Sans</string></test>
    <edit name="charset" mode="assign">
      <minus><name>charset</name>
        <charset><range><int>0xFB1D</int><int>0xFB4F</int></range></charset></minus>
    </edit>
  </match>
</fontconfig>
)";

TEST_F(Text, PresentationFormsAreComposedWhenNoFaceHasThem) {
  const std::string letters = FontFile("Ellinia CLM"), points = FontFile("DejaVu Sans");
  ASSERT_FALSE(letters.empty());
  ASSERT_FALSE(points.empty());
  OnlyFontFiles only({letters, points}, kHidePresentationForms);
  ASSERT_TRUE(only.ok());

  FontPtr font = MakeFont(kNoPresentationForms, 48);
  Use(font);
  const plat::Rect cell{40, 4, 140, 76};
  enum Place { Centred, RightArm, LeftArm };
  const struct {
    char16_t form, letter, mark;
    Place place;
  } cases[] = {
      {0xFB31, 0x05D1, kDagesh, Centred}, {0xFB4B, 0x05D5, kHolam, Centred},
      {0xFB1D, 0x05D9, kHiriq, Centred},  {0xFB2A, 0x05E9, 0x05C1, RightArm},
      {0xFB2B, 0x05E9, 0x05C2, LeftArm},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.form));
    const std::u16string form(1, c.form), letter(1, c.letter);
    EXPECT_EQ(Extent(form).cx, Extent(letter).cx);
    Draw(letter, cell, plat::DtSingleLine);
    const std::vector<int> base = Darkness();
    const plat::Rect letterInk = InkBox(surface_.get(), kWhite);
    Draw(std::u16string(1, c.mark), cell, plat::DtSingleLine);
    const plat::Rect markInk = InkBox(surface_.get(), kWhite);
    Draw(form, cell, plat::DtSingleLine);
    const std::vector<int> composed = Darkness();

    // The letter is all there; the rest is the mark, on the mark's rows.
    plat::Rect extra{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int32_t y = 0; y < kHeight; ++y) {
      for (int32_t x = 0; x < kWidth; ++x) {
        const std::size_t i = static_cast<std::size_t>(y) * kWidth + x;
        ASSERT_GE(composed[i], base[i]) << x << "," << y;
        if (composed[i] > base[i] + 64) {
          extra = {std::min(extra.left, x), std::min(extra.top, y), std::max(extra.right, x + 1),
                   std::max(extra.bottom, y + 1)};
        }
      }
    }
    ASSERT_LT(extra.left, extra.right);
    EXPECT_GE(extra.top, markInk.top);
    EXPECT_LE(extra.bottom, markInk.bottom);
    const int32_t advance = Extent(letter).cx;
    switch (c.place) {
      case Centred:
        EXPECT_LE(std::abs((extra.left + extra.right) - (2 * cell.left + advance)), 3);
        break;
      case RightArm:
        EXPECT_LE(std::abs(extra.right - letterInk.right), 1);
        break;
      case LeftArm:
        EXPECT_LE(std::abs(extra.left - letterInk.left), 1);
        break;
    }
  }
}

TEST_F(Text, MissingBoldAndItalicAreSynthesised) {
  const plat::Rect r{10, 10, 230, 70};
  const std::u16string text = u"\u05D1\u05D2l";
  auto inkOf = [&](int32_t weight, uint8_t italic) {
    plat::FontDescription desc = gfxtest::Description(kSingleStyleFace, 30, weight);
    desc.italic = italic;
    FontPtr font(plat::CreateFontFromDescription(&desc));
    Use(font);
    Draw(text, r, plat::DtSingleLine);
    long total = 0;
    for (int d : Darkness()) total += d;
    const plat::Rect box = InkBox(surface_.get(), kWhite);
    plat::SelectFont(dc_.get(), plat::GetStockFont(plat::StockSystemFont));
    return std::pair{total, box};
  };
  const auto [regular, regularBox] = inkOf(plat::FontWeightNormal, 0);
  const auto [bold, boldBox] = inkOf(plat::FontWeightBold, 0);
  const auto [italic, italicBox] = inkOf(plat::FontWeightNormal, 1);
  EXPECT_GT(bold, regular * 6 / 5);
  EXPECT_GE(boldBox.right, regularBox.right);
  // Slanted: the tall strokes lean right, so the ink reaches further.
  EXPECT_GT(italicBox.right, regularBox.right);
  EXPECT_LT(std::abs(italic - regular), regular / 5);
}

TEST(FontFamilies, OneSortedEntryPerFamilyWithItsCharSet) {
  const std::vector<plat::FontFamilyInfo> families = plat::EnumerateFontFamilies();
  ASSERT_FALSE(families.empty());
  for (std::size_t i = 1; i < families.size(); ++i)
    EXPECT_LT(families[i - 1].name, families[i].name);
  auto find = [&](const char16_t* name) -> const plat::FontFamilyInfo* {
    for (const auto& f : families)
      if (f.name == name) return &f;
    return nullptr;
  };
  for (const char16_t* face : kHebrewFaces) {
    const plat::FontFamilyInfo* f = find(face);
    ASSERT_NE(f, nullptr) << Narrow(face);
    EXPECT_EQ(f->charSet, plat::CharSetHebrew) << Narrow(face);
  }
  ASSERT_NE(find(kLatinOnlyFace), nullptr);
  EXPECT_EQ(find(kLatinOnlyFace)->charSet, plat::CharSetAnsi);
}

TEST_F(Text, RecorderSeesEveryCallWhileSet) {
  std::vector<plat::DrawTextCall> calls;
  plat::SetDrawTextRecorder(&calls);
  const plat::Rect r1{1, 2, 30, 40}, r2{5, 6, 7, 8};
  plat::SetTextColour(dc_.get(), kRed);
  plat::SetBackMode(dc_.get(), plat::BackTransparent);
  plat::DrawTextInRect(dc_.get(), u"abc", -1, &r1, plat::DtSingleLine);
  plat::SetTextColour(dc_.get(), kBlue);
  plat::SetBackMode(dc_.get(), plat::BackOpaque);
  plat::DrawTextInRect(dc_.get(), u"hello", 2, &r2, plat::DtCenter | plat::DtNoPrefix);
  DcPtr memory(plat::CreateMemoryDC(dc_.get()));  // draws nothing, still recorded
  plat::DrawTextInRect(memory.get(), u"\u05D0&", -1, &r2, 0);
  plat::SetDrawTextRecorder(nullptr);
  plat::DrawTextInRect(dc_.get(), u"after", -1, &r1, 0);

  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].text, u"abc");
  EXPECT_EQ(calls[0].rect.left, 1);
  EXPECT_EQ(calls[0].rect.bottom, 40);
  EXPECT_EQ(calls[0].flags, plat::DtSingleLine);
  EXPECT_EQ(calls[0].textColour, kRed);
  EXPECT_EQ(calls[0].backMode, plat::BackTransparent);
  EXPECT_EQ(calls[1].text, u"he");
  EXPECT_EQ(calls[1].rect.right, 7);
  EXPECT_EQ(calls[1].flags, plat::DtCenter | plat::DtNoPrefix);
  EXPECT_EQ(calls[1].textColour, kBlue);
  EXPECT_EQ(calls[1].backMode, plat::BackOpaque);
  EXPECT_EQ(calls[2].text, u"\u05D0&");
}

}  // namespace
