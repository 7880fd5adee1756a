// A row of the demo library: what one .dem file holds, as the library lists,
// searches and sorts it. Portable: the entries are made from what the demo
// core and the message reader found, whatever read the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "demo/demo_file.h"
#include "library/demo_folder.h"
#include "messages/demo_messages.h"

struct LibraryEntry {
  FoundDemo file;
  // false: the file could not be read as a demo, and problem says why with
  // Quendrix's own message for it; the fields below are then empty.
  bool isDemo = false;
  std::string problem;
  // UTF-8 texts (the header's bytes above 0x7F read as Latin-1).
  std::string map;
  std::string mod;
  std::string server;    // the server's name, empty when the messages have none
  std::string recorder;  // the recorder's name, empty when unknown
  std::vector<std::string> players;
  double duration = -1;  // seconds; negative where unknown
  uint32_t kills = 0;
  bool intact = false;
};

// The entry of a file from its inspection: status is what reading it gave,
// demo and messages what was found when it was read.
LibraryEntry DescribeDemo(const FoundDemo& file, DemoFileStatus status,
                          const DemoInspection& demo, const DemoMessages& messages);

// Reads the file (nothing is written to it) and describes it.
LibraryEntry ReadLibraryEntry(const FoundDemo& file);

// The file name and the folder of an entry's shown path, split at its last
// '/' or '\'.
std::string EntryFileName(const LibraryEntry& entry);
std::string EntryFolder(const LibraryEntry& entry);

// Whether the file name, map, mod, server or any player's name contains
// text, ASCII letters compared without case. An empty text matches all.
bool MatchesSearch(const LibraryEntry& entry, const std::string& text);

// The library's columns, in the order the window shows them.
enum class LibraryColumn {
  kFileName,
  kFolder,
  kModified,
  kSize,
  kMap,
  kMod,
  kDuration,
  kServer,
  kRecorder,
  kPlayers,
  kKills,
  kIntact,
};
constexpr int kLibraryColumnCount = 12;

// Sorts rows (indices into entries) by a column: texts without ASCII case,
// numbers by value, files that are not demos after the demos in either
// direction; ties by path, ascending in either direction, so that every order
// is the same each time.
void SortLibraryRows(const std::vector<LibraryEntry>& entries, std::vector<size_t>* rows,
                     LibraryColumn column, bool ascending);

// The library's index file: entries by path, size and time modified. Load
// takes any bytes; a file that is damaged, cut, of another version or not an
// index at all gives false and no entries, never a half-read list.
std::string SaveLibraryIndex(const std::vector<LibraryEntry>& entries);
bool LoadLibraryIndex(const uint8_t* bytes, size_t size, std::vector<LibraryEntry>* entries);

// What a new listing of the folder root makes of the index: the entries whose
// file is unchanged (same path, size and time modified) are kept; the files
// that are new or changed are to be read; entries under root whose files are
// gone are dropped. Entries of files outside root (other folders the library
// was opened on) are kept apart, untouched, to be saved again. unchanged and
// toRead follow the listing's order.
struct LibraryPlan {
  std::vector<LibraryEntry> unchanged;
  std::vector<FoundDemo> toRead;
  std::vector<LibraryEntry> elsewhere;
};
LibraryPlan PlanLibrary(std::vector<LibraryEntry> indexed, const std::string& root,
                        const std::vector<FoundDemo>& listed);
