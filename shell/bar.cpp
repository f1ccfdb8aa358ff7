#include "shell/bar.h"

#include "platform/command_bar.h"
#include "platform/handheld_shell.h"
#include "platform/menu.h"
#include "platform/system.h"
#include "platform/window.h"
#include "shell/app_globals.h"
#include "shell/settings.h"

namespace {

constexpr uint16_t kCommandBarId = 1;
constexpr uint8_t kButtonEnabled = 4;

constexpr plat::BarButton kToolbarButtons[kToolbarImages] = {
    {0, 110, kButtonEnabled, 0, {0, 0}, 0, -1},
    {1, 119, kButtonEnabled, 0, {0, 0}, 0, -1},
    {2, 109, kButtonEnabled, 0, {0, 0}, 0, -1},
    {3, 40006, kButtonEnabled, 0, {0, 0}, 0, -1},
    {4, 116, kButtonEnabled, 0, {0, 0}, 0, -1},
    {5, 117, kButtonEnabled, 0, {0, 0}, 0, -1},
};

// The first entry stands for the menu, which has no tip of its own.
const char16_t* const kToolTips[kToolbarImages + 1] = {
    nullptr, u"Previous Article", u"Choose Article", u"Next Article",
    u"Choose Font", u"Search", u"Search Again",
};

bool MenuBarVersion() {
  const plat::PlatformVersion v = plat::GetPlatformVersion();
  return (v.major == 4 && v.minor >= 21) || v.major > 4;
}

void BuildCommandBar() {
  plat::PlatWindow* bar = plat::CreateCommandBar(g_app.mainWindow, kCommandBarId);
  g_app.bar = bar;
  if (!bar) return;
  g_app.barHeight = plat::CommandBarHeight(bar);
  plat::CommandBarInsertMenu(bar, kBarMenuId, 0);
}

void BuildMenuBar() {
  plat::MenuBarCreation info{};
  info.size = sizeof info;
  info.parent = g_app.mainWindow;
  info.flags = plat::MenuBarNoInputPanelButton;
  info.menuBarId = kBarMenuId;
  if (plat::CreateMenuBar(&info)) g_app.bar = info.bar;
  plat::Rect r{};
  // Without a bar there is nothing to keep clear of.
  if (!g_app.bar || !plat::WindowScreenRect(g_app.bar, &r)) return;
  g_app.barHeight = r.bottom - r.top;
  plat::PlaceWindow(g_app.bar, r.left, r.top,
                    (r.right - plat::SystemMetric(plat::MetricVScrollWidth)) - r.left,
                    r.bottom - r.top, true);
}

// The menu that holds `command`: a button's pop-up on the menu bar, the
// whole menu on the command bar.
plat::Menu* MenuHolding(uint16_t menuBarButton) {
  if (!g_app.bar) return nullptr;
  if (g_app.menuBarOnBottom) {
    return reinterpret_cast<plat::Menu*>(
        plat::SendToWindow(g_app.bar, plat::MsgBarButtonMenu, 0, menuBarButton));
  }
  return plat::CommandBarMenu(g_app.bar, 0);
}

// The state of the item, -1 when there is no such item to show it on.
int CheckState(uint16_t menuBarButton, int mode, uint16_t command, int wanted) {
  plat::Menu* menu = MenuHolding(menuBarButton);
  if (!menu || !plat::FindMenuCommand(menu, command)) return -1;
  return SetMenuCheck(menu, mode, command, wanted);
}

}  // namespace

void CreateBar() {
  if (MenuBarVersion()) g_app.menuBarOnBottom = 1;
  if (g_app.menuBarOnBottom) {
    BuildMenuBar();
  } else {
    BuildCommandBar();
  }
  plat::PlatWindow* bar = g_app.bar;
  if (!bar) return;
  plat::SendToWindow(bar, plat::MsgBarSetToolTips, kToolbarImages + 1,
                     reinterpret_cast<intptr_t>(kToolTips));
  plat::CommandBarAddBitmap(bar, kToolbarBitmapId, kToolbarImages);
  plat::SendToWindow(bar, plat::MsgBarAddButtons, kToolbarImages,
                     reinterpret_cast<intptr_t>(kToolbarButtons));
  plat::CommandBarAddStandardBitmap(bar);
  if (g_fullScreen && !g_app.menuBarOnBottom) {
    plat::ShowCommandBar(bar, false);
  }
  plat::CommandBarAddAdornments(bar, plat::CommandBarHelpButton);
}

int SetMenuCheck(plat::Menu* menu, int mode, uint16_t command, int wanted) {
  if (mode) {
    const int state = wanted ? 1 : 0;
    plat::CheckMenuCommand(menu, command, state != 0);
    return state;
  }
  plat::MenuItemInfo info{};
  info.size = sizeof info;
  info.mask = plat::MenuInfoState;
  if (!plat::QueryMenuItem(menu, command, false, &info)) return 0;
  if (info.state & plat::MenuStateChecked) {
    plat::CheckMenuCommand(menu, command, false);
    return 0;
  }
  plat::CheckMenuCommand(menu, command, true);
  return 1;
}

void UpdateBookmarkCheck(int mode) {
  CheckState(kMenuBarGoButton, mode, kCommandBookmark, IsBookmarked());
}

void UpdateReverseCheck(int mode) {
  int state = CheckState(kMenuBarFileButton, mode, kCommandReverse,
                         (g_app.displayFlags & FlagReverse) != 0);
  if (state < 0) {
    // No menu to carry the mark: the command still reverses the text.
    if (mode != kCheckToggle) return;
    state = (g_app.displayFlags & FlagReverse) ? 0 : 1;
  }
  if (state) {
    g_app.displayFlags |= FlagReverse;
  } else {
    g_app.displayFlags &= ~static_cast<uint32_t>(FlagReverse);
  }
}

void InitDialogForShell(plat::PlatWindow* dialog, uint32_t flags) {
  plat::ShellDialogInit init{};
  init.mask = plat::ShellDialogFlagsValid;
  init.dialog = dialog;
  init.flags = g_fullScreen ? flags : (flags | plat::ShellDialogDoneButton);
  plat::InitShellDialog(&init);
  if (!g_fullScreen) return;
  plat::Rect r{};
  if (!plat::WindowScreenRect(dialog, &r)) return;
  plat::PlaceWindow(dialog, r.left, 0, r.right, r.bottom, false);
}
