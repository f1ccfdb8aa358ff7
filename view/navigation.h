// The article view in the main window: opening it in the client area,
// following the window's size and paint messages, moving it by lines and
// pages (keys, scroll bar, taps) and moving between the twelve articles.
#pragma once

#include <cstdint>

#include "view/article_view.h"

namespace plat {
struct PlatWindow;
struct DeviceContext;
}  // namespace plat

constexpr uint32_t kPaintAll = 0x1FF;
constexpr uint32_t kPaintView = 0x001;
constexpr uint32_t kPaintErase = 0x100;

// -1 without a view; 1 refused or unchanged; 3 moved without repainting;
// the paint's result after a repaint.
int ScrollView(ArticleView* view, int32_t delta, bool repaint, bool clamp);
void UpdateScrollBar(plat::PlatWindow* window);
// 1 when the tap paged the view, 0 when it was outside the tap area or
// tap paging is off.
int TapToPage(plat::PlatWindow* window, ArticleView* view, int32_t x, int32_t y, bool repaint);
// 0; 1 when the view could not be created; the message box's answer when
// the article could not be loaded.
intptr_t OpenArticleView(plat::PlatWindow* window);
void ResizeArticleView(plat::PlatWindow* window, int32_t width, int32_t height);
void PaintArticleWindow(plat::PlatWindow* window, plat::DeviceContext* dc, uint32_t flags);
void RepaintArticleView(plat::PlatWindow* window, uint32_t flags);
void SelectArticle(uint16_t n);
int GoToArticle(plat::PlatWindow* window, uint16_t n);
void StepArticle(plat::PlatWindow* window, int32_t delta);

// The main window's key-down and vertical-scroll handling: true when the
// key is one of the view's (Page Up/Down, End, Home, arrows).
bool HandleViewKey(plat::PlatWindow* window, uint32_t key);
void HandleViewScrollBar(plat::PlatWindow* window, uintptr_t wParam, intptr_t lParam);
