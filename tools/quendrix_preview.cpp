#include <cstdio>

#include "tools/previewer.h"

int main(int argc, char** argv) {
  return RunPreviewer(argc, argv, stdout, stderr);
}
