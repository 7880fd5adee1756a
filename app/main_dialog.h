#pragma once

#include <windows.h>

// The controls' colours on the skin: their text, and the ground of the boxes
// that the edits fill (app.editBrush).
constexpr COLORREF kControlText = RGB(188, 188, 188);
constexpr COLORREF kFieldGround = RGB(78, 78, 78);

// The dialog procedure of the one main window.
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Shows and loads pendingDemoPath when it holds more than two characters.
void LoadPendingDemo(HWND window);

// The skin, and the map preview over it at 37, 125.
void PaintWindow(HDC dc);

// In the middle of the primary display's full-screen area.
void CenterWindow(HWND window);
