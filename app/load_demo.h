#pragma once

#include <windows.h>

// Inspects the demo file at path and shows it in the main window: the summary
// in IDC_INFO, the map preview, the mod directory kept for playback. Failures
// are shown in a message box. The caller has released the previous preview.
void LoadDemo(HWND window, const char* path);

// Stores the preview of the named map in app.mapBitmap, or none: the bitmap
// maps\<map>.bmp beside the executable where there is one, else a picture
// drawn from the game's own map, <gameDir>\<modDir>\maps\<map>.bsp or else
// <gameDir>\valve\maps\<map>.bsp. Both names come from a demo file: one that
// could name a file elsewhere gives no preview.
void LoadMapPreview(const char* mapName, const char* modDir);

// A bitmap file as a device-dependent bitmap, or none.
HBITMAP LoadBitmapFile(const char* path);
