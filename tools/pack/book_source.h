// The authoring format: a folder with books.tsv (number, file, pointed name)
// and one tab-separated file per book (chapter, verse, text, break). This
// turns it into the decoded bytes of the twelve articles and the contents.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int kBookCount = 12;

struct Verse {
  int chapter;
  int verse;
  std::string text;   // UTF-8, reading order
  char breakAfter;    // 'P', 'S' or 0
};

struct Book {
  int number;
  std::string file;
  std::string name;
  std::vector<Verse> verses;
};

struct PackedTexts {
  std::vector<uint8_t> articles[kBookCount];  // article n at [n - 1]
  std::vector<uint8_t> contents;
  int droppedMarks;
};

// Reads books.tsv and every book file it names. On failure returns false
// with "file:line: reason" in *error.
bool ReadBooks(const std::string& dir, std::vector<Book>* books, std::string* error);

// Builds the decoded article and contents texts.
bool PackBooks(const std::vector<Book>& books, PackedTexts* out, std::string* error);

constexpr uint8_t kVerseStyle = 0x31;    // right-to-left, right-aligned, key 0x11
constexpr uint8_t kVerseMetrics = 0xC0;  // hanging factor 3: a column two letters wide
constexpr uint8_t kHeadingStyle = 0xD9;  // centred, bold, right-to-left, blank after
constexpr uint8_t kContentsStyle = 0x81;
