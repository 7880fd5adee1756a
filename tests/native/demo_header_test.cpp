#include <gtest/gtest.h>

#include <string>

#include "demo/demo_header.h"
#include "tests/native/test_bytes.h"

namespace {

std::vector<uint8_t> HeaderBytes(const std::string& type, uint32_t demoProtocol,
                                 uint32_t networkProtocol, const std::string& map,
                                 const std::string& mod) {
  std::vector<uint8_t> bytes(544, 0);
  PutText(bytes, 0, type);
  PutLe32(bytes, 8, demoProtocol);
  PutLe32(bytes, 12, networkProtocol);
  PutText(bytes, 16, map);
  PutText(bytes, 276, mod);
  return bytes;
}

TEST(ReadDemoHeader, TakesTheFieldsAtTheirOffsets) {
  std::vector<uint8_t> bytes = HeaderBytes("HLDEMO", 5, 48, "de_dust2", "cstrike");
  DemoHeader header = ReadDemoHeader(bytes.data(), bytes.size());
  EXPECT_STREQ(header.demoType, "HLDEMO");
  EXPECT_EQ(header.demoProtocol, 5);
  EXPECT_EQ(header.networkProtocol, 48);
  EXPECT_STREQ(header.mapName, "de_dust2");
  EXPECT_STREQ(header.gameDirectory, "cstrike");
}

TEST(ReadDemoHeader, FieldsWithoutANulFillTheirWidth) {
  std::vector<uint8_t> bytes(900, 'A');
  for (size_t i = 276; i < 900; ++i) bytes[i] = 'G';
  DemoHeader header = ReadDemoHeader(bytes.data(), bytes.size());
  EXPECT_EQ(std::string(header.demoType), std::string(8, 'A'));
  EXPECT_EQ(std::string(header.mapName), std::string(260, 'A'));
  // The game directory field is 264 bytes wide, through offset 539.
  EXPECT_EQ(std::string(header.gameDirectory), std::string(264, 'G'));
}

TEST(ReadDemoHeader, OnlyTheLowByteOfEachProtocolCounts) {
  std::vector<uint8_t> bytes = HeaderBytes("HLDEMO", 0xFFFFFFC8u, 301, "", "");
  DemoHeader header = ReadDemoHeader(bytes.data(), bytes.size());
  EXPECT_EQ(header.demoProtocol, -56);
  EXPECT_EQ(header.networkProtocol, 45);
}

TEST(ReadDemoHeader, BytesAbove0x7FAreKeptAsTheyAre) {
  std::vector<uint8_t> bytes = HeaderBytes("\xC9\xFF", 5, 48, "d\xE9j\xE0", "m\xF6" "d");
  DemoHeader header = ReadDemoHeader(bytes.data(), bytes.size());
  EXPECT_STREQ(header.demoType, "\xC9\xFF");
  EXPECT_STREQ(header.mapName, "d\xE9j\xE0");
  EXPECT_STREQ(header.gameDirectory, "m\xF6" "d");
}

struct ShortFile {
  size_t size;
  const char* type;
  int demoProtocol;
  int networkProtocol;
  const char* map;
  const char* mod;
};

// A file "HLDEMO\0\0", protocol 5, network 45, map "abc", mod "xyz" cut after
// size bytes: the missing bytes read as zeros.
const ShortFile kShortFiles[] = {
    {1, "H", 0, 0, "", ""},
    {8, "HLDEMO", 0, 0, "", ""},
    {9, "HLDEMO", 5, 0, "", ""},
    {12, "HLDEMO", 5, 0, "", ""},
    {13, "HLDEMO", 5, 45, "", ""},
    {18, "HLDEMO", 5, 45, "ab", ""},
    {277, "HLDEMO", 5, 45, "abc", "x"},
    {539, "HLDEMO", 5, 45, "abc", "xyz"},
};

TEST(ReadDemoHeader, ShortFilesReadAsZerosBeyondTheirEnd) {
  std::vector<uint8_t> whole = HeaderBytes("HLDEMO", 5, 45, "abc", "xyz");
  for (const ShortFile& c : kShortFiles) {
    // Copied into a buffer of exactly the size, so a read past it is caught
    // by the sanitizers.
    std::vector<uint8_t> bytes(whole.begin(), whole.begin() + static_cast<long>(c.size));
    DemoHeader header = ReadDemoHeader(bytes.data(), bytes.size());
    EXPECT_STREQ(header.demoType, c.type) << c.size;
    EXPECT_EQ(header.demoProtocol, c.demoProtocol) << c.size;
    EXPECT_EQ(header.networkProtocol, c.networkProtocol) << c.size;
    EXPECT_STREQ(header.mapName, c.map) << c.size;
    EXPECT_STREQ(header.gameDirectory, c.mod) << c.size;
  }
}

TEST(FormatProtocolVersion, SignedDecimal) {
  const std::pair<int8_t, const char*> cases[] = {
      {0, "0"}, {5, "5"}, {45, "45"}, {127, "127"}, {-56, "-56"}, {-128, "-128"}};
  for (auto [protocol, text] : cases) {
    char version[kVersionTextSize];
    FormatProtocolVersion(protocol, version);
    EXPECT_STREQ(version, text);
  }
}

TEST(LookUpRelease, WholeTextsOnly) {
  const std::pair<const char*, const char*> cases[] = {
      {"45", "1.1.0.8"}, {"44", "1.1.0.6"}, {"43", "1.1.0.4"}, {"42", "1.1.0.1"},
      {"41", "1.0.1.6"}, {"40", "1.0.1.3"}, {"39", "1.0.1.0"}, {"38", "1.0.0.9"},
      {"37", "1.0.0.8"}, {"46", "N/A"},     {"36", "N/A"},     {"48", "N/A"},
      {"4", "N/A"},      {"045", "N/A"},    {"45 ", "N/A"},    {"", "N/A"},
      {"-45", "N/A"},
  };
  for (auto [network, release] : cases) EXPECT_STREQ(LookUpRelease(network), release) << network;
}

}  // namespace
