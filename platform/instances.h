// Other copies of the program: a running copy publishes its main window, and
// a copy started later finds it by class and title, asks whether it is in
// front, brings it forward, or hands it a command or the close request.
//
// The published window listens on a Unix socket of the current user, in
// $XDG_RUNTIME_DIR/tovanel/ (an absolute XDG_RUNTIME_DIR only), else in
// /tmp/tovanel-<uid>/. The folder is created with mode 0700 and refused
// unless it is a real folder owned by the user with no group or other
// access; the socket file has mode 0600. The file is named after a hash of
// the class (case of ASCII letters ignored, as window classes compare) and
// the title.
//
// The running copy serves the socket from its own message loop, on its one
// thread: requests become posted messages or are answered at once. Each
// connection carries one request and its reply. A connection from another
// user, or one that sends anything but one well-formed request, or that has
// not sent it within kInstanceStallMs, is closed without a reply; at most
// kInstanceMaxConnections are kept open at once and further ones are closed.
//
// Wire format, little-endian, one request then one reply per connection:
//   request  magic u32, version u16, kind u16, argument u32, name tag u32
//   reply    magic u32, version u16, kind u16 (the request's), value u32,
//            server id u32 (the process id of the running copy)
// The name tag is a second hash of the class and title: a request that was
// meant for another window is refused even if the file names collided.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/window.h"

namespace plat {

// ---- The running copy ----------------------------------------------------------------

// Publishes a top-level window of this program under its class and title,
// while a screen runs. At most one per process: false when another is
// published already (true for the same one again), when the window is
// not a live top-level window of the program, when the folder is refused,
// or when another live copy publishes the same class and title. A socket
// file nobody listens on any more (a copy that crashed) is replaced.
bool PublishWindow(Window window);
// Stops listening and removes the socket file if it is still this copy's.
// Also done when the screen stops, and when the published window is
// destroyed or its title changes (noticed the next time the loop waits).
void WithdrawWindow();
Window PublishedWindow();  // null when none

// ---- A copy started later -----------------------------------------------------------------

// What one copy knows of another. A plain value: nothing to release.
struct OtherInstance {
  std::string socketPath;
  uint32_t nameTag = 0;
  uint32_t serverId = 0;  // replies from any other process are refused
};

// Where the other copy's focus is.
enum OtherFront : uint32_t {
  OtherBehind = 0,        // another program, or none of its windows, is in front
  OtherInFront = 1,       // the published window itself is in front
  OtherOwnedInFront = 2,  // a window it owns (a dialog) is in front
};

// Every call below waits at most kInstanceTimeoutMs and fails when the
// other copy does not answer as expected, has gone, or was replaced by a
// new process. No screen is needed.

// A copy (not this process) publishing a window of this class and title.
// Both are required; an empty title is a title. True with `out` filled when
// it answered.
bool FindOtherInstance(const char16_t* className, const char16_t* title, OtherInstance* out);
bool QueryOtherFront(const OtherInstance& other, OtherFront* state);
// True when the other copy activated its window (or the dialog over it).
bool BringOtherToFront(const OtherInstance& other);
// MsgCommand with `id` in the first parameter (notification 0) and 0 in the
// second, posted to the published window; true once it was queued.
bool SendOtherCommand(const OtherInstance& other, uint16_t id);
// MsgCloseRequest posted to the published window; true once it was queued.
bool SendOtherCloseRequest(const OtherInstance& other);

// The socket a window of this class and title is published at: its folder
// is created and checked first. False when the names are missing or too
// long, or the folder is refused.
bool InstanceSocketPath(const char16_t* className, const char16_t* title, std::string* path);

// ---- Protocol constants -----------------------------------------------------------------------

constexpr uint32_t kInstanceMagic = 0x4C4E5654;  // "TVNL"
constexpr uint16_t kInstanceVersion = 1;
constexpr std::size_t kInstanceRequestSize = 16;
constexpr std::size_t kInstanceReplySize = 16;
constexpr int32_t kInstanceTimeoutMs = 2000;
constexpr int32_t kInstanceStallMs = 1000;
constexpr int32_t kInstanceMaxConnections = 8;
constexpr std::size_t kInstanceMaxTitle = 1024;  // UTF-16 units

enum InstanceRequestKind : uint16_t {
  InstanceHello = 1,       // argument 0; value: the protocol version
  InstanceFrontQuery = 2,  // argument 0; value: OtherFront
  InstanceBringToFront = 3,  // argument 0; value: 1 done, 0 not
  InstanceCommand = 4,     // argument: command id 0..65535; value: 1 queued, 0 not
  InstanceClose = 5,       // argument 0; value: 1 queued, 0 not
};

// The name tag a request for this class and title carries (0 when the
// names are missing or too long).
uint32_t InstanceNameTag(const char16_t* className, const char16_t* title);

}  // namespace plat
