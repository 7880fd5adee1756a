// The scans over 64 MiB of two kinds of bytes, in which neither finds anything,
// so that they run to the end as they do on most recordings:
// - demo-like: frames as the game writes them, with a viewport that is none of
//   the eight modes;
// - recordings: the players' recordings in which neither scan finds anything,
//   one after another, repeated.
// The literal scans and the C library's memmem run over the same bytes.
// Then the structure walk over 64 MiB of frames: the demo-like ones, and the
// frames of the players' recordings of demo protocol 5, their playback parts
// one after another, repeated, and the demo-like frames under a crafted
// directory of segments that overlap. Last, the inspection of each recording of
// network protocol 48 with and without its messages read.
#include <benchmark/benchmark.h>

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "demo/demo_file.h"
#include "demo/demo_structure.h"
#include "demo/signature_scan.h"
#include "messages/demo_trim.h"
#include "messages/message_reader.h"
#include "tests/reference/literal_scan.h"
#include "tools/demo_writer.h"
#include "tools/message_writer.h"

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

// Each of the players' recordings, whole; none when there are none.
template <typename Use>
void ForEachRecording(Use use) {
  DIR* folder = opendir(QUENDRIX_CORPUS_DIR);
  if (folder == nullptr) return;
  while (dirent* entry = readdir(folder)) {
    std::string name = entry->d_name;
    if (name.size() < 4 || name.substr(name.size() - 4) != ".dem") continue;
    use(ReadFile(std::string(QUENDRIX_CORPUS_DIR) + "/" + name));
  }
  closedir(folder);
}

// Empty when there are no recordings.
const std::vector<uint8_t>& RecordingBytes() {
  static const std::vector<uint8_t> bytes = [] {
    std::vector<uint8_t> all;
    ForEachRecording([&](const std::vector<uint8_t>& file) {
      DemoScan scan = LiteralScanDemo(file.data(), file.size());
      if (strcmp(scan.width, "*") == 0 && !scan.isHltv)
        all.insert(all.end(), file.begin(), file.end());
    });
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

// The inspector's work on each window once it has been read: the scans and
// the frame walk. The pieces lie one after another in one buffer, so the
// bytes that each keeps from the one before are already in place (in a copy
// that the inspection may write, made once).
DemoScan InspectInPieces(const uint8_t* bytes, size_t size) {
  static std::vector<uint8_t> copy;
  static const uint8_t* copied = nullptr;
  if (copied != bytes) copy.assign(bytes, bytes + size), copied = bytes;
  DemoBuffer buffer = {copy.data(), copy.size()};
  PieceInspection inspection;
  StartPieceInspection(&inspection, size, ReadFromDemoBuffer, &buffer);
  for (size_t offset = 0; offset < size; offset += kInspectWindowSize) {
    const size_t piece = std::min(kInspectWindowSize, size - offset);
    InspectPiece(&inspection, copy.data() + offset, piece, offset + piece == size);
  }
  return PieceInspectionResult(inspection).scan;
}

// A scan on one sieve path, as a processor gets it whose widest path it is.
template <SievePath kPath, DemoScan (*Scan)(const uint8_t*, size_t)>
DemoScan On(const uint8_t* bytes, size_t size) {
  UseSievePath(kPath);
  DemoScan scan = Scan(bytes, size);
  UseSievePath(WidestSievePath());
  return scan;
}

// The header and loading part of the first recording of demo protocol 5, then
// the playback parts of all of them without their closing next-section frame,
// repeated, and no directory: the walk from the header's end covers it all.
const std::vector<uint8_t>& RecordingFrameBytes() {
  static const std::vector<uint8_t> bytes = [] {
    std::vector<uint8_t> start, playback;
    ForEachRecording([&](const std::vector<uint8_t>& file) {
      DemoStructure found = ReadDemoStructure(file.data(), file.size());
      if (found.demoProtocol != 5 || !found.intact) return;
      const RecordingParts& parts = found.parts;
      if (start.empty()) start.assign(file.begin(), file.begin() + parts.loadingEnd);
      playback.insert(playback.end(), file.begin() + parts.loadingEnd,
                      file.begin() + parts.playbackEnd - 9);
    });
    if (start.empty()) return start;
    std::fill(start.begin() + 540, start.begin() + 544, 0);
    std::vector<uint8_t> all = start;
    while (all.size() < kBenchBytes) all.insert(all.end(), playback.begin(), playback.end());
    return all;
  }();
  return bytes;
}

// The demo-like bytes with a directory of 1,024 segments that overlap, each
// starting 9 bytes after the one before and running to the directory.
const std::vector<uint8_t>& CraftedDirectoryBytes() {
  static const std::vector<uint8_t> bytes = [] {
    std::vector<uint8_t> demo = DemoLikeBytes();
    const uint32_t directory = static_cast<uint32_t>(demo.size());
    auto put = [&](uint32_t value) {
      for (int i = 0; i < 4; ++i) demo.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    put(1024);
    for (uint32_t k = 0; k < 1024; ++k) {
      const uint32_t offset = 544 + 9 * k;
      const size_t entry = demo.size();
      demo.resize(entry + 84, 0);
      demo[entry] = 1;
      memcpy(&demo[entry + 4], "Playback", 8);
      put(offset);
      put(directory - offset);
    }
    for (int i = 0; i < 4; ++i) demo[540 + i] = static_cast<uint8_t>(directory >> (8 * i));
    return demo;
  }();
  return bytes;
}

// As the inspector walks: window after window of its size, each beginning
// where the walk asks the next to begin.
int64_t WalkInWindows(const std::vector<uint8_t>& bytes) {
  DemoWalk walk;
  DemoBuffer buffer = {bytes.data(), bytes.size()};
  StartDemoWalk(&walk, bytes.size(), ReadFromDemoBuffer, &buffer);
  for (uint64_t offset = 0;;) {
    const size_t end = std::min<size_t>(offset + kInspectWindowSize, bytes.size());
    const uint64_t keepFrom = WalkPiece(&walk, bytes.data() + offset, end - offset, offset);
    if (end == bytes.size()) break;
    offset = keepFrom;
  }
  return DemoWalkResult(walk).frames;
}

void RegisterWalk(const char* data, const std::vector<uint8_t>& (*bytes)()) {
  benchmark::RegisterBenchmark((std::string("ReadDemoStructure (whole buffer)/") + data).c_str(),
                               [bytes](benchmark::State& state) {
                                 Measure(state, bytes(), [](const uint8_t* b, size_t n) {
                                   return ReadDemoStructure(b, n).frames;
                                 });
                               })
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(
      (std::string("WalkPiece (the inspector's windows)/") + data).c_str(),
      [bytes](benchmark::State& state) {
        const std::vector<uint8_t>& all = bytes();
        Measure(state, all, [&all](const uint8_t*, size_t) { return WalkInWindows(all); });
      })
      ->Unit(benchmark::kMillisecond);
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
  if (UseSievePath(SievePath::kPlain)) {
    add("ScanDemo, plain sieve", On<SievePath::kPlain, ScanDemo>);
  }
  if (UseSievePath(SievePath::kSse2)) {
    add("ScanDemo, SSE2 sieve", On<SievePath::kSse2, ScanDemo>);
    add("InspectPiece, SSE2 sieve", On<SievePath::kSse2, InspectInPieces>);
  }
  if (UseSievePath(SievePath::kAvx2)) {
    add("ScanDemo, AVX2 sieve", On<SievePath::kAvx2, ScanDemo>);
    add("InspectPiece, AVX2 sieve", On<SievePath::kAvx2, InspectInPieces>);
  }
  UseSievePath(WidestSievePath());
  add("InspectPiece (scans and walk in the inspector's windows)", InspectInPieces);
}

// A copy from a point of each demo's playback (a fraction of its
// duration), refused or written: what the trim writer costs, against what
// the message reader costs for the same. Near the end it reads the most
// into the client state.
template <typename Demos>
void RegisterTrim(const char* name, Demos demos, double point = 0.95) {
  benchmark::RegisterBenchmark(name, [demos, point](benchmark::State& state) {
    const std::vector<std::vector<uint8_t>> files = demos();
    if (files.empty()) state.SkipWithError("no recordings at " QUENDRIX_CORPUS_DIR);
    std::vector<double> cuts;
    for (const std::vector<uint8_t>& file : files) {
      cuts.push_back(InspectDemo(file.data(), file.size()).structure.duration * point);
    }
    size_t bytes = 0;
    for (auto _ : state) {
      for (size_t i = 0; i < files.size(); ++i) {
        std::vector<uint8_t> copy;
        std::string reason;
        benchmark::DoNotOptimize(
            TrimDemo(files[i].data(), files[i].size(), cuts[i], -1, &copy, &reason));
        bytes += files[i].size();
      }
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
  })->Unit(benchmark::kMillisecond);
}

// Demos of 200 frames whose blocks of 60,000 bytes each hold nothing but the
// messages that cost the reader most for their size, against which the
// recordings above are the ordinary case.
void RegisterCraftedMessages() {
  const int kEmpty = 64, kVariable = 65;
  const std::vector<uint8_t> loading =
      MessageBlock()
          .ServerInfo("valve", "host", "maps/qx.bsp", 32, 0)
          .NewUserMessage(kEmpty, 0, "Empty")
          .NewUserMessage(kVariable, 255, "Variable")
          .DeltaDescription("clientdata_t", std::vector<int>(56, 1))
          .bytes();
  const struct {
    const char* name;
    std::vector<uint8_t> message;
  } kinds[] = {
      {"svc_nop", {1}},
      {"empty entity updates", {41, 0, 0, 0, 0, 0}},
      {"user messages without a body", {kEmpty}},
      {"variable user messages", {kVariable, 0}},
      {"client data of 56 one-bit fields", MessageBlock().ClientData(~0ull >> 8, 1).bytes()},
  };
  for (const auto& kind : kinds) {
    std::vector<uint8_t> block;
    while (block.size() + kind.message.size() <= 60000) {
      block.insert(block.end(), kind.message.begin(), kind.message.end());
    }
    DemoRecipe recipe;
    recipe.playbackFrames = 200;
    recipe.loadingMessages = {loading};
    recipe.playbackMessages.assign(recipe.playbackFrames, block);
    auto demo = std::make_shared<std::vector<uint8_t>>(WriteDemo(recipe));
    benchmark::RegisterBenchmark(
        (std::string("InspectDemo with the message reader/crafted: ") + kind.name).c_str(),
        [demo](benchmark::State& state) {
          for (auto _ : state) {
            MessageReader reader;
            const WindowReader also = MessageWindowReader(&reader);
            benchmark::DoNotOptimize(InspectDemo(demo->data(), demo->size(), &also));
            benchmark::DoNotOptimize(MessageReaderResult(&reader));
          }
          state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * demo->size()));
        })
        ->Unit(benchmark::kMillisecond);
    RegisterTrim((std::string("TrimDemo near the end/crafted: ") + kind.name).c_str(),
                 [demo] { return std::vector<std::vector<uint8_t>>{*demo}; });
  }
}

// Each recording whose messages are read (network protocol 48), inspected
// whole as the window program does, without and with the message reader:
// the second is what --json and --details cost.
void RegisterMessages() {
  static std::vector<std::vector<uint8_t>> files;
  ForEachRecording([&](const std::vector<uint8_t>& file) {
    if (file.size() > 16 && file[12] == 48) files.push_back(file);
  });
  auto add = [](const char* name, bool withMessages) {
    benchmark::RegisterBenchmark(name, [withMessages](benchmark::State& state) {
      if (files.empty()) state.SkipWithError("no recordings at " QUENDRIX_CORPUS_DIR);
      size_t bytes = 0;
      for (auto _ : state) {
        for (const std::vector<uint8_t>& file : files) {
          MessageReader reader;
          const WindowReader also = MessageWindowReader(&reader);
          benchmark::DoNotOptimize(
              InspectDemo(file.data(), file.size(), withMessages ? &also : nullptr));
          if (withMessages) benchmark::DoNotOptimize(MessageReaderResult(&reader));
          bytes += file.size();
        }
      }
      state.SetBytesProcessed(static_cast<int64_t>(bytes));
    })->Unit(benchmark::kMillisecond);
  };
  add("InspectDemo/protocol-48 recordings", false);
  add("InspectDemo with the message reader/protocol-48 recordings", true);
  RegisterTrim(
      "TrimDemo at half/protocol-48 recordings", [] { return files; }, 0.5);
  RegisterTrim("TrimDemo near the end/protocol-48 recordings", [] { return files; });
  RegisterCraftedMessages();
}

}  // namespace

int main(int argc, char** argv) {
  Register("demo-like", DemoLikeBytes);
  Register("recordings", RecordingBytes);
  RegisterWalk("demo-like", DemoLikeBytes);
  RegisterWalk("recordings' frames", RecordingFrameBytes);
  RegisterWalk("crafted directory", CraftedDirectoryBytes);
  RegisterMessages();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
