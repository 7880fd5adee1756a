// quendrix-preview as the Windows build has it: a picture written whole over
// the one that was there, through the platform's own replacing move.
#include <gtest/gtest.h>

#include <algorithm>
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

// A map that is a pipe is not waited on; a picture does not go over a folder;
// no temporary file is left.
TEST(PreviewerOnWindows, RefusesWhatIsNotAFileOnADisk) {
  ScratchDir scratch;
  MapRecipe recipe;
  recipe.faces = {FloorRectangle(0, 0, 300, 200, 0)};
  const std::string map = scratch.Write("de_win.bsp", WriteMap(recipe));
  const std::string picture = scratch.Join("de_win.bmp");
  ASSERT_TRUE(CreateDirectoryA(picture.c_str(), nullptr));
  const std::string pipe =
      "\\\\.\\pipe\\quendrix-preview-test-" + std::to_string(GetCurrentProcessId());
  HANDLE server =
      CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 2, 0, 0, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  const ToolRun run = RunTool(RunPreviewer, "quendrix-preview",
                              {"--size", "20x10", "--out", scratch.path(), pipe, map});
  CloseHandle(server);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, pipe + ": cannot open the file\n" + map +
                         ": cannot write the picture: " + picture + " is not a regular file\n");
  EXPECT_EQ(run.out, "");
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(scratch.Join("*").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  do {
    if (found.cFileName[0] != '.') names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, std::vector<std::string>({"de_win.bmp", "de_win.bsp"}));
}

}  // namespace
