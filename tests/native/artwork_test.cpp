// The skin and the icon come from the project's own generator and are
// committed. The dialog's controls are placed over the skin's boxes and
// panels, so the places and colours that the window relies on are checked
// here, and the committed files must be what the generator draws now.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include "tools/artwork.h"

namespace {

constexpr uint32_t Colour(int r, int g, int b) {
  return (r << 16) | (g << 8) | b;
}

const uint32_t kWeave[] = {Colour(28, 28, 28), Colour(46, 46, 46), Colour(68, 68, 68)};
const uint32_t kPanel = Colour(68, 68, 68);
const uint32_t kFieldBox = Colour(77, 75, 75);
const uint32_t kLightGrey = Colour(188, 188, 188);

struct Rect {
  int left, top, right, bottom;  // both ends included
};

uint32_t Le(const std::vector<uint8_t>& bytes, size_t offset, int size) {
  uint32_t value = 0;
  for (int i = 0; i < size; ++i) value |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
  return value;
}

const std::vector<uint8_t>& Skin() {
  static const std::vector<uint8_t> skin = MakeSkinBitmap();
  return skin;
}

uint32_t PixelAt(int x, int y) {
  const std::vector<uint8_t>& bmp = Skin();
  const size_t rowBytes = (kSkinWidth + 3) / 4 * 4;
  const uint8_t index = bmp[Le(bmp, 10, 4) + (kSkinHeight - 1 - y) * rowBytes + x];
  const uint8_t* bgr = &bmp[54 + 4 * index];
  return Colour(bgr[2], bgr[1], bgr[0]);
}

uint32_t WeaveAt(int x, int y) {
  return PixelAt(x % 8, y % 8);
}

std::vector<uint8_t> ReadSourceFile(const char* relativePath) {
  std::ifstream file(std::string(QUENDRIX_SOURCE_DIR) + "/" + relativePath, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(Skin, IsAnUncompressedBottomUpPictureWithAFullPalette) {
  const std::vector<uint8_t>& bmp = Skin();
  const size_t rowBytes = (kSkinWidth + 3) / 4 * 4;
  ASSERT_EQ(bmp.size(), 14u + 40 + 256 * 4 + rowBytes * kSkinHeight);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(Le(bmp, 2, 4), bmp.size());
  EXPECT_EQ(Le(bmp, 10, 4), 14u + 40 + 256 * 4) << "pixels right after the palette";
  EXPECT_EQ(Le(bmp, 14, 4), 40u);
  EXPECT_EQ(Le(bmp, 18, 4), 470u);
  EXPECT_EQ(Le(bmp, 22, 4), 426u) << "a positive height: bottom-up";
  EXPECT_EQ(Le(bmp, 28, 2), 8u);
  EXPECT_EQ(Le(bmp, 30, 4), 0u) << "BI_RGB";
  EXPECT_EQ(Le(bmp, 46, 4), 256u);
}

TEST(Skin, PanelsBoxesAndFrameLinesHaveTheirColours) {
  const struct {
    const char* where;
    int x, y;
    uint32_t colour;
  } points[] = {
      {"demo box, top left", 23, 76, kFieldBox},
      {"demo box, bottom right", 369, 93, kFieldBox},
      {"executable box", 21, 357, kFieldBox},
      {"executable box", 267, 374, kFieldBox},
      {"speed box", 294, 357, kFieldBox},
      {"speed box", 369, 374, kFieldBox},
      {"command-line box", 21, 394, kFieldBox},
      {"command-line box", 369, 411, kFieldBox},
      {"main panel, top left", 22, 106, kPanel},
      {"main panel, bottom right", 444, 327, kPanel},
      {"main panel, below the summary", 370, 300, kPanel},
      {"credits panel, top left", 323, 0, kPanel},
      {"credits panel, bottom right", 469, 62, kPanel},
      {"credits panel, bottom left", 323, 62, kPanel},
      {"map frame, corners", 31, 115, kLightGrey},
      {"map frame, corners", 290, 318, kLightGrey},
      {"map frame, left", 31, 200, kLightGrey},
      {"map frame, right", 290, 200, kLightGrey},
      {"map frame, top", 200, 115, kLightGrey},
      {"map frame, bottom", 200, 318, kLightGrey},
      {"summary frame, corners", 299, 115, kLightGrey},
      {"summary frame, corners", 437, 247, kLightGrey},
      {"summary frame, left", 299, 180, kLightGrey},
      {"summary frame, right", 437, 180, kLightGrey},
      {"summary frame, top", 420, 115, kLightGrey},
      {"summary frame, bottom", 370, 247, kLightGrey},
  };
  for (const auto& p : points)
    EXPECT_EQ(PixelAt(p.x, p.y), p.colour) << p.where << " at " << p.x << ", " << p.y;
}

TEST(Skin, WeaveIsAnEightPixelTileOfThreeGreys) {
  std::set<uint32_t> tileColours;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) tileColours.insert(PixelAt(x, y));
  EXPECT_EQ(tileColours, std::set<uint32_t>(std::begin(kWeave), std::end(kWeave)));

  // Strips that nothing is drawn on, on three sides of the picture.
  const Rect strips[] = {{0, 0, 15, 425}, {0, 414, 469, 425}, {447, 65, 469, 425}};
  for (const Rect& strip : strips)
    for (int y = strip.top; y <= strip.bottom; ++y)
      for (int x = strip.left; x <= strip.right; ++x)
        ASSERT_EQ(PixelAt(x, y), WeaveAt(x, y)) << "at " << x << ", " << y;
}

TEST(Skin, NothingIsPaintedWhereTheControlsAndThePreviewGo) {
  const uint32_t kOnTheWeave = 0;
  const struct {
    const char* control;
    Rect pixels;
    uint32_t ground;
  } controls[] = {
      {"IDC_DEMOPATH", {26, 78, 366, 91}, kFieldBox},
      {"IDC_GAMEEXE", {23, 359, 266, 372}, kFieldBox},
      {"IDC_DEMOSPEED", {296, 359, 368, 372}, kFieldBox},
      {"IDC_EXTRAARGS", {23, 397, 368, 410}, kFieldBox},
      {"IDC_INFO", {305, 122, 431, 242}, kPanel},
      {"map preview, 253 x 193 at most", {37, 125, 289, 317}, kPanel},
      {"IDC_PLAY", {329, 280, 411, 302}, kPanel},
      {"IDC_BROWSEDEMO", {383, 73, 465, 96}, kOnTheWeave},
      {"IDC_BROWSEGAMEEXE", {383, 354, 465, 377}, kOnTheWeave},
      {"IDC_SAVE", {383, 390, 465, 413}, kOnTheWeave},
  };
  for (const auto& c : controls) {
    for (int y = c.pixels.top; y <= c.pixels.bottom; ++y) {
      for (int x = c.pixels.left; x <= c.pixels.right; ++x) {
        const uint32_t expected = c.ground == kOnTheWeave ? WeaveAt(x, y) : c.ground;
        ASSERT_EQ(PixelAt(x, y), expected) << c.control << " at " << x << ", " << y;
      }
    }
  }
}

TEST(Skin, LabelsAndFrameTitlesStandWhereTheyBelong) {
  // A band holding light grey text: a label just above its box, or a title
  // across a frame's top line.
  const struct {
    const char* text;
    Rect band;
  } texts[] = {
      {"Demofile:", {23, 62, 80, 74}},
      {"Path to Executable (hl.exe/cstrike.exe):", {21, 343, 267, 355}},
      {"Demospeed:", {294, 343, 369, 355}},
      {"Command Line Options:", {21, 380, 369, 392}},
      {"Map", {32, 111, 80, 119}},
      {"Demo Information", {300, 111, 420, 119}},
  };
  for (const auto& t : texts) {
    int ink = 0;
    for (int y = t.band.top; y <= t.band.bottom; ++y)
      for (int x = t.band.left; x <= t.band.right; ++x) ink += PixelAt(x, y) == kLightGrey;
    EXPECT_GT(ink, 20) << t.text;
  }
  // The line breaks around a title, as a group box draws it.
  int mapFrameTop = 0;
  for (int x = 31; x <= 290; ++x) mapFrameTop += PixelAt(x, 115) == kLightGrey;
  EXPECT_LT(mapFrameTop, 290 - 31 + 1);
}

TEST(Icon, HoldsA16ColourAndA256ColourImageWithTheirMasks) {
  const std::vector<uint8_t> ico = MakeIcon();
  ASSERT_GE(ico.size(), 6u + 2 * 16);
  EXPECT_EQ(Le(ico, 0, 2), 0u);
  EXPECT_EQ(Le(ico, 2, 2), 1u) << "an icon";
  ASSERT_EQ(Le(ico, 4, 2), 2u);
  const struct {
    uint32_t size, bitsPerPixel, colours, directoryColourCount;
  } images[] = {{16, 4, 16, 16}, {32, 8, 256, 0}};
  uint32_t expectedOffset = 6 + 2 * 16;
  for (int i = 0; i < 2; ++i) {
    const size_t entry = 6 + 16 * i;
    const auto& image = images[i];
    EXPECT_EQ(ico[entry], image.size);
    EXPECT_EQ(ico[entry + 1], image.size);
    EXPECT_EQ(ico[entry + 2], image.directoryColourCount);
    EXPECT_EQ(Le(ico, entry + 4, 2), 1u) << "planes";
    EXPECT_EQ(Le(ico, entry + 6, 2), image.bitsPerPixel);
    const uint32_t bytes = Le(ico, entry + 8, 4), offset = Le(ico, entry + 12, 4);
    EXPECT_EQ(offset, expectedOffset);
    const uint32_t colourRow = (image.size * image.bitsPerPixel + 31) / 32 * 4;
    const uint32_t maskRow = (image.size + 31) / 32 * 4;
    EXPECT_EQ(bytes, 40 + 4 * image.colours + (colourRow + maskRow) * image.size);
    ASSERT_LE(offset + bytes, ico.size());
    EXPECT_EQ(Le(ico, offset, 4), 40u);
    EXPECT_EQ(Le(ico, offset + 4, 4), image.size);
    EXPECT_EQ(Le(ico, offset + 8, 4), 2 * image.size) << "colour bits and mask";
    EXPECT_EQ(Le(ico, offset + 14, 2), image.bitsPerPixel);
    // The mask's rows are bottom-up: its last row is the image's top row,
    // where the film frame leaves the desktop showing.
    const size_t maskStart = offset + bytes - maskRow * image.size;
    EXPECT_EQ(ico[maskStart + maskRow * (image.size - 1)] & 0x80, 0x80) << "top left clear";
    EXPECT_EQ(ico[maskStart + maskRow * (image.size / 2)] & 0x80, 0) << "left middle drawn";
    expectedOffset += bytes;
  }
  EXPECT_EQ(expectedOffset, ico.size());
}

TEST(Artwork, CommittedFilesAreWhatTheGeneratorDraws) {
  EXPECT_TRUE(ReadSourceFile("app/resources/background.bmp") == MakeSkinBitmap())
      << "draw them again with the artwork target";
  EXPECT_TRUE(ReadSourceFile("app/resources/quendrix.ico") == MakeIcon())
      << "draw them again with the artwork target";
}

}  // namespace
