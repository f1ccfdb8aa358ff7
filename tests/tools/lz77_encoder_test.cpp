#include "tools/pack/lz77_encoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "content/text_resource.h"
#include "platform/message_box.h"

namespace {

std::vector<uint8_t> Decode(const std::vector<uint8_t>& stream, std::size_t size) {
  int32_t error = 0;
  TextBuffer t = DecompressText(stream.data(), static_cast<uint32_t>(stream.size()),
                                static_cast<uint32_t>(size), &error);
  EXPECT_NE(t.bytes, nullptr) << "error " << error;
  if (!t.bytes) return {};
  std::vector<uint8_t> out(t.bytes, t.bytes + t.length);
  ReleaseText(&t);
  return out;
}

// Walks a stream and checks every back-reference stays inside the window and
// after the start of the output.
void ExpectValidReferences(const std::vector<uint8_t>& stream) {
  std::size_t produced = 0;
  for (std::size_t i = 0; i < stream.size();) {
    uint8_t c = stream[i];
    if (c >= 1 && c <= 8) {
      produced += c;
      i += 1 + c;
    } else if (c >= 0x80 && c <= 0xBF) {
      ASSERT_LT(i + 1, stream.size());
      uint32_t v = (c << 8) | stream[i + 1];
      uint32_t distance = (v >> 3) & 0x7FF;
      ASSERT_GE(distance, 1u);
      ASSERT_LE(distance, produced);
      produced += (v & 7) + 3;
      i += 2;
    } else {
      produced += c >= 0xC0 ? 2 : 1;
      ++i;
    }
  }
}

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> RandomBytes(std::size_t n, unsigned seed, int alphabet) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> out(n);
  for (auto& b : out) b = static_cast<uint8_t>(rng() % alphabet);
  return out;
}

TEST(Lz77Encoder, BothEncodersRoundTripAwkwardInputs) {
  plat::SetMessageBoxEcho(false);
  std::vector<std::vector<uint8_t>> inputs = {
      Bytes("a"),
      Bytes("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"),
      Bytes(" a b c d  e  \x7F \x40 \x3F"),
      {0, 0, 0, 0, 1, 2, 3, 8, 9, 0x80, 0xBF, 0xC0, 0xFF, 0x20, 0x20, 0x41},
      RandomBytes(5000, 1, 256),
      RandomBytes(70000 / 2, 2, 4),  // long repeats of a tiny alphabet
      RandomBytes(4000, 3, 8),       // mostly bytes that need literal runs
  };
  // Repeats further back than the window can reach.
  std::vector<uint8_t> far = RandomBytes(3000, 4, 256);
  far.insert(far.end(), far.begin(), far.begin() + 100);
  inputs.push_back(far);

  for (const auto& in : inputs) {
    for (auto* encode : {&CompressOptimal, &CompressGreedy}) {
      std::vector<uint8_t> stream = encode(in.data(), in.size());
      ExpectValidReferences(stream);
      EXPECT_EQ(Decode(stream, in.size()), in) << "input of " << in.size() << " bytes";
    }
  }
}

TEST(Lz77Encoder, OptimalParseIsNeverLongerThanGreedy) {
  for (unsigned seed = 0; seed < 20; ++seed) {
    std::vector<uint8_t> in = RandomBytes(2000, seed, 3 + seed % 5);
    for (std::size_t i = 0; i < in.size(); i += 7) in[i] = ' ';
    EXPECT_LE(CompressOptimal(in.data(), in.size()).size(),
              CompressGreedy(in.data(), in.size()).size())
        << "seed " << seed;
  }
}

TEST(Lz77Encoder, ShortestStreamForKnownInputs) {
  struct Case {
    std::vector<uint8_t> in;
    std::size_t bytes;
  } cases[] = {
      {Bytes(" a"), 1},                        // one space pair
      {Bytes("abcabcabcabc"), 5},              // three literals, one reference of 9
      {{0x80, 0x81}, 3},                       // one run of two
      {{0x01}, 2},                             // a control byte needs a run
      {Bytes("xxxxxxxxxxx"), 3},               // x, then distance 1 length 10
      {Bytes("x          "), 4},               // x, a space, then distance 1 length 9
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> stream = CompressOptimal(c.in.data(), c.in.size());
    EXPECT_EQ(stream.size(), c.bytes);
    EXPECT_EQ(Decode(stream, c.in.size()), c.in);
  }
}

TEST(Lz77Encoder, CountsEveryTokenKind) {
  std::vector<uint8_t> in = Bytes("hello hello hello");
  in.push_back(0xDC);
  std::vector<uint8_t> stream = CompressOptimal(in.data(), in.size());
  TokenCounts t = CountTokens(stream);
  EXPECT_GT(t.literals, 0u);
  EXPECT_EQ(t.literalRuns, 1u);
  EXPECT_GT(t.backReferences, 0u);
  EXPECT_GT(t.spacePairs, 0u);
}

}  // namespace
