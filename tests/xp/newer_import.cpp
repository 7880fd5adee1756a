// Calls a function that Windows XP lacks: the check of what the shipped
// programs import must refuse this one.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include <windows.h>

int main() {
  return static_cast<int>(GetTickCount64() % 2);
}
