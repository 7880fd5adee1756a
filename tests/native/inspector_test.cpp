// The inspector run in-process on files of the test's own scratch folder.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "cli/inspector.h"
#include "demo/demo_file.h"
#include "tests/native/demo_walk_support.h"
#include "tests/native/scratch_folder.h"
#include "tests/native/test_bytes.h"
#include "tests/native/tool_run.h"
#include "tools/demo_writer.h"
#include "tools/message_writer.h"

namespace {

using InspectorRun = ToolRun;

class InspectorTest : public ScratchFolderTest {
 protected:
  InspectorRun Inspect(std::vector<std::string> args) {
    return RunTool(RunInspector, "quendrix-inspect", std::move(args));
  }
};

std::vector<uint8_t> SmallDemo(const std::string& map, const std::string& hexTail) {
  std::vector<uint8_t> bytes(544, 0);
  PutText(bytes, 0, "HLDEMO");
  bytes[8] = 5;
  bytes[12] = 45;
  PutText(bytes, 16, map);
  PutText(bytes, 276, "valve");
  std::vector<uint8_t> tail = Hex(hexTail);
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  return bytes;
}

TEST_F(InspectorTest, SummariesSeparatedByOneEmptyLine) {
  std::string first = Write("a.dem", SmallDemo("c1a0", "00 00 80 02 00 00 E0 01 55"));
  std::string second = Write("b.dem", SmallDemo("c2a0", "00 08 48 4C 54 56 55"));
  InspectorRun run = Inspect({"--current-res", "1024x768", first, second});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(
      run.out,
      "Half-Life Version: 1.1.0.8\nDemo Type: HLDEMO\nDemo Version: 5\nNetwork Version: 45\n"
      "Map: c1a0\nMod: valve\nCurrent Res: 1024x768\nDemo Res: 640x480\n\n"
      "\n"
      "Half-Life Version: 1.1.0.8\nDemo Type: HLDEMO\nDemo Version: 5\nNetwork Version: 45\n"
      "Map: c2a0\nMod: valve\nCurrent Res: 1024x768\nDemo Res: 1024x768\nHLTV Recorded Demo\n");
}

TEST_F(InspectorTest, CurrentResIsAnXAloneWithoutTheOption) {
  InspectorRun run = Inspect({Write("a.dem", SmallDemo("m", ""))});
  EXPECT_NE(run.out.find("\nCurrent Res: x\nDemo Res: *x*\n"), std::string::npos) << run.out;
}

TEST_F(InspectorTest, JsonOneObjectALineWithLatin1AndEscapes) {
  std::string path = Write("j.dem", SmallDemo("d\xE9j\xE0\x01\"\\\n\t", "00 08 48 4C 54 56 55"));
  InspectorRun run = Inspect({"--json", path});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "{\"path\":\"" + path +
                         "\",\"halfLifeVersion\":\"1.1.0.8\",\"demoType\":\"HLDEMO\","
                         "\"demoVersion\":\"5\",\"networkVersion\":\"45\","
                         "\"map\":\"d\xC3\xA9j\xC3\xA0\\u0001\\\"\\\\\\n\\t\",\"mod\":\"valve\","
                         "\"demoResWidth\":\"1024\",\"demoResHeight\":\"768\",\"hltv\":true,"
                         "\"mapCrc\":0,\"segments\":[],\"duration\":0,\"frames\":0,"
                         "\"viewportWidth\":null,\"viewportHeight\":null,\"intact\":false,"
                         "\"problems\":[\"No directory (its offset is 0): the recording was cut "
                         "off.\",\"A frame at byte 544 is cut off by the end of the file.\"],"
                         "\"server\":null,\"maps\":[],\"recorder\":null,\"players\":[],"
                         "\"kills\":[],\"chat\":[],\"commands\":[],\"messagesRead\":null,"
                         "\"messageProblems\":[]}\n");
}

TEST_F(InspectorTest, FailuresGoToStandardErrorAndTheRestIsInspected) {
  std::string empty = Write("empty.dem", {});
  std::string good = Write("good.dem", SmallDemo("ok", ""));
  std::string missing = dir_ + "/missing.dem";
  InspectorRun run = Inspect({"--json", missing, dir_, empty, good});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, missing + ": Could not open demofile.\n" + dir_ +
                         ": is a folder; -r inspects the demos in it\n" + empty +
                         ": Could not open demofile (reason 2).\n");
  EXPECT_NE(run.out.find("\"map\":\"ok\""), std::string::npos);
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
}

TEST_F(InspectorTest, TextsOfAnyFileAreInspectedAsADemo) {
  std::string text(3000, 'x');
  text.replace(0, 12, "Hello world!");
  std::string path = Write("notes.txt", std::vector<uint8_t>(text.begin(), text.end()));
  InspectorRun run = Inspect({path});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Demo Type: Hello wo\n"), std::string::npos) << run.out;
}

TEST_F(InspectorTest, UsageErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--json"},
      {"--bogus", "a.dem"},
      {"--current-res"},
      {"--current-res", "1024", "a.dem"},
      {"--current-res", "x768", "a.dem"},
      {"--current-res", "12345678x1", "a.dem"},
      {"--current-res", "10a4x768", "a.dem"},
  };
  for (const auto& args : cases) {
    InspectorRun run = Inspect(args);
    EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("usage: quendrix-inspect"), std::string::npos);
  }
  InspectorRun help = Inspect({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Exit status"), std::string::npos);
  EXPECT_NE(help.out.find("--details"), std::string::npos);
  EXPECT_NE(help.out.find("intact and problems"), std::string::npos);
}

TEST_F(InspectorTest, AFileNamedLikeAnOptionAfterTheDoubleDash) {
  Write("-x.dem", SmallDemo("dash", ""));
  InspectorRun run = Inspect({"--", dir_ + "/-x.dem"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Map: dash\n"), std::string::npos);
}

TEST_F(InspectorTest, WrittenDemoOfAMegabyte) {
  DemoRecipe recipe;
  recipe.mapName = "de_big";
  recipe.viewportWidth = 512;
  recipe.viewportHeight = 384;
  recipe.playbackFrames = FramesForSize(1 << 20);
  InspectorRun run = Inspect({"--current-res", "-1x0", Write("big.dem", WriteDemo(recipe))});
  EXPECT_EQ(run.out,
            "Half-Life Version: N/A\nDemo Type: HLDEMO\nDemo Version: 5\nNetwork Version: 48\n"
            "Map: de_big\nMod: valve\nCurrent Res: -1x0\nDemo Res: 512x384\n\n");
}

TEST_F(InspectorTest, StructureKeysAndDetails) {
  DemoRecipe recipe;
  recipe.mapName = "qx";
  recipe.playbackFrames = 3;
  recipe.viewportWidth = 1440;
  recipe.viewportHeight = 900;
  const std::vector<uint8_t> whole = WriteDemo(recipe);
  std::vector<uint8_t> cut(whole.begin(), whole.end() - 200);
  std::vector<uint8_t> oldProtocol = SmallDemo("m", "");
  oldProtocol[8] = 3;
  // The project's demos carry messages that say nothing of players.
  const std::string noMessagesJson =
      ",\"server\":null,\"maps\":[],\"recorder\":null,\"players\":[],\"kills\":[],"
      "\"chat\":[],\"commands\":[],\"messagesRead\":";
  const std::string noMessagesDetails =
      "Server: unknown\nRecorder: unknown\nPlayers: none\nKills: 0\nChat lines: 0\n"
      "Commands: 0\nMessages: ";
  const struct {
    const char* what;
    std::vector<uint8_t> demo;
    bool json;
    std::string expected;  // what follows the summary's keys or lines
  } cases[] = {
      {"intact", whole, true,
       ",\"hltv\":false,\"mapCrc\":690201414,\"segments\":[{\"type\":0,\"description\":"
       "\"LOADING\",\"flags\":0,\"cdTrack\":-1,\"time\":0,\"frames\":0,\"offset\":544,"
       "\"length\":1091},{\"type\":1,\"description\":\"Playback\",\"flags\":0,\"cdTrack\":-1,"
       "\"time\":0.029999999329447746,\"frames\":3,\"offset\":1635,\"length\":1764}],"
       "\"duration\":0.029999999329447746,\"frames\":3,\"viewportWidth\":1440,"
       "\"viewportHeight\":900,\"intact\":true,\"problems\":[]" +
           noMessagesJson + "true,\"messageProblems\":[]}\n"},
      {"cut", cut, true,
       ",\"segments\":[],\"duration\":0.029999999329447746,\"frames\":3,\"viewportWidth\":1440,"
       "\"viewportHeight\":900,\"intact\":false,\"problems\":[\"The directory at byte 3399 lies "
       "outside the file.\",\"A frame at byte 3349 is cut off by the end of the file.\"]" +
           noMessagesJson + "true,\"messageProblems\":[]}\n"},
      {"unknown protocol", oldProtocol, true,
       ",\"mapCrc\":0,\"segments\":[],\"duration\":null,\"frames\":null,\"viewportWidth\":null,"
       "\"viewportHeight\":null,\"intact\":false,\"problems\":[\"Demo protocol 3 is not known: "
       "only 4 and 5 are read.\",\"No directory (its offset is 0): the recording was cut "
       "off.\"]" +
           noMessagesJson + "null,\"messageProblems\":[]}\n"},
      {"intact, details", whole, false,
       "Demo Res: *x*\n\nDuration: 0:00 (0.030 s)\nFrames: 3\nViewport: 1440x900\n"
       "Map CRC: 0x2923A346\n"
       "Segment 1: LOADING, type 0, flags 0, CD track -1, time 0.000 s, 0 frames, 1091 bytes at "
       "544\n"
       "Segment 2: Playback, type 1, flags 0, CD track -1, time 0.030 s, 3 frames, 1764 bytes at "
       "1635\nIntact: yes\n" +
           noMessagesDetails + "all read\n"},
      {"unknown protocol, details", oldProtocol, false,
       "Demo Res: *x*\n\nDuration: unknown\nFrames: unknown\nViewport: none\n"
       "Map CRC: 0x00000000\nIntact: no\nProblem: Demo protocol 3 is not known: only 4 and 5 "
       "are read.\nProblem: No directory (its offset is 0): the recording was cut off.\n" +
           noMessagesDetails +
           "not read (only demo protocol 5 with network protocol 47 or 48 is)\n"},
  };
  for (const auto& c : cases) {
    InspectorRun run = Inspect({c.json ? "--json" : "--details", Write("d.dem", c.demo)});
    EXPECT_EQ(run.status, 0) << c.what;
    const size_t at = run.out.size() - std::min(run.out.size(), c.expected.size());
    EXPECT_EQ(run.out.substr(at), c.expected) << c.what << ":\n" << run.out;
  }
  // The block follows each file's nine lines; without --details nothing changes.
  const std::string path = Write("d.dem", whole);
  const std::string both = Inspect({"--details", path, path}).out;
  EXPECT_EQ(std::count(both.begin(), both.end(), '\n'), 2 * (9 + 7 + 7) + 1) << both;
  EXPECT_EQ(Inspect({path}).out.find("Duration"), std::string::npos);
}

TEST_F(InspectorTest, WindowsReadInTurnGiveWhatTheWholeFileGives) {
  // Written demos of a few windows, which the reading threads take in turn,
  // cut at the windows' seams and beside them, with signatures and the marker
  // across the seams: the inspection window by window against InspectDemo over
  // the file read whole.
  DemoRecipe recipe;
  recipe.viewportWidth = 1440;
  recipe.viewportHeight = 1080;
  recipe.playbackFrames = FramesForSize(5 * kInspectWindowSize);
  const std::vector<uint8_t> written = WriteDemo(recipe);
  const std::vector<uint8_t> chain = Hex("00 05 00 00 C0 80 04 00 00 60 00 04 00 00 00 03");
  const std::vector<uint8_t> marker = Hex("00 08 48 4C 54 56 00");
  const struct {
    size_t seam;  // the window at whose end the bytes are put, 0 for none
    const std::vector<uint8_t>* bytes;
  } plants[] = {{0, nullptr}, {3, &chain}, {1, &marker}, {2, &chain}};
  for (const auto& plant : plants) {
    for (size_t windows : {1, 2, 3, 4}) {
      for (int beside : {-1, 0, 1}) {
        std::vector<uint8_t> demo(written.begin(),
                                  written.begin() + static_cast<long>(windows * kInspectWindowSize +
                                                                      static_cast<size_t>(beside)));
        const size_t at = plant.seam * kInspectWindowSize - 7;
        if (plant.bytes != nullptr && at + plant.bytes->size() <= demo.size()) {
          std::copy(plant.bytes->begin(), plant.bytes->end(), demo.begin() + static_cast<long>(at));
        }
        const std::string path = Write("windows.dem", demo);
        DemoInspection inTurn;
        ASSERT_EQ(InspectDemoFile(path.c_str(), &inTurn), DemoFileStatus::kRead) << demo.size();
        const DemoInspection whole = InspectDemo(demo.data(), demo.size());
        char got[kSummarySize], want[kSummarySize];
        ComposeSummary(inTurn, "1", "2", got, sizeof got);
        ComposeSummary(whole, "1", "2", want, sizeof want);
        EXPECT_STREQ(got, want) << demo.size() << " bytes, planted at seam " << plant.seam;
        EXPECT_EQ(Describe(inTurn.structure), Describe(whole.structure)) << demo.size() << " bytes";
      }
    }
  }
}

// Bad input: files cut short, fields without their NUL, random bytes and paths
// at the program's length limit. Each gives its summary or its message, and
// nothing is written beside the files.
class BadInputTest : public InspectorTest {
 protected:
  // Every file of the scratch folder with its bytes.
  std::vector<std::pair<std::string, std::string>> Listing() {
    std::vector<std::pair<std::string, std::string>> files;
    DIR* folder = opendir(dir_.c_str());
    while (dirent* entry = readdir(folder)) {
      std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      std::string path = dir_ + "/" + name;
      struct stat info;
      stat(path.c_str(), &info);
      std::string bytes = "(folder)";
      if (!S_ISDIR(info.st_mode)) bytes = ReadAll(fopen(path.c_str(), "rb"));
      files.emplace_back(name, bytes);
    }
    closedir(folder);
    std::sort(files.begin(), files.end());
    return files;
  }
};

TEST_F(BadInputTest, TruncatedDemosShowWhatTheyHoldAndZerosBeyond) {
  DemoRecipe recipe;
  recipe.mapName = "de_cut";
  recipe.gameDirectory = "cstrike";
  recipe.viewportWidth = 640;
  recipe.viewportHeight = 480;
  const std::vector<uint8_t> whole = WriteDemo(recipe);
  struct Cut {
    size_t bytes;
    const char* lines;  // the lines of the summary that the cut decides
  };
  const Cut cuts[] = {
      {1, "Demo Type: H\nDemo Version: 0\nNetwork Version: 0\nMap: \nMod: \n"},
      {9, "Demo Type: HLDEMO\nDemo Version: 5\nNetwork Version: 0\nMap: \nMod: \n"},
      {13, "Demo Type: HLDEMO\nDemo Version: 5\nNetwork Version: 48\nMap: \nMod: \n"},
      {19, "Map: de_\nMod: \n"},
      {276, "Map: de_cut\nMod: \n"},
      {279, "Map: de_cut\nMod: cst\n"},
      {540, "Map: de_cut\nMod: cstrike\n"},
      {whole.size() / 2, "Mod: cstrike\nCurrent Res: x\nDemo Res: 640x480\n\n"},
  };
  for (const Cut& cut : cuts) {
    std::vector<uint8_t> bytes(whole.begin(), whole.begin() + static_cast<long>(cut.bytes));
    InspectorRun run = Inspect({Write("cut.dem", bytes)});
    EXPECT_EQ(run.status, 0) << cut.bytes;
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find(cut.lines), std::string::npos) << cut.bytes << " bytes:\n" << run.out;
  }
}

TEST_F(BadInputTest, FieldsWithoutTheirNulAreCutAtTheirWidth) {
  std::vector<uint8_t> bytes(2000, 0x7F);
  PutText(bytes, 0, std::string(16, 'T'));
  PutText(bytes, 16, std::string(260, 'M'));
  PutText(bytes, 276, std::string(300, 'G'));
  InspectorRun run = Inspect({Write("wide.dem", bytes)});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "Half-Life Version: N/A\nDemo Type: TTTTTTTT\nDemo Version: 84\n"
            "Network Version: 84\nMap: " +
                std::string(260, 'M') + "\nMod: " + std::string(264, 'G') +
                "\nCurrent Res: x\nDemo Res: *x*\n\n");
}

TEST_F(BadInputTest, RandomFilesGiveOneObjectEachOrTheEmptyFileMessage) {
  std::mt19937 random(259);
  std::vector<std::string> args = {"--json"};
  size_t empty = 0;
  for (int i = 0; i < 300; ++i) {
    std::vector<uint8_t> bytes(random() % 1200);
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
    if (bytes.empty()) ++empty;
    args.push_back(Write("random" + std::to_string(i) + ".dem", bytes));
  }
  const auto before = Listing();
  InspectorRun run = Inspect(args);
  EXPECT_EQ(run.status, empty > 0 ? 1 : 0);
  EXPECT_EQ(static_cast<size_t>(std::count(run.out.begin(), run.out.end(), '\n')), 300 - empty);
  EXPECT_EQ(static_cast<size_t>(std::count(run.err.begin(), run.err.end(), '\n')), empty);
  EXPECT_EQ(Listing(), before);
}

TEST_F(BadInputTest, PathsOf259And260Characters) {
  // Folders of 100 characters, so that no name passes the file system's limit.
  std::string folder = dir_;
  while (folder.size() < 140) {
    folder += "/" + std::string(std::min<size_t>(100, 140 - folder.size()), 'd');
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0) << folder;
  }
  for (size_t length : {259, 260}) {
    std::string path = folder + "/";
    path += std::string(length - path.size() - 4, 'p') + ".dem";
    ASSERT_EQ(path.size(), length);
    InspectorRun missing = Inspect({path});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, path + ": Could not open demofile.\n");
    EXPECT_EQ(missing.out, "");

    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::vector<uint8_t> demo = SmallDemo("long", "");
    fwrite(demo.data(), 1, demo.size(), file);
    fclose(file);
    InspectorRun run = Inspect({"--json", path});
    EXPECT_EQ(run.status, 0) << length;
    EXPECT_EQ(run.out.find("{\"path\":\"" + path + "\",\"halfLifeVersion\":\"1.1.0.8\""), 0u);
  }
}

TEST_F(BadInputTest, AFileShorterThanItsSizeSaysIsNotReadToMemory) {
  // sysfs gives every attribute file the size of a page, and far fewer bytes.
  const char path[] = "/sys/kernel/mm/transparent_hugepage/enabled";
  if (access(path, R_OK) != 0) GTEST_SKIP() << "no " << path;
  InspectorRun run = Inspect({path});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, std::string(path) + ": Could not read file to memory.\n");
}

TEST_F(InspectorTest, WhatTheMessagesSay) {
  DemoRecipe recipe;
  recipe.gameDirectory = "cstrike";
  DemoStory story = SampleStory("cstrike", "de_qx");
  recipe.loadingMessages = story.loading;
  recipe.playbackMessages = story.playback;
  const std::string path = Write("story.dem", WriteDemo(recipe));
  const InspectorRun json = Inspect({"--json", path});
  const std::string keys =
      ",\"server\":{\"name\":\"Quendrix sample server\",\"gameDir\":\"cstrike\","
      "\"mapFile\":\"maps/de_qx.bsp\",\"maxPlayers\":8},\"maps\":[\"maps/de_qx.bsp\"],"
      "\"recorder\":{\"slot\":0,\"name\":\"Alice\"},\"players\":[\"Alice\",\"Bob\"],"
      "\"kills\":[{\"time\":0.02,\"killer\":\"Alice\",\"victim\":\"Bob\",\"weapon\":\"ak47\","
      "\"headshot\":true}],"
      "\"chat\":[{\"time\":0.03,\"sender\":\"Alice\",\"kind\":null,\"text\":\"Alice: gg\"}],"
      "\"commands\":[{\"time\":0.01,\"text\":\"spk \\\"hello\\\"\",\"source\":\"server\"}],"
      "\"messagesRead\":true,\"messageProblems\":[]}\n";
  EXPECT_NE(json.out.find(keys), std::string::npos) << json.out;
  const std::string details = Inspect({"--commands", path}).out;
  EXPECT_NE(details.find("Kills: 1\n0:00 Alice killed Bob with ak47, headshot\nChat lines: 1\n"
                         "0:00 Alice: gg\nCommands: 1\n0:00 server: spk \"hello\"\n"),
            std::string::npos)
      << details;
}

// A path's bytes as they are where they are UTF-8, so that a script can open
// the file again; others as Latin-1.
TEST_F(InspectorTest, PathsAsTheyOpen) {
  const struct {
    const char* name;
    const char* json;
  } cases[] = {
      {"d\xC3\xA9mo \xD0\xB4\xD0\xB5\xD0\xBC\xD0\xBE.dem",
       "d\xC3\xA9mo \xD0\xB4\xD0\xB5\xD0\xBC\xD0\xBE.dem"},
      {"d\xE9mo.dem", "d\xC3\xA9mo.dem"},
  };
  for (const auto& c : cases) {
    const std::string path = Write(c.name, SmallDemo("m", ""));
    const std::string out = Inspect({"--json", path}).out;
    const std::string folder = path.substr(0, path.size() - strlen(c.name));
    EXPECT_EQ(out.substr(0, 10 + folder.size() + strlen(c.json)),
              "{\"path\":\"" + folder + c.json + "\"")
        << out;
  }
}

// A demo that is not a regular file is refused at once, as Windows refuses
// what is not a file on a disk: nothing waits in open() for a FIFO's writer,
// and no device is read.
TEST_F(InspectorTest, WhatIsNotARegularFileIsRefusedAtOnce) {
  const auto fifo = [](const std::string& path) { return mkfifo(path.c_str(), 0600) == 0; };
  const struct {
    const char* what;
    std::function<bool(const std::string&)> make;  // false where the system forbids it
    const char* message = "Could not open demofile.";
  } cases[] = {
      {"a FIFO", fifo},
      {"a link to a FIFO",
       [&](const std::string& path) {
         return fifo(path + ".fifo") && symlink((path + ".fifo").c_str(), path.c_str()) == 0;
       }},
      {"a folder", [](const std::string& path) { return mkdir(path.c_str(), 0700) == 0; },
       "is a folder; -r inspects the demos in it"},
      {"a device, as /dev/null",
       [](const std::string& path) {
         return mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
       }},
      {"a link to /dev/zero",
       [](const std::string& path) { return symlink("/dev/zero", path.c_str()) == 0; }},
  };
  int row = 0;
  for (const auto& c : cases) {
    const std::string path = Path("special" + std::to_string(row++) + ".dem");
    if (!c.make(path)) {
      printf("[  SKIPPED ] %s: not allowed here\n", c.what);
      continue;
    }
    const InspectorRun run = Inspect({"--json", path});
    EXPECT_EQ(run.status, 1) << c.what;
    EXPECT_EQ(run.out, "") << c.what;
    EXPECT_EQ(run.err, path + ": " + c.message + "\n") << c.what;
  }
}

// A text of the file with line breaks forges no line of the details.
TEST_F(InspectorTest, TextsOfTheFileStayOnTheirLine) {
  DemoRecipe recipe;
  recipe.playbackFrames = 3;
  std::vector<uint8_t> demo = WriteDemo(recipe);
  const size_t playback = GetLe32(demo, 540) + 4 + 92;
  const char forged[] = "Playback\nIntact: no\nProblem: none\x01";
  std::copy(forged, forged + sizeof forged, demo.begin() + static_cast<long>(playback + 4));
  const std::string details = Inspect({"--details", Write("f.dem", demo)}).out;
  EXPECT_NE(details.find("\nSegment 2: Playback\\nIntact: no\\nProblem: none\\x01, type 1,"),
            std::string::npos)
      << details;
  EXPECT_EQ(details.find("\nIntact: no"), std::string::npos) << details;
}

}  // namespace
