// Graphics: pixel surfaces, device contexts, colours, brushes, pens,
// rectangles, bitmaps, fonts and text. Everything the reader draws goes
// through a device context that draws into a 32-bit surface.
//
// Coordinates are pixels; rectangles include left/top and exclude
// right/bottom. Colours are 0x00BBGGRR values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

using Colour = uint32_t;  // 0x00BBGGRR
constexpr Colour MakeColour(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<Colour>(r) | (static_cast<Colour>(g) << 8) | (static_cast<Colour>(b) << 16);
}
constexpr uint8_t ColourRed(Colour c) { return c & 0xFF; }
constexpr uint8_t ColourGreen(Colour c) { return (c >> 8) & 0xFF; }
constexpr uint8_t ColourBlue(Colour c) { return (c >> 16) & 0xFF; }

struct Rect {
  int32_t left, top, right, bottom;
};
struct Size {
  int32_t cx, cy;
};

// ---- Surfaces ----------------------------------------------------------------

// Pixels are 0x00RRGGBB (the byte order screens and PNG encoders want), row
// by row, `width` pixels a row.
struct Surface {
  int32_t width;
  int32_t height;
  uint32_t* pixels;  // owned
};

// The largest surface (or bitmap) made, in pixels (256 MiB of them): far more
// than any screen, and a corrupt size cannot ask for an absurd allocation.
constexpr int64_t MaxSurfacePixels = int64_t{1} << 26;

// White; null when w/h <= 0, the size exceeds MaxSurfacePixels or no memory.
Surface* CreateSurface(int32_t width, int32_t height);
void DestroySurface(Surface* surface);
Colour SurfacePixel(const Surface* surface, int32_t x, int32_t y);  // 0 outside
bool WriteSurfacePng(const Surface* surface, const char* path);
Surface* ReadSurfacePng(const char* path);  // null when unreadable

// ---- Objects -----------------------------------------------------------------

struct Font;
struct Brush;
struct Pen;
struct Bitmap;

enum StockObjectIndex : int {
  StockWhiteBrush = 0,
  StockLightGrayBrush = 1,
  StockGrayBrush = 2,
  StockDarkGrayBrush = 3,
  StockBlackBrush = 4,
  StockNullBrush = 5,
  StockWhitePen = 6,
  StockBlackPen = 7,
  StockNullPen = 8,
  StockSystemFont = 13,
};

// Stock objects are never deleted; deleting one does nothing.
Brush* GetStockBrush(int index);  // null for an index that is not a brush
Pen* GetStockPen(int index);
Font* GetStockFont(int index);

Brush* CreateSolidBrush(Colour colour);
void DeleteBrush(Brush* brush);
Pen* CreateSolidPen(int32_t width, Colour colour);
void DeletePen(Pen* pen);

// ---- Fonts -------------------------------------------------------------------

constexpr uint8_t CharSetAnsi = 0;
constexpr uint8_t CharSetHebrew = 177;
constexpr int32_t FontWeightNormal = 400;
constexpr int32_t FontWeightBold = 700;

struct FontDescription {
  char16_t faceName[32];  // empty: the platform's default face
  int32_t height;         // > 0: cell height (ascent + descent); < 0: em height; 0: default
  int32_t weight;         // 0 or 400 normal, 700 bold
  uint8_t italic;
  uint8_t underline;
  uint8_t charSet;
};

// The face is matched by name through fontconfig (the closest face when the
// name is unknown). Null when no face can be loaded.
Font* CreateFontFromDescription(const FontDescription* desc);
void DeleteFont(Font* font);

struct TextMetrics {
  int32_t height;        // ascent + descent
  int32_t ascent;
  int32_t descent;
  int32_t aveCharWidth;
  int32_t maxCharWidth;  // widest character
  uint8_t charSet;       // CharSetHebrew when the face has U+05D0..U+05EA
};

struct FontFamilyInfo {
  std::u16string name;
  uint8_t charSet;
};
// One entry per family installed, sorted by name.
std::vector<FontFamilyInfo> EnumerateFontFamilies();

// ---- Device contexts ---------------------------------------------------------

struct DeviceContext;

enum BackMode : int { BackTransparent = 1, BackOpaque = 2 };

// Draws into `surface`, which the caller keeps alive and releases.
DeviceContext* CreateSurfaceDC(Surface* surface);
// A memory context that draws into whichever bitmap is selected into it. It
// starts with an empty placeholder bitmap (drawing into it does nothing),
// which the first SelectBitmap returns so that it can be selected back.
DeviceContext* CreateMemoryDC(DeviceContext* compatible);
void DeleteDC(DeviceContext* dc);

// Each returns the object it replaced; selecting null changes nothing and
// returns null. A new context holds the system font, white brush, black pen,
// black text on white, opaque background mode.
Font* SelectFont(DeviceContext* dc, Font* font);
Brush* SelectBrush(DeviceContext* dc, Brush* brush);
Pen* SelectPen(DeviceContext* dc, Pen* pen);
Bitmap* SelectBitmap(DeviceContext* dc, Bitmap* bitmap);  // memory contexts only

Colour SetTextColour(DeviceContext* dc, Colour colour);  // returns the previous one
Colour GetTextColour(const DeviceContext* dc);
Colour SetBackColour(DeviceContext* dc, Colour colour);
Colour GetBackColour(const DeviceContext* dc);
int SetBackMode(DeviceContext* dc, int mode);
int GetBackMode(const DeviceContext* dc);

// ---- Drawing -----------------------------------------------------------------

void FillRect(DeviceContext* dc, const Rect* rect, Brush* brush);
// Outline with the selected pen, inside filled with the selected brush.
void DrawRectangle(DeviceContext* dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
void MoveTo(DeviceContext* dc, int32_t x, int32_t y);
void LineTo(DeviceContext* dc, int32_t x, int32_t y);  // with the selected pen, end excluded

constexpr uint32_t RopSourceCopy = 0x00CC0020;
bool CopyBits(DeviceContext* dst, int32_t x, int32_t y, int32_t width, int32_t height,
              DeviceContext* src, int32_t srcX, int32_t srcY, uint32_t rop);

// ---- Bitmaps -----------------------------------------------------------------

// From a device-independent bitmap (the BMP file layout, with or without its
// 14-byte file header): 1, 4, 8 and 24 bits a pixel. Null when malformed.
Bitmap* CreateBitmapFromDib(const uint8_t* bytes, std::size_t size);
Bitmap* LoadBitmapResource(uint16_t id);  // bitmap resource `id` of the program
Bitmap* CreateCompatibleBitmap(DeviceContext* dc, int32_t width, int32_t height);
void DeleteBitmap(Bitmap* bitmap);
Size BitmapSize(const Bitmap* bitmap);

// ---- Text --------------------------------------------------------------------

enum DrawTextFlags : uint32_t {
  DtLeft = 0x0,
  DtCenter = 0x1,
  DtRight = 0x2,
  DtVCenter = 0x4,
  DtBottom = 0x8,
  DtSingleLine = 0x20,
  DtNoPrefix = 0x800,
};

bool GetTextMetrics(DeviceContext* dc, TextMetrics* metrics);
// Width and height of n units in the selected font (no shaping: units are
// drawn left to right in the order given).
bool GetTextExtent(DeviceContext* dc, const char16_t* text, int32_t n, Size* size);
// How many leading units fit within maxExtent (*fit), optionally the extent
// after each unit (partial, n entries), and the extent of the whole string.
bool GetTextExtentFit(DeviceContext* dc, const char16_t* text, int32_t n, int32_t maxExtent,
                      int32_t* fit, int32_t* partial, Size* size);
// Draws n units (n < 0: up to a zero unit) in rect, in the text colour, with
// the background filled when the mode is opaque. Units are in display order:
// a Hebrew point is drawn over the letter that follows it. A string of zero
// advance (a point drawn alone) is centred by its ink. Ink is clipped to the
// surface only, not to rect, so glyphs may overhang their cells. Returns the text height, times
// the number of lines drawn without DtSingleLine.
// Without DtSingleLine, lines break at '\n' and wrap at spaces to the rect's
// width; DtVCenter and DtBottom apply to single lines only. Unless
// DtNoPrefix, '&' underlines the character after it and "&&" draws '&'.
// A character the font lacks comes from another installed face, or for a
// Hebrew presentation form is composed from its letter and points; one that
// no face has is drawn as nothing.
int32_t DrawTextInRect(DeviceContext* dc, const char16_t* text, int32_t n, const Rect* rect,
                       uint32_t flags);

// Test hook: every DrawTextInRect call is appended to *sink while it is set.
struct DrawTextCall {
  std::u16string text;
  Rect rect;
  uint32_t flags;
  Colour textColour;
  int backMode;
};
void SetDrawTextRecorder(std::vector<DrawTextCall>* sink);

}  // namespace plat
