// Writing a repaired copy on Windows, with the calls that Windows XP has.
#include <windows.h>

#include <cstring>
#include <string>

#include "demo/repair_file.h"

namespace {

// The folder part of a path, or "." for a bare name.
std::string FolderOf(const char* path) {
  const char* end = nullptr;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/' || *p == ':') end = p + 1;
  }
  return end != nullptr ? std::string(path, static_cast<size_t>(end - path)) : ".";
}

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

struct Sink {
  HANDLE file;
  bool failed;
};

bool WriteToFile(void* sink, const uint8_t* bytes, size_t size) {
  Sink* to = static_cast<Sink*>(sink);
  DWORD written = 0;
  to->failed =
      !WriteFile(to->file, bytes, static_cast<DWORD>(size), &written, nullptr) || written != size;
  return !to->failed;
}

// Volume and file index: what tells one file from another whatever its name.
bool Identify(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool known = GetFileInformationByHandle(file, info) != 0;
  CloseHandle(file);
  return known;
}

}  // namespace

RepairFileStatus CheckRepairTarget(const char* demoPath, const char* outPath, bool replace) {
  if (GetFileAttributesA(outPath) == INVALID_FILE_ATTRIBUTES) return RepairFileStatus::kWritten;
  BY_HANDLE_FILE_INFORMATION demo, out;
  if (Identify(demoPath, &demo) && Identify(outPath, &out) &&
      demo.dwVolumeSerialNumber == out.dwVolumeSerialNumber &&
      demo.nFileIndexHigh == out.nFileIndexHigh && demo.nFileIndexLow == out.nFileIndexLow) {
    return RepairFileStatus::kOutIsDemo;
  }
  return replace ? RepairFileStatus::kWritten : RepairFileStatus::kOutExists;
}

RepairFileStatus WriteRepairFile(const char* demoPath, const RepairPlan& plan, const char* outPath,
                                 bool replace) {
  HANDLE in = CreateFileA(demoPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  if (in == INVALID_HANDLE_VALUE) return RepairFileStatus::kCannotRead;
  char temp[MAX_PATH];
  if (GetTempFileNameA(FolderOf(outPath).c_str(), "qxr", 0, temp) == 0) {
    CloseHandle(in);
    return RepairFileStatus::kCannotWrite;
  }
  HANDLE out =
      CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) {
    DeleteFileA(temp);
    CloseHandle(in);
    return RepairFileStatus::kCannotWrite;
  }
  Sink sink = {out, false};
  const bool copied = WriteRepair(plan, ReadFromFileAt, &in, WriteToFile, &sink);
  const bool whole = copied && FlushFileBuffers(out);
  CloseHandle(in);
  const bool closed = CloseHandle(out) != 0;
  RepairFileStatus status = RepairFileStatus::kCannotWrite;
  if (!copied && !sink.failed) {
    status = RepairFileStatus::kCannotRead;
  } else if (whole && closed) {
    // MoveFileA fails where a file exists; MoveFileExA replaces it.
    const BOOL moved =
        replace ? MoveFileExA(temp, outPath, MOVEFILE_REPLACE_EXISTING) : MoveFileA(temp, outPath);
    const DWORD error = GetLastError();
    if (moved) {
      status = RepairFileStatus::kWritten;
    } else if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
      status = RepairFileStatus::kOutExists;
    }
  }
  if (status != RepairFileStatus::kWritten) DeleteFileA(temp);
  return status;
}
