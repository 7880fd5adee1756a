#include "tools/artwork.h"

#include <cstdio>
#include <initializer_list>
#include <map>
#include <stdexcept>

#include "common/bitmap_writer.h"
#include "tools/pixel_font.h"

namespace {

// The one place to change the version shown in the banner and the credits.
const char kVersion[] = "0.1";

const Rgb kWeaveDark{28, 28, 28};
const Rgb kWeaveMid{46, 46, 46};
const Rgb kWeaveLight{68, 68, 68};
const Rgb kPanel{68, 68, 68};
const Rgb kFieldBox{77, 75, 75};
const Rgb kLightGrey{188, 188, 188};  // labels and frame lines, as the controls' text
const Rgb kBrightGrey{222, 222, 222};
const Rgb kDimGrey{128, 128, 128};
const Rgb kShade{16, 16, 16};
const Rgb kSheen{100, 100, 100};
const Rgb kAccent{232, 152, 40};
const Rgb kAccentDark{178, 104, 22};
const Rgb kBlack{0, 0, 0};

struct Rect {
  int left, top, right, bottom;  // both ends included
};

// The skin's fixed places, in pixels: the dialog's controls lie inside them.
const Rect kBanner{28, 15, 297, 46};
const Rect kCreditsPanel{323, 0, 469, 62};
const Rect kDemoBox{23, 76, 369, 93};
const Rect kMainPanel{22, 106, 444, 327};
const Rect kMapFrame{31, 115, 290, 318};
const Rect kSummaryFrame{299, 115, 437, 247};
const Rect kExecutableBox{21, 357, 267, 374};
const Rect kSpeedBox{294, 357, 369, 374};
const Rect kCommandLineBox{21, 394, 369, 411};

struct Canvas {
  int width, height;
  std::vector<Rgb> pixels;
  std::vector<uint8_t> opaque;  // icons only: 0 where the desktop shows through

  Canvas(int w, int h, Rgb colour, bool startOpaque)
      : width(w),
        height(h),
        pixels(static_cast<size_t>(w) * h, colour),
        opaque(pixels.size(), startOpaque ? 1 : 0) {}
  void Put(int x, int y, Rgb colour) {
    if (x >= 0 && y >= 0 && x < width && y < height) {
      pixels[static_cast<size_t>(y) * width + x] = colour;
      opaque[static_cast<size_t>(y) * width + x] = 1;
    }
  }
  void Clear(int x, int y) {
    if (x >= 0 && y >= 0 && x < width && y < height) {
      pixels[static_cast<size_t>(y) * width + x] = kBlack;
      opaque[static_cast<size_t>(y) * width + x] = 0;
    }
  }
};

void Fill(Canvas& canvas, Rect rect, Rgb colour) {
  for (int y = rect.top; y <= rect.bottom; ++y)
    for (int x = rect.left; x <= rect.right; ++x) canvas.Put(x, y, colour);
}

void HorizontalLine(Canvas& canvas, int left, int right, int y, Rgb colour) {
  for (int x = left; x <= right; ++x) canvas.Put(x, y, colour);
}

void VerticalLine(Canvas& canvas, int x, int top, int bottom, Rgb colour) {
  for (int y = top; y <= bottom; ++y) canvas.Put(x, y, colour);
}

Rgb Mix(Rgb from, Rgb to, int step, int steps) {
  auto mix = [&](uint8_t a, uint8_t b) { return static_cast<uint8_t>(a + (b - a) * step / steps); };
  return {mix(from.r, to.r), mix(from.g, to.g), mix(from.b, to.b)};
}

// A basket weave: blocks of two horizontal threads beside blocks of two
// vertical ones, each thread lit on one side and shaded where it dips.
void DrawWeave(Canvas& canvas) {
  static const char* const kTile[8] = {
      "lllmlmlm", "mmmdlmlm", "lllmlmlm", "mmmdmdmd",
      "lmlmlllm", "lmlmmmmd", "lmlmlllm", "mdmdmmmd",
  };
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = 0; x < canvas.width; ++x) {
      const char shade = kTile[y % 8][x % 8];
      canvas.Put(x, y, shade == 'l' ? kWeaveLight : shade == 'm' ? kWeaveMid : kWeaveDark);
    }
  }
}

// Edges are drawn just outside a rectangle, so that it keeps its own colour
// to the last pixel. Raised: lit from the top left; sunken: the other way.
void DrawEdge(Canvas& canvas, Rect rect, Rgb topLeft, Rgb bottomRight) {
  HorizontalLine(canvas, rect.left - 1, rect.right + 1, rect.top - 1, topLeft);
  VerticalLine(canvas, rect.left - 1, rect.top - 1, rect.bottom + 1, topLeft);
  HorizontalLine(canvas, rect.left, rect.right + 1, rect.bottom + 1, bottomRight);
  VerticalLine(canvas, rect.right + 1, rect.top, rect.bottom + 1, bottomRight);
}

void DrawText(Canvas& canvas, const char* text, int left, int top, Rgb colour) {
  const TextMask mask = RenderText(text);
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x)
      if (mask.Ink(x, y)) canvas.Put(left + x, top + y, colour);
}

void DrawCentredText(Canvas& canvas, const char* text, int centreX, int top, Rgb colour) {
  DrawText(canvas, text, centreX - RenderText(text).width / 2, top, colour);
}

// A label sits just above its box, clear of the box's edge and of the control,
// with a shadow that keeps it legible on the weave.
void DrawLabel(Canvas& canvas, const char* text, Rect box) {
  const int top = box.top - kFontHeight - 3;
  DrawText(canvas, text, box.left + 1, top + 1, kShade);
  DrawText(canvas, text, box.left, top, kLightGrey);
}

// A thin frame with its title on the top line, the line broken around the
// title as a group box draws it.
void DrawFrame(Canvas& canvas, Rect lines, const char* title) {
  const int titleLeft = lines.left + 8;
  const int titleRight = titleLeft + RenderText(title).width - 1;
  HorizontalLine(canvas, lines.left, titleLeft - 3, lines.top, kLightGrey);
  HorizontalLine(canvas, titleRight + 3, lines.right, lines.top, kLightGrey);
  HorizontalLine(canvas, lines.left, lines.right, lines.bottom, kLightGrey);
  VerticalLine(canvas, lines.left, lines.top, lines.bottom, kLightGrey);
  VerticalLine(canvas, lines.right, lines.top, lines.bottom, kLightGrey);
  DrawText(canvas, title, titleLeft, lines.top - kFontBaselineRow / 2, kLightGrey);
}

// Large letters: the font scaled up, shaded from light at the top to darker
// at the baseline, with a dark rim and a drop shadow to lift them off the weave.
int DrawLargeText(Canvas& canvas, const char* text, int left, int top, int scale) {
  const TextMask mask = RenderText(text);
  auto ink = [&](int x, int y) { return x >= 0 && y >= 0 && mask.Ink(x / scale, y / scale); };
  const int width = mask.width * scale, height = mask.height * scale;
  const int inkHeight = (kFontBaselineRow + 1) * scale;
  for (int y = -1; y <= height + 1; ++y)
    for (int x = -1; x <= width + 1; ++x)
      if (ink(x - 2, y - 2)) canvas.Put(left + x, top + y, kShade);
  for (int y = -1; y <= height; ++y) {
    for (int x = -1; x <= width; ++x) {
      bool nearInk = false;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) nearInk = nearInk || ink(x + dx, y + dy);
      if (nearInk && !ink(x, y)) canvas.Put(left + x, top + y, kShade);
    }
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (ink(x, y)) canvas.Put(left + x, top + y, Mix(kBrightGrey, kDimGrey, y, inkHeight));
  return width;
}

// A play triangle pointing right: each column narrower than the one before,
// ending in a tip of one row (odd heights) or two.
void DrawPlayTriangle(Canvas& canvas, Rect box, Rgb upper, Rgb lower) {
  const int width = box.right - box.left + 1, height = box.bottom - box.top + 1;
  const int middle = (box.top + box.bottom + 1) / 2;
  for (int x = 0; x < width; ++x) {
    const int inset = x * (height - 1) / (2 * (width - 1));
    for (int y = box.top + inset; y <= box.bottom - inset; ++y)
      canvas.Put(box.left + x, y, y < middle ? upper : lower);
  }
}

// The motif of the icon and the banner's logo: a frame of film with a play
// triangle. Drawn for 16 and 32 pixels; the small one keeps to 16 colours.
Canvas DrawFilmFrame(int size) {
  Canvas canvas(size, size, kBlack, false);
  const bool large = size >= 32;
  const int top = large ? 3 : 1, bottom = size - 1 - top;
  const Rect body{0, top, size - 1, bottom};
  Fill(canvas, body, kWeaveLight);
  HorizontalLine(canvas, 1, size - 2, top, kShade);
  HorizontalLine(canvas, 1, size - 2, bottom, kShade);
  VerticalLine(canvas, 0, top + 1, bottom - 1, kShade);
  VerticalLine(canvas, size - 1, top + 1, bottom - 1, kShade);
  for (int y : {top, bottom})
    for (int x : {0, size - 1}) canvas.Clear(x, y);  // rounded corners
  // Sprocket holes along both edges of the strip.
  const int holeWidth = large ? 3 : 2, holeHeight = large ? 2 : 1, pitch = large ? 5 : 4;
  const int holeInset = large ? 2 : 1;
  for (int x = large ? 3 : 2; x + holeWidth <= size - 2; x += pitch) {
    Fill(canvas, {x, top + holeInset, x + holeWidth - 1, top + holeInset + holeHeight - 1},
         kLightGrey);
    Fill(canvas, {x, bottom - holeInset - holeHeight + 1, x + holeWidth - 1, bottom - holeInset},
         kLightGrey);
  }
  const int screenTop = top + holeInset + holeHeight + (large ? 2 : 1);
  const int screenBottom = bottom - holeInset - holeHeight - (large ? 2 : 1);
  const Rect screen{large ? 3 : 2, screenTop, size - (large ? 4 : 3), screenBottom};
  Fill(canvas, screen, kWeaveDark);
  if (large) {
    HorizontalLine(canvas, screen.left, screen.right, screen.bottom, kSheen);
    VerticalLine(canvas, screen.right, screen.top, screen.bottom, kSheen);
  }
  // Centred on the dark part of the screen, a pixel right of centre, where
  // the eye puts the middle of a triangle.
  const int darkBottom = screen.bottom - (large ? 1 : 0);
  const int triangleWidth = large ? 9 : 4, triangleHeight = large ? 11 : 7;
  const int triangleLeft = (screen.left + screen.right + 2 - triangleWidth) / 2;
  const int triangleTop = (screen.top + darkBottom + 1 - triangleHeight) / 2;
  DrawPlayTriangle(canvas,
                   {triangleLeft, triangleTop, triangleLeft + triangleWidth - 1,
                    triangleTop + triangleHeight - 1},
                   kAccent, large ? kAccentDark : kAccent);
  return canvas;
}

void DrawBanner(Canvas& canvas) {
  const Canvas logo = DrawFilmFrame(32);
  for (int y = 0; y < logo.height; ++y)
    for (int x = 0; x < logo.width; ++x)
      if (logo.opaque[static_cast<size_t>(y) * logo.width + x])
        canvas.Put(kBanner.left + x, kBanner.top + y, logo.pixels[y * logo.width + x]);
  const int scale = 4;
  const int textTop =
      kBanner.top + (kBanner.bottom - kBanner.top + 1 - (kFontBaselineRow + 1) * scale) / 2;
  const int nameLeft = kBanner.left + logo.width + 10;
  const int nameWidth = DrawLargeText(canvas, "Quendrix", nameLeft, textTop, scale);
  DrawLargeText(canvas, kVersion, nameLeft + nameWidth + 4 * scale, textTop, scale);
}

void DrawCredits(Canvas& canvas) {
  Fill(canvas, kCreditsPanel, kPanel);
  VerticalLine(canvas, kCreditsPanel.left - 1, kCreditsPanel.top, kCreditsPanel.bottom + 1, kShade);
  HorizontalLine(canvas, kCreditsPanel.left - 1, kCreditsPanel.right, kCreditsPanel.bottom + 1,
                 kShade);
  const int centre = (kCreditsPanel.left + kCreditsPanel.right + 1) / 2;
  char title[32];
  snprintf(title, sizeof title, "Quendrix %s", kVersion);
  DrawCentredText(canvas, title, centre, 7, kAccent);
  HorizontalLine(canvas, centre - 40, centre + 40, 19, kWeaveMid);
  const char* const lines[] = {"a demo player for Half-Life", "drop a demo on this window",
                               "and press Play! to watch it"};
  int top = 24;
  for (const char* line : lines) {
    DrawCentredText(canvas, line, centre, top, kLightGrey);
    top += kFontHeight + 2;
  }
}

void DrawFieldBox(Canvas& canvas, Rect box, const char* label) {
  Fill(canvas, box, kFieldBox);
  DrawEdge(canvas, box, kShade, kSheen);
  DrawLabel(canvas, label, box);
}

Canvas DrawSkin() {
  Canvas canvas(kSkinWidth, kSkinHeight, kWeaveMid, true);
  DrawWeave(canvas);
  DrawBanner(canvas);
  DrawCredits(canvas);
  DrawFieldBox(canvas, kDemoBox, "Demofile:");
  Fill(canvas, kMainPanel, kPanel);
  DrawEdge(canvas, kMainPanel, kSheen, kShade);
  DrawFrame(canvas, kMapFrame, "Map");
  DrawFrame(canvas, kSummaryFrame, "Demo Information");
  DrawFieldBox(canvas, kExecutableBox, "Path to Executable (hl.exe/cstrike.exe):");
  DrawFieldBox(canvas, kSpeedBox, "Demospeed:");
  DrawFieldBox(canvas, kCommandLineBox, "Command Line Options:");
  return canvas;
}

uint32_t ColourKey(Rgb colour) {
  return (colour.r << 16) | (colour.g << 8) | colour.b;
}

// The picture's colours in ascending order, padded with black to `size`.
std::vector<Rgb> PaletteOf(const Canvas& canvas, size_t size) {
  std::map<uint32_t, Rgb> colours;
  for (const Rgb& c : canvas.pixels) colours[ColourKey(c)] = c;
  if (colours.size() > size) throw std::length_error("the artwork has too many colours");
  std::vector<Rgb> palette;
  for (const auto& entry : colours) palette.push_back(entry.second);
  palette.resize(size, kBlack);
  return palette;
}

std::vector<uint8_t> IndicesOf(const Canvas& canvas, const std::vector<Rgb>& palette) {
  // Backwards, so that black drawn in the picture takes its own entry, not
  // one of the padding.
  std::map<uint32_t, uint8_t> index;
  for (size_t i = palette.size(); i-- > 0;) index[ColourKey(palette[i])] = static_cast<uint8_t>(i);
  std::vector<uint8_t> indices;
  for (const Rgb& c : canvas.pixels) indices.push_back(index[ColourKey(c)]);
  return indices;
}

void Put16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// One image of an icon: BITMAPINFOHEADER with the height doubled for the
// mask, the palette, the colour bits and the AND mask, rows bottom-up.
std::vector<uint8_t> EncodeIconImage(const Canvas& image, int bitsPerPixel) {
  const std::vector<Rgb> palette = PaletteOf(image, size_t{1} << bitsPerPixel);
  const std::vector<uint8_t> indices = IndicesOf(image, palette);
  const int size = image.width;
  const uint32_t colourRowBytes = (size * bitsPerPixel + 31) / 32 * 4;
  const uint32_t maskRowBytes = (size + 31) / 32 * 4;
  std::vector<uint8_t> out;
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(size));
  Put32(out, static_cast<uint32_t>(2 * size));
  Put16(out, 1);
  Put16(out, static_cast<uint16_t>(bitsPerPixel));
  Put32(out, 0);  // BI_RGB
  Put32(out, (colourRowBytes + maskRowBytes) * size);
  for (int i = 0; i < 4; ++i) Put32(out, 0);
  for (const Rgb& colour : palette) {
    out.push_back(colour.b);
    out.push_back(colour.g);
    out.push_back(colour.r);
    out.push_back(0);
  }
  const int pixelsPerByte = 8 / bitsPerPixel;
  for (int y = size - 1; y >= 0; --y) {
    std::vector<uint8_t> row(colourRowBytes, 0);
    for (int x = 0; x < size; ++x) {
      const int shift = 8 - bitsPerPixel * (x % pixelsPerByte + 1);
      row[x / pixelsPerByte] |= static_cast<uint8_t>(indices[y * size + x] << shift);
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  for (int y = size - 1; y >= 0; --y) {
    std::vector<uint8_t> row(maskRowBytes, 0);
    for (int x = 0; x < size; ++x)
      if (!image.opaque[y * size + x]) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

}  // namespace

std::vector<uint8_t> MakeSkinBitmap() {
  const Canvas skin = DrawSkin();
  const std::vector<Rgb> palette = PaletteOf(skin, 256);
  return EncodeBitmap8(skin.width, skin.height, palette, IndicesOf(skin, palette));
}

std::vector<uint8_t> MakeIcon() {
  const struct { int size, bitsPerPixel; } kImages[] = {{16, 4}, {32, 8}};
  const size_t imageCount = sizeof kImages / sizeof kImages[0];
  std::vector<std::vector<uint8_t>> images;
  for (const auto& image : kImages)
    images.push_back(EncodeIconImage(DrawFilmFrame(image.size), image.bitsPerPixel));

  std::vector<uint8_t> out;
  Put16(out, 0);
  Put16(out, 1);  // an icon, not a cursor
  Put16(out, static_cast<uint16_t>(imageCount));
  uint32_t offset = static_cast<uint32_t>(6 + 16 * imageCount);
  for (size_t i = 0; i < imageCount; ++i) {
    out.push_back(static_cast<uint8_t>(kImages[i].size));
    out.push_back(static_cast<uint8_t>(kImages[i].size));
    out.push_back(kImages[i].bitsPerPixel < 8 ? static_cast<uint8_t>(1 << kImages[i].bitsPerPixel)
                                              : 0);
    out.push_back(0);
    Put16(out, 1);
    Put16(out, static_cast<uint16_t>(kImages[i].bitsPerPixel));
    Put32(out, static_cast<uint32_t>(images[i].size()));
    Put32(out, offset);
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const std::vector<uint8_t>& image : images)
    out.insert(out.end(), image.begin(), image.end());
  return out;
}
