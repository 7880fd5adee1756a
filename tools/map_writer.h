// Makes compiled maps (.bsp) of the project's own, for the tests and the fuzz
// seeds: faces given as polygons, each with a plane of its own, edges walked
// forwards and backwards in turn, and textures either embedded with a palette
// or named only, as those kept in WAD files are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/rgb.h"

struct MapTextureRecipe {
  std::string name;
  // Embedded side x side pixels: alternately the palette's first and second
  // colour, so that the mean is exactly half their sum (give even sums).
  bool embedded = false;
  Rgb first = {0, 0, 0};
  Rgb second = {0, 0, 0};
  uint32_t side = 16;  // a multiple of 16
  // Only the smallest level is written, which all four offsets name: a huge
  // texture at an eighth of its cost, as only the smallest level is read.
  bool smallestOnly = false;
  // The entry names the texture written for that earlier entry instead.
  size_t sameAs = SIZE_MAX;
};

struct MapVertex {
  float x, y, z;
};

struct MapFaceRecipe {
  std::vector<MapVertex> points;
  MapVertex normal = {0, 0, 1};
  // The plane is written with the normal turned round and the face on its
  // back side, as compilers share a plane between two faces.
  bool back = false;
  size_t texture = 0;
};

// Edges name vertices by 16 bits: a map holds at most 65,536 points in all.
struct MapRecipe {
  int32_t version = 30;
  std::string entities = "{\n\"classname\" \"worldspawn\"\n}\n";
  std::vector<MapTextureRecipe> textures = {{"ground"}};
  std::vector<MapFaceRecipe> faces;
  // Faces from this one on belong to a second model, such as a door.
  size_t worldFaces = SIZE_MAX;
};

std::vector<uint8_t> WriteMap(const MapRecipe& recipe);

// A face of a floor, rectangular and level, at height z.
MapFaceRecipe FloorRectangle(float minX, float minY, float maxX, float maxY, float z,
                             size_t texture = 0);

// The offset and length of a lump, as a map's header gives them.
struct LumpPlace {
  uint32_t offset, length;
};
LumpPlace FindLump(const std::vector<uint8_t>& map, int lump);
