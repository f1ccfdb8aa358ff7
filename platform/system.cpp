#include "platform/system.h"

#include <unistd.h>

#include <string>

#include "platform/text_utf.h"

namespace plat {

PlatformVersion GetPlatformVersion() { return {kPlatformMajorVersion, kPlatformMinorVersion}; }

int32_t ProgramFilePath(char16_t* out, int32_t capacity) {
  if (!out || capacity <= 0) return 0;
  out[0] = 0;
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return 0;
  std::u16string path = Utf8ToUtf16(std::string_view(buf, static_cast<std::size_t>(n)));
  if (path.size() > static_cast<std::size_t>(capacity)) return 0;
  path.copy(out, path.size());
  out[path.size()] = 0;
  return static_cast<int32_t>(path.size());
}

}  // namespace plat
