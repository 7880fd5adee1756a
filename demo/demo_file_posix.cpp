// The inspector's file reading on POSIX systems, giving the outcomes that the
// Windows program gives for the same file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <new>

#include "demo/demo_file.h"

namespace {

// The Windows program asks for the low 32 bits of the size only; a file of
// 4 GiB or more is refused rather than read in part.
constexpr uint64_t kLargestReadable = UINT32_MAX;

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

}  // namespace

DemoFileStatus ReadDemoFile(const char* path, DemoBytes* demo) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return DemoFileStatus::kCannotOpen;
  DemoFileStatus status = ReadOpenFile(fd, demo);
  close(fd);
  return status;
}
