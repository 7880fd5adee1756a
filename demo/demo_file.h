// Reading a demo file, whole into memory as the program does it, or piece by
// piece as the inspector does, with the outcome that decides which message
// the user sees. Declared without platform headers; each platform has its own
// definition.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "demo/demo_summary.h"

enum class DemoFileStatus {
  kRead,
  kCannotOpen,  // missing, not a regular file (a folder, a FIFO, a device), no access, locked
  kNoSize,      // empty, or its size cannot be had
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

// The inspector's window: it takes a few of a processor's second-level caches
// to hold, and makes reading it worth a call to the system.
constexpr size_t kInspectWindowSize = 1024 * 1024;

// What InspectDemo gives for the whole file, with the outcome that
// ReadDemoFile gives for it, but read window by window, each of
// kInspectWindowSize bytes: a file of any size is inspected in a few of them,
// at the speed of reading it. On POSIX systems two threads take turns with the
// windows, so that reading one overlaps inspecting another. also, when
// given, reads every window too.
DemoFileStatus InspectDemoFile(const char* path, DemoInspection* demo,
                               const WindowReader* also = nullptr);

// The outcome of an inspection that read bytesRead of the file's size bytes.
DemoFileStatus InspectedStatus(uint64_t bytesRead, uint64_t size);
