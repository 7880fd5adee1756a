// The floors of a compiled GoldSrc map (.bsp, versions 29 and 30), as far as
// a picture of the map seen from above needs them. Works on the file's bytes;
// every offset, length, count and index in them is checked before it is used.
// Portable: no platform headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/rgb.h"

// Map coordinates are kept in sixteenths of a unit: a vertex's float times 16
// is exact, and cut to a whole number it is the same on every processor, so
// everything drawn from it is too.
constexpr int32_t kMapUnit = 16;

struct MapPoint {
  int32_t x, y, z;  // sixteenths of a unit
};

enum class FloorKind : uint8_t {
  kGround,    // its texture's pixels are not in the map
  kTextured,  // colour holds its texture's mean colour
  kWater,     // a texture whose name begins with "!"
};

struct FloorFace {
  uint32_t firstPoint;  // into MapFloors::points
  uint32_t pointCount;  // 3 or more, in the order the map gives them
  int32_t height;       // the mean z of its points, in sixteenths
  FloorKind kind;
  Rgb colour;  // for kTextured
};

enum class SpawnTeam : uint8_t {
  kStart,       // info_player_start: counter-terrorists, or the player
  kDeathmatch,  // info_player_deathmatch: terrorists, or anyone in deathmatch
};

struct MapSpawn {
  MapPoint origin;
  SpawnTeam team;
};

struct MapFloors {
  int32_t version = 0;
  std::vector<MapPoint> points;
  std::vector<FloorFace> faces;  // in the order of the map's world model
  // The spawn points of the entities, in their order; one without an origin
  // of three numbers is left out.
  std::vector<MapSpawn> spawns;
  // The extent of the floors' points and the range of the faces' heights.
  int32_t minX = 0, minY = 0, maxX = 0, maxY = 0;
  int32_t lowest = 0, highest = 0;
};

enum class MapStatus {
  kRead,
  kNotAMap,   // too short for a header, or a version other than 29 and 30
  kDamaged,   // an offset, length, count, index or coordinate out of range
  kNoFloors,  // a sound map without a floor to draw
};

// The world model's floors: its faces whose normal points up (z of at least
// 0.7), tool textures (sky, clip, trigger and the like) left out; and the
// spawn points.
MapStatus ReadMapFloors(const uint8_t* bytes, size_t size, MapFloors* floors);

// The line a program shows for a status other than kRead.
const char* MapStatusMessage(MapStatus status);
