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

enum class RepairOutcome { kRepaired, kAlreadyIntact, kNothingToKeep, kUnknownProtocol };

// What a repair writes: header, then the demo's bytes from kDemoHeaderSize up
// to keepEnd as they are, then trailer.
struct RepairPlan {
  uint8_t header[kDemoHeaderSize];
  uint64_t keepEnd = 0;
  std::vector<uint8_t> trailer;
};

// The plan for a demo of the given structure, whose first kDemoHeaderSize
// bytes are header; filled only when the outcome is kRepaired.
RepairOutcome PlanRepair(const DemoStructure& demo, const uint8_t* header, RepairPlan* plan);

// The size of what the plan writes.
uint64_t RepairedSize(const RepairPlan& plan);

// For a demo held whole in memory: when the outcome is kRepaired, repaired
// holds exactly the bytes quendrix-repair writes for it; otherwise it is left
// empty.
RepairOutcome RepairDemoBytes(const uint8_t* bytes, size_t size, std::vector<uint8_t>* repaired);
