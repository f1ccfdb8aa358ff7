// Windows and messages: window classes, top-level and child windows on the
// screen, the message queue and its loop, painting, focus, enabling, window
// device contexts, scroll bars, system metrics and accelerator tables.
//
// Everything runs on one thread through one message loop. A screen must be
// started first (platform/screen.h): without one, no window can be opened.
//
// Handles are opaque. Every operation checks the handle it is given against
// the windows that exist, so a stale or made-up handle is refused (the
// operation returns its failure value) instead of being followed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/graphics.h"

namespace plat {

struct PlatWindow;
using Window = PlatWindow*;

using WindowProc = intptr_t (*)(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// ---- Message numbers -----------------------------------------------------------
// Numbered as the reader's code compares them.

enum MessageNumber : uint32_t {
  MsgCreate = 1,              // lParam: const CreationInfo*; -1 from the procedure refuses
  MsgDestroy = 2,
  MsgMove = 3,                // lParam: client origin, x low word, y high word
  MsgSize = 5,                // lParam: client width low word, height high word
  MsgActivate = 6,            // wParam low word: ActivateState; lParam: the other window
  MsgFocusGained = 7,         // wParam: the window that lost the focus
  MsgFocusLost = 8,           // wParam: the window that gets it
  MsgEnable = 10,             // wParam: 1 enabled, 0 disabled
  MsgPaint = 15,
  MsgClose = 16,              // default handling destroys the window
  MsgQuit = 18,               // never dispatched: NextMessage returns 0 for it
  MsgEraseBackground = 20,    // wParam: DeviceContext*; non-zero result: erased
  MsgShow = 24,               // wParam: 1 shown, 0 hidden
  MsgSettingChange = 26,
  MsgPositionChanged = 71,    // lParam: const WindowPosition*
  MsgHelp = 83,
  MsgFrameStylusMove = 160,   // stylus on the frame: wParam FrameHit, lParam screen x, y
  MsgFrameStylusDown = 161,
  MsgFrameStylusUp = 162,
  MsgKeyDown = 256,           // wParam: key code; lParam: repeat count and KeyFlags
  MsgKeyUp = 257,
  MsgChar = 258,              // wParam: one UTF-16 unit
  MsgInitDialog = 272,
  MsgCommand = 273,           // wParam: id low word, notification high word; lParam: control
  MsgVScroll = 277,           // wParam: ScrollCode low word, thumb position high word
  MsgStylusMove = 512,        // lParam: client x low word, y high word (signed 16 bits)
  MsgStylusDown = 513,
  MsgStylusUp = 514,
  MsgWheel = 522,             // wParam high word: signed delta, 120 a notch; lParam: screen x, y
  MsgCloseRequest = 1023,     // the reader's own close request
  MsgUser = 1024,             // first number free for the program's own messages
};

// MsgActivate's state.
enum ActivateState : uint32_t { ActivateOff = 0, ActivateOn = 1, ActivateByClick = 2 };

// MsgCommand's notification for a command that came from an accelerator.
constexpr uint32_t CommandFromAccelerator = 1;

// Bits of the second parameter of key messages (bits 0..15: repeat count).
enum KeyFlags : uint32_t {
  KeyFlagAlt = 1u << 29,          // Alt was held
  KeyFlagWasDown = 1u << 30,      // auto-repeat
  KeyFlagReleased = 1u << 31,     // key-up
  KeyFlagTextFollows = 1u << 25,  // the input method delivers this key's character itself
};

// Modifier state kept with each message (Message::keyState).
enum KeyState : uint32_t { KeyStateShift = 1, KeyStateControl = 2, KeyStateAlt = 4 };

// What part of a window a frame stylus message hit (its first parameter).
enum FrameHit : uint32_t {
  FrameHitNowhere = 0,
  FrameHitClient = 1,
  FrameHitCaption = 2,
  FrameHitVScroll = 7,
  FrameHitBorder = 18,
};

// Stylus buttons in the first parameter of stylus messages.
constexpr uintptr_t StylusButtonDown = 0x1;

// Packing of 16-bit pairs into a parameter, and unpacking them.
constexpr intptr_t PackWords(int32_t low, int32_t high) {
  return static_cast<intptr_t>((static_cast<uint32_t>(low) & 0xFFFFu) |
                               ((static_cast<uint32_t>(high) & 0xFFFFu) << 16));
}
constexpr uint16_t LowWord(uintptr_t v) { return static_cast<uint16_t>(v & 0xFFFFu); }
constexpr uint16_t HighWord(uintptr_t v) { return static_cast<uint16_t>((v >> 16) & 0xFFFFu); }
constexpr int16_t SignedLowWord(uintptr_t v) { return static_cast<int16_t>(LowWord(v)); }
constexpr int16_t SignedHighWord(uintptr_t v) { return static_cast<int16_t>(HighWord(v)); }

// ---- Key codes ------------------------------------------------------------------

enum KeyCode : uint32_t {
  KeyBackspace = 8,
  KeyTab = 9,
  KeyEnter = 13,
  KeyShift = 16,
  KeyControl = 17,
  KeyAlt = 18,
  KeyEscape = 27,
  KeySpace = 32,
  KeyPageUp = 33,
  KeyPageDown = 34,
  KeyEnd = 35,
  KeyHome = 36,
  KeyLeft = 37,
  KeyUp = 38,
  KeyRight = 39,
  KeyDown = 40,
  KeyDelete = 46,
  // '0'..'9' and 'A'..'Z' are their own codes.
  KeyF1 = 112,  // F1..F12: 112..123
  KeyF12 = 123,
};

// ---- Styles -----------------------------------------------------------------------

enum WindowStyle : uint32_t {
  WinStylePopup = 0x80000000,
  WinStyleChild = 0x40000000,
  WinStyleVisible = 0x10000000,
  WinStyleDisabled = 0x08000000,
  WinStyleCaption = 0x00C00000,  // includes the border
  WinStyleBorder = 0x00800000,
  WinStyleVScroll = 0x00200000,
};

// Class style bits: repaint the whole client when its height (1) or width
// (2) changes; without them only the uncovered strips are repainted.
enum ClassStyle : uint32_t { ClassRedrawOnHeight = 0x1, ClassRedrawOnWidth = 0x2 };

// Position or size that the platform chooses: top-level windows at the
// default place and size fill the screen.
constexpr int32_t kDefaultPlacement = static_cast<int32_t>(0x80000000u);

// Show modes.
enum ShowMode : int32_t {
  ShowHide = 0,
  ShowNormal = 1,       // show and activate
  ShowNoActivate = 4,
  ShowActivate = 5,
  ShowKeepActive = 8,   // show, leave the active window as it is
};

// ---- Records -----------------------------------------------------------------------

struct WindowClassDescription {
  const char16_t* name;  // required, at most 255 units
  uint32_t style;        // ClassStyle bits
  WindowProc proc;       // required
  uint16_t iconId;       // icon resource of the program, 0 for none
  Brush* background;     // erases the background; null: nothing is erased
};

struct WindowDescription {
  uint32_t exStyle;
  const char16_t* className;
  const char16_t* title;  // null: empty
  uint32_t style;         // WindowStyle bits
  int32_t x, y, width, height;  // kDefaultPlacement for the platform's choice
  Window parent;          // a child's parent; for a top-level window its owner (or null)
  uint32_t id;            // a child's identifier
  void* createParam;      // handed to MsgCreate in CreationInfo
};

// What MsgCreate's second parameter points at.
struct CreationInfo {
  void* createParam;
  Window parent;  // parent or owner
  int32_t x, y, width, height;
  uint32_t style;
  uint32_t exStyle;
  const char16_t* title;
  const char16_t* className;
};

// What MsgPositionChanged's second parameter points at.
struct WindowPosition {
  Window window;
  int32_t x, y, width, height;
  uint32_t flags;  // PositionFlags
};
enum PositionFlags : uint32_t {
  PositionNoSize = 0x1,
  PositionNoMove = 0x2,
  PositionNoRedraw = 0x8,
  PositionNoActivate = 0x10,
};

struct Message {
  Window window;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
  uint32_t time;      // milliseconds since the screen started
  int32_t x, y;       // stylus position on the screen when it was queued
  uint32_t keyState;  // KeyState bits when it was queued
};

struct PaintInfo {
  DeviceContext* dc;
  bool erase;   // the background still needs erasing (the erase message did not)
  Rect paint;   // the update rectangle, client coordinates
};

// ---- Window classes ------------------------------------------------------------------

// False when the name is empty, too long, taken, or the procedure is missing.
bool AddWindowClass(const WindowClassDescription* desc);
// False when there is no such class or a window of it still exists.
bool RemoveWindowClass(const char16_t* name);

// ---- Windows ---------------------------------------------------------------------------

// Creates a window; MsgCreate, MsgSize and MsgMove are sent before it
// returns, then (when visible) MsgShow and, for a top-level window,
// activation. Null when there is no screen, no such class, a child without a
// live parent, a dead owner, or the procedure refused MsgCreate.
Window OpenWindow(const WindowDescription* desc);
// Destroys the window, the windows it owns and its children: MsgDestroy
// goes to the window first, then to its children, each before its own
// children. Calling it again, or on a dead handle, does nothing.
void DisposeWindow(Window window);
bool IsLiveWindow(Window window);

// Shows or hides; returns whether it was visible before.
bool ApplyShowMode(Window window, int32_t mode);
bool WindowVisible(Window window);  // it and every ancestor shown

// Moves and sizes (parent client coordinates for a child, screen ones for a
// top-level window); sizes below 0 count as 0. MsgPositionChanged, then
// MsgSize and MsgMove for what changed.
bool PlaceWindow(Window window, int32_t x, int32_t y, int32_t width, int32_t height, bool repaint);
bool WindowClientRect(Window window, Rect* rect);  // {0, 0, width, height}
bool WindowScreenRect(Window window, Rect* rect);  // the whole window, frame included
bool ClientPointToScreen(Window window, int32_t* x, int32_t* y);

Window WindowParent(Window window);  // null for a top-level window
Window WindowOwner(Window window);   // null for a child or an unowned window
Window TopLevelOf(Window window);    // the window itself when it is top-level
uint32_t WindowStyleBits(Window window);
uint32_t WindowIdOf(Window window);
// The class name and the title, copied with a terminating zero into
// `buffer` (at most `capacity` units); the length copied.
int32_t WindowClassName(Window window, char16_t* buffer, int32_t capacity);
int32_t WindowTitle(Window window, char16_t* buffer, int32_t capacity);
bool SetWindowTitle(Window window, const char16_t* title);
// A value the program keeps with the window; 0 until set. Returns the old one.
intptr_t SetWindowData(Window window, intptr_t value);
intptr_t WindowData(Window window);

// A top-level window of this program by class name and title (null matches
// any), front-most first.
Window FindTopLevelWindow(const char16_t* className, const char16_t* title);
// The front-most visible window under a screen point.
Window WindowAtPoint(int32_t x, int32_t y);

// Enabling. A disabled window (or one in a disabled window) gets no stylus
// or key input. Returns whether it was enabled before; MsgEnable is sent on
// a change.
bool SetWindowEnabled(Window window, bool enabled);
bool WindowEnabled(Window window);  // it and every ancestor enabled

// Keyboard focus; returns the window that had it. Null clears it.
Window SetFocusWindow(Window window);
Window FocusWindow();
// Brings the window's top-level window to the front and activates it (a
// disabled one hands the activation to the window it owns that is in
// front). False when nothing could be activated.
bool BringToFront(Window window);
Window FrontWindow();  // the active top-level window

// ---- Messages ----------------------------------------------------------------------------

// Calls the window's procedure at once and returns its result; 0 for a dead
// window.
intptr_t SendToWindow(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Queues a message; false for a dead window or a full queue (65536 waiting).
// A null window queues a message that is delivered to nobody.
bool PostToWindow(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Waits for the next message for `window` (null: any) within [first, last]
// (0, 0: any): posted messages in order, then paint requests, then whatever
// the screen delivers. Returns 1, 0 for the quit request (msg->wParam holds
// its code), -1 without a screen.
int32_t NextMessage(Message* msg, Window window, uint32_t first, uint32_t last);
// As NextMessage, without waiting; false when nothing is waiting. With
// `remove` false the message stays queued.
bool PollMessage(Message* msg, Window window, uint32_t first, uint32_t last, bool remove);
// Calls the procedure of msg->window; 0 when it is dead or null.
intptr_t DeliverMessage(const Message* msg);
// Queues a character message after a key-down that has one; true when it did.
bool PostCharacterMessage(const Message* msg);
// Asks the loop to end: NextMessage returns 0 once the posted messages
// ahead of the request have been taken.
void RequestQuit(int32_t code);
// The default handling of any message.
intptr_t DefaultWindowProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// ---- Painting ------------------------------------------------------------------------------

// Adds a client rectangle (null: the whole client) to the update region; the
// region is kept as the rectangle around all that was added.
bool InvalidateWindowRect(Window window, const Rect* rect, bool erase);
// Takes a rectangle (null: all) out of the update region.
bool ValidateWindowRect(Window window, const Rect* rect);
// The update rectangle; false when there is nothing to paint.
bool WindowUpdateRect(Window window, Rect* rect);
// Sends MsgPaint now when there is something to paint.
bool PaintNow(Window window);
// Begins painting: erases the background when that is pending
// (MsgEraseBackground with the returned context), then empties the update
// region. Null for a dead window.
DeviceContext* StartPaint(Window window, PaintInfo* info);
void FinishPaint(Window window, const PaintInfo* info);

// A context drawing into the window's client. It stays valid, following the
// window across size changes, until it is returned; after the window is
// destroyed it draws nothing, and returning it still releases it.
DeviceContext* AcquireWindowDC(Window window);
bool ReturnWindowDC(Window window, DeviceContext* dc);

// ---- Scroll bars -----------------------------------------------------------------------------

constexpr int32_t ScrollBarVertical = 1;

enum ScrollCode : uint32_t {
  ScrollLineUp = 0,
  ScrollLineDown = 1,
  ScrollPageUp = 2,
  ScrollPageDown = 3,
  ScrollThumbPosition = 4,
  ScrollThumbTrack = 5,
  ScrollTop = 6,
  ScrollBottom = 7,
  ScrollEnd = 8,
};

enum ScrollMask : uint32_t {
  ScrollMaskRange = 0x1,
  ScrollMaskPage = 0x2,
  ScrollMaskPos = 0x4,
  ScrollMaskDisableNoScroll = 0x8,
  ScrollMaskTrackPos = 0x10,
  ScrollMaskAll = 0x17,
};

struct ScrollInfo {
  uint32_t size;  // sizeof(ScrollInfo)
  uint32_t mask;
  int32_t min, max;
  uint32_t page;
  int32_t pos;
  int32_t trackPos;
};

// Sets what the mask names (page clamped to the range, position to
// min..max - page + 1) and redraws the bar; returns the new position. A
// window without a bar gets one when the range is not empty. A bar whose
// range is empty is drawn disabled and ignores the stylus. 0 for a bad
// window, bar or record.
int32_t WriteScrollBar(Window window, int32_t bar, const ScrollInfo* info, bool redraw);
// Fills what info->mask names; false when the window has no bar.
bool ReadScrollBar(Window window, int32_t bar, ScrollInfo* info);

// ---- System metrics -----------------------------------------------------------------------------

enum SystemMetricIndex : int32_t {
  MetricScreenWidth = 0,
  MetricScreenHeight = 1,
  MetricVScrollWidth = 2,
  MetricCaptionHeight = 4,
  MetricBorderWidth = 5,
  MetricBorderHeight = 6,
  MetricVScrollArrowHeight = 20,
};
// The scroll bar is 16 pixels wide, and each arrow 16 high: wide enough for
// a stylus on the palm-size screen, narrow enough to leave the text room.
constexpr int32_t kScrollBarWidth = 16;
constexpr int32_t kScrollArrowHeight = 16;
constexpr int32_t kCaptionHeight = 24;
constexpr int32_t kBorderWidth = 1;
int32_t SystemMetric(int32_t index);  // 0 for an index not listed

// ---- Accelerators ---------------------------------------------------------------------------------

enum AcceleratorFlags : uint16_t {
  AccelVirtualKey = 0x01,  // key is a key code; otherwise a character
  AccelShift = 0x04,
  AccelControl = 0x08,
  AccelAlt = 0x10,
  AccelLast = 0x80,  // in a resource: the table's last entry
};
struct AcceleratorEntry {
  uint16_t flags;
  uint16_t key;
  uint16_t command;
};
struct AcceleratorTable;

// From accelerator resource `id`: 8-byte little-endian entries (flags, key,
// command, padding), the last with AccelLast. Null when missing or malformed.
AcceleratorTable* LoadAcceleratorTable(uint16_t id);
AcceleratorTable* MakeAcceleratorTable(const AcceleratorEntry* entries, int32_t count);
void FreeAcceleratorTable(AcceleratorTable* table);
// A key-down (or a character, for character entries) that matches an entry
// sends MsgCommand (command, CommandFromAccelerator) to `window`; true then.
bool ApplyAccelerators(Window window, const AcceleratorTable* table, const Message* msg);

}  // namespace plat
