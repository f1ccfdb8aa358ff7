// Menu records: the resource format of menu.h in and out, the operations
// that address items by command or position, and what an item's text shows.
#include "platform/menu.h"

#include <algorithm>
#include <new>

#include "platform/resources.h"

namespace plat {

namespace {

constexpr uint16_t kKnownFlags = MenuTplGrayed | MenuTplChecked | MenuTplPopup | MenuTplEnd;

struct Reader {
  const uint8_t* bytes;
  std::size_t size;
  std::size_t at;

  bool U16(uint16_t* v) {
    if (size - at < 2) return false;
    *v = static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
    at += 2;
    return true;
  }
};

MenuError ReadText(Reader* r, std::u16string* text) {
  for (;;) {
    uint16_t unit;
    if (!r->U16(&unit)) return MenuTruncated;
    if (unit == 0) return MenuOk;
    if (static_cast<int32_t>(text->size()) >= kMaxMenuText) return MenuTextTooLong;
    text->push_back(static_cast<char16_t>(unit));
  }
}

// One level, up to and including its item flagged MenuTplEnd.
MenuError ReadLevel(Reader* r, int32_t depth, std::vector<MenuItem>* items) {
  if (depth > kMaxMenuDepth) return MenuTooDeep;
  for (;;) {
    uint16_t flags;
    if (!r->U16(&flags)) return MenuTruncated;
    if (flags & ~kKnownFlags) return MenuBadFlags;
    if (static_cast<int32_t>(items->size()) >= kMaxMenuItems) return MenuTooManyItems;
    MenuItem item{};
    item.popup = flags & MenuTplPopup;
    item.state = flags & (MenuTplGrayed | MenuTplChecked);
    if (!item.popup && !r->U16(&item.id)) return MenuTruncated;
    if (MenuError e = ReadText(r, &item.text); e != MenuOk) return e;
    if (!item.popup && item.id == 0 && item.text.empty()) {
      if (item.state) return MenuBadFlags;
      item.separator = true;
    }
    if (item.popup) {
      if (MenuError e = ReadLevel(r, depth + 1, &item.submenu.items); e != MenuOk) return e;
    }
    items->push_back(std::move(item));
    if (flags & MenuTplEnd) return MenuOk;
  }
}

void Put16(std::vector<uint8_t>* out, uint16_t v) {
  out->push_back(static_cast<uint8_t>(v & 0xFF));
  out->push_back(static_cast<uint8_t>(v >> 8));
}

bool WriteLevel(const std::vector<MenuItem>& items, int32_t depth, std::vector<uint8_t>* out) {
  if (depth > kMaxMenuDepth || items.empty() || static_cast<int32_t>(items.size()) > kMaxMenuItems)
    return false;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const MenuItem& item = items[i];
    if (static_cast<int32_t>(item.text.size()) > kMaxMenuText) return false;
    if (item.text.find(u'\0') != std::u16string::npos) return false;
    uint16_t flags = static_cast<uint16_t>(item.state & (MenuTplGrayed | MenuTplChecked));
    if (item.separator) flags = 0;
    if (item.popup) flags |= MenuTplPopup;
    if (i + 1 == items.size()) flags |= MenuTplEnd;
    Put16(out, flags);
    if (item.separator) {
      Put16(out, 0);
      Put16(out, 0);
      continue;
    }
    // A plain item that would read back as a separator cannot be written.
    if (!item.popup && item.id == 0 && item.text.empty()) return false;
    if (!item.popup) Put16(out, item.id);
    for (char16_t unit : item.text) Put16(out, static_cast<uint16_t>(unit));
    Put16(out, 0);
    if (item.popup && !WriteLevel(item.submenu.items, depth + 1, out)) return false;
  }
  return true;
}

template <typename M, typename I>
I* Find(M* items, uint16_t command) {
  for (auto& item : *items) {
    if (item.popup) {
      if (I* found = Find<M, I>(&item.submenu.items, command)) return found;
    } else if (!item.separator && item.id == command) {
      return &item;
    }
  }
  return nullptr;
}

MenuItem* Locate(Menu* menu, uint32_t item, bool byPosition) {
  if (!menu) return nullptr;
  if (byPosition) return item < menu->items.size() ? &menu->items[item] : nullptr;
  if (item > 0xFFFF) return nullptr;
  return FindMenuCommand(menu, static_cast<uint16_t>(item));
}

}  // namespace

MenuError DecodeMenu(const uint8_t* bytes, std::size_t size, Menu* out) {
  if (!out) return MenuBadArgument;
  if (!bytes) size = 0;
  Reader r{bytes, size, 0};
  try {
    Menu menu;
    if (MenuError e = ReadLevel(&r, 1, &menu.items); e != MenuOk) return e;
    if (r.at != size) return MenuTrailingBytes;
    *out = std::move(menu);
  } catch (const std::bad_alloc&) {
    return MenuNoMemory;
  }
  return MenuOk;
}

MenuError LoadMenuResource(uint16_t id, Menu* out) {
  const ResourceHandle h = FindProgramResource(ResTypeMenu, id);
  if (!h.record) return MenuMissing;
  return DecodeMenu(LoadProgramResource(h), ResourceSize(h), out);
}

bool EncodeMenu(const Menu& menu, std::vector<uint8_t>* out) {
  if (!out) return false;
  std::vector<uint8_t> bytes;
  if (!WriteLevel(menu.items, 1, &bytes)) return false;
  *out = std::move(bytes);
  return true;
}

MenuItem* FindMenuCommand(Menu* menu, uint16_t command) {
  return menu ? Find<std::vector<MenuItem>, MenuItem>(&menu->items, command) : nullptr;
}

const MenuItem* FindMenuCommand(const Menu* menu, uint16_t command) {
  return menu ? Find<const std::vector<MenuItem>, const MenuItem>(&menu->items, command) : nullptr;
}

int32_t CheckMenuCommand(Menu* menu, uint16_t command, bool checked) {
  MenuItem* item = FindMenuCommand(menu, command);
  if (!item) return -1;
  const int32_t before = static_cast<int32_t>(item->state & MenuStateChecked);
  if (checked) {
    item->state |= MenuStateChecked;
  } else {
    item->state &= ~static_cast<uint32_t>(MenuStateChecked);
  }
  return before;
}

bool MenuCommandChecked(const Menu* menu, uint16_t command) {
  const MenuItem* item = FindMenuCommand(menu, command);
  return item && (item->state & MenuStateChecked);
}

bool QueryMenuItem(Menu* menu, uint32_t item, bool byPosition, MenuItemInfo* info) {
  if (!info || info->size != sizeof(MenuItemInfo)) return false;
  MenuItem* found = Locate(menu, item, byPosition);
  if (!found) return false;
  const uint32_t mask = info->mask;
  if (mask & MenuInfoState) info->state = found->state;
  if (mask & MenuInfoId) info->id = found->id;
  if (mask & MenuInfoSubmenu) info->submenu = found->popup ? &found->submenu : nullptr;
  if (mask & MenuInfoType) info->type = found->separator ? MenuTypeSeparator : 0;
  if (mask & MenuInfoText) {
    info->textLength = static_cast<int32_t>(found->text.size());
    if (info->text && info->textCapacity > 0) {
      const int32_t n = std::min(info->textLength, info->textCapacity - 1);
      std::copy_n(found->text.data(), n, info->text);
      info->text[n] = 0;
    }
  }
  return true;
}

bool ChangeMenuItem(Menu* menu, uint32_t item, bool byPosition, const MenuItemInfo* info) {
  if (!info || info->size != sizeof(MenuItemInfo)) return false;
  MenuItem* found = Locate(menu, item, byPosition);
  if (!found) return false;
  if ((info->mask & MenuInfoState) && !found->separator)
    found->state = info->state & (MenuStateGrayed | MenuStateChecked);
  return true;
}

int32_t MenuItemCount(const Menu* menu) {
  return menu ? static_cast<int32_t>(menu->items.size()) : -1;
}

Menu* MenuPopupAt(Menu* menu, int32_t position) {
  if (!menu || position < 0 || position >= static_cast<int32_t>(menu->items.size())) return nullptr;
  MenuItem& item = menu->items[static_cast<std::size_t>(position)];
  return item.popup ? &item.submenu : nullptr;
}

std::u16string MenuTextBeforeLabel(const std::u16string& text) { return text.substr(0, text.find(u'\b')); }

std::u16string MenuTextAsDrawn(const std::u16string& text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size()) ++i;
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace plat
