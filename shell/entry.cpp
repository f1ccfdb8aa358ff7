// The entry and the start of the instance: options from the maker key, the
// single-instance rule, the main window and the message loop.
#include <cstring>

#include "platform/handheld_shell.h"
#include "platform/instances.h"
#include "platform/text_utf.h"
#include "platform/window.h"
#include "shell/app_globals.h"
#include "shell/main_window.h"
#include "shell/settings.h"
#include "view/navigation.h"

namespace {

constexpr uint32_t kMainWindowExStyle = 0x100;

// The top-level window above `window`, through parents and owners: a dialog
// leads to the window that owns it.
plat::PlatWindow* TopAncestor(plat::PlatWindow* window) {
  while (window) {
    plat::PlatWindow* up = plat::WindowParent(window);
    if (!up) up = plat::WindowOwner(window);
    if (!up) break;
    window = up;
  }
  return window;
}

// Another main window of this process (a test starting twice) is handled
// like one of another process.
bool HandOverToLocalCopy() {
  plat::PlatWindow* w = plat::FindTopLevelWindow(kMainWindowClass, kMainWindowClass);
  if (!w) return false;
  plat::PlatWindow* front = plat::FrontWindow();
  plat::PlatWindow* top = TopAncestor(front);
  if (w == front) plat::SendToWindow(w, plat::MsgCommand, kCommandChooseArticle, 0);
  if (w != top) plat::BringToFront(w);
  return true;
}

bool HandOverToOtherCopy() {
  plat::OtherInstance other;
  if (!plat::FindOtherInstance(kMainWindowClass, kMainWindowClass, &other)) return false;
  plat::OtherFront front = plat::OtherBehind;
  if (!plat::QueryOtherFront(other, &front)) return true;  // it runs, but does not answer
  if (front == plat::OtherInFront) {
    plat::SendOtherCommand(other, kCommandChooseArticle);
  } else if (front == plat::OtherBehind) {
    plat::BringOtherToFront(other);
  }
  return true;
}

plat::PlatWindow* CreateMainWindow() {
  plat::WindowDescription d{};
  d.exStyle = kMainWindowExStyle;
  d.className = kMainWindowClass;
  d.title = kMainWindowClass;
  d.style = plat::WinStyleVisible;
  if (g_app.displayFlags & FlagScrollBar) d.style |= plat::WinStyleVScroll;
  d.x = d.y = d.width = d.height = plat::kDefaultPlacement;
  return plat::OpenWindow(&d);
}

}  // namespace

plat::PlatWindow* StartInstance(int32_t showMode) {
  if (HandOverToLocalCopy() || HandOverToOtherCopy()) return nullptr;
  if (g_taskBarWindow) plat::ApplyShowMode(g_taskBarWindow, plat::ShowHide);
  LoadSettings();
  SelectArticle(0);
  RegisterMainWindowClass(g_app.instance, kMainWindowClass);
  plat::PlatWindow* window = CreateMainWindow();
  if (!window) return nullptr;
  plat::PublishWindow(window);
  if (g_fullScreen) {
    plat::Rect r{};
    plat::WindowScreenRect(window, &r);
    plat::SetFullScreenState(window, kFullScreenFlags);
    plat::PlaceWindow(window, r.left, 0, r.right, r.bottom, false);
  }
  plat::ApplyShowMode(window, showMode);
  plat::PaintNow(window);
  // The font chooser that a first start opens is not part of the reader
  // yet: the view keeps the platform's default font.
  return window;
}

int32_t ProgramEntry(plat::PlatModule* instance, plat::PlatModule*, const char16_t* commandLine,
                     int32_t showMode) {
  ClearAppGlobals();
  g_app.instance = instance;
  g_ignoreActivate = ReadNumberSetting(kMakerKey, u"IgnoreActivate", 0);
  g_fullScreen = ReadNumberSetting(kMakerKey, u"FullScreen", 0);
  g_allowSipInHebrewSearch = ReadNumberSetting(kMakerKey, u"AllowSipInHebrewSearch", 1);
  g_taskBarWindow = nullptr;
  bool taskBarWasVisible = false;
  if (g_fullScreen) {
    g_taskBarWindow = plat::FindTopLevelWindow(u"HHTaskBar", u"");
    taskBarWasVisible = g_taskBarWindow && plat::WindowVisible(g_taskBarWindow);
  }
  g_app.menuBarOnBottom = ReadNumberSetting(kMakerKey, u"MenuBarOnBottom", 0);
  g_app.surroundingGutter = ReadNumberSetting(kMakerKey, u"SurroundingGutter", 0);
  if (commandLine && commandLine[0] && plat::EqualFoldingAscii(commandLine, u"/today")) {
    g_app.todayRequested = 1;
  }

  if (!StartInstance(showMode)) {
    if (taskBarWasVisible && plat::IsLiveWindow(g_taskBarWindow)) {
      plat::ApplyShowMode(g_taskBarWindow, plat::ShowNormal);
    }
    return 0;
  }
  plat::AcceleratorTable* accelerators = plat::LoadAcceleratorTable(kAcceleratorTableId);
  plat::Message msg{};
  while (plat::NextMessage(&msg, nullptr, 0, 0) > 0) {
    if (plat::ApplyAccelerators(msg.window, accelerators, &msg)) continue;
    plat::PostCharacterMessage(&msg);
    plat::DeliverMessage(&msg);
  }
  plat::FreeAcceleratorTable(accelerators);
  if (taskBarWasVisible && plat::IsLiveWindow(g_taskBarWindow)) {
    plat::ApplyShowMode(g_taskBarWindow, plat::ShowNormal);
  }
  return static_cast<int32_t>(static_cast<intptr_t>(msg.wParam));
}
