// The headless script: parsing its lines, and the platform options that
// choose the screen.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/screen.h"
#include "platform/text_utf.h"

namespace plat {

namespace {

constexpr int32_t kMaxSleep = 600000;

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// A piece of the user's line fit to quote in a message: printable ASCII,
// short.
std::string Quote(std::string_view s) {
  std::string out = "'";
  for (std::size_t i = 0; i < s.size() && i < 40; ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
  }
  if (s.size() > 40) out += "...";
  return out + "'";
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> Words(std::string_view s) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsSpace(s[i])) ++i;
    const std::size_t start = i;
    while (i < s.size() && !IsSpace(s[i])) ++i;
    if (i > start) words.push_back(s.substr(start, i - start));
  }
  return words;
}

// A decimal integer: an optional '-' and digits, nothing else. False when
// it is not one or lies outside [lo, hi].
bool ParseNumber(std::string_view s, int64_t lo, int64_t hi, int64_t* out) {
  bool negative = false;
  if (!s.empty() && s.front() == '-') {
    negative = true;
    s.remove_prefix(1);
  }
  if (s.empty() || s.size() > 12) return false;
  int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (negative) v = -v;
  if (v < lo || v > hi) return false;
  *out = v;
  return true;
}

// Strict UTF-8: no overlong forms, surrogates or values past U+10FFFF.
bool ValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    int n;
    uint32_t c;
    if (b < 0x80) {
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      n = 1;
      c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      n = 2;
      c = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      n = 3;
      c = b & 0x07;
    } else {
      return false;
    }
    if (i + static_cast<std::size_t>(n) >= s.size()) return false;
    for (int k = 1; k <= n; ++k) {
      const auto cont = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((cont & 0xC0) != 0x80) return false;
      c = (c << 6) | (cont & 0x3F);
    }
    if ((n == 2 && c < 0x800) || (n == 3 && c < 0x10000) || c > 0x10FFFF ||
        (c >= 0xD800 && c <= 0xDFFF))
      return false;
    i += static_cast<std::size_t>(n) + 1;
  }
  return true;
}

struct NamedKey {
  const char* name;
  uint32_t code;
};

constexpr NamedKey kKeyNames[] = {
    {"PageDown", KeyPageDown}, {"PageUp", KeyPageUp},   {"Home", KeyHome},
    {"End", KeyEnd},           {"Up", KeyUp},           {"Down", KeyDown},
    {"Left", KeyLeft},         {"Right", KeyRight},     {"Enter", KeyEnter},
    {"Escape", KeyEscape},     {"Esc", KeyEscape},      {"Tab", KeyTab},
    {"Backspace", KeyBackspace}, {"Delete", KeyDelete}, {"Space", KeySpace},
};

// "Ctrl+Alt+D", "PageDown", "F3", "q": the key code and the modifiers.
bool ParseKey(std::string_view name, uint32_t* key, uint32_t* keyState) {
  uint32_t state = 0;
  for (;;) {
    const std::size_t plus = name.find('+');
    if (plus == std::string_view::npos || plus + 1 >= name.size()) break;
    const std::string_view mod = name.substr(0, plus);
    uint32_t bit;
    if (SameWord(mod, "Ctrl") || SameWord(mod, "Control")) {
      bit = KeyStateControl;
    } else if (SameWord(mod, "Alt")) {
      bit = KeyStateAlt;
    } else if (SameWord(mod, "Shift")) {
      bit = KeyStateShift;
    } else {
      return false;
    }
    if (state & bit) return false;
    state |= bit;
    name.remove_prefix(plus + 1);
  }
  if (name.size() == 1) {
    const char c = name[0];
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      *key = static_cast<uint32_t>(c >= 'a' ? c - 32 : c);
    } else if (c >= '0' && c <= '9') {
      *key = static_cast<uint32_t>(c);
    } else {
      return false;
    }
    *keyState = state;
    return true;
  }
  for (const NamedKey& k : kKeyNames) {
    if (SameWord(name, k.name)) {
      *key = k.code;
      *keyState = state;
      return true;
    }
  }
  if (name.size() >= 2 && Lower(name[0]) == 'f') {
    int64_t n = 0;
    if (name[1] != '-' && ParseNumber(name.substr(1), 1, 12, &n)) {
      *key = KeyF1 + static_cast<uint32_t>(n - 1);
      *keyState = state;
      return true;
    }
  }
  return false;
}

std::string LineError(int32_t line, const std::string& what) {
  return "line " + std::to_string(line) + ": " + what;
}

bool ParseSize(std::string_view s, int32_t* width, int32_t* height) {
  const std::size_t x = s.find_first_of("xX");
  if (x == std::string_view::npos) return false;
  int64_t w = 0, h = 0;
  if (!ParseNumber(s.substr(0, x), 0, 1000000, &w) || !ParseNumber(s.substr(x + 1), 0, 1000000, &h))
    return false;
  if (s[0] == '-' || s[x + 1] == '-') return false;
  *width = static_cast<int32_t>(w);
  *height = static_cast<int32_t>(h);
  return true;
}

}  // namespace

bool ParseScript(const std::string& text, int32_t screenWidth, int32_t screenHeight,
                 std::vector<ScriptLine>* lines, std::string* error) {
  std::vector<ScriptLine> out;
  std::string why;
  int32_t number = 0;
  std::size_t at = 0;
  auto fail = [&](const std::string& what) {
    if (error) *error = LineError(number, what);
    return false;
  };
  while (at <= text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string_view raw(text.data() + at, end - at);
    const bool last = end == text.size();
    at = end + 1;
    ++number;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    if (raw.find('\0') != std::string_view::npos) return fail("the line holds a NUL byte");
    const std::string_view line = Trim(raw);
    if (line.empty() || line.front() == '#') {
      if (last) break;
      continue;
    }
    std::size_t wordEnd = 0;
    while (wordEnd < line.size() && !IsSpace(line[wordEnd])) ++wordEnd;
    const std::string_view word = line.substr(0, wordEnd);
    // The rest of the line after the command and one separator, as written.
    std::string_view rest = raw.substr(raw.find(word) + word.size());
    if (!rest.empty()) rest.remove_prefix(1);
    const std::vector<std::string_view> args = Words(line.substr(wordEnd));
    ScriptLine s{};
    s.lineNumber = number;
    auto wantArgs = [&](std::size_t n, const char* usage) -> bool {
      if (args.size() < n) {
        why = std::string(usage);
        return false;
      }
      if (args.size() > n) {
        why = "too many arguments: " + std::string(usage);
        return false;
      }
      return true;
    };
    if (SameWord(word, "key")) {
      if (!wantArgs(1, "key needs one key name, like PageDown or Ctrl+D")) return fail(why);
      s.kind = ScriptKey;
      if (!ParseKey(args[0], &s.key, &s.keyState)) return fail("unknown key " + Quote(args[0]));
    } else if (SameWord(word, "tap")) {
      if (!wantArgs(2, "tap needs X and Y")) return fail(why);
      s.kind = ScriptTap;
      int64_t x = 0, y = 0;
      if (!ParseNumber(args[0], INT32_MIN, INT32_MAX, &x)) return fail(Quote(args[0]) + " is not a number");
      if (!ParseNumber(args[1], INT32_MIN, INT32_MAX, &y)) return fail(Quote(args[1]) + " is not a number");
      if (x < 0 || y < 0 || x >= screenWidth || y >= screenHeight)
        return fail("tap " + std::to_string(x) + " " + std::to_string(y) + " lies outside the " +
                    std::to_string(screenWidth) + "x" + std::to_string(screenHeight) + " screen");
      s.x = static_cast<int32_t>(x);
      s.y = static_cast<int32_t>(y);
    } else if (SameWord(word, "text")) {
      s.kind = ScriptText;
      if (Trim(rest).empty()) return fail("text needs the text to type");
      if (!ValidUtf8(rest)) return fail("the text is not valid UTF-8");
      s.text = Utf8ToUtf16(rest);
    } else if (SameWord(word, "command")) {
      if (!wantArgs(1, "command needs a command number")) return fail(why);
      s.kind = ScriptCommand;
      int64_t id = 0;
      if (!ParseNumber(args[0], 0, 65535, &id)) return fail(Quote(args[0]) + " is not a command number 0..65535");
      s.number = static_cast<int32_t>(id);
    } else if (SameWord(word, "screenshot")) {
      s.kind = ScriptScreenshot;
      const std::string_view path = Trim(rest);
      if (path.empty()) return fail("screenshot needs a file name");
      s.path.assign(path);
    } else if (SameWord(word, "sleep")) {
      if (!wantArgs(1, "sleep needs milliseconds")) return fail(why);
      s.kind = ScriptSleep;
      int64_t ms = 0;
      if (!ParseNumber(args[0], 0, kMaxSleep, &ms))
        return fail(Quote(args[0]) + " is not a number of milliseconds 0.." + std::to_string(kMaxSleep));
      s.number = static_cast<int32_t>(ms);
    } else if (SameWord(word, "quit")) {
      if (!wantArgs(0, "quit takes no argument")) return fail(why);
      s.kind = ScriptQuit;
    } else {
      return fail("unknown command " + Quote(word));
    }
    out.push_back(std::move(s));
    if (last) break;
  }
  if (lines) *lines = std::move(out);
  return true;
}

bool ParsePlatformOptions(int argc, const char* const* argv, PlatformOptions* options,
                          std::vector<std::string>* programArgs, std::string* error) {
  PlatformOptions o;
  std::vector<std::string> others;
  auto fail = [&](const std::string& what) {
    if (error) *error = what;
    return false;
  };
  for (int i = 1; i < argc && argv; ++i) {
    if (!argv[i]) continue;
    const std::string_view a = argv[i];
    if (a.size() < 2 || a.substr(0, 2) != "--") {
      others.emplace_back(a);
      continue;
    }
    const std::size_t eq = a.find('=');
    const std::string_view name = a.substr(0, eq);
    const bool inlineValue = eq != std::string_view::npos;
    auto value = [&](std::string_view* v) -> bool {
      if (inlineValue) {
        *v = a.substr(eq + 1);
        return true;
      }
      if (i + 1 >= argc || !argv[i + 1]) return false;
      *v = argv[++i];
      return true;
    };
    if (name == "--headless") {
      if (inlineValue) return fail("--headless takes no value");
      o.headless = true;
    } else if (name == "--script") {
      std::string_view v;
      if (!value(&v) || v.empty()) return fail("--script needs a file name");
      o.scriptPath.assign(v);
    } else if (name == "--screen") {
      std::string_view v;
      if (!value(&v)) return fail("--screen needs a size WIDTHxHEIGHT, like 240x320");
      int32_t w = 0, h = 0;
      if (!ParseSize(v, &w, &h)) return fail("--screen: " + Quote(v) + " is not a size WIDTHxHEIGHT, like 240x320");
      if (w < kMinScreenSide || h < kMinScreenSide || w > kMaxScreenSide || h > kMaxScreenSide)
        return fail("--screen: each side must be " + std::to_string(kMinScreenSide) + ".." +
                    std::to_string(kMaxScreenSide) + " pixels");
      o.screenWidth = w;
      o.screenHeight = h;
    } else {
      return fail("unknown option " + Quote(name));
    }
  }
  if (!o.scriptPath.empty() && !o.headless) return fail("--script needs --headless");
  if (options) *options = std::move(o);
  if (programArgs) *programArgs = std::move(others);
  return true;
}

}  // namespace plat
