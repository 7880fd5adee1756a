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

}  // namespace
