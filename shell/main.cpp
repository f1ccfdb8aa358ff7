// Until the reader has its window, running it prints the contents list and
// the first article as Unicode text in reading order.
#include <cstdio>
#include <string>

#include "codec/article_code.h"
#include "content/article_text.h"
#include "content/text_resource.h"
#include "platform/text_utf.h"
#include "shell/app_globals.h"

namespace {

// A right-to-left run is stored in display order; reversing its converted
// units gives reading order, each letter before its marks.
std::string ReadingOrder(const uint8_t* text, uint32_t length, bool rightToLeft) {
  int32_t count = 0;
  char16_t* units = ConvertArticleText(text, static_cast<int32_t>(length), &g_conversionBuffer, &count);
  if (!units) return {};
  auto n = static_cast<int32_t>(length) + count;
  if (rightToLeft) ReverseRun(units, n);
  return plat::Utf16ToUtf8(std::u16string_view(units, static_cast<std::size_t>(n)));
}

bool PrintContents() {
  TextBuffer text = LoadTextResource(ContentsResourceNumber, nullptr);
  if (!text.bytes) return false;
  std::printf("Contents\n");
  uint32_t at = 0;
  while (at + 4 < text.length + 2 && text.bytes[at + 2] != 0) {
    unsigned id = text.bytes[at] | (text.bytes[at + 1] << 8);
    uint32_t n = 0;
    while (at + 4 + n < text.length && text.bytes[at + 4 + n]) ++n;
    std::printf("%2u  %s\n", id & 0x3FFF, ReadingOrder(text.bytes + at + 4, n, true).c_str());
    at += n + 5;
  }
  ReleaseText(&text);
  return true;
}

bool PrintArticle(int32_t number) {
  TextBuffer text = LoadTextResource(number, nullptr);
  if (!text.bytes) return false;
  uint32_t offset = 0;
  ParagraphRecord r;
  while (ReadRecord(text.bytes, text.length + 2, offset, &r)) {
    std::printf("%s\n", ReadingOrder(text.bytes + r.textOffset, r.textLength,
                                     (r.style & StyleRightToLeft) != 0)
                            .c_str());
    if (r.style & StyleBlankAfter) std::printf("\n");
    offset = r.next;
  }
  ReleaseText(&text);
  return true;
}

}  // namespace

int main() {
  ClearAppGlobals();
  g_app.fontChoice.asciiBase = kAsciiBaseUnicode;
  g_app.displayFlags = kDefaultDisplayFlags;
  bool ok = PrintContents();
  std::printf("\n");
  ok = PrintArticle(1) && ok;
  ReleaseConversionBuffer(&g_conversionBuffer);
  return ok ? 0 : 1;
}
