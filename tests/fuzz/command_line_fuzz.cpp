// The command-line rule on any text, with and without double-byte lead bytes:
// the text found lies within the command line, and the unquoted path stays
// within the size it is given (an exact heap block, so the sanitizer sees a
// byte past it) and ends there.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "app/command_line.h"

namespace {

bool NoLeadBytes(unsigned char) {
  return false;
}

// Shift-JIS, where a second byte may be a quote or a blank.
bool ShiftJisLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace

// The first byte: the path's size (1 to 128 bytes) and, in its high bit,
// which lead-byte test; the rest is the command line.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size == 0) return 0;
  const size_t pathSize = (bytes[0] & 0x7F) + 1;
  LeadByteTest leadByte = (bytes[0] & 0x80) != 0 ? ShiftJisLeadByte : NoLeadBytes;
  std::vector<char> line(bytes + 1, bytes + size);
  line.push_back('\0');

  const char* text = CommandLineText(line.data(), leadByte);
  if (text < line.data() || text > line.data() + strlen(line.data())) abort();

  std::unique_ptr<char[]> path(new char[pathSize]);
  UnquotePath(text, path.get(), pathSize);
  if (memchr(path.get(), '\0', pathSize) == nullptr || strlen(path.get()) > strlen(text)) abort();
  return 0;
}
