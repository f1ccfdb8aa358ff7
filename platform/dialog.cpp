// Modal dialogs: templates in and out of bytes, the dialog window with its
// controls in dialog units, the caption's OK button, and the modal loop.
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/controls_internal.h"
#include "platform/dialog.h"
#include "platform/graphics_internal.h"
#include "platform/resources.h"

namespace plat {

namespace {

using namespace wm;

constexpr char16_t kDialogClass[] = u"plat.Dialog";
constexpr char16_t kUiFace[] = u"DejaVu Sans";
constexpr int32_t kPixelsPerInch = 96;
constexpr uint16_t kDefaultPointSize = 8;
constexpr int32_t kOkWidth = 30;  // the caption's OK button
constexpr int32_t kOkInset = 3;
constexpr uint32_t kCaptionPixel = 0x1E3C78;  // the active caption's, which the button sits on

struct DialogRun {
  DialogProc proc;
  intptr_t result;
  bool ended;
  bool captionOk;
  bool okPressed;
  Font* font;  // owned
  int32_t baseX, baseY;
};

// ---- Bytes ------------------------------------------------------------------------

struct Reader {
  const uint8_t* p;
  std::size_t left;
  DialogTemplateError error = DlgTemplateOk;

  bool Need(std::size_t n) {
    if (error != DlgTemplateOk) return false;
    if (left < n) {
      error = DlgTemplateTruncated;
      return false;
    }
    return true;
  }
  uint16_t U16() {
    if (!Need(2)) return 0;
    const uint16_t v = static_cast<uint16_t>(p[0] | (p[1] << 8));
    p += 2;
    left -= 2;
    return v;
  }
  uint32_t U32() {
    const uint32_t lo = U16();
    return lo | (static_cast<uint32_t>(U16()) << 16);
  }
  int16_t I16() { return static_cast<int16_t>(U16()); }
  void String(std::u16string* out) {
    out->clear();
    for (;;) {
      if (!Need(2)) return;
      const uint16_t unit = U16();
      if (unit == 0) return;
      if (static_cast<int32_t>(out->size()) >= kMaxDialogString) {
        error = DlgTemplateStringTooLong;
        return;
      }
      out->push_back(static_cast<char16_t>(unit));
    }
  }
  // A name or text, or 0xFFFF and a number.
  void NameOrNumber(std::u16string* name, uint16_t* number) {
    *number = 0;
    name->clear();
    if (!Need(2)) return;
    if ((p[0] | (p[1] << 8)) == 0xFFFF) {
      U16();
      *number = U16();
    } else {
      String(name);
    }
  }
};

void Put16(std::vector<uint8_t>* out, uint32_t v) {
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>* out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
bool PutString(std::vector<uint8_t>* out, const std::u16string& s) {
  if (static_cast<int32_t>(s.size()) > kMaxDialogString || s.find(u'\0') != std::u16string::npos) return false;
  for (char16_t c : s) Put16(out, c);
  Put16(out, 0);
  return true;
}

bool ValidTemplate(const DialogTemplate& t) {
  if (t.cx < 0 || t.cy < 0 || static_cast<int32_t>(t.items.size()) > kMaxDialogItems) return false;
  for (const DialogItemTemplate& item : t.items) {
    if (item.cx < 0 || item.cy < 0) return false;
    if (item.classCode && (item.classCode < DlgClassButton || item.classCode > DlgClassList)) return false;
  }
  return true;
}

// ---- Fonts and units -------------------------------------------------------------

Font* TemplateFont(const DialogTemplate& t) {
  FontDescription desc{};
  std::u16string face = (t.style & DlgStyleSetFont) ? t.fontName : u"";
  if (face.empty() || face == u"System") face = kUiFace;  // the platform's UI face
  std::copy_n(face.begin(), std::min<std::size_t>(face.size(), 31), desc.faceName);
  const int32_t points = (t.style & DlgStyleSetFont) && t.pointSize ? t.pointSize : kDefaultPointSize;
  desc.height = -((points * kPixelsPerInch + 36) / 72);
  return CreateFontFromDescription(&desc);
}

void BaseUnitsOf(Font* font, int32_t* baseX, int32_t* baseY) {
  static const char16_t kAlphabet[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  DeviceContext* dc = CreateMemoryDC(nullptr);
  SelectFont(dc, ctl::FontOrSystem(font));
  Size size{};
  GetTextExtent(dc, kAlphabet, 52, &size);
  TextMetrics tm{};
  GetTextMetrics(dc, &tm);
  DeleteDC(dc);
  *baseX = std::max(1, (size.cx / 26 + 1) / 2);
  *baseY = std::max(1, tm.height);
}

// Dialog units to pixels: a quarter of the base width, an eighth of the base height.
int32_t PixelsX(const DialogRun& run, int32_t units) { return units * run.baseX / 4; }
int32_t PixelsY(const DialogRun& run, int32_t units) { return units * run.baseY / 8; }

DialogRun* RunOf(Window w) {
  if (!Live(w) || !w->cls || w->cls->name != kDialogClass) return nullptr;
  return reinterpret_cast<DialogRun*>(w->data);
}

// ---- The caption's OK button -------------------------------------------------------

Rect OkRect(const PlatWindow* w) {  // window coordinates
  const int32_t b = (w->style & WinStyleBorder) ? kBorderWidth : 0;
  const int32_t right = (w->rect.right - w->rect.left) - b - kOkInset;
  return Rect{right - kOkWidth, b + kOkInset, right, b + kCaptionHeight - kOkInset};
}

// The frame is the compositor's; the button is drawn over it whenever the
// frame was marked for redrawing, which only happens while a message is
// handled, so the dialog's procedure wrapper redraws it before the screen is
// composed again.
void DecorateCaption(PlatWindow* w, DialogRun* run) {
  if (!run->captionOk || !w->frameDirty || !w->frame.pixels) return;
  if ((w->style & WinStyleCaption) != WinStyleCaption) return;
  DrawFrame(w);
  Surface* s = &w->frame;
  const Rect r = OkRect(w);
  gfx::FillPixels(s, r, 0xFFFFFF);
  gfx::FillPixels(s, Rect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1},
                  run->okPressed ? 0xFFFFFF : kCaptionPixel);
  DeviceContext* dc = CreateSurfaceDC(s);
  if (dc) {
    if (Font* font = CaptionFont()) SelectFont(dc, font);
    SetBackMode(dc, BackTransparent);
    SetTextColour(dc, gfx::FromPixel(run->okPressed ? kCaptionPixel : 0xFFFFFF));
    DrawTextInRect(dc, u"OK", 2, &r, DtCenter | DtVCenter | DtSingleLine | DtNoPrefix);
    DeleteDC(dc);
  }
  MarkChanged();
}

bool OnOk(PlatWindow* w, intptr_t lParam) {
  int32_t ox = 0, oy = 0;
  ScreenOrigin(w, &ox, &oy);
  const int32_t x = SignedLowWord(static_cast<uintptr_t>(lParam)) - ox;
  const int32_t y = SignedHighWord(static_cast<uintptr_t>(lParam)) - oy;
  return gfx::Contains(OkRect(w), x, y);
}

void SetOkPressed(PlatWindow* w, DialogRun* run, bool pressed) {
  if (run->okPressed == pressed) return;
  run->okPressed = pressed;
  w->frameDirty = true;
}

// ---- The dialog window -------------------------------------------------------------

void MoveFocus(PlatWindow* dialog, int32_t step) {
  std::vector<PlatWindow*> stops;
  for (PlatWindow* c : dialog->children) {
    if ((c->style & WinStyleTabStop) && (c->style & WinStyleVisible) && !(c->style & WinStyleDisabled)) stops.push_back(c);
  }
  if (stops.empty()) return;
  const auto at = std::find(stops.begin(), stops.end(), TheWorld().focus);
  const auto n = static_cast<int32_t>(stops.size());
  const int32_t i = at == stops.end() ? 0 : (static_cast<int32_t>(at - stops.begin()) + step + n) % n;
  SetFocusWindow(stops[static_cast<std::size_t>(i)]);
}

intptr_t DialogDefault(PlatWindow* w, DialogRun* run, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case MsgClose:
      PostToWindow(w, MsgCommand, CommandCancel, 0);
      return 0;
    case MsgFrameStylusDown:
      if (run->captionOk && wParam == FrameHitCaption && OnOk(w, lParam)) SetOkPressed(w, run, true);
      break;
    case MsgFrameStylusMove:
      if (run->okPressed) SetOkPressed(w, run, OnOk(w, lParam));
      break;
    case MsgFrameStylusUp:
      if (run->okPressed) {
        SetOkPressed(w, run, false);
        if (OnOk(w, lParam)) PostToWindow(w, MsgCommand, CommandOk, 0);
      }
      break;
    default:
      break;
  }
  return DefaultWindowProc(w, message, wParam, lParam);
}

intptr_t DialogWindowProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == MsgCreate) {
    const auto* ci = reinterpret_cast<const CreationInfo*>(lParam);
    SetWindowData(w, reinterpret_cast<intptr_t>(ci ? ci->createParam : nullptr));
  }
  DialogRun* run = reinterpret_cast<DialogRun*>(WindowData(w));
  if (!run) return DefaultWindowProc(w, message, wParam, lParam);
  Hold hold(w);
  intptr_t r = run->proc ? run->proc(w, message, wParam, lParam) : 0;
  if (message != MsgInitDialog && r == 0 && Live(w)) r = DialogDefault(w, run, message, wParam, lParam);
  if (Live(w)) DecorateCaption(w, run);
  return r;
}

PlatWindow* MakeControl(PlatWindow* dialog, const DialogItemTemplate& item, DialogRun* run) {
  const char16_t* cls = item.className.c_str();
  switch (item.classCode) {
    case DlgClassButton: cls = kButtonClass; break;
    case DlgClassStatic: cls = kStaticClass; break;
    case DlgClassEdit: cls = kEditClass; break;
    case DlgClassList: cls = kListBoxClass; break;
    default: break;
  }
  ControlInit init{item.textResource};
  WindowDescription desc{};
  desc.exStyle = item.exStyle;
  desc.className = cls;
  desc.title = item.textResource ? u"" : item.text.c_str();
  desc.style = (item.style | WinStyleChild) & ~WinStylePopup;
  desc.x = PixelsX(*run, item.x);
  desc.y = PixelsY(*run, item.y);
  desc.width = PixelsX(*run, item.cx);
  desc.height = PixelsY(*run, item.cy);
  desc.parent = dialog;
  desc.id = item.id;
  desc.createParam = &init;
  PlatWindow* c = OpenWindow(&desc);
  if (c) SendToWindow(c, MsgSetFont, reinterpret_cast<uintptr_t>(run->font), 0);
  return c;
}

}  // namespace

// ---- Templates -------------------------------------------------------------------------

DialogTemplateError DecodeDialogTemplate(const uint8_t* bytes, std::size_t size, DialogTemplate* out) {
  if (!out) return DlgTemplateTruncated;
  *out = DialogTemplate{};
  if (!bytes) return DlgTemplateTruncated;
  Reader rd{bytes, size};
  DialogTemplate t{};
  t.style = rd.U32();
  t.exStyle = rd.U32();
  const uint16_t count = rd.U16();
  t.x = rd.I16();
  t.y = rd.I16();
  t.cx = rd.I16();
  t.cy = rd.I16();
  if (rd.error) return rd.error;
  if (count > kMaxDialogItems) return DlgTemplateTooManyItems;
  if (t.cx < 0 || t.cy < 0) return DlgTemplateBadSize;
  try {
    rd.String(&t.caption);
    if (t.style & DlgStyleSetFont) {
      t.pointSize = rd.U16();
      rd.String(&t.fontName);
    }
    for (uint16_t i = 0; i < count && !rd.error; ++i) {
      DialogItemTemplate item{};
      item.style = rd.U32();
      item.exStyle = rd.U32();
      item.x = rd.I16();
      item.y = rd.I16();
      item.cx = rd.I16();
      item.cy = rd.I16();
      item.id = rd.U16();
      rd.NameOrNumber(&item.className, &item.classCode);
      rd.NameOrNumber(&item.text, &item.textResource);
      if (rd.error) break;
      if (item.cx < 0 || item.cy < 0) return DlgTemplateBadSize;
      if (item.className.empty() && (item.classCode < DlgClassButton || item.classCode > DlgClassList))
        return DlgTemplateBadClass;
      t.items.push_back(std::move(item));
    }
  } catch (const std::bad_alloc&) {
    return DlgTemplateTruncated;
  }
  if (rd.error) return rd.error;
  if (rd.left != 0) return DlgTemplateTrailingBytes;
  *out = std::move(t);
  return DlgTemplateOk;
}

bool EncodeDialogTemplate(const DialogTemplate& t, std::vector<uint8_t>* out) {
  if (!out || !ValidTemplate(t)) return false;
  std::vector<uint8_t> b;
  Put32(&b, t.style);
  Put32(&b, t.exStyle);
  Put16(&b, static_cast<uint32_t>(t.items.size()));
  for (int16_t v : {t.x, t.y, t.cx, t.cy}) Put16(&b, static_cast<uint16_t>(v));
  if (!PutString(&b, t.caption)) return false;
  if (t.style & DlgStyleSetFont) {
    Put16(&b, t.pointSize);
    if (!PutString(&b, t.fontName)) return false;
  }
  for (const DialogItemTemplate& item : t.items) {
    Put32(&b, item.style);
    Put32(&b, item.exStyle);
    for (int16_t v : {item.x, item.y, item.cx, item.cy}) Put16(&b, static_cast<uint16_t>(v));
    Put16(&b, item.id);
    if (item.classCode) {
      Put16(&b, 0xFFFF);
      Put16(&b, item.classCode);
    } else if (item.className.empty() || item.className[0] == 0xFFFF || !PutString(&b, item.className)) {
      return false;
    }
    if (item.textResource) {
      Put16(&b, 0xFFFF);
      Put16(&b, item.textResource);
    } else if ((!item.text.empty() && item.text[0] == 0xFFFF) || !PutString(&b, item.text)) {
      return false;
    }
  }
  *out = std::move(b);
  return true;
}

// ---- Running ------------------------------------------------------------------------------

intptr_t RunDialog(const DialogTemplate* tmpl, Window owner, DialogProc proc, intptr_t param) {
  World& W = TheWorld();
  if (!W.started || !tmpl || !ValidTemplate(*tmpl) || !EnsureControlClasses()) return -1;
  WindowClassDescription cls{kDialogClass, 0, DialogWindowProc, 0, GetStockBrush(StockWhiteBrush)};
  AddWindowClass(&cls);  // already there after the first dialog

  DialogRun run{};
  run.proc = proc;
  run.captionOk = (tmpl->exStyle & DlgExCaptionOk) != 0;
  run.font = TemplateFont(*tmpl);
  BaseUnitsOf(run.font, &run.baseX, &run.baseY);

  const uint32_t style = (tmpl->style | WinStylePopup) & ~(WinStyleChild | WinStyleVisible);
  const int32_t b = (style & WinStyleBorder) ? 2 * kBorderWidth : 0;
  const int32_t cap = (style & WinStyleCaption) == WinStyleCaption ? kCaptionHeight : 0;
  const int32_t width = PixelsX(run, tmpl->cx) + b, height = PixelsY(run, tmpl->cy) + b + cap;

  PlatWindow* top = Live(owner) ? TopLevelOf(owner) : nullptr;
  Hold holdTop(top);
  const bool ownerWasEnabled = top && !(top->style & WinStyleDisabled);
  if (top) SetWindowEnabled(top, false);

  WindowDescription ws{};
  ws.exStyle = tmpl->exStyle;
  ws.className = kDialogClass;
  ws.title = tmpl->caption.c_str();
  ws.style = style;
  if (tmpl->style & DlgStyleCenter) {
    ws.x = (W.width - width) / 2;
    ws.y = (W.height - height) / 2;
  } else {
    ws.x = PixelsX(run, tmpl->x);
    ws.y = PixelsY(run, tmpl->y);
  }
  ws.width = width;
  ws.height = height;
  ws.parent = top;
  ws.createParam = &run;
  PlatWindow* w = OpenWindow(&ws);
  intptr_t result = -1;
  if (w) {
    Hold hold(w);
    w->internal = true;
    PlatWindow* firstFocus = nullptr;
    for (const DialogItemTemplate& item : tmpl->items) {
      PlatWindow* c = MakeControl(w, item, &run);
      if (c && !firstFocus && (c->style & WinStyleTabStop)) firstFocus = c;
    }
    const intptr_t init = SendToWindow(w, MsgInitDialog, reinterpret_cast<uintptr_t>(firstFocus), param);
    if (Live(w) && !run.ended) {
      if (tmpl->style & WinStyleVisible) ApplyShowMode(w, ShowNormal);
      if (init && Live(firstFocus) && IsWithin(firstFocus, w)) SetFocusWindow(firstFocus);
    }
    while (Live(w) && !run.ended) {
      Message m{};
      if (!NextModalMessage(&m)) {
        if (W.quitPending) result = 0;  // a quit request, posted again for the outer loop
        break;
      }
      if (m.message == MsgKeyDown && Live(m.window) && IsWithin(m.window, w)) {
        if (m.wParam == KeyEscape) {
          PostToWindow(w, MsgCommand, CommandCancel, 0);
          continue;
        }
        if (m.wParam == KeyTab) {
          MoveFocus(w, (m.keyState & KeyStateShift) ? -1 : 1);
          continue;
        }
      }
      PostCharacterMessage(&m);
      DeliverMessage(&m);
    }
    if (run.ended) result = run.result;
  }
  // The owner is enabled before the dialog goes, so that it takes the activation back.
  if (top && Live(top) && ownerWasEnabled) SetWindowEnabled(top, true);
  if (w) DisposeWindow(w);
  DeleteFont(run.font);
  return result;
}

intptr_t RunDialogFromBytes(const uint8_t* bytes, std::size_t size, Window owner, DialogProc proc,
                            intptr_t param) {
  DialogTemplate t;
  if (DecodeDialogTemplate(bytes, size, &t) != DlgTemplateOk) return -1;
  return RunDialog(&t, owner, proc, param);
}

intptr_t RunDialogResource(uint16_t id, Window owner, DialogProc proc, intptr_t param) {
  const ResourceHandle h = FindProgramResource(ResTypeDialog, id);
  if (!h.record) return -1;
  return RunDialogFromBytes(LoadProgramResource(h), ResourceSize(h), owner, proc, param);
}

bool EndDialog(Window dialog, intptr_t result) {
  DialogRun* run = RunOf(dialog);
  if (!run) return false;
  run->ended = true;
  run->result = result;
  return true;
}

bool IsDialog(Window window) { return RunOf(window) != nullptr; }

namespace wm {

bool GiveDialogCaptionOk(PlatWindow* dialog) {
  DialogRun* run = RunOf(dialog);
  if (!run) return false;
  run->captionOk = true;
  dialog->exStyle |= DlgExCaptionOk;
  dialog->frameDirty = true;
  // Drawn at once: nothing else may mark the frame before the next picture.
  DecorateCaption(dialog, run);
  MarkChanged();
  return true;
}

}  // namespace wm

Window DialogItem(Window dialog, uint32_t id) {
  if (!RunOf(dialog)) return nullptr;
  for (PlatWindow* c : dialog->children) {
    if (c->alive && c->id == id) return c;
  }
  return nullptr;
}

uint32_t DialogItemId(Window item) { return WindowIdOf(item); }

intptr_t SendItemMessage(Window dialog, uint32_t id, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Window item = DialogItem(dialog, id);
  return item ? SendToWindow(item, message, wParam, lParam) : 0;
}

bool SetItemText(Window dialog, uint32_t id, const char16_t* text) {
  Window item = DialogItem(dialog, id);
  return item && SendToWindow(item, MsgSetText, 0, reinterpret_cast<intptr_t>(text)) != 0;
}

int32_t ItemText(Window dialog, uint32_t id, char16_t* buffer, int32_t capacity) {
  if (buffer && capacity > 0) buffer[0] = 0;
  Window item = DialogItem(dialog, id);
  if (!item || !buffer || capacity <= 0) return 0;
  return static_cast<int32_t>(SendToWindow(item, MsgGetText, static_cast<uintptr_t>(capacity), reinterpret_cast<intptr_t>(buffer)));
}

uint32_t DialogBaseUnits() {
  DialogTemplate t{};
  Font* font = TemplateFont(t);
  int32_t x = 0, y = 0;
  BaseUnitsOf(font, &x, &y);
  DeleteFont(font);
  return static_cast<uint32_t>(PackWords(x, y));
}

bool DialogUnits(Window dialog, int32_t* baseX, int32_t* baseY) {
  DialogRun* run = RunOf(dialog);
  if (!run) return false;
  if (baseX) *baseX = run->baseX;
  if (baseY) *baseY = run->baseY;
  return true;
}

bool DialogUnitsToPixels(Window dialog, Rect* rect) {
  DialogRun* run = RunOf(dialog);
  if (!run || !rect) return false;
  *rect = Rect{PixelsX(*run, rect->left), PixelsY(*run, rect->top), PixelsX(*run, rect->right),
               PixelsY(*run, rect->bottom)};
  return true;
}

Font* DialogFont(Window dialog) {
  DialogRun* run = RunOf(dialog);
  return run ? run->font : nullptr;
}

}  // namespace plat
