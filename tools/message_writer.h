// Server messages as the game writes them into a demo's network frames, for
// demos of the project's own: the tests' and the sample's. Byte-aligned
// messages only, and the bits of a delta table and of client data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class MessageBlock {
 public:
  MessageBlock& ServerInfo(const std::string& gameDir, const std::string& hostName,
                           const std::string& mapFile, int maxClients, int playerSlot);
  // An empty name frees the slot.
  MessageBlock& UserInfo(int slot, const std::string& name);
  MessageBlock& NewUserMessage(int id, int size, const std::string& name);
  // A user message registered as variable in size (255) gets its length byte.
  MessageBlock& UserMessage(int id, const std::string& body, bool variable);
  MessageBlock& StuffText(const std::string& text);
  // A delta table whose fields are integers of the given widths.
  MessageBlock& DeltaDescription(const std::string& table, const std::vector<int>& fieldBits);
  // svc_clientdata without a base, marking the fields of clientdata_t that
  // the mask has, each with a value of fieldBits bits.
  MessageBlock& ClientData(uint64_t fields, int fieldBits);
  MessageBlock& Bytes(const std::string& bytes);

  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  void Byte(int value) { bytes_.push_back(static_cast<uint8_t>(value)); }
  void Long(int32_t value);
  void String(const std::string& text);
  // A run of bits, least significant first, that ends on a byte boundary.
  struct Bits {
    std::vector<uint8_t>* out;
    unsigned used = 8;
    void Put(uint32_t value, unsigned count);
  };

  std::vector<uint8_t> bytes_;
};

// A server, players who join, a kill and a line of chat, for a demo of the
// given game folder and map: the messages of its two loading frames and of
// its first playback frames.
struct DemoStory {
  std::vector<std::vector<uint8_t>> loading;
  std::vector<std::vector<uint8_t>> playback;
};
DemoStory SampleStory(const std::string& gameDir, const std::string& mapName);
