#include "shell/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "platform/message_box.h"
#include "platform/registry.h"
#include "platform/window.h"
#include "shell/app_globals.h"

namespace fs = std::filesystem;

namespace {

class Settings : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tovanel-settings-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    file_ = (dir_ / "registry.reg").string();
    setenv("TOVANEL_REGISTRY", file_.c_str(), 1);
    ClearAppGlobals();
    ResetSettingsStoreForTest();
    plat::SetMessageBoxEcho(false);
    plat::TakeShownMessages();
    DrainQueue();
  }
  void TearDown() override {
    plat::MemFailAfter(-1);
    FreeBookmarks();
    DrainQueue();
    unsetenv("TOVANEL_REGISTRY");
    fs::remove_all(dir_);
  }

  static bool DrainQueue() {
    bool quit = false;
    plat::Message msg{};
    while (plat::PollMessage(&msg, nullptr, 0, 0, true)) quit = quit || msg.message == plat::MsgQuit;
    return quit;
  }
  void Store(const std::string& values) const {
    std::ofstream(file_) << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Corvanta\\Tovanel (Vowels)]\n"
                         << values;
  }
  std::string FileText() const {
    std::ifstream in(file_);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // The file without the line that every start rewrites.
  std::string StoredSettings() const {
    std::string text = FileText(), out;
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      std::string line = text.substr(start, end - start);
      if (line.rfind("\"Program Path\"", 0) != 0) out += line + "\n";
      if (end == std::string::npos) break;
      start = end + 1;
    }
    return out;
  }

  fs::path dir_;
  std::string file_;
};

TEST_F(Settings, StoredValuesAreReadAsTheirTypesSay) {
  struct Case {
    const char* stored;
    void (*check)();
  } cases[] = {
      {"", [] {
         EXPECT_EQ(g_app.fontChoice.faceName[0], 0);
         EXPECT_EQ(g_app.fontChoice.size, 0);
         EXPECT_EQ(g_app.fontChoice.asciiBase, 1488);
         EXPECT_EQ(g_app.displayFlags, 0xD1140040u);
         EXPECT_EQ(g_app.currentArticle, 0);
         EXPECT_EQ(g_app.savedTopLine, 0);
         EXPECT_EQ(g_app.bookmarkCount, 0);
         EXPECT_EQ(g_app.searchString[0], 0);
       }},
      {"\"FontSize\"=\"18\"\n", [] { EXPECT_EQ(g_app.fontChoice.size, 18); }},
      {"\"FontSize\"=\"\"\n", [] { EXPECT_EQ(g_app.fontChoice.size, 0); }},
      {"\"FontSize\"=\"1a\"\n", [] { EXPECT_EQ(g_app.fontChoice.size, 59); }},
      {"\"Flags\"=dword:00000000\n", [] { EXPECT_EQ(g_app.displayFlags, 0u); }},
      {"\"LastPosition\"=dword:00011170\n", [] { EXPECT_EQ(g_app.savedTopLine, 4464); }},
      {"\"Lesson\"=dword:00000007\n", [] { EXPECT_EQ(g_app.currentArticle, 7); }},
      {"\"FontName\"=\"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\"\n", [] {
         EXPECT_EQ(std::u16string(g_app.fontChoice.faceName), u"ABCDEFGHIJKLMNOPQRSTUVWXYZ01234");
       }},
      {"\"SearchString\"=hex:61,62,63,64,65,66,67,68,69,6a,6b,6c,6d,6e,6f,70,71,72,73,74,75,76,77,78,"
       "79,7a,61,62,63,64,65,66,67,68,69,6a,6b,6c,6d,6e\n",
       [] {
         EXPECT_EQ(std::string(reinterpret_cast<const char*>(g_app.searchString)),
                   "abcdefghijklmnopqrstuvwxyzabcdefg");
       }},
      {"\"Bookmarks\"=hex:03,00,0c,00,00,00\n", [] {
         EXPECT_EQ(g_app.bookmarkCount, 2);
         EXPECT_EQ(g_app.bookmarks[0], 3);
         EXPECT_EQ(g_app.bookmarks[1], 12);
         g_app.currentArticle = 12;
         EXPECT_EQ(IsBookmarked(), 1);
         g_app.currentArticle = 4;
         EXPECT_EQ(IsBookmarked(), 0);
       }},
      // Not written by this program: no terminating unit, an odd size.
      {"\"Bookmarks\"=hex:05,00,06\n", [] {
         EXPECT_EQ(g_app.bookmarkCount, 0);
         g_app.currentArticle = 5;
         EXPECT_EQ(IsBookmarked(), 1);
         g_app.currentArticle = 6;
         EXPECT_EQ(IsBookmarked(), 0);
       }},
      {"\"Bookmarks\"=hex:\n", [] {
         EXPECT_EQ(g_app.bookmarkCount, 0);
         g_app.currentArticle = 1;
         EXPECT_EQ(IsBookmarked(), 0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    FreeBookmarks();
    ClearAppGlobals();
    Store(c.stored);
    LoadSettings();
    c.check();
  }
  EXPECT_NE(FileText().find("\"Program Path\"=\""), std::string::npos);
  EXPECT_TRUE(plat::TakeShownMessages().empty());
}

TEST_F(Settings, ExitWritesWhatIsSetAndNeverErases) {
  Store("\"SearchString\"=hex:61,62,00\n\"FontName\"=\"Ezra SIL\"\n\"FontSize\"=dword:00000014\n"
        "\"Lesson\"=dword:00000003\n\"Bookmarks\"=hex:03,00,00,00\n");
  LoadSettings();
  // Empty or 0 at exit: the stored values stay.
  g_app.searchString[0] = 0;
  g_app.fontChoice.faceName[0] = 0;
  g_app.fontChoice.size = 0;
  g_app.currentArticle = 0;
  g_app.displayFlags ^= FlagReverse;
  SaveSettingsAndQuit();
  EXPECT_TRUE(DrainQueue()) << "the quit request is posted";

  ClearAppGlobals();
  ResetSettingsStoreForTest();
  LoadSettings();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(g_app.searchString)), "ab");
  EXPECT_EQ(std::u16string(g_app.fontChoice.faceName), u"Ezra SIL");
  EXPECT_EQ(g_app.fontChoice.size, 20);
  EXPECT_EQ(g_app.currentArticle, 3);
  EXPECT_EQ(g_app.displayFlags, kDefaultDisplayFlags ^ FlagReverse);
  EXPECT_EQ(g_app.bookmarkCount, 1);
  // The maker key is read, never written.
  plat::RegKey* key = nullptr;
  ASSERT_EQ(plat::RegOpenKey(plat::RegRootCurrentUser, kMakerKey, plat::RegAccessRead, &key), plat::RegOk);
  for (const char16_t* name : {u"IgnoreActivate", u"FullScreen", u"AllowSipInHebrewSearch",
                               u"MenuBarOnBottom", u"SurroundingGutter"}) {
    uint32_t type = 0, size = 0;
    EXPECT_EQ(plat::RegQueryValue(key, name, &type, nullptr, &size), plat::RegNotFound);
    EXPECT_EQ(ReadNumberSetting(kMakerKey, name, -7), -7);
  }
  plat::RegCloseKey(key);
}

TEST_F(Settings, SaveRunsOncePerProcess) {
  LoadSettings();
  g_app.currentArticle = 4;
  SaveSettingsAndQuit();
  const std::string first = FileText();
  g_app.currentArticle = 9;
  SaveSettingsAndQuit();
  EXPECT_EQ(FileText(), first);
}

// Memory running out while the settings load ends the program without
// replacing any stored value by one that was never read.
TEST_F(Settings, RunningOutOfMemoryWhileLoadingKeepsTheStoredValues) {
  const std::string stored =
      "\"FontName\"=\"Frank Ruehl CLM\"\n\"SearchString\"=hex:61,00\n\"FontSize\"=\"24\"\n"
      "\"Flags\"=\"3\"\n\"Lesson\"=dword:00000002\n\"Bookmarks\"=hex:02,00,00,00\n";
  for (long n = 0;; ++n) {
    SCOPED_TRACE(n);
    Store(stored);
    const std::string before = StoredSettings();
    FreeBookmarks();
    ClearAppGlobals();
    ResetSettingsStoreForTest();
    plat::MemFailAfter(n);
    LoadSettings();
    plat::MemFailAfter(-1);
    auto shown = plat::TakeShownMessages();
    const bool quit = DrainQueue();
    if (shown.empty()) {
      // Every allocation succeeded: the load is complete.
      EXPECT_FALSE(quit);
      EXPECT_EQ(g_app.fontChoice.size, 24);
      break;
    }
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, u"There is not enough memory, aborting");
    EXPECT_EQ(shown[0].caption, u"Error");
    EXPECT_EQ(shown[0].flags, 16u);
    EXPECT_TRUE(quit);
    EXPECT_EQ(StoredSettings(), before);
    FreeBookmarks();
    ASSERT_LT(n, 100);
  }
}

TEST_F(Settings, RunningOutOfMemoryLaterSavesAndEnds) {
  LoadSettings();
  g_app.currentArticle = 6;
  plat::MemFailAfter(0);
  EXPECT_EQ(AllocOrAbort(64), nullptr);
  plat::MemFailAfter(-1);
  ASSERT_EQ(plat::TakeShownMessages().size(), 1u);
  EXPECT_TRUE(DrainQueue());
  EXPECT_EQ(ReadProgramNumber(u"Lesson", 0), 6);
  void* block = AllocOrAbort(64);
  EXPECT_NE(block, nullptr);
  plat::MemFree(block);
}

}  // namespace
