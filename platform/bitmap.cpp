// Bitmaps: surfaces that memory contexts draw into, made blank or from a
// device-independent bitmap. DIB bytes may come from a damaged resource, so
// every offset is checked against the buffer before it is read.
#include <cstring>

#include "platform/graphics.h"
#include "platform/graphics_internal.h"
#include "platform/memory.h"
#include "platform/resources.h"

namespace plat {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;  // 16-bit sizes, 3-byte palette entries
constexpr uint32_t kUncompressed = 0;

uint32_t Le16(const uint8_t* p) { return uint32_t{p[0]} | (uint32_t{p[1]} << 8); }
uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// The info header sizes in use: the original one and its later extensions,
// which only add fields after the ones read here.
bool KnownInfoHeaderSize(uint32_t size) {
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

struct DibLayout {
  int64_t width = 0;
  int64_t height = 0;  // rows, positive
  bool topDown = false;
  uint32_t bitCount = 0;
  const uint8_t* palette = nullptr;
  uint32_t paletteCount = 0;
  uint32_t paletteEntrySize = 4;
  const uint8_t* pixels = nullptr;
  int64_t stride = 0;
};

bool ParseDib(const uint8_t* bytes, std::size_t size, DibLayout* out) {
  if (!bytes) return false;
  std::size_t header = 0;
  bool haveOffset = false;
  uint32_t pixelOffset = 0;
  if (size >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
    if (size < kFileHeaderSize) return false;
    pixelOffset = Le32(bytes + 10);
    haveOffset = true;
    header = kFileHeaderSize;
  }
  if (size - header < 4) return false;
  const uint32_t headerSize = Le32(bytes + header);
  if (headerSize > size - header) return false;
  const uint8_t* h = bytes + header;
  DibLayout d;
  uint32_t planes = 0;
  uint32_t colorsUsed = 0;
  if (headerSize == kCoreHeaderSize) {
    d.width = Le16(h + 4);
    d.height = Le16(h + 6);
    planes = Le16(h + 8);
    d.bitCount = Le16(h + 10);
    d.paletteEntrySize = 3;
  } else if (KnownInfoHeaderSize(headerSize)) {
    d.width = static_cast<int32_t>(Le32(h + 4));
    const int64_t rawHeight = static_cast<int32_t>(Le32(h + 8));
    d.topDown = rawHeight < 0;
    d.height = rawHeight < 0 ? -rawHeight : rawHeight;
    planes = Le16(h + 12);
    d.bitCount = Le16(h + 14);
    if (Le32(h + 16) != kUncompressed) return false;
    colorsUsed = Le32(h + 32);
  } else {
    return false;
  }
  if (planes != 1 || d.width <= 0 || d.height <= 0) return false;
  if (d.width * d.height > MaxSurfacePixels) return false;
  if (d.bitCount != 1 && d.bitCount != 4 && d.bitCount != 8 && d.bitCount != 24) return false;

  if (d.bitCount <= 8) {
    const uint32_t full = 1u << d.bitCount;
    if (colorsUsed > full) return false;
    d.paletteCount = colorsUsed ? colorsUsed : full;
  } else if (colorsUsed > 256) {
    return false;
  }
  // A true-colour image may still carry a (suggested) palette: skip it.
  const uint64_t paletteStart = header + headerSize;
  const uint64_t paletteBytes =
      uint64_t{d.bitCount <= 8 ? d.paletteCount : colorsUsed} * d.paletteEntrySize;
  if (paletteStart + paletteBytes > size) return false;
  d.palette = bytes + paletteStart;

  const uint64_t pixelStart = haveOffset ? pixelOffset : paletteStart + paletteBytes;
  if (pixelStart < paletteStart + paletteBytes || pixelStart > size) return false;
  d.stride = (d.width * d.bitCount + 31) / 32 * 4;
  if (static_cast<uint64_t>(d.stride) * static_cast<uint64_t>(d.height) > size - pixelStart)
    return false;
  d.pixels = bytes + pixelStart;
  *out = d;
  return true;
}

uint32_t PalettePixel(const DibLayout& d, uint32_t index) {
  // An index past the palette is a damaged image, not a reason to read on.
  if (index >= d.paletteCount) return 0;
  const uint8_t* e = d.palette + std::size_t{index} * d.paletteEntrySize;
  return (uint32_t{e[2]} << 16) | (uint32_t{e[1]} << 8) | e[0];
}

Bitmap* NewBitmap(int32_t width, int32_t height) {
  auto* b = static_cast<Bitmap*>(MemAlloc(sizeof(Bitmap)));
  if (!b) return nullptr;
  b->stock = false;
  if (!gfx::AllocateSurfacePixels(&b->surface, width, height)) {
    MemFree(b);
    return nullptr;
  }
  return b;
}

}  // namespace

Bitmap* CreateBitmapFromDib(const uint8_t* bytes, std::size_t size) {
  DibLayout d;
  if (!ParseDib(bytes, size, &d)) return nullptr;
  Bitmap* b = NewBitmap(static_cast<int32_t>(d.width), static_cast<int32_t>(d.height));
  if (!b) return nullptr;
  for (int64_t row = 0; row < d.height; ++row) {
    const uint8_t* src = d.pixels + row * d.stride;
    const int64_t y = d.topDown ? row : d.height - 1 - row;
    uint32_t* dst = b->surface.pixels + y * d.width;
    for (int64_t x = 0; x < d.width; ++x) {
      switch (d.bitCount) {
        case 1:
          dst[x] = PalettePixel(d, (src[x >> 3] >> (7 - (x & 7))) & 1);
          break;
        case 4:
          dst[x] = PalettePixel(d, (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF);
          break;
        case 8:
          dst[x] = PalettePixel(d, src[x]);
          break;
        default: {
          const uint8_t* p = src + x * 3;
          dst[x] = (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
        }
      }
    }
  }
  return b;
}

Bitmap* LoadBitmapResource(uint16_t id) {
  ResourceHandle handle = FindProgramResource(ResTypeBitmap, id);
  const uint8_t* data = LoadProgramResource(handle);
  if (!data) return nullptr;
  return CreateBitmapFromDib(data, ResourceSize(handle));
}

// White, like a new surface.
Bitmap* CreateCompatibleBitmap(DeviceContext*, int32_t width, int32_t height) {
  return NewBitmap(width, height);
}

void DeleteBitmap(Bitmap* bitmap) {
  if (!bitmap || bitmap->stock) return;
  gfx::ForgetBitmap(bitmap);
  gfx::ReleaseSurfacePixels(&bitmap->surface);
  MemFree(bitmap);
}

Size BitmapSize(const Bitmap* bitmap) {
  if (!bitmap || bitmap->stock) return {0, 0};
  return {bitmap->surface.width, bitmap->surface.height};
}

}  // namespace plat
