// A copy of a demo that the game plays as if the recording had begun at a
// later moment, and optionally stopped earlier: the header and loading
// segment as they are; a playback segment of a start frame, a prelude that
// gives every frame that the kept frames delta from and the state outside
// the entities at the cut, then the kept frames byte for byte but for their
// time and host frame; a next-section frame and the directory.
// Timers (RoundTime, BarTime, BarTime2) go with the time left at the cut.
// Not carried, as a recording started there would not have them: looping
// sounds and decals from before the cut. Server commands (svc_stufftext)
// from before the cut are never sent again.
//
// The demo is read twice, never held whole: once window by window through an
// inspection, which keeps the client state at the cut, then through a
// ReadDemoAt for its playback's frames as the copy is written. What is kept
// is the state, the last 64 frames' sequence numbers and a window of frames.
// Portable: no platform headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "demo/demo_repair.h"
#include "demo/demo_summary.h"

enum class TrimOutcome {
  kWritten,
  kUnreadProtocol,  // demo protocol 4, or a network protocol other than 47 and 48
  kNotIntact,       // to be repaired first; or a directory of other segments
  kMapChange,       // a new server before the cut: its signon is not in the loading segment
  kNothingToKeep,   // no network frame at or after from, or none up to to
  kUnreadMessages,  // a block that did not read whole: the state at the cut is not known
  kTooLarge,        // a prelude frame's block past what a frame holds, or a copy past 4 GiB
  kChanged,         // read again, the demo is shorter
};

// The first reading: the demo's messages, with the client state up to the
// first network frame of the playback at or after from (seconds), and the
// frames to keep from there to the last at or before to (negative: the
// end).
struct TrimWalk;
struct TrimReader {
  TrimReader(double from, double to);
  ~TrimReader();
  std::unique_ptr<TrimWalk> walk;
};
// The reader as one that an inspection (InspectDemo, InspectDemoFile) hands
// its windows to.
WindowReader TrimWindowReader(TrimReader* reader);

// What the copy is made of: the demo's bytes up to its playback, the start
// frame and the prelude, the kept frames, and the next-section frame and
// directory.
struct TrimPlan {
  uint64_t loadingEnd = 0;
  std::vector<uint8_t> prelude;
  uint64_t keptBegin = 0, keptEnd = 0;
  float firstTime = 0, lastTime = 0;  // of the kept frames in the demo
  int32_t firstHost = 0, lastHost = 0;
  int64_t networkFrames = 0;  // of the copy's playback
  uint32_t directoryOffset = 0;
  uint64_t size = 0;  // of the copy
};

// Once the inspection that reader read with is done: the copy, or why there
// is none. readAt reads the same demo again, for its header and the few
// frames' heads and messages that the prelude repeats.
TrimOutcome PlanTrim(TrimReader* reader, const DemoInspection& demo, ReadDemoAt readAt,
                     void* source, TrimPlan* plan, std::string* reason);

// Writes the copy the plan makes of the demo that readAt gives, piece by
// piece; false when the demo gives fewer bytes than planned, or a write fails.
bool WriteTrim(const TrimPlan& plan, ReadDemoAt readAt, void* source, WriteRepairPiece write,
               void* sink);

// The three steps for a demo held in bytes: out holds the copy when
// kWritten; otherwise reason says why there is none.
TrimOutcome TrimDemo(const uint8_t* bytes, size_t size, double from, double to,
                     std::vector<uint8_t>* out, std::string* reason);
