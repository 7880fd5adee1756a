#include "tests/win32/win32_test_support.h"

#include <shlwapi.h>

#include <cstdio>
#include <cstring>

#include "app/resources/resource.h"
#include "tools/window_driver.h"

namespace {

std::vector<CaughtMessageBox>* caughtBoxes = nullptr;

LRESULT CALLBACK CatchMessageBoxes(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && caughtBoxes != nullptr) {
    HWND window = reinterpret_cast<HWND>(wParam);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    HWND textControl = GetDlgItem(window, 0xFFFF);
    if (lstrcmpA(className, "#32770") == 0 && textControl != nullptr) {
      caughtBoxes->push_back({WindowText(window), WindowText(textControl), MessageBoxIcon(window),
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

const std::vector<CaughtMessageBox>& MessageBoxCatcher::boxes() const {
  return *caughtBoxes;
}

std::vector<std::string> MessageBoxCatcher::Texts() const {
  std::vector<std::string> texts;
  for (const CaughtMessageBox& box : *caughtBoxes) texts.push_back(box.text);
  return texts;
}

void MessageBoxCatcher::Clear() {
  caughtBoxes->clear();
}

ScratchDir::ScratchDir() {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  static int serial = 0;
  char name[MAX_PATH];
  snprintf(name, sizeof name, "%squendrix-test-%lu-%d", temp, GetCurrentProcessId(), ++serial);
  path_ = name;
  CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() {
  RemoveTree(path_);
}

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
  if (!bytes.empty())
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

FieldsWindow::FieldsWindow() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  window_ = CreateWindowExA(0, "STATIC", "Quendrix test", WS_OVERLAPPEDWINDOW, 0, 0, 470, 427,
                            nullptr, nullptr, instance, nullptr);
  CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT, 305, 122, 126, 120, window_,
                  reinterpret_cast<HMENU>(IDC_INFO), instance, nullptr);
  for (int control : {IDC_DEMOPATH, IDC_GAMEEXE, IDC_EXTRAARGS, IDC_DEMOSPEED}) {
    CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0, 200, 13, window_,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(control)), instance, nullptr);
  }
}

FieldsWindow::~FieldsWindow() {
  DestroyWindow(window_);
}

std::string FieldsWindow::Text(int control) const {
  char text[2048] = "";
  GetDlgItemTextA(window_, control, text, sizeof text);
  return text;
}

void FieldsWindow::SetText(int control, const char* text) const {
  SetDlgItemTextA(window_, control, text);
}

RegistryValue ReadRegistryValue(HKEY root, const char* key, const char* name) {
  RegistryValue value = {false, REG_NONE, {}};
  HKEY opened;
  if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return value;
  DWORD size = 0;
  if (RegQueryValueExA(opened, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    value.exists = true;
    value.data.resize(size);
    RegQueryValueExA(opened, name, nullptr, &value.type, value.data.data(), &size);
  }
  RegCloseKey(opened);
  return value;
}

DWORD ReadRegistryDword(HKEY root, const char* key, const char* name) {
  const RegistryValue value = ReadRegistryValue(root, key, name);
  DWORD number = 0xDEADu;
  if (value.data.size() == sizeof number) memcpy(&number, value.data.data(), sizeof number);
  return number;
}

bool RegistryKeyExists(HKEY root, const char* key) {
  HKEY opened;
  if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

void SetRegistryValue(HKEY root, const char* key, const char* name, DWORD type, const void* data,
                      DWORD size) {
  HKEY opened;
  RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr);
  RegSetValueExA(opened, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(opened);
}

void SetRegistryDword(HKEY root, const char* key, const char* name, DWORD value) {
  SetRegistryValue(root, key, name, REG_DWORD, &value, sizeof value);
}

void DeleteRegistryTree(HKEY root, const char* key) {
  SHDeleteKeyA(root, key);
}

namespace {

void SetKeyDacl(HKEY root, const char* key, PACL dacl) {
  HKEY opened;
  if (RegOpenKeyExA(root, key, 0, WRITE_DAC, &opened) != ERROR_SUCCESS) return;
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, dacl, FALSE);
  RegSetKeySecurity(opened, DACL_SECURITY_INFORMATION, &descriptor);
  RegCloseKey(opened);
}

}  // namespace

void CreateReadOnlyKey(HKEY root, const char* key) {
  HKEY created;
  RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr);
  RegCloseKey(created);
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
  alignas(DWORD) BYTE aclBytes[256];
  PACL acl = reinterpret_cast<PACL>(aclBytes);
  InitializeAcl(acl, sizeof aclBytes, ACL_REVISION);
  AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ | WRITE_DAC | DELETE, everyone);
  SetKeyDacl(root, key, acl);
  FreeSid(everyone);
}

void UnlockKey(HKEY root, const char* key) {
  SetKeyDacl(root, key, nullptr);
}

std::string TestProgramFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder = path;
  return folder.substr(0, folder.rfind('\\'));
}

std::map<std::string, std::string> ReadStandInReport(const std::string& gameFolder) {
  std::map<std::string, std::string> report;
  std::vector<uint8_t> bytes = ReadFileBytes(gameFolder + "\\report.txt");
  std::string text(bytes.begin(), bytes.end());
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    std::string line =
        text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t equals = line.find('=');
    if (equals != std::string::npos) report[line.substr(0, equals)] = line.substr(equals + 1);
    start = end == std::string::npos ? text.size() : end + 1;
  }
  return report;
}

DemoRecipe TestRecipe(const char* map, const char* mod, int width, int height, bool hltv) {
  DemoRecipe recipe;
  recipe.mapName = map;
  recipe.gameDirectory = mod;
  recipe.viewportWidth = width;
  recipe.viewportHeight = height;
  recipe.hltv = hltv;
  recipe.networkProtocol = 45;
  return recipe;
}
