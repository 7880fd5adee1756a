// The demos of the project's own are what the tests, the benchmarks and the
// sample rely on: they must be laid out as the game lays its demos out, and
// the scans must find in them exactly what they were written with.
#include <gtest/gtest.h>

#include <cstring>

#include "common/bitmap_writer.h"
#include "demo/demo_summary.h"
#include "tools/demo_writer.h"

namespace {

int32_t Le32(const std::vector<uint8_t>& bytes, size_t offset) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
  return static_cast<int32_t>(value);
}

TEST(WriteDemo, HeaderAndDirectory) {
  DemoRecipe recipe;
  recipe.mapName = "de_test";
  recipe.gameDirectory = "cstrike";
  recipe.playbackFrames = 10;
  std::vector<uint8_t> bytes = WriteDemo(recipe);
  ASSERT_GT(bytes.size(), 544u);
  EXPECT_EQ(memcmp(bytes.data(), "HLDEMO\0\0", 8), 0);
  EXPECT_EQ(Le32(bytes, 8), 5);
  EXPECT_EQ(Le32(bytes, 12), 48);
  EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + 16), "de_test");
  EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + 276), "cstrike");
  EXPECT_EQ(static_cast<uint32_t>(Le32(bytes, 536)), 0xF9D4D06Bu) << "CRC-32 of the map name";

  const size_t directory = static_cast<size_t>(Le32(bytes, 540));
  ASSERT_EQ(directory + 4 + 2 * 92, bytes.size()) << "the directory closes the file";
  EXPECT_EQ(Le32(bytes, directory), 2);
  const size_t loading = directory + 4, playback = loading + 92;
  EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + loading + 4), "LOADING");
  EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + playback + 4), "Playback");
  EXPECT_EQ(Le32(bytes, loading + 84), 544) << "LOADING starts after the header";
  EXPECT_EQ(Le32(bytes, loading + 84) + Le32(bytes, loading + 88), Le32(bytes, playback + 84));
  EXPECT_EQ(static_cast<size_t>(Le32(bytes, playback + 84) + Le32(bytes, playback + 88)),
            directory);
  EXPECT_EQ(Le32(bytes, loading + 80), 0) << "no playback messages while loading";
  EXPECT_EQ(Le32(bytes, playback + 80), 10) << "the ten network messages";
  EXPECT_EQ(bytes[directory - 9], 5) << "the last frame ends the segment";
}

TEST(WriteDemo, ScansFindWhatWasWritten) {
  const struct {
    int width, height;
    bool hltv;
    const char* foundWidth;
    const char* foundHeight;
  } cases[] = {
      {1280, 960, false, "1280", "960"}, {1152, 864, false, "1152", "864"},
      {1024, 768, false, "1024", "768"}, {800, 600, false, "800", "600"},
      {640, 480, false, "640", "480"},   {512, 384, false, "512", "384"},
      {480, 360, false, "480", "360"},   {400, 300, false, "400", "300"},
      {1440, 1080, false, "*", "*"},     {0, 0, true, "1024", "768"},
      {1024, 768, true, "1024", "768"},  {800, 600, true, "800", "600"},
  };
  for (const auto& c : cases) {
    DemoRecipe recipe;
    recipe.viewportWidth = c.width;
    recipe.viewportHeight = c.height;
    recipe.hltv = c.hltv;
    std::vector<uint8_t> bytes = WriteDemo(recipe);
    DemoScan scan = ScanDemo(bytes.data(), bytes.size());
    EXPECT_STREQ(scan.width, c.foundWidth) << c.width << "x" << c.height;
    EXPECT_STREQ(scan.height, c.foundHeight) << c.width << "x" << c.height;
    // An HLTV recording at another mode keeps that mode and is not marked.
    EXPECT_EQ(scan.isHltv, c.hltv && c.width != 800) << c.width << "x" << c.height;
  }
}

TEST(WriteDemo, SameRecipeSameBytesAndSizeAsAsked) {
  DemoRecipe recipe;
  recipe.playbackFrames = FramesForSize(1 << 20);
  std::vector<uint8_t> first = WriteDemo(recipe);
  EXPECT_EQ(first, WriteDemo(recipe));
  EXPECT_GE(first.size(), 1u << 20);
  EXPECT_LT(first.size(), (1u << 20) + (1u << 14));
}

TEST(EncodeBitmap, HeadersRowsAndPadding) {
  std::vector<Rgb> pixels(3 * 2, Rgb{10, 20, 30});
  pixels[0] = {1, 2, 3};  // top left
  std::vector<uint8_t> bmp = EncodeBitmap24(3, 2, pixels);
  ASSERT_EQ(bmp.size(), 54u + 2 * 12);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(Le32(bmp, 2), static_cast<int32_t>(bmp.size()));
  EXPECT_EQ(Le32(bmp, 10), 54);
  EXPECT_EQ(Le32(bmp, 18), 3);
  EXPECT_EQ(Le32(bmp, 22), 2) << "bottom-up";
  // The top row is stored last, blue first.
  EXPECT_EQ(bmp[54 + 12], 3);
  EXPECT_EQ(bmp[54 + 13], 2);
  EXPECT_EQ(bmp[54 + 14], 1);

  std::vector<uint8_t> indexed = EncodeBitmap8(5, 1, {{0, 0, 0}, {255, 0, 0}}, {1, 0, 1, 0, 1});
  ASSERT_EQ(indexed.size(), 54u + 2 * 4 + 8);
  EXPECT_EQ(indexed[28], 8) << "bits a pixel";
  EXPECT_EQ(Le32(indexed, 46), 2) << "palette colours";
  EXPECT_EQ(indexed[54 + 4 + 2], 255) << "red of the second colour";
}

}  // namespace

namespace {

TEST(DrawMapPreview, AnySizeStaysInsideThePicture) {
  // The rooms and corridors reach past the edges of small pictures; a write
  // outside the picture shows under the sanitizers.
  for (int width = 1; width <= 40; width += 3) {
    for (int height = 1; height <= 40; height += 3) {
      EXPECT_EQ(DrawMapPreview("de_small", width, height).size(), size_t(width) * height);
    }
  }
}

}  // namespace
