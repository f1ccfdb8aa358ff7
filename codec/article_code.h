// ArticleCode, the reader's 8-bit code for pointed Hebrew, and its mappings:
// to Unicode, to Windows-1255 bytes for code-page fonts, and from Hebrew
// presentation forms back to letters and marks.
#pragma once

#include <cstdint>

constexpr uint8_t kFirstMappedCode = 16;
constexpr uint8_t kLastMappedCode = 123;
constexpr int kMappedCodeCount = kLastMappedCode - kFirstMappedCode + 1;

constexpr uint8_t kFirstVowelCode = 21;  // hiriq
constexpr uint8_t kLastVowelCode = 31;   // holam
constexpr uint8_t kFirstLetterCode = 97; // alef
constexpr uint8_t kLastLetterCode = 123; // tav

// The vowel points, which ride on a letter and take no width of their own.
constexpr bool IsVowelCode(uint8_t c) { return c >= kFirstVowelCode && c <= kLastVowelCode; }

// UnicodeMap[c - 16]: the UTF-16 units of code c; second == 0 for one unit.
struct UnicodePair {
  char16_t first;
  char16_t second;
};
extern const UnicodePair UnicodeMap[kMappedCodeCount];

// CodePageMap[c - 16]: the Windows-1255 byte of code c, 0 when dropped.
extern const uint8_t CodePageMap[kMappedCodeCount];

// Entries of (key, up to three units), ended by a key of 0.
struct Decomposition {
  char16_t key;
  char16_t units[3];
};
extern const Decomposition DecompositionTable[];

// The reusable output of ConvertArticleText: room for 2 * (capacity + 1)
// units. Grows, never shrinks.
struct ConversionBuffer {
  char16_t* units;
  int32_t capacity;  // in input bytes
};

// The program-wide buffer used by measuring, drawing and the text export.
extern ConversionBuffer g_conversionBuffer;

// Converts up to `len` bytes of `text` (stopping at a 0 byte) to a
// zero-terminated UTF-16 string through the mapping of the user's font.
// With `buffer` the result lives in it until the next conversion; without,
// the caller releases it with plat::MemFree. *countOut (when given) gets the
// output length minus the bytes read. Returns null when memory runs out.
char16_t* ConvertArticleText(const uint8_t* text, int32_t len, ConversionBuffer* buffer,
                             int32_t* countOut);

// Whether ConvertArticleText reverses a run of `len` bytes in the user's
// current mode (Reverse on, a font that is not typed with Latin letters).
bool ConversionReverses(int32_t len);

// Reverses n units in place, exchanging ( ), [ ] and { }. Returns 0, or 1
// when the temporary copy cannot be allocated (units left as they were).
int ReverseRun(char16_t* units, int32_t n);

// The decomposition of a Hebrew presentation form, or null.
const Decomposition* FindDecomposition(char16_t unit);

void ReleaseConversionBuffer(ConversionBuffer* buffer);
