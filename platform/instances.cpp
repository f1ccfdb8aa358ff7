// The socket between copies of the program: the running copy's server,
// served from its message loop, and the calls a later copy makes.
#include "platform/instances.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/instances_internal.h"
#include "platform/text_utf.h"
#include "platform/window_internal.h"

namespace plat {

namespace wm {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxClassName = 255;
// Connections taken per serve: a flood of them cannot hold the loop.
constexpr int kMaxAcceptsPerServe = 64;

// ---- Names --------------------------------------------------------------------------------


std::size_t BoundedLength(const char16_t* s, std::size_t limit) {
  std::size_t n = 0;
  while (n <= limit && s[n]) ++n;
  return n;
}

// The class (folded, as classes compare) and the title as one key, with a
// zero unit between them. False when either is missing or too long.
bool NameKey(const char16_t* className, const char16_t* title, std::u16string* key) {
  if (!className || !title) return false;
  const std::size_t classLength = BoundedLength(className, kMaxClassName);
  const std::size_t titleLength = BoundedLength(title, kInstanceMaxTitle);
  if (classLength == 0 || classLength > kMaxClassName || titleLength > kInstanceMaxTitle) return false;
  key->clear();
  for (std::size_t i = 0; i < classLength; ++i) key->push_back(FoldAscii(className[i]));
  key->push_back(0);
  key->append(title, titleLength);
  return true;
}

template <typename T>
T Fnv1a(const std::u16string& key, T offset, T prime) {
  T h = offset;
  for (char16_t u : key) {
    h = (h ^ static_cast<uint8_t>(u & 0xFF)) * prime;
    h = (h ^ static_cast<uint8_t>(u >> 8)) * prime;
  }
  return h;
}

uint64_t FileHash(const std::u16string& key) {
  return Fnv1a<uint64_t>(key, 0xcbf29ce484222325ull, 0x100000001b3ull);
}

uint32_t TagOf(const std::u16string& key) {
  const uint32_t t = Fnv1a<uint32_t>(key, 0x811c9dc5u, 0x01000193u);
  return t == 0 ? 1 : t;  // 0 means "no names"
}

// The user's private folder, created when missing. Refused unless it is a
// folder (not a link) of this user that nobody else may enter.
bool PrivateFolder(std::string* out) {
  const uid_t uid = geteuid();
  std::string dir;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') {
    dir = runtime;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (dir != "/") dir += '/';
    dir += "tovanel";
  } else {
    dir = "/tmp/tovanel-" + std::to_string(uid);
  }
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  if (lstat(dir.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode) || st.st_uid != uid || (st.st_mode & 077) != 0) return false;
  *out = std::move(dir);
  return true;
}

bool SocketPathFor(const std::u16string& key, std::string* path) {
  std::string dir;
  if (!PrivateFolder(&dir)) return false;
  static const char kHex[] = "0123456789abcdef";
  std::string name = "w-";
  const uint64_t h = FileHash(key);
  for (int shift = 60; shift >= 0; shift -= 4) name.push_back(kHex[(h >> shift) & 0xF]);
  std::string full = dir + "/" + name;
  if (full.size() >= sizeof(sockaddr_un::sun_path)) return false;
  *path = std::move(full);
  return true;
}

bool MakeAddress(const std::string& path, sockaddr_un* address) {
  if (path.empty() || path.size() >= sizeof(address->sun_path)) return false;
  *address = sockaddr_un{};
  address->sun_family = AF_UNIX;
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

bool PeerIsThisUser(int fd) {
  ucred cred{};
  socklen_t length = sizeof cred;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &length) != 0 || length != sizeof cred) return false;
  return cred.uid == geteuid();
}

// ---- Wire format ----------------------------------------------------------------------------

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// Requests and replies share one layout: the header, then two words (the
// argument and the name tag, or the value and the server id).
void EncodeMessage(uint8_t* p, uint16_t kind, uint32_t first, uint32_t second) {
  Put32(p, kInstanceMagic);
  Put16(p + 4, kInstanceVersion);
  Put16(p + 6, kind);
  Put32(p + 8, first);
  Put32(p + 12, second);
}

struct Request {
  uint16_t kind;
  uint32_t argument;
  uint32_t tag;
};

// A request as the server accepts it: right magic, version and kind, an
// argument in range.
bool DecodeRequest(const uint8_t* p, Request* r) {
  if (Get32(p) != kInstanceMagic || Get16(p + 4) != kInstanceVersion) return false;
  r->kind = Get16(p + 6);
  r->argument = Get32(p + 8);
  r->tag = Get32(p + 12);
  switch (r->kind) {
    case InstanceHello:
    case InstanceFrontQuery:
    case InstanceBringToFront:
    case InstanceClose:
      return r->argument == 0;
    case InstanceCommand:
      return r->argument <= 0xFFFF;
    default:
      return false;
  }
}

// ---- The server -------------------------------------------------------------------------------

struct Connection {
  int fd = -1;
  std::array<uint8_t, kInstanceRequestSize + 1> bytes{};  // one more, to notice a longer request
  std::size_t have = 0;
  Clock::time_point deadline{};
};

struct Server {
  int listenFd = -1;
  PlatWindow* window = nullptr;
  std::u16string className, title;
  std::string path;
  dev_t device = 0;
  ino_t inode = 0;
  uint32_t tag = 0;
  pid_t owner = 0;  // a process forked from this one does not serve
  std::array<Connection, kInstanceMaxConnections> connections{};
};
Server g_server;

// Listening, in the process that published (not a copy of it made by fork).
bool Serving() { return g_server.listenFd >= 0 && g_server.owner == getpid(); }

void CloseConnection(Connection* c) {
  if (c->fd >= 0) close(c->fd);
  *c = Connection{};
}

// The published window is still there under the names it was published by.
bool StillPublished() {
  const PlatWindow* w = g_server.window;
  return Live(w) && !w->destroying && w->cls && w->title == g_server.title &&
         w->cls->name.size() == g_server.className.size() &&
         std::equal(w->cls->name.begin(), w->cls->name.end(), g_server.className.begin(),
                    [](char16_t a, char16_t b) { return FoldAscii(a) == FoldAscii(b); });
}

OtherFront FrontState() {
  PlatWindow* published = g_server.window;
  if (ScreenBackend() == ScreenSdl && !SdlHasInputFocus()) return OtherBehind;
  Window front = FrontWindow();
  if (front == published) return OtherInFront;
  // Owners are top-level windows that outlive what they own: the chain is
  // short and ends.
  for (int depth = 0; front && depth < 64; ++depth) {
    front = WindowOwner(front);
    if (front == published) return OtherOwnedInFront;
  }
  return OtherBehind;
}

uint32_t Act(const Request& r) {
  PlatWindow* w = g_server.window;
  switch (r.kind) {
    case InstanceHello:
      return kInstanceVersion;
    case InstanceFrontQuery:
      return FrontState();
    case InstanceBringToFront: {
      const bool done = BringToFront(w);
      if (done && ScreenBackend() == ScreenSdl) SdlRaise();
      return done ? 1 : 0;
    }
    case InstanceCommand:
      return PostToWindow(w, MsgCommand, r.argument, 0) ? 1 : 0;
    case InstanceClose:
      return PostToWindow(w, MsgCloseRequest, 0, 0) ? 1 : 0;
    default:
      return 0;
  }
}

// Reads what has arrived. True when a request was handled.
bool ServeConnection(Connection* c, Clock::time_point now) {
  bool ended = false;
  for (;;) {
    const ssize_t n = recv(c->fd, c->bytes.data() + c->have, c->bytes.size() - c->have, MSG_DONTWAIT);
    if (n > 0) {
      c->have += static_cast<std::size_t>(n);
      if (c->have > kInstanceRequestSize) {
        CloseConnection(c);  // more than one request
        return false;
      }
      continue;
    }
    if (n == 0) {
      ended = true;
      break;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) break;
    CloseConnection(c);
    return false;
  }
  if (c->have < kInstanceRequestSize) {
    if (ended || now >= c->deadline) CloseConnection(c);
    return false;
  }
  Request r{};
  if (!DecodeRequest(c->bytes.data(), &r) || r.tag != g_server.tag) {
    CloseConnection(c);
    return false;
  }
  // The slot is free before the request is acted on: acting runs window
  // procedures, which may run a loop that serves the socket again.
  const int fd = c->fd;
  *c = Connection{};
  const uint32_t value = Act(r);
  uint8_t reply[kInstanceReplySize];
  EncodeMessage(reply, r.kind, value, static_cast<uint32_t>(getpid()));
  // A fresh connection's buffer takes 16 bytes at once; a peer that cannot
  // take them gets nothing.
  (void)send(fd, reply, sizeof reply, MSG_DONTWAIT | MSG_NOSIGNAL);
  close(fd);
  return true;
}

// Takes waiting connections and serves each at once: a request usually
// arrives with its connection. True when a request was handled.
bool AcceptNew(Clock::time_point now) {
  bool handled = false;
  for (int i = 0; i < kMaxAcceptsPerServe && g_server.listenFd >= 0; ++i) {
    const int fd = accept4(g_server.listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      break;  // none waiting, or out of descriptors: the next serve tries again
    }
    if (!PeerIsThisUser(fd)) {
      close(fd);
      continue;
    }
    auto isFree = [](const Connection& c) { return c.fd < 0; };
    auto free = std::find_if(g_server.connections.begin(), g_server.connections.end(), isFree);
    if (free == g_server.connections.end()) {
      // Peers may have hung up since they were last looked at: those make
      // room before the newcomer is turned away.
      for (Connection& c : g_server.connections) {
        if (c.fd >= 0 && ServeConnection(&c, now)) handled = true;
      }
      free = std::find_if(g_server.connections.begin(), g_server.connections.end(), isFree);
    }
    if (free == g_server.connections.end() || g_server.listenFd < 0) {
      close(fd);
      continue;
    }
    free->fd = fd;
    free->have = 0;
    free->deadline = now + std::chrono::milliseconds(kInstanceStallMs);
    if (ServeConnection(&*free, now)) handled = true;
  }
  return handled;
}

// The listening socket bound at `path`, replacing a socket file that nobody
// listens on; -1 when a live copy is there or anything fails.
int Listen(const std::string& path, dev_t* device, ino_t* inode) {
  sockaddr_un address{};
  if (!MakeAddress(path, &address)) return -1;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
      struct stat st {};
      if (chmod(path.c_str(), 0600) != 0 || lstat(path.c_str(), &st) != 0 || listen(fd, 16) != 0) break;
      *device = st.st_dev;
      *inode = st.st_ino;
      return fd;
    }
    if (errno != EADDRINUSE || attempt > 0) break;
    // Something is there: a live copy, or the socket of one that ended
    // without removing it. Only a socket nobody answers on is replaced.
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) break;
    const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (probe < 0) break;
    const int r = connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int error = errno;
    close(probe);
    if (r == 0 || error != ECONNREFUSED) break;
    if (unlink(path.c_str()) != 0 && errno != ENOENT) break;
  }
  close(fd);
  return -1;
}

}  // namespace

bool ServeInstances() {
  if (!Serving()) return false;
  if (!StillPublished()) {
    WithdrawWindow();
    return false;
  }
  const Clock::time_point now = Clock::now();
  // Those already open first: peers that hung up or stalled make room for
  // the new ones.
  bool handled = false;
  for (Connection& c : g_server.connections) {
    if (g_server.listenFd < 0) return handled;  // withdrawn while a request was acted on
    if (c.fd >= 0 && ServeConnection(&c, now)) handled = true;
  }
  if (AcceptNew(now)) handled = true;
  return handled;
}

void WaitForInstances(std::chrono::steady_clock::duration limit) {
  if (limit <= limit.zero()) return;
  if (!Serving()) {
    std::this_thread::sleep_for(limit);
    return;
  }
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(limit).count();
  std::array<pollfd, kInstanceMaxConnections + 1> fds{};
  nfds_t count = 0;
  fds[count++] = pollfd{g_server.listenFd, POLLIN, 0};
  for (const Connection& c : g_server.connections) {
    if (c.fd >= 0) fds[count++] = pollfd{c.fd, POLLIN, 0};
  }
  (void)poll(fds.data(), count, static_cast<int>(std::min<int64_t>(ms, 60000)));
}

bool InstancesListening() { return Serving(); }

}  // namespace wm

using namespace wm;

bool PublishWindow(Window window) {
  if (Serving() && StillPublished()) return window == g_server.window;
  WithdrawWindow();  // a window that went, or a server inherited through fork
  if (!TheWorld().started || !Live(window) || window->destroying || window->parent || window->internal ||
      !window->cls)
    return false;
  std::u16string key;
  if (!NameKey(window->cls->name.c_str(), window->title.c_str(), &key)) return false;
  Server s;
  if (!SocketPathFor(key, &s.path)) return false;
  s.listenFd = Listen(s.path, &s.device, &s.inode);
  if (s.listenFd < 0) return false;
  s.window = window;
  s.className = window->cls->name;
  s.title = window->title;
  s.tag = TagOf(key);
  s.owner = getpid();
  g_server = std::move(s);
  return true;
}

void WithdrawWindow() {
  if (g_server.listenFd < 0) return;
  for (Connection& c : g_server.connections) CloseConnection(&c);
  // Another copy may have replaced a file it found dead meanwhile: only
  // this copy's own is removed.
  struct stat st {};
  if (g_server.owner == getpid() && lstat(g_server.path.c_str(), &st) == 0 && st.st_dev == g_server.device &&
      st.st_ino == g_server.inode)
    unlink(g_server.path.c_str());
  close(g_server.listenFd);
  g_server = Server{};
}

Window PublishedWindow() { return Serving() && StillPublished() ? g_server.window : nullptr; }

uint32_t InstanceNameTag(const char16_t* className, const char16_t* title) {
  std::u16string key;
  return NameKey(className, title, &key) ? TagOf(key) : 0;
}

bool InstanceSocketPath(const char16_t* className, const char16_t* title, std::string* path) {
  std::u16string key;
  if (!path || !NameKey(className, title, &key)) return false;
  return SocketPathFor(key, path);
}

// ---- The client -------------------------------------------------------------------------------

namespace {

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for `events` on fd until the deadline; false on timeout or error.
bool AwaitReady(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    const int left = RemainingMs(deadline);
    if (left <= 0) return false;
    pollfd p{fd, events, 0};
    const int r = poll(&p, 1, left);
    if (r > 0) return (p.revents & events) != 0 || (p.revents & (POLLHUP | POLLERR)) != 0;
    if (r < 0 && errno != EINTR) return false;
  }
}

int ConnectTo(const std::string& path, Clock::time_point deadline) {
  sockaddr_un address{};
  if (!MakeAddress(path, &address)) return -1;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  // Blocking, so that a full backlog waits its turn; the timeout bounds it.
  const int left = std::max(RemainingMs(deadline), 1);
  timeval tv{left / 1000, (left % 1000) * 1000};
  const bool ok = setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) == 0 &&
                  connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                  PeerIsThisUser(fd) && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) == 0;
  if (!ok) {
    close(fd);
    return -1;
  }
  return fd;
}

// Sends or receives exactly `size` bytes, waiting whenever the socket is
// not ready; false on an error, an early end or the deadline.
bool TransferAll(int fd, uint8_t* bytes, std::size_t size, bool sending, Clock::time_point deadline) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = sending ? send(fd, bytes + done, size - done, MSG_DONTWAIT | MSG_NOSIGNAL)
                              : recv(fd, bytes + done, size - done, MSG_DONTWAIT);
    if (n > 0)
      done += static_cast<std::size_t>(n);
    else if (n < 0 && errno == EINTR)
      continue;
    else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!AwaitReady(fd, sending ? POLLOUT : POLLIN, deadline)) return false;
    } else {
      return false;  // closed before the whole message, or failed
    }
  }
  return true;
}

struct Reply {
  uint32_t value;
  uint32_t serverId;
};

// One request and its reply over a connection of its own.
bool Exchange(const std::string& path, uint32_t tag, uint16_t kind, uint32_t argument, Reply* reply) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kInstanceTimeoutMs);
  const int fd = ConnectTo(path, deadline);
  if (fd < 0) return false;
  uint8_t request[kInstanceRequestSize];
  EncodeMessage(request, kind, argument, tag);
  uint8_t bytes[kInstanceReplySize];
  const bool ok = TransferAll(fd, request, sizeof request, true, deadline) &&
                  TransferAll(fd, bytes, sizeof bytes, false, deadline);
  close(fd);
  if (!ok || Get32(bytes) != kInstanceMagic || Get16(bytes + 4) != kInstanceVersion || Get16(bytes + 6) != kind)
    return false;
  reply->value = Get32(bytes + 8);
  reply->serverId = Get32(bytes + 12);
  return true;
}

// A request to the copy found before; a reply from any other process is
// refused (the copy ended and another took its place).
bool Ask(const OtherInstance& other, uint16_t kind, uint32_t argument, uint32_t* value) {
  if (other.serverId == 0 || other.nameTag == 0) return false;
  Reply r{};
  if (!Exchange(other.socketPath, other.nameTag, kind, argument, &r) || r.serverId != other.serverId) return false;
  *value = r.value;
  return true;
}

}  // namespace

bool FindOtherInstance(const char16_t* className, const char16_t* title, OtherInstance* out) {
  std::u16string key;
  OtherInstance found;
  if (!out || !NameKey(className, title, &key) || !SocketPathFor(key, &found.socketPath)) return false;
  // This process's own window is not another copy, and asking it would wait
  // for a loop that is not running.
  if (Serving() && g_server.path == found.socketPath) return false;
  found.nameTag = TagOf(key);
  Reply r{};
  if (!Exchange(found.socketPath, found.nameTag, InstanceHello, 0, &r)) return false;
  if (r.value != kInstanceVersion || r.serverId == 0 || r.serverId == static_cast<uint32_t>(getpid())) return false;
  found.serverId = r.serverId;
  *out = std::move(found);
  return true;
}

bool QueryOtherFront(const OtherInstance& other, OtherFront* state) {
  uint32_t v = 0;
  if (!state || !Ask(other, InstanceFrontQuery, 0, &v) || v > OtherOwnedInFront) return false;
  *state = static_cast<OtherFront>(v);
  return true;
}

bool BringOtherToFront(const OtherInstance& other) {
  uint32_t v = 0;
  return Ask(other, InstanceBringToFront, 0, &v) && v == 1;
}

bool SendOtherCommand(const OtherInstance& other, uint16_t id) {
  uint32_t v = 0;
  return Ask(other, InstanceCommand, id, &v) && v == 1;
}

bool SendOtherCloseRequest(const OtherInstance& other) {
  uint32_t v = 0;
  return Ask(other, InstanceClose, 0, &v) && v == 1;
}

}  // namespace plat
