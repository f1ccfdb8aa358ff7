// How the window system takes over message boxes while a screen runs;
// nothing outside platform/ includes this.
#pragma once

#include <cstdint>

#include "platform/message_box.h"

namespace plat {
namespace msgbox {

// Shows a box and returns the answer. Null: no screen, the box is only
// recorded (and echoed).
using Presenter = int32_t (*)(Window owner, const char16_t* text, const char16_t* caption,
                              uint32_t flags);
// `echo`: boxes shown by the presenter are also written to standard error
// (when echoing is on), as where no one may be watching the screen.
void SetPresenter(Presenter presenter, bool echo);

}  // namespace msgbox
}  // namespace plat
