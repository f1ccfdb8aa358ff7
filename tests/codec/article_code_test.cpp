#include "codec/article_code.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "shell/app_globals.h"

namespace {

using Units = std::u16string;
using Codes = std::vector<uint8_t>;

// Sets the font base and display flags the converter reads, and puts them
// back afterwards.
class CodecTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedBase_ = g_app.fontChoice.asciiBase;
    savedFlags_ = g_app.displayFlags;
    liveBefore_ = plat::MemLiveBlocks();
    Use(kAsciiBaseUnicode, false);
  }
  void TearDown() override {
    plat::MemFailAfter(-1);
    ReleaseConversionBuffer(&buffer_);
    g_app.fontChoice.asciiBase = savedBase_;
    g_app.displayFlags = savedFlags_;
    EXPECT_EQ(plat::MemLiveBlocks(), liveBefore_) << "blocks leaked";
  }

  static void Use(int32_t base, bool reverse) {
    g_app.fontChoice.asciiBase = base;
    // Other bits must not matter: keep the default word around Reverse.
    g_app.displayFlags = reverse ? (kDefaultDisplayFlags | FlagReverse)
                                 : (kDefaultDisplayFlags & ~uint32_t{FlagReverse});
  }

  // Converts into a fresh allocation; `len` defaults to the whole run.
  static Units Convert(const Codes& codes, int32_t* count = nullptr, int32_t len = -1) {
    if (len < 0) len = static_cast<int32_t>(codes.size());
    char16_t* out = ConvertArticleText(codes.data(), len, nullptr, count);
    EXPECT_NE(out, nullptr);
    if (!out) return u"<null>";
    Units result(out);
    plat::MemFree(out);
    return result;
  }

  ConversionBuffer buffer_{nullptr, 0};
  int32_t savedBase_ = 0;
  uint32_t savedFlags_ = 0;
  long liveBefore_ = 0;
};

// Every row of the mapping table for the codes that are neither ASCII nor
// plain letters: (code, first unit, second unit, code-page byte).
struct MapRow {
  uint8_t code;
  char16_t first;
  char16_t second;
  uint8_t codePage;
};

constexpr MapRow kMapRows[] = {
    {16, 0x05B8, 0x05DA, 234}, {17, 0x05B8, 0xFB3A, 234}, {18, 0x05B0, 0x05DA, 234},
    {19, 0x05B0, 0xFB3A, 234}, {20, 0xFB48, 0, 248},      {21, 0x05B4, 0, 0},
    {22, 0x05B8, 0, 0},        {23, 0x05B7, 0, 0},        {24, 0x05B5, 0, 0},
    {25, 0x05B6, 0, 0},        {26, 0x05BB, 0, 0},        {27, 0x05B0, 0, 0},
    {28, 0x05B3, 0, 0},        {29, 0x05B2, 0, 0},        {30, 0x05B1, 0, 0},
    {31, 0x05B9, 0, 0},        {65, 0xFB2A, 0, 249},      {66, 0xFB2B, 0, 249},
    {67, 0xFB2C, 0, 249},      {68, 0xFB2D, 0, 249},      {69, 0xFB31, 0, 225},
    {70, 0xFB32, 0, 226},      {71, 0xFB33, 0, 227},      {72, 0xFB34, 0, 228},
    {73, 0xFB35, 0, 229},      {74, 0xFB36, 0, 230},      {75, 0xFB38, 0, 232},
    {76, 0xFB39, 0, 233},      {77, 0xFB3A, 0, 234},      {78, 0xFB3B, 0, 235},
    {79, 0xFB3C, 0, 236},      {80, 0xFB3E, 0, 238},      {81, 0xFB40, 0, 240},
    {82, 0xFB41, 0, 241},      {83, 0xFB44, 0, 244},      {84, 0xFB46, 0, 246},
    {85, 0xFB47, 0, 247},      {86, 0xFB49, 0, 249},      {87, 0xFB4A, 0, 250},
    {88, 0xFB4B, 0, 229},      {89, 0x05B9, 0xFB3C, 236}, {90, 0x05B9, 0x05DC, 236},
};

TEST_F(CodecTest, MappedCodesMatchTheTable) {
  for (const MapRow& row : kMapRows) {
    SCOPED_TRACE(int{row.code});
    EXPECT_EQ(UnicodeMap[row.code - kFirstMappedCode].first, row.first);
    EXPECT_EQ(UnicodeMap[row.code - kFirstMappedCode].second, row.second);
    EXPECT_EQ(CodePageMap[row.code - kFirstMappedCode], row.codePage);

    int32_t count = 99;
    Use(kAsciiBaseUnicode, false);
    Units expected{row.first};
    if (row.second) expected += row.second;
    EXPECT_EQ(Convert({row.code}, &count), expected);
    EXPECT_EQ(count, row.second ? 1 : 0);

    for (int32_t base : {kAsciiBaseCodePage, kAsciiBaseLatin}) {
      Use(base, false);
      EXPECT_EQ(Convert({row.code}, &count), row.codePage ? Units{row.codePage} : Units{});
      EXPECT_EQ(count, row.codePage ? 0 : -1);
    }
  }
}

// ASCII punctuation maps to itself, letters to their Unicode or Windows-1255
// positions, and unused codes pass through unchanged.
TEST_F(CodecTest, RangesConvertInBothModes) {
  for (int c = 1; c <= 255; ++c) {
    SCOPED_TRACE(c);
    const bool ascii = (c >= 32 && c <= 64) || (c >= 91 && c <= 96);
    const bool letter = c >= 97 && c <= 123;
    const bool unused = c < 16 || c > 123;
    if (!ascii && !letter && !unused) continue;  // the table rows above
    const Codes codes{static_cast<uint8_t>(c)};
    int32_t count = 99;

    Use(kAsciiBaseUnicode, false);
    char16_t unicode = letter ? static_cast<char16_t>(0x05D0 + c - 97) : static_cast<char16_t>(c);
    EXPECT_EQ(Convert(codes, &count), Units{unicode});
    EXPECT_EQ(count, 0);

    Use(kAsciiBaseCodePage, false);
    char16_t codePage = letter ? static_cast<char16_t>(224 + c - 97) : static_cast<char16_t>(c);
    EXPECT_EQ(Convert(codes, &count), Units{codePage});
    EXPECT_EQ(count, 0);
  }
}

struct ConvertCase {
  const char* name;
  int32_t base;
  bool reverse;
  Codes codes;
  int32_t len;  // -1: the whole run
  Units expected;
  int32_t count;
};

TEST_F(CodecTest, ConvertsRuns) {
  const ConvertCase cases[] = {
      {"alef, qamats with final kaf, space", kAsciiBaseUnicode, false, {97, 16, 32}, -1,
       {0x05D0, 0x05B8, 0x05DA, 0x20}, 1},
      {"bet, qamats, sheva, bet with dagesh", kAsciiBaseCodePage, false, {98, 22, 27, 69}, -1,
       {225, 225}, -2},
      {"base 97 converts like 224", kAsciiBaseLatin, false, {98, 22, 27, 69}, -1, {225, 225}, -2},
      {"any base but 1488 is code-page mode", 0, false, {97, 22}, -1, {224}, -1},
      {"a base of 1489 is code-page mode too", 1489, false, {97, 22}, -1, {224}, -1},
      {"pass-through bytes, Unicode", kAsciiBaseUnicode, false, {5, 200}, -1, {5, 200}, 0},
      {"pass-through bytes, code page", kAsciiBaseCodePage, false, {5, 200}, -1, {5, 200}, 0},
      {"stops at a zero byte", kAsciiBaseUnicode, false, {97, 0, 98}, -1, {0x05D0}, 0},
      {"stops after len bytes", kAsciiBaseUnicode, false, {16, 17, 98}, 2,
       {0x05B8, 0x05DA, 0x05B8, 0xFB3A}, 2},
      {"len 0", kAsciiBaseUnicode, true, {97, 98}, 0, {}, 0},
      {"negative len", kAsciiBaseUnicode, true, {97, 98}, -5, {}, 0},
      {"reverse, Unicode", kAsciiBaseUnicode, true, {40, 97, 98}, -1, {0x05D1, 0x05D0, 41}, 0},
      {"reverse, base 224", kAsciiBaseCodePage, true, {40, 97, 98}, -1, {225, 224, 41}, 0},
      {"no reverse with base 97", kAsciiBaseLatin, true, {40, 97, 98}, -1, {40, 224, 225}, 0},
      {"reverse covers two-unit codes", kAsciiBaseUnicode, true, {97, 16, 98}, -1,
       {0x05D1, 0x05DA, 0x05B8, 0x05D0}, 1},
      {"reverse skips dropped codes", kAsciiBaseCodePage, true, {98, 22, 99}, -1, {226, 225}, -1},
      {"reverse of brackets", kAsciiBaseUnicode, true, {91, 41, 60, 93}, -1, {91, 60, 40, 93}, 0},
      {"reverse stops at len", kAsciiBaseUnicode, true, {97, 98, 99}, 2, {0x05D1, 0x05D0}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Use(c.base, c.reverse);
    int32_t count = 99;
    int32_t len = c.len == -1 ? static_cast<int32_t>(c.codes.size()) : c.len;
    char16_t* out = ConvertArticleText(c.codes.data(), len, nullptr, &count);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(Units(out), c.expected);
    EXPECT_EQ(count, c.count);
    plat::MemFree(out);
  }
}

TEST_F(CodecTest, CountIsOptional) {
  EXPECT_EQ(Convert({97, 16}), (Units{0x05D0, 0x05B8, 0x05DA}));
}

TEST_F(CodecTest, ReverseRunMirrorsOnlyBrackets) {
  const struct {
    Units in;
    Units out;
  } cases[] = {
      {u"a(b[c{d", u"d}c]b)a"},
      {u")]}", u"{[("},
      {u"<x>/\\", u"\\/>x<"},
      {u"q", u"q"},
  };
  for (const auto& c : cases) {
    Units units = c.in;
    EXPECT_EQ(ReverseRun(units.data(), static_cast<int32_t>(units.size())), 0);
    EXPECT_EQ(units, c.out);
  }
  Units untouched = u"ab";
  EXPECT_EQ(ReverseRun(untouched.data(), 0), 0);
  EXPECT_EQ(untouched, u"ab");
  EXPECT_EQ(ReverseRun(untouched.data(), 1), 0);
  EXPECT_EQ(untouched, u"ab") << "only the first n units take part";
}

TEST_F(CodecTest, AllocationFailures) {
  Units units = u"(ab";
  plat::MemFailAfter(0);
  EXPECT_EQ(ReverseRun(units.data(), 3), 1);
  EXPECT_EQ(units, u"(ab");

  const Codes codes{40, 97, 98};
  int32_t count = 99;
  EXPECT_EQ(ConvertArticleText(codes.data(), 3, nullptr, &count), nullptr);
  EXPECT_EQ(ConvertArticleText(codes.data(), 3, &buffer_, &count), nullptr);
  EXPECT_EQ(count, 0);

  // The output is allocated, the reversal's copy is not: unreversed text.
  Use(kAsciiBaseUnicode, true);
  plat::MemFailAfter(1);
  char16_t* out = ConvertArticleText(codes.data(), 3, nullptr, nullptr);
  plat::MemFailAfter(-1);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(Units(out), (Units{40, 0x05D0, 0x05D1}));
  plat::MemFree(out);

  // A buffer whose allocation failed still works once memory is back.
  char16_t* again = ConvertArticleText(codes.data(), 3, &buffer_, nullptr);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(Units(again), (Units{0x05D1, 0x05D0, 41}));
}

TEST_F(CodecTest, EmptyBufferGetsStorageEvenForLenZero) {
  const Codes codes{97};
  char16_t* out = ConvertArticleText(codes.data(), 0, &buffer_, nullptr);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out, buffer_.units);
  EXPECT_EQ(out[0], 0);
}

TEST_F(CodecTest, ConversionBufferGrowsAndIsReused) {
  const long live = plat::MemLiveBlocks();
  const Codes shortRun{97, 98, 99, 100};
  // Every code two units: the worst case the buffer is sized for.
  const Codes longRun(40, 16);

  char16_t* first = ConvertArticleText(shortRun.data(), 4, &buffer_, nullptr);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, buffer_.units);
  EXPECT_EQ(buffer_.capacity, 4);
  EXPECT_EQ(plat::MemLiveBlocks(), live + 1);

  // Shorter and equal runs reuse the storage without allocating.
  plat::MemFailAfter(0);
  char16_t* reused = ConvertArticleText(shortRun.data(), 2, &buffer_, nullptr);
  EXPECT_EQ(reused, first);
  EXPECT_EQ(Units(reused), (Units{0x05D0, 0x05D1}));
  reused = ConvertArticleText(shortRun.data(), 4, &buffer_, nullptr);
  EXPECT_EQ(reused, first);
  EXPECT_EQ(buffer_.capacity, 4);
  plat::MemFailAfter(-1);

  int32_t count = 0;
  char16_t* grown = ConvertArticleText(longRun.data(), 40, &buffer_, &count);
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(buffer_.capacity, 40);
  EXPECT_EQ(grown, buffer_.units);
  EXPECT_EQ(count, 40);
  Units expected;
  for (int i = 0; i < 40; ++i) expected += u"\u05B8\u05DA";
  EXPECT_EQ(Units(grown), expected);
  EXPECT_EQ(plat::MemLiveBlocks(), live + 1) << "the old storage is released";

  // A shorter run after growth keeps the larger storage.
  ConvertArticleText(shortRun.data(), 4, &buffer_, nullptr);
  EXPECT_EQ(buffer_.capacity, 40);
  EXPECT_EQ(buffer_.units, grown);
}

// Every Hebrew presentation form in the table with its full canonical
// decomposition.
TEST(FindDecomposition, PresentationForms) {
  const struct {
    char16_t key;
    char16_t units[3];
  } forms[] = {
      {0xFB2A, {0x05E9, 0x05C1}},         {0xFB2B, {0x05E9, 0x05C2}},
      {0xFB2C, {0x05E9, 0x05BC, 0x05C1}}, {0xFB2D, {0x05E9, 0x05BC, 0x05C2}},
      {0xFB30, {0x05D0, 0x05BC}},         {0xFB31, {0x05D1, 0x05BC}},
      {0xFB32, {0x05D2, 0x05BC}},         {0xFB33, {0x05D3, 0x05BC}},
      {0xFB34, {0x05D4, 0x05BC}},         {0xFB35, {0x05D5, 0x05BC}},
      {0xFB36, {0x05D6, 0x05BC}},         {0xFB38, {0x05D8, 0x05BC}},
      {0xFB39, {0x05D9, 0x05BC}},         {0xFB3A, {0x05DA, 0x05BC}},
      {0xFB3B, {0x05DB, 0x05BC}},         {0xFB3C, {0x05DC, 0x05BC}},
      {0xFB3E, {0x05DE, 0x05BC}},         {0xFB40, {0x05E0, 0x05BC}},
      {0xFB41, {0x05E1, 0x05BC}},         {0xFB43, {0x05E3, 0x05BC}},
      {0xFB44, {0x05E4, 0x05BC}},         {0xFB46, {0x05E6, 0x05BC}},
      {0xFB47, {0x05E7, 0x05BC}},         {0xFB48, {0x05E8, 0x05BC}},
      {0xFB49, {0x05E9, 0x05BC}},         {0xFB4A, {0x05EA, 0x05BC}},
      {0xFB4B, {0x05D5, 0x05B9}},
  };
  for (const auto& f : forms) {
    SCOPED_TRACE(int{f.key});
    const Decomposition* d = FindDecomposition(f.key);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->key, f.key);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(d->units[i], f.units[i]) << i;
  }
  int entries = 0;
  while (DecompositionTable[entries].key != 0) ++entries;
  EXPECT_EQ(entries, 27);
}

TEST(FindDecomposition, NoneOutsideTheTable) {
  for (char16_t unit : {0x0000, 0x05D0, 0x05EA, 0x05EB, 0xFB1D, 0xFB2E, 0xFB37, 0xFB3D, 0xFB3F,
                        0xFB42, 0xFB45, 0xFB4C, 0xFFFF}) {
    EXPECT_EQ(FindDecomposition(unit), nullptr) << int{unit};
  }
}

// --- Program-wide state ------------------------------------------------------------

TEST(ProgramState, DefaultFlagsWordHoldsTheDocumentedFields) {
  const uint32_t f = kDefaultDisplayFlags;
  EXPECT_EQ(f & FlagScrollBar, 0x40u);
  EXPECT_EQ(f & FlagReverse, 0u);
  EXPECT_EQ((f & KeyPageStepMask) >> KeyPageStepShift, 1u);
  EXPECT_EQ((f & TapPageStepMask) >> TapPageStepShift, 1u);
  EXPECT_NE(f & FlagTapTopBottom, 0u);
  EXPECT_NE(f & FlagTapPaging, 0u);
  EXPECT_EQ(uint32_t{FlagReverse}, 0x800u);
  EXPECT_EQ(uint32_t{FlagScrollBar}, 0xC0u);
}

TEST(ProgramState, ClearZeroesTheRecordOnly) {
  const AppGlobals saved = g_app;
  const int32_t sip = g_allowSipInHebrewSearch;
  std::memset(&g_app, 0xA5, sizeof g_app);
  g_allowSipInHebrewSearch = 1;
  ClearAppGlobals();
  const auto* bytes = reinterpret_cast<const unsigned char*>(&g_app);
  for (std::size_t i = 0; i < sizeof g_app; ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;
  EXPECT_EQ(g_allowSipInHebrewSearch, 1) << "values beside the record are not cleared";
  g_app = saved;
  g_allowSipInHebrewSearch = sip;
}

}  // namespace
