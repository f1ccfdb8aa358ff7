// The handheld shell's services on this platform. Nothing takes a part of
// the screen away (no task bar, and the input panel is the system's text
// input, drawn elsewhere), so "the full screen" is the whole screen.
#include "platform/handheld_shell.h"

#include "platform/bar_internal.h"
#include "platform/dialog.h"
#include "platform/screen.h"
#include "platform/window_internal.h"

namespace plat {

using namespace wm;

namespace {

bool g_panelButton = true;

constexpr uint32_t kKnownFullScreen = FullScreenShowTaskBar | FullScreenHideTaskBar |
                                      FullScreenShowInputPanelButton | FullScreenHideInputPanelButton |
                                      FullScreenShowStartIcon | FullScreenHideStartIcon;
constexpr uint32_t kKnownDialogFlags = ShellDialogDoneButton | ShellDialogSize | ShellDialogFullScreen |
                                       ShellDialogInputPanelDown | ShellDialogNoMenuBar;

bool BothOf(uint32_t flags, uint32_t a, uint32_t b) { return (flags & a) && (flags & b); }

// From now on the shell keeps the window the size of the screen, which is
// this big now.
void KeepFullScreen(PlatWindow* w, bool place) {
  const World& W = TheWorld();
  w->keptFullScreen = true;
  w->keptWidth = W.width;
  w->keptHeight = W.height;
  if (place) PlaceWindow(w, 0, 0, W.width, W.height, true);
}

}  // namespace

// ---- Full-screen state ---------------------------------------------------------------

bool SetFullScreenState(Window window, uint32_t flags) {
  if (!Live(window) || window->parent || (flags & ~kKnownFullScreen)) return false;
  if (BothOf(flags, FullScreenShowTaskBar, FullScreenHideTaskBar) ||
      BothOf(flags, FullScreenShowInputPanelButton, FullScreenHideInputPanelButton) ||
      BothOf(flags, FullScreenShowStartIcon, FullScreenHideStartIcon))
    return false;
  window->fullScreenFlags = flags;
  // Covering where a task bar would be is filling the screen, which the
  // window is kept at when the screen changes; showing the task bar again
  // hands its size back to the program.
  if (flags & FullScreenHideTaskBar) KeepFullScreen(window, false);
  if (flags & FullScreenShowTaskBar) window->keptFullScreen = false;
  PlatWindow* front = TheWorld().active;
  if (!front || front == window) {
    if (flags & FullScreenShowInputPanelButton) ShowInputPanelButton(true);
    if (flags & FullScreenHideInputPanelButton) ShowInputPanelButton(false);
  }
  return true;
}

uint32_t FullScreenStateOf(Window window) { return Live(window) ? window->fullScreenFlags : 0; }

// ---- Dialogs that fill the screen --------------------------------------------------------

bool InitShellDialog(const ShellDialogInit* init) {
  if (!init || (init->mask & ~static_cast<uint32_t>(ShellDialogFlagsValid))) return false;
  PlatWindow* dialog = init->dialog;
  if (!Live(dialog) || dialog->parent || dialog->destroying) return false;
  if (!(init->mask & ShellDialogFlagsValid)) return true;  // no flags to apply
  const uint32_t flags = init->flags;
  if ((flags & ~kKnownDialogFlags) || ((flags & ShellDialogDoneButton) && !IsDialog(dialog))) return false;
  if (flags & ShellDialogDoneButton) GiveDialogCaptionOk(dialog);
  // With nothing else on the screen, every way of sizing it comes to the whole screen.
  if (flags & (ShellDialogSize | ShellDialogFullScreen | ShellDialogNoMenuBar)) KeepFullScreen(dialog, true);
  if (flags & ShellDialogInputPanelDown) ShowInputPanel(false);
  return true;
}

// ---- Input panel ---------------------------------------------------------------------------

bool ShowInputPanel(bool show) {
  if (!TheWorld().started) return false;
  SetTextInput(show);
  bar::RefreshInputPanelButtons();  // the button shows the panel's state
  return true;
}

bool InputPanelShown() { return TextInputOn(); }

void ShowInputPanelButton(bool show) {
  if (g_panelButton == show) return;
  g_panelButton = show;
  bar::RefreshInputPanelButtons();
}

bool InputPanelButtonShown() { return g_panelButton; }

// ---- Setting change --------------------------------------------------------------------------

bool HandleShellSettingChange(Window window, uintptr_t, intptr_t, ShellActivationInfo* info) {
  if (info && info->size != sizeof(ShellActivationInfo)) return false;
  if (!Live(window) || window->parent) return false;
  if (info) info->fSipUp = InputPanelShown() ? 1 : 0;
  const World& W = TheWorld();
  if (!window->keptFullScreen || (window->keptWidth == W.width && window->keptHeight == W.height)) return false;
  KeepFullScreen(window, true);
  return true;
}

}  // namespace plat
