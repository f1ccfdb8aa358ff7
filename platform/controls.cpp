// What the controls share: class registration, text kept in the window
// title, notifications to the parent, and a few drawing helpers.
#include <algorithm>
#include <string>

#include "platform/controls_internal.h"

namespace plat {
namespace ctl {

void FillClient(PlatWindow* w, Rect r, uint32_t pixel) { gfx::FillPixels(&w->client, r, pixel); }

void PaintShape(Surface* s, const Rect& r, uint32_t pixel, Shape inside) {
  const double size = r.right - r.left;
  for (int32_t py = r.top; py < r.bottom; ++py) {
    if (py < 0 || py >= s->height) continue;
    for (int32_t px = r.left; px < r.right; ++px) {
      if (px < 0 || px >= s->width) continue;
      int32_t hits = 0;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          const double u = (px - r.left) + (sx + 0.5) / 4, v = (py - r.top) + (sy + 0.5) / 4;
          if (inside(u, v, size)) ++hits;
        }
      }
      if (hits == 0) continue;
      uint32_t& dst = s->pixels[static_cast<std::size_t>(py) * s->width + px];
      uint32_t out = 0;
      for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t a = (dst >> shift) & 0xFF, b = (pixel >> shift) & 0xFF;
        out |= ((a * static_cast<uint32_t>(16 - hits) + b * static_cast<uint32_t>(hits) + 8) / 16) << shift;
      }
      dst = out;
    }
  }
}

void PaintPushFace(Surface* s, const Rect& r, bool focus, bool thick, bool pressed) {
  const int32_t edge = focus || thick ? 2 : 1;
  gfx::FillPixels(s, r, focus ? kFocusPixel : kEdgePixel);
  gfx::FillPixels(s, Rect{r.left + edge, r.top + edge, r.right - edge, r.bottom - edge}, pressed ? kPressedPixel : kFacePixel);
}

uint32_t PrepareText(PlatWindow* w, DeviceContext* dc, Font* font) {
  const uint32_t ink = wm::EnabledChain(w) ? 0 : kDisabledTextPixel;
  SelectFont(dc, FontOrSystem(font));
  SetBackMode(dc, BackTransparent);
  SetTextColour(dc, gfx::FromPixel(ink));
  return ink;
}

bool TextMessage(PlatWindow* w, uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t* result) {
  switch (message) {
    case MsgSetText:
      *result = SetWindowTitle(w, reinterpret_cast<const char16_t*>(lParam) ? reinterpret_cast<const char16_t*>(lParam) : u"") ? 1 : 0;
      InvalidateWindowRect(w, nullptr, true);
      return true;
    case MsgGetText: {
      auto* buffer = reinterpret_cast<char16_t*>(lParam);
      const auto capacity = static_cast<int32_t>(std::min<uintptr_t>(wParam, INT32_MAX));
      *result = buffer && capacity > 0 ? WindowTitle(w, buffer, capacity) : 0;
      return true;
    }
    case MsgGetTextLength:
      *result = static_cast<intptr_t>(w->title.size());
      return true;
    default:
      return false;
  }
}

bool TakeFocus(PlatWindow* w) {
  wm::Hold hold(w);
  SetFocusWindow(w);
  return wm::Live(w);
}

void NotifyParent(PlatWindow* w, uint16_t code) {
  if (!w->parent) return;
  SendToWindow(w->parent, MsgCommand, static_cast<uintptr_t>(PackWords(static_cast<int32_t>(w->id), code)),
               reinterpret_cast<intptr_t>(w));
}

const std::vector<PlatWindow*>& Siblings(PlatWindow* w) {
  static const std::vector<PlatWindow*> none;
  return w->parent ? w->parent->children : none;
}

}  // namespace ctl

bool EnsureControlClasses() {
  if (!wm::TheWorld().started) return false;
  // Controls paint their whole client themselves: no background brush.
  const WindowClassDescription classes[] = {
      {kStaticClass, ClassRedrawOnWidth | ClassRedrawOnHeight, ctl::StaticProc, 0, nullptr},
      {kButtonClass, ClassRedrawOnWidth | ClassRedrawOnHeight, ctl::ButtonProc, 0, nullptr},
      {kEditClass, ClassRedrawOnWidth | ClassRedrawOnHeight, ctl::EditProc, 0, nullptr},
      {kListBoxClass, ClassRedrawOnWidth | ClassRedrawOnHeight, ctl::ListBoxProc, 0, nullptr},
  };
  for (const WindowClassDescription& desc : classes) AddWindowClass(&desc);  // false once there: fine
  return true;
}

}  // namespace plat
