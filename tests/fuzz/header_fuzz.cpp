// The header fields and the texts made of them, from any bytes: every text
// ends within its field, and the release is one of the table's or "N/A".
#include <cstdlib>
#include <cstring>

#include "demo/demo_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  DemoHeader header = ReadDemoHeader(bytes, size);
  if (strlen(header.demoType) > kDemoTypeSize || strlen(header.mapName) > kMapNameSize ||
      strlen(header.gameDirectory) > kGameDirectorySize) {
    abort();
  }
  char networkVersion[kVersionTextSize];
  FormatProtocolVersion(header.networkProtocol, networkVersion);
  const char* release = LookUpRelease(networkVersion);
  if (strlen(release) > 7) abort();
  return 0;
}
