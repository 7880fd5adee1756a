#pragma once

#include <windows.h>

// Every message of the program: no owner window, caption "Quendrix", an OK
// button and the given icon (MB_ICONERROR, MB_ICONWARNING, MB_ICONINFORMATION).
void ShowMessage(const char* text, UINT icon);
