// A demo's structure past its header: the directory as stored, the walk of
// the frames of each of its segments, and for a recording without a sound
// directory the walk from the header's end through its loading and playback
// parts. Only frame headers and lengths are read, never message bodies.
// Portable: no platform headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kDemoHeaderSize = 544;
constexpr size_t kDirectoryEntrySize = 92;
constexpr int32_t kMostDirectoryEntries = 1024;
constexpr size_t kSegmentDescriptionSize = 64;

// One directory entry, as stored.
struct DemoSegment {
  int32_t type;  // 0 loading, 1 playback
  char description[kSegmentDescriptionSize + 1];
  int32_t flags;
  int32_t cdTrack;
  float time;
  int32_t frames;
  uint32_t offset;
  uint32_t length;
};

// Where the frames of a recording lie when walked from the header's end: the
// loading part runs from kDemoHeaderSize to loadingEnd, the playback part from
// there to playbackEnd, both of whole, sound frames only.
struct RecordingParts {
  uint64_t loadingEnd = 0;      // 0 when the loading part never ended
  uint64_t playbackEnd = 0;     // loadingEnd when no playback frame is whole
  bool playbackClosed = false;  // its last frame is a next-section frame
  float lastTime = 0.0f;        // of the last whole playback frame
  int32_t lastFrameNumber = 0;
  int64_t playbackMessages = 0;  // network-message frames of type 1
};

struct DemoStructure {
  uint64_t fileSize = 0;
  int32_t demoProtocol = 0;
  bool knownProtocol = false;  // 4 or 5; otherwise no frames are walked
  uint32_t mapCrc = 0;
  uint32_t directoryOffset = 0;
  std::vector<DemoSegment> segments;  // empty unless the directory is sound
  bool intact = false;
  // Over the segments other than loading ones when intact, else the playback
  // part; only known protocols have them.
  double duration = 0.0;
  int64_t frames = 0;
  bool hasViewport = false;
  int32_t viewportWidth = 0;
  int32_t viewportHeight = 0;
  std::vector<std::string> problems;  // empty exactly when intact
  RecordingParts parts;               // walked whenever the protocol is known
};

// Fills into with size bytes of the demo from offset on and gives how many
// there were; fewer only at its end.
using ReadDemoAt = size_t (*)(void* source, uint64_t offset, uint8_t* into, size_t size);

// How far a frame's fixed part reaches beyond its start: a network message of
// demo protocol 5 up to its message length. A walker waiting in a window keeps
// no more than this.
constexpr size_t kWalkLookAhead = 9 + 436 + 28 + 4;

// What a walker has seen of the frames it walked.
struct WalkedFrames {
  int lastType = -1;  // none yet
  float lastTime = 0.0f;
  int32_t lastNumber = 0;
  int64_t messages = 0;  // network-message frames of type 1
  uint64_t count = 0;
  bool hasViewport = false;
  int32_t viewportWidth = 0, viewportHeight = 0;
};

// The walk from the header's end through the loading and the playback part.
// Segment walks that stand where it stands follow it instead of reading the
// same frames again, as long as its frames end before theirs.
struct PartsWalk {
  enum Phase { kLoading, kLoadingClosed, kPlayback, kDone };
  uint64_t at = kDemoHeaderSize;
  Phase phase = kLoading;
  RecordingParts parts;
  WalkedFrames seen;  // since byte 544
  std::string problem;
  uint64_t nextJoin = UINT64_MAX;   // the nearest offset of a segment still waiting
  uint64_t nextLeave = UINT64_MAX;  // the nearest end of a following segment
  size_t wantViewport = 0;          // following segments without a viewport
};

// The walk of one segment from its offset to its stated end.
struct SegmentWalk {
  enum State { kWaiting, kFollowing, kWalking, kDone };
  State state = kWaiting;
  uint64_t at = 0, end = 0;
  WalkedFrames seen;
  WalkedFrames joinedAt;  // the parts walk's, when it began to follow it
  std::string problem;
};

// The walk of a demo whose bytes a reader passes in windows, in order. The
// header and the directory are read first through readAt; each window then
// advances every walk as far as the frames it holds allow.
struct DemoWalk {
  uint64_t size = 0;
  DemoStructure found;  // header and directory, with their problems
  std::vector<SegmentWalk> segments;
  PartsWalk parts;
};

// Reads the header and the directory of a demo of size bytes.
void StartDemoWalk(DemoWalk* walk, uint64_t size, ReadDemoAt readAt, void* source);

// window holds size bytes of the demo from offset on, which must not lie past
// the offset the previous call returned. Returns the offset from which the
// next window must hold the demo's bytes (at most offset + size).
uint64_t WalkPiece(DemoWalk* walk, const uint8_t* window, size_t size, uint64_t offset);

// The structure, once every window has been walked.
DemoStructure DemoWalkResult(const DemoWalk& walk);

// The size of a frame of the demo protocol, of which have bytes are at bytes:
// 0 when they show that it is not sound, more than have when they are too few
// to tell it whole.
uint64_t FrameSize(int32_t protocol, const uint8_t* bytes, size_t have);

// A demo held whole in memory, for ReadFromDemoBuffer, a ReadDemoAt.
struct DemoBuffer {
  const uint8_t* bytes;
  size_t size;
};
size_t ReadFromDemoBuffer(void* source, uint64_t offset, uint8_t* into, size_t size);

// The whole walk over a demo held whole in memory.
DemoStructure ReadDemoStructure(const uint8_t* bytes, size_t size);
