// The walk on a disk of the test's own, looked up as FindFirstFileA looks up
// entries: every component by its long or its short name, in any case.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/long_path_walk.h"

namespace {

struct Entry {
  const char* parent;  // long path of the folder holding it, "" for the root
  const char* name;
  const char* shortName;
};

// C:\ is the current folder.
const Entry kDisk[] = {
    {"", "Program Files", "PROGRA~1"},
    {"\\Program Files", "Games", "GAMES"},
    {"\\Program Files\\Games", "My demo 1.dem", "MYDEMO~1.DEM"},
    {"", "Demos", "DEMOS"},
    {"\\Demos", "x.dem", "X.DEM"},
};

bool SameName(const std::string& a, const char* b) {
  return strcasecmp(a.c_str(), b) == 0;
}

bool FindOnDisk(const char* query, char* name, size_t nameSize) {
  std::string path = query;
  if (path.size() >= 2 && SameName(path.substr(0, 2), "C:")) path = path.substr(2);
  std::string folder;
  const Entry* found = nullptr;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    std::string component = path.substr(start, end - start);
    start = end + 1;
    if (component.empty()) continue;
    found = nullptr;
    for (const Entry& entry : kDisk) {
      if (folder == entry.parent &&
          (SameName(component, entry.name) || SameName(component, entry.shortName))) {
        found = &entry;
      }
    }
    if (found == nullptr) return false;
    folder += std::string("\\") + found->name;
  }
  if (found == nullptr) return false;
  snprintf(name, nameSize, "%s", found->name);
  return true;
}

// The text the walk wrote; its result goes to *result.
std::string Walk(const std::string& source, size_t size = 260, int* result = nullptr) {
  std::vector<char> destination(size + 8, '#');
  const int walked = WalkLongPath(source.c_str(), destination.data(), size, FindOnDisk);
  if (result != nullptr) *result = walked;
  for (size_t i = size; i < destination.size(); ++i) {
    EXPECT_EQ(destination[i], '#') << "written past " << size << " at " << i << " for " << source;
  }
  EXPECT_NE(memchr(destination.data(), '\0', size), nullptr) << source;
  return destination.data();
}

TEST(WalkLongPath, ExpandsEachComponentAsTheSourceWritesIt) {
  // Resolved: a drive, then only components that the search found.
  struct Case {
    const char* source;
    const char* expanded;
    bool resolved;
  };
  const Case cases[] = {
      {"C:\\PROGRA~1\\GAMES\\MYDEMO~1.DEM", "C:\\Program Files\\Games\\My demo 1.dem", true},
      {"C:\\DEMOS\\GONE.DEM", "C:\\Demos\\GONE.DEM", false},
      {"C:\\DEMOS\\", "C:\\Demos", true},
      {"C:\\", "C:", true},
      {"C:", "C:", true},
      {"C:\\DEMOS\\\\GONE.DEM", "C:\\Demos\\\\GONE.DEM", false},
      {"C:\\DEMOS\\\\X.DEM", "C:\\Demos\\\\x.dem", false},
      {"DEMOS\\X.DEM", "\\Demos\\x.dem", false},
      {"\\DEMOS\\X.DEM", "\\\\Demos\\x.dem", false},
      {"\\\\server\\share\\x.dem", "\\\\\\server\\share\\x.dem", false},
      {"C:\\DEMOS\\X.DEM:info", "C:\\DemosX.DEM:info", false},
      {"\"C:\\DEMOS\\X.DEM\"", "\"C:\\DEMOS\\X.DEM\"", false},
      {"c:\\demos\\x.dem", "c:\\Demos\\x.dem", true},
      {"", "", false},
  };
  for (auto [source, expanded, resolved] : cases) {
    int result = -1;
    EXPECT_EQ(Walk(source, 260, &result), expanded) << source;
    EXPECT_EQ(result, resolved ? static_cast<int>(strlen(expanded)) : 0) << source;
  }
}

TEST(WalkLongPath, MissingSourceOrDestinationWritesNothing) {
  char destination[8] = "keep";
  EXPECT_EQ(WalkLongPath(nullptr, destination, sizeof destination, FindOnDisk), 0);
  EXPECT_STREQ(destination, "keep");
  EXPECT_EQ(WalkLongPath("C:\\DEMOS", nullptr, 8, FindOnDisk), 0);
}

TEST(WalkLongPath, NeverWritesPastTheSize) {
  // The long form (37 characters) is longer than the source (29): any size
  // from 1 up either fits it or falls back to the source, cut if need be.
  const std::string source = "C:\\PROGRA~1\\GAMES\\MYDEMO~1.DEM";
  const std::string expanded = "C:\\Program Files\\Games\\My demo 1.dem";
  for (size_t size = 1; size <= 64; ++size) {
    int length = -1;
    std::string result = Walk(source, size, &length);
    if (size > expanded.size()) {
      EXPECT_EQ(result, expanded) << size;
      EXPECT_EQ(length, static_cast<int>(expanded.size())) << size;
    } else {
      EXPECT_EQ(result, source.substr(0, size - 1)) << size;
      EXPECT_EQ(length, 0) << size;
    }
  }
}

TEST(WalkLongPath, QueriesLongerThanAPathFindNothing) {
  std::string source = "C:\\DEMOS\\" + std::string(300, 'd') + "\\X.DEM";
  EXPECT_EQ(Walk(source, 400), "C:\\Demos\\" + std::string(300, 'd') + "\\X.DEM");
}

}  // namespace
