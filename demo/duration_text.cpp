#include "demo/duration_text.h"

#include <cstdio>

namespace {

// Beyond this the whole seconds no longer fit the integer they are kept in.
bool IsShown(double seconds) {
  return seconds >= 0.0 && seconds < 9e18;
}

}  // namespace

std::string ClockText(double seconds) {
  if (!IsShown(seconds)) return "?:??";
  const long long whole = static_cast<long long>(seconds);
  char text[48];
  snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  return text;
}

std::string DurationText(double seconds) {
  if (!IsShown(seconds)) return "unknown";
  char text[48];
  snprintf(text, sizeof text, " (%.3f s)", seconds);
  return ClockText(seconds) + text;
}
