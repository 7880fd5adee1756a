#include "demo/demo_header.h"

#include <cstdio>
#include <cstring>

namespace {

// Copies the field at offset, treating bytes past the end of the buffer as
// zero; the destination has width + 1 bytes, so the text always ends inside.
void CopyField(const uint8_t* bytes, size_t size, size_t offset, size_t width, char* text) {
  size_t available = offset < size ? size - offset : 0;
  size_t taken = available < width ? available : width;
  if (taken > 0) memcpy(text, bytes + offset, taken);
  memset(text + taken, 0, width + 1 - taken);
}

int8_t ByteAt(const uint8_t* bytes, size_t size, size_t offset) {
  return offset < size ? static_cast<int8_t>(bytes[offset]) : 0;
}

struct Release {
  const char* networkVersion;
  const char* release;
};

constexpr Release kReleaseTable[] = {
    {"45", "1.1.0.8"}, {"44", "1.1.0.6"}, {"43", "1.1.0.4"}, {"42", "1.1.0.1"}, {"41", "1.0.1.6"},
    {"40", "1.0.1.3"}, {"39", "1.0.1.0"}, {"38", "1.0.0.9"}, {"37", "1.0.0.8"},
};

}  // namespace

DemoHeader ReadDemoHeader(const uint8_t* bytes, size_t size) {
  DemoHeader header;
  CopyField(bytes, size, 0, kDemoTypeSize, header.demoType);
  header.demoProtocol = ByteAt(bytes, size, 8);
  header.networkProtocol = ByteAt(bytes, size, 12);
  CopyField(bytes, size, 16, kMapNameSize, header.mapName);
  CopyField(bytes, size, 276, kGameDirectorySize, header.gameDirectory);
  return header;
}

void FormatProtocolVersion(int8_t protocol, char (&text)[kVersionTextSize]) {
  snprintf(text, sizeof text, "%d", protocol);
}

const char* LookUpRelease(const char* networkVersion) {
  for (const Release& entry : kReleaseTable) {
    if (strcmp(entry.networkVersion, networkVersion) == 0) return entry.release;
  }
  return "N/A";
}
