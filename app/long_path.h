#pragma once

#include <windows.h>

// The long form of a path given with short 8.3 components: the system's
// GetLongPathNameA where kernel32 has it, looked up at run time, and its result
// unchanged; otherwise the program's own walk (0). 0 for a missing text.
DWORD ExpandLongPath(const char* source, char* destination, DWORD size);

// The program's own walk, with FindFirstFileA as its directory search.
DWORD WalkLongPathOnDisk(const char* source, char* destination, DWORD size);
