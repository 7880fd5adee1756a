// The program's entry point: one instance runs the main window; a later one
// hands its demo over to it and ends.
#include <windows.h>

#include "app/main_dialog.h"
#include "app/resources/resource.h"
#include "app/start_up.h"
#include "common/app_state.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  app.instanceHandle = instance;
  TakeDemoPathFromCommandLine(GetCommandLineA());
  TakeOwnPaths(instance);

  // The mutex's name tells that an instance runs; its owner does not matter.
  if (OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "QuendrixII") != nullptr) {
    HandOverToRunningInstance();
    return 0;
  }
  HANDLE running = CreateMutexA(nullptr, TRUE, "QuendrixII");
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
  ReleaseMutex(running);
  return 0;
}
