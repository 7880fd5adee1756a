// What one demo file shows: its header, the two scans and the texts derived
// from them, and the nine-line summary made of it. Portable: no platform headers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "demo/demo_header.h"
#include "demo/demo_structure.h"
#include "demo/signature_scan.h"

struct DemoInspection {
  DemoHeader header;
  DemoScan scan;
  char demoVersion[kVersionTextSize];
  char networkVersion[kVersionTextSize];
  const char* release;
  DemoStructure structure;
};

// Everything the summary needs from a whole-file buffer of at least one byte.
DemoInspection InspectDemo(const uint8_t* bytes, size_t size);

// Fills into with up to size bytes of the demo that follow those already
// read, and gives how many; fewer than size only at its end.
using ReadDemoPiece = size_t (*)(void* source, uint8_t* into, size_t size);

// The smallest window: the header must lie within the first, and a frame's
// fixed part within any.
constexpr size_t kSmallestWindow = kDemoHeaderReadSize + 2 * kScanLookAhead;
static_assert(kSmallestWindow > kWalkLookAhead + kScanLookAhead, "a window holds a frame's start");

// What InspectDemo gives for the demo of size bytes, read piece by piece
// through read into a window of windowSize bytes (at least kSmallestWindow),
// so that no more than that is held at once; its header and directory are
// read through readAt first. Sets bytesRead to how many read gave.
DemoInspection InspectDemoPieces(ReadDemoPiece read, ReadDemoAt readAt, void* source, uint64_t size,
                                 size_t windowSize, uint64_t* bytesRead);

// Room for the longest summary: the widest fields give 690 characters.
constexpr size_t kSummarySize = 1024;

// The nine lines, separated by line feeds; the last is "HLTV Recorded Demo"
// or empty. The current resolution texts are those the game is set to.
void ComposeSummary(const DemoInspection& demo, const char* currentResWidth,
                    const char* currentResHeight, char* summary, size_t summarySize);
