// Feeds arbitrary bytes to the text decoder as a packed resource. Each input
// is one container file; the shipped .res files are the seeds.
//
// The resource is loaded from an exactly-sized heap copy, and its stream is
// decoded once more from a copy of just its C bytes, so ASan reports a read
// past either. The output is compared with a plain byte-at-a-time decoder.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "content/text_resource.h"
#include "platform/memory.h"
#include "platform/message_box.h"
#include "platform/resources.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

constexpr uint16_t kFuzzedId = 1001;  // article 1
plat::ResourceRecord g_table[1] = {{plat::ResTypeRawData, kFuzzedId, nullptr, 0}};

uint32_t Word(const uint8_t* p) { return (uint32_t{p[0]} << 8) | p[1]; }

// The stream decoded token by token with every bound checked; stops the
// moment `want` bytes exist. False when the stream ends first, a token is cut
// off, or a back-reference has distance 0 or reaches before the output.
bool ReferenceDecode(const uint8_t* in, size_t n, size_t want, std::vector<uint8_t>* out) {
  out->clear();
  size_t i = 0;
  while (out->size() < want) {
    if (i == n) return false;
    uint8_t c = in[i++];
    if (c >= 0x01 && c <= 0x08) {
      for (int k = 0; k < c; ++k) {
        if (out->size() == want) return true;
        if (i == n) return false;
        out->push_back(in[i++]);
      }
    } else if (c >= 0xC0) {
      out->push_back(' ');
      if (out->size() < want) out->push_back(static_cast<uint8_t>(c ^ 0x80));
    } else if (c >= 0x80) {
      if (i == n) return false;
      uint32_t v = (uint32_t{c} << 8) | in[i++];
      size_t distance = (v >> 3) & 0x7FF;
      size_t length = (v & 7) + 3;
      if (distance == 0 || distance > out->size()) return false;
      for (size_t k = 0; k < length && out->size() < want; ++k) {
        out->push_back((*out)[out->size() - distance]);
      }
    } else {
      out->push_back(c);
    }
  }
  return true;
}

// A decoded text must be exactly the reference's bytes and two zeros.
void CheckDecoded(const TextBuffer& text, const std::vector<uint8_t>& expected) {
  FUZZ_CHECK(text.bytes != nullptr);
  FUZZ_CHECK(text.length == expected.size());
  FUZZ_CHECK(std::memcmp(text.bytes, expected.data(), expected.size()) == 0);
  FUZZ_CHECK(text.bytes[text.length] == 0 && text.bytes[text.length + 1] == 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  plat::SetMessageBoxEcho(false);
  plat::RegisterResourceTable(g_table, 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xFFFFF) return 0;
  auto file = std::make_unique<uint8_t[]>(size);
  if (size) std::memcpy(file.get(), data, size);
  g_table[0].data = file.get();
  g_table[0].size = static_cast<uint32_t>(size);
  const long liveBefore = plat::MemLiveBlocks();

  // Header words L, A, B, C, U. The decoder only starts on a stream that
  // lies inside the file and a decoded length other than 0.
  const uint32_t L = size >= 10 ? Word(file.get()) : 0;
  const uint32_t C = size >= 10 ? Word(file.get() + 6) : 0;
  const uint32_t U = size >= 10 ? Word(file.get() + 8) : 0;
  const bool streamReached = L >= 5 && C != 0 && C <= size - 10 && U != 0;
  std::vector<uint8_t> expected;
  const bool expectText = streamReached && ReferenceDecode(file.get() + 10, C, U, &expected);

  int32_t error = 0;
  TextBuffer text = LoadTextResource(kFuzzedId - 1000, &error);
  std::vector<plat::ShownMessage> shown = plat::TakeShownMessages();
  if (expectText) {
    CheckDecoded(text, expected);
    FUZZ_CHECK(shown.empty());
  } else {
    FUZZ_CHECK(text.bytes == nullptr && text.length == 0);
    FUZZ_CHECK(error >= LoadErrorNotFound && error <= LoadErrorStream);
    // Only a bad stream is reported to the user; a bad header is refused quietly.
    FUZZ_CHECK(shown.size() == (error == LoadErrorStream ? 1u : 0u));
    FUZZ_CHECK(error != LoadErrorStream || streamReached);
  }
  ReleaseText(&text);
  FUZZ_CHECK(plat::MemLiveBlocks() == liveBefore);

  if (streamReached) {
    // The stream alone, so nothing after its C bytes is readable.
    auto stream = std::make_unique<uint8_t[]>(C);
    std::memcpy(stream.get(), file.get() + 10, C);
    TextBuffer direct = DecompressText(stream.get(), C, U, &error);
    plat::TakeShownMessages();
    if (expectText) {
      CheckDecoded(direct, expected);
    } else {
      FUZZ_CHECK(direct.bytes == nullptr && error == LoadErrorStream);
    }
    ReleaseText(&direct);
    FUZZ_CHECK(plat::MemLiveBlocks() == liveBefore);
  }
  return 0;
}
