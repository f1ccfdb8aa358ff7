// The reader as users start it: the program file, run headless from a
// script, with a second copy, `--close`, and without a display.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Process {
  pid_t pid = -1;
  std::string errPath;
};

class ReaderProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tovanel-process-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "run");
    fs::permissions(dir_ / "run", fs::perms::owner_all);
  }
  void TearDown() override {
    for (Process& p : started_) {
      if (p.pid > 0) {
        kill(p.pid, SIGKILL);
        waitpid(p.pid, nullptr, 0);
      }
    }
    fs::remove_all(dir_);
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name), std::ios::binary) << text;
    return Path(name);
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // Starts the program with its registry and its instance folder in this
  // test's folder; `noDisplay` also takes every display away.
  Process Spawn(const std::vector<std::string>& args, bool noDisplay = false) {
    Process p;
    p.errPath = Path("stderr-" + std::to_string(started_.size()));
    const std::string registry = Path("registry.reg"), run = Path("run");
    p.pid = fork();
    if (p.pid == 0) {
      setenv("TOVANEL_REGISTRY", registry.c_str(), 1);
      setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
      if (noDisplay) {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("SDL_VIDEODRIVER");
      }
      if (!freopen(p.errPath.c_str(), "w", stderr) || !freopen("/dev/null", "w", stdout)) _exit(127);
      std::vector<char*> argv{const_cast<char*>(TOVANEL_PROGRAM)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(TOVANEL_PROGRAM, argv.data());
      _exit(127);
    }
    started_.push_back(p);
    return p;
  }
  // The exit status, or -1 when it did not end within `seconds`.
  int Wait(Process* p, int seconds = 60) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (waitpid(p->pid, &status, WNOHANG) == p->pid) {
        for (Process& q : started_) {
          if (q.pid == p->pid) q.pid = -1;
        }
        p->pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }
  int Run(const std::vector<std::string>& args, bool noDisplay = false) {
    Process p = Spawn(args, noDisplay);
    return Wait(&p);
  }
  // Waits until the running copy has published its window.
  bool WaitForRunningCopy() {
    for (int i = 0; i < 500; ++i) {
      for (const auto& entry : fs::recursive_directory_iterator(dir_ / "run")) {
        if (entry.is_socket()) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  fs::path dir_;
  std::vector<Process> started_;
};

TEST_F(ReaderProcess, AScriptPagesTheArticleAndTheExitSavesThePosition) {
  Write("registry.reg",
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Corvanta\\Tovanel (Vowels)]\n\"Lesson\"=dword:00000002\n");
  const std::string shot0 = Path("first.png"), shot1 = Path("paged.png");
  const std::string script = Write("page.txt", "screenshot " + shot0 + "\nkey PageDown\nscreenshot " + shot1 + "\n");
  EXPECT_EQ(Run({"--headless", "--screen", "240x320", "--script", script}), 0) << Read(Path("stderr-0"));
  ASSERT_TRUE(fs::exists(shot0));
  ASSERT_TRUE(fs::exists(shot1));
  EXPECT_NE(Read(shot0), Read(shot1)) << "Page Down changed the screen";
  const std::string registry = Read(Path("registry.reg"));
  EXPECT_NE(registry.find("\"Lesson\"=dword:00000002"), std::string::npos) << registry;
  EXPECT_NE(registry.find("\"LastPosition\"=dword:"), std::string::npos) << registry;
  EXPECT_EQ(registry.find("\"LastPosition\"=dword:00000000"), std::string::npos) << registry;
}

TEST_F(ReaderProcess, BadCommandLinesAndScriptsEndWithStatusTwo) {
  const std::string script = Write("bad.txt", "key PageDown\nfly away\n");
  EXPECT_EQ(Run({"--headless", "--script", script}), 2);
  EXPECT_NE(Read(Path("stderr-0")).find("line 2"), std::string::npos) << Read(Path("stderr-0"));
  EXPECT_EQ(Run({"--frobnicate"}), 2);
  EXPECT_EQ(Run({"--close", "--headless"}), 2);
}

TEST_F(ReaderProcess, WithoutADisplayItSaysSoInOneLine) {
  EXPECT_EQ(Run({}, true), 1);
  const std::string err = Read(Path("stderr-0"));
  EXPECT_FALSE(err.empty());
  EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
}

TEST_F(ReaderProcess, ASecondStartLeavesTheFirstRunning) {
  const std::string script = Write("wait.txt", "sleep 3000\n");
  Process first = Spawn({"--headless", "--script", script});
  ASSERT_TRUE(WaitForRunningCopy());
  const std::string quick = Write("quick.txt", "key PageDown\n");
  EXPECT_EQ(Run({"--headless", "--script", quick}), 0);
  EXPECT_EQ(Wait(&first), 0);
  const std::string registry = Read(Path("registry.reg"));
  EXPECT_NE(registry.find("\"LastPosition\"=dword:00000000"), std::string::npos)
      << "the second copy's Page Down never ran: " << registry;
}

TEST_F(ReaderProcess, CloseAsksTheRunningCopyToSaveAndEnd) {
  EXPECT_EQ(Run({"--close"}), 1) << "none runs";
  const std::string script = Write("long.txt", "key PageDown\nsleep 60000\n");
  Process first = Spawn({"--headless", "--script", script});
  ASSERT_TRUE(WaitForRunningCopy());
  // The socket exists before the script's first line has run.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(Run({"--close"}), 0);
  EXPECT_EQ(Wait(&first, 20), 0) << "it ended long before its script did";
  const std::string registry = Read(Path("registry.reg"));
  EXPECT_NE(registry.find("\"Lesson\"=dword:00000001"), std::string::npos) << registry;
  EXPECT_EQ(registry.find("\"LastPosition\"=dword:00000000"), std::string::npos) << registry;
}

}  // namespace
