#include "app/start_up.h"

#include <cstring>

#include "app/command_line.h"
#include "app/long_path.h"
#include "common/app_state.h"
#include "common/path_text.h"

namespace {

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

}  // namespace

void TakeDemoPathFromCommandLine(const char* commandLine) {
  char path[kPathSize];
  UnquotePath(CommandLineText(commandLine, IsLeadByte), path, sizeof path);
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
  if (running == nullptr || app.pendingDemoPath[0] == '\0') return;
  COPYDATASTRUCT handOver;
  handOver.dwData = 0;
  handOver.cbData = static_cast<DWORD>(strlen(app.pendingDemoPath) + 1);
  handOver.lpData = app.pendingDemoPath;
  SendMessageA(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&handOver));
}
