// What both bars are made of: the window class and its procedure, the
// layout of the buttons (menu buttons and tools from the left, help, close
// and the input panel's button from the right), their picture, taps and
// holds, the tool tips and the pictures a bar keeps.
#include <algorithm>
#include <new>

#include "platform/bar_internal.h"
#include "platform/graphics_internal.h"
#include "platform/handheld_shell.h"

namespace plat {

const char16_t kCommandBarClass[] = u"plat.CommandBar";
const char16_t kMenuBarClass[] = u"plat.MenuBar";

namespace bar {

namespace {

using namespace wm;

constexpr char16_t kTipClass[] = u"plat.ToolTip";

constexpr int32_t kEdge = 2;           // room at either end of the bar
constexpr int32_t kInset = 2;          // between the band's edges and the buttons
constexpr int32_t kToolWidth = 20;     // a 16-pixel picture; six of them and both menus fit a 240-pixel screen
constexpr int32_t kMenuPad = 3;        // either side of a menu button's text
constexpr int32_t kMinMenuWidth = 22;
constexpr int32_t kGroupGap = 6;       // between menu buttons and tools, a line in its middle
constexpr int32_t kRightWidth = 18;    // help and close
constexpr int32_t kPanelWidth = 28;    // the input panel's button
constexpr int32_t kTextHeight = 16;
constexpr int32_t kTipTextHeight = 13;
constexpr int32_t kTipPad = 4;
constexpr int32_t kTipGap = 2;         // between the button and its tip
constexpr uint32_t kTipDeadline = 1;
constexpr int32_t kMaxTipText = 255;
constexpr int32_t kMaxTips = 256;
constexpr int32_t kMaxButtons = 256;

constexpr uint32_t kBandPixel = 0xDCDCDC;
constexpr uint32_t kLinePixel = 0x808080;
constexpr uint32_t kPressedPixel = 0xB8B8B8;
constexpr uint32_t kShadowPixel = 0x707070;
constexpr uint32_t kLightPixel = 0xFFFFFF;
constexpr uint32_t kSeparatorPixel = 0x9A9A9A;
constexpr uint32_t kDisabledPixel = 0x9A9A9A;
constexpr uint32_t kTipPixel = 0xFFFFE1;
constexpr uint32_t kMagentaPixel = 0xFF00FF;

// The right end's pictures, drawn as the standard ones are.
const char* const kCloseArt[kBarImageSize] = {
    "................", "................", "................", "................",
    "....kk....kk....", ".....kk..kk.....", "......kkkk......", ".......kk.......",
    "......kkkk......", ".....kk..kk.....", "....kk....kk....", "................",
    "................", "................", "................", "................",
};
const char* const kHelpArt[kBarImageSize] = {
    "................", "................", "......kkkk......", ".....kk..kk.....",
    ".....kk..kk.....", ".........kk.....", "........kk......", ".......kk.......",
    ".......kk.......", "................", ".......kk.......", ".......kk.......",
    "................", "................", "................", "................",
};
const char* const kKeyboardArt[kBarImageSize] = {
    "................", "................", "................", "kkkkkkkkkkkkkkkk",
    "kwwwwwwwwwwwwwwk", "kwkwkwkwkwkwkwwk", "kwwwwwwwwwwwwwwk", "kwwkwkwkwkwkwkwk",
    "kwwwwwwwwwwwwwwk", "kwkwkkkkkkkkwkwk", "kwwwwwwwwwwwwwwk", "kkkkkkkkkkkkkkkk",
    "................", "................", "................", "................",
};

uint32_t ArtPixel(char c) {
  switch (c) {
    case 'k': return 0x000000;
    case 'd': return 0x808080;
    case 'l': return 0xC0C0C0;
    case 'w': return 0xFFFFFF;
    case 'b': return 0x000080;
    case 'B': return 0x0000FF;
    case 'r': return 0x800000;
    case 'R': return 0xFF0000;
    case 'y': return 0xFFFF00;
    case 'o': return 0x808000;
    case 'g': return 0x008000;
    case 'c': return 0x008080;
    case 'C': return 0x00FFFF;
    default: return kClear;
  }
}

Font* FontOf(const Bar* b) { return b->font ? b->font : GetStockFont(StockSystemFont); }
Font* TipFontOf(const Bar* b) { return b->tipFont ? b->tipFont : FontOf(b); }

// Measured in a memory context, which needs no surface.
Size TextSize(Font* font, const std::u16string& text) {
  Size size{0, 0};
  if (DeviceContext* dc = CreateMemoryDC(nullptr)) {
    SelectFont(dc, font);
    GetTextExtent(dc, text.c_str(), static_cast<int32_t>(text.size()), &size);
    DeleteDC(dc);
  }
  return size;
}

bool EmptyRect(const Rect& r) { return r.left >= r.right || r.top >= r.bottom; }
bool RightEnd(ItemKind k) { return k == ItemHelp || k == ItemClose || k == ItemInputPanel; }

bool Enabled(const Item& item) { return RightEnd(item.kind) || (item.state & BarStateEnabled); }
bool HasPicture(const Bar* b, const Item& item) {
  return item.image >= 0 && item.image != kBarNoImage &&
         static_cast<std::size_t>(item.image) < b->pictures.size() / kPictureArea;
}

// ---- Layout -------------------------------------------------------------------------

// The band of buttons: the line is under a bar at the top, over one at the bottom.
void ButtonBand(const PlatWindow* w, const Bar* b, int32_t* top, int32_t* bottom) {
  const int32_t h = w->client.height;
  *top = (b->menuBar ? 1 : 0) + kInset;
  *bottom = std::max(*top, (b->menuBar ? h : h - 1) - kInset);
}

int32_t ItemWidth(const Bar* b, const Item& item) {
  switch (item.kind) {
    case ItemMenu:
      return HasPicture(b, item) ? kToolWidth : std::max(kMinMenuWidth, item.textWidth + 2 * kMenuPad);
    case ItemTool: return kToolWidth;
    case ItemInputPanel: return kPanelWidth;
    default: return kRightWidth;
  }
}

// The right end keeps its place; the buttons from the left that would run
// into it are not shown.
void LayOut(const PlatWindow* w, Bar* b) {
  int32_t top, bottom;
  ButtonBand(w, b, &top, &bottom);
  int32_t right = w->client.width - kEdge;
  for (auto it = b->items.rbegin(); it != b->items.rend() && RightEnd(it->kind); ++it) {
    const int32_t width = ItemWidth(b, *it);
    it->rect = Rect{right - width, top, right, bottom};
    right -= width;
  }
  b->separators.clear();
  int32_t x = kEdge;
  int32_t lastGroup = -1;
  bool full = false;
  for (Item& item : b->items) {
    if (RightEnd(item.kind)) break;
    item.rect = Rect{0, 0, 0, 0};
    if (full || (item.state & BarStateHidden)) continue;
    const int32_t group = item.kind == ItemMenu ? 0 : 1;
    const int32_t gap = lastGroup >= 0 && lastGroup != group ? kGroupGap : 0;
    const int32_t width = ItemWidth(b, item);
    if (x + gap + width > right) {
      full = true;
      continue;
    }
    if (gap) b->separators.push_back(x + gap / 2);
    x += gap;
    item.rect = Rect{x, top, x + width, bottom};
    x += width;
    lastGroup = group;
  }
}

int32_t ItemAt(PlatWindow* w, Bar* b, int32_t x, int32_t y) {
  LayOut(w, b);
  for (std::size_t i = 0; i < b->items.size(); ++i) {
    if (!EmptyRect(b->items[i].rect) && gfx::Contains(b->items[i].rect, x, y)) return static_cast<int32_t>(i);
  }
  return -1;
}

// ---- Picture ------------------------------------------------------------------------

void Fill(PlatWindow* w, const Rect& r, uint32_t pixel) { gfx::FillPixels(&w->client, r, pixel); }

// A picture of kPictureArea pixels with its top-left at (x, y); greyed, only
// its darker pixels are drawn, in one grey.
void DrawPicture(PlatWindow* w, const uint32_t* picture, int32_t x, int32_t y, bool greyed) {
  Surface* s = &w->client;
  for (int32_t row = 0; row < kBarImageSize; ++row) {
    for (int32_t col = 0; col < kBarImageSize; ++col) {
      uint32_t p = picture[row * kBarImageSize + col];
      if (p == kClear) continue;
      if (greyed) {
        const uint32_t luma = (((p >> 16) & 0xFF) * 3 + ((p >> 8) & 0xFF) * 6 + (p & 0xFF)) / 10;
        if (luma >= 160) continue;
        p = kDisabledPixel;
      }
      const int32_t px = x + col, py = y + row;
      if (px < 0 || py < 0 || px >= s->width || py >= s->height) continue;
      s->pixels[static_cast<std::size_t>(py) * s->width + px] = p;
    }
  }
}

void DrawArt(PlatWindow* w, const char* const art[kBarImageSize], int32_t x, int32_t y) {
  uint32_t picture[kPictureArea];
  DecodeArt(art, picture);
  DrawPicture(w, picture, x, y, false);
}

void DrawItem(PlatWindow* w, Bar* b, DeviceContext* dc, int32_t index) {
  const Item& item = b->items[static_cast<std::size_t>(index)];
  Rect r = item.rect;
  const bool sunken = (b->pressed == index && b->pressedInside) || b->open == index ||
                      (item.kind == ItemInputPanel && InputPanelShown());
  if (sunken) {
    Fill(w, r, kShadowPixel);
    Fill(w, Rect{r.left + 1, r.bottom - 1, r.right, r.bottom}, kLightPixel);
    Fill(w, Rect{r.right - 1, r.top + 1, r.right, r.bottom}, kLightPixel);
    Fill(w, Rect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, kPressedPixel);
    r = Rect{r.left + 1, r.top + 1, r.right + 1, r.bottom + 1};  // the face pressed in
  }
  const int32_t px = r.left + (r.right - r.left - kBarImageSize) / 2;
  const int32_t py = r.top + (r.bottom - r.top - kBarImageSize) / 2;
  const bool greyed = !Enabled(item);
  switch (item.kind) {
    case ItemHelp: DrawArt(w, kHelpArt, px, py); return;
    case ItemClose: DrawArt(w, kCloseArt, px, py); return;
    case ItemInputPanel: DrawArt(w, kKeyboardArt, px, py); return;
    default: break;
  }
  if (HasPicture(b, item)) {
    DrawPicture(w, &b->pictures[static_cast<std::size_t>(item.image) * kPictureArea], px, py, greyed);
  } else if (item.kind == ItemMenu) {
    SelectFont(dc, FontOf(b));
    SetBackMode(dc, BackTransparent);
    SetTextColour(dc, greyed ? gfx::FromPixel(kDisabledPixel) : MakeColour(0, 0, 0));
    DrawTextInRect(dc, item.text.c_str(), static_cast<int32_t>(item.text.size()), &r,
                   DtCenter | DtVCenter | DtSingleLine);
  }
}

void Paint(PlatWindow* w, Bar* b) {
  PaintInfo info;
  DeviceContext* dc = StartPaint(w, &info);
  if (!dc) return;
  LayOut(w, b);
  const int32_t width = w->client.width, height = w->client.height;
  Fill(w, Rect{0, 0, width, height}, kBandPixel);
  const int32_t lineY = b->menuBar ? 0 : height - 1;
  Fill(w, Rect{0, lineY, width, lineY + 1}, kLinePixel);
  int32_t top, bottom;
  ButtonBand(w, b, &top, &bottom);
  for (int32_t x : b->separators) {
    Fill(w, Rect{x - 1, top + 2, x, bottom - 2}, kSeparatorPixel);
    Fill(w, Rect{x, top + 2, x + 1, bottom - 2}, kLightPixel);
  }
  for (std::size_t i = 0; i < b->items.size(); ++i) {
    if (!EmptyRect(b->items[i].rect)) DrawItem(w, b, dc, static_cast<int32_t>(i));
  }
  FinishPaint(w, &info);
}

// ---- Tool tips ------------------------------------------------------------------------

const std::u16string* TipText(const Bar* b, int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= b->items.size()) return nullptr;
  const int32_t tip = b->items[static_cast<std::size_t>(index)].tip;
  if (tip < 0 || static_cast<std::size_t>(tip) >= b->tips.size() || b->tips[static_cast<std::size_t>(tip)].empty())
    return nullptr;
  return &b->tips[static_cast<std::size_t>(tip)];
}

void HideTip(Bar* b) {
  PlatWindow* tip = b->tip;
  b->tip = nullptr;
  b->tipItem = -1;
  if (Live(tip)) DisposeWindow(tip);
}

// The tip of item `index` below the bar, or above it when the screen ends there.
void ShowTip(PlatWindow* w, Bar* b, int32_t index) {
  const std::u16string* text = TipText(b, index);
  if (!text || !ShownChain(w)) {
    HideTip(b);
    return;
  }
  if (Live(b->tip) && b->tipItem == index) return;
  HideTip(b);
  LayOut(w, b);
  const Rect& r = b->items[static_cast<std::size_t>(index)].rect;
  if (EmptyRect(r)) return;
  // Clear of the whole bar, as its pop-ups are.
  int32_t left = r.left, top = 0, right = r.right, bottom = w->client.height;
  ClientPointToScreen(w, &left, &top);
  ClientPointToScreen(w, &right, &bottom);
  const Size extent = TextSize(TipFontOf(b), *text);
  const World& W = TheWorld();
  const int32_t width = std::min(extent.cx + 2 * kTipPad + 2 * kBorderWidth, W.width);
  const int32_t height = extent.cy + 2 + 2 * kBorderWidth;
  int32_t y = bottom + kTipGap;
  if (y + height > W.height) y = top - kTipGap - height;
  WindowDescription desc{};
  desc.className = kTipClass;
  desc.title = text->c_str();
  desc.style = WinStylePopup | WinStyleBorder;
  desc.x = std::clamp(left, 0, std::max(0, W.width - width));
  desc.y = std::clamp(y, 0, std::max(0, W.height - height));
  desc.width = width;
  desc.height = height;
  desc.parent = TopLevelOf(w);
  desc.createParam = w;
  Hold hold(w);
  PlatWindow* tip = OpenWindow(&desc);
  if (!tip) return;
  tip->internal = true;
  if (!Live(w) || BarOf(w) != b) {
    DisposeWindow(tip);
    return;
  }
  b->tip = tip;
  b->tipItem = index;
  ApplyShowMode(tip, ShowNoActivate);
}

intptr_t TipProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == MsgCreate) {
    const auto* ci = reinterpret_cast<const CreationInfo*>(lParam);
    SetWindowData(w, reinterpret_cast<intptr_t>(ci ? ci->createParam : nullptr));
    return 0;
  }
  auto* barWindow = reinterpret_cast<PlatWindow*>(WindowData(w));
  Bar* b = BarOf(barWindow);
  switch (message) {
    case MsgEraseBackground:
      return 1;
    case MsgPaint: {
      PaintInfo info;
      DeviceContext* dc = StartPaint(w, &info);
      if (!dc) return 0;
      Fill(w, Rect{0, 0, w->client.width, w->client.height}, kTipPixel);
      if (b) SelectFont(dc, TipFontOf(b));
      SetBackMode(dc, BackTransparent);
      SetTextColour(dc, MakeColour(0, 0, 0));
      const Rect r{kTipPad, 0, w->client.width - kTipPad, w->client.height};
      DrawTextInRect(dc, w->title.c_str(), static_cast<int32_t>(w->title.size()), &r,
                     DtLeft | DtVCenter | DtSingleLine | DtNoPrefix);
      FinishPaint(w, &info);
      return 0;
    }
    case MsgDestroy:
      // Gone with its owner, perhaps: the bar must not keep it.
      if (b && b->tip == w) {
        b->tip = nullptr;
        b->tipItem = -1;
      }
      return 0;
    default:
      return DefaultWindowProc(w, message, wParam, lParam);
  }
}

// ---- Stylus --------------------------------------------------------------------------

bool TargetEnabled(const Bar* b) { return Live(b->target) && EnabledChain(TopLevelOf(b->target)); }

void Invalidate(PlatWindow* w) { InvalidateWindowRect(w, nullptr, false); }

// Runs the pop-up of menu button `index` under it. The pop-up runs a loop of
// its own, in which anything may happen to the bar: it shows a copy.
void OpenPopup(PlatWindow* w, Bar* b, int32_t index) {
  const Item& item = b->items[static_cast<std::size_t>(index)];
  const Menu* popup = MenuPopupAt(&b->menu, item.popup);
  if (!popup) return;
  Menu copy;
  try {
    copy = *popup;
  } catch (const std::bad_alloc&) {
    return;
  }
  // Under (or above) the whole bar rather than the button's face, clear of its line.
  Rect r{item.rect.left, 0, item.rect.right, w->client.height};
  ClientPointToScreen(w, &r.left, &r.top);
  ClientPointToScreen(w, &r.right, &r.bottom);
  PlatWindow* target = b->target;
  b->open = index;
  Invalidate(w);
  Hold hold(w);
  RunPopupMenuUnder(&copy, target, &r);
  if (BarOf(w) != b) return;  // the bar went while the pop-up was open
  b->open = -1;
  Invalidate(w);
}

void Activate(PlatWindow* w, Bar* b, int32_t index) {
  const Item& item = b->items[static_cast<std::size_t>(index)];
  switch (item.kind) {
    case ItemMenu:
    case ItemTool:
      PostToWindow(b->target, MsgCommand, static_cast<uintptr_t>(PackWords(item.command, 0)),
                   reinterpret_cast<intptr_t>(w));
      break;
    case ItemHelp:
      PostToWindow(b->target, MsgHelp, 0, 0);
      break;
    case ItemClose:
      if (Live(b->target)) PostToWindow(TopLevelOf(b->target), MsgClose, 0, 0);
      break;
    case ItemInputPanel:
      ShowInputPanel(!InputPanelShown());
      break;
  }
}

void StylusDown(PlatWindow* w, Bar* b, int32_t x, int32_t y) {
  HideTip(b);
  CancelDeadline(w, kTipDeadline);
  b->hover = -1;
  if (!TargetEnabled(b)) return;  // a menu bar under a modal window
  const int32_t index = ItemAt(w, b, x, y);
  if (index < 0 || !Enabled(b->items[static_cast<std::size_t>(index)])) return;
  const Item& item = b->items[static_cast<std::size_t>(index)];
  if (item.kind == ItemMenu && item.popup >= 0) {
    OpenPopup(w, b, index);
    return;
  }
  b->pressed = index;
  b->pressedInside = true;
  Invalidate(w);
  if (TipText(b, index)) SetDeadline(w, kTipDeadline, kToolTipDelayMs);
}

void StylusDrag(PlatWindow* w, Bar* b, int32_t x, int32_t y) {
  if (b->pressed < 0) return;
  const bool inside = ItemAt(w, b, x, y) == b->pressed;
  if (inside == b->pressedInside) return;
  b->pressedInside = inside;
  Invalidate(w);
  HideTip(b);
  if (inside && TipText(b, b->pressed)) {
    SetDeadline(w, kTipDeadline, kToolTipDelayMs);
  } else {
    CancelDeadline(w, kTipDeadline);
  }
}

void StylusUp(PlatWindow* w, Bar* b, int32_t x, int32_t y) {
  if (b->pressed < 0) return;
  const int32_t index = b->pressed;
  const bool fire = ItemAt(w, b, x, y) == index;
  b->pressed = -1;
  b->pressedInside = false;
  Invalidate(w);
  HideTip(b);
  CancelDeadline(w, kTipDeadline);
  if (fire) Activate(w, b, index);
}

// The mouse passing over: a tip waits for it to rest on a button, and moves
// at once to the next button while one is showing.
void Hover(PlatWindow* w, Bar* b, int32_t x, int32_t y) {
  if (b->pressed >= 0 || b->open >= 0) return;
  const int32_t index = TargetEnabled(b) ? ItemAt(w, b, x, y) : -1;
  if (index == b->hover) return;
  b->hover = index;
  if (Live(b->tip)) {
    ShowTip(w, b, index);
    return;
  }
  if (TipText(b, index)) {
    SetDeadline(w, kTipDeadline, kToolTipDelayMs);
  } else {
    CancelDeadline(w, kTipDeadline);
  }
}

void DeadlinePassed(PlatWindow* w, Bar* b) {
  if (b->pressed >= 0) {
    if (b->pressedInside) ShowTip(w, b, b->pressed);
  } else if (b->hover >= 0 && b->open < 0) {
    ShowTip(w, b, b->hover);
  }
}

// ---- Messages ---------------------------------------------------------------------------

intptr_t AddButtons(PlatWindow* w, Bar* b, uintptr_t count, const BarButton* buttons) {
  if (!buttons || count == 0 || count > static_cast<uintptr_t>(kMaxButtons) ||
      b->items.size() + count > static_cast<std::size_t>(kMaxButtons))
    return 0;
  for (uintptr_t i = 0; i < count; ++i) {
    const BarButton& in = buttons[i];
    if (!KnownButtonBits(in.state, in.style) || (in.image < 0 && in.image != kBarNoImage))
      return 0;
  }
  std::vector<Item> added;
  try {
    for (uintptr_t i = 0; i < count; ++i) {
      const BarButton& in = buttons[i];
      // The bar keeps no button texts, so stringIndex names nothing to show.
      added.push_back(Item{ItemTool, in.command, in.image, in.state, in.style, in.data, -1, u"", 0,
                           b->tools + 1 + static_cast<int32_t>(i), Rect{0, 0, 0, 0}});
    }
    const auto at = std::find_if(b->items.begin(), b->items.end(), [](const Item& it) { return RightEnd(it.kind); });
    b->items.insert(at, added.begin(), added.end());
  } catch (const std::bad_alloc&) {
    return 0;
  }
  b->tools += static_cast<int32_t>(count);
  Relayout(w);
  return 1;
}

intptr_t SetTips(Bar* b, uintptr_t count, const char16_t* const* tips) {
  if (count > static_cast<uintptr_t>(kMaxTips) || (count > 0 && !tips)) return 0;
  std::vector<std::u16string> copy;
  try {
    for (uintptr_t i = 0; i < count; ++i) {
      std::u16string s;
      for (const char16_t* p = tips[i]; p && *p && static_cast<int32_t>(s.size()) < kMaxTipText; ++p) s.push_back(*p);
      copy.push_back(std::move(s));
    }
  } catch (const std::bad_alloc&) {
    return 0;
  }
  b->tips = std::move(copy);
  HideTip(b);
  return 1;
}

intptr_t ButtonMenu(Bar* b, intptr_t command) {
  for (const Item& item : b->items) {
    if (item.kind == ItemMenu && item.popup >= 0 && item.command != 0 && item.command == command)
      return reinterpret_cast<intptr_t>(MenuPopupAt(&b->menu, item.popup));
  }
  return 0;
}

void Release(Bar* b) {
  HideTip(b);
  DeleteFont(b->font);
  DeleteFont(b->tipFont);
  delete b;
}

intptr_t BarProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == MsgCreate) {
    const auto* ci = reinterpret_cast<const CreationInfo*>(lParam);
    const auto* init = ci ? static_cast<const BarInit*>(ci->createParam) : nullptr;
    if (!init) return -1;
    Bar* b = new (std::nothrow) Bar{};
    if (!b) return -1;
    b->menuBar = init->menuBar;
    b->target = init->target;
    b->pressed = b->open = b->hover = b->tipItem = -1;
    FontDescription desc{};
    desc.height = kTextHeight;
    b->font = CreateFontFromDescription(&desc);
    desc.height = kTipTextHeight;
    b->tipFont = CreateFontFromDescription(&desc);
    SetWindowData(w, reinterpret_cast<intptr_t>(b));
    return 0;
  }
  Bar* b = BarOf(w);
  if (!b) return DefaultWindowProc(w, message, wParam, lParam);
  const int32_t x = SignedLowWord(static_cast<uintptr_t>(lParam)), y = SignedHighWord(static_cast<uintptr_t>(lParam));
  switch (message) {
    case MsgPaint:
      Paint(w, b);
      return 0;
    case MsgEraseBackground:
      return 1;  // painting fills everything
    case MsgSize:
      Invalidate(w);
      HideTip(b);
      return 0;
    case MsgShow:
      if (!wParam) {
        HideTip(b);
        CancelDeadline(w, kTipDeadline);
        b->pressed = b->hover = -1;
      }
      return 0;
    case MsgStylusDown:
      StylusDown(w, b, x, y);
      return 0;
    case MsgStylusMove:
      if (wParam & StylusButtonDown) {
        StylusDrag(w, b, x, y);
      } else {
        Hover(w, b, x, y);
      }
      return 0;
    case MsgStylusUp:
      StylusUp(w, b, x, y);
      return 0;
    case MsgDeadline:
      if (wParam == kTipDeadline) DeadlinePassed(w, b);
      return 0;
    case MsgBarAddButtons:
      return AddButtons(w, b, wParam, reinterpret_cast<const BarButton*>(lParam));
    case MsgBarSetToolTips:
      return SetTips(b, wParam, reinterpret_cast<const char16_t* const*>(lParam));
    case MsgBarButtonMenu:
      return ButtonMenu(b, lParam);
    case MsgDestroy:
      SetWindowData(w, 0);
      Release(b);
      return 0;
    default:
      return DefaultWindowProc(w, message, wParam, lParam);
  }
}

}  // namespace

// ---- Shared ------------------------------------------------------------------------------

bool EnsureBarClasses() {
  if (!TheWorld().started) return false;
  // Each is already there after the first bar of the screen.
  WindowClassDescription command{kCommandBarClass, ClassWantsHover, BarProc, 0, nullptr};
  AddWindowClass(&command);
  WindowClassDescription menu{kMenuBarClass, ClassWantsHover | ClassNoActivate, BarProc, 0, nullptr};
  AddWindowClass(&menu);
  WindowClassDescription tip{kTipClass, ClassNoActivate, TipProc, 0, nullptr};
  AddWindowClass(&tip);
  return true;
}

Bar* BarOf(Window w) {
  if (!Live(w) || !w->cls || (w->cls->name != kCommandBarClass && w->cls->name != kMenuBarClass)) return nullptr;
  return reinterpret_cast<Bar*>(w->data);
}

void DecodeArt(const char* const art[kBarImageSize], uint32_t* out) {
  for (int32_t row = 0; row < kBarImageSize; ++row) {
    for (int32_t col = 0; col < kBarImageSize; ++col) out[row * kBarImageSize + col] = ArtPixel(art[row][col]);
  }
}

int32_t ButtonTextWidth(const Bar* b, const std::u16string& text) {
  return TextSize(FontOf(b), MenuTextAsDrawn(text)).cx;
}

bool KnownButtonBits(uint32_t state, uint32_t style) {
  constexpr uint32_t kKnownState = BarStateEnabled | BarStateHidden;
  constexpr uint32_t kKnownStyle = BarStyleDropDown | BarStyleAutoSize;
  return !(state & ~kKnownState) && !(style & ~kKnownStyle);
}

int32_t AddPictures(Bar* b, const uint32_t* pixels, int32_t width, int32_t count) {
  const auto have = static_cast<int32_t>(b->pictures.size() / kPictureArea);
  if (!pixels || count <= 0 || count > kMaxPictures - have || width < count * kBarImageSize) return -1;
  try {
    b->pictures.reserve(b->pictures.size() + static_cast<std::size_t>(count) * kPictureArea);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  for (int32_t k = 0; k < count; ++k) {
    for (int32_t row = 0; row < kBarImageSize; ++row) {
      for (int32_t col = 0; col < kBarImageSize; ++col) {
        const uint32_t p = pixels[static_cast<std::size_t>(row) * width + k * kBarImageSize + col] & 0xFFFFFF;
        b->pictures.push_back(p == kMagentaPixel ? kClear : p);
      }
    }
  }
  return have;
}

void SetRightEnd(Bar* b) {
  b->items.erase(std::remove_if(b->items.begin(), b->items.end(), [](const Item& it) { return RightEnd(it.kind); }),
                 b->items.end());
  auto add = [b](ItemKind kind) {
    b->items.push_back(Item{kind, 0, kBarNoImage, BarStateEnabled, 0, 0, -1, u"", 0, -1, Rect{0, 0, 0, 0}});
  };
  try {
    if (b->helpButton) add(ItemHelp);
    if (b->closeButton) add(ItemClose);
    if (b->inputPanelButton && InputPanelButtonShown()) add(ItemInputPanel);
  } catch (const std::bad_alloc&) {
    // A bar without its right end still works.
  }
}

void Relayout(PlatWindow* w) {
  Bar* b = BarOf(w);
  if (!b) return;
  HideTip(b);
  b->pressed = b->hover = -1;
  Invalidate(w);
}

void RefreshInputPanelButtons() {
  World& W = TheWorld();
  const std::vector<PlatWindow*> levels = W.topLevels;
  for (PlatWindow* t : levels) {
    Bar* b = BarOf(t);
    if (!b || !b->menuBar || !b->inputPanelButton) continue;
    SetRightEnd(b);
    Relayout(t);
  }
}

}  // namespace bar

namespace wm {

void FitChildBars(PlatWindow* w) {
  if (!Live(w) || w->children.empty()) return;
  const std::vector<PlatWindow*> children = w->children;
  for (PlatWindow* c : children) {
    if (!bar::BarOf(c)) continue;  // menu bars are top-level windows, never children
    if (c->rect.right - c->rect.left != w->client.width)
      PlaceWindow(c, c->rect.left, c->rect.top, w->client.width, c->rect.bottom - c->rect.top, true);
  }
}

}  // namespace wm
}  // namespace plat
