// The structure walk and the repair on any bytes: the walk in windows (of a
// size that the last byte picks, each a buffer of its own) gives what the
// whole walk gives; problems are empty exactly when the demo is intact; the
// segments of a sound directory agree with each walked on its own; and a
// repair, when one is made, reads back as intact with the frames kept.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "demo/demo_repair.h"
#include "tests/native/demo_walk_support.h"
#include "tests/reference/literal_walk.h"

namespace {

// Equal, or both not a number: frame times are whatever the bytes hold.
bool Same(double a, double b) {
  return a == b || (a != a && b != b);
}

void Check(bool holds, const char* what, const DemoStructure& found) {
  if (holds) return;
  fprintf(stderr, "%s\n%s", what, Describe(found).c_str());
  abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::vector<uint8_t> demo(bytes, bytes + size);
  const DemoStructure found = ReadDemoStructure(bytes, size);
  Check(found.problems.empty() == found.intact, "problems and intact disagree", found);
  const size_t capacity = kWalkLookAhead + (size > 0 ? bytes[size - 1] * 3 : 0);
  Check(WalkInWindows(demo, capacity) == Describe(found), "windows differ from the whole", found);
  if (found.knownProtocol && !found.segments.empty()) {
    const LiteralSegments literal = LiteralWalkSegments(bytes, size, found);
    Check(literal.intact == found.intact, "the segments walked alone differ", found);
    Check(!literal.intact ||
              (literal.frames == found.frames && Same(literal.duration, found.duration) &&
               literal.viewportWidth == found.viewportWidth),
          "the segments walked alone count otherwise", found);
  }
  std::vector<uint8_t> repaired;
  if (RepairDemoBytes(bytes, size, &repaired) == RepairOutcome::kRepaired) {
    const DemoStructure back = ReadDemoStructure(repaired.data(), repaired.size());
    Check(back.intact && back.frames == found.frames, "the repair does not read back", back);
  } else {
    Check(repaired.empty(), "a refused repair left bytes", found);
  }
  return 0;
}
