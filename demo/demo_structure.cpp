#include "demo/demo_structure.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

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

uint32_t Le32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
         static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

int32_t LeInt(const uint8_t* at) {
  return static_cast<int32_t>(Le32(at));
}

float LeFloat(const uint8_t* at) {
  uint32_t bits = Le32(at);
  float value;
  memcpy(&value, &bits, sizeof value);
  return value;
}

// MinGW's C99 printf, which the C++ library turns on, is checked as gnu_printf.
#ifdef __MINGW_PRINTF_FORMAT
#define SENTENCE_FORMAT __MINGW_PRINTF_FORMAT
#else
#define SENTENCE_FORMAT printf
#endif
std::string Sentence(const char* format, ...) __attribute__((format(SENTENCE_FORMAT, 1, 2)));
std::string Sentence(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
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

// The frame at `at`, which must end by limit; kWait when the window does not
// hold what is needed of it yet. bad receives the offending value.
Read ReadFrame(const Window& window, uint64_t at, uint64_t limit, int32_t protocol, Frame* frame,
               int64_t* bad) {
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
  frame->time = LeFloat(bytes + 1);
  frame->number = LeInt(bytes + 5);
  uint64_t size = kind.fixedSize;
  frame->hasViewport = false;
  if (kind.body != Body::kFixed) {
    const int32_t length = LeInt(bytes + kind.fixedSize - 4);
    const int32_t longest = kind.body == Body::kMessage ? kLongestMessage
                            : kind.body == Body::kSound ? kLongestSoundName
                                                        : kLongestDemoBuffer;
    if (length < 0 || length > longest) {
      *bad = length;
      return Read::kBadLength;
    }
    size += static_cast<uint64_t>(length) + (kind.body == Body::kSound ? kSoundTailSize : 0);
    if (kind.body == Body::kMessage && protocol == 5) {
      frame->viewportWidth = LeInt(bytes + kViewportWidthAt);
      frame->viewportHeight = LeInt(bytes + kViewportWidthAt + 4);
      frame->hasViewport = frame->viewportWidth > 0 && frame->viewportHeight > 0;
    }
  }
  frame->end = at + size;
  return frame->end > limit ? Read::kPastLimit : Read::kFrame;
}

// The sentence for a frame that is not sound, shared by both kinds of walk so
// that the same fault is told once.
std::string FrameProblem(Read read, uint64_t at, int64_t bad) {
  if (read == Read::kUnknownType) {
    return Sentence("A frame of unknown type %lld at byte %llu.", static_cast<long long>(bad),
                    static_cast<unsigned long long>(at));
  }
  return Sentence("A frame at byte %llu has an impossible length (%lld).",
                  static_cast<unsigned long long>(at), static_cast<long long>(bad));
}

template <typename Walker>
void NoteViewport(Walker* walker, const Frame& frame) {
  if (frame.hasViewport && !walker->hasViewport) {
    walker->hasViewport = true;
    walker->viewportWidth = frame.viewportWidth;
    walker->viewportHeight = frame.viewportHeight;
  }
}

std::string SegmentName(size_t index, const DemoSegment& segment) {
  return Sentence("Segment %zu (%s)", index + 1, segment.description);
}

void AdvanceSegment(SegmentWalk* walk, const Window& window, int32_t protocol, size_t index,
                    const DemoSegment& segment) {
  Frame frame;
  int64_t bad = 0;
  while (!walk->done) {
    const Read read = ReadFrame(window, walk->at, walk->end, protocol, &frame, &bad);
    if (read == Read::kWait) return;
    walk->done = true;
    if (read == Read::kEnd) {
      if (walk->lastType != NextSectionType(protocol)) {
        walk->problem = SegmentName(index, segment) + " does not end with a next-section frame.";
      }
    } else if (read == Read::kPastLimit) {
      walk->problem = Sentence("A frame at byte %llu runs past the end of ",
                               static_cast<unsigned long long>(walk->at)) +
                      SegmentName(index, segment) + ".";
    } else if (read != Read::kFrame) {
      walk->problem = FrameProblem(read, walk->at, bad);
    } else {
      walk->done = false;
      walk->at = frame.end;
      walk->lastType = frame.type;
      walk->lastTime = frame.time;
      walk->messages += frame.type == 1;
      NoteViewport(walk, frame);
    }
  }
}

void AdvanceParts(PartsWalk* walk, const Window& window, int32_t protocol, uint64_t size) {
  const uint8_t nextSection = NextSectionType(protocol);
  Frame frame;
  int64_t bad = 0;
  while (walk->phase != PartsWalk::kDone) {
    const Read read = ReadFrame(window, walk->at, size, protocol, &frame, &bad);
    if (read == Read::kWait) return;
    if (read != Read::kFrame) {
      if (read == Read::kPastLimit) {
        walk->problem = Sentence("A frame at byte %llu is cut off by the end of the file.",
                                 static_cast<unsigned long long>(walk->at));
      } else if (read != Read::kEnd) {
        walk->problem = FrameProblem(read, walk->at, bad);
      }
      if (walk->phase == PartsWalk::kLoadingClosed) {
        walk->parts.loadingEnd = walk->parts.playbackEnd = walk->at;
      }
      walk->phase = PartsWalk::kDone;
      return;
    }
    const bool isNextSection = frame.type == nextSection;
    if (walk->phase == PartsWalk::kLoadingClosed && !isNextSection) {
      walk->parts.loadingEnd = walk->parts.playbackEnd = walk->at;
      walk->phase = PartsWalk::kPlayback;
    }
    if (walk->phase == PartsWalk::kPlayback) {
      RecordingParts& parts = walk->parts;
      parts.playbackEnd = frame.end;
      parts.lastTime = frame.time;
      parts.lastFrameNumber = frame.number;
      parts.playbackMessages += frame.type == 1;
      if (isNextSection) {
        parts.playbackClosed = true;
        walk->phase = PartsWalk::kDone;
      }
    } else if (isNextSection) {
      walk->phase = PartsWalk::kLoadingClosed;
    }
    NoteViewport(walk, frame);
    walk->at = frame.end;
  }
}

DemoSegment ReadEntry(const uint8_t* entry) {
  DemoSegment segment;
  segment.type = LeInt(entry);
  memcpy(segment.description, entry + 4, kSegmentDescriptionSize);
  segment.description[kSegmentDescriptionSize] = '\0';
  segment.flags = LeInt(entry + 68);
  segment.cdTrack = LeInt(entry + 72);
  segment.time = LeFloat(entry + 76);
  segment.frames = LeInt(entry + 80);
  segment.offset = LeInt(entry + 84);
  segment.length = LeInt(entry + 88);
  return segment;
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
        Sentence("The directory at byte %llu lies outside the file.", offset));
    return;
  }
  uint8_t countBytes[4];
  ReadZeroFilled(readAt, source, at, countBytes, sizeof countBytes);
  const int32_t count = LeInt(countBytes);
  if (count < 1 || count > kMostDirectoryEntries) {
    found->problems.push_back(
        Sentence("The directory at byte %llu holds %d entries (1 to %d are possible).", offset,
                 count, kMostDirectoryEntries));
    return;
  }
  const size_t entriesSize = static_cast<size_t>(count) * kDirectoryEntrySize;
  if (at + 4 + entriesSize > size) {
    found->problems.push_back(
        Sentence("The directory at byte %llu runs past the end of the file.", offset));
    return;
  }
  std::vector<uint8_t> entries(entriesSize);
  ReadZeroFilled(readAt, source, at + 4, entries.data(), entries.size());
  bool sound = true;
  for (size_t i = 0; i < static_cast<size_t>(count); ++i) {
    const DemoSegment segment = ReadEntry(entries.data() + i * kDirectoryEntrySize);
    const int64_t start = segment.offset;
    const int64_t end = start + segment.length;
    if (start < static_cast<int64_t>(kDemoHeaderSize) || segment.length < 0 ||
        end > static_cast<int64_t>(at)) {
      found->problems.push_back(
          SegmentName(i, segment) +
          Sentence(" lies outside the file's frames: bytes %lld to %lld, the directory at %llu.",
                   static_cast<long long>(start), static_cast<long long>(end), offset));
      sound = false;
    }
    found->segments.push_back(segment);
  }
  if (!sound) found->segments.clear();
}

size_t ReadFromBuffer(void* source, uint64_t offset, uint8_t* into, size_t size) {
  const auto* buffer = static_cast<const std::pair<const uint8_t*, size_t>*>(source);
  if (offset >= buffer->second) return 0;
  const size_t available = static_cast<size_t>(buffer->second - offset);
  const size_t taken = size < available ? size : available;
  memcpy(into, buffer->first + offset, taken);
  return taken;
}

}  // namespace

void StartDemoWalk(DemoWalk* walk, uint64_t size, ReadDemoAt readAt, void* source) {
  *walk = DemoWalk();
  walk->size = size;
  uint8_t header[kDemoHeaderSize];
  ReadZeroFilled(readAt, source, 0, header, sizeof header);
  DemoStructure& found = walk->found;
  found.demoProtocol = LeInt(header + 8);
  found.knownProtocol = found.demoProtocol == 4 || found.demoProtocol == 5;
  found.mapCrc = Le32(header + 536);
  found.directoryOffset = Le32(header + 540);
  if (!found.knownProtocol) {
    found.problems.push_back(
        Sentence("Demo protocol %d is not known: only 4 and 5 are read.", found.demoProtocol));
  }
  if (size < kDemoHeaderSize) {
    found.problems.push_back(Sentence("The file ends within its header, at byte %llu.",
                                      static_cast<unsigned long long>(size)));
  }
  ReadDirectory(&found, size, readAt, source);
  if (!found.knownProtocol) {
    walk->parts.phase = PartsWalk::kDone;
    return;
  }
  if (size <= kDemoHeaderSize) walk->parts.phase = PartsWalk::kDone;
  for (const DemoSegment& segment : found.segments) {
    SegmentWalk segmentWalk;
    segmentWalk.at = static_cast<uint64_t>(segment.offset);
    segmentWalk.end = segmentWalk.at + static_cast<uint64_t>(segment.length);
    walk->segments.push_back(segmentWalk);
  }
}

uint64_t WalkPiece(DemoWalk* walk, const uint8_t* window, size_t size, uint64_t offset) {
  const Window view = {window, offset, offset + size};
  const int32_t protocol = walk->found.demoProtocol;
  uint64_t keepFrom = view.end;
  for (size_t i = 0; i < walk->segments.size(); ++i) {
    SegmentWalk& segment = walk->segments[i];
    AdvanceSegment(&segment, view, protocol, i, walk->found.segments[i]);
    if (!segment.done && segment.at < keepFrom) keepFrom = segment.at;
  }
  AdvanceParts(&walk->parts, view, protocol, walk->size);
  if (walk->parts.phase != PartsWalk::kDone && walk->parts.at < keepFrom) {
    keepFrom = walk->parts.at;
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
    std::string problem =
        segment.done ? segment.problem : SegmentName(i, found.segments[i]) + " was not read whole.";
    if (!problem.empty()) {
      found.problems.push_back(problem);
      found.intact = false;
    }
  }
  if (found.intact) {
    for (size_t i = 0; i < walk.segments.size(); ++i) {
      const SegmentWalk& segment = walk.segments[i];
      if (found.segments[i].type != 0) {
        found.duration += segment.lastTime;
        found.frames += segment.messages;
      }
      if (segment.hasViewport && !found.hasViewport) {
        found.hasViewport = true;
        found.viewportWidth = segment.viewportWidth;
        found.viewportHeight = segment.viewportHeight;
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
  found.hasViewport = parts.hasViewport;
  found.viewportWidth = parts.viewportWidth;
  found.viewportHeight = parts.viewportHeight;
  return found;
}

DemoStructure ReadDemoStructure(const uint8_t* bytes, size_t size) {
  std::pair<const uint8_t*, size_t> buffer(bytes, size);
  DemoWalk walk;
  StartDemoWalk(&walk, size, ReadFromBuffer, &buffer);
  WalkPiece(&walk, bytes, size, 0);
  return DemoWalkResult(walk);
}
