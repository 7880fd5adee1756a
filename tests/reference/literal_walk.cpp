#include "tests/reference/literal_walk.h"

#include <cstring>

namespace {

int32_t Int(const uint8_t* bytes, uint64_t at) {
  uint32_t value;
  memcpy(&value, bytes + at, sizeof value);  // little-endian machines only
  return static_cast<int32_t>(value);
}

// The size of the frame at `at`, or 0 when it is not sound or runs past end.
uint64_t FrameSize(const uint8_t* bytes, uint64_t at, uint64_t end, int32_t protocol) {
  auto fits = [&](uint64_t size) { return at + size <= end; };
  auto counted = [&](uint64_t fixed, int32_t longest, uint64_t tail) -> uint64_t {
    if (!fits(fixed)) return 0;
    const int32_t length = Int(bytes, at + fixed - 4);
    if (length < 0 || length > longest) return 0;
    return fits(fixed + length + tail) ? fixed + length + tail : 0;
  };
  if (!fits(9)) return 0;
  const uint8_t type = bytes[at];
  uint64_t fixed = 0;
  if (protocol == 5) {
    if (type <= 1) return counted(477, 65536, 0);
    if (type == 8) return counted(17, 260, 16);
    if (type == 9) return counted(13, 65536, 0);
    const uint64_t sizes[] = {0, 0, 9, 73, 41, 9, 93, 17};
    if (type < 8) fixed = sizes[type];
  } else {
    if (type <= 1) return counted(37, 65536, 0);
    if (type == 7) return counted(13, 65536, 0);
    const uint64_t sizes[] = {0, 0, 9, 37, 9, 73, 73, 0, 9};
    if (type <= 8) fixed = sizes[type];
  }
  return fixed != 0 && fits(fixed) ? fixed : 0;
}

}  // namespace

LiteralSegments LiteralWalkSegments(const uint8_t* bytes, size_t, const DemoStructure& found) {
  LiteralSegments result = {true, 0.0, 0, 0, 0};
  const int32_t protocol = found.demoProtocol;
  for (const DemoSegment& segment : found.segments) {
    const uint64_t end = static_cast<uint64_t>(segment.offset) + segment.length;
    uint64_t at = static_cast<uint64_t>(segment.offset);
    int lastType = -1;
    float lastTime = 0.0f;
    for (uint64_t size; at < end && (size = FrameSize(bytes, at, end, protocol)) != 0; at += size) {
      lastType = bytes[at];
      memcpy(&lastTime, bytes + at + 1, sizeof lastTime);
      if (segment.type != 0 && lastType == 1) ++result.frames;
      if (protocol == 5 && lastType <= 1 && result.viewportWidth == 0 && Int(bytes, at + 229) > 0 &&
          Int(bytes, at + 233) > 0) {
        result.viewportWidth = Int(bytes, at + 229);
        result.viewportHeight = Int(bytes, at + 233);
      }
    }
    if (segment.type != 0) result.duration += lastTime;
    result.intact = result.intact && at == end && lastType == (protocol == 4 ? 8 : 5);
  }
  return result;
}
