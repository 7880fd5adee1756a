// The scans over 64 MiB of two kinds of bytes, in which neither finds anything,
// so that they run to the end as they do on most recordings:
// - demo-like: frames as the game writes them, with a viewport that is none of
//   the eight modes;
// - recordings: the players' recordings in which neither scan finds anything,
//   one after another, repeated.
// The literal scans and the C library's memmem run over the same bytes.
#include <benchmark/benchmark.h>

#include <dirent.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "demo/demo_file.h"
#include "demo/signature_scan.h"
#include "tests/reference/literal_scan.h"
#include "tools/demo_writer.h"

namespace {

constexpr size_t kBenchBytes = 64u << 20;

const std::vector<uint8_t>& DemoLikeBytes() {
  static const std::vector<uint8_t> bytes = [] {
    DemoRecipe recipe;
    recipe.viewportWidth = 1440;
    recipe.viewportHeight = 1080;
    recipe.playbackFrames = FramesForSize(kBenchBytes);
    std::vector<uint8_t> demo = WriteDemo(recipe);
    demo.resize(kBenchBytes);
    return demo;
  }();
  return bytes;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  uint8_t chunk[65536];
  for (size_t got; (got = fread(chunk, 1, sizeof chunk, file)) > 0;) {
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  fclose(file);
  return bytes;
}

// Empty when there are no recordings.
const std::vector<uint8_t>& RecordingBytes() {
  static const std::vector<uint8_t> bytes = [] {
    std::vector<uint8_t> all;
    if (DIR* folder = opendir(QUENDRIX_CORPUS_DIR)) {
      while (dirent* entry = readdir(folder)) {
        std::string name = entry->d_name;
        if (name.size() < 4 || name.substr(name.size() - 4) != ".dem") continue;
        std::vector<uint8_t> file = ReadFile(std::string(QUENDRIX_CORPUS_DIR) + "/" + name);
        DemoScan scan = LiteralScanDemo(file.data(), file.size());
        if (strcmp(scan.width, "*") == 0 && !scan.isHltv)
          all.insert(all.end(), file.begin(), file.end());
      }
      closedir(folder);
    }
    if (all.empty()) return all;
    std::vector<uint8_t> repeated;
    while (repeated.size() < kBenchBytes) repeated.insert(repeated.end(), all.begin(), all.end());
    repeated.resize(kBenchBytes);
    return repeated;
  }();
  return bytes;
}

// Runs a scan over one data set; a missing data set skips the benchmark.
template <typename Scan>
void Measure(benchmark::State& state, const std::vector<uint8_t>& bytes, Scan scan) {
  if (bytes.empty()) {
    state.SkipWithError("no recordings at " QUENDRIX_CORPUS_DIR);
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(scan(bytes.data(), bytes.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

template <void (*Detect)(const uint8_t*, size_t, DemoScan*)>
DemoScan Only(const uint8_t* bytes, size_t size) {
  DemoScan scan = {"*", "*", false};
  Detect(bytes, size, &scan);
  return scan;
}

const void* Memmem(const uint8_t* bytes, size_t size) {
  // The marker counts only with a byte after it, as in the scan.
  return memmem(bytes, size - 1, kHltvSignature, sizeof kHltvSignature);
}

// As the inspector scans: window after window of its size, each ending where
// the scan asks the next to begin.
DemoScan ScanInWindows(const uint8_t* bytes, size_t size) {
  PieceScan scan;
  for (uint64_t offset = 0;;) {
    const size_t end = offset + kInspectWindowSize < size ? offset + kInspectWindowSize : size;
    const uint64_t keepFrom = ScanPiece(&scan, bytes + offset, end - offset, offset, end == size);
    if (end == size) break;
    offset = keepFrom;
  }
  return PieceScanResult(scan);
}

// ScanDemo on one sieve path, as a processor gets it whose widest path it is.
template <SievePath kPath>
DemoScan ScanDemoOn(const uint8_t* bytes, size_t size) {
  UseSievePath(kPath);
  DemoScan scan = ScanDemo(bytes, size);
  UseSievePath(WidestSievePath());
  return scan;
}

void Register(const char* data, const std::vector<uint8_t>& (*bytes)()) {
  auto add = [&](const char* scan, auto run) {
    benchmark::RegisterBenchmark(
        (std::string(scan) + "/" + data).c_str(),
        [bytes, run](benchmark::State& state) { Measure(state, bytes(), run); })
        ->Unit(benchmark::kMillisecond);
  };
  add("DetectResolution", Only<DetectResolution>);
  add("LiteralDetectResolution", Only<LiteralDetectResolution>);
  add("DetectHltv", Only<DetectHltv>);
  add("LiteralDetectHltv", Only<LiteralDetectHltv>);
  add("memmem (HLTV marker)", Memmem);
  add("ScanDemo (both, one pass)", ScanDemo);
  add("ScanPiece (the inspector's windows)", ScanInWindows);
  // The paths that this processor runs.
  if (UseSievePath(SievePath::kPlain)) add("ScanDemo, plain sieve", ScanDemoOn<SievePath::kPlain>);
  if (UseSievePath(SievePath::kSse2)) add("ScanDemo, SSE2 sieve", ScanDemoOn<SievePath::kSse2>);
  if (UseSievePath(SievePath::kAvx2)) add("ScanDemo, AVX2 sieve", ScanDemoOn<SievePath::kAvx2>);
  UseSievePath(WidestSievePath());
}

}  // namespace

int main(int argc, char** argv) {
  Register("demo-like", DemoLikeBytes);
  Register("recordings", RecordingBytes);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
