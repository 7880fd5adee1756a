#include "demo/duration_text.h"

#include <cmath>
#include <cstdio>

std::string DurationText(double seconds) {
  // Beyond this the whole seconds no longer fit the integer they are kept in.
  if (!(seconds >= 0.0 && seconds < 9e18)) return "unknown";
  const long long whole = static_cast<long long>(seconds);
  char text[96];
  snprintf(text, sizeof text, "%lld:%02lld (%.3f s)", whole / 60, whole % 60, seconds);
  return text;
}
