// Pixel art: the text files that bitmaps and icons are drawn in, and the
// 4-bit device-independent bitmap made of them.
//
//   # a comment line
//   size 16 16              each picture's width and height
//   colour . 192 192 192    a character and its red, green and blue
//   colour k 0 0 0
//   picture                 rows of the next picture follow, top row first
//   ....kk..........
//   ...
//
// Pictures stand side by side, left to right, in the order written. Every
// colour must be one of the 16 standard colours (kStandardPalette), since
// the bitmap is written with exactly that palette.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PixelArt {
  int32_t pictureWidth = 0;
  int32_t height = 0;
  int32_t pictures = 0;
  int32_t width = 0;              // pictureWidth * pictures
  std::vector<uint8_t> indices;   // palette indices, row by row, top row first
};

// Red, green, blue; the order of the bitmap's palette.
extern const uint8_t kStandardPalette[16][3];

// `name` is the file named in error messages ("name:line: reason").
bool ParsePixelArt(const std::string& text, const std::string& name, PixelArt* out,
                   std::string* error);

// A 40-byte info header, the 16 standard colours and bottom-up rows of
// 4 bits a pixel (left pixel in the high half), each padded to 4 bytes.
std::vector<uint8_t> EncodeDib4(const PixelArt& art);
