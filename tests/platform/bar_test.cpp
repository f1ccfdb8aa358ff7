// Bars and the handheld shell: string resources, the command bar and the
// menu bar built from resources (pictures, taps, holds, tool tips, their
// menus), a malformed menu-bar resource, dialogs that fill the screen, the
// input panel and the shell's share of a screen change.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/command_bar.h"
#include "platform/dialog.h"
#include "platform/handheld_shell.h"
#include "platform/menu.h"
#include "platform/resources.h"
#include "window_test_util.h"

namespace {

using namespace plat;
using namespace wintest;

// ---- Test resources ---------------------------------------------------------------------

constexpr uint16_t kMenuId = 102;
constexpr uint16_t kBitmapId = 114;
constexpr uint16_t kFileText = 303, kGoText = 302;  // entries 15 and 14 of string block 19
constexpr uint16_t kFileButton = 40001, kGoButton = 40002;

void Put16(std::vector<uint8_t>* b, uint32_t v) {
  b->push_back(static_cast<uint8_t>(v));
  b->push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>* b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

MenuItem Cmd(uint16_t id, std::u16string text) { return MenuItem{id, 0, false, false, std::move(text), {}}; }
MenuItem Pop(std::u16string text, std::vector<MenuItem> items) {
  return MenuItem{0, 0, false, true, std::move(text), Menu{std::move(items)}};
}

std::vector<uint8_t> MenuBytes() {
  const Menu m{{Pop(u"&File", {Cmd(40004, u"&About"), Cmd(122, u"Re&verse"), MenuItem{0, 0, true, false, u"", {}},
                               Cmd(40005, u"E&xit\bCtrl+Q")}),
                Pop(u"&Go", {Cmd(123, u"&Bookmark"), Cmd(109, u"&Next Article")})}};
  std::vector<uint8_t> b;
  EXPECT_TRUE(EncodeMenu(m, &b));
  return b;
}

// Menu-bar button fields: image, command, state, style, text, reserved, pop-up.
using ButtonWords = std::vector<uint16_t>;
std::vector<uint8_t> MenuBarBytes(uint16_t menuId, uint16_t count, const std::vector<ButtonWords>& buttons) {
  std::vector<uint8_t> b;
  Put16(&b, menuId);
  Put16(&b, count);
  for (const ButtonWords& words : buttons) {
    for (uint16_t w : words) Put16(&b, w);
  }
  return b;
}
const ButtonWords kFileWords{kBarNoImage, kFileButton, BarStateEnabled, 0x18, kFileText, 0, 0};
const ButtonWords kGoWords{kBarNoImage, kGoButton, BarStateEnabled, 0x18, kGoText, 0, 1};

// A string block: entry i holds texts[i] (16 of them).
std::vector<uint8_t> StringBlock(const std::vector<std::u16string>& texts) {
  std::vector<uint8_t> b;
  for (std::size_t i = 0; i < 16; ++i) {
    const std::u16string t = i < texts.size() ? texts[i] : u"";
    Put16(&b, static_cast<uint32_t>(t.size()));
    for (char16_t c : t) Put16(&b, c);
  }
  return b;
}

// Two 16 x 16 pictures, 4 bits a pixel on magenta: a red square framed in
// black, and a blue diamond.
constexpr Colour kRed = MakeColour(255, 0, 0), kBlue = MakeColour(0, 0, 255);
std::vector<uint8_t> ToolBitmap() {
  const int32_t width = 32, height = 16, stride = 16;
  std::vector<uint8_t> b;
  Put32(&b, 40);
  Put32(&b, width);
  Put32(&b, height);
  Put16(&b, 1);
  Put16(&b, 4);
  Put32(&b, 0);
  Put32(&b, stride * height);
  Put32(&b, 0);
  Put32(&b, 0);
  Put32(&b, 5);
  Put32(&b, 0);
  const uint32_t palette[5] = {0xFF00FF, 0x000000, 0xFF0000, 0x0000FF, 0xFFFFFF};  // RGB
  for (uint32_t c : palette) Put32(&b, c);
  for (int32_t row = height - 1; row >= 0; --row) {  // bottom-up
    std::vector<uint8_t> line(stride, 0);
    for (int32_t x = 0; x < width; ++x) {
      const int32_t px = x % 16, y = row;
      uint8_t index = 0;
      if (x < 16) {
        if (px >= 3 && px <= 12 && y >= 3 && y <= 12) index = (px == 3 || px == 12 || y == 3 || y == 12) ? 1 : 2;
      } else if (std::abs(px - 8) + std::abs(y - 8) <= 6) {
        index = 3;
      }
      line[static_cast<std::size_t>(x / 2)] |= static_cast<uint8_t>(x % 2 ? index : index << 4);
    }
    b.insert(b.end(), line.begin(), line.end());
  }
  return b;
}

struct TestResources {
  std::vector<uint8_t> menu = MenuBytes();
  std::vector<uint8_t> menuBar = MenuBarBytes(kMenuId, 2, {kFileWords, kGoWords});
  std::vector<uint8_t> strings = [] {
    std::vector<std::u16string> t(16);
    t[14] = u"Go";
    t[15] = u"File";
    return StringBlock(t);
  }();
  std::vector<uint8_t> bitmap = ToolBitmap();
  std::vector<ResourceRecord> table = {
      {ResTypeMenu, kMenuId, menu.data(), static_cast<uint32_t>(menu.size())},
      {ResTypeMenuBar, kMenuId, menuBar.data(), static_cast<uint32_t>(menuBar.size())},
      {ResTypeString, 19, strings.data(), static_cast<uint32_t>(strings.size())},
      {ResTypeBitmap, kBitmapId, bitmap.data(), static_cast<uint32_t>(bitmap.size())},
  };
};
const TestResources& Resources() {
  static const TestResources r;
  return r;
}

const char16_t* const kTips[] = {u"Menu", u"Red tool", u"Blue tool", nullptr, u"Find"};

// ---- String resources ------------------------------------------------------------------------

TEST(StringResource, LoadStringResourceCases) {
  std::vector<std::u16string> texts(16);
  texts[0] = u"Zero";
  texts[5] = u"Choose Article";
  std::vector<uint8_t> good = StringBlock(texts);
  // Entry 2 (after "Zero" and an empty one) claims 200 units: every entry
  // of the block goes with it.
  std::vector<uint8_t> runsPast = good;
  runsPast[2 + 8 + 2] = 200;
  // Fifteen entries only.
  std::vector<uint8_t> short15(good.begin(), good.end() - 2);
  std::vector<uint8_t> last = StringBlock({u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"",
                                           u"end"});
  const ResourceRecord table[] = {
      {ResTypeString, 1, good.data(), static_cast<uint32_t>(good.size())},
      {ResTypeString, 2, runsPast.data(), static_cast<uint32_t>(runsPast.size())},
      {ResTypeString, 3, short15.data(), static_cast<uint32_t>(short15.size())},
      {ResTypeString, 4096, last.data(), static_cast<uint32_t>(last.size())},
      {ResTypeString, 5, good.data(), 0},
  };
  RegisterResourceTable(table, 5);
  struct Case {
    const char* what;
    uint16_t id;
    int32_t capacity;
    int32_t result;
    std::u16string text;
  } cases[] = {
      {"first entry", 0, 32, 4, u"Zero"},
      {"inside the block", 5, 32, 14, u"Choose Article"},
      {"exactly fits", 5, 15, 14, u"Choose Article"},
      {"cut to the capacity", 5, 7, 6, u"Choose"},
      {"room for the zero only", 5, 1, 0, u""},
      {"empty entry", 6, 32, 0, u""},
      {"missing block", 16 * 9 + 3, 32, 0, u""},
      {"length running past the block", 16 + 0, 32, 0, u""},
      {"entry before the bad one", 16 + 1, 32, 0, u""},
      {"block of fifteen entries", 32 + 0, 32, 0, u""},
      {"empty resource", 64 + 0, 32, 0, u""},
      {"the last id", 0xFFFF, 32, 3, u"end"},
  };
  for (const Case& c : cases) {
    char16_t buffer[32];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(LoadStringResource(c.id, buffer, c.capacity), c.result) << c.what;
    EXPECT_EQ(std::u16string(buffer), c.text) << c.what << ": terminated";
  }
  char16_t untouched[2] = {u'#', 0};
  EXPECT_EQ(LoadStringResource(0, untouched, 0), 0);
  EXPECT_EQ(untouched[0], u'#') << "no room at all: nothing written";
  EXPECT_EQ(LoadStringResource(0, nullptr, 8), 0);
  UnregisterResourceTable(table);
}

// ---- Bars -----------------------------------------------------------------------------------------

class BarTest : public ScreenTest {
 protected:
  void SetUp() override {
    RegisterResourceTable(Resources().table.data(), Resources().table.size());
    ScreenTest::SetUp();
  }
  void TearDown() override {
    ShowInputPanelButton(true);
    ScreenTest::TearDown();
    UnregisterResourceTable(Resources().table.data());
  }

  // Pumps until `done` holds or `ms` have passed; whether it held.
  static bool PumpUntil(const std::function<bool()>& done, int ms = 3000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      Pump();
      if (done()) return true;
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  // The tool tip showing `text`, or null.
  static Window Tip(const char16_t* text) {
    Window t = FindTopLevelWindow(nullptr, text);
    return t && WindowVisible(t) ? t : nullptr;
  }
  static bool AnyTip() {
    for (const char16_t* t : kTips) {
      if (t && Tip(t)) return true;
    }
    return false;
  }

  // The first column, from the left, inside `area` (screen) where `colour` is
  // drawn; -1 when it is not there.
  static int32_t ColumnOf(Colour colour, const Rect& area) {
    const Surface* s = ScreenSurface();
    for (int32_t x = area.left; x < area.right; ++x) {
      for (int32_t y = area.top; y < area.bottom; ++y) {
        if (SurfacePixel(s, x, y) == colour) return x;
      }
    }
    return -1;
  }

  // A command bar on `parent` with the menu, the two test pictures, the
  // standard strip, four tools (the last disabled), help and close.
  static Window FullCommandBar(Window parent, bool menu) {
    Window bar = CreateCommandBar(parent, 7);
    EXPECT_NE(bar, nullptr);
    if (menu) {
      EXPECT_TRUE(CommandBarInsertMenu(bar, kMenuId, 0));
    }
    EXPECT_EQ(SendToWindow(bar, MsgBarSetToolTips, 5, reinterpret_cast<intptr_t>(kTips)), 1);
    EXPECT_EQ(CommandBarAddBitmap(bar, kBitmapId, 2), 0);
    EXPECT_EQ(CommandBarAddStandardBitmap(bar), 2);
    const BarButton buttons[] = {
        {0, 501, BarStateEnabled, BarStylePlain, {0, 0}, 0, -1},
        {1, 502, BarStateEnabled, BarStylePlain, {0, 0}, 0, -1},
        {2 + BarImageCopy, 503, BarStateEnabled, BarStylePlain, {0, 0}, 0, -1},
        {2 + BarImageFind, 504, 0, BarStylePlain, {0, 0}, 0, -1},
    };
    EXPECT_EQ(SendToWindow(bar, MsgBarAddButtons, 4, reinterpret_cast<intptr_t>(buttons)), 1);
    EXPECT_TRUE(CommandBarAddAdornments(bar, CommandBarHelpButton));
    Pump();
    return bar;
  }

  // The menu bar of the test resources for `parent`, with the test pictures.
  static Window MenuBar(Window parent, uint32_t flags = 0) {
    MenuBarCreation info{sizeof(MenuBarCreation), parent, flags, kMenuId, kBitmapId, 2, nullptr};
    EXPECT_TRUE(CreateMenuBar(&info));
    Pump();
    return info.bar;
  }

  std::vector<Seen> Commands(Window w) { return Messages(w, MsgCommand); }
};

TEST_F(BarTest, CommandBarPictureWithAHeldButtonAndItsTip) {
  Window main = OpenFull();
  Window bar = FullCommandBar(main, true);
  Rect r{};
  ASSERT_TRUE(WindowScreenRect(bar, &r));
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 240) << "as wide as the parent";
  EXPECT_EQ(CommandBarHeight(bar), kCommandBarHeight);
  EXPECT_EQ(WindowParent(bar), main);

  const int32_t blue = ColumnOf(kBlue, Rect{0, 0, 240, kCommandBarHeight});
  ASSERT_GT(blue, 0) << "the second picture is drawn";
  InputStylusDown(blue + 4, 13);
  Pump();
  EXPECT_FALSE(Tip(u"Blue tool")) << "not before the delay";
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(PumpUntil([] { return Tip(u"Blue tool") != nullptr; }));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kToolTipDelayMs - 50));
  Rect tip{};
  WindowScreenRect(Tip(u"Blue tool"), &tip);
  EXPECT_GE(tip.top, kCommandBarHeight) << "below the button";
  EXPECT_EQ(FrontWindow(), main) << "the tip takes no activation";
  const std::string actual = TempDir() + "/command_bar.actual.png";
  ASSERT_TRUE(WriteScreenshot(actual.c_str()));
  ExpectMatchesGolden(actual, "command_bar.png");

  // Released off the button: the tip goes and nothing is sent.
  Log().clear();
  InputStylusMove(blue + 4, 100);
  InputStylusUp(blue + 4, 100);
  Pump();
  EXPECT_FALSE(AnyTip());
  EXPECT_TRUE(Commands(main).empty());
}

TEST_F(BarTest, TapsOnACommandBarSendTheirMessages) {
  Window main = OpenFull(WinStyleVisible, [](Window, uint32_t m, uintptr_t, intptr_t, intptr_t*) {
    return m == MsgClose;  // kept, to see it
  });
  // The bar's window is a child: help goes to it, close to its top-level window.
  Window view = Open(WinStyleChild | WinStyleVisible, 0, 0, 240, 300, main);
  Window bar = FullCommandBar(view, false);
  // Without a menu the tools start at the left end, 24 pixels each; help and
  // close are the last 48 pixels but 2.
  struct Case {
    const char* what;
    int32_t downX, upX;
    Window to;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
  } cases[] = {
      {"first tool", 10, 10, view, MsgCommand, 501, reinterpret_cast<intptr_t>(bar)},
      {"third tool", 60, 60, view, MsgCommand, 503, reinterpret_cast<intptr_t>(bar)},
      {"released on another tool", 10, 40, nullptr, 0, 0, 0},
      {"disabled tool", 70, 70, nullptr, 0, 0, 0},
      {"between the tools and the right end", 150, 150, nullptr, 0, 0, 0},
      {"help", 210, 210, view, MsgHelp, 0, 0},
      {"close", 228, 228, main, MsgClose, 0, 0},
  };
  for (const Case& c : cases) {
    Log().clear();
    InputStylusDown(c.downX, 13);
    InputStylusMove(c.upX, 13);
    InputStylusUp(c.upX, 13);
    Pump();
    std::vector<Seen> seen;
    for (const Seen& s : Log()) {
      if (s.message == MsgCommand || s.message == MsgHelp || s.message == MsgClose) seen.push_back(s);
    }
    if (!c.to) {
      EXPECT_TRUE(seen.empty()) << c.what;
      continue;
    }
    ASSERT_EQ(seen.size(), 1u) << c.what;
    EXPECT_EQ(seen[0].window, c.to) << c.what;
    EXPECT_EQ(seen[0].message, c.message) << c.what;
    EXPECT_EQ(seen[0].wParam, c.wParam) << c.what;
    EXPECT_EQ(seen[0].lParam, c.lParam) << c.what;
  }
  EXPECT_EQ(FocusWindow(), main) << "the bar never takes the focus";
}

TEST_F(BarTest, MenuButtonOpensItsPopupUnderItAndTheChoiceGoesToTheParent) {
  struct Case {
    const char* what;
    std::string script;
    std::vector<uintptr_t> commands;
  } cases[] = {
      // The pop-up's first row is 1 pixel under the bar, 26 high.
      {"a tap on the first row", "tap 10 13\ntap 30 40\n", {40004}},
      {"a mnemonic", "tap 10 13\nkey V\n", {122}},
      {"dismissed", "tap 10 13\nkey Escape\n", {}},
  };
  for (const Case& c : cases) {
    StartWith("bar_menu.txt", c.script);
    Window main = OpenFull();
    Window bar = FullCommandBar(main, true);
    RunLoop();
    std::vector<uintptr_t> got;
    for (const Seen& s : Commands(main)) {
      got.push_back(s.wParam);
      EXPECT_EQ(s.lParam, 0) << c.what << ": a pop-up's choice";
    }
    EXPECT_EQ(got, c.commands) << c.what;
    EXPECT_EQ(CommandBarMenu(bar, 0)->items.size(), 2u);
    StopScreen();
    Log().clear();
  }
}

TEST_F(BarTest, CommandBarFollowsItsParentAndHides) {
  Window main = OpenFull(WinStyleVisible, [](Window, uint32_t m, uintptr_t, intptr_t, intptr_t*) {
    return m == MsgClose;
  });
  Window bar = FullCommandBar(main, true);
  int32_t barWidthSeen = -1;
  Handlers()[main] = [&](Window, uint32_t m, uintptr_t, intptr_t, intptr_t*) {
    if (m == MsgSize) {
      Rect r{};
      WindowClientRect(bar, &r);
      barWidthSeen = r.right;
    }
    return m == MsgClose;
  };
  ASSERT_TRUE(PlaceWindow(main, 0, 0, 180, 320, true));
  EXPECT_EQ(barWidthSeen, 180) << "fitted before the parent hears of its size";
  Pump();
  Log().clear();
  Tap(180 - 14, 13);  // the close button moved with the right end
  EXPECT_EQ(Messages(main, MsgClose).size(), 1u);

  EXPECT_TRUE(ShowCommandBar(bar, false));
  EXPECT_EQ(CommandBarHeight(bar), 0);
  EXPECT_FALSE(WindowVisible(bar));
  EXPECT_TRUE(ShowCommandBar(bar, true));
  EXPECT_EQ(CommandBarHeight(bar), kCommandBarHeight);
  EXPECT_EQ(CommandBarHeight(main), 0) << "not a bar";
  EXPECT_FALSE(ShowCommandBar(main, true));

  // A scroll bar appearing narrows the client: the bar follows that too.
  const ScrollInfo scroll{sizeof(ScrollInfo), ScrollMaskRange | ScrollMaskPage, 0, 100, 10, 0, 0};
  WriteScrollBar(main, ScrollBarVertical, &scroll, true);
  EXPECT_EQ(barWidthSeen, 180 - SystemMetric(MetricVScrollWidth)) << "fitted before the parent hears of its size";
}

TEST_F(BarTest, ToolTipsFollowTheStylusAndTheMouse) {
  Window main = OpenFull();
  FullCommandBar(main, false);
  // Held, dragged off and back: the tip goes and waits again.
  InputStylusDown(10, 13);
  ASSERT_TRUE(PumpUntil([] { return Tip(u"Red tool") != nullptr; }));
  InputStylusMove(10, 200);
  Pump();
  EXPECT_FALSE(AnyTip());
  InputStylusMove(12, 13);
  ASSERT_TRUE(PumpUntil([] { return Tip(u"Red tool") != nullptr; }));
  InputStylusUp(12, 13);
  Pump();
  EXPECT_FALSE(AnyTip());
  Log().clear();
  // A tool whose tip is null shows none.
  InputStylusDown(60, 13);
  EXPECT_FALSE(PumpUntil(AnyTip, kToolTipDelayMs + 200));
  InputStylusUp(60, 13);

  // The mouse resting on a tool, moving to the next while its tip shows, and leaving.
  InputStylusMove(35, 13);
  Pump();
  EXPECT_FALSE(AnyTip()) << "not before the delay";
  ASSERT_TRUE(PumpUntil([] { return Tip(u"Blue tool") != nullptr; }));
  InputStylusMove(12, 13);
  Pump();
  EXPECT_TRUE(Tip(u"Red tool")) << "at once, one being up";
  EXPECT_FALSE(Tip(u"Blue tool"));
  InputStylusMove(120, 200);
  Pump();
  EXPECT_FALSE(AnyTip());
  EXPECT_TRUE(Messages(main, MsgStylusMove).empty()) << "an ordinary window hears no hovering";
}

TEST_F(BarTest, TheLoopWakesForATipWhileNothingElseHappens) {
  // The script only sleeps: the tip's moment comes while the loop waits.
  StartWith("bar_sleep.txt", "sleep " + std::to_string(kToolTipDelayMs + 300) + "\n");
  Window main = OpenFull();
  FullCommandBar(main, false);
  InputStylusDown(10, 13);
  RunLoop();
  EXPECT_TRUE(Tip(u"Red tool"));
}

TEST_F(BarTest, MenuBarPictureAndPlace) {
  Window main = OpenFull();
  Window bar = MenuBar(main);
  ASSERT_NE(bar, nullptr);
  Rect r{};
  ASSERT_TRUE(WindowScreenRect(bar, &r));
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 320 - kMenuBarHeight);
  EXPECT_EQ(r.right, 240);
  EXPECT_EQ(r.bottom, 320);
  EXPECT_EQ(WindowOwner(bar), main);
  EXPECT_EQ(WindowParent(bar), nullptr);
  const BarButton tools[] = {{1, 601, BarStateEnabled, BarStylePlain, {0, 0}, 0, -1}};
  EXPECT_EQ(SendToWindow(bar, MsgBarAddButtons, 1, reinterpret_cast<intptr_t>(tools)), 1);
  // One scroll bar narrower, as the reader places it.
  ASSERT_TRUE(PlaceWindow(bar, r.left, r.top, r.right - r.left - SystemMetric(MetricVScrollWidth), r.bottom - r.top, true));
  Pump();
  const std::string actual = TempDir() + "/menu_bar.actual.png";
  ASSERT_TRUE(WriteScreenshot(actual.c_str()));
  ExpectMatchesGolden(actual, "menu_bar.png");

  // A tap on its tool: the command goes to the parent, which stays active.
  const int32_t blue = ColumnOf(kBlue, r);
  ASSERT_GT(blue, 0);
  Log().clear();
  Tap(blue + 4, 307);
  ASSERT_EQ(Commands(main).size(), 1u);
  EXPECT_EQ(Commands(main)[0].wParam, 601u);
  EXPECT_EQ(Commands(main)[0].lParam, reinterpret_cast<intptr_t>(bar));
  EXPECT_EQ(FrontWindow(), main);
  EXPECT_EQ(FocusWindow(), main);
  // Under a modal window (its window disabled) the bar takes no taps.
  SetWindowEnabled(main, false);
  Log().clear();
  Tap(blue + 4, 307);
  EXPECT_TRUE(Commands(main).empty());
}

TEST_F(BarTest, MenuBarButtonsOpenTheirPopupsAbove) {
  // File's pop-up: three rows and a separator in a border, 89 high, above the bar.
  StartWith("menu_bar.txt", "tap 10 307\ntap 30 219\n");
  Window main = OpenFull();
  Window bar = MenuBar(main);
  Menu* file = reinterpret_cast<Menu*>(SendToWindow(bar, MsgBarButtonMenu, 0, kFileButton));
  Menu* go = reinterpret_cast<Menu*>(SendToWindow(bar, MsgBarButtonMenu, 0, kGoButton));
  ASSERT_NE(file, nullptr);
  ASSERT_NE(go, nullptr);
  EXPECT_NE(FindMenuCommand(file, 122), nullptr);
  EXPECT_EQ(FindMenuCommand(file, 123), nullptr);
  EXPECT_NE(FindMenuCommand(go, 123), nullptr);
  EXPECT_EQ(SendToWindow(bar, MsgBarButtonMenu, 0, 40003), 0);
  EXPECT_EQ(CommandBarMenu(bar, 0)->items.size(), 2u);
  // A mark set through the pointer is the bar's own.
  CheckMenuCommand(file, 122, true);
  EXPECT_TRUE(MenuCommandChecked(reinterpret_cast<Menu*>(SendToWindow(bar, MsgBarButtonMenu, 0, kFileButton)), 122));
  RunLoop();
  std::vector<uintptr_t> got;
  for (const Seen& s : Commands(main)) got.push_back(s.wParam);
  EXPECT_EQ(got, std::vector<uintptr_t>{40004});
}

TEST_F(BarTest, MalformedMenuBarResourcesAreRefused) {
  Window main = OpenFull();
  Window sentinel = Open(WinStyleChild | WinStyleVisible, 0, 0, 10, 10, main);
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"one byte short", [] { auto b = MenuBarBytes(kMenuId, 2, {kFileWords, kGoWords}); b.pop_back(); return b; }()},
      {"one byte over", [] { auto b = MenuBarBytes(kMenuId, 2, {kFileWords, kGoWords}); b.push_back(0); return b; }()},
      {"count 3 with two buttons", MenuBarBytes(kMenuId, 3, {kFileWords, kGoWords})},
      {"no buttons", MenuBarBytes(kMenuId, 0, {})},
      {"17 buttons", MenuBarBytes(kMenuId, 17, std::vector<ButtonWords>(17, kFileWords))},
      {"header only, cut", {0x66, 0x00, 0x01}},
      {"missing menu", MenuBarBytes(999, 2, {kFileWords, kGoWords})},
      {"pop-up index past the menu", MenuBarBytes(kMenuId, 1, {{kBarNoImage, kFileButton, 4, 0, kFileText, 0, 2}})},
      {"reserved word set", MenuBarBytes(kMenuId, 1, {{kBarNoImage, kFileButton, 4, 0, kFileText, 1, 0}})},
      {"unknown state bit", MenuBarBytes(kMenuId, 1, {{kBarNoImage, kFileButton, 0x14, 0, kFileText, 0, 0}})},
      {"unknown style bit", MenuBarBytes(kMenuId, 1, {{kBarNoImage, kFileButton, 4, 0x01, kFileText, 0, 0}})},
      {"missing text, no picture", MenuBarBytes(kMenuId, 1, {{kBarNoImage, kFileButton, 4, 0, 301, 0, 0}})},
  };
  for (const Case& c : cases) {
    const ResourceRecord shadow[] = {{ResTypeMenuBar, kMenuId, c.bytes.data(), static_cast<uint32_t>(c.bytes.size())}};
    RegisterResourceTable(shadow, 1);
    MenuBarCreation info{sizeof(MenuBarCreation), main, 0, kMenuId, 0, 0, sentinel};
    EXPECT_FALSE(CreateMenuBar(&info)) << c.what;
    EXPECT_EQ(info.bar, sentinel) << c.what;
    UnregisterResourceTable(shadow);
  }
  struct Bad {
    const char* what;
    MenuBarCreation info;
  } bad[] = {
      {"record size", {sizeof(MenuBarCreation) - 1, main, 0, kMenuId, 0, 0, sentinel}},
      {"unknown flag", {sizeof(MenuBarCreation), main, 0x1, kMenuId, 0, 0, sentinel}},
      {"no parent", {sizeof(MenuBarCreation), nullptr, 0, kMenuId, 0, 0, sentinel}},
      {"missing resource", {sizeof(MenuBarCreation), main, 0, 4321, 0, 0, sentinel}},
      {"missing bitmap", {sizeof(MenuBarCreation), main, 0, kMenuId, 4321, 2, sentinel}},
      {"bitmap narrower than its pictures", {sizeof(MenuBarCreation), main, 0, kMenuId, kBitmapId, 3, sentinel}},
  };
  for (Bad& b : bad) {
    EXPECT_FALSE(CreateMenuBar(&b.info)) << b.what;
    EXPECT_EQ(b.info.bar, sentinel) << b.what;
  }
  EXPECT_FALSE(CreateMenuBar(nullptr));
  EXPECT_EQ(FindTopLevelWindow(kMenuBarClass, nullptr), nullptr) << "no bar was left behind";
}

TEST_F(BarTest, CommandBarRefusals) {
  Window main = OpenFull();
  EXPECT_EQ(CreateCommandBar(nullptr, 1), nullptr);
  Window bar = CreateCommandBar(main, 1);
  ASSERT_NE(bar, nullptr);
  EXPECT_FALSE(CommandBarInsertMenu(bar, 4321, 0)) << "missing menu";
  EXPECT_FALSE(CommandBarInsertMenu(bar, kMenuId, 1)) << "no tool to put it after";
  EXPECT_EQ(CommandBarMenu(bar, 0), nullptr);
  EXPECT_TRUE(CommandBarInsertMenu(bar, kMenuId, 0));
  EXPECT_FALSE(CommandBarInsertMenu(bar, kMenuId, 0)) << "one menu a bar";
  EXPECT_EQ(CommandBarMenu(bar, 1), nullptr);
  EXPECT_EQ(CommandBarAddBitmap(bar, 4321, 1), -1) << "missing bitmap";
  EXPECT_EQ(CommandBarAddBitmap(bar, kBitmapId, 3), -1) << "narrower than three pictures";
  EXPECT_EQ(CommandBarAddBitmap(bar, kBitmapId, 0), -1);
  EXPECT_EQ(CommandBarAddBitmap(bar, kBitmapId, 1), 0);
  EXPECT_EQ(CommandBarAddBitmap(main, kBitmapId, 1), -1) << "not a bar";
  const BarButton badState[] = {{0, 1, 0x40, BarStylePlain, {0, 0}, 0, -1}};
  const BarButton badImage[] = {{-3, 1, BarStateEnabled, BarStylePlain, {0, 0}, 0, -1}};
  EXPECT_EQ(SendToWindow(bar, MsgBarAddButtons, 1, reinterpret_cast<intptr_t>(badState)), 0);
  EXPECT_EQ(SendToWindow(bar, MsgBarAddButtons, 1, reinterpret_cast<intptr_t>(badImage)), 0);
  EXPECT_EQ(SendToWindow(bar, MsgBarAddButtons, 1, 0), 0);
  EXPECT_FALSE(CommandBarAddAdornments(bar, 0x2));
  EXPECT_FALSE(CommandBarAddAdornments(MenuBar(main), CommandBarHelpButton)) << "a menu bar's right end is the panel's";
}

// ---- The shell ---------------------------------------------------------------------------------------

TEST_F(BarTest, InputPanelAndItsButton) {
  EXPECT_EQ(FindTopLevelWindow(u"HHTaskBar", u""), nullptr) << "no task bar on this platform";
  EXPECT_TRUE(ShowInputPanel(true));
  EXPECT_TRUE(TextInputOn());
  EXPECT_TRUE(InputPanelShown());
  EXPECT_TRUE(ShowInputPanel(false));
  EXPECT_FALSE(TextInputOn());

  Window main = OpenFull();
  Window bar = MenuBar(main);
  // The button is the last 28 pixels but 2 of the bar.
  Tap(240 - 16, 307);
  EXPECT_TRUE(TextInputOn()) << "the bar's button raises the panel";
  Tap(240 - 16, 307);
  EXPECT_FALSE(TextInputOn());
  ShowInputPanelButton(false);
  EXPECT_FALSE(InputPanelButtonShown());
  Tap(240 - 16, 307);
  EXPECT_FALSE(TextInputOn()) << "no button to tap";
  ShowInputPanelButton(true);
  Tap(240 - 16, 307);
  EXPECT_TRUE(TextInputOn());
  DisposeWindow(bar);
  Window plain = MenuBar(main, MenuBarNoInputPanelButton);
  ASSERT_NE(plain, nullptr);
  Tap(240 - 16, 307);
  EXPECT_TRUE(TextInputOn()) << "a bar without the button leaves the panel alone";

  EXPECT_TRUE(SetFullScreenState(main, FullScreenHideInputPanelButton | FullScreenHideTaskBar));
  EXPECT_FALSE(InputPanelButtonShown()) << "the window in front hides it";
  EXPECT_EQ(FullScreenStateOf(main), FullScreenHideInputPanelButton | FullScreenHideTaskBar);
  EXPECT_FALSE(SetFullScreenState(main, FullScreenHideTaskBar | FullScreenShowTaskBar));
  EXPECT_FALSE(SetFullScreenState(main, 0x40));
  EXPECT_FALSE(SetFullScreenState(Open(WinStyleChild | WinStyleVisible, 0, 0, 5, 5, main), FullScreenHideTaskBar));
  EXPECT_EQ(FullScreenStateOf(main), FullScreenHideInputPanelButton | FullScreenHideTaskBar) << "refusals keep it";
  StopScreen();
  EXPECT_FALSE(ShowInputPanel(true)) << "no screen";
}

TEST_F(BarTest, SettingChangeKeepsFullScreenWindowsTheScreenSize) {
  Window kept = Open(WinStyleVisible, 0, 0, 240, 280);
  Window other = Open(WinStyleVisible, 0, 0, 240, 280);
  ASSERT_TRUE(SetFullScreenState(kept, FullScreenHideTaskBar));
  EXPECT_FALSE(HandleShellSettingChange(kept, 0, 0, nullptr)) << "the screen has not changed";
  ASSERT_TRUE(ResizeScreen(300, 400));
  ShellActivationInfo info{sizeof info, 7, {}};
  EXPECT_TRUE(HandleShellSettingChange(kept, 0, 0, &info));
  EXPECT_EQ(info.fSipUp, 0u);
  Rect r{};
  WindowScreenRect(kept, &r);
  EXPECT_EQ(r.right, 300);
  EXPECT_EQ(r.bottom, 400);
  EXPECT_FALSE(HandleShellSettingChange(kept, 0, 0, nullptr)) << "done already";
  EXPECT_FALSE(HandleShellSettingChange(other, 0, 0, nullptr));
  WindowScreenRect(other, &r);
  EXPECT_EQ(r.bottom, 280) << "the program's own size";
  info.size = 3;
  ASSERT_TRUE(ResizeScreen(240, 320));
  EXPECT_FALSE(HandleShellSettingChange(kept, 0, 0, &info)) << "bad record";
  ASSERT_TRUE(SetFullScreenState(kept, FullScreenShowTaskBar));
  EXPECT_FALSE(HandleShellSettingChange(kept, 0, 0, nullptr)) << "the size is the program's again";
}

TEST_F(BarTest, ShellDialogFillsTheScreenAndItsDoneButtonSendsOk) {
  Window main = OpenFull();
  Window small = Open(WinStyleVisible, 0, 0, 100, 100);
  Window child = Open(WinStyleChild | WinStyleVisible, 0, 0, 10, 10, main);
  Pump();
  struct Case {
    const char* what;
    ShellDialogInit init;
  } refused[] = {
      {"unknown mask bit", {0x3, small, ShellDialogSize}},
      {"unknown flag", {ShellDialogFlagsValid, small, ShellDialogSize | 0x20}},
      {"a child window", {ShellDialogFlagsValid, child, ShellDialogSize}},
      {"Done on a window that is no dialog", {ShellDialogFlagsValid, small, ShellDialogDoneButton | ShellDialogSize}},
      {"no window", {ShellDialogFlagsValid, nullptr, ShellDialogSize}},
  };
  for (const Case& c : refused) {
    EXPECT_FALSE(InitShellDialog(&c.init)) << c.what;
    Rect r{};
    WindowScreenRect(small, &r);
    EXPECT_EQ(r.right, 100) << c.what << ": nothing done";
  }
  EXPECT_FALSE(InitShellDialog(nullptr));
  const ShellDialogInit noFlags{0, small, ShellDialogSize};
  EXPECT_TRUE(InitShellDialog(&noFlags)) << "flags not marked valid: nothing to apply";

  const DialogTemplate t{0x90C80040, 0, 10, 10, 80, 60, u"Font", 8, u"System", {}};
  static Rect seen;
  DialogProc proc = [](Window w, uint32_t m, uintptr_t wp, intptr_t) -> intptr_t {
    if (m == MsgInitDialog) {
      const ShellDialogInit init{ShellDialogFlagsValid, w,
                                 ShellDialogDoneButton | ShellDialogSize | ShellDialogFullScreen};
      EXPECT_TRUE(InitShellDialog(&init));
      WindowScreenRect(w, &seen);
      PostToWindow(w, MsgUser, 0, 0);
      return 1;
    }
    if (m == MsgUser) {
      Rect r{};
      WindowScreenRect(w, &r);
      InputStylusDown(r.right - 10, r.top + 12);
      InputStylusUp(r.right - 10, r.top + 12);
    }
    if (m == MsgCommand) EndDialog(w, LowWord(wp));
    return m == MsgCommand;
  };
  EXPECT_EQ(RunDialog(&t, main, proc, 0), CommandOk);
  EXPECT_EQ(seen.left, 0);
  EXPECT_EQ(seen.top, 0);
  EXPECT_EQ(seen.right, 240);
  EXPECT_EQ(seen.bottom, 320);
}

}  // namespace
