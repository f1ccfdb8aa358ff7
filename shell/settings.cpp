#include "shell/settings.h"

#include <cstring>
#include <string>

#include "platform/graphics.h"
#include "platform/memory.h"
#include "platform/message_box.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/window.h"
#include "shell/app_globals.h"
#include "view/layout.h"

const char16_t kMakerKey[] = u"software\\Corvanta";
const char16_t kProgramKey[] = u"Software\\Corvanta\\Tovanel (Vowels)";

namespace {

bool g_saved = false;
// Set once LoadSettings has read everything: before that, the values in
// memory were never read and must not replace the stored ones.
bool g_loaded = false;

struct ValueInfo {
  uint32_t type;
  uint32_t size;
};

// Opens `keyPath` for reading and asks for the value's type and size.
plat::RegKey* OpenForValue(const char16_t* keyPath, const char16_t* name, ValueInfo* info) {
  plat::RegKey* key = nullptr;
  if (plat::RegOpenKey(plat::RegRootCurrentUser, keyPath, plat::RegAccessRead, &key) != plat::RegOk)
    return nullptr;
  if (plat::RegQueryValue(key, name, &info->type, nullptr, &info->size) != plat::RegOk) {
    plat::RegCloseKey(key);
    return nullptr;
  }
  return key;
}

// The bytes of a value of `size` bytes in the open `key`, in a buffer with
// `extra` zero bytes after them; closes the key.
uint8_t* ReadOpenValue(plat::RegKey* key, const char16_t* name, uint32_t size, uint32_t extra,
                       uint32_t* sizeOut) {
  auto* buffer = static_cast<uint8_t*>(AllocOrAbort(static_cast<std::size_t>(size) + extra));
  if (!buffer) {
    plat::RegCloseKey(key);
    return nullptr;
  }
  int32_t r = plat::RegQueryValue(key, name, nullptr, buffer, &size);
  plat::RegCloseKey(key);
  if (r != plat::RegOk) {
    plat::MemFree(buffer);
    return nullptr;
  }
  std::memset(buffer + size, 0, extra);
  if (sizeOut) *sizeOut = size;
  return buffer;
}

// A value of the program key, read as above.
uint8_t* ReadValueBytes(const char16_t* name, uint32_t extra, uint32_t* sizeOut) {
  ValueInfo info{};
  plat::RegKey* key = OpenForValue(kProgramKey, name, &info);
  return key ? ReadOpenValue(key, name, info.size, extra, sizeOut) : nullptr;
}

int WriteValue(const char16_t* name, uint32_t type, const uint8_t* data, uint32_t size) {
  plat::RegKey* key = nullptr;
  if (plat::RegCreateKey(plat::RegRootCurrentUser, kProgramKey, plat::RegAccessAll, &key) != plat::RegOk)
    return 0;
  int32_t r = plat::RegSetValue(key, name, type, data, size);
  plat::RegCloseKey(key);
  return r == plat::RegOk ? 1 : 0;
}

}  // namespace

int32_t ReadNumberSetting(const char16_t* keyPath, const char16_t* name, int32_t fallback) {
  ValueInfo info{};
  plat::RegKey* key = OpenForValue(keyPath, name, &info);
  if (!key) return fallback;
  if (info.type == plat::RegTypeNumber) {
    uint8_t bytes[4] = {};
    uint32_t size = sizeof bytes;
    int32_t r = plat::RegQueryValue(key, name, nullptr, bytes, &size);
    plat::RegCloseKey(key);
    if (r != plat::RegOk) return fallback;
    return static_cast<int32_t>(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
                                (static_cast<uint32_t>(bytes[3]) << 24));
  }
  // Any other type is read as UTF-16 digits, with a zero unit after the data.
  uint32_t size = 0;
  uint8_t* buffer = ReadOpenValue(key, name, info.size, 2, &size);
  if (!buffer) return fallback;
  uint32_t value = 0;
  for (uint32_t i = 0; i + 1 < size + 2; i += 2) {
    uint16_t unit = static_cast<uint16_t>(buffer[i] | (buffer[i + 1] << 8));
    if (unit == 0) break;
    value = value * 10 + (unit - 48u);  // unsigned: wraps like the 32-bit original
  }
  plat::MemFree(buffer);
  return static_cast<int32_t>(value);
}

int32_t ReadProgramNumber(const char16_t* name, int32_t fallback) {
  return ReadNumberSetting(kProgramKey, name, fallback);
}

char16_t* ReadProgramString(const char16_t* name) {
  // Room for a terminating zero unit (two when the size is odd).
  return reinterpret_cast<char16_t*>(ReadValueBytes(name, 3, nullptr));
}

uint8_t* ReadProgramBinary(const char16_t* name) { return ReadValueBytes(name, 2, nullptr); }

uint8_t* ReadProgramBinarySized(const char16_t* name, uint8_t* fallback, uint32_t* sizeOut) {
  uint32_t size = 0;
  uint8_t* data = ReadValueBytes(name, 2, &size);
  if (!data) return fallback;
  if (sizeOut) *sizeOut = size;
  return data;
}

void ReadByteStringSetting(const char16_t* name, uint8_t* buffer, int32_t capacity) {
  if (!buffer || capacity <= 0) return;
  uint32_t size = 0;
  uint8_t* data = ReadValueBytes(name, 2, &size);
  if (!data) return;
  if (data[0] != 0) {
    int32_t n = 0;
    while (static_cast<uint32_t>(n) < size && data[n] != 0 && n < capacity - 1) {
      buffer[n] = data[n];
      ++n;
    }
    buffer[n] = 0;
  }
  plat::MemFree(data);
}

int WriteProgramNumber(const char16_t* name, int32_t number) {
  auto n = static_cast<uint32_t>(number);
  const uint8_t bytes[4] = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                            static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 24)};
  return WriteValue(name, plat::RegTypeNumber, bytes, 4);
}

int WriteProgramString(const char16_t* name, const char16_t* text) {
  if (!text) return 0;
  auto bytes = static_cast<uint32_t>((std::char_traits<char16_t>::length(text) + 1) * 2);
  return WriteValue(name, plat::RegTypeString, reinterpret_cast<const uint8_t*>(text), bytes);
}

int WriteProgramByteString(const char16_t* name, const uint8_t* bytes) {
  if (!bytes) return 0;
  auto length = static_cast<uint32_t>(std::strlen(reinterpret_cast<const char*>(bytes)) + 1);
  return WriteValue(name, plat::RegTypeBinary, bytes, length);
}

int WriteProgramBinary(const char16_t* name, const uint8_t* bytes, uint32_t length) {
  return WriteValue(name, plat::RegTypeBinary, bytes, length);
}

void LoadBookmarks() {
  uint32_t size = 0;
  // Two zero bytes follow the stored data, so a list stored without its
  // terminating unit still ends inside the buffer.
  auto* data = reinterpret_cast<uint16_t*>(ReadValueBytes(u"Bookmarks", 3, &size));
  FreeBookmarks();
  if (!data) {
    g_app.bookmarkCount = 0;
    return;
  }
  uint32_t units = size / 2;
  // A trailing odd byte is half a unit: the list ends before it.
  data[units] = 0;
  g_app.bookmarkCount = static_cast<uint16_t>(units > 0 ? units - 1 : 0);
  g_app.bookmarks = data;
}

void SaveBookmarks() {
  static const uint8_t kNone[2] = {0, 0};
  if (!g_app.bookmarks) {
    WriteProgramBinary(u"Bookmarks", kNone, 2);
    return;
  }
  WriteProgramBinary(u"Bookmarks", reinterpret_cast<const uint8_t*>(g_app.bookmarks),
                     (static_cast<uint32_t>(g_app.bookmarkCount) + 1) * 2);
}

void FreeBookmarks() {
  plat::MemFree(g_app.bookmarks);
  g_app.bookmarks = nullptr;
}

int IsBookmarked() {
  if (!g_app.bookmarks) return 0;
  for (const uint16_t* b = g_app.bookmarks; *b; ++b)
    if (*b == g_app.currentArticle) return 1;
  return 0;
}

void LoadSettings() {
  g_loaded = false;
  char16_t path[kProgramPathUnits + 1] = {};
  if (plat::ProgramFilePath(path, kProgramPathUnits) > 0 && path[0])
    WriteProgramString(u"Program Path", path);

  if (char16_t* face = ReadProgramString(u"FontName")) {
    if (face[0]) {
      int n = 0;
      for (; n < 31 && face[n]; ++n) g_app.fontChoice.faceName[n] = face[n];
      g_app.fontChoice.faceName[n] = 0;
    }
    plat::MemFree(face);
  }
  if (g_saved) return;  // memory ran out: the program is ending
  ReadByteStringSetting(u"SearchString", g_app.searchString, kSearchStringBytes);
  if (g_saved) return;
  g_app.fontChoice.size = ReadProgramNumber(u"FontSize", 0);
  g_app.fontChoice.asciiBase = ReadProgramNumber(u"FontAsciiBase", kAsciiBaseUnicode);
  g_app.savedTopLine = static_cast<uint16_t>(ReadProgramNumber(u"LastPosition", 0));
  g_app.displayFlags = static_cast<uint32_t>(
      ReadProgramNumber(u"Flags", static_cast<int32_t>(kDefaultDisplayFlags)));
  g_app.currentArticle = static_cast<uint16_t>(ReadProgramNumber(u"Lesson", 0));
  if (g_saved) return;
  for (int i = 0; i < kRowBitmapCount; ++i)
    g_app.rowBitmaps[i] = plat::LoadBitmapResource(static_cast<uint16_t>(kRowBitmapFirstId + i));
  g_app.bookmarks = nullptr;
  LoadBookmarks();
  if (g_saved) return;
  g_loaded = true;
}

void SaveSettingsAndQuit() {
  if (g_saved) return;
  g_saved = true;
  for (plat::Bitmap*& bitmap : g_app.rowBitmaps) {
    plat::DeleteBitmap(bitmap);
    bitmap = nullptr;
  }
  if (g_loaded) {
    if (g_app.searchString[0]) WriteProgramByteString(u"SearchString", g_app.searchString);
    if (g_app.fontChoice.faceName[0]) WriteProgramString(u"FontName", g_app.fontChoice.faceName);
    if (g_app.fontChoice.size) WriteProgramNumber(u"FontSize", g_app.fontChoice.size);
    if (g_app.fontChoice.asciiBase) WriteProgramNumber(u"FontAsciiBase", g_app.fontChoice.asciiBase);
    if (g_app.view) WriteProgramNumber(u"LastPosition", g_app.view->topLine);
    WriteProgramNumber(u"Flags", static_cast<int32_t>(g_app.displayFlags));
    if (g_app.currentArticle) WriteProgramNumber(u"Lesson", g_app.currentArticle);
  }
  if (g_app.view) {
    DestroyView(g_app.view, true);
    g_app.view = nullptr;
  }
  if (g_loaded) SaveBookmarks();
  FreeBookmarks();
  plat::RequestQuit(0);
}

void* AllocOrAbort(std::size_t n) {
  if (void* block = plat::MemAlloc(n)) return block;
  // The program is already ending: say it once.
  if (g_saved) return nullptr;
  plat::ShowMessageBox(nullptr, u"There is not enough memory, aborting", u"Error",
                       plat::MsgBoxOk | plat::MsgBoxIconError);
  SaveSettingsAndQuit();
  return nullptr;
}

void ResetSettingsStoreForTest() {
  g_saved = false;
  g_loaded = false;
}
