// A copy of a demo file from a moment on, made without holding the demo in
// memory: the file is inspected window by window with a TrimReader, then
// read again for its playback's frames as the copy is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "demo/demo_file.h"
#include "demo/repair_file.h"
#include "messages/demo_trim.h"

struct TrimFileOutcome {
  DemoFileStatus read = DemoFileStatus::kRead;  // the first reading
  TrimOutcome trim = TrimOutcome::kWritten;     // where it was read; reason says why not
  std::string reason;
  RepairFileStatus file = RepairFileStatus::kWritten;  // the second reading and the writing
  TrimPlan plan;                                       // of the copy, where one was made
};

// The copy of the demo at demoPath from from to to (negative: its end)
// into copy, which PrepareCopy made, put in place (over a regular file
// with replace).
TrimFileOutcome TrimDemoFile(const char* demoPath, double from, double to, WholeFile* copy,
                             bool replace);

// The same into part, held in memory: the part, never the demo. file is
// kCannotRead where the demo could not be read again.
TrimFileOutcome TrimDemoFileInto(const char* demoPath, double from, double to,
                                 std::vector<uint8_t>* part);
