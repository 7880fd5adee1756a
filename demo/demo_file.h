// Reading a whole demo file into memory, as the program and the inspector do
// it, with the outcome that decides which message the user sees. Declared
// without platform headers; each platform has its own definition.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

enum class DemoFileStatus {
  kRead,
  kCannotOpen,          // missing, a folder, no access, locked
  kNoSize,              // empty, or its size cannot be had
  kCannotReadToMemory,  // no buffer of that size, or fewer bytes read than the size
};

// The message shown for a status other than kRead.
const char* DemoFileMessage(DemoFileStatus status);

// Gives back the bytes: a heap buffer is deleted, a mapping of the file (which
// POSIX systems make rather than copy the file) is unmapped.
struct DemoBytesRelease {
  void (*unmap)(uint8_t* bytes, size_t size) = nullptr;
  size_t mappedSize = 0;
  DemoBytesRelease() = default;
  // So that a heap buffer from new[] moves in as it is.
  DemoBytesRelease(std::default_delete<uint8_t[]>) {}
  void operator()(uint8_t* bytes) const {
    if (unmap != nullptr) {
      unmap(bytes, mappedSize);
    } else {
      delete[] bytes;
    }
  }
};

struct DemoBytes {
  std::unique_ptr<uint8_t[], DemoBytesRelease> bytes;  // exactly size bytes
  size_t size = 0;
};

// Opens the file for reading (others may read it too), takes its size and
// reads all of it into a buffer of exactly that size. The file is closed
// before this returns, and on failure no buffer is kept.
DemoFileStatus ReadDemoFile(const char* path, DemoBytes* demo);
