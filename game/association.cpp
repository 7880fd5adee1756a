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

// The key's default value under root, or why not.
enum class Written { kYes, kNotCreated, kNotSet };
Written WriteDefaultValue(HKEY root, const char* name, const char* value, int length) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return Written::kNotCreated;
  }
  const bool set = value != nullptr &&
                   RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                  static_cast<DWORD>(length + 1)) == ERROR_SUCCESS;
  RegCloseKey(key);
  return set ? Written::kYes : Written::kNotSet;
}

}  // namespace

// Since Windows Vista a program that is not elevated may not write under
// HKEY_CLASSES_ROOT; the same keys under the user's own classes, which
// Windows merges into it for that user, make the association the user's.
void RegisterDemoAssociation() {
  for (const AssociationKey& entry : kAssociationKeys) {
    char value[kPathSize];
    int length = snprintf(value, sizeof value, entry.format, app.ownExePath);
    // A value cut to fit would name another program: it is not written.
    const bool fits = length >= 0 && length < static_cast<int>(sizeof value);
    Written written =
        WriteDefaultValue(HKEY_CLASSES_ROOT, entry.name, fits ? value : nullptr, length);
    if (written != Written::kYes && fits) {
      char userKey[kPathSize];
      snprintf(userKey, sizeof userKey, "Software\\Classes\\%s", entry.name);
      written = WriteDefaultValue(HKEY_CURRENT_USER, userKey, value, length);
    }
    if (written == Written::kNotCreated) ShowMessage(entry.createWarning, MB_ICONWARNING);
    if (written != Written::kYes) ShowMessage(entry.writeWarning, MB_ICONWARNING);
  }
}
