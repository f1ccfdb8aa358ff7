// Input from the backends (and from tests and scripts): stylus presses go to
// the window under them and stay with it until released, keys and text go
// to the focus window, and a disabled window gets none of it. A move with
// nothing pressed is a mouse hovering, which only the platform's bars hear.
#include <algorithm>

#include "platform/window_internal.h"

namespace plat {

namespace wm {

namespace {

// Far outside the window (a drag off it) the words saturate rather than wrap.
intptr_t PackPoint(int32_t x, int32_t y) {
  return PackWords(std::clamp(x, -32768, 32767), std::clamp(y, -32768, 32767));
}

intptr_t ClientPoint(const PlatWindow* w, int32_t x, int32_t y) {
  int32_t ox, oy;
  ScreenOrigin(w, &ox, &oy);
  const Rect c = ClientRectInWindow(w);
  return PackPoint(x - ox - c.left, y - oy - c.top);
}

void PostStylus(PlatWindow* w, uint32_t hit, uint32_t clientMessage, uint32_t frameMessage,
                uintptr_t buttons, int32_t x, int32_t y) {
  if (hit == FrameHitClient) {
    QueueMessage(w, clientMessage, buttons, ClientPoint(w, x, y));
  } else {
    QueueMessage(w, frameMessage, hit, PackPoint(x, y));
  }
}

// The pointer moving with nothing pressed (a mouse): only windows whose
// class asks for it hear of it, as a move without StylusButtonDown; the one
// it leaves hears once more, of a point far outside it.
void RouteHover(int32_t x, int32_t y) {
  World& W = TheWorld();
  uint32_t hit = FrameHitNowhere;
  PlatWindow* w = HitTest(x, y, &hit);
  const bool wants = w && hit == FrameHitClient && w->cls && (w->cls->style & ClassWantsHover) && EnabledChain(w);
  if (!wants) w = nullptr;
  PlatWindow* old = W.hover;
  W.hover = w;
  if (Live(old) && old != w) QueueMessage(old, MsgStylusMove, 0, PackWords(-32768, -32768));
  if (w) QueueMessage(w, MsgStylusMove, 0, ClientPoint(w, x, y));
}

PlatWindow* KeyTarget() {
  World& W = TheWorld();
  PlatWindow* target = W.focus ? W.focus : W.active;
  if (!Live(target) || target->destroying || !EnabledChain(target)) return nullptr;
  return target;
}

}  // namespace

void ForgetCapture(const PlatWindow* w) {
  World& W = TheWorld();
  if (W.hover && IsWithin(W.hover, w)) W.hover = nullptr;
  if (!W.capture || !IsWithin(W.capture, w)) return;
  PlatWindow* c = W.capture;
  if (W.captureHit == FrameHitVScroll) {
    c->vbar.dragging = false;
    c->vbar.pressedPart = ScrollPartNone;
    c->frameDirty = true;
    MarkChanged();
  }
  W.capture = nullptr;
}

void RouteKey(uint32_t key, bool down, uint32_t keyState, bool repeat, bool textFollows) {
  World& W = TheWorld();
  if (!W.started) return;
  PlatWindow* target = KeyTarget();
  if (!target) return;
  uint32_t flags = 1;  // repeat count
  if (keyState & KeyStateAlt) flags |= KeyFlagAlt;
  if (repeat || !down) flags |= KeyFlagWasDown;
  if (!down) flags |= KeyFlagReleased;
  if (textFollows) flags |= KeyFlagTextFollows;
  const uint32_t saved = W.keyState;
  W.keyState = keyState;
  QueueMessage(target, down ? MsgKeyDown : MsgKeyUp, key, static_cast<intptr_t>(flags));
  W.keyState = saved;
}

}  // namespace wm

using namespace wm;

void InputStylusDown(int32_t x, int32_t y) {
  World& W = TheWorld();
  if (!W.started) return;
  W.pointerX = x;
  W.pointerY = y;
  W.capture = nullptr;  // a press whose release never came
  uint32_t hit = FrameHitNowhere;
  PlatWindow* w = HitTest(x, y, &hit);
  if (!w || !EnabledChain(w)) return;
  PlatWindow* top = TopLevelOf(w);
  if (W.active != top && !(top->cls && (top->cls->style & ClassNoActivate))) {
    Hold hold(w);
    ActivateTopLevel(top, ActivateByClick);
    if (!Live(w) || !EnabledChain(w)) return;
  }
  W.capture = w;
  W.captureHit = hit;
  PostStylus(w, hit, MsgStylusDown, MsgFrameStylusDown, StylusButtonDown, x, y);
}

void InputStylusMove(int32_t x, int32_t y) {
  World& W = TheWorld();
  if (!W.started) return;
  W.pointerX = x;
  W.pointerY = y;
  if (!Live(W.capture)) {
    RouteHover(x, y);
    return;
  }
  PostStylus(W.capture, W.captureHit, MsgStylusMove, MsgFrameStylusMove, StylusButtonDown, x, y);
}

void InputStylusUp(int32_t x, int32_t y) {
  World& W = TheWorld();
  if (!W.started) return;
  W.pointerX = x;
  W.pointerY = y;
  PlatWindow* w = W.capture;
  W.capture = nullptr;
  if (!Live(w)) return;
  PostStylus(w, W.captureHit, MsgStylusUp, MsgFrameStylusUp, 0, x, y);
}

void InputKey(uint32_t key, bool down, uint32_t keyState, bool repeat) {
  RouteKey(key, down, keyState, repeat, false);
}

void InputText(const std::u16string& text) {
  if (!TheWorld().started) return;
  PlatWindow* target = KeyTarget();
  if (!target) return;
  for (char16_t unit : text) QueueMessage(target, MsgChar, unit, 1);
}

void InputWheel(int32_t x, int32_t y, int32_t notches) {
  World& W = TheWorld();
  if (!W.started || notches == 0) return;
  W.pointerX = x;
  W.pointerY = y;
  uint32_t hit;
  PlatWindow* w = HitTest(x, y, &hit);
  if (!w || !EnabledChain(w)) return;
  const int32_t delta = std::clamp(notches, -273, 273) * 120;  // fits the signed word
  QueueMessage(w, MsgWheel, static_cast<uintptr_t>(PackWords(0, delta)), PackPoint(x, y));
}

}  // namespace plat
