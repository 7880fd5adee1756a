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

struct DemoBytes {
  std::unique_ptr<uint8_t[]> bytes;  // exactly size bytes
  size_t size = 0;
};

// Opens the file for reading (others may read it too), takes its size and
// reads all of it into a buffer of exactly that size. The file is closed
// before this returns, and on failure no buffer is kept.
DemoFileStatus ReadDemoFile(const char* path, DemoBytes* demo);
