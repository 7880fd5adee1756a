// What the server messages say, on the players' recordings and on demos of
// the project's own that hold the game's messages (those of players' chat
// and kills are not in any recording), and what a block that cannot be read
// to its end costs.
#include <gtest/gtest.h>

#include <string>

#include "common/utf8_text.h"
#include "tests/native/message_support.h"
#include "tests/native/test_bytes.h"
#include "tools/demo_writer.h"
#include "tools/message_writer.h"

namespace {

std::vector<uint8_t> ReadCorpusFile(const std::string& name) {
  return ReadWholeFile(std::string(QUENDRIX_CORPUS_DIR) + "/" + name);
}

// Facts that a player would check, as the recordings' own messages give them
// and as the message layout's notes list them for each recording.
struct Recording {
  const char* file;
  const char* server;  // "" when the messages are not read
  const char* mapFile;
  int maxPlayers;
  const char* recorder;
  int recorderSlot;
  size_t players;
  size_t kills;
  const char* aKill;  // as --details prints it, or ""
};

const Recording kRecordings[] = {
    {"basic.dem", "Half-Life", "maps/c1a0.bsp", 1, "^2{^7ch^2e^7a^2t^7s^2}^0__$#]^@", 0, 1, 0, ""},
    {"weapon.dem", "Half-Life", "maps/crossfire.bsp", 1, "Player", 0, 1, 0, ""},
    {"hldm.dem", "[TR] CSDuragi HaLf-Life Server 2 [ GLOBAL ]", "maps/stalkyard.bsp", 32, "Player",
     9, 20, 12, "0:07 SATANiST killed Player with 9mmhandgun\n"},
    {"demotesttestste.dem-2405171129-cs_assault.dem", "Counter-Strike 1.6 Server:0",
     "maps/cs_assault.bsp", 32, "HLTV Proxy", 0, 1, 0, ""},
    {"normvozduh.dem", "Half-Life", "maps/cs_assault.bsp", 32, "Player", 1, 2, 0, ""},
    {"dirka_v_dust2_duck.dem", "Counter-Strike", "maps/de_dust2.bsp", 32, "Karaul0v", 0, 1, 0, ""},
    {"minangles.dem", "Counter-Strike", "maps/de_nuke.bsp", 32,
     "\xD0\x9F\xD0\xA4\xD0\xAB\xD0\x92\xD0\x9F\xD0\xA4\xD0\xAB\xD0\x92\xD0\x9F\xD0\xA4\xD0\xAB\xD0"
     "\x9F\xD0\x92",
     0, 1, 0, ""},
    {"one_jump_one_time.dem", "Counter-Strike", "maps/cs_assault.bsp", 32, "Player", 0, 1, 0, ""},
    {"1016.dem", "", "", 0, "", 0, 1, 0, ""},
    {"cool.dem", "", "", 0, "", 0, 1, 0, ""},
};

TEST(MessagesTest, RecordingsSayWhoPlayedWhere) {
  for (const Recording& r : kRecordings) {
    const std::vector<uint8_t> demo = ReadCorpusFile(r.file);
    if (demo.empty()) GTEST_SKIP() << "no recording " << r.file << " in " QUENDRIX_CORPUS_DIR;
    const DemoMessages found = ReadMessages(demo);
    const std::string details = Describe(found);
    const bool read = r.server[0] != '\0';
    EXPECT_EQ(found.read, read ? MessagesRead::kAll : MessagesRead::kNotRead) << r.file << "\n"
                                                                              << details;
    EXPECT_EQ(found.server.name, r.server) << r.file;
    EXPECT_EQ(found.server.mapFile, r.mapFile) << r.file;
    EXPECT_EQ(found.server.maxPlayers, r.maxPlayers) << r.file;
    EXPECT_EQ(found.maps.size(), read ? 1u : 0u) << r.file;
    EXPECT_EQ(found.recorderName.name, r.recorder) << r.file;
    EXPECT_EQ(found.recorderSlot, r.recorderSlot) << r.file;
    EXPECT_EQ(found.players.size(), r.players) << r.file;
    EXPECT_EQ(found.kills.size(), r.kills) << r.file;
    EXPECT_NE(details.find(r.aKill), std::string::npos) << r.file << "\n" << details;
    // Frames cut by every window's end are gathered whole.
    EXPECT_EQ(Describe(ReadMessagesInWindows(demo, 1000)), details) << r.file;
    if (!read) continue;
    // The plain-text search that older demos get finds the same names.
    std::vector<uint8_t> older = demo;
    older[12] = 46;
    EXPECT_EQ(ReadMessages(older).players, found.players) << r.file;
    // Network protocol 47 has the same messages.
    older[12] = 47;
    EXPECT_EQ(Describe(ReadMessages(older)), details) << r.file;
  }
}

constexpr int kDeathMsg = 64, kSayText = 65, kVariable = 255;

// A demo whose slots 0 and 1 hold Alice and Bob, with one playback frame for
// each message block given.
std::vector<uint8_t> DemoWith(const std::string& gameDir,
                              const std::vector<std::vector<uint8_t>>& playback) {
  DemoRecipe recipe;
  recipe.gameDirectory = gameDir;
  recipe.playbackFrames = playback.size() + 1;
  recipe.loadingMessages = {MessageBlock()
                                .ServerInfo(gameDir, "host", "maps/qx.bsp", 8, 1)
                                .NewUserMessage(kDeathMsg, kVariable, "DeathMsg")
                                .NewUserMessage(kSayText, kVariable, "SayText")
                                .DeltaDescription("clientdata_t", {8, 8})
                                .bytes(),
                            MessageBlock().UserInfo(0, "Alice").UserInfo(1, "Bob").bytes()};
  recipe.playbackMessages = playback;
  return WriteDemo(recipe);
}

std::vector<uint8_t> Say(const std::string& body) {
  return MessageBlock().UserMessage(kSayText, body, true).bytes();
}
std::vector<uint8_t> Death(const std::string& body) {
  return MessageBlock().UserMessage(kDeathMsg, body, true).bytes();
}

TEST(MessagesTest, ChatAndKillsAsPlayersReadThem) {
  const std::string S("\0", 1);  // ends each text of a body
  const struct {
    const char* gameDir;
    std::vector<uint8_t> block;
    std::string expected;  // the --details line
  } cases[] = {
      {"valve",
       Say("\x01\x02"
           "Alice: gg\n" +
           S),
       "0:00 Alice: gg\n"},
      {"cstrike", Say("\x01#Cstrike_Chat_All" + S + S + "  gg wp " + S), "0:00 Alice: gg wp\n"},
      {"cstrike", Say("\x02#Cstrike_Name_Change" + S + "Bob" + S + "Bobby" + S),
       "0:00 Bob (Cstrike_Name_Change): Bobby\n"},
      {"cstrike", Say("\x01#Cstrike_Chat_T" + S), "0:00 Alice (Cstrike_Chat_T): \n"},
      {"valve", Say(std::string("\x00", 1) + "%s says %s to %s" + S + "Bob" + S + "hi" + S),
       "0:00 Bob says hi to\n"},
      {"valve",
       Say("\x05\x01\x04"
           "Alice\x01 :\x03 h\xE9 " +
           S),
       "0:00 Alice : h\xC3\xA9\n"},
      {"valve", Say("\x05#Cstrike_Chat_All" + S + S + "hi" + S), "0:00 someone: hi\n"},
      {"valve",
       Death("\x01\x02"
             "crowbar" +
             S),
       "0:00 Alice killed Bob with crowbar\n"},
      {"valve", Death(std::string("\x00\x02", 2) + "trigger_hurt" + S),
       "0:00 Bob died by trigger_hurt\n"},
      {"cstrike",
       Death("\x02\x01\x01"
             "ak47" +
             S),
       "0:00 Bob killed Alice with ak47, headshot\n"},
      {"czero", Death("\x02\x02" + S + "grenade" + S), "0:00 Bob killed themself with grenade\n"},
      // After client data whose mask has three bytes, the last two empty.
      {"valve",
       MessageBlock()
           .Bytes(std::string("\x0F\x16\x00\x00\xB0\x0A", 6))
           .UserMessage(kDeathMsg,
                        "\x01\x02"
                        "crowbar" +
                            S,
                        true)
           .bytes(),
       "0:00 Alice killed Bob with crowbar\n"},
      {"valve",
       MessageBlock()
           .UserInfo(0, "Carol")
           .UserMessage(kDeathMsg,
                        "\x01\x02"
                        "mp5" +
                            S,
                        true)
           .bytes(),
       "0:00 Carol killed Bob with mp5\n"},
  };
  for (const auto& c : cases) {
    const DemoMessages found = ReadMessages(DemoWith(c.gameDir, {c.block}));
    const std::string details = Describe(found);
    EXPECT_EQ(found.read, MessagesRead::kAll) << details;
    EXPECT_NE(details.find("\n" + c.expected), std::string::npos) << c.expected << details;
  }
  const DemoMessages renamed =
      ReadMessages(DemoWith("valve", {MessageBlock().UserInfo(1, "Dave").bytes()}));
  EXPECT_EQ(renamed.recorderName.name, "Dave");
  EXPECT_EQ(renamed.players, (std::vector<std::string>{"Alice", "Bob", "Dave"}));
  const DemoMessages cs = ReadMessages(DemoWith("cstrike", {Death(std::string("\x01\x02\x00"
                                                                              "usp",
                                                                              6) +
                                                                  S)}));
  ASSERT_EQ(cs.kills.size(), 1u);
  EXPECT_EQ(cs.kills[0].headshot, 0);
}

TEST(MessagesTest, ABlockThatCannotBeReadCostsOnlyItsRest) {
  const std::string S("\0", 1);
  const std::vector<uint8_t> before = Death(
      "\x01\x02"
      "crowbar" +
      S);
  const std::vector<uint8_t> after = Death(
      "\x02\x01"
      "mp5" +
      S);
  const struct {
    std::vector<uint8_t> bad;
    const char* problem;
  } cases[] = {
      {{60}, "id 60 is not a message of network protocol 48"},
      {{23, 40, 0, 0}, "svc_temp_entity of unknown type 40"},
      {{11, 48, 0, 0}, "svc_serverinfo runs past the end of the block"},
      {{kSayText, 200, 1}, "user message 65 runs past the end of the block"},
      {{200, 1}, "user message 200 was never registered"},
      {MessageBlock().ClientData(1u << 5, 8).bytes(),
       "svc_clientdata marks field 5 of clientdata_t, "
       "which has 2"},
      {{41, 1, 0, 0, 2, 0, 0xFF},
       "svc_deltapacketentities needs the delta table entity_state_t, which the "
       "demo has not described"},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> block = before;
    block.insert(block.end(), c.bad.begin(), c.bad.end());
    block.insert(block.end(), after.begin(), after.end());
    const std::vector<uint8_t> demo = DemoWith("valve", {block, after});
    const DemoMessages found = ReadMessages(demo);
    const std::string details = Describe(found);
    EXPECT_EQ(found.read, MessagesRead::kNotAll) << details;
    // The kill before it counts, the one after it in its block is lost, the
    // next frame's is read.
    EXPECT_EQ(found.kills.size(), 2u) << details;
    const DemoStructure structure = ReadDemoStructure(demo.data(), demo.size());
    const std::string frame = std::to_string(structure.segments.at(1).offset + 9);
    ASSERT_EQ(found.problems.size(), 1u) << details;
    EXPECT_EQ(found.problems[0], "The frame at byte " + frame + ": message 2 of its block, " +
                                     c.problem + "; the rest of the block was not read.");
    EXPECT_EQ(Describe(ReadMessagesInWindows(demo, 700)), details);
  }
}

// However many blocks fail and commands a demo holds, what is kept of them
// is bounded.
TEST(MessagesTest, WhatIsKeptIsBounded) {
  const std::vector<uint8_t> bad = {60};
  const DemoMessages failing =
      ReadMessages(DemoWith("valve", std::vector<std::vector<uint8_t>>(1100, bad)));
  ASSERT_EQ(failing.problems.size(), 1001u);
  EXPECT_EQ(failing.problems.back(), "100 more blocks could not be read to their end.");
  const std::vector<uint8_t> command = MessageBlock().StuffText(std::string(200, 'x')).bytes();
  const DemoMessages flooded =
      ReadMessages(DemoWith("valve", std::vector<std::vector<uint8_t>>(40000, command)));
  EXPECT_GT(flooded.notKept, 0u);
  EXPECT_EQ(flooded.commands.size() + flooded.notKept, 40000u);
}

TEST(MessagesTest, NamesAreUtf8WhereTheirBytesAre) {
  const struct {
    std::string bytes, expected;
  } cases[] = {
      {"Alice", "Alice"},
      {"\xD0\x9F\xD0\xA4", "\xD0\x9F\xD0\xA4"},                  // Cyrillic
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},                  // beyond the first plane
      {"\xE9t\xE9", "\xC3\xA9t\xC3\xA9"},                        // Latin-1
      {"\xC0\x80", "\xC3\x80\xC2\x80"},                          // overlong
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},              // a surrogate
      {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},  // past U+10FFFF
      {"a\xE2\x82", "a\xC3\xA2\xC2\x82"},                        // cut
  };
  for (const auto& c : cases) EXPECT_EQ(TextAsUtf8(c.bytes), c.expected) << c.bytes;
}

}  // namespace
