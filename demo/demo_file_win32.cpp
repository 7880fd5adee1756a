#include <windows.h>

#include <new>

#include "demo/demo_file.h"

namespace {

DemoFileStatus ReadOpenFile(HANDLE file, DemoBytes* demo) {
  DWORD sizeHigh = 0;
  DWORD size = GetFileSize(file, &sizeHigh);
  if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return DemoFileStatus::kNoSize;
  // Only the low 32 bits would be read: a file of 4 GiB or more is refused
  // rather than shown from a part of it.
  if (sizeHigh != 0) return DemoFileStatus::kCannotReadToMemory;
  if (size == 0) return DemoFileStatus::kNoSize;
  std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size]);
  if (!bytes) return DemoFileStatus::kCannotReadToMemory;
  DWORD read = 0;
  ReadFile(file, bytes.get(), size, &read, nullptr);
  // The count alone judges the read.
  if (read != size) return DemoFileStatus::kCannotReadToMemory;
  demo->bytes = std::move(bytes);
  demo->size = size;
  return DemoFileStatus::kRead;
}

}  // namespace

DemoFileStatus ReadDemoFile(const char* path, DemoBytes* demo) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return DemoFileStatus::kCannotOpen;
  DemoFileStatus status = ReadOpenFile(file, demo);
  CloseHandle(file);
  return status;
}
