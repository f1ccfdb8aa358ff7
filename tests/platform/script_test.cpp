// Platform options, the headless script's parser and the script runner.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "window_test_util.h"

namespace {

using namespace plat;
using namespace wintest;

// ---- Options ---------------------------------------------------------------------------------

TEST(PlatformOptions, ParsesTheScreenOptionsAndLeavesTheRest) {
  struct Case {
    std::vector<const char*> args;
    bool ok;
    bool headless;
    const char* script;
    int32_t width, height;
    std::vector<std::string> rest;
    const char* error;  // a part of the error text
  } cases[] = {
      {{}, true, false, "", 480, 800, {}, ""},
      {{"/today"}, true, false, "", 480, 800, {"/today"}, ""},
      {{"--headless", "--script", "a.txt", "--screen", "240x320"}, true, true, "a.txt", 240, 320, {}, ""},
      {{"--screen=320X240", "--headless", "--script=b c.txt", "x"}, true, true, "b c.txt", 320, 240, {"x"}, ""},
      {{"--script", "a.txt"}, false, false, "", 0, 0, {}, "--script needs --headless"},
      {{"--headless", "--script"}, false, false, "", 0, 0, {}, "--script needs a file"},
      {{"--screen"}, false, false, "", 0, 0, {}, "--screen needs a size"},
      {{"--screen", "240"}, false, false, "", 0, 0, {}, "is not a size"},
      {{"--screen", "240x-3"}, false, false, "", 0, 0, {}, "is not a size"},
      {{"--screen", "ax320"}, false, false, "", 0, 0, {}, "is not a size"},
      {{"--screen", "10x320"}, false, false, "", 0, 0, {}, "64..4096"},
      {{"--screen", "5000x320"}, false, false, "", 0, 0, {}, "64..4096"},
      {{"--headless=yes"}, false, false, "", 0, 0, {}, "takes no value"},
      {{"--fullscreen"}, false, false, "", 0, 0, {}, "unknown option '--fullscreen'"},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv{"tovanel"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    PlatformOptions o;
    std::vector<std::string> rest;
    std::string error;
    const bool ok = ParsePlatformOptions(static_cast<int>(argv.size()), argv.data(), &o, &rest, &error);
    const std::string label = c.args.empty() ? "(none)" : c.args[0];
    ASSERT_EQ(ok, c.ok) << label << ": " << error;
    if (!ok) {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
      continue;
    }
    EXPECT_EQ(o.headless, c.headless) << label;
    EXPECT_EQ(o.scriptPath, c.script) << label;
    EXPECT_EQ(o.screenWidth, c.width) << label;
    EXPECT_EQ(o.screenHeight, c.height) << label;
    EXPECT_EQ(rest, c.rest) << label;
  }
}

// ---- Parser ---------------------------------------------------------------------------------------

TEST(ScriptParser, ReadsEveryCommand) {
  const std::string text =
      "# a comment\n"
      "\n"
      "key PageDown\r\n"
      "  key ctrl+d\n"
      "key Alt+F3\n"
      "key Shift+Ctrl+q\n"
      "tap 0 319\n"
      "text  \xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d x\n"
      "command 119\n"
      "screenshot out dir/shot.png  \n"
      "sleep 250\n"
      "quit";
  std::vector<ScriptLine> lines;
  std::string error;
  ASSERT_TRUE(ParseScript(text, 240, 320, &lines, &error)) << error;
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0].lineNumber, 3);
  EXPECT_EQ(lines[0].kind, ScriptKey);
  EXPECT_EQ(lines[0].key, KeyPageDown);
  EXPECT_EQ(lines[0].keyState, 0u);
  EXPECT_EQ(lines[1].key, static_cast<uint32_t>('D'));
  EXPECT_EQ(lines[1].keyState, KeyStateControl);
  EXPECT_EQ(lines[2].key, KeyF1 + 2);
  EXPECT_EQ(lines[2].keyState, KeyStateAlt);
  EXPECT_EQ(lines[3].keyState, KeyStateShift | KeyStateControl);
  EXPECT_EQ(lines[4].kind, ScriptTap);
  EXPECT_EQ(lines[4].x, 0);
  EXPECT_EQ(lines[4].y, 319);
  EXPECT_EQ(lines[5].kind, ScriptText);
  EXPECT_EQ(lines[5].text, u" \u05e9\u05dc\u05d5\u05dd x") << "the rest of the line after one space";
  EXPECT_EQ(lines[6].kind, ScriptCommand);
  EXPECT_EQ(lines[6].number, 119);
  EXPECT_EQ(lines[7].kind, ScriptScreenshot);
  EXPECT_EQ(lines[7].path, "out dir/shot.png");
  EXPECT_EQ(lines[8].kind, ScriptSleep);
  EXPECT_EQ(lines[8].number, 250);
  EXPECT_EQ(lines[9].kind, ScriptQuit);
  EXPECT_EQ(lines[9].lineNumber, 12);
}

TEST(ScriptParser, BadLinesAreReportedWithTheirNumber) {
  struct Case {
    std::string text;
    const char* error;
  } cases[] = {
      {"key Home\njump 3\n", "line 2: unknown command 'jump'"},
      {"key\n", "line 1: key needs one key name"},
      {"key Home End\n", "line 1: too many arguments"},
      {"key Hyper+A\n", "line 1: unknown key 'Hyper+A'"},
      {"key Ctrl+Ctrl+A\n", "unknown key"},
      {"key F13\n", "unknown key 'F13'"},
      {"key F-1\n", "unknown key"},
      {"key ab\n", "unknown key 'ab'"},
      {"\n\ntap 10\n", "line 3: tap needs X and Y"},
      {"tap 10 20 30\n", "line 1: too many arguments"},
      {"tap ten 20\n", "line 1: 'ten' is not a number"},
      {"tap 10 2x\n", "'2x' is not a number"},
      {"tap 240 10\n", "line 1: tap 240 10 lies outside the 240x320 screen"},
      {"tap -1 10\n", "lies outside"},
      {"tap 99999999999999 1\n", "is not a number"},
      {"text\n", "line 1: text needs the text"},
      {"text    \n", "text needs the text"},
      {"text \xff\xfe\n", "line 1: the text is not valid UTF-8"},
      {"text \xc0\xaf\n", "not valid UTF-8"},        // an overlong '/'
      {"text \xed\xa0\x80\n", "not valid UTF-8"},    // a surrogate
      {"text \xe2\x82\n", "not valid UTF-8"},        // cut short
      {"command\n", "line 1: command needs a command number"},
      {"command 65536\n", "is not a command number 0..65535"},
      {"command -1\n", "is not a command number"},
      {"screenshot\n", "line 1: screenshot needs a file name"},
      {"sleep\n", "sleep needs milliseconds"},
      {"sleep 600001\n", "is not a number of milliseconds"},
      {"quit now\n", "line 1: too many arguments: quit takes no argument"},
      {std::string("key Home\nkey\0End\n", 18), "line 2: the line holds a NUL byte"},
      {"\x01\x02\x03 1\n", "line 1: unknown command '?\?\?'"},
  };
  for (const Case& c : cases) {
    std::vector<ScriptLine> lines(1);
    std::string error;
    EXPECT_FALSE(ParseScript(c.text, 240, 320, &lines, &error)) << c.text;
    EXPECT_NE(error.find(c.error), std::string::npos) << "got: " << error << "\nwanted: " << c.error;
    EXPECT_EQ(lines.size(), 1u) << "the lines are left alone";
  }
}

TEST(ScriptStart, MalformedOrMissingScriptStopsWithCodeTwo) {
  PlatformOptions o;
  o.headless = true;
  o.scriptPath = WriteScript("bad.txt", "key Home\ntap 1 1\nkey Nowhere\n");
  ScreenStartResult r = StartScreen(o);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.exitCode, kExitScriptError);
  EXPECT_NE(r.message.find("bad.txt: line 3: unknown key 'Nowhere'"), std::string::npos) << r.message;
  EXPECT_EQ(ScreenBackend(), ScreenNone);

  o.scriptPath = TempDir() + "/no such script.txt";
  r = StartScreen(o);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.exitCode, kExitScriptError);
  EXPECT_NE(r.message.find("cannot read the script"), std::string::npos) << r.message;
}

// Sets environment variables for the life of the record, then restores them.
class EnvironmentScope {
 public:
  void Set(const char* name, const char* value) {
    const char* old = std::getenv(name);
    saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~EnvironmentScope() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) {
        setenv(it->first.c_str(), it->second->c_str(), 1);
      } else {
        unsetenv(it->first.c_str());
      }
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(ScriptStart, SdlScreenWithoutADisplayFailsWithCodeOne) {
  struct Case {
    const char* driver;  // SDL_VIDEODRIVER; null: unset
    const char* why;
  } cases[] = {
      {nullptr, "neither DISPLAY nor WAYLAND_DISPLAY is set"},  // SDL would fall back to drawing nowhere
      {"no-such-driver", "no display available"},
  };
  for (const Case& c : cases) {
    EnvironmentScope env;
    env.Set("DISPLAY", nullptr);
    env.Set("WAYLAND_DISPLAY", nullptr);
    env.Set("SDL_VIDEODRIVER", c.driver);
    const ScreenStartResult r = StartScreen(PlatformOptions{});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.exitCode, kExitNoScreen);
    EXPECT_EQ(r.message.rfind("cannot open the screen: no display available", 0), 0u) << r.message;
    EXPECT_NE(r.message.find(c.why), std::string::npos) << r.message;
    EXPECT_EQ(r.message.find('\n'), std::string::npos) << "one line";
    EXPECT_EQ(ScreenBackend(), ScreenNone);
  }
}

// ---- Runner ---------------------------------------------------------------------------------------

class ScriptRunTest : public ScreenTest {};

TEST_F(ScriptRunTest, LinesRunInOrderEachAfterTheQueueIsEmpty) {
  const std::string shot = TempDir() + "/settled.png";
  std::filesystem::remove(shot);
  StartWith("run.txt",
            "key PageDown\n"
            "tap 10 20\n"
            "text \xd7\xa9!\n"
            "command 119\n"
            "screenshot " + shot + "\n"
            "key Ctrl+D\n");
  Window main = OpenFull(WinStyleVisible, [](Window self, uint32_t msg, uintptr_t wp, intptr_t, intptr_t*) {
    // Each input leaves work queued behind it; the next line must wait for it.
    if (msg == MsgKeyDown && wp == KeyPageDown) PostToWindow(self, MsgUser + 1, 0, 0);
    if (msg == MsgCommand && wp == 119) PostToWindow(self, MsgUser + 2, 0, 0);
    if (msg == MsgUser + 2) {
      DeviceContext* dc = AcquireWindowDC(self);
      const Rect r{0, 0, 240, 320};
      FillRect(dc, &r, GetStockBrush(StockBlackBrush));
      ReturnWindowDC(self, dc);
    }
    if (msg == MsgCloseRequest) DisposeWindow(self);
    if (msg == MsgDestroy) RequestQuit(5);
    return false;
  });
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(RunLoop(), 5) << "the script's end closes the main window";
  const std::vector<uint32_t> interesting{MsgKeyDown, MsgKeyUp,   MsgChar,     MsgStylusDown,  MsgStylusUp,
                                          MsgCommand, MsgUser + 1, MsgUser + 2, MsgCloseRequest};
  EXPECT_EQ(Numbers(main, interesting),
            (std::vector<uint32_t>{MsgKeyDown, MsgKeyUp, MsgUser + 1, MsgStylusDown, MsgStylusUp, MsgChar,
                                   MsgChar, MsgCommand, MsgUser + 2, MsgKeyDown, MsgChar, MsgKeyUp,
                                   MsgCloseRequest}));
  const auto taps = Messages(main, MsgStylusDown);
  ASSERT_EQ(taps.size(), 1u);
  EXPECT_EQ(LowWord(taps[0].lParam), 10u);
  EXPECT_EQ(HighWord(taps[0].lParam), 20u);
  const auto chars = Messages(main, MsgChar);
  ASSERT_EQ(chars.size(), 3u);
  EXPECT_EQ(chars[0].wParam, 0x5e9u);
  EXPECT_EQ(chars[1].wParam, u'!');
  EXPECT_EQ(chars[2].wParam, 4u) << "Ctrl+D";

  Surface* picture = ReadSurfacePng(shot.c_str());
  ASSERT_NE(picture, nullptr) << shot;
  EXPECT_EQ(picture->width, 240);
  EXPECT_EQ(picture->height, 320);
  EXPECT_EQ(SurfacePixel(picture, 120, 160), MakeColour(0, 0, 0)) << "drawn before the screenshot ran";
  DestroySurface(picture);
  EXPECT_EQ(ScriptFailure(), "");
}

TEST_F(ScriptRunTest, QuitLineAsksTheMainWindowToClose) {
  StartWith("quit.txt", "quit\nkey Home\n");
  Window main = OpenFull(WinStyleVisible, [](Window self, uint32_t msg, uintptr_t, intptr_t, intptr_t*) {
    if (msg == MsgCloseRequest) DisposeWindow(self);
    if (msg == MsgDestroy) RequestQuit(0);
    return false;
  });
  EXPECT_EQ(RunLoop(), 0);
  EXPECT_EQ(Messages(main, MsgCloseRequest).size(), 1u);
  EXPECT_TRUE(Messages(main, MsgKeyDown).empty()) << "the loop ended before the next line";
}

TEST_F(ScriptRunTest, MainWindowIgnoringTheCloseStillEndsTheRun) {
  StartWith("stubborn.txt", "key Home\n");
  Window main = OpenFull();
  EXPECT_EQ(RunLoop(), 0);
  EXPECT_EQ(Messages(main, MsgCloseRequest).size(), 1u);
  EXPECT_TRUE(IsLiveWindow(main));
}

TEST_F(ScriptRunTest, FailingLineStopsTheRunWithCodeTwo) {
  struct Case {
    std::string script;
    bool mainWindow;
    const char* error;
  } cases[] = {
      {"key Home\nscreenshot " + TempDir() + "/no/such/dir/x.png\nkey End\n", true,
       "line 2: cannot write the screenshot"},
      {"command 5\n", false, "line 1: there is no main window for command 5"},
  };
  for (const Case& c : cases) {
    StartWith("fails.txt", c.script);
    Log().clear();
    Window main = c.mainWindow ? OpenFull() : nullptr;
    EXPECT_EQ(RunLoop(), kExitScriptError);
    EXPECT_NE(ScriptFailure().find(c.error), std::string::npos) << ScriptFailure();
    EXPECT_NE(ScriptFailure().find("fails.txt"), std::string::npos);
    if (main) {
      EXPECT_EQ(Messages(main, MsgKeyDown).size(), 1u) << "nothing after the failing line";
    }
  }
}

TEST_F(ScriptRunTest, SleepWaitsBeforeTheNextLine) {
  StartWith("sleep.txt", "key Home\nsleep 120\nkey End\n");
  std::chrono::steady_clock::time_point home{}, end{};
  OpenFull(WinStyleVisible, [&](Window, uint32_t msg, uintptr_t wp, intptr_t, intptr_t*) {
    if (msg == MsgKeyDown && wp == KeyHome) home = std::chrono::steady_clock::now();
    if (msg == MsgKeyDown && wp == KeyEnd) end = std::chrono::steady_clock::now();
    if (msg == MsgCloseRequest) RequestQuit(0);
    return false;
  });
  EXPECT_EQ(RunLoop(), 0);
  EXPECT_GE(end - home, std::chrono::milliseconds(120));
  EXPECT_LT(end - home, std::chrono::milliseconds(5000));
}

}  // namespace
