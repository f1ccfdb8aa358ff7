#include "platform/clipboard.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/memory.h"

namespace {

plat::MemBlock* Text(const std::u16string& s) {
  plat::MemBlock* b = plat::BlockAlloc(plat::BlockMovable, (s.size() + 1) * 2);
  auto* p = static_cast<char16_t*>(plat::BlockLock(b));
  std::memcpy(p, s.c_str(), (s.size() + 1) * 2);
  plat::BlockUnlock(b);
  return b;
}

std::u16string Read(plat::MemBlock* b) {
  auto* p = static_cast<const char16_t*>(plat::BlockLock(b));
  std::u16string s(p, plat::BlockSize(b) / 2);
  plat::BlockUnlock(b);
  if (!s.empty() && s.back() == 0) s.pop_back();
  return s;
}

class Clipboard : public ::testing::Test {
 protected:
  void SetUp() override { live_ = plat::MemLiveBlocks(); }
  void TearDown() override {
    if (plat::ClipOpen(nullptr)) {
      plat::ClipEmpty();
      plat::ClipClose();
    }
    EXPECT_EQ(plat::MemLiveBlocks(), live_) << "blocks leaked";
  }
  long live_ = 0;
};

TEST_F(Clipboard, HoldsOneBlockPerFormatWhileOpenOnlyByOne) {
  const uint32_t rtf = plat::ClipRegisterFormat(u"Rich Text Format");
  EXPECT_GE(rtf, 0xC000u);
  EXPECT_EQ(plat::ClipRegisterFormat(u"rich text format"), rtf);
  EXPECT_NE(plat::ClipRegisterFormat(u"Other"), rtf);
  EXPECT_EQ(plat::ClipRegisterFormat(u""), 0u);

  plat::MemBlock* hello = Text(u"hello");
  EXPECT_EQ(plat::ClipSet(plat::ClipFormatUnicodeText, hello), nullptr) << "closed";
  ASSERT_TRUE(plat::ClipOpen(nullptr));
  EXPECT_FALSE(plat::ClipOpen(nullptr)) << "one opener at a time";
  ASSERT_TRUE(plat::ClipEmpty());
  EXPECT_EQ(plat::ClipSet(plat::ClipFormatUnicodeText, hello), hello);
  // Setting a format again releases the block it held.
  EXPECT_NE(plat::ClipSet(plat::ClipFormatUnicodeText, Text(u"\u05D0\u05D1")), nullptr);
  plat::MemBlock* doc = plat::BlockAlloc(plat::BlockMovable | plat::BlockZeroInit, 8);
  EXPECT_EQ(plat::ClipSet(rtf, doc), doc);
  ASSERT_TRUE(plat::ClipClose());
  EXPECT_EQ(plat::ClipGet(rtf), nullptr) << "closed";

  ASSERT_TRUE(plat::ClipOpen(nullptr));
  ASSERT_NE(plat::ClipGet(plat::ClipFormatUnicodeText), nullptr);
  EXPECT_EQ(Read(plat::ClipGet(plat::ClipFormatUnicodeText)), u"\u05D0\u05D1");
  EXPECT_EQ(plat::ClipGet(rtf), doc);
  EXPECT_EQ(plat::ClipGet(plat::ClipRegisterFormat(u"Other")), nullptr);
  ASSERT_TRUE(plat::ClipEmpty());
  EXPECT_EQ(plat::ClipGet(rtf), nullptr);
  plat::ClipClose();
}

TEST_F(Clipboard, BlocksFailCleanly) {
  plat::MemFailAfter(1);  // the record succeeds, its bytes do not
  EXPECT_EQ(plat::BlockAlloc(plat::BlockMovable, 100), nullptr);
  plat::MemFailAfter(-1);
  plat::MemBlock* b = plat::BlockAlloc(plat::BlockZeroInit, 3);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(plat::BlockSize(b), 3u);
  auto* p = static_cast<uint8_t*>(plat::BlockLock(b));
  EXPECT_EQ(p[0] | p[1] | p[2], 0);
  plat::BlockUnlock(b);
  plat::BlockFree(b);
}

// With a screen running, text is shared with the desktop: what the program
// sets is published, and text copied elsewhere replaces the content.
TEST_F(Clipboard, SharesTextWithTheDesktop) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  const uint32_t rtf = plat::ClipRegisterFormat(u"Rich Text Format");
  ASSERT_TRUE(plat::ClipOpen(nullptr));
  plat::ClipEmpty();
  plat::ClipSet(plat::ClipFormatUnicodeText, Text(u"\u05E9\u05DC\u05D5\u05DD"));
  plat::ClipSet(rtf, plat::BlockAlloc(plat::BlockZeroInit, 4));
  plat::ClipClose();
  char* shared = SDL_GetClipboardText();
  EXPECT_STREQ(shared, "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D");
  SDL_free(shared);

  ASSERT_TRUE(plat::ClipOpen(nullptr));
  EXPECT_NE(plat::ClipGet(rtf), nullptr) << "the program's own text is not taken back";
  plat::ClipClose();

  SDL_SetClipboardText("copied elsewhere");
  ASSERT_TRUE(plat::ClipOpen(nullptr));
  ASSERT_NE(plat::ClipGet(plat::ClipFormatUnicodeText), nullptr);
  EXPECT_EQ(Read(plat::ClipGet(plat::ClipFormatUnicodeText)), u"copied elsewhere");
  EXPECT_EQ(plat::ClipGet(rtf), nullptr);
  plat::ClipEmpty();
  plat::ClipClose();
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
