// The reader in one process on a headless screen: start-up on the stored
// article and position, paging by keys, scroll bar and taps, moving between
// articles, the bar and its check marks, and what the exit writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/command_bar.h"
#include "platform/dialog.h"
#include "platform/menu.h"
#include "platform/message_box.h"
#include "platform/screen.h"
#include "platform/window.h"
#include "shell/app_globals.h"
#include "shell/bar.h"
#include "shell/main_window.h"
#include "shell/settings.h"
#include "view/layout.h"
#include "view/navigation.h"

namespace fs = std::filesystem;

namespace {

constexpr char kProgramKeyHeader[] = "[HKEY_CURRENT_USER\\Software\\Corvanta\\Tovanel (Vowels)]\n";
constexpr char kMakerKeyHeader[] = "[HKEY_CURRENT_USER\\software\\Corvanta]\n";

class Reader : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tovanel-reader-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "run");
    fs::permissions(dir_ / "run", fs::perms::owner_all);
    file_ = (dir_ / "registry.reg").string();
    setenv("TOVANEL_REGISTRY", file_.c_str(), 1);
    // Each test publishes its window in a folder of its own.
    setenv("XDG_RUNTIME_DIR", (dir_ / "run").c_str(), 1);
    plat::SetMessageBoxEcho(false);
    plat::TakeShownMessages();
  }
  void TearDown() override {
    if (plat::IsLiveWindow(window_)) Close();
    plat::StopScreen();
    unsetenv("TOVANEL_REGISTRY");
    unsetenv("XDG_RUNTIME_DIR");
    fs::remove_all(dir_);
  }

  void Store(const std::string& program, const std::string& maker = "") const {
    std::ofstream(file_) << "REGEDIT4\n\n" << kProgramKeyHeader << program << "\n" << kMakerKeyHeader << maker;
  }
  std::string FileText() const {
    std::ifstream in(file_);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // The entry's first steps, then the instance, on a 240 x 320 screen; a
  // start after Stop() reads the settings again.
  void Start(int32_t width = 240, int32_t height = 320) {
    ResetSettingsStoreForTest();
    plat::PlatformOptions o;
    o.headless = true;
    o.screenWidth = width;
    o.screenHeight = height;
    const plat::ScreenStartResult r = plat::StartScreen(o);
    ASSERT_TRUE(r.ok) << r.message;
    ClearAppGlobals();
    g_app.menuBarOnBottom = ReadNumberSetting(kMakerKey, u"MenuBarOnBottom", 0);
    g_app.surroundingGutter = ReadNumberSetting(kMakerKey, u"SurroundingGutter", 0);
    window_ = StartInstance(plat::ShowNormal);
    ASSERT_NE(window_, nullptr);
    Pump();
    ASSERT_NE(g_app.view, nullptr);
    ASSERT_GT(g_app.view->linesDrawn, 2);
  }
  static bool Pump() {
    plat::Message m;
    while (plat::PollMessage(&m, nullptr, 0, 0, true)) {
      if (m.message == plat::MsgQuit) return true;
      plat::PostCharacterMessage(&m);
      plat::DeliverMessage(&m);
    }
    return false;
  }
  static void Key(uint32_t key) {
    plat::InputKey(key, true, 0, false);
    plat::InputKey(key, false, 0, false);
    Pump();
  }
  // True when the command ended the loop.
  bool Command(uint16_t id) {
    plat::SendToWindow(window_, plat::MsgCommand, id, 0);
    return Pump();
  }
  void Close() {
    plat::SendToWindow(window_, plat::MsgCloseRequest, 0, 0);
    EXPECT_TRUE(Pump()) << "the close request ends the loop";
    EXPECT_FALSE(plat::IsLiveWindow(window_));
  }
  void Stop() {
    Close();
    plat::StopScreen();
  }
  int32_t ScrollPosition() const {
    plat::ScrollInfo info{sizeof info, plat::ScrollMaskPos | plat::ScrollMaskRange, 0, 0, 0, 0, 0};
    EXPECT_TRUE(plat::ReadScrollBar(window_, plat::ScrollBarVertical, &info));
    return info.pos;
  }
  static int32_t Top() { return g_app.view->topLine; }
  static int32_t Full() { return g_app.view->linesDrawn - 1; }
  static int32_t Half() { return g_app.view->linesDrawn / 2; }

  fs::path dir_;
  std::string file_;
  plat::Window window_ = nullptr;
};

TEST_F(Reader, StartsOnTheStoredArticleAndPosition) {
  Store("\"Lesson\"=dword:00000005\n\"LastPosition\"=dword:00000007\n");
  Start();
  EXPECT_EQ(g_app.currentArticle, 5);
  EXPECT_EQ(Top(), 7);
  EXPECT_EQ(ScrollPosition(), 7);
  EXPECT_NE(g_app.view->lastPageStart, 0);
}

TEST_F(Reader, AFirstStartShowsArticleOneInTheDefaultFont) {
  Start();
  EXPECT_EQ(g_app.currentArticle, 1);
  EXPECT_EQ(Top(), 0);
  EXPECT_EQ(g_app.view->font.faceName[0], 0);
  EXPECT_EQ(g_app.view->font.size, 0);
}

TEST_F(Reader, PageKeysStepByTheFlagsPageStep) {
  struct Case {
    const char* flags;
    bool half;
  } cases[] = {
      {"d1140040", false},
      {"d1240040", true},
      {"d1340040", false},  // only the values 2 and 4 select half pages
      {"d1440040", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    Store(std::string("\"Flags\"=dword:") + c.flags + "\n");
    Start();
    // The step is taken from the lines the last paint drew.
    auto step = [&] { return c.half ? Half() : Full(); };
    int32_t expected = step();
    Key(plat::KeyPageDown);
    EXPECT_EQ(Top(), expected);
    EXPECT_EQ(ScrollPosition(), expected);
    expected += step();
    Key(plat::KeyPageDown);
    EXPECT_EQ(Top(), expected);
    expected -= step();
    Key(plat::KeyPageUp);
    EXPECT_EQ(Top(), expected);
    Key(plat::KeyUp);
    EXPECT_EQ(Top(), expected - 1);
    Key(plat::KeyDown);
    EXPECT_EQ(Top(), expected);
    Stop();
  }
}

TEST_F(Reader, EndAndHomeReachTheLastPageAndTheTop) {
  Start();
  const int32_t last = g_app.view->lastPageStart;
  Key(plat::KeyPageUp);  // at the top already: nothing moves
  EXPECT_EQ(Top(), 0);
  Key(plat::KeyEnd);
  EXPECT_EQ(Top(), last);
  EXPECT_EQ(ScrollPosition(), last);
  Key(plat::KeyEnd);  // past the last-page start nothing goes further
  EXPECT_EQ(Top(), last);
  Key(plat::KeyPageDown);
  EXPECT_EQ(Top(), last);
  Key(plat::KeyHome);
  EXPECT_EQ(Top(), 0);
  EXPECT_EQ(ScrollPosition(), 0);
}

TEST_F(Reader, ScrollViewFollowsTheForwardClamp) {
  Start();
  ArticleView* v = g_app.view;
  v->lastPageStart = 30;
  v->visualLineCount = 40;
  struct Case {
    int32_t top, delta, result, after;
  } cases[] = {
      {25, 9, 3, 34},  // past the last-page start, within the article
      {34, 9, 1, 34},  // already past it: refused
      {34, -1, 3, 33},
      {35, 1, 1, 35},
      {5, 30, 3, 35},
      {12, 30, 3, 30},  // past the end lands on the last-page start
      {0, -5, 1, 0},
      {3, -5, 3, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.top) + " + " + std::to_string(c.delta));
    v->topLine = static_cast<uint16_t>(c.top);
    EXPECT_EQ(ScrollView(v, c.delta, false, true), c.result);
    EXPECT_EQ(v->topLine, c.after);
  }
  EXPECT_EQ(ScrollView(nullptr, 1, true, true), -1);
}

TEST_F(Reader, ArticlesWrapAroundBothWays) {
  Store("\"Lesson\"=dword:0000000c\n\"LastPosition\"=dword:00000004\n");
  Start();
  EXPECT_EQ(Top(), 4);
  Command(109);
  EXPECT_EQ(g_app.currentArticle, 1);
  EXPECT_EQ(Top(), 0);
  EXPECT_EQ(ScrollPosition(), 0);
  Key(plat::KeyLeft);
  EXPECT_EQ(g_app.currentArticle, 12);
  Command(110);
  EXPECT_EQ(g_app.currentArticle, 11);
  Key(plat::KeyRight);
  EXPECT_EQ(g_app.currentArticle, 12);
}

TEST_F(Reader, TapsPageByHalvesOfTheView) {
  struct Case {
    const char* flags;
    const char* gutter;
    int32_t dx, dy;  // from the view's top-left corner, in halves of its size
    int32_t offsetX;
    int expectPaged;
    int32_t direction;
  } cases[] = {
      {"d1140040", "0", 1, 3, 0, 1, 1},     // lower half: forward
      {"d1140040", "0", 1, 1, 0, 1, -1},    // upper half: back
      {"c1140040", "0", 3, 1, 0, 1, 1},     // left/right halves: right is forward
      {"c1140040", "0", 1, 3, 0, 1, -1},
      {"51140040", "0", 1, 3, 0, 0, 0},     // tap paging off
      {"d1140040", "4", 0, 3, -3, 1, 1},    // 3 pixels left of the view, in the gutter
      {"c1140040", "4", 0, 3, -3, 1, -1},
      {"d1140040", "4", 0, 3, -5, 0, 0},    // beyond the gutter
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.flags) + " gutter " + c.gutter + " at " + std::to_string(c.dx) + "," +
                 std::to_string(c.dy) + "+" + std::to_string(c.offsetX));
    Store(std::string("\"Flags\"=dword:") + c.flags + "\n",
          std::string("\"SurroundingGutter\"=dword:0000000") + c.gutter + "\n");
    Start();
    ArticleView* v = g_app.view;
    const int32_t start = 2 * Full();
    v->topLine = static_cast<uint16_t>(start);
    const int32_t page = Full();  // from the first page's paint, which the tap uses
    const int32_t x = v->left + v->width * c.dx / 4 + c.offsetX;
    const int32_t y = v->top + v->height * c.dy / 4;
    EXPECT_EQ(TapToPage(window_, v, x, y, true), c.expectPaged);
    EXPECT_EQ(Top(), start + c.direction * page);
    Stop();
  }
}

TEST_F(Reader, ATapOnTheScreenPagesForward) {
  Start();
  const ArticleView* v = g_app.view;
  plat::Rect r{};
  plat::WindowScreenRect(window_, &r);
  const int32_t x = r.left + v->left + v->width / 3;
  const int32_t y = r.top + v->top + v->height * 3 / 4;
  const int32_t page = Full();
  plat::InputStylusDown(x, y);
  plat::InputStylusUp(x, y);
  Pump();
  EXPECT_EQ(Top(), page);
  EXPECT_EQ(ScrollPosition(), page);
}

TEST_F(Reader, ScrollBarRequestsMoveTheView) {
  Start();
  struct Case {
    uint32_t code;
    int32_t thumb;
    int32_t from;
    int32_t to;  // -1: a full page forward from `from`
  } cases[] = {
      {plat::ScrollLineUp, 0, 5, 4},
      {plat::ScrollLineDown, 0, 5, 6},
      {plat::ScrollPageDown, 0, 5, -1},
      {plat::ScrollThumbPosition, 12, 5, 12},
      {plat::ScrollThumbTrack, 3, 5, 3},
      {plat::ScrollTop, 0, 5, 0},
      {plat::ScrollBottom, 0, 5, 6},  // one line, as line down
      {plat::ScrollEnd, 0, 5, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    g_app.view->topLine = static_cast<uint16_t>(c.from);
    plat::SendToWindow(window_, plat::MsgVScroll, static_cast<uintptr_t>(plat::PackWords(c.code, c.thumb)), 0);
    const int32_t expected = c.to < 0 ? c.from + Full() : c.to;
    EXPECT_EQ(Top(), expected);
    if (c.code != plat::ScrollEnd) {
      EXPECT_EQ(ScrollPosition(), expected);
    }
  }
  g_app.view->topLine = static_cast<uint16_t>(Full() + 2);
  plat::SendToWindow(window_, plat::MsgVScroll, plat::ScrollPageUp, 0);
  EXPECT_EQ(Top(), 2);
}

TEST_F(Reader, ExitWritesWhereTheReaderIsAndKeepsTheRest) {
  Store("\"Lesson\"=dword:00000003\n\"FontSize\"=dword:00000014\n\"Other\"=\"kept\"\n");
  Start();
  Key(plat::KeyRight);
  Key(plat::KeyPageDown);
  const int32_t top = Top();
  Close();
  const std::string text = FileText();
  char expected[64];
  std::snprintf(expected, sizeof expected, "\"LastPosition\"=dword:%08x", top);
  EXPECT_NE(text.find("\"Lesson\"=dword:00000004"), std::string::npos) << text;
  EXPECT_NE(text.find(expected), std::string::npos) << text;
  EXPECT_NE(text.find("\"Flags\"=dword:d1140040"), std::string::npos) << text;
  EXPECT_NE(text.find("\"FontSize\"=dword:00000014"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Other\"=\"kept\""), std::string::npos) << text;
}

TEST_F(Reader, ReverseTogglesItsCheckMarkAndTheFlag) {
  Store("\"Flags\"=dword:d1140840\n");
  Start();
  plat::Menu* menu = plat::CommandBarMenu(g_app.bar, 0);
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(plat::MenuCommandChecked(menu, kCommandReverse)) << "the stored flag checks it";
  Command(kCommandReverse);
  EXPECT_FALSE(plat::MenuCommandChecked(menu, kCommandReverse));
  EXPECT_EQ(g_app.displayFlags & FlagReverse, 0u);
  Command(kCommandReverse);
  Command(kCommandReverse);
  EXPECT_FALSE(plat::MenuCommandChecked(menu, kCommandReverse));
  Command(kCommandReverse);
  EXPECT_TRUE(plat::MenuCommandChecked(menu, kCommandReverse));
  Close();
  EXPECT_NE(FileText().find("\"Flags\"=dword:d1140840"), std::string::npos) << FileText();
}

TEST_F(Reader, TheBookmarkCheckFollowsTheArticle) {
  Store("\"Lesson\"=dword:00000002\n\"Bookmarks\"=hex:03,00,00,00\n");
  Start();
  plat::Menu* menu = plat::CommandBarMenu(g_app.bar, 0);
  ASSERT_NE(menu, nullptr);
  EXPECT_FALSE(plat::MenuCommandChecked(menu, kCommandBookmark));
  Command(109);
  EXPECT_TRUE(plat::MenuCommandChecked(menu, kCommandBookmark));
  Command(109);
  EXPECT_FALSE(plat::MenuCommandChecked(menu, kCommandBookmark));
}

TEST_F(Reader, TheBarSitsAtTheTopOrTheBottom) {
  struct Case {
    const char* maker;
    bool bottom;
  } cases[] = {{"", false}, {"\"MenuBarOnBottom\"=dword:00000001\n", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.maker);
    Store("", c.maker);
    Start(240, 320);
    ASSERT_NE(g_app.bar, nullptr);
    EXPECT_TRUE(plat::WindowVisible(g_app.bar)) << "shown with the main window";
    EXPECT_EQ(g_app.menuBarOnBottom != 0, c.bottom);
    EXPECT_GT(g_app.barHeight, 0);
    plat::Rect client{};
    plat::WindowClientRect(window_, &client);
    const ArticleView* v = g_app.view;
    EXPECT_EQ(v->top, c.bottom ? 0 : g_app.barHeight);
    EXPECT_EQ(v->height, client.bottom - g_app.barHeight);
    plat::Rect bar{};
    plat::WindowScreenRect(g_app.bar, &bar);
    if (c.bottom) {
      EXPECT_EQ(bar.bottom, 320);
      EXPECT_EQ(bar.right - bar.left, 240 - plat::SystemMetric(plat::MetricVScrollWidth));
    } else {
      EXPECT_EQ(bar.top, 0);
    }
    Stop();
  }
}

TEST_F(Reader, ExitCommandAndPositionRuleCloseTheWindow) {
  Start();
  plat::WindowPosition pos{window_, 0, 0, 240, 320, 0x10};
  plat::SendToWindow(window_, plat::MsgPositionChanged, 0, reinterpret_cast<intptr_t>(&pos));
  pos.flags = 0x10000;
  plat::SendToWindow(window_, plat::MsgPositionChanged, 0, reinterpret_cast<intptr_t>(&pos));
  EXPECT_TRUE(plat::IsLiveWindow(window_));
  pos.flags = 0x10010;
  plat::SendToWindow(window_, plat::MsgPositionChanged, 0, reinterpret_cast<intptr_t>(&pos));
  EXPECT_FALSE(plat::IsLiveWindow(window_));
  EXPECT_TRUE(Pump());
  EXPECT_NE(FileText().find("\"Lesson\"=dword:00000001"), std::string::npos);
  plat::StopScreen();
  Start();
  EXPECT_TRUE(Command(40005));
  EXPECT_FALSE(plat::IsLiveWindow(window_));
}

TEST_F(Reader, ASecondStartBringsTheRunningWindowForward) {
  Start();
  plat::WindowClassDescription cls{u"Other Program", 0, plat::DefaultWindowProc, 0, nullptr};
  ASSERT_TRUE(plat::AddWindowClass(&cls));
  plat::WindowDescription d{};
  d.className = u"Other Program";
  d.style = plat::WinStyleVisible;
  d.x = d.y = d.width = d.height = plat::kDefaultPlacement;
  plat::Window other = plat::OpenWindow(&d);
  Pump();
  ASSERT_EQ(plat::FrontWindow(), other);
  EXPECT_EQ(StartInstance(plat::ShowNormal), nullptr);
  EXPECT_EQ(plat::FrontWindow(), window_);
  EXPECT_EQ(plat::FindTopLevelWindow(kMainWindowClass, kMainWindowClass), window_)
      << "no second main window";
}

TEST_F(Reader, ASizeChangeLaysOutOnlyWhenTheSizeDiffers) {
  Start();
  ArticleView* v = g_app.view;
  v->hitStart = 10;
  v->hitEnd = 20;
  plat::Rect client{};
  plat::WindowClientRect(window_, &client);
  ResizeArticleView(window_, client.right, client.bottom);
  EXPECT_EQ(v->hitEnd, 20) << "the same size keeps the highlight";
  const int32_t lines = v->visualLineCount;
  ResizeArticleView(window_, client.right / 2, client.bottom);
  EXPECT_EQ(v->width, client.right / 2);
  EXPECT_GT(v->visualLineCount, lines);
  ResizeArticleView(window_, 0, client.bottom);
  EXPECT_EQ(v->width, client.right / 2) << "a zero size is refused";
}

TEST_F(Reader, DialogsFillTheScreenWithADoneButtonUnlessFullScreen) {
  Start();
  struct Case {
    int32_t fullScreen;
    intptr_t result;  // 1: the caption's Done button answered the tap
  } cases[] = {{0, 1}, {1, 2}};
  static plat::Rect seen;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fullScreen);
    g_fullScreen = c.fullScreen;
    const plat::DialogTemplate t{0x90C80040, 0, 10, 10, 80, 60, u"Choose", 8, u"System", {}};
    plat::DialogProc proc = [](plat::Window w, uint32_t m, uintptr_t wp, intptr_t) -> intptr_t {
      if (m == plat::MsgInitDialog) {
        InitDialogForShell(w, 0x1E);
        plat::WindowScreenRect(w, &seen);
        plat::PostToWindow(w, plat::MsgUser, 0, 0);
        return 1;
      }
      if (m == plat::MsgUser) {
        plat::InputStylusDown(seen.right - 10, seen.top + 12);
        plat::InputStylusUp(seen.right - 10, seen.top + 12);
        plat::PostToWindow(w, plat::MsgUser + 1, 0, 0);
      }
      // The button's command is posted once the tap's own messages are handled.
      if (m == plat::MsgUser + 1) plat::PostToWindow(w, plat::MsgUser + 2, 0, 0);
      if (m == plat::MsgUser + 2) plat::EndDialog(w, 2);
      if (m == plat::MsgCommand) plat::EndDialog(w, plat::LowWord(wp));
      return m == plat::MsgCommand;
    };
    EXPECT_EQ(plat::RunDialog(&t, window_, proc, 0), c.result);
    EXPECT_EQ(seen.left, 0);
    EXPECT_EQ(seen.top, 0);
    EXPECT_EQ(seen.right, 240);
    EXPECT_EQ(seen.bottom, 320);
  }
  g_fullScreen = 0;
}

TEST_F(Reader, FullScreenHidesTheCommandBarButKeepsTheMenuBar) {
  struct Case {
    const char* maker;
    bool barShown;
  } cases[] = {{"", false}, {"\"MenuBarOnBottom\"=dword:00000001\n", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.maker);
    Store("", c.maker);
    g_fullScreen = 1;
    Start();
    g_fullScreen = 0;
    ASSERT_NE(g_app.bar, nullptr);
    EXPECT_EQ(plat::WindowVisible(g_app.bar), c.barShown);
    Key(plat::KeyPageDown);
    EXPECT_GT(Top(), 0) << "the keys still work";
    Stop();
  }
}

TEST_F(Reader, ANewScreenSizeRefitsTheViewAndTheBottomBar) {
  Store("", "\"MenuBarOnBottom\"=dword:00000001\n");
  Start();
  ASSERT_TRUE(plat::ResizeScreen(320, 480));
  Pump();
  plat::Rect bar{};
  plat::WindowScreenRect(g_app.bar, &bar);
  EXPECT_EQ(bar.bottom, 480);
  EXPECT_EQ(bar.right - bar.left, 320 - plat::SystemMetric(plat::MetricVScrollWidth));
  plat::Rect client{};
  plat::WindowClientRect(window_, &client);
  EXPECT_EQ(g_app.view->width, client.right);
  EXPECT_EQ(g_app.view->height, 480 - g_app.barHeight);
  EXPECT_EQ(ScrollPosition(), Top());
}

}  // namespace
