#include "demo/signature_scan.h"

#include <cstdio>
#include <cstring>

const ResolutionMode kResolutionModes[8] = {
    {{0x00, 0x05, 0x00, 0x00, 0xC0, 0x03}, "1280", "960"},
    {{0x80, 0x04, 0x00, 0x00, 0x60, 0x03}, "1152", "864"},
    {{0x00, 0x04, 0x00, 0x00, 0x00, 0x03}, "1024", "768"},
    {{0x20, 0x03, 0x00, 0x00, 0x58, 0x02}, "800", "600"},
    {{0x80, 0x02, 0x00, 0x00, 0xE0, 0x01}, "640", "480"},
    {{0x00, 0x02, 0x00, 0x00, 0x80, 0x01}, "512", "384"},
    {{0xE0, 0x01, 0x00, 0x00, 0x68, 0x01}, "480", "360"},
    {{0x90, 0x01, 0x00, 0x00, 0x2C, 0x01}, "400", "300"},
};

const uint8_t kHltvSignature[kSignatureSize] = {0x00, 0x08, 'H', 'L', 'T', 'V'};

namespace {

constexpr int kNoMode = -1;
constexpr size_t kNotFound = SIZE_MAX;

// The tests before the one that completes each stop at a differing byte after
// at most five matching ones, so a completed signature starts at most this far
// beyond its attempt's start.
constexpr size_t kMaxCursorAdvance = 7 * (kSignatureSize - 1);

// One attempt: the eight tests in table order, each going on from where the
// previous one stopped.
int Attempt(const uint8_t* bytes, size_t size, size_t start) {
  size_t cursor = start;
  for (int mode = 0; mode < 8; ++mode) {
    const uint8_t* signature = kResolutionModes[mode].signature;
    size_t matched = 0;
    while (matched < kSignatureSize && cursor < size && bytes[cursor] == signature[matched]) {
      ++cursor;
      ++matched;
    }
    if (matched == kSignatureSize) return mode;
  }
  return kNoMode;
}

bool IsResolutionSignatureAt(const uint8_t* at) {
  for (const ResolutionMode& mode : kResolutionModes) {
    if (memcmp(at, mode.signature, kSignatureSize) == 0) return true;
  }
  return false;
}

typedef uint8_t Lanes __attribute__((vector_size(16)));
constexpr size_t kLaneCount = sizeof(Lanes);

Lanes LoadLanes(const uint8_t* at) {
  Lanes lanes;
  memcpy(&lanes, at, sizeof lanes);
  return lanes;
}

// First position at or after from where a whole signature stands, or
// kNotFound. Sixteen positions at a time are sieved by what every signature
// shares (the width's high bytes are zero, its second byte 01-05, the
// height's second byte 01-03); the few that pass are compared in full.
size_t FindResolutionSignature(const uint8_t* bytes, size_t size, size_t from) {
  if (size < kSignatureSize) return kNotFound;
  size_t lastStart = size - kSignatureSize;
  size_t at = from;
  while (at + kLaneCount + kSignatureSize - 1 <= size) {
    Lanes widthLow = LoadLanes(bytes + at + 1);
    Lanes widthHigh1 = LoadLanes(bytes + at + 2);
    Lanes widthHigh2 = LoadLanes(bytes + at + 3);
    Lanes heightLow = LoadLanes(bytes + at + 5);
    auto sieve = (widthHigh1 == 0) & (widthHigh2 == 0) & ((widthLow - 1) < 5) &
                 ((heightLow - 1) < 3);
    uint64_t halves[2];
    memcpy(halves, &sieve, sizeof halves);
    if ((halves[0] | halves[1]) != 0) {
      for (size_t lane = 0; lane < kLaneCount; ++lane) {
        if (sieve[lane] && IsResolutionSignatureAt(bytes + at + lane)) return at + lane;
      }
    }
    at += kLaneCount;
  }
  for (; at <= lastStart; ++at) {
    if (IsResolutionSignatureAt(bytes + at)) return at;
  }
  return kNotFound;
}

void SetResolution(DemoScan* scan, const char* width, const char* height) {
  snprintf(scan->width, sizeof scan->width, "%s", width);
  snprintf(scan->height, sizeof scan->height, "%s", height);
}

}  // namespace

// Only an attempt that has a whole signature within kMaxCursorAdvance of its
// start can complete, so the attempts are made only in front of the signatures
// found, in ascending order and each once: the first to complete is the one
// that a pass over every start position would have found.
void DetectResolution(const uint8_t* bytes, size_t size, DemoScan* scan) {
  SetResolution(scan, "*", "*");
  if (size <= kSignatureSize) return;
  size_t lastAttempt = size - kSignatureSize - 1;
  size_t nextAttempt = 0;
  for (size_t found = FindResolutionSignature(bytes, size, 0); found != kNotFound;
       found = FindResolutionSignature(bytes, size, found + 1)) {
    size_t first = found > kMaxCursorAdvance ? found - kMaxCursorAdvance : 0;
    if (first < nextAttempt) first = nextAttempt;
    size_t last = found < lastAttempt ? found : lastAttempt;
    for (size_t start = first; start <= last; ++start) {
      int mode = Attempt(bytes, size, start);
      if (mode != kNoMode) {
        SetResolution(scan, kResolutionModes[mode].width, kResolutionModes[mode].height);
        return;
      }
    }
    if (last + 1 > nextAttempt) nextAttempt = last + 1;
  }
}

void DetectHltv(const uint8_t* bytes, size_t size, DemoScan* scan) {
  if (strcmp(scan->width, "1024") != 0 && strcmp(scan->width, "*") != 0) return;
  if (size <= kSignatureSize) return;
  // The marker may start at 0 .. size - 7, so its 'H' lies at 2 .. size - 5.
  const uint8_t* from = bytes + 2;
  const uint8_t* last = bytes + size - 5;
  while (from <= last) {
    const uint8_t* letter = static_cast<const uint8_t*>(memchr(from, 'H', last - from + 1));
    if (letter == nullptr) return;
    if (memcmp(letter - 2, kHltvSignature, kSignatureSize) == 0) {
      scan->isHltv = true;
      SetResolution(scan, "1024", "768");
      return;
    }
    from = letter + 1;
  }
}

DemoScan ScanDemo(const uint8_t* bytes, size_t size) {
  DemoScan scan = {};
  DetectResolution(bytes, size, &scan);
  DetectHltv(bytes, size, &scan);
  return scan;
}
