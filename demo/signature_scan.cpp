#include "demo/signature_scan.h"

#include <cstdio>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#endif

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

// What every resolution signature shares: the width's low byte has a zero low
// nibble, its second byte is 01-05, its high bytes are zero; the height's low
// byte has its two low bits zero, its second byte is 01-03. Or what the marker
// has at the same places: 08, "HL" and "V". Needs the six bytes from at.
bool PassesSieve(const uint8_t* at) {
  return (at[2] == 0 && at[3] == 0 && (at[0] & 0x0F) == 0 && (at[4] & 0x03) == 0 &&
          static_cast<uint8_t>(at[1] - 1) < 5 && static_cast<uint8_t>(at[5] - 1) < 3) ||
         (at[1] == 0x08 && at[2] == 'H' && at[3] == 'L' && at[5] == 'V');
}

// The tests on the second and the sixth byte alone, for as many positions at
// once as Path::Lanes holds, from at on: zero in the lanes of the positions
// that pass them. Few do, even in runs of zero bytes, so the rest of the sieve
// is seldom needed.
template <typename Path>
inline void Glance(const uint8_t* at, typename Path::Lanes* passing) {
  constexpr size_t kLanes = sizeof(typename Path::Lanes);
  typename Path::Lanes byte1, byte5;
  memcpy(&byte1, at + 1, kLanes);
  memcpy(&byte5, at + 5, kLanes);
  typename Path::Lanes widthAbove = byte1 - 1, heightAbove = byte5 - 1;
  Path::SubtractUpTo(&widthAbove, 4);
  Path::SubtractUpTo(&heightAbove, 2);
  const auto resolution = widthAbove | heightAbove;
  const auto marker = (byte1 ^ 0x08) | (byte5 ^ 'V');
  *passing = resolution < marker ? resolution : marker;
}

// PassesSieve for as many positions at once as Path::Lanes holds, from at on:
// each test gives zero in the lanes of the positions where it holds, so that
// the tests combine with a bitwise or and the positions that pass are the
// zero lanes of sieved.
template <typename Path>
inline void Sieve(const uint8_t* at, typename Path::Lanes* sieved) {
  constexpr size_t kLanes = sizeof(typename Path::Lanes);
  typename Path::Lanes byte0, byte1, byte2, byte3, byte4, byte5;
  memcpy(&byte0, at, kLanes);
  memcpy(&byte1, at + 1, kLanes);
  memcpy(&byte2, at + 2, kLanes);
  memcpy(&byte3, at + 3, kLanes);
  memcpy(&byte4, at + 4, kLanes);
  memcpy(&byte5, at + 5, kLanes);
  typename Path::Lanes widthAbove = byte1 - 1, heightAbove = byte5 - 1;
  Path::SubtractUpTo(&widthAbove, 4);
  Path::SubtractUpTo(&heightAbove, 2);
  const auto resolution =
      byte2 | byte3 | (byte0 & 0x0F) | (byte4 & 0x03) | widthAbove | heightAbove;
  const auto marker = (byte1 ^ 0x08) | (byte2 ^ 'H') | (byte3 ^ 'L') | (byte5 ^ 'V');
  *sieved = resolution < marker ? resolution : marker;
}

// Whether any lane of the Path::kBlocks blocks is zero.
template <typename Path>
inline bool AnyZeroLane(const typename Path::Lanes* blocks) {
  typename Path::Lanes all = blocks[0];
  for (size_t block = 1; block < Path::kBlocks; ++block) {
    all = all < blocks[block] ? all : blocks[block];
  }
  return Path::ZeroLanes(&all) != 0;
}

// The first position at or after from that passes the sieve, or kNotFound.
// Path::kBlocks blocks of lanes at a time, first at a glance, then, where a
// position passes that, through the whole sieve; the last positions one at a
// time.
template <typename Path>
inline size_t FindPassing(const uint8_t* bytes, size_t size, size_t from) {
  constexpr size_t kLanes = sizeof(typename Path::Lanes);
  constexpr size_t kStride = Path::kBlocks * kLanes;
  size_t at = from;
  for (; at + kStride + kSignatureSize - 1 <= size; at += kStride) {
    typename Path::Lanes blocks[Path::kBlocks];
    for (size_t block = 0; block < Path::kBlocks; ++block) {
      Glance<Path>(bytes + at + block * kLanes, &blocks[block]);
    }
    if (!AnyZeroLane<Path>(blocks)) continue;
    for (size_t block = 0; block < Path::kBlocks; ++block) {
      Sieve<Path>(bytes + at + block * kLanes, &blocks[block]);
    }
    if (!AnyZeroLane<Path>(blocks)) continue;
    for (size_t block = 0;; ++block) {
      if (uint32_t passing = Path::ZeroLanes(&blocks[block])) {
        return at + block * kLanes + static_cast<size_t>(__builtin_ctz(passing));
      }
    }
  }
  for (; at + kSignatureSize <= size; ++at) {
    if (PassesSieve(bytes + at)) return at;
  }
  return kNotFound;
}

typedef uint8_t Lanes16 __attribute__((vector_size(16)));

// Without a target of its own: on an x86 processor without SSE2 the compiler
// splits the vectors into what the processor has.
struct PlainPath {
  typedef Lanes16 Lanes;
  static constexpr size_t kBlocks = 2;
  // x - limit where x is above limit, else zero.
  static void SubtractUpTo(Lanes* x, uint8_t limit) { *x -= *x < limit ? *x : limit; }
  // The lanes' high bits gathered by a multiplication, eight lanes a word.
  static uint32_t ZeroLanes(const Lanes* x) {
    const auto zero = *x == 0;
    uint64_t words[2];
    memcpy(words, &zero, sizeof words);
    if ((words[0] | words[1]) == 0) return 0;
    uint32_t lanes = 0;
    for (size_t i = 0; i < 2; ++i) {
      const uint64_t highBits = words[i] & 0x8080808080808080u;
      lanes |= static_cast<uint32_t>((highBits * 0x0002040810204081u) >> 56) << (8 * i);
    }
    return lanes;
  }
};

__attribute__((flatten)) size_t FindPassingPlain(const uint8_t* bytes, size_t size, size_t from) {
  return FindPassing<PlainPath>(bytes, size, from);
}

#if defined(__i386__) || defined(__x86_64__)
typedef uint8_t Lanes32 __attribute__((vector_size(32)));

// Two blocks of sixteen lanes at a time, one at a time of thirty-two: each
// measured the faster.
struct Sse2Path {
  typedef Lanes16 Lanes;
  static constexpr size_t kBlocks = 2;
  __attribute__((target("sse2"))) static void SubtractUpTo(Lanes* x, uint8_t limit) {
    *x = reinterpret_cast<Lanes>(
        _mm_subs_epu8(reinterpret_cast<__m128i>(*x), _mm_set1_epi8(static_cast<char>(limit))));
  }
  __attribute__((target("sse2"))) static uint32_t ZeroLanes(const Lanes* x) {
    return static_cast<uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(reinterpret_cast<__m128i>(*x), _mm_setzero_si128())));
  }
};

struct Avx2Path {
  typedef Lanes32 Lanes;
  static constexpr size_t kBlocks = 1;
  __attribute__((target("avx2"))) static void SubtractUpTo(Lanes* x, uint8_t limit) {
    *x = reinterpret_cast<Lanes>(_mm256_subs_epu8(reinterpret_cast<__m256i>(*x),
                                                  _mm256_set1_epi8(static_cast<char>(limit))));
  }
  __attribute__((target("avx2"))) static uint32_t ZeroLanes(const Lanes* x) {
    return static_cast<uint32_t>(_mm256_movemask_epi8(
        _mm256_cmpeq_epi8(reinterpret_cast<__m256i>(*x), _mm256_setzero_si256())));
  }
};

// Flattened, so that the path's instructions reach every step.
__attribute__((target("sse2"), flatten)) size_t FindPassingSse2(const uint8_t* bytes, size_t size,
                                                                size_t from) {
  return FindPassing<Sse2Path>(bytes, size, from);
}

__attribute__((target("avx2"), flatten)) size_t FindPassingAvx2(const uint8_t* bytes, size_t size,
                                                                size_t from) {
  return FindPassing<Avx2Path>(bytes, size, from);
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
