// Windows and messages on the headless screen: creation and destruction,
// sent and posted messages, loops, painting, focus and enabling, input
// routing, window device contexts, compositing and accelerators.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "platform/resources.h"
#include "window_test_util.h"

namespace {

using namespace plat;
using namespace wintest;
using Codes = std::vector<uint32_t>;

constexpr Colour kRed = MakeColour(255, 0, 0);
constexpr Colour kBlue = MakeColour(0, 0, 255);
constexpr Colour kGreen = MakeColour(0, 160, 0);

// Fills the window's whole client through a context of its own.
void FillClient(Window w, Colour colour) {
  DeviceContext* dc = AcquireWindowDC(w);
  ASSERT_NE(dc, nullptr);
  Rect r{};
  WindowClientRect(w, &r);
  Brush* b = CreateSolidBrush(colour);
  FillRect(dc, &r, b);
  DeleteBrush(b);
  ReturnWindowDC(w, dc);
}

Colour ScreenAt(int32_t x, int32_t y) { return SurfacePixel(ScreenSurface(), x, y); }

class WindowTest : public ScreenTest {};

// ---- Creation, painting and destruction -------------------------------------------------

TEST_F(WindowTest, LifeOfAWindowInMessages) {
  int marker = 0;
  void* seenParam = nullptr;
  NextHandler() = [&](Window, uint32_t msg, uintptr_t, intptr_t lp, intptr_t*) {
    if (msg == MsgCreate) seenParam = reinterpret_cast<const CreationInfo*>(lp)->createParam;
    return false;
  };
  WindowDescription desc{};
  desc.className = kClass;
  desc.style = WinStyleVisible;
  desc.x = desc.y = desc.width = desc.height = kDefaultPlacement;
  desc.createParam = &marker;
  Window w = OpenWindow(&desc);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(seenParam, &marker);
  EXPECT_EQ(Numbers(w), (Codes{MsgCreate, MsgSize, MsgMove, MsgShow, MsgActivate, MsgFocusGained}));
  const Seen size = Messages(w, MsgSize).at(0);
  EXPECT_EQ(LowWord(size.lParam), 240u) << "the default placement fills the screen";
  EXPECT_EQ(HighWord(size.lParam), 320u);
  EXPECT_EQ(Messages(w, MsgActivate).at(0).wParam, ActivateOn);
  EXPECT_EQ(FrontWindow(), w);
  EXPECT_EQ(FocusWindow(), w);
  EXPECT_EQ(MainWindow(), w) << "the first visible top-level window";

  Log().clear();
  Pump();
  EXPECT_EQ(Numbers(w), (Codes{MsgPaint, MsgEraseBackground})) << "the first paint erases";
  Log().clear();
  EXPECT_EQ(Pump(), 0) << "painting validated the window";

  DisposeWindow(w);
  EXPECT_EQ(Numbers(w), (Codes{MsgFocusLost, MsgActivate, MsgDestroy}));
  EXPECT_FALSE(IsLiveWindow(w));
  EXPECT_EQ(FrontWindow(), nullptr);
  EXPECT_EQ(FocusWindow(), nullptr);
  EXPECT_EQ(MainWindow(), nullptr);
  Log().clear();
  DisposeWindow(w);  // again: nothing
  EXPECT_TRUE(Log().empty());
}

TEST_F(WindowTest, ProcedureRefusingCreationGetsNoWindow) {
  Window made = Open(WinStyleVisible, 0, 0, 50, 50, nullptr,
                     [](Window, uint32_t msg, uintptr_t, intptr_t, intptr_t* r) {
                       if (msg != MsgCreate) return false;
                       *r = -1;
                       return true;
                     });
  EXPECT_EQ(made, nullptr);
  ASSERT_FALSE(Log().empty());
  Window w = Log().front().window;
  EXPECT_EQ(Numbers(w), (Codes{MsgCreate, MsgDestroy}));
  EXPECT_FALSE(IsLiveWindow(w));
}

TEST_F(WindowTest, CreationIsRefusedForBadRequests) {
  WindowDescription desc{};
  desc.className = u"No Such Class";
  EXPECT_EQ(OpenWindow(&desc), nullptr);
  EXPECT_EQ(OpenWindow(nullptr), nullptr);
  EXPECT_EQ(Open(WinStyleChild, 0, 0, 10, 10, nullptr), nullptr) << "a child needs a parent";
  Window w = Open(0, 0, 0, 10, 10);
  ASSERT_NE(w, nullptr);
  DisposeWindow(w);
  EXPECT_EQ(Open(WinStyleChild, 0, 0, 10, 10, w), nullptr) << "a dead parent";
  EXPECT_EQ(Open(0, 0, 0, 10, 10, w), nullptr) << "a dead owner";

  StopScreen();
  EXPECT_EQ(Open(0, 0, 0, 10, 10), nullptr) << "no screen";
}

TEST_F(WindowTest, ClassesAreUniqueByNameInAnyCaseAndStayWhileUsed) {
  WindowClassDescription desc{u"test window", 0, RecordingProc, 0, nullptr};
  EXPECT_FALSE(AddWindowClass(&desc));
  desc.name = u"";
  EXPECT_FALSE(AddWindowClass(&desc));
  desc.name = u"Other";
  desc.proc = nullptr;
  EXPECT_FALSE(AddWindowClass(&desc));
  Window w = Open(0, 0, 0, 10, 10);
  EXPECT_FALSE(RemoveWindowClass(kClass));
  char16_t name[8];
  EXPECT_EQ(WindowClassName(w, name, 8), 7);
  EXPECT_EQ(std::u16string(name), u"Test Wi") << "cut to the buffer, with its zero";
  DisposeWindow(w);
  EXPECT_TRUE(RemoveWindowClass(kClass));
  EXPECT_FALSE(RemoveWindowClass(kClass));
}

TEST_F(WindowTest, ChildrenAndOwnedWindowsAreDestroyedWithTheirWindow) {
  Window top = OpenFull();
  Window owned = Open(WinStylePopup | WinStyleVisible, 10, 10, 50, 50, top);
  Window a = Open(WinStyleChild | WinStyleVisible, 0, 0, 100, 100, top);
  Window a1 = Open(WinStyleChild | WinStyleVisible, 0, 0, 10, 10, a);
  Window b = Open(WinStyleChild | WinStyleVisible, 100, 0, 100, 100, top);
  ASSERT_TRUE(owned && a && a1 && b);
  EXPECT_EQ(WindowOwner(owned), top);
  EXPECT_EQ(WindowParent(a1), a);
  EXPECT_EQ(TopLevelOf(a1), top);
  Log().clear();
  DisposeWindow(top);
  std::vector<Window> destroyed;
  for (const Seen& s : Log()) {
    if (s.message == MsgDestroy) destroyed.push_back(s.window);
  }
  EXPECT_EQ(destroyed, (std::vector<Window>{owned, top, a, a1, b}))
      << "owned windows first, then the window before its children";
  for (Window w : {top, owned, a, a1, b}) EXPECT_FALSE(IsLiveWindow(w));
}

TEST_F(WindowTest, WindowDestroyedInsideItsOwnProcedureIsSafe) {
  Window w = OpenFull(WinStyleVisible, [](Window self, uint32_t msg, uintptr_t, intptr_t, intptr_t*) {
    if (msg != MsgCloseRequest) return false;
    DisposeWindow(self);
    PostToWindow(self, MsgUser, 0, 0);  // refused: it is gone
    RequestQuit(3);
    return true;
  });
  PostToWindow(w, MsgCloseRequest, 0, 0);
  EXPECT_EQ(RunLoop(), 3);
  EXPECT_FALSE(IsLiveWindow(w));
  EXPECT_TRUE(Messages(w, MsgUser).empty());
}

// ---- Sent and posted messages, loops ----------------------------------------------------

TEST_F(WindowTest, SentMessagesRunAtOncePostedOnesInOrder) {
  Window w = OpenFull(WinStyleVisible, [](Window, uint32_t msg, uintptr_t wp, intptr_t, intptr_t* r) {
    if (msg < MsgUser) return false;
    *r = static_cast<intptr_t>(wp) * 10;
    return true;
  });
  Pump();
  Log().clear();
  EXPECT_TRUE(PostToWindow(w, MsgUser + 1, 1, 0));
  EXPECT_TRUE(PostToWindow(w, MsgUser + 2, 2, 0));
  EXPECT_EQ(SendToWindow(w, MsgUser + 3, 3, 0), 30);
  EXPECT_EQ(Numbers(w), (Codes{MsgUser + 3})) << "posted messages wait for the loop";
  Pump();
  EXPECT_EQ(Numbers(w), (Codes{MsgUser + 3, MsgUser + 1, MsgUser + 2}));

  Message m{};
  EXPECT_TRUE(PostToWindow(w, MsgUser + 4, 4, 0));
  ASSERT_TRUE(PollMessage(&m, nullptr, 0, 0, false));
  EXPECT_EQ(m.message, MsgUser + 4u);
  ASSERT_TRUE(PollMessage(&m, nullptr, MsgUser + 4, MsgUser + 4, true)) << "still queued after a peek";
  EXPECT_FALSE(PollMessage(&m, nullptr, 0, 0, true));
}

TEST_F(WindowTest, MessagesForAWindowThatIsGoneAreDropped) {
  Window w = OpenFull();
  Pump();
  PostToWindow(w, MsgUser, 0, 0);
  DisposeWindow(w);
  Log().clear();
  EXPECT_EQ(Pump(), 0);
  EXPECT_TRUE(Log().empty());
  EXPECT_FALSE(PostToWindow(w, MsgUser, 0, 0));
  EXPECT_EQ(SendToWindow(w, MsgUser, 0, 0), 0);
  int notAWindow = 0;
  auto* bogus = reinterpret_cast<Window>(&notAWindow);
  EXPECT_FALSE(PostToWindow(bogus, MsgUser, 0, 0));
  EXPECT_EQ(SendToWindow(bogus, MsgUser, 0, 0), 0);
  EXPECT_FALSE(IsLiveWindow(bogus));
  DisposeWindow(bogus);
  EXPECT_FALSE(SetWindowEnabled(bogus, false));
  EXPECT_EQ(SetFocusWindow(bogus), nullptr);
}

TEST_F(WindowTest, NestedLoopHandlesMessagesAndPassesTheQuitOn) {
  std::vector<std::string> steps;
  Window w = OpenFull(WinStyleVisible, [&](Window, uint32_t msg, uintptr_t, intptr_t, intptr_t*) {
    if (msg == MsgUser + 1) {
      steps.push_back("nested loop begins");
      Message m;
      int32_t r;
      while ((r = NextMessage(&m, nullptr, 0, 0)) > 0) DeliverMessage(&m);
      if (r == 0) RequestQuit(static_cast<int32_t>(m.wParam));
      steps.push_back("nested loop ends");
      return true;
    }
    if (msg == MsgUser + 2) steps.push_back("second");
    if (msg == MsgUser + 3) {
      steps.push_back("third quits");
      RequestQuit(7);
    }
    if (msg == MsgUser + 4) steps.push_back("after the quit");
    return msg >= MsgUser;
  });
  PostToWindow(w, MsgUser + 1, 0, 0);
  PostToWindow(w, MsgUser + 2, 0, 0);
  PostToWindow(w, MsgUser + 3, 0, 0);
  PostToWindow(w, MsgUser + 4, 0, 0);
  EXPECT_EQ(RunLoop(), 7);
  EXPECT_EQ(steps, (std::vector<std::string>{"nested loop begins", "second", "third quits",
                                             "after the quit", "nested loop ends"}))
      << "the messages queued before the quit are handled first";
}

TEST_F(WindowTest, MissingArgumentsAreRefused) {
  EXPECT_EQ(NextMessage(nullptr, nullptr, 0, 0), -1);
  EXPECT_FALSE(PollMessage(nullptr, nullptr, 0, 0, true));
  EXPECT_EQ(DeliverMessage(nullptr), 0);
  EXPECT_FALSE(PostCharacterMessage(nullptr));
  Window w = OpenFull();
  EXPECT_FALSE(WindowClientRect(w, nullptr));
  EXPECT_EQ(WindowTitle(w, nullptr, 10), 0);
  EXPECT_EQ(StartPaint(w, nullptr), nullptr);
  FinishPaint(w, nullptr);
  EXPECT_FALSE(ReturnWindowDC(w, nullptr));
  InputStylusUp(5, 5);    // a release with no press
  InputStylusMove(5, 5);
  Log().clear();
  Pump();
  EXPECT_TRUE(Numbers(w, {MsgStylusUp, MsgStylusMove}).empty());
  EXPECT_TRUE(PlaceWindow(w, INT32_MIN, INT32_MAX, -5, INT32_MAX, true));
  Rect r{};
  WindowClientRect(w, &r);
  EXPECT_EQ(r.right, 0) << "a negative width counts as 0";
  EXPECT_GT(r.bottom, 0);
  EXPECT_NE(ScreenSurface(), nullptr);
}

TEST_F(WindowTest, QueueRefusesMessagesPastItsLimit) {
  Window w = OpenFull();
  Pump();
  int accepted = 0;
  while (accepted < 70000 && PostToWindow(w, MsgUser, 0, 0)) ++accepted;
  EXPECT_EQ(accepted, 65536);
  EXPECT_EQ(Pump(), 65536);
}

TEST_F(WindowTest, HeadlessLoopWithoutScriptClosesTheMainWindow) {
  Window w = OpenFull(WinStyleVisible, [](Window self, uint32_t msg, uintptr_t, intptr_t, intptr_t*) {
    if (msg == MsgCloseRequest) DisposeWindow(self);
    if (msg == MsgDestroy) RequestQuit(0);
    return false;
  });
  EXPECT_EQ(RunLoop(), 0);
  EXPECT_FALSE(IsLiveWindow(w));
  EXPECT_EQ(Messages(w, MsgCloseRequest).size(), 1u);
}

// ---- Painting ----------------------------------------------------------------------------

struct PaintRecord {
  Rect paint;
  bool erase;
};

Handler PaintRecorder(std::vector<PaintRecord>* paints) {
  return [paints](Window w, uint32_t msg, uintptr_t, intptr_t, intptr_t*) {
    if (msg != MsgPaint) return false;
    PaintInfo info;
    if (StartPaint(w, &info)) {
      paints->push_back({info.paint, info.erase});
      FinishPaint(w, &info);
    }
    return true;
  };
}

bool SameRect(const Rect& a, const Rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST_F(WindowTest, OnlyWhatWasInvalidatedIsPainted) {
  std::vector<PaintRecord> topPaints, childPaints;
  Window top = OpenFull(WinStyleVisible, PaintRecorder(&topPaints));
  Window child = Open(WinStyleChild | WinStyleVisible, 20, 20, 100, 80, top, PaintRecorder(&childPaints));
  Pump();
  ASSERT_EQ(topPaints.size(), 1u);
  ASSERT_EQ(childPaints.size(), 1u);
  EXPECT_TRUE(SameRect(childPaints[0].paint, Rect{0, 0, 100, 80}));
  topPaints.clear();
  childPaints.clear();
  Log().clear();

  const Rect r{2, 3, 10, 12};
  InvalidateWindowRect(child, &r, false);
  Rect update{};
  EXPECT_TRUE(WindowUpdateRect(child, &update));
  EXPECT_TRUE(SameRect(update, r));
  EXPECT_FALSE(WindowUpdateRect(top, nullptr));
  Pump();
  EXPECT_TRUE(topPaints.empty());
  ASSERT_EQ(childPaints.size(), 1u);
  EXPECT_TRUE(SameRect(childPaints[0].paint, r));
  EXPECT_TRUE(Messages(child, MsgEraseBackground).empty()) << "invalidated without erasing";
  EXPECT_FALSE(WindowUpdateRect(child, nullptr)) << "painting validated it";
}

TEST_F(WindowTest, TwoInvalidationsMergeIntoOnePaint) {
  std::vector<PaintRecord> paints;
  Window w = OpenFull(WinStyleVisible, PaintRecorder(&paints));
  Pump();
  paints.clear();
  Log().clear();
  const Rect a{0, 0, 5, 5}, b{20, 30, 40, 50};
  InvalidateWindowRect(w, &a, false);
  InvalidateWindowRect(w, &b, true);
  Pump();
  ASSERT_EQ(paints.size(), 1u);
  EXPECT_TRUE(SameRect(paints[0].paint, Rect{0, 0, 40, 50}));
  EXPECT_EQ(Messages(w, MsgEraseBackground).size(), 1u) << "one of them asked for erasing";
  EXPECT_FALSE(paints[0].erase) << "the default handling erased with the class brush";
}

TEST_F(WindowTest, ValidationTakesPaintAway) {
  Window w = OpenFull();
  Pump();
  Log().clear();
  struct Case {
    Rect invalid, valid;
    bool remains;
    Rect left;
  } cases[] = {
      {{0, 0, 50, 50}, {0, 0, 50, 50}, false, {}},
      {{0, 0, 50, 50}, {-5, -5, 100, 100}, false, {}},
      {{0, 0, 50, 50}, {0, 0, 50, 20}, true, {0, 20, 50, 50}},   // a band across the top
      {{0, 0, 50, 50}, {30, 0, 60, 50}, true, {0, 0, 30, 50}},   // a band down the right
      {{0, 0, 50, 50}, {10, 10, 20, 20}, true, {0, 0, 50, 50}},  // a hole: the rectangle stays
  };
  for (const Case& c : cases) {
    InvalidateWindowRect(w, &c.invalid, true);
    ValidateWindowRect(w, &c.valid);
    Rect left{};
    EXPECT_EQ(WindowUpdateRect(w, &left), c.remains);
    if (c.remains) {
      EXPECT_TRUE(SameRect(left, c.left));
    }
    ValidateWindowRect(w, nullptr);
  }
  EXPECT_EQ(Pump(), 0);
  EXPECT_TRUE(Log().empty());
}

TEST_F(WindowTest, PaintHandlerThatNeverBeginsPaintingIsNotAskedForever) {
  int paints = 0;
  Window w = OpenFull(WinStyleVisible, [&](Window, uint32_t msg, uintptr_t, intptr_t, intptr_t*) {
    if (msg == MsgPaint) ++paints;
    return msg == MsgPaint;
  });
  Pump();
  EXPECT_EQ(paints, 1);
  EXPECT_FALSE(WindowUpdateRect(w, nullptr));
}

TEST_F(WindowTest, HiddenWindowsAreNotPaintedUntilShown) {
  std::vector<PaintRecord> paints;
  Window w = Open(0, 0, 0, 50, 50, nullptr, PaintRecorder(&paints));
  Pump();
  EXPECT_TRUE(paints.empty());
  EXPECT_EQ(MainWindow(), nullptr) << "not visible yet";
  EXPECT_FALSE(ApplyShowMode(w, ShowNormal));
  EXPECT_EQ(MainWindow(), w);
  Pump();
  EXPECT_EQ(paints.size(), 1u);
  EXPECT_TRUE(ApplyShowMode(w, ShowHide));
  EXPECT_FALSE(WindowVisible(w));
}

TEST_F(WindowTest, PaintNowPaintsAtOnce) {
  std::vector<PaintRecord> paints;
  Window w = OpenFull(WinStyleVisible, PaintRecorder(&paints));
  EXPECT_TRUE(PaintNow(w));
  EXPECT_EQ(paints.size(), 1u);
  EXPECT_FALSE(PaintNow(w)) << "nothing left to paint";
}

TEST_F(WindowTest, EraseWithAForeignContextDrawsNothing) {
  Window w = OpenFull();
  Window other = Open(WinStylePopup | WinStyleVisible, 0, 0, 20, 20);
  Pump();
  FillClient(w, kRed);
  DeviceContext* otherDc = AcquireWindowDC(other);
  int notAContext = 0;
  EXPECT_EQ(SendToWindow(w, MsgEraseBackground, reinterpret_cast<uintptr_t>(&notAContext), 0), 0);
  EXPECT_EQ(SendToWindow(w, MsgEraseBackground, reinterpret_cast<uintptr_t>(otherDc), 0), 0);
  EXPECT_EQ(ScreenAt(100, 100), kRed);
  ReturnWindowDC(other, otherDc);
}

// ---- Window device contexts and the screen ----------------------------------------------------

TEST_F(WindowTest, DrawingOutsidePaintingReachesTheScreen) {
  Window w = OpenFull();
  Pump();
  Rect changed{};
  TakeScreenChange(&changed);
  EXPECT_FALSE(TakeScreenChange(&changed)) << "nothing changed since";
  DeviceContext* dc = AcquireWindowDC(w);
  Brush* red = CreateSolidBrush(kRed);
  const Rect r{10, 20, 30, 25};
  FillRect(dc, &r, red);
  ASSERT_TRUE(TakeScreenChange(&changed));
  EXPECT_TRUE(SameRect(changed, r)) << "only the filled rectangle changed";
  EXPECT_EQ(ScreenAt(10, 20), kRed);
  EXPECT_EQ(ScreenAt(30, 25), MakeColour(255, 255, 255));
  DeleteBrush(red);
  ReturnWindowDC(w, dc);
}

TEST_F(WindowTest, WindowContextFollowsTheWindowAcrossResizes) {
  Window w = Open(WinStyleVisible, 0, 0, 50, 50);
  DeviceContext* dc = AcquireWindowDC(w);
  ASSERT_NE(dc, nullptr);
  ASSERT_TRUE(PlaceWindow(w, 0, 0, 200, 150, true));
  const Seen size = Messages(w, MsgSize).back();
  EXPECT_EQ(LowWord(size.lParam), 200u);
  EXPECT_EQ(HighWord(size.lParam), 150u);
  Brush* blue = CreateSolidBrush(kBlue);
  const Rect all{0, 0, 200, 150};
  FillRect(dc, &all, blue);
  EXPECT_EQ(ScreenAt(199, 149), kBlue) << "the kept context draws into the new surface";
  DeleteBrush(blue);
  EXPECT_FALSE(ReturnWindowDC(Open(WinStyleVisible, 0, 0, 5, 5), dc)) << "not that window's";
  EXPECT_TRUE(ReturnWindowDC(w, dc));
  EXPECT_FALSE(ReturnWindowDC(w, dc));
}

TEST_F(WindowTest, ContextOfADestroyedWindowDrawsNothingAndCanStillBeReturned) {
  Window w = Open(WinStyleVisible, 0, 0, 50, 50);
  DeviceContext* dc = AcquireWindowDC(w);
  DisposeWindow(w);
  Pump();  // the record itself is freed here
  const Rect r{0, 0, 50, 50};
  FillRect(dc, &r, GetStockBrush(StockBlackBrush));
  EXPECT_TRUE(ReturnWindowDC(w, dc));
}

TEST_F(WindowTest, ResizeKeepsWhatFitsAndRepaintsByClassStyle) {
  WindowClassDescription plain{u"Plain", 0, RecordingProc, 0, GetStockBrush(StockWhiteBrush)};
  ASSERT_TRUE(AddWindowClass(&plain));
  WindowDescription desc{};
  desc.className = u"Plain";
  desc.style = WinStyleVisible;
  desc.width = 40;
  desc.height = 40;
  Window w = OpenWindow(&desc);
  Pump();
  FillClient(w, kGreen);
  PlaceWindow(w, 0, 0, 60, 40, false);
  Rect update{};
  ASSERT_TRUE(WindowUpdateRect(w, &update));
  EXPECT_TRUE(SameRect(update, Rect{40, 0, 60, 40})) << "only the uncovered strip";
  EXPECT_EQ(ScreenAt(39, 39), kGreen) << "the old picture is kept";

  Window redraw = Open(WinStyleVisible, 100, 100, 40, 40);  // class redraws on any change
  Pump();
  PlaceWindow(redraw, 100, 100, 40, 50, false);
  ASSERT_TRUE(WindowUpdateRect(redraw, &update));
  EXPECT_TRUE(SameRect(update, Rect{0, 0, 40, 50}));
}

TEST_F(WindowTest, WindowsAreComposedInZOrder) {
  Window back = Open(WinStyleVisible, 0, 0, 100, 100);
  Window front = Open(WinStyleVisible, 50, 50, 100, 100);
  Window child = Open(WinStyleChild | WinStyleVisible, 10, 10, 20, 20, back);
  Pump();
  FillClient(back, kRed);
  FillClient(front, kBlue);
  FillClient(child, kGreen);
  EXPECT_EQ(ScreenAt(60, 60), kBlue) << "the later window is in front";
  EXPECT_EQ(ScreenAt(15, 15), kGreen) << "a child over its parent";
  EXPECT_EQ(ScreenAt(200, 200), MakeColour(0x30, 0x30, 0x30)) << "no window: the desktop";

  ASSERT_TRUE(BringToFront(back));
  EXPECT_EQ(FrontWindow(), back);
  EXPECT_EQ(ScreenAt(60, 60), kRed);

  // A child is clipped to its parent.
  Window wide = Open(WinStyleChild | WinStyleVisible, 90, 0, 50, 10, back);
  FillClient(wide, kGreen);
  EXPECT_EQ(ScreenAt(95, 5), kGreen);
  EXPECT_EQ(ScreenAt(105, 5), MakeColour(0x30, 0x30, 0x30));
}

TEST_F(WindowTest, OwnedWindowStaysAboveItsOwner) {
  Window owner = Open(WinStyleVisible, 0, 0, 100, 100);
  Window owned = Open(WinStylePopup | WinStyleVisible, 20, 20, 40, 40, owner);
  Window other = Open(WinStyleVisible, 0, 0, 100, 100);
  Pump();
  FillClient(owner, kRed);
  FillClient(owned, kBlue);
  FillClient(other, kGreen);
  EXPECT_EQ(ScreenAt(30, 30), kGreen);
  BringToFront(owner);
  EXPECT_EQ(ScreenAt(30, 30), kBlue) << "the owned window comes forward with its owner";
  EXPECT_EQ(ScreenAt(10, 10), kRed);
}

TEST_F(WindowTest, ResizedScreenResizesFullScreenWindows) {
  Window full = OpenFull();
  Window small = Open(WinStyleVisible, 10, 10, 50, 50);
  Log().clear();
  ASSERT_TRUE(ResizeScreen(300, 500));
  EXPECT_EQ(SystemMetric(MetricScreenWidth), 300);
  EXPECT_EQ(SystemMetric(MetricScreenHeight), 500);
  const auto sizes = Messages(full, MsgSize);
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(LowWord(sizes[0].lParam), 300u);
  EXPECT_EQ(HighWord(sizes[0].lParam), 500u);
  EXPECT_TRUE(Messages(small, MsgSize).empty());
  const Surface* s = ScreenSurface();
  EXPECT_EQ(s->width, 300);
  EXPECT_EQ(s->height, 500);
  EXPECT_FALSE(ResizeScreen(10, 10)) << "below the smallest screen";
}

TEST_F(WindowTest, FrameTakesItsPlaceOutsideTheClient) {
  Window w = Open(WinStyleVisible | WinStyleCaption | WinStyleVScroll, 10, 20, 100, 80, nullptr, nullptr,
                  u"Title");
  Rect client{}, screen{};
  WindowClientRect(w, &client);
  WindowScreenRect(w, &screen);
  EXPECT_TRUE(SameRect(client, Rect{0, 0, 100 - 2 - kScrollBarWidth, 80 - 2 - kCaptionHeight}));
  EXPECT_TRUE(SameRect(screen, Rect{10, 20, 110, 100}));
  int32_t x = 0, y = 0;
  ASSERT_TRUE(ClientPointToScreen(w, &x, &y));
  EXPECT_EQ(x, 11);
  EXPECT_EQ(y, 21 + kCaptionHeight);
  EXPECT_EQ(WindowAtPoint(50, 60), w);
  EXPECT_EQ(WindowAtPoint(5, 5), nullptr);
  char16_t title[16];
  EXPECT_EQ(WindowTitle(w, title, 16), 5);
  EXPECT_EQ(FindTopLevelWindow(u"TEST WINDOW", u"Title"), w);
  EXPECT_EQ(FindTopLevelWindow(kClass, u"Other"), nullptr);
}

// ---- Focus, enabling and input ------------------------------------------------------------

TEST_F(WindowTest, KeysGoToTheFocusWindowWithTheirCharacters) {
  Window top = OpenFull();
  Window edit = Open(WinStyleChild | WinStyleVisible, 0, 0, 100, 30, top);
  Pump();
  EXPECT_EQ(SetFocusWindow(edit), top);
  EXPECT_EQ(Messages(top, MsgFocusLost).size(), 1u);
  EXPECT_EQ(Messages(edit, MsgFocusGained).at(0).wParam, reinterpret_cast<uintptr_t>(top));
  Log().clear();
  InputKey('A', true, 0, false);
  InputKey('A', false, 0, false);
  InputKey(KeyPageDown, true, 0, false);
  InputText(u"\u05e9\u05dc");
  Pump();
  EXPECT_TRUE(Numbers(top, {MsgKeyDown, MsgKeyUp, MsgChar}).empty());
  EXPECT_EQ(Numbers(edit, {MsgKeyDown, MsgKeyUp, MsgChar}),
            (Codes{MsgKeyDown, MsgChar, MsgKeyUp, MsgKeyDown, MsgChar, MsgChar}));
  const auto chars = Messages(edit, MsgChar);
  EXPECT_EQ(chars[0].wParam, u'a');
  EXPECT_EQ(chars[1].wParam, 0x5e9u);
  EXPECT_EQ(chars[2].wParam, 0x5dcu);
  EXPECT_EQ(Messages(edit, MsgKeyDown).at(1).wParam, KeyPageDown);
}

TEST_F(WindowTest, DisabledWindowsGetNoInput) {
  Window top = OpenFull();
  Window child = Open(WinStyleChild | WinStyleVisible, 0, 0, 100, 100, top);
  Pump();
  SetFocusWindow(child);
  Log().clear();
  EXPECT_TRUE(SetWindowEnabled(child, false));
  EXPECT_EQ(Messages(child, MsgEnable).at(0).wParam, 0u);
  EXPECT_EQ(FocusWindow(), nullptr) << "a disabled window loses the focus";
  EXPECT_EQ(SetFocusWindow(child), nullptr);
  EXPECT_EQ(FocusWindow(), nullptr) << "and cannot take it";
  InputStylusDown(50, 50);
  InputStylusUp(50, 50);
  InputKey('B', true, 0, false);
  Pump();
  EXPECT_TRUE(Numbers(child, {MsgStylusDown, MsgStylusUp, MsgKeyDown, MsgChar}).empty());
  EXPECT_EQ(Numbers(top, {MsgKeyDown}).size(), 1u) << "keys without a focus go to the active window";

  Log().clear();
  SetWindowEnabled(top, false);
  EXPECT_FALSE(WindowEnabled(child)) << "inside a disabled window";
  InputKey('C', true, 0, false);
  InputStylusDown(150, 150);
  Pump();
  EXPECT_TRUE(Numbers(nullptr, {MsgKeyDown, MsgStylusDown}).empty());
  EXPECT_FALSE(SetWindowEnabled(top, true));
  EXPECT_TRUE(WindowEnabled(top));
}

TEST_F(WindowTest, StylusGoesToTheWindowUnderItInClientCoordinates) {
  Window top = Open(WinStyleVisible | WinStyleCaption, 0, 0, 200, 200);
  Window child = Open(WinStyleChild | WinStyleVisible, 40, 50, 60, 60, top);
  Pump();
  Log().clear();
  const int32_t cx = 1 + 40, cy = 1 + kCaptionHeight + 50;  // the child's client on the screen
  InputStylusDown(cx + 5, cy + 7);
  InputStylusMove(cx - 10, cy + 100);  // off the child: it keeps the stylus
  InputStylusUp(cx - 10, cy + 100);
  Pump();
  EXPECT_EQ(Numbers(child), (Codes{MsgStylusDown, MsgStylusMove, MsgStylusUp}));
  const auto down = Messages(child, MsgStylusDown).at(0);
  EXPECT_EQ(SignedLowWord(down.lParam), 5);
  EXPECT_EQ(SignedHighWord(down.lParam), 7);
  EXPECT_EQ(down.wParam, StylusButtonDown);
  const auto move = Messages(child, MsgStylusMove).at(0);
  EXPECT_EQ(SignedLowWord(move.lParam), -10) << "signed 16 bits";
  EXPECT_EQ(SignedHighWord(move.lParam), 100);
  EXPECT_TRUE(Numbers(top, {MsgStylusDown, MsgStylusMove, MsgStylusUp}).empty());
}

TEST_F(WindowTest, TapOnAnotherWindowActivatesItByClick) {
  Window a = Open(WinStyleVisible, 0, 0, 100, 100);
  Window b = Open(WinStyleVisible, 120, 0, 100, 100);
  Pump();
  EXPECT_EQ(FrontWindow(), b);
  Log().clear();
  InputStylusDown(10, 10);
  InputStylusUp(10, 10);
  Pump();
  EXPECT_EQ(FrontWindow(), a);
  EXPECT_EQ(FocusWindow(), a);
  EXPECT_EQ(Messages(b, MsgActivate).at(0).wParam, ActivateOff);
  EXPECT_EQ(Messages(a, MsgActivate).at(0).wParam, ActivateByClick);
  EXPECT_EQ(Numbers(a, {MsgActivate, MsgFocusGained, MsgStylusDown, MsgStylusUp}),
            (Codes{MsgActivate, MsgFocusGained, MsgStylusDown, MsgStylusUp}));
}

TEST_F(WindowTest, KeyPressesBecomeCharacters) {
  Window w = OpenFull();
  Pump();
  struct Case {
    uint32_t key;
    uint32_t state;
    char16_t expected;  // 0: no character
  } cases[] = {
      {'A', 0, u'a'},           {'A', KeyStateShift, u'A'},   {'5', 0, u'5'},
      {'5', KeyStateShift, u'%'}, {KeySpace, 0, u' '},         {KeyEnter, 0, 13},
      {KeyBackspace, 0, 8},     {KeyEscape, 0, 27},           {'C', KeyStateControl, 3},
      {'A', KeyStateAlt, 0},    {KeyPageDown, 0, 0},          {KeyF1 + 2, 0, 0},
  };
  for (const Case& c : cases) {
    Log().clear();
    InputKey(c.key, true, c.state, false);
    Pump();
    const auto chars = Messages(w, MsgChar);
    if (c.expected == 0) {
      EXPECT_TRUE(chars.empty()) << "key " << c.key;
    } else {
      ASSERT_EQ(chars.size(), 1u) << "key " << c.key;
      EXPECT_EQ(chars[0].wParam, c.expected) << "key " << c.key;
    }
  }
  Message notKey{w, MsgKeyUp, 'A', 1, 0, 0, 0, 0};
  EXPECT_FALSE(PostCharacterMessage(&notKey));
  Message huge{w, MsgKeyDown, static_cast<uintptr_t>(-1), 1, 0, 0, 0, 0};
  EXPECT_FALSE(PostCharacterMessage(&huge));
}

// ---- Accelerators ---------------------------------------------------------------------------

TEST_F(WindowTest, AcceleratorsTurnKeysIntoCommands) {
  const AcceleratorEntry entries[] = {
      {AccelVirtualKey | AccelControl, 'D', 119},
      {AccelVirtualKey | AccelAlt, KeyF1 + 2, 116},
      {AccelVirtualKey, KeyF1 + 2, 117},
      {0, '?', 40004},  // a character entry
  };
  AcceleratorTable* table = MakeAcceleratorTable(entries, 4);
  ASSERT_NE(table, nullptr);
  Window w = OpenFull();
  Pump();
  struct Case {
    uint32_t key, state;
    int command;  // 0: none
  } cases[] = {
      {'D', KeyStateControl, 119}, {KeyF1 + 2, KeyStateAlt, 116},  {KeyF1 + 2, 0, 117},
      {'D', 0, 0},                 {'D', KeyStateControl | KeyStateShift, 0},
      {'/', KeyStateShift, 0},
  };
  for (const Case& c : cases) {
    Log().clear();
    InputKey(c.key, true, c.state, false);
    Message m;
    while (PollMessage(&m, nullptr, 0, 0, true)) {
      if (ApplyAccelerators(m.window, table, &m)) continue;
      PostCharacterMessage(&m);
      DeliverMessage(&m);
    }
    const auto commands = Messages(w, MsgCommand);
    if (c.command == 0) {
      EXPECT_TRUE(commands.empty()) << "key " << c.key;
      EXPECT_EQ(Messages(w, MsgKeyDown).size(), 1u);
    } else {
      ASSERT_EQ(commands.size(), 1u) << "key " << c.key;
      EXPECT_EQ(LowWord(commands[0].wParam), c.command);
      EXPECT_EQ(HighWord(commands[0].wParam), CommandFromAccelerator);
      EXPECT_TRUE(Messages(w, MsgKeyDown).empty()) << "the key is taken";
      EXPECT_TRUE(Messages(w, MsgChar).empty());
    }
  }
  Message ch{w, MsgChar, '?', 1, 0, 0, 0, 0};
  Log().clear();
  EXPECT_TRUE(ApplyAccelerators(w, table, &ch));
  EXPECT_EQ(LowWord(Messages(w, MsgCommand).at(0).wParam), 40004);
  SetWindowEnabled(w, false);
  Message key{w, MsgKeyDown, 'D', 1, 0, 0, 0, KeyStateControl};
  EXPECT_FALSE(ApplyAccelerators(w, table, &key)) << "a disabled window takes no commands";
  FreeAcceleratorTable(table);
}

TEST_F(WindowTest, AcceleratorTableFromResources) {
  // Ctrl+Q -> 40005, then F3 -> 117 marked last; one entry after it is ignored.
  static const uint8_t good[] = {0x09, 0, 'Q', 0, 0x45, 0x9C, 0, 0,  //
                                 0x81, 0, 114, 0, 117, 0, 0, 0,      //
                                 0x01, 0, 'X', 0, 1, 0, 0, 0};
  static const uint8_t noLast[] = {0x09, 0, 'Q', 0, 0x45, 0x9C, 0, 0};
  static const uint8_t badFlags[] = {0x89 | 0x40, 0, 'Q', 0, 0x45, 0x9C, 0, 0};
  static const uint8_t tooShort[] = {0x81, 0, 'Q', 0, 1};
  static const ResourceRecord table[] = {
      {ResTypeAccelerator, 3, good, sizeof good},
      {ResTypeAccelerator, 4, noLast, sizeof noLast},
      {ResTypeAccelerator, 5, badFlags, sizeof badFlags},
      {ResTypeAccelerator, 6, tooShort, sizeof tooShort},
  };
  RegisterResourceTable(table, 4);
  AcceleratorTable* t = LoadAcceleratorTable(3);
  EXPECT_EQ(LoadAcceleratorTable(4), nullptr) << "cut short";
  EXPECT_EQ(LoadAcceleratorTable(5), nullptr) << "unknown flag";
  EXPECT_EQ(LoadAcceleratorTable(6), nullptr) << "shorter than an entry";
  EXPECT_EQ(LoadAcceleratorTable(7), nullptr) << "missing";
  UnregisterResourceTable(table);
  ASSERT_NE(t, nullptr);
  Window w = OpenFull();
  Pump();
  Log().clear();
  const Message ctrlQ{w, MsgKeyDown, 'Q', 1, 0, 0, 0, KeyStateControl};
  const Message f3{w, MsgKeyDown, KeyF1 + 2, 1, 0, 0, 0, 0};
  const Message x{w, MsgKeyDown, 'X', 1, 0, 0, 0, 0};
  EXPECT_TRUE(ApplyAccelerators(w, t, &ctrlQ));
  EXPECT_TRUE(ApplyAccelerators(w, t, &f3));
  EXPECT_FALSE(ApplyAccelerators(w, t, &x));
  const auto commands = Messages(w, MsgCommand);
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(LowWord(commands[0].wParam), 40005);
  EXPECT_EQ(LowWord(commands[1].wParam), 117);
  FreeAcceleratorTable(t);
}

TEST_F(WindowTest, MainWindowCanBeNamed) {
  Window first = Open(WinStyleVisible, 0, 0, 10, 10);
  Window second = Open(WinStyleVisible, 0, 0, 10, 10);
  EXPECT_EQ(MainWindow(), first);
  SetMainWindow(second);
  EXPECT_EQ(MainWindow(), second);
  int notAWindow = 0;
  SetMainWindow(reinterpret_cast<Window>(&notAWindow));
  EXPECT_EQ(MainWindow(), second) << "a made-up handle is refused";
}

TEST_F(WindowTest, SystemMetricsDescribeScreenAndBars) {
  EXPECT_EQ(SystemMetric(MetricScreenWidth), 240);
  EXPECT_EQ(SystemMetric(MetricScreenHeight), 320);
  EXPECT_EQ(SystemMetric(MetricVScrollWidth), 16);
  EXPECT_EQ(SystemMetric(MetricVScrollArrowHeight), 16);
  EXPECT_EQ(SystemMetric(-1), 0);
  EXPECT_EQ(SystemMetric(999), 0);
}

}  // namespace
