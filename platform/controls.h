// Controls the platform draws and drives: static text and pictures, push,
// radio, check and owner-drawn buttons. Each is a child window of a class
// registered on first use; a dialog makes them from its template, and any
// window may open them with OpenWindow.
//
// Message numbers the reader's code names only by role are the platform's
// own, in the range 0x340..0x3FF, which no other message of the platform
// uses. A control reports to its parent with MsgCommand: the control id in
// the low word of wParam, the notification in the high word, the control in
// lParam.
#pragma once

#include <cstdint>

#include "platform/graphics.h"
#include "platform/window.h"

namespace plat {

// Class names; EnsureControlClasses registers them (idempotent; false
// without a screen).
constexpr char16_t kButtonClass[] = u"plat.Button";
constexpr char16_t kStaticClass[] = u"plat.Static";
constexpr char16_t kEditClass[] = u"plat.Edit";
constexpr char16_t kListBoxClass[] = u"plat.ListBox";
bool EnsureControlClasses();

// ---- Messages every control takes ----------------------------------------------

enum ControlMessage : uint32_t {
  MsgDrawItem = 43,           // to the parent: wParam control id, lParam DrawItemInfo*
  MsgSetText = 0x340,         // lParam: const char16_t* (null: empty); returns 1
  MsgGetText = 0x341,         // wParam: capacity, lParam: char16_t*; returns units copied
  MsgGetTextLength = 0x342,
  MsgSetFont = 0x343,         // wParam: Font* (not owned; null: the system font), lParam: redraw
  MsgGetFont = 0x344,         // returns the Font* in use
  // Buttons.
  MsgButtonGetCheck = 0x350,  // returns 1 checked, 0 not
  MsgButtonSetCheck = 0x351,  // wParam: 1 or 0
  MsgButtonClick = 0x352,     // as a tap: checks as its kind does and notifies
  // Edits. Positions are UTF-16 unit offsets into the text, clamped to it.
  MsgEditGetSelection = 0x360,  // wParam, lParam: int32_t* start, end (each may be null);
                                // returns start low word, end high word (each capped at 0xFFFF)
  MsgEditSetSelection = 0x361,  // wParam: start, lParam: end (both signed; end < 0: the end of
                                // the text; start < 0: no selection, the caret stays); the
                                // caret goes to `end`; (0, -1) selects all
  MsgEditReplaceSelection = 0x362,  // wParam: 1 undoable, lParam: const char16_t* (null: empty);
                                    // what passes the limit is dropped; returns units inserted
  MsgEditSetLimit = 0x363,      // wParam: units, 0 or above kEditMaxText: kEditMaxText; the
                                // text already there is kept
  MsgEditGetLimit = 0x364,
  MsgEditUndo = 0x365,          // undoes (or redoes) the last change; returns 1 when there was one
  MsgEditCanUndo = 0x366,
  // List boxes. Indexes are signed; kListNone (-1) means none or a failure.
  MsgListAddString = 0x370,     // lParam: const char16_t* (null refused); returns its index
  MsgListReset = 0x371,         // removes every item
  MsgListGetCount = 0x372,
  MsgListGetCurrent = 0x373,    // the selected item
  MsgListSetCurrent = 0x374,    // wParam: index (kListNone or out of range: none); returns it
  MsgListSelectPrefix = 0x375,  // wParam: index after which to look (kListNone: from the top),
                                // wrapping round; lParam: const char16_t* prefix, case ignored;
                                // selects and returns the first match, or kListNone (selection kept)
  MsgListGetItemLength = 0x376, // wParam: index
  MsgListGetItemText = 0x377,   // wParam: index, lParam: ListItemText*; returns units copied
  MsgListGetTopIndex = 0x378,   // the first item shown
};

// The text a control is made with can name a resource in the form
// CreationInfo::createParam = ControlInit* (a static picture's bitmap).
struct ControlInit {
  uint16_t resourceId;
};

// ---- Edits --------------------------------------------------------------------------

enum EditStyle : uint32_t {
  EditLeft = 0x0,
  EditCenter = 0x1,
  EditRight = 0x2,
  EditMultiLine = 0x4,        // wraps at spaces and '\n'; drawn from the top, no caret drawn
  EditAutoVScroll = 0x40,     // accepted; a multi-line edit shows its first lines
  EditAutoHScroll = 0x80,     // accepted; a single line always scrolls to keep the caret in view
};

// The most a text may hold, and the limit until MsgEditSetLimit.
constexpr int32_t kEditMaxText = 0x7FFE;

// A change the user made (typing, deleting, the input method, undo, replace).
constexpr uint16_t NotifyEditChanged = 0x10;
// Text was refused or cut because of the limit.
constexpr uint16_t NotifyEditFull = 0x11;

// Keys: Left, Right, Home and End move the caret (the text is shown in the
// order stored, so Left goes to the lower offset), Delete and Backspace
// delete; characters 1 (Ctrl+A) select all and 26 (Ctrl+Z) undo. Enter,
// Escape, Tab, Up and Down are the parent's. A tap places the caret, a drag
// selects.

// ---- List boxes -----------------------------------------------------------------------

enum ListStyle : uint32_t {
  ListNotify = 0x1,              // tell the parent when the user changes the selection
  ListSorted = 0x2,              // keep the items in order (by units, case ignored for a..z)
  ListNoIntegralHeight = 0x100,  // accepted: a part row at the bottom is always shown
};

constexpr int32_t kListNone = -1;

// With ListNotify: the user changed the selection (tap, keys).
constexpr uint16_t NotifyListSelectionChanged = 1;

struct ListItemText {
  char16_t* buffer;
  int32_t capacity;  // units, the terminating zero included; copied text is cut to fit
};

// Keys: Up, Down, PageUp, PageDown, Home and End move the selection; a tap or
// a drag selects the row under the stylus; the bar (WinStyleVScroll) and the
// wheel scroll.

// ---- Static controls ---------------------------------------------------------------

enum StaticStyle : uint32_t {
  StaticLeft = 0x0,
  StaticCenter = 0x1,
  StaticRight = 0x2,
  StaticBitmap = 0xE,     // shows a bitmap resource at its own size
  StaticTypeMask = 0x1F,
  StaticNoPrefix = 0x80,  // '&' is drawn, not taken as a mnemonic mark
};

// ---- Buttons --------------------------------------------------------------------------

enum ButtonStyle : uint32_t {
  ButtonPush = 0x0,
  ButtonDefaultPush = 0x1,
  ButtonCheckBox = 0x2,
  ButtonAutoCheckBox = 0x3,
  ButtonRadio = 0x4,
  ButtonAutoRadio = 0x9,  // checking it unchecks the other radio buttons of its group
  ButtonOwnerDraw = 0xB,  // the parent draws it (MsgDrawItem)
  ButtonTypeMask = 0xF,
};

constexpr uint16_t NotifyButtonClicked = 0;

// What MsgDrawItem's lParam points at.
enum DrawItemKind : uint32_t { DrawItemButton = 4 };
enum DrawItemAction : uint32_t { DrawItemEntire = 1, DrawItemSelect = 2, DrawItemFocus = 4 };
enum DrawItemState : uint32_t { DrawStateSelected = 1, DrawStateFocus = 0x10 };
struct DrawItemInfo {
  uint32_t kind;     // DrawItemKind
  uint32_t controlId;
  uint32_t itemId;
  uint32_t action;   // DrawItemAction
  uint32_t state;    // DrawItemState bits
  Window item;
  DeviceContext* dc; // the control's, valid during the message
  Rect rect;         // the control's client rectangle
  uintptr_t itemData;
};

}  // namespace plat
