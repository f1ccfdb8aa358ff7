// tovanel-rc SOURCE OUT_DIR [TYPE:ID...]
// Compiles a resource source (README.md, "Resource sources") and writes one
// file per resource, OUT_DIR/TYPE_ID.bin. With TYPE:ID arguments the source
// must make exactly those resources, so that the build's list of files to
// embed and the source cannot drift apart. Nothing is written on an error.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tools/rc/resource_source.h"

namespace fs = std::filesystem;

namespace {

std::string Name(uint16_t type, uint16_t id) { return std::to_string(type) + ":" + std::to_string(id); }

bool ParseExpected(const std::string& arg, std::pair<uint16_t, uint16_t>* out) {
  const std::size_t colon = arg.find(':');
  if (colon == std::string::npos) return false;
  unsigned long parts[2];
  const std::string texts[2] = {arg.substr(0, colon), arg.substr(colon + 1)};
  for (int i = 0; i < 2; ++i) {
    if (texts[i].empty() || texts[i].size() > 5 ||
        texts[i].find_first_not_of("0123456789") != std::string::npos)
      return false;
    parts[i] = std::stoul(texts[i]);
    if (parts[i] > 0xFFFF) return false;
  }
  *out = {static_cast<uint16_t>(parts[0]), static_cast<uint16_t>(parts[1])};
  return true;
}

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: tovanel-rc SOURCE OUT_DIR [TYPE:ID...]\n");
    return 2;
  }
  const std::string source = argv[1];
  const fs::path outDir = argv[2];
  std::set<std::pair<uint16_t, uint16_t>> expected;
  for (int i = 3; i < argc; ++i) {
    std::pair<uint16_t, uint16_t> key;
    if (!ParseExpected(argv[i], &key)) {
      std::fprintf(stderr, "tovanel-rc: '%s': expected TYPE:ID\n", argv[i]);
      return 2;
    }
    expected.insert(key);
  }

  std::vector<CompiledResource> resources;
  std::string error;
  if (!CompileResourceFile(source, &resources, &error)) {
    std::fprintf(stderr, "tovanel-rc: %s\n", error.c_str());
    return 1;
  }
  if (!expected.empty()) {
    bool same = true;
    std::set<std::pair<uint16_t, uint16_t>> made;
    for (const CompiledResource& r : resources) {
      made.insert({r.type, r.id});
      if (!expected.count({r.type, r.id})) {
        std::fprintf(stderr, "tovanel-rc: %s:%d: makes resource %s, which the build does not list\n",
                     source.c_str(), r.line, Name(r.type, r.id).c_str());
        same = false;
      }
    }
    for (const auto& [type, id] : expected) {
      if (!made.count({type, id})) {
        std::fprintf(stderr, "tovanel-rc: %s: does not make resource %s, which the build lists\n",
                     source.c_str(), Name(type, id).c_str());
        same = false;
      }
    }
    if (!same) return 1;
  }

  // Every file goes to a temporary name first and is renamed only when all
  // were written, so a failure leaves no partial output behind.
  std::error_code ec;
  fs::create_directories(outDir, ec);
  if (ec) {
    std::fprintf(stderr, "tovanel-rc: %s: %s\n", outDir.string().c_str(), ec.message().c_str());
    return 1;
  }
  std::vector<std::pair<fs::path, fs::path>> written;  // temporary, final
  bool ok = true;
  for (const CompiledResource& r : resources) {
    const std::string name = std::to_string(r.type) + "_" + std::to_string(r.id) + ".bin";
    const fs::path final = outDir / name;
    const fs::path temporary = outDir / ("." + name + ".tmp");
    written.push_back({temporary, final});
    if (!WriteFile(temporary, r.bytes)) {
      std::fprintf(stderr, "tovanel-rc: %s: cannot be written\n", temporary.string().c_str());
      ok = false;
      break;
    }
  }
  for (const auto& [temporary, final] : written) {
    if (!ok) {
      fs::remove(temporary, ec);
      continue;
    }
    fs::rename(temporary, final, ec);
    if (ec) {
      std::fprintf(stderr, "tovanel-rc: %s: %s\n", final.string().c_str(), ec.message().c_str());
      fs::remove(temporary, ec);
      ok = false;
    }
  }
  return ok ? 0 : 1;
}
