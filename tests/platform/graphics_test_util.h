// Helpers shared by the graphics tests: owned surfaces and contexts, fonts by
// name, pictures of small surfaces and ink boxes of drawn text.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/graphics.h"

namespace gfxtest {

struct SurfaceDeleter {
  void operator()(plat::Surface* s) const { plat::DestroySurface(s); }
};
struct DcDeleter {
  void operator()(plat::DeviceContext* dc) const { plat::DeleteDC(dc); }
};
struct FontDeleter {
  void operator()(plat::Font* f) const { plat::DeleteFont(f); }
};
struct BitmapDeleter {
  void operator()(plat::Bitmap* b) const { plat::DeleteBitmap(b); }
};
using SurfacePtr = std::unique_ptr<plat::Surface, SurfaceDeleter>;
using DcPtr = std::unique_ptr<plat::DeviceContext, DcDeleter>;
using FontPtr = std::unique_ptr<plat::Font, FontDeleter>;
using BitmapPtr = std::unique_ptr<plat::Bitmap, BitmapDeleter>;

inline plat::FontDescription Description(const char16_t* face, int32_t height, int32_t weight = 0) {
  plat::FontDescription desc{};
  for (int i = 0; face[i] && i < 31; ++i) desc.faceName[i] = face[i];
  desc.height = height;
  desc.weight = weight;
  return desc;
}

inline FontPtr MakeFont(const char16_t* face, int32_t height, int32_t weight = 0) {
  plat::FontDescription desc = Description(face, height, weight);
  return FontPtr(plat::CreateFontFromDescription(&desc));
}

// A surface drawn as text, one line a row: each colour by its legend
// character, '?' for colours not in the legend.
inline std::string Picture(const plat::Surface* s, const std::map<plat::Colour, char>& legend) {
  std::string out;
  for (int32_t y = 0; y < s->height; ++y) {
    for (int32_t x = 0; x < s->width; ++x) {
      auto it = legend.find(plat::SurfacePixel(s, x, y));
      out += it == legend.end() ? '?' : it->second;
    }
    out += '\n';
  }
  return out;
}

// The smallest rectangle holding every pixel that differs from `background`;
// all zero when there is none.
inline plat::Rect InkBox(const plat::Surface* s, plat::Colour background) {
  plat::Rect box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (int32_t y = 0; y < s->height; ++y) {
    for (int32_t x = 0; x < s->width; ++x) {
      if (plat::SurfacePixel(s, x, y) == background) continue;
      box.left = std::min(box.left, x);
      box.top = std::min(box.top, y);
      box.right = std::max(box.right, x + 1);
      box.bottom = std::max(box.bottom, y + 1);
    }
  }
  if (box.left > box.right) return {0, 0, 0, 0};
  return box;
}

inline bool SamePixels(const plat::Surface* a, const plat::Surface* b) {
  if (a->width != b->width || a->height != b->height) return false;
  for (int32_t i = 0; i < a->width * a->height; ++i) {
    if (a->pixels[i] != b->pixels[i]) return false;
  }
  return true;
}

}  // namespace gfxtest
