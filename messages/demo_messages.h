// What the server messages inside a demo's frames say: the server, the maps,
// who recorded it, who played, the kills, the chat and the console commands
// that playing it runs again. Read in one pass over the frames, piece by
// piece, keeping only the state that outlives a frame. Portable: no platform
// headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Texts are UTF-8: a file's bytes as they are where they are valid UTF-8,
// else each byte as a Latin-1 character.
struct ServerInfo {
  std::string name;     // the host name
  std::string gameDir;  // "cstrike"
  std::string mapFile;  // as stored: "maps/de_dust2.bsp"
  int maxPlayers = 0;
};

// A name of a slot, or none (the world, an empty slot).
struct SlotName {
  bool known = false;
  std::string name;
};

struct Kill {
  double time = 0.0;  // of its frame; 0 in the loading segment
  SlotName killer, victim;
  std::string weapon;
  int headshot = -1;  // 0 or 1 where the game's DeathMsg tells, else -1
};

struct ChatLine {
  double time = 0.0;
  SlotName sender;
  bool hasKind = false;
  std::string kind;  // the game's token without its "#"
  std::string text;
};

struct ConsoleCommand {
  double time = 0.0;
  std::string text;
  bool fromServer = false;  // svc_stufftext; else a console-command frame
};

enum class MessagesRead { kNotRead, kAll, kNotAll };

struct DemoMessages {
  bool hasServer = false;
  ServerInfo server;  // the first server info
  std::vector<std::string> maps;
  bool hasRecorder = false;
  int recorderSlot = 0;
  SlotName recorderName;
  std::vector<std::string> players;
  std::vector<Kill> kills;
  std::vector<ChatLine> chat;
  std::vector<ConsoleCommand> commands;
  size_t notKept = 0;  // beyond the memory that one demo may take
  MessagesRead read = MessagesRead::kNotRead;
  std::vector<std::string> problems;  // one a block that was not read to its end
};
