// quendrix-repair run in-process on files of the test's own scratch folder:
// what it writes is what RepairDemoBytes gives, its input is never changed,
// and whatever it refuses or fails at leaves nothing behind.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "demo/demo_repair.h"
#include "tests/native/scratch_folder.h"
#include "tests/native/test_bytes.h"
#include "tests/native/tool_run.h"
#include "tools/demo_writer.h"
#include "tools/repair.h"

namespace {

std::vector<uint8_t> Cut(const std::vector<uint8_t>& bytes, size_t size) {
  return std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(size));
}

class RepairTest : public ScratchFolderTest {
 protected:
  // Every file of the folder with its bytes.
  std::map<std::string, std::string> Listing() const {
    std::map<std::string, std::string> files;
    DIR* folder = opendir(dir_.c_str());
    while (dirent* entry = readdir(folder)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") files[name] = ReadAll(fopen(Path(name).c_str(), "rb"));
    }
    closedir(folder);
    return files;
  }

  ToolRun Repair(std::vector<std::string> args) {
    return RunTool(RunRepair, "quendrix-repair", std::move(args));
  }
};

std::string Text(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// A demo of about 1.2 MiB, so that its copy takes several pieces.
std::vector<uint8_t> LargeDemo() {
  DemoRecipe recipe;
  recipe.playbackFrames = FramesForSize(1200000);
  return WriteDemo(recipe);
}

TEST_F(RepairTest, WritesWhatRepairDemoBytesGivesAndLeavesTheDemo) {
  const std::vector<uint8_t> whole = LargeDemo();
  std::vector<uint8_t> zeroed = whole;
  PutLe32(zeroed, 540, 0);
  const struct {
    const char* what;
    std::vector<uint8_t> demo;
    const char* line;
  } cases[] = {
      {"cut within a frame", Cut(whole, whole.size() - 400),
       ": kept 0:20 (20.610 s), 2061 frames, 1201146 bytes; dropped 379 bytes\n"},
      {"cut between frames", Cut(whole, whole.size() - 188 - 9),
       ": kept 0:20 (20.620 s), 2062 frames, 1201728 bytes; dropped 0 bytes\n"},
      {"directory offset zeroed", zeroed,
       ": kept 0:20 (20.620 s), 2062 frames, 1201737 bytes; dropped 188 bytes\n"},
  };
  for (const auto& c : cases) {
    Write("cut.dem", c.demo);
    const ToolRun run = Repair({Path("cut.dem"), Path("out.dem")});
    EXPECT_EQ(run.status, 0) << c.what << ": " << run.err;
    EXPECT_EQ(run.out, Path("out.dem") + c.line) << c.what;
    std::vector<uint8_t> expected;
    ASSERT_EQ(RepairDemoBytes(c.demo.data(), c.demo.size(), &expected), RepairOutcome::kRepaired);
    const std::map<std::string, std::string> files = {{"cut.dem", Text(c.demo)},
                                                      {"out.dem", Text(expected)}};
    EXPECT_TRUE(Listing() == files) << c.what << ": only the demo and its copy, as they should be";
    ASSERT_EQ(unlink(Path("out.dem").c_str()), 0);
  }
}

TEST_F(RepairTest, RefusalsWriteNothingAndChangeNothing) {
  const std::vector<uint8_t> whole = LargeDemo();
  const std::vector<uint8_t> cut = Cut(whole, whole.size() - 400);
  std::vector<uint8_t> otherProtocol = cut;
  PutLe32(otherProtocol, 8, 3);
  const std::vector<uint8_t> previous = {'o', 'l', 'd'};
  const struct {
    const char* what;
    std::vector<uint8_t> demo;
    bool outExists;
    std::vector<std::string> args;  // names in the folder, and options
    int status;
    const char* out;      // after DEMO's path
    const char* errFile;  // the file the message names, if any
    std::string err;      // the message, or its start
  } cases[] = {
      {"intact", whole, false, {"d.dem", "o.dem"}, 0, ": intact; nothing written.\n", nullptr, ""},
      {"cut while loading",
       Cut(whole, 1500),
       false,
       {"d.dem", "o.dem"},
       1,
       nullptr,
       "d.dem",
       "no whole playback frame to keep (the recording was cut off while it was loading). "
       "Nothing written.\n"},
      {"cut within the header",
       Cut(whole, 500),
       false,
       {"d.dem", "o.dem"},
       1,
       nullptr,
       "d.dem",
       "no whole playback frame to keep"},
      {"another protocol",
       otherProtocol,
       false,
       {"d.dem", "o.dem"},
       1,
       nullptr,
       "d.dem",
       "demo protocol 3 is not known: only 4 and 5 are read. Nothing written.\n"},
      {"empty",
       {},
       false,
       {"d.dem", "o.dem"},
       1,
       nullptr,
       "d.dem",
       "Could not open demofile (reason 2).\n"},
      {"missing",
       cut,
       false,
       {"missing.dem", "o.dem"},
       1,
       nullptr,
       "missing.dem",
       "Could not open demofile.\n"},
      {"OUT exists",
       cut,
       true,
       {"d.dem", "o.dem"},
       1,
       nullptr,
       "o.dem",
       "exists; --force replaces it. Nothing written.\n"},
      {"OUT is DEMO",
       cut,
       false,
       {"--force", "d.dem", "d.dem"},
       1,
       nullptr,
       "d.dem",
       "is the demo itself. Nothing written.\n"},
      {"OUT in no folder",
       cut,
       false,
       {"d.dem", "none/o.dem"},
       1,
       nullptr,
       "none/o.dem",
       "could not be written (its folder must exist and take new files). Nothing written.\n"},
      {"no files", cut, false, {}, 2, nullptr, nullptr, "usage: quendrix-repair"},
      {"one file", cut, false, {"d.dem"}, 2, nullptr, nullptr, "usage: quendrix-repair"},
      {"three files",
       cut,
       false,
       {"d.dem", "o.dem", "x.dem"},
       2,
       nullptr,
       nullptr,
       "usage: quendrix-repair"},
      {"unknown option",
       cut,
       false,
       {"--forse", "d.dem", "o.dem"},
       2,
       nullptr,
       nullptr,
       "quendrix-repair: unknown option --forse\n"},
  };
  for (const auto& c : cases) {
    Write("d.dem", c.demo);
    if (c.outExists) Write("o.dem", previous);
    const std::map<std::string, std::string> before = Listing();
    std::vector<std::string> args;
    for (const std::string& arg : c.args) args.push_back(arg[0] == '-' ? arg : Path(arg));
    const ToolRun run = Repair(args);
    EXPECT_EQ(run.status, c.status) << c.what;
    EXPECT_EQ(run.out, c.out != nullptr ? Path("d.dem") + c.out : "") << c.what;
    const std::string err =
        c.errFile != nullptr ? "quendrix-repair: " + Path(c.errFile) + ": " + c.err : c.err;
    EXPECT_EQ(run.err.substr(0, err.size()), err) << c.what;
    EXPECT_TRUE(Listing() == before) << c.what << ": the folder changed";
    ASSERT_EQ(system(("rm -f '" + dir_ + "'/*").c_str()), 0);
  }
  const ToolRun help = Repair({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--force"), std::string::npos);
}

TEST_F(RepairTest, ForceReplacesOut) {
  const std::vector<uint8_t> whole = LargeDemo();
  const std::vector<uint8_t> cut = Cut(whole, 700000);
  Write("d.dem", cut);
  Write("o.dem", {'o', 'l', 'd'});
  const ToolRun run = Repair({"--force", Path("d.dem"), Path("o.dem")});
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<uint8_t> expected;
  RepairDemoBytes(cut.data(), cut.size(), &expected);
  const std::map<std::string, std::string> files = {{"d.dem", Text(cut)},
                                                    {"o.dem", Text(expected)}};
  EXPECT_TRUE(Listing() == files);
}

TEST_F(RepairTest, AFailedWriteLeavesNoOut) {
  // The file size limit stops the copy part way, as a full disk would.
  const std::vector<uint8_t> cut = Cut(LargeDemo(), 1000000);
  Write("d.dem", cut);
  const auto before = Listing();
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit limited = saved;
  limited.rlim_cur = 300000;
  void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const ToolRun run = Repair({Path("d.dem"), Path("o.dem")});
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "quendrix-repair: " + Path("o.dem") +
                         ": could not be written (its folder must exist and take new files). "
                         "Nothing written.\n");
  EXPECT_TRUE(Listing() == before) << "no copy, whole or in part, and no temporary file";
}

}  // namespace
