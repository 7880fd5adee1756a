#include <cstdio>

#include "cli/trim.h"

int main(int argc, char** argv) {
  return RunTrim(argc, argv, stdout, stderr);
}
