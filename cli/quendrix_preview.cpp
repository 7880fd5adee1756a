#include <cstdio>

#include "cli/previewer.h"

#ifdef _WIN32
// Windows' shells hand patterns such as maps\*.bsp over as they are: the
// MinGW runtime expands them into the files they match, as a Unix shell would.
extern "C" {
int _dowildcard = -1;
}
#endif

int main(int argc, char** argv) {
  return RunPreviewer(argc, argv, stdout, stderr);
}
