// Menus: records of items and pop-ups, built from a menu resource or by
// code; check marks and item information addressed by command anywhere in a
// menu and its pop-ups; and pop-up menus that the platform draws and runs
// modally (popup_menu.cpp).
//
// An item's text may hold "&" before its mnemonic letter ("&&" is a plain
// "&") and, after the character 8, a shortcut label drawn flush right.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"

namespace plat {

// Item state bits, numbered as the reader's code tests them.
enum MenuItemState : uint32_t {
  MenuStateGrayed = 0x1,   // shown, not choosable
  MenuStateChecked = 0x8,
};

struct MenuItem;
struct Menu {
  std::vector<MenuItem> items;
};

struct MenuItem {
  uint16_t id;               // the command; 0 for a pop-up or a separator
  uint32_t state;            // MenuItemState bits
  bool separator;
  bool popup;                // `submenu` holds the pop-up's items
  std::u16string text;       // "&" mnemonics, shortcut label after the character 8
  Menu submenu;
};

// ---- Menu resources ------------------------------------------------------------
// The bytes of a menu resource (type ResTypeMenu), little-endian, no padding.
// A level is a run of items, its last one flagged MenuTplEnd; the top level
// is the whole resource, and each pop-up's level follows its own item:
//   u16 flags    MenuTplFlags bits; no other bit may be set
//   u16 id       only when MenuTplPopup is clear
//   text         UTF-16 units up to and including a zero unit
// An item without MenuTplPopup whose id is 0 and whose text is empty is a
// separator (it may carry no state bits). At most kMaxMenuDepth levels
// nested, kMaxMenuItems items a level, kMaxMenuText units a text; nothing
// may follow the top level's last item.
enum MenuTplFlags : uint16_t {
  MenuTplGrayed = 0x01,
  MenuTplChecked = 0x08,
  MenuTplPopup = 0x10,
  MenuTplEnd = 0x80,
};
constexpr int32_t kMaxMenuDepth = 8;
constexpr int32_t kMaxMenuItems = 255;
constexpr int32_t kMaxMenuText = 256;

enum MenuError : int32_t {
  MenuOk = 0,
  MenuTruncated,       // the bytes end inside an item, a text or a level
  MenuBadFlags,        // an unknown flag bit, or state bits on a separator
  MenuTooDeep,
  MenuTooManyItems,
  MenuTextTooLong,
  MenuTrailingBytes,
  MenuMissing,         // no such resource
  MenuBadArgument,     // null output
  MenuNoMemory,
};

// `out` is replaced only on success.
MenuError DecodeMenu(const uint8_t* bytes, std::size_t size, Menu* out);
MenuError LoadMenuResource(uint16_t id, Menu* out);
// The bytes above for `menu`; false when it breaks a limit or has an empty
// level (the format cannot hold one).
bool EncodeMenu(const Menu& menu, std::vector<uint8_t>* out);

// ---- Operations ------------------------------------------------------------------

// The first item carrying `command`, depth first through the pop-ups; null
// when none does (or `menu` is null). Pop-ups and separators are never found.
MenuItem* FindMenuCommand(Menu* menu, uint16_t command);
const MenuItem* FindMenuCommand(const Menu* menu, uint16_t command);

// Sets or clears the check mark of the item with `command`; returns its
// previous state (MenuStateChecked or 0), -1 when there is no such item.
int32_t CheckMenuCommand(Menu* menu, uint16_t command, bool checked);
bool MenuCommandChecked(const Menu* menu, uint16_t command);  // false when missing

// The item-information query. `size` must be sizeof(MenuItemInfo); `mask`
// names the fields wanted, the others are left alone.
enum MenuInfoMask : uint32_t {
  MenuInfoState = 0x1,
  MenuInfoId = 0x2,
  MenuInfoSubmenu = 0x4,
  MenuInfoType = 0x10,     // type: MenuTypeSeparator or 0
  MenuInfoText = 0x40,     // copied into text/textCapacity, with a zero
};
constexpr uint32_t MenuTypeSeparator = 0x800;
struct MenuItemInfo {
  uint32_t size;
  uint32_t mask;
  uint32_t type;
  uint32_t state;        // MenuItemState bits
  uint32_t id;
  Menu* submenu;         // null unless the item is a pop-up (points into the menu)
  char16_t* text;        // MenuInfoText: at most textCapacity - 1 units and a zero
  int32_t textCapacity;
  int32_t textLength;    // MenuInfoText: the item text's full length
};
// `item` is a command (searched as FindMenuCommand) or, with `byPosition`,
// an index into the top level. False for a bad record or no such item.
bool QueryMenuItem(Menu* menu, uint32_t item, bool byPosition, MenuItemInfo* info);
// Writes the state (MenuInfoState) of the item; false as above.
bool ChangeMenuItem(Menu* menu, uint32_t item, bool byPosition, const MenuItemInfo* info);

int32_t MenuItemCount(const Menu* menu);  // top level; -1 for null
// The pop-up of the top-level item at `position`; null when out of range or
// not a pop-up. It stays valid while the menu's items are not changed.
Menu* MenuPopupAt(Menu* menu, int32_t position);

// ---- Item texts ------------------------------------------------------------------------

// The text before the shortcut label (all of it when there is none).
std::u16string MenuTextBeforeLabel(const std::u16string& text);
// The text as drawn: "&" marks dropped, "&&" kept as one "&".
std::u16string MenuTextAsDrawn(const std::u16string& text);

// ---- Pop-up menus ---------------------------------------------------------------------

// Shows `menu` as a pop-up and runs it modally until an item is chosen or
// the menu is dismissed (Escape, a tap outside it, the owner's end or a quit
// request, which is passed on to the outer loop). A chosen item's command is
// posted to `owner` as MsgCommand (id in the low word, 0 in the high) and
// returned; 0 when nothing was chosen, there is no screen, or `menu` has no
// items. Keys: Up and Down move the selection (past separators and grayed
// items), Enter chooses it, Escape dismisses, a mnemonic letter chooses its
// item (or selects the next of several with that letter). An item with a
// pop-up opens it beside itself.
//
// At: top-left corner at the screen point, moved so that it stays on the
// screen.
uint16_t RunPopupMenuAt(const Menu* menu, Window owner, int32_t x, int32_t y);
// Under: below `button` (screen coordinates), left edges together; above it
// when there is no room below (a bar at the bottom of the screen).
uint16_t RunPopupMenuUnder(const Menu* menu, Window owner, const Rect* button);

}  // namespace plat
