#include <cstdio>

#include "tools/repair.h"

int main(int argc, char** argv) {
  return RunRepair(argc, argv, stdout, stderr);
}
