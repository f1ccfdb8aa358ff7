// UTF-8 <-> UTF-16 for the edges of the program (terminal, files, tools).
#pragma once

#include <string>
#include <string_view>

namespace plat {

// Unpaired surrogates and malformed UTF-8 become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace plat
