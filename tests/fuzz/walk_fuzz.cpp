// The long-path walk on any source, with a directory search that answers
// whatever the input says: it never writes past the destination it is given
// (an exact heap block, so the sanitizer sees a byte past it), always ends
// it, and asks the search only with queries that end within 260 bytes.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/long_path_walk.h"

namespace {

const uint8_t* answers;
size_t answersLeft;

// Each answer: a length byte (0xFF: nothing found; else twice it, up to what
// fits) and the name's bytes, which may hold anything but a NUL.
bool AnswerFromInput(const char* query, char* name, size_t nameSize) {
  if (memchr(query, '\0', 260) == nullptr) abort();
  if (answersLeft == 0 || *answers == 0xFF) return false;
  size_t length = std::min({size_t{*answers} * 2, answersLeft - 1, nameSize - 1});
  ++answers;
  --answersLeft;
  for (size_t i = 0; i < length; ++i)
    name[i] = answers[i] != 0 ? static_cast<char>(answers[i]) : 'n';
  name[length] = '\0';
  answers += length;
  answersLeft -= length;
  return true;
}

}  // namespace

// Two bytes of destination size (1 to 512), the source up to its NUL, then
// the search's answers.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size < 2) return 0;
  const size_t destinationSize = ((bytes[0] << 8 | bytes[1]) % 512) + 1;
  const uint8_t* rest = bytes + 2;
  const size_t restSize = size - 2;
  const uint8_t* end = static_cast<const uint8_t*>(memchr(rest, '\0', restSize));
  const size_t sourceLength = end != nullptr ? static_cast<size_t>(end - rest) : restSize;
  std::unique_ptr<char[]> source(new char[sourceLength + 1]);
  memcpy(source.get(), rest, sourceLength);
  source[sourceLength] = '\0';
  answers = rest + sourceLength + (end != nullptr ? 1 : 0);
  answersLeft = restSize - (answers - rest);

  std::unique_ptr<char[]> destination(new char[destinationSize]);
  const int length =
      WalkLongPath(source.get(), destination.get(), destinationSize, AnswerFromInput);
  if (memchr(destination.get(), '\0', destinationSize) == nullptr) abort();
  // A resolved path's length is that of the text written.
  if (length != 0 && static_cast<size_t>(length) != strlen(destination.get())) abort();
  return 0;
}
