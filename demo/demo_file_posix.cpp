// The inspector's file reading on POSIX systems, giving the outcomes that the
// Windows program gives for the same file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>

#include "demo/demo_file.h"

namespace {

// The Windows program asks for the low 32 bits of the size only; a file of
// 4 GiB or more is refused rather than read in part.
constexpr uint64_t kLargestReadable = UINT32_MAX;

// The outcome that the file's kind and size decide before anything is read.
DemoFileStatus CheckFile(int fd, size_t* size) {
  struct stat info;
  if (fstat(fd, &info) != 0) return DemoFileStatus::kNoSize;
  // Windows does not open a folder as a file.
  if (S_ISDIR(info.st_mode)) return DemoFileStatus::kCannotOpen;
  if (info.st_size <= 0) return DemoFileStatus::kNoSize;
  if (static_cast<uint64_t>(info.st_size) > kLargestReadable) {
    return DemoFileStatus::kCannotReadToMemory;
  }
  *size = static_cast<size_t>(info.st_size);
  return DemoFileStatus::kRead;
}

// No further than the size taken at the start, as the program reads; 0 at
// the end of the file and on an error.
struct FileSource {
  int fd;
  size_t left;
};

size_t ReadFromFile(void* source, uint8_t* into, size_t size) {
  FileSource* file = static_cast<FileSource*>(source);
  if (size > file->left) size = file->left;
  ssize_t got;
  do {
    got = read(file->fd, into, size);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) return 0;
  file->left -= static_cast<size_t>(got);
  return static_cast<size_t>(got);
}

// Where the sequential reading is left unmoved.
size_t ReadFromFileAt(void* source, uint64_t offset, uint8_t* into, size_t size) {
  FileSource* file = static_cast<FileSource*>(source);
  size_t done = 0;
  while (done < size) {
    ssize_t got = pread(file->fd, into + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

DemoFileStatus ReadOpenFile(int fd, DemoBytes* demo) {
  size_t size = 0;
  DemoFileStatus status = CheckFile(fd, &size);
  if (status != DemoFileStatus::kRead) return status;
  std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size]);
  if (!bytes) return DemoFileStatus::kCannotReadToMemory;
  FileSource source = {fd, size};
  size_t done = 0;
  for (size_t got;
       done < size && (got = ReadFromFile(&source, bytes.get() + done, size - done)) > 0;) {
    done += got;
  }
  if (done != size) return DemoFileStatus::kCannotReadToMemory;
  demo->bytes = std::move(bytes);
  demo->size = size;
  return DemoFileStatus::kRead;
}

DemoFileStatus InspectOpenFile(int fd, DemoInspection* demo) {
  size_t size = 0;
  DemoFileStatus status = CheckFile(fd, &size);
  if (status != DemoFileStatus::kRead) return status;
  FileSource source = {fd, size};
  return InspectReadableFile(ReadFromFile, ReadFromFileAt, &source, size, demo);
}

// Opens the file, runs what is to be done with it and closes it.
template <typename Use>
DemoFileStatus WithFile(const char* path, Use use) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return DemoFileStatus::kCannotOpen;
  DemoFileStatus status = use(fd);
  close(fd);
  return status;
}

}  // namespace

DemoFileStatus ReadDemoFile(const char* path, DemoBytes* demo) {
  return WithFile(path, [&](int fd) { return ReadOpenFile(fd, demo); });
}

DemoFileStatus InspectDemoFile(const char* path, DemoInspection* demo) {
  return WithFile(path, [&](int fd) { return InspectOpenFile(fd, demo); });
}
