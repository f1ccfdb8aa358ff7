#include "tools/pack/hebrew_encoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct EncodeCase {
  const char* what;
  const char* text;  // reading order, NFC
  std::vector<uint8_t> display;
  int dropped;
};

TEST(HebrewEncoder, EncodesLettersMarksAndOrder) {
  const EncodeCase cases[] = {
      {"bet with dagesh and qamats", "בָּ", {22, 69}, 0},
      {"lamed with holam", "לֹ", {90}, 0},
      {"lamed with dagesh and holam", "לֹּ", {89}, 0},
      {"final kaf with qamats", "ךָ", {16}, 0},
      {"final kaf with sheva", "ךְ", {18}, 0},
      {"final kaf with dagesh and qamats", "ךָּ", {17}, 0},
      {"final kaf with dagesh and sheva", "ךְּ", {19}, 0},
      {"vav with holam", "וֹ", {88}, 0},
      {"vav with holam for vav", "וֺ", {88}, 0},
      {"vav with dagesh", "וּ", {73}, 0},
      {"shin dot", "שׁ", {65}, 0},
      {"sin dot with qamats", "שָׂ", {22, 66}, 0},
      {"shin with dagesh and shin dot", "שּׁ", {67}, 0},
      {"shin with dagesh only", "שּ", {86}, 0},
      {"resh with dagesh", "רּ", {20}, 0},
      {"he with mapiq", "הּ", {72}, 0},
      {"alef with dagesh has no code", "אּ", {97}, 1},
      {"shin dot on another letter", "בׁ", {98}, 1},
      {"qamats qatan", "בׇ", {22, 98}, 0},
      {"two vowels under one letter", "לִַ", {23, 21, 109}, 0},
      {"letters reversed, vowel left of its letter", "אָב", {98, 22, 97}, 0},
      {"maqaf and sof pasuq", "א־ב׃", {':', 98, '-', 97}, 0},
      {"digits keep their order", "א 12 ב", {98, ' ', '1', '2', ' ', 97}, 0},
      {"brackets as shown", "(א)", {'(', 97, ')'}, 0},
      {"geresh and gershayim", "א׳ ב״", {'"', 98, ' ', '\'', 97}, 0},
      {"cantillation is dropped", "א֑", {97}, 1},
  };
  for (const EncodeCase& c : cases) {
    EncodeResult r = EncodeParagraph(c.text);
    EXPECT_EQ(r.error, "") << c.what;
    EXPECT_EQ(r.bytes, c.display) << c.what;
    EXPECT_EQ(r.droppedMarks, c.dropped) << c.what;
  }
}

TEST(HebrewEncoder, RefusesCharactersWithoutCode) {
  for (const char* text : {"abc", "א b", "א\u00A0ב", "{"}) {
    EncodeResult r = EncodeParagraph(text);
    EXPECT_NE(r.error.find("has no code"), std::string::npos) << text;
  }
  EXPECT_NE(EncodeParagraph("ab").error.find("U+0061"), std::string::npos);
}

TEST(HebrewEncoder, DecodeGivesBackReadingOrder) {
  for (const char* text : {"שָׁלוֹם עֲלֵיכֶם", "א 12 ב", "(א) 3:4 ב", "דְּבַר־יְהוָה אֲשֶׁר׃",
                           "מֶלֶךְ כָּל־הָאָרֶץ", "יְרוּשָׁלִַם"}) {
    EncodeResult r = EncodeParagraph(text);
    ASSERT_EQ(r.error, "") << text;
    std::string expected = text;
    // Maqaf and sof pasuq are stored as ASCII.
    for (auto [from, to] : {std::pair{"־", "-"}, std::pair{"׃", ":"}}) {
      for (std::size_t at; (at = expected.find(from)) != std::string::npos;)
        expected.replace(at, std::string(from).size(), to);
    }
    EXPECT_EQ(DecodeParagraph(r.bytes.data(), r.bytes.size()), expected);
  }
}

TEST(HebrewEncoder, HebrewNumerals) {
  const std::pair<int, const char*> cases[] = {
      {1, "א"},   {9, "ט"},   {10, "י"},   {11, "יא"},  {14, "יד"},  {15, "טו"}, {16, "טז"},
      {17, "יז"}, {20, "כ"},  {99, "צט"},  {100, "ק"},  {115, "קטו"}, {400, "ת"}, {515, "תקטו"},
  };
  for (auto [n, text] : cases) EXPECT_EQ(HebrewNumeral(n), text) << n;
}

}  // namespace
