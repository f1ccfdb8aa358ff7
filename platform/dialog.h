// Modal dialogs built from templates: a captioned pop-up window holding
// child controls (platform/controls.h) laid out in dialog units, run over
// its disabled owner until the dialog procedure ends it.
//
// Dialog units: one horizontal unit is a quarter of the dialog font's
// average character width, one vertical unit an eighth of its height. The
// template's font "System" (or no font) is DejaVu Sans, the face the
// platform draws its own captions and message boxes with; point sizes count
// at 96 pixels an inch, so 8 points is an 11-pixel em.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"

namespace plat {

// Returns non-zero when it handled the message; 0 lets the dialog's default
// handling run. For MsgInitDialog, non-zero asks the platform to put the focus
// on the first control that takes it.
using DialogProc = intptr_t (*)(Window dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Template style bits, besides the window styles of window.h.
enum DialogStyle : uint32_t {
  DlgStyleSetFont = 0x40,      // the template names a font
  DlgStyleCenter = 0x800,      // centred on the screen, whatever its position says
};
constexpr uint32_t WinStyleSystemMenu = 0x80000;
constexpr uint32_t WinStyleGroup = 0x20000;    // starts a group of controls (radio buttons)
constexpr uint32_t WinStyleTabStop = 0x10000;  // Tab stops on it
// Extended style: an OK button in the caption that sends command CommandOk.
constexpr uint32_t DlgExCaptionOk = 0x80000000u;

// The commands of the dialog's own buttons and keys: the caption OK button
// and Enter send CommandOk, Escape and closing send CommandCancel.
constexpr uint16_t CommandOk = 1;
constexpr uint16_t CommandCancel = 2;

// The id a template gives a control nobody addresses.
constexpr uint16_t kNoControlId = 0xFFFF;

// Control kinds a template names by code instead of by class name.
enum DialogClassCode : uint16_t {
  DlgClassButton = 0x80,
  DlgClassEdit = 0x81,
  DlgClassStatic = 0x82,
  DlgClassList = 0x83,
};

struct DialogItemTemplate {
  uint32_t style;
  uint32_t exStyle;
  int16_t x, y, cx, cy;     // dialog units
  uint16_t id;
  uint16_t classCode;       // DialogClassCode; 0: className names the class
  std::u16string className;
  uint16_t textResource;    // non-zero: a resource (a static's bitmap); text unused
  std::u16string text;
};

struct DialogTemplate {
  uint32_t style;
  uint32_t exStyle;
  int16_t x, y, cx, cy;     // dialog units
  std::u16string caption;
  uint16_t pointSize;       // with DlgStyleSetFont
  std::u16string fontName;  // with DlgStyleSetFont
  std::vector<DialogItemTemplate> items;  // in template order (z-order and tab order)
};

// The bytes of a dialog resource, all little-endian, without padding:
//   u32 style, u32 exStyle, u16 item count, i16 x, y, cx, cy,
//   caption: UTF-16 units up to and including a zero unit;
//   with DlgStyleSetFont: u16 point size, face name as the caption;
//   each item: u32 style, u32 exStyle, i16 x, y, cx, cy, u16 id,
//     class: 0xFFFF then a u16 DialogClassCode, or a name as the caption,
//     text: 0xFFFF then a u16 resource id, or a text as the caption.
// At most kMaxDialogItems items; strings of at most kMaxDialogString units.
constexpr int32_t kMaxDialogItems = 255;
constexpr int32_t kMaxDialogString = 1024;

enum DialogTemplateError : int32_t {
  DlgTemplateOk = 0,
  DlgTemplateTruncated,     // the bytes end inside a field or string
  DlgTemplateTooManyItems,
  DlgTemplateStringTooLong,
  DlgTemplateBadClass,      // a class code that is not a DialogClassCode
  DlgTemplateBadSize,       // a negative width or height
  DlgTemplateTrailingBytes,
};
DialogTemplateError DecodeDialogTemplate(const uint8_t* bytes, std::size_t size, DialogTemplate* out);
// False when the template could not be written back in the format above
// (too many items, a string too long).
bool EncodeDialogTemplate(const DialogTemplate& tmpl, std::vector<uint8_t>* out);

// Runs the dialog modally: the owner's top-level window is disabled, the
// window and its controls are made, MsgInitDialog goes to the procedure
// (wParam: the first control that takes the focus, lParam: `param`), then
// messages are handled until EndDialog. The owner is enabled again before the
// dialog is destroyed (MsgDestroy reaches the procedure). Returns the value
// given to EndDialog; -1 when there is no screen, the template is invalid or
// the window cannot be made; a quit request ends the dialog with 0 and is
// passed on to the outer loop.
intptr_t RunDialog(const DialogTemplate* tmpl, Window owner, DialogProc proc, intptr_t param);
// From template bytes; -1 as well when they do not decode.
intptr_t RunDialogFromBytes(const uint8_t* bytes, std::size_t size, Window owner, DialogProc proc,
                            intptr_t param);
// From dialog resource `id` of the program; -1 as well when it is missing.
intptr_t RunDialogResource(uint16_t id, Window owner, DialogProc proc, intptr_t param);

// Ends a running dialog with `result` once the current message is handled.
// False when `dialog` is not a running dialog.
bool EndDialog(Window dialog, intptr_t result);
bool IsDialog(Window window);

// Controls by id (the first in template order); null when none.
Window DialogItem(Window dialog, uint32_t id);
uint32_t DialogItemId(Window item);
intptr_t SendItemMessage(Window dialog, uint32_t id, uint32_t message, uintptr_t wParam, intptr_t lParam);
// A control's text; the getter copies at most capacity - 1 units and a zero,
// and returns the units copied (0 for no such control).
bool SetItemText(Window dialog, uint32_t id, const char16_t* text);
int32_t ItemText(Window dialog, uint32_t id, char16_t* buffer, int32_t capacity);

// The dialog base units of the "System" 8-point font: horizontal in the low
// word, vertical in the high word (pixels).
uint32_t DialogBaseUnits();
// A running dialog's own base units; false when `dialog` is not one.
bool DialogUnits(Window dialog, int32_t* baseX, int32_t* baseY);
// Converts a rectangle in the dialog's units to pixels.
bool DialogUnitsToPixels(Window dialog, Rect* rect);
// The font the dialog's template named (owned by the dialog).
Font* DialogFont(Window dialog);

}  // namespace plat
