// tovanel-bench: decoding the thirteen shipped text streams with our decoder
// and with libmobi's LZ77 decoder (same stream format), and the size the
// optimal and the greedy encoder make of the same texts.
//
// Before timing, both decoders must give byte-identical output on every
// stream and both encoders must round-trip; otherwise the run stops.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "content/text_resource.h"
#include "platform/memory.h"
#include "platform/resources.h"
#include "tools/pack/container.h"
#include "tools/pack/lz77_encoder.h"

#if TOVANEL_HAVE_LIBMOBI
// Not in libmobi's public header; the static library exports it. Returns 0 on
// success; *len_out is the output capacity on entry, the bytes written on return.
extern "C" int mobi_decompress_lz77(unsigned char* out, const unsigned char* in,
                                    size_t* len_out, const size_t len_in);
#endif

namespace {

constexpr uint16_t kTextIds[] = {1001, 1002, 1003, 1004, 1005, 1006, 1007,
                                 1008, 1009, 1010, 1011, 1012, 32767};

struct ShippedText {
  uint16_t id;
  std::vector<uint8_t> stream;
  uint32_t decodedLength;
  std::vector<uint8_t> decoded;  // filled by Verify()
};

std::vector<ShippedText> g_texts;
int64_t g_decodedBytes = 0;
uint32_t g_maxDecoded = 0;

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "tovanel-bench: %s\n", message.c_str());
  std::exit(EXIT_FAILURE);
}

void LoadShippedTexts() {
  for (uint16_t id : kTextIds) {
    plat::ResourceHandle res = plat::FindProgramResource(plat::ResTypeRawData, id);
    const uint8_t* data = plat::LoadProgramResource(res);
    if (!data) Fail("resource " + std::to_string(id) + " is missing");
    std::vector<uint8_t> file(data, data + plat::ResourceSize(res));
    ContainerInfo info;
    std::string error;
    if (!ParseContainer(file, &info, &error)) Fail(std::to_string(id) + ": " + error);
    g_texts.push_back({id, std::move(info.stream), info.decodedLength, {}});
    g_decodedBytes += info.decodedLength;
    if (info.decodedLength > g_maxDecoded) g_maxDecoded = info.decodedLength;
  }
}

std::vector<uint8_t> DecodeOurs(const uint8_t* stream, size_t size, uint32_t decodedLength) {
  int32_t error = 0;
  TextBuffer text =
      DecompressText(stream, static_cast<uint32_t>(size), decodedLength, &error);
  if (!text.bytes) return {};
  std::vector<uint8_t> out(text.bytes, text.bytes + text.length);
  ReleaseText(&text);
  return out;
}

// Both decoders must agree, and both encoders must give streams that decode
// back to the text, or the figures below would compare different work.
void Verify() {
  for (ShippedText& t : g_texts) {
    const std::string name = std::to_string(t.id);
    t.decoded = DecodeOurs(t.stream.data(), t.stream.size(), t.decodedLength);
    if (t.decoded.size() != t.decodedLength) Fail(name + ": our decoder fails on the stream");
#if TOVANEL_HAVE_LIBMOBI
    std::vector<uint8_t> theirs(t.decodedLength);
    size_t written = theirs.size();
    int rc = mobi_decompress_lz77(theirs.data(), t.stream.data(), &written, t.stream.size());
    if (rc != 0 || written != t.decodedLength || theirs != t.decoded) {
      Fail(name + ": libmobi's output differs from ours (return " + std::to_string(rc) +
           ", " + std::to_string(written) + " of " + std::to_string(t.decodedLength) +
           " bytes)");
    }
#endif
    for (auto* encode : {&CompressOptimal, &CompressGreedy}) {
      std::vector<uint8_t> stream = encode(t.decoded.data(), t.decoded.size());
      if (DecodeOurs(stream.data(), stream.size(), t.decodedLength) != t.decoded) {
        Fail(name + ": an encoder's stream does not decode back to the text");
      }
    }
  }
}

void PrintCompressionReport() {
  size_t decoded = 0, optimal = 0, greedy = 0;
  std::printf("Compressed sizes of the shipped texts (bytes)\n");
  std::printf("%8s %10s %10s %10s %9s\n", "resource", "decoded", "optimal", "greedy",
              "greedy/opt");
  for (const ShippedText& t : g_texts) {
    size_t o = CompressOptimal(t.decoded.data(), t.decoded.size()).size();
    size_t g = CompressGreedy(t.decoded.data(), t.decoded.size()).size();
    std::printf("%8u %10zu %10zu %10zu %9.3f\n", static_cast<unsigned>(t.id), t.decoded.size(),
                o, g, static_cast<double>(g) / static_cast<double>(o));
    decoded += t.decoded.size();
    optimal += o;
    greedy += g;
  }
  std::printf("%8s %10zu %10zu %10zu %9.3f\n", "total", decoded, optimal, greedy,
              static_cast<double>(greedy) / static_cast<double>(optimal));
  std::printf("optimal: %.1f%% of the text; greedy: %.1f%%; optimal saves %zu bytes (%.1f%%)\n\n",
              100.0 * static_cast<double>(optimal) / static_cast<double>(decoded),
              100.0 * static_cast<double>(greedy) / static_cast<double>(decoded),
              greedy - optimal,
              100.0 * static_cast<double>(greedy - optimal) / static_cast<double>(greedy));
}

// Our decoder as the reader calls it: each text into a buffer of its own.
void BM_DecodeOurs(benchmark::State& state) {
  for (auto _ : state) {
    for (const ShippedText& t : g_texts) {
      TextBuffer text = DecompressText(t.stream.data(), static_cast<uint32_t>(t.stream.size()),
                                       t.decodedLength, nullptr);
      benchmark::DoNotOptimize(text.bytes);
      benchmark::ClobberMemory();
      ReleaseText(&text);
    }
  }
  state.SetBytesProcessed(state.iterations() * g_decodedBytes);
}
BENCHMARK(BM_DecodeOurs);

#if TOVANEL_HAVE_LIBMOBI
// libmobi into one reused buffer: it is spared the allocation ours pays.
void BM_DecodeLibmobi(benchmark::State& state) {
  std::vector<uint8_t> out(g_maxDecoded);
  for (auto _ : state) {
    for (const ShippedText& t : g_texts) {
      size_t written = t.decodedLength;
      int rc = mobi_decompress_lz77(out.data(), t.stream.data(), &written, t.stream.size());
      benchmark::DoNotOptimize(rc);
      benchmark::ClobberMemory();
    }
  }
  state.SetBytesProcessed(state.iterations() * g_decodedBytes);
}
BENCHMARK(BM_DecodeLibmobi);
#endif

template <std::vector<uint8_t> (*Encode)(const uint8_t*, std::size_t)>
void BM_Compress(benchmark::State& state) {
  size_t streamBytes = 0;
  for (auto _ : state) {
    streamBytes = 0;
    for (const ShippedText& t : g_texts) {
      std::vector<uint8_t> stream = Encode(t.decoded.data(), t.decoded.size());
      streamBytes += stream.size();
      benchmark::DoNotOptimize(stream.data());
    }
  }
  state.SetBytesProcessed(state.iterations() * g_decodedBytes);
  state.counters["stream_bytes"] = static_cast<double>(streamBytes);
}
BENCHMARK(BM_Compress<CompressOptimal>)->Name("BM_CompressOptimal")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Compress<CompressGreedy>)->Name("BM_CompressGreedy")->Unit(benchmark::kMillisecond);

// Passes everything to the reporter chosen by --benchmark_format and keeps
// the decoders' throughputs for the ratio printed at the end.
class RateKeeper : public benchmark::BenchmarkReporter {
 public:
  explicit RateKeeper(benchmark::BenchmarkReporter* display) : display_(display) {}

  bool ReportContext(const Context& context) override { return display_->ReportContext(context); }
  void ReportRuns(const std::vector<Run>& runs) override {
    display_->ReportRuns(runs);
    for (const Run& run : runs) {
      auto rate = run.counters.find("bytes_per_second");
      if (run.run_type != Run::RT_Iteration || run.error_occurred || rate == run.counters.end()) {
        continue;
      }
      Mean& m = rates_[run.run_name.function_name];
      m.sum += rate->second.value;
      ++m.count;
    }
  }
  void Finalize() override { display_->Finalize(); }

  // Mean bytes per second over the runs of `name`; 0 when it did not run.
  double Rate(const std::string& name) const {
    auto it = rates_.find(name);
    return it == rates_.end() ? 0 : it->second.sum / it->second.count;
  }

 private:
  struct Mean {
    double sum = 0;
    int count = 0;
  };
  benchmark::BenchmarkReporter* display_;
  std::map<std::string, Mean> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  LoadShippedTexts();
  Verify();
#if TOVANEL_HAVE_LIBMOBI
  std::printf("Both decoders give identical output on all %zu streams (%lld bytes).\n\n",
              g_texts.size(), static_cast<long long>(g_decodedBytes));
#else
  std::printf("Built without libmobi: only our decoder is timed.\n\n");
#endif
  PrintCompressionReport();

  RateKeeper reporter(benchmark::CreateDefaultDisplayReporter());
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const double ours = reporter.Rate("BM_DecodeOurs");
  const double theirs = reporter.Rate("BM_DecodeLibmobi");
  if (ours > 0 && theirs > 0) {
    constexpr double kMiB = 1024.0 * 1024.0;  // the unit of the table's M/s
    std::printf("\nDecoding throughput: ours %.1f MiB/s, libmobi %.1f MiB/s, ours/libmobi %.2fx\n",
                ours / kMiB, theirs / kMiB, ours / theirs);
  }
  return 0;
}
