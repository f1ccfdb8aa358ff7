#include "view/navigation.h"

#include "content/text_resource.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "shell/app_globals.h"
#include "shell/bar.h"
#include "view/layout.h"
#include "view/paint.h"

namespace {

constexpr int32_t kInitialLineCapacity = 100;

// A step field of the flags: only the values 2 and 4 select half pages.
int32_t PageStep(const ArticleView* view, uint32_t mask, uint32_t shift) {
  const uint32_t field = (g_app.displayFlags & mask) >> shift;
  return field == 2 || field == 4 ? view->linesDrawn / 2 : view->linesDrawn - 1;
}

int32_t KeyPageStep(const ArticleView* view) { return PageStep(view, KeyPageStepMask, KeyPageStepShift); }
int32_t TapPageStep(const ArticleView* view) { return PageStep(view, TapPageStepMask, TapPageStepShift); }

}  // namespace

int ScrollView(ArticleView* view, int32_t delta, bool repaint, bool clamp) {
  if (!view) return -1;
  const int32_t c = view->topLine;
  int32_t a = c + delta;
  if (a < 0) {
    a = 0;
  } else if (clamp || a > view->visualLineCount) {
    if (a >= c && c >= view->lastPageStart) return 1;
    if (a > view->visualLineCount) a = view->lastPageStart;
  }
  if (repaint && a == c) return 1;
  const bool changed = a != c;
  if (changed) view->topLine = static_cast<uint16_t>(a);
  if (repaint) return PaintView(view, true);
  return changed ? 3 : 1;
}

void UpdateScrollBar(plat::PlatWindow* window) {
  if (!(g_app.displayFlags & FlagScrollBar)) return;
  const ArticleView* view = g_app.view;
  plat::ScrollInfo info{};
  info.size = sizeof info;
  info.mask = plat::ScrollMaskRange | plat::ScrollMaskPos;
  info.min = 0;
  info.max = view ? view->lastPageStart : 0;
  info.pos = view ? view->topLine : 0;
  plat::WriteScrollBar(window ? window : g_app.mainWindow, plat::ScrollBarVertical, &info, true);
}

int TapToPage(plat::PlatWindow* window, ArticleView* view, int32_t x, int32_t y, bool repaint) {
  if (!view) return 0;
  const int32_t g = g_app.surroundingGutter;
  if (x < view->left - g || x > view->left + view->width + g || y < view->top - g ||
      y > view->top + view->height + g) {
    return 0;
  }
  if (!(g_app.displayFlags & FlagTapPaging)) return 0;
  const bool byY = (g_app.displayFlags & FlagTapTopBottom) != 0;
  const int32_t coordinate = byY ? y : x;
  const int32_t middle = byY ? view->top + view->height / 2 : view->left + view->width / 2;
  int32_t n = TapPageStep(view);
  if (n < 0) n = -n;
  ScrollView(view, coordinate < middle ? -n : n, repaint, true);
  UpdateScrollBar(window);
  return 1;
}

intptr_t OpenArticleView(plat::PlatWindow* window) {
  plat::DeviceContext* dc = plat::AcquireWindowDC(window);
  plat::Rect r{};
  plat::WindowClientRect(window, &r);
  if (g_app.menuBarOnBottom) {
    r.bottom -= g_app.barHeight;
  } else {
    r.top += g_app.barHeight;
  }
  const int32_t g = g_app.surroundingGutter;
  if (r.bottom - r.top > 2 * g) {
    r.top += g;
    r.bottom -= g;
  }
  if (r.right - r.left > 2 * g) {
    r.left += g;
    r.right -= g;
  }
  g_app.view = CreateView(dc, &r, &g_app.fontChoice, kInitialLineCapacity);
  if (!g_app.view) {
    // Nobody else would give the context back.
    plat::ReturnWindowDC(window, dc);
    return 1;
  }
  TextBuffer text = LoadTextResource(g_app.currentArticle, nullptr);
  if (!text.bytes) {
    return plat::ShowMessageBox(window, u"Resource not found", u"Error",
                                plat::MsgBoxOk | plat::MsgBoxIconWarning);
  }
  LayoutArticle(g_app.view, text, false);
  g_app.view->topLine = g_app.savedTopLine;
  UpdateScrollBar(window);
  return 0;
}

void ResizeArticleView(plat::PlatWindow* window, int32_t width, int32_t height) {
  const int32_t g = g_app.surroundingGutter;
  const int32_t w = width > 2 * g ? width - 2 * g : width;
  const int32_t h = height > 2 * g ? height - 2 * g : height;
  ArticleView* view = g_app.view;
  if (!view) return;
  if (w != view->width || h - g_app.barHeight != view->height) {
    ResizeView(view, w, h - g_app.barHeight);
    UpdateScrollBar(window);
  }
}

void PaintArticleWindow(plat::PlatWindow* window, plat::DeviceContext* dc, uint32_t flags) {
  plat::PaintInfo info{};
  const bool ownPaint = dc == nullptr;
  if (ownPaint) plat::StartPaint(window, &info);
  if ((flags & kPaintView) && g_app.view) PaintView(g_app.view, (flags & kPaintErase) != 0);
  if (ownPaint) plat::FinishPaint(window, &info);
}

void RepaintArticleView(plat::PlatWindow* window, uint32_t flags) {
  if (!window) window = g_app.mainWindow;
  plat::DeviceContext* dc = plat::AcquireWindowDC(window);
  if (dc) {
    PaintArticleWindow(window, dc, flags);
    plat::ReturnWindowDC(window, dc);
  }
  UpdateScrollBar(window);
}

void SelectArticle(uint16_t n) {
  if (n == 0) {
    if (g_app.currentArticle != 0) return;
    g_app.currentArticle = 1;
    g_app.savedTopLine = 0;
    return;
  }
  if (n == g_app.currentArticle) return;
  g_app.currentArticle = n;
  g_app.savedTopLine = 0;
}

int GoToArticle(plat::PlatWindow* window, uint16_t n) {
  const uint16_t previous = g_app.currentArticle;
  SelectArticle(n);
  TextBuffer text = LoadTextResource(g_app.currentArticle, nullptr);
  if (!text.bytes) {
    g_app.currentArticle = previous;
    return 1;
  }
  if (g_app.view) {
    LayoutArticle(g_app.view, text, true);
    g_app.view->topLine = 0;
  } else {
    ReleaseText(&text);
  }
  RepaintArticleView(window, kPaintAll);
  UpdateBookmarkCheck(kCheckSet);
  return 0;
}

void StepArticle(plat::PlatWindow* window, int32_t delta) {
  int32_t n = g_app.currentArticle + delta;
  if (n > kArticleCount) {
    n = 1;
  } else if (n < 1) {
    n = kArticleCount;
  }
  GoToArticle(window, static_cast<uint16_t>(n));
}

bool HandleViewKey(plat::PlatWindow* window, uint32_t key) {
  ArticleView* view = g_app.view;
  if (key < plat::KeyPageUp || key > plat::KeyDown) return false;
  if (!view) return true;
  if (key == plat::KeyLeft || key == plat::KeyRight) {
    StepArticle(window, key == plat::KeyLeft ? -1 : 1);
    return true;
  }
  int32_t step = 0;
  switch (key) {
    case plat::KeyPageUp:
      step = -KeyPageStep(view);
      break;
    case plat::KeyPageDown:
      step = KeyPageStep(view);
      break;
    case plat::KeyEnd:
      step = view->lastPageStart != 0 ? view->lastPageStart : KeyPageStep(view);
      break;
    case plat::KeyHome:
      step = view->topLine != 0 ? -view->topLine : -KeyPageStep(view);
      break;
    case plat::KeyUp:
      step = -1;
      break;
    default:
      step = 1;
      break;
  }
  ScrollView(view, step, true, true);
  UpdateScrollBar(window);
  return true;
}

void HandleViewScrollBar(plat::PlatWindow* window, uintptr_t wParam, intptr_t lParam) {
  ArticleView* view = g_app.view;
  int32_t step = 0;
  if (view) {
    const int32_t thumb = plat::SignedHighWord(wParam);
    switch (plat::LowWord(wParam)) {
      case plat::ScrollLineUp:
        step = -1;
        break;
      case plat::ScrollLineDown:
      case plat::ScrollBottom:
        step = 1;
        break;
      case plat::ScrollPageUp:
        step = 1 - view->linesDrawn;
        break;
      case plat::ScrollPageDown:
        step = view->linesDrawn - 1;
        break;
      case plat::ScrollThumbPosition:
      case plat::ScrollThumbTrack:
        step = thumb - view->topLine;
        break;
      case plat::ScrollTop:
        step = -view->topLine;
        break;
      default:
        break;
    }
    if (step != 0) ScrollView(view, step, true, true);
  }
  plat::DefaultWindowProc(window, plat::MsgVScroll, wParam, lParam);
  if (step != 0) UpdateScrollBar(window);
}
