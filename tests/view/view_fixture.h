// What the layout and paint tests share: small articles built in memory, a
// view over a surface, and width tables with round numbers.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "codec/article_code.h"
#include "content/text_resource.h"
#include "platform/graphics.h"
#include "platform/memory.h"
#include "shell/app_globals.h"
#include "view/font_cache.h"
#include "view/layout.h"

namespace view_test {

constexpr char16_t kFace[] = u"Frank Ruehl CLM";
constexpr int32_t kLeft = 10;
constexpr int32_t kTop = 20;

struct Record {
  uint8_t style;
  uint8_t metrics;
  std::vector<uint8_t> text;  // stored (display) order
};

// Stored bytes of a right-to-left text written in reading order.
inline std::vector<uint8_t> Rtl(std::string_view reading) { return {reading.rbegin(), reading.rend()}; }
inline std::vector<uint8_t> Ltr(std::string_view s) { return {s.begin(), s.end()}; }

// An article as the decoder hands it over: records, end marker and two zeros
// (all counted in length), then the buffer's own two zeros.
inline TextBuffer MakeText(const std::vector<Record>& records) {
  std::vector<uint8_t> bytes;
  for (const Record& r : records) {
    bytes.push_back(r.style);
    bytes.push_back(r.metrics);
    bytes.insert(bytes.end(), r.text.begin(), r.text.end());
    bytes.push_back(0);
  }
  bytes.insert(bytes.end(), 3, 0);
  auto* block = static_cast<uint8_t*>(plat::MemAlloc(bytes.size() + 2));
  std::memcpy(block, bytes.data(), bytes.size());
  block[bytes.size()] = block[bytes.size() + 1] = 0;
  return {block, static_cast<uint32_t>(bytes.size())};
}

// Widths that make breaks predictable: letters 10 pixels, except 'b' 8 and
// 'c' 12; space 5, hyphen 6, vowel points 0.
inline uint16_t TestWidth(int code) {
  if (IsVowelCode(static_cast<uint8_t>(code))) return 0;
  switch (code) {
    case ' ': return 5;
    case '-': return 6;
    case 'b': return 8;
    case 'c': return 12;
    default: return 10;
  }
}

// A view over a white surface, with leak checking of the allocator.
class ViewFixture : public ::testing::Test {
 protected:
  void StartSurface(int32_t width, int32_t height) {
    saved_ = g_app;
    g_app.fontChoice.asciiBase = kAsciiBaseUnicode;
    g_app.displayFlags = 0;
    surface_ = plat::CreateSurface(width, height);
    dc_ = plat::CreateSurfaceDC(surface_);
    // The conversion buffer lives as long as the program: have it before
    // counting blocks.
    const uint8_t warm[] = {'a', 0};
    int32_t d = 0;
    ConvertArticleText(warm, 1, &g_conversionBuffer, &d);
    baseline_ = plat::MemLiveBlocks();
  }
  void TearDown() override {
    plat::MemFailAfter(-1);
    plat::SetDrawTextRecorder(nullptr);
    plat::SelectFont(dc_, plat::GetStockFont(plat::StockSystemFont));
    DestroyView(view_, true);
    EXPECT_EQ(plat::MemLiveBlocks(), baseline_) << "blocks leaked";
    plat::DeleteDC(dc_);
    plat::DestroySurface(surface_);
    g_app = saved_;
  }

  static FontChoice Choice(int32_t size) {
    FontChoice choice{};
    std::char_traits<char16_t>::copy(choice.faceName, kFace, std::char_traits<char16_t>::length(kFace));
    choice.size = size;
    choice.asciiBase = kAsciiBaseUnicode;
    return choice;
  }

  void MakeView(int32_t width, int32_t height, int32_t capacity = 100, int32_t size = 20) {
    plat::SelectFont(dc_, plat::GetStockFont(plat::StockSystemFont));
    DestroyView(view_, true);
    const plat::Rect rect{kLeft, kTop, kLeft + width, kTop + height};
    const FontChoice choice = Choice(size);
    view_ = CreateView(dc_, &rect, &choice, capacity);
    ASSERT_NE(view_, nullptr);
  }

  // Gives the font of `key` the test widths.
  void UseTestWidths(uint8_t key) {
    plat::Font* old = SelectStyleFont(view_, key);
    ASSERT_NE(view_->widthTable, nullptr);
    for (int c = kFirstMeasuredCode; c <= kLastMeasuredCode; ++c)
      view_->widthTable->widths[c - kFirstMeasuredCode] = TestWidth(c);
    if (old) plat::SelectFont(dc_, old);
  }

  plat::TextMetrics Metrics(uint8_t key) {
    plat::Font* old = SelectStyleFont(view_, key);
    plat::TextMetrics tm{};
    EXPECT_TRUE(plat::GetTextMetrics(dc_, &tm));
    if (old) plat::SelectFont(dc_, old);
    return tm;
  }

  AppGlobals saved_;
  plat::Surface* surface_ = nullptr;
  plat::DeviceContext* dc_ = nullptr;
  ArticleView* view_ = nullptr;
  long baseline_ = 0;
};

}  // namespace view_test
