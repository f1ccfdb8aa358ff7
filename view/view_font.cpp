// Changing the view's font: kept apart from the font cache because it lays
// the article out and paints it again.
#include "platform/graphics.h"
#include "view/font_cache.h"
#include "view/layout.h"
#include "view/paint.h"

int SetViewFont(ArticleView* view, const FontChoice* choice) {
  if (!view) return -1;
  if (!choice) {
    for (FontCacheEntry* e = view->fontCache; e; e = e->next) {
      plat::DeleteFont(e->font);
      e->font = nullptr;
    }
    return 0;
  }
  view->font = *choice;
  for (FontCacheEntry* e = view->fontCache; e; e = e->next) {
    plat::DeleteFont(e->font);
    e->font = nullptr;
    CreateStyleFont(view, e, e->key);
  }
  if (LayoutArticle(view, view->text, false) != 0) return 1;
  return PaintView(view, true);
}
