// A copy of a demo that the game plays as if the recording had begun at a
// later moment, and optionally stopped earlier: the header and loading
// segment as they are; a playback segment of a start frame, a prelude that
// gives every frame that the kept frames delta from and the state outside
// the entities at the cut, then the kept frames byte for byte but for their
// time and host frame; a next-section frame and the directory.
// Timers (RoundTime, BarTime, BarTime2) go with the time left at the cut.
// Not carried, as a recording started there would not have them: looping
// sounds and decals from before the cut. Server commands
// (svc_stufftext) from before the cut are never sent again. Portable: no
// platform headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class TrimOutcome {
  kWritten,
  kUnreadProtocol,  // demo protocol 4, or a network protocol other than 47 and 48
  kNotIntact,       // to be repaired first; or a directory of other segments
  kMapChange,       // a new server before the cut: its signon is not in the loading segment
  kNothingToKeep,   // no network frame at or after from, or none up to to
  kUnreadMessages,  // a block that did not read whole: the state at the cut is not known
  kTooLarge,        // a prelude frame's block past what a frame holds, or a copy past 4 GiB
};

// Writes the copy of the demo held in bytes that starts at the first
// network frame of its playback at or after from (seconds) and ends with its
// last frame at or before to (negative: the end). out holds the copy when
// kWritten; otherwise reason says why not. The demo is held whole by the
// caller; the writer keeps the state at the cut and the last 64 frames'
// sequence numbers beside it.
TrimOutcome TrimDemo(const uint8_t* bytes, size_t size, double from, double to,
                     std::vector<uint8_t>* out, std::string* reason);
