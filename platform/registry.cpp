#include "platform/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <new>
#include <string_view>
#include <vector>

#include "platform/text_utf.h"

namespace plat {

namespace {

constexpr char kHeader[] = "REGEDIT4";
constexpr char kRootName[] = "HKEY_CURRENT_USER";

struct Value {
  std::string name;  // UTF-8, "" for the default value
  uint32_t type;
  std::vector<uint8_t> data;
};

struct Key {
  std::string path;  // as first written, UTF-8, without the root
  std::vector<Value> values;
};

// Keys by folded path.
using Store = std::map<std::string, Key>;

void (*g_beforeReplace)() = nullptr;

std::string Fold(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool SameName(std::string_view a, std::string_view b) { return Fold(a) == Fold(b); }

std::string Trim(std::string_view s) {
  std::size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r')) --b;
  return std::string(s.substr(a, b - a));
}

Value* FindValue(Key& key, const std::string& name) {
  for (Value& v : key.values)
    if (SameName(v.name, name)) return &v;
  return nullptr;
}

// A quoted string with \" and \\ escapes, starting at s[*i] == '"'.
bool ParseQuoted(const std::string& s, std::size_t* i, std::string* out) {
  if (*i >= s.size() || s[*i] != '"') return false;
  out->clear();
  for (std::size_t k = *i + 1; k < s.size(); ++k) {
    if (s[k] == '\\') {
      if (++k >= s.size()) return false;
      out->push_back(s[k]);
    } else if (s[k] == '"') {
      *i = k + 1;
      return true;
    } else {
      out->push_back(s[k]);
    }
  }
  return false;
}

bool ParseHexBytes(std::string_view text, std::vector<uint8_t>* out) {
  out->clear();
  std::string t = Trim(text);
  if (t.empty()) return true;
  std::size_t i = 0;
  for (;;) {
    while (i < t.size() && t[i] == ' ') ++i;
    if (i + 2 > t.size() || !isxdigit(static_cast<unsigned char>(t[i])) ||
        !isxdigit(static_cast<unsigned char>(t[i + 1])))
      return false;
    out->push_back(static_cast<uint8_t>(std::stoul(t.substr(i, 2), nullptr, 16)));
    i += 2;
    while (i < t.size() && t[i] == ' ') ++i;
    if (i == t.size()) return true;
    if (t[i] != ',') return false;
    ++i;
  }
}

std::vector<uint8_t> Utf16Bytes(const std::u16string& s) {
  std::vector<uint8_t> out;
  for (char16_t u : s) {
    out.push_back(static_cast<uint8_t>(u & 0xFF));
    out.push_back(static_cast<uint8_t>(u >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

// A value line: "Name"=... or @=...
bool ParseValue(const std::string& line, Value* v) {
  std::size_t i = 0;
  if (line[0] == '@') {
    v->name.clear();
    i = 1;
  } else if (!ParseQuoted(line, &i, &v->name)) {
    return false;
  }
  while (i < line.size() && line[i] == ' ') ++i;
  if (i >= line.size() || line[i] != '=') return false;
  std::string rest = Trim(std::string_view(line).substr(i + 1));
  if (!rest.empty() && rest[0] == '"') {
    std::size_t k = 0;
    std::string text;
    if (!ParseQuoted(rest, &k, &text) || Trim(rest.substr(k)) != "") return false;
    v->type = RegTypeString;
    v->data = Utf16Bytes(Utf8ToUtf16(text));
    return true;
  }
  if (rest.rfind("dword:", 0) == 0) {
    std::string hex = rest.substr(6);
    if (hex.empty() || hex.size() > 8) return false;
    for (char c : hex)
      if (!isxdigit(static_cast<unsigned char>(c))) return false;
    uint32_t n = static_cast<uint32_t>(std::stoul(hex, nullptr, 16));
    v->type = RegTypeNumber;
    v->data = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
               static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 24)};
    return true;
  }
  if (rest.rfind("hex:", 0) == 0) {
    v->type = RegTypeBinary;
    return ParseHexBytes(std::string_view(rest).substr(4), &v->data);
  }
  if (rest.rfind("hex(", 0) == 0) {
    std::size_t close = rest.find("):");
    if (close == std::string::npos || close == 4 || close > 12) return false;
    std::string hex = rest.substr(4, close - 4);
    for (char c : hex)
      if (!isxdigit(static_cast<unsigned char>(c))) return false;
    v->type = static_cast<uint32_t>(std::stoul(hex, nullptr, 16));
    return ParseHexBytes(std::string_view(rest).substr(close + 2), &v->data);
  }
  return false;
}

// Parses the whole file; false when any line is malformed.
bool ParseStore(const std::string& text, Store* store) {
  store->clear();
  std::vector<std::string> lines;
  std::string current;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // A trailing backslash continues a hex list on the next line.
    if (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos) {
      current += line.substr(0, line.size() - 1);
    } else if (!current.empty()) {
      current += Trim(line);
      lines.push_back(current);
      current.clear();
    } else {
      lines.push_back(line);
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (!current.empty()) return false;

  std::size_t first = 0;
  while (first < lines.size() && Trim(lines[first]).empty()) ++first;
  if (first == lines.size()) return true;  // an empty file is an empty store
  std::string header = Trim(lines[first]);
  if (header.rfind("\xEF\xBB\xBF", 0) == 0) header.erase(0, 3);
  if (header != kHeader) return false;

  Key* key = nullptr;
  for (std::size_t n = first + 1; n < lines.size(); ++n) {
    std::string line = Trim(lines[n]);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      if (line.back() != ']') return false;
      std::string path = line.substr(1, line.size() - 2);
      std::string root = kRootName;
      if (!SameName(path.substr(0, root.size()), root)) return false;
      path = path.substr(root.size());
      if (!path.empty() && path[0] != '\\') return false;
      if (!path.empty()) path.erase(0, 1);
      Key& k = (*store)[Fold(path)];
      if (k.path.empty()) k.path = path;
      key = &k;
      continue;
    }
    Value v;
    if (!key || !ParseValue(line, &v)) return false;
    if (Value* old = FindValue(*key, v.name))
      *old = std::move(v);
    else
      key->values.push_back(std::move(v));
  }
  return true;
}

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string HexList(const std::vector<uint8_t>& data) {
  std::string out;
  char buf[4];
  for (std::size_t i = 0; i < data.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", data[i]);
    if (i) out += ',';
    out += buf;
  }
  return out;
}

// Strings are written as text only when they are a well-formed UTF-16
// string with one terminating zero unit; anything else keeps its bytes.
bool AsText(const Value& v, std::string* text) {
  if (v.type != RegTypeString || v.data.size() < 2 || v.data.size() % 2) return false;
  std::u16string s;
  for (std::size_t i = 0; i + 1 < v.data.size(); i += 2)
    s += static_cast<char16_t>(v.data[i] | (v.data[i + 1] << 8));
  if (s.back() != 0) return false;
  s.pop_back();
  if (s.find(u'\0') != std::u16string::npos || s.find(u'\n') != std::u16string::npos ||
      s.find(u'\r') != std::u16string::npos)
    return false;
  *text = Utf16ToUtf8(s);
  return Utf8ToUtf16(*text) == s;
}

std::string FormatStore(const Store& store) {
  std::string out = std::string(kHeader) + "\n";
  for (const auto& [folded, key] : store) {
    out += "\n[" + std::string(kRootName) + (key.path.empty() ? "" : "\\" + key.path) + "]\n";
    for (const Value& v : key.values) {
      out += v.name.empty() ? "@" : Quote(v.name);
      out += '=';
      std::string text;
      if (AsText(v, &text)) {
        out += Quote(text);
      } else if (v.type == RegTypeNumber && v.data.size() == 4) {
        char buf[16];
        uint32_t n = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) |
                     (static_cast<uint32_t>(v.data[3]) << 24);
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        out += buf;
      } else if (v.type == RegTypeBinary) {
        out += "hex:" + HexList(v.data);
      } else {
        char buf[24];
        std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
        out += buf + HexList(v.data);
      }
      out += '\n';
    }
  }
  return out;
}

bool ReadWholeFile(const std::string& path, std::string* text, bool* exists) {
  *exists = false;
  text->clear();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  *exists = true;
  char buf[8192];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return false;
    }
    if (n == 0) break;
    text->append(buf, static_cast<std::size_t>(n));
  }
  close(fd);
  return true;
}

std::string Folder(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

void MakeFolders(const std::string& folder) {
  for (std::size_t i = 1; i <= folder.size(); ++i) {
    if (i == folder.size() || folder[i] == '/') mkdir(folder.substr(0, i).c_str(), 0700);
  }
}

// Moves an unreadable file aside so that it is never overwritten.
void SetAside(const std::string& path) {
  char stamp[32];
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
  std::string aside = path + ".corrupt-" + stamp;
  for (int n = 1; access(aside.c_str(), F_OK) == 0 && n < 100; ++n)
    aside = path + ".corrupt-" + stamp + "-" + std::to_string(n);
  if (rename(path.c_str(), aside.c_str()) == 0) {
    std::fprintf(stderr, "registry: %s could not be read; kept as %s\n", path.c_str(), aside.c_str());
  }
}

// The store as on disk now. A file that does not parse is set aside and
// the store starts empty; false only when the file exists but cannot be
// read, so that nobody writes over what could not be read.
bool LoadStore(Store* store) {
  store->clear();
  std::string path = RegistryFilePath();
  std::string text;
  bool exists = false;
  if (!ReadWholeFile(path, &text, &exists)) return false;
  if (!exists) return true;
  if (!ParseStore(text, store)) {
    SetAside(path);
    store->clear();
  }
  return true;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Replaces the file with `text`: a temporary file in the same folder,
// flushed, then renamed over the old one.
bool ReplaceFile(const std::string& path, const std::string& text) {
  std::string folder = Folder(path);
  std::string temp = path + ".tmp-" + std::to_string(getpid());
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok && g_beforeReplace) g_beforeReplace();
  if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}

// Runs `change` on the store as on disk, under the file's lock, and writes
// the result back. False when the lock or the write fails.
template <typename Change>
bool UpdateStore(Change change) {
  std::string path = RegistryFilePath();
  MakeFolders(Folder(path));
  std::string lockPath = path + ".lock";
  int lock = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock < 0) return false;
  while (flock(lock, LOCK_EX) != 0) {
    if (errno != EINTR) {
      close(lock);
      return false;
    }
  }
  Store store;
  bool ok = LoadStore(&store);
  if (ok) {
    change(store);
    ok = ReplaceFile(path, FormatStore(store));
  }
  flock(lock, LOCK_UN);
  close(lock);
  return ok;
}

std::string KeyPath(const char16_t* path) {
  std::string p = path ? Utf16ToUtf8(path) : "";
  while (!p.empty() && p.back() == '\\') p.pop_back();
  while (!p.empty() && p.front() == '\\') p.erase(0, 1);
  return p;
}

// A key exists when it has a section or any key below it has one: parents
// are implied, as the export format need not list them.
bool KeyExists(const Store& store, const std::string& path) {
  std::string folded = Fold(path);
  if (store.count(folded)) return true;
  auto child = store.lower_bound(folded + "\\");
  return child != store.end() && child->first.rfind(folded + "\\", 0) == 0;
}

}  // namespace

struct RegKey {
  std::string path;  // UTF-8 as asked for
  uint32_t access;
  Store snapshot;    // the file as it was when the key was opened
};

std::string RegistryFilePath() {
  if (const char* explicitPath = std::getenv("TOVANEL_REGISTRY"); explicitPath && *explicitPath)
    return explicitPath;
  std::string base;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config) {
    base = config;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::string(home) + "/.config";
  } else {
    base = "/tmp";
  }
  return base + "/tovanel/registry.reg";
}

void SetRegistryBeforeReplaceHook(void (*hook)()) { g_beforeReplace = hook; }

int32_t RegOpenKey(uintptr_t root, const char16_t* path, uint32_t access, RegKey** key) {
  if (!key) return RegInvalid;
  *key = nullptr;
  if (root != RegRootCurrentUser) return RegInvalid;
  std::string p = KeyPath(path);
  Store store;
  if (!LoadStore(&store)) return RegAccessDenied;
  if (!p.empty() && !KeyExists(store, p)) return RegNotFound;
  *key = new (std::nothrow) RegKey{p, access, std::move(store)};
  return *key ? RegOk : RegInvalid;
}

int32_t RegCreateKey(uintptr_t root, const char16_t* path, uint32_t access, RegKey** key) {
  if (!key) return RegInvalid;
  *key = nullptr;
  if (root != RegRootCurrentUser) return RegInvalid;
  std::string p = KeyPath(path);
  Store store;
  if (!LoadStore(&store)) return RegAccessDenied;
  if (!p.empty() && store.find(Fold(p)) == store.end()) {
    bool ok = UpdateStore([&](Store& s) {
      // Every key on the path exists, as the export format lists them.
      for (std::size_t i = 0; i <= p.size(); ++i) {
        if (i == p.size() || p[i] == '\\') {
          Key& k = s[Fold(p.substr(0, i))];
          if (k.path.empty()) k.path = p.substr(0, i);
        }
      }
    });
    if (!ok || !LoadStore(&store)) return RegWriteFailed;
  }
  *key = new (std::nothrow) RegKey{p, access, std::move(store)};
  return *key ? RegOk : RegInvalid;
}

void RegCloseKey(RegKey* key) { delete key; }

int32_t RegQueryValue(RegKey* key, const char16_t* name, uint32_t* type, uint8_t* data,
                      uint32_t* size) {
  if (!key) return RegInvalid;
  auto it = key->snapshot.find(Fold(key->path));
  if (it == key->snapshot.end()) return RegNotFound;
  Value* v = FindValue(it->second, name ? Utf16ToUtf8(name) : "");
  if (!v) return RegNotFound;
  if (type) *type = v->type;
  const auto needed = static_cast<uint32_t>(v->data.size());
  if (!data) {
    if (size) *size = needed;
    return RegOk;
  }
  if (!size) return RegInvalid;
  if (*size < needed) {
    *size = needed;
    return RegMoreData;
  }
  if (needed) std::memcpy(data, v->data.data(), needed);
  *size = needed;
  return RegOk;
}

int32_t RegSetValue(RegKey* key, const char16_t* name, uint32_t type, const uint8_t* data,
                    uint32_t size) {
  if (!key) return RegInvalid;
  if (key->access != RegAccessAll) return RegAccessDenied;
  if (size && !data) return RegInvalid;
  Value value{name ? Utf16ToUtf8(name) : "", type,
              std::vector<uint8_t>(data, data + size)};
  bool ok = UpdateStore([&](Store& s) {
    Key& k = s[Fold(key->path)];
    if (k.path.empty()) k.path = key->path;
    if (Value* old = FindValue(k, value.name)) {
      old->type = value.type;
      old->data = value.data;
    } else {
      k.values.push_back(value);
    }
    key->snapshot = s;
  });
  return ok ? RegOk : RegWriteFailed;
}

}  // namespace plat
