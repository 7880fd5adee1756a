#include "common/path_text.h"

#include <cstring>

void CutAtLastBackslash(char* path) {
  char* last = strrchr(path, '\\');
  if (last != nullptr) *last = '\0';
}
