#include "tools/pack/hebrew_encoder.h"

#include <fribidi.h>

#include <algorithm>
#include <cstdio>

#include "codec/article_code.h"
#include "platform/text_utf.h"

namespace {

constexpr char32_t kAlef = 0x5D0;
constexpr char32_t kTav = 0x5EA;
constexpr char32_t kVav = 0x5D5;
constexpr char32_t kLamed = 0x5DC;
constexpr char32_t kFinalKaf = 0x5DA;
constexpr char32_t kShin = 0x5E9;
constexpr char32_t kDagesh = 0x5BC;
constexpr char32_t kShinDot = 0x5C1;
constexpr char32_t kSinDot = 0x5C2;
constexpr char32_t kHolam = 0x5B9;
constexpr char32_t kHolamForVav = 0x5BA;
constexpr char32_t kQamats = 0x5B8;
constexpr char32_t kSheva = 0x5B0;

constexpr uint8_t kCodeHolam = 31;
constexpr uint8_t kCodeVavHolam = 88;

uint8_t PlainLetterCode(char32_t c) { return static_cast<uint8_t>(kFirstLetterCode + (c - kAlef)); }

// Code of a letter with a dagesh (or mapiq), 0 when the form has no code.
uint8_t DageshLetterCode(char32_t c) {
  switch (c) {
    case 0x5D1: return 69;  case 0x5D2: return 70;  case 0x5D3: return 71;
    case 0x5D4: return 72;  case 0x5D5: return 73;  case 0x5D6: return 74;
    case 0x5D8: return 75;  case 0x5D9: return 76;  case 0x5DA: return 77;
    case 0x5DB: return 78;  case 0x5DC: return 79;  case 0x5DE: return 80;
    case 0x5E0: return 81;  case 0x5E1: return 82;  case 0x5E4: return 83;
    case 0x5E6: return 84;  case 0x5E7: return 85;  case 0x5E8: return 20;
    case 0x5E9: return 86;  case 0x5EA: return 87;
    default: return 0;
  }
}

// Code of a vowel point, 0 for any other character.
uint8_t VowelCode(char32_t c) {
  switch (c) {
    case 0x5B0: return 27;  case 0x5B1: return 30;  case 0x5B2: return 29;
    case 0x5B3: return 28;  case 0x5B4: return 21;  case 0x5B5: return 24;
    case 0x5B6: return 25;  case 0x5B7: return 23;  case 0x5B8: return 22;
    case 0x5B9: return 31;  case 0x5BA: return 31;  case 0x5BB: return 26;
    case 0x5C7: return 22;  // qamats qatan is written as qamats
    default: return 0;
  }
}

// Combining marks of the Hebrew block: cantillation, points and dots.
bool IsHebrewMark(char32_t c) {
  return (c >= 0x591 && c <= 0x5BD) || c == 0x5BF || c == 0x5C1 || c == 0x5C2 ||
         c == 0x5C4 || c == 0x5C5 || c == 0x5C7;
}

// Code of a character that stands alone, 0 when it has none.
uint8_t StandaloneCode(char32_t c) {
  if ((c >= 32 && c <= 64) || (c >= 91 && c <= 96)) return static_cast<uint8_t>(c);
  switch (c) {
    case 0x5BE: return '-';   // maqaf
    case 0x5C3: return ':';   // sof pasuq
    case 0x5F3: return '\'';  // geresh
    case 0x5F4: return '"';   // gershayim
    default: return 0;
  }
}

struct Cluster {
  std::size_t start;           // index of the base character
  std::vector<uint8_t> codes;  // reading order
};

// One letter with its marks, in reading order: the letter's code, then the
// codes of its vowels. Two-unit codes take a qamats or sheva under a final
// kaf, and a holam on a lamed, into the letter's byte.
std::vector<uint8_t> EncodeLetter(char32_t letter, const std::vector<char32_t>& marks,
                                  int* dropped) {
  bool dagesh = false, shinDot = false, sinDot = false;
  std::vector<char32_t> vowels;
  for (char32_t m : marks) {
    if (m == kDagesh) {
      dagesh = true;
    } else if (m == kShinDot) {
      shinDot = true;
    } else if (m == kSinDot) {
      sinDot = true;
    } else if (VowelCode(m)) {
      vowels.push_back(m);
    } else {
      ++*dropped;  // cantillation, meteg, rafe, upper and lower dots
    }
  }

  uint8_t code;
  if (letter == kShin) {
    code = shinDot ? (dagesh ? 67 : 65) : sinDot ? (dagesh ? 68 : 66) : dagesh ? 86 : PlainLetterCode(letter);
  } else {
    *dropped += shinDot + sinDot;
    code = dagesh ? DageshLetterCode(letter) : 0;
    if (dagesh && !code) ++*dropped;
    if (!code) code = PlainLetterCode(letter);
  }

  auto take = [&](auto pred) {
    auto it = std::find_if(vowels.begin(), vowels.end(), pred);
    if (it == vowels.end()) return char32_t{0};
    char32_t v = *it;
    vowels.erase(it);
    return v;
  };
  auto isHolam = [](char32_t v) { return v == kHolam || v == kHolamForVav; };

  if (letter == kVav && !dagesh && take(isHolam)) {
    code = kCodeVavHolam;
  } else if (letter == kLamed && take(isHolam)) {
    code = dagesh ? 89 : 90;
  } else if (letter == kFinalKaf) {
    if (char32_t v = take([](char32_t x) { return x == kQamats || x == kSheva; })) {
      code = v == kQamats ? (dagesh ? 17 : 16) : (dagesh ? 19 : 18);
    }
  }

  std::vector<uint8_t> out{code};
  for (char32_t v : vowels) out.push_back(VowelCode(v));
  return out;
}

}  // namespace

EncodeResult EncodeParagraph(std::string_view utf8) {
  EncodeResult result{{}, 0, {}};
  std::u16string u16 = plat::Utf8ToUtf16(utf8);
  std::u32string text;
  for (std::size_t i = 0; i < u16.size(); ++i) {
    char32_t c = u16[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < u16.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (u16[++i] - 0xDC00);
    }
    text.push_back(c);
  }
  const auto len = static_cast<FriBidiStrIndex>(text.size());
  if (len == 0) return result;

  std::vector<FriBidiChar> chars(text.begin(), text.end());
  std::vector<FriBidiCharType> types(len);
  std::vector<FriBidiBracketType> brackets(len);
  std::vector<FriBidiLevel> levels(len);
  fribidi_get_bidi_types(chars.data(), len, types.data());
  fribidi_get_bracket_types(chars.data(), len, types.data(), brackets.data());
  FriBidiParType base = FRIBIDI_PAR_RTL;
  if (!fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), len, &base,
                                           levels.data())) {
    result.error = "the bidirectional algorithm failed";
    return result;
  }

  // Clusters in reading order; mirrored characters take their partner's code
  // where they end up right to left, as the screen shows them.
  std::vector<Cluster> clusters;
  std::vector<int> clusterAt(len, -1);
  for (FriBidiStrIndex i = 0; i < len;) {
    char32_t c = text[i];
    FriBidiStrIndex j = i + 1;
    std::vector<char32_t> marks;
    while (j < len && IsHebrewMark(text[j])) marks.push_back(text[j++]);
    Cluster cl{static_cast<std::size_t>(i), {}};
    if (c >= kAlef && c <= kTav) {
      cl.codes = EncodeLetter(c, marks, &result.droppedMarks);
    } else if (IsHebrewMark(c)) {
      // A mark with no letter before it has nothing to sit on.
      result.droppedMarks += 1 + static_cast<int>(marks.size());
      i = j;
      continue;
    } else {
      FriBidiChar shown = c;
      if (levels[i] & 1) fribidi_get_mirror_char(c, &shown);
      uint8_t code = StandaloneCode(shown);
      if (!code) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "character U+%04X has no code in the reader's text",
                      static_cast<unsigned>(c));
        result.error = buf;
        return result;
      }
      cl.codes.push_back(code);
      result.droppedMarks += static_cast<int>(marks.size());
    }
    clusterAt[i] = static_cast<int>(clusters.size());
    clusters.push_back(std::move(cl));
    i = j;
  }

  std::vector<FriBidiStrIndex> map(len);
  for (FriBidiStrIndex i = 0; i < len; ++i) map[i] = i;
  // No REORDER_NSM: in a right-to-left run a mark stays to the left of its
  // letter, which is where the stored text wants it.
  if (!fribidi_reorder_line(0, types.data(), len, 0, base, levels.data(), nullptr, map.data())) {
    result.error = "the bidirectional algorithm failed";
    return result;
  }

  for (FriBidiStrIndex v = 0; v < len; ++v) {
    FriBidiStrIndex logical = map[v];
    int k = clusterAt[logical];
    if (k < 0) continue;
    const auto& codes = clusters[k].codes;
    if (levels[logical] & 1) {
      result.bytes.insert(result.bytes.end(), codes.rbegin(), codes.rend());
    } else {
      result.bytes.insert(result.bytes.end(), codes.begin(), codes.end());
    }
  }
  return result;
}

namespace {

// Canonical combining classes of the marks the codes produce.
int CombiningClass(char16_t u) {
  switch (u) {
    case 0x5B0: return 10; case 0x5B1: return 11; case 0x5B2: return 12;
    case 0x5B3: return 13; case 0x5B4: return 14; case 0x5B5: return 15;
    case 0x5B6: return 16; case 0x5B7: return 17; case 0x5B8: return 18;
    case 0x5B9: return 19; case 0x5BB: return 20; case 0x5BC: return 21;
    case 0x5C1: return 24; case 0x5C2: return 25;
    default: return 0;
  }
}

void AppendUnit(std::u16string& out, char16_t u) {
  if (const Decomposition* d = FindDecomposition(u)) {
    for (char16_t part : d->units)
      if (part) out += part;
  } else {
    out += u;
  }
}

}  // namespace

std::string DecodeParagraph(const uint8_t* bytes, std::size_t n) {
  // Group the display bytes into clusters: a letter after (to the right of)
  // its vowels. Each cluster's units are kept in reading order.
  std::vector<std::u16string> clusters;
  std::vector<FriBidiChar> shown;  // one character per cluster, for its direction
  auto appendCode = [](std::u16string& out, uint8_t code) {
    if (code < kFirstMappedCode || code > kLastMappedCode) {
      out += static_cast<char16_t>(code);
      return;
    }
    const UnicodePair& p = UnicodeMap[code - kFirstMappedCode];
    // Two-unit codes hold the vowel first in display order.
    if (p.second) AppendUnit(out, p.second);
    AppendUnit(out, p.first);
  };
  for (std::size_t i = 0; i < n;) {
    std::size_t j = i;
    while (j < n && IsVowelCode(bytes[j])) ++j;
    std::size_t last = j < n ? j : n - 1;  // vowels at the very end stand alone
    std::u16string cluster;
    for (std::size_t k = last + 1; k-- > i;) appendCode(cluster, bytes[k]);
    if (cluster.size() > 1) {
      std::stable_sort(cluster.begin() + 1, cluster.end(), [](char16_t a, char16_t b) {
        return CombiningClass(a) < CombiningClass(b);
      });
    }
    uint8_t base = bytes[last];
    bool hebrew = (base >= kFirstMappedCode && base < 32) || (base >= 65 && base <= 90) ||
                  base >= kFirstLetterCode;
    shown.push_back(hebrew ? 0x5D0 : base);
    clusters.push_back(std::move(cluster));
    i = last + 1;
  }

  // Reordering a right-to-left line's display order by the bidirectional
  // algorithm gives back its reading order (Hebrew runs reversed, runs of
  // digits kept), as long as the text has no explicit embeddings.
  const auto len = static_cast<FriBidiStrIndex>(shown.size());
  std::vector<FriBidiCharType> types(len);
  std::vector<FriBidiBracketType> brackets(len);
  std::vector<FriBidiLevel> levels(len);
  std::vector<FriBidiStrIndex> map(len);
  fribidi_get_bidi_types(shown.data(), len, types.data());
  fribidi_get_bracket_types(shown.data(), len, types.data(), brackets.data());
  FriBidiParType base = FRIBIDI_PAR_RTL;
  std::u16string out;
  if (len == 0 ||
      !fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), len, &base,
                                           levels.data())) {
    return plat::Utf16ToUtf8(out);
  }
  for (FriBidiStrIndex i = 0; i < len; ++i) map[i] = i;
  if (!fribidi_reorder_line(0, types.data(), len, 0, base, levels.data(), nullptr, map.data()))
    return plat::Utf16ToUtf8(out);
  for (FriBidiStrIndex v = 0; v < len; ++v) {
    FriBidiStrIndex k = map[v];
    std::u16string cluster = clusters[k];
    if ((levels[k] & 1) && cluster.size() == 1) {
      FriBidiChar m = cluster[0];
      if (fribidi_get_mirror_char(cluster[0], &m) && m < 0x10000) cluster[0] = static_cast<char16_t>(m);
    }
    out += cluster;
  }
  return plat::Utf16ToUtf8(out);
}

std::string HebrewNumeral(int n) {
  if (n < 1 || n > 999) return std::to_string(n);
  std::u16string out;
  int hundreds = n / 100;
  while (hundreds >= 4) {
    out += u'\u05EA';
    hundreds -= 4;
  }
  if (hundreds) out += static_cast<char16_t>(0x5E7 + hundreds - 1);  // qof, resh, shin
  int rest = n % 100;
  if (rest == 15) {
    out += u"\u05D8\u05D5";
  } else if (rest == 16) {
    out += u"\u05D8\u05D6";
  } else {
    static const char16_t kTens[] = u"\0\u05D9\u05DB\u05DC\u05DE\u05E0\u05E1\u05E2\u05E4\u05E6";
    if (rest / 10) out += kTens[rest / 10];
    if (rest % 10) out += static_cast<char16_t>(0x5D0 + rest % 10 - 1);
  }
  return plat::Utf16ToUtf8(out);
}
