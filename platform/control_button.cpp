// Buttons: push buttons, check boxes, radio buttons (automatic ones keep
// one checked per group) and owner-drawn buttons the parent paints.
#include <algorithm>
#include <cmath>

#include "platform/controls_internal.h"
#include "platform/dialog.h"

namespace plat {
namespace ctl {

namespace {

constexpr int32_t kMarkSize = 12;
constexpr int32_t kMarkGap = 4;

struct ButtonState {
  Font* font;
  bool checked;
  bool pressed;  // the stylus is down on it
  bool held;     // the stylus went down on it and is not yet released
};

uint32_t Kind(const PlatWindow* w) { return w->style & ButtonTypeMask; }
bool IsRadio(uint32_t kind) { return kind == ButtonRadio || kind == ButtonAutoRadio; }
bool IsCheck(uint32_t kind) { return kind == ButtonCheckBox || kind == ButtonAutoCheckBox; }

// A radio button's mark: a disc, and a ring 1.2 pixels wide around it.
double FromCentre(double u, double v, double size) {
  const double c = size / 2;
  return std::sqrt((u - c) * (u - c) + (v - c) * (v - c));
}
bool MarkDisc(double u, double v, double size) { return FromCentre(u, v, size) <= size / 2 - 0.25; }
bool MarkRing(double u, double v, double size) {
  const double d = FromCentre(u, v, size), outer = size / 2 - 0.25;
  return d <= outer && d >= outer - 1.2;
}

void DrawLabel(PlatWindow* w, DeviceContext* dc, ButtonState* st, const Rect& r, uint32_t flags) {
  PrepareText(w, dc, st->font);
  DrawTextInRect(dc, w->title.c_str(), static_cast<int32_t>(w->title.size()), &r, flags | DtVCenter | DtSingleLine);
}

void PaintButton(PlatWindow* w, ButtonState* st) {
  PaintInfo info;
  DeviceContext* dc = StartPaint(w, &info);
  if (!dc) return;
  const int32_t width = w->client.width, height = w->client.height;
  const bool focus = wm::TheWorld().focus == w;
  const uint32_t kind = Kind(w);
  if (kind == ButtonOwnerDraw) {
    DrawItemInfo item{DrawItemButton, w->id, 0, DrawItemEntire,
                      (st->pressed ? DrawStateSelected : 0u) | (focus ? DrawStateFocus : 0u),
                      w, dc, Rect{0, 0, width, height}, 0};
    if (w->parent) SendToWindow(w->parent, MsgDrawItem, w->id, reinterpret_cast<intptr_t>(&item));
  } else if (IsRadio(kind) || IsCheck(kind)) {
    FillClient(w, Rect{0, 0, width, height}, 0xFFFFFF);
    const int32_t top = (height - kMarkSize) / 2;
    const Rect mark{0, top, kMarkSize, top + kMarkSize};
    if (IsRadio(kind)) {
      PaintShape(&w->client, mark, st->pressed ? kPressedPixel : 0xFFFFFF, MarkDisc);
      PaintShape(&w->client, mark, kEdgePixel, MarkRing);
      if (st->checked) PaintShape(&w->client, Rect{mark.left + 3, mark.top + 3, mark.right - 3, mark.bottom - 3}, 0, MarkDisc);
    } else {
      FillClient(w, mark, kEdgePixel);
      FillClient(w, Rect{mark.left + 1, mark.top + 1, mark.right - 1, mark.bottom - 1}, st->pressed ? kPressedPixel : 0xFFFFFF);
      if (st->checked) {
        // A tick of two strokes, two pixels thick.
        for (int32_t i = 0; i < 3; ++i) FillClient(w, Rect{mark.left + 3 + i, mark.top + 5 + i, mark.left + 4 + i, mark.top + 7 + i}, 0);
        for (int32_t i = 0; i < 5; ++i) FillClient(w, Rect{mark.left + 5 + i, mark.top + 7 - i, mark.left + 6 + i, mark.top + 9 - i}, 0);
      }
    }
    const Rect label{kMarkSize + kMarkGap, 0, width, height};
    DrawLabel(w, dc, st, label, DtLeft);
    if (focus) FillClient(w, Rect{label.left, height - 1, width, height}, kEdgePixel);
  } else {
    PaintPushFace(&w->client, Rect{0, 0, width, height}, focus, kind == ButtonDefaultPush, st->pressed);
    DrawLabel(w, dc, st, Rect{0, 0, width, height}, DtCenter);
  }
  FinishPaint(w, &info);
}

void SetCheck(PlatWindow* w, ButtonState* st, bool checked) {
  if (st->checked == checked) return;
  st->checked = checked;
  InvalidateWindowRect(w, nullptr, false);
}

// The automatic radio buttons of w's group other than w: the group runs from
// the nearest control at or before w that starts one, to the next that does.
void UncheckGroup(PlatWindow* w) {
  const std::vector<PlatWindow*> all = Siblings(w);  // a copy: procedures run below
  const auto at = std::find(all.begin(), all.end(), w);
  if (at == all.end()) return;
  auto first = at;
  while (first != all.begin() && !((*first)->style & WinStyleGroup)) --first;
  for (auto it = first; it != all.end(); ++it) {
    if (it != first && ((*it)->style & WinStyleGroup)) break;
    if (*it == w || !wm::Live(*it) || (*it)->cls != w->cls || Kind(*it) != ButtonAutoRadio) continue;
    SendToWindow(*it, MsgButtonSetCheck, 0, 0);
  }
}

void Click(PlatWindow* w, ButtonState* st) {
  wm::Hold hold(w);
  const uint32_t kind = Kind(w);
  if (kind == ButtonAutoRadio) {
    SetCheck(w, st, true);
    UncheckGroup(w);
  } else if (kind == ButtonAutoCheckBox) {
    SetCheck(w, st, !st->checked);
  }
  if (wm::Live(w)) NotifyParent(w, NotifyButtonClicked);
}

bool Inside(const PlatWindow* w, intptr_t lParam) {
  const int32_t x = SignedLowWord(static_cast<uintptr_t>(lParam)), y = SignedHighWord(static_cast<uintptr_t>(lParam));
  return x >= 0 && y >= 0 && x < w->client.width && y < w->client.height;
}

}  // namespace

intptr_t ButtonProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  auto* st = reinterpret_cast<ButtonState*>(WindowData(w));
  if (message == MsgCreate) {
    st = new (std::nothrow) ButtonState{};
    if (!st) return -1;
    SetWindowData(w, reinterpret_cast<intptr_t>(st));
    return 0;
  }
  if (!st) return DefaultWindowProc(w, message, wParam, lParam);
  intptr_t r = 0;
  if (TextMessage(w, message, wParam, lParam, &r)) return r;
  switch (message) {
    case MsgPaint:
      PaintButton(w, st);
      return 0;
    case MsgSetFont:
      st->font = reinterpret_cast<Font*>(wParam);
      if (lParam) InvalidateWindowRect(w, nullptr, true);
      return 0;
    case MsgGetFont:
      return reinterpret_cast<intptr_t>(FontOrSystem(st->font));
    case MsgButtonGetCheck:
      return st->checked ? 1 : 0;
    case MsgButtonSetCheck:
      if (IsRadio(Kind(w)) || IsCheck(Kind(w))) SetCheck(w, st, wParam != 0);
      return 0;
    case MsgButtonClick:
      Click(w, st);
      return 0;
    case MsgFocusGained:
    case MsgFocusLost:
      InvalidateWindowRect(w, nullptr, false);
      return 0;
    case MsgStylusDown:
      if (!TakeFocus(w)) return 0;
      st->held = st->pressed = true;
      InvalidateWindowRect(w, nullptr, false);
      return 0;
    case MsgStylusMove:
      if (st->held && st->pressed != Inside(w, lParam)) {
        st->pressed = !st->pressed;
        InvalidateWindowRect(w, nullptr, false);
      }
      return 0;
    case MsgStylusUp: {
      const bool click = st->held && Inside(w, lParam);
      st->held = st->pressed = false;
      InvalidateWindowRect(w, nullptr, false);
      if (click) Click(w, st);
      return 0;
    }
    case MsgKeyDown:
      if (wParam == KeySpace) {
        Click(w, st);
        return 0;
      }
      // Other keys are the dialog's (arrows, Enter, Escape).
      return w->parent ? SendToWindow(w->parent, message, wParam, lParam) : 0;
    case MsgDestroy:
      delete st;
      SetWindowData(w, 0);
      return 0;
    default:
      return DefaultWindowProc(w, message, wParam, lParam);
  }
}

}  // namespace ctl
}  // namespace plat
