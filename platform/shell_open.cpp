#include "platform/shell_open.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/text_utf.h"

namespace plat {

bool OpenAddress(const char16_t* verb, const char16_t* address) {
  if (!verb || !address || std::u16string_view(verb) != u"Open" || !address[0]) return false;
  const std::string target = Utf16ToUtf8(address);
  // An address that looks like an option would be read as one by the opener.
  if (target[0] == '-') return false;
  // Two forks: the opener is adopted by init, so it never becomes a zombie
  // of the reader and the reader never waits for it.
  pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    pid_t opener = fork();
    if (opener == 0) {
      execlp("xdg-open", "xdg-open", target.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    _exit(opener < 0 ? 1 : 0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace plat
