// The menu bar at the bottom of the screen: its resource, read strictly,
// and the window, owned by the top-level window its commands go to.
#include <new>

#include "platform/bar_internal.h"
#include "platform/graphics_internal.h"
#include "platform/handheld_shell.h"
#include "platform/resources.h"

namespace plat {

using namespace wm;

namespace {

constexpr uint32_t kHeaderBytes = 4;
constexpr uint32_t kButtonBytes = 14;
constexpr uint16_t kMaxMenuBarButtons = 16;  // more than a screen's width of them
constexpr int32_t kMaxButtonText = 64;

uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The menu and its buttons from resource `id`; false, with nothing filled,
// when anything in it is out of place.
bool ReadMenuBar(uint16_t id, Menu* menu, std::vector<bar::Item>* buttons) {
  const ResourceHandle h = FindProgramResource(ResTypeMenuBar, id);
  const uint8_t* data = LoadProgramResource(h);
  const uint32_t size = ResourceSize(h);
  if (!data || size < kHeaderBytes) return false;
  const uint16_t count = Word(data + 2);
  if (count == 0 || count > kMaxMenuBarButtons || size != kHeaderBytes + kButtonBytes * count) return false;
  Menu m;
  if (LoadMenuResource(Word(data), &m) != MenuOk) return false;
  std::vector<bar::Item> out;
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t* p = data + kHeaderBytes + kButtonBytes * i;
    const uint16_t image = Word(p), command = Word(p + 2), state = Word(p + 4), style = Word(p + 6);
    const uint16_t textId = Word(p + 8), reserved = Word(p + 10), popup = Word(p + 12);
    if (!bar::KnownButtonBits(state, style) || reserved != 0 || !MenuPopupAt(&m, popup)) return false;
    char16_t text[kMaxButtonText];
    const int32_t n = LoadStringResource(textId, text, kMaxButtonText);
    // A button shows its text, or its picture when it has one.
    if (n == 0 && image == kBarNoImage) return false;
    out.push_back(bar::Item{bar::ItemMenu, command, image, static_cast<uint8_t>(state), static_cast<uint8_t>(style),
                            0, popup, std::u16string(text, static_cast<std::size_t>(n)), 0, 0, Rect{0, 0, 0, 0}});
  }
  *menu = std::move(m);
  *buttons = std::move(out);
  return true;
}

}  // namespace

bool CreateMenuBar(MenuBarCreation* info) {
  World& W = TheWorld();
  if (!info || info->size != sizeof(MenuBarCreation) || (info->flags & ~static_cast<uint32_t>(MenuBarNoInputPanelButton)))
    return false;
  PlatWindow* parent = info->parent;
  if (!Live(parent) || parent->destroying || !bar::EnsureBarClasses()) return false;
  Menu menu;
  std::vector<bar::Item> buttons;
  Bitmap* bitmap = nullptr;
  try {
    if (!ReadMenuBar(info->menuBarId, &menu, &buttons)) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (info->bitmapId) {
    bitmap = LoadBitmapResource(info->bitmapId);
    const Size size = BitmapSize(bitmap);
    if (!bitmap || info->images <= 0 || size.cy < kBarImageSize || size.cx < info->images * kBarImageSize) {
      DeleteBitmap(bitmap);
      return false;
    }
  }
  PlatWindow* top = TopLevelOf(parent);
  bar::BarInit init{true, parent};
  WindowDescription desc{};
  desc.className = kMenuBarClass;
  desc.style = WinStylePopup;
  desc.x = 0;
  desc.y = W.height - kMenuBarHeight;
  desc.width = W.width;
  desc.height = kMenuBarHeight;
  desc.parent = top;
  desc.createParam = &init;
  PlatWindow* w = OpenWindow(&desc);
  bar::Bar* b = bar::BarOf(w);
  if (!b) {
    DeleteBitmap(bitmap);
    if (w) DisposeWindow(w);
    return false;
  }
  w->internal = true;
  w->showsWithOwner = true;
  for (bar::Item& item : buttons) item.textWidth = bar::ButtonTextWidth(b, item.text);
  b->items = std::move(buttons);
  b->menu = std::move(menu);
  b->hasMenu = true;
  b->inputPanelButton = !(info->flags & MenuBarNoInputPanelButton);
  bar::SetRightEnd(b);
  if (bitmap) bar::AddPictures(b, bitmap->surface.pixels, BitmapSize(bitmap).cx, info->images);
  DeleteBitmap(bitmap);
  // Shown with its window (now, or when the window being created is shown),
  // never taking the activation from it.
  if (Live(top) && (top->style & WinStyleVisible)) ApplyShowMode(w, ShowNoActivate);
  info->bar = w;
  return true;
}

}  // namespace plat
