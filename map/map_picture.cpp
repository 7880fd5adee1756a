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

// Which pixels show a face already, a bit each, and which words of bits are
// full, a bit each: a row is at most 4096 = 64 x 64 pixels, so its words'
// bits fit one word. Faces drawn from the highest down then write each pixel
// once, however many lie over each other, and skip the rows already full.
static_assert(kLargestPictureSide <= 64 * 64, "a row's words of bits fit one word");
class Coverage {
 public:
  // The pixels outside the columns and rows that faces can reach count as
  // shown from the start, so that a row whose floors are all drawn is full.
  Coverage(int width, int height, int firstColumn, int endColumn, int firstRow, int endRow)
      : width_(width),
        wordsPerRow_((size_t(width) + 63) / 64),
        bits_(wordsPerRow_ * size_t(height), 0),
        fullWords_(size_t(height), wordsPerRow_ == 64 ? 0 : ~0ull << wordsPerRow_),
        nextOpenRow_(size_t(height) + 1) {
    const int64_t pastRow = int64_t(wordsPerRow_) * 64;
    for (int row = 0; row < height; ++row) {
      Mark(row, width, pastRow);
      if (row < firstRow || row >= endRow || firstColumn >= endColumn) {
        Mark(row, 0, width);
      } else {
        Mark(row, 0, firstColumn);
        Mark(row, endColumn, width);
      }
    }
    for (int row = 0; row <= height; ++row) {
      const bool full = row < height && fullWords_[size_t(row)] == ~0ull;
      nextOpenRow_[size_t(row)] = row + (full ? 1 : 0);
    }
  }

  // The first row at or after row that is not full; the height when none.
  int NextOpenRow(int row) {
    while (nextOpenRow_[size_t(row)] != row) {
      nextOpenRow_[size_t(row)] = nextOpenRow_[size_t(nextOpenRow_[size_t(row)])];
      row = nextOpenRow_[size_t(row)];
    }
    return row;
  }

  // Calls show(first, end) for each stretch of [first, end) of the row that
  // nothing shows yet, and marks it shown.
  template <typename Show>
  void Cover(int row, int first, int end, Show show) {
    for (int column = NextOpen(row, first); column < end;) {
      const int stop = NextShown(row, column, end);
      show(column, stop);
      Mark(row, column, stop);
      column = stop < end ? NextOpen(row, stop) : end;
    }
    if (fullWords_[size_t(row)] == ~0ull) nextOpenRow_[size_t(row)] = row + 1;
  }

 private:
  const uint64_t* Words(int row) const { return &bits_[size_t(row) * wordsPerRow_]; }

  // The first column at or after column that nothing shows; the width when
  // none.
  int NextOpen(int row, int column) const {
    if (column >= width_) return width_;
    size_t word = size_t(column) / 64;
    const uint64_t open = ~Words(row)[word] & (~0ull << (column % 64));
    if (open != 0) return int(word * 64) + __builtin_ctzll(open);
    const uint64_t later = word + 1 < 64 ? ~fullWords_[size_t(row)] & (~0ull << (word + 1)) : 0;
    if (later == 0) return width_;
    word = size_t(__builtin_ctzll(later));
    return int(word * 64) + __builtin_ctzll(~Words(row)[word]);
  }

  // The first column of [column, end) that a face shows; end when none.
  int NextShown(int row, int column, int end) const {
    size_t word = size_t(column) / 64;
    uint64_t shown = Words(row)[word] & (~0ull << (column % 64));
    while (shown == 0) {
      if (int64_t(++word) * 64 >= end) return end;
      shown = Words(row)[word];
    }
    return std::min(end, int(word * 64) + __builtin_ctzll(shown));
  }

  void Mark(int row, int64_t first, int64_t end) {
    uint64_t* words = &bits_[size_t(row) * wordsPerRow_];
    for (int64_t word = first / 64; first < end; ++word) {
      const int64_t from = first - word * 64, to = std::min<int64_t>(end - word * 64, 64);
      const uint64_t mask = (to == 64 ? ~0ull : (1ull << to) - 1) & (~0ull << from);
      words[word] |= mask;
      if (words[word] == ~0ull) fullWords_[size_t(row)] |= 1ull << word;
      first = word * 64 + to;
    }
  }

  int width_;
  size_t wordsPerRow_;
  std::vector<uint64_t> bits_;
  std::vector<uint64_t> fullWords_;
  // Each row points at a row at or after it; an open row at itself.
  std::vector<int32_t> nextOpenRow_;
};

// An edge and where it crosses the centre of a row, stepped from row to row
// without a division: a.x + (centre - a.y) * (b.x - a.x) / (b.y - a.y),
// rounded towards zero. Over the rows an edge crosses, centre - a.y keeps the
// sign of b.y - a.y, so the quotient is the sign of b.x - a.x times
// floor(distance * |b.x - a.x| / |b.y - a.y|), distance = |centre - a.y|
// growing (the edge points down) or shrinking by a row at each step.
struct Edge {
  int32_t firstRow, endRow;  // the rows it crosses
  int32_t row = -2;          // where quotient and remainder are; none yet
  bool down;
  int64_t ax, ay, sign, run, rise;      // run = |b.x - a.x|, rise = |b.y - a.y|
  int64_t quotient = 0, remainder = 0;  // of distance * run / rise
  // What a row's step adds to them, the remainder from 0 to rise - 1.
  int64_t stepQuotient = 0, stepRemainder = 0;

  Edge(const Position& a, const Position& b, int32_t first, int32_t end)
      : firstRow(first),
        endRow(end),
        down(b.y > a.y),
        ax(a.x),
        ay(a.y),
        sign(b.x < a.x ? -1 : 1),
        run(b.x < a.x ? a.x - b.x : b.x - a.x),
        rise(down ? b.y - a.y : a.y - b.y) {}

  // Where the row's centre crosses it, in subpixels.
  int64_t CrossingAt(int32_t at) {
    if (at == row + 1) {
      quotient += stepQuotient;
      remainder += stepRemainder;
      const bool carry = remainder >= rise;
      quotient += carry ? 1 : 0;
      remainder -= carry ? rise : 0;
    } else {
      if (row == -2) {
        stepQuotient = kSubpixels * run / rise;
        stepRemainder = kSubpixels * run % rise;
        if (!down && stepRemainder > 0) {
          stepQuotient = -stepQuotient - 1;
          stepRemainder = rise - stepRemainder;
        } else if (!down) {
          stepQuotient = -stepQuotient;
        }
      }
      const int64_t centre = int64_t(at) * kSubpixels + kSubpixels / 2;
      const int64_t distance = down ? centre - ay : ay - centre;
      quotient = distance * run / rise;
      remainder = distance * run % rise;
    }
    row = at;
    return ax + sign * quotient;
  }
};

// What the scans of the faces need, kept from face to face.
struct Scan {
  std::vector<Position> corners;
  std::vector<Edge> edges;
  std::vector<uint32_t> waiting;   // the edges by their first row
  std::vector<uint32_t> active;    // those crossing the row
  std::vector<int32_t> crossings;  // as the first pixel at or past each
  std::vector<uint8_t> parity;     // a byte a column and one past the last
};

// Where a row crosses more edges than this, the crossings are counted into
// columns instead of being sorted.
constexpr size_t kSortedCrossings = 64;

int64_t Column(int64_t x, int width) {
  return std::clamp<int64_t>(FirstPixelFrom(x), 0, width);
}

// Calls fill(row, first, end) for each run of pixels whose centres lie inside
// the polygon (even-odd rule), clipped to the picture, in the rows that are
// not full yet. Each edge takes the rows it crosses, so a row costs the
// edges crossing it, not all of the polygon's.
template <typename Fill>
void ScanPolygon(Scan& scan, int width, int height, Coverage& coverage, Fill fill) {
  const std::vector<Position>& corners = scan.corners;
  scan.edges.clear();
  scan.waiting.clear();
  int32_t endRow = 0;
  for (size_t i = 0; i < corners.size(); ++i) {
    const Position& a = corners[i];
    const Position& b = corners[i + 1 < corners.size() ? i + 1 : 0];
    // Each edge holds its upper end and not its lower one, so a corner on a
    // row's centre is crossed once; a level edge is never crossed.
    const int64_t first = std::max<int64_t>(0, FirstPixelFrom(std::min(a.y, b.y)));
    const int64_t end = std::min<int64_t>(height, FirstPixelFrom(std::max(a.y, b.y)));
    if (first >= end) continue;
    scan.waiting.push_back(uint32_t(scan.edges.size()));
    scan.edges.emplace_back(a, b, int32_t(first), int32_t(end));
    endRow = std::max(endRow, int32_t(end));
  }
  if (scan.edges.empty()) return;
  std::sort(scan.waiting.begin(), scan.waiting.end(), [&](uint32_t x, uint32_t y) {
    return scan.edges[x].firstRow < scan.edges[y].firstRow;
  });
  scan.active.clear();
  size_t next = 0;
  for (int row = coverage.NextOpenRow(scan.edges[scan.waiting[0]].firstRow); row < endRow;
       row = coverage.NextOpenRow(row + 1)) {
    for (; next < scan.waiting.size() && scan.edges[scan.waiting[next]].firstRow <= row; ++next) {
      scan.active.push_back(scan.waiting[next]);
    }
    // Most rows cross two edges, all of a convex face's do: run them while
    // no edge ends or begins.
    if (scan.active.size() == 2) {
      Edge& a = scan.edges[scan.active[0]];
      Edge& b = scan.edges[scan.active[1]];
      int32_t stop = std::min(a.endRow, b.endRow);
      if (next < scan.waiting.size()) {
        stop = std::min(stop, scan.edges[scan.waiting[next]].firstRow);
      }
      if (row < stop) {
        for (;;) {
          int32_t first = int32_t(Column(a.CrossingAt(row), width));
          int32_t end = int32_t(Column(b.CrossingAt(row), width));
          if (first > end) std::swap(first, end);
          if (first < end) fill(row, first, end);
          const int following = coverage.NextOpenRow(row + 1);
          if (following >= stop) break;
          row = following;
        }
        continue;
      }
    }
    scan.crossings.clear();
    for (size_t i = 0; i < scan.active.size();) {
      Edge& e = scan.edges[scan.active[i]];
      if (e.endRow <= row) {
        scan.active[i] = scan.active.back();
        scan.active.pop_back();
        continue;
      }
      scan.crossings.push_back(int32_t(Column(e.CrossingAt(row), width)));
      ++i;
    }
    // Between its first and second crossings a row is inside, between its
    // second and third outside, and so on.
    if (scan.crossings.size() <= kSortedCrossings) {
      std::sort(scan.crossings.begin(), scan.crossings.end());
      for (size_t i = 0; i + 1 < scan.crossings.size(); i += 2) {
        if (scan.crossings[i] < scan.crossings[i + 1]) {
          fill(row, scan.crossings[i], scan.crossings[i + 1]);
        }
      }
      continue;
    }
    if (scan.parity.empty()) scan.parity.resize(size_t(width) + 1, 0);
    int32_t first = width, last = 0;
    for (int32_t column : scan.crossings) {
      scan.parity[size_t(column)] ^= 1;
      first = std::min(first, column);
      last = std::max(last, column);
    }
    bool inside = false;
    int32_t runStart = 0;
    for (int32_t column = first; column <= last; ++column) {
      if (scan.parity[size_t(column)] == 0) continue;
      scan.parity[size_t(column)] = 0;
      inside = !inside;
      if (inside) {
        runStart = column;
      } else {
        fill(row, runStart, column);
      }
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

  // Drawn from the top: the highest faces first, the map's last first among
  // equals, each pixel showing the first face that covers it, which is the
  // one that would be drawn last over the others.
  std::vector<uint64_t> order(floors.faces.size());
  for (uint32_t i = 0; i < order.size(); ++i) {
    // The sign bit turned over, so that heights keep their order unsigned.
    const uint32_t height = uint32_t(floors.faces[i].height) ^ 0x80000000u;
    order[i] = uint64_t(height) << 32 | i;
  }
  // A merge sort: std::sort fell back to its heap sort, slower by half, on
  // thousands of floors at one height with a lower one after them.
  std::stable_sort(order.begin(), order.end());

  // Which face each pixel shows, -1 for none.
  std::vector<int32_t> shown(pixels.size(), -1);
  // Where the floors' extent lies: no face reaches past it.
  const Position topLeft = fit.Place({floors.minX, floors.maxY, 0});
  const Position bottomRight = fit.Place({floors.maxX, floors.minY, 0});
  auto within = [](int64_t pixel, int side) { return int(std::clamp<int64_t>(pixel, 0, side)); };
  Coverage coverage(width, height, within(FirstPixelFrom(topLeft.x), width),
                    within(FirstPixelFrom(bottomRight.x), width),
                    within(FirstPixelFrom(topLeft.y), height),
                    within(FirstPixelFrom(bottomRight.y), height));
  Scan scan;
  for (auto key = order.rbegin(); key != order.rend(); ++key) {
    const uint32_t index = uint32_t(*key);
    const FloorFace& face = floors.faces[index];
    const MapPoint* points = &floors.points[face.firstPoint];
    // A face that reaches no open row, or lies between two columns' centres
    // (every crossing lies between its corners), shows nothing: a face
    // hidden under those drawn costs no more than this.
    MapPoint low = points[0], high = points[0];
    for (uint32_t i = 1; i < face.pointCount; ++i) {
      low = {std::min(low.x, points[i].x), std::min(low.y, points[i].y), 0};
      high = {std::max(high.x, points[i].x), std::max(high.y, points[i].y), 0};
    }
    const Position faceTopLeft = fit.Place({low.x, high.y, 0});
    const Position faceBottomRight = fit.Place({high.x, low.y, 0});
    if (Column(faceTopLeft.x, width) == Column(faceBottomRight.x, width) ||
        coverage.NextOpenRow(within(FirstPixelFrom(faceTopLeft.y), height)) >=
            within(FirstPixelFrom(faceBottomRight.y), height)) {
      continue;
    }
    scan.corners.clear();
    for (uint32_t i = 0; i < face.pointCount; ++i) scan.corners.push_back(fit.Place(points[i]));
    ScanPolygon(scan, width, height, coverage, [&](int row, int first, int end) {
      int32_t* line = &shown[size_t(row) * size_t(width)];
      coverage.Cover(row, first, end,
                     [&](int from, int to) { std::fill(line + from, line + to, int32_t(index)); });
    });
  }

  const int64_t range = int64_t(floors.highest) - floors.lowest;
  std::vector<Rgb> lit(floors.faces.size());
  for (size_t f = 0; f < lit.size(); ++f) {
    const FloorFace& face = floors.faces[f];
    const int64_t height256 =
        range == 0 ? 256 : (face.height - int64_t(floors.lowest)) * 256 / range;
    lit[f] = Lit(FaceColour(face), height256);
  }
  auto heightAt = [&](size_t i) { return floors.faces[size_t(shown[i])].height; };
  for (size_t i = 0; i < pixels.size(); ++i) {
    if (shown[i] < 0) continue;
    const FloorFace& face = floors.faces[size_t(shown[i])];
    const Rgb colour = lit[size_t(shown[i])];
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
