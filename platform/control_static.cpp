// Static controls: a line (or wrapped lines) of text, or a bitmap resource
// shown at its own size.
#include "platform/controls_internal.h"

namespace plat {
namespace ctl {

namespace {

struct StaticState {
  Font* font;
  Bitmap* bitmap;  // owned; StaticBitmap only
};

void PaintStatic(PlatWindow* w, StaticState* st) {
  PaintInfo info;
  DeviceContext* dc = StartPaint(w, &info);
  if (!dc) return;
  FillClient(w, Rect{0, 0, w->client.width, w->client.height}, 0xFFFFFF);
  const uint32_t type = w->style & StaticTypeMask;
  if (type == StaticBitmap) {
    if (st->bitmap) {
      DeviceContext* mem = CreateMemoryDC(dc);
      Bitmap* old = SelectBitmap(mem, st->bitmap);
      const Size size = BitmapSize(st->bitmap);
      CopyBits(dc, 0, 0, size.cx, size.cy, mem, 0, 0, RopSourceCopy);
      SelectBitmap(mem, old);
      DeleteDC(mem);
    }
  } else {
    PrepareText(w, dc, st->font);
    uint32_t flags = type == StaticCenter ? DtCenter : type == StaticRight ? DtRight : DtLeft;
    if (w->style & StaticNoPrefix) flags |= DtNoPrefix;
    const Rect r{0, 0, w->client.width, w->client.height};
    DrawTextInRect(dc, w->title.c_str(), static_cast<int32_t>(w->title.size()), &r, flags);
  }
  FinishPaint(w, &info);
}

}  // namespace

intptr_t StaticProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  auto* st = reinterpret_cast<StaticState*>(WindowData(w));
  if (message == MsgCreate) {
    st = new (std::nothrow) StaticState{};
    if (!st) return -1;
    SetWindowData(w, reinterpret_cast<intptr_t>(st));
    const auto* ci = reinterpret_cast<const CreationInfo*>(lParam);
    const auto* init = ci ? static_cast<const ControlInit*>(ci->createParam) : nullptr;
    if (ci && (ci->style & StaticTypeMask) == StaticBitmap && init && init->resourceId) {
      // A missing or malformed picture leaves the control blank.
      st->bitmap = LoadBitmapResource(init->resourceId);
    }
    return 0;
  }
  if (!st) return DefaultWindowProc(w, message, wParam, lParam);
  intptr_t r = 0;
  if (TextMessage(w, message, wParam, lParam, &r)) return r;
  switch (message) {
    case MsgSize:
      // A picture keeps its own size whatever the template asked for.
      if ((w->style & StaticTypeMask) == StaticBitmap && st->bitmap) {
        const Size size = BitmapSize(st->bitmap);
        const int32_t b = (w->style & WinStyleBorder) ? 2 * kBorderWidth : 0;
        if (LowWord(static_cast<uintptr_t>(lParam)) != size.cx || HighWord(static_cast<uintptr_t>(lParam)) != size.cy)
          PlaceWindow(w, w->rect.left, w->rect.top, size.cx + b, size.cy + b, true);
      }
      return 0;
    case MsgPaint:
      PaintStatic(w, st);
      return 0;
    case MsgSetFont:
      st->font = reinterpret_cast<Font*>(wParam);
      if (lParam) InvalidateWindowRect(w, nullptr, true);
      return 0;
    case MsgGetFont:
      return reinterpret_cast<intptr_t>(FontOrSystem(st->font));
    case MsgDestroy:
      DeleteBitmap(st->bitmap);
      delete st;
      SetWindowData(w, 0);
      return 0;
    default:
      return DefaultWindowProc(w, message, wParam, lParam);
  }
}

}  // namespace ctl
}  // namespace plat
