// List boxes: rows of text, at most one selected, kept in order when the
// style asks; scrolled by their own bar, the wheel, taps and keys.
#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "platform/controls_internal.h"

namespace plat {
namespace ctl {

namespace {

constexpr int32_t kTextIndent = 2;

struct ListState {
  Font* font;
  std::vector<std::u16string> items;
  int32_t current = kListNone;
  int32_t top = 0;
  bool held = false;
};

// Letter case is ignored for the Latin letters of the first 256 code points,
// which is what family names and sizes use.
char16_t Fold(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
  return c;
}

// Case-ignoring order first, so "arial" and "Arial" sit together; units break ties.
bool Before(const std::u16string& a, const std::u16string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (Fold(a[i]) != Fold(b[i])) return Fold(a[i]) < Fold(b[i]);
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

bool StartsWith(const std::u16string& s, std::u16string_view prefix) {
  if (prefix.size() > s.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (Fold(s[i]) != Fold(prefix[i])) return false;
  }
  return true;
}

int32_t Count(const ListState* st) { return static_cast<int32_t>(st->items.size()); }

int32_t RowHeight(PlatWindow* w, ListState* st) {
  DeviceContext* dc = AcquireWindowDC(w);
  if (!dc) return 16;
  SelectFont(dc, FontOrSystem(st->font));
  TextMetrics tm{};
  GetTextMetrics(dc, &tm);
  ReturnWindowDC(w, dc);
  return std::max(1, tm.height + 2);
}

// Whole rows that fit; at least one.
int32_t Rows(PlatWindow* w, ListState* st) { return std::max(1, w->client.height / RowHeight(w, st)); }

void UpdateBar(PlatWindow* w, ListState* st) {
  const int32_t rows = Rows(w, st);
  st->top = std::clamp(st->top, 0, std::max(0, Count(st) - rows));
  if (!(w->style & WinStyleVScroll)) return;
  ScrollInfo si{sizeof(ScrollInfo), ScrollMaskRange | ScrollMaskPage | ScrollMaskPos, 0,
                std::max(0, Count(st) - 1), static_cast<uint32_t>(rows), st->top, 0};
  WriteScrollBar(w, ScrollBarVertical, &si, true);
}

void Changed(PlatWindow* w, ListState* st) {
  UpdateBar(w, st);
  InvalidateWindowRect(w, nullptr, false);
}

void ShowRow(PlatWindow* w, ListState* st, int32_t i) {
  if (i < 0) return;
  const int32_t rows = Rows(w, st);
  if (i < st->top) st->top = i;
  if (i >= st->top + rows) st->top = i - rows + 1;
}

int32_t SetCurrent(PlatWindow* w, ListState* st, intptr_t i) {
  st->current = i >= 0 && i < Count(st) ? static_cast<int32_t>(i) : kListNone;
  ShowRow(w, st, st->current);
  Changed(w, st);
  return st->current;
}

// A selection the user made: the parent hears of it when it changed.
void UserSelect(PlatWindow* w, ListState* st, int32_t i) {
  if (Count(st) == 0) return;
  i = std::clamp(i, 0, Count(st) - 1);
  if (i == st->current) return;
  SetCurrent(w, st, i);
  if (w->style & ListNotify) NotifyParent(w, NotifyListSelectionChanged);
}

int32_t Add(PlatWindow* w, ListState* st, const char16_t* text) {
  if (!text || Count(st) >= INT32_MAX - 1) return kListNone;
  try {
    std::u16string item(text);
    auto at = st->items.end();
    if (w->style & ListSorted) at = std::upper_bound(st->items.begin(), st->items.end(), item, Before);
    const auto index = static_cast<int32_t>(at - st->items.begin());
    st->items.insert(at, std::move(item));
    if (st->current >= index) ++st->current;  // the selected item stays selected
    Changed(w, st);
    return index;
  } catch (const std::bad_alloc&) {
    return kListNone;
  }
}

int32_t SelectPrefix(PlatWindow* w, ListState* st, intptr_t after, const char16_t* prefix) {
  const int32_t n = Count(st);
  if (!prefix || n == 0) return kListNone;
  const std::u16string_view p(prefix);
  const int32_t first = after >= 0 && after < n - 1 ? static_cast<int32_t>(after) + 1 : 0;
  for (int32_t k = 0; k < n; ++k) {
    const int32_t i = (first + k) % n;
    if (StartsWith(st->items[static_cast<std::size_t>(i)], p)) return SetCurrent(w, st, i);
  }
  return kListNone;
}

int32_t CopyItem(const ListState* st, intptr_t i, const ListItemText* out) {
  if (i < 0 || i >= Count(st) || !out || !out->buffer || out->capacity <= 0) return kListNone;
  const std::u16string& s = st->items[static_cast<std::size_t>(i)];
  const auto n = static_cast<int32_t>(std::min<std::size_t>(s.size(), static_cast<std::size_t>(out->capacity - 1)));
  std::copy_n(s.data(), n, out->buffer);
  out->buffer[n] = 0;
  return n;
}

void PaintList(PlatWindow* w, ListState* st) {
  PaintInfo info;
  DeviceContext* dc = StartPaint(w, &info);
  if (!dc) return;
  const int32_t width = w->client.width, height = w->client.height;
  FillClient(w, Rect{0, 0, width, height}, 0xFFFFFF);
  const int32_t rowH = RowHeight(w, st);
  const uint32_t ink = PrepareText(w, dc, st->font);
  for (int32_t i = st->top, y = 0; i < Count(st) && y < height; ++i, y += rowH) {
    const Rect row{0, y, width, y + rowH};
    const bool selected = i == st->current;
    if (selected) FillClient(w, row, kSelectionPixel);
    SetTextColour(dc, gfx::FromPixel(selected ? 0xFFFFFF : ink));
    const Rect text{kTextIndent, y, width - kTextIndent, y + rowH};
    const std::u16string& s = st->items[static_cast<std::size_t>(i)];
    DrawTextInRect(dc, s.data(), static_cast<int32_t>(s.size()), &text, DtLeft | DtSingleLine | DtVCenter | DtNoPrefix);
  }
  FinishPaint(w, &info);
}

void Scroll(PlatWindow* w, ListState* st, uint32_t code) {
  const int32_t rows = Rows(w, st);
  switch (code) {
    case ScrollLineUp: --st->top; break;
    case ScrollLineDown: ++st->top; break;
    case ScrollPageUp: st->top -= rows; break;
    case ScrollPageDown: st->top += rows; break;
    case ScrollTop: st->top = 0; break;
    case ScrollBottom: st->top = Count(st); break;
    case ScrollThumbTrack:
    case ScrollThumbPosition: {
      ScrollInfo si{sizeof(ScrollInfo), ScrollMaskTrackPos, 0, 0, 0, 0, 0};
      if (ReadScrollBar(w, ScrollBarVertical, &si)) st->top = si.trackPos;
      break;
    }
    default: return;
  }
  Changed(w, st);
}

int32_t RowAt(PlatWindow* w, ListState* st, intptr_t lParam) {
  const int32_t y = std::clamp<int32_t>(SignedHighWord(static_cast<uintptr_t>(lParam)), 0, std::max(0, w->client.height - 1));
  return st->top + y / RowHeight(w, st);
}

}  // namespace

intptr_t ListBoxProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  auto* st = reinterpret_cast<ListState*>(WindowData(w));
  if (message == MsgCreate) {
    st = new (std::nothrow) ListState{};
    if (!st) return -1;
    SetWindowData(w, reinterpret_cast<intptr_t>(st));
    return 0;
  }
  if (!st) return DefaultWindowProc(w, message, wParam, lParam);
  switch (message) {
    case MsgPaint:
      PaintList(w, st);
      return 0;
    case MsgSize:
      Changed(w, st);
      return 0;
    case MsgSetFont:
      st->font = reinterpret_cast<Font*>(wParam);
      UpdateBar(w, st);
      if (lParam) InvalidateWindowRect(w, nullptr, true);
      return 0;
    case MsgGetFont:
      return reinterpret_cast<intptr_t>(FontOrSystem(st->font));
    case MsgListAddString:
      return Add(w, st, reinterpret_cast<const char16_t*>(lParam));
    case MsgListReset:
      st->items.clear();
      st->current = kListNone;
      st->top = 0;
      Changed(w, st);
      return 0;
    case MsgListGetCount:
      return Count(st);
    case MsgListGetCurrent:
      return st->current;
    case MsgListSetCurrent:
      return SetCurrent(w, st, static_cast<intptr_t>(wParam));
    case MsgListSelectPrefix:
      return SelectPrefix(w, st, static_cast<intptr_t>(wParam), reinterpret_cast<const char16_t*>(lParam));
    case MsgListGetItemLength: {
      const auto i = static_cast<intptr_t>(wParam);
      return i >= 0 && i < Count(st) ? static_cast<intptr_t>(st->items[static_cast<std::size_t>(i)].size()) : kListNone;
    }
    case MsgListGetItemText:
      return CopyItem(st, static_cast<intptr_t>(wParam), reinterpret_cast<const ListItemText*>(lParam));
    case MsgListGetTopIndex:
      return st->top;
    case MsgVScroll:
      Scroll(w, st, LowWord(wParam));
      return 0;
    case MsgFocusGained:
    case MsgFocusLost:
      st->held = false;
      InvalidateWindowRect(w, nullptr, false);
      return 0;
    case MsgStylusDown: {
      if (!TakeFocus(w)) return 0;
      st->held = true;
      const int32_t row = RowAt(w, st, lParam);
      if (row < Count(st)) UserSelect(w, st, row);
      return 0;
    }
    case MsgStylusMove:
      if (st->held && (wParam & StylusButtonDown)) {
        const int32_t row = RowAt(w, st, lParam);
        if (row < Count(st)) UserSelect(w, st, row);
      }
      return 0;
    case MsgStylusUp:
      st->held = false;
      return 0;
    case MsgKeyDown: {
      const int32_t cur = st->current, page = std::max(1, Rows(w, st) - 1);
      switch (wParam) {
        case KeyUp: UserSelect(w, st, cur < 0 ? 0 : cur - 1); return 0;
        case KeyDown: UserSelect(w, st, cur + 1); return 0;
        case KeyPageUp: UserSelect(w, st, cur < 0 ? 0 : cur - page); return 0;
        case KeyPageDown: UserSelect(w, st, cur < 0 ? page : cur + page); return 0;
        case KeyHome: UserSelect(w, st, 0); return 0;
        case KeyEnd: UserSelect(w, st, Count(st) - 1); return 0;
        case KeyEnter:
        case KeyEscape:
        case KeyTab:
          return w->parent ? SendToWindow(w->parent, message, wParam, lParam) : 0;
        default:
          return 0;
      }
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
