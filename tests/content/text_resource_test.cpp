#include "content/text_resource.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "content/article_text.h"
#include "platform/memory.h"
#include "platform/message_box.h"
#include "platform/resources.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int32_t kUntouched = 0x5A5A;

// A heap block of exactly the given bytes, so that AddressSanitizer reports
// any read past the end.
class ExactBlock {
 public:
  explicit ExactBlock(const Bytes& bytes) : size_(bytes.size()), data_(new uint8_t[bytes.size()]) {
    for (std::size_t i = 0; i < size_; ++i) data_[i] = bytes[i];
  }
  const uint8_t* data() const { return data_.get(); }
  uint32_t size() const { return static_cast<uint32_t>(size_); }

 private:
  std::size_t size_;
  std::unique_ptr<uint8_t[]> data_;
};

// An RCDATA resource that shadows a shipped one for the life of the object.
class ShadowResource {
 public:
  ShadowResource(uint16_t id, const Bytes& bytes)
      : block_(bytes), record_{plat::ResTypeRawData, id, block_.data(), block_.size()} {
    plat::RegisterResourceTable(&record_, 1);
  }
  ~ShadowResource() { plat::UnregisterResourceTable(&record_); }
  ShadowResource(const ShadowResource&) = delete;
  ShadowResource& operator=(const ShadowResource&) = delete;

 private:
  ExactBlock block_;
  plat::ResourceRecord record_;
};

void PutWord(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

// Payload (after the 6-byte header): C, U, stream, optional zero trailer.
Bytes Payload(uint32_t C, uint32_t U, const Bytes& stream, bool trailer = true) {
  Bytes out;
  PutWord(out, C);
  PutWord(out, U);
  out.insert(out.end(), stream.begin(), stream.end());
  if (trailer) out.insert(out.end(), 4, 0);
  return out;
}

Bytes Container(uint32_t L, const Bytes& payload) {
  Bytes out;
  PutWord(out, L);
  PutWord(out, 7);
  PutWord(out, 7);
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

// The usual container: L = C + 8, as the packer writes it.
Bytes Container(uint32_t C, uint32_t U, const Bytes& stream) {
  return Container(C + 8, Payload(C, U, stream));
}

Bytes Truncated(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

std::string AsString(const TextBuffer& t) {
  return std::string(reinterpret_cast<const char*>(t.bytes), t.length);
}

// Success (code 0) leaves the error untouched and gives `expected`; a
// failure gives no buffer and stores `code`. Releases the buffer.
void ExpectOutcome(TextBuffer* t, int32_t error, int32_t code, const std::string& expected) {
  if (code == 0) {
    ASSERT_NE(t->bytes, nullptr);
    EXPECT_EQ(AsString(*t), expected);
    EXPECT_EQ(error, kUntouched);
    ReleaseText(t);
  } else {
    EXPECT_EQ(t->bytes, nullptr);
    EXPECT_EQ(error, code);
  }
}

class TextResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetMessageBoxEcho(false);
    plat::TakeShownMessages();
    liveBefore_ = plat::MemLiveBlocks();
  }
  void TearDown() override {
    plat::MemFailAfter(-1);
    plat::TakeShownMessages();
    EXPECT_EQ(plat::MemLiveBlocks(), liveBefore_) << "blocks leaked";
  }

  // Decodes `stream` (held in an exact-size block) into U bytes.
  TextBuffer Decode(const Bytes& stream, uint32_t U, int32_t* error) {
    ExactBlock in(stream);
    return DecompressText(in.data(), in.size(), U, error);
  }

  static void ExpectStreamErrorMessage() {
    auto shown = plat::TakeShownMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, u"UnCompress() buffer error!");
    EXPECT_EQ(shown[0].owner, nullptr);
    EXPECT_TRUE(shown[0].caption.empty()) << "the platform's default caption is expected";
    EXPECT_EQ(shown[0].flags, plat::MsgBoxOk);
  }

  static void ExpectNoMessage() { EXPECT_TRUE(plat::TakeShownMessages().empty()); }

  long liveBefore_ = 0;
};

// --- Decoder: one case per token kind and per early-stop rule ----------------

struct DecodeCase {
  const char* name;
  Bytes stream;
  uint32_t U;
  std::string expected;
};

TEST_F(TextResourceTest, DecodesEveryTokenKind) {
  const DecodeCase cases[] = {
      {"literal 0x00", {0x00}, 1, std::string(1, '\0')},
      {"literals 0x09 and 0x7F", {0x09, 'A', 0x7F}, 3, "\x09" "A\x7F"},
      {"literal run of 1", {0x01, 0xC5}, 1, "\xC5"},
      {"literal run of 8 copies token bytes unchanged",
       {0x08, 0x00, 0x01, 0x08, 0x80, 0xBF, 0xC0, 0xFF, 'z'},
       8,
       std::string("\x00\x01\x08\x80\xBF\xC0\xFF" "z", 8)},
      {"back-reference distance 3 length 3", {'a', 'b', 'c', 0x80, 0x18}, 6, "abcabc"},
      {"back-reference distance 3 length 10", {'a', 'b', 'c', 0x80, 0x1F}, 13, "abcabcabcabca"},
      {"overlapping distance 1 length 10", {'x', 0x80, 0x0F}, 11, std::string(11, 'x')},
      {"overlapping distance 2 length 5", {'a', 'b', 0x80, 0x12}, 7, "abababa"},
      {"space pair 0xC0", {0xC0}, 2, " @"},
      {"space pair 0xFF", {'a', 0xFF}, 3, "a \x7F"},
      {"mixed stream", {0x02, 'h', 'i', 0xE1, 0x80, 0x1C, '!'}, 12, "hi ai ai ai!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int32_t error = kUntouched;
    TextBuffer t = Decode(c.stream, c.U, &error);
    ExpectOutcome(&t, error, 0, c.expected);
  }
  ExpectNoMessage();
}

// Decoding stops the moment U bytes exist; the rest of the token and any
// further input are ignored.
TEST_F(TextResourceTest, StopsAtExactlyUBytes) {
  const DecodeCase cases[] = {
      {"space of a space pair is the U-th byte", {'a', 0xC1}, 2, "a "},
      {"space pair alone, U = 1", {0xC1}, 1, " "},
      {"surplus input ignored", {'a', 'b', 'c', 0xFF, 0x80}, 2, "ab"},
      {"literal run cut by U", {0x05, 'a', 'b', 'c', 'd', 'e'}, 2, "ab"},
      {"literal run cut by U before the input ends", {0x05, 'a', 'b'}, 2, "ab"},
      {"back-reference cut by U", {'x', 0x80, 0x0F}, 4, "xxxx"},
      {"U reached before a cut-off back-reference", {'a', 'b', 0x80}, 2, "ab"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int32_t error = kUntouched;
    TextBuffer t = Decode(c.stream, c.U, &error);
    ASSERT_NE(t.bytes, nullptr);
    EXPECT_EQ(t.bytes[c.U], 0);
    ExpectOutcome(&t, error, 0, c.expected);
  }
  ExpectNoMessage();
}

TEST_F(TextResourceTest, MalformedOrShortStreamFailsWithMessage) {
  const DecodeCase cases[] = {
      {"input used up before U bytes", {'a'}, 2, ""},
      {"empty input", {}, 1, ""},
      {"literal run cut off by the end of the input", {0x03, 'a'}, 3, ""},
      {"back-reference without its second byte", {'a', 0x80}, 4, ""},
      {"back-reference before the output start", {'a', 0x80, 0x10}, 4, ""},
      {"back-reference as the first token", {0x80, 0x0F}, 10, ""},
      {"back-reference with distance 0", {'a', 0x80, 0x07}, 11, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int32_t error = kUntouched;
    TextBuffer t = Decode(c.stream, c.U, &error);
    EXPECT_EQ(t.bytes, nullptr);
    EXPECT_EQ(error, LoadErrorStream);
    ExpectStreamErrorMessage();
  }
}

// Distances take the low 6 bits of the first byte and the top 5 of the second.
TEST_F(TextResourceTest, BackReferenceDistanceSpansBothBytes) {
  for (uint32_t distance : {300u, 1024u, 2047u}) {
    SCOPED_TRACE(distance);
    Bytes stream;
    std::string expected;
    for (uint32_t i = 0; i < distance; i += 8) {
      stream.push_back(0x08);
      for (uint32_t k = 0; k < 8; ++k) {
        auto b = static_cast<uint8_t>((i + k) * 7 + (i + k) / 256);
        stream.push_back(b);
        expected.push_back(static_cast<char>(b));
      }
    }
    const uint32_t v = (distance << 3) | 4;  // length 7
    stream.push_back(static_cast<uint8_t>(0x80 | (v >> 8)));
    stream.push_back(static_cast<uint8_t>(v));
    const std::size_t from = expected.size() - distance;
    expected += expected.substr(from, 7);

    TextBuffer t = Decode(stream, static_cast<uint32_t>(expected.size()), nullptr);
    ASSERT_NE(t.bytes, nullptr);
    EXPECT_EQ(AsString(t), expected);
    ReleaseText(&t);
  }
}

// Random well-formed streams, built token by token together with the bytes
// they must decode to; long enough to leave any bulk-copy path and re-enter
// the byte-exact end of the stream.
struct GeneratedStream {
  Bytes stream;
  std::string decoded;
};

GeneratedStream GenerateStream(uint32_t seed, std::size_t size) {
  std::mt19937 rng(seed);
  GeneratedStream g;
  auto& in = g.stream;
  auto& out = g.decoded;
  while (out.size() < size) {
    switch (rng() % 6) {
      case 0: {  // single literal: 0x00 or 0x09..0x7F
        auto b = static_cast<uint8_t>(rng() % 8 == 0 ? 0 : 0x09 + rng() % (0x80 - 0x09));
        in.push_back(b);
        out.push_back(static_cast<char>(b));
        break;
      }
      case 1: {
        uint32_t n = 1 + rng() % 8;
        in.push_back(static_cast<uint8_t>(n));
        for (uint32_t k = 0; k < n; ++k) {
          auto b = static_cast<uint8_t>(rng());
          in.push_back(b);
          out.push_back(static_cast<char>(b));
        }
        break;
      }
      case 2: {
        auto b = static_cast<uint8_t>(0x40 + rng() % 0x40);
        in.push_back(static_cast<uint8_t>(b ^ 0x80));
        out.push_back(' ');
        out.push_back(static_cast<char>(b));
        break;
      }
      default: {
        if (out.empty()) break;
        uint32_t maxDistance = out.size() < 2047 ? static_cast<uint32_t>(out.size()) : 2047;
        uint32_t distance = rng() % 4 == 0 ? 1 + rng() % 3 : 1 + rng() % maxDistance;
        if (distance > maxDistance) distance = maxDistance;
        uint32_t length = 3 + rng() % 8;
        uint32_t v = (distance << 3) | (length - 3);
        in.push_back(static_cast<uint8_t>(0x80 | (v >> 8)));
        in.push_back(static_cast<uint8_t>(v));
        for (uint32_t k = 0; k < length; ++k) out.push_back(out[out.size() - distance]);
        break;
      }
    }
  }
  return g;
}

TEST_F(TextResourceTest, RandomStreamsDecodeExactly) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    GeneratedStream g = GenerateStream(seed, 500 + seed * 3000);
    const auto U = static_cast<uint32_t>(g.decoded.size());

    int32_t error = kUntouched;
    TextBuffer t = Decode(g.stream, U, &error);
    ASSERT_NE(t.bytes, nullptr);
    EXPECT_TRUE(AsString(t) == g.decoded) << "decoded bytes differ";
    EXPECT_EQ(t.bytes[U], 0);
    EXPECT_EQ(t.bytes[U + 1], 0);
    ReleaseText(&t);

    // One byte short of the whole output: stops inside the last token.
    t = Decode(g.stream, U - 1, &error);
    ASSERT_NE(t.bytes, nullptr);
    EXPECT_TRUE(AsString(t) == g.decoded.substr(0, U - 1));
    ReleaseText(&t);

    // One byte more than the stream holds: the input runs out.
    t = Decode(g.stream, U + 1, &error);
    EXPECT_EQ(t.bytes, nullptr);
    EXPECT_EQ(error, LoadErrorStream);
    ExpectStreamErrorMessage();
  }
}

// Output cut short with plenty of input left, and input cut anywhere: the
// decoder must stop exactly at U and never read past the C bytes it has.
TEST_F(TextResourceTest, RandomStreamsCutAnywhere) {
  GeneratedStream g = GenerateStream(42, 1500);
  const auto U = static_cast<uint32_t>(g.decoded.size());
  const auto C = static_cast<uint32_t>(g.stream.size());

  for (uint32_t u = 1; u < U; ++u) {
    TextBuffer t = Decode(g.stream, u, nullptr);
    ASSERT_NE(t.bytes, nullptr) << "U = " << u;
    const bool same = std::memcmp(t.bytes, g.decoded.data(), u) == 0;
    ReleaseText(&t);
    ASSERT_TRUE(same) << "U = " << u;
  }

  for (uint32_t c = 0; c < C; ++c) {
    int32_t error = kUntouched;
    TextBuffer t = Decode(Bytes(g.stream.begin(), g.stream.begin() + c), U, &error);
    ASSERT_EQ(t.bytes, nullptr) << "C = " << c;
    ASSERT_EQ(error, LoadErrorStream) << "C = " << c;
  }
  EXPECT_EQ(plat::TakeShownMessages().size(), C);
}

TEST_F(TextResourceTest, TwoZeroBytesFollowTheText) {
  TextBuffer t = Decode({0x03, 'a', 'b', 'c'}, 3, nullptr);
  ASSERT_NE(t.bytes, nullptr);
  EXPECT_EQ(t.length, 3u);
  EXPECT_EQ(t.bytes[3], 0);
  EXPECT_EQ(t.bytes[4], 0);
  ReleaseText(&t);
  EXPECT_EQ(t.bytes, nullptr);
  EXPECT_EQ(t.length, 0u);
}

TEST_F(TextResourceTest, DecompressErrorsWithoutMessage) {
  int32_t error = kUntouched;
  TextBuffer t = Decode({'a'}, 0, &error);
  EXPECT_EQ(t.bytes, nullptr);
  EXPECT_EQ(error, LoadErrorEmpty);

  plat::MemFailAfter(0);
  error = kUntouched;
  t = Decode({'a'}, 1, &error);
  plat::MemFailAfter(-1);
  EXPECT_EQ(t.bytes, nullptr);
  EXPECT_EQ(error, LoadErrorNoData);
  ExpectNoMessage();
}

TEST_F(TextResourceTest, ErrorsWithoutAPlaceForTheCode) {
  EXPECT_EQ(Decode({'a'}, 2, nullptr).bytes, nullptr);
  ExpectStreamErrorMessage();
  EXPECT_EQ(Decode({'a'}, 0, nullptr).bytes, nullptr);
  EXPECT_EQ(LoadTextResource(13, nullptr).bytes, nullptr);
  ExpectNoMessage();
}

// --- UnpackResource: the 4-byte payload header -------------------------------

struct UnpackCase {
  const char* name;
  Bytes payload;
  uint32_t L;
  int32_t code;  // 0: success
  std::string expected;
};

TEST_F(TextResourceTest, UnpackChecksThePayloadHeader) {
  const UnpackCase cases[] = {
      {"minimal payload, L = 5", Payload(1, 1, {'z'}, false), 5, 0, "z"},
      {"L = 4", Payload(1, 1, {'z'}), 4, LoadErrorBadHeader, ""},
      {"L = 0", Payload(1, 1, {'z'}), 0, LoadErrorBadHeader, ""},
      {"C = 0", Payload(0, 1, {'z'}), 12, LoadErrorBadHeader, ""},
      {"U = 0", Payload(1, 0, {'z'}), 12, LoadErrorEmpty, ""},
      {"C = 0 is checked before U = 0", Payload(0, 0, {'z'}), 12, LoadErrorBadHeader, ""},
      {"C one past the bytes present", Payload(2, 1, {'z'}, false), 6, LoadErrorBadHeader, ""},
      {"C far past the bytes present", Payload(0xFFFF, 3, {'z'}), 0xFFFF, LoadErrorBadHeader, ""},
      {"fewer than 4 payload bytes", {0x00, 0x01, 0x00}, 9, LoadErrorBadHeader, ""},
      {"bounds come from C, not from L", Payload(3, 3, {'a', 'b', 'c'}, false), 5, 0, "abc"},
      {"L larger than the payload", Payload(1, 1, {'q'}), 0xFFFF, 0, "q"},
      {"stream too short for U", Payload(1, 4, {'q'}), 9, LoadErrorStream, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExactBlock block(c.payload);
    int32_t error = kUntouched;
    TextBuffer t = UnpackResource(block.data(), c.L, block.size(), &error);
    ExpectOutcome(&t, error, c.code, c.expected);
    plat::TakeShownMessages();
  }
}

// --- LoadTextResource ---------------------------------------------------------

TEST_F(TextResourceTest, NumbersBelowOneStoreNothing) {
  for (int32_t number : {0, -1, -1000, INT32_MIN}) {
    SCOPED_TRACE(number);
    int32_t error = kUntouched;
    EXPECT_EQ(LoadTextResource(number, &error).bytes, nullptr);
    EXPECT_EQ(error, kUntouched);
  }
  ExpectNoMessage();
}

TEST_F(TextResourceTest, MissingResourceIsCodeOne) {
  for (int32_t number : {13, 31766, 31768, 64536 /* id 0 */}) {
    SCOPED_TRACE(number);
    int32_t error = kUntouched;
    EXPECT_EQ(LoadTextResource(number, &error).bytes, nullptr);
    EXPECT_EQ(error, LoadErrorNotFound);
  }
  ExpectNoMessage();
}

struct ShadowCase {
  const char* name;
  Bytes resource;
  int32_t code;  // 0: success
  std::string expected;
};

TEST_F(TextResourceTest, ShadowedMalformedResources) {
  const ShadowCase cases[] = {
      {"well-formed", Container(4, 3, {0x01, 0x01, 'O', 'K'}), 0, "\x01OK"},
      {"L = 5 and no trailer", Container(5, Payload(1, 2, {0xC1}, false)), 0, " A"},
      {"empty resource", {}, LoadErrorNoData, ""},
      {"shorter than the container header", {0x00, 0x09, 0x00}, LoadErrorBadHeader, ""},
      {"header only", {0x00, 0x09, 0x00, 0x03, 0x00, 0x03}, LoadErrorBadHeader, ""},
      {"payload header cut off", {0x00, 0x09, 0x00, 0x03, 0x00, 0x03, 0x00, 0x01, 0x00},
       LoadErrorBadHeader, ""},
      {"L = 4", Container(4, Payload(1, 1, {'a'})), LoadErrorBadHeader, ""},
      {"C = 0", Container(0, 1, {'a'}), LoadErrorBadHeader, ""},
      {"U = 0", Container(1, 0, {'a'}), LoadErrorEmpty, ""},
      {"C beyond the resource", Container(9, Payload(6, 6, {'a'})), LoadErrorBadHeader, ""},
      {"truncated resource", Truncated(Container(4, 8, {0x08, 'a', 'b', 'c'}), 12),
       LoadErrorBadHeader, ""},
      {"stream ends early", Container(1, 2, {'a'}), LoadErrorStream, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ShadowResource shadow(1003, c.resource);
    int32_t error = kUntouched;
    TextBuffer t = LoadTextResource(3, &error);
    ExpectOutcome(&t, error, c.code, c.expected);
    if (c.code == LoadErrorStream) {
      ExpectStreamErrorMessage();
    } else {
      ExpectNoMessage();
    }
  }
}

// The resource id is (number + 1000) taken to 16 bits.
TEST_F(TextResourceTest, ResourceIdWrapsToSixteenBits) {
  ShadowResource shadow(464, Container(2, 2, {'i', 'd'}));
  TextBuffer t = LoadTextResource(65000, nullptr);
  ASSERT_NE(t.bytes, nullptr);
  EXPECT_EQ(AsString(t), "id");
  ReleaseText(&t);

  TextBuffer one = LoadTextResource(1, nullptr);
  TextBuffer wrapped = LoadTextResource(1 + 65536, nullptr);
  ASSERT_NE(one.bytes, nullptr);
  ASSERT_NE(wrapped.bytes, nullptr);
  EXPECT_EQ(AsString(one), AsString(wrapped));
  ReleaseText(&one);
  ReleaseText(&wrapped);
}

TEST_F(TextResourceTest, LargestNumberWrapsLikeAnyOther) {
  int32_t error = kUntouched;
  // (2^31 - 1 + 1000) mod 2^16 = 999: no such resource.
  EXPECT_EQ(LoadTextResource(INT32_MAX, &error).bytes, nullptr);
  EXPECT_EQ(error, LoadErrorNotFound);
}

TEST_F(TextResourceTest, AllocationFailureLeaksNothing) {
  plat::MemFailAfter(0);
  int32_t error = kUntouched;
  TextBuffer t = LoadTextResource(1, &error);
  plat::MemFailAfter(-1);
  EXPECT_EQ(t.bytes, nullptr);
  EXPECT_EQ(error, LoadErrorNoData);
  ExpectNoMessage();
  // TearDown compares the live block count with the one before the test.
}

// The contents list: entries of id (LSB first), style, level and a
// zero-terminated title, ended by five zero bytes.
TEST_F(TextResourceTest, ContentsListHasTwelveArticleEntries) {
  int32_t error = kUntouched;
  TextBuffer t = LoadTextResource(ContentsResourceNumber, &error);
  ASSERT_NE(t.bytes, nullptr);
  EXPECT_EQ(error, kUntouched);

  uint32_t p = 0;
  for (uint16_t n = 1; n <= 12; ++n) {
    SCOPED_TRACE(n);
    ASSERT_LT(p + 5, t.length);
    EXPECT_EQ(t.bytes[p] | (t.bytes[p + 1] << 8), 0x4000 + n);
    EXPECT_EQ(t.bytes[p + 2], 0x81);
    EXPECT_EQ(t.bytes[p + 3], 1);
    uint32_t q = p + 4;
    while (q < t.length && t.bytes[q] != 0) ++q;
    ASSERT_LT(q, t.length);
    EXPECT_GT(q, p + 4) << "empty title";
    p = q + 1;
  }
  ASSERT_EQ(t.length, p + 5) << "five zero bytes end the list";
  for (uint32_t i = p; i < t.length + 2; ++i) EXPECT_EQ(t.bytes[i], 0) << i;
  ReleaseText(&t);

  // The same resource through the 16-bit wrap of the id.
  t = LoadTextResource(ContentsResourceNumber + 65536, nullptr);
  EXPECT_NE(t.bytes, nullptr);
  ReleaseText(&t);
}

// Every shipped article: a title record first, then right-to-left text
// records in ArticleCode, none of which would read as a continuation record,
// then the end marker and two zero bytes inside the decoded length.
TEST_F(TextResourceTest, AllShippedResourcesLoad) {
  for (int32_t number = 1; number <= kArticleCount; ++number) {
    SCOPED_TRACE(number);
    int32_t error = kUntouched;
    TextBuffer t = LoadTextResource(number, &error);
    ASSERT_NE(t.bytes, nullptr);
    EXPECT_EQ(error, kUntouched);
    ASSERT_GE(t.length, 3u);
    EXPECT_EQ(t.bytes[t.length], 0);
    EXPECT_EQ(t.bytes[t.length + 1], 0);

    const uint32_t size = t.length + 2;
    ParagraphRecord r{};
    uint32_t offset = 0;
    int records = 0;
    while (ReadRecord(t.bytes, size, offset, &r)) {
      SCOPED_TRACE(records);
      if (records == 0) {
        EXPECT_EQ(r.style, TitleStyle);
      }
      EXPECT_NE(r.style & StyleRightToLeft, 0);
      EXPECT_FALSE(StyleSeparator(r.style));
      ASSERT_GT(r.textLength, 0u);
      if (MetricsHangingFactor(r.metrics) != 0) {
        EXPECT_NE(t.bytes[r.textOffset], ' ') << "would continue the previous record";
      }
      for (uint32_t i = r.textOffset; i < r.textOffset + r.textLength; ++i) {
        ASSERT_TRUE(t.bytes[i] >= 16 && t.bytes[i] <= 123) << "byte " << int{t.bytes[i]} << " at " << i;
      }
      offset = r.next;
      ++records;
    }
    EXPECT_GT(records, 1);
    EXPECT_EQ(offset, t.length - 3) << "end marker and two zero bytes end the text";
    ReleaseText(&t);
  }
  TextBuffer contents = LoadTextResource(ContentsResourceNumber, nullptr);
  EXPECT_NE(contents.bytes, nullptr);
  ReleaseText(&contents);
  ExpectNoMessage();
}

}  // namespace
