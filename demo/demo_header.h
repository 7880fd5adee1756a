// The fixed-offset fields at the start of a demo file, and the Half-Life
// release that a network protocol belongs to. Portable: no platform headers.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kDemoTypeSize = 8;
constexpr size_t kMapNameSize = 260;
constexpr size_t kGameDirectorySize = 264;
// The last header byte read: the game directory field ends at 276 + 264.
constexpr size_t kDemoHeaderReadSize = 540;

// Each text runs up to the first NUL within its field, or fills the field;
// the extra byte keeps it terminated either way.
struct DemoHeader {
  char demoType[kDemoTypeSize + 1];
  int8_t demoProtocol;  // the low byte of the 32-bit field only
  int8_t networkProtocol;
  char mapName[kMapNameSize + 1];
  char gameDirectory[kGameDirectorySize + 1];
};

// Bytes beyond the end of a short file read as zero.
DemoHeader ReadDemoHeader(const uint8_t* bytes, size_t size);

// "%d" of the sign-extended protocol byte: at most 4 characters ("-128").
constexpr size_t kVersionTextSize = 5;
void FormatProtocolVersion(int8_t protocol, char (&text)[kVersionTextSize]);

// The release named by a network version text, compared as whole texts; "N/A"
// for any text that is not in the table.
const char* LookUpRelease(const char* networkVersion);
