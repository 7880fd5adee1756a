// The program's three settings in the registry, and the game's configured
// resolution, which the program reads here and swaps while a demo plays.
#pragma once

#include <windows.h>

// Reads the settings into the state and their fields of the main window, the
// game's resolution into currentResWidth/currentResHeight, and derives
// gameDir. Each value that cannot be read is reported and skipped.
void LoadSettings(HWND window);

// Derives gameDir, registers the .DEM association and writes the three
// settings. Returns whether all three values were written.
bool SaveSettings();

// The game's settings key, the Half-Life one first and the CounterStrike one
// second, opened with the access asked for; none when neither opens. The
// caller closes it.
HKEY OpenGameSettingsKey(REGSAM access);
