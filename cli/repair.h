// quendrix-repair: a playable copy of a demo that was cut off or damaged.
#pragma once

#include <cstdio>

// Exit status: 0 when the copy was written or the demo is intact, 1 when it
// could not be made, 2 for a usage error.
int RunRepair(int argc, char** argv, FILE* out, FILE* err);
