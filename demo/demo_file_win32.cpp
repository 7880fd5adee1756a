#include <windows.h>

#include <new>

#include "demo/demo_file.h"

namespace {

// The outcome that the file's size decides before anything is read.
DemoFileStatus CheckFile(HANDLE file, DWORD* size) {
  DWORD sizeHigh = 0;
  *size = GetFileSize(file, &sizeHigh);
  if (*size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return DemoFileStatus::kNoSize;
  // Only the low 32 bits would be read: a file of 4 GiB or more is refused
  // rather than shown from a part of it.
  if (sizeHigh != 0) return DemoFileStatus::kCannotReadToMemory;
  if (*size == 0) return DemoFileStatus::kNoSize;
  return DemoFileStatus::kRead;
}

DemoFileStatus ReadOpenFile(HANDLE file, DemoBytes* demo) {
  DWORD size = 0;
  DemoFileStatus status = CheckFile(file, &size);
  if (status != DemoFileStatus::kRead) return status;
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

// No further than the size taken at the start; 0 at the end and on an error.
struct FileSource {
  HANDLE file;
  DWORD size;
  DWORD left;
};

size_t ReadFromFile(void* source, uint8_t* into, size_t size) {
  FileSource* from = static_cast<FileSource*>(source);
  DWORD wanted = size < from->left ? static_cast<DWORD>(size) : from->left;
  DWORD read = 0;
  if (!ReadFile(from->file, into, wanted, &read, nullptr)) return 0;
  from->left -= read;
  return read;
}

bool MoveTo(HANDLE file, uint64_t offset) {
  LONG high = static_cast<LONG>(offset >> 32);
  SetLastError(NO_ERROR);
  DWORD low = SetFilePointer(file, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
  return low != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
}

// Puts the file pointer back where the sequential reading left it.
size_t ReadFromFileAt(void* source, uint64_t offset, uint8_t* into, size_t size) {
  FileSource* from = static_cast<FileSource*>(source);
  DWORD read = 0;
  if (MoveTo(from->file, offset) &&
      !ReadFile(from->file, into, static_cast<DWORD>(size), &read, nullptr)) {
    read = 0;
  }
  MoveTo(from->file, from->size - from->left);
  return read;
}

DemoFileStatus InspectOpenFile(HANDLE file, DemoInspection* demo, const WindowReader* also) {
  DWORD size = 0;
  DemoFileStatus status = CheckFile(file, &size);
  if (status != DemoFileStatus::kRead) return status;
  FileSource source = {file, size, size};
  uint64_t got = 0;
  *demo = InspectDemoPieces(ReadFromFile, ReadFromFileAt, &source, size, kInspectWindowSize, &got,
                            also);
  return InspectedStatus(got, size);
}

// Opens the file for reading (others may read it too), runs what is to be
// done with it and closes it. Only a file on a disk is read: a pipe or a
// device (CON, a serial port) would make reading wait for ever.
template <typename Use>
DemoFileStatus WithFile(const char* path, Use use) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return DemoFileStatus::kCannotOpen;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return DemoFileStatus::kCannotOpen;
  }
  DemoFileStatus status = use(file);
  CloseHandle(file);
  return status;
}

}  // namespace

DemoFileStatus ReadDemoFile(const char* path, DemoBytes* demo) {
  return WithFile(path, [&](HANDLE file) { return ReadOpenFile(file, demo); });
}

DemoFileStatus InspectDemoFile(const char* path, DemoInspection* demo, const WindowReader* also) {
  return WithFile(path, [&](HANDLE file) { return InspectOpenFile(file, demo, also); });
}
