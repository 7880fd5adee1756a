// The program itself, started as the shell starts it, driven from this
// process: the window and what it shows, second starts, the ways to end it.
#include <gtest/gtest.h>

#include <string>

#include "app/resources/resource.h"
#include "map/map_floors.h"
#include "map/map_picture.h"
#include "tests/win32/program_fixture.h"
#include "tools/map_writer.h"

namespace {

uint32_t Colour(Rgb rgb) {
  return (uint32_t(rgb.r) << 16) | (uint32_t(rgb.g) << 8) | rgb.b;
}

TEST_F(ProgramTest, OpensOnTheDemoOfItsCommandLine) {
  std::vector<Rgb> preview = Preview("de_train", 240, 180);
  std::string demo = Demo("train.dem", "de_train", "cstrike", 800, 600);
  HWND window = StartWindow(demo);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ControlText(window, IDC_INFO), Summary("de_train", "cstrike", "800x600"));
  EXPECT_EQ(ControlText(window, IDC_DEMOPATH), demo);
  EXPECT_EQ(FindMessageBox(first_.dwProcessId), nullptr);

  Sleep(300);  // the paint after the load
  Picture picture = CaptureClientArea(window);
  CreateDirectoryA((TestProgramFolder() + "\\artifacts").c_str(), nullptr);
  EXPECT_TRUE(SavePicture(picture, TestProgramFolder() + "\\artifacts\\main-window.bmp"));
  ASSERT_GE(picture.width, 445);
  ASSERT_GE(picture.height, 330);
  const struct {
    const char* what;
    int x, y;
    uint32_t colour;
  } pixels[] = {
      {"the demo box, left of the field", 24, 85, 0x4D4B4B},
      {"the main panel", 25, 110, 0x444444},
      {"the main panel's lower right", 440, 325, 0x444444},
      {"the map frame's left line", 31, 200, 0xBCBCBC},
      {"the preview's top left pixel", 37, 125, Colour(preview[0])},
      {"the preview's bottom right pixel", 37 + 239, 125 + 179, Colour(preview.back())},
  };
  for (const auto& p : pixels) {
    EXPECT_EQ(picture.At(p.x, p.y), p.colour) << p.what << " at " << p.x << "," << p.y;
  }
}

TEST_F(ProgramTest, PreviewDrawnFromTheMapInTheGameFolder) {
  InstallGame();
  CreateDirectoryA((game_ + "\\cstrike\\maps").c_str(), nullptr);
  MapRecipe recipe;
  recipe.textures = {{"ground"}, {"crate", true, {220, 120, 40}, {120, 80, 20}}};
  recipe.faces = {FloorRectangle(0, 0, 1024, 512, 0), FloorRectangle(128, 128, 384, 256, 64, 1)};
  const std::vector<uint8_t> map = WriteMap(recipe);
  scratch_.Write("Half-Life Game\\cstrike\\maps\\de_drawn.bsp", map);
  MapFloors floors;
  ASSERT_EQ(ReadMapFloors(map.data(), map.size(), &floors), MapStatus::kRead);
  const std::vector<Rgb> drawn = DrawMapFloors(floors, kPreviewWidth, kPreviewHeight);

  HWND window = StartWindow(Demo("drawn.dem", "de_drawn", "cstrike", 800, 600));
  ASSERT_NE(window, nullptr);
  Sleep(300);  // the paint after the load
  Picture picture = CaptureClientArea(window);
  CreateDirectoryA((TestProgramFolder() + "\\artifacts").c_str(), nullptr);
  EXPECT_TRUE(SavePicture(picture, TestProgramFolder() + "\\artifacts\\drawn-preview.bmp"));
  ASSERT_GE(picture.width, 37 + kPreviewWidth);
  ASSERT_GE(picture.height, 125 + kPreviewHeight);
  int differing = 0;
  for (int y = 0; y < kPreviewHeight; ++y) {
    for (int x = 0; x < kPreviewWidth; ++x) {
      differing += picture.At(37 + x, 125 + y) != Colour(drawn[size_t(y * kPreviewWidth + x)]);
    }
  }
  EXPECT_EQ(differing, 0) << "pixels of the preview at 37,125 that are not the map's";
  EXPECT_EQ(FindMessageBox(first_.dwProcessId), nullptr);

  // The bitmap beside the program wins; a name that climbs out of the maps
  // folder to the same map gets no preview: the panel shows.
  std::vector<Rgb> bitmap = Preview("de_drawn", 240, 180);
  const struct {
    const char* map;
    uint32_t topLeft;
  } handOvers[] = {
      {"de_drawn", Colour(bitmap[0])},
      {"..\\..\\cstrike\\maps\\de_drawn", 0x444444},
  };
  for (const auto& h : handOvers) {
    std::string demo = Demo("next.dem", h.map, "cstrike", 800, 600);
    EXPECT_EQ(WaitForExit(Start(demo), kWaitMs), 0u);
    Sleep(300);
    Picture shown = CaptureClientArea(window);
    EXPECT_EQ(shown.At(37, 125), h.topLeft) << h.map;
    EXPECT_EQ(shown.At(37 + 100, 125 + 100),
              h.topLeft == 0x444444 ? 0x444444u : Colour(bitmap[100 * 240 + 100]))
        << h.map;
  }
}

TEST_F(ProgramTest, ASecondStartHandsItsDemoOverAndEnds) {
  std::string first = Demo("first.dem", "de_first", "cstrike", 800, 600);
  std::string second = Demo("second.dem", "de_second", "valve", 0, 0, true);
  HWND window = StartWindow(first);
  ASSERT_NE(window, nullptr);

  PROCESS_INFORMATION handing = Start(second);
  EXPECT_EQ(WaitForExit(handing, kWaitMs), 0u);
  EXPECT_EQ(ControlText(window, IDC_INFO), Summary("de_second", "valve", "1024x768", true));
  EXPECT_EQ(ControlText(window, IDC_DEMOPATH), second);

  // With nothing to hand over it only brings the window up.
  PROCESS_INFORMATION empty = Start("");
  EXPECT_EQ(WaitForExit(empty, kWaitMs), 0u);
  EXPECT_EQ(ControlText(window, IDC_DEMOPATH), second);
  EXPECT_EQ(WaitForExit(first_, 0), DWORD(STILL_ACTIVE));
}

TEST_F(ProgramTest, QuotedShortAndMissingPaths) {
  std::string demo = Demo("with blanks.dem", "de_blank", "cstrike", 640, 480);
  HWND window = StartWindow("\"" + demo + "\"");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ControlText(window, IDC_DEMOPATH), demo);
  EXPECT_EQ(ControlText(window, IDC_INFO), Summary("de_blank", "cstrike", "640x480"));

  // The short form of the path comes out long.
  char shortPath[MAX_PATH];
  ASSERT_GT(GetShortPathNameA(demo.c_str(), shortPath, sizeof shortPath), 0u);
  ASSERT_NE(std::string(shortPath), demo);
  EXPECT_EQ(WaitForExit(Start(shortPath), kWaitMs), 0u);
  EXPECT_EQ(ControlText(window, IDC_DEMOPATH), demo) << shortPath;

  // A path naming nothing is shown and reported, not dropped.
  std::string missing = scratch_.Join("My Demos\\gone.dem");
  PROCESS_INFORMATION handing = Start(missing);
  HWND box = WaitForMessageBox(first_.dwProcessId, kWaitMs);
  ASSERT_NE(box, nullptr);
  MessageBoxSeen seen = AnswerMessageBox(box);
  EXPECT_EQ(seen.text, "Could not open demofile.");
  EXPECT_EQ(seen.caption, "Quendrix");
  EXPECT_FALSE(seen.hasOwner);
  EXPECT_EQ(WaitForExit(handing, kWaitMs), 0u);
  EXPECT_EQ(ControlText(window, IDC_DEMOPATH), missing);
  EXPECT_EQ(ControlText(window, IDC_INFO), Summary("de_blank", "cstrike", "640x480"));
}

TEST_F(ProgramTest, PendingPathsOfTwoCharactersOrFewerAreNotLoaded) {
  scratch_.Write("Quendrix Program\\ab", WriteDemo(DemoRecipe()));
  HWND window = StartWindow("ab");
  ASSERT_NE(window, nullptr);
  Sleep(300);
  EXPECT_EQ(ControlText(window, IDC_DEMOPATH), "");
  EXPECT_EQ(ControlText(window, IDC_INFO), "");
  EXPECT_EQ(FindMessageBox(first_.dwProcessId), nullptr);
}

TEST_F(ProgramTest, HandOversThatDoNotFitAreCut) {
  HWND window = StartWindow("");
  ASSERT_NE(window, nullptr);
  std::string longText(400, 'x');
  const struct {
    const char* what;
    DWORD cbData;
    const char* data;
    std::string shown;
  } handOvers[] = {
      {"no NUL within cbData", 5, "abcdefgh", "abcde"},
      {"longer than 259", 401, longText.c_str(), std::string(259, 'x')},
      {"no data", 0, nullptr, ""},
  };
  for (const auto& h : handOvers) {
    SetWindowTextA(GetDlgItem(window, IDC_DEMOPATH), "");
    COPYDATASTRUCT handOver = {0, h.cbData, const_cast<char*>(h.data)};
    DWORD_PTR result = 0;
    // The load's message box holds the answer back: it is posted and read.
    SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&handOver), SMTO_NORMAL,
                        200, &result);
    if (HWND box = WaitForMessageBox(first_.dwProcessId, h.shown.size() > 2 ? kWaitMs : 300)) {
      EXPECT_EQ(AnswerMessageBox(box).text, "Could not open demofile.") << h.what;
    }
    Sleep(200);
    EXPECT_EQ(ControlText(window, IDC_DEMOPATH), h.shown.size() > 2 ? h.shown : "") << h.what;
  }
}

TEST_F(ProgramTest, EscAndTheCloseBoxEndTheProgram) {
  HWND window = StartWindow("");
  ASSERT_NE(window, nullptr);
  HWND focused = GetDlgItem(window, IDC_BROWSEDEMO);
  PostMessageA(focused, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(WaitForExit(first_, kWaitMs), 0u);

  window = StartWindow("");
  ASSERT_NE(window, nullptr);
  PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(WaitForExit(first_, kWaitMs), 0u);
}

}  // namespace
