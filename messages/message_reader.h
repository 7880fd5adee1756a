// The reader of a demo's server messages (demo protocol 5, network protocols
// 47 and 48), given the demo's bytes window by window as the inspection reads
// them. It walks the frames of the segments that the structure walk uses and
// keeps only the state that outlives a frame: the delta tables the demo
// describes, the user messages it registers, max players, the HLTV flag, the
// slots' names and each update's entity numbers by sequence. Demos of other
// protocols are searched for player names in plain text. Portable: no
// platform headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "demo/demo_structure.h"
#include "demo/demo_summary.h"
#include "messages/demo_messages.h"

struct MessageReaderState;

// A message of a watched reader, which reads each one through rather than
// stepping over it by its size, with what reading it needed, for a closer
// look at it.
struct SeenMessage {
  const uint8_t* bytes;  // from its id
  size_t size;
  size_t blockLeft;  // bytes from its id to its block's end
  uint8_t sequence;  // the low byte of its frame's incoming sequence
  int maxClients;
  int instancedBaselines;
  bool hltv;
  const uint8_t* frame;  // its network frame, from the type byte
  uint64_t frameOffset;  // in the demo
  bool loading;          // the frame is one of the loading segment or part
};
// A network frame whose messages a watched reader has shown.
struct SeenFrame {
  const uint8_t* bytes;  // from the type byte
  size_t size;
  uint64_t offset;  // in the demo
  bool loading;
  bool whole;  // every message of its block was read
};
struct MessageWatcher {
  void (*seen)(void* context, const SeenMessage& message) = nullptr;
  void (*frameRead)(void* context, const SeenFrame& frame) = nullptr;  // where seen is set
  void* context = nullptr;
  // By id, the messages that seen is told of (none: all). The watcher may
  // change them as it reads; the others are stepped over as an unwatched
  // reader steps over them.
  const bool* wanted = nullptr;
  // Every frame walked, of any type, before its messages are read (whole
  // tells nothing here); where seen is set.
  void (*frameWalked)(void* context, const SeenFrame& frame) = nullptr;
};

struct MessageReader {
  MessageReader();
  ~MessageReader();
  std::unique_ptr<MessageReaderState> state;
  MessageWatcher watcher;  // set before the reader is started
};

// Once the walk has read the header and the directory (StartDemoWalk): the
// header's fields and the directory's segments decide what is read.
void StartMessageReader(MessageReader* reader, const DemoStructure& found, ReadDemoAt readAt,
                        void* source);

// window holds size bytes of the demo from offset on; windows come in order,
// each starting no later than where the previous ended.
void ReadMessagesPiece(MessageReader* reader, const uint8_t* window, size_t size, uint64_t offset);

// What was found, once the last window has been read (nothing when the
// reader was never started); it is taken from the reader.
DemoMessages MessageReaderResult(MessageReader* reader);

// The reader as one that an inspection hands its windows to.
WindowReader MessageWindowReader(MessageReader* reader);
