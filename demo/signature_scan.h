// Finding the recording resolution and the HLTV marker by searching a demo's
// bytes for fixed signatures. Portable: no platform headers.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kSignatureSize = 6;
constexpr size_t kResolutionTextSize = 8;

// A display mode as a demo stores its screen size: the width as a 32-bit
// little-endian integer, then the two low bytes of the height.
struct ResolutionMode {
  uint8_t signature[kSignatureSize];
  const char* width;
  const char* height;
};

// In the order in which one attempt of the scan tests them.
extern const ResolutionMode kResolutionModes[8];
extern const uint8_t kHltvSignature[kSignatureSize];

struct DemoScan {
  char width[kResolutionTextSize];  // "*" when no signature was found
  char height[kResolutionTextSize];
  bool isHltv;
};

// Sets width and height to the mode found, or both to "*". The attempts at
// start positions 0 .. size - 7 each run the eight tests in table order over
// one shared cursor, and the first attempt that completes a test decides.
void DetectResolution(const uint8_t* bytes, size_t size, DemoScan* scan);

// Runs after DetectResolution, and only looks when it found 1024 x 768 or
// nothing: a marker starting at 0 .. size - 7 marks the demo as HLTV and sets
// 1024 x 768.
void DetectHltv(const uint8_t* bytes, size_t size, DemoScan* scan);

// Both scans in their order, starting from a cleared HLTV mark.
DemoScan ScanDemo(const uint8_t* bytes, size_t size);

// How far one attempt of the resolution scan reads beyond its start: the
// seven tests before the last stop after at most five matching bytes each.
constexpr size_t kScanLookAhead = 7 * (kSignatureSize - 1) + kSignatureSize;

// ScanDemo over a demo that arrives in pieces, so that its reader need not
// hold all of it at once. The reader passes windows of the demo's bytes in
// order; each call scans what it can of its window and returns the offset at
// which the next window must begin, so the reader keeps the bytes from there
// on (a few dozen). The window that reaches the demo's end finishes the scan.
struct PieceScan {
  bool wantResolution = true;
  bool wantMarker = true;
  uint64_t nextPosition = 0;  // the positions before it have been looked at
  uint64_t nextAttempt = 0;   // the attempts before it have been made
  int mode = -1;              // the index in kResolutionModes found, or -1
  bool markerFound = false;
};

// window holds size bytes of the demo from offset on; atEnd when they are
// its last. Never returns more than offset + size.
uint64_t ScanPiece(PieceScan* scan, const uint8_t* window, size_t size, uint64_t offset,
                   bool atEnd);

// What ScanDemo gives, once the window at the end has been scanned.
DemoScan PieceScanResult(const PieceScan& scan);

// The instructions with which the scans sieve the bytes. The scans take the
// widest path that the processor runs, as WidestSievePath finds it: SSE2 and
// AVX2 exist on x86 processors only.
enum class SievePath { kPlain, kSse2, kAvx2 };
SievePath WidestSievePath();

// Makes the scans take the path from now on, so that tests can run each;
// false, and nothing changed, when the processor cannot run it.
bool UseSievePath(SievePath path);
