#include "demo/load_demo.h"

#include <cstdio>

#include "app/resources/resource.h"
#include "common/app_state.h"
#include "common/message_box.h"
#include "demo/demo_file.h"
#include "demo/demo_summary.h"

void LoadDemo(HWND window, const char* path) {
  // Cleared before the file is opened, so a failed load leaves it cleared too.
  app.isHltvDemo = false;
  DemoBytes file;
  DemoFileStatus status = ReadDemoFile(path, &file);
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
  LoadMapPreview(demo.header.mapName);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
  // A game directory longer than 259 characters is cut to fit.
  lstrcpynA(app.modDir, demo.header.gameDirectory, sizeof app.modDir);
}

void LoadMapPreview(const char* mapName) {
  char previewPath[kPathSize];
  int length = snprintf(previewPath, sizeof previewPath, "%s\\maps\\%s.bmp", app.ownDir, mapName);
  // A path that does not fit would name another file: no preview then.
  bool fits = length >= 0 && length < static_cast<int>(sizeof previewPath);
  app.mapBitmap = fits ? LoadBitmapFile(previewPath) : nullptr;
}

void ReleaseMapPreview() {
  if (app.mapBitmap != nullptr) DeleteObject(app.mapBitmap);
  app.mapBitmap = nullptr;
}

HBITMAP LoadBitmapFile(const char* path) {
  return static_cast<HBITMAP>(LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
}
