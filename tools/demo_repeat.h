// Long demos made of a real recording, for measuring what reads them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A long demo made of a recording (an intact demo of a loading and a
// playback segment): its header and loading segment, then its playback's
// frames over and over until the file holds at least size bytes, each round
// later in time, host frames and sequence numbers (by a multiple of 256, so
// that every delta names the frame of its own round it named). Empty for a
// recording of another shape.
std::vector<uint8_t> RepeatPlayback(const std::vector<uint8_t>& recording, size_t size);
