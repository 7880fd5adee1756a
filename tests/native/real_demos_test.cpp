// Recordings made by players, read where they lie. What each holds is written
// down beside them; the resolution scan knows only 1024 x 768 of their
// viewports, and the HLTV proxy's recording carries the marker.
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
};

const Recording kRecordings[] = {
    {"basic.dem", "5", "48", "N/A", "c1a0", "valve", "*", "*", false},
    {"weapon.dem", "5", "48", "N/A", "crossfire", "cstrike", "1024", "768", false},
    {"hldm.dem", "5", "48", "N/A", "stalkyard", "valve", "*", "*", false},
    {"1016.dem", "4", "40", "1.0.1.3", "c2a1", "valve", "*", "*", false},
    {"cool.dem", "4", "40", "1.0.1.3", "subtransit", "tfc", "*", "*", false},
    {"demotesttestste.dem-2405171129-cs_assault.dem", "5", "48", "N/A", "cs_assault", "cstrike",
     "1024", "768", true},
    {"normvozduh.dem", "5", "48", "N/A", "cs_assault", "cstrike", "*", "*", false},
    {"dirka_v_dust2_duck.dem", "5", "48", "N/A", "de_dust2", "cstrike", "*", "*", false},
    {"minangles.dem", "5", "48", "N/A", "de_nuke", "cstrike", "*", "*", false},
    {"one_jump_one_time.dem", "5", "48", "N/A", "cs_assault", "cstrike", "*", "*", false},
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
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, RealRecordings, testing::ValuesIn(kRecordings),
                         [](const testing::TestParamInfo<Recording>& info) {
                           std::string name = info.param.file;
                           return name.substr(0, name.find_first_of(".-"));
                         });

}  // namespace
