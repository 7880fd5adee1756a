// CRC-32 as zip computes it, one bit at a time: the reference that the
// library index's table-driven checksum must agree with, and what the tests
// and the fuzz target seal the indexes they damage with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline uint32_t BitwiseCrc32(const uint8_t* bytes, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1) != 0 ? 0xEDB88320u : 0);
  }
  return ~crc;
}

// An index's bytes before their checksum, followed by it.
inline std::string SealedIndex(std::string body) {
  const uint32_t crc = BitwiseCrc32(reinterpret_cast<const uint8_t*>(body.data()), body.size());
  for (int shift = 0; shift < 32; shift += 8) body += static_cast<char>(crc >> shift);
  return body;
}
