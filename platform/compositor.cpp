// The screen's picture: every visible window's frame and client, children
// over their parents and later top-level windows over earlier ones, and
// what changed since the picture was last taken.
#include <algorithm>
#include <cstring>

#include "platform/graphics_internal.h"
#include "platform/window_internal.h"

namespace plat {

namespace wm {

namespace {

constexpr uint32_t kDesktopPixel = 0x303030;
constexpr uint32_t kFramePixel = 0xFFFFFF;
constexpr uint32_t kBorderPixel = 0x000000;
constexpr uint32_t kActiveCaptionPixel = 0x1E3C78;
constexpr uint32_t kInactiveCaptionPixel = 0x7A808A;
constexpr int32_t kCaptionFontHeight = 16;
constexpr int32_t kCaptionTextInset = 6;

// Copies `src`, whose top-left lies at (x, y) on the screen, within `clip`.
void Blit(Surface* screen, const Surface& src, int32_t x, int32_t y, Rect clip) {
  if (!src.pixels) return;
  Rect r{x, y, x + src.width, y + src.height};
  if (!gfx::Intersect(&r, clip) || !gfx::ClipToSurface(screen, &r)) return;
  const std::size_t bytes = static_cast<std::size_t>(r.right - r.left) * 4;
  for (int32_t row = r.top; row < r.bottom; ++row) {
    std::memcpy(screen->pixels + static_cast<std::size_t>(row) * screen->width + r.left,
                src.pixels + static_cast<std::size_t>(row - y) * src.width + (r.left - x), bytes);
  }
}

bool CaptionActive(const PlatWindow* w) {
  const PlatWindow* a = TheWorld().active;
  return a == w || (a && a->owner == w && !EnabledChain(w));
}

void ComposeWindow(Surface* screen, PlatWindow* w, int32_t originX, int32_t originY, Rect clip) {
  const int32_t x0 = originX + w->rect.left, y0 = originY + w->rect.top;
  Rect area{x0, y0, originX + w->rect.right, originY + w->rect.bottom};
  if (!gfx::Intersect(&area, clip)) return;
  if (HasFrame(w)) {
    if (w->frameDirty) DrawFrame(w);
    Blit(screen, w->frame, x0, y0, area);
  }
  const Rect c = ClientRectInWindow(w);
  Rect client{x0 + c.left, y0 + c.top, x0 + c.right, y0 + c.bottom};
  if (!gfx::Intersect(&client, area)) return;
  Blit(screen, w->client, x0 + c.left, y0 + c.top, client);
  for (PlatWindow* child : w->children) {
    if (child->style & WinStyleVisible) ComposeWindow(screen, child, x0 + c.left, y0 + c.top, client);
  }
}

}  // namespace

Font* CaptionFont() {
  World& W = TheWorld();
  if (!W.captionFont) {
    FontDescription desc{};
    desc.height = kCaptionFontHeight;
    desc.weight = FontWeightBold;
    W.captionFont = CreateFontFromDescription(&desc);
  }
  return W.captionFont;
}

void DrawFrame(PlatWindow* w) {
  w->frameDirty = false;
  Surface* s = &w->frame;
  if (!s->pixels) return;
  gfx::FillPixels(s, Rect{0, 0, s->width, s->height}, kFramePixel);
  const int32_t b = (w->style & WinStyleBorder) ? kBorderWidth : 0;
  if (b) {
    gfx::FillPixels(s, Rect{0, 0, s->width, b}, kBorderPixel);
    gfx::FillPixels(s, Rect{0, s->height - b, s->width, s->height}, kBorderPixel);
    gfx::FillPixels(s, Rect{0, 0, b, s->height}, kBorderPixel);
    gfx::FillPixels(s, Rect{s->width - b, 0, s->width, s->height}, kBorderPixel);
  }
  if ((w->style & WinStyleCaption) == WinStyleCaption) {
    const Rect bar{b, b, s->width - b, b + kCaptionHeight};
    gfx::FillPixels(s, bar, CaptionActive(w) ? kActiveCaptionPixel : kInactiveCaptionPixel);
    DeviceContext* dc = CreateSurfaceDC(s);
    Font* font = CaptionFont();
    if (dc && font && !w->title.empty()) {
      SelectFont(dc, font);
      SetTextColour(dc, MakeColour(0xFF, 0xFF, 0xFF));
      SetBackMode(dc, BackTransparent);
      const Rect text{bar.left + kCaptionTextInset, bar.top, bar.right - kCaptionTextInset, bar.bottom};
      // Only what fits: glyphs are not clipped to the caption.
      int32_t fit = 0;
      const auto n = static_cast<int32_t>(w->title.size());
      GetTextExtentFit(dc, w->title.c_str(), n, text.right - text.left, &fit, nullptr, nullptr);
      DrawTextInRect(dc, w->title.c_str(), fit, &text, DtLeft | DtVCenter | DtSingleLine | DtNoPrefix);
    }
    DeleteDC(dc);
  }
  DrawBar(w);
}

bool AllocateScreen(int32_t width, int32_t height) {
  World& W = TheWorld();
  Surface fresh{};
  if (!gfx::AllocateSurfacePixels(&fresh, width, height)) return false;
  gfx::ReleaseSurfacePixels(&W.composite);
  gfx::ReleaseSurfacePixels(&W.taken);
  W.composite = fresh;
  W.width = width;
  W.height = height;
  W.changed = true;
  return true;
}

void ReleaseScreen() {
  World& W = TheWorld();
  gfx::ReleaseSurfacePixels(&W.composite);
  gfx::ReleaseSurfacePixels(&W.taken);
  DeleteFont(W.captionFont);
  W.captionFont = nullptr;
}

bool Compose() {
  World& W = TheWorld();
  Surface* screen = &W.composite;
  if (!W.started || !screen->pixels) return false;
  const Rect all{0, 0, screen->width, screen->height};
  gfx::FillPixels(screen, all, kDesktopPixel);
  for (PlatWindow* t : W.topLevels) {
    if (t->style & WinStyleVisible) ComposeWindow(screen, t, 0, 0, all);
  }
  return true;
}

}  // namespace wm

using namespace wm;

const Surface* ScreenSurface() {
  if (!Compose()) return nullptr;
  return &TheWorld().composite;
}

bool WriteScreenshot(const char* path) {
  if (!path || !Compose()) return false;
  return WriteSurfacePng(&TheWorld().composite, path);
}

bool TakeScreenChange(Rect* changed) {
  World& W = TheWorld();
  if (!Compose()) return false;
  const Surface& now = W.composite;
  Surface& taken = W.taken;
  Rect box{now.width, now.height, 0, 0};
  if (taken.width != now.width || taken.height != now.height || !taken.pixels) {
    gfx::ReleaseSurfacePixels(&taken);
    if (!gfx::AllocateSurfacePixels(&taken, now.width, now.height)) return false;
    box = Rect{0, 0, now.width, now.height};
  } else {
    for (int32_t y = 0; y < now.height; ++y) {
      const uint32_t* a = now.pixels + static_cast<std::size_t>(y) * now.width;
      const uint32_t* b = taken.pixels + static_cast<std::size_t>(y) * now.width;
      if (std::memcmp(a, b, static_cast<std::size_t>(now.width) * 4) == 0) continue;
      int32_t l = 0, r = now.width;
      while (a[l] == b[l]) ++l;
      while (a[r - 1] == b[r - 1]) --r;
      box.left = std::min(box.left, l);
      box.right = std::max(box.right, r);
      box.top = std::min(box.top, y);
      box.bottom = y + 1;
    }
  }
  W.changed = false;
  if (box.left >= box.right || box.top >= box.bottom) {
    if (changed) *changed = Rect{0, 0, 0, 0};
    return false;
  }
  // The rows outside the box are the same in both already.
  const std::size_t from = static_cast<std::size_t>(box.top) * now.width;
  std::memcpy(taken.pixels + from, now.pixels + from,
              static_cast<std::size_t>(box.bottom - box.top) * now.width * 4);
  if (changed) *changed = box;
  return true;
}

}  // namespace plat
