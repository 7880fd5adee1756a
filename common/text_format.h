// Texts made with printf's formats, of any length, with the formats checked.
// Portable: no platform headers.
#pragma once

#include <cstdarg>
#include <string>

// MinGW's C99 printf, which the C++ library turns on, is checked as gnu_printf.
#ifdef __MINGW_PRINTF_FORMAT
#define PRINTF_FORMAT(text, first) __attribute__((format(__MINGW_PRINTF_FORMAT, text, first)))
#else
#define PRINTF_FORMAT(text, first) __attribute__((format(printf, text, first)))
#endif

std::string FormatText(const char* format, ...) PRINTF_FORMAT(1, 2);
std::string FormatTextV(const char* format, va_list args);
