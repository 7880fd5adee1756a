// The inspector's file reading on POSIX systems, giving the outcomes that the
// Windows program gives for the same file. The file is mapped rather than
// copied: the pages of the cache are read where they lie, with no second
// buffer to fill.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <new>

#include "demo/demo_file.h"

namespace {

// The Windows program asks for the low 32 bits of the size only; a file of
// 4 GiB or more is refused rather than read in part.
constexpr uint64_t kLargestReadable = UINT32_MAX;

void Unmap(uint8_t* bytes, size_t size) {
  munmap(bytes, size);
}

#ifndef MAP_POPULATE
#define MAP_POPULATE 0
#endif

// For files that cannot be mapped: the whole file into a heap buffer.
DemoFileStatus ReadIntoBuffer(int fd, size_t size, DemoBytes* demo) {
  std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size]);
  if (!bytes) return DemoFileStatus::kCannotReadToMemory;
  size_t done = 0;
  while (done < size) {
    ssize_t got = read(fd, bytes.get() + done, size - done);
    if (got <= 0) return DemoFileStatus::kCannotReadToMemory;
    done += static_cast<size_t>(got);
  }
  demo->bytes = std::move(bytes);
  demo->size = size;
  return DemoFileStatus::kRead;
}

DemoFileStatus ReadOpenFile(int fd, DemoBytes* demo) {
  struct stat info;
  if (fstat(fd, &info) != 0) return DemoFileStatus::kNoSize;
  // Windows does not open a folder as a file.
  if (S_ISDIR(info.st_mode)) return DemoFileStatus::kCannotOpen;
  if (info.st_size <= 0) return DemoFileStatus::kNoSize;
  if (static_cast<uint64_t>(info.st_size) > kLargestReadable) {
    return DemoFileStatus::kCannotReadToMemory;
  }
  const size_t size = static_cast<size_t>(info.st_size);
  // Populated at once: one call maps every page instead of a fault for each.
  void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
  if (mapped == MAP_FAILED) return ReadIntoBuffer(fd, size, demo);
  DemoBytesRelease release;
  release.unmap = Unmap;
  release.mappedSize = size;
  demo->bytes =
      std::unique_ptr<uint8_t[], DemoBytesRelease>(static_cast<uint8_t*>(mapped), release);
  demo->size = size;
  return DemoFileStatus::kRead;
}

}  // namespace

DemoFileStatus ReadDemoFile(const char* path, DemoBytes* demo) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return DemoFileStatus::kCannotOpen;
  DemoFileStatus status = ReadOpenFile(fd, demo);
  close(fd);
  return status;
}
