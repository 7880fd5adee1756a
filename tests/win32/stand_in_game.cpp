// A stand-in for the game, built for the tests and never shipped. Started by
// the program as it starts the game, it writes down what it finds into
// report.txt beside itself: its command line, its working folder, the game's
// resolution values as it finds them, the resolution that the program keeps
// to put back (the values ...ToRestore of its settings), and whether the demo copy it is asked to
// play is there (its bytes are kept in report.dem). orders.txt beside it, when
// present, asks it to wait for a named event or to set the resolution itself.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

namespace {

std::string OwnFolder() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder = path;
  return folder.substr(0, folder.rfind('\\'));
}

// The value of the first of the keys that opens.
std::string DwordValue(std::initializer_list<const char*> keys, const char* name) {
  for (const char* key : keys) {
    HKEY opened;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
      continue;
    }
    DWORD value = 0, type = 0, size = sizeof value;
    LONG result =
        RegQueryValueExA(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(opened);
    if (result != ERROR_SUCCESS) return "none";
    char text[32];
    snprintf(text, sizeof text, "%ld%s", static_cast<long>(value),
             type == REG_DWORD ? "" : " (not a DWORD)");
    return text;
  }
  return "no key";
}

std::string ResolutionValue(const char* name) {
  return DwordValue(
      {"Software\\Valve\\Half-Life\\Settings", "Software\\Valve\\CounterStrike\\Settings"}, name);
}

std::string RecordValue(const char* name) {
  return DwordValue({"Software\\Tolvanek\\Quendrix\\Settings"}, name);
}

void SetResolution(DWORD width, DWORD height) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Valve\\Half-Life\\Settings", 0, KEY_SET_VALUE,
                    &key) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key, "EngineModeW", 0, REG_DWORD, reinterpret_cast<BYTE*>(&width), sizeof width);
  RegSetValueExA(key, "EngineModeH", 0, REG_DWORD, reinterpret_cast<BYTE*>(&height), sizeof height);
  RegCloseKey(key);
}

// The word after "-game" on the command line: the mod whose folder holds the copy.
std::string ModOf(const std::string& commandLine) {
  size_t at = commandLine.find(" -game ");
  if (at == std::string::npos) return "";
  size_t start = at + 7;
  return commandLine.substr(start, commandLine.find(' ', start) - start);
}

void FollowOrders(const std::string& folder) {
  FILE* orders = fopen((folder + "\\orders.txt").c_str(), "r");
  if (orders == nullptr) return;
  char line[256];
  while (fgets(line, sizeof line, orders) != nullptr) {
    char event[200];
    unsigned long width = 0, height = 0;
    if (sscanf(line, "wait %199s", event) == 1) {
      HANDLE go = CreateEventA(nullptr, TRUE, FALSE, event);
      WaitForSingleObject(go, 60000);
      CloseHandle(go);
    } else if (sscanf(line, "set-resolution %lu %lu", &width, &height) == 2) {
      SetResolution(width, height);
    }
  }
  fclose(orders);
}

}  // namespace

int main() {
  const std::string folder = OwnFolder();
  const std::string commandLine = GetCommandLineA();
  char workingFolder[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof workingFolder, workingFolder);
  const std::string copy = folder + "\\" + ModOf(commandLine) + "\\quendrix.dem";
  bool copyThere = CopyFileA(copy.c_str(), (folder + "\\report.dem").c_str(), FALSE) != FALSE;

  FILE* report = fopen((folder + "\\report.txt.part").c_str(), "w");
  if (report == nullptr) return 3;
  fprintf(report, "command line=%s\n", commandLine.c_str());
  fprintf(report, "working folder=%s\n", workingFolder);
  fprintf(report, "EngineModeW=%s\n", ResolutionValue("EngineModeW").c_str());
  fprintf(report, "EngineModeH=%s\n", ResolutionValue("EngineModeH").c_str());
  fprintf(report, "record=%s x %s\n", RecordValue("EngineModeWToRestore").c_str(),
          RecordValue("EngineModeHToRestore").c_str());
  fprintf(report, "copy=%s\n", copyThere ? "there" : "missing");
  fclose(report);
  FollowOrders(folder);
  // Complete only once the game is about to end.
  MoveFileExA((folder + "\\report.txt.part").c_str(), (folder + "\\report.txt").c_str(),
              MOVEFILE_REPLACE_EXISTING);
  return 0;
}
