// The resource source: one text file naming the program's menus, menu
// bars, strings, accelerators, bitmaps and icons, compiled into the bytes
// the platform reads. README.md describes the syntax; resources/program.rsrc
// is the shipped source.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CompiledResource {
  uint16_t type;  // plat::ResourceType
  uint16_t id;
  int line;       // where the source defines it
  std::vector<uint8_t> bytes;
};

// Compiles `text`, read from `path`; art files are named relative to the
// folder of `path`. On failure returns false with "file:line: reason" in
// *error and leaves *out alone.
bool CompileResourceText(const std::string& text, const std::string& path,
                         std::vector<CompiledResource>* out, std::string* error);

// Reads `path` and compiles it as above.
bool CompileResourceFile(const std::string& path, std::vector<CompiledResource>* out,
                         std::string* error);
