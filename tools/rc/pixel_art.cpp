#include "tools/rc/pixel_art.h"

#include <array>
#include <sstream>

const uint8_t kStandardPalette[16][3] = {
    {0, 0, 0},       {128, 0, 0},     {0, 128, 0},   {128, 128, 0},
    {0, 0, 128},     {128, 0, 128},   {0, 128, 128}, {192, 192, 192},
    {128, 128, 128}, {255, 0, 0},     {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255},
};

namespace {

// Large enough for any picture a bar or window shows, small enough that a
// typing slip cannot ask for an absurd image.
constexpr int32_t kMaxSide = 1024;

std::string Trim(const std::string& s) {
  const std::size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  const std::size_t b = s.find_last_not_of(" \t\r");
  return s.substr(a, b - a + 1);
}

std::vector<std::string> Words(const std::string& s) {
  std::istringstream in(s);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

bool Decimal(const std::string& s, int32_t max, int32_t* v) {
  if (s.empty() || s.size() > 9) return false;
  int32_t n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  if (n > max) return false;
  *v = n;
  return true;
}

int PaletteIndex(int32_t r, int32_t g, int32_t b) {
  for (int i = 0; i < 16; ++i) {
    if (kStandardPalette[i][0] == r && kStandardPalette[i][1] == g && kStandardPalette[i][2] == b)
      return i;
  }
  return -1;
}

struct ArtParser {
  std::string name;
  std::string* error;
  int line = 0;
  PixelArt art;
  std::array<int, 128> colours;  // palette index by character, -1 when unset
  std::vector<std::vector<uint8_t>> pictures;
  int pictureLine = 0;

  bool Fail(const std::string& what) {
    *error = name + ":" + std::to_string(line) + ": " + what;
    return false;
  }
  bool FailAt(int at, const std::string& what) {
    line = at;
    return Fail(what);
  }

  // The picture being read is complete: exactly `height` rows.
  bool ClosePicture() {
    if (pictures.empty()) return true;
    const int32_t rows = static_cast<int32_t>(pictures.back().size()) / art.pictureWidth;
    if (rows != art.height)
      return FailAt(pictureLine, "picture has " + std::to_string(rows) + " rows, expected " +
                                     std::to_string(art.height));
    return true;
  }

  bool Header(const std::vector<std::string>& w) {
    if (w[0] == "size") {
      if (w.size() != 3) return Fail("expected: size WIDTH HEIGHT");
      if (art.height) return Fail("the size is given twice");
      if (!Decimal(w[1], kMaxSide, &art.pictureWidth) || art.pictureWidth < 1 ||
          !Decimal(w[2], kMaxSide, &art.height) || art.height < 1)
        return Fail("bad size '" + w[1] + " " + w[2] + "' (1.." + std::to_string(kMaxSide) + ")");
      return true;
    }
    if (w[0] == "colour") {
      if (w.size() != 5) return Fail("expected: colour CHARACTER RED GREEN BLUE");
      const std::string& c = w[1];
      if (c.size() != 1 || c[0] < '!' || c[0] > '~' || c[0] == '#')
        return Fail("a colour is one printable character other than '#', not '" + c + "'");
      if (colours[static_cast<uint8_t>(c[0])] >= 0) return Fail("colour '" + c + "' is given twice");
      int32_t rgb[3];
      for (int i = 0; i < 3; ++i) {
        if (!Decimal(w[2 + i], 255, &rgb[i])) return Fail("bad colour value '" + w[2 + i] + "' (0..255)");
      }
      const int index = PaletteIndex(rgb[0], rgb[1], rgb[2]);
      if (index < 0)
        return Fail("colour '" + c + "' (" + w[2] + ", " + w[3] + ", " + w[4] +
                    ") is not one of the 16 standard colours");
      colours[static_cast<uint8_t>(c[0])] = index;
      return true;
    }
    return Fail("unknown keyword '" + w[0] + "'");
  }

  bool Row(const std::string& row) {
    if (static_cast<int32_t>(row.size()) != art.pictureWidth)
      return Fail("row is " + std::to_string(row.size()) + " pixels wide, expected " +
                  std::to_string(art.pictureWidth));
    std::vector<uint8_t>& p = pictures.back();
    if (static_cast<int32_t>(p.size()) / art.pictureWidth == art.height)
      return Fail("picture has more than " + std::to_string(art.height) + " rows");
    for (char c : row) {
      const int index = (c > 0 && c < 127) ? colours[static_cast<uint8_t>(c)] : -1;
      if (index < 0) return Fail(std::string("'") + c + "' is not a colour of the palette");
      p.push_back(static_cast<uint8_t>(index));
    }
    return true;
  }

  bool Parse(const std::string& text) {
    colours.fill(-1);
    std::istringstream in(text);
    for (std::string raw; std::getline(in, raw);) {
      ++line;
      const std::string s = Trim(raw);
      if (s.empty() || s[0] == '#') continue;
      if (s == "picture") {
        if (!art.height) return Fail("the size must come before the first picture");
        if (!ClosePicture()) return false;
        pictures.emplace_back();
        pictureLine = line;
        continue;
      }
      if (pictures.empty()) {
        if (!Header(Words(s))) return false;
      } else if (!Row(s)) {
        return false;
      }
    }
    if (pictures.empty()) return Fail("no picture");
    if (!ClosePicture()) return false;
    if (static_cast<int64_t>(pictures.size()) * art.pictureWidth > kMaxSide * 16)
      return Fail("too many pictures for one bitmap");
    art.pictures = static_cast<int32_t>(pictures.size());
    art.width = art.pictureWidth * art.pictures;
    art.indices.resize(static_cast<std::size_t>(art.width) * art.height);
    for (int32_t k = 0; k < art.pictures; ++k) {
      for (int32_t y = 0; y < art.height; ++y) {
        for (int32_t x = 0; x < art.pictureWidth; ++x)
          art.indices[static_cast<std::size_t>(y) * art.width + k * art.pictureWidth + x] =
              pictures[k][static_cast<std::size_t>(y) * art.pictureWidth + x];
      }
    }
    return true;
  }
};

void Put16(std::vector<uint8_t>* out, uint32_t v) {
  out->push_back(static_cast<uint8_t>(v & 0xFF));
  out->push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void Put32(std::vector<uint8_t>* out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

bool ParsePixelArt(const std::string& text, const std::string& name, PixelArt* out,
                   std::string* error) {
  ArtParser p;
  p.name = name;
  p.error = error;
  if (!p.Parse(text)) return false;
  *out = std::move(p.art);
  return true;
}

std::vector<uint8_t> EncodeDib4(const PixelArt& art) {
  const uint32_t stride = (static_cast<uint32_t>(art.width) * 4 + 31) / 32 * 4;
  std::vector<uint8_t> out;
  Put32(&out, 40);
  Put32(&out, static_cast<uint32_t>(art.width));
  Put32(&out, static_cast<uint32_t>(art.height));  // positive: bottom row first
  Put16(&out, 1);                                  // planes
  Put16(&out, 4);                                  // bits a pixel
  Put32(&out, 0);                                  // uncompressed
  Put32(&out, stride * static_cast<uint32_t>(art.height));
  Put32(&out, 0);  // no physical resolution
  Put32(&out, 0);
  Put32(&out, 16);  // colours used
  Put32(&out, 0);   // all of them important
  for (const auto& c : kStandardPalette) {
    out.push_back(c[2]);
    out.push_back(c[1]);
    out.push_back(c[0]);
    out.push_back(0);
  }
  for (int32_t y = art.height - 1; y >= 0; --y) {
    const std::size_t rowStart = out.size();
    const uint8_t* row = art.indices.data() + static_cast<std::size_t>(y) * art.width;
    for (int32_t x = 0; x < art.width; x += 2) {
      const uint8_t right = x + 1 < art.width ? row[x + 1] : 0;
      out.push_back(static_cast<uint8_t>((row[x] << 4) | right));
    }
    out.resize(rowStart + stride, 0);
  }
  return out;
}
