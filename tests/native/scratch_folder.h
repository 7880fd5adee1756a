// A folder of a test's own under /tmp, removed with all it holds at the end.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/native/tool_run.h"

// What each name of a folder holds, opening nothing but regular files: a
// FIFO, a device, a folder or a link by its kind.
inline std::map<std::string, std::string> Kinds(const std::string& folder) {
  std::map<std::string, std::string> kinds;
  DIR* entries = opendir(folder.c_str());
  while (dirent* entry = entries != nullptr ? readdir(entries) : nullptr) {
    const std::string name = entry->d_name, path = folder + "/" + name;
    struct stat info;
    if (name == "." || name == ".." || lstat(path.c_str(), &info) != 0) continue;
    char target[4096];
    const ssize_t length = readlink(path.c_str(), target, sizeof target);
    kinds[name] = S_ISREG(info.st_mode) ? ReadAll(fopen(path.c_str(), "rb"))
                  : S_ISLNK(info.st_mode)
                      ? "link to " + std::string(target, length > 0 ? length : 0)
                  : S_ISFIFO(info.st_mode) ? "FIFO"
                  : S_ISDIR(info.st_mode)  ? "folder"
                                           : "device";
  }
  if (entries != nullptr) closedir(entries);
  return kinds;
}

class ScratchFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quendrix-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::string command = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(system(command.c_str()), 0);
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  // The file's path.
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::string path = Path(name);
    FILE* file = fopen(path.c_str(), "wb");
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
    return path;
  }

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

  std::string dir_;
};

// A tool run from inside the folder, so that names and messages read short.
class InsideScratchFolderTest : public ScratchFolderTest {
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
  static ToolRun Run(int (*run)(int, char**, FILE*, FILE*), const char* name,
                     const std::string& args) {
    std::vector<std::string> split;
    std::istringstream words(args);
    for (std::string word; words >> word;) split.push_back(word);
    return RunTool(run, name, split);
  }

  char home_[4096];
};
