// The device's screen: one SDL window, or a headless screen driven by a
// script. Windows (platform/window.h) live on it; the platform composites
// them in z-order and presents the picture when it changed.
//
// Headless scripts, one command a line (blank lines and lines starting with
// '#' are skipped; each line runs once the message queue is empty):
//   key NAME          PageDown PageUp Home End Up Down Left Right Enter Escape
//                     Tab Backspace Delete Space F1..F12, a letter or digit,
//                     each optionally after Ctrl+, Alt+ and Shift+
//   tap X Y           a stylus tap at screen coordinates
//   text STRING       UTF-8 typed through the input method (rest of the line)
//   command ID        MsgCommand ID (0..65535) posted to the main window
//   screenshot FILE   the whole screen as PNG (rest of the line)
//   sleep MS          keep handling messages for MS (0..600000) milliseconds
//   quit              MsgCloseRequest posted to the main window
// When the script ends the main window is asked to close as by `quit`.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/graphics.h"
#include "platform/window.h"

namespace plat {

constexpr int32_t kDefaultScreenWidth = 480;
constexpr int32_t kDefaultScreenHeight = 800;
constexpr int32_t kMinScreenSide = 64;
constexpr int32_t kMaxScreenSide = 4096;

// Exit codes the program uses for a screen that cannot start or a script
// that is malformed or fails.
constexpr int32_t kExitNoScreen = 1;
constexpr int32_t kExitScriptError = 2;

struct PlatformOptions {
  bool headless = false;
  std::string scriptPath;  // headless only; empty: no script
  int32_t screenWidth = kDefaultScreenWidth;
  int32_t screenHeight = kDefaultScreenHeight;
};

// Takes --headless, --script FILE and --screen WxH (also as --opt=value) out
// of argv[1..]; every argument not starting with "--" is handed back in
// `programArgs`. False with a one-line `error` for an unknown option, a
// missing or bad value, or --script without --headless.
bool ParsePlatformOptions(int argc, const char* const* argv, PlatformOptions* options,
                          std::vector<std::string>* programArgs, std::string* error);

// ---- Scripts -----------------------------------------------------------------------

enum ScriptCommandKind : int32_t {
  ScriptKey,
  ScriptTap,
  ScriptText,
  ScriptCommand,
  ScriptScreenshot,
  ScriptSleep,
  ScriptQuit,
};
struct ScriptLine {
  int32_t lineNumber;    // 1-based, in the file
  ScriptCommandKind kind;
  uint32_t key;          // ScriptKey: key code
  uint32_t keyState;     // ScriptKey: KeyState bits
  int32_t x, y;          // ScriptTap
  int32_t number;        // ScriptCommand: id; ScriptSleep: milliseconds
  std::u16string text;   // ScriptText
  std::string path;      // ScriptScreenshot
};

// Parses a whole script; taps must lie on a screen of the given size. False
// with `error` naming the line ("line 3: ...") at the first bad line.
bool ParseScript(const std::string& text, int32_t screenWidth, int32_t screenHeight,
                 std::vector<ScriptLine>* lines, std::string* error);

// ---- Start and stop --------------------------------------------------------------------

enum ScreenBackendKind : int32_t { ScreenNone = 0, ScreenHeadless = 1, ScreenSdl = 2 };

struct ScreenStartResult {
  bool ok;
  int32_t exitCode;     // when not ok: kExitNoScreen or kExitScriptError
  std::string message;  // when not ok: one line for the user
};

// Starts the SDL screen (fails with kExitNoScreen when no display can be
// opened) or the headless one (fails with kExitScriptError when the script
// cannot be read or is malformed). Fails when a screen is already running.
ScreenStartResult StartScreen(const PlatformOptions& options);
// Destroys every window, empties the queue, forgets the window classes and
// closes the screen. Nothing happens without a screen.
void StopScreen();
ScreenBackendKind ScreenBackend();

// The window the script's commands and the end of the script go to: the
// first visible top-level window opened, unless the program names another.
void SetMainWindow(Window window);
Window MainWindow();

// The input method (the handheld's input panel): SDL text input on or off.
// Headless `text` lines are delivered either way.
void SetTextInput(bool on);
bool TextInputOn();

// The composite of every visible window, brought up to date now. Null
// without a screen. Valid until the next platform call.
const Surface* ScreenSurface();
bool WriteScreenshot(const char* path);
// Composes the screen and reports the rectangle that differs from the
// picture of the previous call (all of it the first time): what the SDL
// screen uploads and presents. False when nothing changed.
bool TakeScreenChange(Rect* changed);
// Gives the screen a new size; top-level windows that filled the old screen
// are resized to fill the new one. What a resized SDL window does.
bool ResizeScreen(int32_t width, int32_t height);

// The script's runtime failure, once it has ended the loop (empty if none).
std::string ScriptFailure();

// ---- Input --------------------------------------------------------------------------------
// What the backends feed in, in screen coordinates; also for tests and
// automation. Each is routed at once: stylus input to the window under the
// point (or the one holding the stylus since its press), keys and text to the
// focus window (or the active one), nothing to a disabled window.

void InputStylusDown(int32_t x, int32_t y);
void InputStylusMove(int32_t x, int32_t y);
void InputStylusUp(int32_t x, int32_t y);
// `keyState`: KeyState bits held with the key.
void InputKey(uint32_t key, bool down, uint32_t keyState, bool repeat);
void InputText(const std::u16string& text);
// Notches: positive away from the user (up).
void InputWheel(int32_t x, int32_t y, int32_t notches);

}  // namespace plat
