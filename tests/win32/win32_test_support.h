// What the Win32 tests share: message boxes caught as they open, scratch
// folders of a test's own, and a stand-in for the main window's summary field.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

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

// A top-level window holding a static control IDC_INFO, as the main window does.
class SummaryWindow {
 public:
  SummaryWindow();
  ~SummaryWindow();
  HWND handle() const { return window_; }
  std::string InfoText() const;
  void SetInfoText(const char* text) const;

 private:
  HWND window_;
};

std::vector<uint8_t> ReadFileBytes(const std::string& path);
