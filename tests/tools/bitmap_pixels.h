// A bitmap's pixels for the resource tests, read through the public
// drawing calls rather than the bitmap's insides.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/graphics.h"

// 0x00RRGGBB pixels, top row first.
inline std::vector<uint32_t> BitmapPixels(plat::Bitmap* bitmap) {
  const plat::Size size = plat::BitmapSize(bitmap);
  plat::Surface* s = plat::CreateSurface(size.cx, size.cy);
  if (!s) return {};
  plat::DeviceContext* dc = plat::CreateSurfaceDC(s);
  plat::DeviceContext* mem = plat::CreateMemoryDC(dc);
  plat::Bitmap* old = plat::SelectBitmap(mem, bitmap);
  EXPECT_TRUE(plat::CopyBits(dc, 0, 0, size.cx, size.cy, mem, 0, 0, plat::RopSourceCopy));
  plat::SelectBitmap(mem, old);
  std::vector<uint32_t> pixels(s->pixels, s->pixels + size.cx * size.cy);
  plat::DeleteDC(mem);
  plat::DeleteDC(dc);
  plat::DestroySurface(s);
  return pixels;
}
