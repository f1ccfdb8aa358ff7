// The records behind the graphics handles, shared by the files of the
// graphics implementation only; nothing outside platform/ includes this.
#pragma once

#include <cstdint>

#include "platform/graphics.h"

namespace plat {

struct Brush {
  Colour colour;
  bool null;   // paints nothing
  bool stock;  // never deleted
};

struct Pen {
  int32_t width;  // >= 1
  Colour colour;
  bool null;
  bool stock;
};

struct Bitmap {
  Surface surface;
  bool stock;  // the placeholder a new memory context holds
};

struct DeviceContext {
  Surface* surface;  // surface contexts; null for memory contexts
  bool memory;
  Bitmap* bitmap;  // memory contexts: the selected bitmap
  Font* font;
  Brush* brush;
  Pen* pen;
  Colour textColour;
  Colour backColour;
  int backMode;
  int32_t penX, penY;
};

namespace gfx {

// Surfaces hold 0x00RRGGBB; the API speaks 0x00BBGGRR. Swapping red and blue
// converts either way.
constexpr uint32_t SwapRedBlue(uint32_t c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
constexpr uint32_t ToPixel(Colour c) { return SwapRedBlue(c) & 0xFFFFFF; }
constexpr Colour FromPixel(uint32_t p) { return SwapRedBlue(p) & 0xFFFFFF; }

// The surface a context draws into: null for a memory context that holds no
// real bitmap, so that it draws nothing.
Surface* TargetSurface(const DeviceContext* dc);

// `r` clipped to the surface; false when nothing of it remains.
bool ClipToSurface(const Surface* s, Rect* r);
// `r` clipped to `bound`; false when nothing remains.
bool Intersect(Rect* r, const Rect& bound);
// The point lies in `r` (its right and bottom edges excluded).
inline bool Contains(const Rect& r, int32_t x, int32_t y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// Fills what lies on the surface of `r` with a pixel value.
void FillPixels(Surface* s, Rect r, uint32_t pixel);

// Gives `s` freshly allocated white pixels; false when the size is not
// allowed or memory runs out (then `s` is left empty).
bool AllocateSurfacePixels(Surface* s, int32_t width, int32_t height);
void ReleaseSurfacePixels(Surface* s);

// An object about to be deleted is taken out of every live context first
// (replaced by the context's default), so that no context keeps a dangling
// selection and drawing after the delete stays safe.
void ForgetFont(const Font* font);
void ForgetBrush(const Brush* brush);
void ForgetPen(const Pen* pen);
void ForgetBitmap(const Bitmap* bitmap);

}  // namespace gfx
}  // namespace plat
