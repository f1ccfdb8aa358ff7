#include "platform/message_box.h"

#include <cstdio>

#include "platform/text_utf.h"

namespace plat {

const char16_t kDefaultMessageCaption[] = u"Error";

namespace {
std::vector<ShownMessage> g_shown;
bool g_echo = true;
}  // namespace

int32_t ShowMessageBox(Window owner, const char16_t* text, const char16_t* caption,
                       uint32_t flags) {
  ShownMessage m{owner, text ? text : u"", caption ? caption : u"", flags};
  if (g_echo) {
    std::fprintf(stderr, "[%s] %s\n",
                 Utf16ToUtf8(caption ? m.caption : kDefaultMessageCaption).c_str(),
                 Utf16ToUtf8(m.text).c_str());
  }
  g_shown.push_back(std::move(m));
  // Nobody can answer yet: a question counts as accepted, like OK.
  return (flags & 0xF) == MsgBoxYesNo ? MsgAnswerYes : MsgAnswerOk;
}

std::vector<ShownMessage> TakeShownMessages() {
  std::vector<ShownMessage> out;
  out.swap(g_shown);
  return out;
}

void SetMessageBoxEcho(bool echo) { g_echo = echo; }

}  // namespace plat
