#include "demo/demo_summary.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr size_t kSliceSize = 16 * 1024;

void DeriveTexts(DemoInspection* demo) {
  FormatProtocolVersion(demo->header.demoProtocol, demo->demoVersion);
  FormatProtocolVersion(demo->header.networkProtocol, demo->networkVersion);
  demo->release = LookUpRelease(demo->networkVersion);
}

// The scans and the walk over a window, a slice at a time, so that the walk
// reads the frames' headers of each slice in the processor's first-level
// cache, where the scan has just brought them. Returns from where the next
// window must hold the demo's bytes.
uint64_t InspectWindow(PieceInspection* inspection, const uint8_t* window, size_t held,
                       bool atEnd) {
  const uint64_t offset = inspection->offset;
  uint64_t scanFrom, walkFrom;
  size_t end = 0;
  do {
    const size_t start = end;
    end = held - end > kSliceSize ? end + kSliceSize : held;
    scanFrom = ScanPiece(&inspection->scan, window, end, offset, atEnd && end == held);
    // Once the scans have found what they look for, nothing brings the slice
    // into the cache before the walk: it is fetched all at once rather than a
    // frame at a time.
    if (!inspection->scan.wantResolution && !inspection->scan.wantMarker) {
      for (size_t line = start; line < end; line += 64) __builtin_prefetch(window + line);
    }
    walkFrom = WalkPiece(&inspection->walk, window, end, offset);
  } while (end < held);
  const WindowReader& also = inspection->also;
  if (also.read != nullptr) also.read(also.reader, window, held, offset);
  return scanFrom < walkFrom ? scanFrom : walkFrom;
}

}  // namespace

DemoInspection InspectDemo(const uint8_t* bytes, size_t size, const WindowReader* also) {
  DemoBuffer buffer = {bytes, size};
  PieceInspection inspection;
  StartPieceInspection(&inspection, size, ReadFromDemoBuffer, &buffer, also);
  inspection.demo.header = ReadDemoHeader(bytes, size);
  InspectWindow(&inspection, bytes, size, true);
  return PieceInspectionResult(inspection);
}

void StartPieceInspection(PieceInspection* inspection, uint64_t size, ReadDemoAt readAt,
                          void* source, const WindowReader* also) {
  *inspection = PieceInspection();
  StartDemoWalk(&inspection->walk, size, readAt, source);
  if (also == nullptr) return;
  inspection->also = *also;
  also->start(also->reader, inspection->walk.found, readAt, source);
}

void InspectPiece(PieceInspection* inspection, uint8_t* piece, size_t size, bool atEnd) {
  uint8_t* window = piece - inspection->kept;
  memcpy(window, inspection->keptBytes, inspection->kept);
  const size_t held = inspection->kept + size;
  if (inspection->bytesRead == 0) inspection->demo.header = ReadDemoHeader(window, held);
  inspection->bytesRead += size;
  const uint64_t keepFrom = InspectWindow(inspection, window, held, atEnd);
  if (atEnd) return;
  inspection->kept = static_cast<size_t>(inspection->offset + held - keepFrom);
  memcpy(inspection->keptBytes, window + (held - inspection->kept), inspection->kept);
  inspection->offset = keepFrom;
}

DemoInspection PieceInspectionResult(const PieceInspection& inspection) {
  DemoInspection demo = inspection.demo;
  demo.scan = PieceScanResult(inspection.scan);
  demo.structure = DemoWalkResult(inspection.walk);
  DeriveTexts(&demo);
  return demo;
}

DemoInspection InspectDemoPieces(ReadDemoPiece read, ReadDemoAt readAt, void* source, uint64_t size,
                                 size_t windowSize, uint64_t* bytesRead, const WindowReader* also) {
  const size_t pieceSize = windowSize > kSmallestWindow ? windowSize : kSmallestWindow;
  // Not zeroed: only what a read fills is looked at, and a small demo then
  // touches only the pages it needs of a large window.
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kPieceRoom + pieceSize]);
  uint8_t* piece = buffer.get() + kPieceRoom;
  PieceInspection inspection;
  StartPieceInspection(&inspection, size, readAt, source, also);
  for (bool atEnd = false; !atEnd;) {
    size_t held = 0;
    while (held < pieceSize && !atEnd) {
      size_t got = read(source, piece + held, pieceSize - held);
      held += got;
      atEnd = got == 0;
    }
    InspectPiece(&inspection, piece, held, atEnd);
  }
  *bytesRead = inspection.bytesRead;
  return PieceInspectionResult(inspection);
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
