// The map preview of the largest real maps, step by step: reading the file
// into memory (the baseline: what any reader of it pays), reading its floors,
// drawing them at the window's size, and all three as the window does them.
#include <benchmark/benchmark.h>

#include <string>

#include "demo/demo_file.h"
#include "map/map_floors.h"
#include "map/map_picture.h"

namespace {

DemoBytes ReadMap(benchmark::State& state, const std::string& path) {
  DemoBytes file;
  if (ReadDemoFile(path.c_str(), &file) != DemoFileStatus::kRead) state.SkipWithError("no map");
  return file;
}

void Register(const char* file) {
  const std::string path = std::string(QUENDRIX_MAP_DIR) + "/" + file;
  auto add = [&](const char* step, void (*run)(benchmark::State&, const std::string&)) {
    benchmark::RegisterBenchmark((std::string(step) + "/" + file).c_str(),
                                 [path, run](benchmark::State& state) { run(state, path); })
        ->Unit(benchmark::kMillisecond);
  };
  add("ReadFile (the baseline)", [](benchmark::State& state, const std::string& path) {
    for (auto _ : state) benchmark::DoNotOptimize(ReadMap(state, path).bytes);
  });
  add("ReadMapFloors", [](benchmark::State& state, const std::string& path) {
    DemoBytes file = ReadMap(state, path);
    for (auto _ : state) {
      MapFloors floors;
      benchmark::DoNotOptimize(ReadMapFloors(file.bytes.get(), file.size, &floors));
    }
  });
  add("DrawMapFloors 253x193", [](benchmark::State& state, const std::string& path) {
    DemoBytes file = ReadMap(state, path);
    MapFloors floors;
    ReadMapFloors(file.bytes.get(), file.size, &floors);
    for (auto _ : state)
      benchmark::DoNotOptimize(DrawMapFloors(floors, kPreviewWidth, kPreviewHeight));
  });
  add("MapPreview (all three)", [](benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
      DemoBytes file = ReadMap(state, path);
      MapFloors floors;
      ReadMapFloors(file.bytes.get(), file.size, &floors);
      benchmark::DoNotOptimize(DrawMapFloors(floors, kPreviewWidth, kPreviewHeight));
    }
  });
}

const bool registered = [] {
  Register("de_nuke.bsp");
  Register("de_dust2.bsp");
  return true;
}();

}  // namespace
