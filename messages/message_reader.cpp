#include "messages/message_reader.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "common/little_endian.h"
#include "common/text_format.h"
#include "common/utf8_text.h"
#include "messages/bit_reader.h"
#include "messages/delta_codec.h"

namespace {

// Where a network-message frame of demo protocol 5 keeps its parts, counted
// from the frame's start: after the 9-byte frame header the 436-byte client
// state, seven sequence numbers (the incoming one first), the block's length
// and the block.
constexpr size_t kSequenceAt = 9 + 436;
constexpr size_t kBlockLengthAt = kSequenceAt + 28;
constexpr size_t kBlockAt = kBlockLengthAt + 4;
constexpr size_t kCommandAt = 9;
constexpr size_t kCommandSize = 64;
constexpr uint8_t kNextSectionFrame = 5;

constexpr int kFirstUserMessage = 64;
constexpr unsigned kEntityNumbers = 2048;  // 11 bits
constexpr size_t kSetWords = kEntityNumbers / 64;
constexpr size_t kSequences = 256;  // updates name their base by the low byte

// Names longer than this are no player's: the game cuts them at 32.
constexpr size_t kLongestKeptName = 255;
// Kills, chat lines, commands and players are kept up to this many bytes of
// text and bookkeeping (a list's room to grow included), so that no demo can
// take more memory than a few times this.
constexpr size_t kKeptBudget = 8 * 1024 * 1024;
constexpr size_t kEntryCost = 160;
// Blocks that cannot be read are told one by one up to this many.
constexpr size_t kMostProblemsTold = 1000;

// The delta tables that entities, client data and events are read with.
enum Table {
  kEventTable,
  kWeaponTable,
  kCustomTable,
  kPlayerTable,
  kEntityTable,
  kClientTable,
  kTableCount
};
const char* const kTableNames[kTableCount] = {
    "event_t",        "weapon_data_t", "custom_entity_state_t", "entity_state_player_t",
    "entity_state_t", "clientdata_t"};

// A field as a walk needs it: how many bits its value takes, or a string.
struct DeltaField {
  uint16_t bits;
  bool isString;
};

// A delta marks its fields in up to 7 bytes of mask. For each byte of the
// mask, the bits that its marked fields take, found by the byte's value, so
// that a walk steps over them at once where none of them is a string.
constexpr size_t kMaskBytes = 7;
struct DeltaTable {
  bool described = false;
  std::vector<DeltaField> fields;
  uint16_t markedBits[kMaskBytes][256];
  uint8_t stringFields[kMaskBytes];
};

// Each sum from one with a field fewer: a cost of 256 a byte of mask that
// the table can use, whatever it holds.
void SumMarkedBits(DeltaTable* table) {
  const size_t fields = table->fields.size();
  for (size_t group = 0; group < kMaskBytes && group * 8 < fields; ++group) {
    table->stringFields[group] = 0;
    table->markedBits[group][0] = 0;
    for (unsigned mask = 1; mask < 256; ++mask) {
      const unsigned lowest = static_cast<unsigned>(__builtin_ctz(mask));
      const size_t field = group * 8 + lowest;
      const bool counted = field < fields && !table->fields[field].isString;
      table->markedBits[group][mask] = static_cast<uint16_t>(
          table->markedBits[group][mask & (mask - 1)] + (counted ? table->fields[field].bits : 0));
      if (mask == (1u << lowest) && field < fields && table->fields[field].isString) {
        table->stringFields[group] |= static_cast<uint8_t>(mask);
      }
    }
  }
}

enum class UserKind : uint8_t { kOther, kDeathMsg, kSayText };

struct UserMessage {
  bool registered = false;
  uint8_t size = 0;  // 255: a length byte comes first
  UserKind kind = UserKind::kOther;
};
constexpr uint8_t kVariableSize = 255;
// Besides a body's size, what the block's quick walk knows of a message by
// its id: a user message read as its length byte says, or one to read whole.
constexpr int16_t kSkipVariable = -2;
constexpr int16_t kNotSkipped = -1;

// Each engine message by its id: its name, and the size of its body where
// the id fixes it (-1 where the body tells its size).
struct EngineMessage {
  const char* name;
  int8_t fixedBody;
};
// clang-format off
const EngineMessage kEngineMessages[kFirstUserMessage] = {
    {"svc_bad", -1}, {"svc_nop", 0}, {"svc_disconnect", -1}, {"svc_event", -1}, {"svc_version", 4},
    {"svc_setview", 2}, {"svc_sound", -1}, {"svc_time", 4}, {"svc_print", -1},
    {"svc_stufftext", -1}, {"svc_setangle", 6}, {"svc_serverinfo", -1}, {"svc_lightstyle", -1},
    {"svc_updateuserinfo", -1}, {"svc_deltadescription", -1}, {"svc_clientdata", -1},
    {"svc_stopsound", 2}, {"svc_pings", -1}, {"svc_particle", 11}, {"svc_damage", 0},
    {"svc_spawnstatic", -1}, {"svc_event_reliable", -1}, {"svc_spawnbaseline", -1},
    {"svc_temp_entity", -1}, {"svc_setpause", 1}, {"svc_signonnum", 1}, {"svc_centerprint", -1},
    {"svc_killedmonster", 0}, {"svc_foundsecret", 0}, {"svc_spawnstaticsound", 14},
    {"svc_intermission", 0}, {"svc_finale", -1}, {"svc_cdtrack", 2}, {"svc_restore", -1},
    {"svc_cutscene", -1}, {"svc_weaponanim", 2}, {"svc_decalname", -1}, {"svc_roomtype", 2},
    {"svc_addangle", 2}, {"svc_newusermsg", -1}, {"svc_packetentities", -1},
    {"svc_deltapacketentities", -1}, {"svc_choke", 0}, {"svc_resourcelist", -1},
    {"svc_newmovevars", -1}, {"svc_resourcerequest", 8}, {"svc_customization", -1},
    {"svc_crosshairangle", 2}, {"svc_soundfade", 4}, {"svc_filetxferfailed", -1}, {"svc_hltv", -1},
    {"svc_director", -1}, {"svc_voiceinit", -1}, {"svc_voicedata", -1}, {"svc_sendextrainfo", -1},
    {"svc_timescale", 4}, {"svc_resourcelocation", -1}, {"svc_sendcvarvalue", -1},
    {"svc_sendcvarvalue2", -1}, {"svc_exec", -1}, {"id 60", -1}, {"id 61", -1}, {"id 62", -1},
    {"id 63", -1},
};
// clang-format on

// Temp entities: the bytes after the type byte, by type; 0 for those that
// are not valid, -1 for the two whose size their bytes tell.
constexpr int8_t kTempEntityBodies[128] = {
    24, 20, 6,  11, 6,  10, 12, 17, 16, 6,  6,  6, 8,  -1, 9,  19, 0,  10, 16, 24, 24, 24,
    10, 11, 16, 19, 0,  12, 16, -1, 17, 17, 0,  0, 0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0, 0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0, 0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  2, 10, 14, 12, 14, 9,  5,  17, 13, 24, 9,
    17, 7,  10, 19, 19, 12, 7,  7,  9,  16, 18, 6, 10, 13, 7,  1,  18, 15};
constexpr uint8_t kBspDecal = 13;
constexpr uint8_t kTextMessage = 29;

// A range of frames walked, one after another.
struct FrameRange {
  uint64_t begin, end;
  bool loading;    // a loading segment: its messages count at time 0
  bool findParts;  // no sound directory: the loading and playback parts
};

using EntitySet = uint64_t[kSetWords];

}  // namespace

struct MessageReaderState {
  bool readsMessages = false;
  MessageWatcher watcher;
  const bool* wanted = nullptr;  // by id, where watched
  // The frames.
  std::vector<FrameRange> ranges;
  size_t range = 0;
  uint64_t at = 0;
  enum Part { kLoading, kLoadingClosed, kPlayback } part = kLoading;
  std::vector<uint8_t> carried;  // a frame that the window cut, so far
  // What outlives a frame.
  DeltaTable tables[kTableCount];
  UserMessage userMessages[256];
  int16_t skipSize[256];  // by id: a body to step over, or how it is read
  int maxClients = 0;
  int instancedBaselines = 0;
  bool hltv = false;
  bool deathMsgHeadshot = false;  // the last server info's game adds the byte
  std::string slotNames[256];     // as stored, not yet UTF-8
  std::unordered_set<std::string> playersSeen;
  EntitySet entitySets[kSequences];  // each only where it is known
  int entityCounts[kSequences] = {};
  bool entitySetKnown[kSequences] = {};
  // The plain search for names in demos whose messages are not read.
  uint64_t searchedTo = 0;
  size_t matched = 0;
  bool inName = false;
  std::string name;
  // Findings.
  DemoMessages found;
  size_t kept = 0;
  bool anyBlockLost = false;
  uint64_t problemsNotTold = 0;
};

namespace {

// The block of one frame being read.
struct Block {
  MessageReaderState* state;
  BitReader in;
  double time;
  uint8_t sequence;
  int id = 0;
  std::string fault;  // why the rest of the block cannot be read
  bool readEntities = false;

  bool Fault(const char* format, ...) PRINTF_FORMAT(2, 3);
};

bool Block::Fault(const char* format, ...) {
  if (fault.empty()) {
    va_list args;
    va_start(args, format);
    fault = FormatTextV(format, args);
    va_end(args);
  }
  return false;
}

const char* MessageName(int id) {
  return id < kFirstUserMessage ? kEngineMessages[id].name : "a user message";
}

// The outcome of a message: read whole, or the first fault found.
bool Checked(Block& b) {
  return !b.in.failed() || b.Fault("%s runs past the end of the block", MessageName(b.id));
}

bool Afford(MessageReaderState* state, size_t bytes) {
  if (state->kept + bytes + kEntryCost > kKeptBudget) {
    ++state->found.notKept;
    return false;
  }
  state->kept += bytes + kEntryCost;
  return true;
}

std::string Trimmed(const char* text, size_t length, const char* blanks) {
  size_t from = 0;
  while (from < length && strchr(blanks, text[from]) != nullptr && text[from] != '\0') ++from;
  while (length > from && strchr(blanks, text[length - 1]) != nullptr && text[length - 1] != '\0') {
    --length;
  }
  return std::string(text + from, length - from);
}

void AddCommand(MessageReaderState* state, double time, const char* text, size_t length,
                bool fromServer) {
  std::string command = TextAsUtf8(Trimmed(text, length, " \t\r\n"));
  if (!Afford(state, command.size())) return;
  state->found.commands.push_back({time, std::move(command), fromServer});
}

void AddPlayer(MessageReaderState* state, const std::string& stored) {
  if (stored.empty()) return;
  std::string name = TextAsUtf8(stored);
  if (state->playersSeen.count(name) != 0 || !Afford(state, 2 * name.size())) return;
  state->playersSeen.insert(name);
  state->found.players.push_back(std::move(name));
}

SlotName NameOfEntity(const MessageReaderState* state, int entity) {
  SlotName slot;
  if (entity <= 0 || state->slotNames[entity - 1].empty()) return slot;
  slot.known = true;
  slot.name = TextAsUtf8(state->slotNames[entity - 1]);
  return slot;
}

// The value of the key "name" in a user info text of \key\value pairs.
std::string NameInUserInfo(const char* info, size_t length) {
  const char* end = info + length;
  const char* p = info < end && *info == '\\' ? info + 1 : info;
  while (p < end) {
    const char* keyEnd = std::find(p, end, '\\');
    const char* value = keyEnd < end ? keyEnd + 1 : end;
    const char* valueEnd = std::find(value, end, '\\');
    if (keyEnd - p == 4 && memcmp(p, "name", 4) == 0) {
      return std::string(value, std::min<size_t>(valueEnd - value, kLongestKeptName));
    }
    p = valueEnd < end ? valueEnd + 1 : end;
  }
  return std::string();
}

bool IsCounterStrike(const std::string& gameDir) {
  auto same = [&](const char* name) {
    return gameDir.size() == strlen(name) &&
           std::equal(gameDir.begin(), gameDir.end(), name,
                      [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b; });
  };
  return same("cstrike") || same("czero");
}

// One delta of a table: which fields change, then their values, which a walk
// steps over.
bool SkipDelta(Block& b, Table which) {
  const DeltaTable& table = b.state->tables[which];
  if (!table.described) {
    return b.Fault("%s needs the delta table %s, which the demo has not described",
                   MessageName(b.id), kTableNames[which]);
  }
  const unsigned maskBytes = b.in.Bits(3);
  uint64_t mask = 0;
  for (unsigned i = 0; i < maskBytes; ++i) mask |= uint64_t{b.in.Bits(8)} << (8 * i);
  const size_t fields = table.fields.size();
  if (fields < 64 && (mask >> fields) != 0) {
    return b.Fault("%s marks field %d of %s, which has %zu", MessageName(b.id),
                   63 - __builtin_clzll(mask), kTableNames[which], fields);
  }
  for (unsigned group = 0; group < maskBytes && !b.in.failed(); ++group) {
    // Only the bytes of mask that hold fields of the table have their sums.
    const unsigned marked = (mask >> (8 * group)) & 0xFF;
    if (marked == 0) continue;
    if ((marked & table.stringFields[group]) == 0) {
      b.in.SkipBits(table.markedBits[group][marked]);
      continue;
    }
    // In the table's order: a string's length is found only by reading it.
    for (unsigned left = marked; left != 0 && !b.in.failed(); left &= left - 1) {
      const DeltaField& field =
          table.fields[group * 8 + static_cast<unsigned>(__builtin_ctz(left))];
      if (field.isString) {
        b.in.SkipBitString();
      } else {
        b.in.SkipBits(field.bits);
      }
    }
  }
  return Checked(b);
}

// svc_deltadescription: a table described with the engine's own fixed
// description of a field; the walk keeps each field's size.
bool ReadDeltaDescription(Block& b) {
  DeltaDescription described;
  DeltaFields last;
  switch (DecodeDeltaDescription(b.in, &described, &last, false)) {
    case DeltaRead::kRead: break;
    case DeltaRead::kFieldPastTable:
      return b.Fault("svc_deltadescription marks field %d of a field's description, which has 7",
                     63 - __builtin_clzll(last.mask));
    default: return Checked(b);
  }
  DeltaTable table;
  table.described = true;
  for (const DeltaFieldDescription& field : described.fields) {
    table.fields.push_back({static_cast<uint16_t>(DeltaValueBits(field)), IsDeltaString(field)});
  }
  for (int which = 0; which < kTableCount; ++which) {
    if (described.name == kTableNames[which]) {
      SumMarkedBits(&table);
      b.state->tables[which] = std::move(table);
    }
  }
  return true;
}

Table EntityTable(const MessageReaderState* state, int number, bool custom) {
  if (custom) return kCustomTable;
  return number >= 1 && number <= state->maxClients ? kPlayerTable : kEntityTable;
}

bool ReadSpawnBaseline(Block& b) {
  while (!b.in.failed() && b.in.PeekBits(16) != 0xFFFF) {
    const int number = static_cast<int>(b.in.Bits(11));
    const bool custom = (b.in.Bits(2) & 1) == 0;
    if (!SkipDelta(b, EntityTable(b.state, number, custom))) return false;
  }
  b.in.SkipBits(16);
  const int instanced = static_cast<int>(b.in.Bits(6));
  for (int i = 0; i < instanced && !b.in.failed(); ++i) {
    if (!SkipDelta(b, kEntityTable)) return false;
  }
  if (!b.in.failed()) b.state->instancedBaselines = instanced;
  return Checked(b);
}

// svc_packetentities (full) and svc_deltapacketentities: entity headers and
// deltas up to 16 zero bits. The entities of the update are kept by its
// sequence, and its count checked against them where its base is known.
bool ReadPacketEntities(Block& b, bool full) {
  MessageReaderState* state = b.state;
  const int count = static_cast<uint16_t>(b.in.Short());
  const uint8_t base = full ? 0 : b.in.Byte();
  // The game sends one update a frame; the entities of any other are not
  // kept, which would cost more than its bytes.
  const bool keep = !b.readEntities;
  const bool baseKnown = keep && (full || state->entitySetKnown[base]);
  EntitySet entities;
  int made = 0;
  if (keep) {
    if (!full && baseKnown) {
      memcpy(entities, state->entitySets[base], sizeof entities);
      made = state->entityCounts[base];
    } else {
      memset(entities, 0, sizeof entities);
    }
  }
  int number = 0;
  while (!b.in.failed() && b.in.PeekBits(16) != 0) {
    bool removed = false;
    if (full && b.in.Bit()) {
      ++number;
    } else {
      if (!full) removed = b.in.Bit();
      number =
          b.in.Bit() ? static_cast<int>(b.in.Bits(11)) : number + static_cast<int>(b.in.Bits(6));
    }
    const unsigned slot = static_cast<unsigned>(number) % kEntityNumbers;
    const uint64_t bit = uint64_t{1} << (slot % 64);
    if (keep) {
      uint64_t& word = entities[slot / 64];
      const bool had = (word & bit) != 0;
      made += removed ? -int{had} : int{!had};
      word = removed ? word & ~bit : word | bit;
    }
    if (removed) continue;
    const bool custom = b.in.Bit();
    const bool instanced = state->instancedBaselines > 0 && b.in.Bit();
    if (instanced) b.in.SkipBits(6);
    if (full && !instanced && b.in.Bit()) b.in.SkipBits(6);
    if (!SkipDelta(b, EntityTable(state, number, custom))) return false;
  }
  b.in.SkipBits(16);
  if (!Checked(b)) return false;
  if (!keep) return true;
  b.readEntities = true;
  state->entitySetKnown[b.sequence] = baseKnown;
  if (!baseKnown) return true;
  if (made != count) {
    state->entitySetKnown[b.sequence] = false;
    return b.Fault("%s counts %d entities where its base and changes make %d", MessageName(b.id),
                   count, made);
  }
  memcpy(state->entitySets[b.sequence], entities, sizeof entities);
  state->entityCounts[b.sequence] = made;
  return true;
}

bool ReadClientData(Block& b) {
  if (b.state->hltv) return true;  // a proxy is sent none
  if (b.in.Bit()) b.in.SkipBits(8);
  if (!SkipDelta(b, kClientTable)) return false;
  while (!b.in.failed() && b.in.Bit()) {
    b.in.SkipBits(6);
    if (!SkipDelta(b, kWeaponTable)) return false;
  }
  return Checked(b);
}

bool ReadEvents(Block& b) {
  const unsigned count = b.in.Bits(5);
  for (unsigned i = 0; i < count && !b.in.failed(); ++i) {
    b.in.SkipBits(10);
    if (b.in.Bit()) {
      b.in.SkipBits(11);
      if (b.in.Bit() && !SkipDelta(b, kEventTable)) return false;
    }
    if (b.in.Bit()) b.in.SkipBits(16);
  }
  return Checked(b);
}

bool ReadReliableEvent(Block& b) {
  b.in.SkipBits(10);
  if (!SkipDelta(b, kEventTable)) return false;
  if (b.in.Bit()) b.in.SkipBits(16);
  return Checked(b);
}

bool ReadSound(Block& b) {
  const uint32_t flags = b.in.Bits(9);
  b.in.SkipBits((flags & 1 ? 8 : 0) + (flags & 2 ? 8 : 0) + 3 + 11 + (flags & 4 ? 16 : 8));
  b.in.SkipBitVector();
  if (flags & 8) b.in.SkipBits(8);
  return Checked(b);
}

bool ReadPings(Block& b) {
  while (!b.in.failed() && b.in.Bit()) b.in.SkipBits(24);
  return Checked(b);
}

bool ReadResourceList(Block& b) {
  const unsigned count = b.in.Bits(12);
  for (unsigned i = 0; i < count && !b.in.failed(); ++i) {
    b.in.SkipBits(4);
    b.in.SkipBitString();
    b.in.SkipBits(12 + 24);
    if (b.in.Bits(3) & 4) b.in.SkipBits(128);
    if (b.in.Bit()) b.in.SkipBits(256);
  }
  if (b.in.Bit()) {
    while (!b.in.failed() && b.in.Bit()) b.in.SkipBits(b.in.Bit() ? 5 : 10);
  }
  return Checked(b);
}

bool ReadTempEntity(Block& b) {
  const uint8_t type = b.in.Byte();
  const int size = type < 128 ? kTempEntityBodies[type] : 0;
  if (size == 0 && !b.in.failed()) {
    return b.Fault("svc_temp_entity of unknown type %d", type);
  }
  if (type == kBspDecal) {
    b.in.SkipBytes(8);
    if (b.in.Short() != 0) b.in.SkipBytes(2);
  } else if (type == kTextMessage) {
    b.in.SkipBytes(5);
    const uint8_t effect = b.in.Byte();
    b.in.SkipBytes(14 + (effect == 2 ? 2 : 0));
    b.in.SkipString();
  } else {
    b.in.SkipBytes(static_cast<size_t>(size));
  }
  return Checked(b);
}

bool ReadServerInfo(Block& b) {
  MessageReaderState* state = b.state;
  b.in.SkipBytes(4 + 4 + 4 + 16);
  const int maxClients = b.in.Byte();
  const int slot = b.in.Byte();
  b.in.SkipBytes(1);
  size_t length;
  const char* text = b.in.String(&length);
  const std::string gameDir(text, length);
  text = b.in.String(&length);
  const std::string hostName(text, length);
  text = b.in.String(&length);
  const std::string mapFile(text, length);
  b.in.SkipString();  // the server's map cycle
  if (b.in.Byte() != 0) b.in.SkipBytes(b.in.Byte() + 16u);
  if (!Checked(b)) return false;
  state->maxClients = maxClients;
  state->deathMsgHeadshot = IsCounterStrike(gameDir);
  DemoMessages& found = state->found;
  if (!found.hasServer) {
    found.hasServer = true;
    found.server = {TextAsUtf8(hostName), TextAsUtf8(gameDir), TextAsUtf8(mapFile), maxClients};
  }
  std::string map = TextAsUtf8(mapFile);
  if (Afford(state, map.size())) found.maps.push_back(std::move(map));
  found.hasRecorder = true;
  found.recorderSlot = slot;
  return true;
}

bool ReadUserInfo(Block& b) {
  const uint8_t slot = b.in.Byte();
  b.in.SkipBytes(4);
  size_t length;
  const char* info = b.in.String(&length);
  b.in.SkipBytes(16);
  if (!Checked(b)) return false;
  std::string name = NameInUserInfo(info, length);
  AddPlayer(b.state, name);
  b.state->slotNames[slot] = std::move(name);
  return true;
}

// The NUL-terminated texts of a user message's body, the last one possibly
// cut by the body's end.
std::vector<std::string> BodyTexts(const uint8_t* body, size_t size) {
  std::vector<std::string> texts;
  const char* p = reinterpret_cast<const char*>(body);
  const char* end = p + size;
  while (p < end) {
    const char* nul = std::find(p, end, '\0');
    texts.emplace_back(p, nul);
    p = nul < end ? nul + 1 : end;
  }
  return texts;
}

// Chat as players read it: colour codes and other control bytes removed,
// blanks trimmed at both ends.
std::string ChatText(const std::string& text) {
  std::string shown;
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x20) shown += c;
  }
  return TextAsUtf8(Trimmed(shown.data(), shown.size(), " "));
}

void ReadDeathMsg(Block& b, const uint8_t* body, size_t size) {
  MessageReaderState* state = b.state;
  const size_t textAt = state->deathMsgHeadshot ? 3 : 2;
  if (size < textAt) return;
  Kill kill;
  kill.time = b.time;
  kill.killer = NameOfEntity(state, body[0]);
  kill.victim = NameOfEntity(state, body[1]);
  kill.headshot = state->deathMsgHeadshot ? body[2] != 0 : -1;
  const std::vector<std::string> texts = BodyTexts(body + textAt, size - textAt);
  kill.weapon = texts.empty() ? std::string() : TextAsUtf8(texts[0]);
  if (Afford(state, kill.killer.name.size() + kill.victim.name.size() + kill.weapon.size())) {
    state->found.kills.push_back(std::move(kill));
  }
}

// A sender byte and texts S0, S1, ...: S0 is either a token of the game's
// (the line is S2) or a format whose "%s" take S1, S2, ... in turn.
void ReadSayText(Block& b, const uint8_t* body, size_t size) {
  if (size < 1) return;
  ChatLine line;
  line.time = b.time;
  line.sender = NameOfEntity(b.state, body[0]);
  const std::vector<std::string> texts = BodyTexts(body + 1, size - 1);
  if (!texts.empty() && !texts[0].empty() && texts[0][0] == '#') {
    line.hasKind = true;
    line.kind = TextAsUtf8(texts[0].substr(1));
    line.text = ChatText(texts.size() > 2 ? texts[2] : std::string());
  } else if (!texts.empty()) {
    std::string text;
    size_t next = 1;
    const std::string& format = texts[0];
    for (size_t i = 0; i < format.size(); ++i) {
      if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
        if (next < texts.size()) text += texts[next];
        ++next;
        ++i;
      } else {
        text += format[i];
      }
    }
    line.text = ChatText(text);
  }
  if (Afford(b.state, line.sender.name.size() + line.kind.size() + line.text.size())) {
    b.state->found.chat.push_back(std::move(line));
  }
}

bool ReadUserMessage(Block& b) {
  const UserMessage& message = b.state->userMessages[b.id];
  if (!message.registered) return b.Fault("user message %d was never registered", b.id);
  const size_t size = message.size == kVariableSize ? b.in.Byte() : message.size;
  const uint8_t* body = b.in.Take(size);
  if (body == nullptr) return b.Fault("user message %d runs past the end of the block", b.id);
  if (message.kind == UserKind::kDeathMsg) ReadDeathMsg(b, body, size);
  if (message.kind == UserKind::kSayText) ReadSayText(b, body, size);
  return true;
}

bool ReadNewUserMessage(Block& b) {
  const uint8_t id = b.in.Byte();
  const uint8_t size = b.in.Byte();
  const uint8_t* name = b.in.Take(16);
  if (!Checked(b)) return false;
  const size_t length = std::find(name, name + 16, 0) - name;
  auto is = [&](const char* wanted) {
    return strlen(wanted) == length && memcmp(name, wanted, length) == 0;
  };
  UserMessage& message = b.state->userMessages[id];
  message.registered = true;
  message.size = size;
  message.kind = is("DeathMsg")  ? UserKind::kDeathMsg
                 : is("SayText") ? UserKind::kSayText
                                 : UserKind::kOther;
  if (id >= kFirstUserMessage) {
    b.state->skipSize[id] = message.kind != UserKind::kOther ? kNotSkipped
                            : size == kVariableSize          ? kSkipVariable
                                                             : size;
  }
  return true;
}

bool ReadMessage(Block& b) {
  BitReader& in = b.in;
  const int id = b.id;
  if (id >= kFirstUserMessage) return ReadUserMessage(b);
  const int fixed = kEngineMessages[id].fixedBody;
  if (fixed >= 0) {
    in.SkipBytes(static_cast<size_t>(fixed));
    return Checked(b);
  }
  // Each body as the server writes it; the engine message table names the ids.
  switch (id) {
    case 2:  // disconnect, print, centerprint, finale, cutscene, filetxferfailed,
    case 8:  // resourcelocation, sendcvarvalue: a string
    case 26:
    case 31:
    case 34:
    case 49:
    case 56:
    case 57: in.SkipString(); break;
    case 3: return ReadEvents(b);
    case 6: return ReadSound(b);
    case 9: {  // stufftext: console commands
      size_t length;
      const char* text = in.String(&length);
      if (!Checked(b)) return false;
      AddCommand(b.state, b.time, text, length, true);
      return true;
    }
    case 11: return ReadServerInfo(b);
    case 12:  // lightstyle, decalname: an index and a string
    case 36:
      in.SkipBytes(1);
      in.SkipString();
      break;
    case 13: return ReadUserInfo(b);
    case 14: return ReadDeltaDescription(b);
    case 15: return ReadClientData(b);
    case 17: return ReadPings(b);
    case 20:  // spawnstatic: 5 more bytes where it has a render mode
      in.SkipBytes(16);
      if (in.Byte() != 0) in.SkipBytes(5);
      break;
    case 21: return ReadReliableEvent(b);
    case 22: return ReadSpawnBaseline(b);
    case 23: return ReadTempEntity(b);
    case 33: {  // restore: a string and a counted list of them
      in.SkipString();
      const int count = in.Byte();
      for (int i = 0; i < count && !in.failed(); ++i) in.SkipString();
      break;
    }
    case 39: return ReadNewUserMessage(b);
    case 40: return ReadPacketEntities(b, true);
    case 41: return ReadPacketEntities(b, false);
    case 43: return ReadResourceList(b);
    case 44:  // newmovevars: 24 numbers, the footsteps byte and the sky's name
      in.SkipBytes(97);
      in.SkipString();
      break;
    case 46: {  // customization: its hash where its flags say
      in.SkipBytes(2);
      in.SkipString();
      in.SkipBytes(6);
      if (in.Byte() & 4) in.SkipBytes(16);
      break;
    }
    case 50: {  // hltv: 0 says the recording client is a proxy
      const uint8_t command = in.Byte();
      if (command == 0 && !in.failed()) b.state->hltv = true;
      if (command == 1) in.SkipBytes(10);
      break;
    }
    case 51: in.SkipBytes(in.Byte()); break;  // director: a counted body
    case 52:                                  // voiceinit, sendextrainfo: a string and a byte
    case 54:
      in.SkipString();
      in.SkipBytes(1);
      break;
    case 53: {  // voicedata: a slot and a counted body
      in.SkipBytes(1);
      in.SkipBytes(static_cast<uint16_t>(in.Short()));
      break;
    }
    case 58:  // sendcvarvalue2: a request id and a string
      in.SkipBytes(4);
      in.SkipString();
      break;
    case 59:  // exec
      if (in.Byte() != 0) in.SkipBytes(1);
      break;
    default: return b.Fault("%s is not a message of network protocol 48", MessageName(id));
  }
  return Checked(b);
}

// Watched or not, each its own code: a call in the loop would slow the
// stepping over of messages even when never made. A watched block reads
// through the messages its watcher wants and shows them. False where the
// block was not read to its end.
template <bool kWatched>
bool ReadBlock(MessageReaderState* state, const uint8_t* frame, size_t frameSize, double time,
               uint64_t frameOffset, bool loading) {
  const uint8_t* bytes = frame + kBlockAt;
  const size_t size = frameSize - kBlockAt;
  const uint8_t sequence = frame[kSequenceAt];
  Block b = {state, BitReader(bytes, size), time, sequence, 0, std::string(), false};
  size_t at = 0;
  for (int index = 1;; ++index) {
    // Most messages need nothing but stepping over: runs of them cost a
    // lookup each, however short they are.
    for (;; ++index) {
      int skip = at < size ? state->skipSize[bytes[at]] : kNotSkipped;
      if (kWatched && at < size && state->wanted[bytes[at]]) skip = kNotSkipped;
      // Where the body is empty the next message's place does not wait for
      // this one's id: the processor runs ahead.
      if (skip == 0) {
        ++at;
        continue;
      }
      const size_t next = skip >= 0 ? at + 1 + static_cast<size_t>(skip)
                          : skip == kSkipVariable && at + 1 < size ? at + 2 + bytes[at + 1]
                                                                   : SIZE_MAX;
      if (next > size) break;  // what the message is, or why it does not fit, is read below
      at = next;
    }
    if (at >= size) return true;
    b.in.MoveToByte(at);
    b.id = b.in.Byte();
    if (!ReadMessage(b)) {
      state->anyBlockLost = true;
      // An update that this block may have held is lost: its sequence
      // names no known entities.
      if (!b.readEntities) state->entitySetKnown[sequence] = false;
      if (state->found.problems.size() >= kMostProblemsTold) {
        ++state->problemsNotTold;
        return false;
      }
      state->found.problems.push_back(
          FormatText("The frame at byte %llu: message %d of its block, %s; the rest of the block "
                     "was not read.",
                     static_cast<unsigned long long>(frameOffset), index, b.fault.c_str()));
      return false;
    }
    if (kWatched && state->wanted[b.id]) {
      state->watcher.seen(
          state->watcher.context,
          {bytes + at, b.in.BytePosition() - at, size - at, sequence, state->maxClients,
           state->instancedBaselines, state->hltv, frame, frameOffset, loading});
    }
    at = b.in.BytePosition();
  }
}

void ReadFrame(MessageReaderState* state, const FrameRange& range, const uint8_t* frame,
               size_t size) {
  const uint8_t type = frame[0];
  const bool loading =
      range.loading || (range.findParts && state->part != MessageReaderState::kPlayback);
  const double time = loading ? 0.0 : LoadLeFloat(frame + 1);
  const MessageWatcher& watcher = state->watcher;
  if (watcher.frameWalked != nullptr) {
    watcher.frameWalked(watcher.context, {frame, size, state->at, loading, true});
  }
  if (type == 0 || type == 1) {
    if (watcher.seen == nullptr) {
      ReadBlock<false>(state, frame, size, time, state->at, loading);
    } else {
      const bool whole = ReadBlock<true>(state, frame, size, time, state->at, loading);
      if (watcher.frameRead != nullptr) {
        watcher.frameRead(watcher.context, {frame, size, state->at, loading, whole});
      }
    }
  } else if (type == 3) {
    const char* text = reinterpret_cast<const char*>(frame + kCommandAt);
    AddCommand(state, time, text, strnlen(text, kCommandSize), false);
  }
}

// Without a sound directory the walk follows the loading part through its
// run of next-section frames and the playback part to its own; true when the
// frame just read ended the playback part.
bool EndsParts(MessageReaderState* state, uint8_t type) {
  const bool nextSection = type == kNextSectionFrame;
  switch (state->part) {
    case MessageReaderState::kLoading:
      if (nextSection) state->part = MessageReaderState::kLoadingClosed;
      return false;
    case MessageReaderState::kLoadingClosed:
      if (!nextSection) state->part = MessageReaderState::kPlayback;
      return false;
    case MessageReaderState::kPlayback: return nextSection;
  }
  return false;
}

void EndRange(MessageReaderState* state) {
  state->carried.clear();
  if (++state->range < state->ranges.size()) state->at = state->ranges[state->range].begin;
}

void ReadFrames(MessageReaderState* state, const uint8_t* window, size_t size, uint64_t offset) {
  const uint64_t windowEnd = offset + size;
  while (state->range < state->ranges.size()) {
    const FrameRange& range = state->ranges[state->range];
    std::vector<uint8_t>& carried = state->carried;
    const uint8_t* frame;
    size_t have;
    if (carried.empty()) {
      if (state->at >= range.end) {
        EndRange(state);
        continue;
      }
      if (state->at >= windowEnd || state->at < offset) return;
      frame = window + (state->at - offset);
      have = static_cast<size_t>(std::min(windowEnd, range.end) - state->at);
    } else {
      frame = carried.data();
      have = carried.size();
    }
    const uint64_t need = FrameSize(5, frame, have);
    if (need == 0 || need > range.end - state->at) {
      EndRange(state);
      continue;
    }
    if (need > have) {
      // The frame goes on in the windows to come: it is gathered here.
      const uint64_t from = state->at + have;
      if (from >= windowEnd || from < offset) {
        if (carried.empty()) carried.assign(frame, frame + have);
        return;
      }
      const size_t taken = static_cast<size_t>(std::min<uint64_t>(need - have, windowEnd - from));
      if (carried.empty()) carried.assign(frame, frame + have);
      carried.insert(carried.end(), window + (from - offset), window + (from - offset) + taken);
      continue;
    }
    const bool ended = range.findParts && EndsParts(state, frame[0]);
    ReadFrame(state, range, frame, static_cast<size_t>(need));
    state->at += need;
    carried.clear();
    if (ended) EndRange(state);
  }
}

// The plain search: "\name\", then the name up to the next "\" or NUL.
void SearchNames(MessageReaderState* state, const uint8_t* window, size_t size, uint64_t offset) {
  static const char kKey[] = "\\name\\";
  const uint64_t from = std::max(state->searchedTo, offset);
  for (uint64_t at = from; at < offset + size; ++at) {
    const char c = static_cast<char>(window[at - offset]);
    if (state->inName) {
      if (c == '\\' || c == '\0') {
        AddPlayer(state, state->name);
        state->inName = false;
        state->name.clear();
        state->matched = c == '\\' ? 1 : 0;
      } else if (state->name.size() < kLongestKeptName) {
        state->name += c;
      }
      continue;
    }
    if (c == kKey[state->matched]) {
      if (++state->matched == sizeof kKey - 1) {
        state->inName = true;
        state->matched = 0;
      }
    } else {
      state->matched = c == '\\' ? 1 : 0;
    }
  }
  state->searchedTo = std::max(from, offset + size);
}

}  // namespace

MessageReader::MessageReader() = default;
MessageReader::~MessageReader() = default;

void StartMessageReader(MessageReader* reader, const DemoStructure& found, ReadDemoAt readAt,
                        void* source) {
  reader->state.reset(new MessageReaderState);
  MessageReaderState* state = reader->state.get();
  state->watcher = reader->watcher;
  static const std::array<bool, 256> kAll = [] {
    std::array<bool, 256> all;
    all.fill(true);
    return all;
  }();
  state->wanted = reader->watcher.wanted != nullptr ? reader->watcher.wanted : kAll.data();
  for (int id = 0; id < 256; ++id) {
    state->skipSize[id] = id < kFirstUserMessage ? kEngineMessages[id].fixedBody : kNotSkipped;
  }
  uint8_t header[kDemoHeaderSize] = {};
  readAt(source, 0, header, sizeof header);
  const int32_t networkProtocol = LoadLeInt32(header + 12);
  const char* gameDir = reinterpret_cast<const char*>(header + 276);
  state->deathMsgHeadshot = IsCounterStrike(std::string(gameDir, strnlen(gameDir, 264)));
  state->readsMessages =
      found.demoProtocol == 5 && (networkProtocol == 47 || networkProtocol == 48);
  if (!state->readsMessages) return;
  state->found.read = MessagesRead::kAll;
  if (found.segments.empty()) {
    state->ranges.push_back({kDemoHeaderSize, found.fileSize, false, true});
  } else {
    // In the file's order, each frame once: a segment that overlaps one
    // before it is left to the structure's problems.
    for (const DemoSegment& segment : found.segments) {
      const uint64_t begin = segment.offset;
      state->ranges.push_back({begin, begin + segment.length, segment.type == 0, false});
    }
    std::stable_sort(state->ranges.begin(), state->ranges.end(),
                     [](const FrameRange& a, const FrameRange& b) { return a.begin < b.begin; });
    uint64_t end = 0;
    std::vector<FrameRange> kept;
    for (const FrameRange& range : state->ranges) {
      if (range.begin < end) continue;
      kept.push_back(range);
      end = range.end;
    }
    state->ranges.swap(kept);
  }
  state->at = state->ranges.front().begin;
}

void ReadMessagesPiece(MessageReader* reader, const uint8_t* window, size_t size, uint64_t offset) {
  MessageReaderState* state = reader->state.get();
  if (state->readsMessages) {
    ReadFrames(state, window, size, offset);
  } else {
    SearchNames(state, window, size, offset);
  }
}

DemoMessages MessageReaderResult(MessageReader* reader) {
  MessageReaderState* state = reader->state.get();
  if (state == nullptr) return DemoMessages();
  DemoMessages found = std::move(state->found);
  if (found.hasRecorder) found.recorderName = NameOfEntity(state, found.recorderSlot + 1);
  if (state->readsMessages) {
    found.read = state->anyBlockLost ? MessagesRead::kNotAll : MessagesRead::kAll;
  }
  if (state->problemsNotTold > 0) {
    found.problems.push_back(std::to_string(state->problemsNotTold) +
                             " more blocks could not be read to their end.");
  }
  return found;
}

WindowReader MessageWindowReader(MessageReader* reader) {
  WindowReader also;
  also.start = [](void* to, const DemoStructure& found, ReadDemoAt readAt, void* source) {
    StartMessageReader(static_cast<MessageReader*>(to), found, readAt, source);
  };
  also.read = [](void* to, const uint8_t* window, size_t size, uint64_t offset) {
    ReadMessagesPiece(static_cast<MessageReader*>(to), window, size, offset);
  };
  also.reader = reader;
  return also;
}
