// The program's scans, over the whole buffer and window by window as a reader
// of pieces holds it, against the literal reference on many buffers: random
// ones, ones built from pieces of the signatures (where the shared cursor and
// the skipping matter), written demos, and the players' recordings. Each on
// every sieve path that this processor runs.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "demo/signature_scan.h"
#include "tests/reference/literal_scan.h"
#include "tools/demo_writer.h"

namespace {

// As a reader that holds capacity bytes at most: each window is a buffer of
// its own, so that a read past it is a read past a buffer.
DemoScan ScanInWindows(const std::vector<uint8_t>& bytes, size_t capacity) {
  PieceScan scan;
  for (uint64_t offset = 0;;) {
    const size_t end = std::min<size_t>(offset + capacity, bytes.size());
    const std::vector<uint8_t> window(bytes.begin() + static_cast<long>(offset),
                                      bytes.begin() + static_cast<long>(end));
    const bool atEnd = end == bytes.size();
    const uint64_t keepFrom = ScanPiece(&scan, window.data(), window.size(), offset, atEnd);
    if (atEnd) break;
    offset = keepFrom;
  }
  return PieceScanResult(scan);
}

bool operator==(const DemoScan& a, const DemoScan& b) {
  return std::string(a.width) == b.width && std::string(a.height) == b.height &&
         a.isHltv == b.isHltv;
}

::testing::AssertionResult SameScan(const std::vector<uint8_t>& bytes) {
  DemoScan fast = ScanDemo(bytes.data(), bytes.size());
  DemoScan literal = LiteralScanDemo(bytes.data(), bytes.size());
  // The smallest windows that make progress, and larger ones, at seams that
  // move with the size.
  const size_t capacity = 2 * kScanLookAhead - kSignatureSize + 1 + bytes.size() % 97;
  DemoScan windowed = ScanInWindows(bytes, capacity);
  if (fast == literal && windowed == literal) return ::testing::AssertionSuccess();
  std::string hex;
  for (size_t i = 0; i < bytes.size() && i < 96; ++i) {
    char byte[4];
    snprintf(byte, sizeof byte, "%02X ", bytes[i]);
    hex += byte;
  }
  return ::testing::AssertionFailure()
         << "fast " << fast.width << "x" << fast.height << (fast.isHltv ? " HLTV" : "")
         << ", in windows of " << capacity << " " << windowed.width << "x" << windowed.height
         << (windowed.isHltv ? " HLTV" : "") << ", literal " << literal.width << "x"
         << literal.height << (literal.isHltv ? " HLTV" : "") << ", " << bytes.size()
         << " bytes: " << hex;
}

// Pieces from which the structured buffers are made: whole signatures, their
// beginnings, the marker, zero runs and bytes that start no signature.
std::vector<std::vector<uint8_t>> Pieces() {
  std::vector<std::vector<uint8_t>> pieces;
  for (const ResolutionMode& mode : kResolutionModes) {
    for (size_t length = 1; length <= kSignatureSize; ++length) {
      pieces.emplace_back(mode.signature, mode.signature + length);
    }
  }
  for (size_t length = 1; length <= kSignatureSize; ++length) {
    pieces.emplace_back(kHltvSignature, kHltvSignature + length);
  }
  for (size_t zeros = 1; zeros <= 9; ++zeros) pieces.emplace_back(zeros, 0);
  for (uint8_t byte : {0x01, 0x02, 0x03, 0x04, 0x05, 0x33, 0x55, 0x80, 0x20, 0xE0, 0x90, 0xFF}) {
    pieces.push_back({byte});
  }
  return pieces;
}

class ScanDifferential : public testing::TestWithParam<SievePath> {
 protected:
  void SetUp() override {
    if (!UseSievePath(GetParam())) GTEST_SKIP() << "this processor does not run the path";
  }
  void TearDown() override { UseSievePath(WidestSievePath()); }
};

std::string PathName(const testing::TestParamInfo<SievePath>& path) {
  const char* names[] = {"Plain", "Sse2", "Avx2"};
  return names[static_cast<int>(path.param)];
}

INSTANTIATE_TEST_SUITE_P(Sieve, ScanDifferential,
                         testing::Values(SievePath::kPlain, SievePath::kSse2, SievePath::kAvx2),
                         PathName);

TEST_P(ScanDifferential, StructuredBuffers) {
  const std::vector<std::vector<uint8_t>> pieces = Pieces();
  std::mt19937 random(20261207);
  for (int round = 0; round < 200000; ++round) {
    std::vector<uint8_t> bytes;
    // Every other one long enough to be scanned in several windows.
    const size_t pieceCount = random() % (round % 2 == 0 ? 12 : 80);
    for (size_t i = 0; i < pieceCount; ++i) {
      const std::vector<uint8_t>& piece = pieces[random() % pieces.size()];
      bytes.insert(bytes.end(), piece.begin(), piece.end());
    }
    ASSERT_TRUE(SameScan(bytes)) << "round " << round;
  }
}

TEST_P(ScanDifferential, CursorChainsAcrossWindowSeams) {
  // One attempt's tests in a row: beginnings of signatures in table order, the
  // last whole, so that an attempt far before a signature is the one that
  // completes it; placed anywhere, also across the seams of the windows.
  std::mt19937 random(41);
  for (int round = 0; round < 200000; ++round) {
    std::vector<uint8_t> bytes(100 + random() % 300, static_cast<uint8_t>(random() % 2 ? 0xFF : 0));
    for (int chains = 1 + random() % 3; chains > 0; --chains) {
      // Long ones take every mode with four or five bytes, so that the attempt
      // that completes the last starts as far before it as any can.
      const bool longest = random() % 2 == 0;
      std::vector<uint8_t> chain;
      for (size_t mode = longest ? 0 : random() % 4; mode < 8;
           mode += longest ? 1 : 1 + random() % 2) {
        const uint8_t* signature = kResolutionModes[mode].signature;
        const bool last = mode == 7 || (!longest && (mode >= 6 || random() % 4 == 0));
        const size_t length = last ? kSignatureSize : longest ? 4 + random() % 2 : 1 + random() % 5;
        chain.insert(chain.end(), signature, signature + length);
        if (last) break;
      }
      if (random() % 3 == 0)
        chain.insert(chain.end(), kHltvSignature, kHltvSignature + kSignatureSize);
      const size_t at = random() % (bytes.size() - chain.size());
      std::copy(chain.begin(), chain.end(), bytes.begin() + static_cast<long>(at));
    }
    ASSERT_TRUE(SameScan(bytes)) << "round " << round;
  }
}

TEST_P(ScanDifferential, RandomBuffersOverASmallAlphabet) {
  // Bytes drawn from those that occur in the signatures, so that near-misses
  // and overlaps are frequent.
  const uint8_t alphabet[] = {0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x08, 0x20, 0x2C,
                              0x48, 0x4C, 0x54, 0x56, 0x58, 0x60, 0x68, 0x80, 0x90, 0xC0, 0xE0};
  std::mt19937 random(7);
  for (int round = 0; round < 100000; ++round) {
    std::vector<uint8_t> bytes(random() % 80);
    for (uint8_t& byte : bytes) byte = alphabet[random() % sizeof alphabet];
    ASSERT_TRUE(SameScan(bytes)) << "round " << round;
  }
}

TEST_P(ScanDifferential, LongBuffersWithSignaturesPlantedLate) {
  // Long enough for the sixteen-byte sieve, with a signature near every place
  // where the sieve's blocks meet and near the end.
  std::mt19937 random(11);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> bytes(64 + random() % 400);
    for (uint8_t& byte : bytes) byte = (random() % 3 == 0) ? static_cast<uint8_t>(random()) : 0;
    const ResolutionMode& mode = kResolutionModes[random() % 8];
    size_t at = random() % (bytes.size() - 5);
    std::copy(mode.signature, mode.signature + kSignatureSize, bytes.begin() + at);
    if (random() % 4 == 0) {
      size_t markerAt = random() % (bytes.size() - 5);
      std::copy(kHltvSignature, kHltvSignature + kSignatureSize, bytes.begin() + markerAt);
    }
    ASSERT_TRUE(SameScan(bytes)) << "round " << round;
  }
}

TEST_P(ScanDifferential, WrittenDemos) {
  const std::pair<int, int> resolutions[] = {{1280, 960}, {1024, 768},  {800, 600},   {640, 480},
                                             {400, 300},  {1440, 1080}, {1920, 1080}, {0, 0}};
  uint32_t seed = 1;
  for (auto [width, height] : resolutions) {
    for (bool hltv : {false, true}) {
      DemoRecipe recipe;
      recipe.viewportWidth = width;
      recipe.viewportHeight = height;
      recipe.hltv = hltv;
      recipe.playbackFrames = 300;
      recipe.seed = seed++;
      EXPECT_TRUE(SameScan(WriteDemo(recipe))) << width << "x" << height;
    }
  }
}

TEST_P(ScanDifferential, RealRecordingsAndEveryPrefixOfTheirEnds) {
  DIR* folder = opendir(QUENDRIX_CORPUS_DIR);
  if (folder == nullptr) GTEST_SKIP() << "no recordings at " << QUENDRIX_CORPUS_DIR;
  int files = 0;
  while (dirent* entry = readdir(folder)) {
    std::string name = entry->d_name;
    if (name.size() < 4 || name.substr(name.size() - 4) != ".dem") continue;
    FILE* file = fopen((std::string(QUENDRIX_CORPUS_DIR) + "/" + name).c_str(), "rb");
    ASSERT_NE(file, nullptr) << name;
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    for (size_t got; (got = fread(chunk, 1, sizeof chunk, file)) > 0;) {
      bytes.insert(bytes.end(), chunk, chunk + got);
    }
    fclose(file);
    EXPECT_TRUE(SameScan(bytes)) << name;
    // Cut short at many places, so that every part of the file is once the end.
    for (size_t cut = 1; cut < bytes.size(); cut += 1 + cut / 3) {
      std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<long>(cut));
      ASSERT_TRUE(SameScan(prefix)) << name << " cut at " << cut;
    }
    ++files;
  }
  closedir(folder);
  EXPECT_GT(files, 0);
}

}  // namespace
