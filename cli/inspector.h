// quendrix-inspect: the summary of each demo file, as the program shows it,
// or one JSON object a file.
#pragma once

#include <cstdio>

// Exit status: 0 when every file was inspected, 1 when any could not be, 2 for
// a usage error.
int RunInspector(int argc, char** argv, FILE* out, FILE* err);
