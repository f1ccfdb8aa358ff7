// Message boxes drawn by the platform: the picture, the modal run over a
// disabled owner, the answers from keys and taps, and the behaviour without
// a screen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "window_test_util.h"

namespace {

using namespace plat;
using namespace wintest;

constexpr Colour kButtonFace = MakeColour(0xE2, 0xE2, 0xE2);

class MessageBoxTest : public ScreenTest {};

// A point on a button of the box in front: found by its face colour,
// searching up from the box's bottom edge at `x`.
bool ButtonPoint(int32_t x, int32_t* y) {
  Rect box{};
  if (!WindowScreenRect(FrontWindow(), &box)) return false;
  const Surface* s = ScreenSurface();
  for (int32_t row = box.bottom - 1; row > box.top; --row) {
    if (SurfacePixel(s, x, row) == kButtonFace) {
      *y = row - 3;
      return true;
    }
  }
  return false;
}

TEST_F(MessageBoxTest, BoxIsDrawnOverItsOwner) {
  const std::string actual = TempDir() + "/message_box.actual.png";
  StartWith("picture.txt", "screenshot " + actual + "\nkey Enter\n");
  Window main = OpenFull(WinStyleVisible | WinStyleVScroll);
  ScrollInfo bar{sizeof(ScrollInfo), ScrollMaskRange | ScrollMaskPos, 0, 40, 0, 12, 0};
  WriteScrollBar(main, ScrollBarVertical, &bar, true);
  Pump();
  const int32_t answer =
      ShowMessageBox(main, u"This article is bookmarked.\nRemove it from the list of bookmarks?",
                     u"Tovanel (Vowels)", MsgBoxYesNoCancel | MsgBoxIconWarning);
  EXPECT_EQ(answer, MsgAnswerYes) << "Enter answers the first button";

  ExpectMatchesGolden(actual, "message_box.png");
}

TEST_F(MessageBoxTest, OwnerIsDisabledWhileTheBoxIsUp) {
  StartWith("modal.txt", "tap 5 5\ncommand 555\nkey Escape\n");
  bool enabledDuring = true;
  Window frontOwnerDuring = nullptr;
  Window main = OpenFull(WinStyleVisible, [&](Window self, uint32_t msg, uintptr_t wp, intptr_t, intptr_t*) {
    if (msg == MsgCommand && wp == 555) {
      enabledDuring = WindowEnabled(self);
      frontOwnerDuring = WindowOwner(FrontWindow());
    }
    return false;
  });
  Pump();
  Log().clear();
  const int32_t answer = ShowMessageBox(main, u"Go on?", nullptr, MsgBoxOkCancel | MsgBoxIconQuestion);
  EXPECT_EQ(answer, MsgAnswerCancel);
  EXPECT_FALSE(enabledDuring);
  EXPECT_EQ(frontOwnerDuring, main) << "the box in front, owned by the window";
  EXPECT_TRUE(Messages(main, MsgStylusDown).empty()) << "the tap on the disabled owner went nowhere";
  const auto enables = Messages(main, MsgEnable);
  ASSERT_EQ(enables.size(), 2u);
  EXPECT_EQ(enables[0].wParam, 0u);
  EXPECT_EQ(enables[1].wParam, 1u);
  EXPECT_TRUE(WindowEnabled(main));
  EXPECT_EQ(FrontWindow(), main) << "the owner is active again";
  EXPECT_EQ(FocusWindow(), main);
  const auto shown = TakeShownMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].owner, main);
  EXPECT_EQ(shown[0].text, u"Go on?");
  EXPECT_TRUE(shown[0].caption.empty());
}

TEST_F(MessageBoxTest, KeysAnswerWithTheButtonsId) {
  struct Case {
    uint32_t flags;
    const char* script;
    int32_t answer;
  } cases[] = {
      {MsgBoxOk, "key Enter", MsgAnswerOk},
      {MsgBoxOk | MsgBoxIconError, "key Escape", MsgAnswerOk},
      {MsgBoxOkCancel, "key Escape", MsgAnswerCancel},
      {MsgBoxOkCancel | MsgBoxDefaultButton2, "key Enter", MsgAnswerCancel},
      {MsgBoxYesNo, "key Escape\nkey N", MsgAnswerNo},  // no Cancel: Escape does nothing
      {MsgBoxYesNo, "key Right\nkey Enter", MsgAnswerNo},
      {MsgBoxYesNoCancel, "key Y", MsgAnswerYes},
      {MsgBoxYesNoCancel, "key Left\nkey Enter", MsgAnswerCancel},
      {MsgBoxOkCancel, "key Y\nkey N\nkey Enter", MsgAnswerOk},  // no Yes or No here
  };
  for (const Case& c : cases) {
    StartWith("keys.txt", c.script);
    Window main = OpenFull();
    EXPECT_EQ(ShowMessageBox(main, u"Question", u"Caption", c.flags), c.answer) << c.script;
  }
}

TEST_F(MessageBoxTest, TapOnAButtonAnswersIt) {
  StartWith("tap.txt", "command 600\ncommand 601\n");
  bool found = false;
  Window main = OpenFull(WinStyleVisible, [&](Window, uint32_t msg, uintptr_t wp, intptr_t, intptr_t*) {
    if (msg != MsgCommand) return false;
    Rect box{};
    WindowScreenRect(FrontWindow(), &box);
    const int32_t x = box.right - 20;  // on the right-hand button
    int32_t y = 0;
    found = ButtonPoint(x, &y);
    if (found && wp == 600) {  // pressed on the button, let go off it: nothing
      InputStylusDown(x, y);
      InputStylusUp(x, box.top + 2);
    }
    if (found && wp == 601) {
      InputStylusDown(x, y);
      InputStylusUp(x, y);
    }
    return true;
  });
  EXPECT_EQ(ShowMessageBox(main, u"Keep it?", nullptr, MsgBoxYesNo), MsgAnswerNo);
  EXPECT_TRUE(found);
}

TEST_F(MessageBoxTest, BoxWithoutOwnerDisablesNothing) {
  StartWith("free.txt", "key Enter\n");
  Window main = OpenFull();
  EXPECT_EQ(ShowMessageBox(nullptr, u"Not Found!", u"Tovanel (Vowels)", MsgBoxOk), MsgAnswerOk);
  EXPECT_TRUE(Messages(main, MsgEnable).empty());
  EXPECT_EQ(FrontWindow(), main);
}

TEST_F(MessageBoxTest, BoxGoesUnansweredWhenItsOwnerIsDestroyed) {
  StartWith("gone.txt", "command 700\nkey Enter\n");
  Window main = OpenFull(WinStyleVisible, [](Window self, uint32_t msg, uintptr_t wp, intptr_t, intptr_t*) {
    if (msg == MsgCommand && wp == 700) DisposeWindow(self);
    return false;
  });
  EXPECT_EQ(ShowMessageBox(main, u"Question", nullptr, MsgBoxYesNo), 0);
  EXPECT_FALSE(IsLiveWindow(main));
  EXPECT_EQ(FrontWindow(), nullptr) << "the box went with its owner";
}

TEST_F(MessageBoxTest, ScriptEndingUnderTheBoxEndsTheRun) {
  StartWith("end.txt", "");
  const int32_t answer = ShowMessageBox(nullptr, u"Question", nullptr, MsgBoxYesNo);
  EXPECT_EQ(answer, 0) << "nobody answered";
  Message m{};
  ASSERT_TRUE(PollMessage(&m, nullptr, 0, 0, true));
  EXPECT_EQ(m.message, MsgQuit) << "the quit is handed on to the loop outside";
}

TEST_F(MessageBoxTest, AutoAnswerSkipsTheBox) {
  Window main = OpenFull();
  Pump();
  SetMessageBoxAutoAnswer(MsgAnswerNo);
  EXPECT_EQ(ShowMessageBox(main, u"Question", nullptr, MsgBoxYesNo), MsgAnswerNo);
  EXPECT_TRUE(Messages(main, MsgEnable).empty());
  EXPECT_EQ(TakeShownMessages().size(), 1u);
}

TEST(MessageBoxWithoutScreen, IsRecordedAndAnsweredAtOnce) {
  SetMessageBoxEcho(false);
  TakeShownMessages();
  struct Case {
    uint32_t flags;
    int32_t answer;
  } cases[] = {
      {MsgBoxOk, MsgAnswerOk},
      {MsgBoxOkCancel, MsgAnswerOk},
      {MsgBoxYesNo | MsgBoxIconQuestion, MsgAnswerYes},
      {MsgBoxYesNoCancel, MsgAnswerYes},
  };
  for (const Case& c : cases) EXPECT_EQ(ShowMessageBox(nullptr, u"Text", nullptr, c.flags), c.answer);
  const auto shown = TakeShownMessages();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[2].flags, MsgBoxYesNo | MsgBoxIconQuestion);
  EXPECT_TRUE(shown[0].caption.empty());
  EXPECT_EQ(shown[0].owner, nullptr);
}

}  // namespace
