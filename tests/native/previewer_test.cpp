// quendrix-preview run in-process on maps of the test's own scratch folder.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cli/previewer.h"
#include "common/bitmap_writer.h"
#include "map/map_floors.h"
#include "map/map_picture.h"
#include "tests/native/scratch_folder.h"
#include "tools/map_writer.h"

namespace {

class PreviewerTest : public ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    recipe_.faces = {FloorRectangle(0, 0, 512, 256, 0), FloorRectangle(64, 64, 128, 128, 48)};
  }

  std::string Read(const std::string& name) { return ReadAll(fopen(Path(name).c_str(), "rb")); }

  ToolRun Run(std::vector<std::string> args) {
    return RunTool(RunPreviewer, "quendrix-preview", std::move(args));
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

  MapRecipe recipe_;
};

// The names of the folder's files.
std::vector<std::string> Names(const std::map<std::string, std::string>& files) {
  std::vector<std::string> names;
  for (const auto& file : files) names.push_back(file.first);
  return names;
}

TEST_F(PreviewerTest, WritesEachPictureIntoTheFolder) {
  const std::string map = Write("de_own.bsp", WriteMap(recipe_));
  const std::string upper = Write("cs_UPPER.BSP", WriteMap(recipe_));
  mkdir((dir_ + "/out").c_str(), 0700);
  Write("out/de_own.bmp", {'o', 'l', 'd'});
  ToolRun run = Run({"--out", dir_ + "/out", map, upper});
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
  ToolRun run = Run({"--out", dir_, bare, damaged, text, empty, missing, dir_, good});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, bare + ": the map has no floor to draw\n" + damaged +
                         ": damaged map: an offset, count or index in it is out of range\n" + text +
                         ": not a compiled map of version 29 or 30\n" + empty +
                         ": the file is empty\n" + missing + ": cannot open the file\n" + dir_ +
                         ": cannot open the file\n");
  EXPECT_EQ(run.out, dir_ + "/good.bmp\n");
  EXPECT_EQ(Names(Listing()), std::vector<std::string>({"bare.bsp", "damaged.bsp", "empty.bsp",
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
      {"--size", "10x", map},
      {"--size", "-5x10", map},
      {"--out"},
      {"--out", "", map},
      {"--colour", map},
      {"--out", dir_},
  };
  for (const auto& args : cases) {
    ToolRun run = Run(args);
    EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
    EXPECT_NE(run.err.find("usage: quendrix-preview"), std::string::npos);
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(Names(Listing()), std::vector<std::string>({"m.bsp"}));
  ToolRun help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Exit status"), std::string::npos);
}

// A picture never goes through a link, nor over what is not a file, and a
// map that is not a file is refused without waiting for it.
TEST_F(PreviewerTest, PicturesGoOverFilesAloneAndNeverThroughALink) {
  const std::string map = Write("m.bsp", WriteMap(recipe_));
  const std::string out = dir_ + "/out", picture = out + "/m.bmp";
  const std::string expected = Expected(20, 10);
  const std::string notAFile =
      map + ": cannot write the picture: " + picture + " is not a regular file\n";
  const auto fifo = [](const std::string& path) { return mkfifo(path.c_str(), 0600) == 0; };
  const auto linkToVictim = [&](const std::string& path) {
    return symlink((dir_ + "/victim").c_str(), path.c_str()) == 0;
  };
  const struct {
    const char* what;
    std::string made;  // made as the row says
    std::function<bool(const std::string&)> make;
    std::string mapArg;
    std::string err;                           // none when the picture is written
    std::map<std::string, std::string> after;  // all that out/ holds
  } cases[] = {
      {"a link where a temporary name was",
       picture + ".part",
       linkToVictim,
       map,
       "",
       {{"m.bmp", expected}, {"m.bmp.part", "link to " + dir_ + "/victim"}}},
      {"a link at the picture: replaced, not followed",
       picture,
       linkToVictim,
       map,
       "",
       {{"m.bmp", expected}}},
      {"a FIFO at the picture", picture, fifo, map, notAFile, {{"m.bmp", "FIFO"}}},
      {"a folder at the picture",
       picture,
       [](const std::string& path) { return mkdir(path.c_str(), 0700) == 0; },
       map,
       notAFile,
       {{"m.bmp", "folder"}}},
      {"a FIFO as the map",
       dir_ + "/p.bsp",
       fifo,
       dir_ + "/p.bsp",
       dir_ + "/p.bsp: cannot open the file\n",
       {}},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(system(("rm -rf '" + out + "' '" + dir_ + "/p.bsp'").c_str()), 0);
    ASSERT_EQ(mkdir(out.c_str(), 0700), 0);
    Write("victim", {'o', 'l', 'd'});
    ASSERT_TRUE(c.make(c.made)) << c.what;
    const ToolRun run = Run({"--size", "20x10", "--out", out, c.mapArg});
    EXPECT_EQ(run.status, c.err.empty() ? 0 : 1) << c.what;
    EXPECT_EQ(run.err, c.err) << c.what;
    EXPECT_EQ(Read("victim"), "old") << c.what;
    EXPECT_TRUE(Kinds(out) == c.after) << c.what << ": out/ is not as it should be";
  }
}
}  // namespace
