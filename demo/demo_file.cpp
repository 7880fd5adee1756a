// The platform-free part of reading a demo file.
#include "demo/demo_file.h"

const char* DemoFileMessage(DemoFileStatus status) {
  switch (status) {
    case DemoFileStatus::kCannotOpen: return "Could not open demofile.";
    case DemoFileStatus::kNoSize: return "Could not open demofile (reason 2).";
    case DemoFileStatus::kCannotReadToMemory: return "Could not read file to memory.";
    case DemoFileStatus::kRead: break;
  }
  return "";
}

DemoFileStatus InspectedStatus(uint64_t bytesRead, uint64_t size) {
  return bytesRead == size ? DemoFileStatus::kRead : DemoFileStatus::kCannotReadToMemory;
}
