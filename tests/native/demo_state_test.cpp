// The client state of the players' recordings walked frame by frame: every
// delta finds its base in the ring, every update makes the entity count it
// states, and the walk reaches the frames and messages that the independent
// reader counted (message-format.md, section 10).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "messages/demo_state.h"
#include "tests/native/test_bytes.h"

namespace {

struct Walk {
  uint64_t updates = 0;  // frames whose update was read, one for two frames of a packet
  const EntityList* last = nullptr;
  uint64_t unordered = 0;
  size_t mostEntities = 0;
  std::string firstProblem;
};

void CheckFrame(void* context, const DemoState& state, const SeenFrame&) {
  Walk* walk = static_cast<Walk*>(context);
  const StateFrame* frame = RingFrame(state, state.sequence);
  if (frame == nullptr || frame->entities == nullptr || frame->entities.get() == walk->last) return;
  walk->last = frame->entities.get();
  ++walk->updates;
  const EntityList& entities = *frame->entities;
  walk->mostEntities = std::max(walk->mostEntities, entities.size());
  for (size_t i = 0; i < entities.size(); ++i) {
    const EntityState& e = entities[i];
    const bool sound = (i == 0 || entities[i - 1].number < e.number) &&
                       e.record->values.size() == state.tables[e.table].fields.size();
    if (!sound && walk->unordered++ == 0) {
      walk->firstProblem =
          "entity " + std::to_string(e.number) + " of " + std::to_string(state.sequence);
    }
  }
}

TEST(DemoStateTest, RecordingsResolveEveryDeltaInTheRing) {
  const struct {
    const char* name;
    uint64_t frames, messages;
  } recordings[] = {
      {"basic.dem", 294, 1067},     {"weapon.dem", 741, 2547},
      {"hldm.dem", 365, 2646},      {"demotesttestste.dem-2405171129-cs_assault.dem", 229, 1021},
      {"normvozduh.dem", 115, 825}, {"dirka_v_dust2_duck.dem", 355, 1411},
      {"minangles.dem", 657, 2323}, {"one_jump_one_time.dem", 379, 1519}};
  uint64_t updates = 0;
  for (const auto& recording : recordings) {
    SCOPED_TRACE(recording.name);
    const std::vector<uint8_t> bytes =
        ReadWholeFile(std::string(QUENDRIX_CORPUS_DIR) + "/" + recording.name);
    ASSERT_GT(bytes.size(), 16u);
    DemoStateReader reader;
    Walk walk;
    reader.frameDone = CheckFrame;
    reader.context = &walk;
    EXPECT_EQ(ReadDemoState(&reader, bytes.data(), bytes.size()), MessagesRead::kAll);
    const DemoStateCounts& c = reader.counts;
    EXPECT_EQ(c.frames, recording.frames);
    EXPECT_EQ(c.messages, recording.messages);
    EXPECT_EQ(c.missingBases + c.tooOldDeltas + c.deltasBeforeFull, 0u);
    EXPECT_EQ(c.clientMissingBases, 0u);
    EXPECT_EQ(c.countMismatches, 0u);
    EXPECT_EQ(c.unreadMessages + c.framesNotWhole, 0u);
    EXPECT_EQ(walk.unordered, 0u) << walk.firstProblem;
    EXPECT_EQ(walk.updates, c.fullUpdates + c.deltaUpdates);
    updates += walk.updates;
    printf(
        "%s: %llu frames, %llu messages, %llu full and %llu delta updates (at most %zu "
        "entities), %llu client data, %llu table changes, %zu HUD keys, %llu servers\n",
        recording.name, static_cast<unsigned long long>(c.frames),
        static_cast<unsigned long long>(c.messages), static_cast<unsigned long long>(c.fullUpdates),
        static_cast<unsigned long long>(c.deltaUpdates), walk.mostEntities,
        static_cast<unsigned long long>(c.clientData),
        static_cast<unsigned long long>(c.tableChanges), reader.state.outside.hud.size(),
        static_cast<unsigned long long>(c.serverChanges));
  }
  EXPECT_EQ(updates, 2961u);  // the checks of message-format.md, section 10
}

}  // namespace
