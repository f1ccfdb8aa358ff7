#include "tools/pack/lz77_encoder.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::size_t kMaxDistance = 2047;
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 10;
constexpr std::size_t kMaxRun = 8;

bool IsPlainLiteral(uint8_t b) { return b == 0 || (b >= 0x09 && b <= 0x7F); }

bool IsSpacePair(const uint8_t* data, std::size_t size, std::size_t i) {
  return i + 1 < size && data[i] == 0x20 && data[i + 1] >= 0x40 && data[i + 1] <= 0x7F;
}

struct Match {
  std::size_t length;    // 0 when none of at least kMinMatch
  std::size_t distance;
};

// Longest match at each position within the window, found through chains of
// earlier positions with the same three-byte prefix. A shorter prefix of a
// match is a match too, so the longest one is all the parser needs.
std::vector<Match> FindMatches(const uint8_t* data, std::size_t size) {
  std::vector<Match> matches(size, Match{0, 0});
  if (size < kMinMatch) return matches;
  constexpr std::size_t kHashSize = 1 << 16;
  std::vector<int64_t> head(kHashSize, -1);
  std::vector<int64_t> prev(size, -1);
  auto hash = [&](std::size_t i) {
    return ((data[i] << 10) ^ (data[i + 1] << 5) ^ data[i + 2]) & (kHashSize - 1);
  };
  for (std::size_t i = 0; i + kMinMatch <= size; ++i) {
    std::size_t h = hash(i);
    std::size_t limit = std::min(kMaxMatch, size - i);
    Match best{0, 0};
    for (int64_t j = head[h]; j >= 0 && i - static_cast<std::size_t>(j) <= kMaxDistance;
         j = prev[j]) {
      auto from = static_cast<std::size_t>(j);
      std::size_t len = 0;
      while (len < limit && data[from + len] == data[i + len]) ++len;
      // Nearer matches come first; keep the first of the longest.
      if (len >= kMinMatch && len > best.length) best = {len, i - from};
      if (best.length == limit) break;
    }
    matches[i] = best;
    prev[i] = head[h];
    head[h] = static_cast<int64_t>(i);
  }
  return matches;
}

void EmitBackReference(std::vector<uint8_t>& out, std::size_t distance, std::size_t length) {
  uint32_t v = 0x8000 | static_cast<uint32_t>(distance << 3) | static_cast<uint32_t>(length - 3);
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v & 0xFF));
}

void EmitRun(std::vector<uint8_t>& out, const uint8_t* data, std::size_t at, std::size_t n) {
  out.push_back(static_cast<uint8_t>(n));
  out.insert(out.end(), data + at, data + at + n);
}

enum class Step : uint8_t { Literal, SpacePair, Run, Match };

struct Choice {
  Step step;
  uint8_t length;  // bytes of input the step covers
};

}  // namespace

std::vector<uint8_t> CompressOptimal(const uint8_t* data, std::size_t size) {
  std::vector<Match> matches = FindMatches(data, size);
  // cost[i]: bytes of the shortest stream for data[i..size).
  std::vector<std::size_t> cost(size + 1, std::numeric_limits<std::size_t>::max());
  std::vector<Choice> choice(size + 1);
  cost[size] = 0;
  for (std::size_t i = size; i-- > 0;) {
    auto consider = [&](Step step, std::size_t covered, std::size_t bytes) {
      std::size_t c = bytes + cost[i + covered];
      if (c < cost[i]) {
        cost[i] = c;
        choice[i] = {step, static_cast<uint8_t>(covered)};
      }
    };
    if (IsPlainLiteral(data[i])) consider(Step::Literal, 1, 1);
    if (IsSpacePair(data, size, i)) consider(Step::SpacePair, 2, 1);
    for (std::size_t n = 1; n <= kMaxRun && i + n <= size; ++n) consider(Step::Run, n, 1 + n);
    for (std::size_t n = kMinMatch; n <= matches[i].length; ++n) consider(Step::Match, n, 2);
  }

  std::vector<uint8_t> out;
  out.reserve(cost[0]);
  for (std::size_t i = 0; i < size;) {
    const Choice& c = choice[i];
    switch (c.step) {
      case Step::Literal: out.push_back(data[i]); break;
      case Step::SpacePair: out.push_back(static_cast<uint8_t>(data[i + 1] ^ 0x80)); break;
      case Step::Run: EmitRun(out, data, i, c.length); break;
      case Step::Match: EmitBackReference(out, matches[i].distance, c.length); break;
    }
    i += c.length;
  }
  return out;
}

std::vector<uint8_t> CompressGreedy(const uint8_t* data, std::size_t size) {
  std::vector<Match> matches = FindMatches(data, size);
  std::vector<uint8_t> out;
  std::size_t i = 0;
  while (i < size) {
    if (matches[i].length >= kMinMatch) {
      EmitBackReference(out, matches[i].distance, matches[i].length);
      i += matches[i].length;
    } else if (IsSpacePair(data, size, i)) {
      out.push_back(static_cast<uint8_t>(data[i + 1] ^ 0x80));
      i += 2;
    } else if (IsPlainLiteral(data[i])) {
      out.push_back(data[i]);
      ++i;
    } else {
      // Gather the bytes that need a run until a plain literal or a match.
      std::size_t n = 1;
      while (n < kMaxRun && i + n < size && !IsPlainLiteral(data[i + n]) &&
             matches[i + n].length < kMinMatch)
        ++n;
      EmitRun(out, data, i, n);
      i += n;
    }
  }
  return out;
}

TokenCounts CountTokens(const std::vector<uint8_t>& stream) {
  TokenCounts counts{};
  for (std::size_t i = 0; i < stream.size();) {
    uint8_t c = stream[i];
    if (c >= 0x01 && c <= 0x08) {
      ++counts.literalRuns;
      i += 1 + c;
    } else if (c >= 0x80 && c <= 0xBF) {
      ++counts.backReferences;
      i += 2;
    } else if (c >= 0xC0) {
      ++counts.spacePairs;
      ++i;
    } else {
      ++counts.literals;
      ++i;
    }
  }
  return counts;
}
