#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "demo/demo_summary.h"
#include "tests/native/demo_walk_support.h"
#include "tests/native/test_bytes.h"
#include "tools/demo_writer.h"

namespace {

std::vector<uint8_t> Demo(const std::string& type, uint8_t demoProtocol, uint8_t network,
                          const std::string& map, const std::string& mod,
                          const std::string& tailHex) {
  std::vector<uint8_t> bytes(544, 0);
  PutText(bytes, 0, type);
  bytes[8] = demoProtocol;
  bytes[12] = network;
  PutText(bytes, 16, map);
  PutText(bytes, 276, mod);
  std::vector<uint8_t> tail = Hex(tailHex);
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  return bytes;
}

std::string Summary(const std::vector<uint8_t>& bytes, const char* width, const char* height) {
  DemoInspection demo = InspectDemo(bytes.data(), bytes.size());
  char summary[kSummarySize];
  ComposeSummary(demo, width, height, summary, sizeof summary);
  return summary;
}

TEST(ComposeSummary, HltvDemoEndsWithItsLine) {
  std::vector<uint8_t> bytes = Demo("T", 5, 45, "M", "G", "00 08 48 4C 54 56 55");
  EXPECT_EQ(Summary(bytes, "800", "600"),
            "Half-Life Version: 1.1.0.8\nDemo Type: T\nDemo Version: 5\nNetwork Version: 45\n"
            "Map: M\nMod: G\nCurrent Res: 800x600\nDemo Res: 1024x768\nHLTV Recorded Demo");
}

TEST(ComposeSummary, OtherDemosEndWithTheLineFeedAfterDemoRes) {
  std::vector<uint8_t> bytes = Demo("HLDEMO", 5, 37, "c1a0", "valve", "00 00 80 02 00 00 E0 01 55");
  EXPECT_EQ(Summary(bytes, "1024", "768"),
            "Half-Life Version: 1.0.0.8\nDemo Type: HLDEMO\nDemo Version: 5\nNetwork Version: 37\n"
            "Map: c1a0\nMod: valve\nCurrent Res: 1024x768\nDemo Res: 640x480\n");
}

TEST(ComposeSummary, UnknownResolutionsAndUnreadGameResolution) {
  std::vector<uint8_t> bytes = Demo("HLDEMO", 200, 48, "", "", "");
  EXPECT_EQ(Summary(bytes, "", ""),
            "Half-Life Version: N/A\nDemo Type: HLDEMO\nDemo Version: -56\nNetwork Version: 48\n"
            "Map: \nMod: \nCurrent Res: x\nDemo Res: *x*\n");
}

TEST(ComposeSummary, WidestFieldsFitWithoutCutting) {
  // Every text at its widest: no NUL in the type, map or game directory, and
  // the longest protocol texts.
  std::vector<uint8_t> bytes(540, 'W');
  bytes[8] = 0x80;
  bytes[12] = 0x80;
  EXPECT_EQ(Summary(bytes, "-123456", "-123456"),
            "Half-Life Version: N/A\nDemo Type: " + std::string(8, 'W') +
                "\nDemo Version: -128\nNetwork Version: -128\nMap: " + std::string(260, 'W') +
                "\nMod: " + std::string(264, 'W') +
                "\nCurrent Res: -123456x-123456\nDemo Res: *x*\n");
}

}  // namespace

namespace {

// Gives the buffer in pieces of sizes from 0 to 99 bytes at random: a pipe
// or a slow disk hands out what it has.
struct PieceSource {
  const std::vector<uint8_t>* bytes;
  size_t at;
  std::mt19937* random;
};

size_t GivePiece(void* source, uint8_t* into, size_t size) {
  PieceSource* from = static_cast<PieceSource*>(source);
  size_t piece = std::min({size, from->bytes->size() - from->at, size_t{(*from->random)() % 100}});
  if (piece == 0 && from->at < from->bytes->size()) piece = 1;  // 0 is the end
  std::copy_n(from->bytes->begin() + static_cast<long>(from->at), piece, into);
  from->at += piece;
  return piece;
}

size_t GiveAt(void* source, uint64_t offset, uint8_t* into, size_t size) {
  const std::vector<uint8_t>& bytes = *static_cast<PieceSource*>(source)->bytes;
  if (offset >= bytes.size()) return 0;
  size_t piece = std::min<size_t>(size, bytes.size() - offset);
  std::copy_n(bytes.begin() + static_cast<long>(offset), piece, into);
  return piece;
}

TEST(InspectDemoPieces, GivesWhatTheWholeBufferGives) {
  std::mt19937 random(5);
  std::vector<std::vector<uint8_t>> demos = {
      {},
      {'H', 'L'},
      Demo("HLDEMO", 5, 48, "de_dust2", "cstrike", "00 04 00 00 00 03 00"),
      Demo("HLDEMO", 5, 48, "", "", "00 04 00 00 00 03 00 00 08 48 4C 54 56 00"),
  };
  // Long ones whose signatures sit on the windows' seams.
  for (size_t at : {600, 651, 1200, 1237, 1240, 5000}) {
    std::vector<uint8_t> demo = Demo("HLDEMO", 4, 40, "c1a0", "valve", "");
    demo.resize(6000, 0x11);
    const std::vector<uint8_t> chain = Hex("00 05 00 00 C0 80 04 00 00 60 00 04 00 00 00 03");
    std::copy(chain.begin(), chain.end(), demo.begin() + static_cast<long>(at));
    demos.push_back(demo);
  }
  // Written ones, whole and cut, whose frames straddle the seams.
  DemoRecipe recipe;
  recipe.playbackFrames = 300;
  demos.push_back(WriteDemo(recipe));
  demos.push_back(std::vector<uint8_t>(demos.back().begin(), demos.back().end() - 700));
  for (const std::vector<uint8_t>& bytes : demos) {
    for (size_t window : {size_t{0}, kSmallestWindow + 1, size_t{4096}, size_t{65536}}) {
      PieceSource source = {&bytes, 0, &random};
      uint64_t read = 0;
      DemoInspection pieces =
          InspectDemoPieces(GivePiece, GiveAt, &source, bytes.size(), window, &read);
      EXPECT_EQ(read, bytes.size());
      std::vector<uint8_t> whole = bytes;
      whole.resize(std::max<size_t>(whole.size(), 1));  // InspectDemo wants a byte
      DemoInspection expected = InspectDemo(whole.data(), bytes.size());
      char got[kSummarySize], want[kSummarySize];
      ComposeSummary(pieces, "1", "2", got, sizeof got);
      ComposeSummary(expected, "1", "2", want, sizeof want);
      EXPECT_STREQ(got, want) << bytes.size() << " bytes, window " << window;
      EXPECT_EQ(Describe(pieces.structure), Describe(expected.structure))
          << bytes.size() << " bytes, window " << window;
    }
  }
}

}  // namespace
