// The map preview of the largest real maps, step by step: reading the file
// into memory (the baseline: what any reader of it pays), reading its floors,
// drawing them at the window's size, and all three as the window does them.
// Then maps crafted to cost more than their size, against the real maps of
// about the same size (the baseline), each read from memory and drawn at the
// window's size and at the largest.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "demo/demo_file.h"
#include "map/map_floors.h"
#include "map/map_picture.h"
#include "tools/map_writer.h"

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

// About 2 MB each, as de_dust2 and de_nuke are.
MapRecipe OneTextureManyEntries() {
  MapRecipe recipe;
  // The smallest level of an 8192 x 8192 texture alone: 1 MiB of pixels.
  recipe.textures = {{"huge", true, {200, 100, 40}, {100, 60, 20}, 8192, true}};
  for (size_t i = 0; i < 6000; ++i) {
    if (i > 0) recipe.textures.emplace_back().sameAs = 0;
    const float x = float(i % 100) * 16, y = float(i / 100) * 16;
    recipe.faces.push_back(FloorRectangle(x, y, x + 12, y + 12, float(i % 7), i));
  }
  return recipe;
}

MapRecipe FloorsOverEachOther() {
  MapRecipe recipe;
  for (int i = 0; i < 10000; ++i) recipe.faces.push_back(FloorRectangle(0, 0, 4096, 4096, i % 999));
  return recipe;
}

// Points, lines and faces of a sixteenth of a unit over the map.
MapRecipe TinyAndDegenerate() {
  MapRecipe recipe;
  for (int i = 0; i < 16000; ++i) {
    const float x = float(i % 127) * 32, y = float(i / 127) * 32;
    MapFaceRecipe face;
    if (i % 3 == 0) face.points = {{x, y, 0}, {x, y, 0}, {x, y, 0}, {x, y, 0}};
    if (i % 3 == 1) face.points = {{x, y, 0}, {x + 1, y + 1, 0}, {x + 2, y + 2, 0}};
    if (i % 3 == 2) face.points = {{x, y, 0}, {x, y + 0.0625f, 0}, {x + 0.0625f, y, 0}};
    recipe.faces.push_back(face);
  }
  recipe.faces.push_back(FloorRectangle(0, 0, 4096, 4096, -64));
  return recipe;
}

// Thin slanted faces across the whole map, four at each unit of the first
// 4,000: each crosses every row and covers next to nothing, so that every row
// of each is scanned, the most a face costs.
MapRecipe SliversAcross() {
  MapRecipe recipe;
  for (int i = 0; i < 16000; ++i) {
    const float x = float(i % 4000);
    MapFaceRecipe face;
    face.points = {{x, 0, 0}, {x + 1024.3f, 4096, 0}, {x + 1024, 4096, 0}};
    recipe.faces.push_back(face);
  }
  return recipe;
}

void RegisterReadAndDraw(const std::string& name, const std::vector<uint8_t>& map) {
  for (const auto& [width, height] : {std::pair{kPreviewWidth, kPreviewHeight},
                                      std::pair{kLargestPictureSide, kLargestPictureSide}}) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    benchmark::RegisterBenchmark(("ReadMapFloors and DrawMapFloors " + size + "/" + name).c_str(),
                                 [map, width = width, height = height](benchmark::State& state) {
                                   if (map.empty()) state.SkipWithError("no map");
                                   for (auto _ : state) {
                                     MapFloors floors;
                                     ReadMapFloors(map.data(), map.size(), &floors);
                                     benchmark::DoNotOptimize(DrawMapFloors(floors, width, height));
                                   }
                                 })
        ->Unit(benchmark::kMillisecond);
  }
}

const bool registered = [] {
  Register("de_nuke.bsp");
  Register("de_dust2.bsp");
  for (const char* file : {"de_nuke.bsp", "de_dust2.bsp"}) {
    DemoBytes real;
    ReadDemoFile((std::string(QUENDRIX_MAP_DIR) + "/" + file).c_str(), &real);
    RegisterReadAndDraw(file, std::vector<uint8_t>(real.bytes.get(), real.bytes.get() + real.size));
  }
  const struct {
    const char* name;
    MapRecipe (*recipe)();
  } crafted[] = {
      {"one texture named by 6,000 entries", OneTextureManyEntries},
      {"10,000 floors over each other", FloorsOverEachOther},
      {"16,000 tiny or degenerate floors", TinyAndDegenerate},
      {"16,000 slivers across the map", SliversAcross},
  };
  for (const auto& map : crafted) {
    const std::vector<uint8_t> bytes = WriteMap(map.recipe());
    RegisterReadAndDraw(
        std::string("crafted, ") + map.name + ", " + std::to_string(bytes.size() / 1000) + " kB",
        bytes);
  }
  return true;
}();

}  // namespace
