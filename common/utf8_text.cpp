#include "common/utf8_text.h"

#include <cstdint>

namespace {

bool IsValidUtf8(const unsigned char* p, size_t size) {
  for (size_t i = 0; i < size;) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t more;
    uint32_t lowest;
    if ((c & 0xE0) == 0xC0) {
      more = 1, lowest = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      more = 2, lowest = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      more = 3, lowest = 0x10000;
    } else {
      return false;
    }
    if (size - i <= more) return false;
    uint32_t code = c & (0x3F >> more);
    for (size_t k = 1; k <= more; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      code = code << 6 | (p[i + k] & 0x3F);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += more + 1;
  }
  return true;
}

void AppendLatin1(std::string& out, unsigned char c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string TextAsUtf8(const char* bytes, size_t size) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  if (IsValidUtf8(p, size)) return std::string(bytes, size);
  std::string out;
  out.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) AppendLatin1(out, p[i]);
  return out;
}

std::string Latin1AsUtf8(const char* text) {
  std::string out;
  for (const auto* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) AppendLatin1(out, *p);
  return out;
}
