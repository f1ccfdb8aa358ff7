// Starting and stopping the screen, and the headless backend: a screen
// without a display, driven by a script one line at a time whenever the
// message queue has run empty.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/instances.h"
#include "platform/instances_internal.h"
#include "platform/message_box_internal.h"
#include "platform/window_internal.h"

namespace plat {

namespace wm {

namespace {

constexpr std::streamsize kMaxScriptBytes = 16 << 20;
constexpr auto kSleepSlice = std::chrono::milliseconds(10);

bool SizeAllowed(int32_t w, int32_t h) {
  return w >= kMinScreenSide && h >= kMinScreenSide && w <= kMaxScreenSide && h <= kMaxScreenSide;
}

bool ReadFile(const std::string& path, std::string* out, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read the script " + path;
    return false;
  }
  std::string text;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (static_cast<std::streamsize>(text.size()) > kMaxScriptBytes) {
      *error = "the script " + path + " is larger than 16 MiB";
      return false;
    }
  }
  if (in.bad()) {
    *error = "cannot read the script " + path;
    return false;
  }
  *out = std::move(text);
  return true;
}

// Ends the run: the loop gets the quit request with the script's exit code.
void FailScript(const ScriptLine& line, const std::string& what) {
  ScriptState& S = TheWorld().script;
  S.failure = "script " + S.path + ": line " + std::to_string(line.lineNumber) + ": " + what;
  std::fprintf(stderr, "%s\n", S.failure.c_str());
  S.next = S.lines.size();
  S.closeRequested = true;
  RequestQuit(kExitScriptError);
}

void AskMainToClose() {
  PlatWindow* main = TheWorld().main;
  if (!Live(main) || !PostToWindow(main, MsgCloseRequest, 0, 0)) RequestQuit(0);
}

void RunLine(const ScriptLine& line) {
  World& W = TheWorld();
  switch (line.kind) {
    case ScriptKey:
      InputKey(line.key, true, line.keyState, false);
      InputKey(line.key, false, line.keyState, false);
      break;
    case ScriptTap:
      InputStylusDown(line.x, line.y);
      InputStylusUp(line.x, line.y);
      break;
    case ScriptText:
      InputText(line.text);
      break;
    case ScriptCommand:
      if (!Live(W.main) || !PostToWindow(W.main, MsgCommand, static_cast<uintptr_t>(line.number), 0))
        FailScript(line, "there is no main window for command " + std::to_string(line.number));
      break;
    case ScriptScreenshot:
      if (!WriteScreenshot(line.path.c_str())) FailScript(line, "cannot write the screenshot " + line.path);
      break;
    case ScriptSleep:
      W.script.sleeping = true;
      W.script.sleepUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(line.number);
      break;
    case ScriptQuit:
      AskMainToClose();
      break;
  }
}

}  // namespace

bool HeadlessIdle() {
  World& W = TheWorld();
  ScriptState& S = W.script;
  if (!W.started) return false;
  if (S.sleeping) {
    const auto now = std::chrono::steady_clock::now();
    if (now < S.sleepUntil) {
      WaitForInstances(std::min<std::chrono::steady_clock::duration>(S.sleepUntil - now, kSleepSlice));
      return true;
    }
    S.sleeping = false;
  }
  if (S.next < S.lines.size()) {
    RunLine(S.lines[S.next++]);
    return true;
  }
  if (!S.closeRequested) {
    S.closeRequested = true;
    AskMainToClose();
    return true;
  }
  // The close request was handled without ending the loop, and nothing is
  // left to drive the program: the run ends here.
  RequestQuit(0);
  return true;
}

}  // namespace wm

using namespace wm;

ScreenStartResult StartScreen(const PlatformOptions& options) {
  World& W = TheWorld();
  if (W.started) return {false, kExitNoScreen, "the screen is already running"};
  if (!SizeAllowed(options.screenWidth, options.screenHeight))
    return {false, kExitNoScreen,
            "the screen must be " + std::to_string(kMinScreenSide) + ".." + std::to_string(kMaxScreenSide) +
                " pixels a side"};
  ScriptState script;
  if (options.headless && !options.scriptPath.empty()) {
    std::string text, error;
    if (!ReadFile(options.scriptPath, &text, &error)) return {false, kExitScriptError, error};
    try {
      if (!ParseScript(text, options.screenWidth, options.screenHeight, &script.lines, &error))
        return {false, kExitScriptError, "script " + options.scriptPath + ": " + error};
    } catch (const std::bad_alloc&) {
      return {false, kExitScriptError, "script " + options.scriptPath + ": out of memory"};
    }
    script.path = options.scriptPath;
  } else if (!options.headless && !options.scriptPath.empty()) {
    return {false, kExitScriptError, "a script needs the headless screen (--headless)"};
  }
  if (!options.headless) {
    std::string error;
    if (!SdlOpen(options.screenWidth, options.screenHeight, &error))
      return {false, kExitNoScreen, "cannot open the screen: " + error};
  }
  if (!AllocateScreen(options.screenWidth, options.screenHeight)) {
    if (!options.headless) SdlClose();
    return {false, kExitNoScreen, "not enough memory for the screen"};
  }
  W.script = std::move(script);
  W.started = true;
  W.backend = options.headless ? ScreenHeadless : ScreenSdl;
  W.startTime = std::chrono::steady_clock::now();
  W.changed = true;
  msgbox::SetPresenter(PresentMessageBox, options.headless);
  return {true, 0, {}};
}

void StopScreen() {
  World& W = TheWorld();
  if (!W.started) return;
  WithdrawWindow();
  DestroyAllWindows();
  ResetWindows();
  if (W.backend == ScreenSdl) SdlClose();
  ReleaseScreen();
  msgbox::SetPresenter(nullptr, false);
  std::string failure = std::move(W.script.failure);
  W.script = ScriptState{};
  W.script.failure = std::move(failure);
  W.started = false;
  W.backend = ScreenNone;
  W.width = W.height = 0;
}

ScreenBackendKind ScreenBackend() { return TheWorld().backend; }

void SetMainWindow(Window window) {
  World& W = TheWorld();
  if (window && !Live(window)) return;
  W.main = window;
  if (Live(window) && W.backend == ScreenSdl) SdlSetTitle(window->title);
}

Window MainWindow() { return TheWorld().main; }

void SetTextInput(bool on) {
  World& W = TheWorld();
  W.textInput = on;
  if (W.backend == ScreenSdl) SdlSetTextInput(on);
}

bool TextInputOn() { return TheWorld().textInput; }

bool ResizeScreen(int32_t width, int32_t height) {
  World& W = TheWorld();
  if (!W.started || !SizeAllowed(width, height)) return false;
  if (width == W.width && height == W.height) return true;
  const int32_t oldW = W.width, oldH = W.height;
  if (!AllocateScreen(width, height)) return false;
  return ResizeScreenWindows(oldW, oldH);
}

std::string ScriptFailure() { return TheWorld().script.failure; }

}  // namespace plat
