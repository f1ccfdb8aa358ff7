// Handing an address to the desktop: the verb "Open" runs the desktop's
// opener (xdg-open) without waiting for it.
#pragma once

namespace plat {

// True when the opener was started; whether it managed to open the address
// is not known (and the reader does not report it).
bool OpenAddress(const char16_t* verb, const char16_t* address);

}  // namespace plat
