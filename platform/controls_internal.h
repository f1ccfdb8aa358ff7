// Pieces the control implementations share; nothing outside platform/
// includes this.
#pragma once

#include <cstdint>
#include <string>

#include "platform/controls.h"
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
// A disc (or a ring `ring` pixels wide; 0: solid) inside r, edges smoothed.
void PaintDisc(PlatWindow* w, const Rect& r, uint32_t pixel, double ring);

// MsgSetText, MsgGetText and MsgGetTextLength on the window title, which is
// where every control keeps its text; true when `message` was one of them.
bool TextMessage(PlatWindow* w, uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t* result);
// MsgCommand to the parent with this control's id and `code`.
void NotifyParent(PlatWindow* w, uint16_t code);
// The controls of w's parent in template order.
const std::vector<PlatWindow*>& Siblings(PlatWindow* w);

Colour ToColour(uint32_t pixel);  // 0x00RRGGBB surface pixel to a Colour

// The class procedures.
intptr_t StaticProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam);
intptr_t ButtonProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam);
intptr_t EditProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam);
intptr_t ListBoxProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam);

}  // namespace ctl
}  // namespace plat
