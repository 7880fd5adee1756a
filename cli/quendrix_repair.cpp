#include <cstdio>

#include "cli/repair.h"

int main(int argc, char** argv) {
  return RunRepair(argc, argv, stdout, stderr);
}
