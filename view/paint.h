// Painting a page of the article view, the search hit over it and the
// banner that names the article after a search.
#pragma once

#include "view/article_view.h"

// Draws the page from topLine (after filling the text area with white when
// erase is set). 0 on success, -1 without view, text or lines; with a hit,
// the highlight's result.
int PaintView(ArticleView* view, bool erase);

// Draws the hit from hitStart to hitEnd in blue on yellow over the page.
int PaintHitHighlight(ArticleView* view);

// Draws the part of a run that lies inside the hit; `run` points into text.
void HighlightRun(ArticleView* view, const uint8_t* text, const uint8_t* run, int32_t length,
                  int32_t x, int32_t y, const LineRecord* line);

// A framed banner at the bottom of the view with the article's title and
// subtitle. Stays until the next paint.
void DrawTitleBanner(ArticleView* view);
