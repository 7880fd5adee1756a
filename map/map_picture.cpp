#include "map/map_picture.h"

#include <algorithm>
#include <cstdint>

namespace {

// Pixel positions in 256ths of a pixel; a pixel is covered when its centre is.
constexpr int64_t kSubpixels = 256;

struct Position {
  int64_t x, y;
};

// Map sixteenths to picture subpixels: one scale for both axes, the exact
// ratio scaleNumerator / scaleDenominator.
struct Fit {
  int64_t scaleNumerator, scaleDenominator;
  int64_t left, top;
  int32_t minX, maxY;
  Position Place(const MapPoint& p) const {
    return {left + (p.x - minX) * scaleNumerator * kSubpixels / scaleDenominator,
            top + (int64_t(maxY) - p.y) * scaleNumerator * kSubpixels / scaleDenominator};
  }
};

Fit FitFloors(const MapFloors& floors, int width, int height) {
  const int64_t roomX = std::max(1, width - 2 * kPictureMargin);
  const int64_t roomY = std::max(1, height - 2 * kPictureMargin);
  // A floor without extent along an axis counts as one unit wide there.
  const int64_t extentX = std::max<int64_t>(int64_t(floors.maxX) - floors.minX, kMapUnit);
  const int64_t extentY = std::max<int64_t>(int64_t(floors.maxY) - floors.minY, kMapUnit);
  Fit fit;
  // The axis that leaves less room a unit decides the scale.
  if (roomX * extentY <= roomY * extentX) {
    fit.scaleNumerator = roomX;
    fit.scaleDenominator = extentX;
  } else {
    fit.scaleNumerator = roomY;
    fit.scaleDenominator = extentY;
  }
  const int64_t drawnX = extentX * fit.scaleNumerator * kSubpixels / fit.scaleDenominator;
  const int64_t drawnY = extentY * fit.scaleNumerator * kSubpixels / fit.scaleDenominator;
  fit.left = kPictureMargin * kSubpixels + (roomX * kSubpixels - drawnX) / 2;
  fit.top = kPictureMargin * kSubpixels + (roomY * kSubpixels - drawnY) / 2;
  fit.minX = floors.minX;
  fit.maxY = floors.maxY;
  return fit;
}

int64_t FloorDivide(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// The first pixel whose centre lies at or beyond the subpixel position.
int64_t FirstPixelFrom(int64_t position) {
  return FloorDivide(position - kSubpixels / 2 + kSubpixels - 1, kSubpixels);
}

// Calls fill(row, first, end) for each run of pixels whose centres lie inside
// the polygon (even-odd rule), clipped to the picture.
template <typename Fill>
void ScanPolygon(const Position* corners, size_t count, int width, int height,
                 std::vector<int64_t>& crossings, Fill fill) {
  int64_t top = corners[0].y, bottom = corners[0].y;
  for (size_t i = 1; i < count; ++i) {
    top = std::min(top, corners[i].y);
    bottom = std::max(bottom, corners[i].y);
  }
  const int64_t firstRow = std::max<int64_t>(0, FirstPixelFrom(top));
  const int64_t endRow = std::min<int64_t>(height, FirstPixelFrom(bottom));
  for (int64_t row = firstRow; row < endRow; ++row) {
    const int64_t centre = row * kSubpixels + kSubpixels / 2;
    crossings.clear();
    for (size_t i = 0; i < count; ++i) {
      const Position& a = corners[i];
      const Position& b = corners[i + 1 < count ? i + 1 : 0];
      // Each edge holds its upper end and not its lower one, so a corner on
      // the row is crossed once.
      if ((a.y <= centre) == (b.y <= centre)) continue;
      crossings.push_back(a.x + (centre - a.y) * (b.x - a.x) / (b.y - a.y));
    }
    std::sort(crossings.begin(), crossings.end());
    for (size_t i = 0; i + 1 < crossings.size(); i += 2) {
      const int64_t first = std::max<int64_t>(0, FirstPixelFrom(crossings[i]));
      const int64_t end = std::min<int64_t>(width, FirstPixelFrom(crossings[i + 1]));
      if (first < end) fill(int(row), int(first), int(end));
    }
  }
}

// Steps higher than a player climbs are outlined.
constexpr int32_t kStep = 24 * kMapUnit;

uint8_t Channel(int64_t value) {
  return uint8_t(std::clamp<int64_t>(value, 0, 255));
}

// Lower floors darker, the highest at the colour itself: 0 is the lowest
// height, 256 the highest.
Rgb Lit(Rgb colour, int64_t height256) {
  const int64_t light = 110 + 146 * height256 / 256;
  return {Channel(colour.r * light / 256), Channel(colour.g * light / 256),
          Channel(colour.b * light / 256)};
}

Rgb FaceColour(const FloorFace& face) {
  switch (face.kind) {
    case FloorKind::kTextured: return face.colour;
    case FloorKind::kWater: return kWaterColour;
    case FloorKind::kGround: break;
  }
  return kGroundColour;
}

}  // namespace

std::vector<Rgb> DrawMapFloors(const MapFloors& floors, int width, int height) {
  if (width < 1 || height < 1 || width > kLargestPictureSide || height > kLargestPictureSide) {
    return {};
  }
  std::vector<Rgb> pixels(size_t(width) * size_t(height), kMapBackground);
  if (floors.faces.empty()) return pixels;
  const Fit fit = FitFloors(floors, width, height);

  // The painter's order: lower faces first, the map's order among equals.
  std::vector<uint32_t> order(floors.faces.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    return floors.faces[a].height < floors.faces[b].height;
  });

  // Which face each pixel shows, -1 for none.
  std::vector<int32_t> shown(pixels.size(), -1);
  std::vector<Position> corners;
  std::vector<int64_t> crossings;
  for (uint32_t index : order) {
    const FloorFace& face = floors.faces[index];
    corners.clear();
    for (uint32_t i = 0; i < face.pointCount; ++i) {
      corners.push_back(fit.Place(floors.points[face.firstPoint + i]));
    }
    ScanPolygon(corners.data(), corners.size(), width, height, crossings,
                [&](int row, int first, int end) {
                  std::fill(shown.begin() + int64_t(row) * width + first,
                            shown.begin() + int64_t(row) * width + end, int32_t(index));
                });
  }

  const int64_t range = int64_t(floors.highest) - floors.lowest;
  auto heightAt = [&](size_t i) { return floors.faces[size_t(shown[i])].height; };
  for (size_t i = 0; i < pixels.size(); ++i) {
    if (shown[i] < 0) continue;
    const FloorFace& face = floors.faces[size_t(shown[i])];
    const int64_t height256 =
        range == 0 ? 256 : (face.height - int64_t(floors.lowest)) * 256 / range;
    Rgb colour = Lit(FaceColour(face), height256);
    // The foot of a step: darker, the more so where the light from the north
    // west falls on the step.
    const size_t x = i % size_t(width), y = i / size_t(width);
    int shade = 256;
    auto higher = [&](size_t j) { return shown[j] >= 0 && heightAt(j) - face.height > kStep; };
    if ((x > 0 && higher(i - 1)) || (y > 0 && higher(i - size_t(width)))) {
      shade = 150;
    } else if ((x + 1 < size_t(width) && higher(i + 1)) ||
               (y + 1 < size_t(height) && higher(i + size_t(width)))) {
      shade = 200;
    }
    pixels[i] = {Channel(colour.r * shade / 256), Channel(colour.g * shade / 256),
                 Channel(colour.b * shade / 256)};
  }

  for (const MapSpawn& spawn : floors.spawns) {
    const Position at = fit.Place(spawn.origin);
    const int64_t column = FloorDivide(at.x, kSubpixels), row = FloorDivide(at.y, kSubpixels);
    const Rgb colour = spawn.team == SpawnTeam::kStart ? kStartSpawnColour : kDeathmatchSpawnColour;
    for (int64_t y = std::max<int64_t>(0, row - 1); y <= std::min<int64_t>(height - 1, row + 1);
         ++y) {
      for (int64_t x = std::max<int64_t>(0, column - 1);
           x <= std::min<int64_t>(width - 1, column + 1); ++x) {
        pixels[size_t(y) * size_t(width) + size_t(x)] = colour;
      }
    }
  }
  return pixels;
}
