// Measuring and drawing runs of article code. The run path converts a run
// and lets the platform draw the string; the glyph path draws letter by
// letter from the right, each vowel point centred in its letter's cell.
#pragma once

#include <cstdint>

#include "platform/graphics.h"
#include "view/article_view.h"

// Centred, vertically centred, single line, no prefix.
constexpr uint32_t kRunDrawFlags =
    plat::DtCenter | plat::DtVCenter | plat::DtSingleLine | plat::DtNoPrefix;

// Cell of a holam drawn alone, and of the holam of a holam + lamed code.
constexpr int32_t kHolamCellWidth = 3;
constexpr int32_t kPairHolamLeft = 2;   // pixels left of the lamed's left edge
constexpr int32_t kPairHolamRight = 1;  // pixels right of it

// In: *count bytes of the run, *extent the maximum width. Out: the leading
// bytes that fit and their width (0 and 0 when nothing can be converted).
void MeasureRun(plat::DeviceContext* dc, const uint8_t* text, int32_t* extent, int32_t* count);

void DrawRunBox(plat::DeviceContext* dc, const uint8_t* text, int32_t count, int32_t left,
                int32_t top, int32_t width, int32_t height);

// The glyph path in Unicode mode, the run path otherwise.
void DrawRun(ArticleView* view, const uint8_t* text, int32_t count, int32_t left, int32_t top,
             int32_t width, int32_t height);

void DrawGlyphs(ArticleView* view, const uint8_t* text, int32_t count, const plat::Rect* box);

// The run path in the given colours on an opaque background; the context's
// colours and background mode are restored.
void DrawRunColoured(plat::DeviceContext* dc, const uint8_t* text, int32_t count, int32_t left,
                     int32_t top, int32_t width, int32_t height, plat::Colour textColour,
                     plat::Colour backColour);

// Fills the box with stock brush `stockBrush` (0 = white).
void FillBox(plat::DeviceContext* dc, int32_t left, int32_t top, int32_t width, int32_t height,
             int stockBrush);
