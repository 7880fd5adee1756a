// The one process-wide state of the program: every field starts zeroed.
#pragma once

#include <windows.h>

constexpr int kPathSize = MAX_PATH;  // 259 characters and the NUL
constexpr int kResTextSize = 8;

struct AppState {
  HINSTANCE instanceHandle;
  char ownExePath[kPathSize];
  char ownDir[kPathSize];           // no trailing backslash
  char pendingDemoPath[kPathSize];  // from the command line or a hand-over
  bool libraryAsked;                   // "/library" on the command line
  char pendingLibraryFolder[kPathSize];  // its folder, or empty
  char demoPath[kPathSize];         // from the demo-path field or the demo chooser
  char gameExePath[kPathSize];
  char gameDir[kPathSize];
  char extraArgs[kPathSize];
  char demoSpeed[kPathSize];
  char currentResWidth[kResTextSize];  // the game's resolution, read once at start
  char currentResHeight[kResTextSize];
  char demoResWidth[kResTextSize];  // "*" when the scan found none
  char demoResHeight[kResTextSize];
  bool isHltvDemo;
  char modDir[kPathSize];  // game directory of the last demo loaded
  char tempDemoPath[kPathSize];
  HWND libraryWindow;  // none while the library is closed
  HBITMAP backgroundBitmap;
  HBITMAP mapBitmap;  // none, or the preview of the loaded demo's map
  HICON smallIcon;
  HBRUSH dialogBrush;
  HBRUSH editBrush;
  HBRUSH buttonBrush;
};

extern AppState app;

// Drops the current map preview, as each new load and the end of a game do.
void ReleaseMapPreview();
