// A playable copy of a recording that was cut off or damaged: its header with
// the directory offset set, the frames of its loading part and of its playback
// part up to the last whole one, byte for byte, a next-section frame when the
// playback part lacks its own, and a two-entry directory. Portable: no
// platform headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "demo/demo_structure.h"

enum class RepairOutcome {
  kRepaired,
  kAlreadyIntact,
  kNothingToKeep,
  kUnknownProtocol,
  kTooLarge,  // the copy's directory would lie past the 4 GiB that its offset can name
};

// What a repair writes: the demo's bytes before keepEnd as they are, but for
// the directory offset in the header, then trailer.
struct RepairPlan {
  uint64_t keepEnd = 0;
  uint32_t directoryOffset = 0;
  std::vector<uint8_t> trailer;  // the next-section frame when needed, and the directory
};

// The plan for a demo of the given structure; filled only when the outcome is
// kRepaired.
RepairOutcome PlanRepair(const DemoStructure& demo, RepairPlan* plan);

// Writes size bytes; false when they could not all be written.
using WriteRepairPiece = bool (*)(void* sink, const uint8_t* bytes, size_t size);

// A WriteRepairPiece that appends to the std::vector<uint8_t> that sink is.
bool AppendToVector(void* sink, const uint8_t* bytes, size_t size);

// Writes what the plan makes of the demo that readAt gives, piece by piece.
// False when the demo gives fewer bytes than kept or a write fails.
bool WriteRepair(const RepairPlan& plan, ReadDemoAt readAt, void* source, WriteRepairPiece write,
                 void* sink);

// A frame's 9-byte header (type, time, host frame), appended to bytes.
void AppendFrameHeader(std::vector<uint8_t>* bytes, uint8_t type, float time, int32_t hostFrame);

// The two-entry directory of a copy whose loading segment runs from the
// header's end to loadingEnd and whose playback segment from there to the
// directory, appended to bytes.
void AppendTwoSegmentDirectory(std::vector<uint8_t>* bytes, uint64_t loadingEnd,
                               uint64_t directoryOffset, float playbackTime,
                               int64_t playbackFrames);

// For a demo held whole in memory: when the outcome is kRepaired, repaired
// holds exactly the bytes quendrix-repair writes for it; otherwise it is left
// empty.
RepairOutcome RepairDemoBytes(const uint8_t* bytes, size_t size, std::vector<uint8_t>* repaired);
