// Breaking an article into lines for the view's width, and the view's life.
#pragma once

#include <cstdint>

#include "platform/graphics.h"
#include "view/article_view.h"

// Layout results (16-bit codes).
constexpr uint16_t LayoutDone = 0;
constexpr uint16_t LayoutNoText = 2;
constexpr uint16_t LayoutRefused = 0xFFFC;
constexpr uint16_t LayoutOutOfMemory = 0xFFFE;
constexpr uint16_t LayoutNoView = 0xFFFF;

constexpr uint16_t kLineTableStep = 128;

// A view over `rect` (null: all zero) of `dc`, with a line table of
// initialCapacity lines when that is above 0. Null without dc or memory.
ArticleView* CreateView(plat::DeviceContext* dc, const plat::Rect* rect,
                        const FontChoice* fontChoice, int32_t initialCapacity);

// Lays `text` out; on success the view holds it as its current text.
// takeText: release the text the view held before. A text other than the
// view's own that cannot be laid out (refused, or out of memory) is
// released here, so a caller that hands a buffer over never leaks it.
uint16_t LayoutArticle(ArticleView* view, TextBuffer text, bool takeText);

// Makes room for line `index`: 0, or LayoutOutOfMemory with the table
// terminated at `index`.
uint16_t GrowLineTable(ArticleView* view, uint16_t index);

// The topLine at which the last page is just full; -1 without lines.
int32_t ComputeLastPageStart(ArticleView* view);

// Moves topLine to the line holding `offset`: 1 when found, else 0.
int32_t ScrollToTextOffset(ArticleView* view, uint16_t offset);

// -1 without view, -5 for a size that is not positive, else the layout's result.
int32_t ResizeView(ArticleView* view, int32_t width, int32_t height);

void DestroyView(ArticleView* view, bool releaseRecord);
