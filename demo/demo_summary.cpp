#include "demo/demo_summary.h"

#include <cstdio>

DemoInspection InspectDemo(const uint8_t* bytes, size_t size) {
  DemoInspection demo;
  demo.header = ReadDemoHeader(bytes, size);
  demo.scan = ScanDemo(bytes, size);
  FormatProtocolVersion(demo.header.demoProtocol, demo.demoVersion);
  FormatProtocolVersion(demo.header.networkProtocol, demo.networkVersion);
  demo.release = LookUpRelease(demo.networkVersion);
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
