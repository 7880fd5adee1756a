// quendrix-trim run in-process in the test's own scratch folder: what it
// writes is what TrimDemo gives for the same times, its input is never
// changed, and whatever it refuses leaves the folder as it was. The checks
// of OUT that it shares with quendrix-repair are tested there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cli/trim.h"
#include "messages/demo_trim.h"
#include "tests/native/scratch_folder.h"
#include "tests/native/test_bytes.h"
#include "tests/native/tool_run.h"

namespace {

std::vector<uint8_t> Recording(const std::string& name) {
  return ReadWholeFile(std::string(QUENDRIX_CORPUS_DIR "/") + name);
}

// TrimDemo's copy, or its reason.
std::string Trimmed(const std::vector<uint8_t>& demo, double from, double to) {
  std::vector<uint8_t> copy;
  std::string reason;
  TrimDemo(demo.data(), demo.size(), from, to, &copy, &reason);
  return copy.empty() ? reason : std::string(copy.begin(), copy.end());
}

class TrimToolTest : public InsideScratchFolderTest {
 protected:
  static ToolRun Trim(const std::string& args) { return Run(RunTrim, "quendrix-trim", args); }
};

TEST_F(TrimToolTest, WritesWhatTrimDemoGivesOrNothing) {
  const std::vector<uint8_t> demo = Recording("basic.dem");
  if (demo.empty()) GTEST_SKIP() << "no recording basic.dem in " QUENDRIX_CORPUS_DIR;
  const char* const kUsage = "usage: quendrix-trim";
  enum Out { kNone, kFile };  // o.dem before the run
  const struct {
    const char* what;
    std::vector<uint8_t> demo;  // d.dem
    Out before;
    const char* args;
    int status;
    double from, to;  // of the copy expected in o.dem, when status is 0
    std::string err;  // or its start
  } cases[] = {
      {"to the end", demo, kNone, "d.dem 1 o.dem", 0, 1, -1, ""},
      {"--to, m:ss", demo, kNone, "--to 1.75 d.dem 0:01 o.dem", 0, 1, 1.75, ""},
      {"--force replaces OUT", demo, kFile, "d.dem 1.25 o.dem --force", 0, 1.25, -1, ""},
      {"OUT exists", demo, kFile, "d.dem 1 o.dem", 1, 0, 0,
       "quendrix-trim: o.dem: exists; --force replaces it. Nothing written.\n"},
      {"OUT is DEMO", demo, kNone, "--force d.dem 1 d.dem", 1, 0, 0,
       "quendrix-trim: d.dem: is the demo itself. Nothing written.\n"},
      {"not intact", Cut(demo, demo.size() - 400), kNone, "d.dem 1 o.dem", 1, 0, 0,
       "quendrix-trim: d.dem: The demo is not intact: repair it first. Nothing written.\n"},
      {"past the end", demo, kNone, "d.dem 3 o.dem", 1, 0, 0,
       "quendrix-trim: d.dem: No frame of the playback lies between 3 s and"},
      {"missing", demo, kNone, "missing.dem 1 o.dem", 1, 0, 0,
       "quendrix-trim: missing.dem: Could not open demofile.\n"},
      {"two arguments", demo, kNone, "d.dem 1", 2, 0, 0, kUsage},
      {"not a time", demo, kNone, "d.dem 1e1 o.dem", 2, 0, 0, "quendrix-trim: not a time: 1e1\n"},
      {"--to without a time", demo, kNone, "--to d.dem 1 o.dem", 2, 0, 0,
       "quendrix-trim: not a time: d.dem\n"},
      {"negative", demo, kNone, "d.dem -1 o.dem", 2, 0, 0, "quendrix-trim: unknown option -1\n"},
  };
  for (const auto& c : cases) {
    Write("d.dem", c.demo);
    if (c.before == kFile) Write("o.dem", {'o', 'l', 'd'});
    std::map<std::string, std::string> expected = Kinds(dir_);
    if (c.status == 0) expected["o.dem"] = Trimmed(c.demo, c.from, c.to);
    const ToolRun run = Trim(c.args);
    EXPECT_EQ(run.status, c.status) << c.what;
    EXPECT_EQ(run.out.substr(0, 13), c.status == 0 ? "o.dem: plays " : "") << c.what;
    EXPECT_EQ(run.err.substr(0, c.err.size()), c.err) << c.what;
    EXPECT_TRUE(Kinds(dir_) == expected) << c.what << ": the folder is not as it should be";
    ASSERT_EQ(system(("rm -rf '" + dir_ + "'/*").c_str()), 0);
  }
  const ToolRun help = Trim("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("a window at a time"), std::string::npos);
}

}  // namespace
