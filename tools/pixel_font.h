// The project's own small pixel font, for the labels and titles of the skin:
// proportional, capitals 7 pixels high, 2 more rows below for descenders.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kFontHeight = 9;
constexpr int kFontBaselineRow = 6;  // lowest row of letters without descenders

struct TextMask {
  int width = 0;
  int height = kFontHeight;
  std::vector<uint8_t> bits;  // one byte a pixel, rows top first; 1 where ink
  bool Ink(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height && bits[y * width + x] != 0;
  }
};

// One pixel between glyphs; a character the font lacks shows as a hollow box.
TextMask RenderText(const char* text);
