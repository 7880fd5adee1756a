// Writing a file whole, and a repaired copy, on Windows, with the calls that
// Windows XP has.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "demo/repair_file.h"

namespace {

// The folder part of a path with its separator, or "" for a bare name.
std::string FolderOf(const std::string& path) {
  const size_t end = path.find_last_of("\\/:");
  return end != std::string::npos ? path.substr(0, end + 1) : "";
}

RepairFileStatus FailureOf(DWORD error) {
  return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL
             ? RepairFileStatus::kDiskFull
             : RepairFileStatus::kCannotWrite;
}

// What a name holds, seen through a link as opening it would see it.
enum class Held { kNothing, kFile, kOther };

Held WhatIsAt(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Held::kNothing;
  }
  // No access asked: only what the file is, whoever holds it open.
  HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Held::kOther;
  const bool isFile = GetFileType(file) == FILE_TYPE_DISK &&
                      GetFileInformationByHandle(file, info) &&
                      (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  CloseHandle(file);
  return isFile ? Held::kFile : Held::kOther;
}

// Where something is already at path.
RepairFileStatus Refusal(const char* path) {
  BY_HANDLE_FILE_INFORMATION info;
  return WhatIsAt(path, &info) == Held::kOther ? RepairFileStatus::kOutNotAFile
                                               : RepairFileStatus::kOutExists;
}

// The temporary names that the console's ending of the program (Ctrl+C,
// Ctrl+Break, its window closed, a logoff, a shutdown) deletes first. The
// handler runs on a thread of its own: the lock keeps it from a name that is
// being made or put in place.
struct PendingNames {
  CRITICAL_SECTION lock;
  char paths[4][MAX_PATH];
  bool armed[4] = {};
  bool handlerSet = false;
  PendingNames() { InitializeCriticalSection(&lock); }
};
PendingNames pending;

class PendingLock {
 public:
  PendingLock() { EnterCriticalSection(&pending.lock); }
  ~PendingLock() { LeaveCriticalSection(&pending.lock); }
};

// The file is open for sharing its deletion: deleting it now takes its name
// away when the program's end closes it.
BOOL WINAPI DeletePendingNames(DWORD) {
  PendingLock held;
  for (int slot = 0; slot < 4; ++slot) {
    if (pending.armed[slot]) DeleteFileA(pending.paths[slot]);
    pending.armed[slot] = false;
  }
  return FALSE;  // the next handler, in the end the system's, ends the program
}

// With the lock held. -1 when the name cannot be kept.
int Arm(const std::string& path) {
  if (path.size() >= MAX_PATH) return -1;
  if (!pending.handlerSet) pending.handlerSet = SetConsoleCtrlHandler(DeletePendingNames, TRUE);
  for (int slot = 0; slot < 4; ++slot) {
    if (pending.armed[slot]) continue;
    memcpy(pending.paths[slot], path.c_str(), path.size() + 1);
    pending.armed[slot] = true;
    return slot;
  }
  return -1;
}

void Disarm(int slot) {
  if (slot >= 0) pending.armed[slot] = false;
}

}  // namespace

struct WholeFile::Parts {
  std::string path;
  HANDLE file = INVALID_HANDLE_VALUE;
  std::string temp;  // its temporary name while it has one
  int slot = -1;     // where temp waits for the console's ending
  DWORD error = 0;   // of the first write that failed
};

WholeFile::WholeFile() : parts_(new Parts) {}

WholeFile::~WholeFile() {
  Parts& p = *parts_;
  if (p.file != INVALID_HANDLE_VALUE) CloseHandle(p.file);
  if (p.temp.empty()) return;
  PendingLock held;
  DeleteFileA(p.temp.c_str());
  Disarm(p.slot);
}

RepairFileStatus WholeFile::Create(const char* path, bool) {
  Parts& p = *parts_;
  p.path = path;
  const std::string folder = FolderOf(p.path);
  // The process, a count and the clock make a name unlikely to be taken; the
  // next is tried while one is. CREATE_NEW makes it where nothing was, and
  // with FILE_FLAG_OPEN_REPARSE_POINT never through a link.
  static unsigned count = 0;
  DWORD error = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < 100 && error == ERROR_FILE_EXISTS; ++attempt) {
    char leaf[64];
    snprintf(leaf, sizeof leaf, "~quendrix-%lx-%x-%lx.tmp",
             static_cast<unsigned long>(GetCurrentProcessId()), ++count,
             static_cast<unsigned long>(GetTickCount()));
    const std::string name = folder + leaf;
    PendingLock held;
    p.file = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (p.file != INVALID_HANDLE_VALUE) {
      p.temp = name;
      p.slot = Arm(name);
      return RepairFileStatus::kWritten;
    }
    error = GetLastError();
  }
  return FailureOf(error);
}

bool WholeFile::Write(const uint8_t* bytes, size_t size) {
  Parts& p = *parts_;
  if (p.file == INVALID_HANDLE_VALUE && p.error == 0) p.error = ERROR_INVALID_HANDLE;
  while (size > 0 && p.error == 0) {
    const DWORD piece = size < 0x40000000 ? static_cast<DWORD>(size) : 0x40000000;
    DWORD written = 0;
    if (!WriteFile(p.file, bytes, piece, &written, nullptr)) {
      p.error = GetLastError();
    } else if (written == 0) {
      p.error = ERROR_WRITE_FAULT;
    }
    bytes += written;
    size -= written;
  }
  return p.error == 0;
}

RepairFileStatus WholeFile::PutInPlace(bool replace) {
  Parts& p = *parts_;
  if (p.file == INVALID_HANDLE_VALUE) return RepairFileStatus::kCannotWrite;
  if (p.error != 0) return FailureOf(p.error);
  if (!FlushFileBuffers(p.file)) return FailureOf(GetLastError());
  const BOOL closed = CloseHandle(p.file);
  p.file = INVALID_HANDLE_VALUE;
  if (!closed) return FailureOf(GetLastError());
  BY_HANDLE_FILE_INFORMATION there;
  if (replace && WhatIsAt(p.path.c_str(), &there) == Held::kOther) {
    return RepairFileStatus::kOutNotAFile;
  }
  PendingLock held;
  // MoveFileA fails where anything is there; MoveFileExA replaces a file, or
  // a link without following it.
  const BOOL moved = replace
                         ? MoveFileExA(p.temp.c_str(), p.path.c_str(), MOVEFILE_REPLACE_EXISTING)
                         : MoveFileA(p.temp.c_str(), p.path.c_str());
  const DWORD error = GetLastError();
  if (moved) {
    Disarm(p.slot);
    p.temp.clear();
    return RepairFileStatus::kWritten;
  }
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
    return Refusal(p.path.c_str());
  }
  return FailureOf(error);
}

RepairFileStatus CheckRepairTarget(const char* demoPath, const char* outPath, bool replace) {
  BY_HANDLE_FILE_INFORMATION demo, out;
  const Held held = WhatIsAt(outPath, &out);
  if (held == Held::kNothing) return RepairFileStatus::kWritten;
  if (held == Held::kOther) return RepairFileStatus::kOutNotAFile;
  if (WhatIsAt(demoPath, &demo) == Held::kFile &&
      demo.dwVolumeSerialNumber == out.dwVolumeSerialNumber &&
      demo.nFileIndexHigh == out.nFileIndexHigh && demo.nFileIndexLow == out.nFileIndexLow) {
    return RepairFileStatus::kOutIsDemo;
  }
  return replace ? RepairFileStatus::kWritten : RepairFileStatus::kOutExists;
}

namespace {

// A synchronous handle takes the OVERLAPPED offset as where to read.
size_t ReadFromFileAt(void* source, uint64_t offset, uint8_t* into, size_t size) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD read = 0;
  if (!ReadFile(*static_cast<HANDLE*>(source), into, static_cast<DWORD>(size), &read, &at)) {
    return 0;
  }
  return read;
}

}  // namespace

bool ReadDemoFileAt(const char* demoPath,
                    bool (*read)(void* context, ReadDemoAt readAt, void* source), void* context) {
  HANDLE in = CreateFileA(demoPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  if (in == INVALID_HANDLE_VALUE) return false;
  const bool done = GetFileType(in) == FILE_TYPE_DISK && read(context, ReadFromFileAt, &in);
  CloseHandle(in);
  return done;
}
