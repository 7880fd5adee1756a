#include "library/library_entry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

#include "common/utf8_text.h"
#include "messages/message_reader.h"

LibraryEntry DescribeDemo(const FoundDemo& file, DemoFileStatus status, const DemoInspection& demo,
                          const DemoMessages& messages) {
  LibraryEntry entry;
  entry.file = file;
  if (status != DemoFileStatus::kRead) {
    entry.problem = DemoFileMessage(status);
    return entry;
  }
  entry.isDemo = true;
  entry.map = Latin1AsUtf8(demo.header.mapName);
  entry.mod = Latin1AsUtf8(demo.header.gameDirectory);
  if (messages.hasServer) entry.server = messages.server.name;
  if (messages.hasRecorder && messages.recorderName.known) {
    entry.recorder = messages.recorderName.name;
  }
  entry.players = messages.players;
  if (demo.structure.knownProtocol) entry.duration = demo.structure.duration;
  entry.kills = static_cast<uint32_t>(
      std::min<size_t>(messages.kills.size(), std::numeric_limits<uint32_t>::max()));
  entry.intact = demo.structure.intact;
  return entry;
}

LibraryEntry ReadLibraryEntry(const FoundDemo& file) {
  DemoInspection demo{};
  MessageReader reader;
  const WindowReader also = MessageWindowReader(&reader);
  const DemoFileStatus status = InspectDemoFile(file.path.c_str(), &demo, &also);
  // The messages, kills and chat included, die here: only the counts and the
  // names stay in the library.
  return DescribeDemo(file, status, demo, MessageReaderResult(&reader));
}

namespace {

// Where the file name starts in a shown path: after its last separator.
size_t FileNameStart(const std::string& shownPath) {
  const size_t separator = shownPath.find_last_of("/\\");
  return separator == std::string::npos ? 0 : separator + 1;
}

std::string_view FileNameOf(const LibraryEntry& entry) {
  return std::string_view(entry.file.shownPath).substr(FileNameStart(entry.file.shownPath));
}

std::string_view FolderOf(const LibraryEntry& entry) {
  const size_t start = FileNameStart(entry.file.shownPath);
  return std::string_view(entry.file.shownPath).substr(0, start == 0 ? 0 : start - 1);
}

char FoldAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool ContainsFolded(std::string_view text, std::string_view part) {
  return std::search(text.begin(), text.end(), part.begin(), part.end(),
                     [](char a, char b) { return FoldAscii(a) == FoldAscii(b); }) != text.end();
}

}  // namespace

std::string EntryFileName(const LibraryEntry& entry) {
  return std::string(FileNameOf(entry));
}

std::string EntryFolder(const LibraryEntry& entry) {
  return std::string(FolderOf(entry));
}

bool MatchesSearch(const LibraryEntry& entry, const std::string& text) {
  if (text.empty()) return true;
  if (ContainsFolded(FileNameOf(entry), text) || ContainsFolded(entry.map, text) ||
      ContainsFolded(entry.mod, text) || ContainsFolded(entry.server, text)) {
    return true;
  }
  return std::any_of(entry.players.begin(), entry.players.end(),
                     [&](const std::string& player) { return ContainsFolded(player, text); });
}

namespace {

template <typename Number>
int CompareNumbers(Number a, Number b) {
  return a < b ? -1 : b < a ? 1 : 0;
}

// NaN, which a crafted demo's frame times may give, first, so that the order
// stays total.
int CompareDurations(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return CompareNumbers(!std::isnan(a), !std::isnan(b));
  return CompareNumbers(a, b);
}

// Without ASCII case first, then by bytes, so that "Dust" and "dust" keep
// one order.
int CompareTexts(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const int folded = CompareNumbers(static_cast<unsigned char>(FoldAscii(a[i])),
                                      static_cast<unsigned char>(FoldAscii(b[i])));
    if (folded != 0) return folded;
  }
  if (a.size() != b.size()) return CompareNumbers(a.size(), b.size());
  return CompareNumbers(a.compare(b), 0);
}

// The column's text, empty for a column of numbers.
std::string_view TextOf(const LibraryEntry& entry, LibraryColumn column) {
  switch (column) {
    case LibraryColumn::kFileName: return FileNameOf(entry);
    case LibraryColumn::kFolder: return FolderOf(entry);
    case LibraryColumn::kMap: return entry.map;
    case LibraryColumn::kMod: return entry.mod;
    case LibraryColumn::kServer: return entry.server;
    case LibraryColumn::kRecorder: return entry.recorder;
    default: return {};
  }
}

// 0 for a column of texts.
int CompareNumbersOf(const LibraryEntry& a, const LibraryEntry& b, LibraryColumn column) {
  switch (column) {
    case LibraryColumn::kModified: return CompareNumbers(a.file.modified, b.file.modified);
    case LibraryColumn::kSize: return CompareNumbers(a.file.size, b.file.size);
    case LibraryColumn::kDuration: return CompareDurations(a.duration, b.duration);
    case LibraryColumn::kPlayers: return CompareNumbers(a.players.size(), b.players.size());
    case LibraryColumn::kKills: return CompareNumbers(a.kills, b.kills);
    case LibraryColumn::kIntact: return CompareNumbers(a.intact, b.intact);
    default: return 0;
  }
}

}  // namespace

void SortLibraryRows(const std::vector<LibraryEntry>& entries, std::vector<size_t>* rows,
                     LibraryColumn column, bool ascending) {
  // Each text found once rather than at each comparison: a file name is
  // looked for in its path.
  std::vector<std::string_view> texts(entries.size());
  for (size_t row : *rows) texts[row] = TextOf(entries[row], column);
  std::sort(rows->begin(), rows->end(), [&](size_t left, size_t right) {
    const LibraryEntry& a = entries[left];
    const LibraryEntry& b = entries[right];
    if (a.isDemo != b.isDemo) return a.isDemo;
    int byColumn = CompareTexts(texts[left], texts[right]);
    if (byColumn == 0) byColumn = CompareNumbersOf(a, b, column);
    if (byColumn != 0) return ascending ? byColumn < 0 : byColumn > 0;
    const int byPath = a.file.path.compare(b.file.path);
    return byPath != 0 ? byPath < 0 : left < right;
  });
}
