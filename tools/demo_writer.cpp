#include "tools/demo_writer.h"

#include <cstring>

namespace {

enum FrameType : uint8_t {
  kNetworkMessageLoading = 0,
  kNetworkMessage = 1,
  kDemoStart = 2,
  kConsoleCommand = 3,
  kClientData = 4,
  kNextSection = 5,
};

constexpr size_t kHeaderSize = 544;
constexpr size_t kDirectoryEntrySize = 92;
// Timestamp, reference parameters, user command, movement variables and view
// of one network frame, then the seven sequence numbers and the message length.
constexpr size_t kDemoInfoSize = 436;
constexpr size_t kViewportOffset = 4 + 208;  // within the demo info
constexpr size_t kMessageBytes = 64;
constexpr size_t kApproxFrameBytes = 9 + kDemoInfoSize + 28 + 4 + kMessageBytes + 9 + 32;

class Writer {
 public:
  explicit Writer(uint32_t seed) : random_(seed ? seed : 1) {}

  void Bytes(const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    out_.insert(out_.end(), bytes, bytes + size);
  }
  void U8(uint8_t value) { out_.push_back(value); }
  void I32(int32_t value) {
    uint32_t u = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(u >> (8 * i)));
  }
  void F32(float value) {
    uint32_t u;
    memcpy(&u, &value, sizeof u);
    I32(static_cast<int32_t>(u));
  }
  void Text(const std::string& text, size_t width) {
    std::string field = text.substr(0, width);
    field.resize(width, '\0');
    Bytes(field.data(), width);
  }
  void PutI32At(size_t offset, int32_t value) {
    uint32_t u = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) out_[offset + i] = static_cast<uint8_t>(u >> (8 * i));
  }
  size_t Size() const { return out_.size(); }
  std::vector<uint8_t>& Out() { return out_; }

  // A small deterministic generator, so the same recipe gives the same bytes.
  uint32_t Next() {
    random_ ^= random_ << 13;
    random_ ^= random_ >> 17;
    random_ ^= random_ << 5;
    return random_;
  }
  float Coordinate() { return static_cast<float>(Next() % 4096) - 2048.0f; }

 private:
  std::vector<uint8_t> out_;
  uint32_t random_;
};

void FrameHeader(Writer& w, FrameType type, float time, int32_t frame) {
  w.U8(type);
  w.F32(time);
  w.I32(frame);
}

// The demo info of a network frame: mostly zeros, as in the game's own
// recordings, with a moving origin and the client's viewport.
void DemoInfo(Writer& w, const DemoRecipe& recipe, float time) {
  std::vector<uint8_t> info(kDemoInfoSize, 0);
  Writer fields(w.Next());
  fields.F32(time);
  for (int i = 0; i < 6; ++i) fields.F32(fields.Coordinate());  // view origin and angles
  std::vector<uint8_t>& written = fields.Out();
  memcpy(info.data(), written.data(), written.size());
  Writer viewport(1);
  viewport.I32(0);
  viewport.I32(0);
  viewport.I32(recipe.viewportWidth);
  viewport.I32(recipe.viewportHeight);
  memcpy(info.data() + kViewportOffset, viewport.Out().data(), viewport.Size());
  w.Bytes(info.data(), info.size());
}

void NetworkFrame(Writer& w, const DemoRecipe& recipe, FrameType type, float time, int32_t frame,
                  const std::vector<uint8_t>& message) {
  FrameHeader(w, type, time, frame);
  DemoInfo(w, recipe, time);
  for (int i = 0; i < 7; ++i) w.I32(frame + i);  // sequence numbers
  w.I32(static_cast<int32_t>(message.size()));
  w.Bytes(message.data(), message.size());
}

constexpr uint8_t kPrint = 8;
constexpr uint8_t kDirector = 51;

// Server messages: one that the client passes on without reading it (a
// director's command), holding printable entity names and small numbers,
// with runs of zeros.
std::vector<uint8_t> Message(Writer& w) {
  std::vector<uint8_t> message(kMessageBytes, 0);
  for (size_t i = 0; i < message.size(); ++i) {
    uint32_t r = w.Next();
    if (r % 3 == 0)
      message[i] = static_cast<uint8_t>('a' + r % 26);
    else if (r % 3 == 1)
      message[i] = static_cast<uint8_t>(r >> 8);
  }
  message[0] = kDirector;
  message[1] = kMessageBytes - 2;
  return message;
}

std::vector<uint8_t> ProxyMessage() {
  // Two prints, the second the proxy's greeting.
  const char greeting[] = "HLTV Proxy v1.1.2.0 recording\n";
  std::vector<uint8_t> message = {kPrint, 'e', 'r', 'v', 'e', 'r', 0, kPrint};
  message.insert(message.end(), greeting, greeting + sizeof greeting);
  return message;
}

// The recipe's own messages where it has them.
std::vector<uint8_t> MessageOf(Writer& w, const std::vector<std::vector<uint8_t>>& given,
                               size_t index) {
  return index < given.size() ? given[index] : Message(w);
}

void DirectoryEntry(Writer& w, int32_t type, const char* description, float trackTime,
                    int32_t frames, int32_t offset, int32_t length) {
  w.I32(type);
  w.Text(description, 64);
  w.I32(0);   // flags
  w.I32(-1);  // CD track
  w.F32(trackTime);
  w.I32(frames);
  w.I32(offset);
  w.I32(length);
}

uint32_t Crc32(const std::string& text) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : text) {
    crc ^= c;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

}  // namespace

size_t FramesForSize(size_t bytes) {
  return bytes / kApproxFrameBytes + 1;
}

std::vector<uint8_t> WriteDemo(const DemoRecipe& recipe) {
  Writer w(recipe.seed);
  w.Text("HLDEMO", 8);
  w.I32(recipe.demoProtocol);
  w.I32(recipe.networkProtocol);
  w.Text(recipe.mapName, 260);
  w.Text(recipe.gameDirectory, 260);
  w.I32(static_cast<int32_t>(Crc32(recipe.mapName)));
  size_t directoryOffsetAt = w.Size();
  w.I32(0);

  size_t loadingOffset = w.Size();
  NetworkFrame(w, recipe, kNetworkMessageLoading, 0.0f, 0,
               recipe.hltv ? ProxyMessage() : MessageOf(w, recipe.loadingMessages, 0));
  NetworkFrame(w, recipe, kNetworkMessageLoading, 0.0f, 1, MessageOf(w, recipe.loadingMessages, 1));
  FrameHeader(w, kNextSection, 0.0f, 2);
  size_t loadingLength = w.Size() - loadingOffset;

  size_t playbackOffset = w.Size();
  FrameHeader(w, kDemoStart, 0.0f, 0);
  float time = 0.0f;
  for (size_t frame = 1; frame <= recipe.playbackFrames; ++frame) {
    time += 0.01f;
    int32_t number = static_cast<int32_t>(frame);
    NetworkFrame(w, recipe, kNetworkMessage, time, number,
                 MessageOf(w, recipe.playbackMessages, frame - 1));
    FrameHeader(w, kClientData, time, number);
    for (int i = 0; i < 6; ++i) w.F32(w.Coordinate());  // origin and view angles
    w.I32(0);                                           // weapon bits
    w.F32(90.0f);                                       // field of view
  }
  FrameHeader(w, kNextSection, time, static_cast<int32_t>(recipe.playbackFrames + 1));
  size_t playbackLength = w.Size() - playbackOffset;

  w.PutI32At(directoryOffsetAt, static_cast<int32_t>(w.Size()));
  w.I32(2);
  // As the game counts them: the network messages of the playback segment.
  DirectoryEntry(w, 0, "LOADING", 0.0f, 0, static_cast<int32_t>(loadingOffset),
                 static_cast<int32_t>(loadingLength));
  DirectoryEntry(w, 1, "Playback", time, static_cast<int32_t>(recipe.playbackFrames),
                 static_cast<int32_t>(playbackOffset), static_cast<int32_t>(playbackLength));
  static_assert(kHeaderSize == 8 + 4 + 4 + 260 + 260 + 4 + 4, "header layout");
  static_assert(kDirectoryEntrySize == 4 + 64 + 4 + 4 + 4 + 4 + 4 + 4, "directory layout");
  return std::move(w.Out());
}
