// Other copies of the program: publishing a window on the user's socket,
// finding it from another process, the requests it serves from its loop,
// and what it does with peers that misbehave.
#include "platform/instances.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "window_test_util.h"

namespace fs = std::filesystem;

namespace {

using namespace plat;
using namespace wintest;
using Bytes = std::vector<uint8_t>;

constexpr char16_t kTitle[] = u"Reader Under Test";
constexpr uint16_t kDone = 4242;  // the child's last command: the parent's loop ends on it
constexpr int kGuardMs = 10000;   // how long a child waits for the server to close on it

// ---- Raw sockets, for peers that do not use the client calls ----------------------------

Bytes Request(uint32_t magic, uint16_t version, uint16_t kind, uint32_t argument, uint32_t tag) {
  Bytes b(kInstanceRequestSize);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(magic >> (8 * i));
  b[4] = static_cast<uint8_t>(version);
  b[5] = static_cast<uint8_t>(version >> 8);
  b[6] = static_cast<uint8_t>(kind);
  b[7] = static_cast<uint8_t>(kind >> 8);
  for (int i = 0; i < 4; ++i) b[8 + i] = static_cast<uint8_t>(argument >> (8 * i));
  for (int i = 0; i < 4; ++i) b[12 + i] = static_cast<uint8_t>(tag >> (8 * i));
  return b;
}

uint32_t Tag() { return InstanceNameTag(kClass, kTitle); }

Bytes Head(const Bytes& b, std::size_t n) {
  return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(std::min(n, b.size())));
}

Bytes Hello() { return Request(kInstanceMagic, kInstanceVersion, InstanceHello, 0, Tag()); }

std::string SocketPath() {
  std::string path;
  InstanceSocketPath(kClass, kTitle, &path);
  return path;
}

sockaddr_un Address(const std::string& path) {
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
  return a;
}

int RawConnect(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_un a = Address(path);
  if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0) return fd;
  if (fd >= 0) close(fd);
  return -1;
}

void SendBytes(int fd, const Bytes& bytes) {
  // The server may close before taking it all; what it did is what is checked.
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

// The server closed the connection without a byte of reply.
bool ClosedWithoutReply(int fd) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, kGuardMs) != 1) return false;
  uint8_t b[64];
  const ssize_t n = recv(fd, b, sizeof b, 0);
  return n == 0 || (n < 0 && errno == ECONNRESET);
}

// A listening socket at `path`; -1 when it cannot be made.
int ListenAt(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_un a = Address(path);
  if (fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0 && listen(fd, 4) == 0) return fd;
  if (fd >= 0) close(fd);
  return -1;
}

// ---- The fixture: a published window here, a client in a child process --------------------

class Instances : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    char pattern[] = "/tmp/tovanel-inst-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    runtime_ = pattern;
    ASSERT_EQ(setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1), 0);
    // A guard: a child that never reports back ends the loop here instead of
    // holding it for ever.
    StartScript("sleep 60000\n");
  }
  void TearDown() override {
    WithdrawWindow();
    ScreenTest::TearDown();
    unsetenv("XDG_RUNTIME_DIR");
    std::error_code ignored;
    fs::remove_all(runtime_, ignored);
  }

  std::string Folder() const { return runtime_ + "/tovanel"; }

  // A fresh screen driven by `script`, kept in this test's own folder so
  // that runs side by side do not share it.
  void StartScript(const std::string& script) {
    const std::string path = runtime_ + "/script";
    std::ofstream(path, std::ios::binary) << script;
    PlatformOptions o;
    o.headless = true;
    o.screenWidth = 240;
    o.screenHeight = 320;
    o.scriptPath = path;
    Start(o);
  }

  // The window other copies look for: it records what reaches it and ends
  // the loop on kDone.
  Window OpenPublished(bool publish = true) {
    Window w = Open(WinStyleVisible, 0, 0, 200, 300, nullptr,
                    [this](Window, uint32_t msg, uintptr_t wp, intptr_t, intptr_t* r) {
                      if (msg == MsgCommand && LowWord(wp) == kDone) {
                        doneSeen_ = true;
                        RequestQuit(0);
                        *r = 0;
                        return true;
                      }
                      return false;
                    },
                    kTitle);
    EXPECT_NE(w, nullptr);
    if (publish) {
      EXPECT_TRUE(PublishWindow(w));
    }
    return w;
  }

  // Runs `client` in a child process while this process runs its loop,
  // until the child reports back; the child's exit status. With `gated` the
  // loop starts only once the child called OpenGate().
  int Round(const std::function<int()>& client, bool gated = false) {
    int gate[2];
    if (pipe(gate) != 0) return -1;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
      close(gate[0]);
      gateFd_ = gate[1];
      const int r = client();
      OpenGate();
      OtherInstance other;
      if (FindOtherInstance(kClass, kTitle, &other)) SendOtherCommand(other, kDone);
      _exit(r);
    }
    close(gate[1]);
    if (gated) {
      char c;
      while (read(gate[0], &c, 1) < 0 && errno == EINTR) {
      }
    }
    doneSeen_ = false;
    RunLoop();
    EXPECT_TRUE(doneSeen_) << "the child never reported back";
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    close(gate[0]);  // only now: the child's write must find a reader
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  void OpenGate() {
    if (gateFd_ < 0) return;
    (void)!write(gateFd_, "x", 1);
    close(gateFd_);
    gateFd_ = -1;
  }

  static std::vector<uintptr_t> Commands(Window w) {
    std::vector<uintptr_t> out;
    for (const Seen& s : Messages(w, MsgCommand)) out.push_back(s.wParam);
    return out;
  }

  std::string runtime_;
  bool doneSeen_ = false;
  int gateFd_ = -1;
};

// ---- Finding ----------------------------------------------------------------------------------

TEST_F(Instances, FoundByClassAndTitleOnly) {
  OpenPublished();
  struct Row {
    const char16_t* className;
    const char16_t* title;
    bool found;
  };
  static const Row kRows[] = {
      {kClass, kTitle, true},
      {u"TEST WINDOW", kTitle, true},  // classes compare without case
      {kClass, u"reader under test", false},
      {kClass, u"Reader Under Test ", false},
      {kClass, u"", false},
      {u"Test Windo", kTitle, false},
  };
  const int status = Round([] {
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
      OtherInstance other;
      if (FindOtherInstance(kRows[i].className, kRows[i].title, &other) != kRows[i].found)
        return static_cast<int>(i) + 1;
      if (kRows[i].found && other.serverId != static_cast<uint32_t>(getppid())) return 50;
    }
    return 0;
  });
  EXPECT_EQ(status, 0) << "row " << status << " (50: another server id)";
}

TEST_F(Instances, NothingFoundWithoutAPublishedWindow) {
  OpenPublished(false);
  OtherInstance other;
  EXPECT_FALSE(FindOtherInstance(kClass, kTitle, &other));
  EXPECT_FALSE(fs::exists(SocketPath()));
}

TEST_F(Instances, NamesAreCheckedAndHashed) {
  const std::u16string longClass(256, u'c');
  const std::u16string longTitle(kInstanceMaxTitle + 1, u't');
  const std::u16string longestTitle(kInstanceMaxTitle, u't');
  struct Row {
    const char16_t* className;
    const char16_t* title;
    bool ok;
  };
  const Row rows[] = {
      {nullptr, kTitle, false},  {u"", kTitle, false},         {kClass, nullptr, false},
      {longClass.c_str(), kTitle, false}, {kClass, longTitle.c_str(), false},
      {kClass, u"", true},       {kClass, longestTitle.c_str(), true},
  };
  for (const Row& r : rows) {
    std::string path;
    EXPECT_EQ(InstanceSocketPath(r.className, r.title, &path), r.ok);
    EXPECT_EQ(InstanceNameTag(r.className, r.title) != 0, r.ok);
    OtherInstance other;
    if (!r.ok) {
      EXPECT_FALSE(FindOtherInstance(r.className, r.title, &other));
    }
  }
  std::string a, b, c;
  ASSERT_TRUE(InstanceSocketPath(u"Class", u"Title", &a));
  ASSERT_TRUE(InstanceSocketPath(u"CLASS", u"Title", &b));
  ASSERT_TRUE(InstanceSocketPath(u"Class", u"title", &c));
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_EQ(InstanceNameTag(u"Class", u"Title"), InstanceNameTag(u"CLASS", u"Title"));
  EXPECT_NE(InstanceNameTag(u"Class", u"Title"), InstanceNameTag(u"Class", u"title"));
  // The zero between the names keeps a class and title apart from a longer
  // class with a shorter title.
  EXPECT_NE(InstanceNameTag(u"ab", u"c"), InstanceNameTag(u"a", u"bc"));
}

// ---- The folder -------------------------------------------------------------------------------

TEST_F(Instances, FolderAndSocketArePrivate) {
  OpenPublished();
  struct stat st {};
  ASSERT_EQ(lstat(Folder().c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  const std::string path = SocketPath();
  EXPECT_EQ(path.rfind(Folder() + "/", 0), 0u) << path;
  ASSERT_EQ(lstat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(st.st_uid, geteuid());
  WithdrawWindow();
  EXPECT_FALSE(fs::exists(path)) << "withdrawing removes the socket file";
  EXPECT_EQ(PublishedWindow(), nullptr);
}

TEST_F(Instances, FolderOfTheRuntimeDirectoryOrTmp) {
  const std::string tmp = "/tmp/tovanel-" + std::to_string(geteuid()) + "/";
  struct Row {
    const char* runtime;  // null: unset
    std::string prefix;
  };
  const std::string slashed = runtime_ + "//";
  const Row rows[] = {
      {runtime_.c_str(), Folder() + "/"},
      {slashed.c_str(), Folder() + "/"},
      {nullptr, tmp},
      {"", tmp},
      {"relative/dir", tmp},
  };
  for (const Row& r : rows) {
    if (r.runtime)
      setenv("XDG_RUNTIME_DIR", r.runtime, 1);
    else
      unsetenv("XDG_RUNTIME_DIR");
    std::string path;
    ASSERT_TRUE(InstanceSocketPath(kClass, kTitle, &path)) << (r.runtime ? r.runtime : "(unset)");
    EXPECT_EQ(path.rfind(r.prefix, 0), 0u) << path;
  }
}

TEST_F(Instances, FolderOthersCouldReachIsRefused) {
  struct Row {
    const char* what;
    std::function<bool(const std::string& folder)> make;  // false: cannot be set up here
  };
  const std::string elsewhere = runtime_ + "/elsewhere";
  const Row rows[] = {
      {"open to all", [](const std::string& f) { return mkdir(f.c_str(), 0700) == 0 && chmod(f.c_str(), 0777) == 0; }},
      {"group may enter", [](const std::string& f) { return mkdir(f.c_str(), 0700) == 0 && chmod(f.c_str(), 0710) == 0; }},
      {"a link to a private folder",
       [&](const std::string& f) { return mkdir(elsewhere.c_str(), 0700) == 0 && symlink(elsewhere.c_str(), f.c_str()) == 0; }},
      {"a file", [](const std::string& f) { return close(open(f.c_str(), O_CREAT | O_WRONLY, 0600)) == 0; }},
      {"someone else's",
       [](const std::string& f) {
         return geteuid() == 0 && mkdir(f.c_str(), 0700) == 0 && chown(f.c_str(), 65534, 65534) == 0;
       }},
  };
  Window w = OpenPublished(false);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    std::error_code ignored;
    fs::remove_all(Folder(), ignored);
    fs::remove_all(elsewhere, ignored);
    if (!r.make(Folder())) {
      if (geteuid() != 0) continue;  // only root can give a folder away
      FAIL() << "cannot set up";
    }
    std::string path;
    EXPECT_FALSE(InstanceSocketPath(kClass, kTitle, &path));
    EXPECT_FALSE(PublishWindow(w));
    OtherInstance other;
    EXPECT_FALSE(FindOtherInstance(kClass, kTitle, &other));
    if (fs::exists(elsewhere)) {
      EXPECT_TRUE(fs::is_empty(elsewhere)) << "nothing was made through the link";
    }
  }
  std::error_code ignored;
  fs::remove_all(Folder(), ignored);
  EXPECT_TRUE(PublishWindow(w)) << "a fresh folder is made private";
}

// ---- Publishing -------------------------------------------------------------------------------

TEST_F(Instances, StaleSocketIsReplacedLiveOneAndOtherFilesAreNot) {
  Window w = OpenPublished(false);
  const std::string path = SocketPath();
  ASSERT_FALSE(path.empty());

  // A live listener at the path: another copy is running.
  const int live = ListenAt(path);
  ASSERT_GE(live, 0);
  EXPECT_FALSE(PublishWindow(w));
  close(live);

  // The file stays behind, nobody listens: a copy that ended badly.
  ASSERT_TRUE(fs::exists(path));
  ASSERT_TRUE(PublishWindow(w));
  EXPECT_EQ(Round([] {
              OtherInstance other;
              return FindOtherInstance(kClass, kTitle, &other) ? 0 : 1;
            }),
            0);
  WithdrawWindow();

  // Anything but a socket is left alone.
  { std::ofstream(path) << "keep"; }
  EXPECT_FALSE(PublishWindow(w));
  std::ifstream in(path);
  std::string text;
  in >> text;
  EXPECT_EQ(text, "keep");
}

TEST_F(Instances, OneWindowAProcess) {
  Window w = OpenPublished();
  Window other = Open(WinStyleVisible, 0, 0, 50, 50, nullptr, nullptr, u"Another");
  EXPECT_TRUE(PublishWindow(w)) << "the same window again";
  EXPECT_FALSE(PublishWindow(other));
  EXPECT_EQ(PublishedWindow(), w);
  Window child = Open(WinStyleChild | WinStyleVisible, 0, 0, 10, 10, other);
  WithdrawWindow();
  EXPECT_FALSE(PublishWindow(child)) << "not a top-level window";
  EXPECT_FALSE(PublishWindow(nullptr));
  EXPECT_TRUE(PublishWindow(other));
  EXPECT_EQ(PublishedWindow(), other);
}

TEST_F(Instances, WithdrawnWhenTheWindowGoesOrIsRenamed) {
  struct Row {
    const char* what;
    std::function<void(Window)> change;
  };
  const Row rows[] = {
      {"destroyed", [](Window w) { DisposeWindow(w); }},
      {"renamed", [](Window w) { SetWindowTitle(w, u"Something Else"); }},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    // The script's command goes to a window that stays, and ends the loop
    // after the loop served the socket once.
    StartScript("command 7\n");
    Window keeper = Open(WinStyleVisible, 0, 0, 50, 50, nullptr, [](Window, uint32_t msg, uintptr_t wp, intptr_t, intptr_t*) {
      if (msg == MsgCommand && wp == 7) RequestQuit(0);
      return false;
    });
    SetMainWindow(keeper);
    Window w = OpenPublished();
    const std::string path = SocketPath();
    ASSERT_TRUE(fs::exists(path));
    r.change(w);
    EXPECT_EQ(PublishedWindow(), nullptr);
    RunLoop();
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(ScriptFailure(), "");
  }
}

TEST_F(Instances, StoppingTheScreenWithdraws) {
  OpenPublished();
  const std::string path = SocketPath();
  ASSERT_TRUE(fs::exists(path));
  StopScreen();
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(PublishedWindow(), nullptr);
}

TEST_F(Instances, PublishingNeedsAScreen) {
  Window w = OpenPublished(false);
  StopScreen();
  EXPECT_FALSE(PublishWindow(w));
}

// ---- Requests ---------------------------------------------------------------------------------

TEST_F(Instances, CommandsAndTheCloseRequestArriveAsMessages) {
  Window w = OpenPublished();
  const int status = Round([] {
    OtherInstance other;
    if (!FindOtherInstance(kClass, kTitle, &other)) return 1;
    if (!SendOtherCommand(other, 119)) return 2;
    if (!SendOtherCloseRequest(other)) return 3;
    if (!SendOtherCommand(other, 0)) return 4;
    if (!SendOtherCommand(other, 65535)) return 5;
    return 0;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Commands(w), (std::vector<uintptr_t>{119, 0, 65535, kDone}));
  for (const Seen& s : Messages(w, MsgCommand)) EXPECT_EQ(s.lParam, 0);
  EXPECT_EQ(Numbers(w, {MsgCommand, MsgCloseRequest}),
            (std::vector<uint32_t>{MsgCommand, MsgCloseRequest, MsgCommand, MsgCommand, MsgCommand}));
  EXPECT_TRUE(IsLiveWindow(w)) << "the close request is the window's to act on";
}

TEST_F(Instances, FrontQueryFollowsTheActiveWindow) {
  Window w = OpenPublished();
  struct Row {
    const char* what;
    std::function<Window()> setUp;  // the window to close afterwards, if any
    OtherFront expected;
  };
  const Row rows[] = {
      {"published in front", [] { return Window{}; }, OtherInFront},
      {"another window in front", [] { return Open(WinStyleVisible, 10, 10, 50, 50, nullptr, nullptr, u"Other"); },
       OtherBehind},
      {"its dialog in front", [&] { return Open(WinStyleVisible, 10, 10, 50, 50, w, nullptr, u"Dialog"); },
       OtherOwnedInFront},
      {"a dialog of its dialog in front",
       [&] {
         Window d = Open(WinStyleVisible, 10, 10, 50, 50, w, nullptr, u"Dialog");
         Open(WinStyleVisible, 20, 20, 30, 30, d, nullptr, u"Inner");
         return d;
       },
       OtherOwnedInFront},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    Window extra = r.setUp();
    const int status = Round([] {
      OtherInstance other;
      OtherFront state{};
      if (!FindOtherInstance(kClass, kTitle, &other) || !QueryOtherFront(other, &state)) return 99;
      return static_cast<int>(state);
    });
    EXPECT_EQ(status, static_cast<int>(r.expected));
    if (extra) DisposeWindow(extra);
    BringToFront(w);
  }
}

TEST_F(Instances, BringingToTheFront) {
  Window w = OpenPublished();
  struct Row {
    const char* what;
    std::function<void()> setUp;
    bool brought;
    Window expectedFront;  // null: whatever was in front stays
  };
  Window other = nullptr;
  const Row rows[] = {
      {"from behind another window",
       [&] { other = Open(WinStyleVisible, 10, 10, 50, 50, nullptr, nullptr, u"Other"); }, true, w},
      {"hidden", [&] { ApplyShowMode(w, ShowHide); }, false, nullptr},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    r.setUp();
    Window frontBefore = FrontWindow();
    const bool brought = r.brought;
    const int status = Round([brought] {
      OtherInstance other;
      if (!FindOtherInstance(kClass, kTitle, &other)) return 1;
      if (BringOtherToFront(other) != brought) return 2;
      OtherFront state{};
      if (!QueryOtherFront(other, &state)) return 3;
      return (state == OtherInFront) == brought ? 0 : 4;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(FrontWindow(), r.expectedFront ? r.expectedFront : frontBefore);
  }
}

// On the SDL screen the loop waits in SDL, which knows nothing of the
// socket: it is served all the same.
TEST_F(Instances, ServedWhileTheLoopWaitsOnSdl) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  PlatformOptions o;
  o.screenWidth = 240;
  o.screenHeight = 320;
  StopScreen();
  const ScreenStartResult started = StartScreen(o);
  unsetenv("SDL_VIDEODRIVER");
  if (!started.ok) GTEST_SKIP() << started.message;
  WindowClassDescription desc{kClass, 0, RecordingProc, 0, nullptr};
  ASSERT_TRUE(AddWindowClass(&desc));
  Window w = OpenPublished();
  // A loop that is never woken must not hold the run: the alarm ends it.
  alarm(120);
  const int status = Round([] {
    OtherInstance other;
    OtherFront state{};
    if (!FindOtherInstance(kClass, kTitle, &other) || !SendOtherCommand(other, 3)) return 1;
    if (!BringOtherToFront(other)) return 2;
    if (!QueryOtherFront(other, &state)) return 3;
    return 10 + static_cast<int>(state);
  });
  alarm(0);
  // The window is the active one, but the screen without a display never
  // has the input focus: to other copies some other program is in front.
  EXPECT_EQ(status, 10 + OtherBehind);
  EXPECT_EQ(FrontWindow(), w);
  EXPECT_EQ(Commands(w), (std::vector<uintptr_t>{3, kDone}));
}

// ---- Peers that misbehave ---------------------------------------------------------------------

TEST_F(Instances, HostilePeersAreDroppedAndTheNextIsServed) {
  Window w = OpenPublished();
  const uint32_t tag = Tag();
  Bytes oversized = Request(kInstanceMagic, kInstanceVersion, InstanceCommand, 1, tag);
  oversized.push_back(0);
  Bytes twoRequests = Request(kInstanceMagic, kInstanceVersion, InstanceCommand, 2, tag);
  const Bytes second = Request(kInstanceMagic, kInstanceVersion, InstanceCommand, 3, tag);
  twoRequests.insert(twoRequests.end(), second.begin(), second.end());
  Bytes huge(1 << 16, 0xAB);
  const Bytes commandThenHuge = [&] {
    Bytes b = Request(kInstanceMagic, kInstanceVersion, InstanceCommand, 4, tag);
    b.insert(b.end(), huge.begin(), huge.end());
    return b;
  }();
  const std::vector<Bytes> rows = {
      Bytes(kInstanceRequestSize, 0xFF),                                          // garbage
      Bytes(kInstanceRequestSize, 0),                                             // zeros
      Request(0x4C4E5655, kInstanceVersion, InstanceCommand, 5, tag),             // wrong magic
      Request(kInstanceMagic, kInstanceVersion + 1, InstanceCommand, 6, tag),     // another version
      Request(kInstanceMagic, 0, InstanceCommand, 7, tag),
      Request(kInstanceMagic, kInstanceVersion, 0, 0, tag),                       // unknown kinds
      Request(kInstanceMagic, kInstanceVersion, 6, 0, tag),
      Request(kInstanceMagic, kInstanceVersion, 0xFFFF, 0, tag),
      Request(kInstanceMagic, kInstanceVersion, InstanceCommand, 0x10000, tag),   // id out of range
      Request(kInstanceMagic, kInstanceVersion, InstanceCommand, 0xFFFFFFFF, tag),
      Request(kInstanceMagic, kInstanceVersion, InstanceClose, 1, tag),           // arguments not 0
      Request(kInstanceMagic, kInstanceVersion, InstanceHello, 9, tag),
      Request(kInstanceMagic, kInstanceVersion, InstanceCommand, 8, tag ^ 1),     // another window's
      Request(kInstanceMagic, kInstanceVersion, InstanceCommand, 9, 0),
      oversized,
      twoRequests,
      huge,
      commandThenHuge,
  };
  const int status = Round([&rows] {
    const std::string path = SocketPath();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const int fd = RawConnect(path);
      if (fd < 0) return 100 + static_cast<int>(i);
      SendBytes(fd, rows[i]);
      const bool dropped = ClosedWithoutReply(fd);
      close(fd);
      if (!dropped) return 1 + static_cast<int>(i);
    }
    // Half a request, then the peer hangs up.
    const int fd = RawConnect(path);
    SendBytes(fd, Head(Hello(), 5));
    shutdown(fd, SHUT_WR);
    const bool dropped = ClosedWithoutReply(fd);
    close(fd);
    if (!dropped) return 60;
    OtherInstance other;
    if (!FindOtherInstance(kClass, kTitle, &other) || !SendOtherCommand(other, 77)) return 70;
    return 0;
  });
  EXPECT_EQ(status, 0) << "row " << status - 1 << " was answered (100+: no connection)";
  EXPECT_EQ(Commands(w), (std::vector<uintptr_t>{77, kDone})) << "nothing from the hostile peers arrived";
  EXPECT_TRUE(Messages(w, MsgCloseRequest).empty());
}

TEST_F(Instances, StalledPeersDoNotHoldTheLoop) {
  Window w = OpenPublished();
  const int status = Round([] {
    const std::string path = SocketPath();
    const int silent = RawConnect(path);
    const int half = RawConnect(path);
    if (silent < 0 || half < 0) return 1;
    const Bytes hello = Hello();
    SendBytes(half, Head(hello, kInstanceRequestSize / 2));
    // Served while both stalled peers are still connected.
    OtherInstance other;
    if (!FindOtherInstance(kClass, kTitle, &other) || !SendOtherCommand(other, 5)) return 2;
    // And the stalled peers are cut off in the end.
    if (!ClosedWithoutReply(silent)) return 3;
    if (!ClosedWithoutReply(half)) return 4;
    close(silent);
    close(half);
    return 0;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Commands(w), (std::vector<uintptr_t>{5, kDone}));
}

TEST_F(Instances, ConnectionsBeyondTheLimitAreClosed) {
  Window w = OpenPublished();
  // All connect before the loop first serves the socket, so the limit is
  // reached by the time the last one is taken.
  const int status = Round(
      [this] {
        const std::string path = SocketPath();
        std::vector<int> held;
        for (int i = 0; i < kInstanceMaxConnections; ++i) {
          held.push_back(RawConnect(path));
          if (held.back() < 0) return 1;
        }
        const int extra = RawConnect(path);
        if (extra < 0) return 2;
        SendBytes(extra, Hello());
        OpenGate();
        if (!ClosedWithoutReply(extra)) return 3;
        close(extra);
        // Hanging up frees the places.
        for (int fd : held) close(fd);
        OtherInstance other;
        if (!FindOtherInstance(kClass, kTitle, &other) || !SendOtherCommand(other, 6)) return 4;
        return 0;
      },
      true);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Commands(w), (std::vector<uintptr_t>{6, kDone}));
}

TEST_F(Instances, PeersOfAnotherUserAreDropped) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
  Window w = OpenPublished();
  constexpr int kCannot = 77;
  const int status = Round([] {
    const std::string path = SocketPath();
    // Another user as the socket's peer, with the file system still seen
    // as root so the private folder can be entered.
    if (seteuid(65534) != 0) return kCannot;
    setfsuid(0);
    const int fd = RawConnect(path);
    if (seteuid(0) != 0) return 3;
    if (fd < 0) return kCannot;
    SendBytes(fd, Request(kInstanceMagic, kInstanceVersion, InstanceCommand, 8, Tag()));
    const bool dropped = ClosedWithoutReply(fd);
    close(fd);
    return dropped ? 0 : 1;
  });
  if (status == kCannot) GTEST_SKIP() << "cannot act as another user here";
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Commands(w), (std::vector<uintptr_t>{kDone}));
}

// ---- The client against servers that misbehave -----------------------------------------------

// Plays a server at `path`: for each entry, takes one connection, reads the
// request and answers with the bytes given (empty: hangs up at once;
// nullopt: keeps the connection until the client gives up).
// The requests it read go to `requests`, to be looked at once it is gone.
class FakeServer {
 public:
  FakeServer(const std::string& path, std::vector<std::optional<Bytes>> replies,
             std::vector<Bytes>* requests = nullptr)
      : path_(path), fd_(ListenAt(path)), replies_(std::move(replies)), requests_(requests) {
    thread_ = std::thread([this] { Run(); });
  }
  ~FakeServer() {
    thread_.join();
    if (fd_ >= 0) close(fd_);
    unlink(path_.c_str());
  }
  bool ok() const { return fd_ >= 0; }

 private:
  void Run() {
    for (const std::optional<Bytes>& reply : replies_) {
      const int c = fd_ >= 0 ? accept(fd_, nullptr, nullptr) : -1;
      if (c < 0) return;
      Bytes got(kInstanceRequestSize);
      std::size_t have = 0;
      while (have < got.size()) {
        const ssize_t n = recv(c, got.data() + have, got.size() - have, 0);
        if (n <= 0) break;
        have += static_cast<std::size_t>(n);
      }
      got.resize(have);
      if (requests_) requests_->push_back(got);
      if (!reply) {
        uint8_t b;
        while (recv(c, &b, 1, 0) > 0) {
        }
      } else {
        SendBytes(c, *reply);
      }
      close(c);
    }
  }

  std::string path_;
  int fd_;
  std::vector<std::optional<Bytes>> replies_;
  std::vector<Bytes>* requests_;
  std::thread thread_;
};

// A reply has the request's layout: magic, version, kind, then two words.
Bytes Reply(uint16_t kind, uint32_t value, uint32_t serverId, uint32_t magic = kInstanceMagic,
            uint16_t version = kInstanceVersion) {
  return Request(magic, version, kind, value, serverId);
}


TEST_F(Instances, FindingRefusesAnswersThatAreNotOurs) {
  constexpr uint32_t kPeer = 0x7FFF0001;  // no process here has this id
  struct Row {
    const char* what;
    std::optional<Bytes> reply;
    bool found;
  };
  const Row rows[] = {
      {"a good answer", Reply(InstanceHello, kInstanceVersion, kPeer), true},
      {"hangs up", Bytes{}, false},
      {"another magic", Reply(InstanceHello, kInstanceVersion, kPeer, 0x12345678), false},
      {"another version", Reply(InstanceHello, kInstanceVersion, kPeer, kInstanceMagic, 2), false},
      {"another kind", Reply(InstanceFrontQuery, kInstanceVersion, kPeer), false},
      {"another protocol in the value", Reply(InstanceHello, 2, kPeer), false},
      {"no server id", Reply(InstanceHello, kInstanceVersion, 0), false},
      {"this process's id", Reply(InstanceHello, kInstanceVersion, static_cast<uint32_t>(getpid())), false},
      {"half an answer", Head(Reply(InstanceHello, kInstanceVersion, kPeer), 8), false},
      {"never answers", std::nullopt, false},
  };
  const std::string path = SocketPath();
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    OtherInstance other;
    bool found = false;
    {
      FakeServer server(path, {r.reply});
      ASSERT_TRUE(server.ok());
      found = FindOtherInstance(kClass, kTitle, &other);
      if (found) {
        EXPECT_EQ(other.serverId, kPeer);
        EXPECT_EQ(other.socketPath, path);
      }
    }
    EXPECT_EQ(found, r.found);
  }
}

TEST_F(Instances, RequestsGoOnlyToTheCopyFound) {
  constexpr uint32_t kPeer = 0x7FFF0002;
  const std::string path = SocketPath();
  struct Row {
    const char* what;
    std::optional<Bytes> reply;
    bool ok;
  };
  const Row rows[] = {
      {"queued", Reply(InstanceCommand, 1, kPeer), true},
      {"not queued", Reply(InstanceCommand, 0, kPeer), false},
      {"answered by another process", Reply(InstanceCommand, 1, kPeer + 1), false},
      {"hangs up", Bytes{}, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    OtherInstance other;
    bool sent = false;
    {
      FakeServer server(path, {Reply(InstanceHello, kInstanceVersion, kPeer), r.reply});
      ASSERT_TRUE(server.ok());
      ASSERT_TRUE(FindOtherInstance(kClass, kTitle, &other));
      sent = SendOtherCommand(other, 0xBEEF);
    }
    EXPECT_EQ(sent, r.ok);
  }
  // The server has gone: nothing to connect to.
  OtherInstance gone;
  gone.socketPath = path;
  gone.nameTag = Tag();
  gone.serverId = kPeer;
  EXPECT_FALSE(SendOtherCommand(gone, 1));
  EXPECT_FALSE(SendOtherCloseRequest(gone));
  EXPECT_FALSE(BringOtherToFront(gone));
  OtherFront state{};
  EXPECT_FALSE(QueryOtherFront(gone, &state));
  EXPECT_FALSE(SendOtherCommand(OtherInstance{}, 1)) << "a handle never filled in";
}

TEST_F(Instances, RequestsOnTheWire) {
  constexpr uint32_t kPeer = 0x7FFF0003;
  const std::string path = SocketPath();
  std::vector<Bytes> requests;
  OtherFront state{};
  {
    FakeServer server(path, {Reply(InstanceHello, kInstanceVersion, kPeer), Reply(InstanceCommand, 1, kPeer),
                             Reply(InstanceClose, 1, kPeer), Reply(InstanceBringToFront, 1, kPeer),
                             Reply(InstanceFrontQuery, OtherOwnedInFront, kPeer),
                             Reply(InstanceFrontQuery, 3, kPeer)},
                        &requests);
    ASSERT_TRUE(server.ok());
    OtherInstance other;
    ASSERT_TRUE(FindOtherInstance(kClass, kTitle, &other));
    EXPECT_TRUE(SendOtherCommand(other, 0xBEEF));
    EXPECT_TRUE(SendOtherCloseRequest(other));
    EXPECT_TRUE(BringOtherToFront(other));
    EXPECT_TRUE(QueryOtherFront(other, &state));
    EXPECT_EQ(state, OtherOwnedInFront);
    EXPECT_FALSE(QueryOtherFront(other, &state)) << "a state that does not exist";
  }
  const uint32_t tag = Tag();
  const std::vector<Bytes> expected = {
      Request(kInstanceMagic, kInstanceVersion, InstanceHello, 0, tag),
      Request(kInstanceMagic, kInstanceVersion, InstanceCommand, 0xBEEF, tag),
      Request(kInstanceMagic, kInstanceVersion, InstanceClose, 0, tag),
      Request(kInstanceMagic, kInstanceVersion, InstanceBringToFront, 0, tag),
      Request(kInstanceMagic, kInstanceVersion, InstanceFrontQuery, 0, tag),
      Request(kInstanceMagic, kInstanceVersion, InstanceFrontQuery, 0, tag),
  };
  EXPECT_EQ(requests, expected);
  // Little-endian, byte for byte.
  ASSERT_EQ(requests.size(), expected.size());
  EXPECT_EQ(Head(requests[1], 12), (Bytes{0x54, 0x56, 0x4E, 0x4C, 1, 0, 4, 0, 0xEF, 0xBE, 0, 0}));
}

}  // namespace
