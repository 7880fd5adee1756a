// quendrix-repair as the Windows build has it: the copy put in place with
// MoveFileA, or MoveFileExA to replace, and the demo known under another of
// its names.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "demo/demo_repair.h"
#include "tests/native/tool_run.h"
#include "tests/win32/win32_test_support.h"
#include "tools/demo_writer.h"
#include "tools/repair.h"

namespace {

int Repair(std::vector<std::string> args, std::string* printed, std::string* errors) {
  const ToolRun run = RunTool(RunRepair, "quendrix-repair", std::move(args));
  *printed = run.out;
  *errors = run.err;
  return run.status;
}

// The files of a folder with their bytes.
std::map<std::string, std::string> Listing(const ScratchDir& scratch) {
  std::map<std::string, std::string> files;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(scratch.Join("*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    FILE* file = fopen(scratch.Join(name).c_str(), "rb");
    files[name] = file != nullptr ? ReadAll(file) : "(unreadable)";
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return files;
}

std::string Text(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

TEST(RepairOnWindows, WritesRefusesAndReplaces) {
  ScratchDir scratch;
  DemoRecipe recipe;
  recipe.playbackFrames = 600;  // about 350 KB: copied in two pieces
  const std::vector<uint8_t> whole = WriteDemo(recipe);
  const std::vector<uint8_t> cut(whole.begin(), whole.end() - 1000);
  std::vector<uint8_t> expected;
  ASSERT_EQ(RepairDemoBytes(cut.data(), cut.size(), &expected), RepairOutcome::kRepaired);
  const std::string demo = scratch.Write("cut.dem", cut);
  const std::string out = scratch.Join("out.dem");
  std::string printed, errors;

  EXPECT_EQ(Repair({demo, out}, &printed, &errors), 0) << errors;
  // 64-bit counts as MinGW's C99 printf gives them.
  EXPECT_EQ(printed, out + ": kept 0:05 (5.980 s), 598 frames, 349680 bytes; dropped 361 bytes\n");
  std::map<std::string, std::string> files = {{"cut.dem", Text(cut)}, {"out.dem", Text(expected)}};
  EXPECT_TRUE(Listing(scratch) == files) << "the demo and its copy alone";

  scratch.Write("out.dem", {'o', 'l', 'd'});
  EXPECT_EQ(Repair({demo, out}, &printed, &errors), 1);
  EXPECT_EQ(errors,
            "quendrix-repair: " + out + ": exists; --force replaces it. Nothing written.\n");
  EXPECT_EQ(Listing(scratch)["out.dem"], "old");

  EXPECT_EQ(Repair({"--force", demo, out}, &printed, &errors), 0) << errors;
  EXPECT_TRUE(Listing(scratch) == files) << "replaced whole";

  // The demo under its short name is still the demo.
  char shortName[MAX_PATH];
  ASSERT_NE(GetShortPathNameA(demo.c_str(), shortName, sizeof shortName), 0u);
  EXPECT_EQ(Repair({"--force", demo, shortName}, &printed, &errors), 1);
  EXPECT_EQ(errors, "quendrix-repair: " + std::string(shortName) +
                        ": is the demo itself. Nothing written.\n");
  EXPECT_TRUE(Listing(scratch) == files);

  const std::string intact = scratch.Write("whole.dem", whole);
  EXPECT_EQ(Repair({intact, scratch.Join("none.dem")}, &printed, &errors), 0);
  EXPECT_EQ(printed, intact + ": intact; nothing written.\n");
  EXPECT_EQ(Listing(scratch).count("none.dem"), 0u);
}

}  // namespace
