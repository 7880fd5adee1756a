#pragma once

#include <windows.h>

// Inspects the demo file at path and shows it in the main window: the summary
// in IDC_INFO, the map preview, the mod directory kept for playback. Failures
// are shown in a message box. The caller has released the previous preview.
void LoadDemo(HWND window, const char* path);

// Stores the preview of the named map from the maps folder beside the
// executable in app.mapBitmap, or none.
void LoadMapPreview(const char* mapName);

// Drops the current map preview, as each new load does first.
void ReleaseMapPreview();

// A bitmap file as a device-dependent bitmap, or none.
HBITMAP LoadBitmapFile(const char* path);
