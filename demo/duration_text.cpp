#include "demo/duration_text.h"

#include <cstdio>
#include <cstdlib>

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

bool ParseMoment(const std::string& text, double* seconds) {
  const size_t colon = text.find(':');
  if (colon != std::string::npos) {
    const std::string minutes = text.substr(0, colon);
    const std::string rest = text.substr(colon + 1);
    if (minutes.empty() || minutes.size() > 9 || rest.size() != 2) return false;
    for (char c : minutes + rest) {
      if (c < '0' || c > '9') return false;
    }
    const long long secondsPart = std::stoll(rest);
    if (secondsPart >= 60) return false;
    *seconds = static_cast<double>(std::stoll(minutes) * 60 + secondsPart);
    return true;
  }
  // Digits with at most one point: no signs, exponents or names of numbers.
  bool digit = false;
  int points = 0;
  for (char c : text) {
    if (c == '.') {
      ++points;
    } else if (c >= '0' && c <= '9') {
      digit = true;
    } else {
      return false;
    }
  }
  if (!digit || points > 1 || text.size() > 32) return false;
  *seconds = strtod(text.c_str(), nullptr);
  return true;
}

bool MomentOfLine(const std::string& line, double* seconds) {
  const size_t blank = line.find(' ');
  return blank != std::string::npos && line.find(':') < blank &&
         ParseMoment(line.substr(0, blank), seconds);
}
