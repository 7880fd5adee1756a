// The two scans over 64 MiB of demo-like bytes: frames as the game writes them,
// with a viewport that is none of the eight modes and no HLTV marker, so that
// both scans run to the end as they do on most real recordings.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "demo/signature_scan.h"
#include "tests/reference/literal_scan.h"
#include "tools/demo_writer.h"

namespace {

const std::vector<uint8_t>& DemoLikeBytes() {
  static const std::vector<uint8_t> bytes = [] {
    DemoRecipe recipe;
    recipe.viewportWidth = 1440;
    recipe.viewportHeight = 1080;
    recipe.playbackFrames = FramesForSize(64u << 20);
    std::vector<uint8_t> demo = WriteDemo(recipe);
    demo.resize(64u << 20);
    return demo;
  }();
  return bytes;
}

template <void (*Scan)(const uint8_t*, size_t, DemoScan*)>
void BM_Scan(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = DemoLikeBytes();
  for (auto _ : state) {
    DemoScan scan = {"*", "*", false};
    Scan(bytes.data(), bytes.size(), &scan);
    benchmark::DoNotOptimize(scan);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_Memmem(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = DemoLikeBytes();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        memmem(bytes.data(), bytes.size() - 1, kHltvSignature, sizeof kHltvSignature));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

BENCHMARK(BM_Scan<DetectResolution>)->Name("DetectResolution")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scan<LiteralDetectResolution>)
    ->Name("LiteralDetectResolution")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scan<DetectHltv>)->Name("DetectHltv")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scan<LiteralDetectHltv>)->Name("LiteralDetectHltv")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memmem)->Name("memmem (HLTV marker)")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
