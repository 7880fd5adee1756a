// Each segment of a demo walked on its own, frame after frame from its offset,
// with no sharing between walks: the reference for what the walk finds in the
// segments of a sound directory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "demo/demo_structure.h"

struct LiteralSegments {
  bool intact;  // every segment walks exactly to its end, its last frame a next-section
  double duration;
  int64_t frames;
  int32_t viewportWidth;  // 0 when none
  int32_t viewportHeight;
};

// For the segments of found, which must be the demo's sound directory.
LiteralSegments LiteralWalkSegments(const uint8_t* bytes, size_t size, const DemoStructure& found);
