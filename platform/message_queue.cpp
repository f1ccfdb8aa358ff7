// The message queue and its loop, key translation, the quit request and
// accelerator tables.
#include <algorithm>
#include <new>
#include <vector>

#include "platform/instances_internal.h"
#include "platform/resources.h"
#include "platform/window_internal.h"

namespace plat {

struct AcceleratorTable {
  std::vector<AcceleratorEntry> entries;
};

namespace wm {

namespace {

constexpr std::size_t kMaxQueued = 65536;
constexpr int32_t kMaxAccelerators = 4096;

bool Matches(const Message& m, const PlatWindow* window, uint32_t first, uint32_t last) {
  if (window && !(m.window && IsWithin(m.window, window))) return false;
  if (first == 0 && last == 0) return true;
  return m.message >= first && m.message <= last;
}

// A window waiting to be painted: windows behind before those in front,
// parents before children.
PlatWindow* FindInTree(PlatWindow* w, const PlatWindow* filter) {
  if (!(w->style & WinStyleVisible)) return nullptr;
  if (w->hasUpdate && !w->destroying && (!filter || IsWithin(w, filter))) return w;
  for (PlatWindow* c : w->children) {
    if (PlatWindow* p = FindInTree(c, filter)) return p;
  }
  return nullptr;
}

PlatWindow* FindPaintWindow(const PlatWindow* filter) {
  for (PlatWindow* t : TheWorld().topLevels) {
    if (PlatWindow* p = FindInTree(t, filter)) return p;
  }
  return nullptr;
}

Message MakeMessage(PlatWindow* w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  const World& W = TheWorld();
  return Message{w, message, wParam, lParam, Now(), W.pointerX, W.pointerY, W.keyState};
}

// The character a key-down makes, 0 for none: letters by Shift, digits,
// space and the control keys; Ctrl+letter gives the control codes 1..26.
char16_t KeyCharacter(uint32_t key, uint32_t keyState) {
  if (keyState & KeyStateAlt) return 0;
  const bool shift = (keyState & KeyStateShift) != 0;
  if (keyState & KeyStateControl) {
    if (key >= 'A' && key <= 'Z') return static_cast<char16_t>(key - 'A' + 1);
    return 0;
  }
  if (key >= 'A' && key <= 'Z') return static_cast<char16_t>(shift ? key : key + 32);
  if (key >= '0' && key <= '9') {
    static const char16_t kShifted[] = u")!@#$%^&*(";
    return shift ? kShifted[key - '0'] : static_cast<char16_t>(key);
  }
  switch (key) {
    case KeySpace: return u' ';
    case KeyEnter: return 13;
    case KeyBackspace: return 8;
    case KeyTab: return 9;
    case KeyEscape: return 27;
    default: return 0;
  }
}

// Deadlines that have passed become messages, in the order they fell due.
void QueueDueDeadlines() {
  auto& d = TheWorld().deadlines;
  if (d.empty()) return;
  const auto now = std::chrono::steady_clock::now();
  const auto due = std::stable_partition(d.begin(), d.end(), [&](const Deadline& x) { return x.at > now; });
  std::stable_sort(due, d.end(), [](const Deadline& a, const Deadline& b) { return a.at < b.at; });
  for (auto it = due; it != d.end(); ++it) QueueMessage(it->window, MsgDeadline, it->id, 0);
  d.erase(due, d.end());
}

}  // namespace

uint32_t Now() {
  const auto elapsed = std::chrono::steady_clock::now() - TheWorld().startTime;
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

bool QueueMessage(PlatWindow* w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  World& W = TheWorld();
  if (W.queue.size() >= kMaxQueued) return false;
  try {
    W.queue.push_back(MakeMessage(w, message, wParam, lParam));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void PurgeMessages(const PlatWindow* w) {
  auto& q = TheWorld().queue;
  q.erase(std::remove_if(q.begin(), q.end(), [&](const Message& m) { return m.window == w; }), q.end());
  auto& d = TheWorld().deadlines;
  d.erase(std::remove_if(d.begin(), d.end(), [&](const Deadline& x) { return x.window == w; }), d.end());
}

void CancelDeadline(PlatWindow* w, uint32_t id) {
  auto& d = TheWorld().deadlines;
  d.erase(std::remove_if(d.begin(), d.end(), [&](const Deadline& x) { return x.window == w && x.id == id; }),
          d.end());
}

void SetDeadline(PlatWindow* w, uint32_t id, uint32_t delayMs) {
  if (!Live(w)) return;
  CancelDeadline(w, id);
  try {
    TheWorld().deadlines.push_back({w, id, std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs)});
  } catch (const std::bad_alloc&) {
    // The moment passes unnoticed: what waited for it (a tip) does not show.
  }
}

int32_t MsUntilDeadline() {
  const auto& d = TheWorld().deadlines;
  if (d.empty()) return -1;
  auto next = d.front().at;
  for (const Deadline& x : d) next = std::min(next, x.at);
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(next - std::chrono::steady_clock::now()).count();
  return static_cast<int32_t>(std::clamp<int64_t>(left, 0, INT32_MAX));
}

bool NextModalMessage(Message* msg) {
  const int32_t r = NextMessage(msg, nullptr, 0, 0);
  if (r == 0) RequestQuit(static_cast<int32_t>(static_cast<intptr_t>(msg->wParam)));
  return r > 0;
}

}  // namespace wm

using namespace wm;

intptr_t SendToWindow(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  intptr_t result = 0;
  CallProc(w, message, wParam, lParam, &result);
  return result;
}

bool PostToWindow(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (w && (!Live(w) || w->destroying)) return false;
  return QueueMessage(w, message, wParam, lParam);
}

bool PollMessage(Message* msg, Window window, uint32_t first, uint32_t last, bool remove) {
  World& W = TheWorld();
  if (!msg) return false;
  CollectGraveyard();
  if (window && !Live(window)) return false;
  QueueDueDeadlines();
  for (auto it = W.queue.begin(); it != W.queue.end(); ++it) {
    if (!Matches(*it, window, first, last)) continue;
    *msg = *it;
    if (remove) W.queue.erase(it);
    return true;
  }
  if (W.quitPending) {
    *msg = MakeMessage(nullptr, MsgQuit, static_cast<uintptr_t>(static_cast<intptr_t>(W.quitCode)), 0);
    if (remove) W.quitPending = false;
    return true;
  }
  const bool paintWanted = (first == 0 && last == 0) || (MsgPaint >= first && MsgPaint <= last);
  if (paintWanted) {
    if (PlatWindow* p = FindPaintWindow(window)) {
      *msg = MakeMessage(p, MsgPaint, 0, 0);
      return true;
    }
  }
  return false;
}

int32_t NextMessage(Message* msg, Window window, uint32_t first, uint32_t last) {
  World& W = TheWorld();
  if (!msg) return -1;
  for (;;) {
    if (PollMessage(msg, window, first, last, true)) return msg->message == MsgQuit ? 0 : 1;
    if (!W.started) return -1;
    if (window && !Live(window)) return -1;
    if (ServeInstances()) continue;  // other copies are served before the loop waits
    if (W.backend == ScreenSdl) {
      if (W.changed) SdlPresent();
      if (!SdlWaitAndDispatch(MsUntilDeadline())) return -1;
    } else if (!HeadlessIdle()) {
      return -1;
    }
  }
}

intptr_t DeliverMessage(const Message* msg) {
  if (!msg || !Live(msg->window)) return 0;
  PlatWindow* w = msg->window;
  Hold hold(w);
  const uint32_t served = w->paintServed;
  const intptr_t r = SendToWindow(w, msg->message, msg->wParam, msg->lParam);
  // A paint handler that never began painting would be asked again at once,
  // forever; the platform takes its answer as done.
  if (msg->message == MsgPaint && Live(w) && w->paintServed == served) ValidateWindowRect(w, nullptr);
  return r;
}

bool PostCharacterMessage(const Message* msg) {
  if (!msg || msg->message != MsgKeyDown || !Live(msg->window)) return false;
  if (static_cast<uintptr_t>(msg->lParam) & KeyFlagTextFollows) return false;
  uint32_t keyState = msg->keyState;
  if (static_cast<uintptr_t>(msg->lParam) & KeyFlagAlt) keyState |= KeyStateAlt;
  const char16_t c = msg->wParam <= 0xFFFF ? KeyCharacter(static_cast<uint32_t>(msg->wParam), keyState) : 0;
  if (c == 0) return false;
  World& W = TheWorld();
  // Ahead of everything else, so the character follows its key-down at once.
  try {
    Message m = *msg;
    m.message = MsgChar;
    m.wParam = c;
    m.lParam = msg->lParam & ~static_cast<intptr_t>(KeyFlagTextFollows);
    W.queue.push_front(m);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void RequestQuit(int32_t code) {
  World& W = TheWorld();
  W.quitPending = true;
  W.quitCode = code;
}

// ---- Accelerators -------------------------------------------------------------------------

AcceleratorTable* MakeAcceleratorTable(const AcceleratorEntry* entries, int32_t count) {
  if (count < 0 || count > kMaxAccelerators || (count > 0 && !entries)) return nullptr;
  auto* t = new (std::nothrow) AcceleratorTable;
  if (!t) return nullptr;
  try {
    t->entries.assign(entries, entries + count);
  } catch (const std::bad_alloc&) {
    delete t;
    return nullptr;
  }
  return t;
}

AcceleratorTable* LoadAcceleratorTable(uint16_t id) {
  const ResourceHandle h = FindProgramResource(ResTypeAccelerator, id);
  const uint8_t* data = LoadProgramResource(h);
  const uint32_t size = ResourceSize(h);
  if (!data || size < 8) return nullptr;
  constexpr uint16_t kKnown = AccelVirtualKey | 0x02 | AccelShift | AccelControl | AccelAlt | AccelLast;
  std::vector<AcceleratorEntry> entries;
  try {
    for (uint32_t at = 0; at + 8 <= size && entries.size() < kMaxAccelerators; at += 8) {
      auto word = [&](uint32_t o) { return static_cast<uint16_t>(data[at + o] | (data[at + o + 1] << 8)); };
      const uint16_t flags = word(0);
      if (flags & ~kKnown) return nullptr;
      entries.push_back({static_cast<uint16_t>(flags & ~AccelLast), word(2), word(4)});
      if (flags & AccelLast) return MakeAcceleratorTable(entries.data(), static_cast<int32_t>(entries.size()));
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return nullptr;  // no entry marked last: the table is cut short
}

void FreeAcceleratorTable(AcceleratorTable* table) { delete table; }

bool ApplyAccelerators(Window window, const AcceleratorTable* table, const Message* msg) {
  if (!table || !msg || !Live(window) || !EnabledChain(window)) return false;
  const bool keyDown = msg->message == MsgKeyDown;
  if (!keyDown && msg->message != MsgChar) return false;
  uint32_t keyState = msg->keyState;
  if (static_cast<uintptr_t>(msg->lParam) & KeyFlagAlt) keyState |= KeyStateAlt;
  for (const AcceleratorEntry& e : table->entries) {
    const bool virtualKey = (e.flags & AccelVirtualKey) != 0;
    if (virtualKey != keyDown || msg->wParam != e.key) continue;
    const bool alt = (keyState & KeyStateAlt) != 0;
    if (alt != ((e.flags & AccelAlt) != 0)) continue;
    if (virtualKey) {
      if (((keyState & KeyStateControl) != 0) != ((e.flags & AccelControl) != 0)) continue;
      if (((keyState & KeyStateShift) != 0) != ((e.flags & AccelShift) != 0)) continue;
    }
    SendToWindow(window, MsgCommand, static_cast<uintptr_t>(PackWords(e.command, CommandFromAccelerator)), 0);
    return true;
  }
  return false;
}

}  // namespace plat
