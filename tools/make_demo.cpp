// quendrix-make-demo: writes a demo of the project's own, and optionally the
// preview bitmap of its map.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/bitmap_writer.h"
#include "tools/demo_repeat.h"
#include "tools/demo_writer.h"
#include "tools/message_writer.h"

namespace {

const char kUsage[] =
    "usage: quendrix-make-demo [options] OUT.dem\n"
    "  --map NAME        map name (default qx_courtyard)\n"
    "  --mod DIR         game directory (default valve)\n"
    "  --res WxH         viewport stored in the frames (default 800x600)\n"
    "  --net N           network protocol (default 48)\n"
    "  --hltv            recorded by an HLTV proxy\n"
    "  --frames N        playback frames (default 200)\n"
    "  --size BYTES      enough frames for a file of at least this size\n"
    "  --seed N          seed of the frame contents (default 1)\n"
    "  --story           a server, two players, a kill and a line of chat\n"
    "  --preview FILE    also write the map's preview bitmap (252 x 192) to FILE\n"
    "  --repeat DEMO     DEMO's playback over and over, to --size bytes (no other option)\n";

bool WriteFile(const char* path, const std::vector<uint8_t>& bytes) {
  FILE* file = fopen(path, "wb");
  if (file == nullptr) return false;
  bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && written;
}

bool ParseNumber(const char* text, long long* value) {
  char* end = nullptr;
  errno = 0;
  *value = strtoll(text, &end, 10);
  return errno == 0 && end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  DemoRecipe recipe;
  bool story = false;
  const char* output = nullptr;
  const char* preview = nullptr;
  const char* repeated = nullptr;
  long long size = 0;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    bool hasValue = i + 1 < argc;
    long long number = 0;
    int width = 0, height = 0;
    if (option == "--hltv") {
      recipe.hltv = true;
    } else if (option == "--story") {
      story = true;
    } else if (option == "--map" && hasValue) {
      recipe.mapName = argv[++i];
    } else if (option == "--mod" && hasValue) {
      recipe.gameDirectory = argv[++i];
    } else if (option == "--res" && hasValue && sscanf(argv[++i], "%dx%d", &width, &height) == 2) {
      recipe.viewportWidth = width;
      recipe.viewportHeight = height;
    } else if (option == "--net" && hasValue && ParseNumber(argv[++i], &number)) {
      recipe.networkProtocol = static_cast<int32_t>(number);
    } else if (option == "--frames" && hasValue && ParseNumber(argv[++i], &number) && number >= 0) {
      recipe.playbackFrames = static_cast<size_t>(number);
    } else if (option == "--size" && hasValue && ParseNumber(argv[++i], &number) && number >= 0) {
      recipe.playbackFrames = FramesForSize(static_cast<size_t>(number));
      size = number;
    } else if (option == "--seed" && hasValue && ParseNumber(argv[++i], &number)) {
      recipe.seed = static_cast<uint32_t>(number);
    } else if (option == "--repeat" && hasValue) {
      repeated = argv[++i];
    } else if (option == "--preview" && hasValue) {
      preview = argv[++i];
    } else if (option[0] != '-' && output == nullptr) {
      output = argv[i];
    } else {
      fputs(kUsage, stderr);
      return 2;
    }
  }
  if (output == nullptr) {
    fputs(kUsage, stderr);
    return 2;
  }
  if (repeated != nullptr) {
    FILE* file = fopen(repeated, "rb");
    std::vector<uint8_t> recording;
    for (int c; file != nullptr && (c = fgetc(file)) != EOF;)
      recording.push_back(static_cast<uint8_t>(c));
    if (file != nullptr) fclose(file);
    const std::vector<uint8_t> demo = RepeatPlayback(recording, static_cast<size_t>(size));
    if (demo.empty()) {
      fprintf(stderr, "%s: not an intact demo of a loading and a playback segment\n", repeated);
      return 1;
    }
    if (!WriteFile(output, demo)) {
      fprintf(stderr, "%s: %s\n", output, strerror(errno));
      return 1;
    }
    return 0;
  }
  if (story) {
    DemoStory sample = SampleStory(recipe.gameDirectory, recipe.mapName);
    recipe.loadingMessages = std::move(sample.loading);
    recipe.playbackMessages = std::move(sample.playback);
  }
  if (!WriteFile(output, WriteDemo(recipe))) {
    fprintf(stderr, "%s: %s\n", output, strerror(errno));
    return 1;
  }
  if (preview != nullptr) {
    const int width = 252, height = 192;
    std::vector<Rgb> pixels = DrawMapPreview(recipe.mapName.c_str(), width, height);
    if (!WriteFile(preview, EncodeBitmap24(width, height, pixels))) {
      fprintf(stderr, "%s: %s\n", preview, strerror(errno));
      return 1;
    }
  }
  return 0;
}
