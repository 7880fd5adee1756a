// The demos of a folder tree with opendir and readdir.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/utf8_text.h"
#include "library/demo_folder.h"

namespace {

// From 1601-01-01 to 1970-01-01.
constexpr int64_t kSecondsBeforeUnixTime = 11644473600;

int64_t WindowsTicks(const timespec& time) {
  return (static_cast<int64_t>(time.tv_sec) + kSecondsBeforeUnixTime) * 10000000 +
         time.tv_nsec / 100;
}

bool NamedAsDemo(const char* name) {
  const size_t length = strlen(name);
  return length >= 4 && strcasecmp(name + length - 4, ".dem") == 0;
}

std::string Joined(const std::string& folder, const char* name) {
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool ShouldStop(const std::atomic<bool>* stop) {
  return stop != nullptr && stop->load();
}

void AddUnlisted(const std::string& folder, int error, std::vector<UnlistedFolder>* unlisted) {
  unlisted->push_back({TextAsUtf8(folder), strerror(error)});
}

// Adds the folder's demos to found and its subfolders to folders; false when
// it cannot be opened (errno says why).
bool ListOneFolder(const std::string& folder, std::vector<std::string>* folders,
                   std::vector<FoundDemo>* found, std::vector<UnlistedFolder>* unlisted,
                   const std::atomic<bool>* stop) {
  DIR* entries = opendir(folder.c_str());
  if (entries == nullptr) return false;
  while (!ShouldStop(stop)) {
    errno = 0;
    const dirent* entry = readdir(entries);
    if (entry == nullptr) {
      if (errno != 0) AddUnlisted(folder, errno, unlisted);
      break;
    }
    const char* name = entry->d_name;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
    // Only a folder or a demo's name is worth a look at its kind.
    const bool mayBeFolder = entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN;
    if (!mayBeFolder && !NamedAsDemo(name)) continue;
    const std::string path = Joined(folder, name);
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) continue;
    if (S_ISDIR(info.st_mode)) {
      folders->push_back(path);
      continue;
    }
    // A link is listed for the regular file it leads to.
    if (!NamedAsDemo(name) || (S_ISLNK(info.st_mode) && stat(path.c_str(), &info) != 0) ||
        !S_ISREG(info.st_mode)) {
      continue;
    }
    FoundDemo demo;
    demo.shownPath = TextAsUtf8(path);
    demo.path = path;
    demo.size = static_cast<uint64_t>(info.st_size);
    demo.modified = WindowsTicks(info.st_mtim);
    found->push_back(std::move(demo));
  }
  closedir(entries);
  return true;
}

}  // namespace

FolderStatus ListDemoFolder(const char* root, std::vector<FoundDemo>* found,
                            std::vector<UnlistedFolder>* unlisted, const std::atomic<bool>* stop) {
  if (!IsFolder(root)) return FolderStatus::kNotFolder;
  // Folders still to be listed: a deep tree grows this list, not the stack.
  std::vector<std::string> folders = {root};
  bool isRoot = true;
  while (!folders.empty() && !ShouldStop(stop)) {
    const std::string folder = std::move(folders.back());
    folders.pop_back();
    if (!ListOneFolder(folder, &folders, found, unlisted, stop)) {
      AddUnlisted(folder, errno, unlisted);
      if (isRoot) return FolderStatus::kCannotList;
    }
    isRoot = false;
  }
  std::sort(found->begin(), found->end(),
            [](const FoundDemo& a, const FoundDemo& b) { return a.path < b.path; });
  return FolderStatus::kListed;
}

bool IsFolder(const char* path) {
  struct stat info;
  return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}
