#include "tools/demo_repeat.h"

#include <cstring>

#include "demo/demo_repair.h"
#include "demo/demo_structure.h"

std::vector<uint8_t> RepeatPlayback(const std::vector<uint8_t>& recording, size_t size) {
  const DemoStructure demo = ReadDemoStructure(recording.data(), recording.size());
  const std::vector<DemoSegment>& segments = demo.segments;
  if (!demo.intact || demo.demoProtocol != 5 || segments.size() != 2 || segments[1].type != 1) {
    return {};
  }
  // The playback's frames but its next-section frame, with the span of
  // their times, host frames and sequence numbers.
  struct Frame {
    uint64_t at, size;
  };
  std::vector<Frame> frames;
  float lastTime = 0;
  int32_t firstHost = 0, lastHost = 0;
  uint32_t firstSequence = 0, lastSequence = 0;
  const uint64_t end = uint64_t{segments[1].offset} + segments[1].length;
  for (uint64_t at = segments[1].offset; at < end;) {
    const uint8_t* frame = recording.data() + at;
    const uint64_t frameSize = FrameSize(5, frame, static_cast<size_t>(end - at));
    if (frameSize == 0 || frameSize > end - at || frame[0] == 5) break;
    int32_t host;
    memcpy(&lastTime, frame + 1, 4);
    memcpy(&host, frame + 5, 4);
    if (frames.empty()) firstHost = host;
    lastHost = host;
    if (frame[0] == 1) {
      uint32_t sequence;
      memcpy(&sequence, frame + 9 + 436, 4);
      if (firstSequence == 0) firstSequence = sequence;
      lastSequence = sequence;
    }
    frames.push_back({at, frameSize});
    at += frameSize;
  }
  if (frames.empty()) return {};
  const uint32_t sequenceSpan = (lastSequence - firstSequence + 1 + 255) / 256 * 256;
  std::vector<uint8_t> out(recording.begin(), recording.begin() + segments[1].offset);
  int64_t networkFrames = 0;
  float time = 0;
  int32_t hostFrame = 0;
  for (uint32_t round = 0; round == 0 || out.size() < size; ++round) {
    for (const Frame& frame : frames) {
      const size_t at = out.size();
      out.insert(out.end(), recording.begin() + static_cast<long>(frame.at),
                 recording.begin() + static_cast<long>(frame.at + frame.size));
      uint8_t* copy = out.data() + at;
      memcpy(&time, copy + 1, 4);
      time += static_cast<float>(round) * (lastTime + 0.05f);
      memcpy(copy + 1, &time, 4);
      memcpy(&hostFrame, copy + 5, 4);
      hostFrame += static_cast<int32_t>(round) * (lastHost - firstHost + 1);
      memcpy(copy + 5, &hostFrame, 4);
      if (copy[0] != 1) continue;
      ++networkFrames;
      for (int i = 0; i < 7; ++i) {
        uint32_t number;
        memcpy(&number, copy + 9 + 436 + 4 * i, 4);
        number += round * sequenceSpan;
        memcpy(copy + 9 + 436 + 4 * i, &number, 4);
      }
    }
  }
  const uint64_t loadingEnd = segments[1].offset;
  AppendFrameHeader(&out, 5, time, hostFrame);
  const uint64_t directoryOffset = out.size();
  AppendTwoSegmentDirectory(&out, loadingEnd, directoryOffset, time, networkFrames);
  for (int i = 0; i < 4; ++i) out[540 + i] = static_cast<uint8_t>(directoryOffset >> (8 * i));
  return out;
}
