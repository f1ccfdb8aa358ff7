#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char16_t kProgramKey[] = u"Software\\Corvanta\\Tovanel (Vowels)";

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tovanel-reg-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    file_ = (dir_ / "registry.reg").string();
    setenv("TOVANEL_REGISTRY", file_.c_str(), 1);
  }
  void TearDown() override {
    plat::SetRegistryBeforeReplaceHook(nullptr);
    unsetenv("TOVANEL_REGISTRY");
    fs::remove_all(dir_);
  }

  std::string FileText() const {
    std::ifstream in(file_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void WriteFileText(const std::string& text) const { std::ofstream(file_, std::ios::binary) << text; }

  static int32_t Set(const char16_t* key, const char16_t* name, uint32_t type,
                     std::vector<uint8_t> data) {
    plat::RegKey* k = nullptr;
    int32_t r = plat::RegCreateKey(plat::RegRootCurrentUser, key, plat::RegAccessAll, &k);
    if (r != plat::RegOk) return r;
    r = plat::RegSetValue(k, name, type, data.data(), static_cast<uint32_t>(data.size()));
    plat::RegCloseKey(k);
    return r;
  }
  static int32_t Get(const char16_t* key, const char16_t* name, uint32_t* type,
                     std::vector<uint8_t>* data) {
    plat::RegKey* k = nullptr;
    int32_t r = plat::RegOpenKey(plat::RegRootCurrentUser, key, plat::RegAccessRead, &k);
    if (r != plat::RegOk) return r;
    uint32_t size = 0;
    r = plat::RegQueryValue(k, name, type, nullptr, &size);
    if (r == plat::RegOk) {
      data->assign(size, 0);
      r = plat::RegQueryValue(k, name, type, data->data(), &size);
    }
    plat::RegCloseKey(k);
    return r;
  }
  static std::vector<uint8_t> Text(const std::u16string& s) {
    std::vector<uint8_t> out;
    for (char16_t u : s) {
      out.push_back(static_cast<uint8_t>(u));
      out.push_back(static_cast<uint8_t>(u >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    return out;
  }

  fs::path dir_;
  std::string file_;
};

TEST_F(Registry, ValuesRoundTripThroughTheExportFormat) {
  struct Case {
    const char16_t* name;
    uint32_t type;
    std::vector<uint8_t> data;
    const char* line;  // as it stands in the file
  } cases[] = {
      {u"FontName", plat::RegTypeString, Text(u"Frank Ruehl CLM"), "\"FontName\"=\"Frank Ruehl CLM\""},
      {u"Hebrew", plat::RegTypeString, Text(u"\u05D0\"\\"), "\"Hebrew\"=\"\xD7\x90\\\"\\\\\""},
      {u"FontSize", plat::RegTypeNumber, {12, 0, 0, 0}, "\"FontSize\"=dword:0000000c"},
      {u"Flags", plat::RegTypeNumber, {0x40, 0, 0x14, 0xD1}, "\"Flags\"=dword:d1140040"},
      {u"Bookmarks", plat::RegTypeBinary, {3, 0, 0, 0}, "\"Bookmarks\"=hex:03,00,00,00"},
      {u"Empty", plat::RegTypeBinary, {}, "\"Empty\"=hex:"},
      {u"Odd", 7, {1, 2}, "\"Odd\"=hex(7):01,02"},
      {u"BadText", plat::RegTypeString, {0x41, 0}, "\"BadText\"=hex(1):41,00"},
  };
  for (const auto& c : cases) ASSERT_EQ(Set(kProgramKey, c.name, c.type, c.data), plat::RegOk);
  const std::string text = FileText();
  EXPECT_EQ(text.rfind("REGEDIT4\n", 0), 0u) << text;
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Corvanta\\Tovanel (Vowels)]\n"), std::string::npos);
  for (const auto& c : cases) {
    EXPECT_NE(text.find(std::string(c.line) + "\n"), std::string::npos) << c.line;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    ASSERT_EQ(Get(kProgramKey, c.name, &type, &data), plat::RegOk);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(data, c.data);
  }
  // Keys and value names are compared without regard to case.
  uint32_t type = 0;
  std::vector<uint8_t> data;
  EXPECT_EQ(Get(u"SOFTWARE\\corvanta\\TOVANEL (VOWELS)", u"fontsize", &type, &data), plat::RegOk);
  EXPECT_EQ(data, (std::vector<uint8_t>{12, 0, 0, 0}));
  ASSERT_EQ(Set(u"software\\CORVANTA\\tovanel (vowels)", u"FONTSIZE", plat::RegTypeNumber, {9, 0, 0, 0}),
            plat::RegOk);
  EXPECT_EQ(Get(kProgramKey, u"FontSize", &type, &data), plat::RegOk);
  EXPECT_EQ(data[0], 9);
}

TEST_F(Registry, ReadsHandWrittenFiles) {
  WriteFileText(
      "REGEDIT4\r\n\r\n; a comment\r\n[HKEY_CURRENT_USER\\software\\Corvanta]\r\n"
      "\"FullScreen\"=dword:00000001\r\n\"MenuBarOnBottom\"=\"1\"\r\n@=\"default\"\r\n"
      "\"Long\"=hex:01,02,\\\r\n  03,04\r\n");
  uint32_t type = 0;
  std::vector<uint8_t> data;
  ASSERT_EQ(Get(u"Software\\Corvanta", u"FullScreen", &type, &data), plat::RegOk);
  EXPECT_EQ(data, (std::vector<uint8_t>{1, 0, 0, 0}));
  ASSERT_EQ(Get(u"Software\\Corvanta", u"MenuBarOnBottom", &type, &data), plat::RegOk);
  EXPECT_EQ(type, plat::RegTypeString);
  EXPECT_EQ(data, Text(u"1"));
  ASSERT_EQ(Get(u"Software\\Corvanta", u"Long", &type, &data), plat::RegOk);
  EXPECT_EQ(data, (std::vector<uint8_t>{1, 2, 3, 4}));
  ASSERT_EQ(Get(u"Software\\Corvanta", nullptr, &type, &data), plat::RegOk);
  EXPECT_EQ(data, Text(u"default"));
}

TEST_F(Registry, QueriesAndAccess) {
  ASSERT_EQ(Set(kProgramKey, u"Lesson", plat::RegTypeNumber, {3, 0, 0, 0}), plat::RegOk);
  plat::RegKey* k = nullptr;
  EXPECT_EQ(plat::RegOpenKey(plat::RegRootCurrentUser, u"Software\\Nobody", plat::RegAccessRead, &k),
            plat::RegNotFound);
  EXPECT_EQ(k, nullptr);
  ASSERT_EQ(plat::RegOpenKey(plat::RegRootCurrentUser, kProgramKey, plat::RegAccessRead, &k), plat::RegOk);
  uint32_t type = 0, size = 2;
  uint8_t small[2];
  EXPECT_EQ(plat::RegQueryValue(k, u"Lesson", &type, small, &size), plat::RegMoreData);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(plat::RegQueryValue(k, u"Missing", &type, nullptr, &size), plat::RegNotFound);
  const uint8_t one[4] = {1, 0, 0, 0};
  EXPECT_EQ(plat::RegSetValue(k, u"Lesson", plat::RegTypeNumber, one, 4), plat::RegAccessDenied);
  plat::RegCloseKey(k);
  EXPECT_EQ(plat::RegOpenKey(0x80000002, kProgramKey, plat::RegAccessRead, &k), plat::RegInvalid);
  // A key with keys below it exists even without values of its own; a key
  // that only shares the beginning of a name does not.
  ASSERT_EQ(plat::RegOpenKey(plat::RegRootCurrentUser, u"software\\CORVANTA", plat::RegAccessRead, &k),
            plat::RegOk);
  plat::RegCloseKey(k);
  EXPECT_EQ(plat::RegOpenKey(plat::RegRootCurrentUser, u"Software\\Corvan", plat::RegAccessRead, &k),
            plat::RegNotFound);
}

TEST_F(Registry, WritesKeepWhatOthersChangedMeanwhile) {
  ASSERT_EQ(Set(kProgramKey, u"A", plat::RegTypeNumber, {1, 0, 0, 0}), plat::RegOk);
  plat::RegKey* k = nullptr;
  ASSERT_EQ(plat::RegCreateKey(plat::RegRootCurrentUser, kProgramKey, plat::RegAccessAll, &k), plat::RegOk);
  // Another program changes the file after this key was opened.
  ASSERT_EQ(Set(u"Software\\Other", u"B", plat::RegTypeNumber, {2, 0, 0, 0}), plat::RegOk);
  const uint8_t five[4] = {5, 0, 0, 0};
  ASSERT_EQ(plat::RegSetValue(k, u"A", plat::RegTypeNumber, five, 4), plat::RegOk);
  plat::RegCloseKey(k);
  uint32_t type = 0;
  std::vector<uint8_t> data;
  ASSERT_EQ(Get(u"Software\\Other", u"B", &type, &data), plat::RegOk);
  EXPECT_EQ(data[0], 2);
  ASSERT_EQ(Get(kProgramKey, u"A", &type, &data), plat::RegOk);
  EXPECT_EQ(data[0], 5);

  // Two processes writing at the same time lose nothing.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  const int kEach = 25;
  auto writeMany = [&](const char16_t* prefix) {
    for (int i = 0; i < kEach; ++i) {
      std::u16string name = prefix + std::u16string(1, static_cast<char16_t>(u'a' + i));
      Set(kProgramKey, name.c_str(), plat::RegTypeNumber, {static_cast<uint8_t>(i), 0, 0, 0});
    }
  };
  if (child == 0) {
    writeMany(u"child-");
    _exit(0);
  }
  writeMany(u"parent-");
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  for (const char16_t* prefix : {u"child-", u"parent-"}) {
    for (int i = 0; i < kEach; ++i) {
      std::u16string name = prefix + std::u16string(1, static_cast<char16_t>(u'a' + i));
      ASSERT_EQ(Get(kProgramKey, name.c_str(), &type, &data), plat::RegOk);
      EXPECT_EQ(data[0], i);
    }
  }
}

TEST_F(Registry, AnInterruptedWriteLeavesTheOldFile) {
  ASSERT_EQ(Set(kProgramKey, u"Kept", plat::RegTypeNumber, {7, 0, 0, 0}), plat::RegOk);
  const std::string before = FileText();
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Dies after the new file is written and before it replaces the old.
    plat::SetRegistryBeforeReplaceHook([] { _exit(3); });
    Set(kProgramKey, u"Lost", plat::RegTypeNumber, {1, 0, 0, 0});
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 3);
  EXPECT_EQ(FileText(), before);
  uint32_t type = 0;
  std::vector<uint8_t> data;
  EXPECT_EQ(Get(kProgramKey, u"Kept", &type, &data), plat::RegOk);
  EXPECT_EQ(Get(kProgramKey, u"Lost", &type, &data), plat::RegNotFound);
}

TEST_F(Registry, ACorruptFileIsSetAsideNotOverwritten) {
  const std::string garbage = "this is not an export\n[HKEY_CURRENT_USER\\x]\n\"A\"=dword:zz\n";
  for (const std::string& bad : {garbage, std::string("REGEDIT4\n\"A\"=dword:1\n"),
                                 std::string("REGEDIT4\n[HKEY_CURRENT_USER\\x]\n\"A\"=hex:1,2\n")}) {
    SCOPED_TRACE(bad);
    for (const auto& e : fs::directory_iterator(dir_)) fs::remove(e.path());
    WriteFileText(bad);
    uint32_t type = 0;
    std::vector<uint8_t> data;
    EXPECT_EQ(Get(kProgramKey, u"A", &type, &data), plat::RegNotFound);
    std::vector<fs::path> aside;
    for (const auto& e : fs::directory_iterator(dir_))
      if (e.path().filename().string().find(".corrupt-") != std::string::npos) aside.push_back(e.path());
    ASSERT_EQ(aside.size(), 1u);
    std::ifstream in(aside[0], std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bad);
    ASSERT_EQ(Set(kProgramKey, u"A", plat::RegTypeNumber, {1, 0, 0, 0}), plat::RegOk);
    EXPECT_EQ(FileText().rfind("REGEDIT4", 0), 0u);
  }
}

}  // namespace
