#include "app/command_line.h"

#include <cstdio>
#include <cstring>

const char* CommandLineText(const char* commandLine, LeadByteTest isLeadByte) {
  const unsigned char* at = reinterpret_cast<const unsigned char*>(commandLine);
  if (*at == '"') {
    ++at;
    while (*at != '\0' && *at != '"') at += (isLeadByte(*at) && at[1] != '\0') ? 2 : 1;
    if (*at == '"') ++at;
  } else {
    while (*at > 0x20) ++at;
  }
  while (*at >= 0x01 && *at <= 0x20) ++at;
  return reinterpret_cast<const char*>(at);
}

void UnquotePath(const char* text, char* path, size_t size) {
  if (size == 0) return;
  size_t length = strlen(text);
  bool quoted = length >= 2 && text[0] == '"' && text[length - 1] == '"';
  if (quoted) {
    snprintf(path, size, "%.*s", static_cast<int>(length - 2), text + 1);
  } else {
    snprintf(path, size, "%s", text);
  }
}

bool TakeLibrarySwitch(const char* text, char* folder, size_t size) {
  static const char kSwitch[] = "/library";
  const size_t length = sizeof kSwitch - 1;
  for (size_t i = 0; i < length; ++i) {
    const char c = text[i];
    if ((c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c) != kSwitch[i]) return false;
  }
  const unsigned char after = static_cast<unsigned char>(text[length]);
  if (after > 0x20) return false;
  const char* rest = text + length;
  while (*rest >= 0x01 && *rest <= 0x20) ++rest;
  UnquotePath(rest, folder, size);
  return true;
}
