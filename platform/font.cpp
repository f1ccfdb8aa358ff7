// Fonts and text: faces matched through fontconfig, glyphs rendered by
// FreeType into 8-bit coverage and blended into the surface. No shaping and
// no kerning: each character is drawn at the pen and advances it by its own
// whole-pixel advance, so that measuring and drawing always agree.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/graphics.h"
#include "platform/graphics_internal.h"
#include "platform/memory.h"
#include "platform/text_utf.h"

#if defined(__SANITIZE_ADDRESS__)
// fontconfig leaks a block while parsing its configuration files at start-up
// (inside FcInit, nothing of ours); the library has no frame pointers, so
// only its name identifies the report. Every test binary that draws text
// gets this through here.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

namespace plat {

namespace {

// A request for height 0 gets this cell height (ascent + descent), in pixels.
constexpr int32_t kDefaultCellHeight = 16;
// The face an empty face name gets: installed with the project's
// dependencies, and it has Hebrew letters and points.
constexpr char kDefaultFamily[] = "DejaVu Sans";
// Larger requests are clamped: a glyph's coverage grows with the square.
constexpr int32_t kMaxPixelHeight = 1024;

constexpr char32_t kAlef = 0x05D0;
constexpr char32_t kTav = 0x05EA;
constexpr char32_t kShinDot = 0x05C1;
constexpr char32_t kSinDot = 0x05C2;

// Light hinting keeps the outlines' shapes and only snaps vertically, the
// best fit for small pointed text.
constexpr FT_Int32 kLoadFlags = FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT;

struct Glyph {
  int32_t advance = 0;  // whole pixels, rounded once from FreeType's 26.6 value
  int32_t left = 0;     // coverage origin: right of the pen position
  int32_t top = 0;      // coverage origin: above the baseline
  int32_t width = 0;
  int32_t rows = 0;
  std::vector<uint8_t> coverage;  // width * rows, 0..255
};

struct LoadedFace {
  FT_Face face = nullptr;
  bool embolden = false;  // bold was asked and the face is not bold
  bool oblique = false;   // italic was asked and the face is upright
  std::string file;
  int index = 0;
};

}  // namespace

struct Font {
  bool stock = false;
  bool wantBold = false;
  bool wantItalic = false;
  bool underline = false;
  std::vector<LoadedFace> faces;  // [0] the matched face, then fallbacks as found
  FT_F26Dot6 emSize = 0;          // pixels per em of faces[0], for the fallbacks
  int32_t ascent = 0;
  int32_t descent = 0;
  int32_t aveCharWidth = 0;
  int32_t maxCharWidth = -1;  // measured on first use
  uint8_t charSet = CharSetAnsi;
  int32_t underlineTop = 0;  // below the baseline
  int32_t underlineThickness = 1;
  std::unordered_map<char32_t, Glyph> glyphs;
};

namespace {

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library l = nullptr;
    return FT_Init_FreeType(&l) == 0 ? l : nullptr;
  }();
  return library;
}

bool FontconfigReady() {
  static const bool ready = FcInit() == FcTrue;
  return ready;
}

// ---- Presentation forms ---------------------------------------------------------

// The canonical decompositions of the Hebrew presentation forms (Unicode
// data, fully decomposed): drawn as base letter plus marks when no installed
// face has the precomposed character.
struct Decomposition {
  char32_t form;
  char32_t parts[3];  // base letter, then marks; 0 ends
};
constexpr Decomposition kDecompositions[] = {
    {0xFB1D, {0x05D9, 0x05B4}},         {0xFB1F, {0x05F2, 0x05B7}},
    {0xFB2A, {0x05E9, 0x05C1}},         {0xFB2B, {0x05E9, 0x05C2}},
    {0xFB2C, {0x05E9, 0x05BC, 0x05C1}}, {0xFB2D, {0x05E9, 0x05BC, 0x05C2}},
    {0xFB2E, {0x05D0, 0x05B7}},         {0xFB2F, {0x05D0, 0x05B8}},
    {0xFB30, {0x05D0, 0x05BC}},         {0xFB31, {0x05D1, 0x05BC}},
    {0xFB32, {0x05D2, 0x05BC}},         {0xFB33, {0x05D3, 0x05BC}},
    {0xFB34, {0x05D4, 0x05BC}},         {0xFB35, {0x05D5, 0x05BC}},
    {0xFB36, {0x05D6, 0x05BC}},         {0xFB38, {0x05D8, 0x05BC}},
    {0xFB39, {0x05D9, 0x05BC}},         {0xFB3A, {0x05DA, 0x05BC}},
    {0xFB3B, {0x05DB, 0x05BC}},         {0xFB3C, {0x05DC, 0x05BC}},
    {0xFB3E, {0x05DE, 0x05BC}},         {0xFB40, {0x05E0, 0x05BC}},
    {0xFB41, {0x05E1, 0x05BC}},         {0xFB43, {0x05E3, 0x05BC}},
    {0xFB44, {0x05E4, 0x05BC}},         {0xFB46, {0x05E6, 0x05BC}},
    {0xFB47, {0x05E7, 0x05BC}},         {0xFB48, {0x05E8, 0x05BC}},
    {0xFB49, {0x05E9, 0x05BC}},         {0xFB4A, {0x05EA, 0x05BC}},
    {0xFB4B, {0x05D5, 0x05B9}},         {0xFB4C, {0x05D1, 0x05BF}},
    {0xFB4D, {0x05DB, 0x05BF}},         {0xFB4E, {0x05E4, 0x05BF}},
};

const Decomposition* FindDecomposition(char32_t c) {
  for (const Decomposition& d : kDecompositions) {
    if (d.form == c) return &d;
  }
  return nullptr;
}

// ---- Faces ------------------------------------------------------------------

int32_t RoundPixels(FT_Pos v) { return static_cast<int32_t>((v + 32) >> 6); }

// Sizes a face. A positive height is the cell height: the CELL request
// scales the face so that its ascender minus descender (both in font units)
// spans that many pixels, with the horizontal scale equal to the vertical
// one. A negative height is the em (nominal) size.
bool SizeFace(FT_Face face, int32_t height) {
  if (!FT_IS_SCALABLE(face)) {
    // Bitmap faces: the strike nearest the request.
    if (face->num_fixed_sizes <= 0) return false;
    int32_t want = height == 0 ? kDefaultCellHeight : (height < 0 ? -height : height);
    int best = 0;
    for (int i = 1; i < face->num_fixed_sizes; ++i) {
      if (std::abs(face->available_sizes[i].height - want) <
          std::abs(face->available_sizes[best].height - want))
        best = i;
    }
    return FT_Select_Size(face, best) == 0;
  }
  FT_Size_RequestRec req{};
  if (height > 0) {
    req.type = FT_SIZE_REQUEST_TYPE_CELL;
    req.height = FT_Long{std::min(height, kMaxPixelHeight)} * 64;
  } else if (height < 0) {
    req.type = FT_SIZE_REQUEST_TYPE_NOMINAL;
    req.height = FT_Long{height < -kMaxPixelHeight ? kMaxPixelHeight : -height} * 64;
  } else {
    req.type = FT_SIZE_REQUEST_TYPE_CELL;
    req.height = FT_Long{kDefaultCellHeight} * 64;
  }
  // Resolutions of 0 make the sizes 26.6 pixels.
  return FT_Request_Size(face, &req) == 0;
}

// Sizes a fallback face to the same pixels per em as the matched face.
bool SizeFaceToEm(FT_Face face, FT_F26Dot6 emSize) {
  if (!FT_IS_SCALABLE(face)) return SizeFace(face, -static_cast<int32_t>(RoundPixels(emSize)));
  FT_Size_RequestRec req{};
  req.type = FT_SIZE_REQUEST_TYPE_NOMINAL;
  req.height = std::max<FT_F26Dot6>(emSize, 64);
  return FT_Request_Size(face, &req) == 0;
}

// Whether the face's own design is bold or italic, from its tables rather
// than from fontconfig's answer, which may already claim a synthetic style.
bool FaceIsBold(FT_Face face) {
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 && os2->version != 0xFFFF && os2->usWeightClass >= 600) return true;
  return (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
}
bool FaceIsItalic(FT_Face face) { return (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0; }

// Opens the face a fontconfig pattern names, marking the styles asked for
// that the face lacks for synthesis.
bool OpenFace(FcPattern* match, bool wantBold, bool wantItalic, LoadedFace* out) {
  FcChar8* file = nullptr;
  if (FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch || !file) return false;
  int index = 0;
  FcPatternGetInteger(match, FC_INDEX, 0, &index);
  FT_Library lib = Library();
  if (!lib) return false;
  FT_Face face = nullptr;
  if (FT_New_Face(lib, reinterpret_cast<const char*>(file), index, &face) != 0) return false;
  out->face = face;
  out->file = reinterpret_cast<const char*>(file);
  out->index = index;
  out->embolden = wantBold && !FaceIsBold(face);
  out->oblique = wantItalic && !FaceIsItalic(face);
  return true;
}

FcPattern* RequestPattern(const std::string& family, bool bold, bool italic, bool hebrew) {
  FcPattern* pat = FcPatternCreate();
  if (!pat) return nullptr;
  if (!family.empty())
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  if (hebrew) FcPatternAddString(pat, FC_LANG, reinterpret_cast<const FcChar8*>("he"));
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  return pat;
}

void ReleaseFaces(Font* font) {
  for (LoadedFace& f : font->faces) {
    if (f.face) FT_Done_Face(f.face);
  }
  font->faces.clear();
}

bool HasHebrewLetters(FT_Face face) {
  for (char32_t c = kAlef; c <= kTav; ++c) {
    if (FT_Get_Char_Index(face, c) == 0) return false;
  }
  return true;
}

// ---- Glyphs -----------------------------------------------------------------

bool CopyCoverage(const FT_Bitmap& bm, Glyph* g) {
  g->width = static_cast<int32_t>(bm.width);
  g->rows = static_cast<int32_t>(bm.rows);
  if (g->width == 0 || g->rows == 0) {
    g->width = g->rows = 0;
    return true;
  }
  g->coverage.assign(static_cast<std::size_t>(g->width) * g->rows, 0);
  const int pitch = bm.pitch < 0 ? -bm.pitch : bm.pitch;
  for (int32_t r = 0; r < g->rows; ++r) {
    // A negative pitch stores the rows bottom first.
    const uint8_t* row =
        bm.buffer + static_cast<std::size_t>(bm.pitch < 0 ? g->rows - 1 - r : r) * pitch;
    uint8_t* out = g->coverage.data() + static_cast<std::size_t>(r) * g->width;
    for (int32_t x = 0; x < g->width; ++x) {
      switch (bm.pixel_mode) {
        case FT_PIXEL_MODE_GRAY:
          out[x] = bm.num_grays == 256
                       ? row[x]
                       : static_cast<uint8_t>(row[x] * 255 / std::max(1, bm.num_grays - 1));
          break;
        case FT_PIXEL_MODE_MONO:
          out[x] = ((row[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0;
          break;
        case FT_PIXEL_MODE_BGRA:
          out[x] = row[x * 4 + 3];
          break;
        default:
          return false;
      }
    }
  }
  return true;
}

bool RenderFromFace(const LoadedFace& f, FT_UInt index, Glyph* g) {
  FT_Face face = f.face;
  if (FT_Load_Glyph(face, index, kLoadFlags) != 0) return false;
  FT_GlyphSlot slot = face->glyph;
  if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    if (f.embolden) FT_GlyphSlot_Embolden(slot);
    if (f.oblique) FT_GlyphSlot_Oblique(slot);
  }
  g->advance = RoundPixels(slot->advance.x);
  if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_LIGHT) != 0)
    return false;
  g->left = slot->bitmap_left;
  g->top = slot->bitmap_top;
  return CopyCoverage(slot->bitmap, g);
}

// A face that has `c`, the first fontconfig offers, loaded at the font's size
// (or already loaded); its index in font->faces, -1 when there is none.
int FindFallbackFace(Font* font, char32_t c) {
  if (!FontconfigReady()) return -1;
  FcPattern* pat = RequestPattern(std::string(), font->wantBold, font->wantItalic, false);
  if (!pat) return -1;
  FcCharSet* wanted = FcCharSetCreate();
  if (wanted) {
    FcCharSetAddChar(wanted, c);
    FcPatternAddCharSet(pat, FC_CHARSET, wanted);
    FcCharSetDestroy(wanted);
  }
  FcResult result;
  FcFontSet* set = FcFontSort(nullptr, pat, FcFalse, nullptr, &result);
  FcPatternDestroy(pat);
  if (!set) return -1;
  int found = -1;
  for (int i = 0; i < set->nfont && found < 0; ++i) {
    FcPattern* candidate = set->fonts[i];
    FcCharSet* cs = nullptr;
    if (FcPatternGetCharSet(candidate, FC_CHARSET, 0, &cs) != FcResultMatch || !cs ||
        !FcCharSetHasChar(cs, c))
      continue;
    FcChar8* file = nullptr;
    int index = 0;
    FcPatternGetString(candidate, FC_FILE, 0, &file);
    FcPatternGetInteger(candidate, FC_INDEX, 0, &index);
    // A face loaded before (the matched one, or a fallback for another
    // character) is not loaded twice.
    int loadedAt = -1;
    for (std::size_t k = 0; k < font->faces.size(); ++k) {
      const LoadedFace& f = font->faces[k];
      if (file && f.file == reinterpret_cast<const char*>(file) && f.index == index)
        loadedAt = static_cast<int>(k);
    }
    if (loadedAt >= 0) {
      if (FT_Get_Char_Index(font->faces[static_cast<std::size_t>(loadedAt)].face, c) != 0)
        found = loadedAt;
      continue;
    }
    LoadedFace face;
    if (!OpenFace(candidate, font->wantBold, font->wantItalic, &face)) continue;
    if (!SizeFaceToEm(face.face, font->emSize) || FT_Get_Char_Index(face.face, c) == 0) {
      FT_Done_Face(face.face);
      continue;
    }
    try {
      font->faces.push_back(std::move(face));
      found = static_cast<int>(font->faces.size()) - 1;
    } catch (const std::bad_alloc&) {
      FT_Done_Face(face.face);
      break;
    }
  }
  FcFontSetDestroy(set);
  return found;
}

const Glyph& EmptyGlyph() {
  static const Glyph empty;
  return empty;
}

const Glyph& GlyphFor(Font* font, char32_t c);

// The base letter with its marks over it. Marks are centred by ink on the
// base's advance, except the shin and sin dots, which sit over the letter's
// right and left arms: centring them would make shin and sin alike.
bool Compose(Font* font, const Decomposition& d, Glyph* out) {
  const Glyph& base = GlyphFor(font, d.parts[0]);
  if (base.advance == 0 && base.width == 0) return false;
  struct Placed {
    const Glyph* g;
    int32_t left;
  };
  Placed placed[3] = {{&base, base.left}};
  int count = 1;
  for (int i = 1; i < 3 && d.parts[i]; ++i) {
    const Glyph& mark = GlyphFor(font, d.parts[i]);
    if (mark.width == 0) continue;
    int32_t left = (base.advance - mark.width) / 2;
    if (d.parts[i] == kShinDot && base.width > 0) left = base.left + base.width - mark.width;
    if (d.parts[i] == kSinDot && base.width > 0) left = base.left;
    placed[count++] = {&mark, left};
  }
  int32_t l = INT32_MAX, t = INT32_MIN, r = INT32_MIN, b = INT32_MAX;  // t, b: above baseline
  for (int i = 0; i < count; ++i) {
    const Glyph& g = *placed[i].g;
    if (g.width == 0) continue;
    l = std::min(l, placed[i].left);
    r = std::max(r, placed[i].left + g.width);
    t = std::max(t, g.top);
    b = std::min(b, g.top - g.rows);
  }
  out->advance = base.advance;
  if (l >= r) return true;
  out->left = l;
  out->top = t;
  out->width = r - l;
  out->rows = t - b;
  out->coverage.assign(static_cast<std::size_t>(out->width) * out->rows, 0);
  for (int i = 0; i < count; ++i) {
    const Glyph& g = *placed[i].g;
    for (int32_t y = 0; y < g.rows; ++y) {
      uint8_t* dst = out->coverage.data() + static_cast<std::size_t>(t - g.top + y) * out->width +
                     (placed[i].left - l);
      const uint8_t* src = g.coverage.data() + static_cast<std::size_t>(y) * g.width;
      for (int32_t x = 0; x < g.width; ++x) dst[x] = std::max(dst[x], src[x]);
    }
  }
  return true;
}

// The cached glyph of `c`: from the first face that has it, else a fallback
// face, else composed from its decomposition. A character nobody has is
// drawn as nothing, never as an empty box.
const Glyph& GlyphFor(Font* font, char32_t c) {
  auto it = font->glyphs.find(c);
  if (it != font->glyphs.end()) return it->second;
  try {
    Glyph g;
    bool done = false;
    if (c >= 0x20 && !(c >= 0x7F && c < 0xA0)) {
      // Only the matched face is asked directly; which other face supplies
      // a character is fontconfig's choice.
      const FT_UInt index = FT_Get_Char_Index(font->faces[0].face, c);
      if (index != 0) done = RenderFromFace(font->faces[0], index, &g);
      if (!done) {
        int fallback = FindFallbackFace(font, c);
        if (fallback >= 0) {
          const LoadedFace& f = font->faces[static_cast<std::size_t>(fallback)];
          done = RenderFromFace(f, FT_Get_Char_Index(f.face, c), &g);
        }
      }
      if (!done) {
        if (const Decomposition* d = FindDecomposition(c)) done = Compose(font, *d, &g);
      }
    }
    if (!done) g = Glyph{};
    return font->glyphs.emplace(c, std::move(g)).first->second;
  } catch (const std::bad_alloc&) {
    return EmptyGlyph();
  }
}

// ---- Font records -----------------------------------------------------------

bool InitFont(Font* font, const FontDescription& desc) {
  if (!FontconfigReady() || !Library()) return false;
  std::u16string name;
  for (std::size_t i = 0; i < std::size(desc.faceName) && desc.faceName[i]; ++i)
    name.push_back(desc.faceName[i]);
  std::string family = name.empty() ? std::string(kDefaultFamily) : Utf16ToUtf8(name);
  font->wantBold = desc.weight >= 600;
  font->wantItalic = desc.italic != 0;
  font->underline = desc.underline != 0;
  FcPattern* pat =
      RequestPattern(family, font->wantBold, font->wantItalic, desc.charSet == CharSetHebrew);
  if (!pat) return false;
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pat, &result);
  FcPatternDestroy(pat);
  if (!match) return false;
  font->faces.reserve(4);  // so that adding the opened face cannot fail
  LoadedFace face;
  bool opened = OpenFace(match, font->wantBold, font->wantItalic, &face);
  FcPatternDestroy(match);
  if (!opened) return false;
  font->faces.push_back(std::move(face));
  FT_Face f = font->faces[0].face;
  if (!SizeFace(f, desc.height)) return false;

  const FT_Size_Metrics& m = f->size->metrics;
  font->emSize = FT_IS_SCALABLE(f) ? FT_MulFix(f->units_per_EM, m.y_scale) : FT_Pos{m.y_ppem} * 64;
  if (FT_IS_SCALABLE(f)) {
    // From the face's unrounded ascender and descender, so that a cell
    // request gets back the height it asked for.
    font->ascent = RoundPixels(FT_MulFix(f->ascender, m.y_scale));
    font->descent = RoundPixels(-FT_MulFix(f->descender, m.y_scale));
  } else {
    font->ascent = RoundPixels(m.ascender);
    font->descent = RoundPixels(-m.descender);
  }
  if (FT_IS_SCALABLE(f) && f->underline_thickness > 0) {
    const FT_Pos thickness = FT_MulFix(f->underline_thickness, m.y_scale);
    font->underlineThickness = std::max(1, RoundPixels(thickness));
    // underline_position is the centre of the stroke, negative below.
    font->underlineTop = RoundPixels(-FT_MulFix(f->underline_position, m.y_scale) - thickness / 2);
  } else {
    font->underlineThickness = 1;
    font->underlineTop = font->descent / 2;
  }
  // Keep the stroke inside the cell so that it is drawn where the text is.
  font->underlineTop =
      std::clamp(font->underlineTop, 1, std::max(1, font->descent - font->underlineThickness));

  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
  if (os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0) {
    font->aveCharWidth = RoundPixels(FT_MulFix(os2->xAvgCharWidth, m.x_scale));
  } else {
    font->aveCharWidth = GlyphFor(font, U'x').advance;
  }
  font->charSet = HasHebrewLetters(f) ? CharSetHebrew : CharSetAnsi;
  return true;
}

// The widest advance among the characters text is written in (ASCII, Latin-1
// and the Hebrew letters) that the face itself has. A face's global maximum
// advance is often a rare wide glyph (a ligature, a dingbat), which would
// make every width estimate too large.
int32_t MaxCharWidth(Font* font) {
  if (font->maxCharWidth >= 0) return font->maxCharWidth;
  static constexpr char32_t kRanges[][2] = {{0x20, 0x7E}, {0xA0, 0xFF}, {kAlef, kTav}};
  int32_t widest = 0;
  FT_Face face = font->faces[0].face;
  for (const auto& range : kRanges) {
    for (char32_t c = range[0]; c <= range[1]; ++c) {
      if (FT_Get_Char_Index(face, c) != 0) widest = std::max(widest, GlyphFor(font, c).advance);
    }
  }
  font->maxCharWidth = widest;
  return widest;
}

Font* g_stockFont = nullptr;
std::vector<DrawTextCall>* g_recorder = nullptr;

// ---- Text ---------------------------------------------------------------------

int32_t TextLength(const char16_t* text, int32_t n) {
  if (!text) return 0;
  if (n >= 0) return n;
  int32_t len = 0;
  while (len < INT32_MAX && text[len]) ++len;
  return len;
}

// The character at text[i] and how many units it takes: a surrogate pair is
// one character, an unpaired surrogate stands for U+FFFD.
struct Item {
  char32_t c;
  bool mnemonic;  // underlined as the marked character of a prefix '&'
};

void DisplayItems(const char16_t* text, int32_t n, bool prefixes, std::vector<Item>* items) {
  items->clear();
  bool marked = false;
  for (int32_t i = 0; i < n;) {
    char32_t c;
    i += DecodeUtf16(text, static_cast<std::size_t>(n), static_cast<std::size_t>(i), &c);
    // "&x" underlines x; "&&" is a literal '&'; a final '&' stays as it is.
    if (prefixes && c == u'&' && !marked && i < n) {
      marked = true;
      continue;
    }
    items->push_back({c, marked && c != u'&'});
    marked = false;
  }
}

void BlendPixel(uint32_t* p, uint32_t colour, uint32_t a) {
  if (a == 0) return;
  if (a == 255) {
    *p = colour;
    return;
  }
  const uint32_t d = *p;
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const uint32_t dc = (d >> shift) & 0xFF, sc = (colour >> shift) & 0xFF;
    out |= ((dc * (255 - a) + sc * a + 127) / 255) << shift;
  }
  *p = out;
}

// Ink is clipped to the surface only (see DrawTextInRect).
void BlitGlyph(Surface* s, const Glyph& g, int32_t x, int32_t y, uint32_t pixel) {
  if (g.width == 0) return;
  Rect box{x, y, x + g.width, y + g.rows};
  if (!gfx::ClipToSurface(s, &box)) return;
  for (int32_t py = box.top; py < box.bottom; ++py) {
    const uint8_t* src = g.coverage.data() + static_cast<std::size_t>(py - y) * g.width;
    uint32_t* dst = s->pixels + static_cast<std::size_t>(py) * s->width;
    for (int32_t px = box.left; px < box.right; ++px) BlendPixel(dst + px, pixel, src[px - x]);
  }
}

struct Line {
  std::size_t begin, end;
  int32_t width;
};

int32_t ItemsWidth(Font* font, const std::vector<Item>& items, std::size_t b, std::size_t e) {
  int64_t w = 0;
  for (std::size_t i = b; i < e; ++i) w += GlyphFor(font, items[i].c).advance;
  return static_cast<int32_t>(std::min<int64_t>(w, INT32_MAX));
}

// Lines broken at '\n' and wrapped at spaces to maxWidth; a word wider than
// that stays whole on a line of its own.
void WrapLines(Font* font, const std::vector<Item>& items, int32_t maxWidth,
               std::vector<Line>* lines) {
  std::size_t paraStart = 0;
  for (;;) {
    std::size_t paraEnd = paraStart;
    while (paraEnd < items.size() && items[paraEnd].c != u'\n') ++paraEnd;
    std::size_t lineStart = paraStart;
    for (;;) {
      int64_t width = 0;
      std::size_t lastSpace = SIZE_MAX;
      std::size_t j = lineStart;
      for (; j < paraEnd; ++j) {
        const char32_t c = items[j].c;
        if (c == u' ') lastSpace = j;
        const int32_t w = GlyphFor(font, c).advance;
        if (c != u' ' && width + w > maxWidth && lastSpace != SIZE_MAX && lastSpace > lineStart)
          break;
        width += w;
      }
      if (j == paraEnd) {
        std::size_t end = paraEnd;
        if (end > lineStart && items[end - 1].c == u'\r') --end;
        lines->push_back({lineStart, end, ItemsWidth(font, items, lineStart, end)});
        break;
      }
      std::size_t end = lastSpace;
      while (end > lineStart && items[end - 1].c == u' ') --end;
      lines->push_back({lineStart, end, ItemsWidth(font, items, lineStart, end)});
      lineStart = lastSpace;
      while (items[lineStart].c == u' ') ++lineStart;  // stops at items[j] at the latest
    }
    if (paraEnd == items.size()) break;
    paraStart = paraEnd + 1;
  }
}

bool IsHebrewPoint(char32_t c) {
  return c >= 0x591 && c <= 0x5C7 && c != 0x5BE && c != 0x5C0 && c != 0x5C3 && c != 0x5C6;
}

// Text is drawn in display order, and in display order a Hebrew point stands
// before (left of) the letter that carries it. Such a point is drawn over the
// next letter, centred by ink on its advance (the shin and sin dots over its
// right and left arms); false when no letter follows.
bool DrawPointOverNext(Surface* s, Font* font, const Glyph& g, const std::vector<Item>& items,
                       std::size_t i, std::size_t end, int32_t pen, int32_t baseline,
                       uint32_t pixel) {
  const char32_t c = items[i].c;
  if (!IsHebrewPoint(c) || g.advance != 0) return false;
  std::size_t j = i + 1;
  while (j < end && IsHebrewPoint(items[j].c)) ++j;
  if (j == end) return false;
  const Glyph& base = GlyphFor(font, items[j].c);
  if (base.advance <= 0) return false;
  int32_t left = pen + (base.advance - g.width) / 2;
  if (c == kShinDot && base.width > 0) left = pen + base.left + base.width - g.width;
  if (c == kSinDot && base.width > 0) left = pen + base.left;
  BlitGlyph(s, g, left, baseline - g.top, pixel);
  return true;
}

void DrawLine(DeviceContext* dc, Surface* s, Font* font, const std::vector<Item>& items,
              const Line& line, int32_t x, int32_t top) {
  const uint32_t pixel = gfx::ToPixel(dc->textColour);
  const int32_t baseline = top + font->ascent;
  int32_t pen = x;
  for (std::size_t i = line.begin; i < line.end; ++i) {
    const Glyph& g = GlyphFor(font, items[i].c);
    if (DrawPointOverNext(s, font, g, items, i, line.end, pen, baseline, pixel)) continue;
    BlitGlyph(s, g, pen + g.left, baseline - g.top, pixel);
    if (items[i].mnemonic && g.advance > 0) {
      gfx::FillPixels(s,
                      Rect{pen, baseline + font->underlineTop, pen + g.advance,
                           baseline + font->underlineTop + font->underlineThickness},
                      pixel);
    }
    pen += g.advance;
  }
  if (font->underline && line.width > 0) {
    gfx::FillPixels(s,
                    Rect{x, baseline + font->underlineTop, x + line.width,
                         baseline + font->underlineTop + font->underlineThickness},
                    pixel);
  }
}

int32_t AlignedX(const Rect& r, int32_t width, uint32_t flags) {
  if (flags & DtCenter) return r.left + (r.right - r.left - width) / 2;
  if (flags & DtRight) return r.right - width;
  return r.left;
}

}  // namespace

// ---- Public functions -------------------------------------------------------------

Font* GetStockFont(int index) {
  if (index != StockSystemFont) return nullptr;
  if (!g_stockFont) {
    // Not from MemAlloc: it lives as long as the process and is no leak.
    auto* font = new (std::nothrow) Font;
    if (!font) return nullptr;
    font->stock = true;
    FontDescription desc{};
    desc.weight = FontWeightNormal;
    bool ok = false;
    try {
      ok = InitFont(font, desc);
    } catch (const std::bad_alloc&) {
    }
    if (!ok) {
      ReleaseFaces(font);
      delete font;
      return nullptr;
    }
    g_stockFont = font;
  }
  return g_stockFont;
}

Font* CreateFontFromDescription(const FontDescription* desc) {
  if (!desc) return nullptr;
  void* block = MemAlloc(sizeof(Font));
  if (!block) return nullptr;
  Font* font = new (block) Font;
  bool ok = false;
  try {
    ok = InitFont(font, *desc);
  } catch (const std::bad_alloc&) {
  }
  if (!ok) {
    ReleaseFaces(font);
    font->~Font();
    MemFree(block);
    return nullptr;
  }
  return font;
}

void DeleteFont(Font* font) {
  if (!font || font->stock) return;
  gfx::ForgetFont(font);
  ReleaseFaces(font);
  font->~Font();
  MemFree(font);
}

std::vector<FontFamilyInfo> EnumerateFontFamilies() {
  std::vector<FontFamilyInfo> out;
  if (!FontconfigReady()) return out;
  FcPattern* pat = FcPatternCreate();
  FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, FC_CHARSET, static_cast<char*>(nullptr));
  FcFontSet* set = (pat && os) ? FcFontList(nullptr, pat, os) : nullptr;
  if (pat) FcPatternDestroy(pat);
  if (os) FcObjectSetDestroy(os);
  if (!set) return out;
  try {
    std::map<std::u16string, bool> families;  // name -> has the Hebrew letters
    for (int i = 0; i < set->nfont; ++i) {
      FcChar8* family = nullptr;
      if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) != FcResultMatch || !family)
        continue;
      bool hebrew = false;
      FcCharSet* cs = nullptr;
      if (FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &cs) == FcResultMatch && cs) {
        hebrew = true;
        for (char32_t c = kAlef; c <= kTav && hebrew; ++c) hebrew = FcCharSetHasChar(cs, c);
      }
      bool& entry = families[Utf8ToUtf16(reinterpret_cast<const char*>(family))];
      entry = entry || hebrew;
    }
    out.reserve(families.size());
    for (const auto& [name, hebrew] : families)
      out.push_back({name, hebrew ? CharSetHebrew : CharSetAnsi});
  } catch (const std::bad_alloc&) {
    out.clear();
  }
  FcFontSetDestroy(set);
  return out;
}

bool GetTextMetrics(DeviceContext* dc, TextMetrics* metrics) {
  if (!dc || !dc->font || !metrics) return false;
  Font* f = dc->font;
  metrics->height = f->ascent + f->descent;
  metrics->ascent = f->ascent;
  metrics->descent = f->descent;
  metrics->aveCharWidth = f->aveCharWidth;
  metrics->maxCharWidth = MaxCharWidth(f);
  metrics->charSet = f->charSet;
  return true;
}

bool GetTextExtent(DeviceContext* dc, const char16_t* text, int32_t n, Size* size) {
  return GetTextExtentFit(dc, text, n, INT32_MAX, nullptr, nullptr, size);
}

bool GetTextExtentFit(DeviceContext* dc, const char16_t* text, int32_t n, int32_t maxExtent,
                      int32_t* fit, int32_t* partial, Size* size) {
  if (!dc || !dc->font || (!text && n > 0)) return false;
  Font* font = dc->font;
  n = TextLength(text, n);
  int64_t extent = 0;
  int32_t fitting = 0;
  bool fits = true;
  for (int32_t i = 0; i < n;) {
    char32_t c;
    const int32_t units = DecodeUtf16(text, static_cast<std::size_t>(n), static_cast<std::size_t>(i), &c);
    extent += GlyphFor(font, c).advance;
    const auto clamped = static_cast<int32_t>(std::min<int64_t>(extent, INT32_MAX));
    fits = fits && extent <= maxExtent;
    for (int32_t k = 0; k < units; ++k) {
      if (partial) partial[i + k] = clamped;
      if (fits) ++fitting;
    }
    i += units;
  }
  if (fit) *fit = fitting;
  if (size)
    *size = {static_cast<int32_t>(std::min<int64_t>(extent, INT32_MAX)),
             font->ascent + font->descent};
  return true;
}

int32_t DrawTextInRect(DeviceContext* dc, const char16_t* text, int32_t n, const Rect* rect,
                       uint32_t flags) {
  if (!dc || !rect) return 0;
  n = TextLength(text, n);
  if (g_recorder) {
    try {
      g_recorder->push_back({std::u16string(text ? text : u"", static_cast<std::size_t>(n)), *rect,
                             flags, dc->textColour, dc->backMode});
    } catch (const std::bad_alloc&) {
    }
  }
  Font* font = dc->font;
  if (!font) return 0;
  const int32_t height = font->ascent + font->descent;
  try {
    // Ink may overhang the rectangle, as glyphs overhang their advance: a
    // letter drawn in a cell of its own width keeps the dot or stroke that
    // reaches past it. Only the surface clips (windows clip by their own),
    // and a context without one draws nothing.
    Surface* s = gfx::TargetSurface(dc);
    // Kept between calls: a page is drawn one unit a call, and allocating
    // these afresh each time took a tenth of a warm page's painting.
    static std::vector<Item> items;
    static std::vector<Line> lines;
    DisplayItems(text, n, !(flags & DtNoPrefix), &items);
    lines.clear();
    if (flags & DtSingleLine) {
      lines.push_back({0, items.size(), ItemsWidth(font, items, 0, items.size())});
    } else {
      WrapLines(font, items, rect->right - rect->left, &lines);
    }
    int32_t top = rect->top;
    if (flags & DtSingleLine) {
      if (flags & DtBottom)
        top = rect->bottom - height;
      else if (flags & DtVCenter)
        top = rect->top + (rect->bottom - rect->top - height) / 2;
    }
    const Line& first = lines.front();
    if (lines.size() == 1 && first.width == 0 && first.end > first.begin) {
      // Marks alone (a point in its letter's cell): centred by their ink,
      // on the usual baseline.
      int32_t inkL = INT32_MAX, inkR = INT32_MIN;
      for (std::size_t i = first.begin; i < first.end; ++i) {
        const Glyph& g = GlyphFor(font, items[i].c);
        if (g.width == 0) continue;
        inkL = std::min(inkL, g.left);
        inkR = std::max(inkR, g.left + g.width);
      }
      if (inkL < inkR) {
        const int32_t x = rect->left + (rect->right - rect->left - (inkR - inkL)) / 2 - inkL;
        DrawLine(dc, s, font, items, first, x, top);
      }
      return height;
    }
    for (const Line& line : lines) {
      const int32_t x = AlignedX(*rect, line.width, flags);
      if (dc->backMode == BackOpaque)
        gfx::FillPixels(s, Rect{x, top, x + line.width, top + height}, gfx::ToPixel(dc->backColour));
      DrawLine(dc, s, font, items, line, x, top);
      top += height;
    }
    return height * static_cast<int32_t>(lines.size());
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

void SetDrawTextRecorder(std::vector<DrawTextCall>* sink) { g_recorder = sink; }

}  // namespace plat
