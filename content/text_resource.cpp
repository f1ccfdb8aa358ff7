#include "content/text_resource.h"

#include <cstring>

#include "platform/memory.h"
#include "platform/message_box.h"
#include "platform/resources.h"

namespace {

constexpr uint32_t kContainerHeader = 6;
constexpr uint32_t kPayloadHeader = 4;

void StoreError(int32_t* errorOut, int32_t code) {
  if (errorOut) *errorOut = code;
}

uint32_t ReadBigEndian16(const uint8_t* p) { return (uint32_t{p[0]} << 8) | p[1]; }

// Decodes into out[0..U). Returns the number of bytes produced, or a value
// other than U when the stream ran dry or is malformed (a literal run or a
// back-reference cut off by the end of the input, or a back-reference that
// reaches before the start of the output or has distance 0).
//
// The loop runs a check-free fast path while at least 10 output bytes and 9
// input bytes remain, then falls back to the byte-exact slow path, which
// stops the moment U bytes exist.
uint32_t DecodeStream(const uint8_t* in, uint32_t C, uint8_t* out, uint32_t U) {
  uint32_t ip = 0;
  uint32_t op = 0;

  while (ip + 9 <= C && op + 10 <= U) {
    uint32_t c = in[ip++];
    if (c >= 0x09 && c <= 0x7F) {
      out[op++] = static_cast<uint8_t>(c);
    } else if (c == 0) {
      out[op++] = 0;
    } else if (c <= 0x08) {
      std::memcpy(out + op, in + ip, c);
      ip += c;
      op += c;
    } else if (c >= 0xC0) {
      out[op++] = 0x20;
      out[op++] = static_cast<uint8_t>(c ^ 0x80);
    } else {
      uint32_t v = (c << 8) | in[ip++];
      uint32_t distance = (v >> 3) & 0x7FF;
      uint32_t length = (v & 7) + 3;
      if (distance == 0 || distance > op) return op;
      const uint8_t* from = out + op - distance;
      uint8_t* to = out + op;
      if (distance >= length) {
        std::memcpy(to, from, length);
      } else {
        for (uint32_t k = 0; k < length; ++k) to[k] = from[k];
      }
      op += length;
    }
  }

  while (op < U && ip < C) {
    uint32_t c = in[ip++];
    if (c == 0 || (c >= 0x09 && c <= 0x7F)) {
      out[op++] = static_cast<uint8_t>(c);
    } else if (c <= 0x08) {
      for (uint32_t k = 0; k < c; ++k) {
        if (op == U) return op;
        if (ip == C) return op;  // run cut off by the end of the input
        out[op++] = in[ip++];
      }
    } else if (c >= 0xC0) {
      out[op++] = 0x20;
      if (op == U) return op;
      out[op++] = static_cast<uint8_t>(c ^ 0x80);
    } else {
      if (ip == C) return op;
      uint32_t v = (c << 8) | in[ip++];
      uint32_t distance = (v >> 3) & 0x7FF;
      uint32_t length = (v & 7) + 3;
      if (distance == 0 || distance > op) return op;
      for (uint32_t k = 0; k < length && op < U; ++k, ++op) out[op] = out[op - distance];
    }
  }
  return op;
}

}  // namespace

TextBuffer DecompressText(const uint8_t* input, uint32_t C, uint32_t U, int32_t* errorOut) {
  if (U == 0) {
    StoreError(errorOut, LoadErrorEmpty);
    return {nullptr, 0};
  }
  auto* out = static_cast<uint8_t*>(plat::MemAlloc(U + 2));
  if (!out) {
    StoreError(errorOut, LoadErrorNoData);
    return {nullptr, 0};
  }
  if (DecodeStream(input, C, out, U) != U) {
    plat::MemFree(out);
    plat::ShowMessageBox(nullptr, u"UnCompress() buffer error!", nullptr, plat::MsgBoxOk);
    StoreError(errorOut, LoadErrorStream);
    return {nullptr, 0};
  }
  // Both bytes after the text are zero: readers that scan for terminators
  // stop inside the buffer even when the text itself is malformed.
  out[U] = 0;
  out[U + 1] = 0;
  return {out, U};
}

TextBuffer UnpackResource(const uint8_t* payload, uint32_t L, uint32_t available,
                          int32_t* errorOut) {
  if (L < 5 || available < kPayloadHeader) {
    StoreError(errorOut, LoadErrorBadHeader);
    return {nullptr, 0};
  }
  uint32_t C = ReadBigEndian16(payload);
  uint32_t U = ReadBigEndian16(payload + 2);
  // A stream said to be longer than the resource is refused rather than read
  // past its end.
  if (C == 0 || C > available - kPayloadHeader) {
    StoreError(errorOut, LoadErrorBadHeader);
    return {nullptr, 0};
  }
  return DecompressText(payload + kPayloadHeader, C, U, errorOut);
}

TextBuffer LoadTextResource(int32_t number, int32_t* errorOut) {
  if (number < 1) return {nullptr, 0};
  // Unsigned, so that a huge number wraps like every other instead of overflowing.
  auto id = static_cast<uint16_t>(static_cast<uint32_t>(number) + 1000u);
  plat::ResourceHandle res = plat::FindProgramResource(plat::ResTypeRawData, id);
  if (!res.record) {
    StoreError(errorOut, LoadErrorNotFound);
    return {nullptr, 0};
  }
  uint32_t size = plat::ResourceSize(res);
  const uint8_t* data = size ? plat::LoadProgramResource(res) : nullptr;
  if (!data) {
    StoreError(errorOut, LoadErrorNoData);
    return {nullptr, 0};
  }
  if (size < kContainerHeader) {
    StoreError(errorOut, LoadErrorBadHeader);
    return {nullptr, 0};
  }
  uint32_t L = ReadBigEndian16(data);
  return UnpackResource(data + kContainerHeader, L, size - kContainerHeader, errorOut);
}

void ReleaseText(TextBuffer* text) {
  if (!text) return;
  plat::MemFree(text->bytes);
  text->bytes = nullptr;
  text->length = 0;
}
