#include "messages/demo_trim.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

#include "common/little_endian.h"
#include "common/text_format.h"
#include "demo/demo_repair.h"
#include "demo/demo_structure.h"
#include "demo/demo_summary.h"
#include "messages/demo_state.h"
#include "messages/server_message_ids.h"

namespace {

// A network frame of demo protocol 5, counted from its type byte: the
// 9-byte header, the client state, seven sequence numbers (the incoming one
// first), the block's length and the block.
constexpr size_t kFrameHeaderSize = 9;
constexpr size_t kHeadSize = 436 + 28;  // client state and sequence numbers
constexpr size_t kSequenceAt = kFrameHeaderSize + 436;
constexpr size_t kLargestBlock = 65536;
constexpr size_t kNetworkProtocolAt = 12;
constexpr uint8_t kNetworkFrame = 1;
constexpr uint8_t kStartFrame = 2;
constexpr uint8_t kNextSectionFrame = 5;
constexpr uint8_t kVariableSize = 255;

// The frames of the playback that the copy keeps: from the first network
// frame at or after from through the last frame at or before to, before any
// next-section frame.
struct Cut {
  uint64_t first = 0;
  uint64_t end = 0;  // after the last kept frame
  float firstTime = 0, lastTime = 0;
  int32_t firstHost = 0, lastHost = 0;
  int64_t networkFrames = 0;
};

// Where a frame's client state and sequence numbers are, which the prelude
// frame of its sequence repeats: read again only for the few it writes.
struct FrameHead {
  uint32_t sequence = 0;
  bool filled = false;
  uint64_t offset = 0;
};

// Where a message of the playback before the cut is that later ones need
// read or shown as it left them, with its place among them.
struct CarriedMessage {
  uint64_t offset = 0;
  size_t size = 0;
  uint64_t order = 0;
};
// By id (the top byte) and what tells messages of the id apart.
using CarriedKey = std::pair<uint64_t, std::string>;

}  // namespace

struct TrimWalk {
  double from = 0, to = -1;
  MessageReader messages;
  Cut cut;
  bool keptEnded = false;  // past the last kept frame
  DemoStateReader reader;
  MessageWatcher stateWatcher;
  bool cutPassed = false;
  DemoState atCut;
  uint32_t firstKept = 0;  // the first kept frame's sequence
  std::array<FrameHead, kRingFrames> heads;
  bool anyShown = false;
  uint32_t shown = 0;        // the last frame with entities before the cut
  std::set<uint32_t> bases;  // before the cut, that kept frames delta from
  std::map<CarriedKey, CarriedMessage> carried;
  uint64_t arrivals = 0;
  bool mapChange = false;
};

namespace {

// The ids of the messages before the cut that the copy carries, or that
// stop it (a new server).
constexpr uint8_t kCarriedIds[] = {kDeltaDescription, kNewUserMessage, kDecalName,     kDirector,
                                   kResourceList,     kPings,          kSpawnBaseline, kSpawnStatic,
                                   kCustomization,    kServerInfo};
// Those after it that may delta from a frame before it.
constexpr uint8_t kDeltaIds[] = {kDeltaPacketEntities, kClientData};

// At the cut, the first network frame of the playback at or after from,
// the state is kept; from there on only the kept frames' bases are looked
// for.
void PassCut(TrimWalk* walk, const SeenFrame& frame) {
  walk->cutPassed = true;
  walk->cut.first = frame.offset;
  walk->cut.firstTime = LoadLeFloat(frame.bytes + 1);
  walk->cut.firstHost = LoadLeInt32(frame.bytes + 5);
  walk->atCut = walk->reader.state;
  walk->firstKept = LoadLe32(frame.bytes + kSequenceAt);
  walk->reader.wanted.fill(false);
  for (uint8_t id : kDeltaIds) walk->reader.wanted[id] = true;
}

// Each frame of the playback, before its messages: the cut, and the kept
// frames after it.
void WalkFrame(void* context, const SeenFrame& frame) {
  auto* walk = static_cast<TrimWalk*>(context);
  if (frame.loading || walk->keptEnded) return;
  const uint8_t type = frame.bytes[0];
  const float time = LoadLeFloat(frame.bytes + 1);
  if (type == kNextSectionFrame) {
    walk->keptEnded = true;
    return;
  }
  if (!walk->cutPassed) {
    if (type != kNetworkFrame || time < walk->from) return;
    PassCut(walk, frame);
  }
  if (walk->to >= 0 && time > walk->to) {
    walk->keptEnded = true;
    return;
  }
  Cut& cut = walk->cut;
  cut.end = frame.offset + frame.size;
  cut.lastTime = time;
  cut.lastHost = LoadLeInt32(frame.bytes + 5);
  cut.networkFrames += type == kNetworkFrame;
}

// The key a message is carried by; false for those that are not carried
// (one-shot, or kept in the state). Server commands are never carried.
bool KeyOf(const SeenMessage& message, uint64_t arrival, CarriedKey* key) {
  const uint8_t id = message.bytes[0];
  key->first = uint64_t{id} << 56;
  switch (id) {
    case kDeltaDescription:
      key->second.assign(
          reinterpret_cast<const char*>(message.bytes + 1),
          strnlen(reinterpret_cast<const char*>(message.bytes + 1), message.size - 1));
      return true;
    case kNewUserMessage:
    case kDecalName: key->first |= message.size > 1 ? message.bytes[1] : 0; return true;
    case kDirector: key->first |= message.size > 2 ? message.bytes[2] : 0; return true;
    case kResourceList:
    case kPings: return true;
    case kSpawnBaseline:
    case kSpawnStatic:
    case kCustomization: key->first |= arrival; return true;  // each, in order
    default: return false;
  }
}

void NotePlaybackMessage(TrimWalk* walk, const SeenMessage& message) {
  if (message.bytes[0] == kServerInfo) walk->mapChange = true;
  CarriedKey key;
  if (!KeyOf(message, walk->arrivals, &key)) return;
  CarriedMessage& kept = walk->carried[key];
  kept.offset = message.frameOffset + static_cast<uint64_t>(message.bytes - message.frame);
  kept.size = message.size;
  kept.order = walk->arrivals++;
}

// A kept frame's update or client data that deltas from a frame before the cut.
void NoteBase(TrimWalk* walk, const SeenMessage& message) {
  const uint32_t sequence = LoadLe32(message.frame + kSequenceAt);
  uint32_t from;
  if (message.bytes[0] == kDeltaPacketEntities && message.size > 3) {
    from = message.bytes[3];
  } else if (message.bytes[0] == kClientData && !message.hltv && message.size > 1) {
    BitReader in(message.bytes + 1, message.size - 1);
    if (!in.Bit()) return;
    from = in.Bits(8);
  } else {
    return;
  }
  const uint32_t back = (sequence - from) & 0xFF;
  if (back == 0 || back >= kRingFrames - 1) return;  // the game drops it whatever it names
  const uint32_t base = sequence - back;
  if (static_cast<int32_t>(base - walk->firstKept) < 0) walk->bases.insert(base);
}

void SeeMessage(void* context, const SeenMessage& message) {
  auto* walk = static_cast<TrimWalk*>(context);
  if (walk->keptEnded) return;
  if (walk->cutPassed) return NoteBase(walk, message);
  if (!message.loading) NotePlaybackMessage(walk, message);
  walk->stateWatcher.seen(walk->stateWatcher.context, message);
}

void ReadFrame(void* context, const SeenFrame& frame) {
  auto* walk = static_cast<TrimWalk*>(context);
  if (!walk->cutPassed) return walk->stateWatcher.frameRead(walk->stateWatcher.context, frame);
  // A delta reaches at most 63 frames back: past that none names a frame
  // before the cut, and the rest is read only to know it reads.
  const uint32_t sequence = LoadLe32(frame.bytes + kSequenceAt);
  if (walk->keptEnded ||
      static_cast<int32_t>(sequence - walk->firstKept) >= static_cast<int32_t>(kRingFrames)) {
    walk->reader.wanted.fill(false);
  }
}

// After each frame before the cut: its head, and whether it is the last
// frame with entities so far.
void FrameDone(void* context, const DemoState& state, const SeenFrame& frame) {
  auto* walk = static_cast<TrimWalk*>(context);
  if (walk->cutPassed) return;
  FrameHead& head = walk->heads[state.sequence % kRingFrames];
  head.sequence = state.sequence;
  head.filled = true;
  head.offset = frame.offset + kFrameHeaderSize;
  const StateFrame* slot = RingFrame(state, state.sequence);
  if (slot != nullptr && slot->entities != nullptr) {
    walk->anyShown = true;
    walk->shown = state.sequence;
  }
}

bool IsTimeWindow(const DeltaFieldDescription& field) {
  return (field.type & (kDeltaTimeWindow8 | kDeltaTimeWindowBig)) != 0;
}

double WindowScale(const DeltaFieldDescription& field) {
  if (field.type & kDeltaTimeWindow8) return 100;
  return field.preMultiplier != 0 ? field.preMultiplier : 1;
}

// The bits of a time-window field that stand for time counted back from
// clock: the nearest step, held within the window as the server holds it.
uint32_t WindowBits(const DeltaFieldDescription& field, double time, double clock) {
  const unsigned width = std::max(DeltaValueBits(field), 2u);
  const double largest = std::ldexp(1.0, static_cast<int>(width) - 1) - 1;
  const double steps =
      std::max(-largest, std::min(largest, std::round((clock - time) * WindowScale(field))));
  return static_cast<uint32_t>(std::fabs(steps)) << 1 | (steps < 0 ? 1 : 0);
}

const StateRecord kZeros;

uint32_t BitsOf(const StateRecord& record, size_t i) {
  return i < kMostSentFields ? record.values.bits[i] : 0;
}

double TimeOf(const DeltaFieldDescription& field, uint64_t windows, const StateRecord& record,
              size_t i) {
  return DeltaNumber(field, BitsOf(record, i), record.Clock(windows, i));
}

// A delta that makes record from base, or from whatever the reader starts
// with when base is none (every field sent); time-window fields counted
// again from clock, the prelude's svc_time.
void WriteRecord(BitWriter& out, const DemoState& state, StateTable which,
                 const StateRecord& record, const StateRecord* base) {
  const DeltaDescription& table = state.tables[which];
  const uint64_t windows = state.timeWindowFields[which];
  const double clock = state.clock;
  DeltaRecord values;
  DeltaFields sent;
  for (size_t i = 0; i < table.fields.size() && i < kMostSentFields; ++i) {
    const DeltaFieldDescription& field = table.fields[i];
    bool differs = base == nullptr;
    if (IsTimeWindow(field)) {
      const double time = TimeOf(field, windows, record, i);
      differs =
          differs || std::fabs(time - TimeOf(field, windows, *base, i)) >= 0.5 / WindowScale(field);
      values.bits[i] = WindowBits(field, time, clock);
    } else if (IsDeltaString(field)) {
      const std::string& text = record.values.Text(i);
      differs = differs || text != base->values.Text(i);
      if (!text.empty()) values.TextToSet(i) = text;
    } else {
      values.bits[i] = BitsOf(record, i);
      differs = differs || values.bits[i] != BitsOf(*base, i);
    }
    if (differs) {
      sent.mask |= uint64_t{1} << i;
      sent.maskBytes = static_cast<unsigned>(i / 8 + 1);
    }
  }
  EncodeDelta(out, table, values, sent);
}

// svc_packetentities: every entity from its baseline, none from another.
void WritePacketEntities(BitWriter& out, const DemoState& state, const EntityList& entities) {
  out.Byte(kPacketEntities);
  out.Short(static_cast<int16_t>(entities.size()));
  int previous = 0;
  for (const EntityState& entity : entities) {
    const int gap = entity.number - previous;
    out.Bit(gap == 1);
    if (gap != 1) {
      const bool absolute = gap <= 0 || gap >= 64;
      out.Bit(absolute);
      out.Bits(static_cast<uint32_t>(absolute ? entity.number : gap), absolute ? 11 : 6);
    }
    previous = entity.number;
    out.Bit(entity.table == kCustomEntityTable);
    if (!state.instancedBaselines.empty()) out.Bit(false);  // not instanced
    out.Bit(false);                                         // no entity before as its base
    const StateRecord* baseline = state.baselines[entity.number].get();
    const StateRecord* base = baseline == nullptr                                   ? &kZeros
                              : state.baselineTables[entity.number] == entity.table ? baseline
                                                                                    : nullptr;
    WriteRecord(out, state, entity.table, *entity.record, base);
  }
  out.Bits(0, 16);
}

// svc_clientdata without a base: the client data and every weapon from zeros.
void WriteClientData(BitWriter& out, const DemoState& state, const ClientState& client) {
  out.Byte(kClientData);
  if (state.hltv) return;  // a proxy's has no body
  out.Bit(false);
  WriteRecord(out, state, kClientDataTable, client.data ? *client.data : kZeros, &kZeros);
  for (int i = 0; i < kWeaponSlots; ++i) {
    if (client.Weapon(i) == nullptr) continue;
    out.Bit(true);
    out.Bits(static_cast<uint32_t>(i), 6);
    WriteRecord(out, state, kWeaponTable, *client.Weapon(i), &kZeros);
  }
  out.Bit(false);
}

void WriteFloat(BitWriter& out, float value) {
  uint32_t bits;
  memcpy(&bits, &value, sizeof bits);
  out.Long(static_cast<int32_t>(bits));
}

void WriteHud(BitWriter& out, const DemoState& state) {
  std::vector<const HudMessage*> hud;
  for (const auto& kept : state.outside.hud) hud.push_back(&kept.second);
  std::sort(hud.begin(), hud.end(),
            [](const HudMessage* a, const HudMessage* b) { return a->order < b->order; });
  for (const HudMessage* message : hud) {
    int id = 64;
    while (id < 256 &&
           !(state.userMessages[id].registered && state.userMessages[id].name == message->name)) {
      ++id;
    }
    if (id == 256) continue;
    const uint8_t size = state.userMessages[id].size;
    std::vector<std::vector<uint8_t>> bodies = message->bodies;
    if (TimerEnd(*message)) bodies = {TimerBodyAt(*message, state.clock)};
    for (const std::vector<uint8_t>& body : bodies) {
      if (size == kVariableSize ? body.size() > 255 : body.size() != size) continue;
      out.Byte(static_cast<uint8_t>(id));
      if (size == kVariableSize) out.Byte(static_cast<uint8_t>(body.size()));
      out.Take(body.data(), body.size());
    }
  }
}

// The state outside the entities as the cut leaves it: every light style,
// every player slot, what was set of the rest, and the HUD.
void WriteOutside(BitWriter& out, const DemoState& state) {
  const OutsideState& outside = state.outside;
  for (size_t i = 0; i < kLightStyles; ++i) {
    out.Byte(kLightStyle);
    out.Byte(static_cast<uint8_t>(i));
    out.String(outside.lightStyles[i].c_str(), outside.lightStyles[i].size());
  }
  for (size_t slot = 0; slot < kPlayerSlots && static_cast<int>(slot) < state.maxClients; ++slot) {
    const PlayerInfo& player = outside.players[slot];
    out.Byte(kUserInfo);
    out.Byte(static_cast<uint8_t>(slot));
    out.Long(player.userId);
    out.String(player.info.c_str(), player.info.size());
    out.Take(player.hash.data(), player.hash.size());
  }
  if (outside.viewEntity) {
    out.Byte(kSetView);
    out.Short(*outside.viewEntity);
  }
  if (outside.paused) {
    out.Byte(kSetPause);
    out.Byte(*outside.paused);
  }
  if (outside.timeScale) {
    out.Byte(kTimeScale);
    WriteFloat(out, *outside.timeScale);
  }
  if (!outside.moveVars.empty()) {
    out.Byte(kNewMoveVars);
    out.Take(outside.moveVars.data(), outside.moveVars.size());
  }
  if (outside.roomType) {
    out.Byte(kRoomType);
    out.Short(*outside.roomType);
  }
  if (outside.cdTrack) {
    out.Byte(kCdTrack);
    out.Take(outside.cdTrack->data(), outside.cdTrack->size());
  }
  WriteHud(out, state);
}

// False where the demo gives fewer bytes than where they were.
bool WriteCarried(BitWriter& out, const TrimWalk& walk, ReadDemoAt readAt, void* source) {
  std::vector<const CarriedMessage*> carried;
  for (const auto& kept : walk.carried) carried.push_back(&kept.second);
  std::sort(carried.begin(), carried.end(),
            [](const CarriedMessage* a, const CarriedMessage* b) { return a->order < b->order; });
  std::vector<uint8_t> bytes;
  for (const CarriedMessage* message : carried) {
    bytes.resize(message->size);
    if (readAt(source, message->offset, bytes.data(), bytes.size()) != bytes.size()) return false;
    out.Take(bytes.data(), bytes.size());
  }
  return true;
}

void AppendLe32(std::vector<uint8_t>* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// The prelude: a network frame at time 0 for each base and the frame shown
// at the cut, ascending, with that frame's own head. The first also carries
// what reading needs, the last the state outside the entities. kTooLarge
// where a block grows past what a frame holds; kChanged where the demo read
// again gives fewer bytes.
TrimOutcome AppendPrelude(std::vector<uint8_t>* out, const TrimWalk& walk, ReadDemoAt readAt,
                          void* source, int64_t* frames) {
  std::set<uint32_t> sequences = walk.bases;
  if (walk.anyShown) sequences.insert(walk.shown);
  const DemoState& state = walk.atCut;
  std::vector<uint32_t> written;
  for (uint32_t sequence : sequences) {
    const FrameHead& head = walk.heads[sequence % kRingFrames];
    if (RingFrame(state, sequence) != nullptr && head.filled && head.sequence == sequence) {
      written.push_back(sequence);
    }
  }
  for (size_t i = 0; i < written.size(); ++i) {
    const StateFrame& frame = *RingFrame(state, written[i]);
    BitWriter block;
    if (i == 0 && !WriteCarried(block, walk, readAt, source)) return TrimOutcome::kChanged;
    block.Byte(kTime);
    WriteFloat(block, static_cast<float>(state.clock));
    if (i + 1 == written.size()) WriteOutside(block, state);
    if (frame.client != nullptr) WriteClientData(block, state, *frame.client);
    if (frame.entities != nullptr) WritePacketEntities(block, state, *frame.entities);
    if (block.bytes().size() > kLargestBlock) return TrimOutcome::kTooLarge;
    AppendFrameHeader(out, kNetworkFrame, 0.0f, 0);
    const size_t headAt = out->size();
    out->resize(headAt + kHeadSize);
    const FrameHead& head = walk.heads[written[i] % kRingFrames];
    if (readAt(source, head.offset, out->data() + headAt, kHeadSize) != kHeadSize) {
      return TrimOutcome::kChanged;
    }
    AppendLe32(out, static_cast<uint32_t>(block.bytes().size()));
    out->insert(out->end(), block.bytes().begin(), block.bytes().end());
    ++*frames;
  }
  return TrimOutcome::kWritten;
}

// A kept frame's time and host frame, counted from the first kept frame's.
void Rebase(uint8_t* frame, const TrimPlan& plan) {
  const float time = LoadLeFloat(frame + 1) - plan.firstTime;
  const uint32_t host = LoadLe32(frame + 5) - static_cast<uint32_t>(plan.firstHost);
  memcpy(frame + 1, &time, sizeof time);
  for (int i = 0; i < 4; ++i) frame[5 + i] = static_cast<uint8_t>(host >> (8 * i));
}

// The kept frames, rebased, a window at a time: a window's whole frames are
// changed in place and written at once, and a frame larger than a window
// goes in pieces. False where the demo ends early, its frames are not those
// planned, or a write fails.
bool WriteKept(const TrimPlan& plan, ReadDemoAt readAt, void* source, WriteRepairPiece write,
               void* sink) {
  constexpr uint64_t kWindowSize = 1024 * 1024;
  const size_t windowSize =
      static_cast<size_t>(std::min(kWindowSize, plan.keptEnd - plan.keptBegin));
  std::unique_ptr<uint8_t[]> window(new uint8_t[windowSize]);
  for (uint64_t at = plan.keptBegin; at < plan.keptEnd;) {
    const size_t held =
        readAt(source, at, window.get(),
               static_cast<size_t>(std::min<uint64_t>(windowSize, plan.keptEnd - at)));
    // The demo read again must be the one planned from.
    if (at == plan.keptBegin && (held < kFrameHeaderSize || window[0] != kNetworkFrame ||
                                 LoadLeFloat(window.get() + 1) != plan.firstTime)) {
      return false;
    }
    size_t whole = 0;
    uint64_t size = 0;
    while (whole < held) {
      size = FrameSize(5, window.get() + whole, held - whole);
      if (size == 0 || size > plan.keptEnd - (at + whole)) return false;
      if (size > held - whole) break;
      Rebase(window.get() + whole, plan);
      whole += static_cast<size_t>(size);
    }
    if (whole > 0) {
      if (!write(sink, window.get(), whole)) return false;
      at += whole;
      continue;
    }
    // A frame larger than the window: its size is known once its fixed part is.
    if (held < kWalkLookAhead) return false;
    Rebase(window.get(), plan);
    if (!write(sink, window.get(), held)) return false;
    for (uint64_t done = held; done < size;) {
      const size_t got = readAt(source, at + done, window.get(),
                                static_cast<size_t>(std::min<uint64_t>(windowSize, size - done)));
      if (got == 0 || !write(sink, window.get(), got)) return false;
      done += got;
    }
    at += size;
  }
  return true;
}

TrimOutcome Refuse(TrimOutcome outcome, std::string* reason, std::string text) {
  *reason = std::move(text);
  return outcome;
}

}  // namespace

TrimReader::TrimReader(double from, double to) : walk(new TrimWalk) {
  walk->from = from;
  walk->to = to;
  walk->stateWatcher = DemoStateWatcher(&walk->reader);
  walk->reader.frameDone = FrameDone;
  walk->reader.context = walk.get();
  for (uint8_t id : kCarriedIds) walk->reader.wanted[id] = true;
  walk->messages.watcher = {SeeMessage, ReadFrame, walk.get(), walk->reader.wanted.data(),
                            WalkFrame};
}

TrimReader::~TrimReader() = default;

WindowReader TrimWindowReader(TrimReader* reader) {
  return MessageWindowReader(&reader->walk->messages);
}

TrimOutcome PlanTrim(TrimReader* reader, const DemoInspection& inspection, ReadDemoAt readAt,
                     void* source, TrimPlan* plan, std::string* reason) {
  *plan = TrimPlan();
  reason->clear();
  const DemoStructure& demo = inspection.structure;
  if (!demo.knownProtocol || demo.demoProtocol != 5) {
    return Refuse(TrimOutcome::kUnreadProtocol, reason,
                  FormatText("Demo protocol %d is not read.", demo.demoProtocol));
  }
  uint8_t header[kDemoHeaderSize];
  // Cut within its header: the network protocol is not there to read.
  if (demo.fileSize < kDemoHeaderSize ||
      readAt(source, 0, header, sizeof header) != sizeof header) {
    return Refuse(TrimOutcome::kNotIntact, reason, "The demo is not intact: repair it first.");
  }
  const int32_t network = LoadLeInt32(header + kNetworkProtocolAt);
  if (network != 47 && network != 48) {
    return Refuse(TrimOutcome::kUnreadProtocol, reason,
                  FormatText("Network protocol %d is not read.", network));
  }
  if (!demo.intact) {
    return Refuse(TrimOutcome::kNotIntact, reason, "The demo is not intact: repair it first.");
  }
  const std::vector<DemoSegment>& segments = demo.segments;
  if (segments.size() != 2 || segments[0].type != 0 || segments[1].type != 1 ||
      segments[0].offset != kDemoHeaderSize ||
      segments[1].offset != uint64_t{segments[0].offset} + segments[0].length) {
    return Refuse(TrimOutcome::kNotIntact, reason,
                  "The directory is not a loading segment followed by a playback segment.");
  }
  const TrimWalk& walk = *reader->walk;
  const Cut& cut = walk.cut;
  if (!walk.cutPassed || cut.end <= cut.first) {
    return Refuse(TrimOutcome::kNothingToKeep, reason,
                  FormatText("No frame of the playback lies between %g s and %g s.", walk.from,
                             walk.to >= 0 ? walk.to : demo.duration));
  }
  const MessagesRead read = MessageReaderResult(&reader->walk->messages).read;
  if (walk.mapChange) {
    return Refuse(TrimOutcome::kMapChange, reason,
                  "The server changes before the cut: the copy would need that map's signon.");
  }
  if (read != MessagesRead::kAll || walk.reader.counts.unreadMessages != 0) {
    return Refuse(TrimOutcome::kUnreadMessages, reason,
                  "Not every message of the demo could be read, so the state at the cut is not "
                  "known.");
  }
  plan->loadingEnd = segments[1].offset;
  AppendFrameHeader(&plan->prelude, kStartFrame, 0.0f, 0);
  int64_t preludeFrames = 0;
  const TrimOutcome prelude = AppendPrelude(&plan->prelude, walk, readAt, source, &preludeFrames);
  if (prelude != TrimOutcome::kWritten) {
    *plan = TrimPlan();
    return Refuse(prelude, reason,
                  prelude == TrimOutcome::kTooLarge
                      ? "The state at the cut does not fit in a frame's message block."
                      : "The demo changed while it was read.");
  }
  plan->keptBegin = cut.first;
  plan->keptEnd = cut.end;
  plan->firstTime = cut.firstTime;
  plan->lastTime = cut.lastTime;
  plan->firstHost = cut.firstHost;
  plan->lastHost = cut.lastHost;
  plan->networkFrames = preludeFrames + cut.networkFrames;
  const uint64_t directoryOffset =
      plan->loadingEnd + plan->prelude.size() + (cut.end - cut.first) + kFrameHeaderSize;
  if (directoryOffset > UINT32_MAX) {
    *plan = TrimPlan();
    return Refuse(TrimOutcome::kTooLarge, reason, "The copy would be larger than 4 GiB.");
  }
  plan->directoryOffset = static_cast<uint32_t>(directoryOffset);
  plan->size = directoryOffset + 4 + 2 * kDirectoryEntrySize;
  return TrimOutcome::kWritten;
}

bool WriteTrim(const TrimPlan& plan, ReadDemoAt readAt, void* source, WriteRepairPiece write,
               void* sink) {
  // The header, with the new directory's offset, and the loading segment.
  RepairPlan loading;
  loading.keepEnd = plan.loadingEnd;
  loading.directoryOffset = plan.directoryOffset;
  if (!WriteRepair(loading, readAt, source, write, sink)) return false;
  if (!write(sink, plan.prelude.data(), plan.prelude.size()) ||
      !WriteKept(plan, readAt, source, write, sink)) {
    return false;
  }
  const float lastTime = plan.lastTime - plan.firstTime;
  // Wrapping as the kept frames' host numbers do: damaged ones may lie far apart.
  const uint32_t lastHost =
      static_cast<uint32_t>(plan.lastHost) - static_cast<uint32_t>(plan.firstHost);
  std::vector<uint8_t> end;
  AppendFrameHeader(&end, kNextSectionFrame, lastTime, static_cast<int32_t>(lastHost));
  AppendTwoSegmentDirectory(&end, plan.loadingEnd, plan.directoryOffset, lastTime,
                            plan.networkFrames);
  return write(sink, end.data(), end.size());
}

TrimOutcome TrimDemo(const uint8_t* bytes, size_t size, double from, double to,
                     std::vector<uint8_t>* out, std::string* reason) {
  out->clear();
  if (size == 0) return Refuse(TrimOutcome::kUnreadProtocol, reason, "The demo is empty.");
  TrimReader reader(from, to);
  const WindowReader also = TrimWindowReader(&reader);
  const DemoInspection demo = InspectDemo(bytes, size, &also);
  DemoBuffer source = {bytes, size};
  TrimPlan plan;
  const TrimOutcome outcome = PlanTrim(&reader, demo, ReadFromDemoBuffer, &source, &plan, reason);
  if (outcome != TrimOutcome::kWritten) return outcome;
  out->reserve(static_cast<size_t>(plan.size));
  WriteTrim(plan, ReadFromDemoBuffer, &source, AppendToVector, out);
  return TrimOutcome::kWritten;
}
