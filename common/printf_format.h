// The format checking of functions that take printf's arguments. MinGW's C99
// printf, which the C++ library turns on, is checked as gnu_printf.
#pragma once

#ifdef __MINGW_PRINTF_FORMAT
#define PRINTF_FORMAT(text, first) __attribute__((format(__MINGW_PRINTF_FORMAT, text, first)))
#else
#define PRINTF_FORMAT(text, first) __attribute__((format(printf, text, first)))
#endif
