// The client state of the players' recordings walked frame by frame: every
// delta finds its base in the ring, every update makes the entity count it
// states, and the walk reaches the frames and messages that the independent
// reader counted (message-format.md, section 10).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
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
    const bool sound = i == 0 || entities[i - 1].number < e.number;
    if (!sound && walk->unordered++ == 0) {
      walk->firstProblem =
          "entity " + std::to_string(e.number) + " of " + std::to_string(state.sequence);
    }
  }
}

TEST(DemoStateTest, RecordingsResolveEveryDeltaInTheRing) {
  const struct {
    const char* name;
    uint64_t frames, messages;  // messages: those that change the state
  } recordings[] = {
      {"basic.dem", 294, 1026},     {"weapon.dem", 741, 2523},
      {"hldm.dem", 365, 1118},      {"demotesttestste.dem-2405171129-cs_assault.dem", 229, 949},
      {"normvozduh.dem", 115, 521}, {"dirka_v_dust2_duck.dem", 355, 1290},
      {"minangles.dem", 657, 2196}, {"one_jump_one_time.dem", 379, 1361}};
  uint64_t updates = 0;
  for (const auto& recording : recordings) {
    SCOPED_TRACE(recording.name);
    const std::vector<uint8_t> bytes =
        ReadWholeFile(std::string(QUENDRIX_CORPUS_DIR) + "/" + recording.name);
    if (bytes.empty()) GTEST_SKIP() << "no recording in " QUENDRIX_CORPUS_DIR;
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

// Hand-made messages as the server writes them, read through the watcher
// as a message reader shows them. The entity tables share a structure: the
// custom one sends origin in fewer bits and a colour where the others have
// skin.
const DeltaDescription kEntityFields = {"entity_state_t",
                                        {{"origin", kDeltaInteger, 0, 4, 16, 1, 1},
                                         {"skin", kDeltaInteger, 4, 4, 8, 1, 1},
                                         {"animtime", kDeltaTimeWindow8, 8, 4, 8, 1, 1}}};
const DeltaDescription kCustomFields = {
    "custom_entity_state_t",
    {{"origin", kDeltaInteger, 0, 4, 12, 1, 1}, {"rendercolor", kDeltaInteger, 12, 4, 8, 1, 1}}};
const DeltaDescription kClientFields = {"clientdata_t", {{"health", kDeltaInteger, 0, 4, 8, 1, 1}}};
const DeltaDescription kWeaponFields = {"weapon_data_t", {{"clip", kDeltaInteger, 0, 4, 8, 1, 1}}};

using Message = std::vector<uint8_t>;

Message Description(const DeltaDescription& table) {
  BitWriter out;
  out.Byte(14);
  out.String(table.name.c_str(), table.name.size());
  out.Short(static_cast<int16_t>(table.fields.size()));
  const DeltaDescription& described = FieldDescriptionTable();
  for (const DeltaFieldDescription& f : table.fields) {
    DeltaRecord r;
    r.bits[0] = f.type;
    r.TextToSet(1) = f.name;
    r.bits[2] = f.offset;
    r.bits[3] = f.size;
    r.bits[4] = f.bits;
    r.bits[5] = static_cast<uint32_t>(f.preMultiplier * 4000);
    r.bits[6] = static_cast<uint32_t>(f.postMultiplier * 4000);
    EncodeDelta(out, described, r, ChangedFields(described, r, DeltaRecord()));
  }
  return out.bytes();
}

// A delta of the fields given in order, -1 for those not sent.
void Delta(BitWriter& out, const DeltaDescription& table, const std::vector<int>& values) {
  DeltaRecord record;
  DeltaFields sent;
  for (size_t i = 0; i < values.size(); ++i) {
    if (values[i] < 0) continue;
    record.bits[i] = static_cast<uint32_t>(values[i]);
    sent.mask |= uint64_t{1} << i;
    sent.maskBytes = 1;
  }
  EncodeDelta(out, table, record, sent);
}

struct Named {
  int number;
  std::vector<int> values;  // origin, skin, animtime
  bool removed = false;
  int instanced = -1;
  int offset = 0;
  bool custom = false;
};

// The tests' reader shows one instanced baseline, so each entity has its bit.
Message Update(bool full, int count, int from, const std::vector<Named>& entities) {
  BitWriter out;
  out.Byte(full ? 40 : 41);
  out.Short(static_cast<int16_t>(count));
  if (!full) out.Byte(static_cast<uint8_t>(from));
  for (const Named& e : entities) {
    out.Bit(e.removed);  // in a full update: not the next number
    out.Bit(true);
    out.Bits(static_cast<uint32_t>(e.number), 11);
    if (e.removed) continue;
    out.Bit(e.custom);
    out.Bit(e.instanced >= 0);
    if (e.instanced >= 0) out.Bits(static_cast<uint32_t>(e.instanced), 6);
    if (full && e.instanced < 0) out.Bit(e.offset > 0);
    if (full && e.offset > 0) out.Bits(static_cast<uint32_t>(e.offset), 6);
    Delta(out, e.custom ? kCustomFields : kEntityFields, e.values);
  }
  out.Bits(0, 16);
  return out.bytes();
}

// Baselines: 1 at 100 with skin 1, 5 at 500, custom 9 at 900 with colour
// 3; one instanced at 42 with skin 7.
Message Baselines() {
  BitWriter out;
  out.Byte(22);
  const struct {
    int number;
    bool custom;
    std::vector<int> values;
  } baselines[] = {{1, false, {100, 1}}, {5, false, {500}}, {9, true, {900, 3}}};
  for (const auto& b : baselines) {
    out.Bits(static_cast<uint32_t>(b.number), 11);
    out.Bits(b.custom ? 2 : 1, 2);
    Delta(out, b.custom ? kCustomFields : kEntityFields, b.values);
  }
  out.Bits(0xFFFF, 16);
  out.Bits(1, 6);
  Delta(out, kEntityFields, {42, 7});
  return out.bytes();
}

Message ClientData(int from, int health, const std::vector<std::pair<int, int>>& weapons) {
  BitWriter out;
  out.Byte(15);
  out.Bit(from >= 0);
  if (from >= 0) out.Bits(static_cast<uint32_t>(from), 8);
  Delta(out, kClientFields, {health});
  for (const auto& [slot, clip] : weapons) {
    out.Bit(true);
    out.Bits(static_cast<uint32_t>(slot), 6);
    Delta(out, kWeaponFields, {clip});
  }
  out.Bit(false);
  return out.bytes();
}

Message Bytes(const std::string& bytes) {
  return Message(bytes.begin(), bytes.end());
}
Message Time(float seconds) {
  Message m(5, 7);
  memcpy(&m[1], &seconds, 4);
  return m;
}

struct Frame {
  uint32_t sequence;
  std::vector<Message> messages;
};

// Each message shown as a watched reader shows it, then its frame.
void Feed(DemoStateReader* reader, const std::vector<Frame>& frames) {
  const MessageWatcher watcher = DemoStateWatcher(reader);
  for (const Frame& frame : frames) {
    std::vector<uint8_t> bytes(9 + 436 + 32, 0);
    bytes[0] = 1;
    PutLe32(bytes, 9 + 436, frame.sequence);
    for (const Message& m : frame.messages) {
      watcher.seen(watcher.context,
                   {m.data(), m.size(), m.size(), static_cast<uint8_t>(frame.sequence), 0, 1, false,
                    bytes.data(), 0, false});
    }
    watcher.frameRead(watcher.context, {bytes.data(), bytes.size(), 0, false, true});
  }
}

const std::vector<Frame> kLoading = {
    {1,
     {Description(kEntityFields), Description(kCustomFields), Description(kClientFields),
      Description(kWeaponFields), Baselines(),
      // ScoreInfo, ShowMenu, BombDrop, DeathMsg variable; ScreenFade 10 bytes, BombPickup none.
      Bytes(std::string("\x27\x40\xFFScoreInfo\0\0\0\0\0\0\0", 19)),
      Bytes(std::string("\x27\x41\xFFShowMenu\0\0\0\0\0\0\0\0", 19)),
      Bytes(std::string("\x27\x42\x0AScreenFade\0\0\0\0\0\0", 19)),
      Bytes(std::string("\x27\x43\xFF"
                        "BombDrop\0\0\0\0\0\0\0\0",
                        19)),
      Bytes(std::string("\x27\x44\x00"
                        "BombPickup\0\0\0\0\0\0",
                        19)),
      Bytes(std::string("\x27\x45\xFF"
                        "DeathMsg\0\0\0\0\0\0\0\0",
                        19))}}};

std::string Shown(const DemoState& state) {
  std::string shown = state.entities == nullptr ? "none" : "";
  for (const EntityState& e : state.entities != nullptr ? *state.entities : EntityList()) {
    shown += (shown.empty() ? "" : " ") + std::to_string(e.number) + "=" +
             (e.table == kCustomEntityTable ? "c" : "") + std::to_string(e.record->values.bits[0]) +
             "/" + std::to_string(e.record->values.bits[1]);
  }
  if (state.client == nullptr) return shown;
  shown += " h" + std::to_string(state.client->data->values.bits[0]);
  for (int i = 0; i < kWeaponSlots; ++i) {
    if (state.client->Weapon(i) == nullptr) continue;
    shown +=
        " w" + std::to_string(i) + "=" + std::to_string(state.client->Weapon(i)->values.bits[0]);
  }
  return shown;
}

TEST(DemoStateTest, UpdatesMergeOntoTheFrameTheyName) {
  const struct {
    const char* what;
    std::vector<Frame> frames;
    const char* shown;
    uint64_t dropped, mismatched, converted;
  } cases[] = {
      {"a full update: baselines, the entity before, an instanced one, another table's",
       {{10,
         {Update(
             true, 5, 0,
             {{1, {-1, 2}}, {5, {}}, {6, {}, false, -1, 1}, {7, {}, false, 0}, {9, {-1, 4}}})}}},
       "1=100/2 5=500/0 6=500/0 7=42/7 9=900/4",
       0,
       0,
       1},
      {"a delta: unnamed copied, named updated or removed, new from their baseline or zeros",
       {{10, {Update(true, 3, 0, {{1, {}}, {5, {}}, {8, {80}}})}},
        {11, {Update(false, 3, 10, {{1, {101}}, {5, {}, true}, {20, {20}}})}}},
       "1=101/1 8=80/0 20=20/0",
       0,
       0,
       0},
      {"a custom baseline new in a delta",
       {{10, {Update(true, 1, 0, {{1, {}}})}},
        {11, {Update(false, 2, 10, {{9, {-1, 4}, false, -1, 0, true}})}}},
       "1=100/1 9=c900/4",
       0,
       0,
       0},
      {"a delta from two frames back",
       {{10, {Update(true, 1, 0, {{1, {}}})}},
        {11, {Update(false, 1, 10, {{1, {111}}})}},
        {12, {Update(false, 2, 10, {{5, {}}})}}},
       "1=100/1 5=500/0",
       0,
       0,
       0},
      {"an instanced baseline new in a delta",
       {{10, {Update(true, 1, 0, {{1, {}}})}}, {11, {Update(false, 2, 10, {{30, {}, false, 0}})}}},
       "1=100/1 30=42/7",
       0,
       0,
       0},
      {"two frames of one packet share its slot",
       {{10, {Update(true, 1, 0, {{1, {}}})}},
        {11, {Update(false, 1, 10, {{1, {1}}})}},
        {11, {}},
        {12, {Update(false, 2, 11, {{5, {}}})}}},
       "1=1/1 5=500/0",
       0,
       0,
       0},
      {"the low byte wraps",
       {{255, {Update(true, 1, 0, {{1, {}}})}}, {256, {Update(false, 1, 255, {{1, {2}}})}}},
       "1=2/1",
       0,
       0,
       0},
      {"a delta whose base the ring lacks is dropped",
       {{10, {Update(true, 1, 0, {{1, {}}})}}, {12, {Update(false, 2, 11, {{5, {}}})}}},
       "1=100/1",
       1,
       0,
       0},
      {"deltas from their own frame or 63 back are dropped",
       {{10, {Update(true, 1, 0, {{1, {}}})}},
        {11, {Update(false, 1, 11, {})}},
        {73, {Update(false, 1, 10, {{1, {7}}})}}},
       "1=100/1",
       2,
       0,
       0},
      {"a delta before any full update is dropped",
       {{10, {Update(false, 1, 9, {{1, {}}})}}},
       "none",
       1,
       0,
       0},
      {"a count that the entities do not make",
       {{10, {Update(true, 2, 0, {{1, {}}})}}},
       "1=100/1",
       0,
       1,
       0},
      {"client data onto the frame it names, its weapons with it",
       {{10, {ClientData(-1, 50, {{3, 7}})}}, {11, {ClientData(10, 40, {})}}},
       "none h40 w3=7",
       0,
       0,
       0},
      {"client data whose base is missing starts from zeros",
       {{10, {ClientData(-1, 50, {{3, 7}})}}, {12, {ClientData(11, -1, {{4, 1}})}}},
       "none h0 w4=1",
       1,
       0,
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DemoStateReader reader;
    Feed(&reader, kLoading);
    Feed(&reader, c.frames);
    const DemoStateCounts& n = reader.counts;
    EXPECT_EQ(Shown(reader.state), c.shown);
    EXPECT_EQ(n.missingBases + n.tooOldDeltas + n.deltasBeforeFull + n.clientMissingBases,
              c.dropped);
    EXPECT_EQ(n.countMismatches, c.mismatched);
    EXPECT_EQ(n.tableChanges, c.converted);
    EXPECT_EQ(n.unreadMessages, 0u);
  }
}

// The state after some frames against the state after more: what the later
// frames changed is the difference named, or none.
TEST(DemoStateTest, SameStateNamesWhatLaterMessagesChanged) {
  const Message menuGoesOn =
      Bytes(std::string("\x41\x05\xFF\x01\x00\x01"
                        "A\0",
                        7));
  const Message menuEnds =
      Bytes(std::string("\x41\x05\xFF\x01\x00\x00"
                        "B\0",
                        7));
  const Message staysOut = Bytes(std::string("\x42\0\0\0\0\x04\0\0\0\0\xFF", 11));
  const Message fadesIn = Bytes(std::string("\x42\0\0\0\0\x01\0\0\0\0\xFF", 11));
  const Message full = Update(true, 1, 0, {{1, {}}});
  const struct {
    const char* what;
    std::vector<Frame> before, after;
    const char* difference;  // empty: the same
  } cases[] = {
      {"a one-shot message is not kept",
       {},
       {{2, {Bytes(std::string("\x45\x03\x01\x02x\0", 6))}}},
       ""},
      {"a score by player",
       {{2, {Bytes("\x40\x02\x01\x05")}}},
       {{3, {Bytes("\x40\x02\x02\x05")}}},
       "ScoreInfo of \\x02 is kept in one only"},
      {"the same player's score again",
       {{2, {Bytes("\x40\x02\x01\x05")}}},
       {{3, {Bytes("\x40\x02\x01\x06")}}},
       "ScoreInfo of \\x01 differs"},
      {"the bomb is one state",
       {{2, {Bytes("\x43\x01\x07")}}},
       {{3, {Bytes("\x44")}}},
       "bomb differs"},
      {"a menu's pieces kept together", {{2, {menuGoesOn}}}, {{3, {menuEnds}}}, "ShowMenu differs"},
      {"a whole menu replaced by the next",
       {{2, {menuGoesOn, menuEnds}}},
       {{3, {menuGoesOn, menuEnds}}},
       ""},
      {"a fade that stays out is kept", {}, {{2, {staysOut}}}, "ScreenFade is kept in one only"},
      {"a fade without it drops it",
       {{2, {staysOut}}},
       {{3, {fadesIn}}},
       "ScreenFade is kept in one only"},
      {"a light style",
       {},
       {{2,
         {Bytes(std::string("\x0C\x03"
                            "abc\0",
                            6))}}},
       "light style 3"},
      {"a freed slot",
       {{2,
         {Bytes(std::string("\x0D\x02\x07\0\0\0\\name\\A\0"
                            "0123456789abcdef",
                            30))}}},
       {{3,
         {Bytes(std::string("\x0D\x02\x07\0\0\0\0"
                            "0123456789abcdef",
                            23))}}},
       "the user info of slot 2"},
      {"the view", {}, {{2, {Bytes(std::string("\x05\x02\0", 3))}}}, "the view entity"},
      {"the pause", {}, {{2, {Bytes(std::string("\x18\0", 2))}}}, "the pause"},
      {"the time scale", {}, {{2, {Bytes(std::string("\x37\0\0\0\x3F", 5))}}}, "the time scale"},
      {"the room type", {}, {{2, {Bytes(std::string("\x25\x01\0", 3))}}}, "the room type"},
      {"the CD track", {}, {{2, {Bytes(std::string("\x20\x02\0", 3))}}}, "the CD track"},
      {"an entity's field",
       {{10, {full}}},
       {{11, {Update(false, 1, 10, {{1, {101}}})}}},
       "entity 1 origin: 100 against 101"},
      {"an entity that left",
       {{10, {full}}},
       {{11, {Update(false, 0, 10, {{1, {}, true}})}}},
       "entity 1 is in one only"},
      {"a time sent again from a later clock",
       {{10, {Time(10), Update(true, 1, 0, {{1, {-1, -1, 50 << 1}}})}}},
       {{11, {Time(10.5f), Update(false, 1, 10, {{1, {-1, -1, 100 << 1}}})}}},
       ""},
      {"a time a hundredth later",
       {{10, {Time(10), Update(true, 1, 0, {{1, {-1, -1, 50 << 1}}})}}},
       {{11, {Time(10.5f), Update(false, 1, 10, {{1, {-1, -1, 99 << 1}}})}}},
       "entity 1 animtime: 9.5 against 9.51"},
      {"client data",
       {{10, {ClientData(-1, 50, {})}}},
       {{11, {ClientData(10, -1, {{2, 1}})}}},
       "weapon 2 clip: 0 against 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DemoStateReader before, after;
    for (DemoStateReader* reader : {&before, &after}) {
      Feed(reader, kLoading);
      Feed(reader, c.before);
    }
    Feed(&after, c.after);
    std::string difference;
    EXPECT_EQ(SameState(before.state, after.state, &difference), *c.difference == '\0');
    EXPECT_EQ(difference, c.difference);
    EXPECT_EQ(before.counts.unreadMessages + after.counts.unreadMessages, 0u);
  }
}

// A timer that came at 10 s, sent again at another clock.
TEST(DemoStateTest, TimersAreSentAgainWithTheTimeLeft) {
  const struct {
    const char* name;
    std::vector<uint8_t> body;
    double clock;
    std::vector<uint8_t> again;
  } cases[] = {
      {"RoundTime", {30, 0}, 25.4, {15, 0}},
      {"RoundTime", {0x2C, 0x01}, 10, {0x2C, 0x01}},    // 300 s, at once
      {"BarTime", {3, 0}, 20, {0, 0}},                  // run out
      {"BarTime2", {10, 0, 0, 0}, 15, {10, 0, 50, 0}},  // half of 10 s gone
      {"BarTime2", {10, 0, 20, 0}, 14, {10, 0, 60, 0}},
      {"RoundTime", {1, 2, 3}, 25, {1, 2, 3}},  // not a timer's body: as it came
      {"Money", {30, 0}, 25, {30, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(c.clock));
    const HudMessage message = {c.name, {c.body}, 10, 0};
    EXPECT_EQ(TimerBodyAt(message, c.clock), c.again);
    const HudMessage again = {c.name, {c.again}, c.clock, 0};
    EXPECT_EQ(TimerEnd(message).has_value(), TimerEnd(again).has_value());
    if (TimerEnd(message) && TimerEnd(message) > c.clock) {
      EXPECT_NEAR(*TimerEnd(again), *TimerEnd(message), 0.5);
    }
  }
}

// A record keeps the clock of each time-window field of its table, the
// first few in place and the rest beside them, and none of other fields.
TEST(DemoStateTest, RecordsKeepTheClockOfEveryTimeWindowField) {
  const uint64_t windows = 0xB6Dull | uint64_t{1} << (kMostSentFields - 1);
  StateRecord record;
  for (size_t i = 0; i < kMostSentFields; ++i)
    record.SetClock(windows, i, static_cast<float>(i + 1));
  for (size_t i = 0; i < kMostSentFields; ++i) {
    EXPECT_EQ(record.Clock(windows, i), (windows >> i & 1) != 0 ? i + 1.0f : 0.0f) << "field " << i;
  }
}

}  // namespace
