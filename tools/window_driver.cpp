#include "tools/window_driver.h"

#include <vector>

#include "tools/bitmap_writer.h"

namespace {

const DWORD kPollMilliseconds = 20;

struct WindowSearch {
  DWORD processId;
  bool messageBox;
  HWND found;
};

bool IsQuendrixDialog(HWND window) {
  char className[16] = "";
  GetClassNameA(window, className, sizeof className);
  return lstrcmpA(className, "#32770") == 0 && WindowText(window) == "Quendrix";
}

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(context);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId != search->processId || !IsWindowVisible(window) || !IsQuendrixDialog(window)) {
    return TRUE;
  }
  bool isMessageBox = GetDlgItem(window, 0xFFFF) != nullptr;
  if (isMessageBox != search->messageBox) return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindWindowOf(DWORD processId, bool messageBox) {
  WindowSearch search = {processId, messageBox, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForWindowOf(DWORD processId, bool messageBox, DWORD milliseconds) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND found = FindWindowOf(processId, messageBox);
    if (found != nullptr || GetTickCount() - start > milliseconds) return found;
    Sleep(kPollMilliseconds);
  }
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
  return WaitForWindowOf(processId, false, milliseconds);
}

HWND WaitForMessageBox(DWORD processId, DWORD milliseconds) {
  return WaitForWindowOf(processId, true, milliseconds);
}

HWND FindMessageBox(DWORD processId) { return FindWindowOf(processId, true); }

MessageBoxSeen AnswerMessageBox(HWND box) {
  MessageBoxSeen seen = {WindowText(box), ControlText(box, 0xFFFF),
                         GetWindow(box, GW_OWNER) != nullptr};
  // Posted: the box's own loop takes it, and nothing here waits on the box.
  PostMessageA(box, WM_COMMAND, IDOK, 0);
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
  Picture picture;
  RECT client;
  GetClientRect(window, &client);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  picture.width = client.right;
  picture.height = client.bottom;
  if (picture.width <= 0 || picture.height <= 0) return picture;

  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO format = {};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = picture.width;
  format.bmiHeader.biHeight = -picture.height;  // top row first
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP capture = CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, capture);
  BitBlt(memory, 0, 0, picture.width, picture.height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  const uint32_t* pixels = static_cast<const uint32_t*>(bits);
  picture.pixels.assign(pixels, pixels + static_cast<size_t>(picture.width) * picture.height);
  for (uint32_t& pixel : picture.pixels) pixel &= 0x00FFFFFF;
  SelectObject(memory, previous);
  DeleteObject(capture);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return picture;
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
