// quendrix-repair run in-process in the test's own scratch folder: what it
// writes is what RepairDemoBytes gives, its input is never changed, and
// whatever it refuses or fails at leaves nothing behind.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/repair.h"
#include "demo/demo_repair.h"
#include "tests/native/scratch_folder.h"
#include "tests/native/test_bytes.h"
#include "tests/native/tool_run.h"
#include "tools/demo_writer.h"

namespace {

std::string Text(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// Run from inside the folder, so that names and messages read short.
class RepairTest : public ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    ASSERT_NE(getcwd(home_, sizeof home_), nullptr);
    ASSERT_EQ(chdir(dir_.c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(home_), 0);
    ScratchFolderTest::TearDown();
  }

  // The arguments apart at spaces.
  ToolRun Repair(const std::string& args) {
    std::vector<std::string> split;
    std::istringstream words(args);
    for (std::string word; words >> word;) split.push_back(word);
    return RunTool(RunRepair, "quendrix-repair", split);
  }

  char home_[4096];
};

// A demo of about 1.2 MiB, so that its copy takes several pieces.
std::vector<uint8_t> LargeDemo() {
  DemoRecipe recipe;
  recipe.playbackFrames = FramesForSize(1200000);
  return WriteDemo(recipe);
}

TEST_F(RepairTest, WritesWhatRepairDemoBytesGivesOrNothing) {
  const std::vector<uint8_t> whole = LargeDemo();
  const std::vector<uint8_t> cut = Cut(whole, whole.size() - 400);
  std::vector<uint8_t> zeroed = whole, otherProtocol = cut;
  PutLe32(zeroed, 540, 0);
  PutLe32(otherProtocol, 8, 3);
  const char* const kCutLine =
      "o.dem: kept 0:20 (20.610 s), 2061 frames, 1201146 bytes; dropped 379 bytes\n";
  const char* const kUsage = "usage: quendrix-repair";
  const struct {
    const char* what;
    std::vector<uint8_t> demo;  // d.dem
    bool outExists;             // o.dem, holding "old"
    const char* args;
    int status;
    const char* out;
    std::string err;  // or its start
  } cases[] = {
      {"cut within a frame", cut, false, "d.dem o.dem", 0, kCutLine, ""},
      {"cut between frames", Cut(whole, whole.size() - 188 - 9), false, "d.dem o.dem", 0,
       "o.dem: kept 0:20 (20.620 s), 2062 frames, 1201728 bytes; dropped 0 bytes\n", ""},
      {"directory offset zeroed", zeroed, false, "d.dem o.dem", 0,
       "o.dem: kept 0:20 (20.620 s), 2062 frames, 1201737 bytes; dropped 188 bytes\n", ""},
      {"--force replaces OUT", cut, true, "--force d.dem o.dem", 0, kCutLine, ""},
      {"intact", whole, false, "d.dem o.dem", 0, "d.dem: intact; nothing written.\n", ""},
      {"cut while loading", Cut(whole, 1500), false, "d.dem o.dem", 1, "",
       "quendrix-repair: d.dem: no whole playback frame to keep (the recording was cut off "
       "while it was loading). Nothing written.\n"},
      {"cut within the header", Cut(whole, 500), false, "d.dem o.dem", 1, "",
       "quendrix-repair: d.dem: no whole playback frame to keep"},
      {"another protocol", otherProtocol, false, "d.dem o.dem", 1, "",
       "quendrix-repair: d.dem: demo protocol 3 is not known: only 4 and 5 are read. Nothing "
       "written.\n"},
      {"empty", std::vector<uint8_t>(), false, "d.dem o.dem", 1, "",
       "quendrix-repair: d.dem: Could not open demofile (reason 2).\n"},
      {"missing", cut, false, "missing.dem o.dem", 1, "",
       "quendrix-repair: missing.dem: Could not open demofile.\n"},
      {"OUT exists", cut, true, "d.dem o.dem", 1, "",
       "quendrix-repair: o.dem: exists; --force replaces it. Nothing written.\n"},
      {"OUT is DEMO", cut, false, "--force d.dem d.dem", 1, "",
       "quendrix-repair: d.dem: is the demo itself. Nothing written.\n"},
      {"OUT in no folder", cut, false, "d.dem none/o.dem", 1, "",
       "quendrix-repair: none/o.dem: could not be written (its folder must exist and take new "
       "files). Nothing written.\n"},
      {"one file", cut, false, "d.dem", 2, "", kUsage},
      {"three files", cut, false, "d.dem o.dem x.dem", 2, "", kUsage},
      {"unknown option", cut, false, "--forse d.dem o.dem", 2, "",
       "quendrix-repair: unknown option --forse\n"},
  };
  for (const auto& c : cases) {
    Write("d.dem", c.demo);
    if (c.outExists) Write("o.dem", {'o', 'l', 'd'});
    std::map<std::string, std::string> expected = Listing();
    std::vector<uint8_t> repaired;
    RepairDemoBytes(c.demo.data(), c.demo.size(), &repaired);
    if (strstr(c.out, ": kept ") != nullptr) expected["o.dem"] = Text(repaired);
    const ToolRun run = Repair(c.args);
    EXPECT_EQ(run.status, c.status) << c.what;
    EXPECT_EQ(run.out, c.out) << c.what;
    EXPECT_EQ(run.err.substr(0, c.err.size()), c.err) << c.what;
    EXPECT_TRUE(Listing() == expected) << c.what << ": the folder is not as it should be";
    ASSERT_EQ(system(("rm -f '" + dir_ + "'/*").c_str()), 0);
  }
  const ToolRun help = Repair("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--force"), std::string::npos);
}

TEST_F(RepairTest, AFailedWriteLeavesNoOut) {
  // The file size limit stops the copy part way, as a full disk would.
  Write("d.dem", Cut(LargeDemo(), 1000000));
  const auto before = Listing();
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit limited = saved;
  limited.rlim_cur = 300000;
  void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const ToolRun run = Repair("d.dem o.dem");
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "quendrix-repair: o.dem: could not be written (its folder must exist and take new "
            "files). Nothing written.\n");
  EXPECT_TRUE(Listing() == before) << "no copy, whole or in part, and no temporary file";
}

}  // namespace
