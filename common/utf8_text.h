// Texts that a file holds, made UTF-8 for printing. Portable: no platform
// headers.
#pragma once

#include <cstddef>
#include <string>

// The bytes as they are where they are valid UTF-8 (no overlong forms, no
// surrogates, nothing past U+10FFFF); otherwise each byte as a Latin-1
// character.
std::string TextAsUtf8(const char* bytes, size_t size);
inline std::string TextAsUtf8(const std::string& bytes) {
  return TextAsUtf8(bytes.data(), bytes.size());
}

// Each byte as a Latin-1 character.
std::string Latin1AsUtf8(const char* text);
