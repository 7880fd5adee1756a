// quendrix-repair as the Windows build has it: the copy put in place with
// MoveFileA, or MoveFileExA to replace, and the demo known under another of
// its names.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "cli/repair.h"
#include "demo/demo_repair.h"
#include "tests/native/tool_run.h"
#include "tests/win32/win32_test_support.h"
#include "tools/demo_writer.h"

namespace {

ToolRun Repair(std::vector<std::string> args) {
  return RunTool(RunRepair, "quendrix-repair", std::move(args));
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

  ToolRun run = Repair({demo, out});
  EXPECT_EQ(run.status, 0) << run.err;
  // 64-bit counts as MinGW's C99 printf gives them.
  EXPECT_EQ(run.out, out + ": kept 0:05 (5.980 s), 598 frames, 349680 bytes; dropped 361 bytes\n");
  std::map<std::string, std::string> files = {{"cut.dem", Text(cut)}, {"out.dem", Text(expected)}};
  EXPECT_TRUE(Listing(scratch) == files) << "the demo and its copy alone";

  scratch.Write("out.dem", {'o', 'l', 'd'});
  run = Repair({demo, out});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "quendrix-repair: " + out + ": exists; --force replaces it. Nothing written.\n");
  EXPECT_EQ(Listing(scratch)["out.dem"], "old");

  EXPECT_EQ(Repair({"--force", demo, out}).status, 0);
  EXPECT_TRUE(Listing(scratch) == files) << "replaced whole";

  // The demo under its short name is still the demo.
  char shortName[MAX_PATH];
  ASSERT_NE(GetShortPathNameA(demo.c_str(), shortName, sizeof shortName), 0u);
  run = Repair({"--force", demo, shortName});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "quendrix-repair: " + std::string(shortName) +
                         ": is the demo itself. Nothing written.\n");
  EXPECT_TRUE(Listing(scratch) == files);
}

// What is not a file on a disk is neither read nor replaced: a device, a pipe
// (whose reading would wait for ever), a folder. Nothing is left behind.
TEST(RepairOnWindows, RefusesWhatIsNotAFileOnADisk) {
  ScratchDir scratch;
  DemoRecipe recipe;
  recipe.playbackFrames = 60;
  const std::vector<uint8_t> whole = WriteDemo(recipe);
  const std::string demo = scratch.Write("cut.dem", {whole.begin(), whole.end() - 100});
  const std::string folder = scratch.Join("folder.dem");
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  const std::string pipe =
      "\\\\.\\pipe\\quendrix-repair-test-" + std::to_string(GetCurrentProcessId());
  HANDLE server =
      CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 2, 0, 0, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  const std::string kNotAFile =
      ": is not a regular file; --force replaces only a regular file. Nothing written.\n";
  const struct {
    const char* what;
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {"DEMO a device",
       {"NUL", scratch.Join("out.dem")},
       "quendrix-repair: NUL: Could not open demofile.\n"},
      {"DEMO a pipe",
       {pipe, scratch.Join("out.dem")},
       "quendrix-repair: " + pipe + ": Could not open demofile.\n"},
      {"OUT a folder", {"--force", demo, folder}, "quendrix-repair: " + folder + kNotAFile},
      {"OUT a device", {"--force", demo, "NUL"}, "quendrix-repair: NUL" + kNotAFile},
  };
  const std::map<std::string, std::string> before = Listing(scratch);
  for (const auto& c : cases) {
    const ToolRun run = Repair(c.args);
    EXPECT_EQ(run.status, 1) << c.what;
    EXPECT_EQ(run.out, "") << c.what;
    EXPECT_EQ(run.err, c.err) << c.what;
    EXPECT_TRUE(Listing(scratch) == before) << c.what << ": the folder is not as it should be";
  }
  CloseHandle(server);
}

}  // namespace
