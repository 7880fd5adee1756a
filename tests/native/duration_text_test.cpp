// Moments of a demo as a player types them, and as the details' lines start.
#include <gtest/gtest.h>

#include "demo/duration_text.h"

namespace {

TEST(ParseMoment, MinutesAndSecondsOrSeconds) {
  const struct {
    const char* text;
    bool read;
    double seconds;
  } cases[] = {
      {"0:00", true, 0},    {"1:05", true, 65}, {"12:59", true, 779},  {"90", true, 90},
      {"7.25", true, 7.25}, {".5", true, 0.5},  {"3.", true, 3},       {"1:60", false, 0},
      {"1:5", false, 0},    {":05", false, 0},  {"1:05:00", false, 0}, {"-3", false, 0},
      {"1e3", false, 0},    {"nan", false, 0},  {"", false, 0},        {".", false, 0},
      {"1.2.3", false, 0},  {" 5", false, 0},   {"5 s", false, 0},
  };
  for (const auto& c : cases) {
    double seconds = -1;
    EXPECT_EQ(ParseMoment(c.text, &seconds), c.read) << c.text;
    EXPECT_EQ(seconds, c.read ? c.seconds : -1) << c.text;
  }
}

TEST(MomentOfLine, KillAndChatLinesStartWithTheirClock) {
  const struct {
    const char* line;
    bool read;
    double seconds;
  } cases[] = {
      {"0:07 SATANiST killed Player with 9mmhandgun", true, 7},
      {"12:01 Alice: gg", true, 721},
      {"Duration: 0:10 (10.000 s)", false, 0},
      {"Kills: 12", false, 0},
      {"0:07", false, 0},
      {"", false, 0},
  };
  for (const auto& c : cases) {
    double seconds = -1;
    EXPECT_EQ(MomentOfLine(c.line, &seconds), c.read) << c.line;
    EXPECT_EQ(seconds, c.read ? c.seconds : -1) << c.line;
  }
}

}  // namespace
