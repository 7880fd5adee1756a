#include "demo/demo_repair.h"

#include <cstring>

namespace {

void PutLe32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void AppendLe32(std::vector<uint8_t>& bytes, uint32_t value) {
  uint8_t le[4];
  PutLe32(le, value);
  bytes.insert(bytes.end(), le, le + 4);
}

void AppendFloat(std::vector<uint8_t>& bytes, float value) {
  uint32_t bits;
  memcpy(&bits, &value, sizeof bits);
  AppendLe32(bytes, bits);
}

void AppendEntry(std::vector<uint8_t>& bytes, int32_t type, const char* description, float time,
                 int64_t frames, uint64_t offset, uint64_t length) {
  AppendLe32(bytes, static_cast<uint32_t>(type));
  char text[kSegmentDescriptionSize] = {};
  strncpy(text, description, sizeof text - 1);
  bytes.insert(bytes.end(), text, text + sizeof text);
  AppendLe32(bytes, 0);                          // flags
  AppendLe32(bytes, static_cast<uint32_t>(-1));  // CD track
  AppendFloat(bytes, time);
  AppendLe32(bytes, static_cast<uint32_t>(frames));
  AppendLe32(bytes, static_cast<uint32_t>(offset));
  AppendLe32(bytes, static_cast<uint32_t>(length));
}

}  // namespace

RepairOutcome PlanRepair(const DemoStructure& demo, const uint8_t* header, RepairPlan* plan) {
  if (!demo.knownProtocol) return RepairOutcome::kUnknownProtocol;
  if (demo.intact) return RepairOutcome::kAlreadyIntact;
  const RecordingParts& parts = demo.parts;
  if (parts.loadingEnd == 0 || parts.playbackEnd <= parts.loadingEnd) {
    return RepairOutcome::kNothingToKeep;
  }
  plan->keepEnd = parts.playbackEnd;
  plan->trailer.clear();
  if (!parts.playbackClosed) {
    plan->trailer.push_back(demo.demoProtocol == 4 ? 8 : 5);
    AppendFloat(plan->trailer, parts.lastTime);
    AppendLe32(plan->trailer, static_cast<uint32_t>(parts.lastFrameNumber));
  }
  const uint64_t directoryOffset = plan->keepEnd + plan->trailer.size();
  AppendLe32(plan->trailer, 2);
  AppendEntry(plan->trailer, 0, "LOADING", 0.0f, 0, kDemoHeaderSize,
              parts.loadingEnd - kDemoHeaderSize);
  AppendEntry(plan->trailer, 1, "Playback", parts.lastTime, parts.playbackMessages,
              parts.loadingEnd, directoryOffset - parts.loadingEnd);
  memcpy(plan->header, header, kDemoHeaderSize);
  PutLe32(plan->header + 540, static_cast<uint32_t>(directoryOffset));
  return RepairOutcome::kRepaired;
}

uint64_t RepairedSize(const RepairPlan& plan) {
  return plan.keepEnd + plan.trailer.size();
}

RepairOutcome RepairDemoBytes(const uint8_t* bytes, size_t size, std::vector<uint8_t>* repaired) {
  repaired->clear();
  RepairPlan plan;
  const RepairOutcome outcome = PlanRepair(ReadDemoStructure(bytes, size), bytes, &plan);
  if (outcome != RepairOutcome::kRepaired) return outcome;
  repaired->reserve(static_cast<size_t>(RepairedSize(plan)));
  repaired->assign(plan.header, plan.header + kDemoHeaderSize);
  repaired->insert(repaired->end(), bytes + kDemoHeaderSize, bytes + plan.keepEnd);
  repaired->insert(repaired->end(), plan.trailer.begin(), plan.trailer.end());
  return RepairOutcome::kRepaired;
}
