#include "tests/win32/win32_test_support.h"

#include <cstdio>

#include "app/resources/resource.h"

namespace {

std::vector<CaughtMessageBox>* caughtBoxes = nullptr;

// Message boxes get their icon from the system's shared ones.
std::string IconName(HWND box) {
  HICON icon = reinterpret_cast<HICON>(SendDlgItemMessageA(box, 0x440, STM_GETICON, 0, 0));
  if (icon == nullptr) return "none";
  if (icon == LoadIconA(nullptr, IDI_ERROR)) return "error";
  if (icon == LoadIconA(nullptr, IDI_WARNING)) return "warning";
  if (icon == LoadIconA(nullptr, IDI_INFORMATION)) return "information";
  if (icon == LoadIconA(nullptr, IDI_QUESTION)) return "question";
  return "unknown";
}

std::string WindowText(HWND window) {
  char text[2048] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

LRESULT CALLBACK CatchMessageBoxes(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && caughtBoxes != nullptr) {
    HWND window = reinterpret_cast<HWND>(wParam);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    HWND textControl = GetDlgItem(window, 0xFFFF);
    if (lstrcmpA(className, "#32770") == 0 && textControl != nullptr) {
      caughtBoxes->push_back({WindowText(window), WindowText(textControl), IconName(window),
                              GetWindow(window, GW_OWNER) != nullptr});
      PostMessageA(window, WM_COMMAND, IDOK, 0);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = folder + "\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

}  // namespace

MessageBoxCatcher::MessageBoxCatcher() {
  caughtBoxes = new std::vector<CaughtMessageBox>();
  hook_ = SetWindowsHookExA(WH_CBT, CatchMessageBoxes, nullptr, GetCurrentThreadId());
}

MessageBoxCatcher::~MessageBoxCatcher() {
  UnhookWindowsHookEx(hook_);
  delete caughtBoxes;
  caughtBoxes = nullptr;
}

const std::vector<CaughtMessageBox>& MessageBoxCatcher::boxes() const { return *caughtBoxes; }

ScratchDir::ScratchDir() {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  static int serial = 0;
  char name[MAX_PATH];
  snprintf(name, sizeof name, "%squendrix-test-%lu-%d", temp, GetCurrentProcessId(), ++serial);
  path_ = name;
  CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

std::string ScratchDir::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
  std::string path = Join(name);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  if (!bytes.empty()) {
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
  CloseHandle(file);
  return path;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(file, nullptr));
  DWORD read = 0;
  if (!bytes.empty()) ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

SummaryWindow::SummaryWindow() {
  window_ = CreateWindowExA(0, "STATIC", "Quendrix test", WS_OVERLAPPEDWINDOW, 0, 0, 470, 427,
                            nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT, 305, 122, 126, 120, window_,
                  reinterpret_cast<HMENU>(IDC_INFO), GetModuleHandleA(nullptr), nullptr);
}

SummaryWindow::~SummaryWindow() { DestroyWindow(window_); }

std::string SummaryWindow::InfoText() const {
  char text[2048] = "";
  GetDlgItemTextA(window_, IDC_INFO, text, sizeof text);
  return text;
}

void SummaryWindow::SetInfoText(const char* text) const { SetDlgItemTextA(window_, IDC_INFO, text); }
