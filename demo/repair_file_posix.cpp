// Writing a repaired copy on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "demo/repair_file.h"

namespace {

// The folder part of a path, with its slash, or "./".
std::string FolderOf(const char* path) {
  const char* slash = strrchr(path, '/');
  return slash != nullptr ? std::string(path, static_cast<size_t>(slash - path) + 1) : "./";
}

size_t ReadFromFileAt(void* source, uint64_t offset, uint8_t* into, size_t size) {
  const int fd = *static_cast<int*>(source);
  for (;;) {
    const ssize_t got = pread(fd, into, size, static_cast<off_t>(offset));
    if (got >= 0) return static_cast<size_t>(got);
    if (errno != EINTR) return 0;
  }
}

struct Sink {
  int fd;
  bool failed;
};

bool WriteToFile(void* sink, const uint8_t* bytes, size_t size) {
  Sink* to = static_cast<Sink*>(sink);
  while (size > 0) {
    const ssize_t put = write(to->fd, bytes, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      to->failed = true;
      return false;
    }
    bytes += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

// Puts the whole temporary file at outPath: with replace by renaming it over
// whatever is there; without, by a link that fails where a file exists, or,
// where the file system has no links, by a rename once nothing is there.
RepairFileStatus PutInPlace(const std::string& temp, const char* outPath, bool replace) {
  if (replace) {
    return rename(temp.c_str(), outPath) == 0 ? RepairFileStatus::kWritten
                                              : RepairFileStatus::kCannotWrite;
  }
  if (link(temp.c_str(), outPath) == 0) return RepairFileStatus::kWritten;
  if (errno == EEXIST) return RepairFileStatus::kOutExists;
  struct stat existing;
  if (lstat(outPath, &existing) == 0) return RepairFileStatus::kOutExists;
  return rename(temp.c_str(), outPath) == 0 ? RepairFileStatus::kWritten
                                            : RepairFileStatus::kCannotWrite;
}

}  // namespace

RepairFileStatus CheckRepairTarget(const char* demoPath, const char* outPath, bool replace) {
  struct stat out, demo;
  if (stat(outPath, &out) != 0) return RepairFileStatus::kWritten;
  if (stat(demoPath, &demo) == 0 && demo.st_dev == out.st_dev && demo.st_ino == out.st_ino) {
    return RepairFileStatus::kOutIsDemo;
  }
  return replace ? RepairFileStatus::kWritten : RepairFileStatus::kOutExists;
}

RepairFileStatus WriteRepairFile(const char* demoPath, const RepairPlan& plan, const char* outPath,
                                 bool replace) {
  int in = open(demoPath, O_RDONLY | O_CLOEXEC);
  if (in < 0) return RepairFileStatus::kCannotRead;
  std::string temp = FolderOf(outPath) + ".quendrix-repair-XXXXXX";
  int out = mkstemp(&temp[0]);
  if (out < 0) {
    close(in);
    return RepairFileStatus::kCannotWrite;
  }
  // As a file that the user creates: mkstemp makes it for its owner alone.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(out, 0666 & ~mask);
  Sink sink = {out, false};
  const bool copied = WriteRepair(plan, ReadFromFileAt, &in, WriteToFile, &sink);
  const bool whole = copied && fsync(out) == 0;
  close(in);
  const bool closed = close(out) == 0;
  RepairFileStatus status = RepairFileStatus::kCannotWrite;
  if (!copied && !sink.failed) {
    status = RepairFileStatus::kCannotRead;
  } else if (whole && closed) {
    status = PutInPlace(temp, outPath, replace);
  }
  unlink(temp.c_str());  // the link made, or the rename done, it names nothing more
  return status;
}
