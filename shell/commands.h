// The main window's commands: menu items, toolbar buttons, a second start
// of the program, and the Enter key.
#pragma once

#include <cstdint>

namespace plat {
struct PlatWindow;
}

// 0 when the command was handled, 1 when it was not. The command is the
// low word of the command message's first parameter.
int DispatchCommand(plat::PlatWindow* window, uintptr_t wParam);
// The Enter key: repeats the last search once searching exists.
void HandleEnterKey(plat::PlatWindow* window);
