// TrimDemo on any bytes: the first byte picks the start of the cut (in
// hundredths of a second), the second its end (255: the demo's end), the
// rest is the demo, held in a buffer of exactly its size. It never reads
// outside, and a copy that it writes is an intact demo of a loading and a
// playback segment; a refusal writes nothing and says why.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "demo/demo_structure.h"
#include "messages/demo_trim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size < 2) return 0;
  const double from = bytes[0] / 100.0;
  const double to = bytes[1] == 255 ? -1.0 : bytes[1] / 100.0;
  const size_t demoSize = size - 2;
  std::unique_ptr<uint8_t[]> demo(new uint8_t[demoSize]);
  if (demoSize > 0) memcpy(demo.get(), bytes + 2, demoSize);
  std::vector<uint8_t> copy;
  std::string reason;
  const TrimOutcome outcome = TrimDemo(demo.get(), demoSize, from, to, &copy, &reason);
  if ((outcome == TrimOutcome::kWritten) != (reason.empty() && !copy.empty())) {
    fprintf(stderr, "outcome %d with %zu bytes and reason \"%s\"\n", static_cast<int>(outcome),
            copy.size(), reason.c_str());
    abort();
  }
  if (outcome != TrimOutcome::kWritten) return 0;
  const DemoStructure written = ReadDemoStructure(copy.data(), copy.size());
  if (!written.intact || written.segments.size() != 2) {
    fprintf(stderr, "the copy is not intact: %s\n",
            written.problems.empty() ? "two segments expected" : written.problems[0].c_str());
    abort();
  }
  return 0;
}
