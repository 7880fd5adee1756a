#include "game/settings.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "app/resources/resource.h"
#include "common/app_state.h"
#include "common/message_box.h"
#include "common/path_text.h"
#include "game/association.h"

namespace {

const char kSettingsKey[] = "Software\\Tolvanek\\Quendrix\\Settings";
const char* const kGameSettingsKeys[] = {
    "Software\\Valve\\Half-Life\\Settings",
    "Software\\Valve\\CounterStrike\\Settings",
};

void Warn(const char* text) { ShowMessage(text, MB_ICONWARNING); }

// A text value of at most 259 characters, into its field of the state and of
// the window. Longer or missing values are reported and leave both as they are.
void ReadSettingText(HKEY key, const char* name, char (&field)[kPathSize], HWND window,
                     int control, const char* warning) {
  char text[kPathSize];
  DWORD size = sizeof text;
  LONG result = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  // Data stored without its terminator may fill the buffer: then it has 260
  // characters, one too many.
  size_t length = result == ERROR_SUCCESS ? strnlen(text, size) : sizeof text;
  if (length >= sizeof text) {
    Warn(warning);
    return;
  }
  text[length] = '\0';
  memcpy(field, text, length + 1);
  SetDlgItemTextA(window, control, field);
}

// A number of at most 4 bytes, kept as its decimal text. A number whose text
// does not fit the field is refused like an unreadable one, never cut.
void ReadResolution(HKEY key, const char* name, char (&field)[kResTextSize]) {
  int32_t value = 0;
  DWORD size = sizeof value;
  LONG result =
      RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
  char text[16];
  int length = snprintf(text, sizeof text, "%ld", static_cast<long>(value));
  if (result != ERROR_SUCCESS || length >= static_cast<int>(sizeof field)) {
    Warn("Could not read HLV1.");
    return;
  }
  memcpy(field, text, static_cast<size_t>(length) + 1);
}

bool WriteSettingText(HKEY key, const char* name, const char* text, const char* warning) {
  bool written = key != nullptr &&
                 RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                static_cast<DWORD>(strlen(text) + 1)) == ERROR_SUCCESS;
  if (!written) Warn(warning);
  return written;
}

void DeriveGameDir() {
  lstrcpynA(app.gameDir, app.gameExePath, sizeof app.gameDir);
  CutAtLastBackslash(app.gameDir);
}

}  // namespace

HKEY OpenGameSettingsKey(REGSAM access) {
  for (const char* name : kGameSettingsKeys) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, name, 0, access, &key) == ERROR_SUCCESS) return key;
  }
  return nullptr;
}

void LoadSettings(HWND window) {
  HKEY settings = nullptr;
  // No key is the normal state before the first save: nothing to say.
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &settings) ==
      ERROR_SUCCESS) {
    ReadSettingText(settings, "Path", app.gameExePath, window, IDC_GAMEEXE, "Could not read TKV1.");
    ReadSettingText(settings, "CommandLine", app.extraArgs, window, IDC_EXTRAARGS,
                    "Could not read TKV2.");
    ReadSettingText(settings, "DemoSpeed", app.demoSpeed, window, IDC_DEMOSPEED,
                    "Could not read TKV3.");
    RegCloseKey(settings);
  }

  HKEY game = OpenGameSettingsKey(KEY_QUERY_VALUE);
  if (game == nullptr) {
    Warn("Could not read Half-Life registry.");
  } else {
    ReadResolution(game, "EngineModeH", app.currentResHeight);
    ReadResolution(game, "EngineModeW", app.currentResWidth);
    RegCloseKey(game);
  }
  DeriveGameDir();
}

bool SaveSettings() {
  DeriveGameDir();
  RegisterDemoAssociation();

  HKEY settings = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &settings, nullptr) != ERROR_SUCCESS) {
    Warn("Could not create the settings registry key.");
    settings = nullptr;
  }
  // Every value is attempted, so each failure shows its own warning.
  bool saved =
      WriteSettingText(settings, "Path", app.gameExePath, "Could not set the path key value.");
  saved &= WriteSettingText(settings, "CommandLine", app.extraArgs,
                            "Could not set the commandline key value.");
  saved &=
      WriteSettingText(settings, "DemoSpeed", app.demoSpeed, "Could not set the speed key value.");
  if (settings != nullptr) RegCloseKey(settings);
  return saved;
}
