// The program's three settings in the registry, and the game's configured
// resolution, which the program reads here and swaps while a demo plays.
#pragma once

#include <windows.h>

// Reads the settings into the state and their fields of the main window, the
// game's resolution into currentResWidth/currentResHeight, and derives
// gameDir. Each value that cannot be read is reported and skipped. A
// resolution recorded by a program that was ended while a game ran is written
// back into the game's values first and taken as the game's resolution.
void LoadSettings(HWND window);

// Derives gameDir, registers the .DEM association and writes the three
// settings. Returns whether all three values were written.
bool SaveSettings();

// The game's settings key, the Half-Life one first and the CounterStrike one
// second, opened with the access asked for; none when neither opens. The
// caller closes it.
HKEY OpenGameSettingsKey(REGSAM access);

// EngineModeH, then EngineModeW, as REG_DWORD values of the game's key; each
// failure is reported.
void WriteGameResolution(const char* heightText, const char* widthText);

// The start-time resolution kept in the program's own settings while a game
// runs at a demo's, and removed once it has been written back. Silent: without
// a record the game is still played.
void RecordStartTimeResolution();
void RemoveResolutionRecord();

// A value of the program's own settings key beside the three, such as the
// library's: read only when it has that type and, but for texts, that exact
// size; a text must fit size with its terminator. Silent: a missing value is
// the normal state.
bool ReadSetting(const char* name, DWORD type, void* data, DWORD size);
bool WriteSetting(const char* name, DWORD type, const void* data, DWORD size);
