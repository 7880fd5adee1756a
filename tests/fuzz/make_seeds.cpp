// The seed corpora of the fuzz targets, in folders under the one given: demo/
// holds small demos of the project's own, one for each mode and kind, and
// some cut off or without their directory, as a crash leaves them;
// command_line/ and walk/ the texts that the program meets at its start; map/
// small maps of the project's own with every kind of face; messages/ the
// players' recordings of network protocol 48 up to their first playback
// frames, and demos of the project's own with a story told in messages;
// library_index/ small indexes of the library, whole and without their
// checksum (which the fuzz target adds); trim/ the demos with a story behind
// the two bytes that pick a cut.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "demo/demo_file.h"
#include "demo/signature_scan.h"
#include "library/library_entry.h"
#include "tools/demo_writer.h"
#include "tools/map_writer.h"
#include "tools/message_writer.h"

namespace {

bool WriteSeed(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  bool written = file != nullptr && fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (file != nullptr) fclose(file);
  if (!written) fprintf(stderr, "quendrix-fuzz-seeds: cannot write %s\n", path.c_str());
  return written;
}

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

// First byte: the path's size and the lead-byte test (see command_line_fuzz).
std::vector<std::string> CommandLines() {
  using namespace std::string_literals;
  return {"\x7F\"C:\\Program Files\\Quendrix\\quendrix.exe\" \"C:\\My Demos\\de dust.dem\""s,
          "\x7Fquendrix.exe   C:\\demos\\a.dem"s, "\x05\"quendrix.exe\"\"\""s,
          "\xFF\"C:\\\x83\"\\q.exe\" \x83\\d.dem"s, "\x00quendrix.exe"s};
}

// Two bytes of size, the source, a NUL, then the answers (see walk_fuzz).
std::vector<std::string> Walks() {
  using namespace std::string_literals;
  return {
      "\x01\x04"
      "C:\\PROG~FBU\\QUENDRIX\\DEMOS~1\\A.DEM\0\x06Program Files\x04Quendrix\xFF"s,
      "\x00\x10\\\\server\\share\\x.dem\0\x02"
      "ab"s,
      "\x01\x03"
      "C:\\a\\\\b\\\0\x80"s};
}

// Floors of every kind, a wall, a ceiling, a tool face and a door's, spawn
// points of both teams, in both versions.
std::vector<std::vector<uint8_t>> Maps() {
  MapRecipe recipe;
  recipe.textures = {
      {"ground"}, {"rock", true, {200, 100, 40}, {100, 60, 20}}, {"!water"}, {"sky"}};
  MapFaceRecipe wall = FloorRectangle(0, 0, 64, 64, 0);
  wall.normal = {1, 0, 0};
  MapFaceRecipe ceiling = FloorRectangle(0, 0, 64, 64, 96, 1);
  ceiling.normal = {0, 0, -1};
  ceiling.back = true;
  MapFaceRecipe ramp = {{{0, 0, 0}, {64, 0, 32}, {64, 64, 32}, {0, 64, 0}}, {-0.45f, 0, 0.89f}};
  recipe.faces = {FloorRectangle(-256, -128, 256, 128, 0),
                  FloorRectangle(0, 0, 64, 32, 48, 1),
                  FloorRectangle(-200, -100, -100, 0, -16, 2),
                  FloorRectangle(0, 0, 512, 512, 256, 3),
                  wall,
                  ceiling,
                  ramp,
                  FloorRectangle(100, 0, 140, 40, 128)};
  recipe.worldFaces = recipe.faces.size() - 1;
  recipe.entities =
      "{\n\"classname\" \"worldspawn\"\n}\n"
      "{\n\"origin\" \"-128 -64.5 36\"\n\"classname\" \"info_player_start\"\n}\n"
      "{\n\"classname\" \"info_player_deathmatch\"\n\"origin\" \"200 100 36\"\n}\n";
  std::vector<std::vector<uint8_t>> maps = {WriteMap(recipe)};
  recipe.version = 29;
  maps.push_back(WriteMap(recipe));
  return maps;
}

// Enough of each recording for its delta tables, user messages and first
// entity updates.
std::vector<std::vector<uint8_t>> RecordingStarts() {
  std::vector<std::vector<uint8_t>> starts;
  for (const char* name : {"basic.dem", "weapon.dem", "hldm.dem",
                           "demotesttestste.dem-2405171129-cs_assault.dem", "minangles.dem"}) {
    const std::string path = std::string(QUENDRIX_CORPUS_DIR) + "/" + name;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) continue;
    std::vector<uint8_t> start(48 * 1024);
    start.resize(fread(start.data(), 1, start.size(), file));
    fclose(file);
    starts.push_back(start);
  }
  return starts;
}

std::vector<std::vector<uint8_t>> Stories() {
  std::vector<std::vector<uint8_t>> demos;
  for (const char* gameDir : {"valve", "cstrike"}) {
    DemoRecipe recipe;
    recipe.gameDirectory = gameDir;
    recipe.playbackFrames = 4;
    DemoStory story = SampleStory(gameDir, "qx");
    recipe.loadingMessages = story.loading;
    recipe.playbackMessages = story.playback;
    demos.push_back(WriteDemo(recipe));
  }
  return demos;
}

// A demo with players, a file that is not one, and an entry left as made.
std::string LibraryIndex() {
  LibraryEntry demo;
  demo.file = {"C:\\Demos\\d\xE9mo.dem", "C:\\Demos\\d\xC3\xA9mo.dem", 123456, 133000000000000000};
  demo.isDemo = true;
  demo.map = "de_dust2";
  demo.mod = "cstrike";
  demo.server = "Counter-Strike";
  demo.recorder = "Player";
  demo.players = {"Player", "[TAG] Neo", ""};
  demo.duration = 61.25;
  demo.kills = 7;
  demo.intact = true;
  LibraryEntry notDemo;
  notDemo.file = {"/demos/empty.dem", "/demos/empty.dem", 0, 1};
  notDemo.problem = DemoFileMessage(DemoFileStatus::kNoSize);
  return SaveLibraryIndex({demo, notDemo, LibraryEntry()});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: quendrix-fuzz-seeds FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  for (const char* kind :
       {"", "/demo", "/command_line", "/walk", "/map", "/messages", "/library_index", "/trim"})
    mkdir((folder + kind).c_str(), 0755);
  int index = 0;
  for (const std::string& line : CommandLines()) {
    if (!WriteSeed(folder + "/command_line/" + std::to_string(++index), Bytes(line))) return 1;
  }
  for (const std::string& walk : Walks()) {
    if (!WriteSeed(folder + "/walk/" + std::to_string(++index), Bytes(walk))) return 1;
  }
  for (const std::vector<uint8_t>& map : Maps()) {
    if (!WriteSeed(folder + "/map/" + std::to_string(++index) + ".bsp", map)) return 1;
  }
  for (const auto& demos : {RecordingStarts(), Stories()}) {
    for (const std::vector<uint8_t>& demo : demos) {
      if (!WriteSeed(folder + "/messages/" + std::to_string(++index) + ".dem", demo)) return 1;
    }
  }
  for (const std::vector<uint8_t>& story : Stories()) {
    // From the start to the end, and from the second frame to the third.
    for (std::vector<uint8_t> cut : {std::vector<uint8_t>{0, 255}, std::vector<uint8_t>{1, 2}}) {
      cut.insert(cut.end(), story.begin(), story.end());
      if (!WriteSeed(folder + "/trim/" + std::to_string(++index), cut)) return 1;
    }
  }
  const std::string library = LibraryIndex();
  if (!WriteSeed(folder + "/library_index/whole", Bytes(library)) ||
      !WriteSeed(folder + "/library_index/unsealed",
                 Bytes(library.substr(0, library.size() - 4)))) {
    return 1;
  }
  std::vector<std::pair<int, int>> viewports = {{1440, 1080}, {1920, 1080}, {0, 0}};
  for (const ResolutionMode& mode : kResolutionModes) {
    viewports.emplace_back(std::stoi(mode.width), std::stoi(mode.height));
  }
  int written = 0;
  for (auto [width, height] : viewports) {
    for (bool hltv : {false, true}) {
      DemoRecipe recipe;
      recipe.viewportWidth = width;
      recipe.viewportHeight = height;
      recipe.hltv = hltv;
      recipe.playbackFrames = 3;  // about 3 KB: well under the fuzzers' length limit
      recipe.seed = static_cast<uint32_t>(++written);
      std::string name =
          std::to_string(width) + "x" + std::to_string(height) + (hltv ? "-hltv" : "");
      std::vector<uint8_t> demo = WriteDemo(recipe);
      if (!WriteSeed(folder + "/demo/" + name + ".dem", demo)) return 1;
      if (width != 0) continue;
      // Cut within the last frames, and whole but with no directory offset.
      std::vector<uint8_t> cut(demo.begin(), demo.end() - 300);
      demo[540] = demo[541] = demo[542] = demo[543] = 0;
      if (!WriteSeed(folder + "/demo/" + name + "-cut.dem", cut) ||
          !WriteSeed(folder + "/demo/" + name + "-no-directory.dem", demo)) {
        return 1;
      }
    }
  }
  return 0;
}
