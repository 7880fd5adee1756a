// Texts between a code page (the ANSI one, or UTF-8) and the wide form that
// the W functions take, with the system's own converters.
#pragma once

#include <windows.h>

#include <string>

std::wstring WideText(const std::string& text, UINT codePage);

// False where a character has no form in the code page: a character put in
// its place, or a look-alike, would name another file.
bool NarrowText(const std::wstring& wide, UINT codePage, std::string* narrow);

inline std::string Utf8Text(const std::wstring& wide) {
  std::string text;
  NarrowText(wide, CP_UTF8, &text);
  return text;
}
