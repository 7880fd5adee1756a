// The map reader on any bytes, and the picture of whatever it reads at a size
// that the input's length picks: neither may read or write outside a buffer,
// and what the reader gives must hold together.
#include <cstdio>
#include <cstdlib>

#include "map/map_floors.h"
#include "map/map_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  MapFloors floors;
  if (ReadMapFloors(bytes, size, &floors) != MapStatus::kRead) return 0;
  for (const FloorFace& face : floors.faces) {
    if (face.pointCount < 3 || face.firstPoint + uint64_t(face.pointCount) > floors.points.size() ||
        face.height < floors.lowest || face.height > floors.highest) {
      fprintf(stderr, "a face outside what the reader gave\n");
      abort();
    }
  }
  const int width = 1 + int(size % 97), height = 1 + int(size / 97 % 61);
  std::vector<Rgb> picture = DrawMapFloors(floors, width, height);
  if (picture.size() != size_t(width) * size_t(height)) abort();
  return 0;
}
