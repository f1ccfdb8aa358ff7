// Edits and list boxes: selection and replacement with the limit and undo,
// typing and the input method, sorting and selection by prefix, item text,
// taps, keys and the bar, notifications, and a dialog holding both.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/dialog.h"
#include "window_test_util.h"

namespace {

using namespace plat;
using namespace wintest;

constexpr uint32_t kChild = WinStyleChild | WinStyleVisible;

class ControlTest : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    ASSERT_TRUE(EnsureControlClasses());
    parent_ = OpenFull();
    ASSERT_NE(parent_, nullptr);
  }

  Window Make(const char16_t* cls, uint32_t style, uint32_t id, const char16_t* text = u"", int32_t w = 120,
              int32_t h = 24) {
    WindowDescription desc{};
    desc.className = cls;
    desc.title = text;
    desc.style = kChild | style;
    desc.x = 10;
    desc.y = 10;
    desc.width = w;
    desc.height = h;
    desc.parent = parent_;
    desc.id = id;
    return OpenWindow(&desc);
  }

  // The notification codes the parent received from control `id`.
  std::vector<uint16_t> Notes(uint32_t id) {
    std::vector<uint16_t> out;
    for (const Seen& s : Messages(parent_, MsgCommand)) {
      if (LowWord(s.wParam) == id) out.push_back(HighWord(s.wParam));
    }
    return out;
  }

  static std::u16string Text(Window w) {
    char16_t buffer[kEditMaxText + 1];
    const intptr_t n = SendToWindow(w, MsgGetText, kEditMaxText + 1, reinterpret_cast<intptr_t>(buffer));
    return std::u16string(buffer, static_cast<std::size_t>(n));
  }
  static std::pair<int32_t, int32_t> Selection(Window w) {
    int32_t a = -7, b = -7;
    SendToWindow(w, MsgEditGetSelection, reinterpret_cast<uintptr_t>(&a), reinterpret_cast<intptr_t>(&b));
    return {a, b};
  }
  static void Select(Window w, intptr_t a, intptr_t b) {
    SendToWindow(w, MsgEditSetSelection, static_cast<uintptr_t>(a), b);
  }

  void Tap(Window w, int32_t x, int32_t y) {
    ASSERT_TRUE(ClientPointToScreen(w, &x, &y));
    InputStylusDown(x, y);
    InputStylusUp(x, y);
    Pump();
  }
  static void Key(uint32_t key, uint32_t state = 0) {
    InputKey(key, true, state, false);
    InputKey(key, false, state, false);
    Pump();
  }

  Window parent_ = nullptr;
};

// ---- Edit: selection and replacement -----------------------------------------------

TEST_F(ControlTest, EditReplacesTheSelection) {
  struct Case {
    const char* what;
    const char16_t* text;
    int32_t limit;
    intptr_t start, end;
    const char16_t* with;
    const char16_t* expected;
    intptr_t inserted;
    std::pair<int32_t, int32_t> selection;  // afterwards
    std::vector<uint16_t> notes;
  } cases[] = {
      {"middle", u"abcdef", 0, 1, 3, u"XY", u"aXYdef", 2, {3, 3}, {NotifyEditChanged}},
      {"reversed range", u"abcdef", 0, 3, 1, u"XY", u"aXYdef", 2, {3, 3}, {NotifyEditChanged}},
      {"select all", u"abcdef", 0, 0, -1, u"z", u"z", 1, {1, 1}, {NotifyEditChanged}},
      {"past the end is clamped", u"abc", 0, 10, 20, u"d", u"abcd", 1, {4, 4}, {NotifyEditChanged}},
      {"no selection keeps the caret", u"abc", 0, -1, 2, u"d", u"dabc", 1, {1, 1}, {NotifyEditChanged}},
      {"null deletes", u"abcdef", 0, 2, 4, nullptr, u"abef", 0, {2, 2}, {NotifyEditChanged}},
      {"cut at the limit", u"abc", 5, 3, 3, u"defgh", u"abcde", 2, {5, 5}, {NotifyEditChanged, NotifyEditFull}},
      {"full", u"abcde", 5, 5, 5, u"f", u"abcde", 0, {5, 5}, {NotifyEditFull}},
      {"room counts the selection", u"abcde", 5, 0, 2, u"XYZ", u"XYcde", 2, {2, 2}, {NotifyEditChanged, NotifyEditFull}},
      {"a pair is not split", u"abc", 4, 3, 3, u"\xD83D\xDE00", u"abc", 0, {3, 3}, {NotifyEditFull}},
      {"nothing for nothing", u"abc", 0, 1, 1, u"", u"abc", 0, {1, 1}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Window e = Make(kEditClass, EditRight | EditAutoHScroll, 1013, c.text);
    ASSERT_NE(e, nullptr);
    SendToWindow(e, MsgEditSetLimit, static_cast<uintptr_t>(c.limit), 0);
    Select(e, 0, 0);
    Select(e, c.start, c.end);
    Log().clear();
    EXPECT_EQ(SendToWindow(e, MsgEditReplaceSelection, 1, reinterpret_cast<intptr_t>(c.with)), c.inserted);
    EXPECT_EQ(Text(e), c.expected);
    EXPECT_EQ(Selection(e), c.selection);
    EXPECT_EQ(Notes(1013), c.notes);
    DisposeWindow(e);
  }
}

TEST_F(ControlTest, EditSelectionReadsBack) {
  Window e = Make(kEditClass, EditRight, 7, u"abcdef");
  EXPECT_EQ(Selection(e), std::make_pair(0, 0)) << "new text: caret at the start";
  Select(e, 4, 1);
  EXPECT_EQ(Selection(e), std::make_pair(1, 4)) << "start is the lower end";
  EXPECT_EQ(SendToWindow(e, MsgEditGetSelection, 0, 0), PackWords(1, 4)) << "null pointers: the packed result";
  Select(e, 0, -1);
  EXPECT_EQ(Selection(e), std::make_pair(0, 6));
  SendToWindow(e, MsgSetText, 0, reinterpret_cast<intptr_t>(u"xy"));
  EXPECT_EQ(Selection(e), std::make_pair(0, 0));
  EXPECT_EQ(SendToWindow(e, MsgEditCanUndo, 0, 0), 0) << "new text forgets the change";
}

TEST_F(ControlTest, EditUndoesAReplacementAsOneChange) {
  Window e = Make(kEditClass, EditRight, 7, u"hello world");
  EXPECT_EQ(SendToWindow(e, MsgEditUndo, 0, 0), 0) << "nothing to undo yet";
  Select(e, 0, 5);
  SendToWindow(e, MsgEditReplaceSelection, 1, reinterpret_cast<intptr_t>(u"bye"));
  ASSERT_EQ(Text(e), u"bye world");
  EXPECT_EQ(SendToWindow(e, MsgEditCanUndo, 0, 0), 1);
  EXPECT_EQ(SendToWindow(e, MsgEditUndo, 0, 0), 1);
  EXPECT_EQ(Text(e), u"hello world");
  EXPECT_EQ(Selection(e), std::make_pair(0, 5)) << "the replaced text selected again";
  EXPECT_EQ(SendToWindow(e, MsgEditUndo, 0, 0), 1);
  EXPECT_EQ(Text(e), u"bye world") << "undo again redoes";
  SendToWindow(e, MsgEditReplaceSelection, 0, reinterpret_cast<intptr_t>(u"!"));
  EXPECT_EQ(Text(e), u"bye! world");
  EXPECT_EQ(SendToWindow(e, MsgEditCanUndo, 0, 0), 0) << "a change not to undo ends the undo";
}

// The on-screen keyboard's way: each letter replaces the selection, then the
// caret goes back before it, so the word builds leftwards.
TEST_F(ControlTest, EditBuildsAWordLeftwards) {
  Window e = Make(kEditClass, EditRight | EditAutoHScroll, 1013);
  SendToWindow(e, MsgEditSetLimit, 33, 0);
  for (const char16_t* letter : {u"\u05D0", u"\u05D1", u"\u05D2"}) {
    SendToWindow(e, MsgEditReplaceSelection, 1, reinterpret_cast<intptr_t>(letter));
    const int32_t s = Selection(e).first;
    Select(e, s - 1, s - 1);
  }
  EXPECT_EQ(Text(e), u"\u05D2\u05D1\u05D0");
  EXPECT_EQ(Selection(e), std::make_pair(0, 0));
}

TEST_F(ControlTest, EditTypingKeysAndInputMethod) {
  Window e = Make(kEditClass, EditRight | EditAutoHScroll, 1013);
  SetFocusWindow(e);
  InputText(u"abc\u05D0");
  Pump();
  EXPECT_EQ(Text(e), u"abc\u05D0");
  struct Step {
    uint32_t key, state;
    const char16_t* expected;
    std::pair<int32_t, int32_t> selection;
  } steps[] = {
      {KeyLeft, 0, u"abc\u05D0", {3, 3}},
      {KeyBackspace, 0, u"ab\u05D0", {2, 2}},
      {KeyDelete, 0, u"ab", {2, 2}},
      {KeyHome, 0, u"ab", {0, 0}},
      {KeyDelete, 0, u"b", {0, 0}},
      {KeyBackspace, 0, u"b", {0, 0}},  // nothing before the caret
      {KeyEnd, 0, u"b", {1, 1}},
      {KeyRight, 0, u"b", {1, 1}},
      {'A', KeyStateControl, u"b", {0, 1}},
      {'Q', KeyStateShift, u"Q", {1, 1}},  // typing over the selection
      {'Z', KeyStateControl, u"b", {0, 1}},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.key);
    Key(s.key, s.state);
    EXPECT_EQ(Text(e), s.expected);
    EXPECT_EQ(Selection(e), s.selection);
  }
  // A pair from the input method arrives unit by unit and goes in whole;
  // a lone second half does not.
  Select(e, 0, -1);
  InputText(u"\xD83D\xDE00x\xDE00");
  Pump();
  EXPECT_EQ(Text(e), u"\xD83D\xDE00x");
  Key(KeyLeft);
  Key(KeyLeft);
  EXPECT_EQ(Selection(e), std::make_pair(0, 0)) << "the caret steps over a pair";
  Key(KeyDelete);
  EXPECT_EQ(Text(e), u"x");
}

TEST_F(ControlTest, EditTypingStopsAtTheLimit) {
  Window e = Make(kEditClass, EditRight | EditAutoHScroll, 1013);
  SendToWindow(e, MsgEditSetLimit, 33, 0);
  EXPECT_EQ(SendToWindow(e, MsgEditGetLimit, 0, 0), 33);
  SetFocusWindow(e);
  Log().clear();
  InputText(std::u16string(40, u'\u05E9'));
  Pump();
  EXPECT_EQ(Text(e), std::u16string(33, u'\u05E9'));
  const std::vector<uint16_t> notes = Notes(1013);
  EXPECT_EQ(std::count(notes.begin(), notes.end(), NotifyEditChanged), 33);
  EXPECT_EQ(std::count(notes.begin(), notes.end(), NotifyEditFull), 7);
  SendToWindow(e, MsgSetText, 0, reinterpret_cast<intptr_t>(std::u16string(50, u'x').c_str()));
  EXPECT_EQ(Text(e).size(), 33u) << "set text keeps to the limit";
  for (uintptr_t bad : {uintptr_t{0}, uintptr_t{kEditMaxText} + 1, ~uintptr_t{0}}) {
    SendToWindow(e, MsgEditSetLimit, bad, 0);
    EXPECT_EQ(SendToWindow(e, MsgEditGetLimit, 0, 0), kEditMaxText) << bad;
  }
  SendToWindow(e, MsgSetText, 0, 0);
  EXPECT_EQ(Text(e), u"") << "null text: empty";
}

TEST_F(ControlTest, EditTapPlacesTheCaretAndScrollsALongLine) {
  Window e = Make(kEditClass, EditRight | EditAutoHScroll, 1013, u"", 60, 20);
  SendToWindow(e, MsgSetText, 0, reinterpret_cast<intptr_t>(u"abc"));
  Tap(e, 58, 10);
  EXPECT_EQ(FocusWindow(), e);
  EXPECT_EQ(Selection(e), std::make_pair(3, 3)) << "right-aligned: the right edge is the end";
  Tap(e, 1, 10);
  EXPECT_EQ(Selection(e), std::make_pair(0, 0)) << "left of a short right-aligned text: its start";
  int32_t x0 = 1, x1 = 58, y = 10;
  ASSERT_TRUE(ClientPointToScreen(e, &x0, &y));
  x1 += x0 - 1;
  InputStylusDown(x1, y);
  InputStylusMove(x0, y);
  InputStylusUp(x0, y);
  Pump();
  EXPECT_EQ(Selection(e), std::make_pair(0, 3)) << "a drag selects";
  const std::u16string longText(60, u'm');
  SendToWindow(e, MsgSetText, 0, reinterpret_cast<intptr_t>(longText.c_str()));
  Select(e, 60, 60);
  Tap(e, 58, 10);
  EXPECT_GT(Selection(e).first, 50) << "scrolled to the end, the right edge is near it";
  Select(e, 0, 0);
  Tap(e, 1, 10);
  EXPECT_EQ(Selection(e).first, 0) << "scrolled back to the start";
}

TEST_F(ControlTest, ControlsSetAndGetTheFont) {
  FontDescription desc{};
  desc.height = 20;
  Font* font = CreateFontFromDescription(&desc);
  ASSERT_NE(font, nullptr);
  for (const char16_t* cls : {kEditClass, kListBoxClass}) {
    Window c = Make(cls, 0, 5);
    EXPECT_EQ(reinterpret_cast<Font*>(SendToWindow(c, MsgGetFont, 0, 0)), GetStockFont(StockSystemFont));
    SendToWindow(c, MsgSetFont, reinterpret_cast<uintptr_t>(font), 1);
    EXPECT_EQ(reinterpret_cast<Font*>(SendToWindow(c, MsgGetFont, 0, 0)), font);
    Pump();
    SendToWindow(c, MsgSetFont, 0, 0);
    EXPECT_EQ(reinterpret_cast<Font*>(SendToWindow(c, MsgGetFont, 0, 0)), GetStockFont(StockSystemFont));
    DisposeWindow(c);
  }
  DeleteFont(font);
}

TEST_F(ControlTest, ControlDestroyedAsATapFocusesItIsLeftAlone) {
  for (const char16_t* cls : {kButtonClass, kEditClass, kListBoxClass}) {
    SCOPED_TRACE(cls == kButtonClass ? "button" : cls == kEditClass ? "edit" : "list");
    Window victim = nullptr;
    // The focus is here; losing it destroys the control being tapped.
    Window holder = Open(kChild, 0, 50, 20, 20, parent_, [&](Window, uint32_t msg, uintptr_t, intptr_t, intptr_t*) {
      if (msg == MsgFocusLost && victim) DisposeWindow(victim);
      return false;
    });
    victim = Make(cls, 0, 9, u"x");
    ASSERT_NE(victim, nullptr);
    SetFocusWindow(holder);
    ASSERT_EQ(FocusWindow(), holder);
    SendToWindow(victim, MsgStylusDown, StylusButtonDown, PackWords(2, 2));
    EXPECT_FALSE(IsLiveWindow(victim));
    EXPECT_NE(FocusWindow(), victim);
    DisposeWindow(holder);
    Pump();
  }
}

// ---- List boxes --------------------------------------------------------------------

std::vector<std::u16string> Items(Window list) {
  std::vector<std::u16string> out;
  const intptr_t n = SendToWindow(list, MsgListGetCount, 0, 0);
  for (intptr_t i = 0; i < n; ++i) {
    char16_t buffer[64];
    ListItemText t{buffer, 64};
    const intptr_t len = SendToWindow(list, MsgListGetItemText, static_cast<uintptr_t>(i), reinterpret_cast<intptr_t>(&t));
    out.emplace_back(buffer, static_cast<std::size_t>(len));
  }
  return out;
}

TEST_F(ControlTest, ListKeepsItemsSortedWhenAsked) {
  const std::vector<const char16_t*> adds = {u"Tahoma", u"arial", u"Courier", u"Arial", u"\u05D3\u05D5\u05D3", u"Bitstream", u"10"};
  struct Case {
    uint32_t style;
    std::vector<intptr_t> indexes;
    std::vector<std::u16string> order;
  } cases[] = {
      {ListSorted, {0, 0, 1, 0, 4, 2, 0},
       {u"10", u"Arial", u"arial", u"Bitstream", u"Courier", u"Tahoma", u"\u05D3\u05D5\u05D3"}},
      {0, {0, 1, 2, 3, 4, 5, 6},
       {u"Tahoma", u"arial", u"Courier", u"Arial", u"\u05D3\u05D5\u05D3", u"Bitstream", u"10"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    Window l = Make(kListBoxClass, c.style | WinStyleVScroll | WinStyleBorder, 1001, u"", 100, 60);
    std::vector<intptr_t> got;
    for (const char16_t* s : adds) got.push_back(SendToWindow(l, MsgListAddString, 0, reinterpret_cast<intptr_t>(s)));
    EXPECT_EQ(got, c.indexes);
    EXPECT_EQ(Items(l), c.order);
    DisposeWindow(l);
  }
}

TEST_F(ControlTest, ListSelectsByPrefix) {
  Window l = Make(kListBoxClass, ListSorted | ListNotify, 1001);
  for (const char16_t* s : {u"Arial", u"Arial Black", u"Courier New", u"courier", u"Tahoma"})
    SendToWindow(l, MsgListAddString, 0, reinterpret_cast<intptr_t>(s));
  ASSERT_EQ(Items(l), (std::vector<std::u16string>{u"Arial", u"Arial Black", u"courier", u"Courier New", u"Tahoma"}));
  EXPECT_EQ(SendToWindow(l, MsgListGetCurrent, 0, 0), kListNone);
  struct Case {
    const char* what;
    intptr_t after;
    const char16_t* prefix;
    intptr_t result, current;
  } cases[] = {
      {"exact case", kListNone, u"Tahoma", 4, 4},
      {"other case", kListNone, u"COURIER", 2, 2},
      {"prefix", kListNone, u"arial b", 1, 1},
      {"the first of several", kListNone, u"ar", 0, 0},
      {"after an index", 0, u"ar", 1, 1},
      {"wraps round", 1, u"ar", 0, 0},
      {"after the last: from the top", 4, u"t", 4, 4},
      {"out of range: from the top", 99, u"c", 2, 2},
      {"no match keeps the selection", kListNone, u"Verdana", kListNone, 2},
      {"longer than every item", kListNone, u"Arial Black Extra", kListNone, 2},
      {"empty matches the first", kListNone, u"", 0, 0},
      {"null", kListNone, nullptr, kListNone, 0},
  };
  Log().clear();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(SendToWindow(l, MsgListSelectPrefix, static_cast<uintptr_t>(c.after), reinterpret_cast<intptr_t>(c.prefix)),
              c.result);
    EXPECT_EQ(SendToWindow(l, MsgListGetCurrent, 0, 0), c.current);
  }
  EXPECT_TRUE(Notes(1001).empty()) << "the program's own selection is not reported";
  SendToWindow(l, MsgListReset, 0, 0);
  EXPECT_EQ(SendToWindow(l, MsgListGetCount, 0, 0), 0);
  EXPECT_EQ(SendToWindow(l, MsgListGetCurrent, 0, 0), kListNone);
  EXPECT_EQ(SendToWindow(l, MsgListSelectPrefix, kListNone, reinterpret_cast<intptr_t>(u"")), kListNone);
}

TEST_F(ControlTest, ListItemTextAndBadRequests) {
  Window l = Make(kListBoxClass, ListSorted, 1006);
  EXPECT_EQ(SendToWindow(l, MsgListAddString, 0, 0), kListNone) << "null string";
  SendToWindow(l, MsgListAddString, 0, reinterpret_cast<intptr_t>(u"12"));
  SendToWindow(l, MsgListAddString, 0, reinterpret_cast<intptr_t>(u"10"));
  EXPECT_EQ(SendToWindow(l, MsgListSetCurrent, 1, 0), 1);
  EXPECT_EQ(SendToWindow(l, MsgListAddString, 0, reinterpret_cast<intptr_t>(u"11")), 1);
  EXPECT_EQ(SendToWindow(l, MsgListGetCurrent, 0, 0), 2) << "the selected item stays selected";
  char16_t buffer[4] = {u'#', u'#', u'#', u'#'};
  ListItemText two{buffer, 2};
  EXPECT_EQ(SendToWindow(l, MsgListGetItemText, 2, reinterpret_cast<intptr_t>(&two)), 1) << "cut to fit";
  EXPECT_EQ(std::u16string(buffer, 3), std::u16string(u"1\0#", 3));
  EXPECT_EQ(SendToWindow(l, MsgListGetItemLength, 2, 0), 2);
  ListItemText none{nullptr, 10}, empty{buffer, 0};
  struct Bad {
    uint32_t message;
    intptr_t index;
    const ListItemText* text;
  } bads[] = {
      {MsgListGetItemText, 3, &two}, {MsgListGetItemText, -1, &two}, {MsgListGetItemText, 0, nullptr},
      {MsgListGetItemText, 0, &none}, {MsgListGetItemText, 0, &empty}, {MsgListGetItemLength, 3, nullptr},
      {MsgListGetItemLength, -5, nullptr}, {MsgListSetCurrent, 3, nullptr},
  };
  for (const Bad& b : bads) {
    EXPECT_EQ(SendToWindow(l, b.message, static_cast<uintptr_t>(b.index), reinterpret_cast<intptr_t>(b.text)), kListNone)
        << b.message << " " << b.index;
  }
  EXPECT_EQ(SendToWindow(l, MsgListGetCurrent, 0, 0), kListNone) << "an index out of range clears the selection";
}

TEST_F(ControlTest, ListTapsKeysAndTheBar) {
  Window l = Make(kListBoxClass, uint32_t{ListNotify} | WinStyleVScroll, 1001, u"", 100, 60);
  for (int i = 0; i < 20; ++i) {
    const std::u16string s = u"item " + std::u16string(1, static_cast<char16_t>(u'A' + i));
    SendToWindow(l, MsgListAddString, 0, reinterpret_cast<intptr_t>(s.c_str()));
  }
  Rect client{};
  ASSERT_TRUE(WindowClientRect(l, &client));
  EXPECT_LT(client.right, 100) << "the bar takes room";
  Log().clear();
  Tap(l, 10, 1);
  EXPECT_EQ(FocusWindow(), l);
  EXPECT_EQ(SendToWindow(l, MsgListGetCurrent, 0, 0), 0);
  Tap(l, 10, 1);
  EXPECT_EQ(Notes(1001), std::vector<uint16_t>{NotifyListSelectionChanged}) << "a tap on the selected row: no news";
  struct Step {
    uint32_t key;
    intptr_t current;
  } steps[] = {{KeyDown, 1}, {KeyEnd, 19}, {KeyDown, 19}, {KeyUp, 18}, {KeyHome, 0}, {KeyUp, 0}, {KeyPageDown, -1}};
  for (const Step& s : steps) {
    Key(s.key);
    if (s.current >= 0) {
      EXPECT_EQ(SendToWindow(l, MsgListGetCurrent, 0, 0), s.current) << s.key;
    }
  }
  EXPECT_GT(SendToWindow(l, MsgListGetCurrent, 0, 0), 0) << "page down moves on";
  Key(KeyEnd);
  const intptr_t top = SendToWindow(l, MsgListGetTopIndex, 0, 0);
  EXPECT_GT(top, 0) << "the selection is scrolled into view";
  ScrollInfo si{sizeof(ScrollInfo), ScrollMaskAll, 0, 0, 0, 0, 0};
  ASSERT_TRUE(ReadScrollBar(l, ScrollBarVertical, &si));
  EXPECT_EQ(si.pos, top);
  EXPECT_EQ(si.max, 19);
  SendToWindow(l, MsgVScroll, ScrollTop, 0);
  EXPECT_EQ(SendToWindow(l, MsgListGetTopIndex, 0, 0), 0);
  SendToWindow(l, MsgVScroll, ScrollLineDown, 0);
  EXPECT_EQ(SendToWindow(l, MsgListGetTopIndex, 0, 0), 1);
  ASSERT_TRUE(ReadScrollBar(l, ScrollBarVertical, &si));
  EXPECT_EQ(si.pos, 1);
  SendToWindow(l, MsgVScroll, ScrollLineUp, 0);
  SendToWindow(l, MsgVScroll, ScrollLineUp, 0);
  EXPECT_EQ(SendToWindow(l, MsgListGetTopIndex, 0, 0), 0) << "not above the first";
  Log().clear();
  Tap(l, 10, client.bottom / 2);
  EXPECT_GE(SendToWindow(l, MsgListGetCurrent, 0, 0), 1) << "a tap lower down picks a row lower down";
  EXPECT_EQ(Notes(1001).size(), 1u);
  Tap(l, 10, client.bottom / 2);
  EXPECT_EQ(Notes(1001).size(), 1u);
  DisposeWindow(l);

  Window quiet = Make(kListBoxClass, 0, 1006);
  SendToWindow(quiet, MsgListAddString, 0, reinterpret_cast<intptr_t>(u"one"));
  SendToWindow(quiet, MsgListAddString, 0, reinterpret_cast<intptr_t>(u"two"));
  Log().clear();
  Tap(quiet, 10, 1);
  Key(KeyDown);
  EXPECT_EQ(SendToWindow(quiet, MsgListGetCurrent, 0, 0), 1);
  EXPECT_TRUE(Notes(1006).empty()) << "without the notify style";
  DisposeWindow(quiet);
  Window empty = Make(kListBoxClass, ListNotify, 1007);
  Tap(empty, 10, 1);
  Key(KeyDown);
  EXPECT_EQ(SendToWindow(empty, MsgListGetCurrent, 0, 0), kListNone);
  EXPECT_TRUE(Notes(1007).empty());
}

// ---- The picture ---------------------------------------------------------------------

TEST_F(ControlTest, PictureOfADialogWithAnEditAndAList) {
  const std::string actual = TempDir() + "/controls.actual.png";
  auto item = [](uint16_t code, uint16_t id, uint32_t style, int16_t x, int16_t y, int16_t cx, int16_t cy,
                 std::u16string text = u"") {
    return DialogItemTemplate{kChild | style, 0, x, y, cx, cy, id, code, u"", 0, std::move(text)};
  };
  const DialogTemplate t{0x90C80840, DlgExCaptionOk, 0, 0, 126, 160, u"Choose Font", 8, u"System", {
      item(DlgClassList, 1001, 0x00A30103, 7, 7, 107, 60),
      item(DlgClassEdit, 1013, 0x00810082, 7, 72, 112, 14),
      item(DlgClassEdit, 1002, 0x00810046, 7, 92, 112, 40),
  }};
  static intptr_t (*proc)(Window, uint32_t, uintptr_t, intptr_t) = [](Window w, uint32_t m, uintptr_t,
                                                                      intptr_t) -> intptr_t {
    if (m == MsgInitDialog) {
      for (const char16_t* s : {u"Tahoma", u"Arial", u"Courier", u"Georgia", u"Verdana", u"Bitstream", u"Impact",
                                u"Lucida", u"Times", u"Book"})
        SendItemMessage(w, 1001, MsgListAddString, 0, reinterpret_cast<intptr_t>(s));
      SendItemMessage(w, 1001, MsgListSelectPrefix, kListNone, reinterpret_cast<intptr_t>(u"cour"));
      SendItemMessage(w, 1013, MsgEditSetLimit, 33, 0);
      SetItemText(w, 1013, u"\u05DD\u05D5\u05DC\u05E9 abc");
      SendItemMessage(w, 1013, MsgEditSetSelection, 4, 7);
      std::u16string letters;
      for (int i = 26; i >= 0; --i) letters.push_back(static_cast<char16_t>(0x5D0 + i));
      SetItemText(w, 1002, letters.c_str());
      PostToWindow(w, MsgUser, 0, 0);
      return 0;
    }
    if (m == MsgUser) {
      Pump();
      EXPECT_TRUE(WriteScreenshot((TempDir() + "/controls.actual.png").c_str()));
      EndDialog(w, 1);
    }
    return 0;
  };
  EXPECT_EQ(RunDialog(&t, parent_, proc, 0), 1);

  ExpectMatchesGolden(actual, "controls.png");
}

}  // namespace
