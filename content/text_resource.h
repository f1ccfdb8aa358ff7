// Compressed text resources: the twelve articles and the contents list,
// each an LZ77 stream in a small container, decoded into one buffer.
#pragma once

#include <cstdint>

constexpr int32_t ContentsResourceNumber = 31767;  // resource id 32767
constexpr int32_t kArticleCount = 12;

enum LoadError : int32_t {
  LoadErrorNotFound = 1,   // no such resource
  LoadErrorNoData = 2,     // empty or unloadable resource, or no memory
  LoadErrorBadHeader = 3,  // payload length < 5, compressed length 0 or too long
  LoadErrorEmpty = 4,      // decompressed length 0
  LoadErrorStream = 5,     // the stream did not produce exactly U bytes
};

// A decoded text: `length` bytes followed by two zero bytes, so that a walk
// that looks for terminators always finds one inside the buffer. Owned by
// the caller, released with ReleaseText (the general allocator).
struct TextBuffer {
  uint8_t* bytes;
  uint32_t length;
};

// Loads article `number` (1..12) or the contents list. Returns a buffer with
// bytes == nullptr on failure, storing the reason in *errorOut when given
// (nothing is stored for a number below 1 or on success).
TextBuffer LoadTextResource(int32_t number, int32_t* errorOut);

// `payload` is the container after its 6-byte header; `available` is how
// many payload bytes really exist, so a header that claims more cannot make
// the decoder read past the resource.
TextBuffer UnpackResource(const uint8_t* payload, uint32_t L, uint32_t available,
                          int32_t* errorOut);

// Decodes `C` stream bytes into exactly `U` bytes.
TextBuffer DecompressText(const uint8_t* input, uint32_t C, uint32_t U, int32_t* errorOut);

void ReleaseText(TextBuffer* text);
