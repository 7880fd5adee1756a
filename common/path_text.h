// Small rules on path texts, shared by the start-up and the settings.
// Portable: no platform headers.
#pragma once

// Ends the text at its last backslash, which is dropped with all after it; a
// text without one stays whole ("C:\Games\hl.exe" gives "C:\Games", "C:\" gives "C:").
void CutAtLastBackslash(char* path);
