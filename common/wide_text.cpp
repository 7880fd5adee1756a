#include "common/wide_text.h"

std::wstring WideText(const std::string& text, UINT codePage) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, &wide[0], length);
  return wide;
}

bool NarrowText(const std::wstring& wide, UINT codePage, std::string* narrow) {
  narrow->clear();
  if (wide.empty()) return true;
  const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* askUsedDefault = codePage == CP_UTF8 ? nullptr : &usedDefault;
  const int wideLength = static_cast<int>(wide.size());
  const int length = WideCharToMultiByte(codePage, flags, wide.data(), wideLength, nullptr, 0,
                                         nullptr, askUsedDefault);
  if (length <= 0 || usedDefault) return false;
  narrow->resize(static_cast<size_t>(length));
  WideCharToMultiByte(codePage, flags, wide.data(), wideLength, &(*narrow)[0], length, nullptr,
                      nullptr);
  return true;
}
