// The inspector with the scans' sieve held to one path, so that the benchmarks
// can time the SSE2 path on a processor that has AVX2:
//   quendrix_inspect_on_path plain|sse2|avx2 [inspector arguments...]
#include <cstdio>
#include <cstring>

#include "cli/inspector.h"
#include "demo/signature_scan.h"

int main(int argc, char** argv) {
  const char* names[] = {"plain", "sse2", "avx2"};
  const SievePath paths[] = {SievePath::kPlain, SievePath::kSse2, SievePath::kAvx2};
  for (size_t i = 0; argc > 1 && i < 3; ++i) {
    if (strcmp(argv[1], names[i]) != 0) continue;
    if (!UseSievePath(paths[i])) {
      fprintf(stderr, "this processor does not run the %s path\n", names[i]);
      return 2;
    }
    argv[1] = argv[0];
    return RunInspector(argc - 1, argv + 1, stdout, stderr);
  }
  fprintf(stderr, "usage: quendrix_inspect_on_path plain|sse2|avx2 [inspector arguments...]\n");
  return 2;
}
