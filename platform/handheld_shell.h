// The handheld shell's services: the full-screen state of a window, the
// initialisation of dialogs that fill the screen, the input panel and its
// button, and the shell's share of a setting change.
//
// This platform has no task bar: a look-up of the task bar window's class
// finds nothing, so there is nothing to hide or show again. Nothing else
// takes a part of the screen either (the input panel is the system's text
// input), so "the full screen" is the whole screen.
#pragma once

#include <cstdint>

#include "platform/window.h"

namespace plat {

// ---- Full-screen state ---------------------------------------------------------------

enum FullScreenFlags : uint32_t {
  FullScreenShowTaskBar = 0x01,
  FullScreenHideTaskBar = 0x02,
  FullScreenShowInputPanelButton = 0x04,
  FullScreenHideInputPanelButton = 0x08,
  FullScreenShowStartIcon = 0x10,
  FullScreenHideStartIcon = 0x20,
};
// Records the flags for the top-level window; when it is in front (or no
// window is), the input panel's button follows them at once. Once the flags
// hide the task bar, HandleShellSettingChange keeps the window the size of
// the screen, until they show it again. False for a bad window, an unknown
// flag, or both of a show and hide pair.
bool SetFullScreenState(Window window, uint32_t flags);
uint32_t FullScreenStateOf(Window window);  // what was set last, 0 if nothing

// ---- Dialogs that fill the screen --------------------------------------------------------

enum ShellDialogMask : uint32_t { ShellDialogFlagsValid = 0x1 };
enum ShellDialogFlags : uint32_t {
  ShellDialogDoneButton = 0x01,     // a Done button in the caption, sending command 1
  ShellDialogSize = 0x02,           // size the dialog ...
  ShellDialogFullScreen = 0x04,     // ... to the full screen
  ShellDialogInputPanelDown = 0x08, // the input panel is put away
  ShellDialogNoMenuBar = 0x10,      // full screen without room for a menu bar
};
struct ShellDialogInit {
  uint32_t mask;    // ShellDialogMask
  Window dialog;
  uint32_t flags;   // ShellDialogFlags
};
// Any of the sizing flags sizes the dialog to the whole screen and keeps it
// so (as SetFullScreenState does); the Done button is the dialog's caption OK
// button (dialog.h), which only a running dialog has. Without
// ShellDialogFlagsValid in the mask there is nothing to do. False, with
// nothing done, for a bad record, an unknown flag, a Done button asked of a
// window that is not a running dialog, or a dialog that is not a live
// top-level window.
bool InitShellDialog(const ShellDialogInit* init);

// ---- Input panel ---------------------------------------------------------------------------
// The panel is the system's text input: shown, it starts SDL text input;
// hidden, it stops it.

bool ShowInputPanel(bool show);  // false without a screen
bool InputPanelShown();
// The button that toggles the panel, at the right end of a bottom menu bar;
// shown until hidden here (for the whole run, screens included).
void ShowInputPanelButton(bool show);
bool InputPanelButtonShown();

// ---- Setting change --------------------------------------------------------------------------

struct ShellActivationInfo {
  uint32_t size;    // sizeof(ShellActivationInfo)
  uint32_t fSipUp;  // the input panel was up when the window was last active
  uint32_t reserved[4];
};
// The shell's handling of MsgSettingChange for `window`; true when it took
// the message: it resizes a window it keeps full screen when the screen's
// size changed since it last did. A given `info` (its size checked) learns
// whether the panel is up.
bool HandleShellSettingChange(Window window, uintptr_t wParam, intptr_t lParam, ShellActivationInfo* info);

}  // namespace plat
