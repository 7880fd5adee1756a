// Windows bitmap files of the project's own artwork: uncompressed, bottom-up.
#pragma once

#include <cstdint>
#include <vector>

#include "common/rgb.h"

// Rows are given top first, width * height pixels.
std::vector<uint8_t> EncodeBitmap24(int width, int height, const std::vector<Rgb>& pixels);

// 8 bits a pixel with a palette of up to 256 colours; indices top row first.
std::vector<uint8_t> EncodeBitmap8(int width, int height, const std::vector<Rgb>& palette,
                                   const std::vector<uint8_t>& indices);

// An overhead sketch of a map: floor, walls, crates and a compass, its colours
// varied by the map's name. Rows top first.
std::vector<Rgb> DrawMapPreview(const char* mapName, int width, int height);
