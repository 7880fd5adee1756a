// The library's index file, and what a new listing of a folder makes of it.
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "library/library_entry.h"

namespace {

// The file: the magic, the format's version and the count of entries, each a
// uint32; the entries; the CRC-32 (zip's) of all that comes before it.
// Numbers are little-endian, a text is its length, a uint32, then its bytes.
// An entry: path, shown path, size (uint64), time modified (int64), flags
// (one byte), problem, map, mod, server, recorder, the count of players and
// their names, duration (the double's bits, as a uint64), kills (uint32).
constexpr char kIndexMagic[8] = {'Q', 'X', 'L', 'I', 'B', 'I', 'D', 'X'};
constexpr uint32_t kIndexVersion = 1;
constexpr size_t kIndexHeaderSize = sizeof kIndexMagic + 4 + 4;
constexpr size_t kChecksumSize = 4;
// Seven empty texts, the players' count and the fixed fields.
constexpr size_t kSmallestEntrySize = 7 * 4 + 8 + 8 + 1 + 4 + 8 + 4;
constexpr uint8_t kIsDemo = 1, kIntact = 2;

// Eight tables, so that the checksum takes eight bytes a step: a large index
// is checked at the speed of reading it.
struct CrcTables {
  uint32_t byShift[8][256];
};

constexpr CrcTables MakeCrcTables() {
  CrcTables tables = {};
  for (uint32_t byte = 0; byte < 256; ++byte) {
    uint32_t crc = byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1) != 0 ? 0xEDB88320u : 0);
    tables.byShift[0][byte] = crc;
  }
  for (int shift = 1; shift < 8; ++shift) {
    for (int byte = 0; byte < 256; ++byte) {
      const uint32_t previous = tables.byShift[shift - 1][byte];
      tables.byShift[shift][byte] = (previous >> 8) ^ tables.byShift[0][previous & 0xFF];
    }
  }
  return tables;
}

constexpr CrcTables kCrcTables = MakeCrcTables();

uint32_t LittleU32(const uint8_t* bytes) {
  return bytes[0] | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

uint64_t LittleU64(const uint8_t* bytes) {
  return LittleU32(bytes) | uint64_t(LittleU32(bytes + 4)) << 32;
}

uint32_t Crc32(const uint8_t* bytes, size_t size) {
  const auto& t = kCrcTables.byShift;
  uint32_t crc = 0xFFFFFFFFu;
  for (; size >= 8; bytes += 8, size -= 8) {
    const uint32_t low = crc ^ LittleU32(bytes), high = LittleU32(bytes + 4);
    crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
          t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^
          t[0][high >> 24];
  }
  for (; size > 0; ++bytes, --size) crc = (crc >> 8) ^ t[0][(crc ^ *bytes) & 0xFF];
  return ~crc;
}

void PutU32(std::string* out, uint32_t value) {
  const char bytes[4] = {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
  out->append(bytes, sizeof bytes);
}

void PutU64(std::string* out, uint64_t value) {
  PutU32(out, uint32_t(value));
  PutU32(out, uint32_t(value >> 32));
}

void PutText(std::string* out, const std::string& text) {
  PutU32(out, uint32_t(text.size()));
  out->append(text);
}

void PutEntry(std::string* out, const LibraryEntry& entry) {
  PutText(out, entry.file.path);
  PutText(out, entry.file.shownPath);
  PutU64(out, entry.file.size);
  PutU64(out, uint64_t(entry.file.modified));
  out->push_back(char((entry.isDemo ? kIsDemo : 0) | (entry.intact ? kIntact : 0)));
  for (const std::string* text :
       {&entry.problem, &entry.map, &entry.mod, &entry.server, &entry.recorder}) {
    PutText(out, *text);
  }
  PutU32(out, uint32_t(entry.players.size()));
  for (const std::string& player : entry.players) PutText(out, player);
  uint64_t durationBits;
  memcpy(&durationBits, &entry.duration, sizeof durationBits);
  PutU64(out, durationBits);
  PutU32(out, entry.kills);
}

// The bytes of an index not read yet; every Take checks that they hold what
// it takes.
struct IndexCursor {
  const uint8_t* at;
  size_t left;
};

bool TakeU32(IndexCursor* cursor, uint32_t* value) {
  if (cursor->left < 4) return false;
  *value = LittleU32(cursor->at);
  cursor->at += 4;
  cursor->left -= 4;
  return true;
}

bool TakeU64(IndexCursor* cursor, uint64_t* value) {
  if (cursor->left < 8) return false;
  *value = LittleU64(cursor->at);
  cursor->at += 8;
  cursor->left -= 8;
  return true;
}

bool TakeText(IndexCursor* cursor, std::string* text) {
  uint32_t length;
  if (!TakeU32(cursor, &length) || length > cursor->left) return false;
  text->assign(reinterpret_cast<const char*>(cursor->at), length);
  cursor->at += length;
  cursor->left -= length;
  return true;
}

bool TakeEntry(IndexCursor* cursor, LibraryEntry* entry) {
  uint64_t modified, durationBits;
  if (!TakeText(cursor, &entry->file.path) || !TakeText(cursor, &entry->file.shownPath) ||
      !TakeU64(cursor, &entry->file.size) || !TakeU64(cursor, &modified) || cursor->left < 1) {
    return false;
  }
  entry->file.modified = int64_t(modified);
  const uint8_t flags = *cursor->at;
  if ((flags & ~(kIsDemo | kIntact)) != 0) return false;
  entry->isDemo = (flags & kIsDemo) != 0;
  entry->intact = (flags & kIntact) != 0;
  ++cursor->at;
  --cursor->left;
  for (std::string* text :
       {&entry->problem, &entry->map, &entry->mod, &entry->server, &entry->recorder}) {
    if (!TakeText(cursor, text)) return false;
  }
  uint32_t players;
  if (!TakeU32(cursor, &players) || players > cursor->left / 4) return false;
  entry->players.resize(players);
  for (std::string& player : entry->players) {
    if (!TakeText(cursor, &player)) return false;
  }
  if (!TakeU64(cursor, &durationBits) || !TakeU32(cursor, &entry->kills)) return false;
  memcpy(&entry->duration, &durationBits, sizeof durationBits);
  return true;
}

// Whether path lies in the folder root or below it.
bool IsUnder(const std::string& path, const std::string& root) {
  const auto isSeparator = [](char c) { return c == '/' || c == '\\'; };
  if (path.compare(0, root.size(), root) != 0) return false;
  if (!root.empty() && isSeparator(root.back())) return true;
  return path.size() > root.size() && isSeparator(path[root.size()]);
}

}  // namespace

std::string SaveLibraryIndex(const std::vector<LibraryEntry>& entries) {
  std::string out(kIndexMagic, sizeof kIndexMagic);
  PutU32(&out, kIndexVersion);
  PutU32(&out, uint32_t(entries.size()));
  for (const LibraryEntry& entry : entries) PutEntry(&out, entry);
  PutU32(&out, Crc32(reinterpret_cast<const uint8_t*>(out.data()), out.size()));
  return out;
}

bool LoadLibraryIndex(const uint8_t* bytes, size_t size, std::vector<LibraryEntry>* entries) {
  entries->clear();
  if (size < kIndexHeaderSize + kChecksumSize ||
      memcmp(bytes, kIndexMagic, sizeof kIndexMagic) != 0 ||
      LittleU32(bytes + sizeof kIndexMagic) != kIndexVersion) {
    return false;
  }
  const size_t checked = size - kChecksumSize;
  if (Crc32(bytes, checked) != LittleU32(bytes + checked)) return false;
  const uint32_t count = LittleU32(bytes + sizeof kIndexMagic + 4);
  IndexCursor cursor = {bytes + kIndexHeaderSize, checked - kIndexHeaderSize};
  if (count > cursor.left / kSmallestEntrySize) return false;
  std::vector<LibraryEntry> read(count);
  for (LibraryEntry& entry : read) {
    if (!TakeEntry(&cursor, &entry)) return false;
  }
  if (cursor.left != 0) return false;
  *entries = std::move(read);
  return true;
}

LibraryPlan PlanLibrary(std::vector<LibraryEntry> indexed, const std::string& root,
                        const std::vector<FoundDemo>& listed) {
  LibraryPlan plan;
  // The entries under root by path; the first of any two with one path.
  std::unordered_map<std::string_view, size_t> underRoot;
  underRoot.reserve(indexed.size());
  for (size_t i = 0; i < indexed.size(); ++i) {
    if (IsUnder(indexed[i].file.path, root)) {
      underRoot.emplace(indexed[i].file.path, i);
    } else {
      plan.elsewhere.push_back(std::move(indexed[i]));
    }
  }
  for (const FoundDemo& file : listed) {
    const auto found = underRoot.find(file.path);
    if (found == underRoot.end()) {
      plan.toRead.push_back(file);
      continue;
    }
    LibraryEntry& entry = indexed[found->second];
    // Taken once: a path listed twice is read the second time.
    underRoot.erase(found);
    if (entry.file.size == file.size && entry.file.modified == file.modified) {
      plan.unchanged.push_back(std::move(entry));
    } else {
      plan.toRead.push_back(file);
    }
  }
  return plan;
}
