// quendrix-repair run in-process in the test's own scratch folder: what it
// writes is what RepairDemoBytes gives, its input is never changed, and
// whatever it refuses or fails at leaves nothing behind.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cli/previewer.h"
#include "cli/repair.h"
#include "demo/demo_repair.h"
#include "demo/repair_file.h"
#include "tests/native/scratch_folder.h"
#include "tests/native/test_bytes.h"
#include "tests/native/tool_run.h"
#include "tools/demo_writer.h"
#include "tools/map_writer.h"

namespace {

std::string Text(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

class RepairTest : public InsideScratchFolderTest {
 protected:
  static ToolRun Repair(const std::string& args) { return Run(RunRepair, "quendrix-repair", args); }
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
      {"OUT in no folder, told before DEMO is read", std::vector<uint8_t>(), false,
       "d.dem none/o.dem", 1, "", "quendrix-repair: none/o.dem: could not be written"},
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

using Maker = std::function<bool(const char* path)>;  // false where the system forbids it
const Maker kNothing = [](const char*) { return true; };
const Maker kFifo = [](const char* path) { return mkfifo(path, 0600) == 0; };
const Maker kFolder = [](const char* path) { return mkdir(path, 0700) == 0; };
const Maker kDevice = [](const char* path) {  // as /dev/null
  return mknod(path, S_IFCHR | 0600, makedev(1, 3)) == 0;
};
const Maker kOtherName = [](const char* path) { return link("t.dem", path) == 0; };
Maker LinkTo(const char* target) {
  return [target](const char* path) { return symlink(target, path) == 0; };
}

TEST_F(RepairTest, SpecialFilesAreRefusedAndLeftAsTheyAre) {
  const std::vector<uint8_t> cut = Cut(LargeDemo(), 1000000);
  std::vector<uint8_t> repaired;
  RepairDemoBytes(cut.data(), cut.size(), &repaired);
  const std::string kNotAFile =
      "quendrix-repair: o.dem: is not a regular file; --force replaces only a regular file. "
      "Nothing written.\n";
  const struct {
    const char* what;
    const char* name;  // made as the row says, beside d.dem and t.dem
    Maker make;
    const char* args;
    int status;
    std::string err;
  } cases[] = {
      {"DEMO a FIFO", "f.dem", kFifo, "f.dem o.dem", 1,
       "quendrix-repair: f.dem: Could not open demofile.\n"},
      {"DEMO a device", "f.dem", kDevice, "f.dem o.dem", 1,
       "quendrix-repair: f.dem: Could not open demofile.\n"},
      {"OUT a FIFO", "o.dem", kFifo, "--force d.dem o.dem", 1, kNotAFile},
      {"OUT a device", "o.dem", kDevice, "--force d.dem o.dem", 1, kNotAFile},
      {"OUT a link to a FIFO", "o.dem",
       [](const char* path) { return kFifo("p.fifo") && symlink("p.fifo", path) == 0; },
       "--force d.dem o.dem", 1, kNotAFile},
      {"OUT a link to nothing", "o.dem", LinkTo("gone.dem"), "--force d.dem o.dem", 1, kNotAFile},
      // The link is replaced, not the file it leads to.
      {"OUT a link to a file, --force", "o.dem", LinkTo("t.dem"), "--force d.dem o.dem", 0, ""},
  };
  for (const auto& c : cases) {
    Write("d.dem", cut);
    Write("t.dem", {'o', 'l', 'd'});
    if (!c.make(c.name)) {
      printf("[  SKIPPED ] %s: not allowed here\n", c.what);
    } else {
      std::map<std::string, std::string> expected = Kinds(".");
      if (c.status == 0) expected["o.dem"] = Text(repaired);
      const ToolRun run = Repair(c.args);
      EXPECT_EQ(run.status, c.status) << c.what;
      EXPECT_EQ(run.err, c.err) << c.what;
      EXPECT_TRUE(Kinds(".") == expected) << c.what << ": the folder is not as it should be";
    }
    ASSERT_EQ(system(("rm -rf '" + dir_ + "'/*").c_str()), 0);
  }
}

// Without a name until it is whole, or under a temporary one where there is
// no such file: either way it goes over a regular file, or a link to one, only
// when asked, and over nothing else.
TEST_F(RepairTest, BothWaysOfWritingPutAFileInPlaceAlike) {
  const struct {
    const char* what;
    Maker make;  // at o.dem, beside t.dem
    bool replace;
    RepairFileStatus status;
  } cases[] = {
      {"nothing there", kNothing, false, RepairFileStatus::kWritten},
      {"nothing there, replacing", kNothing, true, RepairFileStatus::kWritten},
      // Another name of t.dem, whose bytes stay as they are.
      {"a file", kOtherName, false, RepairFileStatus::kOutExists},
      {"a file, replacing", kOtherName, true, RepairFileStatus::kWritten},
      {"a link to a file, replacing", LinkTo("t.dem"), true, RepairFileStatus::kWritten},
      {"a FIFO", kFifo, false, RepairFileStatus::kOutNotAFile},
      {"a FIFO, replacing", kFifo, true, RepairFileStatus::kOutNotAFile},
      {"a folder, replacing", kFolder, true, RepairFileStatus::kOutNotAFile},
  };
  for (const bool unnamed : {true, false}) {
    for (const auto& c : cases) {
      const std::string what = std::string(c.what) + (unnamed ? "" : ", under a temporary name");
      Write("t.dem", {'o', 'l', 'd'});
      ASSERT_TRUE(c.make("o.dem")) << what;
      std::map<std::string, std::string> expected = Kinds(".");
      if (c.status == RepairFileStatus::kWritten) expected["o.dem"] = "new";
      {
        WholeFile file;
        ASSERT_EQ(file.Create("o.dem", unnamed), RepairFileStatus::kWritten) << what;
        EXPECT_TRUE(file.Write(reinterpret_cast<const uint8_t*>("new"), 3)) << what;
        EXPECT_EQ(file.PutInPlace(c.replace), c.status) << what;
      }
      EXPECT_TRUE(Kinds(".") == expected) << what << ": the folder is not as it should be";
      ASSERT_EQ(system(("rm -rf '" + dir_ + "'/*").c_str()), 0);
    }
  }
}

// Whether the folder's file system makes files without a name (O_TMPFILE).
bool MakesUnnamedFiles(const std::string& folder) {
#ifdef O_TMPFILE
  const int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (fd >= 0) close(fd);
  return fd >= 0;
#else
  return false;
#endif
}

TEST_F(RepairTest, AWriteEndedByASignalLeavesNothing) {
  const struct {
    bool unnamed;
    int signal;
  } cases[] = {
      // A temporary name is removed by the signals that can be caught.
      {false, SIGINT},
      {false, SIGTERM},
      {false, SIGHUP},
      // A file without a name goes with the process, however it ends.
      {true, SIGKILL},
      {true, SIGTERM},
  };
  const std::vector<uint8_t> bytes(1 << 20, 'x');
  for (const auto& c : cases) {
    const std::string what =
        std::string(c.unnamed ? "no name, " : "a temporary name, ") + strsignal(c.signal);
    if (c.unnamed && !MakesUnnamedFiles(dir_)) {
      printf("[  SKIPPED ] %s: no file without a name here\n", what.c_str());
      continue;
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // As a program that leaves them to the system: a test run may ignore some.
      for (int ending : {SIGINT, SIGTERM, SIGHUP}) signal(ending, SIG_DFL);
      WholeFile file;
      if (file.Create("o.dem", c.unnamed) != RepairFileStatus::kWritten ||
          !file.Write(bytes.data(), bytes.size())) {
        _exit(2);
      }
      // Part written: under one hidden name, or under none.
      const std::map<std::string, std::string> kinds = Kinds(".");
      const bool asWanted = c.unnamed ? kinds.empty()
                                      : kinds.size() == 1 && kinds.begin()->first[0] == '.' &&
                                            kinds.begin()->second.size() == bytes.size();
      if (!asWanted) _exit(3);
      raise(c.signal);
      _exit(4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal)
        << what << ": the child ended with status " << status;
    EXPECT_TRUE(Kinds(".").empty()) << what << ": something was left";
  }
}

void WriteText(const char* path, const std::string& text) {
  const int fd = open(path, O_WRONLY);
  if (fd < 0) return;
  if (write(fd, text.data(), text.size()) < 0) perror(path);
  close(fd);
}

// A tmpfs with the options at folder, seen by this process alone: as root, or
// in a user namespace of its own where the system allows one.
bool MountTmpfs(const char* folder, const char* options) {
  if (unshare(CLONE_NEWNS) != 0) {
    const std::string uid = std::to_string(geteuid()), gid = std::to_string(getegid());
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
    WriteText("/proc/self/setgroups", "deny");
    WriteText("/proc/self/uid_map", "0 " + uid + " 1");
    WriteText("/proc/self/gid_map", "0 " + gid + " 1");
  }
  mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
  return mount("tmpfs", folder, "tmpfs", 0, options) == 0;
}

TEST_F(RepairTest, AFullDiskIsToldAsSuchAndLeavesNothing) {
  Write("d.dem", Cut(LargeDemo(), 1000000));
  MapRecipe map;
  map.faces = {FloorRectangle(0, 0, 512, 256, 0)};
  Write("m.bsp", WriteMap(map));
  ASSERT_EQ(mkdir("full", 0700), 0);
  const char* const kFull =
      "quendrix-repair: full/o.dem: could not be written: the disk is full. Nothing written.\n";
  const struct {
    const char* what;
    int (*tool)(int, char**, FILE*, FILE*);
    std::vector<std::string> args;
    const char* options;  // of the tmpfs at full/
    std::string err;
  } cases[] = {
      {"the copy fills it", RunRepair, {"d.dem", "full/o.dem"}, "size=64k", kFull},
      // Told before DEMO is read: there is none.
      {"no room for a file", RunRepair, {"none.dem", "full/o.dem"}, "nr_inodes=1", kFull},
      {"the picture fills it",
       RunPreviewer,
       {"--size", "300x300", "--out", "full", "m.bsp"},
       "size=64k",
       "m.bsp: cannot write the picture: the disk is full\n"},
  };
  for (const auto& c : cases) {
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(report[0]);
      // The status, what the tmpfs holds after it, and the messages.
      std::string told = "-";
      if (MountTmpfs("full", c.options)) {
        const ToolRun run = RunTool(c.tool, "tool", c.args);
        told = std::to_string(run.status) + " " + std::to_string(Kinds("full").size()) + "\n" +
               run.err;
      }
      if (write(report[1], told.data(), told.size()) < 0) _exit(2);
      _exit(0);
    }
    close(report[1]);
    const std::string told = ReadAll(fdopen(report[0], "rb"));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (told == "-") {
      printf("[  SKIPPED ] %s: no tmpfs can be mounted here\n", c.what);
      continue;
    }
    EXPECT_EQ(told, "1 0\n" + c.err) << c.what;
  }
}

}  // namespace
