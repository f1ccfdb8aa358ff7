// Surfaces: owned 0x00RRGGBB pixel arrays, and their PNG form.
#include <png.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "platform/graphics.h"
#include "platform/graphics_internal.h"
#include "platform/memory.h"

namespace plat {

namespace gfx {

bool AllocateSurfacePixels(Surface* s, int32_t width, int32_t height) {
  s->width = 0;
  s->height = 0;
  s->pixels = nullptr;
  if (width <= 0 || height <= 0) return false;
  const int64_t count = int64_t{width} * height;
  if (count > MaxSurfacePixels) return false;
  auto* pixels = static_cast<uint32_t*>(MemAlloc(static_cast<std::size_t>(count) * 4));
  if (!pixels) return false;
  std::fill(pixels, pixels + count, 0xFFFFFFu);
  s->width = width;
  s->height = height;
  s->pixels = pixels;
  return true;
}

void ReleaseSurfacePixels(Surface* s) {
  MemFree(s->pixels);
  s->pixels = nullptr;
  s->width = 0;
  s->height = 0;
}

bool Intersect(Rect* r, const Rect& b) {
  if (r->left < b.left) r->left = b.left;
  if (r->top < b.top) r->top = b.top;
  if (r->right > b.right) r->right = b.right;
  if (r->bottom > b.bottom) r->bottom = b.bottom;
  return r->left < r->right && r->top < r->bottom;
}

bool ClipToSurface(const Surface* s, Rect* r) {
  if (!s || !s->pixels) return false;
  return Intersect(r, Rect{0, 0, s->width, s->height});
}

void FillPixels(Surface* s, Rect r, uint32_t pixel) {
  if (!ClipToSurface(s, &r)) return;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    uint32_t* row = s->pixels + static_cast<std::size_t>(y) * s->width;
    for (int32_t x = r.left; x < r.right; ++x) row[x] = pixel;
  }
}

}  // namespace gfx

Surface* CreateSurface(int32_t width, int32_t height) {
  auto* s = static_cast<Surface*>(MemAlloc(sizeof(Surface)));
  if (!s) return nullptr;
  if (!gfx::AllocateSurfacePixels(s, width, height)) {
    MemFree(s);
    return nullptr;
  }
  return s;
}

void DestroySurface(Surface* surface) {
  if (!surface) return;
  gfx::ReleaseSurfacePixels(surface);
  MemFree(surface);
}

Colour SurfacePixel(const Surface* surface, int32_t x, int32_t y) {
  if (!surface || !surface->pixels || x < 0 || y < 0 || x >= surface->width || y >= surface->height)
    return 0;
  return gfx::FromPixel(surface->pixels[static_cast<std::size_t>(y) * surface->width + x]);
}

// libpng's simplified interface does its own error recovery, so no setjmp
// crosses this C++ code.
bool WriteSurfacePng(const Surface* surface, const char* path) {
  if (!surface || !surface->pixels || !path) return false;
  std::vector<uint8_t> rgb;
  try {
    rgb.resize(static_cast<std::size_t>(surface->width) * surface->height * 3);
  } catch (const std::bad_alloc&) {
    return false;
  }
  const std::size_t count = static_cast<std::size_t>(surface->width) * surface->height;
  for (std::size_t i = 0; i < count; ++i) {
    uint32_t p = surface->pixels[i];
    rgb[i * 3] = static_cast<uint8_t>(p >> 16);
    rgb[i * 3 + 1] = static_cast<uint8_t>(p >> 8);
    rgb[i * 3 + 2] = static_cast<uint8_t>(p);
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(surface->width);
  image.height = static_cast<png_uint_32>(surface->height);
  image.format = PNG_FORMAT_RGB;
  int ok = png_image_write_to_file(&image, path, 0, rgb.data(), 0, nullptr);
  png_image_free(&image);
  return ok != 0;
}

Surface* ReadSurfacePng(const char* path) {
  if (!path) return nullptr;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path)) {
    png_image_free(&image);
    return nullptr;
  }
  if (image.width == 0 || image.height == 0 || image.width > INT32_MAX ||
      image.height > INT32_MAX || int64_t{image.width} * int64_t{image.height} > MaxSurfacePixels) {
    png_image_free(&image);
    return nullptr;
  }
  // Whatever the stored form (grey, palette, with alpha), read 8-bit RGB;
  // transparency is composed over white, the colour of a new surface.
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb;
  try {
    rgb.resize(PNG_IMAGE_SIZE(image));
  } catch (const std::bad_alloc&) {
    png_image_free(&image);
    return nullptr;
  }
  png_color white{255, 255, 255};
  if (!png_image_finish_read(&image, &white, rgb.data(), 0, nullptr)) {
    png_image_free(&image);
    return nullptr;
  }
  png_image_free(&image);
  Surface* s = CreateSurface(static_cast<int32_t>(image.width), static_cast<int32_t>(image.height));
  if (!s) return nullptr;
  const std::size_t count = static_cast<std::size_t>(s->width) * s->height;
  for (std::size_t i = 0; i < count; ++i) {
    s->pixels[i] = (uint32_t{rgb[i * 3]} << 16) | (uint32_t{rgb[i * 3 + 1]} << 8) | rgb[i * 3 + 2];
  }
  return s;
}

}  // namespace plat
