// The program's entry, its single-instance rule, the main window and its
// message handling.
#pragma once

#include <cstdint>

#include "platform/handheld_shell.h"
#include "shell/app_globals.h"

namespace plat {
struct PlatWindow;
}

extern const char16_t kMainWindowClass[];  // "Tovanel (Vowels)", also its title
constexpr uint16_t kMainIconId = 101;
constexpr uint16_t kAcceleratorTableId = 3;
constexpr uint16_t kCommandChooseArticle = 119;
// The shell's state for the reader in full-screen mode.
constexpr uint32_t kFullScreenFlags = plat::FullScreenHideTaskBar | plat::FullScreenHideInputPanelButton |
                                      plat::FullScreenHideStartIcon;

int32_t ProgramEntry(plat::PlatModule* instance, plat::PlatModule* previous,
                     const char16_t* commandLine, int32_t showMode);
// The main window, or null when another copy runs or the window cannot be
// created.
plat::PlatWindow* StartInstance(int32_t showMode);
void RegisterMainWindowClass(plat::PlatModule* instance, const char16_t* className);
intptr_t MainWindowProc(plat::PlatWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
