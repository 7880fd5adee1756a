// LoadDemo on real files under Wine: what the summary field, the state and the
// message boxes show afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/load_demo.h"
#include "app/resources/resource.h"
#include "common/app_state.h"
#include "common/bitmap_writer.h"
#include "map/map_floors.h"
#include "map/map_picture.h"
#include "tests/reference/map_pictures.h"
#include "tests/win32/win32_test_support.h"
#include "tools/demo_writer.h"
#include "tools/map_writer.h"

namespace {

class LoadDemoTest : public testing::Test {
 protected:
  void SetUp() override {
    app = AppState();
    lstrcpynA(app.ownDir, scratch_.path().c_str(), sizeof app.ownDir);
    CreateDirectoryA(scratch_.Join("maps").c_str(), nullptr);
  }
  void TearDown() override {
    if (app.mapBitmap != nullptr) DeleteObject(app.mapBitmap);
    app = AppState();
  }

  std::string WriteDemoFile(const std::string& name, const DemoRecipe& recipe) {
    return scratch_.Write(name, WriteDemo(recipe));
  }

  void WritePreview(const std::string& map, int width, int height) {
    scratch_.Write("maps\\" + map + ".bmp",
                   EncodeBitmap24(width, height, DrawMapPreview(map.c_str(), width, height)));
  }

  // What the callers do before each load: drop the old preview.
  void Load(const std::string& path) {
    if (app.mapBitmap != nullptr) DeleteObject(app.mapBitmap);
    app.mapBitmap = nullptr;
    LoadDemo(window_.handle(), path.c_str());
  }

  // A file of that many gigabytes that takes no room on disk.
  std::string SparseFile(const std::string& name, LONG gibibytes) {
    std::string path = scratch_.Write(name, {'H', 'L', 'D', 'E', 'M', 'O'});
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    LONG high = gibibytes >> 2;
    SetFilePointer(file, (gibibytes & 3) << 30, &high, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    return path;
  }

  ScratchDir scratch_;
  FieldsWindow window_;
  MessageBoxCatcher boxes_;
};

TEST_F(LoadDemoTest, ShowsTheSummaryThePreviewAndKeepsTheMod) {
  lstrcpynA(app.currentResWidth, "1024", sizeof app.currentResWidth);
  lstrcpynA(app.currentResHeight, "768", sizeof app.currentResHeight);
  WritePreview("de_inferno", 200, 150);
  Load(WriteDemoFile("inferno.dem", TestRecipe("de_inferno", "cstrike", 640, 480)));

  EXPECT_TRUE(boxes_.boxes().empty());
  EXPECT_EQ(window_.Text(IDC_INFO),
            "Half-Life Version: 1.1.0.8\nDemo Type: HLDEMO\nDemo Version: 5\nNetwork Version: 45\n"
            "Map: de_inferno\nMod: cstrike\nCurrent Res: 1024x768\nDemo Res: 640x480\n");
  EXPECT_STREQ(app.demoResWidth, "640");
  EXPECT_STREQ(app.demoResHeight, "480");
  EXPECT_FALSE(app.isHltvDemo);
  EXPECT_STREQ(app.modDir, "cstrike");
  ASSERT_NE(app.mapBitmap, nullptr);
  BITMAP preview;
  ASSERT_EQ(GetObjectA(app.mapBitmap, sizeof preview, &preview), int(sizeof preview));
  EXPECT_EQ(preview.bmWidth, 200);
  EXPECT_EQ(preview.bmHeight, 150);
}

TEST_F(LoadDemoTest, HltvDemo) {
  Load(WriteDemoFile("proxy.dem", TestRecipe("cs_assault", "cstrike", 0, 0, true)));
  EXPECT_TRUE(boxes_.boxes().empty());
  EXPECT_TRUE(app.isHltvDemo);
  EXPECT_STREQ(app.demoResWidth, "1024");
  std::string info = window_.Text(IDC_INFO);
  EXPECT_EQ(info.substr(info.rfind("Current Res")),
            "Current Res: x\nDemo Res: 1024x768\nHLTV Recorded Demo");
}

TEST_F(LoadDemoTest, NoPreviewWithoutABitmapAndNoMessage) {
  scratch_.Write("maps\\broken.bmp", {'B', 'M', 1, 2, 3});
  const char* maps[] = {"de_nobitmap", "broken", ""};
  for (const char* map : maps) {
    Load(WriteDemoFile("x.dem", TestRecipe(map, "valve", 800, 600)));
    EXPECT_EQ(app.mapBitmap, nullptr) << map;
    EXPECT_NE(window_.Text(IDC_INFO).find("Demo Res: 800x600"), std::string::npos) << map;
  }
  EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(LoadDemoTest, PreviewPathTooLongGivesNoPreview) {
  // The folder and the name together pass 259 characters: the cut path
  // would name another file, which must not be loaded.
  std::string map(250, 'm');
  WritePreview(map.substr(0, 200), 8, 8);
  Load(WriteDemoFile("long.dem", TestRecipe(map.c_str(), "valve", 800, 600)));
  EXPECT_EQ(app.mapBitmap, nullptr);
  EXPECT_NE(window_.Text(IDC_INFO).find("Map: " + map + "\n"), std::string::npos);
  EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(LoadDemoTest, PathsOf259And260Characters) {
  // Folders of 100 characters at most, so that no name passes a file
  // system's limit. The longest path the program can hold is 259 characters.
  std::string folder = scratch_.path();
  while (folder.size() < 140) {
    folder += "\\" + std::string(std::min<size_t>(100, 140 - folder.size()), 'd');
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
  }
  for (size_t length : {259, 260}) {
    std::string path = folder + "\\";
    path += std::string(length - path.size() - 4, 'p') + ".dem";
    ASSERT_EQ(path.size(), length);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      // Windows' ANSI calls stop short of 260 characters.
      EXPECT_EQ(length, 260u) << "a path of 259 characters must be usable";
      continue;
    }
    std::vector<uint8_t> demo = WriteDemo(TestRecipe("de_long", "valve", 640, 480));
    DWORD written = 0;
    WriteFile(file, demo.data(), static_cast<DWORD>(demo.size()), &written, nullptr);
    CloseHandle(file);
    Load(path);
    EXPECT_TRUE(boxes_.boxes().empty()) << length;
    EXPECT_NE(window_.Text(IDC_INFO).find("Map: de_long\n"), std::string::npos) << length;
    EXPECT_STREQ(app.demoResWidth, "640");
    DeleteFileA(path.c_str());
  }
}

TEST_F(LoadDemoTest, ModDirHoldsExactlyTheLastGameDirectory) {
  Load(WriteDemoFile("a.dem", TestRecipe("m", "a_long_mod_directory", 800, 600)));
  Load(WriteDemoFile("b.dem", TestRecipe("m", "tfc", 800, 600)));
  EXPECT_STREQ(app.modDir, "tfc");
  // A game directory without a NUL in its 264 bytes is cut to 259 characters.
  std::vector<uint8_t> bytes = WriteDemo(TestRecipe("m", "", 800, 600));
  memset(bytes.data() + 276, 'g', 264);
  Load(scratch_.Write("wide.dem", bytes));
  EXPECT_EQ(std::string(app.modDir), std::string(259, 'g'));
  EXPECT_NE(window_.Text(IDC_INFO).find("Mod: " + std::string(264, 'g') + "\n"), std::string::npos);
}

TEST_F(LoadDemoTest, AnyFileIsInspectedAsADemo) {
  std::string text = "Quendrix notes, not a demo at all.";
  text.resize(3000, '.');
  Load(scratch_.Write("notes.txt", std::vector<uint8_t>(text.begin(), text.end())));
  EXPECT_TRUE(boxes_.boxes().empty());
  EXPECT_EQ(window_.Text(IDC_INFO).substr(0, 48),
            "Half-Life Version: N/A\nDemo Type: Quendrix\nDemo ");
  // Ten bytes: fields past the end read as zeros.
  Load(scratch_.Write("short.dem", {'H', 'L', 'D', 'E', 'M', 'O', 0, 0, 0xC8, 0}));
  EXPECT_EQ(window_.Text(IDC_INFO),
            "Half-Life Version: N/A\nDemo Type: HLDEMO\nDemo Version: -56\nNetwork Version: 0\n"
            "Map: \nMod: \nCurrent Res: x\nDemo Res: *x*\n");
}

TEST_F(LoadDemoTest, PreviewDrawnFromTheGamesOwnMap) {
  for (const char* folder :
       {"game", "game\\cstrike", "game\\cstrike\\maps", "game\\valve", "game\\valve\\maps"}) {
    CreateDirectoryA(scratch_.Join(folder).c_str(), nullptr);
  }
  MapRecipe recipe;
  recipe.faces = {FloorRectangle(0, 0, 512, 256, 0), FloorRectangle(64, 64, 128, 128, 48)};
  const std::vector<uint8_t> map = WriteMap(recipe);
  const std::vector<uint8_t> damaged(map.begin(), map.end() - 8);
  for (const char* name : {"cstrike\\maps\\de_mod", "cstrike\\maps\\de_both",
                           "valve\\maps\\hl_base", "valve\\maps\\de_broken"}) {
    scratch_.Write(std::string("game\\") + name + ".bsp", map);
  }
  scratch_.Write("game\\cstrike\\maps\\de_broken.bsp", damaged);
  WritePreview("de_both", 16, 12);
  // Where a name that climbs out of the maps folder would lead.
  scratch_.Write("outside.bmp", EncodeBitmap24(8, 8, DrawMapPreview("outside", 8, 8)));
  lstrcpynA(app.gameDir, scratch_.Join("game").c_str(), sizeof app.gameDir);
  const std::string longMod(230, 'c');

  const struct {
    const char* map;
    const char* mod;
    int width;  // of the preview, 0 for none
  } cases[] = {
      {"de_mod", "cstrike", kPreviewWidth},
      {"hl_base", "cstrike", kPreviewWidth},  // the game's own map
      {"hl_base", "", kPreviewWidth},
      {"de_both", "cstrike", 16},               // the bitmap beside the program wins
      {"de_broken", "cstrike", kPreviewWidth},  // the mod's cannot be drawn, the game's can
      {"de_mod", "valve", 0},
      {"de_none", "cstrike", 0},
      {"..\\outside", "cstrike", 0},
      {"../outside", "cstrike", 0},
      {"..\\..\\cstrike\\maps\\de_mod", "valve", 0},
      {"de_mod", "..\\game\\cstrike", 0},
      {"de_mod", "valve\\..\\cstrike", 0},
      {"de_mod", "C:\\cstrike", 0},
      {"de_mod", longMod.c_str(), 0},  // a path too long for the program
  };
  for (const auto& c : cases) {
    Load(WriteDemoFile("x.dem", TestRecipe(c.map, c.mod, 800, 600)));
    BITMAP preview = {};
    if (app.mapBitmap != nullptr) GetObjectA(app.mapBitmap, sizeof preview, &preview);
    EXPECT_EQ(preview.bmWidth, c.width) << c.map << " of " << c.mod;
  }
  EXPECT_TRUE(boxes_.boxes().empty());

  // Without a game folder in the settings there is nowhere to look.
  app.gameDir[0] = '\0';
  Load(WriteDemoFile("x.dem", TestRecipe("de_mod", "cstrike", 800, 600)));
  EXPECT_EQ(app.mapBitmap, nullptr);
}

// The same pixels as the native build draws, from the real maps where they lie.
TEST(MapPictures, TheRealMapsAsDrawnNatively) {
  for (const MapPictureFingerprint& reference : kMapPictureFingerprints) {
    const std::string path = std::string(QUENDRIX_MAP_DIR) + "/" + reference.file;
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    if (bytes.empty()) GTEST_SKIP() << "no " << path;
    MapFloors floors;
    ASSERT_EQ(ReadMapFloors(bytes.data(), bytes.size(), &floors), MapStatus::kRead) << path;
    EXPECT_EQ(Fingerprint(DrawMapFloors(floors, kPreviewWidth, kPreviewHeight)),
              reference.fingerprint)
        << reference.file;
  }
}

struct Failure {
  const char* what;
  const char* message;
};

TEST_F(LoadDemoTest, FailuresShowTheirMessageAndKeepThePreviousDemo) {
  WritePreview("de_good", 16, 16);
  std::string good = WriteDemoFile("good.dem", TestRecipe("de_good", "cstrike", 800, 600));
  std::string empty = scratch_.Write("empty.dem", {});
  std::string locked = scratch_.Write("locked.dem", WriteDemo(TestRecipe("m", "valve", 640, 480)));
  CreateDirectoryA(scratch_.Join("folder.dem").c_str(), nullptr);
  // Opened elsewhere without sharing, as a game still writing its demo does.
  HANDLE lock = CreateFileA(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  // The one beyond 4 GiB would have been read as its first gigabyte had only
  // the low half of its size counted.
  std::string beyond4GiB = SparseFile("beyond.dem", 5);

  std::vector<std::pair<std::string, const char*>> cases = {
      {scratch_.Join("missing.dem"), "Could not open demofile."},
      {scratch_.Join("folder.dem"), "Could not open demofile."},
      {locked, "Could not open demofile."},
      {"", "Could not open demofile."},
      {empty, "Could not open demofile (reason 2)."},
      {beyond4GiB, "Could not read file to memory."},
  };
  // Larger than a 32-bit program can hold (the 64-bit test build reads it).
  if (sizeof(void*) == 4)
    cases.push_back({SparseFile("huge.dem", 3), "Could not read file to memory."});
  for (const auto& [path, message] : cases) {
    Load(good);
    ASSERT_TRUE(app.mapBitmap != nullptr);
    const std::string summary = window_.Text(IDC_INFO);
    app.isHltvDemo = true;  // whatever it held, a load clears it first

    Load(path);
    ASSERT_EQ(boxes_.boxes().size(), 1u) << path;
    const CaughtMessageBox& box = boxes_.boxes().back();
    EXPECT_EQ(box.text, message) << path;
    EXPECT_EQ(box.caption, "Quendrix");
    EXPECT_EQ(box.icon, "error");
    EXPECT_FALSE(box.hasOwner);
    EXPECT_EQ(window_.Text(IDC_INFO), summary) << path;
    EXPECT_FALSE(app.isHltvDemo);
    EXPECT_STREQ(app.demoResWidth, "800");
    EXPECT_STREQ(app.demoResHeight, "600");
    EXPECT_STREQ(app.modDir, "cstrike");
    EXPECT_EQ(app.mapBitmap, nullptr);
    boxes_.Clear();
  }
  CloseHandle(lock);
  // A good load after the failures works as ever.
  Load(good);
  EXPECT_NE(app.mapBitmap, nullptr);
  EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(LoadDemoTest, ReadsNothingButTheDemoAndWritesNothing) {
  std::string path = WriteDemoFile("same.dem", TestRecipe("m", "valve", 800, 600));
  std::vector<uint8_t> before = ReadFileBytes(path);
  Load(path);
  EXPECT_EQ(ReadFileBytes(path), before);
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(scratch_.Join("*").c_str(), &entry);
  int entries = 0;
  do ++entries;
  while (FindNextFileA(search, &entry));
  FindClose(search);
  EXPECT_EQ(entries, 4) << ". .. maps same.dem";
}

}  // namespace
