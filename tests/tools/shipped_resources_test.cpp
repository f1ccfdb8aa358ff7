// The resources compiled from resources/program.rsrc and linked into the
// program: exactly the menu, menu bar, strings and shortcuts the reader
// expects, and pictures the platform can load.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/graphics.h"
#include "platform/menu.h"
#include "platform/resources.h"
#include "platform/window.h"
#include "tests/tools/bitmap_pixels.h"
#include "tests/tools/resource_bytes.h"

namespace {

std::vector<uint8_t> ResourceBytes(uint16_t type, uint16_t id) {
  const plat::ResourceHandle h = plat::FindProgramResource(type, id);
  const uint8_t* data = plat::LoadProgramResource(h);
  if (!data) return {};
  return std::vector<uint8_t>(data, data + plat::ResourceSize(h));
}

struct ExpectedItem {
  const char16_t* text;  // null: a separator
  uint16_t command;
};
struct ExpectedPopup {
  const char16_t* text;
  std::vector<ExpectedItem> items;
};

TEST(ShippedResources, MainMenuHasEveryItemInOrder) {
  const std::vector<ExpectedPopup> expected = {
      {u"&File",
       {{u"&About", 40004},
        {u"Check For &Updates", 129},
        {u"&Choose Article\bCtrl+D", 119},
        {nullptr, 0},
        {u"F&ont\bCtrl+F", 40006},
        {u"Re&verse", 122},
        {nullptr, 0},
        {u"&Copy\bCtrl+C", 40007},
        {u"&Append to ClipBoard\bCtrl+E", 40009},
        {u"E&xit\bCtrl+Q", 40005}}},
      {u"&Go",
       {{u"&Index\bCtrl+D", 119},
        {u"&Bookmark", 123},
        {u"&Previous Article", 110},
        {u"&Next Article", 109},
        {nullptr, 0},
        {u"&Search\bAlt+F3", 116},
        {u"Search A&gain\bF3", 117}}},
  };
  plat::Menu menu;
  ASSERT_EQ(plat::LoadMenuResource(102, &menu), plat::MenuOk);
  ASSERT_EQ(menu.items.size(), expected.size());
  for (std::size_t p = 0; p < expected.size(); ++p) {
    const plat::MenuItem& popup = menu.items[p];
    SCOPED_TRACE(p);
    EXPECT_TRUE(popup.popup);
    EXPECT_EQ(popup.text, expected[p].text);
    EXPECT_EQ(popup.state, 0u);
    ASSERT_EQ(popup.submenu.items.size(), expected[p].items.size());
    for (std::size_t i = 0; i < expected[p].items.size(); ++i) {
      const plat::MenuItem& item = popup.submenu.items[i];
      const ExpectedItem& want = expected[p].items[i];
      SCOPED_TRACE(i);
      EXPECT_FALSE(item.popup);
      EXPECT_EQ(item.separator, want.text == nullptr);
      EXPECT_EQ(item.text, want.text ? want.text : u"");
      EXPECT_EQ(item.id, want.command);
      EXPECT_EQ(item.state, 0u) << "enabled and unchecked";
    }
  }
}

TEST(ShippedResources, MenuBarIsTheThirtyTwoBytesUnderBothTypes) {
  const std::vector<uint8_t> expected = {
      102, 0, 2, 0,                                                     // menu, buttons
      0xFE, 0xFF, 0x41, 0x9C, 4, 0, 0x18, 0, 0x2F, 0x01, 0, 0, 0, 0,    // 40001, "File", pop-up 0
      0xFE, 0xFF, 0x42, 0x9C, 4, 0, 0x18, 0, 0x2E, 0x01, 0, 0, 1, 0};   // 40002, "Go", pop-up 1
  EXPECT_EQ(ResourceBytes(plat::ResTypeRawData, 102), expected);
  EXPECT_EQ(ResourceBytes(plat::ResTypeMenuBar, 102), expected);
}

TEST(ShippedResources, StringBlockHoldsGoAndFile) {
  // Strings 302 and 303 are entries 14 and 15 of block 19; the rest are empty.
  std::vector<std::u16string> expected(16);
  expected[14] = u"Go";
  expected[15] = u"File";
  EXPECT_EQ(StringBlockEntries(ResourceBytes(plat::ResTypeString, 19)), expected);
}

TEST(ShippedResources, AcceleratorsAreTheMenuShortcuts) {
  constexpr uint16_t V = plat::AccelVirtualKey, C = plat::AccelControl, A = plat::AccelAlt;
  const uint16_t expected[][3] = {{V | C, 'D', 119},  {V | C, 'F', 40006}, {V | C, 'C', 40007},
                                  {V | C, 'E', 40009}, {V | C, 'Q', 40005}, {V | A, plat::KeyF1 + 2, 116},
                                  {V, plat::KeyF1 + 2, 117}};
  const std::vector<uint8_t> bytes = ResourceBytes(plat::ResTypeAccelerator, 3);
  ASSERT_EQ(bytes.size(), std::size(expected) * 8);
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    const bool last = i + 1 == std::size(expected);
    EXPECT_EQ(Word(bytes, i * 8), expected[i][0] | (last ? plat::AccelLast : 0));
    EXPECT_EQ(Word(bytes, i * 8 + 2), expected[i][1]);
    EXPECT_EQ(Word(bytes, i * 8 + 4), expected[i][2]);
    EXPECT_EQ(Word(bytes, i * 8 + 6), 0);
  }
  plat::AcceleratorTable* table = plat::LoadAcceleratorTable(3);
  EXPECT_NE(table, nullptr);
  plat::FreeAcceleratorTable(table);
}

TEST(ShippedResources, ToolbarBitmapIsSixPicturesOnATransparentBackground) {
  plat::Bitmap* bitmap = plat::LoadBitmapResource(114);
  ASSERT_NE(bitmap, nullptr);
  const plat::Size size = plat::BitmapSize(bitmap);
  EXPECT_EQ(size.cx, 96);
  EXPECT_EQ(size.cy, 16);
  const std::vector<uint32_t> pixels = BitmapPixels(bitmap);
  plat::DeleteBitmap(bitmap);
  ASSERT_EQ(pixels.size(), 96u * 16u);
  // Each picture has a transparent (magenta) background and something drawn on it.
  for (int picture = 0; picture < 6; ++picture) {
    int clear = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) clear += pixels[y * 96 + picture * 16 + x] == 0xFF00FF;
    }
    EXPECT_GT(clear, 64) << "picture " << picture;
    EXPECT_LT(clear, 256 - 16) << "picture " << picture;
  }
}

TEST(ShippedResources, IconIsA32By32PictureWithATransparentBackground) {
  const std::vector<uint8_t> bytes = ResourceBytes(plat::ResTypeIcon, 101);
  plat::Bitmap* icon = plat::CreateBitmapFromDib(bytes.data(), bytes.size());
  ASSERT_NE(icon, nullptr);
  const plat::Size size = plat::BitmapSize(icon);
  EXPECT_EQ(size.cx, 32);
  EXPECT_EQ(size.cy, 32);
  const std::vector<uint32_t> pixels = BitmapPixels(icon);
  plat::DeleteBitmap(icon);
  ASSERT_EQ(pixels.size(), 32u * 32u);
  constexpr uint32_t kTransparent = 0xFF00FF;
  for (std::size_t corner : {0u, 31u, 31u * 32u, 32u * 32u - 1u}) EXPECT_EQ(pixels[corner], kTransparent);
  int drawn = 0;
  for (uint32_t p : pixels) drawn += p != kTransparent;
  EXPECT_GT(drawn, 32 * 32 / 2) << "the picture fills most of the icon";
}

}  // namespace
