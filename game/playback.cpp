#include "game/playback.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/resources/resource.h"
#include "common/app_state.h"
#include "common/message_box.h"
#include "demo/demo_file.h"
#include "demo/demo_repair.h"
#include "demo/load_demo.h"
#include "game/settings.h"

namespace {

void Warn(const char* text) {
  ShowMessage(text, MB_ICONWARNING);
}

// Without the resolution read at start there would be nothing to put back,
// so the game's values are then left alone altogether.
bool ResolutionSwapApplies() {
  return strlen(app.demoResHeight) > 1 && strlen(app.demoResWidth) > 1 && !app.isHltvDemo &&
         app.currentResWidth[0] != '\0' && app.currentResHeight[0] != '\0';
}

// A text cut to fit would name another file or start the game with other
// arguments: such a start counts as failed.
bool Compose(char* text, size_t size, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int length = vsnprintf(text, size, format, arguments);
  va_end(arguments);
  return length >= 0 && static_cast<size_t>(length) < size;
}

bool FailStart(bool copyMade) {
  Warn("Could not start Half-Life.");
  if (copyMade) DeleteFileA(app.tempDemoPath);
  return false;
}

// Whole or not at all: a part of a demo would play as a shorter one.
void WriteWholeFile(const char* path, const std::vector<uint8_t>& bytes) {
  HANDLE file =
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  bool whole = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
  whole &= CloseHandle(file) != FALSE;
  if (!whole) DeleteFileA(path);
}

// The game cannot play a recording that was cut off before its directory was
// written: such a one is handed over in its repaired form. Any other file is
// copied byte for byte. The user's file is only read.
void CopyDemoForGame(const char* demoPath) {
  DemoBytes demo;
  std::vector<uint8_t> repaired;
  if (ReadDemoFile(demoPath, &demo) == DemoFileStatus::kRead &&
      RepairDemoBytes(demo.bytes.get(), demo.size, &repaired) == RepairOutcome::kRepaired) {
    demo.bytes.reset();
    WriteWholeFile(app.tempDemoPath, repaired);
  } else {
    CopyFileA(demoPath, app.tempDemoPath, FALSE);
  }
}

void ClearDemo(HWND window, char* demoPathText) {
  demoPathText[0] = '\0';
  SendDlgItemMessageA(window, IDC_INFO, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  SendDlgItemMessageA(window, IDC_DEMOPATH, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(demoPathText));
  ReleaseMapPreview();
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
}

}  // namespace

void ApplyDemoResolution() {
  if (!ResolutionSwapApplies()) return;
  // Kept until the write-back, so that an end of the program in between does
  // not leave the game at the demo's resolution for good.
  RecordStartTimeResolution();
  WriteGameResolution(app.demoResHeight, app.demoResWidth);
}

void RestoreCurrentResolution() {
  if (!ResolutionSwapApplies()) return;
  WriteGameResolution(app.currentResHeight, app.currentResWidth);
  RemoveResolutionRecord();
}

bool PlayDemo(HWND window, char* demoPathText) {
  if (!Compose(app.tempDemoPath, sizeof app.tempDemoPath, "%s\\%s\\quendrix.dem", app.gameDir,
               app.modDir)) {
    app.tempDemoPath[0] = '\0';
    return FailStart(false);
  }
  DeleteFileA(app.tempDemoPath);
  CopyDemoForGame(demoPathText);

  char commandLine[kPathSize];
  if (!Compose(commandLine, sizeof commandLine,
               "%s %s -game %s -console +connect localhost +playdemo quendrix.dem %s",
               app.gameExePath, app.extraArgs, app.modDir, app.demoSpeed)) {
    return FailStart(true);
  }

  ApplyDemoResolution();
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION game = {};
  if (!CreateProcessA(app.gameExePath, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &game)) {
    FailStart(true);
    RestoreCurrentResolution();
    return false;
  }
  // The window neither repaints nor takes input until the game has exited.
  WaitForSingleObject(game.hProcess, INFINITE);
  DeleteFileA(app.tempDemoPath);
  CloseHandle(game.hProcess);
  CloseHandle(game.hThread);
  RestoreCurrentResolution();
  ClearDemo(window, demoPathText);
  return true;
}
