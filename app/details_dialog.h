// The "Demo details" dialog: what the demo holds beyond its summary, in a
// read-only text that scrolls.
#pragma once

#include <windows.h>

#include <string>

// Reads the demo at path and shows its details in a modal dialog owned by the
// window. A file that cannot be read gets the load's message instead. From
// the dialog the player plays, or saves, the demo's part from a moment on:
// "Play from here" plays it as "Play!" plays the demo (path is then emptied
// with the window).
void ShowDemoDetails(HWND owner, char* path);

// The details as the edit takes them: UTF-16, each "\n" a "\r\n".
std::wstring DetailsForEdit(const std::string& utf8);
