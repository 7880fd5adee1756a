#include "tests/reference/literal_scan.h"

#include <cstdio>
#include <cstring>

namespace {

struct Mode {
  uint8_t bytes[6];
  const char* width;
  const char* height;
};

// Written out again here rather than taken from the product's table, so that
// a wrong byte there shows as a difference.
const Mode kModes[8] = {
    {{0x00, 0x05, 0x00, 0x00, 0xC0, 0x03}, "1280", "960"},
    {{0x80, 0x04, 0x00, 0x00, 0x60, 0x03}, "1152", "864"},
    {{0x00, 0x04, 0x00, 0x00, 0x00, 0x03}, "1024", "768"},
    {{0x20, 0x03, 0x00, 0x00, 0x58, 0x02}, "800", "600"},
    {{0x80, 0x02, 0x00, 0x00, 0xE0, 0x01}, "640", "480"},
    {{0x00, 0x02, 0x00, 0x00, 0x80, 0x01}, "512", "384"},
    {{0xE0, 0x01, 0x00, 0x00, 0x68, 0x01}, "480", "360"},
    {{0x90, 0x01, 0x00, 0x00, 0x2C, 0x01}, "400", "300"},
};

const uint8_t kMarker[6] = {0x00, 0x08, 0x48, 0x4C, 0x54, 0x56};

void Set(DemoScan* scan, const char* width, const char* height) {
  snprintf(scan->width, sizeof scan->width, "%s", width);
  snprintf(scan->height, sizeof scan->height, "%s", height);
}

}  // namespace

void LiteralDetectResolution(const uint8_t* bytes, size_t size, DemoScan* scan) {
  Set(scan, "*", "*");
  if (size <= 6) return;
  for (size_t start = 0; start <= size - 7; ++start) {
    size_t cursor = start;
    for (const Mode& mode : kModes) {
      size_t k = 0;
      while (k < 6) {
        if (cursor >= size || bytes[cursor] != mode.bytes[k]) break;
        ++cursor;
        ++k;
      }
      if (k == 6) {
        Set(scan, mode.width, mode.height);
        return;
      }
    }
  }
}

void LiteralDetectHltv(const uint8_t* bytes, size_t size, DemoScan* scan) {
  if (strcmp(scan->width, "1024") != 0 && strcmp(scan->width, "*") != 0) return;
  if (size <= 6) return;
  for (size_t start = 0; start <= size - 7; ++start) {
    if (memcmp(bytes + start, kMarker, 6) == 0) {
      scan->isHltv = true;
      Set(scan, "1024", "768");
      return;
    }
  }
}

DemoScan LiteralScanDemo(const uint8_t* bytes, size_t size) {
  DemoScan scan = {};
  LiteralDetectResolution(bytes, size, &scan);
  LiteralDetectHltv(bytes, size, &scan);
  return scan;
}
