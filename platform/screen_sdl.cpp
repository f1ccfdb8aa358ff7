// The SDL backend: one resizable SDL window is the device's screen. Events
// become platform input; the composed screen is streamed into a texture,
// only the part that changed, and presented.
#include <SDL.h>

#include <cstdlib>
#include <string>

#include "platform/graphics_internal.h"
#include "platform/instances_internal.h"
#include "platform/resources.h"
#include "platform/text_utf.h"
#include "platform/window_internal.h"

namespace plat {

namespace wm {

namespace {

struct SdlState {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int32_t textureWidth = 0, textureHeight = 0;
  bool fingerDown = false;
  SDL_FingerID finger = 0;
  bool mustPresent = false;  // the window was uncovered: show the picture again
  uint16_t iconId = 0;       // the icon resource the window shows
};
SdlState g_sdl;

constexpr int kInstanceWakeMs = 50;

uint32_t KeyFromSdl(const SDL_Keysym& k) {
  // Letters and digits by position, so that they keep their codes under any
  // keyboard layout (a Hebrew layout included); their text comes from the
  // input method.
  if (k.scancode >= SDL_SCANCODE_A && k.scancode <= SDL_SCANCODE_Z)
    return 'A' + static_cast<uint32_t>(k.scancode - SDL_SCANCODE_A);
  if (k.scancode >= SDL_SCANCODE_1 && k.scancode <= SDL_SCANCODE_9)
    return '1' + static_cast<uint32_t>(k.scancode - SDL_SCANCODE_1);
  if (k.scancode == SDL_SCANCODE_0) return '0';
  if (k.sym >= SDLK_F1 && k.sym <= SDLK_F12) return KeyF1 + static_cast<uint32_t>(k.sym - SDLK_F1);
  switch (k.sym) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return KeyEnter;
    case SDLK_BACKSPACE: return KeyBackspace;
    case SDLK_TAB: return KeyTab;
    case SDLK_ESCAPE: return KeyEscape;
    case SDLK_SPACE: return KeySpace;
    case SDLK_PAGEUP: return KeyPageUp;
    case SDLK_PAGEDOWN: return KeyPageDown;
    case SDLK_END: return KeyEnd;
    case SDLK_HOME: return KeyHome;
    case SDLK_LEFT: return KeyLeft;
    case SDLK_UP: return KeyUp;
    case SDLK_RIGHT: return KeyRight;
    case SDLK_DOWN: return KeyDown;
    case SDLK_DELETE: return KeyDelete;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return KeyShift;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return KeyControl;
    case SDLK_LALT:
    case SDLK_RALT: return KeyAlt;
    default: return 0;
  }
}

uint32_t KeyStateFromSdl(uint16_t mod) {
  uint32_t s = 0;
  if (mod & KMOD_SHIFT) s |= KeyStateShift;
  if (mod & KMOD_CTRL) s |= KeyStateControl;
  if (mod & KMOD_ALT) s |= KeyStateAlt;
  return s;
}

bool Printable(uint32_t key) {
  return (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9') || key == KeySpace;
}

int32_t FingerX(float fx) { return static_cast<int32_t>(fx * static_cast<float>(TheWorld().width)); }
int32_t FingerY(float fy) { return static_cast<int32_t>(fy * static_cast<float>(TheWorld().height)); }

void Handle(const SDL_Event& e) {
  World& W = TheWorld();
  switch (e.type) {
    case SDL_QUIT:
      // The window's close button: the main window is asked as any window is.
      if (!Live(W.main) || !PostToWindow(W.main, MsgClose, 0, 0)) RequestQuit(0);
      break;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        ResizeScreen(e.window.data1, e.window.data2);
      } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
        g_sdl.mustPresent = true;
        MarkChanged();
      } else if (e.window.event == SDL_WINDOWEVENT_LEAVE && !W.capture) {
        InputStylusMove(-1, -1);  // the pointer left the screen: off whatever it hovered
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const bool down = e.type == SDL_KEYDOWN;
      const uint32_t state = KeyStateFromSdl(e.key.keysym.mod);
      W.keyState = state;
      const uint32_t key = KeyFromSdl(e.key.keysym);
      if (key == 0) break;
      const bool textFollows =
          down && W.textInput && Printable(key) && !(state & (KeyStateControl | KeyStateAlt));
      RouteKey(key, down, state, e.key.repeat != 0, textFollows);
      break;
    }
    case SDL_TEXTINPUT:
      InputText(Utf8ToUtf16(e.text.text));
      break;
    case SDL_MOUSEBUTTONDOWN:
      if (e.button.which != SDL_TOUCH_MOUSEID && e.button.button == SDL_BUTTON_LEFT)
        InputStylusDown(e.button.x, e.button.y);
      break;
    case SDL_MOUSEMOTION:
      // Without the button it is a hover, unless something holds the stylus.
      if (e.motion.which != SDL_TOUCH_MOUSEID && ((e.motion.state & SDL_BUTTON_LMASK) || !W.capture))
        InputStylusMove(e.motion.x, e.motion.y);
      break;
    case SDL_MOUSEBUTTONUP:
      if (e.button.which != SDL_TOUCH_MOUSEID && e.button.button == SDL_BUTTON_LEFT)
        InputStylusUp(e.button.x, e.button.y);
      break;
    case SDL_MOUSEWHEEL: {
      int32_t notches = e.wheel.y;
      if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
      int x = 0, y = 0;
      SDL_GetMouseState(&x, &y);
      InputWheel(x, y, notches);
      break;
    }
    case SDL_FINGERDOWN:
      if (!g_sdl.fingerDown) {
        g_sdl.fingerDown = true;
        g_sdl.finger = e.tfinger.fingerId;
        InputStylusDown(FingerX(e.tfinger.x), FingerY(e.tfinger.y));
      }
      break;
    case SDL_FINGERMOTION:
      if (g_sdl.fingerDown && e.tfinger.fingerId == g_sdl.finger)
        InputStylusMove(FingerX(e.tfinger.x), FingerY(e.tfinger.y));
      break;
    case SDL_FINGERUP:
      if (g_sdl.fingerDown && e.tfinger.fingerId == g_sdl.finger) {
        g_sdl.fingerDown = false;
        InputStylusUp(FingerX(e.tfinger.x), FingerY(e.tfinger.y));
      }
      break;
    default:
      break;
  }
}

}  // namespace

bool SdlOpen(int32_t width, int32_t height, std::string* error) {
  // Without a display SDL falls back to drivers that show nothing; those
  // count only when asked for by name (SDL_VIDEODRIVER).
  const bool driverNamed = std::getenv("SDL_VIDEODRIVER") != nullptr;
  if (!driverNamed && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
    *error = "no display available (neither DISPLAY nor WAYLAND_DISPLAY is set; --headless runs without one)";
    return false;
  }
  // Touches arrive as finger events; the mouse events SDL would make of
  // them too are not wanted.
  SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    *error = std::string("no display available (") + SDL_GetError() + ")";
    return false;
  }
  const std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
  if (!driverNamed && (driver == "offscreen" || driver == "dummy")) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    *error = "no display available (the display could not be opened; --headless runs without one)";
    return false;
  }
  g_sdl = SdlState{};
  g_sdl.window = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                                  SDL_WINDOW_RESIZABLE);
  if (g_sdl.window) g_sdl.renderer = SDL_CreateRenderer(g_sdl.window, -1, 0);
  if (!g_sdl.window || !g_sdl.renderer) {
    *error = std::string("no window could be opened (") + SDL_GetError() + ")";
    SdlClose();
    return false;
  }
  SDL_SetWindowMinimumSize(g_sdl.window, kMinScreenSide, kMinScreenSide);
  SDL_SetWindowMaximumSize(g_sdl.window, kMaxScreenSide, kMaxScreenSide);
  SDL_StopTextInput();  // until the program raises the input method
  return true;
}

void SdlClose() {
  if (g_sdl.texture) SDL_DestroyTexture(g_sdl.texture);
  if (g_sdl.renderer) SDL_DestroyRenderer(g_sdl.renderer);
  if (g_sdl.window) SDL_DestroyWindow(g_sdl.window);
  g_sdl = SdlState{};
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void SdlPresent() {
  World& W = TheWorld();
  if (!g_sdl.renderer) return;
  Rect changed{};
  bool any = TakeScreenChange(&changed);
  const Surface& screen = W.composite;
  if (!screen.pixels) return;
  if (!g_sdl.texture || g_sdl.textureWidth != screen.width || g_sdl.textureHeight != screen.height) {
    if (g_sdl.texture) SDL_DestroyTexture(g_sdl.texture);
    g_sdl.texture = SDL_CreateTexture(g_sdl.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                      screen.width, screen.height);
    if (!g_sdl.texture) return;
    g_sdl.textureWidth = screen.width;
    g_sdl.textureHeight = screen.height;
    SDL_RenderSetLogicalSize(g_sdl.renderer, screen.width, screen.height);
    changed = Rect{0, 0, screen.width, screen.height};
    any = true;
  }
  if (!any && !g_sdl.mustPresent) return;
  if (any) {
    const SDL_Rect r{changed.left, changed.top, changed.right - changed.left, changed.bottom - changed.top};
    const uint32_t* first = screen.pixels + static_cast<std::size_t>(changed.top) * screen.width + changed.left;
    SDL_UpdateTexture(g_sdl.texture, &r, first, screen.width * 4);
  }
  SDL_RenderClear(g_sdl.renderer);
  SDL_RenderCopy(g_sdl.renderer, g_sdl.texture, nullptr, nullptr);
  SDL_RenderPresent(g_sdl.renderer);
  g_sdl.mustPresent = false;
}

bool SdlWaitAndDispatch(int32_t timeoutMs) {
  SDL_Event e;
  // The socket has no place among SDL's events: wake now and then so the
  // loop serves it.
  if (InstancesListening() && (timeoutMs < 0 || timeoutMs > kInstanceWakeMs)) timeoutMs = kInstanceWakeMs;
  if (timeoutMs >= 0) {
    // Nothing arriving in time is not a failure.
    if (!SDL_WaitEventTimeout(&e, timeoutMs)) return true;
  } else if (!SDL_WaitEvent(&e)) {
    return false;
  }
  Handle(e);
  while (SDL_PollEvent(&e)) Handle(e);
  return true;
}

void SdlSetTextInput(bool on) {
  if (on)
    SDL_StartTextInput();
  else
    SDL_StopTextInput();
}

namespace {

// The main window's class icon (a 32 x 32 icon resource, magenta clear) as
// the SDL window's; a missing or malformed one leaves the icon as it was.
void ShowMainIcon() {
  constexpr int32_t kIconSide = 32;
  World& W = TheWorld();
  const uint16_t id = Live(W.main) && W.main->cls ? W.main->cls->iconId : 0;
  if (!g_sdl.window || id == 0 || id == g_sdl.iconId) return;
  g_sdl.iconId = id;
  const ResourceHandle h = FindProgramResource(ResTypeIcon, id);
  Bitmap* icon = CreateBitmapFromDib(LoadProgramResource(h), ResourceSize(h));
  const Size size = BitmapSize(icon);
  SDL_Surface* s = size.cx == kIconSide && size.cy == kIconSide
                       ? SDL_CreateRGBSurfaceWithFormat(0, kIconSide, kIconSide, 32, SDL_PIXELFORMAT_ARGB8888)
                       : nullptr;
  if (s) {
    for (int32_t y = 0; y < kIconSide; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(s->pixels) + static_cast<std::size_t>(y) * s->pitch);
      for (int32_t x = 0; x < kIconSide; ++x) {
        const uint32_t p = icon->surface.pixels[y * kIconSide + x] & 0xFFFFFF;
        row[x] = p == 0xFF00FF ? 0 : (0xFF000000u | p);
      }
    }
    SDL_SetWindowIcon(g_sdl.window, s);
    SDL_FreeSurface(s);
  }
  DeleteBitmap(icon);
}

}  // namespace

void SdlSetTitle(const std::u16string& title) {
  if (g_sdl.window) SDL_SetWindowTitle(g_sdl.window, Utf16ToUtf8(title).c_str());
  ShowMainIcon();  // called whenever the main window changes
}

bool SdlHasInputFocus() {
  return g_sdl.window && (SDL_GetWindowFlags(g_sdl.window) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

void SdlRaise() {
  if (g_sdl.window) SDL_RaiseWindow(g_sdl.window);
}

}  // namespace wm

}  // namespace plat
