// Device contexts, brushes and pens, and the shapes drawn with them.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/graphics.h"
#include "platform/graphics_internal.h"
#include "platform/memory.h"

namespace plat {

namespace {

Brush g_stockBrushes[] = {
    {MakeColour(0xFF, 0xFF, 0xFF), false, true},  // StockWhiteBrush
    {MakeColour(0xC0, 0xC0, 0xC0), false, true},  // StockLightGrayBrush
    {MakeColour(0x80, 0x80, 0x80), false, true},  // StockGrayBrush
    {MakeColour(0x40, 0x40, 0x40), false, true},  // StockDarkGrayBrush
    {MakeColour(0x00, 0x00, 0x00), false, true},  // StockBlackBrush
    {0, true, true},                              // StockNullBrush
};

Pen g_stockPens[] = {
    {1, MakeColour(0xFF, 0xFF, 0xFF), false, true},  // StockWhitePen
    {1, MakeColour(0x00, 0x00, 0x00), false, true},  // StockBlackPen
    {1, 0, true, true},                              // StockNullPen
};

// What a memory context holds until a bitmap is selected into it, so that
// selecting the replaced bitmap back is always possible. It is never drawn on.
Bitmap g_placeholderBitmap = {{0, 0, nullptr}, true};

// A square of the pen's width around (x, y), as a pen of that width marks.
void PenDot(Surface* s, const Pen* pen, int32_t x, int32_t y) {
  int32_t half = pen->width / 2;
  gfx::FillPixels(s, Rect{x - half, y - half, x - half + pen->width, y - half + pen->width},
                  gfx::ToPixel(pen->colour));
}

}  // namespace

namespace gfx {

Surface* TargetSurface(const DeviceContext* dc) {
  if (!dc) return nullptr;
  if (!dc->memory) return dc->surface;
  if (!dc->bitmap || dc->bitmap->stock || !dc->bitmap->surface.pixels) return nullptr;
  return &dc->bitmap->surface;
}

}  // namespace gfx

// ---- Stock objects, brushes and pens -------------------------------------------

Brush* GetStockBrush(int index) {
  if (index < StockWhiteBrush || index > StockNullBrush) return nullptr;
  return &g_stockBrushes[index];
}

Pen* GetStockPen(int index) {
  if (index < StockWhitePen || index > StockNullPen) return nullptr;
  return &g_stockPens[index - StockWhitePen];
}

Brush* CreateSolidBrush(Colour colour) {
  auto* b = static_cast<Brush*>(MemAlloc(sizeof(Brush)));
  if (!b) return nullptr;
  *b = Brush{colour & 0xFFFFFF, false, false};
  return b;
}

void DeleteBrush(Brush* brush) {
  if (!brush || brush->stock) return;
  gfx::ForgetBrush(brush);
  MemFree(brush);
}

Pen* CreateSolidPen(int32_t width, Colour colour) {
  auto* p = static_cast<Pen*>(MemAlloc(sizeof(Pen)));
  if (!p) return nullptr;
  *p = Pen{width < 1 ? 1 : width, colour & 0xFFFFFF, false, false};
  return p;
}

void DeletePen(Pen* pen) {
  if (!pen || pen->stock) return;
  gfx::ForgetPen(pen);
  MemFree(pen);
}

// ---- Device contexts -----------------------------------------------------------

namespace {

// Every context not yet deleted, for the Forget* operations.
std::vector<DeviceContext*>& LiveContexts() {
  static std::vector<DeviceContext*> live;
  return live;
}

DeviceContext* NewContext(Surface* surface, bool memory) {
  auto* dc = static_cast<DeviceContext*>(MemAlloc(sizeof(DeviceContext)));
  if (!dc) return nullptr;
  *dc = DeviceContext{};
  dc->surface = surface;
  dc->memory = memory;
  dc->bitmap = memory ? &g_placeholderBitmap : nullptr;
  dc->font = GetStockFont(StockSystemFont);
  dc->brush = GetStockBrush(StockWhiteBrush);
  dc->pen = GetStockPen(StockBlackPen);
  dc->textColour = MakeColour(0, 0, 0);
  dc->backColour = MakeColour(0xFF, 0xFF, 0xFF);
  dc->backMode = BackOpaque;
  LiveContexts().push_back(dc);
  return dc;
}

}  // namespace

DeviceContext* CreateSurfaceDC(Surface* surface) {
  if (!surface) return nullptr;
  return NewContext(surface, false);
}

DeviceContext* CreateMemoryDC(DeviceContext*) { return NewContext(nullptr, true); }

void DeleteDC(DeviceContext* dc) {
  if (!dc) return;
  auto& live = LiveContexts();
  live.erase(std::remove(live.begin(), live.end(), dc), live.end());
  MemFree(dc);
}

namespace gfx {

void ForgetFont(const Font* font) {
  for (DeviceContext* dc : LiveContexts())
    if (dc->font == font) dc->font = GetStockFont(StockSystemFont);
}

void ForgetBrush(const Brush* brush) {
  for (DeviceContext* dc : LiveContexts())
    if (dc->brush == brush) dc->brush = GetStockBrush(StockWhiteBrush);
}

void ForgetPen(const Pen* pen) {
  for (DeviceContext* dc : LiveContexts())
    if (dc->pen == pen) dc->pen = GetStockPen(StockBlackPen);
}

void ForgetBitmap(const Bitmap* bitmap) {
  for (DeviceContext* dc : LiveContexts())
    if (dc->bitmap == bitmap) dc->bitmap = &g_placeholderBitmap;
}

}  // namespace gfx

Font* SelectFont(DeviceContext* dc, Font* font) {
  if (!dc || !font) return nullptr;
  return std::exchange(dc->font, font);
}

Brush* SelectBrush(DeviceContext* dc, Brush* brush) {
  if (!dc || !brush) return nullptr;
  return std::exchange(dc->brush, brush);
}

Pen* SelectPen(DeviceContext* dc, Pen* pen) {
  if (!dc || !pen) return nullptr;
  return std::exchange(dc->pen, pen);
}

Bitmap* SelectBitmap(DeviceContext* dc, Bitmap* bitmap) {
  if (!dc || !bitmap || !dc->memory) return nullptr;
  return std::exchange(dc->bitmap, bitmap);
}

Colour SetTextColour(DeviceContext* dc, Colour colour) {
  if (!dc) return 0;
  return std::exchange(dc->textColour, colour & 0xFFFFFF);
}
Colour GetTextColour(const DeviceContext* dc) { return dc ? dc->textColour : 0; }

Colour SetBackColour(DeviceContext* dc, Colour colour) {
  if (!dc) return 0;
  return std::exchange(dc->backColour, colour & 0xFFFFFF);
}
Colour GetBackColour(const DeviceContext* dc) { return dc ? dc->backColour : 0; }

int SetBackMode(DeviceContext* dc, int mode) {
  if (!dc || (mode != BackTransparent && mode != BackOpaque)) return 0;
  return std::exchange(dc->backMode, mode);
}
int GetBackMode(const DeviceContext* dc) { return dc ? dc->backMode : 0; }

// ---- Drawing -------------------------------------------------------------------

void FillRect(DeviceContext* dc, const Rect* rect, Brush* brush) {
  Surface* s = gfx::TargetSurface(dc);
  if (!s || !rect || !brush || brush->null) return;
  gfx::FillPixels(s, *rect, gfx::ToPixel(brush->colour));
}

void DrawRectangle(DeviceContext* dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Surface* s = gfx::TargetSurface(dc);
  if (!s || right <= left || bottom <= top) return;
  const Pen* pen = dc->pen;
  int32_t w = (pen && !pen->null) ? pen->width : 0;
  // The outline lies inside the rectangle; bands wider than half the
  // rectangle simply overlap.
  if (dc->brush && !dc->brush->null)
    gfx::FillPixels(s, Rect{left + w, top + w, right - w, bottom - w},
                    gfx::ToPixel(dc->brush->colour));
  if (w == 0) return;
  const uint32_t pixel = gfx::ToPixel(pen->colour);
  const int32_t bandW = std::min(w, right - left);
  const int32_t bandH = std::min(w, bottom - top);
  const Rect bands[] = {
      {left, top, right, top + bandH},
      {left, bottom - bandH, right, bottom},
      {left, top, left + bandW, bottom},
      {right - bandW, top, right, bottom},
  };
  for (const Rect& band : bands) gfx::FillPixels(s, band, pixel);
}

void MoveTo(DeviceContext* dc, int32_t x, int32_t y) {
  if (!dc) return;
  dc->penX = x;
  dc->penY = y;
}

void LineTo(DeviceContext* dc, int32_t x, int32_t y) {
  if (!dc) return;
  Surface* s = gfx::TargetSurface(dc);
  const Pen* pen = dc->pen;
  const int32_t x0 = dc->penX, y0 = dc->penY;
  dc->penX = x;
  dc->penY = y;
  if (!s || !pen || pen->null || (x0 == x && y0 == y)) return;
  const int64_t half = pen->width / 2;
  if (x0 == x || y0 == y) {
    // Straight lines, all the reader draws, as one rectangle of pen dots
    // from the first point to the last one before the end.
    const int64_t lastX = int64_t{x} - (x > x0) + (x < x0);
    const int64_t lastY = int64_t{y} - (y > y0) + (y < y0);
    const int64_t l = std::min<int64_t>(x0, lastX) - half;
    const int64_t t = std::min<int64_t>(y0, lastY) - half;
    const int64_t r = std::max<int64_t>(x0, lastX) - half + pen->width;
    const int64_t b = std::max<int64_t>(y0, lastY) - half + pen->width;
    // Clamped in 64 bits first: far-off ends do not fit a Rect.
    gfx::FillPixels(s,
                    Rect{static_cast<int32_t>(std::clamp<int64_t>(l, 0, s->width)),
                         static_cast<int32_t>(std::clamp<int64_t>(t, 0, s->height)),
                         static_cast<int32_t>(std::clamp<int64_t>(r, 0, s->width)),
                         static_cast<int32_t>(std::clamp<int64_t>(b, 0, s->height))},
                    gfx::ToPixel(pen->colour));
    return;
  }
  // Any other line: Bresenham, in 64 bits so that far-off ends cannot
  // overflow.
  int64_t px = x0, py = y0;
  const int64_t dx = std::llabs(int64_t{x} - x0), dy = -std::llabs(int64_t{y} - y0);
  const int64_t sx = x0 < x ? 1 : -1, sy = y0 < y ? 1 : -1;
  int64_t err = dx + dy;
  while (px != x || py != y) {
    if (px >= -half && py >= -half && px < s->width + half && py < s->height + half)
      PenDot(s, pen, static_cast<int32_t>(px), static_cast<int32_t>(py));
    const int64_t e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      px += sx;
    }
    if (e2 <= dx) {
      err += dx;
      py += sy;
    }
  }
}

bool CopyBits(DeviceContext* dst, int32_t x, int32_t y, int32_t width, int32_t height,
              DeviceContext* src, int32_t srcX, int32_t srcY, uint32_t rop) {
  if (rop != RopSourceCopy) return false;
  Surface* d = gfx::TargetSurface(dst);
  Surface* s = gfx::TargetSurface(src);
  if (!d || !s) return false;
  if (width <= 0 || height <= 0) return true;
  // Clip in 64 bits: the offsets come from callers' arithmetic.
  int64_t dl = x, dt = y, dr = int64_t{x} + width, db = int64_t{y} + height;
  const int64_t offX = int64_t{srcX} - x, offY = int64_t{srcY} - y;
  dl = std::max({dl, int64_t{0}, -offX});
  dt = std::max({dt, int64_t{0}, -offY});
  dr = std::min({dr, int64_t{d->width}, int64_t{s->width} - offX});
  db = std::min({db, int64_t{d->height}, int64_t{s->height} - offY});
  if (dl >= dr || dt >= db) return true;
  const std::size_t rowBytes = static_cast<std::size_t>(dr - dl) * 4;
  // Copying a surface onto itself: walk rows away from the overlap;
  // memmove handles the overlap within a row.
  const bool upward = d == s && offY < 0;
  for (int64_t i = 0; i < db - dt; ++i) {
    const int64_t row = upward ? db - 1 - i : dt + i;
    uint32_t* to = d->pixels + static_cast<std::size_t>(row) * d->width + dl;
    const uint32_t* from =
        s->pixels + static_cast<std::size_t>(row + offY) * s->width + (dl + offX);
    std::memmove(to, from, rowBytes);
  }
  return true;
}

}  // namespace plat
