// tovanel-pack: builds the reader's compressed text resources from the
// authoring format and shows what a resource holds.
//
//   tovanel-pack build TEXT_DIR OUT_DIR   write 1001.res .. 1012.res, 32767.res
//   tovanel-pack unpack FILE              decoded bytes to standard output
//   tovanel-pack dump FILE                records, readably
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "content/article_text.h"
#include "content/text_resource.h"
#include "platform/message_box.h"
#include "tools/pack/book_source.h"
#include "tools/pack/container.h"
#include "tools/pack/hebrew_encoder.h"
#include "tools/pack/lz77_encoder.h"

namespace {

constexpr uint16_t kContentsReservedA = 1;
constexpr uint16_t kContentsReservedB = 255;

int Usage() {
  std::fprintf(stderr,
               "usage: tovanel-pack build TEXT_DIR OUT_DIR\n"
               "       tovanel-pack unpack FILE\n"
               "       tovanel-pack dump FILE\n");
  return 2;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool WriteResource(const std::string& dir, int id, const std::vector<uint8_t>& decoded,
                   uint16_t a, uint16_t b, std::size_t* greedyTotal, std::size_t* optimalTotal) {
  std::vector<uint8_t> container;
  std::string error;
  if (!BuildContainer(decoded, a, b, &container, &error)) {
    std::fprintf(stderr, "tovanel-pack: resource %d: %s\n", id, error.c_str());
    return false;
  }
  std::string path = dir + "/" + std::to_string(id) + ".res";
  if (!WriteFile(path, container)) {
    std::fprintf(stderr, "tovanel-pack: %s: cannot be written\n", path.c_str());
    return false;
  }
  *optimalTotal += container.size() - 14;
  *greedyTotal += CompressGreedy(decoded.data(), decoded.size()).size();
  return true;
}

int Build(const std::string& textDir, const std::string& outDir) {
  std::vector<Book> books;
  PackedTexts packed;
  std::string error;
  if (!ReadBooks(textDir, &books, &error) || !PackBooks(books, &packed, &error)) {
    std::fprintf(stderr, "tovanel-pack: %s\n", error.c_str());
    return 1;
  }
  std::error_code ec;
  std::filesystem::create_directories(outDir, ec);
  if (ec) {
    std::fprintf(stderr, "tovanel-pack: %s: %s\n", outDir.c_str(), ec.message().c_str());
    return 1;
  }
  std::size_t greedy = 0, optimal = 0, decoded = 0;
  for (int n = 1; n <= kBookCount; ++n) {
    const auto& a = packed.articles[n - 1];
    decoded += a.size();
    if (!WriteResource(outDir, 1000 + n, a, static_cast<uint16_t>(n), static_cast<uint16_t>(n),
                       &greedy, &optimal))
      return 1;
  }
  decoded += packed.contents.size();
  if (!WriteResource(outDir, 32767, packed.contents, kContentsReservedA, kContentsReservedB,
                     &greedy, &optimal))
    return 1;
  std::printf("tovanel-pack: 13 resources, %zu bytes decoded, %zu compressed (greedy: %zu)\n",
              decoded, optimal, greedy);
  if (packed.droppedMarks) {
    std::printf("tovanel-pack: dropped %d marks that have no code in the reader's text\n",
                packed.droppedMarks);
  }
  return 0;
}

// Decodes a container file with the reader's own decoder.
bool Decode(const std::string& path, ContainerInfo* info, TextBuffer* text) {
  std::vector<uint8_t> file;
  std::string error;
  if (!ReadFile(path, &file)) {
    std::fprintf(stderr, "tovanel-pack: %s: cannot be read\n", path.c_str());
    return false;
  }
  if (!ParseContainer(file, info, &error)) {
    std::fprintf(stderr, "tovanel-pack: %s: %s\n", path.c_str(), error.c_str());
    return false;
  }
  int32_t code = 0;
  uint16_t L = static_cast<uint16_t>((file[0] << 8) | file[1]);
  *text = UnpackResource(file.data() + 6, L, static_cast<uint32_t>(file.size() - 6), &code);
  if (!text->bytes) {
    std::fprintf(stderr, "tovanel-pack: %s: does not decode (error %d)\n", path.c_str(), code);
    return false;
  }
  return true;
}

int Unpack(const std::string& path) {
  ContainerInfo info;
  TextBuffer text;
  if (!Decode(path, &info, &text)) return 1;
  std::fwrite(text.bytes, 1, text.length, stdout);
  ReleaseText(&text);
  return 0;
}

std::string DescribeStyle(uint8_t style) {
  std::string s;
  if (StyleSeparator(style)) return "separator";
  char key[16];
  std::snprintf(key, sizeof key, "key %02X", style & StyleFontKeyMask);
  s += key;
  if (style & StyleLarge) s += " large";
  else if (style & StyleSmall) s += " small";
  if (style & StyleBold) s += " bold";
  s += (style & StyleRightToLeft) ? " rtl" : " ltr";
  switch (StyleAlignment(style)) {
    case Alignment::Left: s += " left"; break;
    case Alignment::Right: s += " right"; break;
    case Alignment::Centre: s += " centre"; break;
  }
  if (style & StyleBlankAfter) s += " blank-after";
  return s;
}

std::string ReadingText(const uint8_t* bytes, std::size_t n, bool rtl) {
  if (rtl) return DecodeParagraph(bytes, n);
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += DecodeParagraph(bytes + i, 1);
  return out;
}

void DumpArticle(const TextBuffer& text) {
  uint32_t offset = 0;
  ParagraphRecord r;
  while (ReadRecord(text.bytes, text.length + 2, offset, &r)) {
    if (StyleSeparator(r.style)) {
      std::printf("%05u  style %02X (separator)  length %u\n", r.offset, r.style, r.metrics);
    } else {
      std::printf("%05u  style %02X (%s)  metrics %02X (indent %d, hang %d)  %s\n", r.offset,
                  r.style, DescribeStyle(r.style).c_str(), r.metrics, MetricsIndent(r.metrics),
                  MetricsHangingFactor(r.metrics),
                  ReadingText(text.bytes + r.textOffset, r.textLength,
                              (r.style & StyleRightToLeft) != 0)
                      .c_str());
    }
    offset = r.next;
  }
  std::printf("%05u  end\n", offset);
}

void DumpContents(const TextBuffer& text) {
  uint32_t at = 0;
  while (at + 4 < text.length + 2 && text.bytes[at + 2] != 0) {
    uint16_t id = static_cast<uint16_t>(text.bytes[at] | (text.bytes[at + 1] << 8));
    uint8_t style = text.bytes[at + 2];
    uint8_t level = text.bytes[at + 3];
    const uint8_t* t = text.bytes + at + 4;
    std::size_t n = strnlen(reinterpret_cast<const char*>(t), text.length + 2 - (at + 4));
    std::printf("%05u  id %04X (%s%s%u)  style %02X  level %u  %s\n", at, id,
                (id & 0x4000) ? "article " : "", (id & 0x8000) ? "section " : "", id & 0x3FFF,
                style, level, DecodeParagraph(t, n).c_str());
    at += static_cast<uint32_t>(n) + 5;
  }
  std::printf("%05u  end\n", at);
}

int Dump(const std::string& path) {
  ContainerInfo info;
  TextBuffer text;
  if (!Decode(path, &info, &text)) return 1;
  TokenCounts tokens = CountTokens(info.stream);
  std::printf("%s: reserved %u %u, %u bytes compressed, %u decoded; tokens: %zu literal, "
              "%zu run, %zu back-reference, %zu space pair\n",
              path.c_str(), info.reservedA, info.reservedB, info.compressedLength,
              info.decodedLength, tokens.literals, tokens.literalRuns, tokens.backReferences,
              tokens.spacePairs);
  if (info.reservedB == kContentsReservedB) {
    DumpContents(text);
  } else {
    DumpArticle(text);
  }
  ReleaseText(&text);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string cmd = argv[1];
  if (cmd == "build" && argc == 4) return Build(argv[2], argv[3]);
  if (cmd == "unpack" && argc == 3) return Unpack(argv[2]);
  if (cmd == "dump" && argc == 3) return Dump(argv[2]);
  return Usage();
}
