// The words and string blocks of compiled resources, read back for the
// resource tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// A 16-bit little-endian word.
inline uint16_t Word(const std::vector<uint8_t>& b, std::size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

// A string block's 16 entries, never reading past its end; the block must
// hold nothing after them.
inline std::vector<std::u16string> StringBlockEntries(const std::vector<uint8_t>& block) {
  std::vector<std::u16string> entries;
  std::size_t at = 0;
  for (int i = 0; i < 16 && at + 2 <= block.size(); ++i) {
    const uint16_t n = Word(block, at);
    at += 2;
    std::u16string s;
    for (uint16_t k = 0; k < n && at + 2 <= block.size(); ++k, at += 2) s += static_cast<char16_t>(Word(block, at));
    entries.push_back(s);
  }
  EXPECT_EQ(at, block.size()) << "nothing after the 16th entry";
  return entries;
}
