// The directory and the frame walk: frames at the bounds of the layout,
// directories damaged in every way a reader meets, the walk made window by
// window against the whole walk, and repairs that read back as intact.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "demo/demo_repair.h"
#include "demo/demo_structure.h"
#include "tests/native/demo_walk_support.h"
#include "tests/native/test_bytes.h"
#include "tests/reference/literal_walk.h"
#include "tools/demo_writer.h"

namespace {

// Frames for a recording without a directory.
std::vector<uint8_t> Frame(uint8_t type, float time, int32_t number, size_t bodySize) {
  std::vector<uint8_t> bytes(9 + bodySize, 0);
  bytes[0] = type;
  uint32_t bits;
  memcpy(&bits, &time, sizeof bits);
  PutLe32(bytes, 1, bits);
  PutLe32(bytes, 5, static_cast<uint32_t>(number));
  return bytes;
}

// A protocol 5 network message: its length field, then that many bytes when
// they fit (fewer for lengths out of bounds).
std::vector<uint8_t> Message(uint8_t type, float time, int32_t length, int32_t width = 0,
                             int32_t height = 0) {
  std::vector<uint8_t> bytes = Frame(type, time, 0, 468);
  PutLe32(bytes, 9 + 212 + 8, static_cast<uint32_t>(width));
  PutLe32(bytes, 9 + 212 + 12, static_cast<uint32_t>(height));
  PutLe32(bytes, 473, static_cast<uint32_t>(length));
  bytes.resize(bytes.size() + static_cast<size_t>(std::clamp(length, 0, 70000)), 0x55);
  return bytes;
}

std::vector<uint8_t> WithLength(std::vector<uint8_t> frame, size_t at, int32_t length,
                                size_t tail) {
  PutLe32(frame, at, static_cast<uint32_t>(length));
  frame.resize(frame.size() + static_cast<size_t>(std::clamp(length, 0, 70000)) + tail, 0x33);
  return frame;
}

std::vector<uint8_t> Header(int32_t protocol) {
  std::vector<uint8_t> bytes(kDemoHeaderSize, 0);
  PutText(bytes, 0, "HLDEMO");
  PutLe32(bytes, 8, static_cast<uint32_t>(protocol));
  PutLe32(bytes, 12, 48);
  return bytes;
}

std::vector<uint8_t> Join(int32_t protocol, const std::vector<std::vector<uint8_t>>& frames) {
  std::vector<uint8_t> bytes = Header(protocol);
  for (const std::vector<uint8_t>& frame : frames)
    bytes.insert(bytes.end(), frame.begin(), frame.end());
  return bytes;
}

const std::vector<uint8_t> kNextSection5 = Frame(5, 0.0f, 0, 0);
const std::vector<uint8_t> kStart = Frame(2, 0.0f, 0, 0);

struct WalkCase {
  const char* what;
  std::vector<uint8_t> demo;
  int64_t frames;
  float duration;
  bool closed;
  const char* problem;  // after "No directory ..."; "" for none
};

TEST(FrameWalk, PartsAtTheBoundsOfTheLayout) {
  const WalkCase cases[] = {
      {"closed playback, what follows ignored",
       Join(5, {kNextSection5, kNextSection5, kStart, Message(1, 0.5f, 10), Frame(5, 0.5f, 2, 0),
                Frame(0xEE, 0, 0, 3)}),
       1, 0.5f, true, ""},
      {"message of 65536 bytes", Join(5, {kNextSection5, kStart, Message(1, 1.0f, 65536)}), 1, 1.0f,
       false, ""},
      {"message of 65537 bytes", Join(5, {kNextSection5, kStart, Message(1, 1.0f, 65537)}), 0, 0.0f,
       false, "A frame at byte 562 has an impossible length (65537)."},
      {"message of -1 bytes", Join(5, {kNextSection5, kStart, Message(1, 1.0f, -1)}), 0, 0.0f,
       false, "A frame at byte 562 has an impossible length (-1)."},
      {"sound name of 260 bytes",
       Join(5, {kNextSection5, kStart, WithLength(Frame(8, 2.0f, 1, 8), 13, 260, 16)}), 0, 2.0f,
       false, ""},
      {"sound name of 261 bytes",
       Join(5, {kNextSection5, kStart, WithLength(Frame(8, 2.0f, 1, 8), 13, 261, 16)}), 0, 0.0f,
       false, "A frame at byte 562 has an impossible length (261)."},
      {"demo buffer of 65537 bytes",
       Join(5, {kNextSection5, kStart, WithLength(Frame(9, 2.0f, 1, 4), 9, 65537, 0)}), 0, 0.0f,
       false, "A frame at byte 562 has an impossible length (65537)."},
      {"unknown type 10", Join(5, {kNextSection5, kStart, Frame(10, 3.0f, 1, 40)}), 0, 0.0f, false,
       "A frame of unknown type 10 at byte 562."},
      {"cut within a frame's fixed part",
       Cut(Join(5, {kNextSection5, kStart, Message(1, 1.0f, 0)}), 1039 - 10), 0, 0.0f, false,
       "A frame at byte 562 is cut off by the end of the file."},
      {"cut within a message",
       Cut(Join(5, {kNextSection5, kStart, Message(1, 1.5f, 100), Message(1, 2.0f, 100)}),
           1716 - 1),
       1, 1.5f, false, "A frame at byte 1139 is cut off by the end of the file."},
      {"protocol 4: type 8 ends a section, 5 is a command, 9 unknown",
       Join(4, {Frame(8, 0, 0, 0), Frame(2, 0, 0, 0), Frame(5, 1.0f, 1, 64),
                WithLength(Frame(1, 1.25f, 2, 28), 33, 5, 0), Frame(9, 0, 0, 0)}),
       1, 1.25f, false, "A frame of unknown type 9 at byte 677."},
      {"protocol 4: closed",
       Join(4, {Frame(8, 0, 0, 0), Frame(4, 0.75f, 1, 0), Frame(8, 0.75f, 2, 0)}), 0, 0.75f, true,
       ""},
      {"loading never closed", Join(5, {Message(0, 0.0f, 3)}), 0, 0.0f, false, ""},
      {"nothing after the header", Header(5), 0, 0.0f, false, ""},
  };
  for (const WalkCase& c : cases) {
    const DemoStructure found = ReadDemoStructure(c.demo.data(), c.demo.size());
    EXPECT_FALSE(found.intact) << c.what;
    EXPECT_EQ(found.frames, c.frames) << c.what;
    EXPECT_FLOAT_EQ(static_cast<float>(found.duration), c.duration) << c.what;
    EXPECT_EQ(found.parts.playbackClosed, c.closed) << c.what;
    std::vector<std::string> problems = {
        "No directory (its offset is 0): the recording was cut off."};
    if (*c.problem != '\0') problems.push_back(c.problem);
    EXPECT_EQ(found.problems, problems) << c.what;
    EXPECT_EQ(WalkInWindows(c.demo, kWalkLookAhead + 3), Describe(found)) << c.what;
  }
}

TEST(FrameWalk, ViewportFromTheFirstMessageThatStoresOne) {
  const std::vector<uint8_t> demo =
      Join(5, {Message(0, 0, 0, 0, 768), Message(0, 0, 0, 1024, 0), kNextSection5, kStart,
               Message(1, 0.1f, 0, 1440, 900), Message(1, 0.2f, 0, 1920, 1080), kNextSection5});
  const DemoStructure found = ReadDemoStructure(demo.data(), demo.size());
  EXPECT_TRUE(found.hasViewport);
  EXPECT_EQ(found.viewportWidth, 1440);
  EXPECT_EQ(found.viewportHeight, 900);
  const std::vector<uint8_t> none = Join(5, {kNextSection5, kStart, Message(1, 0.1f, 0, -5, 600)});
  EXPECT_FALSE(ReadDemoStructure(none.data(), none.size()).hasViewport);
}

// The copy holds the damaged demo's header but for its directory offset and
// its frames up to the last whole one, and reads back as an intact recording
// with the frames and duration that the damaged one showed.
void ExpectReadsBackIntact(const std::vector<uint8_t>& demo, const std::vector<uint8_t>& repaired,
                           const DemoStructure& found, const std::string& what) {
  const RecordingParts& parts = found.parts;
  ASSERT_GT(repaired.size(), parts.playbackEnd) << what;
  EXPECT_TRUE(std::equal(demo.begin(), demo.begin() + 540, repaired.begin())) << what;
  EXPECT_TRUE(std::equal(demo.begin() + kDemoHeaderSize,
                         demo.begin() + static_cast<long>(parts.playbackEnd),
                         repaired.begin() + kDemoHeaderSize))
      << what;
  EXPECT_EQ(GetLe32(repaired, 540), repaired.size() - 4 - 2 * kDirectoryEntrySize) << what;
  const DemoStructure back = ReadDemoStructure(repaired.data(), repaired.size());
  EXPECT_TRUE(back.intact) << what << "\n" << Describe(back);
  EXPECT_EQ(back.duration, found.duration) << what;
  ASSERT_EQ(back.segments.size(), 2u) << what;
  const DemoSegment& loading = back.segments[0];
  const DemoSegment& playback = back.segments[1];
  EXPECT_EQ(std::make_tuple(loading.type, std::string(loading.description), loading.flags,
                            loading.cdTrack, loading.time, loading.frames, loading.offset),
            std::make_tuple(0, std::string("LOADING"), 0, -1, 0.0f, 0, 544))
      << what;
  EXPECT_EQ(static_cast<uint64_t>(loading.length), parts.loadingEnd - kDemoHeaderSize) << what;
  EXPECT_EQ(std::make_tuple(playback.type, std::string(playback.description), playback.flags,
                            playback.cdTrack, playback.time, int64_t{playback.frames}),
            std::make_tuple(1, std::string("Playback"), 0, -1, parts.lastTime, found.frames))
      << what;
  EXPECT_EQ(static_cast<uint64_t>(playback.offset), parts.loadingEnd) << what;
}

struct DirectoryCase {
  const char* what;
  void (*damage)(std::vector<uint8_t>& demo, size_t directory);
  size_t segments;
  std::string firstProblem;  // "" when intact
};

TEST(Directory, SoundOrWhyNot) {
  DemoRecipe recipe;
  recipe.playbackFrames = 20;
  const std::vector<uint8_t> written = WriteDemo(recipe);
  const size_t directory = GetLe32(written, 540);
  const size_t playback = GetLe32(written, directory + 4 + 92 + 84);
  // The written playback frames: a message of 64 bytes and client data.
  const size_t lastButOneMessage = directory - 9 - 2 * (477 + 64 + 41);
  const DirectoryCase cases[] = {
      {"as written", [](std::vector<uint8_t>&, size_t) {}, 2, ""},
      {"offset into the header", [](std::vector<uint8_t>& d, size_t) { PutLe32(d, 540, 543); }, 0,
       "The directory at byte 543 lies outside the file."},
      {"no entries", [](std::vector<uint8_t>& d, size_t at) { PutLe32(d, at, 0); }, 0,
       "The directory at byte " + std::to_string(directory) +
           " holds 0 entries (1 to 1024 are possible)."},
      {"1025 entries", [](std::vector<uint8_t>& d, size_t at) { PutLe32(d, at, 1025); }, 0,
       "The directory at byte " + std::to_string(directory) +
           " holds 1025 entries (1 to 1024 are possible)."},
      {"three entries", [](std::vector<uint8_t>& d, size_t at) { PutLe32(d, at, 3); }, 0,
       "The directory at byte " + std::to_string(directory) + " runs past the end of the file."},
      {"one entry: loading alone is intact",
       [](std::vector<uint8_t>& d, size_t at) {
         PutLe32(d, at, 1);
         d.resize(at + 4 + 92);
       },
       1, ""},
      {"playback longer than the file",
       [](std::vector<uint8_t>& d, size_t at) { PutLe32(d, at + 4 + 92 + 88, 0x90000000); }, 0,
       "Segment 2 (Playback) lies outside the file's frames: bytes " + std::to_string(playback) +
           " to " + std::to_string(playback + 0x90000000ull) + ", the directory at " +
           std::to_string(directory) + "."},
      {"playback over the loading segment",
       [](std::vector<uint8_t>& d, size_t at) { PutLe32(d, at + 4 + 92 + 84, 544); }, 0,
       "Segment 2 (Playback) overlaps segment 1 (LOADING)."},
      {"loading before the header",
       [](std::vector<uint8_t>& d, size_t at) { PutLe32(d, at + 4 + 84, 543); }, 0,
       "Segment 1 (LOADING) lies outside the file's frames"},
      {"loading without its next-section",
       [](std::vector<uint8_t>& d, size_t at) {
         PutLe32(d, at + 4 + 88, GetLe32(d, at + 4 + 88) - 9);
       },
       2, "Segment 1 (LOADING) does not end with a next-section frame."},
      {"playback starting a byte late",
       [](std::vector<uint8_t>& d, size_t at) {
         PutLe32(d, at + 4 + 92 + 84, GetLe32(d, at + 4 + 92 + 84) + 1);
         PutLe32(d, at + 4 + 92 + 88, GetLe32(d, at + 4 + 92 + 88) - 1);
       },
       2, "A frame at byte 4027"},
      {"a frame's type corrupted",
       [](std::vector<uint8_t>& d, size_t at) { d[at - 9 - 2 * (477 + 64 + 41)] = 0x77; }, 2,
       "A frame of unknown type 119 at byte " + std::to_string(lastButOneMessage) + "."},
  };
  for (const DirectoryCase& c : cases) {
    std::vector<uint8_t> demo = written;
    c.damage(demo, directory);
    const DemoStructure found = ReadDemoStructure(demo.data(), demo.size());
    EXPECT_EQ(found.segments.size(), c.segments) << c.what;
    EXPECT_EQ(found.intact, c.firstProblem.empty()) << c.what;
    if (!found.intact) {
      ASSERT_FALSE(found.problems.empty()) << c.what;
      EXPECT_EQ(found.problems[0].substr(0, c.firstProblem.size()), c.firstProblem) << c.what;
    }
    std::vector<uint8_t> repaired;
    EXPECT_EQ(RepairDemoBytes(demo.data(), demo.size(), &repaired),
              found.intact ? RepairOutcome::kAlreadyIntact : RepairOutcome::kRepaired)
        << c.what;
    if (!found.intact) ExpectReadsBackIntact(demo, repaired, found, c.what);
    EXPECT_EQ(WalkInWindows(demo, kWalkLookAhead + 1), Describe(found)) << c.what;
  }
}

class DamagedRecordings : public testing::TestWithParam<const char*> {};

// Each recording damaged as crashes, editors and copies damage them. Those
// that keep their whole playback part repair back to the recording itself
// (the HLTV proxy's stores CD track 0, the copy -1); the others to its frames
// up to the damage.
// A demo of any size whose bytes are zeros but for its header and its end.
struct SparseDemo {
  std::vector<uint8_t> header, tail;
  uint64_t size;
};

size_t ReadSparse(void* source, uint64_t offset, uint8_t* into, size_t size) {
  const SparseDemo& demo = *static_cast<const SparseDemo*>(source);
  const uint64_t tailAt = demo.size - demo.tail.size();
  size_t got = 0;
  for (; got < size && offset + got < demo.size; ++got) {
    const uint64_t at = offset + got;
    into[got] = at < demo.header.size() ? demo.header[at]
                : at >= tailAt          ? demo.tail[at - tailAt]
                                        : 0;
  }
  return got;
}

// Offsets and lengths are unsigned: a copy past 2 GiB reads back as it was
// planned, and one whose directory would lie past 4 GiB is refused.
TEST(Directory, RepairsPast2GiB) {
  const struct {
    uint64_t playbackEnd;
    RepairOutcome outcome;
  } cases[] = {
      {(5ull << 29), RepairOutcome::kRepaired},    // 2.5 GiB
      {UINT32_MAX - 9, RepairOutcome::kRepaired},  // the next-section frame's end at 4 GiB - 1
      {UINT32_MAX - 8, RepairOutcome::kTooLarge},
  };
  for (const auto& c : cases) {
    DemoStructure cut;
    cut.knownProtocol = true;
    cut.demoProtocol = 5;
    cut.parts = {100000, c.playbackEnd, false, 1.5f, 9, 7};
    RepairPlan plan;
    ASSERT_EQ(PlanRepair(cut, &plan), c.outcome) << c.playbackEnd;
    if (c.outcome != RepairOutcome::kRepaired) continue;
    SparseDemo copy = {std::vector<uint8_t>(kDemoHeaderSize), plan.trailer,
                       plan.keepEnd + plan.trailer.size()};
    copy.header[8] = 5;
    PutLe32(copy.header, 540, plan.directoryOffset);
    DemoWalk walk;
    StartDemoWalk(&walk, copy.size, ReadSparse, &copy);
    ASSERT_EQ(walk.found.segments.size(), 2u) << Describe(walk.found);
    EXPECT_EQ(walk.found.segments[1].offset, 100000u);
    EXPECT_EQ(walk.found.segments[1].length, plan.directoryOffset - 100000u);
    EXPECT_EQ(uint64_t{plan.directoryOffset}, c.playbackEnd + 9);
  }
}

TEST_P(DamagedRecordings, RepairBackToTheirFrames) {
  const std::vector<uint8_t> recording =
      ReadWholeFile(std::string(QUENDRIX_CORPUS_DIR) + "/" + GetParam());
  if (recording.empty()) GTEST_SKIP() << "no recording " << GetParam();
  const DemoStructure whole = ReadDemoStructure(recording.data(), recording.size());
  ASSERT_TRUE(whole.intact);
  const size_t directory = whole.directoryOffset;
  const size_t playback = whole.parts.loadingEnd;
  const size_t middle = (playback + directory) / 2;
  const std::vector<uint8_t> cutInMiddle = Cut(recording, middle);
  RepairPlan plan;
  ASSERT_EQ(PlanRepair(ReadDemoStructure(cutInMiddle.data(), cutInMiddle.size()), &plan),
            RepairOutcome::kRepaired);
  const size_t frameInMiddle = static_cast<size_t>(plan.keepEnd);  // the frame that was cut

  struct Damage {
    std::string what;
    std::vector<uint8_t> demo;
    bool wholePlayback;
    RepairOutcome repair;
  };
  auto edited = [&](std::string what, size_t at, uint32_t value) {
    std::vector<uint8_t> demo = recording;
    PutLe32(demo, at, value);
    return Damage{what, demo, true, RepairOutcome::kRepaired};
  };
  auto cut = [&](std::string what, size_t size, RepairOutcome repair) {
    return Damage{what + " (" + std::to_string(size) + ")", Cut(recording, size), false, repair};
  };
  std::vector<Damage> damages = {
      edited("offset zeroed", 540, 0),
      edited("bad entry count", directory, 0x100),
      edited("playback entry longer than the file", directory + 4 + 92 + 88,
             static_cast<uint32_t>(recording.size())),
      Damage{"directory removed", Cut(recording, directory), true, RepairOutcome::kRepaired},
      cut("cut within the last next-section frame", directory - 1, RepairOutcome::kRepaired),
      cut("cut before the last next-section frame", directory - 9, RepairOutcome::kRepaired),
      cut("cut in the middle", middle, RepairOutcome::kRepaired),
      cut("cut after the start of playback", playback + 10, RepairOutcome::kRepaired),
      cut("cut at the start of playback", playback, RepairOutcome::kNothingToKeep),
      cut("cut within loading", (kDemoHeaderSize + playback) / 2, RepairOutcome::kNothingToKeep),
      cut("cut within the header", 300, RepairOutcome::kNothingToKeep),
  };
  std::vector<uint8_t> corrupted = recording;
  corrupted[frameInMiddle] = 0xC8;
  damages.push_back({"frame type corrupted", corrupted, false, RepairOutcome::kRepaired});

  for (const Damage& damage : damages) {
    const std::vector<uint8_t>& demo = damage.demo;
    const DemoStructure found = ReadDemoStructure(demo.data(), demo.size());
    EXPECT_FALSE(found.intact) << damage.what;
    EXPECT_FALSE(found.problems.empty()) << damage.what;
    std::vector<uint8_t> repaired;
    ASSERT_EQ(RepairDemoBytes(demo.data(), demo.size(), &repaired), damage.repair)
        << damage.what << "\n"
        << Describe(found);
    for (size_t capacity : {kWalkLookAhead, size_t{4096}, size_t{65536 + 4099}}) {
      EXPECT_EQ(WalkInWindows(demo, capacity), Describe(found)) << damage.what << " " << capacity;
    }
    if (damage.repair != RepairOutcome::kRepaired) {
      EXPECT_TRUE(repaired.empty());
      EXPECT_EQ(found.frames, 0) << damage.what;
      EXPECT_EQ(found.duration, 0.0) << damage.what;
      continue;
    }
    ExpectReadsBackIntact(demo, repaired, found, damage.what);
    if (damage.wholePlayback) {
      EXPECT_EQ(found.frames, whole.frames) << damage.what;
      EXPECT_EQ(found.duration, whole.duration) << damage.what;
      std::vector<uint8_t> expected = recording;
      if (whole.segments[0].cdTrack == 0) {
        for (size_t entry : {directory + 4, directory + 4 + 92}) PutLe32(expected, entry + 72, ~0u);
      }
      EXPECT_TRUE(repaired == expected) << damage.what;
    } else {
      EXPECT_LE(found.frames, whole.frames) << damage.what;
      // Up to the damaged frame, as far as the cut in the middle keeps.
      if (damage.what == "frame type corrupted") {
        EXPECT_EQ(found.parts.playbackEnd, frameInMiddle);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, DamagedRecordings,
                         testing::Values("basic.dem", "weapon.dem", "hldm.dem", "1016.dem",
                                         "cool.dem",
                                         "demotesttestste.dem-2405171129-cs_assault.dem",
                                         "normvozduh.dem", "dirka_v_dust2_duck.dem",
                                         "minangles.dem", "one_jump_one_time.dem"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find_first_of(".-"));
                         });

// Directories of one to four entries anywhere in the frames, most of them on
// frame boundaries (the two segments cut at the same frame, or at the ends of
// next-section frames), so that walks meet, part and jump over each other.
void RewriteDirectory(std::vector<uint8_t>& demo, std::mt19937& random) {
  const size_t directory = GetLe32(demo, 540);
  const DemoStructure found = ReadDemoStructure(demo.data(), demo.size());
  const uint64_t boundaries[] = {kDemoHeaderSize, found.parts.loadingEnd, found.parts.playbackEnd,
                                 found.parts.playbackEnd - 9};
  auto place = [&]() -> uint64_t {
    return random() % 3 != 0 ? boundaries[random() % 4]
                             : kDemoHeaderSize + random() % (directory - kDemoHeaderSize);
  };
  const size_t count = 1 + random() % 4;
  demo.resize(directory);
  PutLe32(demo, directory, static_cast<uint32_t>(count));
  for (size_t i = 0; i < count; ++i) {
    uint64_t start = place(), end = place();
    if (end < start) std::swap(start, end);
    const size_t entry = directory + 4 + i * kDirectoryEntrySize;
    PutLe32(demo, entry, static_cast<uint32_t>(random() % 2));
    PutText(demo, entry + 4, std::string(64, '\0'));
    PutLe32(demo, entry + 84, static_cast<uint32_t>(start));
    PutLe32(demo, entry + 88, static_cast<uint32_t>(end - start));
  }
}

// The walk window by window against the whole walk, on written demos damaged
// at random: bytes changed in frame headers, lengths and the directory, and
// cuts anywhere; windows from the smallest that makes progress upwards, so
// that frames and directories straddle their seams. The segments of a sound
// directory against each walked on its own.
TEST(WalkDifferential, WindowsGiveTheWholeWalk) {
  std::mt19937 random(1207);
  for (int round = 0; round < 4000; ++round) {
    DemoRecipe recipe;
    recipe.playbackFrames = random() % 12;
    recipe.demoProtocol = random() % 5 == 0 ? 4 : 5;
    recipe.viewportWidth = random() % 3 == 0 ? 0 : 640;
    recipe.seed = static_cast<uint32_t>(round + 1);
    std::vector<uint8_t> demo = WriteDemo(recipe);
    if (random() % 2 == 0) RewriteDirectory(demo, random);
    for (int changes = random() % 4; changes > 0; --changes) {
      const size_t at = random() % demo.size();
      demo[at] = static_cast<uint8_t>(random() % 3 == 0 ? random() : random() % 12);
    }
    if (random() % 3 == 0) demo.resize(random() % demo.size() + 1);
    const DemoStructure whole = ReadDemoStructure(demo.data(), demo.size());
    const size_t capacity = kWalkLookAhead + random() % 1500;
    ASSERT_EQ(WalkInWindows(demo, capacity), Describe(whole))
        << "round " << round << ", windows of " << capacity;
    if (!whole.segments.empty() && whole.knownProtocol) {
      const LiteralSegments literal = LiteralWalkSegments(demo.data(), demo.size(), whole);
      ASSERT_EQ(whole.intact, literal.intact) << "round " << round << "\n" << Describe(whole);
      if (literal.intact) {
        ASSERT_EQ(whole.duration, literal.duration) << "round " << round;
        ASSERT_EQ(whole.frames, literal.frames) << "round " << round;
        ASSERT_EQ(whole.viewportWidth, literal.viewportWidth) << "round " << round;
        ASSERT_EQ(whole.viewportHeight, literal.viewportHeight) << "round " << round;
      }
    }
    std::vector<uint8_t> repaired;
    if (RepairDemoBytes(demo.data(), demo.size(), &repaired) == RepairOutcome::kRepaired) {
      ASSERT_TRUE(ReadDemoStructure(repaired.data(), repaired.size()).intact) << "round " << round;
    }
  }
}

}  // namespace
