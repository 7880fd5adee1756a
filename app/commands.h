#pragma once

#include <windows.h>

// What the buttons and the keys of the main window do. Returns TRUE for every
// command, handled or not.
INT_PTR HandleCommand(HWND window, WPARAM wParam);

// Loads the demo named in the demo-path field, which "Play!" then plays, also
// after a hand-over.
void LoadDemoFromField(HWND window);

// The open-file choosers; non-zero when the user chose an existing file,
// whose full path is then in the buffer.
BOOL BrowseForDemo(char* buffer, DWORD size, HWND owner);
BOOL BrowseForGameExe(char* buffer, DWORD size, HWND owner);
