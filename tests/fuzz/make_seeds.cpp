// The seed corpus of the fuzz targets: small demos of the project's own, one
// for each mode and kind, written into the folder given.
#include <cstdio>
#include <string>
#include <vector>

#include "demo/signature_scan.h"
#include "tools/demo_writer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: quendrix-fuzz-seeds FOLDER\n");
    return 2;
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
      std::vector<uint8_t> demo = WriteDemo(recipe);
      char path[4096];
      snprintf(path, sizeof path, "%s/%dx%d%s.dem", argv[1], width, height, hltv ? "-hltv" : "");
      FILE* file = fopen(path, "wb");
      if (file == nullptr || fwrite(demo.data(), 1, demo.size(), file) != demo.size()) {
        fprintf(stderr, "quendrix-fuzz-seeds: cannot write %s\n", path);
        return 1;
      }
      fclose(file);
    }
  }
  return 0;
}
