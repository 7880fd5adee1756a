#include "demo/demo_repair.h"

#include <cstring>

namespace {

constexpr size_t kDirectoryOffsetAt = 540;
constexpr size_t kCopyPieceSize = 256 * 1024;

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

bool AppendToVector(void* sink, const uint8_t* bytes, size_t size) {
  std::vector<uint8_t>* into = static_cast<std::vector<uint8_t>*>(sink);
  into->insert(into->end(), bytes, bytes + size);
  return true;
}

RepairOutcome PlanRepair(const DemoStructure& demo, RepairPlan* plan) {
  if (!demo.knownProtocol) return RepairOutcome::kUnknownProtocol;
  if (demo.intact) return RepairOutcome::kAlreadyIntact;
  const RecordingParts& parts = demo.parts;
  if (parts.loadingEnd == 0 || parts.playbackEnd <= parts.loadingEnd) {
    return RepairOutcome::kNothingToKeep;
  }
  plan->keepEnd = parts.playbackEnd;
  plan->trailer.clear();
  if (!parts.playbackClosed) {
    AppendFrameHeader(&plan->trailer, demo.demoProtocol == 4 ? 8 : 5, parts.lastTime,
                      parts.lastFrameNumber);
  }
  const uint64_t directoryOffset = plan->keepEnd + plan->trailer.size();
  if (directoryOffset > UINT32_MAX) return RepairOutcome::kTooLarge;
  plan->directoryOffset = static_cast<uint32_t>(directoryOffset);
  AppendTwoSegmentDirectory(&plan->trailer, parts.loadingEnd, directoryOffset, parts.lastTime,
                            parts.playbackMessages);
  return RepairOutcome::kRepaired;
}

void AppendFrameHeader(std::vector<uint8_t>* bytes, uint8_t type, float time, int32_t hostFrame) {
  bytes->push_back(type);
  AppendFloat(*bytes, time);
  AppendLe32(*bytes, static_cast<uint32_t>(hostFrame));
}

void AppendTwoSegmentDirectory(std::vector<uint8_t>* bytes, uint64_t loadingEnd,
                               uint64_t directoryOffset, float playbackTime,
                               int64_t playbackFrames) {
  AppendLe32(*bytes, 2);
  AppendEntry(*bytes, 0, "LOADING", 0.0f, 0, kDemoHeaderSize, loadingEnd - kDemoHeaderSize);
  AppendEntry(*bytes, 1, "Playback", playbackTime, playbackFrames, loadingEnd,
              directoryOffset - loadingEnd);
}

bool WriteRepair(const RepairPlan& plan, ReadDemoAt readAt, void* source, WriteRepairPiece write,
                 void* sink) {
  std::vector<uint8_t> piece(kCopyPieceSize);
  for (uint64_t at = 0; at < plan.keepEnd;) {
    const uint64_t left = plan.keepEnd - at;
    const size_t wanted = left < piece.size() ? static_cast<size_t>(left) : piece.size();
    const size_t got = readAt(source, at, piece.data(), wanted);
    // A reader gives fewer bytes than asked only at the demo's end, so the
    // first piece holds the whole header: kept frames follow it.
    if (got == 0 || (at == 0 && got < kDemoHeaderSize)) return false;
    if (at == 0) PutLe32(piece.data() + kDirectoryOffsetAt, plan.directoryOffset);
    if (!write(sink, piece.data(), got)) return false;
    at += got;
  }
  return write(sink, plan.trailer.data(), plan.trailer.size());
}

RepairOutcome RepairDemoBytes(const uint8_t* bytes, size_t size, std::vector<uint8_t>* repaired) {
  repaired->clear();
  RepairPlan plan;
  const RepairOutcome outcome = PlanRepair(ReadDemoStructure(bytes, size), &plan);
  if (outcome != RepairOutcome::kRepaired) return outcome;
  repaired->reserve(static_cast<size_t>(plan.keepEnd + plan.trailer.size()));
  DemoBuffer source = {bytes, size};
  WriteRepair(plan, ReadFromDemoBuffer, &source, AppendToVector, repaired);
  return RepairOutcome::kRepaired;
}
