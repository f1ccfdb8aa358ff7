// The view's fonts, one per font key, each with the widths of every article
// code in it, so that right-to-left text is measured by table sums.
#pragma once

#include <cstdint>

#include "view/article_view.h"

// Flags of a font request: either one also sets the text colour.
enum FontRequestFlags : uint32_t {
  RequestSetColour = 0x100,
  RequestSetColourAlt = 0x200,
};

constexpr int32_t kDefaultLargeHeight = 20;
constexpr int32_t kDefaultSmallHeight = 14;

// Finds or creates the font of the request's key (bits 0-4), optionally sets
// the text colour (blue for large bold, else black), selects it into the
// view's dc and makes its width table current. Returns the font that was
// selected before, for the caller to select back.
plat::Font* SelectStyleFont(ArticleView* view, uint32_t request);

// Creates the entry's font for `key` from the view's font choice and marks
// its width table unmeasured.
void CreateStyleFont(ArticleView* view, FontCacheEntry* entry, uint8_t key);

// Makes the table of the entry holding `font` current, measuring it when the
// font was just created or the table is marked unmeasured.
void BuildWidthTable(ArticleView* view, plat::Font* font, bool created);

// Takes bytes of `text` (up to a 0 byte or *count bytes) while their summed
// widths stay within *width. Out: *width the sum, *count the bytes taken.
// Vowel codes and codes outside 16..127 are taken with no width. Without a
// table: *width = 0 and *count unchanged.
void MeasureWithWidthTable(const WidthTable* table, const uint8_t* text, int32_t* width,
                           int32_t* count);

// The pixel height of a font key's font for a chosen size.
int32_t StyleFontHeight(int32_t size, uint8_t key);

// With a choice: re-creates every cached font from it, lays the article out
// again and paints it (-1 no view, 1 layout failed, else the paint's
// result). With none: deletes every cached font and returns 0.
int SetViewFont(ArticleView* view, const FontChoice* choice);
