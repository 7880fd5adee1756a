#include "cli/inspector.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/utf8_text.h"
#include "demo/demo_file.h"
#include "demo/demo_summary.h"
#include "library/demo_folder.h"
#include "messages/demo_details.h"
#include "messages/message_reader.h"

namespace {

const char kUsage[] =
    "usage: quendrix-inspect [-r] [--json] [--details] [--commands]\n"
    "                        [--current-res WxH] FILE...\n"
    "\n"
    "Prints, for each demo FILE, the nine-line summary that Quendrix shows for it,\n"
    "files separated by one empty line. The Current Res line shows the game's\n"
    "resolution given by --current-res, and \"x\" alone without it.\n"
    "\n"
    "  --details          after the nine lines, the demo's structure: its duration\n"
    "                     (m:ss and seconds), frames, viewport, map CRC, one line\n"
    "                     per directory entry, then \"Intact: yes\", or \"Intact: no\"\n"
    "                     and a line per problem found; then what its messages say:\n"
    "                     the server, the maps when there are several, the recorder,\n"
    "                     the players, a line per kill and per chat line, the number\n"
    "                     of console commands, and whether every message was read\n"
    "  --commands         --details with a line per console command\n"
    "  --json             one JSON object a line instead, with the keys path,\n"
    "                     halfLifeVersion, demoType, demoVersion, networkVersion,\n"
    "                     map, mod, demoResWidth, demoResHeight (the summary's\n"
    "                     texts, bytes above 0x7F read as Latin-1), hltv, and the\n"
    "                     structure: mapCrc, segments (the directory's entries as\n"
    "                     stored: type, description, flags, cdTrack, time, frames,\n"
    "                     offset, length; empty when it is not sound), duration\n"
    "                     (seconds), frames, viewportWidth, viewportHeight (null\n"
    "                     where unknown or none), intact and problems; and the\n"
    "                     messages: server, maps, recorder, players, kills, chat,\n"
    "                     commands, messagesRead and messageProblems\n"
    "  --current-res WxH  the game's configured resolution, two whole numbers\n"
    "  -r, --recursive    a FILE that is a folder stands for every file in it and\n"
    "                     its subfolders whose name ends in .dem, in any case, in\n"
    "                     the byte order of their paths; folders reached through\n"
    "                     links are not entered; without -r a folder is an error\n"
    "  --help             this text\n"
    "\n"
    "Messages are read for demo protocol 5 with network protocol 47 or 48; of\n"
    "other demos only the players' names are found, in the file's plain text.\n"
    "A file that cannot be inspected gets the message that Quendrix would show,\n"
    "after its path, on standard error, and so does a folder or subfolder that\n"
    "cannot be listed, with the reason; the other files are still inspected.\n"
    "Exit status: 0 when every file was inspected, 1 when any could not be or a\n"
    "folder could not be listed (or was given without -r), 2 for a usage error.\n";

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

// A JSON string of a UTF-8 text.
void AppendJsonString(std::string& json, const std::string& text) {
  json += '"';
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (c == '\n') {
      json += "\\n";
    } else if (c == '\r') {
      json += "\\r";
    } else if (c == '\t') {
      json += "\\t";
    } else if (byte < 0x20) {
      char escape[8];
      snprintf(escape, sizeof escape, "\\u%04x", byte);
      json += escape;
    } else {
      json += c;
    }
  }
  json += '"';
}

// A field of a text whose bytes are Latin-1 characters.
void AppendJsonField(std::string& json, const char* key, const char* text) {
  json += json.size() > 1 ? ",\"" : "\"";
  json += key;
  json += "\":";
  AppendJsonString(json, Latin1AsUtf8(text));
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
    AppendJsonString(json, Latin1AsUtf8(problem.c_str()));
  }
  json += ']';
}

// A frame's time: the shortest decimal that reads back as the same float.
void AppendJsonTime(std::string& json, double time) {
  const float value = static_cast<float>(time);
  if (!std::isfinite(value)) {
    json += "null";
    return;
  }
  char text[32];
  json.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void AppendSlotName(std::string& json, const SlotName& slot) {
  if (slot.known) {
    AppendJsonString(json, slot.name);
  } else {
    json += "null";
  }
}

// A demo's line can hold millions of items: it is written out as it grows,
// all but its last character, which the next item looks at.
constexpr size_t kJsonHeld = 64 * 1024;
void WriteMostOf(std::string& json, FILE* out) {
  if (json.size() < kJsonHeld) return;
  fwrite(json.data(), 1, json.size() - 1, out);
  json.erase(0, json.size() - 1);
}

void AppendTextList(std::string& json, const std::vector<std::string>& texts, FILE* out) {
  json += '[';
  for (const std::string& text : texts) {
    if (json.back() != '[') json += ',';
    AppendJsonString(json, text);
    WriteMostOf(json, out);
  }
  json += ']';
}

// Objects of a list, each begun with its time.
template <typename Item, typename AppendRest>
void AppendTimedList(std::string& json, const char* key, const std::vector<Item>& items, FILE* out,
                     AppendRest appendRest) {
  AppendJsonKey(json, key);
  json += '[';
  for (const Item& item : items) {
    json += json.back() == '[' ? "{\"time\":" : ",{\"time\":";
    AppendJsonTime(json, item.time);
    appendRest(item);
    json += '}';
    WriteMostOf(json, out);
  }
  json += ']';
}

void AppendMessages(std::string& json, const DemoMessages& found, FILE* out) {
  AppendJsonKey(json, "server");
  if (found.hasServer) {
    json += "{\"name\":";
    AppendJsonString(json, found.server.name);
    json += ",\"gameDir\":";
    AppendJsonString(json, found.server.gameDir);
    json += ",\"mapFile\":";
    AppendJsonString(json, found.server.mapFile);
    AppendJsonInteger(json, "maxPlayers", found.server.maxPlayers);
    json += '}';
  } else {
    json += "null";
  }
  AppendJsonKey(json, "maps");
  AppendTextList(json, found.maps, out);
  AppendJsonKey(json, "recorder");
  if (found.hasRecorder) {
    json += "{\"slot\":" + std::to_string(found.recorderSlot) + ",\"name\":";
    AppendSlotName(json, found.recorderName);
    json += '}';
  } else {
    json += "null";
  }
  AppendJsonKey(json, "players");
  AppendTextList(json, found.players, out);
  AppendTimedList(json, "kills", found.kills, out, [&](const Kill& kill) {
    json += ",\"killer\":";
    AppendSlotName(json, kill.killer);
    json += ",\"victim\":";
    AppendSlotName(json, kill.victim);
    json += ",\"weapon\":";
    AppendJsonString(json, kill.weapon);
    json += kill.headshot < 0 ? ",\"headshot\":null"
            : kill.headshot   ? ",\"headshot\":true"
                              : ",\"headshot\":false";
  });
  AppendTimedList(json, "chat", found.chat, out, [&](const ChatLine& line) {
    json += ",\"sender\":";
    AppendSlotName(json, line.sender);
    json += ",\"kind\":";
    if (line.hasKind) {
      AppendJsonString(json, line.kind);
    } else {
      json += "null";
    }
    json += ",\"text\":";
    AppendJsonString(json, line.text);
  });
  AppendTimedList(json, "commands", found.commands, out, [&](const ConsoleCommand& command) {
    json += ",\"text\":";
    AppendJsonString(json, command.text);
    json += command.fromServer ? ",\"source\":\"server\"" : ",\"source\":\"recorder\"";
  });
  AppendJsonKey(json, "messagesRead");
  json += found.read == MessagesRead::kNotRead ? "null"
          : found.read == MessagesRead::kAll   ? "true"
                                               : "false";
  AppendJsonKey(json, "messageProblems");
  AppendTextList(json, found.problems, out);
}

void PrintJson(FILE* out, const char* path, const DemoInspection& demo,
               const DemoMessages& messages) {
  std::string json = "{";
  // A path that is UTF-8 stays as it is, so that it opens the file again.
  json += "\"path\":";
  AppendJsonString(json, TextAsUtf8(path, strlen(path)));
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
  AppendMessages(json, messages, out);
  json += "}\n";
  fputs(json.c_str(), out);
}

// What the options ask for, and where the output stands.
struct Inspection {
  bool json = false;
  bool details = false;
  bool allCommands = false;
  char currentWidth[kResolutionTextSize] = "";
  char currentHeight[kResolutionTextSize] = "";
  FILE* out = nullptr;
  FILE* err = nullptr;
  bool printedSummary = false;
};

// False when the file could not be inspected.
bool InspectFile(const char* path, Inspection* run) {
  DemoInspection demo;
  // The messages are read only for what shows them: the summary alone
  // stays as fast as reading the file.
  MessageReader reader;
  const WindowReader also = MessageWindowReader(&reader);
  DemoFileStatus read = InspectDemoFile(path, &demo, run->json || run->details ? &also : nullptr);
  if (read != DemoFileStatus::kRead) {
    fprintf(run->err, "%s: %s\n", path, DemoFileMessage(read));
    return false;
  }
  if (run->json) {
    PrintJson(run->out, path, demo, MessageReaderResult(&reader));
  } else {
    char summary[kSummarySize];
    ComposeSummary(demo, run->currentWidth, run->currentHeight, summary, sizeof summary);
    fprintf(run->out, run->printedSummary ? "\n%s\n" : "%s\n", summary);
    if (run->details) {
      fputs(ComposeDetails(demo, MessageReaderResult(&reader), run->allCommands).c_str(), run->out);
    }
    run->printedSummary = true;
  }
  return true;
}

// A folder's demos, each as if it had been given alone; a file as it is.
// False when anything could not be listed or inspected.
bool InspectTree(const char* path, Inspection* run) {
  std::vector<FoundDemo> found;
  std::vector<UnlistedFolder> unlisted;
  const FolderStatus listed = ListDemoFolder(path, &found, &unlisted);
  if (listed == FolderStatus::kNotFolder) return InspectFile(path, run);
  for (const UnlistedFolder& folder : unlisted) {
    // The root is named as it was given.
    const char* shown = listed == FolderStatus::kCannotList ? path : folder.shownPath.c_str();
    fprintf(run->err, "%s: %s\n", shown, folder.reason.c_str());
  }
  bool inspected = unlisted.empty();
  for (const FoundDemo& demo : found) inspected = InspectFile(demo.path.c_str(), run) && inspected;
  return inspected;
}

}  // namespace

int RunInspector(int argc, char** argv, FILE* out, FILE* err) {
  Inspection run;
  run.out = out;
  run.err = err;
  bool recursive = false;
  int firstFile = argc;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (strcmp(arg, "--help") == 0) {
      fputs(kUsage, out);
      return 0;
    } else if (strcmp(arg, "--json") == 0) {
      run.json = true;
    } else if (strcmp(arg, "--details") == 0) {
      run.details = true;
    } else if (strcmp(arg, "--commands") == 0) {
      run.details = run.allCommands = true;
    } else if (strcmp(arg, "-r") == 0 || strcmp(arg, "--recursive") == 0) {
      recursive = true;
    } else if (strcmp(arg, "--current-res") == 0) {
      if (i + 1 >= argc || !ParseCurrentRes(argv[++i], run.currentWidth, run.currentHeight)) {
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
  for (int i = firstFile; i < argc; ++i) {
    const char* path = argv[i];
    bool inspected;
    if (recursive) {
      inspected = InspectTree(path, &run);
    } else if (IsFolder(path)) {
      fprintf(err, "%s: is a folder; -r inspects the demos in it\n", path);
      inspected = false;
    } else {
      inspected = InspectFile(path, &run);
    }
    if (!inspected) status = 1;
  }
  return status;
}
