// Writing a repaired copy of a demo file: whole or not at all, never over the
// demo itself. Declared without platform headers; each platform has its own
// definition.
#pragma once

#include "demo/demo_repair.h"

enum class RepairFileStatus {
  kWritten,
  kOutExists,    // and is not to be replaced
  kOutIsDemo,    // the same file under either name
  kCannotRead,   // the demo, or fewer bytes of it than kept
  kCannotWrite,  // a temporary file in OUT's folder, or putting it in place
};

// Whether the copy may go to outPath, before any work is done: kWritten when
// it may.
RepairFileStatus CheckRepairTarget(const char* demoPath, const char* outPath, bool replace);

// Writes what the plan makes of the demo at demoPath to a temporary file in
// outPath's folder and, once it is whole, renames it to outPath, replacing a
// file there only when replace says so. On failure nothing is left behind.
RepairFileStatus WriteRepairFile(const char* demoPath, const RepairPlan& plan, const char* outPath,
                                 bool replace);
