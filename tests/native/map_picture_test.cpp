// Exact pictures of maps of the project's own writer: where the floors land,
// which is drawn over which, and in what colour.
#include <gtest/gtest.h>

#include <vector>

#include "map/map_floors.h"
#include "map/map_picture.h"
#include "tools/map_writer.h"

namespace {

std::vector<Rgb> Draw(const MapRecipe& recipe, int width, int height) {
  std::vector<uint8_t> map = WriteMap(recipe);
  MapFloors floors;
  EXPECT_EQ(ReadMapFloors(map.data(), map.size(), &floors), MapStatus::kRead);
  return DrawMapFloors(floors, width, height);
}

struct Fitting {
  float left, bottom, width, height;  // the one floor, in units
  int pictureWidth, pictureHeight;
  int firstColumn, lastColumn, firstRow, lastRow;  // the pixels it covers
};

const Fitting kFittings[] = {
    {0, 0, 245, 185, 253, 193, 4, 248, 4, 188},         // a unit a pixel
    {-1000, 500, 490, 185, 253, 193, 4, 248, 50, 142},  // wide: centred top to bottom
    {0, 0, 100, 300, 100, 100, 35, 64, 4, 95},          // tall: centred left to right
    {0.5f, 0.5f, 7, 5, 30, 20, 7, 22, 4, 15},           // small: scaled up
};

TEST(DrawMapFloors, FittedCentredAspectKept) {
  for (const Fitting& f : kFittings) {
    MapRecipe recipe;
    recipe.faces = {FloorRectangle(f.left, f.bottom, f.left + f.width, f.bottom + f.height, 0)};
    const std::vector<Rgb> picture = Draw(recipe, f.pictureWidth, f.pictureHeight);
    ASSERT_EQ(picture.size(), size_t(f.pictureWidth * f.pictureHeight));
    for (int row = 0; row < f.pictureHeight; ++row) {
      for (int column = 0; column < f.pictureWidth; ++column) {
        const bool inside = column >= f.firstColumn && column <= f.lastColumn &&
                            row >= f.firstRow && row <= f.lastRow;
        // One floor is the highest: its colour unshaded.
        ASSERT_EQ(picture[size_t(row * f.pictureWidth + column)],
                  inside ? kGroundColour : kMapBackground)
            << f.width << " x " << f.height << " at " << column << "," << row;
      }
    }
  }
}

// A unit a pixel: the point x, y lands on column 4 + x and row 188 - y.
TEST(DrawMapFloors, HigherOverLowerLighterWithOutlinedSteps) {
  MapRecipe recipe;
  recipe.textures = {
      {"ground"}, {"rock", true, {200, 100, 40}, {100, 60, 20}}, {"!slime"}, {"sky"}};
  MapFaceRecipe backFloor = FloorRectangle(180, 100, 220, 140, 64);
  backFloor.back = true;
  recipe.faces = {FloorRectangle(20, 20, 60, 50, 64, 1),
                  FloorRectangle(0, 0, 245, 185, 0),
                  FloorRectangle(100, 100, 140, 140, 64, 2),
                  FloorRectangle(150, 20, 200, 60, 128, 3),
                  backFloor,
                  FloorRectangle(0, 0, 245, 185, 128)};
  recipe.worldFaces = 5;
  recipe.entities =
      "{ \"classname\" \"info_player_start\" \"origin\" \"200 170 8\" }"
      "{ \"classname\" \"info_player_deathmatch\" \"origin\" \"244.9 0 8\" }";
  const std::vector<Rgb> picture = Draw(recipe, kPreviewWidth, kPreviewHeight);
  auto at = [&](int column, int row) { return picture[size_t(row * kPreviewWidth + column)]; };

  const Rgb low = at(14, 100);
  EXPECT_LT(low.r, kGroundColour.r);
  EXPECT_LT(low.g, kGroundColour.g);
  EXPECT_LT(low.b, kGroundColour.b);
  EXPECT_GT(low.r + low.g + low.b, 0);
  const struct {
    const char* what;
    int firstColumn, lastColumn, firstRow, lastRow;
    Rgb colour;
  } areas[] = {
      {"the textured floor, drawn first, over the lower", 24, 63, 139, 168, {150, 80, 30}},
      {"water", 104, 143, 49, 88, kWaterColour},
      {"a floor on the back of its plane", 184, 223, 49, 88, kGroundColour},
      {"the low floor under the sky", 154, 203, 129, 168, low},
      {"the low floor's lower left", 4, 20, 172, 188, low},
      {"the margin", 0, 3, 0, 192, kMapBackground},
      {"a counter-terrorists' spawn", 203, 205, 18, 20, kStartSpawnColour},
      {"a terrorists' spawn on the floor's corner", 247, 249, 188, 190, kDeathmatchSpawnColour},
  };
  for (const auto& area : areas) {
    for (int row = area.firstRow; row <= area.lastRow; ++row) {
      for (int column = area.firstColumn; column <= area.lastColumn; ++column) {
        ASSERT_EQ(at(column, row), area.colour) << area.what << " at " << column << "," << row;
      }
    }
  }
  // Around a raised floor the low one is darker, most of all on the side
  // away from the light in the north west.
  const Rgb lit = at(23, 150), shaded = at(64, 150);
  EXPECT_LT(lit.r, low.r);
  EXPECT_LT(shaded.r, lit.r);
  EXPECT_EQ(at(40, 138), lit) << "north";
  EXPECT_EQ(at(40, 169), shaded) << "south";
}

// Maps of many faces that show as a few, at a unit a pixel where two corner
// floors set the extent: pixels' centres lie at half units.
MapRecipe WithCorners(const std::vector<MapFaceRecipe>& faces) {
  MapRecipe recipe;
  recipe.textures = {{"ground"}, {"!water"}};
  recipe.faces = {FloorRectangle(0, 0, 1, 1, 0), FloorRectangle(244, 184, 245, 185, 0)};
  recipe.faces.insert(recipe.faces.end(), faces.begin(), faces.end());
  return recipe;
}

// 10,000 floors over each other: the highest in their middle; or all as high
// as each other, where the map's last, water, is drawn over the rest.
MapRecipe Stacked(bool oneHeight) {
  std::vector<MapFaceRecipe> faces;
  for (int i = 0; i < 10000; ++i) {
    const float z = oneHeight ? 0 : i == 5000 ? 99 : float(i % 99);
    faces.push_back(FloorRectangle(0, 0, 245, 185, z, oneHeight && i == 9999 ? 1 : 0));
  }
  return WithCorners(faces);
}

// Water as high as the floor under it, drawn over it wherever it reached a
// pixel's centre: points, lines along the rows and through the centres,
// thin slivers and small squares between the centres; or 16,000 pieces of
// the floor, each around a centre.
MapRecipe InPieces(bool water) {
  static const MapVertex kShapes[][3] = {
      {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
      {{0, 0.5f, 0}, {9, 0.5f, 0}, {4, 0.5f, 0}},
      {{0.5f, 0, 0}, {0.5f, 9, 0}, {0.5f, 4, 0}},
      {{0.1f, 0, 0}, {0.4f, 60, 0}, {0.2f, 60, 0}},
  };
  std::vector<MapFaceRecipe> faces;
  if (water) faces.push_back(FloorRectangle(20, 20, 180, 120, 0));
  for (int i = 0; i < (water ? 12000 : 16000); ++i) {
    const float x = float(20 + i % 160), y = float(20 + i / 160);
    if (!water) {
      faces.push_back(FloorRectangle(x + 0.25f, y + 0.25f, x + 0.75f, y + 0.75f, 0));
      continue;
    }
    faces.emplace_back().texture = 1;
    for (const MapVertex& p : kShapes[i % 4]) faces.back().points.push_back({x + p.x, y + p.y, 0});
    if (i % 4 == 0) faces.push_back(FloorRectangle(x + 0.0625f, y, x + 0.375f, y + 0.375f, 0, 1));
  }
  return WithCorners(faces);
}

// A comb of 100 teeth, in one face whose rows cross 200 edges or in parts.
MapRecipe Comb(bool oneFace) {
  std::vector<MapFaceRecipe> faces = {FloorRectangle(20.25f, 20.25f, 219.25f, 40.25f, 0)};
  MapFaceRecipe& comb = faces[0];
  if (oneFace) comb.points = {{20.25f, 20.25f, 0}};
  for (int tooth = 0; tooth < 100; ++tooth) {
    const float x = 20.25f + 2 * tooth;
    if (!oneFace) faces.push_back(FloorRectangle(x, 40.25f, x + 1, 150.75f, 0));
    if (oneFace) {
      comb.points.insert(
          comb.points.end(),
          {{x, 150.75f, 0}, {x + 1, 150.75f, 0}, {x + 1, 40.25f, 0}, {x + 2, 40.25f, 0}});
    }
  }
  if (oneFace) comb.points.back() = {219.25f, 20.25f, 0};
  return WithCorners(faces);
}

const struct {
  const char* what;
  MapRecipe (*crafted)();
  MapRecipe (*plain)();
  int width, height;
} kSamePictures[] = {
    {"10,000 floors over each other", [] { return Stacked(false); },
     [] { return WithCorners({FloorRectangle(0, 0, 245, 185, 99)}); }, 253, 193},
    {"the same at the largest size", [] { return Stacked(false); },
     [] { return WithCorners({FloorRectangle(0, 0, 245, 185, 99)}); }, 4096, 4096},
    {"10,000 floors at one height", [] { return Stacked(true); },
     [] { return WithCorners({FloorRectangle(0, 0, 245, 185, 0, 1)}); }, 253, 193},
    {"16,000 pieces of a floor", [] { return InPieces(false); },
     [] { return WithCorners({FloorRectangle(20, 20, 180, 120, 0)}); }, 253, 193},
    {"15,000 water faces reaching no pixel's centre", [] { return InPieces(true); },
     [] { return WithCorners({FloorRectangle(20, 20, 180, 120, 0)}); }, 253, 193},
    {"a face whose rows cross 200 edges", [] { return Comb(true); }, [] { return Comb(false); },
     253, 193},
};

TEST(DrawMapFloors, ManyFacesShowAsTheFewThatReachPixels) {
  for (const auto& same : kSamePictures) {
    const std::vector<Rgb> crafted = Draw(same.crafted(), same.width, same.height);
    const std::vector<Rgb> plain = Draw(same.plain(), same.width, same.height);
    ASSERT_EQ(crafted.size(), plain.size()) << same.what;
    size_t differing = 0;
    for (size_t i = 0; i < crafted.size(); ++i) differing += crafted[i] != plain[i];
    EXPECT_EQ(differing, 0u) << same.what;
  }
}

// Slanted faces, and the same under floors as high that hide every other
// row (drawn over them, being later in the map): the rows between show the
// faces as they were, whether a face's rows are scanned one after another or
// some are passed over.
TEST(DrawMapFloors, RowsHiddenLeaveTheOthersAsTheyWere) {
  std::vector<MapFaceRecipe> slanted;
  for (int i = 0; i < 40; ++i) {
    const float x = 10 + 5.3f * i;
    slanted.push_back({{{x, 5, 0}, {x + 0.37f * i - 7, 180, 0}, {x + 3.1f, 95.3f + i, 0}}});
  }
  std::vector<MapFaceRecipe> hidden = slanted;
  for (int y = 0; y < 185; y += 2) {
    hidden.push_back(FloorRectangle(0, y + 0.25f, 245, y + 0.75f, 0));
  }
  const std::vector<Rgb> plain = Draw(WithCorners(slanted), kPreviewWidth, kPreviewHeight);
  const std::vector<Rgb> passed = Draw(WithCorners(hidden), kPreviewWidth, kPreviewHeight);
  // Centres lie at half units: y + 0.5 on row 188 - y.
  for (int row = 5; row < 188; row += 2) {
    for (int column = 0; column < kPreviewWidth; ++column) {
      const size_t at = size_t(row * kPreviewWidth + column);
      ASSERT_EQ(passed[at], plain[at]) << column << "," << row;
    }
  }
}

}  // namespace
