// quendrix-repair: a playable copy of a demo that was cut off or damaged.
#pragma once

#include <cstdio>

#include "demo/repair_file.h"

// Exit status: 0 when the copy was written or the demo is intact, 1 when it
// could not be made, 2 for a usage error.
int RunRepair(int argc, char** argv, FILE* out, FILE* err);

// The refusals and failures of writing a copy, as the user reads them
// after its path; empty for kWritten.
const char* WriteFileMessage(RepairFileStatus status);

// The command line of a tool that writes a copy (quendrix-repair,
// quendrix-trim): --help, --force, "--", an option of its own that takes a
// value (valueOption, or none), and exactly the names it wants.
struct CopyToolLine {
  const char* tool;   // for its messages
  const char* usage;  // --help's text
  const char* valueOption = nullptr;
  const char* valueName = nullptr;  // what the value is, for the messages
  bool (*valueRead)(const char* text, double* value) = nullptr;
  int nameCount = 0;
  // Taken.
  bool force = false;
  double value = -1;  // where the option was not given
  const char* names[3] = {nullptr, nullptr, nullptr};
};
// -1 when the line was taken; else the exit status: 0 after --help, 2 with
// the usage on err.
int TakeCopyToolLine(int argc, char** argv, CopyToolLine* line, FILE* out, FILE* err);
// The usage on err, after "TOOL: problem arg" when there is a problem: 2.
int CopyToolUsage(const CopyToolLine& line, FILE* err, const char* problem, const char* arg);
