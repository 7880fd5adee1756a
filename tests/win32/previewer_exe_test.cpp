// quendrix-preview as the Windows build has it: a picture written whole over
// the one that was there, through the platform's own replacing move.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/previewer.h"
#include "tests/native/tool_run.h"
#include "tests/win32/win32_test_support.h"
#include "tools/map_writer.h"

namespace {

TEST(PreviewerOnWindows, ReplacesAPictureAndReportsAMissingMap) {
  ScratchDir scratch;
  MapRecipe recipe;
  recipe.faces = {FloorRectangle(0, 0, 300, 200, 0)};
  const std::string map = scratch.Write("de_win.bsp", WriteMap(recipe));
  scratch.Write("de_win.bmp", {'o', 'l', 'd'});
  const std::string missing = scratch.Join("gone.bsp");
  const ToolRun run = RunTool(RunPreviewer, "quendrix-preview",
                              {"--size", "20x10", "--out", scratch.path(), missing, map});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, missing + ": cannot open the file\n");
  EXPECT_EQ(run.out, scratch.Join("de_win.bmp") + "\n");
  const std::vector<uint8_t> picture = ReadFileBytes(scratch.Join("de_win.bmp"));
  EXPECT_EQ(picture.size(), 54u + 10 * 60) << "a 20 x 10 bitmap of 24 bits";
  EXPECT_TRUE(ReadFileBytes(scratch.Join("de_win.bmp.part")).empty());
}

}  // namespace
