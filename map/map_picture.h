// A map's floors drawn from above into a picture of the project's own scanline
// fill: integers only once the points are read, so every platform gives the
// same pixels. Portable: no platform headers.
#pragma once

#include <vector>

#include "common/rgb.h"
#include "map/map_floors.h"

// The preview the main window shows inside its map frame.
constexpr int kPreviewWidth = 253;
constexpr int kPreviewHeight = 193;
constexpr int kLargestPictureSide = 4096;
// Free on each side of the floors.
constexpr int kPictureMargin = 4;

// Where there is no floor: darker than the window's panel, so the picture
// stands apart from it.
constexpr Rgb kMapBackground = {24, 27, 32};
// Floors whose texture's pixels are not in the map, and water, at their
// brightest; lower floors are darker.
constexpr Rgb kGroundColour = {178, 168, 146};
constexpr Rgb kWaterColour = {64, 118, 178};
// Spawn points, as dots of 3 x 3 pixels over the floors.
constexpr Rgb kStartSpawnColour = {80, 150, 255};
constexpr Rgb kDeathmatchSpawnColour = {240, 96, 64};

// width and height from 1 to kLargestPictureSide, else no pixels. The
// floors' x/y extent fills the picture less the margin, centred, aspect kept,
// north (+y) up; higher floors are drawn over lower ones and lighter; the
// spawn points over them. Rows top first. Each pixel is written once, however
// many floors lie over each other; a floor costs the rows it crosses that
// higher ones have not filled yet.
std::vector<Rgb> DrawMapFloors(const MapFloors& floors, int width, int height);
