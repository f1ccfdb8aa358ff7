#include "shell/commands.h"

#include "platform/window.h"
#include "shell/app_globals.h"
#include "shell/bar.h"
#include "view/navigation.h"
#include "view/paint.h"

namespace {

constexpr uint16_t kCommandNextArticle = 109;
constexpr uint16_t kCommandPreviousArticle = 110;
constexpr uint16_t kCommandExit = 40005;

}  // namespace

int DispatchCommand(plat::PlatWindow* window, uintptr_t wParam) {
  switch (plat::LowWord(wParam)) {
    case kCommandNextArticle:
      StepArticle(window, 1);
      return 0;
    case kCommandPreviousArticle:
      StepArticle(window, -1);
      return 0;
    case kCommandReverse:
      UpdateReverseCheck(kCheckToggle);
      PaintView(g_app.view, true);
      return 0;
    case kCommandExit:
      plat::DisposeWindow(window);
      return 0;
    default:
      return 1;
  }
}
