// A demo's duration as players read it.
#pragma once

#include <string>

// "m:ss (s.sss s)", whole seconds cut off; "unknown" for a time that is not a
// number or is negative.
std::string DurationText(double seconds);

// "m:ss" alone, as a moment of a demo is shown; "?:??" where the time is not
// a number or is negative.
std::string ClockText(double seconds);

// A moment of a demo as a player types it: "m:ss" (ss below 60) or seconds,
// whole or decimal, never negative. False for anything else.
bool ParseMoment(const std::string& text, double* seconds);

// The moment that a line of the details starts with, as its kills and chat
// lines do ("m:ss "); false for other lines.
bool MomentOfLine(const std::string& line, double* seconds);
