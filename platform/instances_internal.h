// How the message loop serves the socket of the published window
// (platform/instances.h), and what the instance server needs of the SDL
// screen. Nothing outside platform/ includes this.
#pragma once

#include <chrono>

namespace plat {
namespace wm {

// ---- Instance server (instances.cpp) ----
// Takes new connections and handles those whose request has arrived, closes
// stalled ones. True when it handled a request (messages may be queued).
// Does nothing when no window is published.
bool ServeInstances();
// Waits up to `limit`, returning early when the socket may need serving;
// without a published window it just sleeps.
void WaitForInstances(std::chrono::steady_clock::duration limit);
bool InstancesListening();

// ---- SDL screen (screen_sdl.cpp) ----
bool SdlHasInputFocus();
void SdlRaise();

}  // namespace wm
}  // namespace plat
