#pragma once

#include <windows.h>

// The long form of a path given with short 8.3 components: the system's
// GetLongPathNameA where kernel32 has it, looked up at run time, and its result
// unchanged; otherwise the program's own walk and its result. Either gives the
// length of the long form, or 0 when the path could not be resolved. 0 for a
// missing text.
DWORD ExpandLongPath(const char* source, char* destination, DWORD size);

// The name under which kernel32 is asked for the service. Tests name one that
// it lacks, to start as a system without the service does.
extern const char* longPathServiceName;

// The program's own walk, with FindFirstFileA as its directory search.
DWORD WalkLongPathOnDisk(const char* source, char* destination, DWORD size);
