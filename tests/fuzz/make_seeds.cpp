// tovanel-fuzz-seeds RES_DIR OUT_DIR
// Decodes every packed resource in RES_DIR into OUT_DIR/seeds/article (the
// walker's seeds: the text and its two trailing zeros, as the reader walks
// it) and makes the folders the fuzz runs write to. The decoder's seeds are
// the .res files themselves. Fails when a shipped resource does not decode.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "content/text_resource.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tovanel-fuzz-seeds RES_DIR OUT_DIR\n");
    return 2;
  }
  const fs::path resDir = argv[1], outDir = argv[2];
  const fs::path seedDir = outDir / "seeds" / "article";
  for (const fs::path& dir : {seedDir, outDir / "corpus" / "decoder",
                              outDir / "corpus" / "article", outDir / "artifacts"}) {
    fs::create_directories(dir);
  }

  int written = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(resDir)) {
    if (entry.path().extension() != ".res") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), {}};
    int32_t error = 0;
    TextBuffer text{nullptr, 0};
    if (file.size() >= 6) {
      const uint32_t L = (uint32_t{file[0]} << 8) | file[1];
      text = UnpackResource(file.data() + 6, L, static_cast<uint32_t>(file.size() - 6), &error);
    }
    if (!text.bytes) {
      std::fprintf(stderr, "tovanel-fuzz-seeds: %s does not decode (error %d)\n",
                   entry.path().c_str(), static_cast<int>(error));
      return 1;
    }
    std::ofstream out(seedDir / entry.path().stem(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(text.bytes), text.length + 2);
    ReleaseText(&text);
    if (!out) {
      std::fprintf(stderr, "tovanel-fuzz-seeds: cannot write into %s\n", seedDir.c_str());
      return 1;
    }
    ++written;
  }
  if (written == 0) {
    std::fprintf(stderr, "tovanel-fuzz-seeds: no .res files in %s\n", resDir.c_str());
    return 1;
  }
  std::printf("%d article seeds in %s\n", written, seedDir.c_str());
  return 0;
}
