#include "tools/pack/book_source.h"

#include <fstream>
#include <sstream>

#include "tools/pack/hebrew_encoder.h"

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

bool ParseNumber(const std::string& s, int* out) {
  if (s.empty() || s.size() > 4) return false;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *out = v;
  return true;
}

std::string Trim(const std::string& s) {
  std::size_t a = s.find_first_not_of(" \r");
  if (a == std::string::npos) return {};
  std::size_t b = s.find_last_not_of(" \r");
  return s.substr(a, b - a + 1);
}

bool ReadLines(const std::string& path, std::vector<std::string>* lines, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = path + ": cannot be read";
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines->push_back(line);
  }
  if (lines->empty()) {
    *error = path + ": empty file";
    return false;
  }
  // A byte-order mark is allowed but not needed.
  if ((*lines)[0].rfind("\xEF\xBB\xBF", 0) == 0) (*lines)[0].erase(0, 3);
  return true;
}

std::string Where(const std::string& path, std::size_t index) {
  return path + ":" + std::to_string(index + 1) + ": ";
}

bool ReadBook(const std::string& dir, Book* book, std::string* error) {
  std::string path = dir + "/" + book->file;
  std::vector<std::string> lines;
  if (!ReadLines(path, &lines, error)) return false;
  if (lines[0] != "chapter\tverse\ttext\tbreak") {
    *error = Where(path, 0) + "the header must be chapter<TAB>verse<TAB>text<TAB>break";
    return false;
  }
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    std::vector<std::string> f = SplitTabs(lines[i]);
    Verse v{};
    if (f.size() != 4 || !ParseNumber(f[0], &v.chapter) || !ParseNumber(f[1], &v.verse) ||
        v.chapter < 1 || v.verse < 1 || v.chapter > 999 || v.verse > 999) {
      *error = Where(path, i) + "expected chapter, verse (1..999), text and break";
      return false;
    }
    v.text = Trim(f[2]);
    if (v.text.empty()) {
      *error = Where(path, i) + "the verse has no text";
      return false;
    }
    if (f[3] == "P" || f[3] == "S") {
      v.breakAfter = f[3][0];
    } else if (!f[3].empty()) {
      *error = Where(path, i) + "break must be P, S or empty";
      return false;
    }
    if (!book->verses.empty()) {
      const Verse& prev = book->verses.back();
      bool next = (v.chapter == prev.chapter && v.verse > prev.verse) || v.chapter > prev.chapter;
      if (!next) {
        *error = Where(path, i) + "verses must come in order";
        return false;
      }
    }
    book->verses.push_back(std::move(v));
  }
  if (book->verses.empty()) {
    *error = path + ": the book has no verses";
    return false;
  }
  return true;
}

// Appends one record: style, metrics, the encoded text and its terminator.
bool AppendRecord(std::vector<uint8_t>& out, uint8_t style, uint8_t metrics,
                  const std::string& text, const std::string& where, int* dropped,
                  std::string* error) {
  EncodeResult enc = EncodeParagraph(text);
  if (!enc.error.empty()) {
    *error = where + enc.error;
    return false;
  }
  if (enc.bytes.empty() || enc.bytes[0] == ' ') {
    // A leading space would turn the record into a continuation record.
    *error = where + "the text must not be empty or end with a space";
    return false;
  }
  *dropped += enc.droppedMarks;
  out.push_back(style);
  out.push_back(metrics);
  out.insert(out.end(), enc.bytes.begin(), enc.bytes.end());
  out.push_back(0);
  return true;
}

const char kChapterWord[] = "\xD7\xA4\xD6\xB6\xD6\xBC\xD7\xA8\xD6\xB6\xD7\xA7";  // פֶּרֶק

}  // namespace

bool ReadBooks(const std::string& dir, std::vector<Book>* books, std::string* error) {
  std::string path = dir + "/books.tsv";
  std::vector<std::string> lines;
  if (!ReadLines(path, &lines, error)) return false;
  if (lines[0] != "number\tfile\tname") {
    *error = Where(path, 0) + "the header must be number<TAB>file<TAB>name";
    return false;
  }
  books->clear();
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    std::vector<std::string> f = SplitTabs(lines[i]);
    Book b{};
    if (f.size() != 3 || !ParseNumber(f[0], &b.number) ||
        b.number != static_cast<int>(books->size()) + 1 || f[1].empty() ||
        f[1].find('/') != std::string::npos || Trim(f[2]).empty()) {
      *error = Where(path, i) + "expected number (counting from 1), file name and name";
      return false;
    }
    b.file = f[1];
    b.name = Trim(f[2]);
    books->push_back(std::move(b));
  }
  if (books->size() != kBookCount) {
    *error = path + ": the reader shows exactly 12 books, found " + std::to_string(books->size());
    return false;
  }
  for (Book& b : *books) {
    if (!ReadBook(dir, &b, error)) return false;
  }
  return true;
}

bool PackBooks(const std::vector<Book>& books, PackedTexts* out, std::string* error) {
  out->droppedMarks = 0;
  out->contents.clear();
  for (const Book& book : books) {
    std::vector<uint8_t>& a = out->articles[book.number - 1];
    a.clear();
    std::string where = book.file + ": ";
    if (!AppendRecord(a, 0xDC, 0x00, book.name, where, &out->droppedMarks, error)) return false;
    for (std::size_t i = 0; i < book.verses.size(); ++i) {
      const Verse& v = book.verses[i];
      std::string at = book.file + " " + std::to_string(v.chapter) + ":" + std::to_string(v.verse) + ": ";
      if (i == 0 || book.verses[i - 1].chapter != v.chapter) {
        std::string heading = std::string(kChapterWord) + " " + HebrewNumeral(v.chapter);
        if (!AppendRecord(a, kHeadingStyle, 0x00, heading, at, &out->droppedMarks, error))
          return false;
      }
      bool lastOfChapter = i + 1 == book.verses.size() || book.verses[i + 1].chapter != v.chapter;
      uint8_t style = kVerseStyle | ((v.breakAfter || lastOfChapter) ? 0x80 : 0);
      std::string text = HebrewNumeral(v.verse) + " " + v.text;
      if (!AppendRecord(a, style, kVerseMetrics, text, at, &out->droppedMarks, error)) return false;
    }
    // The end marker and two more zero bytes.
    a.insert(a.end(), 3, 0);

    uint16_t id = static_cast<uint16_t>(0x4000 | book.number);
    EncodeResult title = EncodeParagraph(book.name);
    if (!title.error.empty()) {
      *error = where + title.error;
      return false;
    }
    out->contents.push_back(static_cast<uint8_t>(id & 0xFF));
    out->contents.push_back(static_cast<uint8_t>(id >> 8));
    out->contents.push_back(kContentsStyle);
    out->contents.push_back(1);
    out->contents.insert(out->contents.end(), title.bytes.begin(), title.bytes.end());
    out->contents.push_back(0);
  }
  out->contents.insert(out->contents.end(), 5, 0);
  return true;
}
