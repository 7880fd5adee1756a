// Copies of the players' recordings cut at a quarter, half and nine tenths
// of their playback, and from a quarter to six tenths, read back: every
// block reads to its end and every delta finds its base; the structure is
// intact; the kept frames are the recording's bytes but for time and host
// frame; no server command from before the cut comes again; and each kept
// frame leaves the state it leaves in the recording. The one difference
// allowed: time-window values sent before the cut and lying outside the
// window at the cut are held at its edge, as the server sends them to a
// recording started there (trim-format.md 9.2). Timers, sent again with the
// time left, compare by when they run out. And a table of demos that are
// refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "common/little_endian.h"
#include "demo/demo_structure.h"
#include "messages/demo_state.h"
#include "messages/demo_trim.h"
#include "tests/native/test_bytes.h"

namespace {

struct Frame {
  uint64_t offset, size;
  uint8_t type;
  float time;
  int32_t host;
};

std::vector<Frame> FramesOf(const std::vector<uint8_t>& demo, const DemoSegment& segment) {
  std::vector<Frame> frames;
  for (uint64_t at = segment.offset; at < uint64_t{segment.offset} + segment.length;) {
    const uint64_t size = FrameSize(5, demo.data() + at, demo.size() - at);
    if (size == 0) break;
    frames.push_back({at, size, demo[at], LoadLeFloat(demo.data() + at + 1),
                      static_cast<int32_t>(GetLe32(demo, at + 5))});
    at += size;
  }
  return frames;
}

// Time-window values older than cut that lie outside its window, held at
// its edge.
std::shared_ptr<const EntityList> Clamped(const DemoState& state, double cut) {
  if (state.entities == nullptr) return nullptr;
  auto clamped = std::make_shared<EntityList>(*state.entities);
  for (EntityState& entity : *clamped) {
    const DeltaDescription& table = state.tables[entity.table];
    auto record = std::make_shared<StateRecord>(*entity.record);
    for (size_t i = 0; i < table.fields.size() && i < kMostSentFields; ++i) {
      const DeltaFieldDescription& f = table.fields[i];
      const bool small = (f.type & kDeltaTimeWindow8) != 0;
      const uint64_t windows = state.timeWindowFields[entity.table];
      const double clock = record->Clock(windows, i);
      if ((!small && (f.type & kDeltaTimeWindowBig) == 0) || clock >= cut) continue;
      const double steps =
          (cut - DeltaNumber(f, record->values.bits[i], clock)) * (small ? 100 : f.preMultiplier);
      const double largest = std::ldexp(1.0, static_cast<int>(DeltaValueBits(f)) - 1) - 1;
      if (std::fabs(steps) <= largest) continue;
      record->values.bits[i] = static_cast<uint32_t>(largest) << 1 | (steps < 0 ? 1 : 0);
      record->SetClock(windows, i, static_cast<float>(cut));
    }
    entity.record = record;
  }
  return clamped;
}

// A demo read with its state and server commands: the state after each
// playback network frame from keepFrom on, the clock before it, and where
// each svc_stufftext was.
struct ReadBack {
  const uint8_t* demo = nullptr;
  uint64_t keepFrom = 0;
  DemoStateReader reader;
  MessageWatcher state;
  double cutClock = 0;
  std::vector<DemoState> after;
  std::vector<uint64_t> commandFrames;
};

void Read(ReadBack* back, const std::vector<uint8_t>& demo) {
  back->demo = demo.data();
  back->state = DemoStateWatcher(&back->reader);
  back->reader.context = back;
  back->reader.frameDone = [](void* context, const DemoState& state, const SeenFrame& frame) {
    auto* back = static_cast<ReadBack*>(context);
    if (frame.loading || frame.offset < back->keepFrom) {
      back->cutClock = state.clock;
      return;
    }
    back->after.push_back(state);
    back->after.back().entities = Clamped(state, back->cutClock);
    back->after.back().baselines.clear();
    back->after.back().ring = {};
  };
  MessageReader messages;
  messages.watcher = {[](void* context, const SeenMessage& m) {
                        auto* back = static_cast<ReadBack*>(context);
                        if (m.bytes[0] == 9) back->commandFrames.push_back(m.frame - back->demo);
                        back->state.seen(back->state.context, m);
                      },
                      [](void* context, const SeenFrame& frame) {
                        auto* back = static_cast<ReadBack*>(context);
                        back->state.frameRead(back->state.context, frame);
                      },
                      back};
  const WindowReader also = MessageWindowReader(&messages);
  InspectDemo(demo.data(), demo.size(), &also);
  EXPECT_EQ(MessageReaderResult(&messages).read, MessagesRead::kAll);
}

const char* const kRecordings[] = {
    "basic.dem",      "weapon.dem",
    "hldm.dem",       "demotesttestste.dem-2405171129-cs_assault.dem",
    "normvozduh.dem", "dirka_v_dust2_duck.dem",
    "minangles.dem",  "one_jump_one_time.dem"};

std::vector<uint8_t> Recording(const char* name) {
  return ReadWholeFile(std::string(QUENDRIX_CORPUS_DIR) + "/" + name);
}

TEST(DemoTrimTest, CutsOfTheRecordingsPlayOnFromTheStateAtTheCut) {
  const struct {
    double from, to;  // of the duration; to negative: the end
  } kCuts[] = {{0.25, -1}, {0.5, -1}, {0.9, -1}, {0.25, 0.6}};
  for (const char* name : kRecordings) {
    const std::vector<uint8_t> demo = Recording(name);
    if (demo.empty()) GTEST_SKIP() << "no recording " << name << " in " QUENDRIX_CORPUS_DIR;
    const DemoStructure structure = ReadDemoStructure(demo.data(), demo.size());
    const std::vector<Frame> frames = FramesOf(demo, structure.segments[1]);
    for (const auto& c : kCuts) {
      const double from = c.from * structure.duration;
      const double to = c.to < 0 ? -1 : c.to * structure.duration;
      SCOPED_TRACE(std::string(name) + " from " + std::to_string(from) + " to " +
                   std::to_string(to));
      std::vector<uint8_t> copy;
      std::string reason;
      ASSERT_EQ(TrimDemo(demo.data(), demo.size(), from, to, &copy, &reason), TrimOutcome::kWritten)
          << reason;
      // The kept frames: from the first network frame at or after from to
      // the last frame at or before to.
      size_t first = 0;
      while (frames[first].type != 1 || frames[first].time < from) ++first;
      size_t end = first;
      while (frames[end].type != 5 && (to < 0 || frames[end].time <= to)) ++end;

      const DemoStructure copied = ReadDemoStructure(copy.data(), copy.size());
      ASSERT_TRUE(copied.intact) << copied.problems.front();
      const std::vector<Frame> copyFrames = FramesOf(copy, copied.segments[1]);
      const size_t prelude = copyFrames.size() - 2 - (end - first);
      EXPECT_GE(prelude, 1u);
      EXPECT_EQ(copyFrames[0].type, 2);
      int64_t networkFrames = 0;
      for (size_t i = 0; i < copyFrames.size(); ++i) {
        networkFrames += copyFrames[i].type == 1;
        const bool inPrelude = i >= 1 && i <= prelude;
        EXPECT_TRUE(!inPrelude || (copyFrames[i].type == 1 && copyFrames[i].time == 0));
        if (i <= prelude || i + 1 == copyFrames.size()) continue;
        const Frame& kept = frames[first + i - 1 - prelude];
        const Frame& was = copyFrames[i];
        ASSERT_EQ(was.size, kept.size);
        EXPECT_EQ(memcmp(copy.data() + was.offset + 9, demo.data() + kept.offset + 9, was.size - 9),
                  0);
        EXPECT_EQ(was.time, kept.time - frames[first].time);
        EXPECT_EQ(was.host, kept.host - frames[first].host);
      }
      EXPECT_EQ(copyFrames.back().type, 5);
      EXPECT_EQ(copied.segments[1].frames, networkFrames);
      EXPECT_EQ(copied.segments[1].time, copyFrames[copyFrames.size() - 2].time);

      ReadBack original, trimmed;
      original.keepFrom = frames[first].offset;
      trimmed.keepFrom = copyFrames[1 + prelude].offset;
      Read(&original, demo);
      Read(&trimmed, copy);
      const DemoStateCounts& counts = trimmed.reader.counts;
      EXPECT_EQ(counts.unreadMessages + counts.framesNotWhole, 0u);
      EXPECT_EQ(counts.missingBases + counts.tooOldDeltas + counts.clientMissingBases, 0u);
      EXPECT_EQ(counts.countMismatches, 0u);
      size_t kept = 0;
      for (size_t i = first; i < end; ++i) kept += frames[i].type == 1;
      ASSERT_EQ(trimmed.after.size(), kept);
      ASSERT_GE(original.after.size(), kept);
      for (size_t i = 0; i < kept; ++i) {
        std::string difference;
        ASSERT_TRUE(SameState(original.after[i], trimmed.after[i], &difference))
            << "after kept frame " << i << ": " << difference;
      }
      size_t commands = 0;  // in the loading segment and the kept frames
      for (uint64_t at : original.commandFrames) {
        commands += at < structure.segments[1].offset ||
                    (at >= frames[first].offset && at < frames[end].offset);
      }
      EXPECT_EQ(trimmed.commandFrames.size(), commands);
      printf("%s from %.2f s to %.2f s: %zu prelude frames, %zu kept network frames, %zu bytes\n",
             name, from, to, prelude, kept, copy.size());
    }
  }
}

// The network frames of the playback.
std::vector<uint64_t> PlaybackMessages(const std::vector<uint8_t>& demo) {
  const DemoStructure structure = ReadDemoStructure(demo.data(), demo.size());
  std::vector<uint64_t> found;
  for (const Frame& frame : FramesOf(demo, structure.segments[1])) {
    if (frame.type == 1) found.push_back(frame.offset);
  }
  return found;
}

// message put at the end of the block of the playback's network frame at
// frame, the frame and the playback segment longer by it.
void AddToBlock(std::vector<uint8_t>& demo, uint64_t frame, const std::vector<uint8_t>& message) {
  const uint32_t length = GetLe32(demo, frame + 473);
  demo.insert(demo.begin() + static_cast<long>(frame + 477 + length), message.begin(),
              message.end());
  const uint32_t added = static_cast<uint32_t>(message.size());
  PutLe32(demo, frame + 473, length + added);
  const uint32_t directory = GetLe32(demo, 540) + added;
  PutLe32(demo, 540, directory);
  PutLe32(demo, directory + 4 + 92 + 88, GetLe32(demo, directory + 4 + 92 + 88) + added);
}

// The loading segment's svc_serverinfo again in the first playback frame:
// a new server at the start of the playback.
void AddServerChange(std::vector<uint8_t>& demo) {
  std::vector<uint8_t> serverInfo;
  MessageReader reader;
  reader.watcher.seen = [](void* context, const SeenMessage& m) {
    if (m.bytes[0] == 11)
      static_cast<std::vector<uint8_t>*>(context)->assign(m.bytes, m.bytes + m.size);
  };
  reader.watcher.context = &serverInfo;
  const WindowReader also = MessageWindowReader(&reader);
  InspectDemo(demo.data(), demo.size(), &also);
  AddToBlock(demo, PlaybackMessages(demo).front(), serverInfo);
}

// A user message registered in the first playback frame and sent in the
// last: a copy cut between them reads it only if it registers it again.
// The first reading in the smallest windows that an inspection takes, and
// the second through a ReadDemoAt, give the copy that the demo held whole
// gives: frames that windows cut are gathered whole.
TEST(DemoTrimTest, ReadWindowByWindowTheCopyIsTheSame) {
  struct Pieces {
    DemoBuffer whole;
    size_t at;
  };
  const ReadDemoPiece givePiece = [](void* source, uint8_t* into, size_t size) {
    auto* pieces = static_cast<Pieces*>(source);
    const size_t given = ReadFromDemoBuffer(&pieces->whole, pieces->at, into, size);
    pieces->at += given;
    return given;
  };
  const ReadDemoAt giveAt = [](void* source, uint64_t offset, uint8_t* into, size_t size) {
    return ReadFromDemoBuffer(&static_cast<Pieces*>(source)->whole, offset, into, size);
  };
  for (const char* name : kRecordings) {
    const std::vector<uint8_t> demo = Recording(name);
    if (demo.empty()) GTEST_SKIP() << "no recording " << name << " in " QUENDRIX_CORPUS_DIR;
    const double from = ReadDemoStructure(demo.data(), demo.size()).duration / 2;
    std::vector<uint8_t> whole;
    std::string reason;
    ASSERT_EQ(TrimDemo(demo.data(), demo.size(), from, -1, &whole, &reason), TrimOutcome::kWritten)
        << name << ": " << reason;

    TrimReader reader(from, -1);
    const WindowReader also = TrimWindowReader(&reader);
    Pieces pieces = {{demo.data(), demo.size()}, 0};
    uint64_t read = 0;
    const DemoInspection inspection =
        InspectDemoPieces(givePiece, giveAt, &pieces, demo.size(), kSmallestWindow, &read, &also);
    TrimPlan plan;
    ASSERT_EQ(PlanTrim(&reader, inspection, giveAt, &pieces, &plan, &reason), TrimOutcome::kWritten)
        << name << ": " << reason;
    std::vector<uint8_t> windowed;
    EXPECT_TRUE(WriteTrim(plan, giveAt, &pieces, AppendToVector, &windowed));
    EXPECT_EQ(windowed.size(), plan.size) << name;
    EXPECT_TRUE(windowed == whole) << name;
    // A demo that is shorter the second time gives no copy: not the frames
    // planned, nor the heads that the prelude repeats.
    Pieces shorter = {{demo.data(), static_cast<size_t>(plan.keptEnd) - 1}, 0};
    std::vector<uint8_t> cut;
    EXPECT_FALSE(WriteTrim(plan, giveAt, &shorter, AppendToVector, &cut)) << name;
    Pieces header = {{demo.data(), kDemoHeaderSize}, 0};
    EXPECT_EQ(PlanTrim(&reader, inspection, giveAt, &header, &plan, &reason), TrimOutcome::kChanged)
        << name << ": " << reason;
  }
}

TEST(DemoTrimTest, UserMessagesRegisteredBeforeTheCutStayReadable) {
  std::vector<uint8_t> demo = Recording("basic.dem");
  if (demo.empty()) GTEST_SKIP() << "no recording basic.dem in " QUENDRIX_CORPUS_DIR;
  AddToBlock(demo, PlaybackMessages(demo).back(), {250, 7});
  std::vector<uint8_t> registration = {39, 250, 1, 'Q', 'x', 'T', 'e', 's', 't'};
  registration.resize(3 + 16);
  AddToBlock(demo, PlaybackMessages(demo).front(), registration);
  std::vector<uint8_t> copy;
  std::string reason;
  ASSERT_EQ(TrimDemo(demo.data(), demo.size(), 1, -1, &copy, &reason), TrimOutcome::kWritten)
      << reason;
  MessageReader reader;
  const WindowReader also = MessageWindowReader(&reader);
  InspectDemo(copy.data(), copy.size(), &also);
  EXPECT_EQ(MessageReaderResult(&reader).read, MessagesRead::kAll);
}

TEST(DemoTrimTest, DemosThatCannotBeCutAreRefused) {
  const struct {
    const char* name;
    void (*change)(std::vector<uint8_t>&);
    double from, to;
    TrimOutcome outcome;
  } kCases[] = {
      {"1016.dem", nullptr, 1, -1, TrimOutcome::kUnreadProtocol},
      {"basic.dem", [](std::vector<uint8_t>& d) { PutLe32(d, 12, 46); }, 1, -1,
       TrimOutcome::kUnreadProtocol},
      {"basic.dem", [](std::vector<uint8_t>& d) { PutLe32(d, 540, 0); }, 1, -1,
       TrimOutcome::kNotIntact},
      {"basic.dem", [](std::vector<uint8_t>& d) { d.resize(14); }, 1, -1, TrimOutcome::kNotIntact},
      {"basic.dem", nullptr, 3, -1, TrimOutcome::kNothingToKeep},
      {"basic.dem", nullptr, 1, 0.5, TrimOutcome::kNothingToKeep},
      {"basic.dem", AddServerChange, 1, -1, TrimOutcome::kMapChange},
      {"basic.dem", AddServerChange, 0, -1, TrimOutcome::kWritten},  // the change is kept
      {"basic.dem", [](std::vector<uint8_t>& d) { d[PlaybackMessages(d).front() + 477] = 0; }, 1,
       -1, TrimOutcome::kUnreadMessages},
  };
  for (const auto& c : kCases) {
    std::vector<uint8_t> demo = Recording(c.name);
    if (demo.empty()) GTEST_SKIP() << "no recording " << c.name << " in " QUENDRIX_CORPUS_DIR;
    if (c.change != nullptr) c.change(demo);
    std::vector<uint8_t> copy;
    std::string reason;
    EXPECT_EQ(TrimDemo(demo.data(), demo.size(), c.from, c.to, &copy, &reason), c.outcome)
        << c.name << " from " << c.from << ": " << reason;
    EXPECT_EQ(copy.empty(), c.outcome != TrimOutcome::kWritten);
    EXPECT_EQ(reason.empty(), c.outcome == TrimOutcome::kWritten);
  }
}

}  // namespace
