#include "tools/rc/resource_source.h"

#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <utility>

#include "platform/menu.h"
#include "platform/resources.h"
#include "platform/text_utf.h"
#include "platform/window.h"
#include "tools/rc/pixel_art.h"

namespace {

constexpr uint16_t kNoImage = 0xFFFE;  // a menu-bar button without a picture
constexpr int32_t kIconSide = 32;
constexpr char16_t kLabelSeparator = 8;  // the shortcut label follows it in an item's text

struct Token {
  std::string text;
  bool quoted;
};

enum class Block { Menu, Popup, MenuBar, Strings, Accelerators };

struct OpenBlock {
  Block kind;
  int line;
  std::string name;  // for messages: `menu 102`, `popup "&File"`
  plat::Menu* menu;  // Menu and Popup: the level being filled
};

struct MenuDef {
  uint16_t id;
  int line;
  plat::Menu menu;
};

// Fields in the order the resource holds them.
enum ButtonField { FieldImage, FieldCommand, FieldState, FieldStyle, FieldText, FieldZero, FieldPopup };
struct ButtonDef {
  int line;
  uint16_t fields[7];
};

struct MenuBarDef {
  uint16_t id;
  int line;
  uint16_t menuId;
  std::vector<ButtonDef> buttons;
};

struct StringDef {
  int line;
  std::u16string text;
};

struct AccelDef {
  int line;
  uint16_t flags;
  uint16_t key;
  uint16_t command;
  std::string keys;  // as written, for messages
};

struct AccelTableDef {
  uint16_t id;
  int line;
  std::vector<AccelDef> entries;
};

struct NamedKey {
  const char* name;
  uint16_t code;
};
constexpr NamedKey kNamedKeys[] = {
    {"Backspace", plat::KeyBackspace}, {"Tab", plat::KeyTab},       {"Enter", plat::KeyEnter},
    {"Escape", plat::KeyEscape},       {"Space", plat::KeySpace},   {"PageUp", plat::KeyPageUp},
    {"PageDown", plat::KeyPageDown},   {"End", plat::KeyEnd},       {"Home", plat::KeyHome},
    {"Left", plat::KeyLeft},           {"Up", plat::KeyUp},         {"Right", plat::KeyRight},
    {"Down", plat::KeyDown},           {"Delete", plat::KeyDelete},
};

void Put16(std::vector<uint8_t>* out, uint32_t v) {
  out->push_back(static_cast<uint8_t>(v & 0xFF));
  out->push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool ReadWholeFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text->assign(std::istreambuf_iterator<char>(in), {});
  return true;
}

// Words, and strings in double quotes (escapes \" and \\); '#' outside a
// string starts a comment.
bool Tokenize(const std::string& line, std::vector<Token>* out, std::string* what) {
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (IsSpace(c)) {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      std::string s;
      ++i;
      for (;;) {
        if (i >= line.size()) {
          *what = "string has no closing quote";
          return false;
        }
        const char d = line[i++];
        if (d == '"') break;
        if (d != '\\') {
          s += d;
          continue;
        }
        const char e = i < line.size() ? line[i++] : '\0';
        if (e != '"' && e != '\\') {
          *what = std::string("unknown escape '\\") + e + "' (only \\\" and \\\\)";
          return false;
        }
        s += e;
      }
      if (i < line.size() && !IsSpace(line[i]) && line[i] != '#') {
        *what = "expected a space after the string";
        return false;
      }
      out->push_back({s, true});
    } else {
      std::size_t j = i;
      while (j < line.size() && !IsSpace(line[j]) && line[j] != '#' && line[j] != '"') ++j;
      if (j < line.size() && line[j] == '"') {
        *what = "a quote inside '" + line.substr(i, j - i + 1) + "'";
        return false;
      }
      out->push_back({line.substr(i, j - i), false});
      i = j;
    }
  }
  return true;
}

struct Compiler {
  std::string path;
  std::filesystem::path dir;
  std::string* error;
  int line = 0;

  std::vector<OpenBlock> open;
  std::deque<MenuDef> menus;  // a deque: open blocks point into its menus
  std::vector<MenuBarDef> menuBars;
  std::map<uint16_t, StringDef> strings;
  std::vector<AccelTableDef> accelerators;
  std::vector<CompiledResource> out;
  std::map<std::pair<uint16_t, uint16_t>, int> defined;  // (type, id) -> line

  bool Fail(const std::string& what) {
    *error = path + ":" + std::to_string(line) + ": " + what;
    return false;
  }
  bool FailAt(int at, const std::string& what) {
    line = at;
    return Fail(what);
  }

  // Claims (type, id) for the statement on `at`; a second claim is an error.
  bool Claim(uint16_t type, uint16_t id, const char* kind, int at) {
    auto [it, fresh] = defined.emplace(std::make_pair(type, id), at);
    if (!fresh)
      return FailAt(at, std::string(kind) + " " + std::to_string(id) + " is defined twice (first on line " +
                            std::to_string(it->second) + ")");
    return true;
  }

  void Emit(uint16_t type, uint16_t id, int at, std::vector<uint8_t> bytes) {
    out.push_back({type, id, at, std::move(bytes)});
  }

  // A decimal or 0x-hexadecimal number up to 65535.
  bool Number(const Token& t, uint16_t* v) {
    if (t.quoted) return Fail("expected a number, found the string \"" + t.text + "\"");
    const std::string& s = t.text;
    const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    const std::size_t start = hex ? 2 : 0;
    if (s.size() <= start) return Fail("bad number '" + s + "'");
    uint32_t n = 0;
    for (std::size_t i = start; i < s.size(); ++i) {
      const char c = s[i];
      int digit;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (hex && c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else if (hex && c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
      } else {
        return Fail("bad number '" + s + "'");
      }
      n = n * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
      if (n > 0xFFFF) return Fail("number '" + s + "' is out of range (0..65535)");
    }
    *v = static_cast<uint16_t>(n);
    return true;
  }

  bool Text(const Token& t, std::u16string* v) {
    if (!t.quoted) return Fail("expected a string in double quotes, found '" + t.text + "'");
    std::u16string units = plat::Utf8ToUtf16(t.text);
    if (plat::Utf16ToUtf8(units) != t.text) return Fail("string \"" + t.text + "\" is not valid UTF-8");
    *v = std::move(units);
    return true;
  }

  static bool Is(const Token& t, const char* word) { return !t.quoted && t.text == word; }

  // ---- Statements at the top level ----------------------------------------------------------

  bool TopLevel(const std::vector<Token>& t) {
    const Token& k = t[0];
    if (k.quoted) return Fail("expected a keyword, found the string \"" + k.text + "\"");
    uint16_t id = 0;
    if (k.text == "menu") {
      if (t.size() != 2) return Fail("expected: menu ID");
      if (!Number(t[1], &id) || !Claim(plat::ResTypeMenu, id, "menu", line)) return false;
      menus.push_back({id, line, {}});
      open.push_back({Block::Menu, line, "menu " + std::to_string(id), &menus.back().menu});
      return true;
    }
    if (k.text == "menubar") {
      uint16_t menuId = 0;
      if (t.size() != 4 || !Is(t[2], "menu")) return Fail("expected: menubar ID menu MENU-ID");
      if (!Number(t[1], &id) || !Number(t[3], &menuId)) return false;
      // The program asks for it as raw data; the platform's bar as its own type.
      if (!Claim(plat::ResTypeRawData, id, "menubar", line) ||
          !Claim(plat::ResTypeMenuBar, id, "menubar", line))
        return false;
      menuBars.push_back({id, line, menuId, {}});
      open.push_back({Block::MenuBar, line, "menubar " + std::to_string(id), nullptr});
      return true;
    }
    if (k.text == "strings") {
      if (t.size() != 1) return Fail("expected: strings");
      open.push_back({Block::Strings, line, "strings", nullptr});
      return true;
    }
    if (k.text == "accelerators") {
      if (t.size() != 2) return Fail("expected: accelerators ID");
      if (!Number(t[1], &id) || !Claim(plat::ResTypeAccelerator, id, "accelerators", line)) return false;
      accelerators.push_back({id, line, {}});
      open.push_back({Block::Accelerators, line, "accelerators " + std::to_string(id), nullptr});
      return true;
    }
    if (k.text == "bitmap" || k.text == "icon") return Picture(t);
    if (k.text == "end") return Fail("'end' outside a block");
    return Fail("unknown keyword '" + k.text + "'");
  }

  bool Picture(const std::vector<Token>& t) {
    const bool icon = t[0].text == "icon";
    if (t.size() != 3 || !t[2].quoted) return Fail("expected: " + t[0].text + " ID \"FILE\"");
    uint16_t id = 0;
    if (!Number(t[1], &id)) return false;
    const uint16_t type = icon ? plat::ResTypeIcon : plat::ResTypeBitmap;
    if (!Claim(type, id, t[0].text.c_str(), line)) return false;
    const std::string artPath = (dir / t[2].text).string();
    std::string text;
    if (!ReadWholeFile(artPath, &text)) return Fail("cannot read '" + artPath + "'");
    PixelArt art;
    if (!ParsePixelArt(text, artPath, &art, error)) return false;
    if (icon && (art.pictures != 1 || art.width != kIconSide || art.height != kIconSide))
      return Fail("an icon is one picture of 32 x 32; '" + t[2].text + "' is " +
                  std::to_string(art.pictures) + " of " + std::to_string(art.pictureWidth) + " x " +
                  std::to_string(art.height));
    Emit(type, id, line, EncodeDib4(art));
    return true;
  }

  // ---- Menus -----------------------------------------------------------------------------------

  bool AddItem(plat::MenuItem item) {
    std::vector<plat::MenuItem>& items = open.back().menu->items;
    if (static_cast<int32_t>(items.size()) >= plat::kMaxMenuItems)
      return Fail("more than " + std::to_string(plat::kMaxMenuItems) + " items in " + open.back().name);
    if (static_cast<int32_t>(item.text.size()) > plat::kMaxMenuText)
      return Fail("text longer than " + std::to_string(plat::kMaxMenuText) + " characters");
    items.push_back(std::move(item));
    return true;
  }

  // Trailing `grayed` and `checked` words, from t[from] on.
  bool States(const std::vector<Token>& t, std::size_t from, bool allowChecked, uint32_t* state) {
    for (std::size_t i = from; i < t.size(); ++i) {
      uint32_t bit = 0;
      if (Is(t[i], "grayed")) bit = plat::MenuStateGrayed;
      if (allowChecked && Is(t[i], "checked")) bit = plat::MenuStateChecked;
      if (!bit) return Fail("unexpected '" + t[i].text + "'");
      *state |= bit;
    }
    return true;
  }

  bool MenuStatement(const std::vector<Token>& t) {
    const Token& k = t[0];
    if (Is(k, "separator")) {
      if (t.size() != 1) return Fail("expected: separator");
      plat::MenuItem item{};
      item.separator = true;
      return AddItem(std::move(item));
    }
    if (Is(k, "popup")) {
      plat::MenuItem item{};
      item.popup = true;
      if (t.size() < 2) return Fail("expected: popup \"TEXT\" [grayed]");
      if (!Text(t[1], &item.text) || !States(t, 2, false, &item.state)) return false;
      if (static_cast<int32_t>(open.size()) + 1 > plat::kMaxMenuDepth)
        return Fail("pop-ups nested more than " + std::to_string(plat::kMaxMenuDepth) + " levels deep");
      const std::string name = "popup \"" + t[1].text + "\"";
      if (!AddItem(std::move(item))) return false;
      open.push_back({Block::Popup, line, name, &open.back().menu->items.back().submenu});
      return true;
    }
    if (Is(k, "item")) {
      // item "TEXT" ["LABEL"] COMMAND [grayed] [checked]
      plat::MenuItem item{};
      const bool labelled = t.size() >= 3 && t[2].quoted;
      const std::size_t commandAt = labelled ? 3 : 2;
      if (t.size() <= commandAt) return Fail("expected: item \"TEXT\" [\"SHORTCUT\"] COMMAND [grayed] [checked]");
      if (!Text(t[1], &item.text)) return false;
      if (labelled) {
        std::u16string label;
        if (!Text(t[2], &label)) return false;
        item.text += kLabelSeparator;
        item.text += label;
      }
      if (!Number(t[commandAt], &item.id) || !States(t, commandAt + 1, true, &item.state)) return false;
      if (item.id == 0 && item.text.empty()) return Fail("an item without text or command; write 'separator'");
      return AddItem(std::move(item));
    }
    return Fail(k.quoted ? "expected a keyword, found the string \"" + k.text + "\""
                         : "unknown keyword '" + k.text + "' in " + open.back().name);
  }

  bool CloseMenu() {
    const OpenBlock b = open.back();
    if (b.menu->items.empty()) return FailAt(b.line, b.name + " has no items");
    open.pop_back();
    if (b.kind == Block::Popup) return true;
    const MenuDef& def = menus.back();
    std::vector<uint8_t> bytes;
    if (!plat::EncodeMenu(def.menu, &bytes)) return FailAt(def.line, b.name + " cannot be encoded");
    Emit(plat::ResTypeMenu, def.id, def.line, std::move(bytes));
    return true;
  }

  // ---- Menu bars ------------------------------------------------------------------------------

  bool Button(const std::vector<Token>& t) {
    if (!Is(t[0], "button"))
      return Fail("expected: button command N text STRING-ID popup INDEX state N style N [image N|none]");
    struct Field {
      const char* name;
      ButtonField at;
      bool required;
    };
    static const Field kFields[] = {
        {"image", FieldImage, false}, {"command", FieldCommand, true}, {"state", FieldState, true},
        {"style", FieldStyle, true},  {"text", FieldText, true},       {"popup", FieldPopup, true},
    };
    ButtonDef b{line, {kNoImage, 0, 0, 0, 0, 0, 0}};
    bool given[7] = {};
    if (t.size() % 2 == 0) return Fail("every button field needs a value");
    for (std::size_t i = 1; i < t.size(); i += 2) {
      const Field* f = nullptr;
      for (const Field& candidate : kFields) {
        if (Is(t[i], candidate.name)) f = &candidate;
      }
      if (!f) return Fail("unknown button field '" + t[i].text + "'");
      if (given[f->at]) return Fail("button field '" + t[i].text + "' is given twice");
      given[f->at] = true;
      if (f->at == FieldImage && Is(t[i + 1], "none")) continue;
      if (!Number(t[i + 1], &b.fields[f->at])) return false;
    }
    for (const Field& f : kFields) {
      if (f.required && !given[f.at]) return Fail(std::string("button needs '") + f.name + "'");
    }
    menuBars.back().buttons.push_back(b);
    return true;
  }

  // References to menus and strings are checked once the whole source is read.
  bool FinishMenuBar(const MenuBarDef& bar) {
    const MenuDef* menu = nullptr;
    for (const MenuDef& m : menus) {
      if (m.id == bar.menuId) menu = &m;
    }
    if (!menu) return FailAt(bar.line, "menu " + std::to_string(bar.menuId) + " is not defined");
    std::vector<uint8_t> bytes;
    Put16(&bytes, bar.menuId);
    Put16(&bytes, static_cast<uint32_t>(bar.buttons.size()));
    for (const ButtonDef& b : bar.buttons) {
      const uint16_t popup = b.fields[FieldPopup];
      if (popup >= menu->menu.items.size() || !menu->menu.items[popup].popup)
        return FailAt(b.line, "item " + std::to_string(popup) + " of menu " + std::to_string(bar.menuId) +
                                  " is not a pop-up");
      if (!strings.count(b.fields[FieldText]))
        return FailAt(b.line, "string " + std::to_string(b.fields[FieldText]) + " is not defined");
      for (uint16_t v : b.fields) Put16(&bytes, v);
    }
    Emit(plat::ResTypeRawData, bar.id, bar.line, bytes);
    Emit(plat::ResTypeMenuBar, bar.id, bar.line, std::move(bytes));
    return true;
  }

  // ---- Strings -----------------------------------------------------------------------------------

  bool String(const std::vector<Token>& t) {
    if (t.size() != 2) return Fail("expected: ID \"TEXT\"");
    uint16_t id = 0;
    StringDef s{line, {}};
    if (!Number(t[0], &id) || !Text(t[1], &s.text)) return false;
    if (s.text.size() > 0xFFFF) return Fail("string longer than 65535 units");
    auto [it, fresh] = strings.emplace(id, s);
    if (!fresh)
      return Fail("string " + std::to_string(id) + " is defined twice (first on line " +
                  std::to_string(it->second.line) + ")");
    return true;
  }

  // Blocks of 16: string n is entry n % 16 of block n / 16 + 1.
  void FinishStrings() {
    std::map<uint32_t, int> blocks;  // block -> line of its first string
    for (const auto& [id, s] : strings) blocks.emplace(id / 16u + 1u, s.line);
    const std::u16string missing;
    for (const auto& [block, firstLine] : blocks) {
      std::vector<uint8_t> bytes;
      for (uint32_t entry = 0; entry < 16; ++entry) {
        const auto it = strings.find(static_cast<uint16_t>((block - 1) * 16 + entry));
        const std::u16string& text = it == strings.end() ? missing : it->second.text;
        Put16(&bytes, static_cast<uint32_t>(text.size()));
        for (char16_t u : text) Put16(&bytes, u);
      }
      Emit(plat::ResTypeString, static_cast<uint16_t>(block), firstLine, std::move(bytes));
    }
  }

  // ---- Accelerators -------------------------------------------------------------------------------

  // Ctrl+, Alt+ and Shift+ before a key: A..Z, 0..9, F1..F12 or a named key.
  bool Keys(const Token& t, uint16_t* flags, uint16_t* key) {
    if (t.quoted) return Fail("expected keys such as Ctrl+D, found the string \"" + t.text + "\"");
    *flags = plat::AccelVirtualKey;
    std::string rest = t.text;
    for (std::size_t plus; (plus = rest.find('+')) != std::string::npos;) {
      const std::string mod = rest.substr(0, plus);
      const uint16_t bit = mod == "Ctrl" ? plat::AccelControl
                           : mod == "Alt" ? plat::AccelAlt
                           : mod == "Shift" ? plat::AccelShift
                                            : 0;
      if (!bit) return Fail("unknown modifier '" + mod + "' (Ctrl, Alt or Shift)");
      if (*flags & bit) return Fail("modifier '" + mod + "' is given twice");
      *flags |= bit;
      rest = rest.substr(plus + 1);
    }
    if (rest.size() == 1 && ((rest[0] >= 'A' && rest[0] <= 'Z') || (rest[0] >= '0' && rest[0] <= '9'))) {
      *key = static_cast<uint16_t>(rest[0]);
      return true;
    }
    for (int n = 1; n <= 12; ++n) {
      if (rest == "F" + std::to_string(n)) {
        *key = static_cast<uint16_t>(plat::KeyF1 + n - 1);
        return true;
      }
    }
    for (const NamedKey& k : kNamedKeys) {
      if (rest == k.name) {
        *key = k.code;
        return true;
      }
    }
    return Fail("unknown key '" + rest + "' (letters in capitals, digits, F1..F12 or a named key)");
  }

  bool Accelerator(const std::vector<Token>& t) {
    if (t.size() != 2) return Fail("expected: KEYS COMMAND, such as Ctrl+D 119");
    AccelDef a{line, 0, 0, 0, t[0].text};
    if (!Keys(t[0], &a.flags, &a.key) || !Number(t[1], &a.command)) return false;
    for (const AccelDef& other : accelerators.back().entries) {
      if (other.flags == a.flags && other.key == a.key)
        return Fail(a.keys + " is bound twice (first on line " + std::to_string(other.line) + ")");
    }
    accelerators.back().entries.push_back(a);
    return true;
  }

  bool CloseAccelerators() {
    const AccelTableDef& table = accelerators.back();
    if (table.entries.empty()) return FailAt(table.line, open.back().name + " has no entries");
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i < table.entries.size(); ++i) {
      const AccelDef& a = table.entries[i];
      const bool last = i + 1 == table.entries.size();
      Put16(&bytes, a.flags | (last ? plat::AccelLast : 0));
      Put16(&bytes, a.key);
      Put16(&bytes, a.command);
      Put16(&bytes, 0);
    }
    Emit(plat::ResTypeAccelerator, table.id, table.line, std::move(bytes));
    open.pop_back();
    return true;
  }

  // ---- The whole source ----------------------------------------------------------------------------

  bool Statement(const std::vector<Token>& t) {
    if (open.empty()) return TopLevel(t);
    const bool end = Is(t[0], "end");
    if (end && t.size() != 1) return Fail("nothing may follow 'end'");
    switch (open.back().kind) {
      case Block::Menu:
      case Block::Popup:
        return end ? CloseMenu() : MenuStatement(t);
      case Block::MenuBar:
        if (end) open.pop_back();
        return end || Button(t);
      case Block::Strings:
        if (end) open.pop_back();
        return end || String(t);
      case Block::Accelerators:
        return end ? CloseAccelerators() : Accelerator(t);
    }
    return false;
  }

  bool Compile(const std::string& text) {
    error->clear();
    std::istringstream in(text);
    for (std::string raw; std::getline(in, raw);) {
      ++line;
      std::vector<Token> tokens;
      std::string what;
      if (!Tokenize(raw, &tokens, &what)) return Fail(what);
      if (tokens.empty()) continue;
      if (!Statement(tokens)) return false;
    }
    if (!open.empty()) return FailAt(open.back().line, open.back().name + " has no 'end'");
    for (const MenuBarDef& bar : menuBars) {
      if (!FinishMenuBar(bar)) return false;
    }
    FinishStrings();
    return true;
  }
};

}  // namespace

bool CompileResourceText(const std::string& text, const std::string& path,
                         std::vector<CompiledResource>* out, std::string* error) {
  Compiler c;
  c.path = path;
  c.dir = std::filesystem::path(path).parent_path();
  c.error = error;
  if (!c.Compile(text)) return false;
  *out = std::move(c.out);
  return true;
}

bool CompileResourceFile(const std::string& path, std::vector<CompiledResource>* out,
                         std::string* error) {
  std::string text;
  if (!ReadWholeFile(path, &text)) {
    *error = path + ": cannot be read";
    return false;
  }
  return CompileResourceText(text, path, out, error);
}
