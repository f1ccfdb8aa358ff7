// Edits: one line of text that scrolls sideways to keep the caret in view,
// or wrapped lines for a preview. The text lives in the window title like
// every control's; the caret and the selection are unit offsets into it,
// and the last change can be undone (undoing again redoes it).
#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "platform/controls_internal.h"

namespace plat {
namespace ctl {

namespace {

constexpr int32_t kMargin = 2;

struct EditState {
  Font* font;
  int32_t limit;
  int32_t anchor, caret;  // the selection runs between them; equal: none
  int32_t scroll;         // pixels of a long line hidden at the left
  bool canUndo;
  std::u16string undoText;
  int32_t undoAnchor, undoCaret;
  bool dragging;
  char16_t pendingHigh;   // the first half of a pair typed unit by unit
};

bool MultiLine(const PlatWindow* w) { return (w->style & EditMultiLine) != 0; }
int32_t Length(const PlatWindow* w) { return static_cast<int32_t>(w->title.size()); }
bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Where a line of text sits: the x of every unit boundary, relative to the
// text's left end, and that left end in client pixels.
struct LineLayout {
  std::vector<int32_t> x;  // Length + 1 entries
  int32_t origin = 0;
  int32_t height = 0;
};

bool Measure(PlatWindow* w, EditState* st, LineLayout* out) {
  const int32_t n = Length(w);
  try {
    out->x.assign(static_cast<std::size_t>(n) + 1, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  DeviceContext* dc = AcquireWindowDC(w);
  if (!dc) return false;
  SelectFont(dc, FontOrSystem(st->font));
  TextMetrics tm{};
  GetTextMetrics(dc, &tm);
  out->height = tm.height;
  if (n > 0) {
    int32_t fit = 0;
    Size size{};
    GetTextExtentFit(dc, w->title.data(), n, INT32_MAX, &fit, out->x.data() + 1, &size);
  }
  ReturnWindowDC(w, dc);
  return true;
}

// Keeps the caret inside the visible width and places the text: aligned as
// the style says while it fits, scrolled once it does not.
void PlaceLine(PlatWindow* w, EditState* st, LineLayout* l) {
  const int32_t view = std::max(0, w->client.width - 2 * kMargin);
  const int32_t total = l->x.back();
  if (total <= view) {
    st->scroll = 0;
    const uint32_t align = w->style & 0x3;
    l->origin = kMargin + (align == EditRight ? view - total : align == EditCenter ? (view - total) / 2 : 0);
    return;
  }
  const int32_t cx = l->x[static_cast<std::size_t>(st->caret)];
  if (cx < st->scroll) st->scroll = cx;
  if (cx > st->scroll + view) st->scroll = cx - view;
  st->scroll = std::clamp(st->scroll, 0, total - view);
  l->origin = kMargin - st->scroll;
}

void Refresh(PlatWindow* w, EditState* st) {
  if (!MultiLine(w)) {
    LineLayout l;
    if (Measure(w, st, &l)) PlaceLine(w, st, &l);
  }
  InvalidateWindowRect(w, nullptr, false);
}

void DrawRun(DeviceContext* dc, const PlatWindow* w, int32_t from, int32_t to, const LineLayout& l) {
  if (to <= from) return;
  const int32_t left = l.origin + l.x[static_cast<std::size_t>(from)];
  const Rect r{left, 0, std::max(left + 1, l.origin + l.x[static_cast<std::size_t>(to)] + 1), w->client.height};
  DrawTextInRect(dc, w->title.data() + from, to - from, &r, DtLeft | DtSingleLine | DtVCenter | DtNoPrefix);
}

void PaintEdit(PlatWindow* w, EditState* st) {
  PaintInfo info;
  DeviceContext* dc = StartPaint(w, &info);
  if (!dc) return;
  const int32_t width = w->client.width, height = w->client.height;
  FillClient(w, Rect{0, 0, width, height}, 0xFFFFFF);
  const uint32_t ink = PrepareText(w, dc, st->font);
  if (MultiLine(w)) {
    const uint32_t align = w->style & 0x3;
    const Rect r{kMargin, kMargin, width - kMargin, height - kMargin};
    DrawTextInRect(dc, w->title.data(), Length(w), &r,
                   (align == EditRight ? DtRight : align == EditCenter ? DtCenter : DtLeft) | DtNoPrefix);
  } else {
    LineLayout l;
    if (Measure(w, st, &l)) {
      PlaceLine(w, st, &l);
      const int32_t a = std::min(st->anchor, st->caret), b = std::max(st->anchor, st->caret);
      DrawRun(dc, w, 0, a, l);
      DrawRun(dc, w, b, Length(w), l);
      if (b > a) {
        const int32_t top = std::max(0, (height - l.height) / 2);
        FillClient(w, Rect{l.origin + l.x[static_cast<std::size_t>(a)], top,
                           l.origin + l.x[static_cast<std::size_t>(b)], std::min(height, top + l.height)},
                   kSelectionPixel);
        SetTextColour(dc, gfx::FromPixel(0xFFFFFF));
        DrawRun(dc, w, a, b, l);
        SetTextColour(dc, gfx::FromPixel(ink));
      } else if (wm::TheWorld().focus == w) {
        const int32_t cx = std::clamp(l.origin + l.x[static_cast<std::size_t>(st->caret)], 0, std::max(0, width - 1));
        const int32_t top = std::max(0, (height - l.height) / 2);
        FillClient(w, Rect{cx, top, cx + 1, std::min(height, top + l.height)}, kFocusPixel);
      }
    }
  }
  FinishPaint(w, &info);
}

// The text cut to `limit` units, a pair never split.
std::size_t FitLength(const char16_t* text, std::size_t n, std::size_t limit) {
  if (n <= limit) return n;
  return limit > 0 && IsHigh(text[limit - 1]) ? limit - 1 : limit;
}

// Replaces the selection with n units of text, as much as the limit allows.
int32_t Replace(PlatWindow* w, EditState* st, const char16_t* text, int32_t n, bool undoable) {
  if (!text) n = 0;
  const int32_t a = std::min(st->anchor, st->caret), b = std::max(st->anchor, st->caret);
  const int32_t room = std::max(0, st->limit - (Length(w) - (b - a)));
  const auto ins = static_cast<int32_t>(FitLength(text, static_cast<std::size_t>(n), static_cast<std::size_t>(room)));
  const bool cut = ins < n;
  if (a == b && ins == 0) {
    if (cut) NotifyParent(w, NotifyEditFull);
    return 0;
  }
  std::u16string next;
  try {
    next.reserve(w->title.size() - static_cast<std::size_t>(b - a) + static_cast<std::size_t>(ins));
    next.append(w->title, 0, static_cast<std::size_t>(a));
    next.append(text ? text : u"", static_cast<std::size_t>(ins));
    next.append(w->title, static_cast<std::size_t>(b));
    if (undoable) {
      st->undoText = w->title;
      st->undoAnchor = st->anchor;
      st->undoCaret = st->caret;
    }
  } catch (const std::bad_alloc&) {
    return 0;
  }
  st->canUndo = undoable;
  w->title.swap(next);
  st->anchor = st->caret = a + ins;
  wm::Hold hold(w);
  Refresh(w, st);
  NotifyParent(w, NotifyEditChanged);
  if (cut && wm::Live(w)) NotifyParent(w, NotifyEditFull);
  return ins;
}

bool Undo(PlatWindow* w, EditState* st) {
  if (!st->canUndo) return false;
  w->title.swap(st->undoText);
  std::swap(st->anchor, st->undoAnchor);
  std::swap(st->caret, st->undoCaret);
  const int32_t n = Length(w);
  st->anchor = std::clamp(st->anchor, 0, n);
  st->caret = std::clamp(st->caret, 0, n);
  Refresh(w, st);
  NotifyParent(w, NotifyEditChanged);
  return true;
}

void SetSelection(PlatWindow* w, EditState* st, intptr_t start, intptr_t end) {
  const int32_t n = Length(w);
  if (start < 0) {
    st->anchor = st->caret;
  } else {
    st->anchor = static_cast<int32_t>(std::min<intptr_t>(start, n));
    st->caret = end < 0 ? n : static_cast<int32_t>(std::min<intptr_t>(end, n));
  }
  Refresh(w, st);
}

// One step left or right from the caret, over a pair as one.
int32_t Step(const PlatWindow* w, int32_t at, int32_t dir) {
  const int32_t n = Length(w);
  int32_t to = std::clamp(at + dir, 0, n);
  if (to > 0 && to < n && IsLow(w->title[static_cast<std::size_t>(to)]) && IsHigh(w->title[static_cast<std::size_t>(to - 1)]))
    to = std::clamp(to + dir, 0, n);
  return to;
}

void DeleteStep(PlatWindow* w, EditState* st, int32_t dir) {
  if (st->anchor == st->caret) {
    const int32_t to = Step(w, st->caret, dir);
    if (to == st->caret) return;
    st->anchor = to;
  }
  Replace(w, st, u"", 0, true);
}

void MoveCaret(PlatWindow* w, EditState* st, int32_t to) {
  st->anchor = st->caret = to;
  Refresh(w, st);
}

void Typed(PlatWindow* w, EditState* st, char16_t c) {
  const char16_t pending = st->pendingHigh;
  st->pendingHigh = 0;
  if (c == 1) {
    SetSelection(w, st, 0, -1);
  } else if (c == 26) {
    Undo(w, st);
  } else if (c == 8) {
    DeleteStep(w, st, -1);
  } else if (IsHigh(c)) {
    st->pendingHigh = c;
  } else if (IsLow(c)) {
    if (pending) {
      const char16_t pair[2] = {pending, c};
      Replace(w, st, pair, 2, true);
    }  // a lone second half is dropped
  } else if (c >= 0x20 && c != 0x7F) {
    Replace(w, st, &c, 1, true);
  }
}

int32_t HitOffset(PlatWindow* w, EditState* st, int32_t x) {
  if (MultiLine(w)) return Length(w);
  LineLayout l;
  if (!Measure(w, st, &l)) return st->caret;
  PlaceLine(w, st, &l);
  int32_t best = 0;
  for (std::size_t k = 1; k < l.x.size(); ++k) {
    if (std::abs(l.origin + l.x[k] - x) < std::abs(l.origin + l.x[static_cast<std::size_t>(best)] - x))
      best = static_cast<int32_t>(k);
  }
  if (best > 0 && best < Length(w) && IsLow(w->title[static_cast<std::size_t>(best)])) --best;
  return best;
}

bool SetText(PlatWindow* w, EditState* st, const char16_t* text) {
  if (!text) text = u"";
  const std::u16string_view v(text);
  try {
    w->title.assign(v.substr(0, FitLength(v.data(), v.size(), static_cast<std::size_t>(st->limit))));
  } catch (const std::bad_alloc&) {
    return false;
  }
  st->anchor = st->caret = st->scroll = 0;
  st->canUndo = false;
  st->undoText.clear();
  Refresh(w, st);
  return true;
}

}  // namespace

intptr_t EditProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  auto* st = reinterpret_cast<EditState*>(WindowData(w));
  if (message == MsgCreate) {
    st = new (std::nothrow) EditState{};
    if (!st) return -1;
    st->limit = kEditMaxText;
    SetWindowData(w, reinterpret_cast<intptr_t>(st));
    // The template's text goes through the limit like any other.
    if (w->title.size() > static_cast<std::size_t>(kEditMaxText)) w->title.resize(kEditMaxText);
    return 0;
  }
  if (!st) return DefaultWindowProc(w, message, wParam, lParam);
  switch (message) {
    case MsgSetText:
      return SetText(w, st, reinterpret_cast<const char16_t*>(lParam)) ? 1 : 0;
    case MsgPaint:
      PaintEdit(w, st);
      return 0;
    case MsgSize:
      Refresh(w, st);
      return 0;
    case MsgSetFont:
      st->font = reinterpret_cast<Font*>(wParam);
      if (lParam) Refresh(w, st);
      return 0;
    case MsgGetFont:
      return reinterpret_cast<intptr_t>(FontOrSystem(st->font));
    case MsgEditGetSelection: {
      const int32_t a = std::min(st->anchor, st->caret), b = std::max(st->anchor, st->caret);
      if (auto* p = reinterpret_cast<int32_t*>(wParam)) *p = a;
      if (auto* p = reinterpret_cast<int32_t*>(lParam)) *p = b;
      return PackWords(std::min(a, 0xFFFF), std::min(b, 0xFFFF));
    }
    case MsgEditSetSelection:
      SetSelection(w, st, static_cast<intptr_t>(wParam), lParam);
      return 0;
    case MsgEditReplaceSelection: {
      const auto* text = reinterpret_cast<const char16_t*>(lParam);
      const std::size_t n = text ? std::char_traits<char16_t>::length(text) : 0;
      return Replace(w, st, text, static_cast<int32_t>(std::min<std::size_t>(n, INT32_MAX)), wParam != 0);
    }
    case MsgEditSetLimit:
      st->limit = wParam == 0 || wParam > static_cast<uintptr_t>(kEditMaxText) ? kEditMaxText : static_cast<int32_t>(wParam);
      return 0;
    case MsgEditGetLimit:
      return st->limit;
    case MsgEditUndo:
      return Undo(w, st) ? 1 : 0;
    case MsgEditCanUndo:
      return st->canUndo ? 1 : 0;
    case MsgFocusGained:
    case MsgFocusLost:
      st->dragging = false;
      InvalidateWindowRect(w, nullptr, false);
      return 0;
    case MsgStylusDown:
      if (!TakeFocus(w)) return 0;
      MoveCaret(w, st, HitOffset(w, st, SignedLowWord(static_cast<uintptr_t>(lParam))));
      st->dragging = true;
      return 0;
    case MsgStylusMove:
      if (st->dragging) {
        st->caret = HitOffset(w, st, SignedLowWord(static_cast<uintptr_t>(lParam)));
        Refresh(w, st);
      }
      return 0;
    case MsgStylusUp:
      st->dragging = false;
      return 0;
    case MsgChar:
      if (wParam <= 0xFFFF) Typed(w, st, static_cast<char16_t>(wParam));
      return 0;
    case MsgKeyDown:
      switch (wParam) {
        case KeyLeft: MoveCaret(w, st, Step(w, st->caret, -1)); return 0;
        case KeyRight: MoveCaret(w, st, Step(w, st->caret, 1)); return 0;
        case KeyHome: MoveCaret(w, st, 0); return 0;
        case KeyEnd: MoveCaret(w, st, Length(w)); return 0;
        case KeyDelete: DeleteStep(w, st, 1); return 0;
        case KeyEnter:
        case KeyEscape:
        case KeyTab:
        case KeyUp:
        case KeyDown:
          return w->parent ? SendToWindow(w->parent, message, wParam, lParam) : 0;
        default:
          return 0;  // a character follows as MsgChar
      }
    case MsgDestroy:
      delete st;
      SetWindowData(w, 0);
      return 0;
    default: {
      intptr_t r = 0;
      if (TextMessage(w, message, wParam, lParam, &r)) return r;
      return DefaultWindowProc(w, message, wParam, lParam);
    }
  }
}

}  // namespace ctl
}  // namespace plat
