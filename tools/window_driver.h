// Driving the real program from another process, as a user would: starting
// it, finding its window and its message boxes, reading their texts, taking a
// picture of the window. Used by the end-to-end tests and by the snapshot tool.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Starts the program with the given command line (the program's own name
// first, as the shell writes it), in the given folder (or ours).
bool StartProgram(const std::string& exePath, const std::string& commandLine,
                  PROCESS_INFORMATION* process, const char* folder = nullptr);

// The process's exit code once it has ended within the time, else STILL_ACTIVE.
DWORD WaitForExit(const PROCESS_INFORMATION& process, DWORD milliseconds);

// Ends the process if it still runs, and closes its handles.
void StopProgram(PROCESS_INFORMATION* process);

// The process's main window, once visible: a dialog titled "Quendrix" that is
// not a message box. nullptr when none appeared within the time.
HWND WaitForMainWindow(DWORD processId, DWORD milliseconds);

// A message box of the process: a dialog holding the static text 0xFFFF.
HWND WaitForMessageBox(DWORD processId, DWORD milliseconds);
// Whether the process shows a message box now.
HWND FindMessageBox(DWORD processId);

struct MessageBoxSeen {
  std::string caption;
  std::string text;
  std::string icon;  // "error", "warning", "information", "question", "none"
  bool hasOwner;
};
// Reads the box and closes it with OK.
MessageBoxSeen AnswerMessageBox(HWND box);

// A dialog of the process with the given caption, such as a file chooser.
HWND WaitForDialog(DWORD processId, const char* caption, DWORD milliseconds);

// Which of the system's message box icons a box shows.
std::string MessageBoxIcon(HWND box);

// A window's or a control's text, through WM_GETTEXT, which crosses processes.
std::string WindowText(HWND window);
std::string ControlText(HWND dialog, int control);

// The client area as it is on the screen, 0x00RRGGBB, rows top first.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Picture CaptureClientArea(HWND window);
bool SavePicture(const Picture& picture, const std::string& bmpPath);
