// Bars: the command bar across the top of a window (a menu, toolbar
// buttons with 16 x 16 pictures and tool tips, the help and close buttons)
// and the menu bar at the bottom of the screen, built from a menu-bar
// resource whose buttons open the pop-ups of a menu.
//
// Both are windows drawn by the platform. Their buttons send MsgCommand
// (command in the low word, 0 in the high word, the bar as lParam) to the
// window the bar belongs to; a menu button opens its pop-up under (or, at
// the bottom of the screen, above) itself and the chosen item's command
// goes to that window as well.
//
// Tool tips show while the stylus is held on a button (after
// kToolTipDelayMs) and while the mouse rests over it, in a small box under
// the bar (over a bar at the bottom); releasing the stylus elsewhere than on
// the pressed button sends nothing. A menu button opens its pop-up as the
// stylus goes down on it. A tap on a bar neither takes the focus nor the
// activation from the window it belongs to, and a bar takes no taps while
// that window's top-level window is disabled (a modal dialog runs).
//
// Layout, left to right: menu buttons (as wide as their text and 6 pixels
// either side, 24 at least) and 24-pixel tools, a gap of 8 with a line
// where the two meet; at the right end, help and close (24 each) or, on a
// menu bar, the input panel's button (28). Buttons that would run into the
// right end are not shown. Pictures are drawn where they are not magenta
// (0xFF00FF), greyed on a disabled button.
#pragma once

#include <cstdint>

#include "platform/menu.h"
#include "platform/window.h"

namespace plat {

extern const char16_t kCommandBarClass[];  // "plat.CommandBar"
extern const char16_t kMenuBarClass[];     // "plat.MenuBar"

constexpr int32_t kCommandBarHeight = 26;
constexpr int32_t kMenuBarHeight = 26;
constexpr int32_t kBarImageSize = 16;
constexpr int32_t kToolTipDelayMs = 500;

// Messages a bar takes.
enum BarMessage : uint32_t {
  MsgBarAddButtons = 0x444,   // wParam: count; lParam: const BarButton*; 1 done, 0 refused
                              // (an unknown state or style bit, a negative image)
  MsgBarSetToolTips = 0x451,  // wParam: count; lParam: const char16_t* const* (entries may be
                              // null); entry 0 belongs to the menu, entry k to button k - 1
  MsgBarButtonMenu = 0x591,   // lParam: a menu button's command; result: its Menu*, 0 if none
};

// A toolbar button as the program describes it.
struct BarButton {
  int32_t image;        // index into the bar's pictures; kBarNoImage for none
  int32_t command;
  uint8_t state;        // BarButtonState bits
  uint8_t style;        // BarButtonStyle bits
  uint8_t reserved[2];
  uint32_t data;        // the program's own value
  int32_t stringIndex;  // -1: no text (a bar keeps no button texts: not used)
};
constexpr int32_t kBarNoImage = 0xFFFE;
enum BarButtonState : uint8_t { BarStateEnabled = 0x04, BarStateHidden = 0x08 };
enum BarButtonStyle : uint8_t { BarStylePlain = 0x00, BarStyleDropDown = 0x08, BarStyleAutoSize = 0x10 };

// ---- Command bar ----------------------------------------------------------------------

// A command bar along the top of `parent`'s client area, as wide as it, a
// child with identifier `id`. It takes the parent's new width whenever the
// parent is resized, before the parent hears of its size. Null when
// `parent` is not a live window.
Window CreateCommandBar(Window parent, uint16_t id);
int32_t CommandBarHeight(Window bar);  // 0 for a bad or hidden bar
// Loads menu resource `menuId` and shows its top-level pop-ups as menu
// buttons starting at button position `position` (0: the left end; k:
// after the first k tools). A top-level command without a pop-up is a
// button that sends it. False when the resource is missing or malformed,
// the position is past the tools, or the bar already has a menu.
bool CommandBarInsertMenu(Window bar, uint16_t menuId, int32_t position);
// The menu inserted at button position `position`: the whole menu, owned
// by the bar and valid while it lives. Null when there is none there.
Menu* CommandBarMenu(Window bar, int32_t position);
// Appends `images` pictures of 16 x 16, side by side in bitmap resource
// `bitmapId`; returns the index of the first, -1 when the bitmap is
// missing or narrower than `images` pictures.
int32_t CommandBarAddBitmap(Window bar, uint16_t bitmapId, int32_t images);
// Appends the platform's standard strip of small colour pictures (16 x 16:
// cut, copy, paste, ...); returns the index of the first, -1 on failure.
// BarStandardImage names each by its offset from that index.
int32_t CommandBarAddStandardBitmap(Window bar);
enum BarStandardImage : int32_t {
  BarImageCut = 0,
  BarImageCopy = 1,
  BarImagePaste = 2,
  BarImageUndo = 3,
  BarImageRedo = 4,
  BarImageDelete = 5,
  BarImageNew = 6,
  BarImageOpen = 7,
  BarImageSave = 8,
  BarImageFind = 9,
  kBarStandardImages = 10,
};
// The close button at the right end; with CommandBarHelpButton also a help
// button left of it. Help sends MsgHelp to the parent, close MsgClose to
// the parent's top-level window. False for a menu bar or an unknown flag.
enum CommandBarAdornment : uint32_t { CommandBarHelpButton = 0x1 };
bool CommandBarAddAdornments(Window bar, uint32_t flags);
bool ShowCommandBar(Window bar, bool show);  // false for a bad bar

// ---- Menu bar ----------------------------------------------------------------------------
// Menu-bar resource (type ResTypeMenuBar), 16-bit little-endian fields:
//   menu id, button count, then per button: image (kBarNoImage for none),
//   command, state (BarButtonState), style (BarButtonStyle), text string
//   id (a string resource), 0, pop-up index into the menu's top level.
// The size must be exactly 4 + 14 * count, with 1..16 buttons; the menu
// must load, each pop-up index name a pop-up, no unknown state or style
// bit be set, and each button have its text (or a picture).

struct MenuBarCreation {
  uint32_t size;       // sizeof(MenuBarCreation)
  Window parent;       // the window the buttons' commands go to
  uint32_t flags;      // MenuBarFlags
  uint16_t menuBarId;  // menu-bar resource
  uint16_t bitmapId;   // 0: none
  int32_t images;      // pictures in that bitmap
  Window bar;          // out: the menu bar
};
enum MenuBarFlags : uint32_t { MenuBarNoInputPanelButton = 0x4 };

// A menu bar across the bottom of the screen, kMenuBarHeight high, owned by
// the parent's top-level window and shown with it; it stays where it is put
// (the program moves it when the screen changes). A bitmap, when named, must
// hold `images` pictures, which the bar's buttons can show. False, with
// `bar` left as it was, for a bad record, flag or parent, or a missing or
// malformed resource. At the right end it carries the input panel's button
// (while InputPanelButtonShown) unless MenuBarNoInputPanelButton is given.
// It takes the bar messages above, and CommandBarAddBitmap and
// CommandBarAddStandardBitmap; toolbar buttons follow its menu buttons.
bool CreateMenuBar(MenuBarCreation* info);

}  // namespace plat
