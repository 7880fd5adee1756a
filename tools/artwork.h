// The program's artwork, drawn by the project's own code so that it can be
// changed and made again: the main window's skin and the window icon.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kSkinWidth = 470;
constexpr int kSkinHeight = 426;

// The skin as a BMP file: 8 bits a pixel, a 256-colour palette, bottom-up.
std::vector<uint8_t> MakeSkinBitmap();

// The icon as an .ico file: 16 x 16 in 16 colours, then 32 x 32 in 256 colours.
std::vector<uint8_t> MakeIcon();
