// The map reader on maps of the project's own writer, on the real maps where
// they lie, and on damaged copies of a real one.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "map/map_floors.h"
#include "map/map_picture.h"
#include "tests/native/test_bytes.h"
#include "tests/reference/map_pictures.h"
#include "tools/map_writer.h"

namespace {

MapStatus Read(const std::vector<uint8_t>& bytes, MapFloors* floors) {
  return ReadMapFloors(bytes.data(), bytes.size(), floors);
}

// Every kind of face that is not a floor, beside two that are.
TEST(ReadMapFloors, FloorsOfTheWorldOnly) {
  MapRecipe recipe;
  recipe.textures = {
      {"ground"}, {"SKY"}, {"!water"}, {"rock", true, {200, 100, 40}, {100, 60, 20}}};
  MapFaceRecipe wall = FloorRectangle(0, 0, 64, 64, 0);
  wall.normal = {1, 0, 0};
  MapFaceRecipe ceiling = FloorRectangle(0, 0, 64, 64, 96);
  ceiling.normal = {0, 0, -1};
  MapFaceRecipe backFloor = FloorRectangle(0, 0, 64, 64, 32, 2);
  backFloor.back = true;
  MapFaceRecipe steep = FloorRectangle(0, 0, 64, 64, 0);
  steep.normal = {0.71f, 0, 0.69f};
  MapFaceRecipe line = FloorRectangle(0, 0, 64, 64, 0);
  line.points.resize(2);
  recipe.faces = {wall,
                  ceiling,
                  FloorRectangle(-16.5f, 8, 48, 40.25f, 8, 3),
                  backFloor,
                  steep,
                  line,
                  FloorRectangle(0, 0, 640, 640, 512, 1),
                  FloorRectangle(0, 0, 640, 640, 256)};
  recipe.worldFaces = 7;  // the last one is a door's

  MapFloors floors;
  ASSERT_EQ(Read(WriteMap(recipe), &floors), MapStatus::kRead);
  EXPECT_EQ(floors.version, 30);
  ASSERT_EQ(floors.faces.size(), 2u);
  const FloorFace& rock = floors.faces[0];
  EXPECT_EQ(rock.kind, FloorKind::kTextured);
  EXPECT_EQ(rock.colour, Rgb({150, 80, 30}));
  EXPECT_EQ(rock.height, 8 * kMapUnit);
  ASSERT_EQ(rock.pointCount, 4u);
  // In the order written, the backwards edges giving their second vertex.
  const MapPoint expected[] = {
      {-264, 128, 128}, {-264, 644, 128}, {768, 644, 128}, {768, 128, 128}};
  for (int i = 0; i < 4; ++i) {
    const MapPoint& p = floors.points[rock.firstPoint + i];
    EXPECT_EQ(std::tie(p.x, p.y, p.z), std::tie(expected[i].x, expected[i].y, expected[i].z)) << i;
  }
  EXPECT_EQ(floors.faces[1].kind, FloorKind::kWater);
  EXPECT_EQ(floors.faces[1].height, 32 * kMapUnit);
  EXPECT_EQ(
      std::tie(floors.minX, floors.maxX, floors.minY, floors.maxY, floors.lowest, floors.highest),
      std::make_tuple(-264, 1024, 0, 1024, 128, 512));

  // Version 29 keeps no palette with its textures: the same floors, plain.
  recipe.version = 29;
  ASSERT_EQ(Read(WriteMap(recipe), &floors), MapStatus::kRead);
  EXPECT_EQ(floors.faces[0].kind, FloorKind::kGround);
}

// One texture named by every entry of the lump, on a floor each.
const struct {
  const char* what;
  uint32_t side;
  bool smallestOnly;  // no sound map holds such a texture
  size_t entries;
} kSharedTextures[] = {
    {"1024 x 1024, named by 1,000 entries", 1024, false, 1000},
    {"8192 x 8192 of its smallest level alone, named by 3,000 entries", 8192, true, 3000},
};

TEST(ReadMapFloors, ATextureShowsOneColourHoweverManyEntriesNameIt) {
  for (const auto& t : kSharedTextures) {
    auto read = [&](size_t entries, MapFloors* floors) {
      MapRecipe recipe;
      recipe.textures.assign(entries, {"rock", true, {200, 100, 40}, {100, 60, 20}, t.side});
      for (size_t i = 0; i < entries; ++i) {
        recipe.textures[i].smallestOnly = t.smallestOnly;
        recipe.textures[i].sameAs = i == 0 ? SIZE_MAX : 0;
        const float x = float(i % 64) * 16, y = float(i / 64) * 16;
        recipe.faces.push_back(FloorRectangle(x, y, x + 8, y + 8, 0, i));
      }
      return Read(WriteMap(recipe), floors);
    };
    MapFloors once, shared;
    ASSERT_EQ(read(1, &once), MapStatus::kRead) << t.what;
    ASSERT_EQ(read(t.entries, &shared), MapStatus::kRead) << t.what;
    const Rgb colour = once.faces.at(0).colour;
    // The mean of all its pixels where a sound map could hold it, else of
    // some: between its two colours.
    if (!t.smallestOnly) {
      EXPECT_EQ(colour, Rgb({150, 80, 30})) << t.what;
    }
    EXPECT_TRUE(colour.r >= 100 && colour.r <= 200 && colour.g >= 60 && colour.g <= 100 &&
                colour.b >= 20 && colour.b <= 40)
        << t.what;
    ASSERT_EQ(shared.faces.size(), t.entries) << t.what;
    for (const FloorFace& face : shared.faces) {
      ASSERT_EQ(face.kind, FloorKind::kTextured) << t.what;
      ASSERT_EQ(face.colour, colour) << t.what;
    }
  }
}

TEST(ReadMapFloors, SpawnPointsWithAnOriginOfThreeNumbers) {
  MapRecipe recipe;
  recipe.faces = {FloorRectangle(0, 0, 64, 64, 0)};
  recipe.entities =
      "{ \"classname\" \"worldspawn\" \"wad\" \"{\\\" }\n"
      "{ \"origin\" \"16 -32.5 8\" \"classname\" \"info_player_start\" }\n"
      "{ \"classname\" \"info_player_deathmatch\" \"origin\" \"1 2\" }\n"
      "{ \"classname\" \"info_player_deathmatch\" \"origin\" \"-0.0625 1048576 0 \" }\n"
      "{ \"classname\" \"info_player_deathmatch\" \"origin\" \"1 2 3x\" }\n"
      "{ \"classname\" \"info_player_start\" \"origin\" \"1 1048577 0\" }\n"
      "{ \"classname\" \"light\" \"origin\" \"0 0 0\" }\n"
      "{ \"classname\" \"info_player_start\" \"origin\" \"1 2 3";  // cut short
  MapFloors floors;
  std::vector<uint8_t> map = WriteMap(recipe);
  ASSERT_EQ(Read(map, &floors), MapStatus::kRead);
  ASSERT_EQ(floors.spawns.size(), 2u);
  EXPECT_EQ(floors.spawns[0].team, SpawnTeam::kStart);
  const MapPoint& first = floors.spawns[0].origin;
  EXPECT_EQ(std::tie(first.x, first.y, first.z), std::make_tuple(256, -520, 128));
  EXPECT_EQ(floors.spawns[1].team, SpawnTeam::kDeathmatch);
  const MapPoint& second = floors.spawns[1].origin;
  EXPECT_EQ(std::tie(second.x, second.y), std::make_tuple(-1, 1048576 * kMapUnit));
}

struct RealMap {
  const char* file;
  int version;
  size_t floors, textured, startSpawns, deathmatchSpawns;
  int minX, maxX, minY, maxY;  // units
  // Points in map units: on a low and on a high floor (found with the layout
  // above), and where no floor is near.
  int lowX, lowY, highX, highY, noneX, noneY;
};

const RealMap kRealMaps[] = {
    {"crossfire.bsp", 29, 817, 0, 14, 17, -1152, 1024, -2752, 1664, -912, -608, -384, -1648, -832,
     -2096},
    {"cs_assault.bsp", 30, 577, 0, 10, 10, -2688, 1216, -1088, 3136, -2560, 1728, 1040, 272, -2496,
     -448},
    {"de_dust2.bsp", 30, 867, 43, 20, 20, -2560, 1808, -1152, 3776, -1104, 1376, -1712, 128, -160,
     80},
    {"de_nuke.bsp", 30, 1326, 0, 10, 10, -3352, 3776, -2864, 992, 640, 432, 1952, -2240, -864, 800},
    {"aim_arena.bsp", 30, 234, 0, 9, 10, -8, 1344, -1056, 544, 1040, -320, 64, -192, -100, 0},
};

void PrintTo(const RealMap& m, std::ostream* out) {
  *out << m.file;
}

class RealMaps : public testing::TestWithParam<RealMap> {};

int Brightness(Rgb c) {
  return c.r + c.g + c.b;
}

std::vector<uint8_t> ReadRealMap(const char* file) {
  return ReadWholeFile(std::string(QUENDRIX_MAP_DIR) + "/" + file);
}

TEST_P(RealMaps, FloorsAndPicture) {
  const RealMap& m = GetParam();
  const std::vector<uint8_t> map = ReadRealMap(m.file);
  if (map.empty()) GTEST_SKIP() << "no " << m.file << " in " << QUENDRIX_MAP_DIR;
  MapFloors floors;
  ASSERT_EQ(Read(map, &floors), MapStatus::kRead);
  EXPECT_EQ(floors.version, m.version);
  EXPECT_EQ(floors.faces.size(), m.floors);
  size_t textured = 0;
  for (const FloorFace& face : floors.faces) textured += face.kind == FloorKind::kTextured;
  EXPECT_EQ(textured, m.textured);
  size_t start = 0;
  for (const MapSpawn& spawn : floors.spawns) start += spawn.team == SpawnTeam::kStart;
  EXPECT_EQ(start, m.startSpawns);
  EXPECT_EQ(floors.spawns.size() - start, m.deathmatchSpawns);
  EXPECT_EQ(
      std::tie(floors.minX, floors.maxX, floors.minY, floors.maxY),
      std::make_tuple(m.minX * kMapUnit, m.maxX * kMapUnit, m.minY * kMapUnit, m.maxY * kMapUnit));

  const std::vector<Rgb> picture = DrawMapFloors(floors, kPreviewWidth, kPreviewHeight);
  // Where a point of the map lands: fitted into 245 x 185, centred, north up.
  const double extentX = m.maxX - m.minX, extentY = m.maxY - m.minY;
  const double scale = std::min(245 / extentX, 185 / extentY);
  auto at = [&](int x, int y) {
    const int column = int(4 + (245 - extentX * scale) / 2 + (x - m.minX) * scale);
    const int row = int(4 + (185 - extentY * scale) / 2 + (m.maxY - y) * scale);
    return picture[size_t(std::min(row, kPreviewHeight - 1)) * kPreviewWidth +
                   size_t(std::min(column, kPreviewWidth - 1))];
  };
  const Rgb low = at(m.lowX, m.lowY), high = at(m.highX, m.highY);
  EXPECT_NE(low, kMapBackground);
  EXPECT_NE(high, kMapBackground);
  EXPECT_LT(Brightness(low), Brightness(high));
  EXPECT_EQ(at(m.noneX, m.noneY), kMapBackground);
  EXPECT_EQ(picture.front(), kMapBackground) << "the margin";
  for (const MapPictureFingerprint& reference : kMapPictureFingerprints) {
    if (std::string(reference.file) == m.file) {
      EXPECT_EQ(Fingerprint(picture), reference.fingerprint) << std::hex << Fingerprint(picture);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, RealMaps, testing::ValuesIn(kRealMaps),
                         [](const testing::TestParamInfo<RealMap>& info) {
                           std::string name = info.param.file;
                           return name.substr(0, name.find('.'));
                         });

// A change to a copy of a real map, at an offset inside a lump or the header.
struct Damage {
  const char* what;
  int lump;       // -1: the header
  size_t at;      // from the lump's start, or the file's
  size_t repeat;  // the value at every that many bytes through the lump; 0: once
  uint32_t value;
  MapStatus status;
};

const Damage kDamages[] = {
    {"version 31", -1, 0, 0, 31, MapStatus::kNotAMap},
    {"a lump past the end", -1, 4 + 8 * 7 + 4, 0, 0x7FFFFFF0u, MapStatus::kDamaged},
    {"a lump before the start", -1, 4 + 8 * 3, 0, 0xFFFFFFF0u, MapStatus::kDamaged},
    {"a huge count of textures", 2, 0, 0, 0x7FFFFFFFu, MapStatus::kDamaged},
    {"a texture past its lump", 2, 4, 4, 0x00FFFFFFu, MapStatus::kDamaged},
    {"the world's faces past the lump", 14, 60, 0, 0x7FFFFFFFu, MapStatus::kDamaged},
    {"the world's first face negative", 14, 56, 0, 0x80000000u, MapStatus::kDamaged},
    {"a face naming a plane that does not exist", 7, 0, 0, 0xFFFFu, MapStatus::kDamaged},
    {"a face naming surfedges past the lump", 7, 4, 0, 0x7FFFFFF0u, MapStatus::kDamaged},
    {"a face naming a texture info that does not exist", 7, 8, 0, 0xFFFF0004u, MapStatus::kDamaged},
    {"texture infos naming a texture that does not exist", 6, 32, 40, 0x7FFFFFFFu,
     MapStatus::kDamaged},
    {"surfedges naming an edge that does not exist", 13, 0, 4, 0x7FFFFFFFu, MapStatus::kDamaged},
    {"surfedges of the one edge that cannot be turned", 13, 0, 4, 0x80000000u, MapStatus::kDamaged},
    {"edges naming a vertex that does not exist", 12, 0, 4, 0xFFFFFFFFu, MapStatus::kDamaged},
    {"vertices that are not numbers", 3, 0, 4, 0xFFFFFFFFu, MapStatus::kDamaged},
    {"vertices far outside any map", 3, 0, 4, 0x7F000000u, MapStatus::kDamaged},
};

// The smallest level of every texture embedded in the map moved by that much.
void MoveSmallestLevels(std::vector<uint8_t>& map, uint32_t by) {
  const LumpPlace lump = FindLump(map, 2);
  const uint32_t count = GetLe32(map, lump.offset);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t texture = lump.offset + GetLe32(map, lump.offset + 4 + 4 * i);
    const uint32_t level = GetLe32(map, texture + 36);
    if (level != 0) PutLe32(map, texture + 36, level + by);
  }
}

// Each copy is a buffer of exactly its size, so that the sanitizers catch a
// read past it.
TEST(ReadMapFloors, DamagedCopiesOfRealMapsAreRefused) {
  for (const char* file : {"de_dust2.bsp", "aim_arena.bsp"}) {
    const std::vector<uint8_t> whole = ReadRealMap(file);
    if (whole.empty()) GTEST_SKIP() << "no " << file << " in " << QUENDRIX_MAP_DIR;
    for (const Damage& d : kDamages) {
      std::vector<uint8_t> map = whole;
      const LumpPlace lump =
          d.lump < 0 ? LumpPlace{0, uint32_t(map.size())} : FindLump(map, d.lump);
      if (d.repeat == 0) PutLe32(map, lump.offset + d.at, d.value);
      for (size_t at = d.at; d.repeat > 0 && at + 4 <= lump.length; at += d.repeat) {
        PutLe32(map, lump.offset + at, d.value);
      }
      ASSERT_EQ(map.size(), whole.size()) << d.what;
      MapFloors floors;
      EXPECT_EQ(Read(map, &floors), d.status) << file << ": " << d.what;
      EXPECT_TRUE(floors.faces.empty()) << d.what;
    }
    // Only de_dust2 embeds textures that its floors show.
    std::vector<uint8_t> map = whole;
    MoveSmallestLevels(map, 0x7FFFFFF0u);
    MapFloors floors;
    EXPECT_EQ(Read(map, &floors),
              std::string(file) == "de_dust2.bsp" ? MapStatus::kDamaged : MapStatus::kRead)
        << file << ": the smallest levels past the lump";
    // Cut short anywhere: each lump that no longer fits is noticed.
    for (size_t size : {size_t(0), size_t(100), size_t(124), whole.size() / 2, whole.size() - 1}) {
      MapFloors floors;
      EXPECT_EQ(Read(Cut(whole, size), &floors),
                size < 124 ? MapStatus::kNotAMap : MapStatus::kDamaged)
          << file << " cut to " << size;
    }
  }
}

}  // namespace
