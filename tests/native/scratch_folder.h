// A folder of a test's own under /tmp, removed with all it holds at the end.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tests/native/tool_run.h"

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
