// quendrix-snapshot: opens the program on a demo where no one can look at it
// (a virtual display), and reports what its window shows: the picture of the
// window in a bitmap file and the summary text on standard output.
#include <cstdio>
#include <string>

#include "app/resources/resource.h"
#include "tools/window_driver.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    fputs("usage: quendrix-snapshot PROGRAM.exe PICTURE.bmp [DEMO]\n", stderr);
    return 2;
  }
  std::string commandLine = std::string("\"") + argv[1] + "\"";
  if (argc > 3) commandLine += std::string(" ") + argv[3];
  PROCESS_INFORMATION program = {};
  if (!StartProgram(argv[1], commandLine, &program)) {
    fprintf(stderr, "could not start %s\n", argv[1]);
    return 1;
  }
  // Messages shown while the window opens (a registry without the game's
  // settings, say) hold it back until answered: they are told and answered.
  HWND window = nullptr;
  for (int waited = 0; window == nullptr && waited < 100; ++waited) {
    while (HWND box = WaitForMessageBox(program.dwProcessId, 200)) {
      printf("[message: %s]\n", AnswerMessageBox(box).text.c_str());
      Sleep(100);
    }
    window = WaitForMainWindow(program.dwProcessId, 0);
  }
  if (window == nullptr) {
    fputs("the window did not open\n", stderr);
    StopProgram(&program);
    return 1;
  }
  Sleep(500);  // the paint after the load
  bool saved = SavePicture(CaptureClientArea(window), argv[2]);
  printf("%s\n", ControlText(window, IDC_INFO).c_str());
  PostMessageA(window, WM_CLOSE, 0, 0);
  DWORD exitCode = WaitForExit(program, 10000);
  StopProgram(&program);
  return saved && exitCode == 0 ? 0 : 1;
}
