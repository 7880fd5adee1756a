#include "demo/demo_structure.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/little_endian.h"
#include "common/text_format.h"

namespace {

constexpr size_t kFrameHeaderSize = 9;  // type, time, host frame number
constexpr int32_t kLongestMessage = 65536;
constexpr int32_t kLongestSoundName = 260;
constexpr int32_t kLongestDemoBuffer = 65536;
constexpr size_t kSoundTailSize = 16;
// In a protocol 5 network message: the viewport's width and height, the last
// two of its four int32 at 212 in the client-state block.
constexpr size_t kViewportWidthAt = kFrameHeaderSize + 212 + 8;

enum class Body : uint8_t { kNone, kFixed, kMessage, kSound, kBuffer };

// The part of a frame whose size its type gives; a length field, when there is
// one, is its last four bytes.
struct FrameKind {
  Body body;
  uint16_t fixedSize;
};

constexpr FrameKind kProtocol5Frames[] = {
    {Body::kMessage, kWalkLookAhead},
    {Body::kMessage, kWalkLookAhead},
    {Body::kFixed, 9},
    {Body::kFixed, 9 + 64},
    {Body::kFixed, 9 + 32},
    {Body::kFixed, 9},
    {Body::kFixed, 9 + 84},
    {Body::kFixed, 9 + 8},
    {Body::kSound, 9 + 8},
    {Body::kBuffer, 9 + 4},
};
constexpr FrameKind kProtocol4Frames[] = {
    {Body::kMessage, 9 + 24 + 4},
    {Body::kMessage, 9 + 24 + 4},
    {Body::kFixed, 9},
    {Body::kFixed, 9 + 28},
    {Body::kFixed, 9},
    {Body::kFixed, 9 + 64},
    {Body::kFixed, 9 + 64},
    {Body::kBuffer, 9 + 4},
    {Body::kFixed, 9},
};

uint8_t NextSectionType(int32_t protocol) {
  return protocol == 4 ? 8 : 5;
}

FrameKind KindOf(int32_t protocol, uint8_t type) {
  if (protocol == 4) {
    return type < sizeof kProtocol4Frames / sizeof kProtocol4Frames[0] ? kProtocol4Frames[type]
                                                                       : FrameKind{Body::kNone, 0};
  }
  return type < sizeof kProtocol5Frames / sizeof kProtocol5Frames[0] ? kProtocol5Frames[type]
                                                                     : FrameKind{Body::kNone, 0};
}

struct Window {
  const uint8_t* bytes;
  uint64_t offset;  // of bytes[0] in the demo
  uint64_t end;     // offset + size
};

struct Frame {
  uint8_t type;
  float time;
  int32_t number;
  uint64_t end;
  bool hasViewport;
  int32_t viewportWidth, viewportHeight;
};

enum class Read { kFrame, kWait, kEnd, kUnknownType, kBadLength, kPastLimit };

// The size of a frame whose fixed part is at bytes, or 0 when its length is
// out of bounds (then bad receives it).
uint64_t SizeOf(FrameKind kind, const uint8_t* bytes, int64_t* bad) {
  if (kind.body == Body::kFixed) return kind.fixedSize;
  const int32_t length = LoadLeInt32(bytes + kind.fixedSize - 4);
  const int32_t longest = kind.body == Body::kMessage ? kLongestMessage
                          : kind.body == Body::kSound ? kLongestSoundName
                                                      : kLongestDemoBuffer;
  if (length < 0 || length > longest) {
    *bad = length;
    return 0;
  }
  return kind.fixedSize + static_cast<uint64_t>(length) +
         (kind.body == Body::kSound ? kSoundTailSize : 0);
}

// The frame at `at`, which must end by limit; kWait when the window does not
// hold what is needed of it yet. bad receives the offending value. The
// viewport is read only when wanted.
Read ReadFrame(const Window& window, uint64_t at, uint64_t limit, int32_t protocol,
               bool wantViewport, Frame* frame, int64_t* bad) {
  if (at >= limit) return Read::kEnd;
  if (at + kFrameHeaderSize > limit) return Read::kPastLimit;
  if (at + kFrameHeaderSize > window.end) return Read::kWait;
  const uint8_t* bytes = window.bytes + (at - window.offset);
  frame->type = bytes[0];
  const FrameKind kind = KindOf(protocol, frame->type);
  if (kind.body == Body::kNone) {
    *bad = frame->type;
    return Read::kUnknownType;
  }
  if (at + kind.fixedSize > limit) return Read::kPastLimit;
  if (at + kind.fixedSize > window.end) return Read::kWait;
  frame->time = LoadLeFloat(bytes + 1);
  frame->number = LoadLeInt32(bytes + 5);
  const uint64_t size = SizeOf(kind, bytes, bad);
  if (size == 0) return Read::kBadLength;
  frame->hasViewport = false;
  if (wantViewport && kind.body == Body::kMessage && protocol == 5) {
    frame->viewportWidth = LoadLeInt32(bytes + kViewportWidthAt);
    frame->viewportHeight = LoadLeInt32(bytes + kViewportWidthAt + 4);
    frame->hasViewport = frame->viewportWidth > 0 && frame->viewportHeight > 0;
  }
  frame->end = at + size;
  return frame->end > limit ? Read::kPastLimit : Read::kFrame;
}

// The sentence for a frame that is not sound, shared by both kinds of walk so
// that the same fault is told once.
std::string FrameProblem(Read read, uint64_t at, int64_t bad) {
  if (read == Read::kUnknownType) {
    return FormatText("A frame of unknown type %lld at byte %llu.", static_cast<long long>(bad),
                      static_cast<unsigned long long>(at));
  }
  return FormatText("A frame at byte %llu has an impossible length (%lld).",
                    static_cast<unsigned long long>(at), static_cast<long long>(bad));
}

void See(WalkedFrames* seen, const Frame& frame) {
  seen->lastType = frame.type;
  seen->lastTime = frame.time;
  seen->lastNumber = frame.number;
  seen->messages += frame.type == 1;
  ++seen->count;
  if (frame.hasViewport && !seen->hasViewport) {
    seen->hasViewport = true;
    seen->viewportWidth = frame.viewportWidth;
    seen->viewportHeight = frame.viewportHeight;
  }
}

// "Segment 2 (Playback)", or with a small letter within a sentence.
std::string SegmentName(size_t index, const DemoSegment& segment, bool first = true) {
  return FormatText("%s %u (%s)", first ? "Segment" : "segment", static_cast<unsigned>(index + 1),
                    segment.description);
}

void WalkSegment(SegmentWalk* walk, const Window& window, int32_t protocol, size_t index,
                 const DemoSegment& segment) {
  Frame frame = {};
  int64_t bad = 0;
  while (walk->state == SegmentWalk::kWalking) {
    const Read read =
        ReadFrame(window, walk->at, walk->end, protocol, !walk->seen.hasViewport, &frame, &bad);
    if (read == Read::kWait) return;
    if (read == Read::kFrame) {
      walk->at = frame.end;
      See(&walk->seen, frame);
      continue;
    }
    walk->state = SegmentWalk::kDone;
    if (read == Read::kEnd) {
      if (walk->seen.lastType != NextSectionType(protocol)) {
        walk->problem = SegmentName(index, segment) + " does not end with a next-section frame.";
      }
    } else if (read == Read::kPastLimit) {
      walk->problem = FormatText("A frame at byte %llu runs past the end of ",
                                 static_cast<unsigned long long>(walk->at)) +
                      SegmentName(index, segment, false) + ".";
    } else {
      walk->problem = FrameProblem(read, walk->at, bad);
    }
  }
}

// A following segment walks on alone from where the parts walk stands, with
// what the parts walk saw since it began to follow.
void WalkAlone(SegmentWalk* segment, const PartsWalk& parts) {
  const WalkedFrames& now = parts.seen;
  const WalkedFrames& then = segment->joinedAt;
  if (now.count > then.count) {
    segment->seen.lastType = now.lastType;
    segment->seen.lastTime = now.lastTime;
    segment->seen.lastNumber = now.lastNumber;
    segment->seen.messages += now.messages - then.messages;
    segment->seen.count += now.count - then.count;
  }
  segment->at = parts.at;
  segment->state = SegmentWalk::kWalking;
}

// The nearest offset of a waiting segment and end of a following one.
void FindNextEvents(DemoWalk* walk) {
  PartsWalk& parts = walk->parts;
  parts.nextJoin = parts.nextLeave = UINT64_MAX;
  for (const SegmentWalk& segment : walk->segments) {
    if (segment.state == SegmentWalk::kWaiting && segment.at < parts.nextJoin) {
      parts.nextJoin = segment.at;
    } else if (segment.state == SegmentWalk::kFollowing && segment.end < parts.nextLeave) {
      parts.nextLeave = segment.end;
    }
  }
}

// Segments waiting where the parts walk stands begin to follow it; those it
// stepped over walk alone from their offsets.
void JoinParts(DemoWalk* walk) {
  PartsWalk& parts = walk->parts;
  for (SegmentWalk& segment : walk->segments) {
    if (segment.state != SegmentWalk::kWaiting || segment.at > parts.at) continue;
    if (segment.at < parts.at) {
      segment.state = SegmentWalk::kWalking;
      continue;
    }
    segment.state = SegmentWalk::kFollowing;
    segment.joinedAt = parts.seen;
    parts.wantViewport += !segment.seen.hasViewport;
  }
  FindNextEvents(walk);
}

// Following segments that end by `end`, or all when the parts walk has
// stopped, walk alone from here; with it stopped, so do the waiting ones.
void LeaveParts(DemoWalk* walk, uint64_t end) {
  PartsWalk& parts = walk->parts;
  const bool stopped = parts.phase == PartsWalk::kDone;
  for (SegmentWalk& segment : walk->segments) {
    if (segment.state == SegmentWalk::kFollowing && (stopped || segment.end <= end)) {
      parts.wantViewport -= !segment.seen.hasViewport;
      WalkAlone(&segment, parts);
    } else if (segment.state == SegmentWalk::kWaiting && stopped) {
      segment.state = SegmentWalk::kWalking;
    }
  }
  FindNextEvents(walk);
}

void GiveViewport(DemoWalk* walk, const Frame& frame) {
  for (SegmentWalk& segment : walk->segments) {
    if (segment.state == SegmentWalk::kFollowing && !segment.seen.hasViewport) {
      segment.seen.hasViewport = true;
      segment.seen.viewportWidth = frame.viewportWidth;
      segment.seen.viewportHeight = frame.viewportHeight;
    }
  }
  walk->parts.wantViewport = 0;
}

void StopParts(DemoWalk* walk) {
  walk->parts.phase = PartsWalk::kDone;
  LeaveParts(walk, UINT64_MAX);
}

void WalkParts(DemoWalk* walk, const Window& window) {
  PartsWalk& parts = walk->parts;
  const int32_t protocol = walk->found.demoProtocol;
  const uint8_t nextSection = NextSectionType(protocol);
  Frame frame = {};
  int64_t bad = 0;
  while (parts.phase != PartsWalk::kDone) {
    if (parts.at >= parts.nextJoin) JoinParts(walk);
    const bool wantViewport = !parts.seen.hasViewport || parts.wantViewport > 0;
    const Read read = ReadFrame(window, parts.at, walk->size, protocol, wantViewport, &frame, &bad);
    if (read == Read::kWait) return;
    if (read != Read::kFrame) {
      if (read == Read::kPastLimit) {
        parts.problem = FormatText("A frame at byte %llu is cut off by the end of the file.",
                                   static_cast<unsigned long long>(parts.at));
      } else if (read != Read::kEnd) {
        parts.problem = FrameProblem(read, parts.at, bad);
      }
      if (parts.phase == PartsWalk::kLoadingClosed) {
        parts.parts.loadingEnd = parts.parts.playbackEnd = parts.at;
      }
      StopParts(walk);
      return;
    }
    if (frame.end >= parts.nextLeave) LeaveParts(walk, frame.end);
    const bool isNextSection = frame.type == nextSection;
    if (parts.phase == PartsWalk::kLoadingClosed && !isNextSection) {
      parts.parts.loadingEnd = parts.parts.playbackEnd = parts.at;
      parts.phase = PartsWalk::kPlayback;
    }
    if (parts.phase == PartsWalk::kPlayback) {
      RecordingParts& recording = parts.parts;
      recording.playbackEnd = frame.end;
      recording.lastTime = frame.time;
      recording.lastFrameNumber = frame.number;
      recording.playbackMessages += frame.type == 1;
      recording.playbackClosed = isNextSection;
    } else if (isNextSection) {
      parts.phase = PartsWalk::kLoadingClosed;
    }
    if (frame.hasViewport && parts.wantViewport > 0) GiveViewport(walk, frame);
    See(&parts.seen, frame);
    parts.at = frame.end;
    if (parts.parts.playbackClosed) StopParts(walk);
  }
}

DemoSegment ReadEntry(const uint8_t* entry) {
  DemoSegment segment;
  segment.type = LoadLeInt32(entry);
  memcpy(segment.description, entry + 4, kSegmentDescriptionSize);
  segment.description[kSegmentDescriptionSize] = '\0';
  segment.flags = LoadLeInt32(entry + 68);
  segment.cdTrack = LoadLeInt32(entry + 72);
  segment.time = LoadLeFloat(entry + 76);
  segment.frames = LoadLeInt32(entry + 80);
  segment.offset = LoadLe32(entry + 84);
  segment.length = LoadLe32(entry + 88);
  return segment;
}

uint64_t SegmentEnd(const DemoSegment& segment) {
  return uint64_t{segment.offset} + segment.length;
}

// The segments of a sound directory follow one another: where two overlap,
// walking each would read the same bytes again, as many times as there are
// segments.
bool NoneOverlaps(DemoStructure* found) {
  const std::vector<DemoSegment>& segments = found->segments;
  std::vector<size_t> order(segments.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return segments[a].offset < segments[b].offset; });
  bool none = true;
  size_t reaching = order[0];  // of those before, the one that ends last
  for (size_t k = 1; k < order.size(); ++k) {
    const size_t i = order[k];
    if (segments[i].offset < SegmentEnd(segments[reaching]) && segments[i].length > 0) {
      found->problems.push_back(SegmentName(i, segments[i]) + " overlaps " +
                                SegmentName(reaching, segments[reaching], false) + ".");
      none = false;
    }
    if (SegmentEnd(segments[i]) > SegmentEnd(segments[reaching])) reaching = i;
  }
  return none;
}

// Bytes that the source does not have read as zero.
void ReadZeroFilled(ReadDemoAt readAt, void* source, uint64_t offset, uint8_t* into, size_t size) {
  size_t got = readAt(source, offset, into, size);
  memset(into + got, 0, size - got);
}

// The directory's entries when it is sound; its problems otherwise.
void ReadDirectory(DemoStructure* found, uint64_t size, ReadDemoAt readAt, void* source) {
  const uint64_t at = found->directoryOffset;
  const auto offset = static_cast<unsigned long long>(at);
  if (at == 0) {
    found->problems.push_back("No directory (its offset is 0): the recording was cut off.");
    return;
  }
  if (at < kDemoHeaderSize || at + 4 > size) {
    found->problems.push_back(
        FormatText("The directory at byte %llu lies outside the file.", offset));
    return;
  }
  uint8_t countBytes[4];
  ReadZeroFilled(readAt, source, at, countBytes, sizeof countBytes);
  const int32_t count = LoadLeInt32(countBytes);
  if (count < 1 || count > kMostDirectoryEntries) {
    found->problems.push_back(
        FormatText("The directory at byte %llu holds %d entries (1 to %d are possible).", offset,
                   count, kMostDirectoryEntries));
    return;
  }
  const size_t entriesSize = static_cast<size_t>(count) * kDirectoryEntrySize;
  if (at + 4 + entriesSize > size) {
    found->problems.push_back(
        FormatText("The directory at byte %llu runs past the end of the file.", offset));
    return;
  }
  std::vector<uint8_t> entries(entriesSize);
  ReadZeroFilled(readAt, source, at + 4, entries.data(), entries.size());
  bool sound = true;
  for (size_t i = 0; i < static_cast<size_t>(count); ++i) {
    const DemoSegment segment = ReadEntry(entries.data() + i * kDirectoryEntrySize);
    if (segment.offset < kDemoHeaderSize || SegmentEnd(segment) > at) {
      found->problems.push_back(
          SegmentName(i, segment) +
          FormatText(" lies outside the file's frames: bytes %u to %llu, the directory at %llu.",
                     segment.offset, static_cast<unsigned long long>(SegmentEnd(segment)), offset));
      sound = false;
    }
    found->segments.push_back(segment);
  }
  if (sound) sound = NoneOverlaps(found);
  if (!sound) found->segments.clear();
}

}  // namespace

void StartDemoWalk(DemoWalk* walk, uint64_t size, ReadDemoAt readAt, void* source) {
  *walk = DemoWalk();
  walk->size = size;
  uint8_t header[kDemoHeaderSize];
  ReadZeroFilled(readAt, source, 0, header, sizeof header);
  DemoStructure& found = walk->found;
  found.fileSize = size;
  found.demoProtocol = LoadLeInt32(header + 8);
  found.knownProtocol = found.demoProtocol == 4 || found.demoProtocol == 5;
  found.mapCrc = LoadLe32(header + 536);
  found.directoryOffset = LoadLe32(header + 540);
  if (!found.knownProtocol) {
    // The summary shows the field's low byte, which may be 4 or 5 when the
    // whole field is not.
    const int lowByte = static_cast<int8_t>(found.demoProtocol & 0xFF);
    found.problems.push_back(
        lowByte == found.demoProtocol
            ? FormatText("Demo protocol %d is not known: only 4 and 5 are read.", lowByte)
            : FormatText("Demo protocol %d (the whole field; the summary shows its low byte, %d) "
                         "is not known: only 4 and 5 are read.",
                         found.demoProtocol, lowByte));
  }
  if (size < kDemoHeaderSize) {
    found.problems.push_back(FormatText("The file ends within its header, at byte %llu.",
                                        static_cast<unsigned long long>(size)));
  }
  ReadDirectory(&found, size, readAt, source);
  if (!found.knownProtocol) {
    walk->parts.phase = PartsWalk::kDone;
    return;
  }
  for (const DemoSegment& segment : found.segments) {
    SegmentWalk segmentWalk;
    segmentWalk.at = segment.offset;
    segmentWalk.end = SegmentEnd(segment);
    walk->segments.push_back(segmentWalk);
  }
  FindNextEvents(walk);
  if (size <= kDemoHeaderSize) StopParts(walk);
}

uint64_t WalkPiece(DemoWalk* walk, const uint8_t* window, size_t size, uint64_t offset) {
  const Window view = {window, offset, offset + size};
  uint64_t keepFrom = view.end;
  if (walk->parts.phase != PartsWalk::kDone) {
    WalkParts(walk, view);
    if (walk->parts.phase != PartsWalk::kDone) keepFrom = walk->parts.at;
  }
  for (size_t i = 0; i < walk->segments.size(); ++i) {
    SegmentWalk& segment = walk->segments[i];
    WalkSegment(&segment, view, walk->found.demoProtocol, i, walk->found.segments[i]);
    const bool holds =
        segment.state == SegmentWalk::kWaiting || segment.state == SegmentWalk::kWalking;
    if (holds && segment.at < keepFrom) keepFrom = segment.at;
  }
  return keepFrom;
}

DemoStructure DemoWalkResult(const DemoWalk& walk) {
  DemoStructure found = walk.found;
  if (!found.knownProtocol) return found;
  found.parts = walk.parts.parts;
  found.intact = !found.segments.empty();
  for (size_t i = 0; i < walk.segments.size(); ++i) {
    const SegmentWalk& segment = walk.segments[i];
    // A walk left waiting was given fewer bytes than the demo's size.
    std::string problem = segment.state == SegmentWalk::kDone
                              ? segment.problem
                              : SegmentName(i, found.segments[i]) + " was not read whole.";
    if (!problem.empty()) {
      found.problems.push_back(problem);
      found.intact = false;
    }
  }
  if (found.intact) {
    for (size_t i = 0; i < walk.segments.size(); ++i) {
      const SegmentWalk& segment = walk.segments[i];
      if (found.segments[i].type != 0) {
        found.duration += segment.seen.lastTime;
        found.frames += segment.seen.messages;
      }
      if (segment.seen.hasViewport && !found.hasViewport) {
        found.hasViewport = true;
        found.viewportWidth = segment.seen.viewportWidth;
        found.viewportHeight = segment.seen.viewportHeight;
      }
    }
    return found;
  }
  const PartsWalk& parts = walk.parts;
  if (!parts.problem.empty()) {
    bool told = false;
    for (const std::string& problem : found.problems) told = told || problem == parts.problem;
    if (!told) found.problems.push_back(parts.problem);
  }
  const bool hasPlayback = parts.parts.playbackEnd > parts.parts.loadingEnd;
  found.duration = hasPlayback ? parts.parts.lastTime : 0.0;
  found.frames = parts.parts.playbackMessages;
  found.hasViewport = parts.seen.hasViewport;
  found.viewportWidth = parts.seen.viewportWidth;
  found.viewportHeight = parts.seen.viewportHeight;
  return found;
}

uint64_t FrameSize(int32_t protocol, const uint8_t* bytes, size_t have) {
  if (have < kFrameHeaderSize) return kFrameHeaderSize;
  const FrameKind kind = KindOf(protocol, bytes[0]);
  if (kind.body == Body::kNone) return 0;
  if (have < kind.fixedSize) return kind.fixedSize;
  int64_t bad;
  return SizeOf(kind, bytes, &bad);
}

size_t ReadFromDemoBuffer(void* source, uint64_t offset, uint8_t* into, size_t size) {
  const DemoBuffer* buffer = static_cast<const DemoBuffer*>(source);
  if (offset >= buffer->size) return 0;
  const size_t available = static_cast<size_t>(buffer->size - offset);
  const size_t taken = size < available ? size : available;
  memcpy(into, buffer->bytes + offset, taken);
  return taken;
}

DemoStructure ReadDemoStructure(const uint8_t* bytes, size_t size) {
  DemoBuffer buffer = {bytes, size};
  DemoWalk walk;
  StartDemoWalk(&walk, size, ReadFromDemoBuffer, &buffer);
  WalkPiece(&walk, bytes, size, 0);
  return DemoWalkResult(walk);
}
