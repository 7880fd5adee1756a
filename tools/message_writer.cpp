#include "tools/message_writer.h"

namespace {

enum : int {
  kStuffText = 9,
  kServerInfo = 11,
  kUpdateUserInfo = 13,
  kDeltaDescription = 14,
  kClientData = 15,
  kNewUserMessage = 39,
};
constexpr int kVariableSize = 255;
constexpr int kIntegerField = 8;

}  // namespace

void MessageBlock::Bits::Put(uint32_t value, unsigned count) {
  for (unsigned i = 0; i < count; ++i) {
    if (used == 8) {
      out->push_back(0);
      used = 0;
    }
    out->back() |= static_cast<uint8_t>(((value >> i) & 1) << used++);
  }
}

void MessageBlock::Long(int32_t value) {
  for (int i = 0; i < 4; ++i)
    Byte(static_cast<int>((static_cast<uint32_t>(value) >> (8 * i)) & 0xFF));
}

void MessageBlock::String(const std::string& text) {
  bytes_.insert(bytes_.end(), text.begin(), text.end());
  Byte(0);
}

MessageBlock& MessageBlock::ServerInfo(const std::string& gameDir, const std::string& hostName,
                                       const std::string& mapFile, int maxClients, int playerSlot) {
  Byte(kServerInfo);
  Long(48);                            // protocol
  Long(1);                             // spawn count
  Long(0);                             // map CRC
  bytes_.insert(bytes_.end(), 16, 0);  // client DLL hash
  Byte(maxClients);
  Byte(playerSlot);
  Byte(maxClients > 1);  // deathmatch
  String(gameDir);
  String(hostName);
  String(mapFile);
  String("");  // map cycle
  Byte(0);
  return *this;
}

MessageBlock& MessageBlock::UserInfo(int slot, const std::string& name) {
  Byte(kUpdateUserInfo);
  Byte(slot);
  Long(slot + 1);  // user id
  String(name.empty() ? "" : "\\name\\" + name + "\\model\\gordon\\topcolor\\30");
  bytes_.insert(bytes_.end(), 16, 0);
  return *this;
}

MessageBlock& MessageBlock::NewUserMessage(int id, int size, const std::string& name) {
  Byte(kNewUserMessage);
  Byte(id);
  Byte(size);
  std::string field = name.substr(0, 16);
  field.resize(16, '\0');
  bytes_.insert(bytes_.end(), field.begin(), field.end());
  return *this;
}

MessageBlock& MessageBlock::UserMessage(int id, const std::string& body, bool variable) {
  Byte(id);
  if (variable) Byte(static_cast<int>(body.size()));
  bytes_.insert(bytes_.end(), body.begin(), body.end());
  return *this;
}

MessageBlock& MessageBlock::StuffText(const std::string& text) {
  Byte(kStuffText);
  String(text);
  return *this;
}

// Each field described by its type (mask bit 0) and its bits (mask bit 4).
MessageBlock& MessageBlock::DeltaDescription(const std::string& table,
                                             const std::vector<int>& fieldBits) {
  Byte(kDeltaDescription);
  String(table);
  Byte(static_cast<int>(fieldBits.size() & 0xFF));
  Byte(static_cast<int>(fieldBits.size() >> 8));
  Bits bits{&bytes_};
  for (int width : fieldBits) {
    bits.Put(1, 3);  // one mask byte
    bits.Put(1 | 16, 8);
    bits.Put(kIntegerField, 32);
    bits.Put(static_cast<uint32_t>(width), 8);
  }
  return *this;
}

MessageBlock& MessageBlock::ClientData(uint64_t fields, int fieldBits) {
  Byte(kClientData);
  Bits bits{&bytes_};
  bits.Put(0, 1);  // no delta base
  unsigned maskBytes = 0;
  while (maskBytes < 7 && (fields >> (8 * maskBytes)) != 0) ++maskBytes;
  bits.Put(maskBytes, 3);
  for (unsigned i = 0; i < maskBytes; ++i)
    bits.Put(static_cast<uint32_t>(fields >> (8 * i)) & 0xFF, 8);
  for (uint64_t left = fields; left != 0; left &= left - 1)
    bits.Put(1, static_cast<unsigned>(fieldBits));
  bits.Put(0, 1);  // no weapons
  return *this;
}

MessageBlock& MessageBlock::Bytes(const std::string& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

DemoStory SampleStory(const std::string& gameDir, const std::string& mapName) {
  const int kDeathMsg = 64, kSayText = 65;
  DemoStory story;
  story.loading.push_back(
      MessageBlock()
          .ServerInfo(gameDir, "Quendrix sample server", "maps/" + mapName + ".bsp", 8, 0)
          .NewUserMessage(kDeathMsg, kVariableSize, "DeathMsg")
          .NewUserMessage(kSayText, kVariableSize, "SayText")
          .bytes());
  story.loading.push_back(MessageBlock().UserInfo(0, "Alice").UserInfo(1, "Bob").bytes());
  story.playback.push_back(MessageBlock().StuffText("spk \"hello\"\n").bytes());
  // Counter-Strike's kills tell whether they were headshots.
  const bool counterStrike = gameDir == "cstrike" || gameDir == "czero";
  const std::string kill = counterStrike ? std::string(
                                               "\x01\x02\x01"
                                               "ak47",
                                               8)
                                         : std::string(
                                               "\x01\x02"
                                               "crowbar",
                                               10);
  story.playback.push_back(MessageBlock().UserMessage(kDeathMsg, kill, true).bytes());
  story.playback.push_back(MessageBlock()
                               .UserMessage(kSayText,
                                            std::string("\x01\x02"
                                                        "Alice: gg\n",
                                                        13),
                                            true)
                               .bytes());
  return story;
}
