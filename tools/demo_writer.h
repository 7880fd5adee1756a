// Makes well-formed demo files of the project's own, for the tests, the
// benchmarks and the bundled sample: a header with the map CRC and the
// directory offset, a LOADING and a Playback segment of frames, and the
// two-entry directory at the end. Each network frame stores the client
// viewport as 0, 0, width, height, as the game does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DemoRecipe {
  std::string mapName = "qx_courtyard";
  std::string gameDirectory = "valve";
  int32_t demoProtocol = 5;
  int32_t networkProtocol = 48;
  int32_t viewportWidth = 800;
  int32_t viewportHeight = 600;
  // An HLTV proxy's recording: its server messages name the proxy, which is
  // where the marker "\0\x08HLTV" stands.
  bool hltv = false;
  // Frames of the Playback segment; the demo grows about 560 bytes a frame.
  size_t playbackFrames = 200;
  uint32_t seed = 1;
  // The message blocks of the two loading frames and of the first playback
  // frames, where given; the others hold one opaque message.
  std::vector<std::vector<uint8_t>> loadingMessages;
  std::vector<std::vector<uint8_t>> playbackMessages;
};

std::vector<uint8_t> WriteDemo(const DemoRecipe& recipe);

// Playback frames needed for a demo of at least the given size.
size_t FramesForSize(size_t bytes);
