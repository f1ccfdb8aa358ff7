// Pieces the control implementations share, and the message box, whose
// buttons look like theirs; nothing outside platform/ includes this.
#pragma once

#include <cstdint>
#include <string>

#include "platform/controls.h"
#include "platform/graphics_internal.h"
#include "platform/window_internal.h"

namespace plat {
namespace ctl {

constexpr uint32_t kFacePixel = 0xE2E2E2;
constexpr uint32_t kPressedPixel = 0xB4B4B4;
constexpr uint32_t kEdgePixel = 0x505050;
constexpr uint32_t kFocusPixel = 0x000000;
constexpr uint32_t kDisabledTextPixel = 0x8C8C8C;
constexpr uint32_t kSelectionPixel = 0x1E3C78;  // the active caption's blue

inline Font* FontOrSystem(Font* font) { return font ? font : GetStockFont(StockSystemFont); }

// Fills r (client coordinates, clipped) of the window's client with a pixel.
void FillClient(PlatWindow* w, Rect r, uint32_t pixel);

// Whether a point lies in a shape drawn in a square `size` pixels wide; u and
// v are measured from the square's top left.
using Shape = bool (*)(double u, double v, double size);
// Paints the shape over r of s (its size is r's width), each pixel blended
// by how many of its 4 x 4 samples are inside, for smooth edges.
void PaintShape(Surface* s, const Rect& r, uint32_t pixel, Shape inside);
// A push button's face over r: an edge one pixel wide, two when `thick` or
// focused (and black then), and the face, darker while pressed.
void PaintPushFace(Surface* s, const Rect& r, bool focus, bool thick, bool pressed);
// Readies dc for w's text: the font (null: the system font), no background,
// and the ink, black or grey while w is disabled; returns the ink as a pixel.
uint32_t PrepareText(PlatWindow* w, DeviceContext* dc, Font* font);

// MsgSetText, MsgGetText and MsgGetTextLength on the window title, which is
// where every control keeps its text; true when `message` was one of them.
bool TextMessage(PlatWindow* w, uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t* result);
// Gives w the focus, as a tap on it does; false when w did not outlive the
// change (a procedure told of it destroyed w, and w's state with it).
bool TakeFocus(PlatWindow* w);
// MsgCommand to the parent with this control's id and `code`.
void NotifyParent(PlatWindow* w, uint16_t code);
// The controls of w's parent in template order.
const std::vector<PlatWindow*>& Siblings(PlatWindow* w);

// The class procedures.
intptr_t StaticProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam);
intptr_t ButtonProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam);
intptr_t EditProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam);
intptr_t ListBoxProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam);

}  // namespace ctl
}  // namespace plat
