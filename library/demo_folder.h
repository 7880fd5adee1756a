// Finding the demos in a folder and its subfolders. Declared without platform
// headers; each platform has its own definition.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct FoundDemo {
  std::string path;       // as the platform's file calls take it
  std::string shownPath;  // UTF-8, for showing and searching
  uint64_t size = 0;
  int64_t modified = 0;   // 100 ns ticks since 1601-01-01 UTC, as Windows keeps it
};

// A folder of the tree that could not be listed, with the reason.
struct UnlistedFolder {
  std::string shownPath;  // UTF-8
  std::string reason;
};

enum class FolderStatus {
  kListed,     // root was listed; some subfolders may still be in unlisted
  kNotFolder,  // root is a file, or nothing
  kCannotList, // root is a folder that cannot be read: unlisted holds it alone
};

// Every file under root, subfolders included, whose name ends in ".dem" in
// any case, in the byte order of their paths (root as given, then the names,
// joined by the platform's separator). Folders reached through links are not
// entered, so that a loop is never followed. stop, when given, is looked at
// between entries: once it is set, the listing ends early with what it has.
FolderStatus ListDemoFolder(const char* root, std::vector<FoundDemo>* found,
                            std::vector<UnlistedFolder>* unlisted,
                            const std::atomic<bool>* stop = nullptr);

// Whether path names a folder (through links).
bool IsFolder(const char* path);
