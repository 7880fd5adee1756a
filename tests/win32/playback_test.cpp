// Playing a demo with a stand-in game that writes down what it found: the
// command line, the copy, the resolution values during the game and after.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "app/resources/resource.h"
#include "common/app_state.h"
#include "game/playback.h"
#include "tests/win32/win32_test_support.h"
#include "tools/demo_writer.h"

namespace {

using Texts = std::vector<std::string>;

const char kHalfLife[] = "Software\\Valve\\Half-Life\\Settings";
const char kCounterStrike[] = "Software\\Valve\\CounterStrike\\Settings";
const char kSettings[] = "Software\\Tolvanek\\Quendrix\\Settings";

std::string CurrentFolder() {
  char folder[MAX_PATH];
  GetCurrentDirectoryA(sizeof folder, folder);
  return folder;
}

DWORD Dword(const char* key, const char* name) {
  RegistryValue value = ReadRegistryValue(HKEY_CURRENT_USER, key, name);
  DWORD number = 0;
  if (value.exists && value.data.size() == 4) memcpy(&number, value.data.data(), 4);
  return value.exists ? number : 0xDEADu;
}

bool RecordLeft() {
  return ReadRegistryValue(HKEY_CURRENT_USER, kSettings, "EngineModeWToRestore").exists ||
         ReadRegistryValue(HKEY_CURRENT_USER, kSettings, "EngineModeHToRestore").exists;
}

class PlaybackTest : public testing::Test {
 protected:
  void SetUp() override {
    DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Valve");
    DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Tolvanek");
    app = AppState();
    game_ = scratch_.Join("Half-Life Game");
    CreateDirectoryA(game_.c_str(), nullptr);
    CreateDirectoryA((game_ + "\\cstrike").c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((TestProgramFolder() + "\\quendrix_stand_in_game.exe").c_str(),
                          (game_ + "\\hl.exe").c_str(), FALSE));
    DemoRecipe recipe;
    recipe.gameDirectory = "cstrike";
    recipe.viewportWidth = 640;
    recipe.viewportHeight = 480;
    demoBytes_ = WriteDemo(recipe);
    lstrcpynA(demoPath_, scratch_.Write("played.dem", demoBytes_).c_str(), sizeof demoPath_);

    lstrcpynA(app.gameExePath, (game_ + "\\hl.exe").c_str(), sizeof app.gameExePath);
    lstrcpynA(app.gameDir, game_.c_str(), sizeof app.gameDir);
    lstrcpynA(app.modDir, "cstrike", sizeof app.modDir);
    SetResolutions("1024", "768", "640", "480");
    SetRegistryDword(HKEY_CURRENT_USER, kHalfLife, "EngineModeW", 1024);
    SetRegistryDword(HKEY_CURRENT_USER, kHalfLife, "EngineModeH", 768);
    window_.SetText(IDC_INFO, "a summary");
    window_.SetText(IDC_DEMOPATH, demoPath_);
    app.mapBitmap = CreateBitmap(2, 2, 1, 32, nullptr);
  }
  void TearDown() override {
    if (app.mapBitmap != nullptr) DeleteObject(app.mapBitmap);
    DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Valve");
    UnlockKey(HKEY_CURRENT_USER, kSettings);
    DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Tolvanek");
    app = AppState();
  }

  static void SetResolutions(const char* currentW, const char* currentH, const char* demoW,
                             const char* demoH) {
    lstrcpynA(app.currentResWidth, currentW, sizeof app.currentResWidth);
    lstrcpynA(app.currentResHeight, currentH, sizeof app.currentResHeight);
    lstrcpynA(app.demoResWidth, demoW, sizeof app.demoResWidth);
    lstrcpynA(app.demoResHeight, demoH, sizeof app.demoResHeight);
  }

  std::map<std::string, std::string> Report() { return ReadStandInReport(game_); }

  bool CopyStillThere() {
    return GetFileAttributesA((game_ + "\\cstrike\\quendrix.dem").c_str()) !=
           INVALID_FILE_ATTRIBUTES;
  }

  ScratchDir scratch_;
  FieldsWindow window_;
  MessageBoxCatcher boxes_;
  std::string game_;
  std::vector<uint8_t> demoBytes_;
  char demoPath_[kPathSize];
};

TEST_F(PlaybackTest, PlaysAtTheDemosResolutionAndPutsEverythingBack) {
  // The player changes the resolution in the game; the start-time one still
  // comes back.
  scratch_.Write("Half-Life Game\\orders.txt",
                 std::vector<uint8_t>{'s', 'e', 't', '-', 'r', 'e', 's', 'o', 'l', 'u', 't', 'i',
                                      'o', 'n', ' ', '1', '2', '8', '0', ' ', '9', '6', '0'});
  SetRegistryValue(HKEY_CURRENT_USER, kSettings, "Path", REG_SZ, "hl.exe", 7);
  ASSERT_TRUE(PlayDemo(window_.handle(), demoPath_));
  std::map<std::string, std::string> report = Report();
  EXPECT_EQ(report["command line"],
            game_ + "\\hl.exe  -game cstrike -console +connect localhost +playdemo quendrix.dem ");
  EXPECT_EQ(report["working folder"], CurrentFolder());
  EXPECT_EQ(report["EngineModeW"], "640");
  EXPECT_EQ(report["EngineModeH"], "480");
  EXPECT_EQ(report["record"], "1024 x 768") << "kept while the game runs";
  EXPECT_EQ(report["copy"], "there");
  EXPECT_EQ(ReadFileBytes(game_ + "\\report.dem"), demoBytes_);
  EXPECT_FALSE(RecordLeft());
  EXPECT_TRUE(ReadRegistryValue(HKEY_CURRENT_USER, kSettings, "Path").exists);

  EXPECT_EQ(Dword(kHalfLife, "EngineModeW"), 1024u);
  EXPECT_EQ(Dword(kHalfLife, "EngineModeH"), 768u);
  EXPECT_EQ(ReadRegistryValue(HKEY_CURRENT_USER, kHalfLife, "EngineModeW").type, DWORD(REG_DWORD));
  EXPECT_FALSE(CopyStillThere());
  EXPECT_STREQ(demoPath_, "");
  EXPECT_EQ(window_.Text(IDC_INFO), "");
  EXPECT_EQ(window_.Text(IDC_DEMOPATH), "");
  EXPECT_EQ(app.mapBitmap, nullptr);
  EXPECT_EQ(std::string(app.tempDemoPath), game_ + "\\cstrike\\quendrix.dem");
  EXPECT_STREQ(app.modDir, "cstrike") << "the loaded demo's values stay";
  EXPECT_STREQ(app.demoResWidth, "640");
  EXPECT_EQ(boxes_.Texts(), Texts{});
}

TEST_F(PlaybackTest, TheGameIsLeftAtItsOwnResolutionWhenTheSwapDoesNotApply) {
  const struct {
    const char* why;
    const char* currentW;
    const char* currentH;
    const char* demoW;
    const char* demoH;
    bool hltv;
  } cases[] = {
      {"resolution not found", "1024", "768", "*", "*", false},
      {"HLTV recording", "1024", "768", "1024", "768", true},
      {"game resolution not read at start", "", "", "640", "480", false},
      {"only the width read at start", "1024", "", "640", "480", false},
  };
  for (const auto& c : cases) {
    SetResolutions(c.currentW, c.currentH, c.demoW, c.demoH);
    app.isHltvDemo = c.hltv;
    SetRegistryDword(HKEY_CURRENT_USER, kHalfLife, "EngineModeW", 1152);
    SetRegistryDword(HKEY_CURRENT_USER, kHalfLife, "EngineModeH", 864);
    lstrcpynA(demoPath_, scratch_.Join("played.dem").c_str(), sizeof demoPath_);
    ASSERT_TRUE(PlayDemo(window_.handle(), demoPath_)) << c.why;
    std::map<std::string, std::string> report = Report();
    EXPECT_EQ(report["EngineModeW"], "1152") << c.why;
    EXPECT_EQ(report["EngineModeH"], "864") << c.why;
    EXPECT_EQ(Dword(kHalfLife, "EngineModeW"), 1152u) << c.why;
    EXPECT_EQ(Dword(kHalfLife, "EngineModeH"), 864u) << c.why;
    EXPECT_EQ(report["record"], "no key x no key") << c.why;
  }
  EXPECT_EQ(boxes_.Texts(), Texts{});
}

TEST_F(PlaybackTest, OnlyTheCounterStrikeKey) {
  DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Valve");
  SetRegistryDword(HKEY_CURRENT_USER, kCounterStrike, "EngineModeW", 800);
  SetRegistryDword(HKEY_CURRENT_USER, kCounterStrike, "EngineModeH", 600);
  SetResolutions("800", "600", "640", "480");
  ASSERT_TRUE(PlayDemo(window_.handle(), demoPath_));
  EXPECT_EQ(Report()["EngineModeW"], "640");
  EXPECT_EQ(Dword(kCounterStrike, "EngineModeW"), 800u);
  EXPECT_EQ(Dword(kCounterStrike, "EngineModeH"), 600u);
  EXPECT_EQ(boxes_.Texts(), Texts{});
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kSettings))
      << "a key that only the record made goes with it";
}

TEST_F(PlaybackTest, ARecordThatCannotBeWrittenChangesNothingElse) {
  CreateReadOnlyKey(HKEY_CURRENT_USER, kSettings);
  ASSERT_TRUE(PlayDemo(window_.handle(), demoPath_));
  std::map<std::string, std::string> report = Report();
  EXPECT_EQ(report["record"], "none x none");
  EXPECT_EQ(report["EngineModeW"], "640");
  EXPECT_EQ(Dword(kHalfLife, "EngineModeW"), 1024u);
  EXPECT_EQ(Dword(kHalfLife, "EngineModeH"), 768u);
  EXPECT_EQ(boxes_.Texts(), Texts{});
}

TEST_F(PlaybackTest, NeitherKeyAtPlayTimeWarnsTwiceAndTheGameStillRuns) {
  DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Valve");
  ASSERT_TRUE(PlayDemo(window_.handle(), demoPath_));
  EXPECT_EQ(boxes_.Texts(),
            (Texts{"Could not read Half-Life registry.", "Could not read Half-Life registry."}));
  EXPECT_EQ(boxes_.boxes()[0].icon, "warning");
  EXPECT_EQ(Report()["EngineModeW"], "no key");
  EXPECT_EQ(window_.Text(IDC_INFO), "");
}

TEST_F(PlaybackTest, AGameThatCannotStartChangesNothing) {
  const std::string tooLong(250, 'x');
  const struct {
    const char* why;
    std::string gameExePath;
    std::string extraArgs;
  } cases[] = {
      {"no game path", "", ""},
      {"a game path naming nothing", game_ + "\\missing.exe", ""},
      {"a command line longer than 259 characters", game_ + "\\hl.exe", tooLong},
  };
  for (const auto& c : cases) {
    boxes_.Clear();
    lstrcpynA(app.gameExePath, c.gameExePath.c_str(), sizeof app.gameExePath);
    lstrcpynA(app.extraArgs, c.extraArgs.c_str(), sizeof app.extraArgs);
    EXPECT_FALSE(PlayDemo(window_.handle(), demoPath_)) << c.why;
    EXPECT_EQ(boxes_.Texts(), Texts{"Could not start Half-Life."}) << c.why;
    EXPECT_EQ(boxes_.boxes()[0].icon, "warning");
    EXPECT_TRUE(Report().empty()) << c.why;
    EXPECT_FALSE(CopyStillThere()) << c.why;
    EXPECT_EQ(Dword(kHalfLife, "EngineModeW"), 1024u) << c.why;
    EXPECT_EQ(Dword(kHalfLife, "EngineModeH"), 768u) << c.why;
    EXPECT_FALSE(RecordLeft()) << c.why;
    EXPECT_STREQ(demoPath_, scratch_.Join("played.dem").c_str()) << c.why;
    EXPECT_EQ(window_.Text(IDC_INFO), "a summary") << c.why;
    EXPECT_EQ(window_.Text(IDC_DEMOPATH), demoPath_) << c.why;
    EXPECT_NE(app.mapBitmap, nullptr) << c.why;
  }
}

TEST_F(PlaybackTest, ACopyPathThatDoesNotFitStartsNothing) {
  std::string deep = game_ + "\\" + std::string(240, 'd');
  lstrcpynA(app.gameDir, deep.c_str(), sizeof app.gameDir);
  EXPECT_FALSE(PlayDemo(window_.handle(), demoPath_));
  EXPECT_EQ(boxes_.Texts(), Texts{"Could not start Half-Life."});
  EXPECT_TRUE(Report().empty());
  EXPECT_EQ(Dword(kHalfLife, "EngineModeW"), 1024u);
}

TEST_F(PlaybackTest, ExtraTextAndSpeedGoInAsTheyStand) {
  lstrcpynA(app.extraArgs, "-dev -w 800", sizeof app.extraArgs);
  lstrcpynA(app.demoSpeed, "0.5", sizeof app.demoSpeed);
  ASSERT_TRUE(PlayDemo(window_.handle(), demoPath_));
  EXPECT_EQ(Report()["command line"],
            game_ +
                "\\hl.exe -dev -w 800 -game cstrike -console +connect localhost +playdemo "
                "quendrix.dem 0.5");
}

TEST_F(PlaybackTest, AMissingModFolderStillStartsTheGame) {
  lstrcpynA(app.modDir, "tfc", sizeof app.modDir);
  // A cut recording as well, whose repaired copy cannot be written either.
  std::vector<uint8_t> cut(demoBytes_.begin(), demoBytes_.begin() + demoBytes_.size() / 2);
  for (const std::string& played : {std::string(demoPath_), scratch_.Write("cut.dem", cut)}) {
    lstrcpynA(demoPath_, played.c_str(), sizeof demoPath_);
    ASSERT_TRUE(PlayDemo(window_.handle(), demoPath_)) << played;
    EXPECT_EQ(boxes_.Texts(), Texts{}) << played;
    EXPECT_EQ(Report()["copy"], "missing") << played;
    EXPECT_NE(Report()["command line"].find(" -game tfc "), std::string::npos);
  }
  EXPECT_EQ(ReadFileBytes(scratch_.Join("cut.dem")), cut);
}

}  // namespace
