#include "common/bitmap_writer.h"

#include <cstring>

namespace {

void Put16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// BITMAPFILEHEADER and BITMAPINFOHEADER.
std::vector<uint8_t> Headers(int width, int height, int bitsPerPixel, uint32_t paletteColours,
                             uint32_t rowBytes) {
  const uint32_t headersSize = 14 + 40 + 4 * paletteColours;
  const uint32_t imageSize = rowBytes * static_cast<uint32_t>(height);
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, headersSize + imageSize);
  Put32(out, 0);
  Put32(out, headersSize);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(width));
  Put32(out, static_cast<uint32_t>(height));  // positive: bottom-up
  Put16(out, 1);
  Put16(out, static_cast<uint16_t>(bitsPerPixel));
  Put32(out, 0);  // BI_RGB
  Put32(out, imageSize);
  Put32(out, 3780);  // 96 dots per inch
  Put32(out, 3780);
  Put32(out, paletteColours);
  Put32(out, 0);
  return out;
}

uint32_t RowBytes(int width, int bitsPerPixel) {
  return ((static_cast<uint32_t>(width) * bitsPerPixel + 31) / 32) * 4;
}

uint32_t Hash(const char* text) {
  uint32_t hash = 2166136261u;
  for (; *text; ++text) hash = (hash ^ static_cast<uint8_t>(*text)) * 16777619u;
  return hash;
}

Rgb Shade(Rgb colour, int delta) {
  auto clamp = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
  return {clamp(colour.r + delta), clamp(colour.g + delta), clamp(colour.b + delta)};
}

}  // namespace

std::vector<uint8_t> EncodeBitmap24(int width, int height, const std::vector<Rgb>& pixels) {
  const uint32_t rowBytes = RowBytes(width, 24);
  std::vector<uint8_t> out = Headers(width, height, 24, 0, rowBytes);
  for (int y = height - 1; y >= 0; --y) {
    size_t rowStart = out.size();
    for (int x = 0; x < width; ++x) {
      const Rgb& p = pixels[static_cast<size_t>(y) * width + x];
      out.push_back(p.b);
      out.push_back(p.g);
      out.push_back(p.r);
    }
    out.resize(rowStart + rowBytes, 0);
  }
  return out;
}

std::vector<uint8_t> EncodeBitmap8(int width, int height, const std::vector<Rgb>& palette,
                                   const std::vector<uint8_t>& indices) {
  const uint32_t rowBytes = RowBytes(width, 8);
  std::vector<uint8_t> out =
      Headers(width, height, 8, static_cast<uint32_t>(palette.size()), rowBytes);
  for (const Rgb& colour : palette) {
    out.push_back(colour.b);
    out.push_back(colour.g);
    out.push_back(colour.r);
    out.push_back(0);
  }
  for (int y = height - 1; y >= 0; --y) {
    size_t rowStart = out.size();
    const uint8_t* row = indices.data() + static_cast<size_t>(y) * width;
    out.insert(out.end(), row, row + width);
    out.resize(rowStart + rowBytes, 0);
  }
  return out;
}

std::vector<Rgb> DrawMapPreview(const char* mapName, int width, int height) {
  const uint32_t hash = Hash(mapName);
  const Rgb floor = {static_cast<uint8_t>(150 + hash % 40),
                     static_cast<uint8_t>(130 + (hash >> 8) % 30),
                     static_cast<uint8_t>(90 + (hash >> 16) % 30)};
  const Rgb wall = {70, 62, 52};
  const Rgb crate = {120, 84, 40};
  std::vector<Rgb> pixels(static_cast<size_t>(width) * height, wall);
  // Clipped to the picture: on small pictures the rooms reach past its edges.
  auto fill = [&](int left, int top, int right, int bottom, Rgb colour) {
    for (int y = top < 0 ? 0 : top; y < bottom && y < height; ++y)
      for (int x = left < 0 ? 0 : left; x < right && x < width; ++x)
        pixels[static_cast<size_t>(y) * width + x] = colour;
  };
  // Rooms joined by corridors, placed on a grid chosen by the name.
  const int cellW = width / 4, cellH = height / 3;
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 4; ++col) {
      uint32_t cell = hash >> ((row * 4 + col) % 24);
      int left = col * cellW + 6 + static_cast<int>(cell % 6);
      int top = row * cellH + 6 + static_cast<int>((cell >> 3) % 6);
      fill(left, top, (col + 1) * cellW - 6, (row + 1) * cellH - 6, floor);
      if (col < 3)
        fill((col + 1) * cellW - 8, row * cellH + cellH / 2 - 5, (col + 1) * cellW + 10,
             row * cellH + cellH / 2 + 5, Shade(floor, -12));
      if (row < 2)
        fill(col * cellW + cellW / 2 - 5, (row + 1) * cellH - 8, col * cellW + cellW / 2 + 5,
             (row + 1) * cellH + 10, Shade(floor, -12));
      if (cell % 3 == 0) fill(left + 8, top + 8, left + 18, top + 18, crate);
    }
  }
  // A light grain over the floor, so it does not look flat.
  for (size_t i = 0; i < pixels.size(); ++i) {
    uint32_t grain = static_cast<uint32_t>(i) * 2654435761u;
    pixels[i] = Shade(pixels[i], static_cast<int>(grain >> 29) - 4);
  }
  // North marker in the top left corner.
  fill(4, 4, 7, 16, {230, 230, 230});
  fill(2, 4, 9, 6, {230, 230, 230});
  return pixels;
}
