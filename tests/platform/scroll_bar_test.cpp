// The platform's vertical scroll bar: range and position, the codes its
// arrows, page areas, thumb and the wheel send, and its picture.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "window_test_util.h"

namespace {

using namespace plat;
using namespace wintest;

// A 100 x 200 window at the screen's corner: its bar is x 84..100, the up
// arrow y 0..16, the down arrow y 184..200, the track between.
constexpr int32_t kBarX = 90;

struct Scroll {
  uint32_t code;
  int32_t pos;
};

std::vector<Scroll> Scrolls(Window w) {
  std::vector<Scroll> out;
  for (const Seen& s : Messages(w, MsgVScroll)) out.push_back({LowWord(s.wParam), SignedHighWord(s.wParam)});
  return out;
}

std::vector<uint32_t> Codes(Window w) {
  std::vector<uint32_t> out;
  for (const Scroll& s : Scrolls(w)) out.push_back(s.code);
  return out;
}

int32_t SetBar(Window w, uint32_t mask, int32_t min, int32_t max, uint32_t page, int32_t pos) {
  ScrollInfo info{sizeof(ScrollInfo), mask, min, max, page, pos, 0};
  return WriteScrollBar(w, ScrollBarVertical, &info, true);
}

class ScrollBarTest : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    w_ = Open(WinStyleVisible | WinStyleVScroll, 0, 0, 100, 200);
    ASSERT_NE(w_, nullptr);
    SetBar(w_, ScrollMaskAll, 0, 100, 10, 0);
    Pump();
    Log().clear();
  }
  // The thumb's top and bottom edge on the screen, found by its colour.
  std::pair<int32_t, int32_t> Thumb() {
    const Surface* s = ScreenSurface();
    int32_t top = -1, bottom = -1;
    for (int32_t y = 16; y < 184; ++y) {
      if (SurfacePixel(s, kBarX, y) != MakeColour(0xE8, 0xE8, 0xE8)) {
        if (top < 0) top = y;
        bottom = y + 1;
      }
    }
    return {top, bottom};
  }
  Window w_ = nullptr;
};

TEST_F(ScrollBarTest, ClicksSendTheirCodesAndEndScroll) {
  SetBar(w_, ScrollMaskPos, 0, 0, 0, 50);
  const auto [top, bottom] = Thumb();
  ASSERT_GT(top, 40);
  ASSERT_LT(bottom, 170);
  struct Case {
    int32_t y;
    uint32_t code;
  } cases[] = {
      {5, ScrollLineUp}, {195, ScrollLineDown}, {top - 5, ScrollPageUp}, {bottom + 5, ScrollPageDown},
  };
  for (const Case& c : cases) {
    Log().clear();
    Tap(kBarX, c.y);
    EXPECT_EQ(Codes(w_), (std::vector<uint32_t>{c.code, ScrollEnd})) << "y " << c.y;
  }
  Log().clear();
  Tap(50, 50);
  EXPECT_TRUE(Codes(w_).empty()) << "the client is not the bar";
  EXPECT_EQ(Messages(w_, MsgStylusDown).size(), 1u);
}

TEST_F(ScrollBarTest, DraggingTheThumbTracksThenSetsThePosition) {
  const auto [top, bottom] = Thumb();
  ASSERT_EQ(top, 16) << "position 0: the thumb at the track's top";
  const int32_t grab = top + 4;
  InputStylusDown(kBarX, grab);
  InputStylusMove(kBarX, grab + 76);  // half of the room the thumb has
  InputStylusMove(kBarX, grab + 76);  // no change: no message
  Pump();
  ScrollInfo info{sizeof(ScrollInfo), ScrollMaskPos | ScrollMaskTrackPos, 0, 0, 0, 0, 0};
  ASSERT_TRUE(ReadScrollBar(w_, ScrollBarVertical, &info));
  EXPECT_EQ(info.pos, 0) << "only the program moves the position";
  EXPECT_GE(info.trackPos, 45);
  EXPECT_LE(info.trackPos, 47);
  InputStylusMove(kBarX, 1000);  // past the end: the last position
  InputStylusUp(kBarX, 1000);
  Pump();
  const auto scrolls = Scrolls(w_);
  ASSERT_EQ(scrolls.size(), 4u);
  EXPECT_EQ(scrolls[0].code, ScrollThumbTrack);
  EXPECT_EQ(scrolls[0].pos, info.trackPos);
  EXPECT_EQ(scrolls[1].code, ScrollThumbTrack);
  EXPECT_EQ(scrolls[1].pos, 91) << "100 - page 10 + 1";
  EXPECT_EQ(scrolls[2].code, ScrollThumbPosition);
  EXPECT_EQ(scrolls[2].pos, 91);
  EXPECT_EQ(scrolls[3].code, ScrollEnd);
}

TEST_F(ScrollBarTest, ThumbPositionIsSignedSixteenBitsInTheHighWord) {
  SetBar(w_, ScrollMaskAll, -50, 50, 0, -50);
  const auto [top, bottom] = Thumb();
  InputStylusDown(kBarX, top + 1);
  InputStylusUp(kBarX, top + 1);
  Pump();
  const auto scrolls = Scrolls(w_);
  ASSERT_EQ(scrolls.size(), 2u);
  EXPECT_EQ(scrolls[0].code, ScrollThumbPosition) << "a tap on the thumb without a drag";
  EXPECT_EQ(scrolls[0].pos, -50);
}

TEST_F(ScrollBarTest, WheelSendsLineSteps) {
  InputWheel(50, 50, 2);
  InputWheel(50, 50, -1);
  Pump();
  EXPECT_EQ(Codes(w_), (std::vector<uint32_t>{ScrollLineUp, ScrollLineUp, ScrollLineDown}));

  // A child without a bar hands the wheel to its parent.
  Window child = Open(WinStyleChild | WinStyleVisible, 0, 0, 40, 40, w_);
  Log().clear();
  InputWheel(10, 10, -1);
  Pump();
  EXPECT_EQ(Messages(child, MsgWheel).size(), 1u);
  EXPECT_EQ(Codes(w_), (std::vector<uint32_t>{ScrollLineDown}));
}

TEST_F(ScrollBarTest, EmptyRangeDisablesTheBar) {
  SetBar(w_, ScrollMaskRange | ScrollMaskPos, 0, 0, 0, 0);
  EXPECT_EQ(Thumb().first, -1) << "no thumb";
  for (int32_t y : {5, 100, 195}) Tap(kBarX, y);
  InputWheel(50, 50, 1);
  Pump();
  EXPECT_TRUE(Codes(w_).empty());
  SetBar(w_, ScrollMaskRange | ScrollMaskPage, 0, 9, 10, 0);  // a page covering everything
  Tap(kBarX, 5);
  EXPECT_TRUE(Codes(w_).empty());
}

TEST_F(ScrollBarTest, WritingClampsAndReturnsThePosition) {
  struct Case {
    uint32_t mask;
    int32_t min, max;
    uint32_t page;
    int32_t pos;
    int32_t wantPos;
    uint32_t wantPage;
  } cases[] = {
      {ScrollMaskAll, 0, 100, 10, 50, 50, 10},
      {ScrollMaskAll, 0, 100, 10, 200, 91, 10},      // past the last page start
      {ScrollMaskAll, 0, 100, 10, -5, 0, 10},
      {ScrollMaskAll, 0, 100, 500, 7, 0, 101},       // the page is at most the range
      {ScrollMaskAll, 0, 100, 0, 100, 100, 0},       // without a page the last value counts
      {ScrollMaskAll, 10, 5, 0, 3, 10, 0},           // max below min: an empty range at min
      {ScrollMaskRange | ScrollMaskPos, 0, 30, 99, 30, 30, 0},  // page not named: unchanged (0)
  };
  for (const Case& c : cases) {
    SetBar(w_, ScrollMaskAll, 0, 100, 0, 0);
    EXPECT_EQ(SetBar(w_, c.mask, c.min, c.max, c.page, c.pos), c.wantPos) << c.pos;
    ScrollInfo info{sizeof(ScrollInfo), ScrollMaskAll, -1, -1, 99, -1, -1};
    ASSERT_TRUE(ReadScrollBar(w_, ScrollBarVertical, &info));
    EXPECT_EQ(info.pos, c.wantPos);
    EXPECT_EQ(info.page, c.wantPage);
    EXPECT_EQ(info.trackPos, c.wantPos);
  }
  ScrollInfo small{sizeof(ScrollInfo) - 4, ScrollMaskPos, 0, 0, 0, 77, 0};
  EXPECT_EQ(WriteScrollBar(w_, ScrollBarVertical, &small, true), 0) << "a record too small";
  EXPECT_EQ(WriteScrollBar(w_, 0, nullptr, true), 0);
  ScrollInfo read{sizeof(ScrollInfo), ScrollMaskPos, 0, 0, 0, 0, 0};
  EXPECT_FALSE(ReadScrollBar(w_, 0, &read)) << "only the vertical bar exists";
}

TEST_F(ScrollBarTest, ExtremeRangesStayDefined) {
  struct Case {
    int32_t min, max;
    uint32_t page;
    int32_t pos, wantPos;
  } cases[] = {
      {INT32_MIN, INT32_MAX, 0, 0, 0},
      {INT32_MIN, INT32_MAX, UINT32_MAX, 0, INT32_MIN + 1},  // the page leaves two positions
      {INT32_MIN, INT32_MIN + 1, 1, INT32_MAX, INT32_MIN + 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SetBar(w_, ScrollMaskAll, c.min, c.max, c.page, c.pos), c.wantPos);
    ASSERT_NE(ScreenSurface(), nullptr);  // drawn
    const auto [top, bottom] = Thumb();
    ASSERT_GE(top, 16);
    InputStylusDown(kBarX, top);
    InputStylusMove(kBarX, 183);
    InputStylusUp(kBarX, 183);
    Tap(kBarX, 100);
    Pump();
  }
  EXPECT_FALSE(Codes(w_).empty());
}

TEST_F(ScrollBarTest, SettingThePositionRedrawsTheBar) {
  const auto before = Thumb();
  Rect changed{};
  TakeScreenChange(&changed);
  SetBar(w_, ScrollMaskPos, 0, 0, 0, 91);
  ASSERT_TRUE(TakeScreenChange(&changed));
  EXPECT_GE(changed.left, 84) << "only the bar changed";
  EXPECT_LE(changed.right, 100);
  const auto after = Thumb();
  EXPECT_EQ(after.second, 184) << "the last position: the thumb at the track's bottom";
  EXPECT_EQ(after.second - after.first, before.second - before.first);
}

TEST_F(ScrollBarTest, WindowWithoutABarGetsOneWhenThereIsSomethingToScroll) {
  Window plain = Open(WinStyleVisible, 0, 0, 100, 100);
  ScrollInfo info{sizeof(ScrollInfo), ScrollMaskPos, 0, 0, 0, 0, 0};
  EXPECT_FALSE(ReadScrollBar(plain, ScrollBarVertical, &info));
  SetBar(plain, ScrollMaskRange | ScrollMaskPos, 0, 0, 0, 0);
  EXPECT_FALSE(WindowStyleBits(plain) & WinStyleVScroll) << "nothing to scroll yet";
  Log().clear();
  SetBar(plain, ScrollMaskRange | ScrollMaskPos, 0, 20, 0, 3);
  EXPECT_TRUE(WindowStyleBits(plain) & WinStyleVScroll);
  const auto sizes = Messages(plain, MsgSize);
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(LowWord(sizes[0].lParam), 100u - kScrollBarWidth);
  EXPECT_TRUE(ReadScrollBar(plain, ScrollBarVertical, &info));
  EXPECT_EQ(info.pos, 3);
}

}  // namespace
