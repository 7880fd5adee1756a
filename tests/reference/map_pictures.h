// The previews of the real maps as drawn on x86-64 Linux, by a fingerprint of
// their pixels: every platform must draw exactly the same.
#pragma once

#include <cstdint>
#include <vector>

#include "common/rgb.h"

struct MapPictureFingerprint {
  const char* file;
  uint32_t fingerprint;  // of the 253 x 193 preview
};

inline constexpr MapPictureFingerprint kMapPictureFingerprints[] = {
    {"crossfire.bsp", 0xaca01645}, {"cs_assault.bsp", 0x2d92b1f2}, {"de_dust2.bsp", 0x5bed5cc9},
    {"de_nuke.bsp", 0x52738ccb},   {"aim_arena.bsp", 0x887cb8dd},
};

// FNV-1a over the red, green and blue of each pixel, rows top first.
inline uint32_t Fingerprint(const std::vector<Rgb>& pixels) {
  uint32_t hash = 2166136261u;
  for (const Rgb& p : pixels) {
    for (uint8_t channel : {p.r, p.g, p.b}) hash = (hash ^ channel) * 16777619u;
  }
  return hash;
}
