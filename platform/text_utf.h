// UTF-8 <-> UTF-16 for the edges of the program (terminal, files, tools).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace plat {

// Unpaired surrogates and malformed UTF-8 become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

// The character at text[i] (of n units) in *c, a lone surrogate as U+FFFD;
// returns the units it takes, 1 or 2.
int32_t DecodeUtf16(const char16_t* text, std::size_t n, std::size_t i, char32_t* c);

// ASCII letters in lower case, everything else as it is: window classes,
// clipboard formats and command-line switches compare so.
constexpr char16_t FoldAscii(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}
// Two zero-terminated strings, equal when their ASCII letters are folded.
bool EqualFoldingAscii(const char16_t* a, const char16_t* b);

}  // namespace plat
