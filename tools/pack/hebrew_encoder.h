// Unicode (UTF-8, reading order) to ArticleCode in display order, and back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct EncodeResult {
  std::vector<uint8_t> bytes;  // display order, no terminating 0
  int droppedMarks;            // marks with no code (dagesh on alef, ...)
  std::string error;           // non-empty: the text cannot be encoded
};

// Encodes one right-to-left paragraph. Letters take the single code of their
// marked form where one exists; vowel points precede their letter in display
// order; the order of the paragraph comes from the bidirectional algorithm,
// so digits keep their left-to-right order inside Hebrew text.
EncodeResult EncodeParagraph(std::string_view utf8);

// Display-order bytes of a right-to-left paragraph back to reading order as
// UTF-8, presentation forms decomposed and marks in canonical order.
std::string DecodeParagraph(const uint8_t* bytes, std::size_t n);

// 1..999 as Hebrew numerals without points (15 = טו, 16 = טז).
std::string HebrewNumeral(int n);
