// What the command bar and the menu bar share: the bar record behind the
// window, its buttons and pictures, and the pieces the two kinds of bar are
// made of (bar_common.cpp). Nothing outside platform/ includes this.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/command_bar.h"
#include "platform/menu.h"
#include "platform/window_internal.h"

namespace plat {
namespace bar {

enum ItemKind : int32_t {
  ItemMenu,        // a top-level entry of the bar's menu: opens its pop-up (or sends its command)
  ItemTool,        // a toolbar button
  ItemHelp,        // the right end: help, close and the input panel's button
  ItemClose,
  ItemInputPanel,
};

struct Item {
  ItemKind kind;
  int32_t command;      // sent by a tool; names a menu bar's menu button
  int32_t image;        // a picture of the bar, or kBarNoImage
  uint8_t state;        // BarButtonState bits
  uint8_t style;        // BarButtonStyle bits
  uint32_t data;
  int32_t popup;        // menu buttons: the menu's top-level entry that is a pop-up; -1 otherwise
  std::u16string text;  // menu buttons, '&' marking the mnemonic
  int32_t textWidth;    // as drawn, measured once
  int32_t tip;          // entry of the tool tips; -1 for none
  Rect rect;            // client coordinates from the last layout; empty when not shown
};

// Pixels of the pictures where nothing is drawn (the bar shows through).
constexpr uint32_t kClear = 0xFF000000u;
constexpr int32_t kPictureArea = kBarImageSize * kBarImageSize;
// Bitmaps and standard strips a bar holds at most, in pictures.
constexpr int32_t kMaxPictures = 1024;

struct Bar {
  bool menuBar;
  PlatWindow* target;      // where commands, help and pop-up choices go
  Menu menu;
  bool hasMenu;
  int32_t menuPosition;     // the button position the menu was inserted at
  std::vector<Item> items;  // left to right: menu buttons and tools, then the right end
  int32_t tools;            // tools added so far (tool k shows tip k + 1)
  std::vector<uint32_t> pictures;  // kPictureArea pixels a picture, row by row
  std::vector<std::u16string> tips;  // empty: no tip
  bool helpButton, closeButton, inputPanelButton;
  Font* font;               // owned; null: the system font
  Font* tipFont;            // owned; null: `font`
  std::vector<int32_t> separators;  // x of the lines between groups, from the last layout
  int32_t pressed;          // the item the stylus went down on, -1 for none
  bool pressedInside;       // and the stylus is still on it
  int32_t open;             // the menu button whose pop-up is showing, -1 for none
  int32_t hover;            // the item the mouse rests on, -1 for none
  PlatWindow* tip;          // the tool tip showing, or null
  int32_t tipItem;
};

// What a bar window is made with (CreationInfo::createParam).
struct BarInit {
  bool menuBar;
  PlatWindow* target;
};

// Registers the bar and tip classes (idempotent); false without a screen.
bool EnsureBarClasses();
// The bar behind a command bar or menu bar window; null for anything else.
Bar* BarOf(Window w);

// A 16 x 16 picture drawn as text, a character a pixel ('.' clear, 'k'
// black, 'w' white, 'd' and 'l' greys, 'b' 'B' blues, 'r' 'R' reds, 'y'
// yellow, 'o' olive, 'g' green, 'c' 'C' cyans) into kPictureArea pixels.
void DecodeArt(const char* const art[kBarImageSize], uint32_t* out);

// The width of a menu button's text as drawn in the bar's font.
int32_t ButtonTextWidth(const Bar* b, const std::u16string& text);
// False when a button's state or style has a bit that is not known.
bool KnownButtonBits(uint32_t state, uint32_t style);

// Appends pictures of 16 x 16 cut from `pixels` (0x00RRGGBB, `width`
// wide, at least 16 rows), magenta taken as clear; the first one's index,
// -1 when there is no room for them.
int32_t AddPictures(Bar* b, const uint32_t* pixels, int32_t width, int32_t count);
// Rebuilds the right end from the bar's flags and the input panel's button.
void SetRightEnd(Bar* b);
void Relayout(PlatWindow* w);  // after buttons changed: lays out and repaints
// Every menu bar shows the input panel's button (and its state) afresh.
void RefreshInputPanelButtons();

}  // namespace bar
}  // namespace plat
