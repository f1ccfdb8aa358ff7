// Encoders for the reader's LZ77 stream: literals, literal runs of 1..8
// bytes, back-references of 3..10 bytes up to 2047 back, and space pairs.
#pragma once

#include <cstdint>
#include <vector>

// The shortest stream for `data` (an optimal parse over all four token kinds).
std::vector<uint8_t> CompressOptimal(const uint8_t* data, std::size_t size);

// The plain greedy encoder: at each position the longest match, else the
// cheapest literal. Kept to show what the optimal parse gains.
std::vector<uint8_t> CompressGreedy(const uint8_t* data, std::size_t size);

// How many tokens of each kind a stream holds (for reports and tests).
struct TokenCounts {
  std::size_t literals;
  std::size_t literalRuns;
  std::size_t backReferences;
  std::size_t spacePairs;
};
TokenCounts CountTokens(const std::vector<uint8_t>& stream);
