// The client state that a demo's server messages build up, kept as the
// game's client keeps it: entities and client data by frame in a ring of the
// last 64 incoming sequences that deltas name their bases in, and the state
// outside them that a copy starting later has to carry. Fed by a watched
// MessageReader; its memory is bounded by the ring and the state, not by the
// demo. Portable: no platform headers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "messages/delta_codec.h"
#include "messages/message_reader.h"

// The delta tables that the state is read with.
enum StateTable : uint8_t {
  kCustomEntityTable,
  kPlayerTable,
  kEntityTable,
  kClientDataTable,
  kWeaponTable,
  kStateTableCount
};

// A record as last sent. A time-window field's bits count back from the
// message clock (svc_time, a float) that it came with, kept beside it in the
// order of the table's time-window fields (windowFields: them by bit): the
// first few in place, which is all the games' own tables have, so that a
// record stays small to copy.
struct StateRecord {
  DeltaRecord values;
  std::array<float, 4> clocks{};
  OutOfLine<std::array<float, kMostSentFields>> moreClocks;
  float Clock(uint64_t windowFields, size_t field) const;  // 0 for other fields
  void SetClock(uint64_t windowFields, size_t field, float clock);
};
// Frames share the records that did not change between them.
using SharedRecord = std::shared_ptr<const StateRecord>;

struct EntityState {
  int number = 0;
  StateTable table = kEntityTable;
  SharedRecord record;
};
using EntityList = std::vector<EntityState>;  // by number, ascending

constexpr int kWeaponSlots = 64;
using WeaponRecords = std::array<SharedRecord, kWeaponSlots>;  // none: all zero
struct ClientState {
  SharedRecord data;  // clientdata_t
  // Shared until a frame's client data lists a weapon; none: all zero.
  std::shared_ptr<const WeaponRecords> weapons;
  const StateRecord* Weapon(int slot) const { return weapons ? (*weapons)[slot].get() : nullptr; }
};

constexpr size_t kRingFrames = 64;
// The ring's slot of one incoming sequence.
struct StateFrame {
  uint32_t sequence = 0;
  bool filled = false;
  std::shared_ptr<const EntityList> entities;  // none: no update of it was read
  std::shared_ptr<const ClientState> client;   // none: no client data of it was read
};

constexpr size_t kLightStyles = 64;
constexpr size_t kPlayerSlots = 32;
struct PlayerInfo {
  int32_t userId = 0;
  std::string info;  // \key\value...; empty: the slot is free
  std::array<uint8_t, 16> hash{};
};
// The last body of a HUD user message for its key (ShowMenu: the pieces of
// the last menu). Timers are kept as they came, with the clock they came at.
struct HudMessage {
  std::string name;
  std::vector<std::vector<uint8_t>> bodies;
  double clock = 0;
  uint64_t order = 0;  // arrival, for sending them again in order
};
// When a timer (RoundTime, BarTime, BarTime2) runs out, in the clock of the
// messages; none for the other messages. Its body, sent again at clock, with
// the time left then.
std::optional<double> TimerEnd(const HudMessage& message);
std::vector<uint8_t> TimerBodyAt(const HudMessage& message, double clock);

// By group (the message's name; "bomb" for BombDrop and BombPickup) and key
// (the bytes that tell the player, team, icon, ammo, weapon or name).
using HudMessages = std::map<std::pair<std::string, std::string>, HudMessage>;

// The state outside the entities; nothing where it was never set.
struct OutsideState {
  std::array<std::string, kLightStyles> lightStyles;
  std::array<PlayerInfo, kPlayerSlots> players;
  std::optional<int16_t> viewEntity;
  std::optional<uint8_t> paused;
  std::optional<float> timeScale;
  std::vector<uint8_t> moveVars;  // svc_newmovevars' body
  std::optional<int16_t> roomType;
  std::optional<std::array<uint8_t, 2>> cdTrack;  // track, loop
  HudMessages hud;
};

struct UserMessageName {
  bool registered = false;
  uint8_t size = 0;  // 255: variable
  std::string name;
  int hudKind = -1;  // how the HUD keeps it, found once as it is registered; -1: one-shot
};

constexpr int kEntityNumbers = 2048;
struct DemoState {
  // What reading needs.
  std::array<DeltaDescription, kStateTableCount> tables;      // unnamed: not described
  std::array<uint64_t, kStateTableCount> timeWindowFields{};  // of each table, by bit
  std::array<DeltaWidths, kStateTableCount> widths{};
  std::array<UserMessageName, 256> userMessages;
  int maxClients = 0;
  bool hltv = false;
  double clock = 0;  // the last svc_time
  bool anyFullUpdate = false;
  // Bases of new entities.
  std::vector<SharedRecord> baselines = std::vector<SharedRecord>(kEntityNumbers);
  std::vector<StateTable> baselineTables = std::vector<StateTable>(kEntityNumbers, kEntityTable);
  std::vector<SharedRecord> instancedBaselines;
  std::array<StateFrame, kRingFrames> ring;
  // After the last frame: its sequence, the entities of the last update read
  // and the last client data.
  uint32_t sequence = 0;
  std::shared_ptr<const EntityList> entities;
  std::shared_ptr<const ClientState> client;
  OutsideState outside;
  uint64_t hudArrivals = 0;  // the next HudMessage::order
};

// The slot of the ring that holds sequence, or none.
const StateFrame* RingFrame(const DemoState& state, uint32_t sequence);

struct DemoStateCounts {
  uint64_t frames = 0;    // network frames
  uint64_t messages = 0;  // that change the state
  uint64_t fullUpdates = 0;
  uint64_t deltaUpdates = 0;
  uint64_t deltasBeforeFull = 0;  // before any full update: nothing to resolve against
  uint64_t missingBases = 0;      // the ring does not hold the update a delta names
  uint64_t tooOldDeltas = 0;      // 0 or 63 and more back: the game drops them
  uint64_t countMismatches = 0;   // an update's entity count against the entities it makes
  uint64_t clientData = 0;
  uint64_t clientMissingBases = 0;
  uint64_t tableChanges = 0;    // an entity read with another table than its base
  uint64_t unreadMessages = 0;  // messages of the state that did not decode
  uint64_t framesNotWhole = 0;  // blocks that the message reader gave up on
  uint64_t serverChanges = 0;   // svc_serverinfo: the state starts again
};

struct DemoStateReader {
  DemoState state;
  DemoStateCounts counts;
  // Told after each network frame, with the state the frame leaves.
  void (*frameDone)(void* context, const DemoState& state, const SeenFrame& frame) = nullptr;
  void* context = nullptr;
  bool inFrame = false;  // a frame's messages are being shown
  // By id, the messages that change the state: the watcher's wanted ids. A
  // caller that watches more through it may add its own.
  std::array<bool, 256> wanted = StateMessageIds();
  static std::array<bool, 256> StateMessageIds();
};

// The watcher that builds reader's state, for a MessageReader of one's own.
MessageWatcher DemoStateWatcher(DemoStateReader* reader);
// A whole demo read into reader; how much of its messages could be read.
MessagesRead ReadDemoState(DemoStateReader* reader, const uint8_t* bytes, size_t size);

// Whether a and b show the same: the current entities, client data and
// weapons, and the state outside them. Time-window fields are compared by
// the time they stand for. Where they differ, difference names the first.
bool SameState(const DemoState& a, const DemoState& b, std::string* difference);
