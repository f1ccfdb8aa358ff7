// The command bar across the top of a window, and what the program asks of
// either bar: a menu's buttons, pictures from a bitmap or the standard
// strip, the right end's buttons, showing and hiding.
#include "platform/command_bar.h"

#include <new>

#include "platform/bar_internal.h"
#include "platform/graphics_internal.h"

namespace plat {

using namespace wm;
using bar::Bar;
using bar::BarOf;

namespace {

// The standard strip, a picture each; Redo is Undo turned round.
const char* const kStandardArt[][kBarImageSize] = {
    {// cut
     "................", "...k.......k....", "...k.......k....", "...kk.....kk....",
     "....k.....k.....", "....kk...kk.....", ".....k...k......", ".....kk.kk......",
     "......kkk.......", ".......k........", "....bbbkbbb.....", "...b..b.b..b....",
     "..b...b.b...b...", "..b...b.b...b...", "...b.b...b.b....", "....b.....b....."},
    {// copy
     "kkkkkkkkk.......", "kwwwwwwwk.......", "kwkkkkkwk.......", "kwwwwwwwk.......",
     "kwkkkkkwk.......", "kwwwwwkkkkkkkkk.", "kwkkkkkwwwwwwwk.", "kwwwwwkwkkkkkwk.",
     "kwkkkkkwwwwwwwk.", "kwwwwwkwkkkkkwk.", "kkkkkkkwwwwwwwk.", "......kwkkkkkwk.",
     "......kwwwwwwwk.", "......kwkkkkkwk.", "......kwwwwwwwk.", "......kkkkkkkkk."},
    {// paste
     "......kkkk......", "..kkkkk..kkkkk..", ".koooklllloook..", ".kookkkkkkkook..",
     ".koooooooooook..", ".kooookkkkkkkkk.", ".kooookwwwwwwwk.", ".kooookwkkkkkwk.",
     ".kooookwwwwwwwk.", ".kooookwkkkkkwk.", ".kooookwwwwwwwk.", ".kooookwkkkkkwk.",
     ".kooookwwwwwwwk.", ".kkkkkkwwwwwwwk.", "......kkkkkkkkk.", "................"},
    {// undo
     "................", "................", "....k...........", "...kk...........",
     "..kBkkkkkkk.....", ".kBBBBBBBBBk....", "..kBkkkkkkBBk...", "...kk.....kBBk..",
     "....k......kBk..", "...........kBk..", "...........kBk..", "..........kBBk..",
     ".......kkkkBBk..", ".......kBBBBk...", ".......kkkkk....", "................"},
    {},  // redo: undo turned round
    {// delete
     "................", "................", "..RR.......RR...", "..RRR.....RRR...",
     "...RRR...RRR....", "....RRR.RRR.....", ".....RRRRR......", "......RRR.......",
     ".....RRRRR......", "....RRR.RRR.....", "...RRR...RRR....", "..RRR.....RRR...",
     "..RR.......RR...", "................", "................", "................"},
    {// new
     "................", "..kkkkkkkk......", "..kwwwwwwkk.....", "..kwwwwwwkwk....",
     "..kwwwwwwkkkk...", "..kwwwwwwwwwk...", "..kwwwwwwwwwk...", "..kwwwwwwwwwk...",
     "..kwwwwwwwwwk...", "..kwwwwwwwwwk...", "..kwwwwwwwwwk...", "..kwwwwwwwwwk...",
     "..kwwwwwwwwwk...", "..kwwwwwwwwwk...", "..kkkkkkkkkkk...", "................"},
    {// open
     "................", "................", "................", ".kkkkk..........",
     "kyyyyyk.........", "kyyyyyykkkkkkk..", "kyyyyyyyyyyyyk..", "kyyyyyyyyyyyyk..",
     "kyyyyyyyyyyyyk..", "kyyyyyyyyyyyyk..", "kyyyyyyyyyyyyk..", "kyyyyyyyyyyyyk..",
     "kyyyyyyyyyyyyk..", "kkkkkkkkkkkkkk..", "................", "................"},
    {// save
     "................", ".kkkkkkkkkkkkkk.", ".kbkwwwwwwwwkbk.", ".kbkwwwwwwwwkbk.",
     ".kbkwwwwwwwwkbk.", ".kbkwwwwwwwwkbk.", ".kbbkkkkkkkkbbk.", ".kbbbbbbbbbbbbk.",
     ".kbbbbbbbbbbbbk.", ".kbbkkkkkkkbbbk.", ".kbbklkkkkkbbbk.", ".kbbklkkkkkbbbk.",
     ".kbbklkkkkkbbbk.", ".kbbkkkkkkkbbbk.", ".kkkkkkkkkkkkkk.", "................"},
    {// find
     "................", "....kkkk........", "...kwwwwk.......", "..kwwllwwk......",
     "..kwlwwwwk......", "..kwwwwwwk......", "..kwwwwwwk......", "...kwwwwk.......",
     "....kkkkkk......", ".........kk.....", "..........kk....", "...........kk...",
     "............kk..", "................", "................", "................"},
};
static_assert(sizeof kStandardArt / sizeof kStandardArt[0] == kBarStandardImages);

}  // namespace

Window CreateCommandBar(Window parent, uint16_t id) {
  if (!Live(parent) || parent->destroying || !bar::EnsureBarClasses()) return nullptr;
  bar::BarInit init{false, parent};
  WindowDescription desc{};
  desc.className = kCommandBarClass;
  desc.style = WinStyleChild | WinStyleVisible;
  desc.width = parent->client.width;
  desc.height = kCommandBarHeight;
  desc.parent = parent;
  desc.id = id;
  desc.createParam = &init;
  return OpenWindow(&desc);
}

int32_t CommandBarHeight(Window w) {
  if (!BarOf(w) || !(w->style & WinStyleVisible)) return 0;
  return w->rect.bottom - w->rect.top;
}

bool CommandBarInsertMenu(Window w, uint16_t menuId, int32_t position) {
  Bar* b = BarOf(w);
  if (!b || b->hasMenu || position < 0 || position > b->tools) return false;
  Menu menu;
  if (LoadMenuResource(menuId, &menu) != MenuOk) return false;
  try {
    std::vector<bar::Item> buttons;
    for (std::size_t i = 0; i < menu.items.size(); ++i) {
      const MenuItem& entry = menu.items[i];
      if (entry.separator) continue;
      // A top-level command (no pop-up) is a button that sends it.
      const std::u16string text = MenuTextBeforeLabel(entry.text);
      const uint8_t state = (entry.state & MenuStateGrayed) ? 0 : BarStateEnabled;
      buttons.push_back(bar::Item{bar::ItemMenu, entry.popup ? 0 : entry.id, kBarNoImage, state, 0, 0,
                                  entry.popup ? static_cast<int32_t>(i) : -1, text,
                                  bar::ButtonTextWidth(b, text), 0, Rect{0, 0, 0, 0}});
    }
    // After `position` tools: until now the bar holds only tools and its right end.
    auto at = b->items.begin();
    for (int32_t seen = 0; seen < position && at != b->items.end() && at->kind == bar::ItemTool; ++seen) ++at;
    b->items.insert(at, buttons.begin(), buttons.end());
  } catch (const std::bad_alloc&) {
    return false;
  }
  b->menu = std::move(menu);
  b->hasMenu = true;
  b->menuPosition = position;
  bar::Relayout(w);
  return true;
}

Menu* CommandBarMenu(Window w, int32_t position) {
  Bar* b = BarOf(w);
  return b && b->hasMenu && position == b->menuPosition ? &b->menu : nullptr;
}

int32_t CommandBarAddBitmap(Window w, uint16_t bitmapId, int32_t images) {
  Bar* b = BarOf(w);
  if (!b || images <= 0) return -1;
  Bitmap* bitmap = LoadBitmapResource(bitmapId);
  if (!bitmap) return -1;
  const Size size = BitmapSize(bitmap);
  const int32_t first =
      size.cy >= kBarImageSize ? bar::AddPictures(b, bitmap->surface.pixels, size.cx, images) : -1;
  DeleteBitmap(bitmap);
  if (first >= 0) bar::Relayout(w);
  return first;
}

int32_t CommandBarAddStandardBitmap(Window w) {
  Bar* b = BarOf(w);
  if (!b) return -1;
  std::vector<uint32_t> strip;
  try {
    strip.resize(static_cast<std::size_t>(kBarStandardImages) * bar::kPictureArea);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  const int32_t width = kBarStandardImages * kBarImageSize;
  uint32_t picture[bar::kPictureArea];
  for (int32_t k = 0; k < kBarStandardImages; ++k) {
    const bool turned = k == BarImageRedo;
    bar::DecodeArt(kStandardArt[turned ? BarImageUndo : k], picture);
    for (int32_t row = 0; row < kBarImageSize; ++row) {
      for (int32_t col = 0; col < kBarImageSize; ++col) {
        const uint32_t p = picture[row * kBarImageSize + (turned ? kBarImageSize - 1 - col : col)];
        // Clear pixels travel as magenta, which AddPictures takes as clear.
        strip[static_cast<std::size_t>(row) * width + k * kBarImageSize + col] = p == bar::kClear ? 0xFF00FF : p;
      }
    }
  }
  const int32_t first = bar::AddPictures(b, strip.data(), width, kBarStandardImages);
  if (first >= 0) bar::Relayout(w);
  return first;
}

bool CommandBarAddAdornments(Window w, uint32_t flags) {
  Bar* b = BarOf(w);
  // A menu bar's right end is the input panel's.
  if (!b || b->menuBar || (flags & ~static_cast<uint32_t>(CommandBarHelpButton))) return false;
  b->closeButton = true;
  b->helpButton = (flags & CommandBarHelpButton) != 0;
  bar::SetRightEnd(b);
  bar::Relayout(w);
  return true;
}

bool ShowCommandBar(Window w, bool show) {
  Bar* b = BarOf(w);
  if (!b) return false;
  // What the bar covered is the parent's to paint again.
  if (!show && w->parent && (w->style & WinStyleVisible)) InvalidateWindowRect(w->parent, &w->rect, true);
  ApplyShowMode(w, show ? (b->menuBar ? ShowNoActivate : ShowKeepActive) : ShowHide);
  return true;
}

}  // namespace plat
