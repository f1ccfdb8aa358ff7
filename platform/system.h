// System queries: the program file, the platform's version.
#pragma once

#include <cstdint>

namespace plat {

// The platform version the reader sees: 4.20.
constexpr int32_t kPlatformMajorVersion = 4;
constexpr int32_t kPlatformMinorVersion = 20;

struct PlatformVersion {
  int32_t major;
  int32_t minor;
};
PlatformVersion GetPlatformVersion();

// The program file's full path in `out` (at most `capacity` units and a
// terminating zero); returns the number of units, 0 when unknown or longer.
int32_t ProgramFilePath(char16_t* out, int32_t capacity);

}  // namespace plat
