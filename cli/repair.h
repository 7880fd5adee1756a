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
