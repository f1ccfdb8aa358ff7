#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics.h"
#include "platform/resources.h"
#include "tests/platform/graphics_test_util.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Grid = std::vector<std::vector<uint32_t>>;  // rows top to bottom
using gfxtest::BitmapPtr;
using gfxtest::DcPtr;
using gfxtest::SurfacePtr;

void Put16(Bytes& b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// A DIB as the format lays it out. `rows` holds palette indices (up to 8 bits
// a pixel) or 0x00RRGGBB values (24 bits), top row first.
struct Dib {
  uint32_t headerSize = 40;
  int32_t width = 0;
  int32_t height = 0;  // 0: from rows; the sign says bottom-up or top-down
  bool topDown = false;
  uint32_t planes = 1;
  uint32_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  std::vector<uint32_t> palette;  // 0x00RRGGBB
  Grid rows;
  bool fileHeader = false;
  int64_t pixelOffsetDelta = 0;  // added to the file header's pixel offset

  Bytes Build() const {
    // The header may claim another width than the rows hold.
    const int32_t w = static_cast<int32_t>(rows.empty() ? 0 : rows[0].size());
    const int32_t headerWidth = width ? width : w;
    const int32_t h = static_cast<int32_t>(rows.size());
    const bool core = headerSize == 12;
    Bytes info;
    Put32(info, headerSize);
    if (core) {
      Put16(info, headerWidth);
      Put16(info, h);
      Put16(info, planes);
      Put16(info, bitCount);
    } else {
      Put32(info, headerWidth);
      Put32(info, height ? height : (topDown ? -h : h));
      Put16(info, planes);
      Put16(info, bitCount);
      Put32(info, compression);
      Put32(info, 0);
      Put32(info, 2835);
      Put32(info, 2835);
      Put32(info, colorsUsed);
      Put32(info, 0);
      while (info.size() < std::min<uint32_t>(headerSize, 124)) info.push_back(0);
    }
    for (uint32_t c : palette) {
      info.push_back(c & 0xFF);
      info.push_back((c >> 8) & 0xFF);
      info.push_back((c >> 16) & 0xFF);
      if (!core) info.push_back(0);
    }
    Bytes pixels;
    const std::size_t stride = (static_cast<std::size_t>(w) * bitCount + 31) / 32 * 4;
    for (int32_t i = 0; i < h; ++i) {
      const auto& row = rows[topDown ? i : h - 1 - i];
      Bytes packed(stride, 0);
      for (int32_t x = 0; x < w; ++x) {
        const uint32_t v = row[x];
        switch (bitCount) {
          case 1:
            packed[x / 8] |= (v & 1) << (7 - x % 8);
            break;
          case 4:
            packed[x / 2] |= (v & 0xF) << (x % 2 ? 0 : 4);
            break;
          case 8:
            packed[x] = v & 0xFF;
            break;
          case 24:
            packed[x * 3] = v & 0xFF;
            packed[x * 3 + 1] = (v >> 8) & 0xFF;
            packed[x * 3 + 2] = (v >> 16) & 0xFF;
            break;
          default:  // depths the reader rejects: the bytes do not matter
            break;
        }
      }
      pixels.insert(pixels.end(), packed.begin(), packed.end());
    }
    Bytes out;
    if (fileHeader) {
      const uint32_t offset = static_cast<uint32_t>(14 + info.size() + pixelOffsetDelta);
      out = {'B', 'M'};
      Put32(out, static_cast<uint32_t>(14 + info.size() + pixels.size()));
      Put32(out, 0);
      Put32(out, offset);
    }
    out.insert(out.end(), info.begin(), info.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
  }
};

// Parses a heap copy of exactly the given bytes, so that AddressSanitizer
// catches any read past them.
BitmapPtr Parse(const Bytes& bytes) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() ? bytes.size() : 1]);
  std::copy(bytes.begin(), bytes.end(), exact.get());
  return BitmapPtr(plat::CreateBitmapFromDib(exact.get(), bytes.size()));
}

// The bitmap's pixels as 0x00RRGGBB, read through a memory context.
Grid Pixels(plat::Bitmap* bitmap) {
  const plat::Size size = plat::BitmapSize(bitmap);
  SurfacePtr s(plat::CreateSurface(size.cx, size.cy));
  DcPtr dc(plat::CreateSurfaceDC(s.get()));
  DcPtr mem(plat::CreateMemoryDC(dc.get()));
  plat::Bitmap* old = plat::SelectBitmap(mem.get(), bitmap);
  EXPECT_TRUE(
      plat::CopyBits(dc.get(), 0, 0, size.cx, size.cy, mem.get(), 0, 0, plat::RopSourceCopy));
  plat::SelectBitmap(mem.get(), old);
  Grid grid(size.cy, std::vector<uint32_t>(size.cx));
  for (int32_t y = 0; y < size.cy; ++y)
    for (int32_t x = 0; x < size.cx; ++x) grid[y][x] = s->pixels[y * size.cx + x];
  return grid;
}

Grid Map(const Grid& indices, const std::vector<uint32_t>& palette) {
  Grid out = indices;
  for (auto& row : out)
    for (auto& v : row) v = v < palette.size() ? palette[v] : 0;
  return out;
}

const std::vector<uint32_t> kTwo = {0x000000, 0xFF0000};
const std::vector<uint32_t> kThree = {0x102030, 0x405060, 0x708090};
const Grid kOneBit = {
    {1, 0, 0, 1, 1, 0, 1, 0, 1, 1}, {0, 1, 1, 0, 0, 0, 0, 0, 0, 1}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 0}};
const Grid kFourBit = {{0, 1, 2, 1, 0}, {2, 2, 0, 1, 1}};
const Grid kRgb = {
    {0x112233, 0x445566, 0x778899}, {0xAABBCC, 0xDDEEFF, 0x010203}, {0, 0xFFFFFF, 0x808080}};

std::vector<uint32_t> Palette256() {
  std::vector<uint32_t> p(256);
  for (uint32_t i = 0; i < 256; ++i) p[i] = (i << 16) | ((255 - i) << 8) | (i / 2);
  return p;
}

Dib Make(uint32_t bitCount, const Grid& rows, std::vector<uint32_t> palette, bool topDown,
         bool fileHeader) {
  Dib d;
  d.bitCount = bitCount;
  d.rows = rows;
  d.palette = std::move(palette);
  d.colorsUsed = bitCount <= 8 && d.palette.size() < (1u << bitCount) ? d.palette.size() : 0;
  d.topDown = topDown;
  d.fileHeader = fileHeader;
  return d;
}

TEST(Dib, DecodesEveryDepthInBothRowOrders) {
  const Grid kEightBit = {{0, 255, 17}, {128, 3, 200}};
  struct Case {
    const char* name;
    Dib dib;
    Grid expected;
  };
  std::vector<Case> cases = {
      {"1bpp bottom-up", Make(1, kOneBit, kTwo, false, false), Map(kOneBit, kTwo)},
      {"1bpp top-down, file header", Make(1, kOneBit, kTwo, true, true), Map(kOneBit, kTwo)},
      {"4bpp top-down, 3 colours", Make(4, kFourBit, kThree, true, false), Map(kFourBit, kThree)},
      {"4bpp bottom-up, file header", Make(4, kFourBit, kThree, false, true),
       Map(kFourBit, kThree)},
      {"8bpp bottom-up, full palette", Make(8, kEightBit, Palette256(), false, false),
       Map(kEightBit, Palette256())},
      {"24bpp bottom-up, file header", Make(24, kRgb, {}, false, true), kRgb},
      {"24bpp top-down", Make(24, kRgb, {}, true, false), kRgb},
  };
  Dib core = Make(1, kOneBit, kTwo, false, true);
  core.headerSize = 12;
  cases.push_back({"1bpp core header", core, Map(kOneBit, kTwo)});
  Dib v5 = Make(24, kRgb, {}, true, true);
  v5.headerSize = 124;
  cases.push_back({"24bpp v5 header", v5, kRgb});
  // Indices past a short palette read as black, not past the palette.
  Dib shortPalette = Make(4, {{0, 1, 7, 15}}, kTwo, true, false);
  cases.push_back({"4bpp index past palette", shortPalette, {{0x000000, 0xFF0000, 0, 0}}});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BitmapPtr b = Parse(c.dib.Build());
    ASSERT_TRUE(b);
    EXPECT_EQ(plat::BitmapSize(b.get()).cx, static_cast<int32_t>(c.expected[0].size()));
    EXPECT_EQ(plat::BitmapSize(b.get()).cy, static_cast<int32_t>(c.expected.size()));
    EXPECT_EQ(Pixels(b.get()), c.expected);
  }
}

TEST(Dib, PixelOffsetOfTheFileHeaderIsHonoured) {
  Dib d = Make(24, kRgb, {}, false, true);
  d.pixelOffsetDelta = 4;
  Bytes bytes = d.Build();
  // Four filler bytes between the header and the pixels the offset skips.
  bytes.insert(bytes.begin() + 14 + 40, {0xEE, 0xEE, 0xEE, 0xEE});
  BitmapPtr b = Parse(bytes);
  ASSERT_TRUE(b);
  EXPECT_EQ(Pixels(b.get()), kRgb);
}

TEST(Dib, EveryTruncationGivesNull) {
  for (const Dib& d : {Make(1, kOneBit, kTwo, false, true), Make(24, kRgb, {}, true, false),
                       Make(4, kFourBit, kThree, false, false)}) {
    const Bytes full = d.Build();
    ASSERT_TRUE(Parse(full));
    for (std::size_t n = 0; n < full.size(); ++n) {
      EXPECT_FALSE(Parse(Bytes(full.begin(), full.begin() + n))) << n << " of " << full.size();
    }
  }
  EXPECT_EQ(plat::CreateBitmapFromDib(nullptr, 100), nullptr);
}

TEST(Dib, MalformedHeadersGiveNull) {
  struct Case {
    const char* name;
    std::function<void(Dib&)> spoil;
  };
  const Case cases[] = {
      {"zero width",
       [](Dib& d) {
         d.rows = {{}, {}};
       }},
      {"negative width", [](Dib& d) { d.width = -3; }},
      {"zero height", [](Dib& d) { d.rows.clear(); }},
      {"most negative height", [](Dib& d) { d.height = INT32_MIN; }},
      {"two planes", [](Dib& d) { d.planes = 2; }},
      {"2 bits a pixel", [](Dib& d) { d.bitCount = 2; }},
      {"16 bits a pixel", [](Dib& d) { d.bitCount = 16; }},
      {"32 bits a pixel", [](Dib& d) { d.bitCount = 32; }},
      {"run-length compressed", [](Dib& d) { d.compression = 2; }},
      {"bit fields", [](Dib& d) { d.compression = 3; }},
      {"more colours than the depth has", [](Dib& d) { d.colorsUsed = 17; }},
      {"unknown header size", [](Dib& d) { d.headerSize = 20; }},
      {"header larger than the data", [](Dib& d) { d.headerSize = 100000; }},
      {"offset past the end", [](Dib& d) { d.pixelOffsetDelta = 1000; }},
      {"offset into the palette", [](Dib& d) { d.pixelOffsetDelta = -8; }},
      {"offset into the header", [](Dib& d) { d.pixelOffsetDelta = -60; }},
      {"width claims more than the rows hold", [](Dib& d) { d.width = 0x7FFFFFFF; }},
      {"height claims more than the data", [](Dib& d) { d.height = 1000; }},
      {"size over the limit",
       [](Dib& d) {
         d.width = 100000;
         d.height = -100000;
       }},
  };
  for (const Case& c : cases) {
    Dib d = Make(4, kFourBit, kThree, false, true);
    c.spoil(d);
    EXPECT_FALSE(Parse(d.Build())) << c.name;
  }
  EXPECT_FALSE(Parse({'B', 'M', 0, 0}));
}

TEST(Dib, LoadsBitmapResourcesById) {
  const Bytes good = Make(24, kRgb, {}, false, true).Build();
  const Bytes bad(good.begin(), good.end() - 1);
  const plat::ResourceRecord table[] = {
      {plat::ResTypeBitmap, 9001, good.data(), static_cast<uint32_t>(good.size())},
      {plat::ResTypeBitmap, 9002, bad.data(), static_cast<uint32_t>(bad.size())},
      {plat::ResTypeRawData, 9003, good.data(), static_cast<uint32_t>(good.size())},
  };
  plat::RegisterResourceTable(table, 3);
  BitmapPtr loaded(plat::LoadBitmapResource(9001));
  ASSERT_TRUE(loaded);
  EXPECT_EQ(Pixels(loaded.get()), kRgb);
  EXPECT_FALSE(BitmapPtr(plat::LoadBitmapResource(9002)));  // malformed
  EXPECT_FALSE(BitmapPtr(plat::LoadBitmapResource(9003)));  // not a bitmap resource
  EXPECT_FALSE(BitmapPtr(plat::LoadBitmapResource(9004)));  // none
  plat::UnregisterResourceTable(table);
  EXPECT_FALSE(BitmapPtr(plat::LoadBitmapResource(9001)));
}

}  // namespace
