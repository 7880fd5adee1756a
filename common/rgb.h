// A colour of a picture, 8 bits a channel. Portable: no platform headers.
#pragma once

#include <cstdint>

struct Rgb {
  uint8_t r, g, b;
};

inline bool operator==(Rgb a, Rgb b) {
  return a.r == b.r && a.g == b.g && a.b == b.b;
}
inline bool operator!=(Rgb a, Rgb b) {
  return !(a == b);
}
