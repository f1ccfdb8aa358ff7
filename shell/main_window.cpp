// The main window: its class and its message handling, which hands the
// view's messages to the view, commands to the dispatch and ends the
// program when the window goes.
#include "shell/main_window.h"

#include "platform/graphics.h"
#include "platform/handheld_shell.h"
#include "platform/window.h"
#include "shell/app_globals.h"
#include "shell/bar.h"
#include "shell/commands.h"
#include "shell/settings.h"
#include "view/navigation.h"

const char16_t kMainWindowClass[] = u"Tovanel (Vowels)";

namespace {

constexpr uint32_t kMainClassStyle = plat::ClassRedrawOnHeight | plat::ClassRedrawOnWidth;
// A position change with one of these and no activation closes the window.
constexpr uint32_t kPositionHighFlags = 0xFFFF0000u;

// Handed to the shell's setting-change handling; the shell keeps what it
// needs in it between calls.
plat::ShellActivationInfo g_activationInfo{sizeof(plat::ShellActivationInfo), 0, {0, 0, 0, 0}};

void OnCreate(plat::PlatWindow* window) {
  g_app.mainWindow = window;
  CreateBar();
  OpenArticleView(window);
  UpdateReverseCheck(kCheckSet);
  UpdateBookmarkCheck(kCheckSet);
}

void OnDestroy(plat::PlatWindow* window) {
  if (g_app.view) plat::ReturnWindowDC(window, g_app.view->dc);
  if (g_app.bar) plat::DisposeWindow(g_app.bar);
  g_app.bar = nullptr;
  SaveSettingsAndQuit();
}

intptr_t OnActivate(plat::PlatWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (g_ignoreActivate) return plat::DefaultWindowProc(window, message, wParam, lParam);
  if (plat::LowWord(wParam) == plat::ActivateOff) return 0;
  plat::SetFullScreenState(window, g_fullScreen ? kFullScreenFlags
                                                : plat::FullScreenHideInputPanelButton);
  return 0;
}

intptr_t OnKeyDown(plat::PlatWindow* window, uintptr_t key) {
  // Enter is taken: it will repeat the last search, which the reader does not have yet.
  if (key == plat::KeyEnter) return 0;
  return HandleViewKey(window, static_cast<uint32_t>(key)) ? 0 : 1;
}

}  // namespace

void RegisterMainWindowClass(plat::PlatModule*, const char16_t* className) {
  plat::WindowClassDescription c{};
  c.name = className;
  c.style = kMainClassStyle;
  c.proc = MainWindowProc;
  c.iconId = kMainIconId;
  c.background = plat::GetStockBrush(plat::StockWhiteBrush);
  plat::AddWindowClass(&c);
}

intptr_t MainWindowProc(plat::PlatWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case plat::MsgCreate:
      OnCreate(window);
      return 0;
    case plat::MsgDestroy:
      OnDestroy(window);
      return 0;
    case plat::MsgSize:
      ResizeArticleView(window, plat::LowWord(static_cast<uintptr_t>(lParam)),
                        plat::HighWord(static_cast<uintptr_t>(lParam)));
      return 0;
    case plat::MsgActivate:
      return OnActivate(window, message, wParam, lParam);
    case plat::MsgPaint:
      PaintArticleWindow(window, reinterpret_cast<plat::DeviceContext*>(wParam), kPaintAll);
      return 0;
    case plat::MsgSettingChange:
      plat::HandleShellSettingChange(window, wParam, lParam, &g_activationInfo);
      return 0;
    case plat::MsgPositionChanged: {
      const auto* pos = reinterpret_cast<const plat::WindowPosition*>(lParam);
      if (pos && (pos->flags & kPositionHighFlags) && (pos->flags & plat::PositionNoActivate)) {
        plat::DisposeWindow(window);
      }
      return 0;
    }
    case plat::MsgKeyDown:
      return OnKeyDown(window, wParam);
    case plat::MsgCommand:
      if (DispatchCommand(window, wParam) == 0) return 0;
      return plat::DefaultWindowProc(window, message, wParam, lParam);
    case plat::MsgVScroll:
      HandleViewScrollBar(window, wParam, lParam);
      return 1;
    case plat::MsgStylusDown:
      if (g_app.view) {
        TapToPage(window, g_app.view, plat::SignedLowWord(static_cast<uintptr_t>(lParam)),
                  plat::SignedHighWord(static_cast<uintptr_t>(lParam)), true);
      }
      return 0;
    case plat::MsgCloseRequest:
      plat::DisposeWindow(window);
      return 0;
    default:
      return plat::DefaultWindowProc(window, message, wParam, lParam);
  }
}
