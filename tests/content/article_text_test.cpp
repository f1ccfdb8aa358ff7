#include "content/article_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// An article held in a heap block of exactly its size, so that
// AddressSanitizer reports any read past the end.
class Article {
 public:
  Article(std::initializer_list<uint8_t> bytes) : size_(bytes.size()), data_(new uint8_t[bytes.size()]) {
    std::size_t i = 0;
    for (uint8_t b : bytes) data_[i++] = b;
  }
  const uint8_t* data() const { return data_.get(); }
  uint32_t size() const { return static_cast<uint32_t>(size_); }

 private:
  std::size_t size_;
  std::unique_ptr<uint8_t[]> data_;
};

std::string SpanText(const TextSpan& s) {
  return s.text ? std::string(reinterpret_cast<const char*>(s.text), s.length) : "<none>";
}

TEST(StyleBits, SeparatorIsLowThreeBitsSet) {
  for (uint8_t style : {0x07, 0x0F, 0x17, 0x1F, 0x27, 0x87, 0xFF}) {
    EXPECT_TRUE(StyleSeparator(style)) << int{style};
  }
  for (uint8_t style : {0x00, 0x01, 0x03, 0x05, 0x06, 0x18, 0xB1, 0xD1, 0xDC, 0xFE}) {
    EXPECT_FALSE(StyleSeparator(style)) << int{style};
  }
}

TEST(StyleBits, AlignmentFromBitsFiveAndSix) {
  const struct {
    uint8_t style;
    Alignment expected;
  } cases[] = {
      {0x00, Alignment::Left},   {0x20, Alignment::Right}, {0x40, Alignment::Centre},
      {0x60, Alignment::Left},   {0xFF, Alignment::Left},  {0xB1, Alignment::Right},
      {0xDC, Alignment::Centre}, {0xD1, Alignment::Centre}, {0x9F, Alignment::Left},
  };
  for (const auto& c : cases) EXPECT_EQ(StyleAlignment(c.style), c.expected) << int{c.style};
}

TEST(StyleBits, MetricsIndentAndHangingFactor) {
  const struct {
    uint8_t metrics;
    int indent;
    int hanging;
  } cases[] = {
      {0x00, 0, 0}, {0x40, 0, 1}, {0x85, 5, 2}, {0xFF, 63, 3}, {0x3F, 63, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MetricsIndent(c.metrics), c.indent) << int{c.metrics};
    EXPECT_EQ(MetricsHangingFactor(c.metrics), c.hanging) << int{c.metrics};
  }
}

TEST(StyleBits, SeparatorWidth) {
  const struct {
    uint8_t length;
    int32_t textWidth;
    int32_t expected;
  } cases[] = {
      {0, 200, 0},    {1, 200, 1},      {120, 200, 120},  {160, 200, 160},
      {160, 120, 120},  // pixel lengths are capped at the text width too
      {161, 200, 4},    // 2 %
      {170, 150, 30},   // 20 %
      {185, 200, 100},  // 50 %
      {185, 99, 49},    // truncated
      {210, 200, 200},  // 100 %
      {211, 200, 200}, {255, 200, 200},  // above 100 %: capped
      {255, 37, 37},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SeparatorWidth(c.length, c.textWidth), c.expected)
        << "length " << int{c.length} << " in " << c.textWidth;
  }
}

// --- Walking records ------------------------------------------------------------

TEST(ReadRecord, WalksWellFormedRecords) {
  Article a{0xDC, 0x00, 'T', 0, 0x07, 0x20, 0, 0xB1, 0x40, ':', 'a', 'b', 0, 0, 0, 0};
  const struct {
    uint32_t offset, style, metrics, textOffset, textLength, next;
  } expected[] = {
      {0, 0xDC, 0x00, 2, 1, 4},
      {4, 0x07, 0x20, 6, 0, 7},
      {7, 0xB1, 0x40, 9, 3, 13},
  };
  uint32_t offset = 0;
  for (const auto& e : expected) {
    SCOPED_TRACE(e.offset);
    ParagraphRecord r{};
    ASSERT_TRUE(ReadRecord(a.data(), a.size(), offset, &r));
    EXPECT_EQ(r.offset, e.offset);
    EXPECT_EQ(r.style, e.style);
    EXPECT_EQ(r.metrics, e.metrics);
    EXPECT_EQ(r.textOffset, e.textOffset);
    EXPECT_EQ(r.textLength, e.textLength);
    EXPECT_EQ(r.next, e.next);
    offset = r.next;
  }
  ParagraphRecord untouched{};
  untouched.style = 0x33;
  EXPECT_FALSE(ReadRecord(a.data(), a.size(), offset, &untouched)) << "end marker";
  EXPECT_EQ(untouched.style, 0x33);
  EXPECT_FALSE(ReadRecord(a.data(), a.size(), a.size(), &untouched)) << "end of buffer";
  EXPECT_FALSE(ReadRecord(nullptr, 10, 0, &untouched));
}

TEST(ReadRecord, MalformedTextStaysInsideTheBuffer) {
  const struct {
    const char* name;
    Article article;
    uint32_t metrics, textOffset, textLength, next;
  } cases[] = {
      {"text without its terminator", {0x81, 0x05, 'a', 'b'}, 0x05, 2, 2, 4},
      {"record cut after the metrics byte", {0x81, 0x05}, 0x05, 2, 0, 2},
      {"record cut after the style byte", {0x81}, 0, 1, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ParagraphRecord r{};
    ASSERT_TRUE(ReadRecord(c.article.data(), c.article.size(), 0, &r));
    EXPECT_EQ(r.metrics, c.metrics);
    EXPECT_EQ(r.textOffset, c.textOffset);
    EXPECT_EQ(r.textLength, c.textLength);
    EXPECT_EQ(r.next, c.next);
    EXPECT_FALSE(ReadRecord(c.article.data(), c.article.size(), r.next, &r));
  }
}

// --- Titles ----------------------------------------------------------------------

TEST(FindArticleTitles, OnlyTheFirstTwoRecordsCount) {
  const struct {
    const char* name;
    Article article;
    const char* title;
    const char* subtitle;
  } cases[] = {
      {"title and subtitle", {0xDC, 0, 'T', 't', 0, 0xD1, 0, 'S', 0, 0xB1, 0x40, 'p', 0, 0},
       "Tt", "S"},
      {"title only", {0xDC, 0, 'T', 0, 0xB1, 0x40, 'p', 0, 0}, "T", "<none>"},
      {"subtitle first", {0xD1, 0x03, 'S', 0, 0xB1, 0, 'p', 0, 0}, "<none>", "S"},
      {"subtitle after a paragraph is not found",
       {0xDC, 0, 'T', 0, 0xB1, 0, 'p', 0, 0xD1, 0, 'S', 0, 0}, "T", "<none>"},
      {"two titles: the second is a paragraph", {0xDC, 0, 'A', 0, 0xDC, 0, 'B', 0, 0}, "A",
       "<none>"},
      {"no titles", {0xB1, 0x40, 'p', 0, 0xDC, 0, 'T', 0, 0}, "<none>", "<none>"},
      {"empty article", {0, 0, 0}, "<none>", "<none>"},
      {"title then the end of the buffer", {0xDC, 0, 'T', 0}, "T", "<none>"},
      {"title without terminator", {0xDC, 0, 'T', 'x'}, "Tx", "<none>"},
      {"subtitle without terminator", {0xDC, 0, 'T', 0, 0xD1, 0, 'S'}, "T", "S"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TextSpan title{reinterpret_cast<const uint8_t*>("x"), 99};
    TextSpan subtitle = title;
    FindArticleTitles(c.article.data(), c.article.size(), &title, &subtitle);
    EXPECT_EQ(SpanText(title), c.title);
    EXPECT_EQ(SpanText(subtitle), c.subtitle);
  }
}

TEST(FindArticleTitles, EitherOutputMayBeOmitted) {
  Article a{0xDC, 0, 'T', 0, 0xD1, 0, 'S', 0, 0};
  TextSpan span{};
  FindArticleTitles(a.data(), a.size(), nullptr, &span);
  EXPECT_EQ(SpanText(span), "S");
  FindArticleTitles(a.data(), a.size(), &span, nullptr);
  EXPECT_EQ(SpanText(span), "T");
  EXPECT_EQ(span.text, a.data() + 2) << "the title points into the text";
}

// --- Statistics ----------------------------------------------------------------------

TEST(MeasureArticleText, CountsRecordsSeparatorsAndIndents) {
  const struct {
    const char* name;
    Article article;
    ArticleTextStats expected;  // lines, size estimate, pixels, percent, indents
  } cases[] = {
      {"one record 0x81/0x05 with 3 bytes", {0x81, 0x05, 'a', 'b', 'c', 0, 0}, {2, 9, 0, 0, 5}},
      {"end marker only", {0, 0, 0}, {0, 0, 0, 0, 0}},
      {"separators of 0, 1..160 and above 160",
       {0x07, 0, 0, 0x87, 160, 0, 0x27, 1, 0, 0x0F, 161, 0, 0x47, 255, 0, 0},
       {6, 22, 161, 2 + 190, 0}},
      {"indents of text records only, hanging bits ignored",
       {0x10, 0xC7, 'x', 0, 0x17, 0x3F, 0, 0x90, 0x3F, 0, 0},
       {4, 15, 63, 0, 7 + 63}},
      {"records after the end marker are not read",
       {0x81, 0x02, 'a', 0, 0, 0x81, 0x09, 'b', 0, 0},
       {2, 6, 0, 0, 2}},
      {"missing end marker: the buffer's end stops the walk", {0x01, 0x01, 'a', 0, 0x81, 0x02, 'b'},
       {3, 10, 0, 0, 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ArticleTextStats s = MeasureArticleText(c.article.data(), c.article.size());
    EXPECT_EQ(s.lineCount, c.expected.lineCount);
    EXPECT_EQ(s.sizeEstimate, c.expected.sizeEstimate);
    EXPECT_EQ(s.separatorPixels, c.expected.separatorPixels);
    EXPECT_EQ(s.separatorPercent, c.expected.separatorPercent);
    EXPECT_EQ(s.indentTotal, c.expected.indentTotal);
  }
}

TEST(MeasureArticleText, OutputsAreOptionalAndStartFromZero) {
  Article a{0x87, 200, 0, 0x01, 0x04, 'a', 0, 0};
  int32_t lines = -7, percent = -7;
  MeasureArticleText(a.data(), a.size(), &lines, nullptr, nullptr, &percent, nullptr);
  EXPECT_EQ(lines, 3);
  EXPECT_EQ(percent, 80);

  Article empty{0};
  int32_t fields[5] = {9, 9, 9, 9, 9};
  MeasureArticleText(empty.data(), empty.size(), &fields[0], &fields[1], &fields[2], &fields[3],
                     &fields[4]);
  for (int32_t f : fields) EXPECT_EQ(f, 0);
}

}  // namespace
