// Message boxes. While a screen runs (platform/screen.h) a box is drawn by
// the platform and is modal: its owner is disabled until a button answers
// it. Without a screen it is written to standard error and answered at once
// (OK, or Yes for a question). Either way it is kept in a record that tests
// read back.
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
  MsgBoxYesNoCancel = 0x3,
  MsgBoxYesNo = 0x4,
  MsgBoxIconError = 0x10,
  MsgBoxIconQuestion = 0x20,
  MsgBoxIconWarning = 0x30,
  MsgBoxIconInfo = 0x40,
  MsgBoxDefaultButton2 = 0x100,  // Enter answers the second button
  MsgBoxDefaultButton3 = 0x200,
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

// Shows `text` ('\n' breaks lines; long lines wrap) under `caption` (null
// for the default one) and returns the button that answered it: OK 1,
// Cancel 2, Yes 6, No 7; 0 when the box went away unanswered (its owner was
// destroyed or the program is quitting). Without a screen: OK, or Yes for a
// question.
int32_t ShowMessageBox(Window owner, const char16_t* text, const char16_t* caption,
                       uint32_t flags);

// Test hooks: the messages shown since the last call, oldest first; whether
// they are also written to standard error (with a screen, only on the
// headless one, where nobody may be watching); and an answer (non-zero) that
// every box gets at once without being drawn, 0 to draw them again.
std::vector<ShownMessage> TakeShownMessages();
void SetMessageBoxEcho(bool echo);
void SetMessageBoxAutoAnswer(int32_t answer);

// The platform's default caption.
extern const char16_t kDefaultMessageCaption[];

}  // namespace plat
