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

constexpr int kNoMode = -1;   // as PieceScan::mode holds it while none is found
constexpr int kMode1024 = 2;  // its place in kResolutionModes

// The tests before the one that completes each stop at a differing byte after
// at most five matching ones, so a completed signature starts at most this far
// beyond its attempt's start.
constexpr size_t kMaxCursorAdvance = kScanLookAhead - kSignatureSize;

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

// One forward pass that looks for the resolution, the HLTV marker or both, so
// that a whole-file scan reads each byte once. Only an attempt that has a
// whole signature within kMaxCursorAdvance of its start can complete, so the
// attempts are made only in front of the signatures found, in ascending order
// and each once: the first to complete is the one that a pass over every start
// position would have found. The pass runs over windows of the demo: the whole
// of it, or pieces that its reader holds one after another.
struct Window {
  const uint8_t* bytes;  // the demo's bytes from offset on
  size_t size;
  uint64_t offset;
};

// A position that the sieve let through, with the bytes from kMaxCursorAdvance
// before it to kScanLookAhead after it in the window, or up to the demo's end.
void Examine(PieceScan* scan, const Window& window, size_t at) {
  const uint8_t* bytes = window.bytes;
  const size_t size = window.size;
  if (scan->wantResolution && IsResolutionSignatureAt(bytes + at)) {
    // Binds only in the window at the demo's end: elsewhere at is further
    // from the window's end.
    const size_t lastAttempt = size - kSignatureSize - 1;
    size_t start = at > kMaxCursorAdvance ? at - kMaxCursorAdvance : 0;
    if (window.offset + start < scan->nextAttempt) {
      start = static_cast<size_t>(scan->nextAttempt - window.offset);
    }
    const size_t last = at < lastAttempt ? at : lastAttempt;
    for (; start <= last; ++start) {
      int mode = Attempt(bytes, size, start);
      if (mode != kNoMode) {
        scan->mode = mode;
        scan->wantResolution = false;
        // Only 1024 x 768 can still become an HLTV demo.
        if (mode != kMode1024) scan->wantMarker = scan->markerFound = false;
        break;
      }
    }
    scan->nextAttempt = window.offset + last + 1;
  }
  // The marker counts only with at least one byte after it.
  if (scan->wantMarker && at + kSignatureSize < size &&
      memcmp(bytes + at, kHltvSignature, kSignatureSize) == 0) {
    scan->markerFound = true;
    scan->wantMarker = false;
  }
}

bool Wanted(const PieceScan& scan) {
  return scan.wantResolution || scan.wantMarker;
}

constexpr size_t kNotFound = SIZE_MAX;

// What every resolution signature shares (the width's high bytes are zero, its
// second byte 01-05, the height's second byte 01-03), or the marker's "HL".
// Needs the six bytes from at.
bool PassesSieve(const uint8_t* at) {
  return (at[2] == 0 && at[3] == 0 && static_cast<uint8_t>(at[1] - 1) < 5 &&
          static_cast<uint8_t>(at[5] - 1) < 3) ||
         (at[2] == 'H' && at[3] == 'L');
}

// The first position at or after from that passes the sieve, or kNotFound.
// Sieves as many positions at a time as Lanes holds; the few blocks that hold
// a passing position are looked at one position at a time.
template <typename Lanes>
__attribute__((always_inline)) inline size_t FindPassing(const uint8_t* bytes, size_t size,
                                                         size_t from) {
  constexpr size_t kLanes = sizeof(Lanes);
  size_t at = from;
  for (; at + kLanes + kSignatureSize - 1 <= size; at += kLanes) {
    Lanes widthLow, second, third, heightLow;
    memcpy(&widthLow, bytes + at + 1, kLanes);
    memcpy(&second, bytes + at + 2, kLanes);
    memcpy(&third, bytes + at + 3, kLanes);
    memcpy(&heightLow, bytes + at + 5, kLanes);
    const auto pass = (((second | third) == 0) & ((widthLow - 1) < 5) & ((heightLow - 1) < 3)) |
                      ((second == 'H') & (third == 'L'));
    uint64_t words[kLanes / sizeof(uint64_t)];
    memcpy(words, &pass, sizeof words);
    uint64_t any = 0;
    for (uint64_t word : words) any |= word;
    if (any != 0) break;
  }
  for (; at + kSignatureSize <= size; ++at) {
    if (PassesSieve(bytes + at)) return at;
  }
  return kNotFound;
}

typedef uint8_t Lanes16 __attribute__((vector_size(16)));

// Without a target of its own: on an x86 processor without SSE2 the compiler
// splits the vectors into what the processor has.
size_t FindPassingPlain(const uint8_t* bytes, size_t size, size_t from) {
  return FindPassing<Lanes16>(bytes, size, from);
}

#if defined(__i386__) || defined(__x86_64__)
typedef uint8_t Lanes32 __attribute__((vector_size(32)));

__attribute__((target("sse2"))) size_t FindPassingSse2(const uint8_t* bytes, size_t size,
                                                       size_t from) {
  return FindPassing<Lanes16>(bytes, size, from);
}

__attribute__((target("avx2"))) size_t FindPassingAvx2(const uint8_t* bytes, size_t size,
                                                       size_t from) {
  return FindPassing<Lanes32>(bytes, size, from);
}
#endif

bool ProcessorRuns(SievePath path) {
  switch (path) {
#if defined(__i386__) || defined(__x86_64__)
    case SievePath::kAvx2: return __builtin_cpu_supports("avx2");
    case SievePath::kSse2: return __builtin_cpu_supports("sse2");
#endif
    case SievePath::kPlain: return true;
    default: return false;
  }
}

SievePath& ChosenSievePath() {
  static SievePath path = WidestSievePath();
  return path;
}

// Examines the positions from .. until - 1 of the window that pass the sieve.
void Run(PieceScan* scan, const Window& window, size_t from, size_t until) {
  size_t (*next)(const uint8_t*, size_t, size_t) = FindPassingPlain;
#if defined(__i386__) || defined(__x86_64__)
  if (ChosenSievePath() == SievePath::kAvx2) next = FindPassingAvx2;
  if (ChosenSievePath() == SievePath::kSse2) next = FindPassingSse2;
#endif
  for (size_t at = next(window.bytes, window.size, from); at < until && Wanted(*scan);
       at = next(window.bytes, window.size, at + 1)) {
    Examine(scan, window, at);
  }
}

// The whole demo as one window.
void ScanWhole(PieceScan* scan, const uint8_t* bytes, size_t size) {
  if (size > kSignatureSize) Run(scan, {bytes, size, 0}, 0, size);
}

void SetResolution(DemoScan* scan, const char* width, const char* height) {
  snprintf(scan->width, sizeof scan->width, "%s", width);
  snprintf(scan->height, sizeof scan->height, "%s", height);
}

void SetFound(const PieceScan& found, DemoScan* scan) {
  if (found.mode != kNoMode) {
    SetResolution(scan, kResolutionModes[found.mode].width, kResolutionModes[found.mode].height);
  }
  if (found.markerFound) {
    scan->isHltv = true;
    SetResolution(scan, "1024", "768");
  }
}

}  // namespace

void DetectResolution(const uint8_t* bytes, size_t size, DemoScan* scan) {
  SetResolution(scan, "*", "*");
  PieceScan found;
  found.wantMarker = false;
  ScanWhole(&found, bytes, size);
  SetFound(found, scan);
}

void DetectHltv(const uint8_t* bytes, size_t size, DemoScan* scan) {
  if (strcmp(scan->width, "1024") != 0 && strcmp(scan->width, "*") != 0) return;
  PieceScan found;
  found.wantResolution = false;
  ScanWhole(&found, bytes, size);
  SetFound(found, scan);
}

// The two scans in one pass: a marker seen before the resolution is decided
// counts once the resolution turns out to be 1024 x 768 or none.
DemoScan ScanDemo(const uint8_t* bytes, size_t size) {
  PieceScan found;
  ScanWhole(&found, bytes, size);
  return PieceScanResult(found);
}

uint64_t ScanPiece(PieceScan* scan, const uint8_t* window, size_t size, uint64_t offset,
                   bool atEnd) {
  // Positions whose attempts could reach past the window wait for the next.
  const size_t until = atEnd ? size : size > kScanLookAhead ? size - kScanLookAhead : 0;
  const size_t from = static_cast<size_t>(scan->nextPosition - offset);
  if (Wanted(*scan) && until > from && size > kSignatureSize) {
    Run(scan, {window, size, offset}, from, until);
  }
  if (until > from) scan->nextPosition = offset + until;
  const uint64_t keepFrom =
      scan->nextPosition > kMaxCursorAdvance ? scan->nextPosition - kMaxCursorAdvance : 0;
  return keepFrom > offset ? keepFrom : offset;
}

SievePath WidestSievePath() {
  if (ProcessorRuns(SievePath::kAvx2)) return SievePath::kAvx2;
  if (ProcessorRuns(SievePath::kSse2)) return SievePath::kSse2;
  return SievePath::kPlain;
}

bool UseSievePath(SievePath path) {
  if (!ProcessorRuns(path)) return false;
  ChosenSievePath() = path;
  return true;
}

DemoScan PieceScanResult(const PieceScan& found) {
  DemoScan scan = {};
  SetResolution(&scan, "*", "*");
  SetFound(found, &scan);
  return scan;
}
