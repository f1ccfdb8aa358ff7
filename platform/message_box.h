// Message boxes. Until the window system exists a message box cannot be
// shown on screen: it is written to standard error and kept in a short
// record that tests read back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

struct PlatWindow;
using Window = PlatWindow*;

// Button and icon flags, with the numbering the reader's code relies on.
enum MessageBoxFlags : uint32_t {
  MsgBoxOk = 0x0,
  MsgBoxOkCancel = 0x1,
  MsgBoxYesNo = 0x4,
  MsgBoxIconError = 0x10,
  MsgBoxIconQuestion = 0x20,
  MsgBoxIconWarning = 0x30,
  MsgBoxIconInfo = 0x40,
};

// Answers, numbered as the reader's code compares them.
enum MessageBoxAnswer : int32_t {
  MsgAnswerOk = 1,
  MsgAnswerCancel = 2,
  MsgAnswerYes = 6,
  MsgAnswerNo = 7,
};

struct ShownMessage {
  Window owner;
  std::u16string text;
  std::u16string caption;  // empty: the platform's default caption
  uint32_t flags;
};

// Shows `text` (and `caption`, null for the default one) and returns the
// answer: OK, or Yes for a yes/no question.
int32_t ShowMessageBox(Window owner, const char16_t* text, const char16_t* caption,
                       uint32_t flags);

// Test hooks: the messages shown since the last call, oldest first, and
// whether they are also written to standard error.
std::vector<ShownMessage> TakeShownMessages();
void SetMessageBoxEcho(bool echo);

// The platform's default caption.
extern const char16_t kDefaultMessageCaption[];

}  // namespace plat
