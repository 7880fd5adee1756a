#include "tools/inspector.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "demo/demo_file.h"
#include "demo/demo_summary.h"

namespace {

const char kUsage[] =
    "usage: quendrix-inspect [--json] [--current-res WxH] FILE...\n"
    "\n"
    "Prints, for each demo FILE, the nine-line summary that Quendrix shows for it,\n"
    "files separated by one empty line. The Current Res line shows the game's\n"
    "resolution given by --current-res, and \"x\" alone without it.\n"
    "\n"
    "  --json             one JSON object a line instead, with the keys path,\n"
    "                     halfLifeVersion, demoType, demoVersion, networkVersion,\n"
    "                     map, mod, demoResWidth, demoResHeight (the summary's\n"
    "                     texts, bytes above 0x7F read as Latin-1) and hltv\n"
    "  --current-res WxH  the game's configured resolution, two whole numbers\n"
    "  --help             this text\n"
    "\n"
    "A file that cannot be inspected gets the message that Quendrix would show,\n"
    "after its path, on standard error; the other files are still inspected.\n"
    "Exit status: 0 when every file was inspected, 1 when any could not be,\n"
    "2 for a usage error.\n";

// A resolution text as the program keeps it: a decimal number of at most 7
// characters, with an optional minus sign.
bool ParseResolutionNumber(const char* text, size_t length, char (&number)[kResolutionTextSize]) {
  size_t digitsFrom = (length > 0 && text[0] == '-') ? 1 : 0;
  if (length <= digitsFrom || length >= sizeof number) return false;
  for (size_t i = digitsFrom; i < length; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  memcpy(number, text, length);
  number[length] = '\0';
  return true;
}

bool ParseCurrentRes(const char* text, char (&width)[kResolutionTextSize],
                     char (&height)[kResolutionTextSize]) {
  const char* x = strchr(text, 'x');
  return x != nullptr && ParseResolutionNumber(text, static_cast<size_t>(x - text), width) &&
         ParseResolutionNumber(x + 1, strlen(x + 1), height);
}

// A JSON string of a text whose bytes are Latin-1 characters.
void AppendJsonString(std::string& json, const char* text) {
  json += '"';
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    unsigned char c = *p;
    if (c == '"' || c == '\\') {
      json += '\\';
      json += static_cast<char>(c);
    } else if (c == '\n') {
      json += "\\n";
    } else if (c == '\r') {
      json += "\\r";
    } else if (c == '\t') {
      json += "\\t";
    } else if (c < 0x20) {
      char escape[8];
      snprintf(escape, sizeof escape, "\\u%04x", c);
      json += escape;
    } else if (c < 0x80) {
      json += static_cast<char>(c);
    } else {
      json += static_cast<char>(0xC0 | (c >> 6));
      json += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  json += '"';
}

void AppendJsonField(std::string& json, const char* key, const char* text) {
  json += json.size() > 1 ? ",\"" : "\"";
  json += key;
  json += "\":";
  AppendJsonString(json, text);
}

void PrintJson(FILE* out, const char* path, const DemoInspection& demo) {
  std::string json = "{";
  AppendJsonField(json, "path", path);
  AppendJsonField(json, "halfLifeVersion", demo.release);
  AppendJsonField(json, "demoType", demo.header.demoType);
  AppendJsonField(json, "demoVersion", demo.demoVersion);
  AppendJsonField(json, "networkVersion", demo.networkVersion);
  AppendJsonField(json, "map", demo.header.mapName);
  AppendJsonField(json, "mod", demo.header.gameDirectory);
  AppendJsonField(json, "demoResWidth", demo.scan.width);
  AppendJsonField(json, "demoResHeight", demo.scan.height);
  json += demo.scan.isHltv ? ",\"hltv\":true}\n" : ",\"hltv\":false}\n";
  fputs(json.c_str(), out);
}

}  // namespace

int RunInspector(int argc, char** argv, FILE* out, FILE* err) {
  bool json = false;
  char currentWidth[kResolutionTextSize] = "";
  char currentHeight[kResolutionTextSize] = "";
  int firstFile = argc;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (strcmp(arg, "--help") == 0) {
      fputs(kUsage, out);
      return 0;
    } else if (strcmp(arg, "--json") == 0) {
      json = true;
    } else if (strcmp(arg, "--current-res") == 0) {
      if (i + 1 >= argc || !ParseCurrentRes(argv[++i], currentWidth, currentHeight)) {
        fputs("quendrix-inspect: --current-res takes WxH, two whole numbers\n", err);
        fputs(kUsage, err);
        return 2;
      }
    } else if (strcmp(arg, "--") == 0) {
      firstFile = i + 1;
      break;
    } else if (arg[0] == '-' && arg[1] != '\0') {
      fprintf(err, "quendrix-inspect: unknown option %s\n", arg);
      fputs(kUsage, err);
      return 2;
    } else {
      firstFile = i;
      break;
    }
  }
  if (firstFile >= argc) {
    fputs(kUsage, err);
    return 2;
  }

  int status = 0;
  bool printedSummary = false;
  for (int i = firstFile; i < argc; ++i) {
    const char* path = argv[i];
    DemoInspection demo;
    DemoFileStatus read = InspectDemoFile(path, &demo);
    if (read != DemoFileStatus::kRead) {
      fprintf(err, "%s: %s\n", path, DemoFileMessage(read));
      status = 1;
      continue;
    }
    if (json) {
      PrintJson(out, path, demo);
    } else {
      char summary[kSummarySize];
      ComposeSummary(demo, currentWidth, currentHeight, summary, sizeof summary);
      fprintf(out, printedSummary ? "\n%s\n" : "%s\n", summary);
      printedSummary = true;
    }
  }
  return status;
}
