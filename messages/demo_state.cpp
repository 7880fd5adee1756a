#include "messages/demo_state.h"
#include "messages/server_message_ids.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/little_endian.h"
#include "common/text_format.h"
#include "demo/demo_summary.h"

namespace {

// In a network frame, counted from its type byte: the incoming sequence,
// first of the seven numbers after the 9-byte header and the client state.
constexpr size_t kSequenceAt = 9 + 436;
constexpr int kFirstUserMessage = 64;
constexpr uint8_t kVariableSize = 255;
// A delta from this many frames back or more is dropped by the game: the
// ring cannot tell its base from a later frame's.
constexpr uint32_t kTooOld = kRingFrames - 1;

const char* const kTableNames[kStateTableCount] = {"custom_entity_state_t", "entity_state_player_t",
                                                   "entity_state_t", "clientdata_t",
                                                   "weapon_data_t"};

StateTable EntityTableOf(const DemoState& state, int number, bool custom) {
  if (custom) return kCustomEntityTable;
  return number >= 1 && number <= state.maxClients ? kPlayerTable : kEntityTable;
}

bool SameEncoding(const DeltaFieldDescription& a, const DeltaFieldDescription& b) {
  return a.type == b.type && a.bits == b.bits && a.preMultiplier == b.preMultiplier &&
         a.postMultiplier == b.postMultiplier;
}

// A record read with another table of the same structure (entity_state_t
// for all three entity tables): each field taken by its place in the
// structure, through the number it stands for where the two send it
// otherwise.
StateRecord Converted(const StateRecord& base, const DemoState& state, StateTable fromTable,
                      StateTable toTable) {
  const DeltaDescription& from = state.tables[fromTable];
  const DeltaDescription& to = state.tables[toTable];
  const uint64_t fromWindows = state.timeWindowFields[fromTable];
  const uint64_t toWindows = state.timeWindowFields[toTable];
  StateRecord record;
  for (size_t j = 0; j < to.fields.size() && j < kMostSentFields; ++j) {
    const DeltaFieldDescription& field = to.fields[j];
    for (size_t i = 0; i < from.fields.size() && i < kMostSentFields; ++i) {
      const DeltaFieldDescription& was = from.fields[i];
      if (was.offset != field.offset || IsDeltaString(was) != IsDeltaString(field)) continue;
      const float clock = base.Clock(fromWindows, i);
      record.SetClock(toWindows, j, clock);
      if (IsDeltaString(field)) {
        if (!base.values.Text(i).empty()) record.values.TextToSet(j) = base.values.Text(i);
      } else if (SameEncoding(was, field)) {
        record.values.bits[j] = base.values.bits[i];
      } else {
        const double number = DeltaNumber(was, base.values.bits[i], clock);
        record.values.bits[j] = DeltaBitsOf(field, number, clock);
      }
      break;
    }
  }
  return record;
}

// Records are made and dropped by the thousand a second (a proxy's demo
// changes most entities every frame): each thread keeps the blocks they
// leave in a free list of its own, as many as were ever held at once, rather
// than handing them back to the heap one by one.
struct FreeBlocks {
  void* first = nullptr;
  ~FreeBlocks() {
    while (first != nullptr) {
      void* next = *static_cast<void**>(first);
      ::operator delete(first);
      first = next;
    }
  }
};

template <size_t kSize>
FreeBlocks& FreeBlocksOfSize() {
  thread_local FreeBlocks blocks;
  return blocks;
}

template <typename T>
struct PooledAllocator {
  using value_type = T;
  PooledAllocator() = default;
  template <typename U>
  explicit PooledAllocator(const PooledAllocator<U>&) {}
  T* allocate(size_t count) {
    static_assert(sizeof(T) >= sizeof(void*) && alignof(T) <= alignof(std::max_align_t));
    FreeBlocks& free = FreeBlocksOfSize<sizeof(T)>();
    if (count != 1 || free.first == nullptr)
      return static_cast<T*>(::operator new(count * sizeof(T)));
    void* block = free.first;
    free.first = *static_cast<void**>(block);
    return static_cast<T*>(block);
  }
  void deallocate(T* block, size_t count) {
    if (count != 1) return ::operator delete(block);
    FreeBlocks& free = FreeBlocksOfSize<sizeof(T)>();
    *reinterpret_cast<void**>(block) = free.first;
    free.first = block;
  }
  template <typename U>
  bool operator==(const PooledAllocator<U>&) const {
    return true;
  }
  template <typename U>
  bool operator!=(const PooledAllocator<U>&) const {
    return false;
  }
};

// Records and the client data that holds them.
template <typename T, typename... Values>
std::shared_ptr<T> MakeShared(Values&&... values) {
  return std::allocate_shared<T>(PooledAllocator<T>(), std::forward<Values>(values)...);
}

// One delta of table onto base, which was read with baseTable (none: from
// zeros); none where it does not decode.
SharedRecord DecodeRecord(BitReader& in, DemoStateReader* reader, StateTable table,
                          const StateRecord* base, StateTable baseTable) {
  const DemoState& state = reader->state;
  const DeltaDescription& description = state.tables[table];
  if (description.name.empty()) return nullptr;
  std::shared_ptr<StateRecord> record;
  if (base == nullptr) {
    record = MakeShared<StateRecord>();
  } else if (baseTable == table) {
    record = MakeShared<StateRecord>(*base);
  } else {
    ++reader->counts.tableChanges;
    record = MakeShared<StateRecord>(Converted(*base, state, baseTable, table));
  }
  DeltaFields sent;
  if (DecodeDelta(in, description, state.widths[table], &record->values, &sent) !=
      DeltaRead::kRead) {
    return nullptr;
  }
  // Only a time window's value counts from its clock.
  const uint64_t windows = state.timeWindowFields[table];
  for (uint64_t left = sent.mask & windows; left != 0; left &= left - 1) {
    record->SetClock(windows, static_cast<size_t>(__builtin_ctzll(left)),
                     static_cast<float>(state.clock));
  }
  return record;
}

StateFrame& CurrentSlot(DemoState& state) {
  return state.ring[state.sequence % kRingFrames];
}

// The frame that a delta's from-byte names: the latest sequence with those
// low bits.
uint32_t NamedSequence(const DemoState& state, uint8_t from) {
  return state.sequence - ((state.sequence - from) & 0xFF);
}

// svc_spawnbaseline: entities from zeros, then the instanced baselines.
bool ReadSpawnBaseline(DemoStateReader* reader, BitReader& in) {
  DemoState& state = reader->state;
  while (!in.failed() && in.PeekBits(16) != 0xFFFF) {
    const int number = static_cast<int>(in.Bits(11));
    const bool custom = (in.Bits(2) & 1) == 0;
    const StateTable table = EntityTableOf(state, number, custom);
    SharedRecord record = DecodeRecord(in, reader, table, nullptr, table);
    if (record == nullptr) return false;
    state.baselines[number] = std::move(record);
    state.baselineTables[number] = table;
  }
  in.SkipBits(16);
  std::vector<SharedRecord> instanced(in.Bits(6));
  for (SharedRecord& record : instanced) {
    record = DecodeRecord(in, reader, kEntityTable, nullptr, kEntityTable);
    if (record == nullptr) return false;
  }
  if (in.failed()) return false;
  state.instancedBaselines = std::move(instanced);
  return true;
}

// The entities that an update names start from the entity as its base has
// it, an instanced baseline, an entity of the same full update offset places
// back, or their baseline; those of the base that it does not name are
// copied. False where it cannot be read; true with nothing made where the
// game would drop it.
bool ReadPacketEntities(DemoStateReader* reader, BitReader& in, bool full, int instancedBaselines) {
  DemoState& state = reader->state;
  DemoStateCounts& counts = reader->counts;
  const int count = static_cast<uint16_t>(in.Short());
  const EntityList* base = nullptr;
  if (full) {
    ++counts.fullUpdates;
  } else {
    ++counts.deltaUpdates;
    const uint8_t from = in.Byte();
    const uint32_t back = (state.sequence - from) & 0xFF;
    const StateFrame* named = RingFrame(state, NamedSequence(state, from));
    if (!state.anyFullUpdate) {
      ++counts.deltasBeforeFull;
    } else if (back == 0 || back >= kTooOld) {
      ++counts.tooOldDeltas;
    } else if (named == nullptr || named->entities == nullptr) {
      ++counts.missingBases;
    } else {
      base = named->entities.get();
    }
    if (base == nullptr) return !in.failed();
  }
  static const EntityList kNoEntities;
  const EntityList& old = full ? kNoEntities : *base;
  auto made = std::make_shared<EntityList>();
  made->reserve(std::min(old.size() + static_cast<size_t>(count), size_t{kEntityNumbers}));
  size_t next = 0;  // the first entity of the base not yet copied or named
  int number = 0;
  int lastNamed = -1;
  while (!in.failed() && in.PeekBits(16) != 0) {
    bool removed = false;
    if (full && in.Bit()) {
      ++number;
    } else {
      if (!full) removed = in.Bit();
      number = in.Bit() ? static_cast<int>(in.Bits(11)) : number + static_cast<int>(in.Bits(6));
    }
    // The server names entities in ascending order; the merge relies on it.
    if (number <= lastNamed || number >= kEntityNumbers) return false;
    lastNamed = number;
    while (next < old.size() && old[next].number < number) made->push_back(old[next++]);
    const EntityState* was =
        next < old.size() && old[next].number == number ? &old[next++] : nullptr;
    if (removed) continue;
    const bool custom = in.Bit();
    const int instanced = instancedBaselines > 0 && in.Bit() ? static_cast<int>(in.Bits(6)) : -1;
    const size_t offset = full && instanced < 0 && in.Bit() ? in.Bits(6) : 0;
    const StateTable table = EntityTableOf(state, number, custom);
    const StateRecord* from = state.baselines[number].get();
    StateTable fromTable = state.baselineTables[number];
    if (was != nullptr) {
      from = was->record.get();
      fromTable = was->table;
    } else if (instanced >= 0) {
      if (static_cast<size_t>(instanced) >= state.instancedBaselines.size()) return false;
      from = state.instancedBaselines[instanced].get();
      fromTable = kEntityTable;
    } else if (offset > 0) {
      if (offset > made->size()) return false;
      const EntityState& earlier = (*made)[made->size() - offset];
      from = earlier.record.get();
      fromTable = earlier.table;
    }
    SharedRecord record = DecodeRecord(in, reader, table, from, fromTable);
    if (record == nullptr) return false;
    made->push_back({number, table, std::move(record)});
  }
  made->insert(made->end(), old.begin() + static_cast<long>(next), old.end());
  in.SkipBits(16);
  if (in.failed()) return false;
  if (static_cast<int>(made->size()) != count) ++counts.countMismatches;
  state.anyFullUpdate = true;
  CurrentSlot(state).entities = made;
  state.entities = std::move(made);
  return true;
}

// svc_clientdata: onto the client data and weapons of the frame it names,
// or zeros. The game does not check that base, so a missing one is counted.
bool ReadClientData(DemoStateReader* reader, BitReader& in) {
  DemoState& state = reader->state;
  ++reader->counts.clientData;
  ClientState made;
  if (in.Bit()) {
    const StateFrame* named =
        RingFrame(state, NamedSequence(state, static_cast<uint8_t>(in.Bits(8))));
    if (named != nullptr && named->client != nullptr) {
      made = *named->client;
    } else {
      ++reader->counts.clientMissingBases;
    }
  }
  made.data = DecodeRecord(in, reader, kClientDataTable, made.data.get(), kClientDataTable);
  if (made.data == nullptr) return false;
  if (!in.failed() && in.Bit()) {
    auto weapons = made.weapons ? std::make_shared<WeaponRecords>(*made.weapons)
                                : std::make_shared<WeaponRecords>();
    do {
      SharedRecord& weapon = (*weapons)[in.Bits(6)];
      weapon = DecodeRecord(in, reader, kWeaponTable, weapon.get(), kWeaponTable);
      if (weapon == nullptr) return false;
    } while (!in.failed() && in.Bit());
    made.weapons = std::move(weapons);
  }
  if (in.failed()) return false;
  state.client = MakeShared<const ClientState>(std::move(made));
  CurrentSlot(state).client = state.client;
  return true;
}

bool ReadDeltaDescription(DemoState& state, BitReader& in) {
  DeltaDescription table;
  DeltaFields last;
  if (DecodeDeltaDescription(in, &table, &last) != DeltaRead::kRead) return false;
  for (int which = 0; which < kStateTableCount; ++which) {
    if (table.name != kTableNames[which]) continue;
    state.tables[which] = table;
    state.widths[which] = WidthsOf(table);
    state.timeWindowFields[which] = 0;
    for (size_t i = 0; i < table.fields.size() && i < kMostSentFields; ++i) {
      if (table.fields[i].type & (kDeltaTimeWindow8 | kDeltaTimeWindowBig)) {
        state.timeWindowFields[which] |= uint64_t{1} << i;
      }
    }
  }
  return true;
}

// A new server: what the client kept of the old one goes, but for what it
// needs to read the messages.
void StartAgain(DemoState& state) {
  DemoState fresh;
  fresh.tables = std::move(state.tables);
  fresh.timeWindowFields = state.timeWindowFields;
  fresh.widths = state.widths;
  fresh.userMessages = std::move(state.userMessages);
  fresh.maxClients = state.maxClients;
  fresh.hltv = state.hltv;
  fresh.clock = state.clock;
  fresh.sequence = state.sequence;
  fresh.ring[state.sequence % kRingFrames] = CurrentSlot(state);
  state = std::move(fresh);
}

int HudKindOf(const std::string& name);

bool ReadNewUserMessage(DemoStateReader* reader, BitReader& in) {
  DemoState& state = reader->state;
  const uint8_t id = in.Byte();
  const uint8_t size = in.Byte();
  const uint8_t* name = in.Take(16);
  if (in.failed()) return false;
  UserMessageName& message = state.userMessages[id];
  message.registered = true;
  message.size = size;
  message.name.assign(reinterpret_cast<const char*>(name),
                      strnlen(reinterpret_cast<const char*>(name), 16));
  message.hudKind = HudKindOf(message.name);
  if (id >= kFirstUserMessage) reader->wanted[id] = message.hudKind >= 0;
  return true;
}

// How a HUD user message is kept: by what key, or how otherwise.
enum class HudKey : uint8_t {
  kWhole,
  kFirstByte,
  kSecondByte,
  kFirstString,
  kStringAfterByte,
  kBomb,         // BombDrop and BombPickup: one state
  kMenuPieces,   // ShowMenu: a byte after a short and a char says more pieces follow
  kStayingFade,  // ScreenFade: kept only while its flags hold it
};
struct HudKind {
  const char* name;
  HudKey key;
};
// clang-format off
const HudKind kHudKinds[] = {
    {"ScoreInfo", HudKey::kFirstByte}, {"TeamInfo", HudKey::kFirstByte},
    {"ScoreAttrib", HudKey::kFirstByte}, {"HealthInfo", HudKey::kFirstByte},
    {"Account", HudKey::kFirstByte}, {"Radar", HudKey::kFirstByte},
    {"Location", HudKey::kFirstByte}, {"Spectator", HudKey::kFirstByte},
    {"HostageK", HudKey::kFirstByte}, {"StatusValue", HudKey::kFirstByte},
    {"StatusText", HudKey::kFirstByte}, {"AmmoX", HudKey::kFirstByte},
    {"TeamScore", HudKey::kFirstString}, {"WeaponList", HudKey::kFirstString},
    {"StatusIcon", HudKey::kStringAfterByte}, {"CurWeapon", HudKey::kSecondByte},
    {"BombDrop", HudKey::kBomb}, {"BombPickup", HudKey::kBomb},
    {"ShowMenu", HudKey::kMenuPieces}, {"ScreenFade", HudKey::kStayingFade},
    {"Health", HudKey::kWhole}, {"Battery", HudKey::kWhole}, {"Money", HudKey::kWhole},
    {"Train", HudKey::kWhole}, {"SetFOV", HudKey::kWhole}, {"HideWeapon", HudKey::kWhole},
    {"Crosshair", HudKey::kWhole}, {"NVGToggle", HudKey::kWhole}, {"ItemStatus", HudKey::kWhole},
    {"ArmorType", HudKey::kWhole}, {"Flashlight", HudKey::kWhole}, {"FlashBat", HudKey::kWhole},
    {"GameMode", HudKey::kWhole}, {"ViewMode", HudKey::kWhole}, {"AllowSpec", HudKey::kWhole},
    {"ForceCam", HudKey::kWhole}, {"ServerName", HudKey::kWhole}, {"ShadowIdx", HudKey::kWhole},
    {"Fog", HudKey::kWhole}, {"VoiceMask", HudKey::kWhole}, {"ReceiveW", HudKey::kWhole},
    {"Scenario", HudKey::kWhole}, {"ResetHUD", HudKey::kWhole}, {"InitHUD", HudKey::kWhole},
    {"ShowTimer", HudKey::kWhole}, {"TeamNames", HudKey::kWhole}, {"VGUIMenu", HudKey::kWhole},
    {"RoundTime", HudKey::kWhole}, {"BarTime", HudKey::kWhole}, {"BarTime2", HudKey::kWhole},
};
// clang-format on
constexpr size_t kMenuMoreAt = 3;
constexpr size_t kFadeFlagsAt = 4;
constexpr uint8_t kFadeStaysOut = 4;

std::string ByteAt(const uint8_t* body, size_t size, size_t at) {
  return at < size ? std::string(1, static_cast<char>(body[at])) : std::string();
}

// The NUL-terminated text of body from at, or what is left of it.
std::string TextAt(const uint8_t* body, size_t size, size_t at) {
  if (at >= size) return std::string();
  const char* text = reinterpret_cast<const char*>(body + at);
  return std::string(text, strnlen(text, size - at));
}

int HudKindOf(const std::string& name) {
  for (const HudKind& known : kHudKinds) {
    if (name == known.name) return static_cast<int>(&known - kHudKinds);
  }
  return -1;  // one-shot, or a message of a game not known
}

void KeepHudMessage(DemoState& state, const UserMessageName& registered, const uint8_t* body,
                    size_t size) {
  if (registered.hudKind < 0) return;
  const HudKind* kind = &kHudKinds[registered.hudKind];
  const std::string& name = registered.name;
  std::string group = name;
  std::string key;
  switch (kind->key) {
    case HudKey::kFirstByte: key = ByteAt(body, size, 0); break;
    case HudKey::kSecondByte: key = ByteAt(body, size, 1); break;
    case HudKey::kFirstString: key = TextAt(body, size, 0); break;
    case HudKey::kStringAfterByte: key = TextAt(body, size, 1); break;
    case HudKey::kBomb: group = "bomb"; break;
    case HudKey::kWhole:
    case HudKey::kMenuPieces: break;
    case HudKey::kStayingFade:
      if (size <= kFadeFlagsAt || (body[kFadeFlagsAt] & kFadeStaysOut) == 0) {
        state.outside.hud.erase({group, key});
        return;
      }
      break;
  }
  HudMessage& kept = state.outside.hud[{group, key}];
  const bool menuGoesOn = kind->key == HudKey::kMenuPieces && !kept.bodies.empty() &&
                          kept.bodies.back().size() > kMenuMoreAt &&
                          kept.bodies.back()[kMenuMoreAt] != 0;
  if (!menuGoesOn) kept.bodies.clear();
  kept.bodies.emplace_back(body, body + size);
  kept.name = name;
  kept.clock = state.clock;
  kept.order = state.hudArrivals++;
}

// Timers: a short of seconds; BarTime2 also a short of the bar's share
// already done, in percent.
constexpr size_t kTimerBody = 2;
constexpr size_t kBarTime2Body = 4;

int16_t ShortAt(const std::vector<uint8_t>& body, size_t at) {
  return static_cast<int16_t>(body[at] | body[at + 1] << 8);
}

void PutShort(std::vector<uint8_t>* body, size_t at, long value) {
  const auto held = static_cast<uint16_t>(std::max(-32768L, std::min(32767L, value)));
  (*body)[at] = static_cast<uint8_t>(held);
  (*body)[at + 1] = static_cast<uint8_t>(held >> 8);
}

bool ReadUserMessage(DemoState& state, const SeenMessage& message) {
  const UserMessageName& registered = state.userMessages[message.bytes[0]];
  if (!registered.registered) return false;
  const size_t lead = registered.size == kVariableSize ? 2 : 1;
  if (message.size < lead) return false;
  KeepHudMessage(state, registered, message.bytes + lead, message.size - lead);
  return true;
}

bool ReadUserInfo(DemoState& state, BitReader& in) {
  const uint8_t slot = in.Byte();
  const int32_t userId = static_cast<int32_t>(in.Bits(32));
  size_t length;
  const char* info = in.String(&length);
  const uint8_t* hash = in.Take(16);
  if (in.failed()) return false;
  if (slot < kPlayerSlots) {
    PlayerInfo& player = state.outside.players[slot];
    player.userId = userId;
    player.info.assign(info, length);
    memcpy(player.hash.data(), hash, player.hash.size());
  }
  return true;
}

// What the message changes in the state; false where it does not decode as the
// message reader read it.
bool ReadStateMessage(DemoStateReader* reader, const SeenMessage& message) {
  DemoState& state = reader->state;
  OutsideState& outside = state.outside;
  const uint8_t id = message.bytes[0];
  if (id >= kFirstUserMessage) return ReadUserMessage(state, message);
  // Read within the block, which lets the bit reader take eight bytes at a
  // time to a message's end; a message read past its own end is one that
  // did not decode as the message reader read it.
  BitReader in(message.bytes + 1, message.blockLeft - 1);
  bool read = true;
  switch (id) {
    case kTime: state.clock = LoadLeFloat(message.bytes + 1); break;
    case kSetView: outside.viewEntity = in.Short(); break;
    case kServerInfo:
      ++reader->counts.serverChanges;
      StartAgain(state);
      break;
    case kLightStyle: {
      const uint8_t style = in.Byte();
      size_t length;
      const char* text = in.String(&length);
      if (style < kLightStyles) outside.lightStyles[style].assign(text, length);
      break;
    }
    case kUserInfo: read = ReadUserInfo(state, in); break;
    case kDeltaDescription: read = ReadDeltaDescription(state, in); break;
    case kClientData: read = message.hltv || ReadClientData(reader, in); break;
    case kSpawnBaseline: read = ReadSpawnBaseline(reader, in); break;
    case kSetPause: outside.paused = in.Byte(); break;
    case kCdTrack: outside.cdTrack = {{message.bytes[1], message.bytes[2]}}; break;
    case kRoomType: outside.roomType = in.Short(); break;
    case kNewUserMessage: read = ReadNewUserMessage(reader, in); break;
    case kPacketEntities:
    case kDeltaPacketEntities:
      read = ReadPacketEntities(reader, in, id == kPacketEntities, message.instancedBaselines);
      break;
    case kNewMoveVars:
      outside.moveVars.assign(message.bytes + 1, message.bytes + message.size);
      break;
    case kTimeScale: outside.timeScale = LoadLeFloat(message.bytes + 1); break;
    default: break;
  }
  return read && !in.failed() && in.BytePosition() <= message.size - 1;
}

void BeginFrame(DemoStateReader* reader, const uint8_t* frame) {
  DemoState& state = reader->state;
  reader->inFrame = true;
  state.sequence = LoadLe32(frame + kSequenceAt);
  StateFrame& slot = CurrentSlot(state);
  // Two frames of one packet share its sequence and its slot.
  if (!slot.filled || slot.sequence != state.sequence)
    slot = {state.sequence, true, nullptr, nullptr};
}

void SeeMessage(void* context, const SeenMessage& message) {
  auto* reader = static_cast<DemoStateReader*>(context);
  if (!reader->inFrame) BeginFrame(reader, message.frame);
  reader->state.maxClients = message.maxClients;
  reader->state.hltv = message.hltv;
  ++reader->counts.messages;
  if (!ReadStateMessage(reader, message)) ++reader->counts.unreadMessages;
}

void EndFrame(void* context, const SeenFrame& frame) {
  auto* reader = static_cast<DemoStateReader*>(context);
  if (!reader->inFrame) BeginFrame(reader, frame.bytes);
  reader->inFrame = false;
  ++reader->counts.frames;
  if (!frame.whole) ++reader->counts.framesNotWhole;
  if (reader->frameDone != nullptr) reader->frameDone(reader->context, reader->state, frame);
}

// Comparing two states: the first difference, named.
bool Differs(std::string* difference, std::string text) {
  if (difference != nullptr) *difference = std::move(text);
  return false;
}

bool SameTables(const DemoState& a, const DemoState& b, std::string* difference) {
  for (int which = 0; which < kStateTableCount; ++which) {
    const DeltaDescription& x = a.tables[which];
    const DeltaDescription& y = b.tables[which];
    bool same = x.name == y.name && x.fields.size() == y.fields.size();
    for (size_t i = 0; same && i < x.fields.size(); ++i) {
      same = x.fields[i].name == y.fields[i].name && x.fields[i].offset == y.fields[i].offset &&
             SameEncoding(x.fields[i], y.fields[i]);
    }
    if (!same) return Differs(difference, FormatText("the table %s differs", kTableNames[which]));
  }
  return true;
}

// Records of one table (none: zeros). A time-window field stands for a time
// in steps of a second divided by its multiplier.
bool SameRecord(const DemoState& state, StateTable which, const StateRecord* x,
                const StateRecord* y, const std::string& what, std::string* difference) {
  const DeltaDescription& table = state.tables[which];
  const uint64_t windows = state.timeWindowFields[which];
  static const StateRecord kZeros;
  const StateRecord& a = x != nullptr ? *x : kZeros;
  const StateRecord& b = y != nullptr ? *y : kZeros;
  for (size_t i = 0; i < table.fields.size(); ++i) {
    const DeltaFieldDescription& field = table.fields[i];
    const uint32_t u = i < kMostSentFields ? a.values.bits[i] : 0;
    const uint32_t v = i < kMostSentFields ? b.values.bits[i] : 0;
    const double uClock = a.Clock(windows, i);
    const double vClock = b.Clock(windows, i);
    if (IsDeltaString(field)) {
      const std::string& t = a.values.Text(i);
      const std::string& w = b.values.Text(i);
      if (t == w) continue;
      return Differs(difference, FormatText("%s %s: \"%s\" against \"%s\"", what.c_str(),
                                            field.name.c_str(), t.c_str(), w.c_str()));
    }
    const double n = DeltaNumber(field, u, uClock);
    const double m = DeltaNumber(field, v, vClock);
    const bool window = (field.type & (kDeltaTimeWindow8 | kDeltaTimeWindowBig)) != 0;
    const double step = (field.type & kDeltaTimeWindow8) != 0 ? 0.01
                        : field.preMultiplier != 0            ? 1 / field.preMultiplier
                                                              : 1;
    const bool same = window ? std::fabs(n - m) < step / 2 : u == v;
    if (!same) {
      return Differs(difference,
                     FormatText("%s %s: %g against %g", what.c_str(), field.name.c_str(), n, m));
    }
  }
  return true;
}

bool SameEntities(const DemoState& a, const DemoState& b, std::string* difference) {
  if ((a.entities == nullptr) != (b.entities == nullptr)) {
    return Differs(difference,
                   a.entities == nullptr ? "no entities against some" : "entities against none");
  }
  if (a.entities == nullptr) return true;
  const EntityList& x = *a.entities;
  const EntityList& y = *b.entities;
  for (size_t i = 0; i < x.size() || i < y.size(); ++i) {
    if (i >= x.size() || i >= y.size() || x[i].number != y[i].number) {
      const int first = std::min(i < x.size() ? x[i].number : kEntityNumbers,
                                 i < y.size() ? y[i].number : kEntityNumbers);
      return Differs(difference, FormatText("entity %d is in one only", first));
    }
    const std::string what = FormatText("entity %d", x[i].number);
    if (x[i].table != y[i].table) {
      return Differs(difference, what + " is read with " + kTableNames[x[i].table] + " against " +
                                     kTableNames[y[i].table]);
    }
    if (!SameRecord(a, x[i].table, x[i].record.get(), y[i].record.get(), what, difference)) {
      return false;
    }
  }
  return true;
}

bool SameClient(const DemoState& a, const DemoState& b, std::string* difference) {
  static const ClientState kNone;
  const ClientState& x = a.client != nullptr ? *a.client : kNone;
  const ClientState& y = b.client != nullptr ? *b.client : kNone;
  if (!SameRecord(a, kClientDataTable, x.data.get(), y.data.get(), "client data", difference)) {
    return false;
  }
  for (int i = 0; i < kWeaponSlots; ++i) {
    if (!SameRecord(a, kWeaponTable, x.Weapon(i), y.Weapon(i), FormatText("weapon %d", i),
                    difference)) {
      return false;
    }
  }
  return true;
}

std::string HudName(const std::pair<std::string, std::string>& key) {
  std::string name = key.first;
  if (key.second.empty()) return name;
  name += " of ";
  for (unsigned char c : key.second) {
    name += c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c)) : FormatText("\\x%02x", c);
  }
  return name;
}

bool SameOutside(const DemoState& a, const DemoState& b, std::string* difference) {
  const OutsideState& x = a.outside;
  const OutsideState& y = b.outside;
  for (size_t i = 0; i < kLightStyles; ++i) {
    if (x.lightStyles[i] != y.lightStyles[i]) {
      return Differs(difference, FormatText("light style %zu", i));
    }
  }
  for (size_t i = 0; i < kPlayerSlots; ++i) {
    const PlayerInfo& p = x.players[i];
    const PlayerInfo& q = y.players[i];
    if (p.userId != q.userId || p.info != q.info || p.hash != q.hash) {
      return Differs(difference, FormatText("the user info of slot %zu", i));
    }
  }
  const bool sameTimeScale =
      x.timeScale.has_value() == y.timeScale.has_value() &&
      (!x.timeScale || memcmp(&*x.timeScale, &*y.timeScale, sizeof(float)) == 0);
  const struct {
    bool same;
    const char* what;
  } values[] = {{x.viewEntity == y.viewEntity, "the view entity"},
                {x.paused == y.paused, "the pause"},
                {sameTimeScale, "the time scale"},
                {x.moveVars == y.moveVars, "the move vars"},
                {x.roomType == y.roomType, "the room type"},
                {x.cdTrack == y.cdTrack, "the CD track"}};
  for (const auto& value : values) {
    if (!value.same) return Differs(difference, value.what);
  }
  auto p = x.hud.begin();
  auto q = y.hud.begin();
  for (; p != x.hud.end() && q != y.hud.end(); ++p, ++q) {
    if (p->first != q->first) {
      return Differs(difference, HudName(std::min(p->first, q->first)) + " is kept in one only");
    }
    // Timers sent again with the seconds left end at the same time, to
    // the second, or have both run out.
    const std::optional<double> ends[] = {TimerEnd(p->second), TimerEnd(q->second)};
    const bool sameTimer = ends[0] && ends[1] &&
                           (std::fabs(*ends[0] - *ends[1]) <= 1 ||
                            std::max(*ends[0], *ends[1]) <= std::min(a.clock, b.clock));
    if (!sameTimer && p->second.bodies != q->second.bodies) {
      return Differs(difference, HudName(p->first) + " differs");
    }
  }
  if (p != x.hud.end() || q != y.hud.end()) {
    return Differs(difference,
                   HudName(p != x.hud.end() ? p->first : q->first) + " is kept in one only");
  }
  return true;
}

}  // namespace

std::optional<double> TimerEnd(const HudMessage& message) {
  if (message.bodies.size() != 1) return std::nullopt;
  const std::vector<uint8_t>& body = message.bodies[0];
  if ((message.name == "RoundTime" || message.name == "BarTime") && body.size() == kTimerBody) {
    return message.clock + ShortAt(body, 0);
  }
  if (message.name == "BarTime2" && body.size() == kBarTime2Body) {
    return message.clock + ShortAt(body, 0) * (1 - ShortAt(body, 2) / 100.0);
  }
  return std::nullopt;
}

std::vector<uint8_t> TimerBodyAt(const HudMessage& message, double clock) {
  std::vector<uint8_t> body = message.bodies.empty() ? std::vector<uint8_t>() : message.bodies[0];
  const std::optional<double> end = TimerEnd(message);
  if (!end) return body;
  const double left = std::max(0.0, *end - clock);
  if (body.size() == kBarTime2Body) {
    // The same length of bar, further along.
    const int16_t seconds = ShortAt(body, 0);
    if (seconds > 0) PutShort(&body, 2, std::lround(100 * (1 - left / seconds)));
  } else {
    PutShort(&body, 0, std::lround(left));
  }
  return body;
}

float StateRecord::Clock(uint64_t windowFields, size_t field) const {
  if (field >= kMostSentFields || (windowFields >> field & 1) == 0) return 0;
  const size_t at =
      static_cast<size_t>(__builtin_popcountll(windowFields & ((uint64_t{1} << field) - 1)));
  if (at < clocks.size()) return clocks[at];
  return moreClocks.get() != nullptr ? (*moreClocks.get())[at] : 0;
}

void StateRecord::SetClock(uint64_t windowFields, size_t field, float clock) {
  if (field >= kMostSentFields || (windowFields >> field & 1) == 0) return;
  const size_t at =
      static_cast<size_t>(__builtin_popcountll(windowFields & ((uint64_t{1} << field) - 1)));
  if (at < clocks.size()) {
    clocks[at] = clock;
    return;
  }
  moreClocks.Made()[at] = clock;
}

const StateFrame* RingFrame(const DemoState& state, uint32_t sequence) {
  const StateFrame& slot = state.ring[sequence % kRingFrames];
  return slot.filled && slot.sequence == sequence ? &slot : nullptr;
}

std::array<bool, 256> DemoStateReader::StateMessageIds() {
  std::array<bool, 256> ids{};
  for (uint8_t id : {kTime, kSetView, kServerInfo, kLightStyle, kUserInfo, kDeltaDescription,
                     kClientData, kSpawnBaseline, kSetPause, kCdTrack, kRoomType, kNewUserMessage,
                     kPacketEntities, kDeltaPacketEntities, kNewMoveVars, kTimeScale}) {
    ids[id] = true;
  }
  return ids;  // user messages join as they are registered, where the HUD keeps them
}

MessageWatcher DemoStateWatcher(DemoStateReader* reader) {
  MessageWatcher watcher;
  watcher.seen = SeeMessage;
  watcher.frameRead = EndFrame;
  watcher.context = reader;
  watcher.wanted = reader->wanted.data();
  return watcher;
}

MessagesRead ReadDemoState(DemoStateReader* reader, const uint8_t* bytes, size_t size) {
  MessageReader messages;
  messages.watcher = DemoStateWatcher(reader);
  const WindowReader also = MessageWindowReader(&messages);
  InspectDemo(bytes, size, &also);
  return MessageReaderResult(&messages).read;
}

bool SameState(const DemoState& a, const DemoState& b, std::string* difference) {
  return SameTables(a, b, difference) && SameEntities(a, b, difference) &&
         SameClient(a, b, difference) && SameOutside(a, b, difference);
}
