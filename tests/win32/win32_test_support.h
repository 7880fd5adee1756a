// What the Win32 tests share: message boxes caught as they open, scratch
// folders of a test's own, and a stand-in for the main window's summary field.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/demo_writer.h"

struct CaughtMessageBox {
  std::string caption;
  std::string text;
  std::string icon;  // "error", "warning", "information", "question" or "none"
  bool hasOwner;
};

// While alive, every message box that this thread opens is recorded and closed
// with OK, through a WH_CBT hook, as Wine's own tests do it.
class MessageBoxCatcher {
 public:
  MessageBoxCatcher();
  ~MessageBoxCatcher();
  const std::vector<CaughtMessageBox>& boxes() const;
  // The texts of the boxes caught, in the order they opened.
  std::vector<std::string> Texts() const;
  void Clear();

 private:
  HHOOK hook_;
};

// A folder under the temporary folder, removed with all it holds at the end.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::string& path() const { return path_; }
  std::string Join(const std::string& name) const { return path_ + "\\" + name; }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const;

 private:
  std::string path_;
};

// A top-level window holding the main window's fields by their identifiers:
// the summary IDC_INFO and the edits IDC_DEMOPATH, IDC_GAMEEXE, IDC_EXTRAARGS
// and IDC_DEMOSPEED.
class FieldsWindow {
 public:
  FieldsWindow();
  ~FieldsWindow();
  HWND handle() const { return window_; }
  std::string Text(int control) const;
  void SetText(int control, const char* text) const;

 private:
  HWND window_;
};

// Registry values as a test sets them up and reads them back.
struct RegistryValue {
  bool exists;
  DWORD type;
  std::vector<uint8_t> data;
};
RegistryValue ReadRegistryValue(HKEY root, const char* key, const char* name);
// The value as a DWORD, or 0xDEAD where there is none of that size.
DWORD ReadRegistryDword(HKEY root, const char* key, const char* name);
bool RegistryKeyExists(HKEY root, const char* key);
void SetRegistryValue(HKEY root, const char* key, const char* name, DWORD type, const void* data,
                      DWORD size);
void SetRegistryDword(HKEY root, const char* key, const char* name, DWORD value);
void DeleteRegistryTree(HKEY root, const char* key);
// Creates the key (and the path to it) and lets everyone only read it, delete
// it and change that again: opening it for writing, or setting a value in it,
// is then denied.
void CreateReadOnlyKey(HKEY root, const char* key);
// Gives the key back its full access, so that it can be deleted.
void UnlockKey(HKEY root, const char* key);

std::vector<uint8_t> ReadFileBytes(const std::string& path);

// A demo of the demo writer with the texts and viewport given, recorded with
// network protocol 45 (release 1.1.0.8).
DemoRecipe TestRecipe(const char* map, const char* mod, int width, int height, bool hltv = false);

// The folder of the running test program, where the build puts the program
// and the stand-in game too.
std::string TestProgramFolder();

// What the stand-in game wrote down in report.txt in its folder, by name;
// empty when it has not finished.
std::map<std::string, std::string> ReadStandInReport(const std::string& gameFolder);
