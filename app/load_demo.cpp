#include "app/load_demo.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "app/resources/resource.h"
#include "common/app_state.h"
#include "common/message_box.h"
#include "demo/demo_file.h"
#include "demo/demo_summary.h"
#include "map/map_floors.h"
#include "map/map_picture.h"

namespace {

// The game's own folder, where mods without a map of their own find it.
const char kHalfLifeDir[] = "valve";

// A name that stays inside the folder it is put in: no separator, no drive,
// no way up.
bool IsPlainName(const char* name) {
  return strpbrk(name, "\\/:") == nullptr && strstr(name, "..") == nullptr;
}

// A path that does not fit would name another file: it counts as none.
template <size_t size, typename... Texts>
bool Compose(char (&path)[size], const char* format, Texts... texts) {
  int length = snprintf(path, size, format, texts...);
  return length >= 0 && length < static_cast<int>(size);
}

// The picture as a bitmap compatible with the display, as a bitmap file is
// loaded.
HBITMAP CreatePreviewBitmap(const std::vector<Rgb>& pixels, int width, int height) {
  const size_t rowBytes = (size_t(width) * 3 + 3) / 4 * 4;
  std::vector<uint8_t> rows(rowBytes * size_t(height), 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgb& pixel = pixels[size_t(y) * size_t(width) + size_t(x)];
      uint8_t* at = &rows[size_t(y) * rowBytes + size_t(x) * 3];
      at[0] = pixel.b;
      at[1] = pixel.g;
      at[2] = pixel.r;
    }
  }
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows top first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap =
      CreateDIBitmap(screen, &info.bmiHeader, CBM_INIT, rows.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

// The map's floors drawn at the preview's size, or none.
HBITMAP DrawMapFile(const char* path) {
  DemoBytes file;
  if (ReadDemoFile(path, &file) != DemoFileStatus::kRead) return nullptr;
  MapFloors floors;
  if (ReadMapFloors(file.bytes.get(), file.size, &floors) != MapStatus::kRead) return nullptr;
  file.bytes.reset();
  return CreatePreviewBitmap(DrawMapFloors(floors, kPreviewWidth, kPreviewHeight), kPreviewWidth,
                             kPreviewHeight);
}

}  // namespace

void LoadDemo(HWND window, const char* path) {
  // Cleared before the file is opened, so a failed load leaves it cleared too.
  app.isHltvDemo = false;
  DemoBytes file;
  DemoFileStatus status = ReadDemoFile(path, &file);
  // "Details" reads the demo that "Play!" would play, which is now this file.
  EnableWindow(GetDlgItem(window, IDC_DETAILS), status == DemoFileStatus::kRead);
  if (status != DemoFileStatus::kRead) {
    ShowMessage(DemoFileMessage(status), MB_ICONERROR);
    return;
  }
  DemoInspection demo = InspectDemo(file.bytes.get(), file.size);
  file.bytes.reset();

  lstrcpynA(app.demoResWidth, demo.scan.width, sizeof app.demoResWidth);
  lstrcpynA(app.demoResHeight, demo.scan.height, sizeof app.demoResHeight);
  app.isHltvDemo = demo.scan.isHltv;

  char summary[kSummarySize];
  ComposeSummary(demo, app.currentResWidth, app.currentResHeight, summary, sizeof summary);
  SendDlgItemMessageA(window, IDC_INFO, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(summary));
  LoadMapPreview(demo.header.mapName, demo.header.gameDirectory);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
  // A game directory longer than 259 characters is cut to fit.
  lstrcpynA(app.modDir, demo.header.gameDirectory, sizeof app.modDir);
}

void LoadMapPreview(const char* mapName, const char* modDir) {
  app.mapBitmap = nullptr;
  if (!IsPlainName(mapName)) return;
  char path[kPathSize];
  if (Compose(path, "%s\\maps\\%s.bmp", app.ownDir, mapName)) app.mapBitmap = LoadBitmapFile(path);
  if (app.mapBitmap != nullptr || app.gameDir[0] == '\0' || !IsPlainName(modDir)) return;
  if (modDir[0] != '\0' && Compose(path, "%s\\%s\\maps\\%s.bsp", app.gameDir, modDir, mapName)) {
    app.mapBitmap = DrawMapFile(path);
  }
  if (app.mapBitmap == nullptr && lstrcmpiA(modDir, kHalfLifeDir) != 0 &&
      Compose(path, "%s\\%s\\maps\\%s.bsp", app.gameDir, kHalfLifeDir, mapName)) {
    app.mapBitmap = DrawMapFile(path);
  }
}

HBITMAP LoadBitmapFile(const char* path) {
  return static_cast<HBITMAP>(LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
}
