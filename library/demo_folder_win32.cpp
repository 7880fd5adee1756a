// The demos of a folder tree with FindFirstFileW, so that names outside the
// ANSI code page are found too; each is given to the ANSI file calls by a
// name that reaches it.
#include <windows.h>

#include <algorithm>

#include "common/wide_text.h"
#include "library/demo_folder.h"

namespace {

// The system's message for the error, without its line break.
std::string ErrorText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD flags =
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  std::wstring message;
  if (FormatMessageW(flags, nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr) !=
      0) {
    message = text;
    LocalFree(text);
  }
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(error) : Utf8Text(message);
}

bool NamedAsDemo(const wchar_t* name) {
  const size_t length = wcslen(name);
  if (length < 4) return false;
  const wchar_t* end = name + length - 4;
  return end[0] == L'.' && (end[1] | 0x20) == L'd' && (end[2] | 0x20) == L'e' &&
         (end[3] | 0x20) == L'm';
}

std::wstring Joined(const std::wstring& folder, const wchar_t* name) {
  const wchar_t last = folder.back();
  return last == L'\\' || last == L'/' ? folder + name : folder + L"\\" + name;
}

bool ShouldStop(const std::atomic<bool>* stop) {
  return stop != nullptr && stop->load();
}

// The path that the ANSI file calls open: the path itself, or else its
// short form, whose names are plain ASCII.
bool AnsiPath(const std::wstring& path, std::string* ansi) {
  if (NarrowText(path, CP_ACP, ansi)) return true;
  const DWORD length = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (length == 0) return false;
  std::wstring shortPath(length, L'\0');
  const DWORD written = GetShortPathNameW(path.c_str(), &shortPath[0], length);
  if (written == 0 || written >= length) return false;
  shortPath.resize(written);
  return NarrowText(shortPath, CP_ACP, ansi);
}

void AddDemo(const std::wstring& path, const WIN32_FIND_DATAW& entry, std::vector<FoundDemo>* found,
             std::vector<UnlistedFolder>* unlisted) {
  FoundDemo demo;
  demo.shownPath = Utf8Text(path);
  if (!AnsiPath(path, &demo.path)) {
    unlisted->push_back({demo.shownPath, "the name has no form in the system's code page"});
    return;
  }
  demo.size = static_cast<uint64_t>(entry.nFileSizeHigh) << 32 | entry.nFileSizeLow;
  demo.modified =
      static_cast<int64_t>(static_cast<uint64_t>(entry.ftLastWriteTime.dwHighDateTime) << 32 |
                           entry.ftLastWriteTime.dwLowDateTime);
  found->push_back(std::move(demo));
}

// Adds the folder's demos to found and its subfolders to folders; false when
// it cannot be read (GetLastError says why).
bool ListOneFolder(const std::wstring& folder, std::vector<std::wstring>* folders,
                   std::vector<FoundDemo>* found, std::vector<UnlistedFolder>* unlisted,
                   const std::atomic<bool>* stop) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(Joined(folder, L"*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) {
    // A drive's root has no "." entry: empty, it finds nothing.
    return GetLastError() == ERROR_FILE_NOT_FOUND;
  }
  do {
    if (ShouldStop(stop)) break;
    const wchar_t* name = entry.cFileName;
    if (wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0) continue;
    const DWORD attributes = entry.dwFileAttributes;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      // A junction or a link to a folder may lead back up the tree.
      if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) folders->push_back(Joined(folder, name));
    } else if (NamedAsDemo(name)) {
      AddDemo(Joined(folder, name), entry, found, unlisted);
    }
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return true;
}

}  // namespace

FolderStatus ListDemoFolder(const char* root, std::vector<FoundDemo>* found,
                            std::vector<UnlistedFolder>* unlisted, const std::atomic<bool>* stop) {
  if (!IsFolder(root)) return FolderStatus::kNotFolder;
  // Folders still to be listed: a deep tree grows this list, not the stack.
  std::vector<std::wstring> folders = {WideText(root, CP_ACP)};
  bool isRoot = true;
  while (!folders.empty() && !ShouldStop(stop)) {
    const std::wstring folder = std::move(folders.back());
    folders.pop_back();
    if (!ListOneFolder(folder, &folders, found, unlisted, stop)) {
      const DWORD error = GetLastError();
      unlisted->push_back({Utf8Text(folder), ErrorText(error)});
      if (isRoot) return FolderStatus::kCannotList;
    }
    isRoot = false;
  }
  std::sort(found->begin(), found->end(),
            [](const FoundDemo& a, const FoundDemo& b) { return a.path < b.path; });
  return FolderStatus::kListed;
}

bool IsFolder(const char* path) {
  const DWORD attributes = GetFileAttributesW(WideText(path, CP_ACP).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
