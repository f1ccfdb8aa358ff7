// Menus: the resource bytes (and every malformed kind), check marks and the
// item-information query by command, and pop-ups driven by taps and keys on
// a headless screen, with their picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/menu.h"
#include "platform/resources.h"
#include "window_test_util.h"

namespace {

using namespace plat;
using namespace wintest;

MenuItem Cmd(uint16_t id, std::u16string text) { return MenuItem{id, 0, false, false, std::move(text), {}}; }
MenuItem Sep() { return MenuItem{0, 0, true, false, u"", {}}; }
MenuItem Pop(std::u16string text, std::vector<MenuItem> items) {
  return MenuItem{0, 0, false, true, std::move(text), Menu{std::move(items)}};
}

// The reader's menu 102.
Menu ReaderMenu() {
  return Menu{{Pop(u"&File", {Cmd(40004, u"&About"), Cmd(129, u"Check For &Updates"),
                              Cmd(119, u"&Choose Article\bCtrl+D"), Sep(), Cmd(40006, u"F&ont\bCtrl+F"),
                              Cmd(122, u"Re&verse"), Sep(), Cmd(40007, u"&Copy\bCtrl+C"),
                              Cmd(40009, u"&Append to ClipBoard\bCtrl+E"), Cmd(40005, u"E&xit\bCtrl+Q")}),
               Pop(u"&Go", {Cmd(119, u"&Index\bCtrl+D"), Cmd(123, u"&Bookmark"), Cmd(110, u"&Previous Article"),
                            Cmd(109, u"&Next Article"), Sep(), Cmd(116, u"&Search\bAlt+F3"),
                            Cmd(117, u"Search A&gain\bF3")})}};
}

std::vector<uint8_t> Bytes(const Menu& m) {
  std::vector<uint8_t> b;
  EXPECT_TRUE(EncodeMenu(m, &b));
  return b;
}

// A query record asking for `mask`; `sizeDelta` spoils its size.
MenuItemInfo Info(uint32_t mask, int32_t sizeDelta = 0) {
  MenuItemInfo info{};
  info.size = static_cast<uint32_t>(static_cast<int32_t>(sizeof(MenuItemInfo)) + sizeDelta);
  info.mask = mask;
  return info;
}

// Little-endian words as bytes.
std::vector<uint8_t> Words(std::initializer_list<uint16_t> words) {
  std::vector<uint8_t> b;
  for (uint16_t w : words) {
    b.push_back(static_cast<uint8_t>(w & 0xFF));
    b.push_back(static_cast<uint8_t>(w >> 8));
  }
  return b;
}

void ExpectSame(const std::vector<MenuItem>& a, const std::vector<MenuItem>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].id, b[i].id) << i;
    EXPECT_EQ(a[i].state, b[i].state) << i;
    EXPECT_EQ(a[i].separator, b[i].separator) << i;
    EXPECT_EQ(a[i].popup, b[i].popup) << i;
    EXPECT_TRUE(a[i].text == b[i].text) << i;
    ExpectSame(a[i].submenu.items, b[i].submenu.items);
  }
}

// ---- Resource bytes ------------------------------------------------------------------

TEST(MenuResource, MenuFromResourceHasThePopupsItemsAndIds) {
  const std::vector<uint8_t> bytes = Bytes(ReaderMenu());
  const ResourceRecord table[] = {{ResTypeMenu, 102, bytes.data(), static_cast<uint32_t>(bytes.size())}};
  RegisterResourceTable(table, 1);
  Menu m;
  const MenuError e = LoadMenuResource(102, &m);
  UnregisterResourceTable(table);
  ASSERT_EQ(e, MenuOk);
  ExpectSame(m.items, ReaderMenu().items);
  ASSERT_EQ(MenuItemCount(&m), 2);
  EXPECT_EQ(MenuItemCount(MenuPopupAt(&m, 0)), 10);
  EXPECT_EQ(MenuItemCount(MenuPopupAt(&m, 1)), 7);
  EXPECT_TRUE(MenuPopupAt(&m, 1)->items[4].separator);
  EXPECT_EQ(MenuPopupAt(&m, 2), nullptr);
  EXPECT_EQ(MenuPopupAt(&m, -1), nullptr);
  EXPECT_EQ(MenuPopupAt(MenuPopupAt(&m, 0), 0), nullptr) << "a command has no pop-up";
  EXPECT_EQ(LoadMenuResource(102, &m), MenuMissing) << "unregistered again";
}

TEST(MenuResource, StateBitsAndNestedPopupsRoundTrip) {
  Menu m{{Pop(u"A", {Cmd(1, u"one"), Pop(u"B", {Cmd(2, u"two")}), Cmd(3, u"three")}), Cmd(4, u"&&four")}};
  m.items[0].submenu.items[0].state = MenuStateChecked | MenuStateGrayed;
  Menu back;
  const std::vector<uint8_t> bytes = Bytes(m);
  ASSERT_EQ(DecodeMenu(bytes.data(), bytes.size(), &back), MenuOk);
  ExpectSame(back.items, m.items);
}

TEST(MenuResource, MalformedBytesGiveTheirError) {
  std::vector<uint8_t> longText = Words({MenuTplEnd, 5});
  for (int i = 0; i < kMaxMenuText + 1; ++i) longText.push_back('x'), longText.push_back(0);
  longText.push_back(0), longText.push_back(0);
  std::vector<uint8_t> deep;
  for (int i = 0; i < kMaxMenuDepth; ++i) {
    const std::vector<uint8_t> pop = Words({MenuTplPopup | MenuTplEnd, 'P', 0});
    deep.insert(deep.end(), pop.begin(), pop.end());
  }
  const std::vector<uint8_t> leaf = Words({MenuTplEnd, 1, 'x', 0});
  deep.insert(deep.end(), leaf.begin(), leaf.end());
  std::vector<uint8_t> many;
  for (int i = 0; i <= kMaxMenuItems; ++i) {
    const std::vector<uint8_t> item = Words({static_cast<uint16_t>(i == kMaxMenuItems ? MenuTplEnd : 0), 1, 'x', 0});
    many.insert(many.end(), item.begin(), item.end());
  }
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    MenuError error;
  };
  const Case cases[] = {
      {"nothing", {}, MenuTruncated},
      {"half a flags word", {0x80}, MenuTruncated},
      {"no id", Words({MenuTplEnd}), MenuTruncated},
      {"text without its zero", Words({MenuTplEnd, 7, 'a'}), MenuTruncated},
      {"odd byte inside the text", {0x80, 0, 7, 0, 'a'}, MenuTruncated},
      {"no end flag", Words({0, 7, 'a', 0}), MenuTruncated},
      {"pop-up without items", Words({MenuTplPopup | MenuTplEnd, 'F', 0}), MenuTruncated},
      {"pop-up level without end", Words({MenuTplPopup | MenuTplEnd, 'F', 0, 0, 7, 'a', 0}), MenuTruncated},
      {"unknown flag", Words({MenuTplEnd | 0x100, 7, 'a', 0}), MenuBadFlags},
      {"checked separator", Words({MenuTplEnd | MenuTplChecked, 0, 0}), MenuBadFlags},
      {"text too long", longText, MenuTextTooLong},
      {"too deep", deep, MenuTooDeep},
      {"too many items", many, MenuTooManyItems},
      {"byte after the end", [] { auto b = Words({MenuTplEnd, 7, 'a', 0}); b.push_back(0); return b; }(),
       MenuTrailingBytes},
  };
  for (const Case& c : cases) {
    Menu m{{Cmd(9, u"kept")}};
    EXPECT_EQ(DecodeMenu(c.bytes.data(), c.bytes.size(), &m), c.error) << c.what;
    ASSERT_EQ(m.items.size(), 1u) << c.what << ": the output is left alone";
    EXPECT_EQ(m.items[0].id, 9) << c.what;
  }
  EXPECT_EQ(DecodeMenu(nullptr, 8, nullptr), MenuBadArgument);
}

TEST(MenuResource, EveryTruncationOfMenu102IsRefused) {
  const std::vector<uint8_t> bytes = Bytes(ReaderMenu());
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    // A copy of exactly n bytes, so that reading past it is caught.
    const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    Menu m;
    EXPECT_EQ(DecodeMenu(prefix.data(), prefix.size(), &m), MenuTruncated) << n << " bytes";
  }
}

TEST(MenuResource, MenusTheFormatCannotHoldAreNotEncoded) {
  std::vector<uint8_t> out{1, 2, 3};
  EXPECT_FALSE(EncodeMenu(Menu{}, &out));
  EXPECT_FALSE(EncodeMenu(Menu{{Pop(u"empty", {})}}, &out));
  EXPECT_FALSE(EncodeMenu(Menu{{Cmd(0, u"")}}, &out)) << "reads back as a separator";
  EXPECT_EQ(out, (std::vector<uint8_t>{1, 2, 3}));
}

// ---- Check marks and the item-information query -----------------------------------------

TEST(MenuChecks, MenuCheckMarksByCommand) {
  Menu m = ReaderMenu();
  Menu* file = MenuPopupAt(&m, 0);
  Menu* go = MenuPopupAt(&m, 1);
  // Found from the whole menu (inside its pop-ups) and from the pop-up itself.
  EXPECT_EQ(CheckMenuCommand(&m, 122, true), 0);
  EXPECT_TRUE(MenuCommandChecked(file, 122));
  EXPECT_EQ(file->items[5].state, static_cast<uint32_t>(MenuStateChecked));
  EXPECT_EQ(CheckMenuCommand(go, 123, true), 0);
  EXPECT_EQ(CheckMenuCommand(&m, 123, false), MenuStateChecked);
  EXPECT_FALSE(MenuCommandChecked(&m, 123));
  EXPECT_EQ(CheckMenuCommand(go, 122, true), -1) << "Reverse is not in the Go pop-up";
  EXPECT_EQ(CheckMenuCommand(&m, 4242, true), -1);
  EXPECT_EQ(CheckMenuCommand(nullptr, 122, true), -1);
  // A command on two items: the first, depth first.
  EXPECT_EQ(CheckMenuCommand(&m, 119, true), 0);
  EXPECT_TRUE(file->items[2].state & MenuStateChecked);
  EXPECT_FALSE(go->items[0].state & MenuStateChecked);

  // Toggling through the query, as the reader's check-mark operation does.
  for (uint32_t expectedAfter : {0u, static_cast<uint32_t>(MenuStateChecked), 0u}) {
    MenuItemInfo info = Info(MenuInfoState);
    ASSERT_TRUE(QueryMenuItem(&m, 122, false, &info));
    const bool checked = info.state & MenuStateChecked;
    CheckMenuCommand(&m, 122, !checked);
    ASSERT_TRUE(QueryMenuItem(file, 122, false, &info));
    EXPECT_EQ(info.state, expectedAfter);
  }
}

TEST(MenuChecks, ItemInformationQuery) {
  Menu m = ReaderMenu();
  char16_t text[6];
  MenuItemInfo info = Info(MenuInfoState | MenuInfoId | MenuInfoType | MenuInfoText | MenuInfoSubmenu);
  info.text = text;
  info.textCapacity = 6;
  ASSERT_TRUE(QueryMenuItem(&m, 40006, false, &info));
  EXPECT_EQ(info.id, 40006u);
  EXPECT_EQ(info.state, 0u);
  EXPECT_EQ(info.type, 0u);
  EXPECT_EQ(info.submenu, nullptr);
  EXPECT_EQ(info.textLength, 12);
  EXPECT_EQ(std::u16string(text), u"F&ont") << "cut to the capacity, with a zero";

  ASSERT_TRUE(QueryMenuItem(&m, 1, true, &info));
  EXPECT_EQ(info.submenu, MenuPopupAt(&m, 1));
  EXPECT_EQ(std::u16string(text), u"&Go");
  ASSERT_TRUE(QueryMenuItem(MenuPopupAt(&m, 0), 3, true, &info));
  EXPECT_EQ(info.type, MenuTypeSeparator);

  MenuItemInfo only = Info(MenuInfoId);
  only.state = 77;
  ASSERT_TRUE(QueryMenuItem(&m, 117, false, &only));
  EXPECT_EQ(only.state, 77u) << "fields outside the mask are left alone";

  MenuItemInfo bad = Info(MenuInfoState, -1);
  EXPECT_FALSE(QueryMenuItem(&m, 122, false, &bad));
  EXPECT_FALSE(QueryMenuItem(&m, 2, true, &info));
  EXPECT_FALSE(QueryMenuItem(&m, 0x10000 + 122, false, &info));
  EXPECT_FALSE(QueryMenuItem(&m, 0, false, &info)) << "separators are not found by command";

  MenuItemInfo set = Info(MenuInfoState);
  set.state = MenuStateChecked;
  ASSERT_TRUE(ChangeMenuItem(&m, 123, false, &set));
  EXPECT_TRUE(MenuCommandChecked(&m, 123));
  EXPECT_EQ(MenuItemCount(nullptr), -1);
}

// ---- Pop-ups on the screen ----------------------------------------------------------------

class PopupMenuTest : public ScreenTest {
 protected:
  // Runs the File or Go pop-up of menu 102 under `button` while `script`
  // drives the screen; the chosen command, and the commands the owner got.
  uint16_t RunScripted(const std::string& script, int32_t popup, const Rect& button,
                       std::vector<uintptr_t>* commands, Menu* menu = nullptr) {
    StartWith("menu.txt", script);
    Log().clear();
    Window main = OpenFull();
    Pump();
    Menu m = ReaderMenu();
    CheckMenuCommand(&m, 122, true);
    Menu* which = menu ? menu : MenuPopupAt(&m, popup);
    const uint16_t id = RunPopupMenuUnder(which, main, &button);
    Pump();
    for (const Seen& s : Messages(main, MsgCommand)) commands->push_back(s.wParam);
    return id;
  }
};

// The File pop-up under a button at the top: its rows start 1 pixel below y = 50.
constexpr Rect kTopButton{10, 30, 60, 50};
// Screen y of the middle of row `row` among the first rows (no separator above).
constexpr int32_t RowMiddle(int32_t row) { return 51 + 26 * row + 13; }

TEST_F(PopupMenuTest, TapsAndKeysChooseACommandForTheOwner) {
  struct Case {
    const char* what;
    std::string script;
    uint16_t chosen;
  };
  const Case cases[] = {
      {"Down to the third item, Enter", "key Down\nkey Down\nkey Down\nkey Enter\n", 119},
      {"Up wraps to the last", "key Up\nkey Enter\n", 40005},
      {"Down skips the separator", "key Down\nkey Down\nkey Down\nkey Down\nkey Enter\n", 40006},
      {"a mnemonic chooses at once", "key V\n", 122},
      {"a shared mnemonic steps", "key C\nkey C\nkey Enter\n", 40007},
      {"Enter with nothing selected", "key Enter\nkey Escape\n", 0},
      {"Escape", "key Down\nkey Escape\n", 0},
      {"a tap on an item", "tap 40 " + std::to_string(RowMiddle(0)) + "\n", 40004},
      {"a tap on the second item", "tap 40 " + std::to_string(RowMiddle(1)) + "\n", 129},
      {"a tap on a separator does nothing", "tap 40 " + std::to_string(RowMiddle(3) - 9) + "\nkey Escape\n", 0},
      {"a tap outside dismisses", "tap 200 300\n", 0},
  };
  for (const Case& c : cases) {
    std::vector<uintptr_t> commands;
    EXPECT_EQ(RunScripted(c.script, 0, kTopButton, &commands), c.chosen) << c.what;
    const std::vector<uintptr_t> expected = c.chosen ? std::vector<uintptr_t>{c.chosen} : std::vector<uintptr_t>{};
    EXPECT_EQ(commands, expected) << c.what << ": posted once, id in the low word";
    StopScreen();
  }
}

TEST_F(PopupMenuTest, OpensAboveAButtonAtTheBottom) {
  // Go: six rows of 26 and a separator of 9 inside a 1-pixel border, 167
  // high, so it opens at y = 296 - 167 and its last row's middle is 282.
  std::vector<uintptr_t> commands;
  EXPECT_EQ(RunScripted("tap 30 282\n", 1, Rect{0, 296, 40, 320}, &commands), 117);
  EXPECT_EQ(commands, std::vector<uintptr_t>{117});
}

TEST_F(PopupMenuTest, NestedPopupOpensBesideItsItem) {
  Menu nested{{Cmd(1, u"&One"), Pop(u"&More", {Cmd(21, u"&Inner"), Cmd(22, u"In&ward")})}};
  std::vector<uintptr_t> commands;
  EXPECT_EQ(RunScripted("key M\nkey W\n", 0, kTopButton, &commands, &nested), 22);
  EXPECT_EQ(commands, std::vector<uintptr_t>{22}) << "only the outer menu posts";
  StopScreen();
  commands.clear();
  EXPECT_EQ(RunScripted("key M\nkey Escape\nkey O\n", 0, kTopButton, &commands, &nested), 1)
      << "Escape closes the inner pop-up only";
}

TEST_F(PopupMenuTest, NothingToShow) {
  Window main = OpenFull();
  Menu empty;
  EXPECT_EQ(RunPopupMenuAt(&empty, main, 0, 0), 0);
  EXPECT_EQ(RunPopupMenuAt(nullptr, main, 0, 0), 0);
  Menu m = ReaderMenu();
  EXPECT_EQ(RunPopupMenuUnder(&m, main, nullptr), 0);
  StopScreen();
  EXPECT_EQ(RunPopupMenuAt(&m, nullptr, 0, 0), 0) << "no screen";
}

TEST_F(PopupMenuTest, Picture) {
  const std::string actual = TempDir() + "/popup_menu.actual.png";
  std::vector<uintptr_t> commands;
  EXPECT_EQ(RunScripted("key Down\nkey Down\nkey Down\nscreenshot " + actual + "\nkey Escape\n", 0, kTopButton,
                        &commands),
            0);

  ExpectMatchesGolden(actual, "popup_menu.png");
}

}  // namespace
