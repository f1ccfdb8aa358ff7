// Dialogs from templates: template bytes in and out (and every malformed
// kind), the modal run over a disabled owner, nesting, the caption's OK
// button, items by id, radio groups, owner-drawn buttons, and the picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/resources.h"
#include "window_test_util.h"

namespace {

using namespace plat;
using namespace wintest;

// The dialog procedure of the running test.
std::function<intptr_t(Window, uint32_t, uintptr_t, intptr_t)>& TestProc() {
  static std::function<intptr_t(Window, uint32_t, uintptr_t, intptr_t)> f;
  return f;
}
intptr_t Trampoline(Window w, uint32_t m, uintptr_t wp, intptr_t lp) {
  return TestProc() ? TestProc()(w, m, wp, lp) : 0;
}

constexpr uint32_t kCaptioned = 0x90C80840;  // popup, visible, caption, system menu, centre, font
constexpr uint32_t kChild = WinStyleChild | WinStyleVisible;

DialogItemTemplate Item(uint16_t code, uint16_t id, uint32_t style, int16_t x, int16_t y, int16_t cx, int16_t cy,
                        std::u16string text = u"", uint16_t resource = 0) {
  return DialogItemTemplate{kChild | style, 0, x, y, cx, cy, id, code, u"", resource, std::move(text)};
}

DialogTemplate Template(std::vector<DialogItemTemplate> items, uint32_t exStyle = DlgExCaptionOk) {
  return DialogTemplate{kCaptioned, exStyle, 0, 0, 126, 131, u"Tovanel (Vowels)", 8, u"System", std::move(items)};
}

// A 24 x 16 one-bit picture: a frame and a diagonal.
std::vector<uint8_t> Picture() {
  std::vector<uint8_t> b(40 + 8 + 16 * 4, 0);
  auto put32 = [&](std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(0, 40);
  put32(4, 24);
  put32(8, 16);
  b[12] = 1;
  b[14] = 1;
  put32(32, 2);
  b[44] = b[45] = b[46] = 0xFF;  // colour 1: white; colour 0: black
  for (int32_t row = 0; row < 16; ++row) {
    for (int32_t x = 0; x < 24; ++x) {
      const bool ink = row == 0 || row == 15 || x == 0 || x == 23 || x == row + 4;
      if (!ink) b[48 + row * 4 + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  return b;
}

class DialogTest : public ScreenTest {
 protected:
  void TearDown() override {
    TestProc() = nullptr;
    ScreenTest::TearDown();
  }
};

// ---- Template bytes ----------------------------------------------------------------

DialogTemplate EveryKind() {
  return Template({Item(DlgClassStatic, kNoControlId, StaticCenter | StaticNoPrefix, 7, 7, 112, 8, u"Search"),
                   Item(DlgClassEdit, 1013, 0x00810082, 7, 21, 112, 43),
                   Item(DlgClassStatic, kNoControlId, StaticBitmap, 7, 71, 154, 95, u"", 119),
                   DialogItemTemplate{kChild, 0, 1, 2, 3, 4, 77, 0, u"Custom", 0, u"named class"}});
}

TEST(DialogTemplateBytes, RoundTrip) {
  const DialogTemplate t = EveryKind();
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(EncodeDialogTemplate(t, &bytes));
  DialogTemplate back;
  ASSERT_EQ(DecodeDialogTemplate(bytes.data(), bytes.size(), &back), DlgTemplateOk);
  EXPECT_EQ(back.style, t.style);
  EXPECT_EQ(back.exStyle, t.exStyle);
  EXPECT_EQ(back.caption, t.caption);
  EXPECT_EQ(back.fontName, u"System");
  EXPECT_EQ(back.pointSize, 8);
  ASSERT_EQ(back.items.size(), t.items.size());
  for (std::size_t i = 0; i < t.items.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(back.items[i].id, t.items[i].id);
    EXPECT_EQ(back.items[i].classCode, t.items[i].classCode);
    EXPECT_EQ(back.items[i].className, t.items[i].className);
    EXPECT_EQ(back.items[i].text, t.items[i].text);
    EXPECT_EQ(back.items[i].textResource, t.items[i].textResource);
    EXPECT_EQ(back.items[i].style, t.items[i].style);
    EXPECT_EQ(back.items[i].cx, t.items[i].cx);
  }
}

TEST(DialogTemplateBytes, EveryShortenedTemplateIsTruncated) {
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(EncodeDialogTemplate(EveryKind(), &bytes));
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    // A copy of exactly n bytes, so that the sanitiser sees any read past it.
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    DialogTemplate t;
    t.caption = u"stale";
    EXPECT_EQ(DecodeDialogTemplate(cut.data(), cut.size(), &t), DlgTemplateTruncated) << n;
    EXPECT_TRUE(t.caption.empty() && t.items.empty()) << "a failed decode leaves an empty template";
  }
}

TEST(DialogTemplateBytes, MalformedKinds) {
  std::vector<uint8_t> good;
  ASSERT_TRUE(EncodeDialogTemplate(Template({Item(DlgClassButton, 1, 0, 0, 0, 10, 10, u"B")}), &good));
  const std::size_t itemAt = good.size() - (4 + 4 + 8 + 2 + 4 + 4);  // the one item's first byte
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>*)> spoil;
    DialogTemplateError expected;
  } cases[] = {
      {"trailing byte", [](auto* b) { b->push_back(0); }, DlgTemplateTrailingBytes},
      {"item count 256", [](auto* b) { (*b)[8] = 0; (*b)[9] = 1; }, DlgTemplateTooManyItems},
      {"item count 2 with one item", [](auto* b) { (*b)[8] = 2; }, DlgTemplateTruncated},
      {"negative width", [](auto* b) { (*b)[15] = 0x80; }, DlgTemplateBadSize},
      {"negative item height", [&](auto* b) { (*b)[itemAt + 15] = 0xFF; }, DlgTemplateBadSize},
      {"class code 0x84", [&](auto* b) { (*b)[itemAt + 20] = 0x84; }, DlgTemplateBadClass},
      {"caption without its end",
       [](auto* b) { b->resize(18); for (int i = 0; i < 8; ++i) { b->push_back('x'); b->push_back(0); } },
       DlgTemplateTruncated},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> b = good;
    c.spoil(&b);
    DialogTemplate t;
    EXPECT_EQ(DecodeDialogTemplate(b.data(), b.size(), &t), c.expected) << c.what;
  }
  std::vector<uint8_t> longCaption(good.begin(), good.begin() + 18);
  for (int i = 0; i <= kMaxDialogString; ++i) {
    longCaption.push_back('x');
    longCaption.push_back(0);
  }
  longCaption.push_back(0);
  longCaption.push_back(0);
  DialogTemplate t;
  EXPECT_EQ(DecodeDialogTemplate(longCaption.data(), longCaption.size(), &t), DlgTemplateStringTooLong);
  EXPECT_EQ(DecodeDialogTemplate(nullptr, 10, &t), DlgTemplateTruncated);
}

// ---- Running -----------------------------------------------------------------------

TEST_F(DialogTest, InitGetsTheParameterOwnerIsDisabledAndEndReturnsTheValue) {
  Window main = OpenFull();
  Pump();
  intptr_t seenParam = 0;
  bool ownerEnabledDuring = true, destroyed = false;
  TestProc() = [&](Window w, uint32_t m, uintptr_t, intptr_t lp) -> intptr_t {
    if (m == MsgInitDialog) {
      seenParam = lp;
      ownerEnabledDuring = WindowEnabled(main);
      PostToWindow(w, MsgUser, 0, 0);
      return 1;
    }
    if (m == MsgUser) EndDialog(w, 42);
    if (m == MsgDestroy) destroyed = true;
    return 0;
  };
  const DialogTemplate t = Template({});
  EXPECT_EQ(RunDialog(&t, main, Trampoline, 1234), 42);
  EXPECT_EQ(seenParam, 1234);
  EXPECT_FALSE(ownerEnabledDuring);
  EXPECT_TRUE(WindowEnabled(main));
  EXPECT_TRUE(destroyed);
}

TEST_F(DialogTest, CaptionOkEscapeAndCloseSendTheirCommands) {
  Window main = OpenFull();
  Pump();
  struct Case {
    const char* what;
    std::function<void(Window)> act;
    intptr_t expected;
  } cases[] = {
      {"tap on the caption's OK",
       [](Window w) {
         Rect r{};
         WindowScreenRect(w, &r);
         InputStylusDown(r.right - 10, r.top + 12);
         InputStylusUp(r.right - 10, r.top + 12);
       },
       CommandOk},
      {"Escape", [](Window) { InputKey(KeyEscape, true, 0, false); }, CommandCancel},
      {"close", [](Window w) { PostToWindow(w, MsgClose, 0, 0); }, CommandCancel},
  };
  for (const Case& c : cases) {
    TestProc() = [&](Window w, uint32_t m, uintptr_t wp, intptr_t) -> intptr_t {
      if (m == MsgInitDialog) PostToWindow(w, MsgUser, 0, 0);
      if (m == MsgUser) c.act(w);
      if (m == MsgCommand) EndDialog(w, LowWord(wp));
      return m == MsgCommand;
    };
    const DialogTemplate t = Template({});
    EXPECT_EQ(RunDialog(&t, main, Trampoline, 0), c.expected) << c.what;
  }
}

TEST_F(DialogTest, TapOnTheCaptionBesideOkSendsNothing) {
  Window main = OpenFull();
  Pump();
  TestProc() = [&](Window w, uint32_t m, uintptr_t wp, intptr_t) -> intptr_t {
    if (m == MsgInitDialog) PostToWindow(w, MsgUser, 0, 0);
    if (m == MsgUser) {
      Rect r{};
      WindowScreenRect(w, &r);
      InputStylusDown(r.left + 20, r.top + 12);
      InputStylusUp(r.left + 20, r.top + 12);
      PostToWindow(w, MsgUser + 1, 0, 0);
    }
    if (m == MsgUser + 1) EndDialog(w, 99);
    if (m == MsgCommand) EndDialog(w, LowWord(wp));
    return 0;
  };
  const DialogTemplate t = Template({});
  EXPECT_EQ(RunDialog(&t, main, Trampoline, 0), 99);
}

TEST_F(DialogTest, DialogsNest) {
  Window main = OpenFull();
  Pump();
  bool outerEnabledDuringInner = true;
  static Window outer = nullptr;
  TestProc() = [&](Window w, uint32_t m, uintptr_t, intptr_t lp) -> intptr_t {
    if (m == MsgInitDialog && lp == 1) {
      outer = w;
      PostToWindow(w, MsgUser, 0, 0);
    } else if (m == MsgInitDialog && lp == 2) {
      outerEnabledDuringInner = WindowEnabled(outer);
      EndDialog(w, 5);
    } else if (m == MsgUser) {
      const DialogTemplate inner = Template({});
      const intptr_t r = RunDialog(&inner, w, Trampoline, 2);
      EXPECT_TRUE(WindowEnabled(w));
      EndDialog(w, r + 1);
    }
    return 0;
  };
  const DialogTemplate t = Template({});
  EXPECT_EQ(RunDialog(&t, main, Trampoline, 1), 6);
  EXPECT_FALSE(outerEnabledDuringInner);
}

TEST_F(DialogTest, QuitEndsTheDialogWithZeroAndIsHandedOn) {
  Window main = OpenFull();
  Pump();
  bool destroyed = false;
  TestProc() = [&](Window, uint32_t m, uintptr_t, intptr_t) -> intptr_t {
    if (m == MsgInitDialog) RequestQuit(3);
    if (m == MsgDestroy) destroyed = true;
    return 0;
  };
  const DialogTemplate t = Template({});
  EXPECT_EQ(RunDialog(&t, main, Trampoline, 0), 0);
  EXPECT_TRUE(destroyed);
  EXPECT_TRUE(WindowEnabled(main));
  EXPECT_EQ(RunLoop(), 3) << "the quit is handed on to the loop outside, with its code";
}

TEST_F(DialogTest, BadTemplatesAndMissingResourcesFail) {
  DialogTemplate t = Template({Item(0x99, 1, 0, 0, 0, 5, 5)});
  EXPECT_EQ(RunDialog(&t, nullptr, Trampoline, 0), -1);
  EXPECT_EQ(RunDialog(nullptr, nullptr, Trampoline, 0), -1);
  const uint8_t junk[] = {1, 2, 3};
  EXPECT_EQ(RunDialogFromBytes(junk, sizeof junk, nullptr, Trampoline, 0), -1);
  EXPECT_EQ(RunDialogResource(60000, nullptr, Trampoline, 0), -1);
}

TEST_F(DialogTest, ItemsByIdTextsAndUnits) {
  const uint32_t units = DialogBaseUnits();
  EXPECT_GT(LowWord(units), 3);
  EXPECT_GT(HighWord(units), LowWord(units));
  TestProc() = [&](Window w, uint32_t m, uintptr_t, intptr_t) -> intptr_t {
    if (m != MsgInitDialog) return 0;
    int32_t bx = 0, by = 0;
    EXPECT_TRUE(DialogUnits(w, &bx, &by));
    EXPECT_EQ(static_cast<uint32_t>(PackWords(bx, by)), units) << "System 8 point";
    Window item = DialogItem(w, 1004);
    EXPECT_NE(item, nullptr);
    EXPECT_EQ(DialogItemId(item), 1004u);
    Rect r{};
    WindowScreenRect(item, &r);
    EXPECT_EQ(r.right - r.left, 29 * bx / 4);
    EXPECT_EQ(r.bottom - r.top, 10 * by / 8);
    EXPECT_EQ(DialogItem(w, 4321), nullptr);
    char16_t buf[8];
    EXPECT_EQ(ItemText(w, 1004, buf, 8), 3);
    EXPECT_EQ(std::u16string(buf), u"224");
    EXPECT_TRUE(SetItemText(w, 1004, u"Unicode"));
    EXPECT_EQ(ItemText(w, 1004, buf, 4), 3) << "cut to the buffer";
    EXPECT_EQ(std::u16string(buf), u"Uni");
    EXPECT_EQ(SendItemMessage(w, 1004, MsgGetTextLength, 0, 0), 7);
    EXPECT_EQ(ItemText(w, 4321, buf, 8), 0);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(SendItemMessage(w, 1004, MsgGetFont, 0, 0), reinterpret_cast<intptr_t>(DialogFont(w)));
    EndDialog(w, 1);
    return 0;
  };
  const DialogTemplate t = Template({Item(DlgClassButton, 1004, ButtonAutoRadio, 116, 19, 29, 10, u"224")});
  EXPECT_EQ(RunDialog(&t, nullptr, Trampoline, 0), 1);
  EXPECT_FALSE(DialogUnits(nullptr, nullptr, nullptr));
}

// ---- Buttons ---------------------------------------------------------------------------

TEST_F(DialogTest, AutomaticRadioButtonsKeepOneCheckedPerGroup) {
  // Group A: 11, 12, 13; a static starts group B: 21, 22.
  const DialogTemplate t = Template({
      Item(DlgClassButton, 11, ButtonAutoRadio | WinStyleGroup, 7, 7, 60, 10, u"a1"),
      Item(DlgClassButton, 12, ButtonAutoRadio, 7, 19, 60, 10, u"a2"),
      Item(DlgClassButton, 13, ButtonAutoRadio, 7, 31, 60, 10, u"a3"),
      Item(DlgClassStatic, kNoControlId, WinStyleGroup, 7, 43, 60, 8, u"B"),
      Item(DlgClassButton, 21, ButtonAutoRadio | WinStyleGroup, 7, 55, 60, 10, u"b1"),
      Item(DlgClassButton, 22, ButtonAutoRadio, 7, 67, 60, 10, u"b2"),
  });
  struct Case {
    std::vector<uint16_t> clicks;
    std::vector<uint16_t> checked;  // of 11, 12, 13, 21, 22
  } cases[] = {
      {{}, {}},
      {{12}, {12}},
      {{12, 13}, {13}},
      {{11, 21}, {11, 21}},
      {{21, 13, 22, 11}, {11, 22}},
  };
  for (const Case& c : cases) {
    std::vector<uint16_t> notified;
    TestProc() = [&](Window w, uint32_t m, uintptr_t wp, intptr_t) -> intptr_t {
      if (m == MsgCommand && HighWord(wp) == NotifyButtonClicked) notified.push_back(LowWord(wp));
      if (m != MsgInitDialog) return 0;
      for (uint16_t id : c.clicks) SendItemMessage(w, id, MsgButtonClick, 0, 0);
      std::vector<uint16_t> checked;
      for (uint16_t id : {11, 12, 13, 21, 22})
        if (SendItemMessage(w, id, MsgButtonGetCheck, 0, 0)) checked.push_back(id);
      EXPECT_EQ(checked, c.checked);
      EndDialog(w, 1);
      return 0;
    };
    RunDialog(&t, nullptr, Trampoline, 0);
    EXPECT_EQ(notified, c.clicks);
  }
}

TEST_F(DialogTest, SetCheckLeavesTheGroupAloneAndPushButtonsHaveNoCheck) {
  const DialogTemplate t = Template({
      Item(DlgClassButton, 11, ButtonAutoRadio | WinStyleGroup, 7, 7, 60, 10, u"a1"),
      Item(DlgClassButton, 12, ButtonAutoRadio, 7, 19, 60, 10, u"a2"),
      Item(DlgClassButton, 30, ButtonPush, 7, 31, 60, 14, u"Push"),
  });
  TestProc() = [&](Window w, uint32_t m, uintptr_t, intptr_t) -> intptr_t {
    if (m != MsgInitDialog) return 0;
    SendItemMessage(w, 11, MsgButtonSetCheck, 1, 0);
    SendItemMessage(w, 12, MsgButtonSetCheck, 1, 0);
    EXPECT_EQ(SendItemMessage(w, 11, MsgButtonGetCheck, 0, 0), 1) << "setting is not clicking";
    EXPECT_EQ(SendItemMessage(w, 12, MsgButtonGetCheck, 0, 0), 1);
    SendItemMessage(w, 30, MsgButtonSetCheck, 1, 0);
    EXPECT_EQ(SendItemMessage(w, 30, MsgButtonGetCheck, 0, 0), 0);
    EndDialog(w, 1);
    return 0;
  };
  EXPECT_EQ(RunDialog(&t, nullptr, Trampoline, 0), 1);
}

TEST_F(DialogTest, OwnerDrawnButtonIsDrawnByTheDialogAndTapsNotify) {
  const DialogTemplate t = Template({Item(DlgClassButton, 1025, ButtonOwnerDraw | WinStyleTabStop, 7, 58, 100, 8, u"link")});
  std::vector<DrawItemInfo> drawn;
  std::vector<uintptr_t> commands;
  TestProc() = [&](Window w, uint32_t m, uintptr_t wp, intptr_t lp) -> intptr_t {
    if (m == MsgInitDialog) PostToWindow(w, MsgUser, 0, 0);
    if (m == MsgDrawItem) {
      EXPECT_EQ(wp, 1025u);
      drawn.push_back(*reinterpret_cast<DrawItemInfo*>(lp));
    }
    if (m == MsgUser) {
      PaintNow(DialogItem(w, 1025));
      Rect r{};
      WindowScreenRect(DialogItem(w, 1025), &r);
      InputStylusDown(r.left + 2, r.top + 2);
      InputStylusUp(r.left + 2, r.top + 2);
    }
    if (m == MsgCommand) {
      commands.push_back(wp);
      EndDialog(w, 1);
    }
    return m == MsgDrawItem;
  };
  EXPECT_EQ(RunDialog(&t, nullptr, Trampoline, 0), 1);
  ASSERT_FALSE(drawn.empty());
  EXPECT_EQ(drawn[0].kind, DrawItemButton);
  EXPECT_EQ(drawn[0].controlId, 1025u);
  EXPECT_EQ(drawn[0].action, DrawItemEntire);
  EXPECT_NE(drawn[0].dc, nullptr);
  EXPECT_GT(drawn[0].rect.right, 0);
  EXPECT_EQ(commands, std::vector<uintptr_t>{1025u}) << "the click, notification 0";
}

// ---- The picture ---------------------------------------------------------------------

TEST_F(DialogTest, PictureOfEveryControlKind) {
  static const std::vector<uint8_t> picture = Picture();
  static const ResourceRecord table[] = {{ResTypeBitmap, 913, picture.data(), static_cast<uint32_t>(picture.size())}};
  RegisterResourceTable(table, 1);
  Window main = OpenFull();
  Pump();
  const std::string actual = TempDir() + "/dialog.actual.png";
  const DialogTemplate t = Template({
      Item(DlgClassStatic, kNoControlId, StaticCenter | StaticNoPrefix, 7, 7, 112, 8, u"Search & find"),
      Item(DlgClassStatic, kNoControlId, StaticLeft, 7, 19, 70, 8, u"Version 1.84a"),
      Item(DlgClassStatic, kNoControlId, StaticBitmap, 88, 19, 47, 20, u"", 913),
      Item(DlgClassButton, 1004, ButtonAutoRadio | WinStyleGroup, 7, 36, 40, 10, u"224"),
      Item(DlgClassButton, 1005, ButtonAutoRadio, 7, 48, 40, 10, u"5D0"),
      Item(DlgClassButton, 1007, ButtonAutoCheckBox | WinStyleGroup, 60, 36, 60, 10, u"Reverse"),
      Item(DlgClassButton, 1008, ButtonPush | WinStyleTabStop, 7, 64, 50, 14, u"&Apply"),
      Item(DlgClassButton, 1025, ButtonOwnerDraw, 7, 86, 100, 8, u"www.example.org"),
  });
  TestProc() = [&](Window w, uint32_t m, uintptr_t, intptr_t lp) -> intptr_t {
    if (m == MsgInitDialog) {
      SendItemMessage(w, 1005, MsgButtonClick, 0, 0);
      SendItemMessage(w, 1007, MsgButtonClick, 0, 0);
      PostToWindow(w, MsgUser, 0, 0);
      return 0;
    }
    if (m == MsgDrawItem) {
      auto* d = reinterpret_cast<DrawItemInfo*>(lp);
      char16_t text[100];
      ItemText(w, d->controlId, text, 100);
      SetTextColour(d->dc, MakeColour(0, 0, 255));
      SetBackMode(d->dc, BackTransparent);
      FillRect(d->dc, &d->rect, GetStockBrush(StockWhiteBrush));
      DrawTextInRect(d->dc, text, -1, &d->rect, DtLeft | DtSingleLine | DtNoPrefix);
      return 1;
    }
    if (m == MsgUser) {
      Pump();
      EXPECT_TRUE(WriteScreenshot(actual.c_str()));
      EndDialog(w, 1);
    }
    return 0;
  };
  EXPECT_EQ(RunDialog(&t, main, Trampoline, 0), 1);
  UnregisterResourceTable(table);

  ExpectMatchesGolden(actual, "dialog.png");
}

}  // namespace
