#pragma once

#include <windows.h>

// The demo path that the program was started with, into pendingDemoPath: the
// command-line text without quotes around it, in its long form. A path that
// cannot be expanded (it names nothing on disk) is kept as given, so that
// loading it tells the user; an empty command line leaves nothing pending.
// "/library [FOLDER]" instead asks for the library (libraryAsked) on that
// folder (pendingLibraryFolder) and leaves no demo pending.
void TakeDemoPathFromCommandLine(const char* commandLine);

// The executable's path into ownExePath and its folder into ownDir.
void TakeOwnPaths(HINSTANCE instance);

// What a hand-over's dwData says its text is.
constexpr ULONG_PTR kHandOverDemo = 0;
constexpr ULONG_PTR kHandOverLibrary = 1;  // the library's folder, or empty

// A second start: brings the running instance's window to the front and hands
// it the pending demo path, or the library's ask, waiting until it has been
// handled.
void HandOverToRunningInstance();
