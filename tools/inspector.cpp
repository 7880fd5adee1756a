#include "tools/inspector.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "demo/demo_file.h"
#include "demo/demo_summary.h"
#include "demo/duration_text.h"

namespace {

const char kUsage[] =
    "usage: quendrix-inspect [--json] [--details] [--current-res WxH] FILE...\n"
    "\n"
    "Prints, for each demo FILE, the nine-line summary that Quendrix shows for it,\n"
    "files separated by one empty line. The Current Res line shows the game's\n"
    "resolution given by --current-res, and \"x\" alone without it.\n"
    "\n"
    "  --details          after the nine lines, the demo's structure: its duration\n"
    "                     (m:ss and seconds), frames, viewport, map CRC, one line\n"
    "                     per directory entry, then \"Intact: yes\", or \"Intact: no\"\n"
    "                     and a line per problem found\n"
    "  --json             one JSON object a line instead, with the keys path,\n"
    "                     halfLifeVersion, demoType, demoVersion, networkVersion,\n"
    "                     map, mod, demoResWidth, demoResHeight (the summary's\n"
    "                     texts, bytes above 0x7F read as Latin-1), hltv, and the\n"
    "                     structure: mapCrc, segments (the directory's entries as\n"
    "                     stored: type, description, flags, cdTrack, time, frames,\n"
    "                     offset, length; empty when it is not sound), duration\n"
    "                     (seconds), frames, viewportWidth, viewportHeight (null\n"
    "                     where unknown or none), intact and problems\n"
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

// The shortest decimal that reads back as the same value; null for values
// that JSON has no number for.
void AppendJsonNumber(std::string& json, double value) {
  if (!std::isfinite(value)) {
    json += "null";
    return;
  }
  char text[32];
  for (int precision = 1; precision <= 17; ++precision) {
    snprintf(text, sizeof text, "%.*g", precision, value);
    if (strtod(text, nullptr) == value) break;
  }
  json += text;
}

void AppendJsonInteger(std::string& json, const char* key, long long value) {
  char text[64];
  snprintf(text, sizeof text, ",\"%s\":%lld", key, value);
  json += text;
}

void AppendJsonKey(std::string& json, const char* key) {
  json += ",\"";
  json += key;
  json += "\":";
}

void AppendSegments(std::string& json, const std::vector<DemoSegment>& segments) {
  AppendJsonKey(json, "segments");
  json += '[';
  for (const DemoSegment& segment : segments) {
    if (json.back() != '[') json += ',';
    json += "{\"type\":" + std::to_string(segment.type);
    AppendJsonField(json, "description", segment.description);
    AppendJsonInteger(json, "flags", segment.flags);
    AppendJsonInteger(json, "cdTrack", segment.cdTrack);
    AppendJsonKey(json, "time");
    AppendJsonNumber(json, segment.time);
    AppendJsonInteger(json, "frames", segment.frames);
    AppendJsonInteger(json, "offset", segment.offset);
    AppendJsonInteger(json, "length", segment.length);
    json += '}';
  }
  json += ']';
}

void AppendStructure(std::string& json, const DemoStructure& found) {
  AppendJsonInteger(json, "mapCrc", found.mapCrc);
  AppendSegments(json, found.segments);
  AppendJsonKey(json, "duration");
  if (found.knownProtocol) {
    AppendJsonNumber(json, found.duration);
  } else {
    json += "null";
  }
  AppendJsonKey(json, "frames");
  json += found.knownProtocol ? std::to_string(found.frames) : "null";
  AppendJsonKey(json, "viewportWidth");
  json += found.hasViewport ? std::to_string(found.viewportWidth) : "null";
  AppendJsonKey(json, "viewportHeight");
  json += found.hasViewport ? std::to_string(found.viewportHeight) : "null";
  AppendJsonKey(json, "intact");
  json += found.intact ? "true" : "false";
  AppendJsonKey(json, "problems");
  json += '[';
  for (const std::string& problem : found.problems) {
    if (json.back() != '[') json += ',';
    AppendJsonString(json, problem.c_str());
  }
  json += ']';
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
  json += demo.scan.isHltv ? ",\"hltv\":true" : ",\"hltv\":false";
  AppendStructure(json, demo.structure);
  json += "}\n";
  fputs(json.c_str(), out);
}

void PrintDetails(FILE* out, const DemoStructure& found) {
  if (found.knownProtocol) {
    fprintf(out, "Duration: %s\nFrames: %lld\n", DurationText(found.duration).c_str(),
            static_cast<long long>(found.frames));
  } else {
    fputs("Duration: unknown\nFrames: unknown\n", out);
  }
  if (found.hasViewport) {
    fprintf(out, "Viewport: %dx%d\n", found.viewportWidth, found.viewportHeight);
  } else {
    fputs("Viewport: none\n", out);
  }
  fprintf(out, "Map CRC: 0x%08X\n", static_cast<unsigned>(found.mapCrc));
  for (size_t i = 0; i < found.segments.size(); ++i) {
    const DemoSegment& s = found.segments[i];
    fprintf(out,
            "Segment %u: %s, type %d, flags %d, CD track %d, time %.3f s, %d frames, "
            "%d bytes at %d\n",
            static_cast<unsigned>(i + 1), s.description, s.type, s.flags, s.cdTrack, s.time,
            s.frames, s.length, s.offset);
  }
  fputs(found.intact ? "Intact: yes\n" : "Intact: no\n", out);
  for (const std::string& problem : found.problems) fprintf(out, "Problem: %s\n", problem.c_str());
}

}  // namespace

int RunInspector(int argc, char** argv, FILE* out, FILE* err) {
  bool json = false;
  bool details = false;
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
    } else if (strcmp(arg, "--details") == 0) {
      details = true;
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
      if (details) PrintDetails(out, demo.structure);
      printedSummary = true;
    }
  }
  return status;
}
