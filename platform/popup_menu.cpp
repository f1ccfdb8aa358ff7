// The pop-up menu the platform draws: a bordered list of items on white,
// the selection inverted, run in a loop of its own that takes every stylus
// and key message while it is open.
#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "platform/menu.h"
#include "platform/window_internal.h"

namespace plat {

namespace {

constexpr char16_t kPopupClass[] = u"plat.PopupMenu";
constexpr int32_t kTextHeight = 16;
constexpr int32_t kItemHeight = 26;      // a row a fingertip can hit
constexpr int32_t kSeparatorHeight = 9;
constexpr int32_t kCheckColumn = 20;     // left margin holding the check mark
constexpr int32_t kRightPad = 10;
constexpr int32_t kLabelGap = 20;        // between the text and its shortcut label
constexpr int32_t kArrowColumn = 12;     // an item's pop-up arrow

constexpr Colour kSelectedBack = MakeColour(0, 0, 128);
constexpr Colour kGrayedText = MakeColour(128, 128, 128);

struct Popup {
  const Menu* menu;
  std::vector<Rect> rows;  // client coordinates, one per item
  int32_t selected;        // -1 for none
  bool done;
  uint16_t chosen;
  Font* font;
};

// The shortcut label after the character 8.
std::u16string LabelPart(const std::u16string& s) {
  const std::size_t at = s.find(u'\b');
  return at == std::u16string::npos ? std::u16string() : s.substr(at + 1);
}

// The mnemonic letter, upper case; 0 when there is none.
char16_t Mnemonic(const std::u16string& s) {
  for (std::size_t i = 0; i + 1 < s.size(); ++i) {
    if (s[i] != u'&') continue;
    if (s[i + 1] == u'&') {
      ++i;
      continue;
    }
    const char16_t c = s[i + 1];
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
  }
  return 0;
}

bool Choosable(const MenuItem& item) { return !item.separator && !(item.state & MenuStateGrayed); }

int32_t TextWidth(DeviceContext* dc, const std::u16string& s) {
  Size size{0, 0};
  if (!s.empty()) GetTextExtent(dc, s.data(), static_cast<int32_t>(s.size()), &size);
  return size.cx;
}

void DrawCheck(DeviceContext* dc, const Rect& row, Colour colour) {
  Pen* pen = CreateSolidPen(2, colour);
  Pen* old = SelectPen(dc, pen);
  const int32_t cx = row.left + kCheckColumn / 2;
  const int32_t cy = (row.top + row.bottom) / 2;
  MoveTo(dc, cx - 5, cy);
  LineTo(dc, cx - 2, cy + 4);
  LineTo(dc, cx + 5, cy - 5);
  SelectPen(dc, old);
  DeletePen(pen);
}

void DrawArrow(DeviceContext* dc, const Rect& row, Colour colour) {
  Brush* brush = CreateSolidBrush(colour);
  const int32_t x = row.right - kArrowColumn;
  const int32_t cy = (row.top + row.bottom) / 2;
  for (int32_t i = 0; i < 4; ++i) {
    const Rect line{x + i, cy - 4 + i, x + i + 1, cy + 5 - i};
    FillRect(dc, &line, brush);
  }
  DeleteBrush(brush);
}

void Paint(Window w, const Popup& p) {
  PaintInfo info{};
  DeviceContext* dc = StartPaint(w, &info);
  if (!dc) return;
  Rect client{};
  WindowClientRect(w, &client);
  FillRect(dc, &client, GetStockBrush(StockWhiteBrush));
  Font* oldFont = SelectFont(dc, p.font);
  SetBackMode(dc, BackTransparent);
  for (std::size_t i = 0; i < p.rows.size() && i < p.menu->items.size(); ++i) {
    const MenuItem& item = p.menu->items[i];
    const Rect& row = p.rows[i];
    if (item.separator) {
      const Rect line{row.left + 4, (row.top + row.bottom) / 2, row.right - 4, (row.top + row.bottom) / 2 + 1};
      FillRect(dc, &line, GetStockBrush(StockGrayBrush));
      continue;
    }
    const bool selected = static_cast<int32_t>(i) == p.selected;
    Colour ink = (item.state & MenuStateGrayed) ? kGrayedText : MakeColour(0, 0, 0);
    if (selected) {
      Brush* back = CreateSolidBrush(kSelectedBack);
      FillRect(dc, &row, back);
      DeleteBrush(back);
      ink = MakeColour(255, 255, 255);
    }
    SetTextColour(dc, ink);
    if (item.state & MenuStateChecked) DrawCheck(dc, row, ink);
    const std::u16string text = MenuTextBeforeLabel(item.text);
    const std::u16string label = LabelPart(item.text);
    const Rect textRect{row.left + kCheckColumn, row.top, row.right - kRightPad, row.bottom};
    DrawTextInRect(dc, text.data(), static_cast<int32_t>(text.size()), &textRect, DtLeft | DtVCenter | DtSingleLine);
    if (!label.empty()) {
      DrawTextInRect(dc, label.data(), static_cast<int32_t>(label.size()), &textRect,
                     DtRight | DtVCenter | DtSingleLine | DtNoPrefix);
    }
    if (item.popup) DrawArrow(dc, row, ink);
  }
  SelectFont(dc, oldFont);
  FinishPaint(w, &info);
}

intptr_t PopupProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  auto* p = reinterpret_cast<Popup*>(WindowData(w));
  if (message == MsgPaint && p) {
    Paint(w, *p);
    return 0;
  }
  if (message == MsgEraseBackground) return 1;  // painting fills everything
  return DefaultWindowProc(w, message, wParam, lParam);
}

// Lays the rows out; the client size.
Size LayOut(Popup* p) {
  DeviceContext* probe = CreateMemoryDC(nullptr);  // measures; draws nothing
  int32_t textW = 0, labelW = 0;
  bool anyPopup = false;
  if (probe) {
    SelectFont(probe, p->font);
    for (const MenuItem& item : p->menu->items) {
      textW = std::max(textW, TextWidth(probe, MenuTextAsDrawn(MenuTextBeforeLabel(item.text))));
      labelW = std::max(labelW, TextWidth(probe, LabelPart(item.text)));
      anyPopup = anyPopup || item.popup;
    }
    DeleteDC(probe);
  }
  const int32_t width = kCheckColumn + textW + (labelW ? kLabelGap + labelW : 0) +
                        (anyPopup ? kArrowColumn : 0) + kRightPad;
  int32_t y = 0;
  p->rows.clear();
  for (const MenuItem& item : p->menu->items) {
    const int32_t h = item.separator ? kSeparatorHeight : kItemHeight;
    p->rows.push_back(Rect{0, y, width, y + h});
    y += h;
  }
  return Size{width, y};
}

int32_t RowAt(const Popup& p, int32_t x, int32_t y) {
  for (std::size_t i = 0; i < p.rows.size(); ++i) {
    const Rect& r = p.rows[i];
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return static_cast<int32_t>(i);
  }
  return -1;
}

uint16_t Run(const Menu* menu, Window owner, int32_t x, int32_t y, const Rect* button, bool post);

void Select(Window w, Popup* p, int32_t row) {
  if (row == p->selected) return;
  p->selected = row;
  InvalidateWindowRect(w, nullptr, false);
}

// Chooses row `row`: a command ends the menu, a pop-up runs beside it.
void Choose(Window w, Popup* p, int32_t row) {
  if (row < 0 || row >= static_cast<int32_t>(p->menu->items.size())) return;
  const MenuItem& item = p->menu->items[static_cast<std::size_t>(row)];
  if (!Choosable(item)) return;
  if (!item.popup) {
    p->chosen = item.id;
    p->done = true;
    return;
  }
  Rect screen{};
  WindowScreenRect(w, &screen);
  const Rect& r = p->rows[static_cast<std::size_t>(row)];
  const uint16_t id = Run(&item.submenu, nullptr, screen.right - 2, screen.top + kBorderWidth + r.top, nullptr, false);
  if (id) {
    p->chosen = id;
    p->done = true;
  }
}

void Step(Window w, Popup* p, int32_t direction) {
  const int32_t n = static_cast<int32_t>(p->menu->items.size());
  int32_t row = p->selected;
  for (int32_t tries = 0; tries < n; ++tries) {
    row = row < 0 ? (direction > 0 ? 0 : n - 1) : (row + direction + n) % n;
    if (Choosable(p->menu->items[static_cast<std::size_t>(row)])) {
      Select(w, p, row);
      return;
    }
  }
}

void MnemonicKey(Window w, Popup* p, char16_t letter) {
  const int32_t n = static_cast<int32_t>(p->menu->items.size());
  std::vector<int32_t> matches;
  for (int32_t i = 0; i < n; ++i) {
    const MenuItem& item = p->menu->items[static_cast<std::size_t>(i)];
    if (Choosable(item) && Mnemonic(MenuTextBeforeLabel(item.text)) == letter) matches.push_back(i);
  }
  if (matches.empty()) return;
  if (matches.size() == 1) {
    Select(w, p, matches[0]);
    Choose(w, p, matches[0]);
    return;
  }
  // Several share the letter: each press selects the next of them.
  const auto next = std::upper_bound(matches.begin(), matches.end(), p->selected);
  Select(w, p, next == matches.end() ? matches[0] : *next);
}

// Handles one message of the loop; false when it is not the menu's.
bool TakeInput(Window w, Popup* p, const Message& m) {
  switch (m.message) {
    case MsgStylusDown:
    case MsgStylusMove:
    case MsgStylusUp:
    case MsgFrameStylusDown:
    case MsgFrameStylusMove:
    case MsgFrameStylusUp: {
      Rect screen{};
      WindowScreenRect(w, &screen);
      const bool inside = m.x >= screen.left && m.x < screen.right && m.y >= screen.top && m.y < screen.bottom;
      const bool down = m.message == MsgStylusDown || m.message == MsgFrameStylusDown;
      const bool up = m.message == MsgStylusUp || m.message == MsgFrameStylusUp;
      if (!inside) {
        if (down) p->done = true;  // a tap outside dismisses
        return true;
      }
      const int32_t row = RowAt(*p, m.x - screen.left - kBorderWidth, m.y - screen.top - kBorderWidth);
      const bool usable = row >= 0 && Choosable(p->menu->items[static_cast<std::size_t>(row)]);
      Select(w, p, usable ? row : -1);
      if (up && usable) Choose(w, p, row);
      return true;
    }
    case MsgKeyDown:
      switch (m.wParam) {
        case KeyUp: Step(w, p, -1); break;
        case KeyDown: Step(w, p, +1); break;
        case KeyEnter: Choose(w, p, p->selected); break;
        case KeyEscape: p->done = true; break;
        default:
          if ((m.wParam >= 'A' && m.wParam <= 'Z') || (m.wParam >= '0' && m.wParam <= '9'))
            MnemonicKey(w, p, static_cast<char16_t>(m.wParam));
          break;
      }
      return true;
    case MsgKeyUp:
    case MsgChar:
    case MsgWheel:
      return true;  // the menu has the keys while it is open
    default:
      return false;
  }
}

uint16_t Run(const Menu* menu, Window owner, int32_t x, int32_t y, const Rect* button, bool post) {
  wm::World& W = wm::TheWorld();
  if (!W.started || !menu || menu->items.empty()) return 0;
  WindowClassDescription cls{kPopupClass, 0, PopupProc, 0, GetStockBrush(StockWhiteBrush)};
  AddWindowClass(&cls);  // already there after the first menu

  Popup p{};
  p.menu = menu;
  p.selected = -1;
  FontDescription desc{};
  desc.height = kTextHeight;
  p.font = CreateFontFromDescription(&desc);
  const bool ownFont = p.font != nullptr;
  if (!p.font) p.font = GetStockFont(StockSystemFont);
  Size client{};
  try {
    client = LayOut(&p);
  } catch (const std::bad_alloc&) {
    if (ownFont) DeleteFont(p.font);
    return 0;
  }
  const int32_t width = std::min(client.cx + 2 * kBorderWidth, W.width);
  const int32_t height = std::min(client.cy + 2 * kBorderWidth, W.height);
  if (button) {
    x = button->left;
    y = button->bottom;
    if (y + height > W.height && button->top - height >= 0) y = button->top - height;
  }
  x = std::clamp(x, 0, std::max(0, W.width - width));
  y = std::clamp(y, 0, std::max(0, W.height - height));

  WindowDescription ws{};
  ws.className = kPopupClass;
  ws.style = WinStylePopup | WinStyleBorder;
  ws.x = x;
  ws.y = y;
  ws.width = width;
  ws.height = height;
  ws.parent = IsLiveWindow(owner) ? TopLevelOf(owner) : nullptr;
  PlatWindow* w = OpenWindow(&ws);
  if (w) {
    wm::Hold hold(w);
    w->internal = true;
    SetWindowData(w, reinterpret_cast<intptr_t>(&p));
    ApplyShowMode(w, ShowNoActivate);
    while (wm::Live(w) && !p.done) {
      if (owner && !IsLiveWindow(owner)) break;
      Message m{};
      if (!wm::NextModalMessage(&m)) break;
      if (TakeInput(w, &p, m)) continue;
      DeliverMessage(&m);
    }
    if (wm::Live(w)) SetWindowData(w, 0);
    DisposeWindow(w);
  }
  if (ownFont) DeleteFont(p.font);
  const uint16_t chosen = p.done ? p.chosen : 0;
  if (chosen && post && IsLiveWindow(owner)) PostToWindow(owner, MsgCommand, chosen, 0);
  return chosen;
}

}  // namespace

uint16_t RunPopupMenuAt(const Menu* menu, Window owner, int32_t x, int32_t y) {
  return Run(menu, owner, x, y, nullptr, true);
}

uint16_t RunPopupMenuUnder(const Menu* menu, Window owner, const Rect* button) {
  if (!button) return 0;
  return Run(menu, owner, 0, 0, button, true);
}

}  // namespace plat
