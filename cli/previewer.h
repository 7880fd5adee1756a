// quendrix-preview: pictures of maps seen from above, as the window shows
// them, written as bitmaps beside each other.
#pragma once

#include <cstdio>

// Exit status: 0 when every map was drawn, 1 when any was not, 2 for a usage
// error.
int RunPreviewer(int argc, char** argv, FILE* out, FILE* err);
