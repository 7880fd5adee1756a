#include "demo/demo_summary.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kSliceSize = 16 * 1024;

void DeriveTexts(DemoInspection* demo) {
  FormatProtocolVersion(demo->header.demoProtocol, demo->demoVersion);
  FormatProtocolVersion(demo->header.networkProtocol, demo->networkVersion);
  demo->release = LookUpRelease(demo->networkVersion);
}

}  // namespace

DemoInspection InspectDemo(const uint8_t* bytes, size_t size) {
  DemoInspection demo = {};
  demo.header = ReadDemoHeader(bytes, size);
  demo.scan = ScanDemo(bytes, size);
  demo.structure = ReadDemoStructure(bytes, size);
  DeriveTexts(&demo);
  return demo;
}

DemoInspection InspectDemoPieces(ReadDemoPiece read, ReadDemoAt readAt, void* source, uint64_t size,
                                 size_t windowSize, uint64_t* bytesRead) {
  std::vector<uint8_t> window(windowSize > kSmallestWindow ? windowSize : kSmallestWindow);
  DemoInspection demo = {};
  PieceScan scan;
  DemoWalk walk;
  StartDemoWalk(&walk, size, readAt, source);
  uint64_t offset = 0;  // of the window's first byte in the demo
  size_t held = 0;
  for (bool first = true;; first = false) {
    bool atEnd = false;
    while (held < window.size() && !atEnd) {
      size_t got = read(source, window.data() + held, window.size() - held);
      held += got;
      atEnd = got == 0;
    }
    if (first) demo.header = ReadDemoHeader(window.data(), held);
    // A slice at a time, so that the walk reads the frames' headers while the
    // scan has just brought them into the first-level cache.
    uint64_t scanFrom = offset, walkFrom = offset;
    size_t sliceEnd = 0;
    do {
      sliceEnd = held - sliceEnd > kSliceSize ? sliceEnd + kSliceSize : held;
      scanFrom = ScanPiece(&scan, window.data(), sliceEnd, offset, atEnd && sliceEnd == held);
      walkFrom = WalkPiece(&walk, window.data(), sliceEnd, offset);
    } while (sliceEnd < held);
    if (atEnd) break;
    const uint64_t keepFrom = scanFrom < walkFrom ? scanFrom : walkFrom;
    const size_t kept = static_cast<size_t>(offset + held - keepFrom);
    memmove(window.data(), window.data() + (held - kept), kept);
    offset = keepFrom;
    held = kept;
  }
  *bytesRead = offset + held;
  demo.scan = PieceScanResult(scan);
  demo.structure = DemoWalkResult(walk);
  DeriveTexts(&demo);
  return demo;
}

void ComposeSummary(const DemoInspection& demo, const char* currentResWidth,
                    const char* currentResHeight, char* summary, size_t summarySize) {
  snprintf(summary, summarySize,
           "Half-Life Version: %s\nDemo Type: %s\nDemo Version: %s\nNetwork Version: %s\n"
           "Map: %s\nMod: %s\nCurrent Res: %sx%s\nDemo Res: %sx%s\n%s",
           demo.release, demo.header.demoType, demo.demoVersion, demo.networkVersion,
           demo.header.mapName, demo.header.gameDirectory, currentResWidth, currentResHeight,
           demo.scan.width, demo.scan.height, demo.scan.isHltv ? "HLTV Recorded Demo" : "");
}
