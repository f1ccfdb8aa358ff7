// The main window's commands: menu items, toolbar buttons and a second
// start of the program.
#pragma once

#include <cstdint>

namespace plat {
struct PlatWindow;
}

// 0 when the command was handled, 1 when it was not. The command is the
// low word of the command message's first parameter.
int DispatchCommand(plat::PlatWindow* window, uintptr_t wParam);
