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
