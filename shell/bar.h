// The main window's bar: a command bar at the top of the window or a menu
// bar at the bottom of the screen, with the File and Go menus, six toolbar
// buttons and their tool tips; the check marks of Reverse and Bookmark; and
// the set-up that the dialogs filling the screen share.
#pragma once

#include <cstdint>

namespace plat {
struct PlatWindow;
struct Menu;
}  // namespace plat

constexpr uint16_t kBarMenuId = 102;         // menu and menu-bar description
constexpr uint16_t kToolbarBitmapId = 114;
constexpr int32_t kToolbarImages = 6;
constexpr uint16_t kMenuBarFileButton = 40001;
constexpr uint16_t kMenuBarGoButton = 40002;
constexpr uint16_t kCommandReverse = 122;
constexpr uint16_t kCommandBookmark = 123;

// SetMenuCheck's modes.
constexpr int kCheckToggle = 0;
constexpr int kCheckSet = 1;

// Builds the bar for g_app.mainWindow; sets bar, barHeight and possibly
// menuBarOnBottom. A bar that cannot be built leaves bar null.
void CreateBar();
// mode kCheckSet: check the item when wanted is non-zero, else clear it;
// kCheckToggle: reverse its state. Returns the new state (1 checked, 0
// not); 0 when the menu or the item is missing.
int SetMenuCheck(plat::Menu* menu, int mode, uint16_t command, int wanted);
void UpdateBookmarkCheck(int mode);
void UpdateReverseCheck(int mode);
// Shell set-up of a dialog that fills the screen.
void InitDialogForShell(plat::PlatWindow* dialog, uint32_t flags);
