#include "messages/demo_details.h"

#include <cstdio>
#include <cstring>

#include "common/text_format.h"
#include "common/utf8_text.h"
#include "demo/duration_text.h"

namespace {

// A text from a file on one line: line breaks and other control characters
// are shown escaped, so that no text can pass for a line of its own.
std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      line += c;
    } else if (c == '\n') {
      line += "\\n";
    } else if (c == '\r') {
      line += "\\r";
    } else if (c == '\t') {
      line += "\\t";
    } else {
      char escape[8];
      snprintf(escape, sizeof escape, "\\x%02X", byte);
      line += escape;
    }
  }
  return line;
}

std::string NameOf(const SlotName& slot) {
  return slot.known ? OneLine(slot.name) : "someone";
}

std::string Joined(const std::vector<std::string>& texts) {
  std::string joined;
  for (const std::string& text : texts) joined += (joined.empty() ? "" : ", ") + OneLine(text);
  return joined;
}

void AddStructure(std::string& out, const DemoStructure& found) {
  if (found.knownProtocol) {
    out += "Duration: " + DurationText(found.duration) + "\n";
    out += FormatText("Frames: %lld\n", static_cast<long long>(found.frames));
  } else {
    out += "Duration: unknown\nFrames: unknown\n";
  }
  out += found.hasViewport
             ? FormatText("Viewport: %dx%d\n", found.viewportWidth, found.viewportHeight)
             : "Viewport: none\n";
  out += FormatText("Map CRC: 0x%08X\n", static_cast<unsigned>(found.mapCrc));
  for (size_t i = 0; i < found.segments.size(); ++i) {
    const DemoSegment& s = found.segments[i];
    out += FormatText("Segment %u: ", static_cast<unsigned>(i + 1)) +
           OneLine(TextAsUtf8(s.description, strlen(s.description))) +
           FormatText(", type %d, flags %d, CD track %d, time %.3f s, %d frames, %u bytes at %u\n",
                      s.type, s.flags, s.cdTrack, s.time, s.frames, s.length, s.offset);
  }
  out += found.intact ? "Intact: yes\n" : "Intact: no\n";
  for (const std::string& problem : found.problems) {
    out += "Problem: " + OneLine(TextAsUtf8(problem)) + "\n";
  }
}

std::string KillLine(const Kill& kill) {
  std::string line = ClockText(kill.time) + " ";
  if (!kill.killer.known) {
    line += NameOf(kill.victim) + " died";
  } else if (kill.victim.known && kill.killer.name == kill.victim.name) {
    line += NameOf(kill.killer) + " killed themself";
  } else {
    line += NameOf(kill.killer) + " killed " + NameOf(kill.victim);
  }
  if (!kill.weapon.empty()) line += (kill.killer.known ? " with " : " by ") + OneLine(kill.weapon);
  if (kill.headshot == 1) line += ", headshot";
  return line + "\n";
}

// The game's own lines carry their sender in the text; a token's do not.
std::string ChatLineText(const ChatLine& chat) {
  std::string line = ClockText(chat.time) + " ";
  if (chat.hasKind) {
    line += NameOf(chat.sender);
    if (chat.kind != "Cstrike_Chat_All") line += " (" + OneLine(chat.kind) + ")";
    line += ": ";
  }
  return line + OneLine(chat.text) + "\n";
}

void AddMessages(std::string& out, const DemoMessages& messages, bool allCommands) {
  if (messages.hasServer) {
    const ServerInfo& server = messages.server;
    out += "Server: " + OneLine(server.name) + " (" + OneLine(server.gameDir) + ", " +
           OneLine(server.mapFile) +
           (server.maxPlayers == 1 ? std::string(", single player)\n")
                                   : FormatText(", up to %d players)\n", server.maxPlayers));
  } else {
    out += "Server: unknown\n";
  }
  if (messages.maps.size() > 1) out += "Maps: " + Joined(messages.maps) + "\n";
  if (!messages.hasRecorder) {
    out += "Recorder: unknown\n";
  } else if (messages.recorderName.known) {
    out += "Recorder: " + OneLine(messages.recorderName.name) +
           FormatText(" (slot %d)\n", messages.recorderSlot);
  } else {
    out += FormatText("Recorder: slot %d, no name\n", messages.recorderSlot);
  }
  out +=
      messages.players.empty() ? "Players: none\n" : "Players: " + Joined(messages.players) + "\n";
  out += FormatText("Kills: %zu\n", messages.kills.size());
  for (const Kill& kill : messages.kills) out += KillLine(kill);
  out += FormatText("Chat lines: %zu\n", messages.chat.size());
  for (const ChatLine& chat : messages.chat) out += ChatLineText(chat);
  out += FormatText("Commands: %zu\n", messages.commands.size());
  if (allCommands) {
    for (const ConsoleCommand& command : messages.commands) {
      out += ClockText(command.time) + (command.fromServer ? " server: " : " recorder: ") +
             OneLine(command.text) + "\n";
    }
  }
  if (messages.notKept > 0) {
    out +=
        FormatText("Not kept: %zu more kills, chat lines, commands or players\n", messages.notKept);
  }
  switch (messages.read) {
    case MessagesRead::kNotRead:
      out += "Messages: not read (only demo protocol 5 with network protocol 47 or 48 is)\n";
      break;
    case MessagesRead::kAll: out += "Messages: all read\n"; break;
    case MessagesRead::kNotAll:
      out += "Messages: not all read\n";
      for (const std::string& problem : messages.problems) {
        out += "Problem: " + OneLine(problem) + "\n";
      }
      break;
  }
}

}  // namespace

std::string ComposeDetails(const DemoInspection& demo, const DemoMessages& messages,
                           bool allCommands) {
  std::string out;
  AddStructure(out, demo.structure);
  AddMessages(out, messages, allCommands);
  return out;
}
