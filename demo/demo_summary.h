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

// A reader that is handed every window of an inspection as well: started once
// the header and the directory have been read, then given the windows in
// order, each starting no later than where the one before ended.
struct WindowReader {
  void (*start)(void* reader, const DemoStructure& found, ReadDemoAt readAt, void* source);
  void (*read)(void* reader, const uint8_t* window, size_t size, uint64_t offset);
  void* reader;
};

// Everything the summary needs from a whole-file buffer of at least one byte;
// also, when given, reads it too.
DemoInspection InspectDemo(const uint8_t* bytes, size_t size, const WindowReader* also = nullptr);

// Fills into with up to size bytes of the demo that follow those already
// read, and gives how many; fewer than size only at its end.
using ReadDemoPiece = size_t (*)(void* source, uint8_t* into, size_t size);

// The smallest window: the header must lie within the first, and a frame's
// fixed part within any.
constexpr size_t kSmallestWindow = kDemoHeaderReadSize + 2 * kScanLookAhead;
static_assert(kSmallestWindow > kWalkLookAhead + kScanLookAhead, "a window holds a frame's start");

// The most bytes of one window that the next needs again: the start of a
// frame whose fixed part the window cut, or the scan's look-ahead with the
// reach of its attempts.
constexpr size_t kPieceRoom = kWalkLookAhead;
static_assert(kPieceRoom >= 2 * kScanLookAhead, "the room holds what the scan keeps");

// The inspection of a demo whose reader hands its bytes over piece by piece,
// in order, so that no more than a piece is held at once.
struct PieceInspection {
  DemoInspection demo;
  PieceScan scan;
  DemoWalk walk;
  uint64_t offset = 0;  // in the demo, of the first byte kept
  size_t kept = 0;
  uint8_t keptBytes[kPieceRoom] = {};
  uint64_t bytesRead = 0;
  WindowReader also = {};
};

// For a demo of size bytes, whose header and directory are read through
// readAt.
void StartPieceInspection(PieceInspection* inspection, uint64_t size, ReadDemoAt readAt,
                          void* source, const WindowReader* also = nullptr);

// piece holds the demo's next size bytes, at least kSmallestWindow of them
// unless they are its last (atEnd), with kPieceRoom bytes before it that this
// may overwrite: the window is the bytes kept from the previous piece, put
// there, followed by the piece.
void InspectPiece(PieceInspection* inspection, uint8_t* piece, size_t size, bool atEnd);

// What InspectDemo gives, once the piece at the end has been inspected.
DemoInspection PieceInspectionResult(const PieceInspection& inspection);

// What InspectDemo gives for the demo of size bytes, read through read into
// pieces of windowSize bytes (at least kSmallestWindow) after a room of
// kPieceRoom; its header and directory are read through readAt first. Sets
// bytesRead to how many read gave.
DemoInspection InspectDemoPieces(ReadDemoPiece read, ReadDemoAt readAt, void* source, uint64_t size,
                                 size_t windowSize, uint64_t* bytesRead,
                                 const WindowReader* also = nullptr);

// Room for the longest summary: the widest fields give 690 characters.
constexpr size_t kSummarySize = 1024;

// The nine lines, separated by line feeds; the last is "HLTV Recorded Demo"
// or empty. The current resolution texts are those the game is set to.
void ComposeSummary(const DemoInspection& demo, const char* currentResWidth,
                    const char* currentResHeight, char* summary, size_t summarySize);
