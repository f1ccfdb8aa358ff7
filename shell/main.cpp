// The program's start-up: the platform's options, the screen, then the
// reader's entry. `--close` asks a running reader to close instead.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "codec/article_code.h"
#include "platform/instances.h"
#include "platform/screen.h"
#include "platform/text_utf.h"
#include "platform/window.h"
#include "shell/main_window.h"

namespace {

constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: tovanel [--screen WxH] [/today]\n"
    "       tovanel --headless [--script FILE] [--screen WxH]\n"
    "       tovanel --close\n";

// 0 when a running reader of this user took the close request, 1 when none
// was found.
int CloseRunningReader() {
  plat::OtherInstance other;
  if (!plat::FindOtherInstance(kMainWindowClass, kMainWindowClass, &other) ||
      !plat::SendOtherCloseRequest(other)) {
    std::fprintf(stderr, "tovanel: no running reader was found\n");
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<const char*> rest{argc > 0 ? argv[0] : "tovanel"};
  bool close = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--close") == 0) {
      close = true;
    } else if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      rest.push_back(argv[i]);
    }
  }
  if (close) {
    if (rest.size() > 1) {
      std::fputs(kUsage, stderr);
      return kExitUsage;
    }
    return CloseRunningReader();
  }

  plat::PlatformOptions options;
  std::vector<std::string> args;
  std::string error;
  if (!plat::ParsePlatformOptions(static_cast<int>(rest.size()), rest.data(), &options, &args, &error)) {
    std::fprintf(stderr, "tovanel: %s\n%s", error.c_str(), kUsage);
    return kExitUsage;
  }
  const plat::ScreenStartResult started = plat::StartScreen(options);
  if (!started.ok) {
    std::fprintf(stderr, "tovanel: %s\n", started.message.c_str());
    return started.exitCode;
  }
  std::string commandLine;
  for (const std::string& a : args) commandLine += (commandLine.empty() ? "" : " ") + a;
  const std::u16string line = plat::Utf8ToUtf16(commandLine);
  int code = ProgramEntry(nullptr, nullptr, line.c_str(), plat::ShowNormal);
  const std::string failure = plat::ScriptFailure();
  plat::StopScreen();
  ReleaseConversionBuffer(&g_conversionBuffer);
  if (!failure.empty()) {
    std::fprintf(stderr, "tovanel: %s\n", failure.c_str());
    code = plat::kExitScriptError;
  }
  return code;
}
