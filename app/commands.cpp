#include "app/commands.h"

#include <commdlg.h>

#include "app/details_dialog.h"
#include "app/library_window.h"
#include "app/load_demo.h"
#include "app/resources/resource.h"
#include "common/app_state.h"
#include "common/message_box.h"
#include "game/playback.h"
#include "game/settings.h"

namespace {

BOOL BrowseForFile(char* buffer, DWORD size, HWND owner, const char* filter, const char* title) {
  OPENFILENAMEA chooser = {};
  // The form without the later members, which every version of the chooser takes.
  chooser.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  chooser.hwndOwner = owner;
  chooser.lpstrFilter = filter;
  chooser.lpstrFile = buffer;
  chooser.nMaxFile = size;
  chooser.lpstrTitle = title;
  chooser.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  return GetOpenFileNameA(&chooser);
}

void ChooseDemo(HWND window) {
  if (BrowseForDemo(app.demoPath, sizeof app.demoPath, window)) {
    SetDlgItemTextA(window, IDC_DEMOPATH, app.demoPath);
  }
  LoadDemoFromField(window);
}

void ChooseGameExe(HWND window) {
  if (BrowseForGameExe(app.gameExePath, sizeof app.gameExePath, window)) {
    SetDlgItemTextA(window, IDC_GAMEEXE, app.gameExePath);
  }
}

// The demo the window shows, which "Play!" plays and "Details" reads: one
// handed over since the field's last load, else the field's.
char* ShownDemoPath() {
  return app.pendingDemoPath[0] != '\0' ? app.pendingDemoPath : app.demoPath;
}

// A game that ran leaves the window cleared, with no demo to show details of.
void Play(HWND window) {
  if (PlayDemo(window, ShownDemoPath())) EnableWindow(GetDlgItem(window, IDC_DETAILS), FALSE);
}

// Confirms only when the settings were written; their failures have been
// shown already.
void SaveFromFields(HWND window) {
  GetDlgItemTextA(window, IDC_GAMEEXE, app.gameExePath, sizeof app.gameExePath);
  GetDlgItemTextA(window, IDC_EXTRAARGS, app.extraArgs, sizeof app.extraArgs);
  GetDlgItemTextA(window, IDC_DEMOSPEED, app.demoSpeed, sizeof app.demoSpeed);
  if (SaveSettings()) ShowMessage("Settings succesfully saved.", MB_ICONINFORMATION);
}

}  // namespace

BOOL BrowseForDemo(char* buffer, DWORD size, HWND owner) {
  return BrowseForFile(buffer, size, owner, "Demo Files (*.dem)\0*.dem\0All Files (*.*)\0*.*\0",
                       "Browse Demos");
}

BOOL BrowseForGameExe(char* buffer, DWORD size, HWND owner) {
  return BrowseForFile(buffer, size, owner,
                       "Executable Files (*.exe)\0*.exe\0All Files (*.*)\0*.*\0",
                       "Browse Half-Life Executable");
}

// The field's demo is the one shown from now on, so it is also the one that
// "Play!" plays: a demo handed over earlier is no longer pending.
void LoadDemoFromField(HWND window) {
  GetDlgItemTextA(window, IDC_DEMOPATH, app.demoPath, sizeof app.demoPath);
  app.pendingDemoPath[0] = '\0';
  ReleaseMapPreview();
  LoadDemo(window, app.demoPath);
}

INT_PTR HandleCommand(HWND window, WPARAM wParam) {
  switch (LOWORD(wParam)) {
    case IDOK: LoadDemoFromField(window); break;
    case IDCANCEL: EndDialog(window, IDCANCEL); break;
    case IDC_BROWSEDEMO: ChooseDemo(window); break;
    case IDC_PLAY: Play(window); break;
    case IDC_DETAILS: ShowDemoDetails(window, ShownDemoPath()); break;
    case IDC_LIBRARY: OpenLibrary(window, ""); break;
    case IDC_SAVE: SaveFromFields(window); break;
    case IDC_BROWSEGAMEEXE: ChooseGameExe(window); break;
  }
  return TRUE;
}
