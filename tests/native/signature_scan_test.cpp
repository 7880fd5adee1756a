// The scans on whole buffers whose outcome follows from the shared cursor and
// the bounds of the attempts. Each case runs through the program's scan and
// through the literal reference, so the reference itself is checked too.
#include <gtest/gtest.h>

#include <string>

#include "demo/signature_scan.h"
#include "tests/native/test_bytes.h"
#include "tests/reference/literal_scan.h"

namespace {

struct ScanCase {
  const char* why;
  std::string hex;
  const char* width;
  const char* height;
  bool hltv;
};

// Eight zero bytes (a viewport's x and y), then the width and height as 32-bit
// integers, as in a recorded frame.
std::string ViewportRecord(const char* widthHex, const char* heightHex) {
  return std::string("00 00 00 00 00 00 00 00 ") + widthHex + " " + heightHex;
}

const ScanCase kCases[] = {
    {"empty-ish: one byte", "55", "*", "*", false},
    {"six bytes: no attempt at all", "00 05 00 00 C0 03", "*", "*", false},
    {"seven bytes: one attempt", "00 05 00 00 C0 03 55", "1280", "960", false},
    {"zeros consumed by tests 1 and 3", "00 00 80 02 00 00 E0 01 55", "640", "480", false},
    {"0x20 then the 640 record", "20 80 02 00 00 E0 01 55", "640", "480", false},
    {"a byte that starts nothing hides 640", "33 80 02 00 00 E0 01 55", "*", "*", false},
    {"1024 after one zero", "00 00 04 00 00 00 03 55", "1024", "768", false},
    {"1024 behind 0x33", "33 00 04 00 00 00 03 55", "*", "*", false},
    {"record at the very start, none after", "00 04 00 00 00 03 00 00", "*", "*", false},
    {"512 after two zeros", "00 00 00 02 00 00 80 01 00", "512", "384", false},
    {"512 behind 0x33", "33 00 00 02 00 00 80 01 00", "*", "*", false},
    {"record in the last six bytes, from attempt 1", "33 00 00 04 00 00 00 03", "1024", "768",
     false},
    {"1280 in the last six, not reachable", "33 33 00 05 00 00 C0 03", "*", "*", false},
    {"1152 after a zero", "00 80 04 00 00 60 03 00 00", "1152", "864", false},
    {"earlier record wins over table order", "11 90 01 00 00 2C 01 00 05 00 00 C0 03 55", "400",
     "300", false},
    {"viewport 1280", ViewportRecord("00 05 00 00", "C0 03 00 00"), "1280", "960", false},
    {"viewport 1152", ViewportRecord("80 04 00 00", "60 03 00 00"), "1152", "864", false},
    {"viewport 1024", ViewportRecord("00 04 00 00", "00 03 00 00"), "1024", "768", false},
    {"viewport 800", ViewportRecord("20 03 00 00", "58 02 00 00"), "800", "600", false},
    {"viewport 640", ViewportRecord("80 02 00 00", "E0 01 00 00"), "640", "480", false},
    {"viewport 512", ViewportRecord("00 02 00 00", "80 01 00 00"), "512", "384", false},
    {"viewport 480", ViewportRecord("E0 01 00 00", "68 01 00 00"), "480", "360", false},
    {"viewport 400", ViewportRecord("90 01 00 00", "2C 01 00 00"), "400", "300", false},
    {"viewport 1440 x 1080 is no mode", ViewportRecord("A0 05 00 00", "38 04 00 00"), "*", "*",
     false},
    {"height's high bytes are not compared", "00 00 00 04 00 00 00 03 FF FF", "1024", "768",
     false},
    {"marker in a seven-byte buffer", "00 08 48 4C 54 56 55", "1024", "768", true},
    {"marker in the last six bytes is not seen", "55 00 08 48 4C 54 56", "*", "*", false},
    {"marker alone, six bytes", "00 08 48 4C 54 56", "*", "*", false},
    {"800 record and marker: no HLTV", "00 20 03 00 00 58 02 00 08 48 4C 54 56 55", "800", "600",
     false},
    {"1024 record and marker: HLTV", "00 00 04 00 00 00 03 00 08 48 4C 54 56 55", "1024", "768",
     true},
    {"marker before a 640 record: 640 wins, no HLTV", "00 08 48 4C 54 56 00 00 80 02 00 00 E0 01 55",
     "640", "480", false},
    {"a broken marker", "00 08 48 4C 54 57 55 55", "*", "*", false},
    {"marker after an H that fails", "48 00 08 48 4C 54 56 55", "1024", "768", true},
};

void PrintTo(const ScanCase& c, std::ostream* out) { *out << c.why << ": " << c.hex; }

class ScanCases : public testing::TestWithParam<ScanCase> {};

TEST_P(ScanCases, FastAndLiteralGiveTheResult) {
  const ScanCase& c = GetParam();
  std::vector<uint8_t> bytes = Hex(c.hex);
  for (const DemoScan& scan :
       {ScanDemo(bytes.data(), bytes.size()), LiteralScanDemo(bytes.data(), bytes.size())}) {
    EXPECT_STREQ(scan.width, c.width) << c.why;
    EXPECT_STREQ(scan.height, c.height) << c.why;
    EXPECT_EQ(scan.isHltv, c.hltv) << c.why;
  }
}

INSTANTIATE_TEST_SUITE_P(Buffers, ScanCases, testing::ValuesIn(kCases));

TEST(DetectResolution, OverwritesWhatTheScanHeldBefore) {
  std::vector<uint8_t> bytes = Hex("33 33 33 33 33 33 33 33");
  DemoScan scan = {"1280", "960", true};
  DetectResolution(bytes.data(), bytes.size(), &scan);
  EXPECT_STREQ(scan.width, "*");
  EXPECT_STREQ(scan.height, "*");
}

TEST(DetectHltv, LooksOnlyAfterNothingOr1024) {
  std::vector<uint8_t> bytes = Hex("00 08 48 4C 54 56 55");
  DemoScan found800 = {"800", "600", false};
  DetectHltv(bytes.data(), bytes.size(), &found800);
  EXPECT_FALSE(found800.isHltv);
  EXPECT_STREQ(found800.width, "800");
  DemoScan found1024 = {"1024", "768", false};
  DetectHltv(bytes.data(), bytes.size(), &found1024);
  EXPECT_TRUE(found1024.isHltv);
}

}  // namespace
