#include "game/settings.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

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

// The game's start-time resolution while a game runs at a demo's, in the
// program's own settings key.
const char kRecordWidth[] = "EngineModeWToRestore";
const char kRecordHeight[] = "EngineModeHToRestore";

void Warn(const char* text) {
  ShowMessage(text, MB_ICONWARNING);
}

// A text value of at most 259 characters, into its field of the state and of
// the window. Longer or missing values are reported and leave both as they are.
void ReadSettingText(HKEY key, const char* name, char (&field)[kPathSize], HWND window, int control,
                     const char* warning) {
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

// A number of at most 4 bytes, as its decimal text. A number whose text does
// not fit the field is refused like an unreadable one, never cut.
bool ReadNumberText(HKEY key, const char* name, char (&field)[kResTextSize]) {
  int32_t value = 0;
  DWORD size = sizeof value;
  LONG result =
      RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
  char text[16];
  int length = snprintf(text, sizeof text, "%ld", static_cast<long>(value));
  if (result != ERROR_SUCCESS || length >= static_cast<int>(sizeof field)) return false;
  memcpy(field, text, static_cast<size_t>(length) + 1);
  return true;
}

void ReadResolution(HKEY key, const char* name, char (&field)[kResTextSize]) {
  if (!ReadNumberText(key, name, field)) Warn("Could not read HLV1.");
}

bool WriteNumberText(HKEY key, const char* name, const char* text) {
  DWORD value = static_cast<DWORD>(strtol(text, nullptr, 10));
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof value) == ERROR_SUCCESS;
}

void WriteResolutionValue(HKEY key, const char* name, const char* text) {
  if (!WriteNumberText(key, name, text)) Warn("Could not set the EMH key value.");
}

void ReadGameResolution() {
  HKEY game = OpenGameSettingsKey(KEY_QUERY_VALUE);
  if (game == nullptr) {
    Warn("Could not read Half-Life registry.");
    return;
  }
  ReadResolution(game, "EngineModeH", app.currentResHeight);
  ReadResolution(game, "EngineModeW", app.currentResWidth);
  RegCloseKey(game);
}

// A record left by a program that was ended while its game ran: the game's
// values are put back from it, and it is the start-time resolution from now
// on. False when there is none to put back.
bool PutBackRecordedResolution() {
  HKEY settings = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &settings) !=
      ERROR_SUCCESS) {
    return false;
  }
  char width[kResTextSize];
  char height[kResTextSize];
  bool hasWidth = ReadNumberText(settings, kRecordWidth, width);
  bool hasHeight = ReadNumberText(settings, kRecordHeight, height);
  RegCloseKey(settings);
  if (hasWidth && hasHeight) {
    WriteGameResolution(height, width);
    memcpy(app.currentResWidth, width, sizeof width);
    memcpy(app.currentResHeight, height, sizeof height);
  }
  // Half a record cannot be put back: it goes as well.
  if (hasWidth || hasHeight) RemoveResolutionRecord();
  return hasWidth && hasHeight;
}

bool WriteSettingText(HKEY key, const char* name, const char* text, const char* warning) {
  bool written =
      key != nullptr && RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                       static_cast<DWORD>(strlen(text) + 1)) == ERROR_SUCCESS;
  if (!written) Warn(warning);
  return written;
}

// The key that only the library's settings or a resolution record made holds
// none of the three: as before the first save, there is nothing to read.
bool HoldsSavedSettings(HKEY key) {
  for (const char* name : {"Path", "CommandLine", "DemoSpeed"}) {
    if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) != ERROR_FILE_NOT_FOUND) {
      return true;
    }
  }
  return false;
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
  bool putBack = PutBackRecordedResolution();
  HKEY settings = nullptr;
  // No key is the normal state before the first save: nothing to say.
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &settings) ==
          ERROR_SUCCESS &&
      HoldsSavedSettings(settings)) {
    ReadSettingText(settings, "Path", app.gameExePath, window, IDC_GAMEEXE, "Could not read TKV1.");
    ReadSettingText(settings, "CommandLine", app.extraArgs, window, IDC_EXTRAARGS,
                    "Could not read TKV2.");
    ReadSettingText(settings, "DemoSpeed", app.demoSpeed, window, IDC_DEMOSPEED,
                    "Could not read TKV3.");
  }
  if (settings != nullptr) RegCloseKey(settings);

  // A resolution put back from a record is the start-time one already.
  if (!putBack) ReadGameResolution();
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

void WriteGameResolution(const char* heightText, const char* widthText) {
  HKEY key = OpenGameSettingsKey(KEY_ALL_ACCESS);
  if (key == nullptr) {
    Warn("Could not read Half-Life registry.");
    return;
  }
  WriteResolutionValue(key, "EngineModeH", heightText);
  WriteResolutionValue(key, "EngineModeW", widthText);
  RegCloseKey(key);
}

void RecordStartTimeResolution() {
  HKEY settings = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &settings, nullptr) != ERROR_SUCCESS) {
    return;
  }
  bool whole = WriteNumberText(settings, kRecordWidth, app.currentResWidth) &&
               WriteNumberText(settings, kRecordHeight, app.currentResHeight);
  RegCloseKey(settings);
  if (!whole) RemoveResolutionRecord();
}

void RemoveResolutionRecord() {
  HKEY settings = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &settings) !=
      ERROR_SUCCESS) {
    return;
  }
  RegDeleteValueA(settings, kRecordWidth);
  RegDeleteValueA(settings, kRecordHeight);
  DWORD subkeys = 0;
  DWORD values = 0;
  bool empty = RegQueryInfoKeyA(settings, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
               subkeys == 0 && values == 0;
  RegCloseKey(settings);
  // A key that only the record made would read as settings that cannot be
  // read at the next start: it goes with the record.
  if (empty) RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
}

bool ReadSetting(const char* name, DWORD type, void* data, DWORD size) {
  HKEY settings = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &settings) !=
      ERROR_SUCCESS) {
    return false;
  }
  DWORD storedType = REG_NONE;
  DWORD storedSize = size;
  const bool read = RegQueryValueExA(settings, name, nullptr, &storedType, static_cast<BYTE*>(data),
                                     &storedSize) == ERROR_SUCCESS &&
                    storedType == type;
  RegCloseKey(settings);
  if (!read) return false;
  if (type != REG_SZ) return storedSize == size;
  // A text stored without its terminator, or filling the buffer, is refused.
  char* text = static_cast<char*>(data);
  const size_t length = strnlen(text, storedSize);
  if (length >= size) return false;
  text[length] = '\0';
  return true;
}

bool WriteSetting(const char* name, DWORD type, const void* data, DWORD size) {
  HKEY settings = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &settings, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool written = RegSetValueExA(settings, name, 0, type, static_cast<const BYTE*>(data),
                                      size) == ERROR_SUCCESS;
  RegCloseKey(settings);
  return written;
}
