// The records behind window handles and the state of the window system,
// shared by the files of its implementation only; nothing outside platform/
// includes this.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/graphics.h"
#include "platform/screen.h"
#include "platform/window.h"

namespace plat {

// Class style bits of the platform's own classes, above those of window.h.
enum InternalClassStyle : uint32_t {
  ClassWantsHover = 0x40000000,  // hears the pointer moving over it with nothing pressed
  ClassNoActivate = 0x80000000,  // a tap leaves the active window as it is (bars, tips)
};

struct WindowClass {
  std::u16string name;
  uint32_t style;
  WindowProc proc;
  uint16_t iconId;
  Brush* background;
  int32_t windowCount;
};

enum ScrollPart : int32_t {
  ScrollPartNone = 0,
  ScrollPartUpArrow,
  ScrollPartDownArrow,
  ScrollPartPageUp,
  ScrollPartPageDown,
  ScrollPartThumb,
};

struct ScrollBarState {
  int32_t min, max;
  uint32_t page;
  int32_t pos;
  int32_t trackPos;
  bool dragging;
  int32_t dragOffset;     // stylus y minus the thumb's top when the drag began
  ScrollPart pressedPart;
};

struct PlatWindow {
  WindowClass* cls;
  std::u16string title;
  uint32_t style;
  uint32_t exStyle;
  uint32_t id;
  PlatWindow* parent;
  PlatWindow* owner;
  std::vector<PlatWindow*> children;  // back to front
  Rect rect;        // parent client coordinates for a child, screen ones otherwise
  Surface client;   // the client's pixels; DCs point at this record, so it never moves
  Surface frame;    // the whole window with border, caption and bar; empty without them
  bool frameDirty;
  bool hasUpdate;
  Rect update;      // client coordinates
  bool erasePending;
  uint32_t paintServed;  // counts StartPaint and validations
  intptr_t data;
  ScrollBarState vbar;
  bool alive;
  bool destroying;
  int32_t holds;    // procedure calls and platform frames using the record
  bool internal;    // the platform's own (message boxes): never the main window
  bool showsWithOwner;  // shown and hidden with its owner (a bottom menu bar)
  // The handheld shell's record (handheld_shell.cpp): the full-screen
  // flags, and whether it keeps the window the size of the screen, which
  // was this big when it last did.
  uint32_t fullScreenFlags;
  bool keptFullScreen;
  int32_t keptWidth, keptHeight;
};

namespace wm {

// Keeps a record from being freed while platform code still uses it across
// procedure calls; the record may die meanwhile (check `alive`).
struct Hold {
  explicit Hold(PlatWindow* w) : window(w) {
    if (window) ++window->holds;
  }
  ~Hold() {
    if (window) --window->holds;
  }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
  PlatWindow* window;
};

struct ScriptState {
  std::vector<ScriptLine> lines;
  std::string path;
  std::size_t next = 0;
  bool closeRequested = false;
  bool sleeping = false;
  std::chrono::steady_clock::time_point sleepUntil;
  std::string failure;
};

// A platform window waiting for a moment (deadlines, message_queue.cpp).
struct Deadline {
  PlatWindow* window;
  uint32_t id;
  std::chrono::steady_clock::time_point at;
};

struct World {
  bool started = false;
  ScreenBackendKind backend = ScreenNone;
  int32_t width = 0, height = 0;
  std::chrono::steady_clock::time_point startTime;

  std::vector<std::unique_ptr<WindowClass>> classes;
  std::unordered_set<PlatWindow*> live;
  std::vector<PlatWindow*> topLevels;  // back to front
  std::vector<PlatWindow*> graveyard;  // dead, freed once nothing holds them
  PlatWindow* focus = nullptr;
  PlatWindow* active = nullptr;
  PlatWindow* main = nullptr;

  std::deque<Message> queue;
  std::vector<Deadline> deadlines;
  bool quitPending = false;
  int32_t quitCode = 0;

  PlatWindow* capture = nullptr;  // holds the stylus from its press to its release
  uint32_t captureHit = 0;        // FrameHit of the press: client or a frame part
  PlatWindow* hover = nullptr;    // last told of the pointer passing over it (ClassWantsHover)
  int32_t pointerX = 0, pointerY = 0;
  uint32_t keyState = 0;
  bool textInput = false;

  // Window DCs handed out, with their window (null once it is destroyed).
  std::unordered_map<DeviceContext*, PlatWindow*> dcs;

  bool changed = true;      // something may have changed on the screen
  Surface composite{};      // the screen as last composed
  Surface taken{};          // the screen as last handed to TakeScreenChange
  Font* captionFont = nullptr;

  ScriptState script;
};

World& TheWorld();

// ---- Windows (window.cpp) ----
bool Live(const PlatWindow* w);
int32_t CallProc(PlatWindow* w, uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t* result);
bool IsWithin(const PlatWindow* w, const PlatWindow* ancestor);
bool ShownChain(const PlatWindow* w);    // visible bits of it and its ancestors
bool EnabledChain(const PlatWindow* w);  // no disabled bit on it or its ancestors
Rect ClientRectInWindow(const PlatWindow* w);  // client area in window coordinates
bool HasFrame(const PlatWindow* w);
void ScreenOrigin(const PlatWindow* w, int32_t* x, int32_t* y);  // window's top-left on the screen
void ActivateTopLevel(PlatWindow* top, uint32_t state);
void CollectGraveyard();
void DestroyAllWindows();
void ResetWindows();  // after DestroyAllWindows: DCs, classes, fonts, state
bool ResizeScreenWindows(int32_t oldWidth, int32_t oldHeight);
void UpdateFrameLayout(PlatWindow* w);  // after the frame's makeup changed
void MarkChanged();
// The window under a screen point and what part of it is there.
PlatWindow* HitTest(int32_t x, int32_t y, uint32_t* hit);

// ---- Messages (message_queue.cpp) ----
bool QueueMessage(PlatWindow* w, uint32_t message, uintptr_t wParam, intptr_t lParam);
void PurgeMessages(const PlatWindow* w);  // its deadlines too
uint32_t Now();

// Deadlines: the platform's own windows wait for a moment (a tool tip's
// delay) without a timer the program would see. Once it has passed,
// MsgDeadline (wParam: the id) is queued for the window; the loop wakes for
// the nearest one. Setting a window's id again moves its deadline.
constexpr uint32_t MsgDeadline = 0x3FF;  // the platform's range (controls.h), its own windows only
void SetDeadline(PlatWindow* w, uint32_t id, uint32_t delayMs);
void CancelDeadline(PlatWindow* w, uint32_t id);
// Milliseconds until the nearest deadline; -1 when there is none.
int32_t MsUntilDeadline();

// ---- Scroll bars (scroll_bar.cpp) ----
bool BarUsable(const ScrollBarState& bar);
Rect BarRect(const PlatWindow* w);  // window coordinates; empty without a bar
ScrollPart BarPartAt(const PlatWindow* w, int32_t x, int32_t y);  // window coordinates
void DrawBar(PlatWindow* w);
intptr_t BarFrameStylus(PlatWindow* w, uint32_t message, int32_t screenX, int32_t screenY);
void BarWheel(PlatWindow* w, int32_t notches);

// ---- Compositing (compositor.cpp) ----
void DrawFrame(PlatWindow* w);
bool Compose();  // brings `composite` up to date; false without a screen
bool AllocateScreen(int32_t width, int32_t height);
void ReleaseScreen();
Font* CaptionFont();

// ---- Input (input.cpp) ----
void RouteKey(uint32_t key, bool down, uint32_t keyState, bool repeat, bool textFollows);
void ForgetCapture(const PlatWindow* w);  // and the hover

// ---- Backends ----
// Headless (screen.cpp): runs the next step of the script when idle. False
// when the run has ended.
bool HeadlessIdle();
// SDL (screen_sdl.cpp).
bool SdlOpen(int32_t width, int32_t height, std::string* error);
void SdlClose();
// Waits for events (at most timeoutMs; -1: as long as it takes) and feeds
// them in; false on failure.
bool SdlWaitAndDispatch(int32_t timeoutMs);
void SdlPresent();
void SdlSetTextInput(bool on);
void SdlSetTitle(const std::u16string& title);  // the main window's: its title and icon

// ---- Dialogs (dialog.cpp) ----
// Gives a running dialog the caption's OK button; false when it is not one.
bool GiveDialogCaptionOk(PlatWindow* dialog);

// ---- Bars (bar_common.cpp) ----
// Command bars among w's children take its client width; called wherever
// the client is sized (UpdateFrameLayout), before w is told its new size.
void FitChildBars(PlatWindow* w);

// ---- Message boxes (message_box_window.cpp) ----
int32_t PresentMessageBox(Window owner, const char16_t* text, const char16_t* caption,
                          uint32_t flags);

// The next message for a modal loop running inside the main one. False when
// that loop must end: a quit request, which is posted again for the outer
// loop, or a loop that can no longer wait.
bool NextModalMessage(Message* msg);

}  // namespace wm
}  // namespace plat
