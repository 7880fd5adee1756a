#include "tools/window_driver.h"

#include <vector>

#include "common/bitmap_writer.h"

namespace {

const DWORD kPollMilliseconds = 20;

enum class DialogKind { kMainWindow, kMessageBox, kAny };

struct WindowSearch {
  DWORD processId;
  const char* caption;
  DialogKind kind;
  HWND found;
};

bool IsDialogTitled(HWND window, const char* caption) {
  char className[16] = "";
  GetClassNameA(window, className, sizeof className);
  return lstrcmpA(className, "#32770") == 0 && WindowText(window) == caption;
}

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(context);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId != search->processId || !IsWindowVisible(window) ||
      !IsDialogTitled(window, search->caption)) {
    return TRUE;
  }
  bool isMessageBox = GetDlgItem(window, 0xFFFF) != nullptr;
  if ((search->kind == DialogKind::kMessageBox && !isMessageBox) ||
      (search->kind == DialogKind::kMainWindow && isMessageBox)) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

HWND FindWindowOf(DWORD processId, const char* caption, DialogKind kind) {
  WindowSearch search = {processId, caption, kind, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForWindowOf(DWORD processId, const char* caption, DialogKind kind, DWORD milliseconds) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND found = FindWindowOf(processId, caption, kind);
    if (found != nullptr || GetTickCount() - start > milliseconds) return found;
    Sleep(kPollMilliseconds);
  }
}

// A picture of 32-bit pixels, top row first, that draw() paints.
template <typename Draw>
Picture DrawPicture(int width, int height, Draw draw) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  if (width <= 0 || height <= 0) return picture;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO format = {};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP canvas = CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, canvas);
  draw(memory);
  GdiFlush();
  const uint32_t* pixels = static_cast<const uint32_t*>(bits);
  picture.pixels.assign(pixels, pixels + static_cast<size_t>(width) * height);
  for (uint32_t& pixel : picture.pixels) pixel &= 0x00FFFFFF;
  SelectObject(memory, previous);
  DeleteObject(canvas);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return picture;
}

Picture CaptureScreen(int left, int top, int width, int height) {
  return DrawPicture(width, height, [&](HDC dc) {
    HDC screen = GetDC(nullptr);
    BitBlt(dc, 0, 0, width, height, screen, left, top, SRCCOPY);
    ReleaseDC(nullptr, screen);
  });
}

}  // namespace

bool StartProgram(const std::string& exePath, const std::string& commandLine,
                  PROCESS_INFORMATION* process, const char* folder) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  return CreateProcessA(exePath.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder,
                        &startup, process) != FALSE;
}

DWORD WaitForExit(const PROCESS_INFORMATION& process, DWORD milliseconds) {
  DWORD exitCode = STILL_ACTIVE;
  if (WaitForSingleObject(process.hProcess, milliseconds) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &exitCode);
  }
  return exitCode;
}

void StopProgram(PROCESS_INFORMATION* process) {
  if (process->hProcess == nullptr) return;
  if (WaitForSingleObject(process->hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process->hProcess, 1);
    WaitForSingleObject(process->hProcess, 5000);
  }
  CloseHandle(process->hProcess);
  CloseHandle(process->hThread);
  *process = PROCESS_INFORMATION();
}

HWND WaitForMainWindow(DWORD processId, DWORD milliseconds) {
  return WaitForWindowOf(processId, "Quendrix", DialogKind::kMainWindow, milliseconds);
}

HWND WaitForMessageBox(DWORD processId, DWORD milliseconds) {
  return WaitForWindowOf(processId, "Quendrix", DialogKind::kMessageBox, milliseconds);
}

HWND WaitForDialog(DWORD processId, const char* caption, DWORD milliseconds) {
  return WaitForWindowOf(processId, caption, DialogKind::kAny, milliseconds);
}

HWND FindMessageBox(DWORD processId) {
  return FindWindowOf(processId, "Quendrix", DialogKind::kMessageBox);
}

// In this process the box's icon is one of the system's shared handles.
// Another process's handle means nothing here, so its icon is told by its
// picture: each system icon is drawn on the control's own ground, and the
// one that differs from the screen in few pixels is the answer.
std::string MessageBoxIcon(HWND box) {
  HWND control = GetDlgItem(box, 0x440);
  HICON handle = reinterpret_cast<HICON>(SendMessageA(control, STM_GETICON, 0, 0));
  if (handle == nullptr) return "none";
  const int size = GetSystemMetrics(SM_CXICON);
  RECT place;
  GetWindowRect(control, &place);
  const struct {
    const char* name;
    LPCSTR id;
  } icons[] = {{"error", IDI_ERROR},
               {"warning", IDI_WARNING},
               {"information", IDI_INFORMATION},
               {"question", IDI_QUESTION}};
  for (const auto& icon : icons) {
    if (handle == LoadIconA(nullptr, icon.id)) return icon.name;
  }
  if (!IsWindowVisible(control)) return "unknown";
  // What is on screen may lag behind the box's painting for a moment.
  for (DWORD start = GetTickCount(); GetTickCount() - start < 2000; Sleep(kPollMilliseconds)) {
    Picture seen = CaptureScreen(place.left, place.top, size, size);
    if (seen.pixels.empty()) break;
    const uint32_t ground = seen.pixels[0];  // no system icon covers its corner
    for (const auto& icon : icons) {
      Picture drawn = DrawPicture(size, size, [&](HDC dc) {
        HBRUSH brush = CreateSolidBrush(RGB(ground >> 16, (ground >> 8) & 0xFF, ground & 0xFF));
        RECT all = {0, 0, size, size};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
        DrawIconEx(dc, 0, 0, LoadIconA(nullptr, icon.id), size, size, 0, nullptr, DI_NORMAL);
      });
      size_t differing = 0;
      for (size_t i = 0; i < seen.pixels.size(); ++i)
        differing += seen.pixels[i] != drawn.pixels[i];
      if (differing < seen.pixels.size() / 10) return icon.name;
    }
  }
  return "unknown";
}

MessageBoxSeen AnswerMessageBox(HWND box) {
  MessageBoxSeen seen = {WindowText(box), ControlText(box, 0xFFFF), MessageBoxIcon(box),
                         GetWindow(box, GW_OWNER) != nullptr};
  // Posted: the box's own loop takes it. Gone before the answer returns, so
  // that a search for the next box does not find this one closing.
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  for (DWORD start = GetTickCount(); IsWindow(box) && GetTickCount() - start < 5000;) {
    Sleep(kPollMilliseconds);
  }
  return seen;
}

std::string WindowText(HWND window) {
  char text[4096] = "";
  DWORD_PTR copied = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 5000, &copied);
  text[sizeof text - 1] = '\0';
  return text;
}

std::string ControlText(HWND dialog, int control) {
  HWND item = GetDlgItem(dialog, control);
  return item != nullptr ? WindowText(item) : std::string();
}

Picture CaptureClientArea(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  return CaptureScreen(origin.x, origin.y, client.right, client.bottom);
}

bool SavePicture(const Picture& picture, const std::string& bmpPath) {
  std::vector<Rgb> rgb;
  rgb.reserve(picture.pixels.size());
  for (uint32_t pixel : picture.pixels) {
    rgb.push_back({static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8),
                   static_cast<uint8_t>(pixel)});
  }
  std::vector<uint8_t> bytes = EncodeBitmap24(picture.width, picture.height, rgb);
  HANDLE file = CreateFileA(bmpPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}
