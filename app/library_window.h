// The demo library: a window of its own that lists every demo in a folder and
// its subfolders, searched and sorted as the player likes, read on a thread
// of its own and kept in a per-user index between openings.
#pragma once

#include <windows.h>

// Opens the library beside the main window, or brings it to the front. A
// folder that is not empty is listed; otherwise an open library stays on its
// folder and a new one takes the setting LibraryFolder, else the game's
// folder.
void OpenLibrary(HWND mainWindow, const char* folder);

// Stops the reading and closes the library, when it is open.
void CloseLibrary();
