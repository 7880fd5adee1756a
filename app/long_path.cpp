#include "app/long_path.h"

#include <cstdio>

#include "app/long_path_walk.h"

namespace {

bool FindEntryOnDisk(const char* query, char* name, size_t nameSize) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(query, &entry);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  snprintf(name, nameSize, "%s", entry.cFileName);
  return true;
}

using GetLongPathNameFunction = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);

}  // namespace

const char* longPathServiceName = "GetLongPathNameA";

DWORD WalkLongPathOnDisk(const char* source, char* destination, DWORD size) {
  return static_cast<DWORD>(WalkLongPath(source, destination, size, FindEntryOnDisk));
}

DWORD ExpandLongPath(const char* source, char* destination, DWORD size) {
  if (source == nullptr || destination == nullptr) return 0;
  // Older systems lack the service; it is looked up afresh for the one call.
  HMODULE kernel = LoadLibraryA("kernel32.dll");
  if (kernel != nullptr) {
    // Through the generic function type, which any function pointer converts from.
    auto service = reinterpret_cast<GetLongPathNameFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, longPathServiceName)));
    if (service != nullptr) {
      DWORD result = service(source, destination, size);
      FreeLibrary(kernel);
      return result;
    }
    FreeLibrary(kernel);
  }
  return WalkLongPathOnDisk(source, destination, size);
}
