#include "tools/pack/book_source.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "content/article_text.h"
#include "tools/pack/container.h"

namespace fs = std::filesystem;

namespace {

const char kVerseHeader[] = "chapter\tverse\ttext\tbreak\n";

// A folder of twelve small books; each test edits what it needs.
class BookFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tovanel-books-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    std::string index = "number\tfile\tname\n";
    for (int n = 1; n <= kBookCount; ++n) {
      std::string file = "b" + std::to_string(n) + ".tsv";
      index += std::to_string(n) + "\t" + file + "\tסֵפֶר\n";
      Write(file, std::string(kVerseHeader) + "1\t1\tאָב\t\n");
    }
    Write("books.tsv", index);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }

  std::string Error() {
    std::vector<Book> books;
    PackedTexts packed;
    std::string error;
    if (ReadBooks(dir_.string(), &books, &error)) PackBooks(books, &packed, &error);
    return error;
  }

  fs::path dir_;
};

TEST_F(BookFolder, ReportsWhereTheSourceIsWrong) {
  struct Case {
    const char* file;
    std::string text;
    const char* expected;  // part of the message
  } cases[] = {
      {"books.tsv", "number\tname\n", "books.tsv:1: the header"},
      {"books.tsv", "number\tfile\tname\n1\tb1.tsv\tא\n", "exactly 12 books, found 1"},
      {"books.tsv", "number\tfile\tname\n2\tb1.tsv\tא\n", "books.tsv:2: expected number"},
      {"b3.tsv", "chapter\tverse\ttext\n", "b3.tsv:1: the header"},
      {"b3.tsv", std::string(kVerseHeader) + "1\t2\tא\t\n1\t1\tב\t\n", "b3.tsv:3: verses must come in order"},
      {"b3.tsv", std::string(kVerseHeader) + "1\t1\tא\tX\n", "b3.tsv:2: break must be P, S or empty"},
      {"b3.tsv", std::string(kVerseHeader) + "1\tx\tא\t\n", "b3.tsv:2: expected chapter"},
      {"b3.tsv", std::string(kVerseHeader) + "1\t1\t \t\n", "b3.tsv:2: the verse has no text"},
      {"b3.tsv", std::string(kVerseHeader), "b3.tsv: the book has no verses"},
      {"b3.tsv", std::string(kVerseHeader) + "1\t1\tאbא\t\n", "b3.tsv 1:1: character U+0062"},
  };
  for (const Case& c : cases) {
    SetUp();
    Write(c.file, c.text);
    EXPECT_NE(Error().find(c.expected), std::string::npos) << c.expected << " / got: " << Error();
  }
  fs::remove(dir_ / "b5.tsv");
  EXPECT_NE(Error().find("b5.tsv: cannot be read"), std::string::npos);
}

TEST_F(BookFolder, BuildsTitleHeadingsAndVerses) {
  Write("b1.tsv", std::string(kVerseHeader) +
                      "1\t1\tא\t\n"
                      "1\t2\tב\tS\n"
                      "1\t3\tג\t\n"
                      "2\t1\tד\tP\n"
                      "2\t2\tה\t\n");
  std::vector<Book> books;
  PackedTexts packed;
  std::string error;
  ASSERT_TRUE(ReadBooks(dir_.string(), &books, &error)) << error;
  ASSERT_TRUE(PackBooks(books, &packed, &error)) << error;

  const std::vector<uint8_t>& a = packed.articles[0];
  ASSERT_GE(a.size(), 3u);
  EXPECT_EQ(std::vector<uint8_t>(a.end() - 3, a.end()), std::vector<uint8_t>(3, 0));
  std::vector<std::pair<uint8_t, uint8_t>> records;
  std::vector<std::vector<uint8_t>> texts;
  ParagraphRecord r;
  for (uint32_t at = 0; ReadRecord(a.data(), static_cast<uint32_t>(a.size()), at, &r); at = r.next) {
    records.push_back({r.style, r.metrics});
    texts.emplace_back(a.begin() + r.textOffset, a.begin() + r.textOffset + r.textLength);
  }
  const std::vector<std::pair<uint8_t, uint8_t>> expected = {
      {0xDC, 0x00},                                  // title
      {0xD9, 0x00}, {0x31, 0xC0}, {0xB1, 0xC0}, {0xB1, 0xC0},  // chapter 1: S, then its last verse
      {0xD9, 0x00}, {0xB1, 0xC0}, {0xB1, 0xC0},      // chapter 2: P, then the last verse
  };
  EXPECT_EQ(records, expected);
  // Verse 2 of chapter 1 reads "ב ב": the numeral, a space, the text.
  EXPECT_EQ(texts[3], (std::vector<uint8_t>{98, ' ', 98}));
  // The heading is "פֶּרֶק ב" in display order: the numeral leftmost.
  EXPECT_EQ(texts[5], (std::vector<uint8_t>{98, ' ', 120, 25, 121, 25, 83}));

  // Contents: ids 0x4001.., style 0x81, level 1, the name; five zero bytes.
  const std::vector<uint8_t>& c = packed.contents;
  ASSERT_EQ(c.size(), 12u * (5 + 5) + 5);  // "סֵפֶר" is five codes
  for (int n = 0; n < kBookCount; ++n) {
    const uint8_t* e = c.data() + n * 10;
    EXPECT_EQ(e[0], n + 1);
    EXPECT_EQ(e[1], 0x40);
    EXPECT_EQ(e[2], 0x81);
    EXPECT_EQ(e[3], 1);
    EXPECT_EQ(e[9], 0);
  }
}

TEST_F(BookFolder, RefusesAnArticleLongerThanTheReaderTakes) {
  std::string verses(kVerseHeader);
  std::string words;
  for (int i = 0; i < 60; ++i) words += "אבגדהוזחטי ";
  words += "א";
  for (int v = 1; v <= 120; ++v) verses += "1\t" + std::to_string(v) + "\t" + words + "\t\n";
  Write("b7.tsv", verses);
  std::vector<Book> books;
  PackedTexts packed;
  std::string error;
  ASSERT_TRUE(ReadBooks(dir_.string(), &books, &error)) << error;
  ASSERT_TRUE(PackBooks(books, &packed, &error)) << error;
  ASSERT_GT(packed.articles[6].size(), kMaxDecodedSize);
  std::vector<uint8_t> container;
  EXPECT_FALSE(BuildContainer(packed.articles[6], 7, 7, &container, &error));
  EXPECT_NE(error.find("at most 65535"), std::string::npos) << error;
}

}  // namespace
