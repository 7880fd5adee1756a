// How a start takes its demo path: the command-line rule, the quotes, the
// long form, and the long-path walk on real files, whose short names Wine
// makes by hashing (PROG~FBU rather than PROGRA~1).
#include <gtest/gtest.h>

#include <string>

#include "app/long_path.h"
#include "app/start_up.h"
#include "common/app_state.h"
#include "tests/win32/win32_test_support.h"

namespace {

std::string ShortName(const std::string& path) {
  char shortPath[MAX_PATH] = "";
  GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
  return shortPath;
}

class StartUpTest : public testing::Test {
 protected:
  void SetUp() override {
    app = AppState();
    CreateDirectoryA(scratch_.Join("Program Files Long").c_str(), nullptr);
    CreateDirectoryA(scratch_.Join("Program Files Long\\Games And More").c_str(), nullptr);
    demo_ = scratch_.Write("Program Files Long\\Games And More\\My demo 1.dem", {'H', 'L'});
    shortDemo_ = ShortName(demo_);
  }
  void TearDown() override {
    app = AppState();
    longPathServiceName = kService;
  }

  static constexpr const char* kService = "GetLongPathNameA";
  // As a system without the service: kernel32 has no function of this name.
  static constexpr const char* kNoService = "GetLongPathNameQ";

  ScratchDir scratch_;
  std::string demo_;
  std::string shortDemo_;
};

TEST_F(StartUpTest, TheDemoPathOfTheCommandLine) {
  ASSERT_NE(shortDemo_, demo_);
  const std::string missing = scratch_.Join("gone.dem");
  const std::pair<std::string, std::string> cases[] = {
      {"q.exe " + shortDemo_, demo_},
      {"\"C:\\Program Files\\q.exe\"   " + shortDemo_, demo_},
      {"q.exe \"" + demo_ + "\"", demo_},
      {"q.exe \"" + shortDemo_ + "\"", demo_},
      {"q.exe " + missing, missing},
      {"q.exe " + missing + " -x", missing + " -x"},
      {"q.exe", ""},
      {"q.exe   ", ""},
      {"q.exe " + std::string(300, 'z'), std::string(259, 'z')},
  };
  // The system's service, and the walk where kernel32 lacks it: the same.
  for (const char* service : {kService, kNoService}) {
    longPathServiceName = service;
    for (const auto& [commandLine, pending] : cases) {
      app = AppState();
      TakeDemoPathFromCommandLine(commandLine.c_str());
      EXPECT_EQ(std::string(app.pendingDemoPath), pending) << service << ": " << commandLine;
    }
  }
}

TEST_F(StartUpTest, OwnPathsOfTheRunningProgram) {
  TakeOwnPaths(nullptr);
  std::string exe = app.ownExePath;
  EXPECT_EQ(exe.substr(exe.size() - 25), "\\quendrix_win32_tests.exe");
  EXPECT_EQ(std::string(app.ownDir), exe.substr(0, exe.size() - 25));
}

TEST_F(StartUpTest, TheServiceOrWalkResultStands) {
  for (const char* service : {kService, kNoService}) {
    longPathServiceName = service;
    char expanded[MAX_PATH] = "untouched";
    EXPECT_EQ(ExpandLongPath(shortDemo_.c_str(), expanded, sizeof expanded), demo_.size())
        << service;
    EXPECT_EQ(demo_, expanded) << service;
    EXPECT_EQ(ExpandLongPath(scratch_.Join("NOTHERE").c_str(), expanded, sizeof expanded), 0u)
        << service;
    EXPECT_EQ(ExpandLongPath(nullptr, expanded, sizeof expanded), 0u) << service;
  }
}

TEST_F(StartUpTest, TheWalkOnRealFiles) {
  const std::string folder = scratch_.Join("Program Files Long");
  struct Case {
    std::string source;
    std::string expected;
    bool resolved;
  };
  const Case cases[] = {
      {shortDemo_, demo_, true},
      {ShortName(folder) + "\\GONE.DEM", folder + "\\GONE.DEM", false},
      {ShortName(folder) + "\\", folder, true},
      {ShortName(folder) + "\\\\GONE.DEM", folder + "\\\\GONE.DEM", false},
      {"C:\\", "C:", true},
      {"\"" + shortDemo_ + "\"", "\"" + shortDemo_ + "\"", false},
      {"", "", false},
  };
  for (const auto& [source, expected, resolved] : cases) {
    char walked[MAX_PATH];
    EXPECT_EQ(WalkLongPathOnDisk(source.c_str(), walked, sizeof walked),
              resolved ? expected.size() : 0u)
        << source;
    EXPECT_EQ(expected, walked) << source;
  }
}

TEST_F(StartUpTest, TheWalkNeverWritesPastItsSize) {
  for (DWORD size = 1; size <= demo_.size() + 2; ++size) {
    std::string walked(size + 8, '#');
    EXPECT_EQ(WalkLongPathOnDisk(shortDemo_.c_str(), &walked[0], size),
              size > demo_.size() ? demo_.size() : 0u);
    EXPECT_EQ(walked.substr(size), std::string(8, '#')) << size;
    std::string result = walked.c_str();
    // A long form that does not fit gives the short one, cut when it must be.
    EXPECT_EQ(result, size > demo_.size() ? demo_ : shortDemo_.substr(0, size - 1)) << size;
  }
}

}  // namespace
