// The ids of the server messages whose bodies the client state and the trim
// writer look into (message-format.md).
#pragma once

#include <cstdint>

enum ServerMessageId : uint8_t {
  kSetView = 5,
  kTime = 7,
  kServerInfo = 11,
  kLightStyle = 12,
  kUserInfo = 13,
  kDeltaDescription = 14,
  kClientData = 15,
  kPings = 17,
  kSpawnStatic = 20,
  kSpawnBaseline = 22,
  kSetPause = 24,
  kCdTrack = 32,
  kDecalName = 36,
  kRoomType = 37,
  kNewUserMessage = 39,
  kPacketEntities = 40,
  kDeltaPacketEntities = 41,
  kResourceList = 43,
  kNewMoveVars = 44,
  kCustomization = 46,
  kDirector = 51,
  kTimeScale = 55,
};
