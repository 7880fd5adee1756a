// The demo library's rows: searched, sorted, kept in the index file and
// planned against a new listing; and made from the players' recordings as
// the inspection and the message reader find them.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "common/utf8_text.h"
#include "demo/demo_file.h"
#include "library/library_entry.h"
#include "messages/message_reader.h"
#include "tests/native/scratch_folder.h"
#include "tests/reference/bitwise_crc32.h"

namespace {

using namespace std::string_literals;

LibraryEntry Demo(const std::string& path) {
  LibraryEntry entry;
  entry.file.path = entry.file.shownPath = path;
  entry.isDemo = true;
  return entry;
}

TEST(LibrarySearch, FileNameMapModServerAndPlayers) {
  LibraryEntry entry = Demo("C:\\Demos\\Clan\\Match_One.dem");
  entry.map = "de_dust2";
  entry.mod = "cstrike";
  entry.server = "Fr\xC3\xA4ulein Server";
  entry.recorder = "Morpheus";
  entry.players = {"\xC3\x84rger", "[TAG] Neo"};
  const struct {
    const char* text;
    bool matches;
  } cases[] = {
      {"", true},
      {"match_one", true},
      {"ONE.DEM", true},
      {"clan", false},  // the folder is not searched
      {"DUST2", true},
      {"Cstrike", true},
      {"fr\xC3\xA4ulein", true},
      {"FR\xC3\xA4ULEIN", true},
      {"FR\xC3\x84ULEIN", false},  // no case beyond ASCII
      {"\xC3\xA4rger", false},
      {"\xC3\x84RGER", true},
      {"[tag] neo", true},
      {"morpheus", false},  // nor the recorder
      {"dust3", false},
  };
  for (const auto& c : cases) EXPECT_EQ(MatchesSearch(entry, c.text), c.matches) << c.text;
  EXPECT_EQ(EntryFileName(entry), "Match_One.dem");
  EXPECT_EQ(EntryFolder(entry), "C:\\Demos\\Clan");
  EXPECT_EQ(EntryFolder(Demo("alone.dem")), "");
}

TEST(LibrarySort, EachColumnBothWaysTiesByPathNotDemosLast) {
  std::vector<LibraryEntry> entries = {Demo("/x/b.dem"), Demo("/y/A.dem"), Demo("/w/c.dem"),
                                       Demo("/a/z.dem"), Demo("/v/a.dem")};
  const struct {
    int64_t modified;
    uint64_t size;
    const char *map, *mod;
    double duration;
    const char *server, *recorder;
    size_t players;
    uint32_t kills;
    bool intact;
  } fields[] = {
      {30, 200, "de_dust", "cstrike", 60, "alpha", "Zed", 2, 5, true},
      {10, 300, "De_Dust", "valve", std::nan(""), "Beta", "", 0, 0, false},  // NaN lowest
      {20, 100, "crossfire", "valve", 60, "", "anna", 3, 9, true},
      {40, 50, "", "", -1, "", "", 0, 0, false},
      {20, 100, "", "", -1, "", "", 0, 0, false},
  };
  for (size_t i = 0; i < entries.size(); ++i) {
    LibraryEntry& entry = entries[i];
    entry.file.modified = fields[i].modified;
    entry.file.size = fields[i].size;
    std::tie(entry.map, entry.mod, entry.server, entry.recorder) =
        std::make_tuple(fields[i].map, fields[i].mod, fields[i].server, fields[i].recorder);
    entry.duration = fields[i].duration;
    entry.players.resize(fields[i].players);
    entry.kills = fields[i].kills;
    entry.intact = fields[i].intact;
  }
  entries[3].isDemo = entries[4].isDemo = false;
  using Order = std::vector<size_t>;
  const struct {
    LibraryColumn column;
    Order ascending, descending;
  } cases[] = {
      {LibraryColumn::kFileName, {1, 0, 2, 4, 3}, {2, 0, 1, 3, 4}},
      {LibraryColumn::kFolder, {2, 0, 1, 3, 4}, {1, 0, 2, 4, 3}},
      {LibraryColumn::kModified, {1, 2, 0, 4, 3}, {0, 2, 1, 3, 4}},
      {LibraryColumn::kSize, {2, 0, 1, 3, 4}, {1, 0, 2, 4, 3}},
      {LibraryColumn::kMap, {2, 1, 0, 3, 4}, {0, 1, 2, 3, 4}},  // "De_Dust" < "de_dust"
      {LibraryColumn::kMod, {0, 2, 1, 3, 4}, {2, 1, 0, 3, 4}},
      {LibraryColumn::kDuration, {1, 2, 0, 3, 4}, {2, 0, 1, 3, 4}},
      {LibraryColumn::kServer, {2, 0, 1, 3, 4}, {1, 0, 2, 3, 4}},
      {LibraryColumn::kRecorder, {1, 2, 0, 3, 4}, {0, 2, 1, 3, 4}},
      {LibraryColumn::kPlayers, {1, 0, 2, 3, 4}, {2, 0, 1, 3, 4}},
      {LibraryColumn::kKills, {1, 0, 2, 3, 4}, {2, 0, 1, 3, 4}},
      {LibraryColumn::kIntact, {1, 2, 0, 3, 4}, {2, 0, 1, 3, 4}},
  };
  static_assert(std::size(cases) == kLibraryColumnCount, "every column");
  for (const auto& c : cases) {
    for (bool ascending : {true, false}) {
      Order rows = {4, 3, 2, 1, 0};
      SortLibraryRows(entries, &rows, c.column, ascending);
      EXPECT_EQ(rows, ascending ? c.ascending : c.descending)
          << "column " << int(c.column) << (ascending ? " ascending" : " descending");
    }
  }
}

// Every field, the duration by its bits so that NaN compares.
auto Fields(const LibraryEntry& e) {
  uint64_t durationBits;
  memcpy(&durationBits, &e.duration, sizeof durationBits);
  return std::make_tuple(e.file.path, e.file.shownPath, e.file.size, e.file.modified, e.isDemo,
                         e.problem, e.map, e.mod, e.server, e.recorder, e.players, durationBits,
                         e.kills, e.intact);
}

std::vector<LibraryEntry> OddEntries() {
  LibraryEntry odd = Demo("C:\\d\xE9mos\\a\0b.dem"s);
  odd.file.shownPath = "C:\\d\xC3\xA9mos\\a\0b.dem"s;
  odd.file.size = std::numeric_limits<uint64_t>::max();
  odd.file.modified = std::numeric_limits<int64_t>::min();
  odd.map = "\xD0\x9F\0x"s;
  odd.mod = "valve";
  odd.server = std::string(70000, 's');
  odd.recorder = "\0"s;
  odd.players = {"", "\xFF\xFE", "Player"};
  odd.duration = -0.5;
  odd.kills = std::numeric_limits<uint32_t>::max();
  odd.intact = true;
  LibraryEntry notDemo;
  notDemo.file.path = "/p";
  notDemo.problem = DemoFileMessage(DemoFileStatus::kNoSize);
  LibraryEntry nan = Demo("/n.dem");
  nan.duration = std::nan("");
  return {odd, LibraryEntry(), notDemo, nan};
}

bool Load(const std::string& bytes, std::vector<LibraryEntry>* entries) {
  return LoadLibraryIndex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), entries);
}

TEST(LibraryIndex, RoundTripOfOddTexts) {
  for (const std::vector<LibraryEntry>& entries : {OddEntries(), std::vector<LibraryEntry>()}) {
    const std::string saved = SaveLibraryIndex(entries);
    std::vector<LibraryEntry> loaded;
    ASSERT_TRUE(Load(saved, &loaded));
    ASSERT_EQ(loaded.size(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(Fields(loaded[i]), Fields(entries[i]));
    EXPECT_EQ(SaveLibraryIndex(loaded), saved);
    // zip's CRC-32 ends it.
    EXPECT_EQ(SealedIndex(saved.substr(0, saved.size() - 4)), saved);
  }
  EXPECT_EQ(BitwiseCrc32(reinterpret_cast<const uint8_t*>("123456789"), 9), 0xCBF43926u);
}

TEST(LibraryIndex, DamagedIndexesGiveNothing) {
  LibraryEntry small = Demo("p");
  small.file.shownPath = "s";
  small.players = {"n"};
  const std::string saved = SaveLibraryIndex({small});
  const std::string body = saved.substr(0, saved.size() - 4);
  // Changed, then sealed with a checksum that fits: what only the reading of
  // the fields can find.
  const auto resealed = [&](size_t offset, const std::string& bytes) {
    return SealedIndex(body.substr(0, offset) + bytes + body.substr(offset + bytes.size()));
  };
  const size_t kCount = 12, kFlags = 16 + 4 + 1 + 4 + 1 + 8 + 8;
  std::vector<std::string> damaged = {
      resealed(0, "QXLIBIDY"),
      resealed(8, "\x02"),
      resealed(8, "\x00"s),
      resealed(kCount, "\x02"),  // past the end
      resealed(kCount, "\xFF\xFF\xFF\xFF"),
      resealed(16, "\xFF\xFF\xFF\x7F"),  // the path's length
      resealed(kFlags, "\x04"),
      resealed(kFlags + 1 + 5 * 4, "\xFF\xFF\xFF\xFF"),  // the players' count
      SealedIndex(body + "\0"s),
      saved + "\0"s,
  };
  for (size_t length = 0; length < saved.size(); ++length)
    damaged.push_back(saved.substr(0, length));
  for (size_t i = 0; i < saved.size(); ++i) {
    damaged.push_back(saved);
    damaged.back()[i] ^= 0x01;
    damaged.push_back(saved);
    damaged.back()[i] ^= 0x80;
  }
  for (size_t i = 0; i < damaged.size(); ++i) {
    std::vector<LibraryEntry> entries(1);
    EXPECT_FALSE(Load(damaged[i], &entries)) << "damage " << i;
    EXPECT_TRUE(entries.empty());
  }
  std::vector<LibraryEntry> entries;
  EXPECT_TRUE(Load(saved, &entries));
  EXPECT_FALSE(LoadLibraryIndex(nullptr, 0, &entries));
}

FoundDemo Found(const std::string& path, uint64_t size = 10, int64_t modified = 100) {
  return {path, path, size, modified};
}

std::vector<std::string> Paths(const std::vector<LibraryEntry>& entries) {
  std::vector<std::string> paths;
  for (const LibraryEntry& entry : entries) paths.push_back(entry.file.path);
  return paths;
}

TEST(LibraryPlan, KeptReadDroppedOrElsewhere) {
  std::vector<LibraryEntry> indexed;
  for (const char* path : {"/r/timed.dem", "/r2/sibling.dem", "/r/gone.dem", "/r/sub/deep.dem",
                           "C:\\r\\win.dem", "/other/x.dem", "/r/sized.dem", "/r/same.dem"}) {
    indexed.push_back(Demo(path));
    indexed.back().file = Found(path);
  }
  const std::vector<FoundDemo> inR = {Found("/r/new.dem"), Found("/r/same.dem"),
                                      Found("/r/sized.dem", 11), Found("/r/sub/deep.dem"),
                                      Found("/r/timed.dem", 10, 101)};
  const std::vector<FoundDemo> inR2 = {Found("/r2/more.dem"), Found("/r2/sibling.dem")};
  const std::vector<FoundDemo> inWindowsR = {Found("C:\\r\\win.dem")}, none;
  using Names = std::vector<std::string>;
  const Names rKept = {"/r/same.dem", "/r/sub/deep.dem"};
  const Names rToRead = {"/r/new.dem", "/r/sized.dem", "/r/timed.dem"};
  const Names notR = {"/r2/sibling.dem", "C:\\r\\win.dem", "/other/x.dem"};
  const Names notWindowsR = {"/r/timed.dem", "/r2/sibling.dem", "/r/gone.dem", "/r/sub/deep.dem",
                             "/other/x.dem", "/r/sized.dem",    "/r/same.dem"};
  const struct {
    const char* root;
    const std::vector<FoundDemo>& listed;
    Names unchanged, toRead, elsewhere;
  } cases[] = {
      {"/r", inR, rKept, rToRead, notR},
      {"/r/", inR, rKept, rToRead, notR},
      {"/", inR, rKept, rToRead, {"C:\\r\\win.dem"}},
      {"/r2",
       inR2,
       {"/r2/sibling.dem"},
       {"/r2/more.dem"},
       {"/r/timed.dem", "/r/gone.dem", "/r/sub/deep.dem", "C:\\r\\win.dem", "/other/x.dem",
        "/r/sized.dem", "/r/same.dem"}},
      {"C:\\r", inWindowsR, {"C:\\r\\win.dem"}, {}, notWindowsR},
      {"C:\\r\\", inWindowsR, {"C:\\r\\win.dem"}, {}, notWindowsR},
      {"C:\\", none, {}, {}, notWindowsR},
  };
  for (const auto& c : cases) {
    const LibraryPlan plan = PlanLibrary(indexed, c.root, c.listed);
    EXPECT_EQ(Paths(plan.unchanged), c.unchanged) << c.root;
    Names toRead;
    for (const FoundDemo& file : plan.toRead) toRead.push_back(file.path);
    EXPECT_EQ(toRead, c.toRead) << c.root;
    EXPECT_EQ(Paths(plan.elsewhere), c.elsewhere) << c.root;
  }
}

class LibraryFiles : public ScratchFolderTest {};

TEST_F(LibraryFiles, FilesThatAreNotDemosSayWhy) {
  const struct {
    std::string path;
    DemoFileStatus status;
  } cases[] = {
      {Path("missing.dem"), DemoFileStatus::kCannotOpen},
      {Path(""), DemoFileStatus::kCannotOpen},  // the folder
      {Write("empty.dem", {}), DemoFileStatus::kNoSize},
  };
  for (const auto& c : cases) {
    const LibraryEntry entry = ReadLibraryEntry(Found(c.path));
    EXPECT_FALSE(entry.isDemo) << c.path;
    EXPECT_EQ(entry.problem, DemoFileMessage(c.status)) << c.path;
    EXPECT_EQ(entry.file.path, c.path);
  }
}

// Each recording as the library reads it against the inspection and the
// message reader run on it directly.
TEST(LibraryEntryOf, RealRecordingsAsTheReadersFindThem) {
  DIR* folder = opendir(QUENDRIX_CORPUS_DIR);
  if (folder == nullptr) GTEST_SKIP() << "no recordings at " QUENDRIX_CORPUS_DIR;
  std::vector<LibraryEntry> read;
  while (dirent* found = readdir(folder)) {
    const std::string name = found->d_name;
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".dem") != 0) continue;
    const FoundDemo file = Found(std::string(QUENDRIX_CORPUS_DIR) + "/" + name, 1, 2);
    DemoInspection demo;
    MessageReader reader;
    const WindowReader also = MessageWindowReader(&reader);
    ASSERT_EQ(InspectDemoFile(file.path.c_str(), &demo, &also), DemoFileStatus::kRead);
    const DemoMessages messages = MessageReaderResult(&reader);
    const LibraryEntry entry = ReadLibraryEntry(file);
    EXPECT_TRUE(entry.isDemo) << name;
    EXPECT_EQ(entry.problem, "");
    EXPECT_EQ(entry.file.path, file.path);
    EXPECT_EQ(entry.map, Latin1AsUtf8(demo.header.mapName));
    EXPECT_EQ(entry.mod, Latin1AsUtf8(demo.header.gameDirectory));
    EXPECT_EQ(entry.duration, demo.structure.knownProtocol ? demo.structure.duration : -1);
    EXPECT_EQ(entry.server, messages.hasServer ? messages.server.name : "") << name;
    EXPECT_EQ(entry.recorder,
              messages.hasRecorder && messages.recorderName.known ? messages.recorderName.name : "")
        << name;
    EXPECT_EQ(entry.players, messages.players);
    EXPECT_EQ(entry.kills, messages.kills.size());
    EXPECT_EQ(entry.intact, demo.structure.intact);
    read.push_back(entry);
  }
  closedir(folder);
  // What the players' recordings are known to hold, so that the above
  // compares more than empty lists.
  const auto hldm = std::find_if(read.begin(), read.end(), [](const LibraryEntry& entry) {
    return EntryFileName(entry) == "hldm.dem";
  });
  ASSERT_NE(hldm, read.end());
  EXPECT_EQ(hldm->server, "[TR] CSDuragi HaLf-Life Server 2 [ GLOBAL ]");
  EXPECT_EQ(hldm->players.size(), 20u);
  EXPECT_EQ(hldm->kills, 12u);
  EXPECT_EQ(hldm->map, "stalkyard");
  EXPECT_TRUE(MatchesSearch(*hldm, "csduragi"));
}

}  // namespace
