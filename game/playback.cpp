#include "game/playback.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/resources/resource.h"
#include "common/app_state.h"
#include "common/message_box.h"
#include "demo/demo_file.h"
#include "demo/repair_file.h"
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

// The game cannot play a recording that was cut off before its directory was
// written: such a one is handed over in its repaired form, as quendrix-repair
// writes it, whole or not at all. Any other file is copied byte for byte. The
// user's file is only read, window by window. Where no copy can be written
// (no mod folder) the game still starts, as the game itself tells what is
// missing; but one too large to repair is refused, once the player has been
// told why.
bool CopyDemoForGame(const char* demoPath) {
  DemoInspection demo;
  RepairPlan plan;
  const RepairOutcome repair = InspectDemoFile(demoPath, &demo) == DemoFileStatus::kRead
                                   ? PlanRepair(demo.structure, &plan)
                                   : RepairOutcome::kNothingToKeep;
  if (repair == RepairOutcome::kTooLarge) {
    Warn(
        "The demo was cut off, and a repaired copy of it would be 4 GiB or more, more than a "
        "demo can hold: it cannot be played.");
    return false;
  }
  if (repair == RepairOutcome::kRepaired) {
    WriteRepairFile(demoPath, plan, app.tempDemoPath, true);
  } else {
    CopyFileA(demoPath, app.tempDemoPath, FALSE);
  }
  return true;
}

// A part is written whole, or the game is not started on it.
bool WritePartForGame(const std::vector<uint8_t>& part) {
  WholeFile copy;
  if (copy.Create(app.tempDemoPath) != RepairFileStatus::kWritten ||
      !copy.Write(part.data(), part.size()) ||
      copy.PutInPlace(true) != RepairFileStatus::kWritten) {
    Warn("Could not write the part of the demo for the game.");
    return false;
  }
  return true;
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

bool PlayDemo(HWND window, char* demoPathText, const std::vector<uint8_t>* part) {
  if (!Compose(app.tempDemoPath, sizeof app.tempDemoPath, "%s\\%s\\quendrix.dem", app.gameDir,
               app.modDir)) {
    app.tempDemoPath[0] = '\0';
    return FailStart(false);
  }
  DeleteFileA(app.tempDemoPath);
  if (part != nullptr ? !WritePartForGame(*part) : !CopyDemoForGame(demoPathText)) return false;

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
