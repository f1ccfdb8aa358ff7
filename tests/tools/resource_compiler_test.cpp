// The resource compiler: what a source compiles to, read back through the
// platform's own readers, and where it says a source is wrong.
#include "tools/rc/resource_source.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/graphics.h"
#include "platform/menu.h"
#include "platform/resources.h"
#include "platform/window.h"
#include "tests/tools/bitmap_pixels.h"
#include "tests/tools/resource_bytes.h"
#include "tools/rc/pixel_art.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder for the source and its art files.
class RcFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tovanel-rc-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // Compiles `source` as test.rsrc; the error message, empty on success.
  std::string Compile(const std::string& source, std::vector<CompiledResource>* out) {
    Write("test.rsrc", source);
    std::string error;
    return CompileResourceFile(Path("test.rsrc"), out, &error) ? "" : error;
  }

  const CompiledResource* Find(const std::vector<CompiledResource>& all, uint16_t type, uint16_t id) {
    for (const CompiledResource& r : all) {
      if (r.type == type && r.id == id) return &r;
    }
    ADD_FAILURE() << "no resource " << type << ":" << id;
    return nullptr;
  }

  fs::path dir_;
};

TEST_F(RcFolder, ReportsFileLineAndWhatIsWrong) {
  const std::string kArt = "size 4 2\ncolour . 192 192 192\ncolour k 0 0 0\npicture\n";
  struct Case {
    const char* what;
    std::string source;
    std::string art;        // written as a.art when not empty
    std::string expected;   // part of the message; "@" stands for the folder
  } cases[] = {
      {"unknown keyword", "# menus\nmenus 1\n", "", "@/test.rsrc:2: unknown keyword 'menus'"},
      {"bad number", "menu 1\n  popup \"A\"\n    item \"x\" 12a\n", "", "@/test.rsrc:3: bad number '12a'"},
      {"number too large", "accelerators 65536\n", "", "@/test.rsrc:1: number '65536' is out of range"},
      {"string for a number", "strings\n  \"1\" \"x\"\nend\n", "", "@/test.rsrc:2: expected a number"},
      {"unterminated popup", "menu 1\n  popup \"&File\"\n    item \"a\" 1\n", "",
       "@/test.rsrc:2: popup \"&File\" has no 'end'"},
      {"unterminated menu", "menu 7\n  item \"a\" 1\n", "", "@/test.rsrc:1: menu 7 has no 'end'"},
      {"empty popup", "menu 1\n  popup \"A\"\n  end\nend\n", "", "@/test.rsrc:2: popup \"A\" has no items"},
      {"end outside a block", "end\n", "", "@/test.rsrc:1: 'end' outside a block"},
      {"unclosed string", "menu 1\n  item \"a 1\n", "", "@/test.rsrc:2: string has no closing quote"},
      {"unknown escape", "strings\n  1 \"a\\n\"\nend\n", "", "@/test.rsrc:2: unknown escape '\\n'"},
      {"item without command", "menu 1\n  item \"a\"\nend\n", "", "@/test.rsrc:2: expected: item"},
      {"empty item", "menu 1\n  item \"\" 0\nend\n", "", "@/test.rsrc:2: an item without text or command"},
      {"item with a stray word", "menu 1\n  item \"a\" 1 bold\nend\n", "", "@/test.rsrc:2: unexpected 'bold'"},
      {"menu twice", "menu 1\n  item \"a\" 1\nend\nmenu 1\n  item \"b\" 2\nend\n", "",
       "@/test.rsrc:4: menu 1 is defined twice (first on line 1)"},
      {"string twice", "strings\n  5 \"a\"\n  5 \"b\"\nend\n", "",
       "@/test.rsrc:3: string 5 is defined twice (first on line 2)"},
      {"lower-case key", "accelerators 1\n  Ctrl+d 119\nend\n", "", "@/test.rsrc:2: unknown key 'd'"},
      {"unknown modifier", "accelerators 1\n  Win+D 119\nend\n", "", "@/test.rsrc:2: unknown modifier 'Win'"},
      {"key bound twice", "accelerators 1\n  Alt+F3 1\n  Alt+F3 2\nend\n", "",
       "@/test.rsrc:3: Alt+F3 is bound twice (first on line 2)"},
      {"empty accelerators", "accelerators 1\nend\n", "", "@/test.rsrc:1: accelerators 1 has no entries"},
      {"menu bar without its menu", "strings\n 1 \"a\"\nend\nmenubar 9 menu 8\nend\n", "",
       "@/test.rsrc:4: menu 8 is not defined"},
      {"menu-bar button on a plain item",
       "menu 8\n  item \"a\" 1\nend\nstrings\n 1 \"a\"\nend\n"
       "menubar 9 menu 8\n  button command 5 text 1 popup 0 state 4 style 0x18\nend\n",
       "", "@/test.rsrc:8: item 0 of menu 8 is not a pop-up"},
      {"menu-bar button without its string",
       "menu 8\n  popup \"A\"\n    item \"a\" 1\n  end\nend\n"
       "menubar 9 menu 8\n  button command 5 text 1 popup 0 state 4 style 0x18\nend\n",
       "", "@/test.rsrc:7: string 1 is not defined"},
      {"menu-bar button missing a field", "menubar 9 menu 8\n  button command 5 text 1 popup 0 state 4\nend\n",
       "", "@/test.rsrc:2: button needs 'style'"},
      {"missing art file", "bitmap 1 \"none.art\"\n", "", "@/test.rsrc:1: cannot read '@/none.art'"},
      {"colour not in the palette", "bitmap 1 \"a.art\"\n", "size 1 1\ncolour x 200 10 10\npicture\nx\n",
       "@/a.art:2: colour 'x' (200, 10, 10) is not one of the 16 standard colours"},
      {"row too narrow", "bitmap 1 \"a.art\"\n", kArt + "....\n.k.\n", "@/a.art:6: row is 3 pixels wide, expected 4"},
      {"row too wide", "bitmap 1 \"a.art\"\n", kArt + ".....\n", "@/a.art:5: row is 5 pixels wide, expected 4"},
      {"too few rows", "bitmap 1 \"a.art\"\n", kArt + "....\n", "@/a.art:4: picture has 1 rows, expected 2"},
      {"too many rows", "bitmap 1 \"a.art\"\n", kArt + "....\n....\n....\n",
       "@/a.art:7: picture has more than 2 rows"},
      {"character not in the palette", "bitmap 1 \"a.art\"\n", kArt + "....\n..z.\n",
       "@/a.art:6: 'z' is not a colour of the palette"},
      {"no picture", "bitmap 1 \"a.art\"\n", "size 1 1\n", "@/a.art:1: no picture"},
      {"icon of another size", "icon 1 \"a.art\"\n", kArt + "....\n....\n",
       "@/test.rsrc:1: an icon is one picture of 32 x 32"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.art.empty()) Write("a.art", c.art);
    std::vector<CompiledResource> out = {{1, 1, 0, {}}};
    const std::string error = Compile(c.source, &out);
    std::string expected = c.expected;
    for (std::size_t at; (at = expected.find('@')) != std::string::npos;)
      expected.replace(at, 1, dir_.string());
    EXPECT_NE(error.find(expected), std::string::npos) << error;
    EXPECT_EQ(out.size(), 1u) << "output left alone";
  }
}

TEST_F(RcFolder, CompiledBytesReadBackThroughThePlatform) {
  // Two pictures of 3 x 2: odd widths, so rows end in a half byte and padding.
  Write("two.art",
        "size 3 2\n"
        "colour . 192 192 192\ncolour r 255 0 0\ncolour n 0 0 128\ncolour w 255 255 255\n"
        "picture\n"
        "r..\n"
        "..n\n"
        "# the second picture\n"
        "picture\n"
        "w.r\n"
        "nnn\n");
  const std::string source =
      "# everything once\n"
      "menu 40\n"
      "  popup \"&Top\"\n"
      "    item \"&One\" \"Ctrl+1\" 1 checked\n"
      "    separator\n"
      "    popup \"&Inner\" grayed\n"
      "      item \"\\\"Two\\\" \\\\ \" 2 grayed\n"
      "    end\n"
      "  end\n"
      "  item \"עִברית\" 0x10\n"
      "end\n"
      "menubar 41 menu 40\n"
      "  button image 3 command 500 state 4 style 0x18 text 17 popup 0\n"
      "end\n"
      "strings\n"
      "  17 \"Top\"\n"
      "  0 \"zero\"\n"
      "  31 \"last of block 2\"\n"
      "end\n"
      "accelerators 42\n"
      "  Shift+Ctrl+Left 7\n"
      "  Alt+F12 8\n"
      "  Delete 9\n"
      "end\n"
      "bitmap 43 \"two.art\"\n";
  std::vector<CompiledResource> out;
  ASSERT_EQ(Compile(source, &out), "");
  ASSERT_EQ(out.size(), 7u) << "menu, menu bar twice, two string blocks, accelerators, bitmap";

  const CompiledResource* menuRes = Find(out, plat::ResTypeMenu, 40);
  ASSERT_TRUE(menuRes);
  plat::Menu menu;
  ASSERT_EQ(plat::DecodeMenu(menuRes->bytes.data(), menuRes->bytes.size(), &menu), plat::MenuOk);
  ASSERT_EQ(menu.items.size(), 2u);
  const plat::MenuItem& top = menu.items[0];
  EXPECT_TRUE(top.popup);
  EXPECT_EQ(top.text, u"&Top");
  ASSERT_EQ(top.submenu.items.size(), 3u);
  EXPECT_EQ(top.submenu.items[0].text, u"&One\bCtrl+1");
  EXPECT_EQ(top.submenu.items[0].id, 1);
  EXPECT_EQ(top.submenu.items[0].state, plat::MenuStateChecked);
  EXPECT_TRUE(top.submenu.items[1].separator);
  const plat::MenuItem& inner = top.submenu.items[2];
  EXPECT_TRUE(inner.popup);
  EXPECT_EQ(inner.state, plat::MenuStateGrayed);
  ASSERT_EQ(inner.submenu.items.size(), 1u);
  EXPECT_EQ(inner.submenu.items[0].text, u"\"Two\" \\ ");
  EXPECT_EQ(inner.submenu.items[0].state, plat::MenuStateGrayed);
  EXPECT_EQ(menu.items[1].text, u"\u05E2\u05B4\u05D1\u05E8\u05D9\u05EA");
  EXPECT_EQ(menu.items[1].id, 0x10);

  const CompiledResource* raw = Find(out, plat::ResTypeRawData, 41);
  const CompiledResource* bar = Find(out, plat::ResTypeMenuBar, 41);
  ASSERT_TRUE(raw && bar);
  const std::vector<uint8_t> expectedBar = {40, 0, 1, 0, 3, 0, 0xF4, 1, 4, 0, 0x18, 0, 17, 0, 0, 0, 0, 0};
  EXPECT_EQ(raw->bytes, expectedBar);
  EXPECT_EQ(bar->bytes, expectedBar);

  const CompiledResource* block1 = Find(out, plat::ResTypeString, 1);
  const CompiledResource* block2 = Find(out, plat::ResTypeString, 2);
  ASSERT_TRUE(block1 && block2);
  std::vector<std::u16string> first(16), second(16);
  first[0] = u"zero";
  second[1] = u"Top";
  second[15] = u"last of block 2";
  EXPECT_EQ(StringBlockEntries(block1->bytes), first);
  EXPECT_EQ(StringBlockEntries(block2->bytes), second);

  const CompiledResource* accel = Find(out, plat::ResTypeAccelerator, 42);
  ASSERT_TRUE(accel);
  const std::vector<uint8_t> expectedAccel = {
      plat::AccelVirtualKey | plat::AccelShift | plat::AccelControl, 0, plat::KeyLeft, 0, 7, 0, 0, 0,
      plat::AccelVirtualKey | plat::AccelAlt, 0, plat::KeyF12, 0, 8, 0, 0, 0,
      plat::AccelVirtualKey | plat::AccelLast, 0, plat::KeyDelete, 0, 9, 0, 0, 0};
  EXPECT_EQ(accel->bytes, expectedAccel);

  const CompiledResource* bitmapRes = Find(out, plat::ResTypeBitmap, 43);
  ASSERT_TRUE(bitmapRes);
  plat::Bitmap* bitmap = plat::CreateBitmapFromDib(bitmapRes->bytes.data(), bitmapRes->bytes.size());
  ASSERT_TRUE(bitmap);
  const plat::Size size = plat::BitmapSize(bitmap);
  EXPECT_EQ(size.cx, 6);
  EXPECT_EQ(size.cy, 2);
  constexpr uint32_t G = 0xC0C0C0, R = 0xFF0000, N = 0x000080, W = 0xFFFFFF;
  const std::vector<uint32_t> expectedPixels = {R, G, G, W, G, R,  //
                                                G, G, N, N, N, N};
  EXPECT_EQ(BitmapPixels(bitmap), expectedPixels);
  plat::DeleteBitmap(bitmap);
}

// Sixteen colours, one a pixel, of a 16 x 1 picture: each comes back as
// itself, so every entry of the palette and both halves of a byte are right.
TEST(PixelArtTest, EveryStandardColourKeepsItsValue) {
  std::string art = "size 16 1\n";
  std::string row;
  for (int i = 0; i < 16; ++i) {
    const char c = static_cast<char>('a' + i);
    art += std::string("colour ") + c + " " + std::to_string(kStandardPalette[i][0]) + " " +
           std::to_string(kStandardPalette[i][1]) + " " + std::to_string(kStandardPalette[i][2]) + "\n";
    row += c;
  }
  art += "picture\n" + row + "\n";
  PixelArt parsed;
  std::string error;
  ASSERT_TRUE(ParsePixelArt(art, "all.art", &parsed, &error)) << error;
  const std::vector<uint8_t> dib = EncodeDib4(parsed);
  plat::Bitmap* bitmap = plat::CreateBitmapFromDib(dib.data(), dib.size());
  ASSERT_TRUE(bitmap);
  const std::vector<uint32_t> pixels = BitmapPixels(bitmap);
  plat::DeleteBitmap(bitmap);
  ASSERT_EQ(pixels.size(), 16u);
  const std::vector<uint32_t> expected = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                          0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                          0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  EXPECT_EQ(pixels, expected);
}

// The tool itself: a failing source or a source that does not make what the
// build lists leaves no file behind; a good one writes TYPE_ID.bin files.
TEST_F(RcFolder, ToolWritesEverythingOrNothing) {
  Write("good.rsrc", "strings\n  1 \"a\"\nend\naccelerators 3\n  F3 117\nend\n");
  Write("bad.rsrc", "strings\n  1 \"a\"\nend\naccelerators 3\n  F3 117\nend\nmenu 1\n");
  const std::string tool = TOVANEL_BINARY_DIR "/tovanel-rc";
  const auto run = [&](const std::string& source, const std::string& listed) {
    const std::string out = Path("out-" + source);
    const std::string command = "'" + tool + "' '" + Path(source) + "' '" + out + "' " + listed + " 2>" +
                                Path("stderr.txt");
    const int status = std::system(command.c_str());
    std::vector<std::string> files;
    if (fs::exists(out)) {
      for (const auto& e : fs::directory_iterator(out)) files.push_back(e.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    return std::make_pair(WIFEXITED(status) ? WEXITSTATUS(status) : -1, files);
  };
  auto [badStatus, badFiles] = run("bad.rsrc", "");
  EXPECT_EQ(badStatus, 1);
  EXPECT_TRUE(badFiles.empty());

  auto [unlistedStatus, unlistedFiles] = run("good.rsrc", "6:1");
  EXPECT_EQ(unlistedStatus, 1) << "accelerators 3 is not listed";
  EXPECT_TRUE(unlistedFiles.empty());

  auto [missingStatus, missingFiles] = run("good.rsrc", "6:1 9:3 2:5");
  EXPECT_EQ(missingStatus, 1) << "bitmap 5 is listed but not made";
  EXPECT_TRUE(missingFiles.empty());

  auto [goodStatus, goodFiles] = run("good.rsrc", "6:1 9:3");
  EXPECT_EQ(goodStatus, 0);
  EXPECT_EQ(goodFiles, (std::vector<std::string>{"6_1.bin", "9_3.bin"}));
}

}  // namespace
