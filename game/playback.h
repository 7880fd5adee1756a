// Playing the loaded demo in the game: a copy in the mod's folder, the game's
// resolution switched to the demo's while it runs, and everything put back.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

// Copies the demo named by demoPathText to quendrix.dem in the mod's folder,
// starts the game on it and waits until the game exits; then removes the copy,
// puts the game's resolution back, empties demoPathText and clears the
// window. Returns false when the game could not be started. part, when
// given, is what the game gets instead of the demo: a part of it.
bool PlayDemo(HWND window, char* demoPathText, const std::vector<uint8_t>* part = nullptr);

// The demo's resolution into the game's settings, and the one read at start
// back again, when the swap applies: a detected, non-HLTV resolution and a
// known start-time one. The start-time one is recorded in the program's own
// settings from the first to the second.
void ApplyDemoResolution();
void RestoreCurrentResolution();
