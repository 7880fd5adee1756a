// The fixture of the tests that drive the real program: each test runs a copy
// of the program in a scratch folder of its own, with its own maps folder,
// demos, game (the stand-in) and registry state.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/bitmap_writer.h"
#include "tests/win32/win32_test_support.h"
#include "tools/demo_writer.h"
#include "tools/window_driver.h"

inline constexpr DWORD kWaitMs = 15000;
inline constexpr char kHalfLife[] = "Software\\Valve\\Half-Life\\Settings";
inline constexpr char kSettings[] = "Software\\Tolvanek\\Quendrix\\Settings";

inline std::string Summary(const char* map, const char* mod, const char* demoRes, bool hltv = false,
                           const char* currentRes = "1024x768") {
  return std::string("Half-Life Version: 1.1.0.8\nDemo Type: HLDEMO\nDemo Version: 5\n") +
         "Network Version: 45\nMap: " + map + "\nMod: " + mod + "\nCurrent Res: " + currentRes +
         "\nDemo Res: " + demoRes + "\n" + (hltv ? "HLTV Recorded Demo" : "");
}

class ProgramTest : public testing::Test {
 protected:
  void SetUp() override {
    DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Tolvanek");
    DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Valve");
    SetRegistryDword(HKEY_CURRENT_USER, kHalfLife, "EngineModeW", 1024);
    SetRegistryDword(HKEY_CURRENT_USER, kHalfLife, "EngineModeH", 768);
    CreateDirectoryA(scratch_.Join("Quendrix Program").c_str(), nullptr);
    CreateDirectoryA(scratch_.Join("Quendrix Program\\maps").c_str(), nullptr);
    CreateDirectoryA(scratch_.Join("My Demos").c_str(), nullptr);
    exe_ = scratch_.Join("Quendrix Program\\quendrix.exe");
    ASSERT_TRUE(CopyFileA((TestProgramFolder() + "\\quendrix.exe").c_str(), exe_.c_str(), FALSE));
  }
  void TearDown() override {
    for (PROCESS_INFORMATION& process : started_) StopProgram(&process);
    DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Tolvanek");
    DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Valve");
  }

  std::string Demo(const char* name, const char* map, const char* mod, int width, int height,
                   bool hltv = false) {
    return scratch_.Write(std::string("My Demos\\") + name,
                          WriteDemo(TestRecipe(map, mod, width, height, hltv)));
  }

  std::vector<Rgb> Preview(const char* map, int width, int height) {
    std::vector<Rgb> pixels = DrawMapPreview(map, width, height);
    scratch_.Write(std::string("Quendrix Program\\maps\\") + map + ".bmp",
                   EncodeBitmap24(width, height, pixels));
    return pixels;
  }

  // Starts the program as the shell does: its quoted path, then the text.
  PROCESS_INFORMATION Start(const std::string& text) {
    PROCESS_INFORMATION process = {};
    EXPECT_TRUE(StartProgram(exe_, "\"" + exe_ + "\" " + text, &process));
    started_.push_back(process);
    return process;
  }

  // The stand-in game as hl.exe in a game folder with a cstrike mod folder,
  // and the program's settings pointing at it.
  void InstallGame(const char* extraArgs = "", const char* demoSpeed = "") {
    game_ = scratch_.Join("Half-Life Game");
    CreateDirectoryA(game_.c_str(), nullptr);
    CreateDirectoryA((game_ + "\\cstrike").c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((TestProgramFolder() + "\\quendrix_stand_in_game.exe").c_str(),
                          (game_ + "\\hl.exe").c_str(), FALSE));
    std::string path = game_ + "\\hl.exe";
    SetRegistryValue(HKEY_CURRENT_USER, kSettings, "Path", REG_SZ, path.c_str(),
                     static_cast<DWORD>(path.size() + 1));
    SetRegistryValue(HKEY_CURRENT_USER, kSettings, "CommandLine", REG_SZ, extraArgs,
                     static_cast<DWORD>(strlen(extraArgs) + 1));
    SetRegistryValue(HKEY_CURRENT_USER, kSettings, "DemoSpeed", REG_SZ, demoSpeed,
                     static_cast<DWORD>(strlen(demoSpeed) + 1));
  }

  HWND StartWindow(const std::string& text) {
    PROCESS_INFORMATION process = Start(text);
    HWND window = WaitForMainWindow(process.dwProcessId, kWaitMs);
    EXPECT_NE(window, nullptr) << "no window for " << text;
    first_ = process;
    return window;
  }

  // A click, posted: what it opens (a chooser, a message box, the game)
  // holds the program's thread, not ours.
  static void Click(HWND window, int control) {
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(control, BN_CLICKED), 0);
  }

  template <typename Condition>
  static bool WaitUntil(Condition condition, DWORD milliseconds = kWaitMs) {
    DWORD start = GetTickCount();
    while (!condition()) {
      if (GetTickCount() - start > milliseconds) return false;
      Sleep(20);
    }
    return true;
  }

  // The program's message box, read and answered; an empty text when none came.
  MessageBoxSeen AnswerBox(DWORD milliseconds = kWaitMs) {
    HWND box = WaitForMessageBox(first_.dwProcessId, milliseconds);
    return box != nullptr ? AnswerMessageBox(box) : MessageBoxSeen();
  }

  ScratchDir scratch_;
  std::string exe_;
  std::string game_;
  std::vector<PROCESS_INFORMATION> started_;
  PROCESS_INFORMATION first_ = {};
};
