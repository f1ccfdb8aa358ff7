// Walks arbitrary bytes as a decoded article: records, measures and titles,
// and converts every record's text as the view would. The bytes live in an
// exactly-sized heap copy, so ASan reports any read past the buffer.
// Seeds are the decoded shipped texts (made at test time by tovanel-fuzz-seeds).
#include <cstdint>
#include <cstring>
#include <memory>

#include "codec/article_code.h"
#include "content/article_text.h"
#include "platform/memory.h"
#include "shell/app_globals.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

int32_t UnitCount(const char16_t* units) {
  int32_t n = 0;
  while (units[n]) ++n;
  return n;
}

// The three font layouts, each with and without reversed runs; records take
// them in turn so that one input reaches every conversion path.
void ChooseFontMode(int32_t recordIndex) {
  static constexpr int32_t kBases[] = {kAsciiBaseUnicode, kAsciiBaseCodePage, kAsciiBaseLatin};
  g_app.fontChoice.asciiBase = kBases[recordIndex % 3];
  g_app.displayFlags = (recordIndex / 3) % 2 ? FlagReverse : 0;
}

void CheckRecord(const uint8_t* text, uint32_t size, uint32_t offset, const ParagraphRecord& r) {
  FUZZ_CHECK(r.offset == offset && r.style == text[offset] && r.style != 0);
  FUZZ_CHECK(r.textOffset > offset && r.textOffset <= size);
  FUZZ_CHECK(r.textLength <= size - r.textOffset);
  FUZZ_CHECK(std::memchr(text + r.textOffset, 0, r.textLength) == nullptr);
  const uint32_t end = r.textOffset + r.textLength;
  if (end < size) {
    FUZZ_CHECK(text[end] == 0 && r.next == end + 1);
  } else {
    FUZZ_CHECK(r.next == size);
  }
}

// Converts the record's text twice: by its length into a fresh block, and
// up to the end of the buffer (stopping at its 0) into the shared buffer.
// Both must agree, and the result's length must match the reported count.
void CheckConversion(const uint8_t* text, uint32_t size, const ParagraphRecord& r,
                     ConversionBuffer* shared) {
  const auto len = static_cast<int32_t>(r.textLength);
  int32_t count = 0;
  char16_t* own = ConvertArticleText(text + r.textOffset, len, nullptr, &count);
  FUZZ_CHECK(own != nullptr);
  FUZZ_CHECK(count >= -len && count <= len);
  FUZZ_CHECK(UnitCount(own) == len + count);

  int32_t sharedCount = 0;
  const char16_t* units = ConvertArticleText(
      text + r.textOffset, static_cast<int32_t>(size - r.textOffset), shared, &sharedCount);
  FUZZ_CHECK(units != nullptr && units == shared->units);
  FUZZ_CHECK(sharedCount == count);
  FUZZ_CHECK(std::memcmp(units, own, sizeof(char16_t) * static_cast<size_t>(len + count + 1)) == 0);
  plat::MemFree(own);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xFFFFF) return 0;
  auto copy = std::make_unique<uint8_t[]>(size);
  if (size) std::memcpy(copy.get(), data, size);
  const uint8_t* text = copy.get();
  const auto size32 = static_cast<uint32_t>(size);
  const long liveBefore = plat::MemLiveBlocks();

  ConversionBuffer shared{nullptr, 0};
  ParagraphRecord records[2]{};
  int32_t recordCount = 0;
  uint32_t offset = 0;
  ParagraphRecord r;
  while (ReadRecord(text, size32, offset, &r)) {
    CheckRecord(text, size32, offset, r);
    if (recordCount < 2) records[recordCount] = r;
    ChooseFontMode(recordCount);
    CheckConversion(text, size32, r, &shared);
    ++recordCount;
    offset = r.next;
  }
  FUZZ_CHECK(offset == size32 || text[offset] == 0);

  ArticleTextStats stats = MeasureArticleText(text, size32);
  FUZZ_CHECK(stats.lineCount >= recordCount && stats.lineCount <= 2 * recordCount);
  const auto bytes = static_cast<int32_t>(offset);
  FUZZ_CHECK(stats.sizeEstimate == bytes + bytes / 2);
  FUZZ_CHECK(stats.separatorPixels >= 0 && stats.separatorPercent >= 0 && stats.indentTotal >= 0);

  // The title is the first record when it has the title style; the subtitle
  // is the record after it (or the first) when that has the subtitle style.
  TextSpan title, subtitle;
  FindArticleTitles(text, size32, &title, &subtitle);
  const bool hasTitle = recordCount > 0 && records[0].style == TitleStyle;
  if (hasTitle) {
    FUZZ_CHECK(title.text == text + records[0].textOffset && title.length == records[0].textLength);
  } else {
    FUZZ_CHECK(title.text == nullptr && title.length == 0);
  }
  const int32_t subIndex = hasTitle ? 1 : 0;
  if (recordCount > subIndex && records[subIndex].style == SubtitleStyle) {
    FUZZ_CHECK(subtitle.text == text + records[subIndex].textOffset &&
               subtitle.length == records[subIndex].textLength);
  } else {
    FUZZ_CHECK(subtitle.text == nullptr && subtitle.length == 0);
  }

  ReleaseConversionBuffer(&shared);
  FUZZ_CHECK(plat::MemLiveBlocks() == liveBefore);
  return 0;
}
