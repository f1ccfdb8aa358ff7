// The texts linked into the program are exactly what the packer makes of
// resources/text, and reading them back gives the source verses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "codec/article_code.h"
#include "content/article_text.h"
#include "content/text_resource.h"
#include "platform/memory.h"
#include "platform/text_utf.h"
#include "shell/app_globals.h"
#include "tools/pack/book_source.h"
#include "tools/pack/hebrew_encoder.h"

namespace {

class ShippedTexts : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(ReadBooks(TOVANEL_SOURCE_DIR "/resources/text", &books_, &error)) << error;
    ASSERT_TRUE(PackBooks(books_, &packed_, &error)) << error;
  }
  void SetUp() override {
    saved_ = g_app;
    g_app.fontChoice.asciiBase = kAsciiBaseUnicode;
    g_app.displayFlags = 0;
  }
  void TearDown() override { g_app = saved_; }

  static std::vector<uint8_t> Load(int32_t number) {
    int32_t error = 0;
    TextBuffer t = LoadTextResource(number, &error);
    EXPECT_NE(t.bytes, nullptr) << "resource " << number << ", error " << error;
    if (!t.bytes) return {};
    std::vector<uint8_t> out(t.bytes, t.bytes + t.length);
    ReleaseText(&t);
    return out;
  }

  static std::vector<Book> books_;
  static PackedTexts packed_;
  AppGlobals saved_;
};

std::vector<Book> ShippedTexts::books_;
PackedTexts ShippedTexts::packed_;

int CombiningClass(char16_t u) {
  if (u >= 0x5B0 && u <= 0x5B9) return 10 + (u - 0x5B0);
  if (u == 0x5BB) return 20;
  if (u == 0x5BC) return 21;
  if (u == 0x5C1) return 24;
  if (u == 0x5C2) return 25;
  return 0;
}

// Display-order article code of a right-to-left record to the source's
// spelling: reversed (the shipped text has no digits or Latin), forms
// decomposed, marks in canonical order, maqaf and sof pasuq restored.
std::u16string SourceSpelling(const uint8_t* text, uint32_t length) {
  int32_t count = 0;
  char16_t* units = ConvertArticleText(text, static_cast<int32_t>(length), nullptr, &count);
  std::u16string shown(units, length + count);
  plat::MemFree(units);
  std::reverse(shown.begin(), shown.end());
  std::u16string out;
  for (char16_t u : shown) {
    if (const Decomposition* d = FindDecomposition(u)) {
      for (char16_t part : d->units)
        if (part) out += part;
    } else {
      out += u == u'-' ? u'\u05BE' : u == u':' ? u'\u05C3' : u;
    }
  }
  for (std::size_t i = 0; i < out.size();) {
    std::size_t j = i;
    while (j < out.size() && CombiningClass(out[j])) ++j;
    std::stable_sort(out.begin() + i, out.begin() + j,
                     [](char16_t a, char16_t b) { return CombiningClass(a) < CombiningClass(b); });
    i = j == i ? i + 1 : j;
  }
  return out;
}

std::u16string SourceNormalised(const std::string& utf8) {
  std::u16string s = plat::Utf8ToUtf16(utf8);
  for (char16_t& u : s) {
    if (u == 0x5BA) u = 0x5B9;  // holam for vav is stored as vav with holam
    if (u == 0x5C7) u = 0x5B8;  // qamats qatan is stored as qamats
  }
  return s;
}

TEST_F(ShippedTexts, EveryResourceDecodesToWhatWasPacked) {
  for (int n = 1; n <= kBookCount; ++n) EXPECT_EQ(Load(n), packed_.articles[n - 1]) << "article " << n;
  EXPECT_EQ(Load(ContentsResourceNumber), packed_.contents);
  EXPECT_EQ(packed_.droppedMarks, 0);
}

TEST_F(ShippedTexts, ArticlesReadBackAsTheirSourceVerses) {
  for (const Book& book : books_) {
    std::vector<uint8_t> a = Load(book.number);
    ASSERT_FALSE(a.empty());
    std::vector<ParagraphRecord> verses;
    std::vector<ParagraphRecord> headings;
    ParagraphRecord r;
    uint32_t at = 0;
    ASSERT_TRUE(ReadRecord(a.data(), static_cast<uint32_t>(a.size()), at, &r));
    EXPECT_EQ(r.style, TitleStyle);
    EXPECT_EQ(SourceSpelling(a.data() + r.textOffset, r.textLength), SourceNormalised(book.name));
    for (at = r.next; ReadRecord(a.data(), static_cast<uint32_t>(a.size()), at, &r); at = r.next) {
      EXPECT_NE(a[r.textOffset], ' ') << "a record starting with a space continues the one before";
      (r.style == kHeadingStyle ? headings : verses).push_back(r);
    }
    ASSERT_EQ(verses.size(), book.verses.size()) << book.file;
    for (std::size_t i = 0; i < verses.size(); ++i) {
      const Verse& v = book.verses[i];
      std::u16string expected = SourceNormalised(HebrewNumeral(v.verse) + " " + v.text);
      EXPECT_EQ(SourceSpelling(a.data() + verses[i].textOffset, verses[i].textLength), expected)
          << book.file << " " << v.chapter << ":" << v.verse;
      EXPECT_EQ(verses[i].metrics, kVerseMetrics);
    }
    EXPECT_EQ(headings.size(), static_cast<std::size_t>(book.verses.back().chapter)) << book.file;
  }
}

TEST_F(ShippedTexts, UnpackWritesTheDecodedBytes) {
  std::string cmd = TOVANEL_BINARY_DIR "/tovanel-pack unpack " TOVANEL_BINARY_DIR "/res/1005.res";
  FILE* pipe = popen(cmd.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::vector<uint8_t> out;
  for (int c; (c = std::fgetc(pipe)) != EOF;) out.push_back(static_cast<uint8_t>(c));
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(out, Load(5));
}

}  // namespace
