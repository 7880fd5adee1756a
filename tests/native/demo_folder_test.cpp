// The demos of a folder tree, and quendrix-inspect -r on them, in the test's
// own scratch folder.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "cli/inspector.h"
#include "library/demo_folder.h"
#include "tests/native/scratch_folder.h"
#include "tests/native/tool_run.h"
#include "tools/demo_writer.h"

namespace {

// 2001-09-09 01:46:40.123456789 UTC, and the same in Windows' 100 ns ticks.
constexpr timespec kModified = {1000000000, 123456789};
constexpr int64_t kModifiedTicks = 126444736001234567;
const timespec kTimes[2] = {kModified, kModified};

enum class Kind { kFile, kFolder, kLink, kFifo, kLockedFolder };

struct TreeEntry {
  std::string name;  // below the root
  Kind kind;
  std::string target;  // of a link
  bool listed;
  std::string shown;  // the shown name where it differs from name
};

class DemoFolderTest : public ScratchFolderTest {
 protected:
  void TearDown() override {
    // rm cannot empty a folder that cannot be read.
    for (const std::string& folder : locked_) chmod(folder.c_str(), 0700);
    ScratchFolderTest::TearDown();
  }

  void MakeParents(const std::string& name) {
    for (size_t slash = name.find('/'); slash != std::string::npos;
         slash = name.find('/', slash + 1)) {
      mkdir(Path(name.substr(0, slash)).c_str(), 0700);
    }
  }

  // Each file holds its name; the locked folders are locked last, once what
  // they hold is there.
  void MakeTree(const std::vector<TreeEntry>& entries) {
    for (const TreeEntry& entry : entries) {
      MakeParents(entry.name);
      const std::string path = Path(entry.name);
      switch (entry.kind) {
        case Kind::kFile:
          Write(entry.name, std::vector<uint8_t>(entry.name.begin(), entry.name.end()));
          ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), kTimes, 0), 0) << path;
          break;
        case Kind::kFolder: MakeParents(entry.name + "/"); break;
        case Kind::kLink: ASSERT_EQ(symlink(entry.target.c_str(), path.c_str()), 0) << path; break;
        case Kind::kFifo: ASSERT_EQ(mkfifo(path.c_str(), 0600), 0) << path; break;
        case Kind::kLockedFolder:
          MakeParents(entry.name + "/");
          locked_.push_back(path);
          break;
      }
    }
    for (const std::string& folder : locked_) ASSERT_EQ(chmod(folder.c_str(), 0), 0);
  }

  std::vector<std::string> locked_;
};

// Permissions do not stop root from reading a folder.
bool PermissionsHold() {
  return geteuid() != 0;
}

TEST_F(DemoFolderTest, ListsTheDemosOfTheTreeInByteOrder) {
  std::vector<TreeEntry> entries = {
      {"a b.dem", Kind::kFile, "", true, ""},
      {"[x] y!.dem", Kind::kFile, "", true, ""},
      {"B.dem", Kind::kFile, "", true, ""},
      {"UP.DEM", Kind::kFile, "", true, ""},
      {"Mixed.Dem", Kind::kFile, "", true, ""},
      {".dem", Kind::kFile, "", true, ""},
      {"\xC3\xBCn\xC3\xAF \xD0\xB4\xD0\xB5\xD0\xBC\xD0\xBE.dem", Kind::kFile, "", true, ""},
      {"d\xE9j\xE0.dem", Kind::kFile, "", true, "d\xC3\xA9j\xC3\xA0.dem"},
      {"demo.dem.txt", Kind::kFile, "", false, ""},
      {"notes.txt", Kind::kFile, "", false, ""},
      {"dem", Kind::kFile, "", false, ""},
      {"x.dem", Kind::kFolder, "", false, ""},
      {"x.dem/inner.dem", Kind::kFile, "", true, ""},
      {"empty", Kind::kFolder, "", false, ""},
      {"sub.dem", Kind::kFile, "", true, ""},
      {"sub/deeper/d.dem", Kind::kFile, "", true, ""},
      {"sub/deeper/loop", Kind::kLink, "../..", false, ""},
      {"sub/deeper/loop.dem", Kind::kLink, "..", false, ""},
      {"sub/link.dem", Kind::kLink, "../a b.dem", true, ""},
      {"sub/broken.dem", Kind::kLink, "nowhere.dem", false, ""},
      {"sub/pipe.dem", Kind::kFifo, "", false, ""},
      {"sub/null.dem", Kind::kLink, "/dev/null", false, ""},
      {"deep/" +
           [] {
             std::string levels;
             for (int i = 0; i < 300; ++i) levels += "d/";
             return levels;
           }() +
           "bottom.dem",
       Kind::kFile, "", true, ""},
  };
  if (PermissionsHold()) {
    entries.push_back({"locked", Kind::kLockedFolder, "", false, ""});
    entries.push_back({"sub/locked.dem", Kind::kLockedFolder, "", false, ""});
  }
  // Made before its folder is locked; listed only where the lock does not hold.
  entries.insert(entries.begin(), {"locked/hidden.dem", Kind::kFile, "", !PermissionsHold(), ""});
  MakeTree(entries);

  std::vector<FoundDemo> want;
  for (const TreeEntry& entry : entries) {
    if (!entry.listed) continue;
    const std::string target = entry.kind == Kind::kLink ? entry.target : entry.name;
    FoundDemo demo;
    demo.path = Path(entry.name);
    demo.shownPath = Path(entry.shown.empty() ? entry.name : entry.shown);
    // A link leads to a file of the root, which holds its name.
    demo.size = entry.kind == Kind::kLink ? target.size() - target.rfind('/') - 1 : target.size();
    demo.modified = kModifiedTicks;
    want.push_back(demo);
  }
  std::sort(want.begin(), want.end(),
            [](const FoundDemo& a, const FoundDemo& b) { return a.path < b.path; });
  std::vector<UnlistedFolder> wantUnlisted;
  for (const std::string& folder : locked_) wantUnlisted.push_back({folder, strerror(EACCES)});

  for (const std::string& root : {dir_, dir_ + "/"}) {
    std::vector<FoundDemo> found;
    std::vector<UnlistedFolder> unlisted;
    ASSERT_EQ(ListDemoFolder(root.c_str(), &found, &unlisted), FolderStatus::kListed);
    ASSERT_EQ(found.size(), want.size()) << root;
    for (size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(found[i].path, want[i].path) << i;
      EXPECT_EQ(found[i].shownPath, want[i].shownPath) << i;
      EXPECT_EQ(found[i].size, want[i].size) << found[i].path;
      EXPECT_EQ(found[i].modified, want[i].modified) << found[i].path;
    }
    std::sort(
        unlisted.begin(), unlisted.end(),
        [](const UnlistedFolder& a, const UnlistedFolder& b) { return a.shownPath < b.shownPath; });
    ASSERT_EQ(unlisted.size(), wantUnlisted.size());
    for (size_t i = 0; i < unlisted.size(); ++i) {
      EXPECT_EQ(unlisted[i].shownPath, wantUnlisted[i].shownPath);
      EXPECT_EQ(unlisted[i].reason, wantUnlisted[i].reason);
    }
  }
}

TEST_F(DemoFolderTest, RootsThatAreNoFolderOrCannotBeListed) {
  std::vector<TreeEntry> entries = {{"tree/a.dem", Kind::kFile, "", true, ""},
                                    {"file.dem", Kind::kFile, "", false, ""},
                                    {"to-tree", Kind::kLink, "tree", false, ""}};
  if (PermissionsHold()) entries.push_back({"locked", Kind::kLockedFolder, "", false, ""});
  MakeTree(entries);
  const std::atomic<bool> stopped{true};
  const struct {
    std::string root;
    const std::atomic<bool>* stop;
    FolderStatus status;
    size_t found;
    size_t unlisted;
  } cases[] = {
      {Path("tree"), nullptr, FolderStatus::kListed, 1, 0},
      {Path("to-tree"), nullptr, FolderStatus::kListed, 1, 0},
      {Path("tree"), &stopped, FolderStatus::kListed, 0, 0},
      {Path("file.dem"), nullptr, FolderStatus::kNotFolder, 0, 0},
      {Path("missing"), nullptr, FolderStatus::kNotFolder, 0, 0},
      {"", nullptr, FolderStatus::kNotFolder, 0, 0},
      {Path("locked"), nullptr, FolderStatus::kCannotList, 0, 1},
  };
  for (const auto& c : cases) {
    if (c.root == Path("locked") && !PermissionsHold()) continue;
    std::vector<FoundDemo> found;
    std::vector<UnlistedFolder> unlisted;
    EXPECT_EQ(ListDemoFolder(c.root.c_str(), &found, &unlisted, c.stop), c.status) << c.root;
    EXPECT_EQ(found.size(), c.found) << c.root;
    EXPECT_EQ(unlisted.size(), c.unlisted) << c.root;
    EXPECT_EQ(IsFolder(c.root.c_str()), c.status != FolderStatus::kNotFolder) << c.root;
  }
}

ToolRun Inspect(std::vector<std::string> args) {
  return RunTool(RunInspector, "quendrix-inspect", std::move(args));
}

// The real recordings (links to where they lie) in folders and under names of
// all kinds, a cut copy, a demo of the project's own and files that are no
// demo: -r on their folder prints what the same files given one by one print.
TEST_F(DemoFolderTest, RecursiveInspectionIsTheFilesOneByOne) {
  DIR* corpus = opendir(QUENDRIX_CORPUS_DIR);
  if (corpus == nullptr) GTEST_SKIP() << "no recordings at " << QUENDRIX_CORPUS_DIR;
  std::vector<std::string> recordings;
  while (const dirent* entry = readdir(corpus)) {
    const std::string name = entry->d_name;
    if (name.size() > 4 && name.substr(name.size() - 4) == ".dem") recordings.push_back(name);
  }
  closedir(corpus);
  std::sort(recordings.begin(), recordings.end());
  ASSERT_FALSE(recordings.empty());

  const char* const folders[] = {"tree/", "tree/Sub Folder [2]/", "tree/z!/\xC3\xA9t\xC3\xA9/"};
  std::vector<TreeEntry> entries;
  for (size_t i = 0; i < recordings.size(); ++i) {
    std::string name = folders[i % 3] + recordings[i];
    if (i % 2 == 1) name.replace(name.size() - 4, 4, ".DEM");
    entries.push_back(
        {name, Kind::kLink, std::string(QUENDRIX_CORPUS_DIR) + "/" + recordings[i], true, ""});
  }
  entries.push_back({"tree/notes.dem", Kind::kFile, "", true, ""});
  entries.push_back({"tree/readme.txt", Kind::kFile, "", false, ""});
  if (PermissionsHold()) entries.push_back({"tree/locked", Kind::kLockedFolder, "", false, ""});
  MakeTree(entries);
  const std::string whole = ReadAll(fopen(entries[0].target.c_str(), "rb"));
  std::vector<std::string> files;
  files.push_back(Write("tree/Sub Folder [2]/cut.dem",
                        std::vector<uint8_t>(whole.begin(), whole.begin() + whole.size() / 2)));
  files.push_back(Write("tree/empty.dem", {}));
  files.push_back(Write("tree/z!/written.dem", WriteDemo(DemoRecipe())));
  for (const TreeEntry& entry : entries) {
    if (entry.listed) files.push_back(Path(entry.name));
  }
  std::sort(files.begin(), files.end());
  std::string unlistedLines;
  for (const std::string& folder : locked_)
    unlistedLines += folder + ": " + strerror(EACCES) + "\n";

  const std::string before = Write("before.dem", WriteDemo(DemoRecipe()));
  const std::vector<std::vector<std::string>> optionSets = {
      {}, {"--json"}, {"--commands", "--current-res", "800x600"}};
  for (const auto& options : optionSets) {
    std::vector<std::string> oneByOne = options, recursive = options;
    oneByOne.push_back(before);
    oneByOne.insert(oneByOne.end(), files.begin(), files.end());
    oneByOne.push_back(before);
    recursive.insert(recursive.begin(), "-r");
    recursive.insert(recursive.end(), {before, Path("tree"), before});
    const ToolRun want = Inspect(oneByOne), got = Inspect(recursive);
    EXPECT_EQ(want.status, 1);  // the empty file
    EXPECT_EQ(got.status, want.status);
    EXPECT_EQ(got.out, want.out) << testing::PrintToString(options);
    EXPECT_EQ(got.err, unlistedLines + want.err);
  }
}

}  // namespace
