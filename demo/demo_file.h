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

// The inspector's window: well within a processor's second-level cache.
constexpr size_t kInspectWindowSize = 256 * 1024;

// What InspectDemo gives for the whole file, with the outcome that
// ReadDemoFile gives for it, but read piece by piece into one window of
// kInspectWindowSize bytes: a file of any size is inspected in that much
// memory, at the speed of reading it.
DemoFileStatus InspectDemoFile(const char* path, DemoInspection* demo);

// What both platforms' InspectDemoFile do once the file has passed the checks
// of its kind and size: the inspection through read, which gives no more than
// size bytes (fewer than that could not be read), and readAt.
DemoFileStatus InspectReadableFile(ReadDemoPiece read, ReadDemoAt readAt, void* source,
                                   uint64_t size, DemoInspection* demo);
