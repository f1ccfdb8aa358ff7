#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "platform/shell_open.h"
#include "platform/system.h"
#include "platform/text_utf.h"

namespace fs = std::filesystem;

namespace {

TEST(System, ProgramPathAndVersion) {
  char16_t path[300];
  int32_t n = plat::ProgramFilePath(path, 299);
  ASSERT_GT(n, 0);
  EXPECT_EQ(path[n], 0);
  EXPECT_EQ(fs::path(plat::Utf16ToUtf8(path)), fs::canonical("/proc/self/exe"));
  EXPECT_EQ(plat::ProgramFilePath(path, 3), 0) << "a path longer than the room gives nothing";
  EXPECT_EQ(plat::GetPlatformVersion().major, 4);
  EXPECT_EQ(plat::GetPlatformVersion().minor, 20);
}

// A stand-in opener on PATH records the address it was given.
TEST(ShellOpen, HandsTheAddressToTheOpenerWithoutWaiting) {
  fs::path dir = fs::temp_directory_path() / ("tovanel-open-" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::path log = dir / "opened";
  {
    std::ofstream script(dir / "xdg-open");
    // It waits until the test lets it go, so returning at all shows that
    // nobody waited for it.
    script << "#!/bin/sh\nwhile [ ! -e '" << (dir / "go").string() << "' ]; do sleep 0.05; done\n"
           << "printf '%s' \"$1\" > '" << log.string() << "'\n";
  }
  fs::permissions(dir / "xdg-open", fs::perms::owner_all);
  std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (dir.string() + ":" + oldPath).c_str(), 1);

  EXPECT_TRUE(plat::OpenAddress(u"Open", u"http://example.org/cgi-bin/upgrade?p=arm/&v=1"));
  EXPECT_FALSE(fs::exists(log));
  std::ofstream(dir / "go") << "";
  std::string opened;
  for (int i = 0; i < 200 && opened.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream in(log);
    opened.assign(std::istreambuf_iterator<char>(in), {});
  }
  EXPECT_EQ(opened, "http://example.org/cgi-bin/upgrade?p=arm/&v=1");

  for (auto [verb, address] : {std::pair{u"Edit", u"http://x"}, std::pair{u"Open", u""},
                               std::pair{u"Open", u"--help"}}) {
    EXPECT_FALSE(plat::OpenAddress(verb, address));
  }
  setenv("PATH", oldPath.c_str(), 1);
  fs::remove_all(dir);
}

}  // namespace
