// The message reader on any bytes: read a window at a time (of a size that
// the last byte picks, each a buffer of its own) it finds what it finds in
// the whole, and it reports a problem exactly when a block was not read to
// its end.
#include <cstdio>
#include <cstdlib>

#include "tests/native/message_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::vector<uint8_t> demo(bytes, bytes + size);
  const DemoMessages whole = ReadMessages(demo);
  const std::string described = Describe(whole);
  if (whole.problems.empty() != (whole.read != MessagesRead::kNotAll)) {
    fprintf(stderr, "problems and messagesRead disagree\n%s", described.c_str());
    abort();
  }
  const size_t capacity = 1 + (size > 0 ? bytes[size - 1] * 16 : 0);
  const std::string windowed = Describe(ReadMessagesInWindows(demo, capacity));
  if (windowed != described) {
    fprintf(stderr, "windows of %zu differ from the whole\n%s\n%s", capacity, described.c_str(),
            windowed.c_str());
    abort();
  }
  return 0;
}
