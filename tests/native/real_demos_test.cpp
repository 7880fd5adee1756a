// Recordings made by players, read where they lie. What each holds is written
// down beside them; the resolution scan knows only 1024 x 768 of their
// viewports, and the HLTV proxy's recording carries the marker. Their
// structure was worked out from the files with the layout, apart from the
// walker: each is intact, its duration and frames are its playback entry's
// track time and frame count, and its viewport is the one written down beside
// it (the HLTV proxy's and protocol 4's store none).
#include <gtest/gtest.h>

#include <string>

#include "demo/demo_file.h"
#include "demo/demo_summary.h"

namespace {

struct Recording {
  const char* file;
  const char* demoVersion;
  const char* networkVersion;
  const char* release;
  const char* map;
  const char* mod;
  const char* width;
  const char* height;
  bool hltv;
  float duration;
  int64_t frames;
  int32_t viewportWidth;  // 0: none stored
  int32_t viewportHeight;
  uint32_t mapCrc;
};

const Recording kRecordings[] = {
    {"basic.dem", "5", "48", "N/A", "c1a0", "valve", "*", "*", false, 2.886082f, 289, 1278, 1414,
     0x00000000},
    {"weapon.dem", "5", "48", "N/A", "crossfire", "cstrike", "1024", "768", false, 7.352692f, 736,
     1024, 768, 0x00000000},
    {"hldm.dem", "5", "48", "N/A", "stalkyard", "valve", "*", "*", false, 10.093574f, 287, 1440,
     1080, 0x6E0341F3},
    {"1016.dem", "4", "40", "1.0.1.3", "c2a1", "valve", "*", "*", false, 30.993347f, 2217, 0, 0,
     0x00000000},
    {"cool.dem", "4", "40", "1.0.1.3", "subtransit", "tfc", "*", "*", false, 57.530144f, 4137, 0, 0,
     0x00000000},
    {"demotesttestste.dem-2405171129-cs_assault.dem", "5", "48", "N/A", "cs_assault", "cstrike",
     "1024", "768", true, 14.149064f, 228, 0, 0, 0x00000000},
    {"normvozduh.dem", "5", "48", "N/A", "cs_assault", "cstrike", "*", "*", false, 2.555054f, 70,
     1440, 900, 0x2E5E0E13},
    {"dirka_v_dust2_duck.dem", "5", "48", "N/A", "de_dust2", "cstrike", "*", "*", false, 8.321655f,
     338, 1760, 990, 0x451B6DA9},
    {"minangles.dem", "5", "48", "N/A", "de_nuke", "cstrike", "*", "*", false, 10.669895f, 640,
     1440, 881, 0x97408A07},
    {"one_jump_one_time.dem", "5", "48", "N/A", "cs_assault", "cstrike", "*", "*", false, 4.814185f,
     362, 1920, 1080, 0x2E5E0E13},
};

void PrintTo(const Recording& r, std::ostream* out) {
  *out << r.file;
}

class RealRecordings : public testing::TestWithParam<Recording> {};

TEST_P(RealRecordings, InspectedAsRecorded) {
  const Recording& r = GetParam();
  const std::string path = std::string(QUENDRIX_CORPUS_DIR) + "/" + r.file;
  DemoBytes file;
  DemoFileStatus status = ReadDemoFile(path.c_str(), &file);
  if (status == DemoFileStatus::kCannotOpen) GTEST_SKIP() << "no recording at " << path;
  ASSERT_EQ(status, DemoFileStatus::kRead) << path;

  // Whole, as the program reads it, and piece by piece, as the inspector does.
  DemoInspection pieces;
  ASSERT_EQ(InspectDemoFile(path.c_str(), &pieces), DemoFileStatus::kRead);
  for (const DemoInspection& demo : {InspectDemo(file.bytes.get(), file.size), pieces}) {
    EXPECT_STREQ(demo.header.demoType, "HLDEMO");
    EXPECT_STREQ(demo.demoVersion, r.demoVersion);
    EXPECT_STREQ(demo.networkVersion, r.networkVersion);
    EXPECT_STREQ(demo.release, r.release);
    EXPECT_STREQ(demo.header.mapName, r.map);
    EXPECT_STREQ(demo.header.gameDirectory, r.mod);
    EXPECT_STREQ(demo.scan.width, r.width);
    EXPECT_STREQ(demo.scan.height, r.height);
    EXPECT_EQ(demo.scan.isHltv, r.hltv);
    const DemoStructure& found = demo.structure;
    EXPECT_TRUE(found.intact);
    EXPECT_EQ(found.problems.size(), 0u) << found.problems[0];
    EXPECT_FLOAT_EQ(static_cast<float>(found.duration), r.duration);
    EXPECT_EQ(found.frames, r.frames);
    EXPECT_EQ(found.hasViewport, r.viewportWidth != 0);
    EXPECT_EQ(found.viewportWidth, r.viewportWidth);
    EXPECT_EQ(found.viewportHeight, r.viewportHeight);
    EXPECT_EQ(found.mapCrc, r.mapCrc);
    ASSERT_EQ(found.segments.size(), 2u);
    EXPECT_STREQ(found.segments[0].description, "LOADING");
    EXPECT_EQ(found.segments[1].frames, r.frames);
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, RealRecordings, testing::ValuesIn(kRecordings),
                         [](const testing::TestParamInfo<Recording>& info) {
                           std::string name = info.param.file;
                           return name.substr(0, name.find_first_of(".-"));
                         });

}  // namespace
