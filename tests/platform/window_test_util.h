// Helpers shared by the window-system tests: a headless screen per test, a
// window class whose procedure records every message and can be given a
// handler per window, and a pump that handles what is queued.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/graphics.h"
#include "platform/memory.h"
#include "platform/message_box.h"
#include "platform/screen.h"
#include "platform/window.h"

namespace wintest {

struct Seen {
  plat::Window window;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};

// A handler returns true when it handled the message (its result in *r);
// otherwise the default handling runs.
using Handler = std::function<bool(plat::Window, uint32_t, uintptr_t, intptr_t, intptr_t*)>;

inline std::vector<Seen>& Log() {
  static std::vector<Seen> log;
  return log;
}
inline std::map<plat::Window, Handler>& Handlers() {
  static std::map<plat::Window, Handler> handlers;
  return handlers;
}
// For the handler of a window that is still being created.
inline Handler& NextHandler() {
  static Handler next;
  return next;
}

inline intptr_t RecordingProc(plat::Window w, uint32_t msg, uintptr_t wp, intptr_t lp) {
  Log().push_back({w, msg, wp, lp});
  if (msg == plat::MsgCreate && NextHandler()) {
    Handlers()[w] = NextHandler();
    NextHandler() = nullptr;
  }
  auto it = Handlers().find(w);
  if (it != Handlers().end() && it->second) {
    Handler h = it->second;  // the handler may replace itself
    intptr_t r = 0;
    if (h(w, msg, wp, lp, &r)) return r;
  }
  if (msg == plat::MsgDestroy) Handlers().erase(w);
  return plat::DefaultWindowProc(w, msg, wp, lp);
}

constexpr char16_t kClass[] = u"Test Window";

// The messages in `log` for `w` among `interesting` (all when empty), by
// number.
inline std::vector<uint32_t> Numbers(plat::Window w, const std::vector<uint32_t>& interesting = {}) {
  std::vector<uint32_t> out;
  for (const Seen& s : Log()) {
    if (w && s.window != w) continue;
    if (!interesting.empty() &&
        std::find(interesting.begin(), interesting.end(), s.message) == interesting.end())
      continue;
    out.push_back(s.message);
  }
  return out;
}

inline std::vector<Seen> Messages(plat::Window w, uint32_t message) {
  std::vector<Seen> out;
  for (const Seen& s : Log()) {
    if (s.window == w && s.message == message) out.push_back(s);
  }
  return out;
}

// Handles every queued message and paint request, as the loop does, without
// letting the screen's idle step run.
inline int Pump() {
  int n = 0;
  plat::Message m;
  while (plat::PollMessage(&m, nullptr, 0, 0, true)) {
    if (m.message == plat::MsgQuit) {
      plat::RequestQuit(static_cast<int32_t>(m.wParam));
      break;
    }
    plat::PostCharacterMessage(&m);
    plat::DeliverMessage(&m);
    ++n;
  }
  return n;
}

// Runs the loop until the quit request; returns its code.
inline int32_t RunLoop(const plat::AcceleratorTable* table = nullptr) {
  plat::Message m;
  int32_t r;
  while ((r = plat::NextMessage(&m, nullptr, 0, 0)) > 0) {
    if (table && plat::ApplyAccelerators(m.window, table, &m)) continue;
    plat::PostCharacterMessage(&m);
    plat::DeliverMessage(&m);
  }
  return r == 0 ? static_cast<int32_t>(m.wParam) : -1;
}

// A folder in the build tree for the files the tests write.
inline std::string TempDir() {
  const std::string dir = std::string(TOVANEL_BINARY_DIR) + "/tests/platform/window_test_files";
  std::filesystem::create_directories(dir);
  return dir;
}

inline std::string WriteScript(const std::string& name, const std::string& text) {
  const std::string path = TempDir() + "/" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetMessageBoxEcho(false);
    plat::TakeShownMessages();
    liveBefore_ = plat::MemLiveBlocks();
    Start(SmallHeadless());
  }
  void TearDown() override {
    plat::StopScreen();
    Handlers().clear();
    NextHandler() = nullptr;
    Log().clear();
    plat::SetMessageBoxAutoAnswer(0);
    EXPECT_EQ(plat::MemLiveBlocks(), liveBefore_) << "blocks leaked";
  }

  void Start(const plat::PlatformOptions& o) {
    plat::StopScreen();
    const plat::ScreenStartResult r = plat::StartScreen(o);
    ASSERT_TRUE(r.ok) << r.message;
    plat::WindowClassDescription desc{kClass, plat::ClassRedrawOnWidth | plat::ClassRedrawOnHeight,
                               RecordingProc, 0, plat::GetStockBrush(plat::StockWhiteBrush)};
    ASSERT_TRUE(plat::AddWindowClass(&desc));
  }

  // A 240 x 320 headless screen.
  static plat::PlatformOptions SmallHeadless() {
    plat::PlatformOptions o;
    o.headless = true;
    o.screenWidth = 240;
    o.screenHeight = 320;
    return o;
  }

  // A fresh one driven by `script`.
  void StartWith(const std::string& name, const std::string& script) {
    plat::PlatformOptions o = SmallHeadless();
    o.scriptPath = WriteScript(name, script);
    Start(o);
  }

  static plat::Window Open(uint32_t style, int32_t x, int32_t y, int32_t w, int32_t h,
                           plat::Window parent = nullptr, Handler handler = nullptr,
                           const char16_t* title = u"") {
    NextHandler() = std::move(handler);
    plat::WindowDescription desc{};
    desc.className = kClass;
    desc.title = title;
    desc.style = style;
    desc.x = x;
    desc.y = y;
    desc.width = w;
    desc.height = h;
    desc.parent = parent;
    plat::Window win = plat::OpenWindow(&desc);
    NextHandler() = nullptr;
    return win;
  }
  static plat::Window OpenFull(uint32_t style = plat::WinStyleVisible, Handler handler = nullptr) {
    return Open(style, plat::kDefaultPlacement, plat::kDefaultPlacement, plat::kDefaultPlacement,
                plat::kDefaultPlacement, nullptr, std::move(handler));
  }

  // A stylus tap at a screen point, with what it queued handled.
  static void Tap(int32_t x, int32_t y) {
    plat::InputStylusDown(x, y);
    plat::InputStylusUp(x, y);
    Pump();
  }

  long liveBefore_ = 0;
};

// Compares a screenshot with tests/platform/golden/NAME, allowing for another
// version of the fonts but not another layout. TOVANEL_UPDATE_GOLDEN=1
// writes the screenshot as the new golden image first.
inline void ExpectMatchesGolden(const std::string& screenshot, const char* name) {
  const std::string golden = std::string(TOVANEL_SOURCE_DIR "/tests/platform/golden/") + name;
  plat::Surface* shot = plat::ReadSurfacePng(screenshot.c_str());
  ASSERT_NE(shot, nullptr);
  if (std::getenv("TOVANEL_UPDATE_GOLDEN")) {
    EXPECT_TRUE(plat::WriteSurfacePng(shot, golden.c_str()));
  }
  plat::Surface* expected = plat::ReadSurfacePng(golden.c_str());
  EXPECT_NE(expected, nullptr) << golden;
  if (expected && (expected->width != shot->width || expected->height != shot->height)) {
    ADD_FAILURE() << golden << " has another size";
  } else if (expected) {
    int differing = 0;
    for (int32_t y = 0; y < shot->height; ++y) {
      for (int32_t x = 0; x < shot->width; ++x) {
        if (plat::SurfacePixel(shot, x, y) != plat::SurfacePixel(expected, x, y)) ++differing;
      }
    }
    EXPECT_LE(differing, shot->width * shot->height / 200) << "pixels differ from " << golden;
  }
  plat::DestroySurface(expected);
  plat::DestroySurface(shot);
}

}  // namespace wintest
