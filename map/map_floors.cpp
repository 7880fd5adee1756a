#include "map/map_floors.h"

#include <cmath>
#include <cstring>
#include <unordered_map>

#include "common/little_endian.h"

namespace {

constexpr int kLumpCount = 15;
constexpr size_t kHeaderSize = 4 + 8 * kLumpCount;
enum Lump {
  kEntities = 0,
  kPlanes = 1,
  kTextures = 2,
  kVertices = 3,
  kTextureInfo = 6,
  kFaces = 7,
  kEdges = 12,
  kSurfedges = 13,
  kModels = 14,
};
constexpr size_t kPlaneSize = 20, kVertexSize = 12, kTextureInfoSize = 40, kFaceSize = 20,
                 kEdgeSize = 4, kSurfedgeSize = 4, kModelSize = 64;
constexpr size_t kTextureHeaderSize = 40;  // name, width, height, four mip offsets
constexpr size_t kPaletteColours = 256;
// Far beyond the game's own limit of 4096 units; in sixteenths it still fits
// an int32 with room for sums.
constexpr float kLargestCoordinate = 1 << 20;

// A run of bytes inside the file.
struct Span {
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  size_t Count(size_t recordSize) const { return size / recordSize; }
  // Whether length bytes from offset lie inside, without overflow.
  bool Holds(uint64_t offset, uint64_t length) const {
    return offset <= size && length <= size - offset;
  }
};

bool TakeLump(const uint8_t* bytes, size_t size, int lump, Span* span) {
  const int32_t offset = LoadLeInt32(bytes + 4 + 8 * lump);
  const int32_t length = LoadLeInt32(bytes + 8 + 8 * lump);
  const Span file = {bytes, size};
  if (offset < 0 || length < 0 || !file.Holds(uint64_t(offset), uint64_t(length))) return false;
  *span = {bytes + offset, size_t(length)};
  return true;
}

bool StartsWithIgnoringCase(const char* name, size_t length, const char* prefix) {
  for (size_t i = 0; prefix[i] != '\0'; ++i) {
    if (i >= length) return false;
    char c = name[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool IsToolTexture(const char* name, size_t length) {
  static const char* const kTools[] = {"sky",    "aaatrigger", "clip", "null",
                                       "origin", "bevel",      "hint", "skip"};
  for (const char* tool : kTools) {
    if (StartsWithIgnoringCase(name, length, tool)) return true;
  }
  return false;
}

struct TextureLook {
  bool read = false;
  bool tool = false;
  FloorKind kind = FloorKind::kGround;
  Rgb colour = {0, 0, 0};
};

// What the textures lump's entries show, each texture (by its offset) looked
// at once, however many entries name it.
struct TextureLooks {
  std::vector<TextureLook> byEntry;
  std::unordered_map<uint32_t, TextureLook> byOffset;
  // How many more pixels may be averaged one by one: at first a 64th of the
  // lump. A sound map's textures lie apart, each with four levels of 85 times
  // the pixels of its smallest, so all of theirs fit; crafted textures that
  // share or overlap their levels could ask for any number. Past it, a
  // texture's mean is taken from a few pixels spread over its level.
  uint64_t exactPixelsLeft = 0;
};
constexpr uint64_t kExactShareOfLump = 64;
constexpr uint64_t kSampledPixels = 64;

// The mean colour of the smallest mip level through the palette after it.
// False when they do not lie inside the lump; a texture whose pixels name
// colours its palette lacks keeps no colour.
bool ReadMeanColour(const Span& lump, size_t textureOffset, uint64_t* exactPixelsLeft,
                    TextureLook* look) {
  const uint8_t* header = lump.bytes + textureOffset;
  const uint32_t width = LoadLe32(header + 16), height = LoadLe32(header + 20);
  const uint32_t smallestOffset = LoadLe32(header + 36);
  const uint64_t pixels = uint64_t(width / 8) * (height / 8);
  const uint64_t levelStart = uint64_t(textureOffset) + smallestOffset;
  if (pixels == 0 || !lump.Holds(levelStart, pixels + 2)) return false;
  const uint8_t* level = lump.bytes + levelStart;
  const uint16_t paletteColours = LoadLe16(level + pixels);
  if (paletteColours == 0 || paletteColours > kPaletteColours ||
      !lump.Holds(levelStart + pixels + 2, uint64_t(paletteColours) * 3)) {
    return false;
  }
  const uint8_t* palette = level + pixels + 2;
  const bool exact = pixels <= *exactPixelsLeft;
  const uint64_t samples = exact ? pixels : kSampledPixels;
  if (exact) *exactPixelsLeft -= pixels;
  uint64_t sum[3] = {0, 0, 0};
  for (uint64_t i = 0; i < samples; ++i) {
    const uint8_t index = level[exact ? i : i * pixels / samples];
    if (index >= paletteColours) return true;
    for (int c = 0; c < 3; ++c) sum[c] += palette[3 * index + c];
  }
  look->kind = FloorKind::kTextured;
  look->colour = {uint8_t((sum[0] + samples / 2) / samples),
                  uint8_t((sum[1] + samples / 2) / samples),
                  uint8_t((sum[2] + samples / 2) / samples)};
  return true;
}

bool ReadTexture(const Span& lump, int32_t version, size_t offset, uint64_t* exactPixelsLeft,
                 TextureLook* look) {
  if (!lump.Holds(offset, kTextureHeaderSize)) return false;
  const char* name = reinterpret_cast<const char*>(lump.bytes + offset);
  const size_t nameLength = strnlen(name, 16);
  look->tool = IsToolTexture(name, nameLength);
  if (nameLength > 0 && name[0] == '!') {
    look->kind = FloorKind::kWater;
    return true;
  }
  // Pixels of their own are in the map where the smallest level has an
  // offset; version 29 maps keep no palette with them.
  if (version != 30 || LoadLe32(lump.bytes + offset + 36) == 0) return true;
  return ReadMeanColour(lump, offset, exactPixelsLeft, look);
}

// What a face with the texture shows.
bool LookUpTexture(const Span& lump, int32_t version, size_t index, TextureLooks* looks,
                   const TextureLook** found) {
  TextureLook& look = looks->byEntry[index];
  *found = &look;
  if (look.read) return true;
  look.read = true;
  const int32_t offset = LoadLeInt32(lump.bytes + 4 + 4 * index);
  if (offset == -1) return true;  // missing: plain ground
  if (offset < 0) return false;
  const auto [shared, first] = looks->byOffset.try_emplace(uint32_t(offset));
  if (first &&
      !ReadTexture(lump, version, size_t(offset), &looks->exactPixelsLeft, &shared->second)) {
    return false;
  }
  look = shared->second;
  look.read = true;
  return true;
}

struct MapLumps {
  Span entities, planes, textures, vertices, textureInfo, faces, edges, surfedges, models;
  size_t textureCount = 0;
};

bool TakeLumps(const uint8_t* bytes, size_t size, MapLumps* map) {
  const std::pair<int, Span*> wanted[] = {
      {kEntities, &map->entities}, {kPlanes, &map->planes},           {kTextures, &map->textures},
      {kVertices, &map->vertices}, {kTextureInfo, &map->textureInfo}, {kFaces, &map->faces},
      {kEdges, &map->edges},       {kSurfedges, &map->surfedges},     {kModels, &map->models},
  };
  for (const auto& [lump, span] : wanted) {
    if (!TakeLump(bytes, size, lump, span)) return false;
  }
  if (map->textures.size >= 4) {
    const int32_t count = LoadLeInt32(map->textures.bytes);
    if (count < 0 || !map->textures.Holds(4, uint64_t(count) * 4)) return false;
    map->textureCount = size_t(count);
  }
  return true;
}

bool ReadPoint(const MapLumps& map, int32_t surfedge, MapPoint* point) {
  if (surfedge == INT32_MIN) return false;
  const uint32_t edge = uint32_t(surfedge < 0 ? -surfedge : surfedge);
  if (edge >= map.edges.Count(kEdgeSize)) return false;
  // Walked backwards, an edge starts at its second vertex.
  const uint16_t vertex = LoadLe16(map.edges.bytes + kEdgeSize * edge + (surfedge < 0 ? 2 : 0));
  if (vertex >= map.vertices.Count(kVertexSize)) return false;
  int32_t* coordinates[] = {&point->x, &point->y, &point->z};
  for (int axis = 0; axis < 3; ++axis) {
    const float value = LoadLeFloat(map.vertices.bytes + kVertexSize * vertex + 4 * axis);
    if (!(std::fabs(value) <= kLargestCoordinate)) return false;  // also NaN
    *coordinates[axis] = static_cast<int32_t>(std::floor(value * kMapUnit));
  }
  return true;
}

// The face's points and height when it is a floor; false when the map is
// damaged.
bool ReadFace(const MapLumps& map, int32_t version, size_t index, TextureLooks* looks,
              MapFloors* floors) {
  const uint8_t* face = map.faces.bytes + kFaceSize * index;
  const uint16_t plane = LoadLe16(face), side = LoadLe16(face + 2);
  const int32_t firstSurfedge = LoadLeInt32(face + 4);
  const uint16_t surfedgeCount = LoadLe16(face + 8), textureInfo = LoadLe16(face + 10);
  if (plane >= map.planes.Count(kPlaneSize) ||
      textureInfo >= map.textureInfo.Count(kTextureInfoSize) || firstSurfedge < 0 ||
      uint64_t(firstSurfedge) + surfedgeCount > map.surfedges.Count(kSurfedgeSize)) {
    return false;
  }
  float normalZ = LoadLeFloat(map.planes.bytes + kPlaneSize * plane + 8);
  if (side != 0) normalZ = -normalZ;
  if (!(normalZ >= 0.7f) || surfedgeCount < 3) return true;

  const int32_t texture = LoadLeInt32(map.textureInfo.bytes + kTextureInfoSize * textureInfo + 32);
  if (texture < 0 || size_t(texture) >= map.textureCount) return false;
  const TextureLook* look = nullptr;
  if (!LookUpTexture(map.textures, version, size_t(texture), looks, &look)) return false;
  if (look->tool) return true;

  // In a sound map each face has surfedges of its own: more points than
  // surfedges would come from faces sharing them, without end.
  if (floors->points.size() + surfedgeCount > map.surfedges.Count(kSurfedgeSize)) return false;
  FloorFace floor = {uint32_t(floors->points.size()), surfedgeCount, 0, look->kind, look->colour};
  int64_t heights = 0;
  for (uint32_t i = 0; i < surfedgeCount; ++i) {
    MapPoint point;
    const uint8_t* surfedge = map.surfedges.bytes + kSurfedgeSize * (size_t(firstSurfedge) + i);
    if (!ReadPoint(map, LoadLeInt32(surfedge), &point)) return false;
    floors->points.push_back(point);
    heights += point.z;
  }
  floor.height = static_cast<int32_t>(heights / surfedgeCount);
  floors->faces.push_back(floor);
  return true;
}

// A decimal number such as "-1712" or "36.5" at text, up to a blank or end,
// in sixteenths; false for anything else or a number beyond any map.
bool ParseCoordinate(const char*& text, const char* end, int32_t* sixteenths) {
  while (text < end && *text == ' ') ++text;
  const bool negative = text < end && *text == '-';
  if (negative) ++text;
  int64_t whole = 0, fraction = 0, scale = 1;
  const char* digits = text;
  for (; text < end && *text >= '0' && *text <= '9'; ++text) {
    whole = whole * 10 + (*text - '0');
    if (whole > int64_t(kLargestCoordinate)) return false;
  }
  if (text < end && *text == '.') {
    // Sixteenths need no more than four places.
    for (++text; text < end && *text >= '0' && *text <= '9'; ++text) {
      if (scale < 10000) {
        fraction = fraction * 10 + (*text - '0');
        scale *= 10;
      }
    }
  }
  if (text == digits || (text < end && *text != ' ')) return false;
  const int64_t value = whole * kMapUnit + fraction * kMapUnit / scale;
  *sixteenths = int32_t(negative ? -value : value);
  return true;
}

bool ParseOrigin(const char* text, size_t length, MapPoint* origin) {
  const char* end = text + length;
  if (!ParseCoordinate(text, end, &origin->x) || !ParseCoordinate(text, end, &origin->y) ||
      !ParseCoordinate(text, end, &origin->z)) {
    return false;
  }
  while (text < end && *text == ' ') ++text;
  return text == end;
}

bool IsText(const char* text, size_t length, const char* wanted) {
  return strlen(wanted) == length && memcmp(text, wanted, length) == 0;
}

// The entities' blocks { "key" "value" ... }, read no further than the
// lump's end; a text cut short ends the reading where it is cut.
void ReadSpawns(const Span& entities, std::vector<MapSpawn>* spawns) {
  const char* text = reinterpret_cast<const char*>(entities.bytes);
  const char* const end = text + entities.size;
  bool inBlock = false, haveKey = false, haveOrigin = false, isSpawn = false;
  const char* key = nullptr;
  size_t keyLength = 0;
  MapSpawn spawn = {};
  while (text < end) {
    const char c = *text++;
    if (c == '{') {
      inBlock = true;
      haveKey = haveOrigin = isSpawn = false;
    } else if (c == '}') {
      if (inBlock && isSpawn && haveOrigin) spawns->push_back(spawn);
      inBlock = false;
    } else if (c == '"') {
      const char* close = static_cast<const char*>(memchr(text, '"', size_t(end - text)));
      if (close == nullptr) return;
      const size_t length = size_t(close - text);
      if (inBlock && !haveKey) {
        key = text;
        keyLength = length;
      } else if (inBlock && IsText(key, keyLength, "classname")) {
        isSpawn = true;
        if (IsText(text, length, "info_player_start")) {
          spawn.team = SpawnTeam::kStart;
        } else if (IsText(text, length, "info_player_deathmatch")) {
          spawn.team = SpawnTeam::kDeathmatch;
        } else {
          isSpawn = false;
        }
      } else if (inBlock && IsText(key, keyLength, "origin")) {
        haveOrigin = ParseOrigin(text, length, &spawn.origin);
      }
      haveKey = inBlock && !haveKey;
      text = close + 1;
    }
  }
}

void FindExtent(MapFloors* floors) {
  const MapPoint& first = floors->points.front();
  floors->minX = floors->maxX = first.x;
  floors->minY = floors->maxY = first.y;
  for (const MapPoint& p : floors->points) {
    if (p.x < floors->minX) floors->minX = p.x;
    if (p.x > floors->maxX) floors->maxX = p.x;
    if (p.y < floors->minY) floors->minY = p.y;
    if (p.y > floors->maxY) floors->maxY = p.y;
  }
  floors->lowest = floors->highest = floors->faces.front().height;
  for (const FloorFace& face : floors->faces) {
    if (face.height < floors->lowest) floors->lowest = face.height;
    if (face.height > floors->highest) floors->highest = face.height;
  }
}

}  // namespace

MapStatus ReadMapFloors(const uint8_t* bytes, size_t size, MapFloors* floors) {
  *floors = MapFloors();
  if (size < kHeaderSize) return MapStatus::kNotAMap;
  const int32_t version = LoadLeInt32(bytes);
  if (version != 29 && version != 30) return MapStatus::kNotAMap;
  floors->version = version;

  MapLumps map;
  if (!TakeLumps(bytes, size, &map) || map.models.Count(kModelSize) == 0) {
    return MapStatus::kDamaged;
  }
  // The first model is the world; the others are doors, lifts and the like.
  const int32_t firstFace = LoadLeInt32(map.models.bytes + 56);
  const int32_t faceCount = LoadLeInt32(map.models.bytes + 60);
  if (firstFace < 0 || faceCount < 0 ||
      uint64_t(firstFace) + uint64_t(faceCount) > map.faces.Count(kFaceSize)) {
    return MapStatus::kDamaged;
  }
  TextureLooks looks;
  looks.byEntry.resize(map.textureCount);
  looks.exactPixelsLeft = map.textures.size / kExactShareOfLump;
  for (int32_t i = 0; i < faceCount; ++i) {
    if (!ReadFace(map, version, size_t(firstFace) + size_t(i), &looks, floors)) {
      *floors = MapFloors();
      return MapStatus::kDamaged;
    }
  }
  if (floors->faces.empty()) return MapStatus::kNoFloors;
  FindExtent(floors);
  ReadSpawns(map.entities, &floors->spawns);
  return MapStatus::kRead;
}

const char* MapStatusMessage(MapStatus status) {
  switch (status) {
    case MapStatus::kRead: return "read";
    case MapStatus::kNotAMap: return "not a compiled map of version 29 or 30";
    case MapStatus::kDamaged: return "damaged map: an offset, count or index in it is out of range";
    case MapStatus::kNoFloors: return "the map has no floor to draw";
  }
  return "";
}
