// The scans on any bytes, each against the literal reference, also window by
// window as a reader of pieces holds them: a difference aborts with both
// results.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "demo/signature_scan.h"
#include "tests/reference/literal_scan.h"

namespace {

void Compare(const char* scan, const DemoScan& fast, const DemoScan& literal) {
  if (strcmp(fast.width, literal.width) == 0 && strcmp(fast.height, literal.height) == 0 &&
      fast.isHltv == literal.isHltv) {
    return;
  }
  fprintf(stderr, "%s: fast %sx%s%s, literal %sx%s%s\n", scan, fast.width, fast.height,
          fast.isHltv ? " HLTV" : "", literal.width, literal.height, literal.isHltv ? " HLTV" : "");
  abort();
}

// Windows of a size that the last byte picks, each a buffer of its own.
DemoScan ScanInWindows(const uint8_t* bytes, size_t size) {
  const size_t capacity =
      2 * kScanLookAhead - kSignatureSize + 1 + (size > 0 ? bytes[size - 1] : 0);
  PieceScan scan;
  for (uint64_t offset = 0;;) {
    const size_t end = offset + capacity < size ? offset + capacity : size;
    const std::vector<uint8_t> window(bytes + offset, bytes + end);
    const uint64_t keepFrom = ScanPiece(&scan, window.data(), window.size(), offset, end == size);
    if (end == size) break;
    offset = keepFrom;
  }
  return PieceScanResult(scan);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  DemoScan literal = LiteralScanDemo(bytes, size);
  Compare("ScanDemo", ScanDemo(bytes, size), literal);
  Compare("ScanPiece", ScanInWindows(bytes, size), literal);

  DemoScan fast = {};
  DemoScan literalResolution = {};
  DetectResolution(bytes, size, &fast);
  LiteralDetectResolution(bytes, size, &literalResolution);
  Compare("DetectResolution", fast, literalResolution);

  // The marker scan alone, also after a resolution that rules it out.
  for (const char* width : {"*", "1024", "800"}) {
    DemoScan fastHltv = {};
    snprintf(fastHltv.width, sizeof fastHltv.width, "%s", width);
    DemoScan literalHltv = fastHltv;
    DetectHltv(bytes, size, &fastHltv);
    LiteralDetectHltv(bytes, size, &literalHltv);
    Compare("DetectHltv", fastHltv, literalHltv);
  }
  return 0;
}
