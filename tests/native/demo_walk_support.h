// The walk as a reader of windows makes it, and a text of everything a walk
// finds, so that two walks compare as texts and a difference shows.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "demo/demo_structure.h"

inline std::string Describe(const DemoStructure& found) {
  char text[512];
  snprintf(
      text, sizeof text,
      "size %llu, protocol %d%s, crc %08x, directory %u, %s, duration %.9g, frames %lld, viewport "
      "%s%dx%d, parts %llu..%llu%s last %.9g #%d messages %lld\n",
      static_cast<unsigned long long>(found.fileSize), found.demoProtocol,
      found.knownProtocol ? "" : " (unknown)", found.mapCrc, found.directoryOffset,
      found.intact ? "intact" : "not intact", found.duration, static_cast<long long>(found.frames),
      found.hasViewport ? "" : "none ", found.viewportWidth, found.viewportHeight,
      static_cast<unsigned long long>(found.parts.loadingEnd),
      static_cast<unsigned long long>(found.parts.playbackEnd),
      found.parts.playbackClosed ? " closed" : "", found.parts.lastTime,
      found.parts.lastFrameNumber, static_cast<long long>(found.parts.playbackMessages));
  std::string all = text;
  for (const DemoSegment& s : found.segments) {
    snprintf(text, sizeof text, "segment %d '%s' %d %d %.9g %d %d %d\n", s.type, s.description,
             s.flags, s.cdTrack, s.time, s.frames, s.offset, s.length);
    all += text;
  }
  for (const std::string& problem : found.problems) all += "problem: " + problem + "\n";
  return all;
}

// Each window a buffer of its own of at most capacity bytes, so that a read
// past it is a read past a buffer; the directory is read from the whole.
inline std::string WalkInWindows(const std::vector<uint8_t>& bytes, size_t capacity) {
  DemoWalk walk;
  DemoBuffer whole = {bytes.data(), bytes.size()};
  StartDemoWalk(&walk, bytes.size(), ReadFromDemoBuffer, &whole);
  for (uint64_t offset = 0;;) {
    const size_t end = std::min<size_t>(offset + capacity, bytes.size());
    const std::vector<uint8_t> window(bytes.begin() + static_cast<long>(offset),
                                      bytes.begin() + static_cast<long>(end));
    const uint64_t keepFrom = WalkPiece(&walk, window.data(), window.size(), offset);
    if (end == bytes.size()) break;
    if (keepFrom <= offset) return "no progress at " + std::to_string(offset);
    offset = keepFrom;
  }
  return Describe(DemoWalkResult(walk));
}
