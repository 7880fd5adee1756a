// quendrix-trim: a copy of a demo that plays from a later moment, and
// optionally stops earlier.
#pragma once

#include <cstdio>

// Exit status: 0 when the copy was written, 1 when it was refused or could
// not be written, 2 for a usage error.
int RunTrim(int argc, char** argv, FILE* out, FILE* err);
