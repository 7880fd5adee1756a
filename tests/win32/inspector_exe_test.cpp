// The inspector as the Windows build has it: the same outcomes as LoadDemo
// for files that cannot be inspected, through the same platform calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/inspector.h"
#include "library/demo_folder.h"
#include "tests/native/tool_run.h"
#include "tests/win32/win32_test_support.h"
#include "tools/demo_writer.h"

namespace {

TEST(InspectorOnWindows, SummariesAndFailures) {
  ScratchDir scratch;
  DemoRecipe recipe;
  recipe.mapName = "de_aztec";
  recipe.viewportWidth = 1152;
  recipe.viewportHeight = 864;
  std::string good = scratch.Write("good.dem", WriteDemo(recipe));
  std::string empty = scratch.Write("empty.dem", {});
  std::string missing = scratch.Join("missing.dem");
  const ToolRun run =
      RunTool(RunInspector, "quendrix-inspect", {"--json", missing, scratch.path(), empty, good});
  const int status = run.status;
  const std::string& printed = run.out;
  const std::string& errors = run.err;
  EXPECT_EQ(status, 1);
  EXPECT_EQ(errors, missing + ": Could not open demofile.\n" + scratch.path() +
                        ": is a folder; -r inspects the demos in it\n" + empty +
                        ": Could not open demofile (reason 2).\n");
  EXPECT_NE(printed.find("\"map\":\"de_aztec\""), std::string::npos) << printed;
  EXPECT_NE(printed.find("\"demoResWidth\":\"1152\",\"demoResHeight\":\"864\",\"hltv\":false,"),
            std::string::npos)
      << printed;
  // The directory read through the file's own position, apart from the reading.
  EXPECT_NE(printed.find("\"frames\":200,\"viewportWidth\":1152,\"viewportHeight\":864,"
                         "\"intact\":true,\"problems\":[],"),
            std::string::npos)
      << printed;
  EXPECT_NE(printed.find("\"messagesRead\":true,\"messageProblems\":[]}"), std::string::npos)
      << printed;
}

// A name outside the ANSI code page is found by its short form, which opens
// the same file; the others by their paths as given; folders are entered
// whatever their name, and -r inspects what is found.
TEST(InspectorOnWindows, DemosOfAFolderTree) {
  ScratchDir scratch;
  const std::vector<uint8_t> demo = WriteDemo(DemoRecipe());
  ASSERT_TRUE(CreateDirectoryA(scratch.Join("Sub").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(scratch.Join("x.dem").c_str(), nullptr));
  scratch.Write("a.dem", demo);
  scratch.Write("Sub\\b.DEM", demo);
  scratch.Write("x.dem\\c.dem", demo);
  scratch.Write("notes.txt", demo);
  // Cyrillic Zhe, which Windows-1252 lacks.
  const std::wstring wide =
      std::wstring(scratch.path().begin(), scratch.path().end()) + L"\\\u0416.dem";
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, demo.data(), static_cast<DWORD>(demo.size()), &written, nullptr);
  CloseHandle(file);

  for (const std::string& root : {scratch.path(), scratch.path() + "\\", scratch.path() + "/"}) {
    const char last = root.back();
    const std::string folder = last == '\\' || last == '/' ? root : root + "\\";
    std::vector<FoundDemo> found;
    std::vector<UnlistedFolder> unlisted;
    ASSERT_EQ(ListDemoFolder(root.c_str(), &found, &unlisted), FolderStatus::kListed) << root;
    EXPECT_TRUE(unlisted.empty()) << root;
    ASSERT_EQ(found.size(), 4u) << root;
    EXPECT_TRUE(
        std::is_sorted(found.begin(), found.end(),
                       [](const FoundDemo& a, const FoundDemo& b) { return a.path < b.path; }));
    std::vector<std::string> shown;
    for (const FoundDemo& each : found) {
      shown.push_back(each.shownPath);
      EXPECT_EQ(ReadFileBytes(each.path), demo) << each.path;
      EXPECT_EQ(each.size, demo.size()) << each.path;
    }
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (std::vector<std::string>{folder + "Sub\\b.DEM", folder + "a.dem",
                                               folder + "x.dem\\c.dem", folder + "\xD0\x96.dem"}))
        << root;
  }

  std::vector<FoundDemo> found;
  std::vector<UnlistedFolder> unlisted;
  ListDemoFolder(scratch.path().c_str(), &found, &unlisted);
  std::vector<std::string> oneByOne = {"--json"};
  for (const FoundDemo& each : found) oneByOne.push_back(each.path);
  const ToolRun want = RunTool(RunInspector, "quendrix-inspect", oneByOne);
  const ToolRun got = RunTool(RunInspector, "quendrix-inspect", {"--json", "-r", scratch.path()});
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.err, "");
  EXPECT_EQ(got.out, want.out);
  // The scratch folder's removal goes by ANSI names, which miss this one.
  DeleteFileW(wide.c_str());
}

}  // namespace
