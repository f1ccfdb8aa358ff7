#include "platform/message_box.h"

#include <cstdio>
#include <new>

#include "platform/message_box_internal.h"
#include "platform/text_utf.h"

namespace plat {

const char16_t kDefaultMessageCaption[] = u"Error";

namespace {
std::vector<ShownMessage> g_shown;
bool g_echo = true;
int32_t g_autoAnswer = 0;
msgbox::Presenter g_presenter = nullptr;
bool g_presenterEchoes = false;
}  // namespace

namespace msgbox {
void SetPresenter(Presenter presenter, bool echo) {
  g_presenter = presenter;
  g_presenterEchoes = echo;
}
}  // namespace msgbox

int32_t ShowMessageBox(Window owner, const char16_t* text, const char16_t* caption,
                       uint32_t flags) {
  const bool drawn = g_presenter && g_autoAnswer == 0;
  try {
    ShownMessage m{owner, text ? text : u"", caption ? caption : u"", flags};
    if (g_echo && (!drawn || g_presenterEchoes)) {
      std::fprintf(stderr, "[%s] %s\n",
                   Utf16ToUtf8(caption ? m.caption : kDefaultMessageCaption).c_str(),
                   Utf16ToUtf8(m.text).c_str());
    }
    g_shown.push_back(std::move(m));
  } catch (const std::bad_alloc&) {
    // The record is for tests; the box is still shown.
  }
  if (g_autoAnswer != 0) return g_autoAnswer;
  if (drawn) return g_presenter(owner, text ? text : u"", caption, flags);
  // Nobody can answer: a question counts as accepted, like OK.
  const uint32_t buttons = flags & 0xF;
  return (buttons == MsgBoxYesNo || buttons == MsgBoxYesNoCancel) ? MsgAnswerYes : MsgAnswerOk;
}

std::vector<ShownMessage> TakeShownMessages() {
  std::vector<ShownMessage> out;
  out.swap(g_shown);
  return out;
}

void SetMessageBoxEcho(bool echo) { g_echo = echo; }

void SetMessageBoxAutoAnswer(int32_t answer) { g_autoAnswer = answer; }

}  // namespace plat
