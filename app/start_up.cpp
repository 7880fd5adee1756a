#include "app/start_up.h"

#include <cstring>

#include "app/command_line.h"
#include "app/long_path.h"
#include "common/app_state.h"
#include "common/path_text.h"

namespace {

bool IsLeadByte(unsigned char byte) {
  return IsDBCSLeadByte(byte) != FALSE;
}

}  // namespace

void TakeDemoPathFromCommandLine(const char* commandLine) {
  const char* text = CommandLineText(commandLine, IsLeadByte);
  app.libraryAsked =
      TakeLibrarySwitch(text, app.pendingLibraryFolder, sizeof app.pendingLibraryFolder);
  if (app.libraryAsked) {
    // A folder relative to where the program was started, which a running
    // instance handed it does not know.
    char full[kPathSize];
    DWORD length = GetFullPathNameA(app.pendingLibraryFolder, sizeof full, full, nullptr);
    if (app.pendingLibraryFolder[0] != '\0' && length > 0 && length < sizeof full) {
      lstrcpynA(app.pendingLibraryFolder, full, sizeof app.pendingLibraryFolder);
    }
    return;
  }
  char path[kPathSize];
  UnquotePath(text, path, sizeof path);
  DWORD expanded = ExpandLongPath(path, app.pendingDemoPath, sizeof app.pendingDemoPath);
  // A failed expansion, or a long form too long for the field, leaves the
  // path as it was given.
  if (expanded == 0 || expanded >= sizeof app.pendingDemoPath) {
    lstrcpynA(app.pendingDemoPath, path, sizeof app.pendingDemoPath);
  }
}

void TakeOwnPaths(HINSTANCE instance) {
  // Older systems leave a name that fills the buffer unterminated.
  GetModuleFileNameA(instance, app.ownExePath, sizeof app.ownExePath);
  app.ownExePath[sizeof app.ownExePath - 1] = '\0';
  GetModuleFileNameA(instance, app.ownDir, sizeof app.ownDir);
  app.ownDir[sizeof app.ownDir - 1] = '\0';
  CutAtLastBackslash(app.ownDir);
}

void HandOverToRunningInstance() {
  HWND running = FindWindowA(nullptr, "Quendrix");
  SetForegroundWindow(running);
  if (running == nullptr) return;
  // The library is handed over even without a folder: opening it is the ask.
  char* text = app.libraryAsked ? app.pendingLibraryFolder : app.pendingDemoPath;
  if (!app.libraryAsked && text[0] == '\0') return;
  COPYDATASTRUCT handOver;
  handOver.dwData = app.libraryAsked ? kHandOverLibrary : kHandOverDemo;
  handOver.cbData = static_cast<DWORD>(strlen(text) + 1);
  handOver.lpData = text;
  SendMessageA(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&handOver));
}
