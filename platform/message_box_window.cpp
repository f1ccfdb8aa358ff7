// The message box the platform draws: a captioned window centred on the
// screen with an icon, the wrapped text and a row of buttons, run modally
// over its disabled owner until a button answers it.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/controls_internal.h"
#include "platform/graphics_internal.h"
#include "platform/message_box.h"
#include "platform/window_internal.h"

namespace plat {

namespace wm {

namespace {

constexpr char16_t kBoxClass[] = u"plat.MessageBox";
constexpr int32_t kPad = 12;
constexpr int32_t kIconSize = 32;
constexpr int32_t kButtonGap = 8;
constexpr int32_t kMinButtonWidth = 72;
constexpr int32_t kMinClientWidth = 160;
constexpr int32_t kTextHeight = 16;

constexpr uint32_t kBandPixel = 0xF0F0F0;
constexpr uint32_t kBandEdgePixel = 0xD0D0D0;

struct Box {
  std::u16string text;
  uint32_t icon;                // 0x10 stop, 0x20 question, 0x30 exclamation, 0x40 information
  std::vector<int32_t> answers; // one per button, left to right
  int32_t focused;              // the button Enter answers
  int32_t pressed;              // the button under a held stylus, -1 for none
  int32_t answer;
  Font* font;
  Font* bold;
  Rect iconRect, textRect, band;
  std::vector<Rect> buttons;
};

const char16_t* Label(int32_t answer) {
  switch (answer) {
    case MsgAnswerOk: return u"OK";
    case MsgAnswerCancel: return u"Cancel";
    case MsgAnswerYes: return u"Yes";
    case MsgAnswerNo: return u"No";
    default: return u"";
  }
}

std::vector<int32_t> Answers(uint32_t flags) {
  switch (flags & 0xF) {
    case MsgBoxOkCancel: return {MsgAnswerOk, MsgAnswerCancel};
    case MsgBoxYesNoCancel: return {MsgAnswerYes, MsgAnswerNo, MsgAnswerCancel};
    case MsgBoxYesNo: return {MsgAnswerYes, MsgAnswerNo};
    default: return {MsgAnswerOk};
  }
}

int32_t TextWidth(DeviceContext* dc, const char16_t* s, std::size_t n) {
  Size size{};
  GetTextExtent(dc, s, static_cast<int32_t>(n), &size);
  return size.cx;
}

// ---- Icons (shapes painted with smooth edges) ----

bool Disc(double u, double v, double size) {
  const double c = size / 2, r = size / 2 - 0.5;
  return (u - c) * (u - c) + (v - c) * (v - c) <= r * r;
}

bool Cross(double u, double v, double size) {
  const double c = size / 2, du = u - c, dv = v - c, arm = size * 0.22, half = size * 0.075 * 1.4142;
  if (std::fabs(du) > arm || std::fabs(dv) > arm) return false;
  return std::fabs(du - dv) < half || std::fabs(du + dv) < half;
}

bool Triangle(double u, double v, double size) {
  const double c = size / 2, top = 1.5, bottom = size - 2.5;
  if (v < top || v > bottom) return false;
  return std::fabs(u - c) <= (v - top) * (c - 1.0) / (bottom - top);
}

bool Bang(double u, double v, double size) {
  const double c = size / 2;
  if (std::fabs(u - c) < size * 0.06 && v > size * 0.32 && v < size * 0.66) return true;
  const double dy = v - size * 0.77;
  return (u - c) * (u - c) + dy * dy <= (size * 0.07) * (size * 0.07);
}

bool InfoMark(double u, double v, double size) {
  const double c = size / 2;
  if (std::fabs(u - c) < size * 0.07 && v > size * 0.42 && v < size * 0.78) return true;
  const double dy = v - size * 0.27;
  return (u - c) * (u - c) + dy * dy <= (size * 0.08) * (size * 0.08);
}

void DrawIcon(Surface* s, DeviceContext* dc, const Box& box) {
  const Rect& r = box.iconRect;
  switch (box.icon) {
    case MsgBoxIconError:
      ctl::PaintShape(s, r, 0xD03030, Disc);
      ctl::PaintShape(s, r, 0xFFFFFF, Cross);
      break;
    case MsgBoxIconWarning:
      ctl::PaintShape(s, r, 0x303030, Triangle);
      ctl::PaintShape(s, Rect{r.left + 2, r.top + 3, r.right - 2, r.bottom + 1}, 0xF2C12E, Triangle);
      ctl::PaintShape(s, r, 0x000000, Bang);
      break;
    case MsgBoxIconInfo:
      ctl::PaintShape(s, r, 0x2F6FC0, Disc);
      ctl::PaintShape(s, r, 0xFFFFFF, InfoMark);
      break;
    case MsgBoxIconQuestion: {
      ctl::PaintShape(s, r, 0x2F6FC0, Disc);
      Font* old = SelectFont(dc, box.bold);
      const Colour oldColour = SetTextColour(dc, MakeColour(0xFF, 0xFF, 0xFF));
      const int oldMode = SetBackMode(dc, BackTransparent);
      DrawTextInRect(dc, u"?", 1, &r, DtCenter | DtVCenter | DtSingleLine | DtNoPrefix);
      SetBackMode(dc, oldMode);
      SetTextColour(dc, oldColour);
      if (old) SelectFont(dc, old);
      break;
    }
    default:
      break;
  }
}

void Paint(PlatWindow* w, Box* box) {
  PaintInfo info;
  DeviceContext* dc = StartPaint(w, &info);
  if (!dc) return;
  Surface* s = &w->client;
  gfx::FillPixels(s, Rect{0, 0, s->width, s->height}, 0xFFFFFF);
  gfx::FillPixels(s, box->band, kBandPixel);
  gfx::FillPixels(s, Rect{box->band.left, box->band.top, box->band.right, box->band.top + 1}, kBandEdgePixel);
  if (box->icon) DrawIcon(s, dc, *box);
  SelectFont(dc, box->font);
  SetBackMode(dc, BackTransparent);
  SetTextColour(dc, MakeColour(0, 0, 0));
  DrawTextInRect(dc, box->text.c_str(), static_cast<int32_t>(box->text.size()), &box->textRect,
                 DtLeft | DtNoPrefix);
  for (std::size_t i = 0; i < box->buttons.size(); ++i) {
    const Rect& b = box->buttons[i];
    ctl::PaintPushFace(s, b, static_cast<int32_t>(i) == box->focused, false, static_cast<int32_t>(i) == box->pressed);
    const char16_t* label = Label(box->answers[i]);
    DrawTextInRect(dc, label, -1, &b, DtCenter | DtVCenter | DtSingleLine | DtNoPrefix);
  }
  FinishPaint(w, &info);
}

int32_t ButtonAt(const Box* box, intptr_t lParam) {
  const int32_t x = SignedLowWord(static_cast<uintptr_t>(lParam)), y = SignedHighWord(static_cast<uintptr_t>(lParam));
  for (std::size_t i = 0; i < box->buttons.size(); ++i) {
    if (gfx::Contains(box->buttons[i], x, y)) return static_cast<int32_t>(i);
  }
  return -1;
}

bool Has(const Box* box, int32_t answer) {
  return std::find(box->answers.begin(), box->answers.end(), answer) != box->answers.end();
}

intptr_t BoxProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  auto* box = reinterpret_cast<Box*>(WindowData(w));
  if (!box) return DefaultWindowProc(w, message, wParam, lParam);
  const auto n = static_cast<int32_t>(box->answers.size());
  switch (message) {
    case MsgPaint:
      Paint(w, box);
      return 0;
    case MsgKeyDown:
      switch (wParam) {
        case KeyEnter:
        case KeySpace:
          box->answer = box->answers[static_cast<std::size_t>(box->focused)];
          break;
        case KeyEscape:
          if (Has(box, MsgAnswerCancel))
            box->answer = MsgAnswerCancel;
          else if (n == 1)
            box->answer = box->answers[0];
          break;
        case KeyLeft:
        case KeyUp:
          box->focused = (box->focused + n - 1) % n;
          InvalidateWindowRect(w, nullptr, false);
          break;
        case KeyRight:
        case KeyDown:
        case KeyTab:
          box->focused = (box->focused + 1) % n;
          InvalidateWindowRect(w, nullptr, false);
          break;
        case 'Y':
          if (Has(box, MsgAnswerYes)) box->answer = MsgAnswerYes;
          break;
        case 'N':
          if (Has(box, MsgAnswerNo)) box->answer = MsgAnswerNo;
          break;
        default:
          break;
      }
      return 0;
    case MsgStylusDown:
      box->pressed = ButtonAt(box, lParam);
      InvalidateWindowRect(w, nullptr, false);
      return 0;
    case MsgStylusUp: {
      const int32_t at = ButtonAt(box, lParam);
      if (at >= 0 && at == box->pressed) box->answer = box->answers[static_cast<std::size_t>(at)];
      box->pressed = -1;
      InvalidateWindowRect(w, nullptr, false);
      return 0;
    }
    default:
      return DefaultWindowProc(w, message, wParam, lParam);
  }
}

// Sizes the box to its text and buttons, within the screen, and places its
// parts in client coordinates. Returns the client size.
Size LayOut(Box* box, const std::u16string& caption) {
  const int32_t screenW = TheWorld().width, screenH = TheWorld().height;
  const int32_t margin = screenW >= 320 ? 24 : 8;
  const int32_t frameW = 2 * kBorderWidth, frameH = 2 * kBorderWidth + kCaptionHeight;
  const int32_t maxClientW = std::max(kMinButtonWidth, screenW - 2 * margin - frameW);
  const int32_t iconW = box->icon ? kIconSize + kPad : 0;

  DeviceContext* dc = CreateMemoryDC(nullptr);  // measures; draws nothing
  SelectFont(dc, box->font);
  TextMetrics tm{};
  GetTextMetrics(dc, &tm);
  const int32_t textMaxW = std::max(1, maxClientW - 2 * kPad - iconW);
  int32_t textW = 1;
  for (std::size_t start = 0; start <= box->text.size();) {
    std::size_t end = box->text.find(u'\n', start);
    if (end == std::u16string::npos) end = box->text.size();
    textW = std::max(textW, TextWidth(dc, box->text.c_str() + start, end - start));
    start = end + 1;
  }
  textW = std::min(textW, textMaxW);
  const Rect measure{0, 0, textW, 1 << 20};
  const int32_t textH = DrawTextInRect(dc, box->text.c_str(), static_cast<int32_t>(box->text.size()),
                                       &measure, DtLeft | DtNoPrefix);
  int32_t labelW = 0;
  for (int32_t a : box->answers) labelW = std::max(labelW, TextWidth(dc, Label(a), std::char_traits<char16_t>::length(Label(a))));
  if (Font* captionFont = CaptionFont()) SelectFont(dc, captionFont);
  const int32_t captionW = TextWidth(dc, caption.c_str(), caption.size()) + 2 * 6;
  DeleteDC(dc);

  const auto count = static_cast<int32_t>(box->answers.size());
  // Buttons of a comfortable width, narrower where the screen is narrow, but
  // never narrower than their labels.
  const int32_t roomEach = (maxClientW - 2 * kPad - (count - 1) * kButtonGap) / count;
  const int32_t buttonW = std::max(labelW + 8, std::min(std::max(kMinButtonWidth, labelW + 24), roomEach));
  const int32_t buttonH = tm.height + 14;
  const int32_t rowW = count * buttonW + (count - 1) * kButtonGap;
  int32_t clientW = std::max({iconW + textW + 2 * kPad, rowW + 2 * kPad, captionW, kMinClientWidth});
  clientW = std::min(clientW, maxClientW);
  const int32_t contentH = std::max(box->icon ? kIconSize : 0, textH);
  int32_t clientH = kPad + contentH + kPad + buttonH + kPad;
  clientH = std::min(clientH, screenH - frameH);

  box->iconRect = Rect{kPad, kPad, kPad + kIconSize, kPad + kIconSize};
  const int32_t textTop = kPad + (box->icon && textH < kIconSize ? (kIconSize - textH) / 2 : 0);
  box->textRect = Rect{kPad + iconW, textTop, kPad + iconW + textW, textTop + textH};
  const int32_t rowTop = clientH - kPad - buttonH;
  box->band = Rect{0, rowTop - kPad / 2 - 1, clientW, clientH};
  box->buttons.clear();
  int32_t x = (clientW - rowW) / 2;
  for (int32_t i = 0; i < count; ++i) {
    box->buttons.push_back(Rect{x, rowTop, x + buttonW, rowTop + buttonH});
    x += buttonW + kButtonGap;
  }
  return Size{clientW, clientH};
}

}  // namespace

int32_t PresentMessageBox(Window owner, const char16_t* text, const char16_t* caption,
                          uint32_t flags) {
  World& W = TheWorld();
  if (!W.started) return 0;
  WindowClassDescription cls{kBoxClass, 0, BoxProc, 0, GetStockBrush(StockWhiteBrush)};
  AddWindowClass(&cls);  // already there after the first box

  Box box{};
  std::u16string title;
  try {
    box.text = text ? text : u"";
    title = caption ? caption : kDefaultMessageCaption;
    box.answers = Answers(flags);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  box.icon = flags & 0xF0;
  if (box.icon > MsgBoxIconInfo) box.icon = 0;
  box.focused = std::min(static_cast<int32_t>((flags >> 8) & 0x3), static_cast<int32_t>(box.answers.size()) - 1);
  box.pressed = -1;
  FontDescription desc{};
  desc.height = kTextHeight;
  box.font = CreateFontFromDescription(&desc);
  desc.weight = FontWeightBold;
  desc.height = 22;
  box.bold = CreateFontFromDescription(&desc);
  if (!box.font) box.font = GetStockFont(StockSystemFont);
  if (!box.bold) box.bold = box.font;

  const Size client = LayOut(&box, title);
  const int32_t boxW = client.cx + 2 * kBorderWidth;
  const int32_t boxH = client.cy + 2 * kBorderWidth + kCaptionHeight;

  PlatWindow* top = Live(owner) ? TopLevelOf(owner) : nullptr;
  Hold holdTop(top);
  const bool ownerWasEnabled = top && !(top->style & WinStyleDisabled);
  if (top) SetWindowEnabled(top, false);

  WindowDescription ws{};
  ws.className = kBoxClass;
  ws.title = title.c_str();
  ws.style = WinStylePopup | WinStyleCaption;
  ws.x = (W.width - boxW) / 2;
  ws.y = (W.height - boxH) / 2;
  ws.width = boxW;
  ws.height = boxH;
  ws.parent = top;
  PlatWindow* w = OpenWindow(&ws);
  if (w) {
    Hold hold(w);
    w->internal = true;
    SetWindowData(w, reinterpret_cast<intptr_t>(&box));
    ApplyShowMode(w, ShowNormal);
    while (Live(w) && box.answer == 0) {
      Message m{};
      if (!NextModalMessage(&m)) break;
      PostCharacterMessage(&m);
      DeliverMessage(&m);
    }
    if (Live(w)) SetWindowData(w, 0);
  }
  // The owner is enabled before the box goes, so that it takes the activation back.
  if (top && Live(top) && ownerWasEnabled) SetWindowEnabled(top, true);
  if (w) DisposeWindow(w);
  if (box.bold != box.font) DeleteFont(box.bold);
  DeleteFont(box.font);
  return box.answer;
}

}  // namespace wm

}  // namespace plat
