// Window classes, the window tree, z-order, activation, focus, enabling,
// geometry, painting state and window device contexts.
#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "platform/graphics_internal.h"
#include "platform/text_utf.h"
#include "platform/window_internal.h"

namespace plat {

namespace wm {

namespace {

// Far beyond any screen, small enough that sums of coordinates stay in 32 bits.
constexpr int32_t kMaxCoordinate = 1 << 20;
// Sides of a window; a window's surfaces stay within MaxSurfacePixels.
constexpr int32_t kMaxWindowSide = 8192;
constexpr std::size_t kMaxClassName = 255;

bool SameClassName(const std::u16string& a, const char16_t* b) {
  std::size_t i = 0;
  for (; i < a.size(); ++i) {
    if (b[i] == 0 || FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return b[i] == 0;
}

std::size_t BoundedLength(const char16_t* s, std::size_t limit) {
  std::size_t n = 0;
  while (n <= limit && s[n]) ++n;
  return n;
}

WindowClass* FindClass(const char16_t* name) {
  if (!name) return nullptr;
  for (auto& c : TheWorld().classes) {
    if (SameClassName(c->name, name)) return c.get();
  }
  return nullptr;
}

int32_t ClampCoordinate(int32_t v) { return std::clamp(v, -kMaxCoordinate, kMaxCoordinate); }
int32_t ClampSide(int32_t v) { return std::clamp(v, 0, kMaxWindowSide); }

int32_t RectWidth(const Rect& r) { return r.right - r.left; }
int32_t RectHeight(const Rect& r) { return r.bottom - r.top; }

bool EmptyRect(const Rect& r) { return r.left >= r.right || r.top >= r.bottom; }

void UnionInto(Rect* into, const Rect& r) {
  into->left = std::min(into->left, r.left);
  into->top = std::min(into->top, r.top);
  into->right = std::max(into->right, r.right);
  into->bottom = std::max(into->bottom, r.bottom);
}

// Pre-order: a window before its children.
void Subtree(PlatWindow* w, std::vector<PlatWindow*>* out) {
  out->push_back(w);
  for (PlatWindow* c : w->children) Subtree(c, out);
}

// A top-level window followed by those it owns, each followed by its own, in
// z-order.
void OwnedGroup(PlatWindow* top, std::vector<PlatWindow*>* out) {
  out->push_back(top);
  const std::vector<PlatWindow*> levels = TheWorld().topLevels;
  for (PlatWindow* t : levels) {
    if (t->owner == top && std::find(out->begin(), out->end(), t) == out->end()) OwnedGroup(t, out);
  }
}

// Brings a top-level window and the windows it owns to the front.
void Raise(PlatWindow* top) {
  World& W = TheWorld();
  std::vector<PlatWindow*> group;
  OwnedGroup(top, &group);
  auto& levels = W.topLevels;
  levels.erase(std::remove_if(levels.begin(), levels.end(),
                              [&](PlatWindow* t) {
                                return std::find(group.begin(), group.end(), t) != group.end();
                              }),
               levels.end());
  levels.insert(levels.end(), group.begin(), group.end());
  MarkChanged();
}

bool CanActivate(const PlatWindow* t) {
  return Live(t) && !t->destroying && !t->parent && ShownChain(t) && EnabledChain(t);
}

// After the active window went away or was hidden: its owner when it can
// take over, else the front-most window that can.
void ActivateNext(const PlatWindow* gone, PlatWindow* owner) {
  World& W = TheWorld();
  if (W.active && W.active != gone) return;
  W.active = nullptr;
  PlatWindow* next = CanActivate(owner) && owner != gone ? owner : nullptr;
  if (!next) {
    for (auto it = W.topLevels.rbegin(); it != W.topLevels.rend(); ++it) {
      if (*it != gone && CanActivate(*it)) {
        next = *it;
        break;
      }
    }
  }
  if (next) ActivateTopLevel(next, ActivateOn);
}

void Unlink(PlatWindow* t) {
  World& W = TheWorld();
  t->alive = false;
  W.live.erase(t);
  if (t->parent) {
    auto& siblings = t->parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), t), siblings.end());
  } else {
    W.topLevels.erase(std::remove(W.topLevels.begin(), W.topLevels.end(), t), W.topLevels.end());
  }
  for (PlatWindow* other : W.topLevels) {
    if (other->owner == t) other->owner = nullptr;
  }
  // Contexts still held draw nothing from now on; returning them frees them.
  for (auto& [dc, owner] : W.dcs) {
    if (owner == t) {
      dc->surface = nullptr;
      owner = nullptr;
    }
  }
  PurgeMessages(t);
  ForgetCapture(t);
  if (W.focus == t) W.focus = nullptr;
  if (W.active == t) W.active = nullptr;
  if (W.main == t) W.main = nullptr;
  if (t->cls) --t->cls->windowCount;
  gfx::ReleaseSurfacePixels(&t->client);
  gfx::ReleaseSurfacePixels(&t->frame);
  t->children.clear();
  W.graveyard.push_back(t);
}

// A new client size: the surface is replaced in place (so contexts follow),
// what fits of the old picture is kept, and what must be repainted is
// invalidated.
void ResizeClient(PlatWindow* w, int32_t width, int32_t height, bool repaintAll) {
  Surface& s = w->client;
  const int32_t oldW = s.width, oldH = s.height;
  if (oldW == width && oldH == height && (s.pixels || width == 0 || height == 0)) return;
  Surface fresh{};
  gfx::AllocateSurfacePixels(&fresh, width, height);  // empty on failure: draws nothing
  if (fresh.pixels && s.pixels) {
    const int32_t cw = std::min(oldW, width), ch = std::min(oldH, height);
    for (int32_t y = 0; y < ch; ++y) {
      std::memcpy(fresh.pixels + static_cast<std::size_t>(y) * width,
                  s.pixels + static_cast<std::size_t>(y) * oldW, static_cast<std::size_t>(cw) * 4);
    }
  }
  gfx::ReleaseSurfacePixels(&s);
  s = fresh;
  const uint32_t cs = w->cls ? w->cls->style : 0;
  const bool whole = repaintAll || (oldW == 0 && oldH == 0) ||
                     ((cs & ClassRedrawOnWidth) && oldW != width) ||
                     ((cs & ClassRedrawOnHeight) && oldH != height);
  if (whole) {
    InvalidateWindowRect(w, nullptr, true);
    return;
  }
  if (width > oldW) {
    Rect strip{oldW, 0, width, height};
    InvalidateWindowRect(w, &strip, true);
  }
  if (height > oldH) {
    Rect strip{0, oldH, width, height};
    InvalidateWindowRect(w, &strip, true);
  }
}

void SendSizeAndMove(PlatWindow* w, bool size, bool move) {
  Hold hold(w);
  if (size && Live(w)) {
    SendToWindow(w, MsgSize, 0, PackWords(w->client.width, w->client.height));
  }
  if (move && Live(w)) {
    const Rect c = ClientRectInWindow(w);
    SendToWindow(w, MsgMove, 0, PackWords(w->rect.left + c.left, w->rect.top + c.top));
  }
}

void MakeMainIfFirst(PlatWindow* w) {
  World& W = TheWorld();
  if (W.main || w->parent || w->internal || !ShownChain(w)) return;
  W.main = w;
  if (W.backend == ScreenSdl) SdlSetTitle(w->title);
}

}  // namespace

World& TheWorld() {
  static World world;
  return world;
}

bool Live(const PlatWindow* w) {
  return w && TheWorld().live.count(const_cast<PlatWindow*>(w)) != 0;
}

void MarkChanged() { TheWorld().changed = true; }

int32_t CallProc(PlatWindow* w, uint32_t message, uintptr_t wParam, intptr_t lParam,
                 intptr_t* result) {
  *result = 0;
  if (!Live(w) || !w->cls || !w->cls->proc) return 0;
  Hold hold(w);
  MarkChanged();
  *result = w->cls->proc(w, message, wParam, lParam);
  MarkChanged();
  return 1;
}

bool IsWithin(const PlatWindow* w, const PlatWindow* ancestor) {
  for (; w; w = w->parent) {
    if (w == ancestor) return true;
  }
  return false;
}

bool ShownChain(const PlatWindow* w) {
  for (; w; w = w->parent) {
    if (!(w->style & WinStyleVisible)) return false;
  }
  return true;
}

bool EnabledChain(const PlatWindow* w) {
  for (; w; w = w->parent) {
    if (w->style & WinStyleDisabled) return false;
  }
  return true;
}

bool HasFrame(const PlatWindow* w) { return (w->style & (WinStyleBorder | WinStyleVScroll)) != 0; }

Rect ClientRectInWindow(const PlatWindow* w) {
  const int32_t b = (w->style & WinStyleBorder) ? kBorderWidth : 0;
  const int32_t cap = (w->style & WinStyleCaption) == WinStyleCaption ? kCaptionHeight : 0;
  const int32_t bar = (w->style & WinStyleVScroll) ? kScrollBarWidth : 0;
  const int32_t width = RectWidth(w->rect), height = RectHeight(w->rect);
  Rect c{b, b + cap, width - b - bar, height - b};
  c.right = std::max(c.right, c.left);
  c.bottom = std::max(c.bottom, c.top);
  return c;
}

void ScreenOrigin(const PlatWindow* w, int32_t* x, int32_t* y) {
  int32_t ox = w->rect.left, oy = w->rect.top;
  for (const PlatWindow* p = w->parent; p; p = p->parent) {
    const Rect c = ClientRectInWindow(p);
    ox += p->rect.left + c.left;
    oy += p->rect.top + c.top;
  }
  *x = ox;
  *y = oy;
}

void UpdateFrameLayout(PlatWindow* w) {
  const Rect c = ClientRectInWindow(w);
  ResizeClient(w, RectWidth(c), RectHeight(c), false);
  if (HasFrame(w)) {
    const int32_t fw = RectWidth(w->rect), fh = RectHeight(w->rect);
    if (w->frame.width != fw || w->frame.height != fh || !w->frame.pixels) {
      gfx::ReleaseSurfacePixels(&w->frame);
      gfx::AllocateSurfacePixels(&w->frame, fw, fh);
    }
  } else {
    gfx::ReleaseSurfacePixels(&w->frame);
  }
  w->frameDirty = true;
  MarkChanged();
  // The client may have changed width: its command bars follow it before
  // the window hears of its new size.
  FitChildBars(w);
}

void ActivateTopLevel(PlatWindow* top, uint32_t state) {
  World& W = TheWorld();
  if (!Live(top) || top->parent || top->destroying) return;
  Raise(top);
  if (W.active == top) return;
  PlatWindow* old = W.active;
  Hold holdOld(old), holdTop(top);
  W.active = top;
  for (PlatWindow* t : W.topLevels) t->frameDirty = true;  // captions show who is active
  if (Live(old)) {
    SendToWindow(old, MsgActivate, ActivateOff, reinterpret_cast<intptr_t>(top));
  }
  if (!Live(top) || W.active != top) return;
  SendToWindow(top, MsgActivate, state, Live(old) ? reinterpret_cast<intptr_t>(old) : 0);
  // The procedure may have put the focus on one of its windows; if not, the
  // window itself takes it, so keys reach the window in front.
  if (Live(top) && W.active == top && !(W.focus && IsWithin(W.focus, top))) SetFocusWindow(top);
}

void CollectGraveyard() {
  auto& g = TheWorld().graveyard;
  for (std::size_t i = 0; i < g.size();) {
    if (g[i]->holds == 0) {
      delete g[i];
      g[i] = g.back();
      g.pop_back();
    } else {
      ++i;
    }
  }
}

void DestroyAllWindows() {
  World& W = TheWorld();
  // Front to back, so that owned windows go before their owners.
  while (!W.topLevels.empty()) DisposeWindow(W.topLevels.back());
}

void ResetWindows() {
  World& W = TheWorld();
  for (auto& [dc, owner] : W.dcs) DeleteDC(dc);
  W.dcs.clear();
  for (PlatWindow* t : W.graveyard) t->holds = 0;
  CollectGraveyard();
  W.classes.clear();
  W.queue.clear();
  W.quitPending = false;
  W.quitCode = 0;
  W.focus = W.active = W.main = W.capture = nullptr;
  W.keyState = 0;
  W.textInput = false;
}

bool ResizeScreenWindows(int32_t oldWidth, int32_t oldHeight) {
  World& W = TheWorld();
  const std::vector<PlatWindow*> levels = W.topLevels;
  for (PlatWindow* t : levels) {
    if (!Live(t)) continue;
    const Rect& r = t->rect;
    if (r.left == 0 && r.top == 0 && r.right == oldWidth && r.bottom == oldHeight) {
      PlaceWindow(t, 0, 0, W.width, W.height, true);
    } else if (t->showsWithOwner && r.bottom == oldHeight) {
      // A bar along the bottom stays there and keeps its margin on the right.
      const int32_t h = RectHeight(r);
      PlaceWindow(t, r.left, W.height - h, RectWidth(r) + (W.width - oldWidth), h, true);
    }
  }
  MarkChanged();
  return true;
}

PlatWindow* HitTest(int32_t x, int32_t y, uint32_t* hit) {
  World& W = TheWorld();
  *hit = FrameHitNowhere;
  for (auto it = W.topLevels.rbegin(); it != W.topLevels.rend(); ++it) {
    PlatWindow* w = *it;
    if (!ShownChain(w)) continue;
    const Rect& r = w->rect;
    if (x < r.left || x >= r.right || y < r.top || y >= r.bottom) continue;
    // Down through the children that hold the point.
    for (;;) {
      int32_t ox, oy;
      ScreenOrigin(w, &ox, &oy);
      const Rect c = ClientRectInWindow(w);
      const int32_t wx = x - ox, wy = y - oy;
      if (wx < c.left || wx >= c.right || wy < c.top || wy >= c.bottom) {
        const Rect bar = BarRect(w);
        if (wx >= bar.left && wx < bar.right && wy >= bar.top && wy < bar.bottom) {
          *hit = FrameHitVScroll;
        } else if ((w->style & WinStyleCaption) == WinStyleCaption && wy < c.top) {
          *hit = FrameHitCaption;
        } else {
          *hit = FrameHitBorder;
        }
        return w;
      }
      const int32_t cx = wx - c.left, cy = wy - c.top;
      PlatWindow* inner = nullptr;
      for (auto ci = w->children.rbegin(); ci != w->children.rend(); ++ci) {
        const PlatWindow* ch = *ci;
        if (!(ch->style & WinStyleVisible)) continue;
        if (cx >= ch->rect.left && cx < ch->rect.right && cy >= ch->rect.top &&
            cy < ch->rect.bottom) {
          inner = *ci;
          break;
        }
      }
      if (!inner) {
        *hit = FrameHitClient;
        return w;
      }
      w = inner;
    }
  }
  return nullptr;
}

}  // namespace wm

using namespace wm;

// ---- Window classes ----------------------------------------------------------------

bool AddWindowClass(const WindowClassDescription* desc) {
  if (!desc || !desc->name || !desc->proc) return false;
  const std::size_t n = BoundedLength(desc->name, kMaxClassName);
  if (n == 0 || n > kMaxClassName || FindClass(desc->name)) return false;
  try {
    auto c = std::make_unique<WindowClass>();
    c->name.assign(desc->name, n);
    c->style = desc->style;
    c->proc = desc->proc;
    c->iconId = desc->iconId;
    c->background = desc->background;
    c->windowCount = 0;
    TheWorld().classes.push_back(std::move(c));
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool RemoveWindowClass(const char16_t* name) {
  WindowClass* c = FindClass(name);
  if (!c || c->windowCount > 0) return false;
  auto& classes = TheWorld().classes;
  classes.erase(std::remove_if(classes.begin(), classes.end(),
                               [&](const std::unique_ptr<WindowClass>& p) { return p.get() == c; }),
                classes.end());
  return true;
}

// ---- Windows ------------------------------------------------------------------------

Window OpenWindow(const WindowDescription* desc) {
  World& W = TheWorld();
  if (!W.started || !desc) return nullptr;
  WindowClass* cls = FindClass(desc->className);
  if (!cls) return nullptr;
  const bool child = (desc->style & WinStyleChild) != 0;
  PlatWindow* parent = nullptr;
  PlatWindow* owner = nullptr;
  if (child) {
    if (!Live(desc->parent) || desc->parent->destroying) return nullptr;
    parent = desc->parent;
  } else if (desc->parent) {
    if (!Live(desc->parent) || desc->parent->destroying) return nullptr;
    owner = TopLevelOf(desc->parent);
  }
  int32_t x = desc->x, y = desc->y, width = desc->width, height = desc->height;
  if (x == kDefaultPlacement) x = y = 0;
  if (y == kDefaultPlacement) y = 0;
  x = ClampCoordinate(x);
  y = ClampCoordinate(y);
  if (width == kDefaultPlacement) {
    width = child ? 0 : W.width - x;
    height = child ? 0 : W.height - y;
  }
  if (height == kDefaultPlacement) height = child ? 0 : W.height - y;
  width = ClampSide(width);
  height = ClampSide(height);

  PlatWindow* w = new (std::nothrow) PlatWindow{};
  if (!w) return nullptr;
  try {
    if (desc->title) w->title = desc->title;
    (child ? parent->children : W.topLevels).push_back(w);
    W.live.insert(w);
  } catch (const std::bad_alloc&) {
    if (child) {
      auto& c = parent->children;
      c.erase(std::remove(c.begin(), c.end(), w), c.end());
    } else {
      W.topLevels.erase(std::remove(W.topLevels.begin(), W.topLevels.end(), w), W.topLevels.end());
    }
    delete w;
    return nullptr;
  }
  w->cls = cls;
  ++cls->windowCount;
  // Shown only once created, so nothing is painted half-made.
  w->style = desc->style & ~WinStyleVisible;
  w->exStyle = desc->exStyle;
  w->id = desc->id;
  w->parent = parent;
  w->owner = owner;
  w->rect = Rect{x, y, x + width, y + height};
  w->vbar = ScrollBarState{0, 100, 0, 0, 0, false, 0, ScrollPartNone};
  w->alive = true;
  UpdateFrameLayout(w);

  Hold hold(w);
  CreationInfo info{desc->createParam, desc->parent, x, y, width, height,
                    desc->style, desc->exStyle, w->title.c_str(), cls->name.c_str()};
  const intptr_t created = SendToWindow(w, MsgCreate, 0, reinterpret_cast<intptr_t>(&info));
  if (!Live(w)) return nullptr;
  if (created == -1) {
    DisposeWindow(w);
    return nullptr;
  }
  SendSizeAndMove(w, true, true);
  if (!Live(w)) return nullptr;
  if (desc->style & WinStyleVisible) ApplyShowMode(w, child ? ShowKeepActive : ShowNormal);
  return Live(w) ? w : nullptr;
}

void DisposeWindow(Window window) {
  World& W = TheWorld();
  if (!Live(window) || window->destroying) return;
  PlatWindow* w = window;
  Hold hold(w);
  std::vector<PlatWindow*> owned;
  for (PlatWindow* t : W.topLevels) {
    if (t->owner == w) owned.push_back(t);
  }
  for (auto it = owned.rbegin(); it != owned.rend(); ++it) DisposeWindow(*it);
  if (!Live(w) || w->destroying) return;

  std::vector<PlatWindow*> tree;
  Subtree(w, &tree);
  std::vector<std::unique_ptr<Hold>> holds;
  for (PlatWindow* t : tree) {
    t->destroying = true;
    holds.push_back(std::make_unique<Hold>(t));
  }
  PlatWindow* owner = w->owner;
  Hold holdOwner(owner);
  const bool wasActive = W.active == w;
  if (W.focus && IsWithin(W.focus, w)) {
    PlatWindow* f = W.focus;
    W.focus = nullptr;
    SendToWindow(f, MsgFocusLost, 0, 0);
  }
  if (W.active == w) {
    W.active = nullptr;
    SendToWindow(w, MsgActivate, ActivateOff, 0);
  }
  for (PlatWindow* t : tree) {
    if (Live(t)) SendToWindow(t, MsgDestroy, 0, 0);
  }
  for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
    if (Live(*it)) Unlink(*it);
  }
  if (wasActive) ActivateNext(w, Live(owner) ? owner : nullptr);
  MarkChanged();
}

bool IsLiveWindow(Window window) { return Live(window); }

// Owned windows that go with their owner follow it, without the activation.
void ShowFollowers(PlatWindow* owner, bool show) {
  std::vector<PlatWindow*> followers;
  for (PlatWindow* t : TheWorld().topLevels) {
    if (t->alive && t->owner == owner && t->showsWithOwner) followers.push_back(t);
  }
  for (PlatWindow* t : followers) ApplyShowMode(t, show ? ShowNoActivate : ShowHide);
}

bool ApplyShowMode(Window w, int32_t mode) {
  World& W = TheWorld();
  if (!Live(w)) return false;
  Hold hold(w);
  const bool was = (w->style & WinStyleVisible) != 0;
  if (mode == ShowHide) {
    if (!was) return false;
    w->style &= ~WinStyleVisible;
    MarkChanged();
    SendToWindow(w, MsgShow, 0, 0);
    if (!Live(w)) return true;
    if (W.focus && IsWithin(W.focus, w)) SetFocusWindow(nullptr);
    if (Live(w) && W.active == w) {
      W.active = nullptr;
      w->frameDirty = true;
      SendToWindow(w, MsgActivate, ActivateOff, 0);
      if (Live(w)) ActivateNext(w, w->owner);
    }
    if (Live(w) && !w->parent) ShowFollowers(w, false);
    return true;
  }
  if (!was) {
    w->style |= WinStyleVisible;
    MarkChanged();
    SendToWindow(w, MsgShow, 1, 0);
    if (!Live(w)) return false;
    MakeMainIfFirst(w);
    if (!w->parent) ShowFollowers(w, true);
    if (!Live(w)) return false;
  }
  const bool activate = mode != ShowNoActivate && mode != ShowKeepActive && mode != 7;
  if (!w->parent && activate && EnabledChain(w)) ActivateTopLevel(w, ActivateOn);
  return was;
}

bool WindowVisible(Window w) { return Live(w) && ShownChain(w); }

bool PlaceWindow(Window w, int32_t x, int32_t y, int32_t width, int32_t height, bool repaint) {
  if (!Live(w)) return false;
  Hold hold(w);
  x = ClampCoordinate(x);
  y = ClampCoordinate(y);
  width = ClampSide(width);
  height = ClampSide(height);
  const Rect old = w->rect;
  const bool moved = old.left != x || old.top != y;
  const bool sized = RectWidth(old) != width || RectHeight(old) != height;
  if (!moved && !sized) return true;
  const int32_t oldCw = w->client.width, oldCh = w->client.height;
  w->rect = Rect{x, y, x + width, y + height};
  const Rect c = ClientRectInWindow(w);
  ResizeClient(w, RectWidth(c), RectHeight(c), repaint && sized);
  UpdateFrameLayout(w);
  WindowPosition pos{w, x, y, width, height,
                     (sized ? 0u : PositionNoSize) | (moved ? 0u : PositionNoMove) |
                         (repaint ? 0u : PositionNoRedraw) | PositionNoActivate};
  SendToWindow(w, MsgPositionChanged, 0, reinterpret_cast<intptr_t>(&pos));
  if (!Live(w)) return true;
  SendSizeAndMove(w, w->client.width != oldCw || w->client.height != oldCh, moved);
  return true;
}

bool WindowClientRect(Window w, Rect* rect) {
  if (!Live(w) || !rect) return false;
  const Rect c = ClientRectInWindow(w);
  *rect = Rect{0, 0, RectWidth(c), RectHeight(c)};
  return true;
}

bool WindowScreenRect(Window w, Rect* rect) {
  if (!Live(w) || !rect) return false;
  int32_t x, y;
  ScreenOrigin(w, &x, &y);
  *rect = Rect{x, y, x + RectWidth(w->rect), y + RectHeight(w->rect)};
  return true;
}

bool ClientPointToScreen(Window w, int32_t* x, int32_t* y) {
  if (!Live(w) || !x || !y) return false;
  int32_t ox, oy;
  ScreenOrigin(w, &ox, &oy);
  const Rect c = ClientRectInWindow(w);
  *x += ox + c.left;
  *y += oy + c.top;
  return true;
}

Window WindowParent(Window w) { return Live(w) ? w->parent : nullptr; }
Window WindowOwner(Window w) { return Live(w) ? w->owner : nullptr; }

Window TopLevelOf(Window w) {
  if (!Live(w)) return nullptr;
  while (w->parent) w = w->parent;
  return w;
}

uint32_t WindowStyleBits(Window w) { return Live(w) ? w->style : 0; }
uint32_t WindowIdOf(Window w) { return Live(w) ? w->id : 0; }

namespace {
int32_t CopyOut(const std::u16string& s, char16_t* buffer, int32_t capacity) {
  if (!buffer || capacity <= 0) return 0;
  const auto n = static_cast<int32_t>(std::min<std::size_t>(s.size(), static_cast<std::size_t>(capacity - 1)));
  std::copy(s.begin(), s.begin() + n, buffer);
  buffer[n] = 0;
  return n;
}
}  // namespace

int32_t WindowClassName(Window w, char16_t* buffer, int32_t capacity) {
  if (!Live(w) || !w->cls) return 0;
  return CopyOut(w->cls->name, buffer, capacity);
}

int32_t WindowTitle(Window w, char16_t* buffer, int32_t capacity) {
  if (!Live(w)) return 0;
  return CopyOut(w->title, buffer, capacity);
}

bool SetWindowTitle(Window w, const char16_t* title) {
  if (!Live(w)) return false;
  try {
    w->title = title ? title : u"";
  } catch (const std::bad_alloc&) {
    return false;
  }
  w->frameDirty = true;
  MarkChanged();
  if (w == TheWorld().main && TheWorld().backend == ScreenSdl) SdlSetTitle(w->title);
  return true;
}

intptr_t SetWindowData(Window w, intptr_t value) {
  if (!Live(w)) return 0;
  return std::exchange(w->data, value);
}

intptr_t WindowData(Window w) { return Live(w) ? w->data : 0; }

Window FindTopLevelWindow(const char16_t* className, const char16_t* title) {
  World& W = TheWorld();
  for (auto it = W.topLevels.rbegin(); it != W.topLevels.rend(); ++it) {
    PlatWindow* t = *it;
    if (t->destroying) continue;
    if (className && (!t->cls || !SameClassName(t->cls->name, className))) continue;
    if (title && t->title != title) continue;
    return t;
  }
  return nullptr;
}

Window WindowAtPoint(int32_t x, int32_t y) {
  uint32_t hit;
  return HitTest(x, y, &hit);
}

bool SetWindowEnabled(Window w, bool enabled) {
  World& W = TheWorld();
  if (!Live(w)) return false;
  Hold hold(w);
  const bool was = !(w->style & WinStyleDisabled);
  if (was == enabled) return was;
  if (enabled) {
    w->style &= ~WinStyleDisabled;
  } else {
    w->style |= WinStyleDisabled;
    if (W.focus && IsWithin(W.focus, w)) SetFocusWindow(nullptr);
    if (W.capture && IsWithin(W.capture, w)) ForgetCapture(W.capture);
  }
  w->frameDirty = true;
  MarkChanged();
  if (Live(w)) SendToWindow(w, MsgEnable, enabled ? 1 : 0, 0);
  return was;
}

bool WindowEnabled(Window w) { return Live(w) && EnabledChain(w); }

Window SetFocusWindow(Window w) {
  World& W = TheWorld();
  PlatWindow* old = W.focus;
  if (!w) {
    if (old) {
      W.focus = nullptr;
      SendToWindow(old, MsgFocusLost, 0, 0);
    }
    return old;
  }
  if (!Live(w) || w->destroying || !EnabledChain(w)) return nullptr;
  Hold hold(w);
  PlatWindow* top = TopLevelOf(w);
  if (W.active != top) {
    if (!CanActivate(top)) return nullptr;
    ActivateTopLevel(top, ActivateOn);
    if (!Live(w) || W.active != top) return nullptr;
  }
  old = W.focus;
  if (old == w) return old;
  Hold holdOld(old);
  W.focus = w;
  if (Live(old)) SendToWindow(old, MsgFocusLost, reinterpret_cast<uintptr_t>(w), 0);
  if (Live(w) && W.focus == w)
    SendToWindow(w, MsgFocusGained, Live(old) ? reinterpret_cast<uintptr_t>(old) : 0, 0);
  return old;
}

Window FocusWindow() { return TheWorld().focus; }

bool BringToFront(Window w) {
  World& W = TheWorld();
  PlatWindow* top = TopLevelOf(w);
  if (!top || !ShownChain(top)) return false;
  if (!EnabledChain(top)) {
    // A window with a modal window over it: that one comes forward instead.
    PlatWindow* stand = nullptr;
    for (auto it = W.topLevels.rbegin(); it != W.topLevels.rend(); ++it) {
      if ((*it)->owner == top && CanActivate(*it)) {
        stand = *it;
        break;
      }
    }
    if (!stand) return false;
    top = stand;
  }
  ActivateTopLevel(top, ActivateOn);
  return W.active == top;
}

Window FrontWindow() { return TheWorld().active; }

// ---- Painting -----------------------------------------------------------------------------

bool InvalidateWindowRect(Window w, const Rect* rect, bool erase) {
  if (!Live(w)) return false;
  Rect r{0, 0, w->client.width, w->client.height};
  if (rect) {
    Rect want = *rect;
    if (!gfx::Intersect(&want, r)) return true;
    r = want;
  }
  if (EmptyRect(r)) return true;
  if (w->hasUpdate) {
    UnionInto(&w->update, r);
  } else {
    w->update = r;
    w->hasUpdate = true;
  }
  if (erase) w->erasePending = true;
  return true;
}

bool ValidateWindowRect(Window w, const Rect* rect) {
  if (!Live(w)) return false;
  ++w->paintServed;
  if (!w->hasUpdate) return true;
  if (!rect) {
    w->hasUpdate = false;
    w->erasePending = false;
    return true;
  }
  // The region is one rectangle: it shrinks only where a side is covered
  // across its whole length.
  Rect& u = w->update;
  const Rect& v = *rect;
  const bool spansX = v.left <= u.left && v.right >= u.right;
  const bool spansY = v.top <= u.top && v.bottom >= u.bottom;
  if (spansX && spansY) {
    w->hasUpdate = false;
    w->erasePending = false;
  } else if (spansX && v.top <= u.top && v.bottom > u.top) {
    u.top = v.bottom;
  } else if (spansX && v.bottom >= u.bottom && v.top < u.bottom) {
    u.bottom = v.top;
  } else if (spansY && v.left <= u.left && v.right > u.left) {
    u.left = v.right;
  } else if (spansY && v.right >= u.right && v.left < u.right) {
    u.right = v.left;
  }
  if (w->hasUpdate && EmptyRect(u)) {
    w->hasUpdate = false;
    w->erasePending = false;
  }
  return true;
}

bool WindowUpdateRect(Window w, Rect* rect) {
  if (!Live(w) || !w->hasUpdate) {
    if (rect) *rect = Rect{0, 0, 0, 0};
    return false;
  }
  if (rect) *rect = w->update;
  return true;
}

bool PaintNow(Window w) {
  if (!Live(w) || !w->hasUpdate || !ShownChain(w)) return false;
  Message m{w, MsgPaint, 0, 0, Now(), TheWorld().pointerX, TheWorld().pointerY, TheWorld().keyState};
  DeliverMessage(&m);
  return true;
}

DeviceContext* StartPaint(Window w, PaintInfo* info) {
  if (!Live(w) || !info) return nullptr;
  Hold hold(w);
  *info = PaintInfo{};
  DeviceContext* dc = AcquireWindowDC(w);
  if (!dc) return nullptr;
  info->dc = dc;
  const bool erase = w->erasePending;
  w->erasePending = false;
  if (erase) {
    info->erase = SendToWindow(w, MsgEraseBackground, reinterpret_cast<uintptr_t>(dc), 0) == 0;
    if (!Live(w)) return dc;
  }
  // Taken after the erase, so what the erase handling invalidated is part of
  // this paint rather than the cause of another.
  info->paint = w->hasUpdate ? w->update : Rect{0, 0, 0, 0};
  w->hasUpdate = false;
  w->erasePending = false;
  ++w->paintServed;
  MarkChanged();
  return dc;
}

void FinishPaint(Window w, const PaintInfo* info) {
  if (!info || !info->dc) return;
  ReturnWindowDC(w, info->dc);
  MarkChanged();
}

DeviceContext* AcquireWindowDC(Window w) {
  if (!Live(w) || w->destroying) return nullptr;
  DeviceContext* dc = CreateSurfaceDC(&w->client);
  if (!dc) return nullptr;
  try {
    TheWorld().dcs.emplace(dc, w);
  } catch (const std::bad_alloc&) {
    DeleteDC(dc);
    return nullptr;
  }
  MarkChanged();
  return dc;
}

bool ReturnWindowDC(Window w, DeviceContext* dc) {
  auto& dcs = TheWorld().dcs;
  auto it = dcs.find(dc);
  if (it == dcs.end()) return false;
  // A context whose window is gone is released whatever handle comes with it.
  if (it->second && it->second != w) return false;
  dcs.erase(it);
  DeleteDC(dc);
  MarkChanged();
  return true;
}

// ---- Default handling -----------------------------------------------------------------------

intptr_t DefaultWindowProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (!Live(w)) return 0;
  switch (message) {
    case MsgClose:
      DisposeWindow(w);
      return 0;
    case MsgPaint: {
      PaintInfo info;
      if (StartPaint(w, &info)) FinishPaint(w, &info);
      return 0;
    }
    case MsgEraseBackground: {
      // Only a context of this window is drawn on: the parameter may be anything.
      auto* dc = reinterpret_cast<DeviceContext*>(wParam);
      auto& dcs = TheWorld().dcs;
      auto it = dcs.find(dc);
      if (it == dcs.end() || it->second != w || !w->cls || !w->cls->background) return 0;
      const Rect r{0, 0, w->client.width, w->client.height};
      FillRect(dc, &r, w->cls->background);
      return 1;
    }
    case MsgFrameStylusDown:
    case MsgFrameStylusMove:
    case MsgFrameStylusUp:
      if (wParam == FrameHitVScroll)
        return BarFrameStylus(w, message, SignedLowWord(static_cast<uintptr_t>(lParam)),
                              SignedHighWord(static_cast<uintptr_t>(lParam)));
      return 0;
    case MsgWheel: {
      const int32_t notches = SignedHighWord(wParam) / 120;
      if (notches == 0) return 0;
      if ((w->style & WinStyleVScroll) && BarUsable(w->vbar)) {
        BarWheel(w, notches);
      } else if (w->parent) {
        return SendToWindow(w->parent, message, wParam, lParam);
      }
      return 0;
    }
    default:
      return 0;
  }
}

}  // namespace plat
