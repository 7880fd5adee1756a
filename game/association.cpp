#include "game/association.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "common/app_state.h"
#include "common/message_box.h"

namespace {

struct AssociationKey {
  const char* name;
  const char* format;  // of the default value, from the executable's path
  const char* createWarning;
  const char* writeWarning;
};

// The program's path is quoted in the open command, so that a path with blanks
// cannot be taken for a shorter program (C:\Program.exe); the start-up takes a
// quoted program name and all of the text after it as the demo's path.
const AssociationKey kAssociationKeys[] = {
    {"quendrix\\shell\\open\\command", "\"%s\" %%1", "Could not create the quendrix registry key.",
     "Could not set the shellcommand key value."},
    {"quendrix\\DefaultIcon", "%s,0", "Could not create the defaulticon registry key.",
     "Could not set the defaulticon key value."},
    {".DEM", "quendrix", "Could not create the .dem registry key.",
     "Could not set the .dem key value."},
};

}  // namespace

void RegisterDemoAssociation() {
  for (const AssociationKey& entry : kAssociationKeys) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, entry.name, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
      ShowMessage(entry.createWarning, MB_ICONWARNING);
      key = nullptr;
    }
    char value[kPathSize];
    int length = snprintf(value, sizeof value, entry.format, app.ownExePath);
    // A value cut to fit would name another program: it is not written.
    bool fits = length >= 0 && length < static_cast<int>(sizeof value);
    bool written = key != nullptr && fits &&
                   RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                  static_cast<DWORD>(length + 1)) == ERROR_SUCCESS;
    if (!written) ShowMessage(entry.writeWarning, MB_ICONWARNING);
    if (key != nullptr) RegCloseKey(key);
  }
}
