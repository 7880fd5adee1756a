// quendrix-preview run in-process on maps of the test's own scratch folder.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "map/map_floors.h"
#include "map/map_picture.h"
#include "tools/bitmap_writer.h"
#include "tools/map_writer.h"
#include "tools/previewer.h"

namespace {

std::string ReadAll(FILE* file) {
  std::string text;
  if (file == nullptr) return text;
  rewind(file);
  char chunk[4096];
  for (size_t got; (got = fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, got);
  fclose(file);
  return text;
}

struct PreviewerRun {
  int status;
  std::string out, err;
};

class PreviewerTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quendrix-preview-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    recipe_.faces = {FloorRectangle(0, 0, 512, 256, 0), FloorRectangle(64, 64, 128, 128, 48)};
  }
  void TearDown() override { ASSERT_EQ(system(("rm -rf '" + dir_ + "'").c_str()), 0); }

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = dir_ + "/" + name;
    FILE* file = fopen(path.c_str(), "wb");
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
    return path;
  }

  std::string Read(const std::string& name) {
    return ReadAll(fopen((dir_ + "/" + name).c_str(), "rb"));
  }

  std::vector<std::string> Listing() {
    std::vector<std::string> names;
    DIR* folder = opendir(dir_.c_str());
    while (dirent* entry = readdir(folder)) names.push_back(entry->d_name);
    closedir(folder);
    std::sort(names.begin(), names.end());
    return names;
  }

  PreviewerRun Run(std::vector<std::string> args) {
    args.insert(args.begin(), "quendrix-preview");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    FILE* out = tmpfile();
    FILE* err = tmpfile();
    int status = RunPreviewer(int(argv.size()), argv.data(), out, err);
    return {status, ReadAll(out), ReadAll(err)};
  }

  // The bitmap file the picture of the recipe's map makes.
  std::string Expected(int width, int height) {
    std::vector<uint8_t> map = WriteMap(recipe_);
    MapFloors floors;
    ReadMapFloors(map.data(), map.size(), &floors);
    std::vector<uint8_t> bitmap =
        EncodeBitmap24(width, height, DrawMapFloors(floors, width, height));
    return std::string(bitmap.begin(), bitmap.end());
  }

  std::string dir_;
  MapRecipe recipe_;
};

TEST_F(PreviewerTest, WritesEachPictureIntoTheFolder) {
  const std::string map = Write("de_own.bsp", WriteMap(recipe_));
  const std::string upper = Write("cs_UPPER.BSP", WriteMap(recipe_));
  mkdir((dir_ + "/out").c_str(), 0700);
  Write("out/de_own.bmp", {'o', 'l', 'd'});
  PreviewerRun run = Run({"--out", dir_ + "/out", map, upper});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, dir_ + "/out/de_own.bmp\n" + dir_ + "/out/cs_UPPER.bmp\n");
  EXPECT_EQ(Read("out/de_own.bmp"), Expected(253, 193)) << "replaced whole";
  EXPECT_EQ(Read("out/cs_UPPER.bmp"), Expected(253, 193));

  run = Run({"--size", "64x40", "--out", dir_ + "/out/", map});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(Read("out/de_own.bmp"), Expected(64, 40));
}

TEST_F(PreviewerTest, MapsThatCannotBeDrawnGetAMessageAndNoPicture) {
  recipe_.worldFaces = 0;
  const std::string bare = Write("bare.bsp", WriteMap(recipe_));
  recipe_.worldFaces = SIZE_MAX;
  std::vector<uint8_t> damagedBytes = WriteMap(recipe_);
  damagedBytes.resize(damagedBytes.size() - 8);
  const std::string damaged = Write("damaged.bsp", damagedBytes);
  const std::string text = Write("notes.bsp", {'n', 'o', 't', 'e', 's'});
  const std::string empty = Write("empty.bsp", {});
  const std::string good = Write("good.bsp", WriteMap(recipe_));
  const std::string missing = dir_ + "/missing.bsp";
  PreviewerRun run = Run({"--out", dir_, bare, damaged, text, empty, missing, dir_, good});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, bare + ": the map has no floor to draw\n" + damaged +
                         ": damaged map: an offset, count or index in it is out of range\n" + text +
                         ": not a compiled map of version 29 or 30\n" + empty +
                         ": the file is empty\n" + missing + ": cannot open the file\n" + dir_ +
                         ": cannot open the file\n");
  EXPECT_EQ(run.out, dir_ + "/good.bmp\n");
  EXPECT_EQ(Listing(), std::vector<std::string>({".", "..", "bare.bsp", "damaged.bsp", "empty.bsp",
                                                 "good.bmp", "good.bsp", "notes.bsp"}));

  // A folder that does not exist: nothing is written, no part is left.
  run = Run({"--out", dir_ + "/none", good});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, good + ": cannot write the picture\n");
}

TEST_F(PreviewerTest, UsageErrors) {
  const std::string map = Write("m.bsp", WriteMap(recipe_));
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--size", "0x10", map},
      {"--size", "4097x10", map},
      {"--size", "10", map},
      {"--size", "10x", map},
      {"--size", "-5x10", map},
      {"--size"},
      {"--out"},
      {"--out", "", map},
      {"--colour", map},
      {"--out", dir_},
  };
  for (const auto& args : cases) {
    PreviewerRun run = Run(args);
    EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
    EXPECT_NE(run.err.find("usage: quendrix-preview"), std::string::npos);
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(Listing(), std::vector<std::string>({".", "..", "m.bsp"}));
  PreviewerRun help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Exit status"), std::string::npos);
}

}  // namespace
