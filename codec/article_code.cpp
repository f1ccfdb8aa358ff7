#include "codec/article_code.h"

#include "platform/memory.h"
#include "shell/app_globals.h"

namespace {

constexpr UnicodePair kUnit(char16_t u) { return {u, 0}; }

// ASCII codes map to themselves, Hebrew letters to U+05D0 + (c - 97).
constexpr UnicodePair Identity(int c) { return kUnit(static_cast<char16_t>(c)); }
constexpr UnicodePair Letter(int c) { return kUnit(static_cast<char16_t>(0x5D0 + c - 97)); }

}  // namespace

#define ID(c) Identity(c)
#define LT(c) Letter(c)

const UnicodePair UnicodeMap[kMappedCodeCount] = {
    {0x05B8, 0x05DA}, {0x05B8, 0xFB3A}, {0x05B0, 0x05DA}, {0x05B0, 0xFB3A},  // 16..19
    kUnit(0xFB48),                                                          // 20 resh+dagesh
    kUnit(0x05B4), kUnit(0x05B8), kUnit(0x05B7), kUnit(0x05B5), kUnit(0x05B6),  // 21..25
    kUnit(0x05BB), kUnit(0x05B0), kUnit(0x05B3), kUnit(0x05B2), kUnit(0x05B1),  // 26..30
    kUnit(0x05B9),                                                          // 31 holam
    ID(32), ID(33), ID(34), ID(35), ID(36), ID(37), ID(38), ID(39), ID(40), ID(41), ID(42),
    ID(43), ID(44), ID(45), ID(46), ID(47), ID(48), ID(49), ID(50), ID(51), ID(52), ID(53),
    ID(54), ID(55), ID(56), ID(57), ID(58), ID(59), ID(60), ID(61), ID(62), ID(63), ID(64),
    kUnit(0xFB2A), kUnit(0xFB2B), kUnit(0xFB2C), kUnit(0xFB2D),  // 65..68 shin forms
    kUnit(0xFB31), kUnit(0xFB32), kUnit(0xFB33), kUnit(0xFB34), kUnit(0xFB35),  // 69..73
    kUnit(0xFB36), kUnit(0xFB38), kUnit(0xFB39), kUnit(0xFB3A), kUnit(0xFB3B),  // 74..78
    kUnit(0xFB3C), kUnit(0xFB3E), kUnit(0xFB40), kUnit(0xFB41), kUnit(0xFB44),  // 79..83
    kUnit(0xFB46), kUnit(0xFB47), kUnit(0xFB49), kUnit(0xFB4A), kUnit(0xFB4B),  // 84..88
    {0x05B9, 0xFB3C}, {0x05B9, 0x05DC},                                         // 89, 90
    ID(91), ID(92), ID(93), ID(94), ID(95), ID(96),
    LT(97), LT(98), LT(99), LT(100), LT(101), LT(102), LT(103), LT(104), LT(105),
    LT(106), LT(107), LT(108), LT(109), LT(110), LT(111), LT(112), LT(113), LT(114),
    LT(115), LT(116), LT(117), LT(118), LT(119), LT(120), LT(121), LT(122), LT(123),
};

#undef ID
#undef LT

const uint8_t CodePageMap[kMappedCodeCount] = {
    234, 234, 234, 234, 248,                          // 16..20
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                  // 21..31 vowel points dropped
    32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48,  // 32..48
    49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64,      // 49..64
    249, 249, 249, 249,                               // 65..68
    225, 226, 227, 228, 229, 230, 232, 233, 234, 235, // 69..78
    236, 238, 240, 241, 244, 246, 247, 249, 250, 229, // 79..88
    236, 236,                                         // 89, 90
    91, 92, 93, 94, 95, 96,                           // 91..96
    224, 225, 226, 227, 228, 229, 230, 231, 232, 233, 234, 235, 236, 237,
    238, 239, 240, 241, 242, 243, 244, 245, 246, 247, 248, 249, 250,  // 97..123
};

const Decomposition DecompositionTable[] = {
    {0xFB2A, {0x05E9, 0x05C1, 0}},      {0xFB2B, {0x05E9, 0x05C2, 0}},
    {0xFB2C, {0x05E9, 0x05BC, 0x05C1}}, {0xFB2D, {0x05E9, 0x05BC, 0x05C2}},
    {0xFB30, {0x05D0, 0x05BC, 0}},      {0xFB31, {0x05D1, 0x05BC, 0}},
    {0xFB32, {0x05D2, 0x05BC, 0}},      {0xFB33, {0x05D3, 0x05BC, 0}},
    {0xFB34, {0x05D4, 0x05BC, 0}},      {0xFB35, {0x05D5, 0x05BC, 0}},
    {0xFB36, {0x05D6, 0x05BC, 0}},      {0xFB38, {0x05D8, 0x05BC, 0}},
    {0xFB39, {0x05D9, 0x05BC, 0}},      {0xFB3A, {0x05DA, 0x05BC, 0}},
    {0xFB3B, {0x05DB, 0x05BC, 0}},      {0xFB3C, {0x05DC, 0x05BC, 0}},
    {0xFB3E, {0x05DE, 0x05BC, 0}},      {0xFB40, {0x05E0, 0x05BC, 0}},
    {0xFB41, {0x05E1, 0x05BC, 0}},      {0xFB43, {0x05E3, 0x05BC, 0}},
    {0xFB44, {0x05E4, 0x05BC, 0}},      {0xFB46, {0x05E6, 0x05BC, 0}},
    {0xFB47, {0x05E7, 0x05BC, 0}},      {0xFB48, {0x05E8, 0x05BC, 0}},
    {0xFB49, {0x05E9, 0x05BC, 0}},      {0xFB4A, {0x05EA, 0x05BC, 0}},
    {0xFB4B, {0x05D5, 0x05B9, 0}},      {0, {0, 0, 0}},
};

ConversionBuffer g_conversionBuffer = {nullptr, 0};

char16_t* ConvertArticleText(const uint8_t* text, int32_t len, ConversionBuffer* buffer,
                             int32_t* countOut) {
  if (countOut) *countOut = 0;
  if (len < 0) len = 0;
  // Worst case every code becomes two units, plus the terminator.
  auto units = static_cast<std::size_t>(2) * (static_cast<std::size_t>(len) + 1);
  char16_t* out;
  if (!buffer) {
    out = static_cast<char16_t*>(plat::MemAlloc(units * sizeof(char16_t)));
    if (!out) return nullptr;
  } else {
    if (len > buffer->capacity || !buffer->units) {
      plat::MemFree(buffer->units);
      buffer->units = static_cast<char16_t*>(plat::MemAlloc(units * sizeof(char16_t)));
      buffer->capacity = buffer->units ? len : 0;
      if (!buffer->units) return nullptr;
    }
    out = buffer->units;
  }

  const bool unicode = g_app.fontChoice.asciiBase == kAsciiBaseUnicode;
  int32_t count = 0;
  int32_t read = 0;
  char16_t* w = out;
  for (; read < len && text && text[read] != 0; ++read) {
    uint8_t c = text[read];
    if (c < kFirstMappedCode || c > kLastMappedCode) {
      *w++ = c;
    } else if (unicode) {
      const UnicodePair& p = UnicodeMap[c - kFirstMappedCode];
      *w++ = p.first;
      if (p.second) {
        *w++ = p.second;
        ++count;
      }
    } else {
      uint8_t b = CodePageMap[c - kFirstMappedCode];
      if (b) {
        *w++ = b;
      } else {
        --count;
      }
    }
  }
  *w = 0;
  if (countOut) *countOut = count;

  if (ConversionReverses(len)) ReverseRun(out, read + count);
  return out;
}

bool ConversionReverses(int32_t len) {
  return len > 0 && g_app.fontChoice.asciiBase != kAsciiBaseLatin &&
         (g_app.displayFlags & FlagReverse);
}

int ReverseRun(char16_t* units, int32_t n) {
  if (n <= 0) return 0;
  auto* copy = static_cast<char16_t*>(plat::MemAlloc(static_cast<std::size_t>(n) * sizeof(char16_t)));
  if (!copy) return 1;
  for (int32_t i = 0; i < n; ++i) {
    char16_t u = units[n - 1 - i];
    switch (u) {
      case u'(': u = u')'; break;
      case u')': u = u'('; break;
      case u'[': u = u']'; break;
      case u']': u = u'['; break;
      case u'{': u = u'}'; break;
      case u'}': u = u'{'; break;
      default: break;
    }
    copy[i] = u;
  }
  for (int32_t i = 0; i < n; ++i) units[i] = copy[i];
  plat::MemFree(copy);
  return 0;
}

const Decomposition* FindDecomposition(char16_t unit) {
  if (unit <= 0x5EA) return nullptr;
  for (const Decomposition* d = DecompositionTable; d->key; ++d) {
    if (d->key == unit) return d;
  }
  return nullptr;
}

void ReleaseConversionBuffer(ConversionBuffer* buffer) {
  if (!buffer) return;
  plat::MemFree(buffer->units);
  buffer->units = nullptr;
  buffer->capacity = 0;
}
