// The vertical scroll bar the platform draws at a window's right edge: its
// range and position, its geometry and picture, and what the stylus and the
// wheel do on it.
#include <algorithm>
#include <cstdlib>

#include "platform/graphics_internal.h"
#include "platform/window_internal.h"

namespace plat {

namespace wm {

namespace {

constexpr int32_t kMinThumb = 8;

constexpr uint32_t kTrackPixel = 0xE8E8E8;
constexpr uint32_t kButtonPixel = 0xC8C8C8;
constexpr uint32_t kPressedPixel = 0x909090;
constexpr uint32_t kEdgePixel = 0x606060;
constexpr uint32_t kArrowPixel = 0x000000;
constexpr uint32_t kDisabledArrowPixel = 0xA0A0A0;

struct BarGeometry {
  Rect bar, up, down;
  int32_t trackTop, trackBottom;
  int32_t thumbTop, thumbLength;  // thumbLength 0: no thumb
};

// The last position the thumb can take: a page's worth before the end.
int32_t MaxPos(const ScrollBarState& s) {
  const int64_t m = int64_t{s.max} - (s.page > 0 ? int64_t{s.page} - 1 : 0);
  return static_cast<int32_t>(std::max<int64_t>(m, s.min));
}

int32_t ThumbTopFor(const BarGeometry& g, const ScrollBarState& s, int32_t pos) {
  const int64_t span = int64_t{MaxPos(s)} - s.min;
  const int32_t room = g.trackBottom - g.trackTop - g.thumbLength;
  if (span <= 0 || room <= 0) return g.trackTop;
  const int64_t at = std::clamp<int64_t>(int64_t{pos} - s.min, 0, span);
  return g.trackTop + static_cast<int32_t>(at * room / span);
}

BarGeometry Geometry(const PlatWindow* w, bool dragPosition) {
  BarGeometry g{};
  g.bar = BarRect(w);
  const int32_t h = g.bar.bottom - g.bar.top;
  const int32_t arrow = std::min(kScrollArrowHeight, h / 2);
  g.up = Rect{g.bar.left, g.bar.top, g.bar.right, g.bar.top + arrow};
  g.down = Rect{g.bar.left, g.bar.bottom - arrow, g.bar.right, g.bar.bottom};
  g.trackTop = g.up.bottom;
  g.trackBottom = g.down.top;
  const ScrollBarState& s = w->vbar;
  const int32_t track = g.trackBottom - g.trackTop;
  if (!BarUsable(s) || track <= 0) return g;
  int64_t length = kScrollArrowHeight;  // without a page, a square thumb
  if (s.page > 0) {
    const int64_t range = int64_t{s.max} - s.min + 1;
    length = std::max<int64_t>(kMinThumb, track * int64_t{s.page} / range);
  }
  g.thumbLength = static_cast<int32_t>(std::min<int64_t>(length, track));
  g.thumbTop = ThumbTopFor(g, s, dragPosition && s.dragging ? s.trackPos : s.pos);
  return g;
}

// A button face: filled, with a one-pixel edge.
void Button(Surface* s, const Rect& r, uint32_t face) {
  gfx::FillPixels(s, r, kEdgePixel);
  gfx::FillPixels(s, Rect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, face);
}

// A filled triangle pointing up or down, centred in r.
void Arrow(Surface* s, const Rect& r, bool up, uint32_t pixel) {
  const int32_t w = r.right - r.left, h = r.bottom - r.top;
  const int32_t rows = std::max(1, std::min(w, h) / 3);
  const int32_t cx = r.left + w / 2, top = r.top + (h - rows) / 2;
  for (int32_t i = 0; i < rows; ++i) {
    const int32_t half = up ? i : rows - 1 - i;
    gfx::FillPixels(s, Rect{cx - half - 1, top + i, cx + half + 1, top + i + 1}, pixel);
  }
}

void SendScroll(PlatWindow* w, uint32_t code, int32_t pos) {
  SendToWindow(w, MsgVScroll, static_cast<uintptr_t>(PackWords(static_cast<int32_t>(code), pos)), 0);
}

}  // namespace

bool BarUsable(const ScrollBarState& s) {
  return s.max > s.min && (s.page == 0 || int64_t{s.page} <= int64_t{s.max} - s.min);
}

Rect BarRect(const PlatWindow* w) {
  if (!(w->style & WinStyleVScroll)) return Rect{0, 0, 0, 0};
  const Rect c = ClientRectInWindow(w);
  return Rect{c.right, c.top, c.right + kScrollBarWidth, c.bottom};
}

ScrollPart BarPartAt(const PlatWindow* w, int32_t x, int32_t y) {
  const BarGeometry g = Geometry(w, false);
  if (!gfx::Contains(g.bar, x, y) || !BarUsable(w->vbar)) return ScrollPartNone;
  if (gfx::Contains(g.up, x, y)) return ScrollPartUpArrow;
  if (gfx::Contains(g.down, x, y)) return ScrollPartDownArrow;
  if (g.thumbLength == 0) return ScrollPartNone;
  if (y < g.thumbTop) return ScrollPartPageUp;
  if (y >= g.thumbTop + g.thumbLength) return ScrollPartPageDown;
  return ScrollPartThumb;
}

void DrawBar(PlatWindow* w) {
  Surface* s = &w->frame;
  if (!s->pixels || !(w->style & WinStyleVScroll)) return;
  const BarGeometry g = Geometry(w, true);
  const ScrollBarState& b = w->vbar;
  const bool usable = BarUsable(b);
  gfx::FillPixels(s, g.bar, kTrackPixel);
  gfx::FillPixels(s, Rect{g.bar.left, g.bar.top, g.bar.left + 1, g.bar.bottom}, kEdgePixel);
  Button(s, g.up, b.pressedPart == ScrollPartUpArrow ? kPressedPixel : kButtonPixel);
  Button(s, g.down, b.pressedPart == ScrollPartDownArrow ? kPressedPixel : kButtonPixel);
  const uint32_t arrow = usable ? kArrowPixel : kDisabledArrowPixel;
  Arrow(s, g.up, true, arrow);
  Arrow(s, g.down, false, arrow);
  if (b.pressedPart == ScrollPartPageUp && g.thumbLength > 0)
    gfx::FillPixels(s, Rect{g.bar.left + 1, g.trackTop, g.bar.right, g.thumbTop}, kPressedPixel);
  if (b.pressedPart == ScrollPartPageDown && g.thumbLength > 0)
    gfx::FillPixels(s, Rect{g.bar.left + 1, g.thumbTop + g.thumbLength, g.bar.right, g.trackBottom},
                    kPressedPixel);
  if (g.thumbLength > 0)
    Button(s, Rect{g.bar.left, g.thumbTop, g.bar.right, g.thumbTop + g.thumbLength},
           b.dragging ? kPressedPixel : kButtonPixel);
}

intptr_t BarFrameStylus(PlatWindow* w, uint32_t message, int32_t screenX, int32_t screenY) {
  int32_t ox, oy;
  ScreenOrigin(w, &ox, &oy);
  const int32_t x = screenX - ox, y = screenY - oy;
  ScrollBarState& b = w->vbar;
  Hold hold(w);
  if (message == MsgFrameStylusDown) {
    const ScrollPart part = BarPartAt(w, x, y);
    if (part == ScrollPartNone) return 0;
    b.pressedPart = part;
    w->frameDirty = true;
    MarkChanged();
    switch (part) {
      case ScrollPartUpArrow: SendScroll(w, ScrollLineUp, 0); break;
      case ScrollPartDownArrow: SendScroll(w, ScrollLineDown, 0); break;
      case ScrollPartPageUp: SendScroll(w, ScrollPageUp, 0); break;
      case ScrollPartPageDown: SendScroll(w, ScrollPageDown, 0); break;
      case ScrollPartThumb: {
        const BarGeometry g = Geometry(w, false);
        b.dragging = true;
        b.dragOffset = y - g.thumbTop;
        b.trackPos = b.pos;
        break;
      }
      default: break;
    }
    return 0;
  }
  if (b.pressedPart == ScrollPartNone) return 0;
  if (message == MsgFrameStylusMove) {
    if (!b.dragging) return 0;
    const BarGeometry g = Geometry(w, false);
    const int32_t room = g.trackBottom - g.trackTop - g.thumbLength;
    const int64_t span = int64_t{MaxPos(b)} - b.min;
    int32_t pos = b.trackPos;
    if (room > 0 && span > 0) {
      const int64_t top = std::clamp<int64_t>(int64_t{y} - b.dragOffset - g.trackTop, 0, room);
      pos = static_cast<int32_t>(b.min + (top * span + room / 2) / room);
    }
    if (pos != b.trackPos) {
      b.trackPos = pos;
      w->frameDirty = true;
      MarkChanged();
      SendScroll(w, ScrollThumbTrack, pos);
    }
    return 0;
  }
  // Release: a drag reports where the thumb was let go; every press ends
  // with the end-of-scroll code.
  const bool dragged = b.dragging;
  const int32_t pos = b.trackPos;
  b.dragging = false;
  b.pressedPart = ScrollPartNone;
  w->frameDirty = true;
  MarkChanged();
  if (dragged) SendScroll(w, ScrollThumbPosition, pos);
  if (Live(w)) SendScroll(w, ScrollEnd, 0);
  return 0;
}

void BarWheel(PlatWindow* w, int32_t notches) {
  Hold hold(w);
  const uint32_t code = notches > 0 ? ScrollLineUp : ScrollLineDown;
  const int32_t count = std::min(std::abs(notches), 100);
  for (int32_t i = 0; i < count && Live(w); ++i) SendScroll(w, code, 0);
}

}  // namespace wm

using namespace wm;

int32_t WriteScrollBar(Window w, int32_t bar, const ScrollInfo* info, bool redraw) {
  if (!Live(w) || bar != ScrollBarVertical || !info || info->size < sizeof(ScrollInfo)) return 0;
  ScrollBarState& b = w->vbar;
  if (info->mask & ScrollMaskRange) {
    b.min = info->min;
    b.max = std::max(info->min, info->max);
  }
  if (info->mask & ScrollMaskPage) b.page = info->page;
  const int64_t range = int64_t{b.max} - b.min + 1;
  if (int64_t{b.page} > range) b.page = static_cast<uint32_t>(range);
  if (info->mask & ScrollMaskPos) b.pos = info->pos;
  b.pos = std::clamp(b.pos, b.min, MaxPos(b));
  if (!b.dragging) b.trackPos = b.pos;
  if (!(w->style & WinStyleVScroll) && BarUsable(b)) {
    // The bar appears the first time there is something to scroll, and then
    // stays: a bar that came and went would resize the client each time.
    Hold hold(w);
    const int32_t oldCw = w->client.width, oldCh = w->client.height;
    w->style |= WinStyleVScroll;
    UpdateFrameLayout(w);
    if (w->client.width != oldCw || w->client.height != oldCh)
      SendToWindow(w, MsgSize, 0, PackWords(w->client.width, w->client.height));
    if (!Live(w)) return 0;
  }
  if (redraw) {
    w->frameDirty = true;
    MarkChanged();
  }
  return b.pos;
}

bool ReadScrollBar(Window w, int32_t bar, ScrollInfo* info) {
  if (!Live(w) || bar != ScrollBarVertical || !info || info->size < sizeof(ScrollInfo)) return false;
  if (!(w->style & WinStyleVScroll)) return false;
  const ScrollBarState& b = w->vbar;
  if (info->mask & ScrollMaskRange) {
    info->min = b.min;
    info->max = b.max;
  }
  if (info->mask & ScrollMaskPage) info->page = b.page;
  if (info->mask & ScrollMaskPos) info->pos = b.pos;
  if (info->mask & ScrollMaskTrackPos) info->trackPos = b.dragging ? b.trackPos : b.pos;
  return true;
}

int32_t SystemMetric(int32_t index) {
  const World& W = TheWorld();
  switch (index) {
    case MetricScreenWidth: return W.width;
    case MetricScreenHeight: return W.height;
    case MetricVScrollWidth: return kScrollBarWidth;
    case MetricCaptionHeight: return kCaptionHeight;
    case MetricBorderWidth:
    case MetricBorderHeight: return kBorderWidth;
    case MetricVScrollArrowHeight: return kScrollArrowHeight;
    default: return 0;
  }
}

}  // namespace plat
