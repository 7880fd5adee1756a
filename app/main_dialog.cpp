#include "app/main_dialog.h"

#include <shellapi.h>

#include "app/commands.h"
#include "app/library_window.h"
#include "app/load_demo.h"
#include "app/resources/resource.h"
#include "app/start_up.h"
#include "common/app_state.h"
#include "game/settings.h"

namespace {

// Asked for on the command line, the library opens once the main window
// shows, so that it comes in front of it.
constexpr UINT kOpenAskedLibrary = WM_APP + 1;

const int kPreviewLeft = 37;
const int kPreviewTop = 125;

// The control brushes exist before WinMain runs, in every instance.
bool CreateControlBrushes() {
  app.dialogBrush = CreateSolidBrush(RGB(68, 68, 68));
  app.editBrush = CreateSolidBrush(kFieldGround);
  app.buttonBrush = CreateSolidBrush(RGB(65, 65, 65));
  return true;
}
[[maybe_unused]] const bool controlBrushesCreated = CreateControlBrushes();

// Where the skin has each control's box, in client pixels: the template's
// dialog units at base units of 6 x 13 (the template's font at 96 dots per inch).
struct SkinPlace {
  int control;
  RECT pixels;
};
const SkinPlace kSkinPlaces[] = {
    {IDC_BROWSEDEMO, {383, 73, 465, 96}},      {IDC_INFO, {305, 122, 431, 242}},
    {IDC_DETAILS, {305, 260, 364, 282}},       {IDC_LIBRARY, {372, 260, 431, 282}},
    {IDC_PLAY, {329, 294, 411, 316}},          {IDC_GAMEEXE, {23, 359, 266, 372}},
    {IDC_SAVE, {383, 390, 465, 413}},          {IDC_EXTRAARGS, {23, 397, 368, 410}},
    {IDC_BROWSEGAMEEXE, {383, 354, 465, 377}}, {IDC_DEMOPATH, {26, 78, 366, 91}},
    {IDC_DEMOSPEED, {296, 359, 368, 372}},
};
const SIZE kSkinClientSize = {470, 427};

// The skin is drawn in pixels while the template counts in dialog units, which
// grow with the font and the screen's dots per inch. Putting the controls on
// their boxes and the client area at the skin's size keeps the window whole
// wherever the two differ; at 6 x 13 nothing moves.
void FitLayoutToSkin(HWND window) {
  for (const SkinPlace& place : kSkinPlaces) {
    const RECT& r = place.pixels;
    MoveWindow(GetDlgItem(window, place.control), r.left, r.top, r.right - r.left, r.bottom - r.top,
               FALSE);
  }
  RECT frame = {0, 0, kSkinClientSize.cx, kSkinClientSize.cy};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
  SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void DrawBitmap(HDC dc, HBITMAP bitmap, int left, int top) {
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BITMAP size;
  GetObjectA(bitmap, sizeof size, &size);
  BitBlt(dc, left, top, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
  SelectObject(memory, previous);
  DeleteDC(memory);
}

void OpenWindow(HWND window) {
  app.backgroundBitmap = static_cast<HBITMAP>(LoadImageA(
      app.instanceHandle, MAKEINTRESOURCEA(IDB_BACKGROUND), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  FitLayoutToSkin(window);
  // Enter in the demo-path field loads that demo: with the template's two
  // default push buttons the dialog manager would take the last, "Play!".
  SendMessageA(window, DM_SETDEFID, IDOK, 0);
  InvalidateRect(window, nullptr, FALSE);
  UpdateWindow(window);
  CenterWindow(window);
  app.smallIcon = static_cast<HICON>(LoadImageA(app.instanceHandle, MAKEINTRESOURCEA(IDI_MAIN),
                                                IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  if (app.smallIcon != nullptr) {
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(app.smallIcon));
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(app.smallIcon));
  }
  LoadSettings(window);
  LoadPendingDemo(window);
  DragAcceptFiles(window, TRUE);
  if (app.libraryAsked) PostMessageA(window, kOpenAskedLibrary, 0, 0);
}

// The text is read no further than cbData bytes and cut to 259 characters;
// a hand-over without data counts as an empty text.
void TakeHandOverText(const COPYDATASTRUCT* handOver, char (&into)[kPathSize]) {
  size_t length = 0;
  if (handOver != nullptr && handOver->lpData != nullptr) {
    const char* text = static_cast<const char*>(handOver->lpData);
    size_t limit = handOver->cbData < sizeof into - 1 ? handOver->cbData : sizeof into - 1;
    while (length < limit && text[length] != '\0') {
      into[length] = text[length];
      ++length;
    }
  }
  into[length] = '\0';
}

void ReceiveHandOver(HWND window, const COPYDATASTRUCT* handOver) {
  ShowWindow(window, SW_SHOWNORMAL);
  if (handOver != nullptr && handOver->dwData == kHandOverLibrary) {
    TakeHandOverText(handOver, app.pendingLibraryFolder);
    OpenLibrary(window, app.pendingLibraryFolder);
    return;
  }
  TakeHandOverText(handOver, app.pendingDemoPath);
  LoadPendingDemo(window);
}

// A file dropped from Explorer is taken as a hand-over is; of several files,
// the first. The path is cut to 259 characters as a hand-over's is.
void ReceiveDrop(HWND window, HDROP drop) {
  char path[kPathSize] = "";
  bool dropped = DragQueryFileA(drop, 0, path, sizeof path) > 0;
  DragFinish(drop);
  if (!dropped) return;
  lstrcpynA(app.pendingDemoPath, path, sizeof app.pendingDemoPath);
  LoadPendingDemo(window);
}

void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  PaintWindow(dc);
  EndPaint(window, &paint);
}

template <typename GdiObject>
void DeleteAndClear(GdiObject& object) {
  if (object != nullptr) DeleteObject(object);
  object = nullptr;
}

void ReleaseGraphics() {
  ReleaseMapPreview();
  DeleteAndClear(app.backgroundBitmap);
  DeleteAndClear(app.dialogBrush);
  DeleteAndClear(app.editBrush);
  DeleteAndClear(app.buttonBrush);
  if (app.smallIcon != nullptr) DestroyIcon(app.smallIcon);
  app.smallIcon = nullptr;
}

INT_PTR ColourControl(WPARAM dc, HBRUSH brush) {
  SetTextColor(reinterpret_cast<HDC>(dc), kControlText);
  SetBkMode(reinterpret_cast<HDC>(dc), TRANSPARENT);
  return reinterpret_cast<INT_PTR>(brush);
}

}  // namespace

void LoadPendingDemo(HWND window) {
  if (lstrlenA(app.pendingDemoPath) <= 2) return;
  SetDlgItemTextA(window, IDC_DEMOPATH, app.pendingDemoPath);
  ReleaseMapPreview();
  LoadDemo(window, app.pendingDemoPath);
}

void PaintWindow(HDC dc) {
  if (app.backgroundBitmap != nullptr) DrawBitmap(dc, app.backgroundBitmap, 0, 0);
  if (app.mapBitmap != nullptr) DrawBitmap(dc, app.mapBitmap, kPreviewLeft, kPreviewTop);
}

void CenterWindow(HWND window) {
  RECT frame;
  GetWindowRect(window, &frame);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  int left = (GetSystemMetrics(SM_CXFULLSCREEN) - width) / 2;
  int top = (GetSystemMetrics(SM_CYFULLSCREEN) - height) / 2;
  MoveWindow(window, left, top, width, height, FALSE);
}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: OpenWindow(window); return TRUE;
    case WM_COMMAND: return HandleCommand(window, wParam);
    case WM_PAINT: Paint(window); return TRUE;
    case WM_COPYDATA:
      ReceiveHandOver(window, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      return TRUE;
    case WM_DROPFILES: ReceiveDrop(window, reinterpret_cast<HDROP>(wParam)); return TRUE;
    case WM_CLOSE: EndDialog(window, 0); return TRUE;
    case kOpenAskedLibrary:
      // The dialog manager would show its window only once the queue is
      // empty, after the library, and in front of it.
      ShowWindow(window, SW_SHOWNORMAL);
      OpenLibrary(window, app.pendingLibraryFolder);
      return TRUE;
    case WM_DESTROY:
      CloseLibrary();
      ReleaseGraphics();
      return FALSE;
    case WM_CTLCOLOREDIT: return ColourControl(wParam, app.editBrush);
    case WM_CTLCOLORBTN: return ColourControl(wParam, app.buttonBrush);
    case WM_CTLCOLORSTATIC: return ColourControl(wParam, app.dialogBrush);
    case WM_CTLCOLORDLG: return reinterpret_cast<INT_PTR>(app.dialogBrush);
  }
  return FALSE;
}
