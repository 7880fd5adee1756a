// Little-endian numbers read from bytes that a file holds, whatever the order
// of the processor. Portable: no platform headers.
#pragma once

#include <cstdint>
#include <cstring>

inline uint16_t LoadLe16(const uint8_t* at) {
  return static_cast<uint16_t>(at[0] | at[1] << 8);
}

inline uint32_t LoadLe32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
         static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

inline int32_t LoadLeInt32(const uint8_t* at) {
  return static_cast<int32_t>(LoadLe32(at));
}

inline float LoadLeFloat(const uint8_t* at) {
  uint32_t bits = LoadLe32(at);
  float value;
  memcpy(&value, &bits, sizeof value);
  return value;
}
