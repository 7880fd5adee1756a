// The message reader over a demo held in memory, whole or a window at a time,
// and a text of everything it finds, so that two readings compare as texts.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "messages/demo_details.h"
#include "messages/message_reader.h"

inline DemoMessages ReadMessages(const std::vector<uint8_t>& bytes) {
  MessageReader reader;
  const WindowReader also = MessageWindowReader(&reader);
  InspectDemo(bytes.data(), bytes.size(), &also);
  return MessageReaderResult(&reader);
}

// Each window a buffer of its own of capacity bytes, each starting where the
// one before ended, so that a read past it is a read past a buffer.
inline DemoMessages ReadMessagesInWindows(const std::vector<uint8_t>& bytes, size_t capacity) {
  DemoBuffer whole = {bytes.data(), bytes.size()};
  DemoWalk walk;
  StartDemoWalk(&walk, bytes.size(), ReadFromDemoBuffer, &whole);
  MessageReader reader;
  StartMessageReader(&reader, walk.found, ReadFromDemoBuffer, &whole);
  for (size_t offset = 0; offset < bytes.size(); offset += capacity) {
    const size_t end = std::min(offset + capacity, bytes.size());
    const std::vector<uint8_t> window(bytes.begin() + static_cast<long>(offset),
                                      bytes.begin() + static_cast<long>(end));
    ReadMessagesPiece(&reader, window.data(), window.size(), offset);
  }
  return MessageReaderResult(&reader);
}

inline std::string Describe(const DemoMessages& found) {
  std::string all = ComposeDetails(DemoInspection(), found, true);
  char time[32];
  auto times = [&](const auto& items) {
    for (const auto& item : items) {
      snprintf(time, sizeof time, " %.9g", item.time);
      all += time;
    }
  };
  times(found.kills);
  times(found.chat);
  times(found.commands);
  return all;
}
