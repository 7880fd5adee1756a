#include <cstdio>

#include "cli/inspector.h"

int main(int argc, char** argv) {
  return RunInspector(argc, argv, stdout, stderr);
}
