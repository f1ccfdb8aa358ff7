#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/graphics.h"
#include "platform/memory.h"
#include "tests/platform/graphics_test_util.h"

namespace {

using gfxtest::DcPtr;
using gfxtest::SurfacePtr;

std::string TempPath(const std::string& name) { return testing::TempDir() + "tovanel_" + name; }

TEST(Surface, NewSurfaceIsWhiteAndSizesOutsideTheLimitsGiveNull) {
  SurfacePtr s(plat::CreateSurface(3, 2));
  ASSERT_TRUE(s);
  EXPECT_EQ(s->width, 3);
  EXPECT_EQ(s->height, 2);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(s->pixels[i], 0xFFFFFFu);

  const int32_t tooWide = static_cast<int32_t>(plat::MaxSurfacePixels / 2 + 1);
  const int32_t sizes[][2] = {{0, 1},  {1, 0},       {-1, 5},
                              {5, -1}, {tooWide, 2}, {INT32_MAX, INT32_MAX}};
  for (const auto& wh : sizes) {
    EXPECT_EQ(plat::CreateSurface(wh[0], wh[1]), nullptr) << wh[0] << "x" << wh[1];
  }
}

// Surfaces store 0x00RRGGBB; every colour through the API is 0x00BBGGRR.
TEST(Surface, ColoursAreConvertedAtTheBoundary) {
  SurfacePtr s(plat::CreateSurface(4, 1));
  DcPtr dc(plat::CreateSurfaceDC(s.get()));
  ASSERT_TRUE(s && dc);
  const plat::Colour colour = plat::MakeColour(0x12, 0x34, 0x56);
  EXPECT_EQ(colour, 0x00563412u);
  EXPECT_EQ(plat::ColourRed(colour), 0x12);
  EXPECT_EQ(plat::ColourGreen(colour), 0x34);
  EXPECT_EQ(plat::ColourBlue(colour), 0x56);

  plat::Brush* brush = plat::CreateSolidBrush(colour);
  ASSERT_NE(brush, nullptr);
  plat::Rect r{1, 0, 2, 1};
  plat::FillRect(dc.get(), &r, brush);
  plat::DeleteBrush(brush);
  EXPECT_EQ(s->pixels[1], 0x00123456u);
  EXPECT_EQ(plat::SurfacePixel(s.get(), 1, 0), colour);
  EXPECT_EQ(plat::SurfacePixel(s.get(), 0, 0), plat::MakeColour(255, 255, 255));

  // Outside the surface (and without one) the pixel reads as 0.
  EXPECT_EQ(plat::SurfacePixel(s.get(), -1, 0), 0u);
  EXPECT_EQ(plat::SurfacePixel(s.get(), 4, 0), 0u);
  EXPECT_EQ(plat::SurfacePixel(s.get(), 0, 1), 0u);
  EXPECT_EQ(plat::SurfacePixel(nullptr, 0, 0), 0u);
}

TEST(SurfacePng, WrittenSurfaceReadsBackIdentical) {
  SurfacePtr s(plat::CreateSurface(7, 5));
  ASSERT_TRUE(s);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 7; ++x)
      s->pixels[y * 7 + x] = (x * 37u << 16) | (y * 51u << 8) | (x * y * 11u);
  const std::string path = TempPath("roundtrip.png");
  ASSERT_TRUE(plat::WriteSurfacePng(s.get(), path.c_str()));
  SurfacePtr back(plat::ReadSurfacePng(path.c_str()));
  ASSERT_TRUE(back);
  EXPECT_TRUE(gfxtest::SamePixels(s.get(), back.get()));
  std::remove(path.c_str());
}

// PNGs in other forms than the one written: each pixel lands as RGB, alpha
// composed over white.
TEST(SurfacePng, ReadsGreyAlphaAndPaletteImages) {
  struct Case {
    const char* name;
    png_uint_32 format;
    std::vector<uint8_t> bytes;  // 2 pixels
    std::vector<uint8_t> colormap;
    uint32_t expected[2];
  };
  const Case cases[] = {
      {"grey", PNG_FORMAT_GRAY, {0x00, 0x80}, {}, {0x000000, 0x808080}},
      {"rgba",
       PNG_FORMAT_RGBA,
       {0x10, 0x20, 0x30, 0xFF, 0x10, 0x20, 0x30, 0x00},
       {},
       {0x102030, 0xFFFFFF}},
      {"palette",
       PNG_FORMAT_RGB_COLORMAP,
       {1, 0},
       {0xAA, 0xBB, 0xCC, 0x01, 0x02, 0x03},
       {0x010203, 0xAABBCC}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = 2;
    image.height = 1;
    image.format = c.format;
    image.colormap_entries = static_cast<png_uint_32>(c.colormap.size() / 3);
    const std::string path = TempPath(std::string(c.name) + ".png");
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, c.bytes.data(), 0,
                                        c.colormap.empty() ? nullptr : c.colormap.data()));
    SurfacePtr s(plat::ReadSurfacePng(path.c_str()));
    ASSERT_TRUE(s);
    ASSERT_EQ(s->width, 2);
    ASSERT_EQ(s->height, 1);
    EXPECT_EQ(s->pixels[0], c.expected[0]);
    EXPECT_EQ(s->pixels[1], c.expected[1]);
    std::remove(path.c_str());
  }
}

TEST(SurfacePng, UnreadableAndUnwritableFilesFail) {
  SurfacePtr s(plat::CreateSurface(4, 4));
  const std::string good = TempPath("good.png");
  ASSERT_TRUE(plat::WriteSurfacePng(s.get(), good.c_str()));
  std::FILE* f = std::fopen(good.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::vector<uint8_t> bytes(4096);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
  std::fclose(f);
  ASSERT_GT(bytes.size(), 40u);

  const std::string truncated = TempPath("truncated.png");
  const std::string garbage = TempPath("garbage.png");
  f = std::fopen(truncated.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size() - 20, f);
  std::fclose(f);
  f = std::fopen(garbage.c_str(), "wb");
  std::fputs("not a png at all, just some text", f);
  std::fclose(f);

  EXPECT_EQ(plat::ReadSurfacePng(TempPath("missing.png").c_str()), nullptr);
  EXPECT_EQ(plat::ReadSurfacePng(truncated.c_str()), nullptr);
  EXPECT_EQ(plat::ReadSurfacePng(garbage.c_str()), nullptr);
  EXPECT_EQ(plat::ReadSurfacePng(nullptr), nullptr);
  EXPECT_FALSE(plat::WriteSurfacePng(s.get(), "/nonexistent-dir/x.png"));
  EXPECT_FALSE(plat::WriteSurfacePng(nullptr, good.c_str()));
  for (const std::string& p : {good, truncated, garbage}) std::remove(p.c_str());
}

// Every object that comes from the allocator: whichever allocation fails,
// the call gives null and leaves nothing allocated behind.
TEST(GraphicsMemory, FailedAllocationsGiveNullAndLeakNothing) {
  SurfacePtr target(plat::CreateSurface(8, 8));
  ASSERT_TRUE(target);
  plat::GetStockFont(plat::StockSystemFont);  // made once, outside the allocator
  static const uint8_t kDib[] = {40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24,
                                 0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                 0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 0};
  struct Case {
    const char* name;
    std::function<void*()> make;
    std::function<void(void*)> release;
  };
  const Case cases[] = {
      {"surface", [] { return static_cast<void*>(plat::CreateSurface(4, 4)); },
       [](void* p) { plat::DestroySurface(static_cast<plat::Surface*>(p)); }},
      {"surface dc", [&] { return static_cast<void*>(plat::CreateSurfaceDC(target.get())); },
       [](void* p) { plat::DeleteDC(static_cast<plat::DeviceContext*>(p)); }},
      {"memory dc", [] { return static_cast<void*>(plat::CreateMemoryDC(nullptr)); },
       [](void* p) { plat::DeleteDC(static_cast<plat::DeviceContext*>(p)); }},
      {"brush", [] { return static_cast<void*>(plat::CreateSolidBrush(0x123456)); },
       [](void* p) { plat::DeleteBrush(static_cast<plat::Brush*>(p)); }},
      {"pen", [] { return static_cast<void*>(plat::CreateSolidPen(2, 0x123456)); },
       [](void* p) { plat::DeletePen(static_cast<plat::Pen*>(p)); }},
      {"bitmap", [] { return static_cast<void*>(plat::CreateCompatibleBitmap(nullptr, 3, 3)); },
       [](void* p) { plat::DeleteBitmap(static_cast<plat::Bitmap*>(p)); }},
      {"dib", [] { return static_cast<void*>(plat::CreateBitmapFromDib(kDib, sizeof kDib)); },
       [](void* p) { plat::DeleteBitmap(static_cast<plat::Bitmap*>(p)); }},
      {"font", [] { return static_cast<void*>(gfxtest::MakeFont(u"DejaVu Sans", 12).release()); },
       [](void* p) { plat::DeleteFont(static_cast<plat::Font*>(p)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const long live = plat::MemLiveBlocks();
    // Let 0, 1, ... allocations succeed until the call needs no more.
    bool made = false;
    for (long allowed = 0; allowed < 8 && !made; ++allowed) {
      plat::MemFailAfter(allowed);
      void* object = c.make();
      plat::MemFailAfter(-1);
      if (object) {
        made = true;
        EXPECT_GT(allowed, 0) << "made without allocating";
        c.release(object);
      }
      EXPECT_EQ(plat::MemLiveBlocks(), live) << "after allowing " << allowed;
    }
    EXPECT_TRUE(made);
  }
}

}  // namespace
