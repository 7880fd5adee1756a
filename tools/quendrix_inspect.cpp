#include <cstdio>

#include "tools/inspector.h"

int main(int argc, char** argv) { return RunInspector(argc, argv, stdout, stderr); }
